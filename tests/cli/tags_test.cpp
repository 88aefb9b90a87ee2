// Where each module's texts come from: the archive's tags file (--tags), the options,
// the SAP file replaced (--keep-tags); and the standard header. Every broken tags file is
// refused before anything is written.

#include "convert.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

namespace {

using namespace support;
namespace fs = std::filesystem;

// The AUTHOR, NAME and DATE lines of a SAP file
std::string textLines(const std::string& path)
{
    const std::string file = textOf(readFile(path));
    const std::size_t from = file.find("AUTHOR");
    return file.substr(from, file.find("TYPE ") - from);
}

struct Broken {
    const char* label;
    const char* tags;  // nullptr: no such file, or what `special` makes
    const char* said;
    void (*special)(const std::string& path) = nullptr;
};

class BrokenTagsFile : public ::testing::TestWithParam<Broken> {};

TEST_P(BrokenTagsFile, RefusedBeforeAnythingIsWritten)
{
    const Broken& c = GetParam();
    Bench b;
    b.putPlayers();
    b.put("song.mpt", module(0x2000, 300));
    if (c.tags)
        b.put("meta/tags.csv", bytesOf(c.tags));
    if (c.special)
        fs::create_directory(b.dir / "meta"), c.special(b.dir / "meta/tags.csv");
    const auto before = b.dir.listing();
    const Outcome r = orvexConvert(b, {"--tags", "@meta/tags.csv", "-r", "@."});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.find("orvex-convert: "), 0u) << r.err;
    EXPECT_EQ(notASentence(r.err), "") << r.err;
    EXPECT_NE(r.err.find("\"" + (b.dir / "meta/tags.csv") + "\"" + c.said), std::string::npos) << r.err;
    EXPECT_EQ(b.dir.listing(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Tags, BrokenTagsFile,
    ::testing::Values(
        Broken{"missing", nullptr, ": No such file or directory."},
        Broken{"fifo", nullptr, ": it is a FIFO, not a regular file.", [](const std::string& p) { ::mkfifo(p.c_str(), 0644); }},
        Broken{"device", nullptr, ": it is a device, not a regular file.",
               [](const std::string& p) { fs::create_symlink("/dev/zero", p); }},
        Broken{"empty", "", " is empty"},
        Broken{"invalid_utf8", "module,name\nsong.mpt,\"Tune\n\xC3\x28\"\n", " line 3 is not valid UTF-8."},
        Broken{"overlong_utf8", "module,name\n\nsong.mpt,\xC0\xAF\n", " line 3 is not valid UTF-8"},
        Broken{"unterminated_quote", "module,name\nsong.mpt,\"Tune\nmore\n", " line 2: a quoted cell has no closing quote"},
        Broken{"quote_inside_a_cell", "module,name\nsong.mpt,Tu\"ne\n", " line 2: a quote inside a cell"},
        Broken{"text_after_a_quote", "module,name\r\nsong.mpt,\"Tu\"ne\r\n", " line 2: text follows the closing quote"},
        Broken{"lone_carriage_return", "module,name\rsong.mpt,Tune\r", " line 1: a carriage return without its line feed"},
        Broken{"no_module_column", "name,author\nTune,Me\n", " line 1: no column is named \"module\""},
        Broken{"unknown_column", "module,title\nsong.mpt,Tune\n",
               " line 1: unknown column \"title\" (the columns are module, name, author and date)."},
        Broken{"column_twice", "module,name,NAME\n", " line 1: the column \"NAME\" is named twice"},
        Broken{"cells_and_columns", "module,name\nsong.mpt,Tune,Me\n", " line 2: 3 cells, where line 1 names 2 columns"},
        Broken{"no_module", "module,name\n,Tune\n", " line 2: no module is named"},
        Broken{"same_module_twice", "module,name\n../song.mpt,A\n\"a,b\",\"\n\"\n../meta/../song.mpt,B\n",
               " line 5: the module \"../meta/../song.mpt\" has a row already, on line 2"},
        Broken{"same_missing_module_twice", "module\nno.mpt\nno.mpt\n", " line 3: the module \"no.mpt\" has a row already"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(Tags, TagsFileInAnotherFolder)
{
    Bench b;
    b.putPlayers();
    b.put("music/a.mpt", module(0x2000, 300));
    b.put("music/deep/b.cmc", module(0x2000, 300));
    b.put("music/c.tmc", module(0x2000, 300));
    b.put("meta/tags.csv", bytesOf("\xEF\xBB\xBFModule,DATE,name,Author\r\n"
                                   "../music/a.mpt,1999,\"Tune, with a comma\",\"Me \"\"and\"\" You\"\r\n"
                                   + (b.dir / "music/deep/b.cmc") + ",,Za\u017C\u00F3\u0142\u0107 \u65E5,\r\n"
                                   "../music/gone.mpt,,Gone,\r\n"));
    const Outcome r = orvexConvert(b, {"--tags", "@meta/tags.csv", "-a", "Option", "-r", "@music"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "orvex-convert: Warning: \"" + (b.dir / "meta/tags.csv")
                         + "\" line 3: the name's character '\u65E5' (U+65E5) has no Windows-1250 form and is written as "
                           "'?'.\norvex-convert: Warning: \""
                         + (b.dir / "meta/tags.csv")
                         + "\" line 4: the module \"../music/gone.mpt\" is not one of this run's.\n"
                           "orvex-convert: 3 converted, 0 failed, 2 warnings.\n");
    EXPECT_EQ(textLines(b.dir / "music/a.SAP"), "AUTHOR  'Me \"and\" You'\r\nNAME  'Tune, with a comma'\r\nDATE  '1999'\r\n");
    EXPECT_EQ(textLines(b.dir / "music/deep/b.SAP"), "AUTHOR  'Option'\r\nNAME  'Za\xBF\xF3\xB3\xE6 ?'\r\nDATE  '<?>'\r\n");
    EXPECT_EQ(textLines(b.dir / "music/c.SAP"), "AUTHOR  'Option'\r\nNAME  'Unknown'\r\nDATE  '<?>'\r\n");
}

// Where a field's text comes from: the first source with a text wins, the tags file's
// cell, the option, the SAP file replaced. Converted again with --keep-tags, in either
// style, a file keeps its texts, byte for byte, however long.
struct Source {
    const char* label;
    const char* cells;                     // the tags file row's name,author,date (nullptr: no --tags)
    const char* kept;                      // the lines of the SAP file there ("": none), or nullptr:
    std::vector<std::string> first;        // the file of a first conversion with these options
    std::vector<std::string> options;
    std::string lines;                     // written
    const char* warned = "";
};

class Texts : public ::testing::TestWithParam<Source> {};

TEST_P(Texts, FirstTextWins)
{
    const Source& c = GetParam();
    Bench b;
    b.putPlayers();
    b.put("song.tmc", module(0x2000, 300, 2));
    const auto convert = [&](std::vector<std::string> options) {
        options.push_back("@song.tmc");
        return orvexConvert(b, options);
    };
    if (!c.kept)
        ASSERT_EQ(convert(c.first).status, 0);
    else if (*c.kept)
        b.put("song.SAP", bytesOf(std::string("SAP\r\n") + c.kept + "TYPE B\r\n\xFF\xFF"));
    std::vector<std::string> options = c.options;
    if (c.cells) {
        b.put("tags.csv", bytesOf(std::string("module,name,author,date\nsong.tmc,") + c.cells + "\n"));
        options.insert(options.begin(), {"--tags", "@tags.csv"});
    }
    const Outcome r = convert(options);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.empty(), !*c.warned) << r.err;
    EXPECT_NE(r.err.find(c.warned), std::string::npos) << r.err;
    EXPECT_EQ(textLines(b.dir / "song.SAP"), c.lines);
}

const std::vector<std::string> kOptions = {"--keep-tags", "-n", "Opt", "-a", "Opt", "-d", "Opt"};
const std::vector<std::string> kTexts = {"-n", "Tune", "-a", "It's me", "-d", "1999"};
const std::string kLong(5000, 'x');

INSTANTIATE_TEST_SUITE_P(
    Tags, Texts,
    ::testing::Values(
        Source{"tags_file_over_all", "Cell,Cell,Cell", "AUTHOR  'Kept'\r\nNAME  'Kept'\r\nDATE  'Kept'\r\n", {}, kOptions,
               "AUTHOR  'Cell'\r\nNAME  'Cell'\r\nDATE  'Cell'\r\n"},
        Source{"option_over_kept", ",,", "AUTHOR  'Kept'\r\nNAME  'Kept'\r\nDATE  'Kept'\r\n", {}, kOptions,
               "AUTHOR  'Opt'\r\nNAME  'Opt'\r\nDATE  'Opt'\r\n"},
        Source{"each_field_its_own", "Cell,,", "DATE \"Kept\"\r\nNAME \"K\"\r\n", {}, {"--keep-tags", "-a", "Opt", "-d", ""},
               "AUTHOR  'Opt'\r\nNAME  'Cell'\r\nDATE  'Kept'\r\n"},
        Source{"placeholders_are_no_text", ",,", "AUTHOR  'Unknown'\r\nNAME \"<?>\"\r\nDATE  'Unknown'\r\n", {}, {"--keep-tags"},
               "AUTHOR  'Unknown'\r\nNAME  'Unknown'\r\nDATE  '<?>'\r\n"},
        Source{"nothing_anywhere", ",,", "", {}, {"--keep-tags"}, "AUTHOR  'Unknown'\r\nNAME  'Unknown'\r\nDATE  '<?>'\r\n"},
        Source{"kept_past_a_broken_line", nullptr, "AUTHOR  'Kept'\r\nFASTPLAY 0\r\nNAME \"K\"\r\n", {}, {"--keep-tags"},
               "AUTHOR  'Kept'\r\nNAME  'K'\r\nDATE  '<?>'\r\n"},
        Source{"kept_apostrophes_to_standard", nullptr, nullptr, kTexts, {"--keep-tags", "--standard-header"},
               "AUTHOR \"It's me\"\r\nNAME \"Tune\"\r\nDATE \"1999\"\r\n"},
        Source{"kept_standard_to_apostrophes", nullptr, nullptr, {"-n", "Tune", "-a", "It's me", "-d", "1999", "--standard-header"},
               {"--keep-tags"}, "AUTHOR  'It's me'\r\nNAME  'Tune'\r\nDATE  '1999'\r\n"},
        Source{"kept_placeholders_to_standard", nullptr, nullptr, {}, {"--keep-tags", "--standard-header"},
               "AUTHOR \"<?>\"\r\nNAME \"<?>\"\r\nDATE \"<?>\"\r\n"},
        Source{"kept_placeholders_to_apostrophes", nullptr, nullptr, {"--standard-header"}, {"--keep-tags"},
               "AUTHOR  'Unknown'\r\nNAME  'Unknown'\r\nDATE  '<?>'\r\n"},
        Source{"kept_code_page_to_ascii", nullptr, nullptr, {"-n", "Za\u017C\u00F3\u0142\u0107"}, {"--keep-tags", "--standard-header"},
               "AUTHOR \"<?>\"\r\nNAME \"Zazolc\"\r\nDATE \"<?>\"\r\n", "Warning: the SAP file \"/"},
        Source{"kept_long_text", nullptr, nullptr, {"-a", kLong, "-n", "Tune", "-d", "1999"}, {"--keep-tags"},
               "AUTHOR  '" + kLong + "'\r\nNAME  'Tune'\r\nDATE  '1999'\r\n"},
        Source{"kept_bytes_ff", nullptr, nullptr, {"-a", "Jan\u02D9\u02D9K", "-n", "\u02D9\u02D9"}, {"--keep-tags"},
               "AUTHOR  'Jan\xFF\xFFK'\r\nNAME  '\xFF\xFF'\r\nDATE  '<?>'\r\n"},
        Source{"not_kept_without_the_option", nullptr, nullptr, kTexts, {}, "AUTHOR  'Unknown'\r\nNAME  'Unknown'\r\nDATE  '<?>'\r\n"}),
    [](const auto& info) { return std::string(info.param.label); });

// Texts from the tags file that a header cannot carry fail their modules, naming the row:
// a double quote in the standard style, a control character.
TEST(Tags, TextsRefused)
{
    Bench b;
    b.putPlayers();
    const std::string song = b.put("song.mpt", module(0x2000, 300)), other = b.put("other.mpt", module(0x2000, 300));
    b.put("tags.csv", bytesOf("module,name,author\nsong.mpt,\"Say \"\"hi\"\"\",Me\nother.mpt,\"two\nlines\",\n"));
    const auto before = b.dir.listing();
    const Outcome cells = orvexConvert(b, {"-j", "1", "--standard-header", "--tags", "@tags.csv", song, other});
    EXPECT_EQ(cells.status, 1);
    const std::string tags = "\"" + (b.dir / "tags.csv") + "\"";
    EXPECT_EQ(cells.err, "orvex-convert: Cannot convert the module \"" + song + "\": " + tags
                             + " line 2: the name holds a double quote, which the standard SAP header cannot carry.\n"
                               "orvex-convert: Cannot convert the module \"" + other + "\": " + tags
                             + " line 3: the name holds the control character 0x0A, which a SAP header line cannot carry.\n"
                               "orvex-convert: 0 converted, 2 failed.\n");
    EXPECT_EQ(b.dir.listing(), before);
}

} // namespace
