// orvex-convert from the outside: the file it writes, its messages and exit statuses.

#include "support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace {

using namespace support;

Outcome convert(std::vector<std::string> args)
{
    args.insert(args.begin(), ORVEX_CONVERT);
    return run(args);
}

TEST(Cli, WritesWhatTheWindowWrites)
{
    Bench b;
    b.putPlayer("mpt_0500.plr", player(90));
    const std::string song = b.put("Song.mpt", module(0x3000, 500));
    const Outcome r = convert({"-p", b.players, "-n", "Pi\u0119\u0107", "--author", "Me", "-d", "2026", "-o",
                               b.dir / "out.sap", song});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out + r.err, "");

    b.window.name = "Pi\xEA\xE6";
    b.window.author = "Me";
    b.window.date = "2026";
    b.load(song);
    EXPECT_EQ(readFile(b.dir / "out.sap"), readFile(b.saveAs("window.sap")));

    // Without -o the file goes beside the module, as "Save SAP file" puts it.
    EXPECT_EQ(convert({"--players", b.players, song}).status, 0);
    EXPECT_EQ(textOf(slice(readFile(b.dir / "Song.SAP"), 0, 50)), header("Unknown", "Unknown", "<?>", 'B').substr(0, 50));
}

TEST(Cli, Md1WithSamplesAndTheOverlapWarning)
{
    Bench b;
    b.putPlayer("mpt_0500.plr", player(90));
    const Outcome r = convert({"-p", b.players, "-s", b.put("s.d15", d15(0x40, 1056)),
                               b.put("song.md1", atariFile(0x2000, Bytes(0x2000, 1)))});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "orvex-convert: warning: ADR conflict detected! (SAP failure?)\n");
    EXPECT_TRUE(std::filesystem::exists(b.dir / "song.SAP"));
}

TEST(Cli, ErrorsAndUsage)
{
    Bench b;
    b.putPlayer("mpt_0500.plr", player(90));
    const std::string out = b.put("out.sap", bytesOf("older"));
    const std::string mpt = b.put("a.mpt", module(0x3000, 200));
    const std::string md1 = b.put("b.md1", module(0x3000, 200));
    struct {
        std::vector<std::string> args;
        int status;
        std::string said;  // in the one line of the message
    } cases[] = {
        {{"-o", out, b.dir / "missing.mpt"}, 1, "missing.mpt\": No such file or directory"},
        {{"-o", out, b.put("c.cmc", module(0x3000, 200))}, 1, "cmc_0500.plr\": No such file or directory"},
        {{"-o", out, b.put("song.xyz", module(0x3000, 200))}, 1, "song.xyz\" has no extension"},
        {{"-o", out, "-s", b.dir / "none.d15", md1}, 1, "none.d15\": No such file"},
        {{"-o", b.dir / "no/folder/out.sap", mpt}, 1, "no/folder/out.sap\": No such file"},
        {{}, 2, "no MODULE given"},
        {{mpt, mpt}, 2, "one MODULE at a time"},
        {{"--bogus", mpt}, 2, "unknown option '--bogus'"},
        {{mpt, "-o"}, 2, "option '-o' needs a value"},
        {{"-o", "", mpt}, 2, "the output path is empty"},
        {{md1}, 2, "needs its .D15 digi-sample file"},
        {{"-s", b.dir / "x.d15", mpt}, 2, "-s is only for .MD1 modules"},
    };
    for (auto& c : cases) {
        c.args.insert(c.args.begin(), {"-p", b.players});
        const Outcome r = convert(c.args);
        EXPECT_EQ(r.status, c.status) << c.said;
        EXPECT_EQ(r.err.rfind("orvex-convert: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), c.status == 1 ? 1 : 2) << r.err;
        if (c.status == 2) {
            EXPECT_NE(r.err.find("Try 'orvex-convert --help'"), std::string::npos);
        }
    }
    EXPECT_EQ(readFile(out), bytesOf("older"));
    EXPECT_EQ(b.dir.listing().size(), 7u) << "no SAP file was written";
}

TEST(Cli, HelpAndVersion)
{
    const Outcome help = convert({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: orvex-convert [OPTIONS] MODULE\n", 0), 0u);
    EXPECT_EQ(convert({"-h"}).out, help.out);
    EXPECT_EQ(convert({"--version"}).out, "orvex-convert 1.0\n");
}

} // namespace
