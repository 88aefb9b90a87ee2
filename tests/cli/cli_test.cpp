// orvex-convert from the outside: each case with its exit status, its message and what
// is left on disk (never an input, a special file or a protected file destroyed); the
// file it writes, standard output, the check, --time, player folders and signals.

#include "support.h"
#include "version.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <random>
#include <set>
#include <sstream>
#include <tuple>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using namespace support;
namespace fs = std::filesystem;

struct Case {
    const char* label;
    std::function<void(Bench&)> setup;  // beyond song.mpt, song.md1, s.d15 and the players
    std::vector<std::string> args;      // "@name" stands for the file in the test's folder
    int status;
    const char* said;                   // in the one message line (or the warning)
    const char* writes;                 // the one entry the run may change ("" none)
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.label; }

class Cli : public ::testing::TestWithParam<Case> {};

TEST_P(Cli, MessageStatusAndDisk)
{
    const Case& c = GetParam();
    Bench b;
    b.putPlayer("mpt_0500.plr", player(90));
    b.put("song.mpt", module(0x3000, 500));
    b.put("song.md1", module(0x3000, 500));
    b.put("s.d15", d15(0x50, 288));
    b.put("old.sap", bytesOf("an older file"));
    b.put("adr.md1", atariFile(0x2000, Bytes(0x2000, 1)));  // pages $20-$3F
    b.put("adr.d15", d15(0x40, 1056));                      // pages $3F-$43
    c.setup(b);
    const auto before = b.dir.listing();
    std::vector<std::string> args = {"timeout", "20", ORVEX_CONVERT, "-p", b.players};
    for (const std::string& a : c.args)
        args.push_back(a.starts_with("@") ? b.dir / a.substr(1) : a);

    const Outcome r = run(args);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
    const std::string lines = r.err.substr(0, r.err.find(" converted, ") == std::string::npos ? std::string::npos
                                                                                               : r.err.rfind("orvex-convert: "));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), c.status == 2 ? 2 : *c.said ? 1 : 0) << r.err;
    auto after = b.dir.listing();
    if (*c.writes) {
        EXPECT_EQ(after.count(c.writes), 1u);
        after.erase(c.writes);
        auto expected = before;
        expected.erase(c.writes);
        EXPECT_EQ(after, expected);
    } else {
        EXPECT_EQ(after, before);
    }
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

void link(Bench& b, const char* to, const char* name) { fs::create_symlink(to, b.dir / name); }

const std::string kLong(251, 'x'), kLongName = kLong + ".sap";  // 255 bytes

INSTANTIATE_TEST_SUITE_P(
    Cases, Cli,
    ::testing::Values(
        Case{"no_module", [](Bench&) {}, {}, 2, "no MODULE given", ""},
        Case{"same_module_twice", [](Bench&) {}, {"@song.mpt", "@song.mpt"}, 0, "", "song.SAP"},
        Case{"unknown_long_option", [](Bench&) {}, {"--bogus", "@song.mpt"}, 2, "unknown option '--bogus'", ""},
        Case{"option_without_value", [](Bench&) {}, {"@song.mpt", "-o"}, 2, "option '-o' needs a value", ""},
        Case{"empty_output_path", [](Bench&) {}, {"-o", "", "@song.mpt"}, 2, "the output path is empty", ""},
        Case{"batch_output_not_a_folder", [](Bench&) {}, {"-o", "@old.sap", "@song.mpt", "@song.md1"}, 2,
             "is not an existing folder", ""},
        Case{"md1_without_samples", [](Bench&) {}, {"@song.md1"}, 2, "needs its .D15 digi-sample file", ""},
        Case{"samples_without_md1", [](Bench&) {}, {"-s", "@s.d15", "@song.mpt"}, 2, "-s is only for .MD1", ""},
        Case{"onto_the_module", [](Bench&) {}, {"-o", "@song.mpt", "@song.mpt"}, 1,
             "song.mpt\" is the module file \"", ""},
        Case{"onto_the_module_by_hard_link", [](Bench& b) { fs::create_hard_link(b.dir / "song.mpt", b.dir / "h.sap"); },
             {"-o", "@h.sap", "@song.mpt"}, 1, "h.sap\" is the module file", ""},
        Case{"onto_the_module_by_link", [](Bench& b) { link(b, "song.mpt", "l.sap"); }, {"-o", "@l.sap", "@song.mpt"},
             1, "l.sap\" is the module file", ""},
        Case{"onto_the_samples", [](Bench&) {}, {"-s", "@s.d15", "-o", "@s.d15", "@song.md1"}, 1,
             "s.d15\" is the digi-sample file", ""},
        Case{"onto_the_player", [](Bench&) {}, {"-o", "@players/mpt_0500.plr", "@song.mpt"}, 1,
             "mpt_0500.plr\" is the player file", ""},
        Case{"a_device", [](Bench&) {}, {"-o", "/dev/null", "@song.mpt"}, 1, "\"/dev/null\": it is a device", ""},
        Case{"a_fifo", [](Bench& b) { ::mkfifo((b.dir / "f.sap").c_str(), 0644); }, {"-o", "@f.sap", "@song.mpt"}, 1,
             "f.sap\": it is a FIFO, not a regular file.", ""},
        Case{"a_socket",
             [](Bench& b) {
                 sockaddr_un address{};
                 address.sun_family = AF_UNIX;
                 std::snprintf(address.sun_path, sizeof address.sun_path, "%s", (b.dir / "s.sap").c_str());
                 ::bind(::socket(AF_UNIX, SOCK_STREAM, 0), reinterpret_cast<sockaddr*>(&address), sizeof address);
             },
             {"-o", "@s.sap", "@song.mpt"}, 1, "s.sap\": it is a socket", ""},
        Case{"a_link_loop", [](Bench& b) { link(b, "loop2", "loop1"), link(b, "loop1", "loop2"); },
             {"-o", "@loop1", "@song.mpt"}, 1, "loop1\": Too many levels of symbolic links.", ""},
        Case{"module_fifo", [](Bench& b) { ::mkfifo((b.dir / "f.mpt").c_str(), 0644); }, {"@f.mpt"}, 1,
             "f.mpt\": it is a FIFO, not a regular file.", ""},
        Case{"player_fifo",
             [](Bench& b) {
                 b.put("t.tmc", module(0x3000, 500));
                 ::mkfifo((b.players + "/tmc_0500.plr").c_str(), 0644);
             },
             {"@t.tmc"}, 1, "tmc_0500.plr\": it is a FIFO", ""},
        Case{"com_of_5_bytes", [](Bench& b) { b.put("five.com", hex("FF FF 00 80 00")); }, {"@five.com"}, 1,
             "five.com\" is too short (5 bytes)", ""},
        Case{"overlong_utf8", [](Bench&) {}, {"-n", "\xC0\x80", "@song.mpt"}, 2, "the name is not valid UTF-8", ""},
        Case{"control_characters", [](Bench&) {}, {"-n", "19\x7F", "-a", "\a\x1B[2J", "@song.mpt"}, 1,
             "The name holds the control character 0x7F", ""},
        Case{"unknown_option", [](Bench&) {}, {"-a", "Me", "-Zq", "@song.mpt"}, 2, "unknown option '-Z'", ""},
        Case{"name_with_a_line_break", [](Bench&) {}, {"@new\nline.mpt"}, 1, "new\\nline.mpt\": No such file", ""},
        // What is written
        Case{"through_a_link",
             [](Bench& b) {
                 fs::create_directory(b.dir / "real");
                 link(b, "real/old.sap", "l.sap");
                 fs::copy_file(b.dir / "old.sap", b.dir / "real/old.sap");
             },
             {"-o", "@l.sap", "@song.mpt"}, 0, "", "real/old.sap"},
        Case{"through_a_dangling_link", [](Bench& b) { link(b, "new.sap", "l.sap"); }, {"-o", "@l.sap", "@song.mpt"},
             0, "", "new.sap"},
        Case{"longest_name", [](Bench&) {}, {"-o", "@" + kLongName, "@song.mpt"}, 0, "", kLongName.c_str()},
        Case{"proc_file", [](Bench& b) { link(b, "/proc/version", "v.com"); }, {"@v.com"}, 0, "", "v.SAP"},
        Case{"overlapping_samples", [](Bench&) {}, {"-s", "@adr.d15", "@adr.md1"}, 0,
             "warning: ADR conflict detected! (SAP failure?)", "adr.SAP"},
        Case{"letters_without_a_code_page_form", [](Bench&) {}, {"-n", "\u65E5\u0151", "-o", "@old.sap", "@song.mpt"}, 0,
             "warning: the name's character '\u65E5' (U+65E5) has no Windows-1250 form and is written as '?'",
             "old.sap"}),
    [](const auto& info) { return std::string(info.param.label); });

// What the options that only inform print, and their status when it cannot be written.
TEST(Cli, InformingOptions)
{
    const std::string usage = "Usage: orvex-convert [OPTIONS] MODULE...\n";
    const std::tuple<const char*, int, std::string> rows[] = {
        {"--help", 0, usage}, {"-h", 0, usage}, {"--version", 0, "orvex-convert " ORVEX_VERSION "\n"},
        {"--help > /dev/full", 1, ""}, {"--version > /dev/full", 1, ""}};
    for (const auto& [options, status, printed] : rows) {
        const Outcome r = run({"sh", "-c", std::string(ORVEX_CONVERT) + " " + options});
        EXPECT_EQ(r.status, status) << options << ": " << r.err;
        EXPECT_EQ(r.out.rfind(printed, 0), 0u) << options << ": " << r.out;
        EXPECT_EQ(r.err.empty(), status == 0) << options << ": " << r.err;
    }
}

// Many modules in one run, several at once: a tree with -r -o DIR, failures among good
// ones, a name clash, an .MD1 without its .D15; each file as the module converted alone
// gives it.
TEST(Cli, Batch)
{
    Bench b;
    b.putPlayers();
    const std::vector<std::string> good = {"one.mpt", "a/two.TMC", "a/b/three.cmc", "a/b/four.md1", "demo.com"};
    for (const std::string& name : good)
        b.put("in/" + name, module(0x2000, 300, 2));
    b.put("in/a/b/FOUR.D15", d15(0x50, 288));
    b.put("in/a/b/lone.md1", module(0x2000, 300));
    b.put("in/a/clash.cmc", module(0x2000, 300));
    b.put("in/a/clash.mpt", module(0x2000, 300));
    b.put("in/a/notes.txt", bytesOf("not a module"));
    std::filesystem::create_directories(b.dir / "out");
    std::filesystem::create_directories(b.dir / "one");
    std::map<std::string, std::string> files;
    for (const char* jobs : {"1", "4"}) {
        const Outcome r = run({ORVEX_CONVERT, "-p", b.players, "-j", jobs, "-r", b.dir / "in", "-o", b.dir / "out"});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("lone.md1\" has no .D15 file beside it"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("clash.cmc\", \"" + (b.dir / "in/a/clash.mpt") + "\" would all write"), std::string::npos);
        EXPECT_NE(r.err.find("orvex-convert: 5 converted, 3 failed\n"), std::string::npos) << r.err;
        const auto written = listing(b.dir.path() / "out");
        EXPECT_TRUE(files.empty() || written == files) << "-j " << jobs;
        files = written;
    }
    // Each as one module gives
    for (const std::string& name : good) {
        const std::string sap = name.substr(0, name.size() - 4) + ".SAP";
        std::vector<std::string> args = {ORVEX_CONVERT, "-p", b.players, "-o", b.dir / ("one/" + sap.substr(sap.rfind('/') + 1))};
        if (name.ends_with(".md1"))
            args.insert(args.end(), {"-s", b.dir / "in/a/b/FOUR.D15"});
        args.push_back(b.dir / ("in/" + name));
        EXPECT_EQ(run(args).status, 0) << name;
        EXPECT_EQ(files[sap], listing(b.dir.path() / "one")[sap.substr(sap.rfind('/') + 1)]) << name;
    }
    EXPECT_EQ(files.size(), 7u);  // five files, two folders
}

// --check plays each file: a player that sounds passes, one whose entries only return
// fails as silent and its file stays, TYPE D is not checked.
TEST(Cli, Check)
{
    Bench b;
    // Start: AUDF1 $40, AUDC1 $AA (a pure tone), SKCTL 3; play: return.
    b.putPlayer("mpt_0500.plr", atariFile(0x0500, hex("4C 06 05 60 EA EA A9 40 8D 00 D2 A9 AA 8D 01 D2 A9 03 8D 0F D2 60")));
    b.put("quiet/mpt_0500.plr", atariFile(0x0500, Bytes(16, 0x60)));
    b.put("s.d15", d15(0x50, 288));
    const std::string song = b.put("song.mpt", module(0x2000, 300)), md1 = b.put("song.md1", module(0x2000, 300));
    EXPECT_EQ(run({ORVEX_CONVERT, "--check", "-p", b.players, "-o", b.dir / "tone.sap", song}).err, "");
    const Outcome quiet = run({ORVEX_CONVERT, "--check", "-p", b.dir / "quiet", "-o", b.dir / "quiet.sap", song});
    EXPECT_EQ(quiet.status, 1);
    EXPECT_EQ(quiet.err, "orvex-convert: check: the SAP file \"" + (b.dir / "quiet.sap")
                             + "\" plays silence for 10 s (RMS below -60 dBFS).\n");
    EXPECT_TRUE(std::filesystem::exists(b.dir / "quiet.sap"));
    const Outcome digi = run({ORVEX_CONVERT, "--check", "-p", b.players, "-s", b.dir / "s.d15", md1});
    EXPECT_EQ(digi.status, 0);
    EXPECT_NE(digi.err.find("not checked: libgme does not play TYPE D"), std::string::npos);
}

// Player files are looked for in the user's folder, then in the program's.
TEST(Cli, PlayerFolders)
{
    Bench b;
    const std::string song = b.put("song.mpt", module(0x3000, 500));
    b.put("home/.local/share/orvex/players/mpt_0500.plr", player(90));
    EXPECT_EQ(run({"env", "-u", "XDG_DATA_HOME", "HOME=" + (b.dir / "home"), ORVEX_CONVERT, song}).status, 0);
    const Outcome missing = run({"env", "XDG_DATA_HOME=" + (b.dir / "data"), ORVEX_CONVERT, song});
    EXPECT_EQ(missing.status, 1);
    const std::string program = std::filesystem::path(ORVEX_CONVERT).parent_path().parent_path() / "share/orvex/players";
    EXPECT_EQ(missing.err, "orvex-convert: Cannot read the player file \"mpt_0500.plr\": it is neither in \""
                               + (b.dir / "data/orvex/players/mpt_0500.plr") + "\" nor in \"" + program
                               + "/mpt_0500.plr\".\n");
}

// Stopped at random moments, a conversion leaves the old file or the whole new one, and
// no temporary file.
TEST(Cli, Signals)
{
    Bench b;
    const std::string song = b.put("big.com", module(0x2000, 128000)), target = b.dir / "out.sap";
    const Bytes converted = b.convert("copy.com", module(0x2000, 128000));
    std::mt19937 random(7);
    for (int run = 0; run < 60; ++run) {
        const int signal = run % 3 == 0 ? SIGTERM : run % 3 == 1 ? SIGINT : SIGHUP;
        b.put("out.sap", bytesOf("old"));
        // timeout sends the signal after up to 4 ms and exits with the converter's status.
        const Outcome r = support::run({"timeout", "--preserve-status", "-s", std::to_string(signal),
                                        "0.00" + std::to_string(random() % 4000 + 1000).substr(0, 3), ORVEX_CONVERT,
                                        "-o", target, song});
        const Bytes left = readFile(target);
        if (r.status == 0)
            EXPECT_EQ(left, converted);
        else
            EXPECT_EQ(r.status, 128 + signal);
        EXPECT_TRUE(left == converted || left == bytesOf("old"));
        EXPECT_EQ(b.dir.listing().size(), 5u) << "a temporary file was left";
    }
}

} // namespace

namespace {

// --time: the TIME line found by running the tune, as the header's last line; the rest
// of the file as without it. In a batch the summary counts the files timed.
TEST(Cli, Time)
{
    Bench b;
    b.putPlayers();
    const std::string tunes = TUNES;
    for (const char* tune : {"intro_loop.com", "ends.com", "never.com"})
        b.put("music/" + std::string(tune), readFile(tunes + "/" + tune));
    b.put("music/digi.md1", module(0x2000, 300));
    b.put("music/digi.d15", d15(0x50, 288));
    const Outcome plain = run({ORVEX_CONVERT, "-p", b.players, "-o", "-", b.dir / "music/intro_loop.com"});
    const Outcome timed = run({ORVEX_CONVERT, "--time", "-p", b.players, "-o", "-", b.dir / "music/intro_loop.com"});
    EXPECT_EQ(timed.status, 0);
    const std::size_t end = plain.out.find("PLAYER 8017\r\n") + 13;
    EXPECT_EQ(timed.out, plain.out.substr(0, end) + "TIME 00:05.014 LOOP\r\n" + plain.out.substr(end));

    const Outcome batch = run({ORVEX_CONVERT, "--time", "--time-limit", "1", "-j", "1", "-p", b.players, "-r", b.dir / "music"});
    EXPECT_EQ(batch.status, 0);
    // The files are put in place, and their lines said, in the order their flushes end.
    std::multiset<std::string> lines;
    std::istringstream err(batch.err);
    for (std::string line; std::getline(err, line);)
        lines.insert(line);
    EXPECT_EQ(lines, (std::multiset<std::string>{
                         "orvex-convert: The SAP file \"" + (b.dir / "music/digi.SAP") + "\": not timed: TYPE D plays from its INIT.",
                         "orvex-convert: The SAP file \"" + (b.dir / "music/never.SAP") + "\": no TIME: no end or loop within 1 minute.",
                         "orvex-convert: 4 converted, 0 failed, 2 timed"}));
    const auto header = [&](const std::string& name) {
        const std::string file = textOf(readFile(b.dir / ("music/" + name)));
        return file.substr(file.find("INIT"), file.find("\xFF\xFF") - file.find("INIT"));
    };
    EXPECT_EQ(header("ends.SAP"), "INIT 8011\r\nPLAYER 8017\r\nTIME 00:03.971\r\n");
    EXPECT_EQ(header("never.SAP"), "INIT 8011\r\nPLAYER 8017\r\n");
    EXPECT_EQ(run({ORVEX_CONVERT, "--time-limit", "0", b.dir / "music/ends.com"}).status, 2);
    EXPECT_EQ(run({ORVEX_CONVERT, "--time-limit", "601", b.dir / "music/ends.com"}).status, 2);
}

} // namespace
