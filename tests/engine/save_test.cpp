// The two save commands: one save per load, the derived path, the row chosen by the
// module's extension, the header's texts and the file that a save replaces.

#include "support.h"
#include "text8.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace {

using namespace support;
namespace fs = std::filesystem;

std::string textPart(const std::string& sapPath)
{
    const std::string all = textOf(readFile(sapPath));
    return all.substr(0, all.find("\xFF\xFF"));
}

TEST(Saving, OneSavePerLoad)
{
    Bench b;
    const std::string song = b.put("a.com", module(0x8000, 300));
    b.window.saveAnswer = b.dir / "x.sap";
    b.converter.SaveSAPfileas();
    b.converter.SaveSAPfile();
    EXPECT_EQ(b.window.saveDialogRuns, 0);

    b.load(song);
    b.window.saveAnswer.reset();
    b.converter.SaveSAPfileas();  // cancelled
    EXPECT_EQ(b.state->moduleLoaded, 1);
    b.converter.SaveSAPfile();
    EXPECT_EQ(b.window.sdFileName, b.dir / "a.SAP");
    EXPECT_EQ(b.window.scratch, b.dir / "a.SAP");
    EXPECT_EQ(b.state->moduleLoaded, 0);

    b.saveAs("second.sap");
    b.converter.SaveSAPfile();
    EXPECT_EQ(b.window.saveDialogRuns, 1);
    b.load(song);
    b.saveAs("third.sap");
    EXPECT_TRUE(b.window.errors.empty());
    EXPECT_EQ(b.dir.listing().size(), 4u);  // a.com, a.SAP, third.sap, players
    EXPECT_TRUE(fs::exists(b.dir / "third.sap"));
}

TEST(Saving, PathAndRowFollowTheModule)
{
    Bench b;
    b.putPlayer("tmc_0500.plr", player(50));
    b.putPlayer("mpt_0500.plr", player(50));
    b.putPlayer("cmc_0500.plr", player(50));
    b.load(b.put("tunes/song.tm8", module(0x2000, 300, 1)));
    b.converter.SaveSAPfile();
    const std::string sap = b.dir / "tunes/song.SAP";
    EXPECT_EQ(textPart(sap), header("Unknown", "Unknown", "<?>", 'B') + "STEREO\r\nINIT 04F5\r\nPLAYER 0503\r\n");
    EXPECT_EQ(b.window.sapValue, std::to_string(fs::file_size(sap)));
    EXPECT_EQ(b.window.sizeValue, "300");

    // An .MD1 save goes beside the module, wherever its samples came from.
    b.load(b.put("music/song.md1", module(0x4000, 300)), b.put("elsewhere/drums.d15", d15(0x30, 288)));
    b.converter.SaveSAPfile();
    EXPECT_NE(textPart(b.dir / "music/song.SAP").find("TYPE D\r\n"), std::string::npos);

    for (const char* name : {"song.CMC", "song.Cmc", "song.cmc"}) {
        b.load(b.put(name, module(0x2000, 300)));
        EXPECT_NE(textPart(b.saveAs("song.sap")).find("TYPE C\r\nSONGS 1\r\nMUSIC 2000\r\n"), std::string::npos) << name;
    }
    // A name typed without an extension is used as typed.
    b.load(b.put("a.com", module(0x8000, 300)));
    EXPECT_TRUE(fs::exists(b.saveAs("no_extension")));
    EXPECT_TRUE(b.window.errors.empty());
}

struct TextCase {
    const char* label;
    std::string name, author, date;
    std::string shown[3];  // the boxes after the save
};

void PrintTo(const TextCase& c, std::ostream* out) { *out << c.label; }

class Texts : public ::testing::TestWithParam<TextCase> {};

TEST_P(Texts, WrittenAsTyped)
{
    const TextCase& c = GetParam();
    Bench b;
    b.window.name = c.name;
    b.window.author = c.author;
    b.window.date = c.date;
    b.load(b.put("t.com", module(0x8000, 300)));
    EXPECT_EQ(textPart(b.saveAs("t.sap")),
              header(c.shown[1], c.shown[0], c.shown[2], 'B') + "INIT 8011\r\nPLAYER 8017\r\n");
    EXPECT_EQ(b.window.name, c.shown[0]);
    EXPECT_EQ(b.window.author, c.shown[1]);
    EXPECT_EQ(b.window.date, c.shown[2]);
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, Texts,
    ::testing::Values(TextCase{"empty", "", "", "", {"Unknown", "Unknown", "<?>"}},
                      TextCase{"spaces", " ", "  ", " ", {" ", "  ", " "}},
                      TextCase{"apostrophes", "It's", "O'Brien", "'99", {"It's", "O'Brien", "'99"}},
                      TextCase{"long", std::string(36, 'x'), std::string(200, 'y'), "1.1.1999",
                               {std::string(36, 'x'), std::string(200, 'y'), "1.1.1999"}},
                      TextCase{"8_bit", "\xB3\xF3\xBF", "\xE9t\xE9", "\x80", {"\xB3\xF3\xBF", "\xE9t\xE9", "\x80"}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(Saving, ReplacedFileKeepsItsPermissions)
{
    Bench b;
    for (const auto mode : {0640, 0604, 0600}) {
        b.put("out.sap", Bytes(5000, 0xAA));
        ::chmod((b.dir / "out.sap").c_str(), mode);
        b.load(b.put("a.com", module(0x8000, 300)));
        const Bytes written = readFile(b.saveAs("out.sap"));
        EXPECT_EQ(written.size(), header("Unknown", "Unknown", "<?>", 'B').size() + 24 + 300);
        struct stat info {};
        ::stat((b.dir / "out.sap").c_str(), &info);
        EXPECT_EQ(info.st_mode & 07777, static_cast<mode_t>(mode));
    }
}

TEST(Text8, CentralEuropeanCodePage)
{
    EXPECT_EQ(orvex::utf8ToWindows1250("Za\u017C\u00F3\u0142\u0107 ge\u015Bl\u0105 \u20AC\u2122\u02D9"),
              "Za\xBF\xF3\xB3\xE6 ge\x9Cl\xB9 \x80\x99\xFF");
    EXPECT_EQ(orvex::windows1250ToUtf8("\xBF\xF3\xB3\xE6"), "\u017C\u00F3\u0142\u0107");
    EXPECT_EQ(orvex::utf8ToWindows1250("\u65E5 \u00E5 \U0001F3B5 a\xC3(b"), "? ? ? a?(b");
}

} // namespace
