// orvex-convert from the outside: options, exit codes, messages and the file written.

#include "conversion.h"
#include "files.h"
#include "plain_window.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

extern char** environ;

namespace {

using testing_support::atariModule;
using testing_support::Bytes;
using testing_support::playerFile;
using testing_support::readFile;
using testing_support::TempDir;

struct Outcome {
    int status = -1;
    std::string out, err;
};

class Cli : public ::testing::Test {
protected:
    Cli()
    {
        std::filesystem::create_directory(players);
        testing_support::writeFile(players + "/mpt_0500.plr", playerFile(90));
        testing_support::writeFile(players + "/tmc_0500.plr", playerFile(80));
    }

    Outcome run(std::vector<std::string> args)
    {
        args.insert(args.begin(), ORVEX_CONVERT);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const std::string outPath = scratch / "stdout", errPath = scratch / "stderr";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_t pid;
        Outcome result;
        if (posix_spawn(&pid, ORVEX_CONVERT, &actions, nullptr, argv.data(), environ) == 0) {
            int status = 0;
            waitpid(pid, &status, 0);
            result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        const Bytes out = readFile(outPath), err = readFile(errPath);
        result.out.assign(out.begin(), out.end());
        result.err.assign(err.begin(), err.end());
        return result;
    }

    std::string put(const std::string& name, const Bytes& bytes)
    {
        const std::string path = dir / name;
        testing_support::writeFile(path, bytes);
        return path;
    }

    static std::string startOf(const std::string& path, std::size_t count)
    {
        const Bytes bytes = readFile(path);
        return std::string(bytes.begin(), bytes.begin() + static_cast<long>(std::min(count, bytes.size())));
    }

    static int lines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

    TempDir dir, scratch;
    std::string players = dir / "players";
};

TEST_F(Cli, WritesWhatTheWindowsSaveWrites)
{
    const std::string module = put("Song.mpt", atariModule(0x3000, 0x30FF, 500));
    const Outcome r = run({"-p", players, "-n", "Tune", "--author", "Me", "-d", "2026", "-o", dir / "out.sap", module});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "");

    // The same conversion through the engine, as the window drives it.
    auto state = std::make_unique<orvex::ConversionState>();
    orvex::PlainWindow window;
    orvex::Converter converter(*state, window, players);
    window.moduleAnswer = module;
    converter.LoadAtariMSX();
    window.name = "Tune";
    window.author = "Me";
    window.date = "2026";
    window.saveAnswer = dir / "engine.sap";
    converter.SaveSAPfileas();
    ASSERT_TRUE(window.errors.empty());
    EXPECT_EQ(readFile(dir / "out.sap"), readFile(dir / "engine.sap"));
}

TEST_F(Cli, DefaultOutputAndTexts)
{
    Bytes tmc = atariModule(0x3000, 0x30FF, 200);
    tmc[37] = 2;
    const std::string module = put("song.tm8", tmc);
    // No texts given: the header says Unknown and <?>; UTF-8 text is written in the 8-bit code page.
    EXPECT_EQ(run({"-p", players, module}).status, 0);
    const std::string plain = "SAP\r\nAUTHOR  'Unknown'\r\nNAME  'Unknown'\r\nDATE  '<?>'\r\nTYPE B\r\nSONGS 1\r\n"
                              "STEREO\r\nFASTPLAY 156\r\nINIT 04E7\r\n";
    EXPECT_EQ(startOf(dir / "song.SAP", plain.size()), plain);
    EXPECT_EQ(run({"--players", players, "--name", "Pi\u0119\u0107", "--date=1999", module}).status, 0);
    const std::string named = "SAP\r\nAUTHOR  'Unknown'\r\nNAME  'Pi\xEA\xE6'\r\nDATE  '1999'\r\nTYPE B\r\n";
    EXPECT_EQ(startOf(dir / "song.SAP", named.size()), named);
}

TEST_F(Cli, Md1WithSamplesAndTheOverlapWarning)
{
    testing_support::writeFile(players + "/mpt_0500.plr", playerFile(90));
    Bytes samples(1056, 0);
    samples[0] = 0x40;
    const std::string d15 = put("s.d15", samples);
    const std::string module = put("song.md1", atariModule(0x2000, 0x3FFF, 300));
    const Outcome r = run({"-p", players, "-s", d15, module});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "orvex-convert: warning: ADR conflict detected! (SAP failure?)\n");
    EXPECT_TRUE(std::filesystem::exists(dir / "song.SAP"));
}

TEST_F(Cli, ConversionErrorsExitWithOneAndWriteNothing)
{
    const Bytes old(321, 0x42);
    put("out.sap", old);
    const std::string cmc = put("song.cmc", atariModule(0x3000, 0x30FF, 200));
    const std::string md1 = put("song.md1", atariModule(0x2000, 0x20FF, 200));
    struct {
        std::vector<std::string> args;
        std::string named;  // what the message must name
    } cases[] = {
        {{"-p", players, "-o", dir / "out.sap", dir / "missing.mpt"}, dir / "missing.mpt"},
        {{"-p", players, "-o", dir / "out.sap", cmc}, players + "/cmc_0500.plr"},
        {{"-p", players, "-o", dir / "out.sap", put("song.xyz", atariModule(0x3000, 0x30FF, 200))}, "song.xyz"},
        {{"-p", players, "-o", dir / "out.sap", "-s", dir / "none.d15", md1}, dir / "none.d15"},
        {{"-p", players, "-o", dir / "no/folder/out.sap", put("x.com", atariModule(0x8000, 0x80FF, 200))},
         dir / "no/folder/out.sap"},
    };
    for (const auto& c : cases) {
        const Outcome r = run(c.args);
        EXPECT_EQ(r.status, 1) << c.named;
        EXPECT_EQ(lines(r.err), 1) << r.err;
        EXPECT_EQ(r.err.rfind("orvex-convert: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(c.named), std::string::npos) << r.err;
        EXPECT_EQ(readFile(dir / "out.sap"), old);
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "song.SAP"));
    EXPECT_FALSE(std::filesystem::exists(dir / "x.SAP"));
}

TEST_F(Cli, UsageErrorsExitWithTwo)
{
    const std::string mpt = put("a.mpt", atariModule(0x3000, 0x30FF, 200));
    const std::vector<std::vector<std::string>> cases = {
        {},                                  // no module
        {mpt, mpt},                          // two modules
        {"--bogus", mpt},                    // unknown option
        {mpt, "-o"},                         // option without its value
        {"-o", "", mpt},                     // empty output path
        {put("b.md1", atariModule(0x3000, 0x30FF, 200))},    // .MD1 without its samples
        {"-s", dir / "x.d15", mpt},          // samples for a module that has none
    };
    for (const auto& args : cases) {
        const Outcome r = run(args);
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_NE(r.err.find("Try 'orvex-convert --help'"), std::string::npos) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "a.SAP"));
}

TEST_F(Cli, HelpAndVersion)
{
    const Outcome help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: orvex-convert [OPTIONS] MODULE\n", 0), 0u);
    for (const char* option : {"-o, --output PATH", "-n, --name TEXT", "-a, --author TEXT", "-d, --date TEXT",
                               "-s, --samples PATH", "-p, --players DIR", "-h, --help", "--version"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    EXPECT_EQ(run({"-h"}).out, help.out);
    const Outcome version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "orvex-convert 1.0\n");
}

} // namespace
