// Prints the figures of orvex-convert --audio:
//  - seconds of audio made per CPU second, for each format, over the same tunes;
//  - the CPU time of --audio flac against libgme's bare rendering of the same SAP files
//    for the same lengths (in this process, no encoding, no file), and the part of it
//    that the audio adds to a run without --audio;
//  - an archive of 6,000 tunes converted with --audio flac, against the same run without.
// The tunes are copies of the demo tune, which loops: each plays to its TIME and then
// fades for 10 seconds.
// Usage: orvex-audio-bench [COUNT]   (tunes in the archive, default 6000)
//        orvex-audio-bench render FOLDER   (libgme's bare rendering of the SAP files
//                                           below FOLDER, alone, to be timed from outside)

#include <gme/gme.h>

#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// `count` copies of the demo tune in folders of 100
void writeArchive(const fs::path& root, unsigned count)
{
    const std::string demo = readFile(DEMO);
    for (unsigned i = 0; i < count; ++i) {
        const fs::path folder = root / ("f" + std::to_string(i / 100));
        fs::create_directories(folder);
        std::ofstream(folder / ("t" + std::to_string(i) + ".com"), std::ios::binary) << demo;
    }
}

double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Cost {
    double cpu = 0, wall = 0;
};

// Runs orvex-convert with `args`, its standard error thrown away; its CPU and wall time
Cost convert(std::vector<std::string> args)
{
    args.insert(args.begin(), ORVEX_CONVERT);
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const double before = cpuSeconds(RUSAGE_CHILDREN);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    int status = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0 || waitpid(pid, &status, 0) != pid
        || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "orvex-audio-bench: orvex-convert failed\n");
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&actions);
    return {cpuSeconds(RUSAGE_CHILDREN) - before,
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()};
}

// The SAP files below a folder, with the seconds of audio each makes: its TIME and the fade
std::vector<std::pair<std::string, double>> sapFiles(const fs::path& folder)
{
    std::vector<std::pair<std::string, double>> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.path().extension() != ".SAP")
            continue;
        std::string bytes = readFile(entry.path());
        const std::size_t time = bytes.find("\r\nTIME ");
        if (time == std::string::npos)
            continue;
        const double seconds = std::stoi(bytes.substr(time + 7, 2)) * 60 + std::stod(bytes.substr(time + 10, 6)) + 10;
        files.emplace_back(std::move(bytes), seconds);
    }
    return files;
}

// libgme's rendering of the files for their lengths, at 44,100 Hz: CPU seconds
double bareRendering(const std::vector<std::pair<std::string, double>>& files)
{
    std::vector<short> block(4096);
    const double before = cpuSeconds(RUSAGE_SELF);
    for (const auto& [bytes, seconds] : files) {
        Music_Emu* emu = nullptr;
        if (gme_open_data(bytes.data(), static_cast<long>(bytes.size()), &emu, 44100) != nullptr)
            continue;
        gme_ignore_silence(emu, 1);
        gme_set_autoload_playback_limit(emu, 0);
        gme_start_track(emu, 0);
        for (long left = static_cast<long>(seconds * 44100) * 2; left > 0; left -= static_cast<long>(block.size()))
            gme_play(emu, static_cast<int>(std::min<long>(left, static_cast<long>(block.size()))), block.data());
        gme_delete(emu);
    }
    return cpuSeconds(RUSAGE_SELF) - before;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "render") {
        std::printf("%.2f CPU s\n", bareRendering(sapFiles(argv[2])));
        return 0;
    }
    const unsigned count = argc > 1 ? static_cast<unsigned>(std::atoi(argv[1])) : 6000;
    const fs::path work = fs::temp_directory_path() / ("orvex-audio-bench-" + std::to_string(getpid()));
    fs::create_directories(work);
    writeArchive(work / "archive", count);
    writeArchive(work / "sample", 40);
    const std::vector<std::string> common = {"--time", "-j", "1", "-r", (work / "sample").string(), "-o"};

    std::printf("40 tunes, one conversion at a time, each played to its TIME and faded over 10 s:\n");
    fs::create_directory(work / "plain");
    std::vector<std::string> args = common;
    args.push_back((work / "plain").string());
    const Cost plain = convert(args);
    const auto files = sapFiles(work / "plain");
    double audio = 0;
    for (const auto& file : files)
        audio += file.second;
    const double bare = bareRendering(files);
    std::printf("  without --audio:     %6.2f CPU s\n", plain.cpu);
    std::printf("  libgme's bare rendering: %6.2f CPU s, %5.0f s of audio per CPU second\n", bare, audio / bare);
    for (const char* format : {"wav", "flac", "ogg", "opus", "mp3"}) {
        fs::create_directory(work / format);
        args = common;
        args.push_back((work / format).string());
        args.insert(args.end(), {"--audio", format});
        const Cost cost = convert(args);
        std::printf("  --audio %-4s         %6.2f CPU s, %5.0f s of audio per CPU second", format, cost.cpu, audio / cost.cpu);
        if (std::string(format) == "flac")
            std::printf("; %.2fx libgme's bare rendering, the audio's part %.2fx", cost.cpu / bare, (cost.cpu - plain.cpu) / bare);
        std::printf("\n");
    }

    std::printf("An archive of %u tunes (-j as many as the cores):\n", count);
    for (const bool withAudio : {false, true}) {
        const fs::path out = work / (withAudio ? "archive-flac" : "archive-plain");
        fs::create_directory(out);
        args = {"--time", "-r", (work / "archive").string(), "-o", out.string()};
        if (withAudio)
            args.insert(args.end(), {"--audio", "flac"});
        const Cost cost = convert(args);
        std::printf("  %-15s %7.2f s, %7.2f CPU s\n", withAudio ? "--audio flac:" : "without --audio:", cost.wall, cost.cpu);
    }
    fs::remove_all(work);
    return 0;
}
