#include "check.h"

#include <gme/gme.h>

#include <cmath>
#include <vector>

namespace cli {

std::string playbackProblem(const std::string& sapFile)
{
    constexpr int kRate = 44100;
    Music_Emu* emu = nullptr;
    if (gme_err_t error = gme_open_data(sapFile.data(), static_cast<long>(sapFile.size()), &emu, kRate))
        return std::string("libgme cannot open it: ") + error;
    gme_ignore_silence(emu, 1);
    std::vector<short> sound(10 * kRate * 2);
    std::string problem;
    if (gme_err_t error = gme_start_track(emu, 0))
        problem = std::string("libgme cannot start it: ") + error;
    else if (gme_err_t error = gme_play(emu, static_cast<int>(sound.size()), sound.data()))
        problem = std::string("libgme reports an emulation error: ") + error;
    else if (const char* warning = gme_warning(emu))
        problem = std::string("libgme reports an emulation error: ") + warning;
    gme_delete(emu);
    if (!problem.empty())
        return problem;
    // Silence is measured after the first 0.2 s, both channels together.
    double sum = 0;
    for (std::size_t i = kRate * 2 / 5; i < sound.size(); ++i)
        sum += double(sound[i]) * sound[i];
    const double rms = std::sqrt(sum / double(sound.size() - kRate * 2 / 5));
    return 20 * std::log10(rms / 32768 + 1e-12) < -60 ? "plays silence for 10 s (RMS below -60 dBFS)" : "";
}

} // namespace cli
