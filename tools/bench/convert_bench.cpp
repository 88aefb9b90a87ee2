// Converts generated modules with orvex-convert, one process per module as a batch
// script would, and copies the same module files with cp, one process per file;
// prints both rates and their ratio. Usage: orvex-bench [COUNT]

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
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
    std::vector<unsigned char> player(2000);
    for (std::size_t i = 0; i < player.size(); ++i)
        player[i] = static_cast<unsigned char>(i * 13);
    player[0] = player[1] = 0xFF;
    for (const char* name : {"cmc_0500.plr", "mpt_0500.plr", "tmc_0500.plr"})
        writeFile(work / "players" / name, player);

    const char* extensions[] = {"mpt", "tmc", "tm8", "cmc", "com"};
    std::vector<fs::path> modules;
    std::uintmax_t bytes = 0;
    for (unsigned i = 0; i < count; ++i) {
        const fs::path path = work / "in" / ("tune" + std::to_string(i) + "." + extensions[i % 5]);
        writeFile(path, module(i, i % 2 ? 0x2000 : 0x0800));
        modules.push_back(path);
        bytes += fs::file_size(path);
    }

    using Clock = std::chrono::steady_clock;
    unsigned failures = 0;
    const auto convertStart = Clock::now();
    for (unsigned i = 0; i < count; ++i) {
        const std::string out = (work / "sap" / ("tune" + std::to_string(i) + ".sap")).string();
        if (!runQuietly({converter.string(), "-p", (work / "players").string(), "-n", "Bench", "-o", out,
                         modules[i].string()}))
            ++failures;
    }
    const double convertSeconds = std::chrono::duration<double>(Clock::now() - convertStart).count();

    const auto copyStart = Clock::now();
    for (unsigned i = 0; i < count; ++i)
        runQuietly({"cp", modules[i].string(), (work / "copy" / modules[i].filename()).string()});
    const double copySeconds = std::chrono::duration<double>(Clock::now() - copyStart).count();

    fs::remove_all(work);
    std::printf("%u modules, %.1f MB in all\n", count, static_cast<double>(bytes) / 1e6);
    std::printf("orvex-convert: %8.1f conversions/s  (%.3f s)\n", count / convertSeconds, convertSeconds);
    std::printf("cp:            %8.1f copies/s      (%.3f s)\n", count / copySeconds, copySeconds);
    std::printf("ratio convert/copy time: %.2f  (goal: 2.00 or less)\n", convertSeconds / copySeconds);
    if (failures)
        std::printf("%u conversions failed\n", failures);
    return failures ? 1 : 0;
}
