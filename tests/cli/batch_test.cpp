// orvex-convert over many modules: a batch that is stopped, starved of memory, cut off
// from standard error or from its disk. Each case checks what is left on disk: SAP files
// whole, old files whole, no temporary file.

#include "convert.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <random>
#include <sstream>

namespace {

using namespace support;
namespace fs = std::filesystem;

// The temporary files left below a folder
std::vector<std::string> temporaries(const fs::path& folder)
{
    std::vector<std::string> found;
    for (const auto& [name, what] : listing(folder)) {
        if (fs::path(name).filename().string().starts_with(".orvex-"))
            found.push_back(name);
    }
    return found;
}

// The SAP files below a folder, by path relative to it
std::map<std::string, std::string> sapFiles(const fs::path& folder)
{
    auto files = listing(folder);
    std::erase_if(files, [](const auto& entry) { return !entry.first.ends_with(".SAP"); });
    return files;
}

// `count` modules of every format in ten folders below music/, each .MD1 with its .D15,
// and `whole`: the SAP files that a run without faults writes into a mirror tree.
struct Archive {
    explicit Archive(int count)
    {
        b.putPlayers();
        const char* formats[] = {"mpt", "tmc", "cmc", "com", "md1", "tm8"};
        for (int i = 0; i < count; ++i) {
            const std::string name = "music/d" + std::to_string(i % 10) + "/t" + std::to_string(i);
            b.put(name + "." + formats[i % 6], module(0x2000, 300 + 37 * i % 2000, 1 + i % 4));
            if (i % 6 == 4)
                b.put(name + ".D15", d15(0x50, 288));
        }
        fs::create_directory(b.dir / "whole");
        EXPECT_EQ(orvexConvert(b, {"-r", "@music", "-o", "@whole"}).status, 0);
        whole = sapFiles(b.dir / "whole");
        EXPECT_EQ(whole.size(), static_cast<std::size_t>(count));
    }
    // A fresh folder for the SAP files of one run
    std::string out(const std::string& name)
    {
        fs::create_directory(b.dir / name);
        return b.dir / name;
    }
    // Every SAP file in the folder is whole, or an old one ("old"); none is temporary.
    // Returns how many are new.
    std::size_t checkWhole(const fs::path& folder)
    {
        EXPECT_EQ(temporaries(b.dir.path()), std::vector<std::string>());
        std::size_t fresh = 0;
        for (const auto& [name, bytes] : sapFiles(folder)) {
            EXPECT_TRUE(bytes == whole.at(name) || bytes.ends_with(" old")) << name << " is not whole";
            fresh += bytes == whole.at(name) ? 1 : 0;
        }
        return fresh;
    }
    Bench b;
    std::map<std::string, std::string> whole;
};

Outcome shell(const std::string& script, const std::vector<std::string>& args)
{
    std::vector<std::string> argv = {"sh", "-c", script, "sh", ORVEX_CONVERT};
    argv.insert(argv.end(), args.begin(), args.end());
    return run(argv);
}

// TERM, INT or HUP at a random moment, four conversions at once, each replacing an old
// file: every SAP file is the old one or the whole new one, no temporary file is left,
// the status tells the signal and the summary what was done. Also on a file system without O_TMPFILE, where every
// temporary file has a name while it is written.
class Stopped : public ::testing::TestWithParam<std::pair<int, bool>> {};

TEST_P(Stopped, WholeFilesAndNoTemporary)
{
    const auto [signal, named] = GetParam();
    Archive a(300);
    std::mt19937 random(signal);
    std::size_t summarized = 0;
    for (int round = 0; round < 10; ++round) {
        const std::string out = a.out("out" + std::to_string(round));
        for (const auto& [name, whole] : a.whole)
            a.b.put("out" + std::to_string(round) + "/" + name, bytesOf("old"));
        const Outcome r = run({"env", named ? "LD_PRELOAD=" NO_TMPFILE : "LD_PRELOAD=", "timeout", "--preserve-status",
                               "-s", std::to_string(signal), "0.0" + std::to_string(random() % 60 + 10), ORVEX_CONVERT,
                               "-j", "4", "-p", a.b.players, "-r", a.b.dir / "music", "-o", out});
        const std::size_t written = a.checkWhole(out);
        if (r.status == 0) {
            EXPECT_EQ(written, a.whole.size());
        } else {
            EXPECT_EQ(r.status, 128 + signal) << r.err;
            if (written > 0) {  // stopped while converting: the summary of what was done, files counted once in place
                std::smatch summary;
                const std::regex line("orvex-convert: (\\d+) converted, 0 failed\\.\n");
                ASSERT_TRUE(std::regex_match(r.err, summary, line)) << r.err;
                EXPECT_LE(std::stoul(summary[1]), written);
                ++summarized;
            }
        }
    }
    EXPECT_GT(summarized, 0u) << "no run was stopped while converting: the archive converts too fast for the test";
}

INSTANTIATE_TEST_SUITE_P(Signals, Stopped,
                         ::testing::Values(std::pair{SIGTERM, false}, std::pair{SIGINT, false}, std::pair{SIGHUP, false},
                                           std::pair{SIGTERM, true}, std::pair{SIGINT, true}, std::pair{SIGHUP, true}),
                         [](const auto& info) {
                             return std::string(strsignal(info.param.first)) + (info.param.second ? "_NoTmpfile" : "");
                         });

// A signal that the caller ignores stays ignored: nohup and a shell's background job.
TEST(Batch, IgnoredSignalsStayIgnored)
{
    Archive a(300);
    for (const auto& [how, script] :
         {std::pair{"nohup", "nohup \"$@\" 2>&1 >/dev/null & sleep 0.02; kill -HUP $!; wait $!"},
          {"background", "\"$@\" & sleep 0.02; kill -INT $!; wait $!"}}) {
        const std::string out = a.out(how);
        const Outcome r = shell(script, {"-j", "4", "-p", a.b.players, "-r", a.b.dir / "music", "-o", out});
        EXPECT_EQ(r.status, 0) << how << ": " << r.err;
        EXPECT_EQ(a.checkWhole(out), a.whole.size()) << how;
    }
}

// Standard error is a pipe whose reader goes after one line: the run ends with status 1
// at its next line, leaving no temporary file.
TEST(Batch, ClosedStandardError)
{
    Archive a(300);
    fs::remove(a.b.players + "/tmc_0500.plr");  // a line for each .TMC and .TM8 module
    const std::string out = a.out("out");
    const Outcome r = shell("{ (\"$@\" 2>&1 >/dev/null; echo $? >&4) | head -1 >/dev/null; } 4>&1",
                            {"-j", "4", "-p", a.b.players, "-r", a.b.dir / "music", "-o", out});
    EXPECT_EQ(r.out, "1\n") << "its status";
    a.checkWhole(out);
}

// With too little memory, a conversion that cannot get it fails alone with "out of
// memory"; the run goes on and ends with its summary. The limits go down until the
// program cannot start at all.
TEST(Batch, OutOfMemory)
{
    Archive a(120);
    std::size_t starved = 0;
    for (int limit : {50000, 30000, 16000, 14000, 12000, 11000, 10000, 9000, 8000, 7000, 6000, 5000}) {
        const std::string out = a.out("out" + std::to_string(limit));
        const Outcome r = shell("ulimit -v " + std::to_string(limit) + " && exec \"$@\"",
                                {"-j", "4", "-p", a.b.players, "-r", a.b.dir / "music", "-o", out});
        if (r.err.find("error while loading shared libraries") != std::string::npos)
            break;  // below what the program needs to start
        const std::size_t written = a.checkWhole(out);
        EXPECT_EQ(r.status, written == a.whole.size() ? 0 : 1) << limit << ": " << r.err;
        EXPECT_EQ(notASentence(r.err), "") << limit;
        std::istringstream lines(r.err);
        std::string line, last;
        while (std::getline(lines, line)) {
            last = line;
            if (line.find("out of memory") != std::string::npos || line.find("Cannot allocate memory") != std::string::npos) {
                ++starved;
            } else if (line.find(" converted, ") == std::string::npos) {
                EXPECT_NE(line.find("a thread cannot be started"), std::string::npos) << limit << ": " << line;
            }
        }
        EXPECT_TRUE(last.starts_with("orvex-convert: " + std::to_string(written) + " converted, ")) << limit << ": " << last;
        EXPECT_TRUE(limit < 30000 || written == a.whole.size()) << limit;
    }
    EXPECT_GT(starved, 0u) << "no limit made a conversion run out of memory";
}

// Short of memory while a batch is set up (for a tags file larger than memory): its
// summary of nothing done ends it. (Under AddressSanitizer, whose allocator ends the
// program instead, this test is left out with the one above.)
TEST(Batch, OutOfMemoryInTheSetUp)
{
    TempDir dir;
    writeFile(dir / "tags.csv", bytesOf("module\n"));
    fs::resize_file(dir / "tags.csv", std::uintmax_t(1) << 40);
    const Outcome r = run({ORVEX_CONVERT, "--tags", dir / "tags.csv", "-r", dir.path()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "orvex-convert: Out of memory.\norvex-convert: 0 converted, 0 failed.\n");
}

// Inputs whose lines never end, huge, in little memory: the tags file is refused at its
// first line, and the texts of the SAP file replaced are kept. (Left out under
// AddressSanitizer with the tests above.)
TEST(Batch, OutOfMemoryNotFromEndlessLines)
{
    Bench b;
    b.putPlayers();
    const std::string song = b.put("song.mpt", module(0x2000, 300)), tags = b.put("tags.csv", bytesOf("x"));
    const std::string old = b.put("old.sap", bytesOf("SAP\r\nAUTHOR  'Kept'\r\n"));
    for (const std::string& huge : {tags, old})
        fs::resize_file(huge, 256 << 20);
    const std::string limited = "ulimit -v 60000 && exec \"$@\"";
    const Outcome refused = shell(limited, {"-p", b.players, "--tags", tags, song});
    EXPECT_EQ(refused.status, 2) << refused.err;
    EXPECT_NE(refused.err.find("line 1: a cell longer than any column's name"), std::string::npos) << refused.err;
    const Outcome kept = shell(limited, {"-p", b.players, "--keep-tags", "-o", old, song});
    EXPECT_EQ(kept.status, 0) << kept.err;
    EXPECT_EQ(textOf(slice(readFile(old), 0, 21)), "SAP\r\nAUTHOR  'Kept'\r\n");
}

// A disk whose writes fail when they reach it: each module fails with the system's
// reason, none counts as converted unless it is whole, and after a remount every old file
// is whole and no temporary file is there. As root, the disk is ext4 on a loop device
// whose backing tmpfs is full (its free blocks are holes there); an ordinary user, who
// cannot mount one, gets a library that fails the flush of every file of odd length.
class FailingDisk : public ::testing::Test {
protected:
    void SetUp() override
    {
        b.putPlayers();
        const Outcome made = shell(!mounted ? R"(mkdir "$2/disk")" : R"(set -e; cd "$2"; mkdir backing disk
            mount -t tmpfs -o size=8M tmpfs backing
            truncate -s 4M backing/image
            mkfs.ext4 -q -F -b 4096 -E lazy_itable_init=0,lazy_journal_init=0 backing/image
            fallocate -l 4M backing/image
            mount -o loop backing/image disk)",
                                   {b.dir.path()});
        ASSERT_EQ(made.status, 0) << made.err;
        for (int i = 0; i < 12; ++i) {
            b.put("disk/t" + std::to_string(i) + ".com", audio ? readFile(TUNES "/ends.com") : module(0x2000, 5000 + i));
            b.put("disk/t" + std::to_string(i) + ".SAP", bytesOf("old file " + std::to_string(i)));
        }
        before = listing(b.dir / "disk");
        if (!mounted || audio)
            return;
        // Unmounted, the image's free blocks become holes, and the tmpfs is filled.
        const Outcome full = shell(R"(set -e; cd "$2"; umount disk
            dumpe2fs backing/image 2>/dev/null | sed -n 's/^  Free blocks: //p' | tr ',' '\n' | while read r; do
                [ -n "$r" ] && fallocate -p -o $((${r%-*} * 4096)) -l $(((${r#*-} - ${r%-*} + 1) * 4096)) backing/image
            done
            mount -o loop backing/image disk
            dd if=/dev/zero of=backing/filler bs=64k 2>/dev/null || true)",
                                   {b.dir.path()});
        ASSERT_EQ(full.status, 0) << full.err;
    }
    void TearDown() override
    {
        if (mounted)
            shell(R"(cd "$2"; umount disk; umount backing)", {b.dir.path()});
    }
    // What the disk holds after a remount, its caches gone
    void remount()
    {
        if (mounted) {
            ASSERT_EQ(shell(R"(cd "$2"; umount disk && mount -o loop backing/image disk)", {b.dir.path()}).status, 0);
        }
    }
    Bench b;
    const bool mounted = ::geteuid() == 0;
    bool audio = false;  // the modules are a tune that libgme plays
    std::map<std::string, std::string> before;
};

// A disk of 4 MB, too small for the audio files of twelve tunes
class FailingDiskWithAudio : public FailingDisk {
protected:
    FailingDiskWithAudio() { audio = true; }
};

TEST_F(FailingDisk, NothingLost)
{
    const Outcome r = run({"env", mounted ? "LD_PRELOAD=" : "LD_PRELOAD=" FAILING_SYNC, ORVEX_CONVERT, "-p", b.players,
                           "-r", b.dir / "disk"});
    remount();
    const auto after = listing(b.dir / "disk");
    EXPECT_EQ(temporaries(b.dir / "disk"), std::vector<std::string>());
    std::size_t failed = 0, converted = 0;
    for (int i = 0; i < 12; ++i) {
        const std::string sap = "t" + std::to_string(i) + ".SAP", path = b.dir / ("disk/" + sap);
        const bool said = r.err.find("Cannot write the SAP file \"" + path + "\": ") != std::string::npos;
        if (said) {
            EXPECT_TRUE(after.at(sap) == before.at(sap)) << sap << " is not the old file";
            ++failed;
        } else {
            const Bytes whole = b.convert("w" + std::to_string(i) + ".com", module(0x2000, 5000 + i));
            EXPECT_TRUE(after.at(sap) == "420 " + textOf(whole)) << sap << " counts as converted but is not whole";
            ++converted;
        }
    }
    EXPECT_GT(failed, 0u) << r.err;
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(std::to_string(converted) + " converted, " + std::to_string(failed) + " failed"), std::string::npos)
        << r.err;
}

// The same with audio files: each file is whole or not there (the old SAP file), a module
// counts as converted only with all its files whole, and one whose audio file fails keeps
// its SAP file.
TEST_F(FailingDiskWithAudio, NothingLost)
{
    for (int i = 0; i < 12; ++i)
        b.put("whole/t" + std::to_string(i) + ".com", readFile(TUNES "/ends.com"));
    ASSERT_EQ(orvexConvert(b, {"--audio", "wav,flac", "-r", "@whole"}).status, 0);
    const auto whole = listing(b.dir / "whole");
    const Outcome r = run({"env", mounted ? "LD_PRELOAD=" : "LD_PRELOAD=" FAILING_SYNC, ORVEX_CONVERT, "-p", b.players,
                           "--audio", "wav,flac", "-r", b.dir / "disk"});
    remount();
    const auto after = listing(b.dir / "disk");
    EXPECT_EQ(temporaries(b.dir / "disk"), std::vector<std::string>());
    unsigned converted = 0, audioFailed = 0;
    for (int i = 0; i < 12; ++i) {
        const std::string t = "t" + std::to_string(i), sap = after.at(t + ".SAP");
        const bool sapWhole = sap == whole.at(t + ".SAP");
        EXPECT_TRUE(sapWhole || sap == before.at(t + ".SAP")) << t << ".SAP is neither whole nor the old file";
        // The first audio file that fails is named; the module's others are not made.
        const bool said = r.err.find("Cannot write the audio file \"" + (b.dir / ("disk/" + t)) + ".") != std::string::npos;
        bool all = sapWhole;
        for (const std::string& name : {t + ".wav", t + ".flac"}) {
            const bool there = after.contains(name);
            EXPECT_TRUE(!there || after.at(name) == whole.at(name)) << name << " is not whole";
            EXPECT_TRUE(there || said || !sapWhole) << name << " is missing, and no line says why";
            all = all && there;
        }
        audioFailed += sapWhole && said ? 1 : 0;
        converted += all ? 1 : 0;
    }
    EXPECT_GT(audioFailed, 0u) << r.err;
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(" " + std::to_string(converted) + " converted, " + std::to_string(12 - converted) + " failed, "
                         + std::to_string(converted) + " with audio, 0 without audio (TYPE D)."),
              std::string::npos)
        << r.err;
}

} // namespace
