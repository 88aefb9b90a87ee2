#include "playback.h"

#include <gme/gme.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace gme_test {

Bytes atariFile(std::uint16_t start, const Bytes& data)
{
    const unsigned end = start + static_cast<unsigned>(data.size()) - 1;
    Bytes file(6 + data.size());
    file[0] = 0xFF;
    file[1] = 0xFF;
    file[2] = static_cast<std::uint8_t>(start & 0xFF);
    file[3] = static_cast<std::uint8_t>(start >> 8);
    file[4] = static_cast<std::uint8_t>(end & 0xFF);
    file[5] = static_cast<std::uint8_t>((end >> 8) & 0xFF);
    std::copy(data.begin(), data.end(), file.begin() + 6);
    return file;
}

Run runConverter(const std::vector<std::string>& arguments)
{
    std::vector<std::string> words{ORVEX_CONVERT};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    Run run;
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        run.errors = "cannot make a pipe for the converter's messages";
        return run;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
    pid_t child = 0;
    const int failed = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (failed != 0) {
        ::close(pipeFds[0]);
        run.errors = std::string("cannot start ") + ORVEX_CONVERT + ": " + std::strerror(failed);
        return run;
    }
    // Read everything first, so that a talkative child never waits on a full pipe.
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(pipeFds[0], buffer, sizeof buffer);
        if (got > 0)
            run.errors.append(buffer, static_cast<std::size_t>(got));
        else if (got == 0 || errno != EINTR)
            break;
    }
    ::close(pipeFds[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

Sound play(const std::string& sapPath, double seconds, int mutedVoices)
{
    Sound sound;
    Music_Emu* emu = nullptr;
    if (gme_err_t error = gme_open_file(sapPath.c_str(), &emu, kSampleRate)) {
        sound.error = error;
        return sound;
    }
    gme_ignore_silence(emu, 1);
    gme_mute_voices(emu, mutedVoices);
    if (gme_err_t error = gme_start_track(emu, 0)) {
        sound.error = error;
    } else {
        const auto frames = static_cast<std::size_t>(seconds * kSampleRate);
        std::vector<short> stereo(frames * 2);
        // In blocks, as a player would ask for it
        const std::size_t block = 2048;
        for (std::size_t at = 0; at < stereo.size() && sound.error.empty(); at += block) {
            const auto count = static_cast<int>(std::min(block, stereo.size() - at));
            if (gme_err_t error = gme_play(emu, count, stereo.data() + at))
                sound.error = error;
        }
        sound.left.reserve(frames);
        sound.right.reserve(frames);
        for (std::size_t i = 0; i < frames; ++i) {
            sound.left.push_back(stereo[2 * i]);
            sound.right.push_back(stereo[2 * i + 1]);
        }
    }
    if (const char* warning = gme_warning(emu))
        sound.warning = warning;
    gme_delete(emu);
    return sound;
}

int swing(const std::vector<short>& samples, std::size_t from, std::size_t to)
{
    to = std::min(to, samples.size());
    if (from >= to)
        return 0;
    const auto [low, high] = std::minmax_element(samples.begin() + static_cast<long>(from),
                                                 samples.begin() + static_cast<long>(to));
    return *high - *low;
}

double frequency(const std::vector<short>& samples, std::size_t from, std::size_t to)
{
    to = std::min(to, samples.size());
    if (to < from + 3)
        return 0;
    // A square wave is found by its edges: steps of the level over two samples. Unlike
    // crossings of a middle line, edges are not disturbed when the volume changes and
    // the level drifts while the output's high-pass filter settles.
    auto step = [&](std::size_t i) { return static_cast<int>(samples[i]) - samples[i - 2]; };
    int steepest = 0;
    for (std::size_t i = from + 2; i < to; ++i)
        steepest = std::max(steepest, std::abs(step(i)));
    if (steepest < 64)
        return 0;
    const int threshold = steepest / 4;
    bool rising = false;
    std::size_t first = 0, last = 0, rises = 0;
    for (std::size_t i = from + 2; i < to; ++i) {
        const int d = step(i);
        if (!rising && d > threshold) {
            rising = true;
            if (rises++ == 0)
                first = i;
            last = i;
        } else if (rising && d < -threshold) {
            rising = false;
        }
    }
    if (rises < 3)
        return 0;
    return static_cast<double>(rises - 1) * kSampleRate / static_cast<double>(last - first);
}

double pokeyFrequency(unsigned audf)
{
    // The 64 kHz clock is the PAL machine clock divided by 28; a pure tone changes
    // level every AUDF + 1 clock ticks.
    return 1773447.0 / 28 / (2.0 * (audf + 1));
}

} // namespace gme_test
