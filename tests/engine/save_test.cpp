// The header's texts and the two save commands: one save per load, the derived path,
// the row chosen by the module's extension.

#include "fixture.h"

#include <filesystem>

namespace engine_tests {
namespace {

using testing_support::atariModule;
using testing_support::bytesOf;
using testing_support::playerFile;
using testing_support::readFile;

// The text part of a SAP file: everything before the image's FF FF.
std::string textOf(const Bytes& sap)
{
    for (std::size_t i = 0; i + 1 < sap.size(); ++i) {
        if (sap[i] == 0xFF && sap[i + 1] == 0xFF)
            return std::string(sap.begin(), sap.begin() + static_cast<long>(i));
    }
    return std::string(sap.begin(), sap.end());
}

class Saving : public ConversionTest {
protected:
    Saving()
    {
        putPlayer("mpt_0500.plr", playerFile(50));
        putPlayer("tmc_0500.plr", playerFile(60));
        putPlayer("cmc_0500.plr", playerFile(70));
    }
    std::string comModule(const std::string& name) { return put(name, atariModule(0x8000, 0x80FF, 262)); }
};

TEST_F(Saving, EmptyBoxesGetReplacementTextsInFileAndBoxes)
{
    load(comModule("a.com"));
    const Bytes sap = readFile(saveAs("a.sap"));
    EXPECT_EQ(textOf(sap), header("Unknown", "Unknown", "<?>", 'B') + "INIT 8011\r\nPLAYER 8017\r\n");
    EXPECT_EQ(window.name, "Unknown");
    EXPECT_EQ(window.author, "Unknown");
    EXPECT_EQ(window.date, "<?>");
}

TEST_F(Saving, TextsAreWrittenAsTyped)
{
    const std::string long36(36, 'x');
    const std::string long200 = std::string(199, 'y') + "z";
    struct { std::string name, author, date; } cases[] = {
        {" ", "  ", " "},                          // spaces are text, not empty
        {"It's", "O'Brien", "'99"},                // apostrophes are not escaped
        {long36, long200, "1.1.1999"},             // long texts are written whole
        {"\xB3\xF3\xBF", "\xE9t\xE9", "\x80"},     // 8-bit text as it stands
    };
    for (const auto& c : cases) {
        window.name = c.name;
        window.author = c.author;
        window.date = c.date;
        load(comModule("t.com"));
        const Bytes sap = readFile(saveAs("t.sap"));
        EXPECT_EQ(textOf(sap), header(c.author, c.name, c.date, 'B') + "INIT 8011\r\nPLAYER 8017\r\n");
        EXPECT_EQ(window.name, c.name);
    }
    EXPECT_TRUE(window.errors.empty());
}

TEST_F(Saving, NothingHappensBeforeALoadOrAfterTheOneSave)
{
    window.saveAnswer = dir / "x.sap";
    converter.SaveSAPfileas();
    converter.SaveSAPfile();
    EXPECT_EQ(window.saveDialogRuns, 0);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"players"});

    load(comModule("a.com"));
    saveAs("first.sap");
    EXPECT_EQ(state->moduleLoaded, 0);
    saveAs("second.sap");
    converter.SaveSAPfile();
    EXPECT_EQ(window.saveDialogRuns, 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "second.sap"));
    EXPECT_FALSE(std::filesystem::exists(dir / "a.SAP"));

    load(comModule("a.com"));
    saveAs("second.sap");
    EXPECT_TRUE(std::filesystem::exists(dir / "second.sap"));
}

TEST_F(Saving, SaveWritesBesideTheModuleAfterACancelledSaveAs)
{
    load(comModule("a.com"));
    window.saveAnswer.reset();
    converter.SaveSAPfileas();
    EXPECT_EQ(state->moduleLoaded, 1);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"a.com", "players"}));
    converter.SaveSAPfile();
    EXPECT_TRUE(std::filesystem::exists(dir / "a.SAP"));
    EXPECT_EQ(window.sdFileName, dir / "a.SAP");
    EXPECT_EQ(window.scratch, dir / "a.SAP");
}

TEST_F(Saving, SaveDerivesThePathAndTheRowFromTheModule)
{
    Bytes module = atariModule(0x2000, 0x20FF, 300);
    module[37] = 1;
    load(put("tunes/song.tm8", module));
    converter.SaveSAPfile();
    const std::string sap = dir / "tunes/song.SAP";
    ASSERT_TRUE(std::filesystem::exists(sap));
    EXPECT_EQ(state->formatIndex, 4u);
    EXPECT_EQ(textOf(readFile(sap)), header("Unknown", "Unknown", "<?>", 'B') + "STEREO\r\nINIT 04F5\r\nPLAYER 0503\r\n");
    EXPECT_EQ(window.sapValue, std::to_string(std::filesystem::file_size(sap)));
    EXPECT_EQ(window.sizeValue, "300");
}

TEST_F(Saving, Md1SaveFollowsTheModuleNotTheSamples)
{
    Bytes samples(288, 0);
    samples[0] = 0x30;
    const std::string samplePath = put("elsewhere/drums.d15", samples);
    load(put("music/song.md1", atariModule(0x4000, 0x40FF, 300)), samplePath);
    EXPECT_EQ(state->sourcePath, samplePath);
    converter.SaveSAPfile();
    EXPECT_TRUE(window.errors.empty());
    EXPECT_TRUE(std::filesystem::exists(dir / "music/song.SAP"));
    EXPECT_EQ(state->formatIndex, 2u);
}

TEST_F(Saving, ExtensionsMatchWithoutRegardToCase)
{
    for (const char* name : {"song.CMC", "song.Cmc", "song.cmc"}) {
        load(put(name, atariModule(0x2000, 0x20FF, 300)));
        saveAs("song.sap");
        EXPECT_EQ(state->formatIndex, 0u) << name;
        EXPECT_EQ(state->moduleLoaded, 0) << name;
    }
    EXPECT_TRUE(window.errors.empty());
}

TEST_F(Saving, SaveAsWritesExactlyTheNameTyped)
{
    load(comModule("a.com"));
    saveAs("no_extension");
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"a.com", "no_extension", "players"}));
    EXPECT_EQ(state->formatIndex, 5u);
}

TEST_F(Saving, ExistingFileIsReplaced)
{
    put("out.sap", Bytes(5000, 0xAA));
    load(comModule("a.com"));
    const Bytes sap = readFile(saveAs("out.sap"));
    EXPECT_EQ(sap.size(), header("Unknown", "Unknown", "<?>", 'B').size() + 24 + 262);
    EXPECT_EQ(window.sapValue, std::to_string(sap.size()));
}

} // namespace
} // namespace engine_tests
