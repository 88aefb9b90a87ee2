#include "check.h"

#include <gme/gme.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace cli {

std::string playbackProblem(const std::string& sapFile, double seconds)
{
    constexpr int kRate = 44100;
    constexpr long kSkipped = kRate * 2 / 5;  // 0.2 s, both channels
    Music_Emu* emu = nullptr;
    if (gme_err_t error = gme_open_data(sapFile.data(), static_cast<long>(sapFile.size()), &emu, kRate))
        return std::string("libgme cannot open it: ") + error;
    gme_ignore_silence(emu, 1);
    // The span listened to, in samples of both channels, and the energy that makes its
    // RMS -60 dBFS: more than that, heard, and the rest cannot make it silent.
    seconds = std::clamp(seconds, 0.3, 10.0);
    const long total = static_cast<long>(seconds * kRate) * 2, span = total - kSkipped;
    const double enough = std::pow(32768 * 1e-3, 2) * static_cast<double>(span);
    std::vector<short> block(4096);
    std::string problem;
    double energy = 0;
    if (gme_err_t error = gme_start_track(emu, 0))
        problem = std::string("libgme cannot start it: ") + error;
    for (long played = 0; problem.empty() && played < total && energy < enough;) {
        const int count = static_cast<int>(std::min<long>(static_cast<long>(block.size()), total - played));
        if (gme_err_t error = gme_play(emu, count, block.data()))
            problem = std::string("libgme reports an emulation error: ") + error;
        else if (const char* warning = gme_warning(emu))
            problem = std::string("libgme reports an emulation error: ") + warning;
        for (long i = std::max(0L, kSkipped - played); i < count; ++i)
            energy += double(block[i]) * block[i];
        played += count;
    }
    gme_delete(emu);
    if (!problem.empty() || energy >= enough)
        return problem;
    char text[64];
    std::snprintf(text, sizeof text, "plays silence for %g s (RMS below -60 dBFS)", seconds);
    return text;
}

} // namespace cli
