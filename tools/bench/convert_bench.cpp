// Times orvex-convert against cp and prints the figures:
//  - one process per module, as a shell loop would, against one cp per file;
//  - one orvex-convert -r over an archive-like tree of 6,000 modules (300 bytes to
//    12 KB, all six formats, .D15 pairs, nested folders) against one cp -r of the tree,
//    interleaved, median of three, each after a sync so that neither pays for the
//    other's writes, on the file system it names;
//  - the peak memory of orvex-convert -r and the most temporary files it had at once,
//    for archives of 1,000, 10,000 and 100,000 modules;
//  - the cost of --check and --time per module, and how fast the length of a 5-minute
//    tune is found;
//  - the time and peak memory of a run given a 20 MB tags file: one refused at its first
//    line, one of rows that name other modules.
// Usage: orvex-bench [COUNT]   (COUNT modules for the one-process-per-module loop)
//        orvex-bench tags      (the tags files only)

#include "tune_length.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

void writeFile(const fs::path& path, const std::vector<unsigned char>& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

// Sounds a tone one step higher at each call: LDA #$AA, STA AUDC1, INC AUDF1, LDA #3,
// STA SKCTL, RTS
const std::vector<unsigned char> kTone = {0xA9, 0xAA, 0x8D, 0x01, 0xD2, 0xEE, 0x00, 0xD2, 0xA9, 0x03, 0x8D, 0x0F, 0xD2, 0x60};

// An Atari binary module: FF FF, start, end, data; byte 37 is a valid speed. A .COM
// module at $8000 holds its own player: INIT at $8011 and PLAYER at $8017 jump to the tone.
std::vector<unsigned char> module(unsigned index, unsigned start, std::size_t length)
{
    std::vector<unsigned char> bytes(length);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<unsigned char>(index * 31 + i);
    const unsigned end = start + static_cast<unsigned>(bytes.size()) - 7;
    bytes[0] = bytes[1] = 0xFF;
    bytes[2] = start & 0xFF, bytes[3] = start >> 8, bytes[4] = end & 0xFF, bytes[5] = (end >> 8) & 0xFF;
    bytes[37] = 1 + index % 4;
    if (start == 0x8000 && length >= 6 + 0x1A + kTone.size()) {
        const std::vector<unsigned char> entries = {0x4C, 0x1A, 0x80, 0x60, 0x60, 0x60, 0x4C, 0x1A, 0x80};
        std::copy(entries.begin(), entries.end(), bytes.begin() + 6 + 0x11);
        std::copy(kTone.begin(), kTone.end(), bytes.begin() + 6 + 0x1A);
    }
    return bytes;
}

pid_t spawn(std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

bool succeeded(int status) { return WIFEXITED(status) && WEXITSTATUS(status) == 0; }

bool runQuietly(const std::vector<std::string>& args)
{
    const pid_t pid = spawn(args);
    int status = -1;
    return pid > 0 && waitpid(pid, &status, 0) == pid && succeeded(status);
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

// The temporary files a process has open: unnamed ones (O_TMPFILE, shown as deleted)
// and named ones. Every temporary file of orvex-convert is open while it exists.
unsigned temporaryFiles(pid_t pid)
{
    unsigned count = 0;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
        const std::string target = fs::read_symlink(entry.path(), error).string();
        if (target.find("/.orvex-") != std::string::npos || target.ends_with(" (deleted)"))
            ++count;
    }
    return count;
}

// Runs the command, watching it: its peak resident memory, the most temporary files it
// had open at once, and how long it took.
struct Watched {
    int status;  // the exit status, -1 when it did not exit
    long peakKilobytes;
    unsigned temporaries;
    double seconds;
};
Watched watch(const std::vector<std::string>& args)
{
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = spawn(args);
    Watched result{-1, 0, 0, 0};
    int status = -1;
    rusage usage{};
    while (pid > 0) {
        const pid_t done = wait4(pid, &status, WNOHANG, &usage);
        if (done == pid)
            break;
        result.temporaries = std::max(result.temporaries, temporaryFiles(pid));
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    result.status = pid > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.peakKilobytes = usage.ru_maxrss;
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return result;
}

// The file system that holds a path, as /proc/self/mountinfo names it: "ext4 /dev/vda".
std::string fileSystemOf(const fs::path& path)
{
    const std::string where = fs::canonical(path).string();
    std::ifstream mounts("/proc/self/mountinfo");
    std::string line, best, bestPoint;
    while (std::getline(mounts, line)) {
        std::istringstream fields(line);
        std::string id, parent, numbers, root, point, field;
        fields >> id >> parent >> numbers >> root >> point;
        while (fields >> field && field != "-") {
        }
        std::string type, source;
        fields >> type >> source;
        const bool inside = where == point || where.starts_with(point == "/" ? point : point + "/");
        if (inside && point.size() >= bestPoint.size()) {
            bestPoint = point;
            best = type + " " + source + " mounted on " + point;
        }
    }
    return best.empty() ? "an unknown file system" : best;
}

// An archive-like tree: modules in folders three deep, every .MD1 with its .D15.
// `bytes` gives each module's length.
unsigned writeArchive(const fs::path& root, unsigned count, const std::function<std::size_t(unsigned)>& bytes)
{
    const char* extensions[] = {"mpt", "tmc", "tm8", "cmc", "com", "md1"};
    unsigned files = 0;
    for (unsigned i = 0; i < count; ++i) {
        const fs::path folder = root / ("group" + std::to_string(i % 12)) / ("set" + std::to_string(i % 7))
                                / ("disk" + std::to_string(i % 5 + 5 * (i / 6000)));
        fs::create_directories(folder);
        const std::string name = "tune" + std::to_string(i);
        writeFile(folder / (name + "." + extensions[i % 6]), module(i, i % 6 == 4 ? 0x8000 : 0x2000, bytes(i)));
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

// What every measurement works with: the converter, the player folder, a scratch folder
// and the count of runs that failed.
struct Bench {
    std::string converter, players;
    fs::path work;
    unsigned failures = 0;
};

// A player file for $0500 whose three entries sound a tone that rises call by call, then
// 2000 bytes of filler, under each player file's name.
void writePlayers(Bench& b)
{
    std::vector<unsigned char> player = {0xFF, 0xFF, 0x00, 0x05, 0x00, 0x00};
    player.insert(player.end(), {0x4C, 0x09, 0x05, 0x4C, 0x09, 0x05, 0x4C, 0x09, 0x05});
    player.insert(player.end(), kTone.begin(), kTone.end());
    for (std::size_t i = 0; i < 2000; ++i)
        player.push_back(static_cast<unsigned char>(i * 13));
    const unsigned playerEnd = 0x0500 + static_cast<unsigned>(player.size()) - 6 - 1;
    player[4] = playerEnd & 0xFF, player[5] = playerEnd >> 8;
    for (const char* name : {"cmc_0500.plr", "mpt_0500.plr", "tmc_0500.plr"})
        writeFile(b.work / "players" / name, player);
}

// One process per module against one cp per module.
void perFile(Bench& b, unsigned count)
{
    const char* extensions[] = {"mpt", "tmc", "tm8", "cmc", "com"};
    std::vector<fs::path> modules;
    std::uintmax_t bytes = 0;
    for (unsigned i = 0; i < count; ++i) {
        const fs::path path = b.work / "in" / ("tune" + std::to_string(i) + "." + extensions[i % 5]);
        writeFile(path, module(i, i % 2 ? 0x2000 : 0x0E00, 2000 + (i * 37) % 6000));
        modules.push_back(path);
        bytes += fs::file_size(path);
    }
    const double convertSeconds = seconds([&] {
        for (unsigned i = 0; i < count; ++i) {
            const std::string out = (b.work / "sap" / ("tune" + std::to_string(i) + ".sap")).string();
            b.failures += runQuietly({b.converter, "-p", b.players, "-n", "Bench", "-o", out, modules[i].string()}) ? 0 : 1;
        }
    });
    const double copySeconds = seconds([&] {
        for (unsigned i = 0; i < count; ++i)
            runQuietly({"cp", modules[i].string(), (b.work / "copy" / modules[i].filename()).string()});
    });
    std::printf("%u modules, %.1f MB in all\n", count, static_cast<double>(bytes) / 1e6);
    std::printf("orvex-convert: %8.1f conversions/s  (%.3f s)\n", count / convertSeconds, convertSeconds);
    std::printf("cp:            %8.1f copies/s      (%.3f s)\n", count / copySeconds, copySeconds);
    std::printf("ratio convert/copy time, one process per file: %.2f  (goal: 2.00 or less)\n", convertSeconds / copySeconds);
}

// The archive, converted in one run and copied in one cp -r, taking turns; each into a
// fresh folder (removing files in between makes the disk busy), after a sync.
std::string wholeArchive(Bench& b)
{
    const unsigned archiveFiles = writeArchive(b.work / "archive", 6000, [](unsigned i) { return 300 + (i * 977) % 11989; });
    const std::string archive = (b.work / "archive").string();
    std::vector<double> batchRuns, copyRuns;
    for (int round = 0; round < 3; ++round) {
        const fs::path converted = b.work / ("converted" + std::to_string(round));
        fs::create_directories(converted);
        sync();
        batchRuns.push_back(seconds([&] {
            b.failures += runQuietly({b.converter, "-p", b.players, "-r", archive, "-o", converted.string()}) ? 0 : 1;
        }));
        sync();
        copyRuns.push_back(
            seconds([&] { runQuietly({"cp", "-r", archive, (b.work / ("copied" + std::to_string(round))).string()}); }));
    }
    std::printf("archive of 6000 modules (%u files): orvex-convert -r %.3f s, cp -r %.3f s (medians of 3)\n",
                archiveFiles, median(batchRuns), median(copyRuns));
    std::printf("ratio convert/copy time, archive: %.2f  (goal: 1.50 or less)\n", median(batchRuns) / median(copyRuns));
    return archive;
}

// The same run with a tags file that names every module, taking turns with one without
void withTags(Bench& b, const std::string& archive)
{
    std::ofstream tags(b.work / "tags.csv");
    tags << "module,name,author,date\n";
    for (const auto& entry : fs::recursive_directory_iterator(b.work / "archive")) {
        if (entry.is_regular_file() && entry.path().extension() != ".D15")
            tags << "archive/" << entry.path().lexically_relative(b.work / "archive").string() << ",\"Tune, "
                     << entry.path().stem().string() << "\",Composer,1990\n";
    }
    tags.close();
    std::vector<double> plainRuns, taggedRuns;
    for (int round = 0; round < 3; ++round) {
        for (const bool tagged : {false, true}) {
            const fs::path out = b.work / ((tagged ? "tagged" : "plain") + std::to_string(round));
            fs::create_directories(out);
            std::vector<std::string> args = {b.converter, "-p", b.players, "-r", archive, "-o", out.string()};
            if (tagged)
                args.insert(args.begin() + 1, {"--tags", (b.work / "tags.csv").string()});
            sync();
            (tagged ? taggedRuns : plainRuns).push_back(seconds([&] { b.failures += runQuietly(args) ? 0 : 1; }));
        }
    }
    std::printf("archive with --tags: %.3f s, without: %.3f s (medians of 3): %+.1f%%  (goal: +5%% or less)\n",
                median(taggedRuns), median(plainRuns), (median(taggedRuns) / median(plainRuns) - 1) * 100);
}

// Memory and temporary files as the archive grows
void memoryGrowth(Bench& b)
{
    for (const unsigned size : {1000u, 10000u, 100000u}) {
        const fs::path tree = b.work / ("tree" + std::to_string(size)), out = b.work / ("out" + std::to_string(size));
        writeArchive(tree, size, [](unsigned i) { return 300 + (i * 97) % 1700; });
        fs::create_directories(out);
        const Watched w = watch({b.converter, "-p", b.players, "-r", tree.string(), "-o", out.string()});
        b.failures += w.status == 0 ? 0 : 1;
        std::printf("%6u modules: peak RSS %.1f MB, at most %u temporary files at once\n", size,
                    static_cast<double>(w.peakKilobytes) / 1024, w.temporaries);
        fs::remove_all(tree);
        fs::remove_all(out);
    }
}

// --check and --time: the extra time per module over the plain run, taking turns
void extraOptions(Bench& b, const std::string& archive)
{
    std::vector<double> plain, checked, timed;
    for (int round = 0; round < 3; ++round) {
        for (const char* option : {"", "--check", "--time"}) {
            const fs::path out = b.work / (std::string("extra") + option + std::to_string(round));
            fs::create_directories(out);
            std::vector<std::string> args = {b.converter, "-p", b.players, "-r", archive, "-o", out.string()};
            if (*option)
                args.insert(args.begin() + 1, option);
            sync();
            const double took = seconds([&] { b.failures += runQuietly(args) ? 0 : 1; });
            (*option == '\0' ? plain : option[2] == 'c' ? checked : timed).push_back(took);
        }
    }
    std::printf("--check: %.2f ms per module  (goal: 0.50 or less)\n", (median(checked) - median(plain)) * 1000 / 6000);
    std::printf("--time: %.2f ms per module\n", (median(timed) - median(plain)) * 1000 / 6000);
}

// The length of a 5-minute looping tune whose PLAYER takes some 3000 cycles a call
void tuneLength(Bench& b)
{
    const std::string tune = (b.work / "long.sap").string();
    b.failures += runQuietly({b.converter, "-o", tune, LONG_TUNE}) ? 0 : 1;
    std::ifstream in(tune, std::ios::binary);
    const std::string sap((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<double> finds;
    orvex::sap::TuneLength length;
    for (int round = 0; round < 5; ++round)
        finds.push_back(seconds([&] { length = orvex::sap::findLength(sap, 20 * 60); }));
    std::printf("5-minute tune: %s found in %.1f ms (median of 5; goal: 100 or less), %.0f emulated MHz\n",
                orvex::sap::timeLine(length).substr(0, 19).c_str(), median(finds) * 1000,
                static_cast<double>(length.cycles) / median(finds) / 1e6);
}

// A 5-minute tune converted with a 20 MB tags file: one whose first line names no column,
// refused at once (status 2), and one of rows for other modules, each a warning.
void tagsFiles(Bench& b)
{
    std::ofstream rows(b.work / "other-modules.csv");  // a row at a time: a child starts with the bench's memory
    rows << "module,name,author,date\n";
    for (std::size_t i = 0; rows.tellp() < 20'000'000; ++i)
        rows << "music/d" << i % 100 << "/tune" << i << ".cmc,Tune,Me,1990\n";
    rows.close();
    std::ofstream(b.work / "bad-first-line.csv") << "x\n" << std::ifstream(b.work / "other-modules.csv").rdbuf();
    for (const auto& [name, status] : {std::pair{"bad-first-line.csv", 2}, {"other-modules.csv", 0}}) {
        const Watched w = watch({b.converter, "--tags", (b.work / name).string(), "-o", (b.work / "tune.sap").string(), LONG_TUNE});
        b.failures += w.status == status ? 0 : 1;
        const double size = static_cast<double>(fs::file_size(b.work / name)), peak = static_cast<double>(w.peakKilobytes) * 1024;
        std::printf("tags file %s (%.1f MB): status %d in %.3f s, peak RSS %.1f MB (%.2f times the file)\n", name, size / 1e6,
                    w.status, w.seconds, peak / 1e6, peak / size);
    }
}

} // namespace

int main(int argc, char** argv)
{
    const unsigned count = argc > 1 ? static_cast<unsigned>(std::atoi(argv[1])) : 1000;
    Bench b;
    b.converter = (fs::canonical("/proc/self/exe").parent_path() / "orvex-convert").string();
    char pattern[] = "/tmp/orvex-bench-XXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    b.work = pattern;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each figure as soon as it is known
    std::printf("on %s\n", fileSystemOf(b.work).c_str());
    for (const char* folder : {"players", "in", "sap", "copy"})
        fs::create_directories(b.work / folder);
    writePlayers(b);
    b.players = (b.work / "players").string();
    if (argc < 2 || std::string(argv[1]) != "tags") {
        perFile(b, count);
        const std::string archive = wholeArchive(b);
        withTags(b, archive);
        memoryGrowth(b);
        extraOptions(b, archive);
        tuneLength(b);
    }
    tagsFiles(b);
    fs::remove_all(b.work);
    if (b.failures)
        std::printf("%u conversions failed\n", b.failures);
    return b.failures ? 1 : 0;
}
