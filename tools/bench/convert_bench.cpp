// Times orvex-convert against cp on generated modules and prints the ratios:
//  - one process per module, as a shell loop would, against one cp per file;
//  - one orvex-convert -r over an archive-like tree of 6,000 modules (300 bytes to
//    12 KB, all six formats, .D15 pairs, nested folders) against one cp -r of the tree,
//    interleaved, median of three;
//  - the cost of --check per file.
// Usage: orvex-bench [COUNT]   (COUNT modules for the one-process-per-module loop)

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

void writeFile(const fs::path& path, const std::vector<unsigned char>& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

// An Atari binary module: FF FF, start, end, data; byte 37 is a valid speed.
std::vector<unsigned char> module(unsigned index, unsigned start)
{
    std::vector<unsigned char> bytes(2000 + (index * 37) % 6000);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<unsigned char>(index * 31 + i);
    const unsigned end = start + static_cast<unsigned>(bytes.size()) - 7;
    bytes[0] = bytes[1] = 0xFF;
    bytes[2] = start & 0xFF;
    bytes[3] = start >> 8;
    bytes[4] = end & 0xFF;
    bytes[5] = (end >> 8) & 0xFF;
    bytes[37] = 1 + index % 4;
    return bytes;
}

bool runQuietly(std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    int status = -1;
    const bool spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    if (spawned)
        waitpid(pid, &status, 0);
    return spawned && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

double seconds(const std::function<void()>& what)
{
    const auto start = std::chrono::steady_clock::now();
    what();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The archive-like tree: 6,000 modules in folders three deep, every .MD1 with its .D15.
unsigned writeArchive(const fs::path& root)
{
    const char* extensions[] = {"mpt", "tmc", "tm8", "cmc", "com", "md1"};
    unsigned files = 0;
    for (unsigned i = 0; i < 6000; ++i) {
        const fs::path folder = root / ("group" + std::to_string(i % 12)) / ("set" + std::to_string(i % 7))
                                / ("disk" + std::to_string(i % 5));
        fs::create_directories(folder);
        std::vector<unsigned char> bytes = module(i, 0x2000);
        bytes.resize(300 + (i * 977) % 11989);
        const std::string name = "tune" + std::to_string(i);
        writeFile(folder / (name + "." + extensions[i % 6]), bytes);
        ++files;
        if (i % 6 == 5) {
            std::vector<unsigned char> samples(288 + (i % 4) * 256, 0x80);
            samples[0] = 0x60;
            writeFile(folder / (name + ".D15"), samples);
            ++files;
        }
    }
    return files;
}

} // namespace

int main(int argc, char** argv)
{
    const unsigned count = argc > 1 ? static_cast<unsigned>(std::atoi(argv[1])) : 1000;
    const fs::path converter = fs::canonical("/proc/self/exe").parent_path() / "orvex-convert";
    char pattern[] = "/tmp/orvex-bench-XXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    const fs::path work = pattern;
    fs::create_directories(work / "players");
    fs::create_directories(work / "in");
    fs::create_directories(work / "sap");
    fs::create_directories(work / "copy");
    // A player file for $0500: its header, then 2000 bytes of code (never run here)
    std::vector<unsigned char> player = {0xFF, 0xFF, 0x00, 0x05, 0xCF, 0x0C};
    for (std::size_t i = 0; i < 2000; ++i)
        player.push_back(static_cast<unsigned char>(i * 13));
    for (const char* name : {"cmc_0500.plr", "mpt_0500.plr", "tmc_0500.plr"})
        writeFile(work / "players" / name, player);

    const char* extensions[] = {"mpt", "tmc", "tm8", "cmc", "com"};
    std::vector<fs::path> modules;
    std::uintmax_t bytes = 0;
    for (unsigned i = 0; i < count; ++i) {
        const fs::path path = work / "in" / ("tune" + std::to_string(i) + "." + extensions[i % 5]);
        writeFile(path, module(i, i % 2 ? 0x2000 : 0x0E00));
        modules.push_back(path);
        bytes += fs::file_size(path);
    }

    unsigned failures = 0;
    const double convertSeconds = seconds([&] {
        for (unsigned i = 0; i < count; ++i) {
            const std::string out = (work / "sap" / ("tune" + std::to_string(i) + ".sap")).string();
            if (!runQuietly({converter.string(), "-p", (work / "players").string(), "-n", "Bench", "-o", out,
                             modules[i].string()}))
                ++failures;
        }
    });
    const double copySeconds = seconds([&] {
        for (unsigned i = 0; i < count; ++i)
            runQuietly({"cp", modules[i].string(), (work / "copy" / modules[i].filename()).string()});
    });

    // The archive, converted in one run and copied in one cp -r, taking turns
    const unsigned archiveFiles = writeArchive(work / "archive");
    const std::string players = (work / "players").string(), archive = (work / "archive").string();
    std::vector<double> batchRuns, copyRuns, checkRuns;
    for (int round = 0; round < 3; ++round) {
        fs::remove_all(work / "converted");
        fs::remove_all(work / "copied");
        fs::create_directories(work / "converted");
        batchRuns.push_back(seconds([&] {
            runQuietly({converter.string(), "-p", players, "-r", archive, "-o", (work / "converted").string()});
        }));
        copyRuns.push_back(seconds([&] { runQuietly({"cp", "-r", archive, (work / "copied").string()}); }));
        fs::remove_all(work / "converted");
        fs::create_directories(work / "converted");
        checkRuns.push_back(seconds([&] {
            runQuietly({converter.string(), "--check", "-p", players, "-r", archive, "-o", (work / "converted").string()});
        }));
    }

    fs::remove_all(work);
    std::printf("%u modules, %.1f MB in all\n", count, static_cast<double>(bytes) / 1e6);
    std::printf("orvex-convert: %8.1f conversions/s  (%.3f s)\n", count / convertSeconds, convertSeconds);
    std::printf("cp:            %8.1f copies/s      (%.3f s)\n", count / copySeconds, copySeconds);
    std::printf("ratio convert/copy time, one process per file: %.2f  (goal: 2.00 or less)\n", convertSeconds / copySeconds);
    std::printf("archive of 6000 modules (%u files): orvex-convert -r %.3f s, cp -r %.3f s (medians of 3)\n",
                archiveFiles, median(batchRuns), median(copyRuns));
    std::printf("ratio convert/copy time, archive: %.2f  (goal: 1.50 or less)\n", median(batchRuns) / median(copyRuns));
    std::printf("--check: %.2f ms per module\n", (median(checkRuns) - median(batchRuns)) * 1000 / 6000);
    if (failures)
        std::printf("%u conversions failed\n", failures);
    return failures ? 1 : 0;
}
