// orvex-convert from the outside: each case with its exit status, its messages and what
// is left on disk (never an input, a special file or a protected file destroyed), which
// modules a list or a tree holds; the options that inform, the check, player folders and
// --time.

#include "convert.h"
#include "version.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>
#include <sstream>
#include <tuple>
#include <sys/stat.h>

namespace {

using namespace support;
namespace fs = std::filesystem;

struct Case {
    const char* label;
    std::function<void(Bench&)> setup;  // beyond the files every case has (below)
    std::vector<std::string> args;      // "@name" stands for the file in the test's folder
    int status;
    std::vector<const char*> said;      // each in a line of its own, the summary too
    std::vector<std::string> writes;    // the entries the run adds or changes, below the folder
};

class Cli : public ::testing::TestWithParam<Case> {};

TEST_P(Cli, MessageStatusAndDisk)
{
    const Case& c = GetParam();
    Bench b;
    b.putPlayers();
    b.put("song.mpt", module(0x3000, 500));
    b.put("song.md1", module(0x3000, 500));
    b.put("s.d15", d15(0x50, 288));
    b.put("old.sap", bytesOf("an older file"));
    b.put("adr.md1", atariFile(0x2000, Bytes(0x2000, 1)));  // pages $20-$3F
    b.put("adr.d15", d15(0x40, 1056));                      // pages $3F-$43
    b.put("tags.csv", bytesOf("module\n"));
    c.setup(b);
    auto before = b.dir.listing();
    const Outcome r = orvexConvert(b, c.args);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_EQ(notASentence(r.err), "") << r.err;
    // After a usage error, a line on --help
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), static_cast<long>(c.said.size() + (c.status == 2))) << r.err;
    for (const char* fragment : c.said)
        EXPECT_NE(r.err.find(fragment), std::string::npos) << fragment << "\n" << r.err;
    auto after = b.dir.listing();
    for (const std::string& name : c.writes) {
        EXPECT_EQ(after.erase(name), 1u) << name;
        before.erase(name);
    }
    EXPECT_EQ(after, before);
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

void link(Bench& b, const char* to, const char* name) { fs::create_symlink(to, b.dir / name); }

const std::string kLong(251, 'x'), kLongName = kLong + ".sap";  // 255 bytes
const Bytes kCmc = module(0x2000, 300);

INSTANTIATE_TEST_SUITE_P(
    Cases, Cli,
    ::testing::Values(
        Case{"no_module", [](Bench&) {}, {}, 2, {"orvex-convert: No MODULE given.\n"}, {}},
        Case{"option_without_value", [](Bench&) {}, {"@song.mpt", "-o"}, 2, {"Option '-o' needs a value."}, {}},
        Case{"long_option_without_value", [](Bench&) {}, {"@song.mpt", "--tags"}, 2, {"Option '--tags' needs a value."}, {}},
        Case{"jobs_not_in_digits", [](Bench&) {}, {"-j", " 5", "@song.mpt"}, 2, {"1 to 64, not ' 5'."}, {}},
        Case{"time_limit_in_hexadecimal", [](Bench&) {}, {"--time-limit", "0x10", "@song.mpt"}, 2, {"600, not '0x10'."}, {}},
        Case{"time_limit_with_an_exponent", [](Bench&) {}, {"--time-limit", "1e1", "@song.mpt"}, 2, {"600, not '1e1'."}, {}},
        Case{"empty_output_path", [](Bench&) {}, {"-o", "", "@song.mpt"}, 2, {"The output path is empty."}, {}},
        Case{"audio_to_standard_output", [](Bench&) {}, {"--audio", "wav", "-o", "-", "@song.mpt"}, 2, {"with -o -."}, {}},
        Case{"audio_format_unknown", [](Bench&) {}, {"--audio", "wav,aiff", "@song.mpt"}, 2, {"; 'aiff' is not one"}, {}},
        Case{"audio_format_empty", [](Bench&) {}, {"--audio", "wav,", "@song.mpt"}, 2, {"; '' is not one"}, {}},
        Case{"fade_without_audio", [](Bench&) {}, {"--fade", "3", "@song.mpt"}, 2, {"are for the audio files"}, {}},
        Case{"fade_negative", [](Bench&) {}, {"--audio", "wav", "--fade", "-1", "@song.mpt"}, 2, {"600, not '-1'."}, {}},
        Case{"length_one_digit", [](Bench&) {}, {"--audio", "wav", "--length", "3:5", "@song.mpt"}, 2, {"not '3:5'."}, {}},
        Case{"length_zero", [](Bench&) {}, {"--audio", "wav", "--length", "0:00", "@song.mpt"}, 2, {"not '0:00'."}, {}},
        Case{"length_60_seconds", [](Bench&) {}, {"--audio", "wav", "--length", "1:60", "@song.mpt"}, 2, {"not '1:60'."}, {}},
        Case{"audio_onto_the_sap_file", [](Bench&) {}, {"--audio", "flac", "-o", "@x.flac", "@song.mpt"}, 2,
             {"would be its own FLAC file"}, {}},
        Case{"tags_file_as_the_output", [](Bench&) {}, {"--tags", "@tags.csv", "-o", "@tags.csv", "@song.mpt"}, 2,
             {"tags.csv\" is the tags file \""}, {}},
        Case{"tags_file_as_the_output_through_links",
             [](Bench& b) { fs::create_hard_link(b.dir / "tags.csv", b.dir / "h.csv"), link(b, "h.csv", "l.sap"); },
             {"--tags", "@tags.csv", "-o", "@l.sap", "@song.mpt"}, 2, {"l.sap\" is the tags file \""}, {}},
        Case{"tags_file_as_the_sap_file_beside", [](Bench& b) { b.put("song.SAP", bytesOf("module\n")); },
             {"--tags", "@song.SAP", "@song.mpt"}, 2, {"song.SAP\" is the tags file \""}, {}},
        Case{"tags_file_as_the_sap_file_of_a_batch",
             [](Bench& b) { b.put("t/a.SAP", bytesOf("module\n")), b.put("t/a.mpt", module(0x2000, 300)); },
             {"--tags", "@t/a.SAP", "@t/a.mpt", "@song.mpt"}, 1, {"a.SAP\" is the tags file \"", "1 converted, 1 failed."},
             {"song.SAP"}},
        Case{"batch_output_not_a_folder", [](Bench&) {}, {"-o", "@old.sap", "@song.mpt", "@song.md1"}, 2,
             {"is not an existing folder"}, {}},
        Case{"md1_without_samples", [](Bench&) {}, {"@song.md1"}, 2, {"needs its .D15 digi-sample file"}, {}},
        Case{"samples_without_md1", [](Bench&) {}, {"-s", "@s.d15", "@song.mpt"}, 2, {"-s is only for .MD1"}, {}},
        Case{"onto_the_module", [](Bench&) {}, {"-o", "@song.mpt", "@song.mpt"}, 1,
             {"song.mpt\" is the module file \""}, {}},
        Case{"onto_the_module_by_hard_link", [](Bench& b) { fs::create_hard_link(b.dir / "song.mpt", b.dir / "h.sap"); },
             {"-o", "@h.sap", "@song.mpt"}, 1, {"h.sap\" is the module file"}, {}},
        Case{"onto_the_samples", [](Bench&) {}, {"-s", "@s.d15", "-o", "@s.d15", "@song.md1"}, 1,
             {"s.d15\" is the digi-sample file"}, {}},
        // The texts of the file replaced are not read from a device or a FIFO either.
        Case{"a_device", [](Bench&) {}, {"--keep-tags", "-o", "/dev/null", "@song.mpt"}, 1,
             {"\"/dev/null\": it is a device"}, {}},
        Case{"a_fifo", [](Bench& b) { ::mkfifo((b.dir / "f.sap").c_str(), 0644); }, {"--keep-tags", "-o", "@f.sap", "@song.mpt"},
             1, {"f.sap\": it is a FIFO, not a regular file."}, {}},
        Case{"a_link_loop", [](Bench& b) { link(b, "loop2", "loop1"), link(b, "loop1", "loop2"); },
             {"-o", "@loop1", "@song.mpt"}, 1, {"loop1\": Too many levels of symbolic links."}, {}},
        Case{"module_fifo", [](Bench& b) { ::mkfifo((b.dir / "f.mpt").c_str(), 0644); }, {"@f.mpt"}, 1,
             {"f.mpt\": it is a FIFO, not a regular file."}, {}},
        Case{"overlong_utf8", [](Bench&) {}, {"-n", "\xC0\x80", "@song.mpt"}, 2, {"The name is not valid UTF-8."}, {}},
        Case{"control_characters", [](Bench&) {}, {"-n", "19\x7F", "-a", "\a\x1B[2J", "@song.mpt"}, 2,
             {"The name holds the control character 0x7F, which a SAP header line cannot carry."}, {}},
        Case{"unknown_option", [](Bench&) {}, {"--check", "-Zq", "@song.mpt"}, 2, {"Unknown option '-Z'."}, {}},
        Case{"double_quote_in_a_standard_header", [](Bench&) {}, {"--standard-header", "-n", "Say \"hi\"", "@song.mpt"},
             2, {"The name holds a double quote, which the standard SAP header cannot carry."}, {}},
        Case{"name_with_a_line_break", [](Bench&) {}, {"@new\nline.mpt"}, 1, {"new\\nline.mpt\": No such file"}, {}},
        // What is written
        Case{"through_a_link",
             [](Bench& b) { b.put("real/old.sap", bytesOf("an older file")), link(b, "real/old.sap", "l.sap"); },
             {"-o", "@l.sap", "@song.mpt"}, 0, {}, {"real/old.sap"}},
        Case{"through_a_dangling_link", [](Bench& b) { link(b, "new.sap", "l.sap"); }, {"-o", "@l.sap", "@song.mpt"},
             0, {}, {"new.sap"}},
        Case{"longest_name", [](Bench&) {}, {"-o", "@" + kLongName, "@song.mpt"}, 0, {}, {kLongName}},
        Case{"proc_file", [](Bench& b) { link(b, "/proc/version", "v.com"); }, {"@v.com"}, 1,
             {"v.com\" is not an Atari binary file: it does not begin with the bytes FF FF."}, {}},
        Case{"text_as_cmc", [](Bench& b) { b.put("notes.cmc", bytesOf("notes\n")); }, {"-o", "@old.sap", "@notes.cmc"}, 1,
             {"notes.cmc\" is not an Atari binary file"}, {}},
        Case{"com_cut_in_a_segment", [](Bench& b) { b.put("cut.com", slice(module(0x8000, 300), 0, 200)); },
             {"-o", "@old.sap", "@cut.com"}, 1, {"cut.com\" is not an Atari binary file: its segment at byte 2"}, {}},
        Case{"overlapping_samples", [](Bench&) {}, {"-s", "@adr.d15", "@adr.md1"}, 0,
             {"Warning: ADR conflict detected! (SAP failure?) The SAP file is written all the same."}, {"adr.SAP"}},
        Case{"letters_without_a_code_page_form", [](Bench&) {},
             {"-n", "\u65E5\u0151\u6708\u706B\u6C34\u6728\u91D1\u571F\u65E5", "-o", "@old.sap", "@song.mpt"}, 0,
             {"Warning: the name's characters '\u65E5' (U+65E5), '\u6708' (U+6708), '\u706B' (U+706B), '\u6C34' (U+6C34), "
              "'\u6728' (U+6728) and 2 more have no Windows-1250 form and are written as '?'.\n"},
             {"old.sap"}},
        Case{"texts_kept_from_no_sap_file", [](Bench& b) { b.put("junk.SAP", bytesOf("SAP")); },
             {"--keep-tags", "-o", "@junk.SAP", "@song.mpt"}, 0,
             {"junk.SAP\" has no texts to keep: line 1: the file does not begin with a SAP header (the line \"SAP\")."}, {"junk.SAP"}},
        // Which modules a list or a tree holds: each converted once
        Case{"module_given_twice", [](Bench&) {}, {"@song.mpt", "@song.mpt"}, 0, {"orvex-convert: 1 converted, 0 failed.\n"}, {"song.SAP"}},
        Case{"samples_beside_their_module",
             [](Bench& b) {
                 for (const char* name : {"t/a.md1", "t/b.mpt"})
                     b.put(name, module(0x2000, 300));
                 for (const char* name : {"t/A.d15", "t/lone.d15"})
                     b.put(name, d15(0x50, 288));
                 b.put("t/readme.txt", bytesOf("notes"));
                 fs::create_directory(b.dir / "t/sub");
             },
             {"@t/a.md1", "@t/A.d15", "@t/b.mpt", "@t/lone.d15", "@t/readme.txt", "@t/sub"}, 0,
             {"t/lone.d15\" is not a module: skipped.", "t/readme.txt\" is not a module", "t/sub\" is not a module",
              "2 converted, 0 failed, 3 skipped."},
             {"t/a.SAP", "t/b.SAP"}},
        Case{"overlapping_folders",
             [](Bench& b) { b.put("m/a.mpt", module(0x2000, 300)), b.put("m/d/b.cmc", module(0x2000, 300)); },
             {"-r", "@m", "@m/d", "@m/../m"}, 0, {"2 converted, 0 failed."}, {"m/a.SAP", "m/d/b.SAP"}},
        Case{"md1_without_its_samples_in_a_tree", [](Bench& b) { b.put("m/a.md1", module(0x2000, 300)); }, {"-r", "@m"}, 1,
             {"a.md1\" has no .D15 file beside it", "0 converted, 1 failed."}, {}},
        Case{"clash_through_a_folder_link",
             [](Bench& b) {
                 b.put("x/a.cmc", module(0x2000, 300)), b.put("x/a.mpt", module(0x2000, 300)), link(b, "x", "y");
             },
             {"@x/a.cmc", "@y/a.mpt"}, 1, {"y/a.mpt\" would all write the SAP file", "0 converted, 2 failed."}, {}},
        Case{"clash_through_a_sap_link",
             [](Bench& b) {
                 b.put("l/a.cmc", module(0x2000, 300)), b.put("l/b.mpt", module(0x2000, 300)), link(b, "a.SAP", "l/b.SAP");
             },
             {"-r", "@l"}, 1, {"b.mpt\" would all write the SAP file", "0 converted, 2 failed."}, {}},
        Case{"clash_in_the_output_folder",
             [](Bench& b) {
                 for (const char* name : {"one/s/a.cmc", "two/s/a.tmc", "two/s/b.tmc"})
                     b.put(name, module(0x2000, 300));
                 fs::create_directory(b.dir / "out");
             },
             {"-r", "@one", "@two", "-o", "@out"}, 1, {"two/s/a.tmc\" would all write the SAP file", "1 converted, 2 failed."},
             {"out/s", "out/s/b.SAP"}},
        // Across the folders of a tree: a module met again, SAP names that links lead into another folder
        Case{"hard_link_in_another_folder",
             [](Bench& b) {
                 b.put("h/a/x.cmc", module(0x2000, 300)), fs::create_directory(b.dir / "h/b");
                 fs::create_hard_link(b.dir / "h/a/x.cmc", b.dir / "h/b/z.cmc");
             },
             {"-r", "@h"}, 0, {"1 converted, 0 failed."}, {"h/a/x.SAP"}},
        Case{"sap_link_to_a_later_folder",
             [](Bench& b) { b.put("k/a/x.cmc", kCmc), b.put("k/b/y.cmc", kCmc), link(b, "../b/y.SAP", "k/a/x.SAP"); },
             {"-r", "@k"}, 1, {"b/y.cmc\" would write the SAP file \"", "1 converted, 1 failed."}, {"k/b/y.SAP"}},
        Case{"sap_link_to_an_earlier_folder",
             [](Bench& b) { b.put("k/a/x.cmc", kCmc), b.put("k/b/y.cmc", kCmc), link(b, "../a/x.SAP", "k/b/y.SAP"); },
             {"-r", "@k"}, 1, {"k/b/y.SAP\", which the module \"", "1 converted, 1 failed."}, {"k/a/x.SAP"}},
        Case{"linked_folder_of_the_output",
             [](Bench& b) {
                 b.put("m/a/x.cmc", kCmc), b.put("m/b/x.cmc", kCmc), fs::create_directories(b.dir / "out/b"), link(b, "b", "out/a");
             },
             {"-r", "@m", "-o", "@out"}, 1, {"m/b/x.cmc\" would write the SAP file", "1 converted, 1 failed."}, {"out/b/x.SAP"}}),
    [](const auto& info) { return std::string(info.param.label); });

// On a terminal under -r, the progress line counts the files done and the folders still
// to read. The first file is done before the run can have read more: 16 files are placed
// at once and 16 wait for it, fewer than the 36 of the first folder.
TEST(Cli, ProgressUnderRecursive)
{
    Bench b;
    b.putPlayers();
    for (int i = 0; i < 36; ++i)
        b.put("m/t" + std::to_string(i) + ".cmc", kCmc);
    b.put("m/d/b.cmc", kCmc), b.put("m/e/c.cmc", kCmc);
    const Outcome r = run({"script", "-qec", std::string(ORVEX_CONVERT) + " -j 1 -p " + b.players + " -r " + b.dir / "m", "/dev/null"});
    EXPECT_NE(r.out.find("[1 done, 2 folders to read] \""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("[38 done] \""), std::string::npos) << r.out;
}

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

// --check plays each file: one whose player's entries only return fails as silent (and
// --time finds it silent), and its file stays; TYPE D is not checked. (A tune that sounds
// passes: the package's test.)
TEST(Cli, Check)
{
    Bench b;
    b.putPlayer("mpt_0500.plr", atariFile(0x0500, Bytes(16, 0x60)));
    b.put("s.d15", d15(0x50, 288));
    b.put("song.mpt", module(0x2000, 300)), b.put("song.md1", module(0x2000, 300));
    const Outcome quiet = orvexConvert(b, {"--check", "--time", "-o", "@quiet.sap", "@song.mpt"});
    EXPECT_EQ(quiet.status, 1);
    const std::string sap = "\"" + (b.dir / "quiet.sap") + "\"";
    EXPECT_EQ(quiet.err, "orvex-convert: The SAP file " + sap + ": no TIME: it stays silent.\norvex-convert: Check: the SAP file "
                             + sap + " plays silence for 10 s (RMS below -60 dBFS).\n");
    EXPECT_TRUE(std::filesystem::exists(b.dir / "quiet.sap"));
    const Outcome digi = orvexConvert(b, {"--check", "-s", "@s.d15", "@song.md1"});
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

// --time: the TIME line found by running the tune, as the header's last line; the rest
// of the file as without it. In a batch the summary counts the files timed.
TEST(Cli, Time)
{
    Bench b;
    b.putPlayers();
    const std::string tunes = TUNES;
    for (const char* tune : {"intro_loop.com", "ends.com", "random_notes.com"})
        b.put("music/" + std::string(tune), readFile(tunes + "/" + tune));
    b.put("music/digi.md1", module(0x2000, 300));
    b.put("music/digi.d15", d15(0x50, 288));
    const Outcome plain = orvexConvert(b, {"-o", "-", "@music/intro_loop.com"});
    const Outcome timed = orvexConvert(b, {"--time", "-o", "-", "@music/intro_loop.com"});
    EXPECT_EQ(timed.status, 0);
    const std::size_t end = plain.out.find("PLAYER 8017\r\n") + 13;
    EXPECT_EQ(timed.out, plain.out.substr(0, end) + "TIME 00:05.014 LOOP\r\n" + plain.out.substr(end));

    const Outcome batch = orvexConvert(b, {"--time", "--time-limit", "1", "-j", "1", "-r", "@music"});
    EXPECT_EQ(batch.status, 0);
    // The files are put in place, and their lines said, in the order their flushes end.
    std::multiset<std::string> lines;
    std::istringstream err(batch.err);
    for (std::string line; std::getline(err, line);)
        lines.insert(line);
    EXPECT_EQ(lines, (std::multiset<std::string>{
                         "orvex-convert: The SAP file \"" + (b.dir / "music/digi.SAP") + "\": not timed: TYPE D plays from its INIT.",
                         "orvex-convert: The SAP file \"" + (b.dir / "music/random_notes.SAP") + "\": no TIME: no end or loop within 1 minute.",
                         "orvex-convert: 4 converted, 0 failed, 2 timed."}));
    EXPECT_TRUE(textOf(readFile(b.dir / "music/ends.SAP")).find("PLAYER 8017\r\nTIME 00:03.991\r\n\xFF\xFF") != std::string::npos);
    EXPECT_TRUE(textOf(readFile(b.dir / "music/random_notes.SAP")).find("PLAYER 8017\r\n\xFF\xFF") != std::string::npos);
    EXPECT_EQ(orvexConvert(b, {"--time-limit", "0", "@music/ends.com"}).status, 2);
    EXPECT_EQ(orvexConvert(b, {"--time-limit", "601", "@music/ends.com"}).status, 2);
}

} // namespace
