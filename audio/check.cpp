#include "check.h"

#include "render.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace orvex::audio {

std::string playbackProblem(const std::string& sapFile, double seconds)
{
    constexpr int kRate = 44100;
    constexpr std::uint64_t kSkipped = kRate / 5;  // 0.2 s
    seconds = std::clamp(seconds, 0.3, 10.0);
    try {
        Renderer renderer(sapFile, kRate);
        const std::uint64_t total = static_cast<std::uint64_t>(seconds * kRate);
        renderer.setSpan({total, 0});
        // The energy that makes the span's RMS -60 dBFS: more than that, heard, and the
        // rest cannot make it silent.
        const auto channels = static_cast<std::size_t>(renderer.channels());
        const double enough = std::pow(32768 * 1e-3, 2) * static_cast<double>((total - kSkipped) * channels);
        std::vector<std::int16_t> block(4096 * channels);
        double energy = 0;
        while (energy < enough) {
            const std::uint64_t at = renderer.position();
            const std::size_t frames = renderer.render(block.data(), 4096);
            if (frames == 0)
                break;
            for (std::size_t i = (at < kSkipped ? kSkipped - at : 0) * channels; i < frames * channels; ++i)
                energy += double(block[i]) * block[i];
        }
        if (energy >= enough)
            return "";
    } catch (const AudioError& e) {
        return e.what();
    }
    char text[64];
    std::snprintf(text, sizeof text, "plays silence for %g s (RMS below -60 dBFS)", seconds);
    return text;
}

} // namespace orvex::audio
