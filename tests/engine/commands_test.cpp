// The File menu's commands: what a load leaves in the image and the value fields, the
// .MD1 digi-sample segment and the overlap warning; one save per load, the derived path,
// the row chosen by the module's extension and the header's texts.

#include "support.h"

#include <filesystem>
#include <functional>
#include <map>

#include <gtest/gtest.h>

namespace {

using namespace support;

struct LoadCase {
    const char* label;
    const char* file;
    std::size_t length;
    const char* format;    // Format field
    bool asksForSamples;
    bool enabled;          // the info fields afterwards
    std::size_t imageEnd;
};

class Loading : public ::testing::TestWithParam<LoadCase> {};

TEST_P(Loading, ImageAndFields)
{
    const LoadCase& c = GetParam();
    Bench b;
    b.window.sapValue = "1234";  // from an earlier save
    const Bytes file = module(0x3000, c.length);
    b.load(b.put(c.file, file));
    EXPECT_EQ(b.state->moduleLoaded, 1);
    EXPECT_EQ(b.state->imageEnd, c.imageEnd);
    EXPECT_TRUE(std::equal(b.state->ModuleImage.begin(), b.state->ModuleImage.begin() + c.imageEnd, file.begin()));
    EXPECT_EQ(b.window.formatValue, c.format);
    EXPECT_EQ(b.window.sizeValue, std::to_string(c.length));
    EXPECT_EQ(b.window.sapValue, "n/o");
    EXPECT_EQ(b.window.infoEnabled, c.enabled);
    EXPECT_EQ(b.window.sampleDialogRuns, c.asksForSamples ? 1 : 0);
    EXPECT_EQ(b.window.sampleFolder, c.asksForSamples ? b.dir.path().string() : "");
    EXPECT_TRUE(b.window.errors.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Modules, Loading,
    ::testing::Values(LoadCase{"case_kept", "tunes/Song.Mpt", 1030, "Mpt", false, true, 1030},
                      LoadCase{"dot_in_folder", "MY.TUNES/SONG", 300, "TUNES/SONG", false, true, 300},
                      LoadCase{"last_dot", "x.y.tm8", 300, "tm8", false, true, 300},
                      LoadCase{"no_dot", "plain/SONG", 300, "none", false, true, 300},
                      LoadCase{"md1x_is_no_md1", "SONG.MD1X", 300, "MD1X", false, true, 300},
                      // The sample dialog is cancelled: the fields stay disabled.
                      LoadCase{"md1_any_case", "SONG.Md1", 300, "Md1", true, false, 300},
                      LoadCase{"larger_than_the_buffer", "big.com", 130000, "com", false, true, 128000}),
    [](const auto& info) { return std::string(info.param.label); });

// The sample segment of a .D15 file of `length` bytes whose first byte is `page`, and
// the warning when its pages meet those of the module's first segment.
struct SampleCase {
    const char* label;
    std::uint16_t moduleStart, moduleEnd;
    std::size_t length;
    std::uint8_t page;
    const char* header;
    std::size_t declared;  // bytes from the segment's start to its end
    bool warned;
};

class Samples : public ::testing::TestWithParam<SampleCase> {};

TEST_P(Samples, SegmentAndWarning)
{
    const SampleCase& c = GetParam();
    Bench b;
    const Bytes song = hex("FF FF") + Bytes{std::uint8_t(c.moduleStart), std::uint8_t(c.moduleStart >> 8),
                                            std::uint8_t(c.moduleEnd), std::uint8_t(c.moduleEnd >> 8)}
                       + Bytes(194, 0x33);
    const Bytes samples = d15(c.page, c.length);
    b.load(b.put("s.md1", song), b.put("s.d15", samples));
    ASSERT_TRUE(b.window.errors.empty()) << b.window.errors.front();
    const Bytes image(b.state->ModuleImage.begin(), b.state->ModuleImage.begin() + b.state->imageEnd);
    // The module, the header, the file's bytes, zeros up to the declared end
    EXPECT_EQ(image, song + hex(c.header) + samples + Bytes(c.declared - c.length, 0));
    EXPECT_EQ(b.window.adrConflicts, c.warned ? 1 : 0);
    EXPECT_EQ(b.state->moduleLoaded, 1);
    EXPECT_TRUE(b.window.infoEnabled);
}

INSTANTIATE_TEST_SUITE_P(
    D15Files, Samples,
    ::testing::Values(SampleCase{"whole_pages", 0x8000, 0x9FFF, 1056, 0x40, "E0 3F FF 43", 1056, false},
                      SampleCase{"short_of_a_page", 0x8000, 0x9FFF, 1000, 0x40, "E0 3F FF 43", 1056, false},
                      SampleCase{"one_byte_over", 0x8000, 0x9FFF, 1057, 0x40, "E0 3F FF 44", 1312, false},
                      SampleCase{"below_33_bytes", 0x8000, 0x9FFF, 10, 0x40, "E0 3F FF 3F", 32, false},
                      SampleCase{"exactly_32_bytes", 0x8000, 0x9FFF, 32, 0x40, "E0 3F FF 3F", 32, false},
                      SampleCase{"exactly_33_bytes", 0x8000, 0x9FFF, 33, 0x40, "E0 3F FF 40", 288, false},
                      SampleCase{"last_page", 0x8000, 0x9FFF, 288, 0xFF, "E0 FE FF FF", 288, false},
                      SampleCase{"shares_page_3F", 0x2000, 0x3FFF, 1056, 0x40, "E0 3F FF 43", 1056, true},
                      SampleCase{"one_page_later", 0x2000, 0x3FFF, 1056, 0x41, "E0 40 FF 44", 1056, false},
                      SampleCase{"ends_in_module_page", 0x4300, 0x5000, 1056, 0x40, "E0 3F FF 43", 1056, true},
                      SampleCase{"ends_below_module", 0x4400, 0x5000, 1056, 0x40, "E0 3F FF 43", 1056, false},
                      SampleCase{"page_0_module_in_FF", 0xFF00, 0xFF7F, 20, 0x00, "E0 FF FF FF", 32, true},
                      SampleCase{"page_0_module_below_FF", 0xF000, 0xFEFF, 32, 0x00, "E0 FF FF FF", 32, false}),
    [](const auto& info) { return std::string(info.param.label); });

std::string textPart(const std::string& sapPath)
{
    const std::string all = textOf(readFile(sapPath));
    return all.substr(0, all.find("\xFF\xFF"));
}

// A user's session, and what it leaves: the SAP files (their text parts), the boxes and
// how often the save dialog ran; never an error.
struct Session {
    const char* label;
    std::function<void(Bench&)> steps;
    std::map<std::string, std::string> saps;  // every .SAP/.sap file: its text part
    std::string boxes;                        // name|author|date afterwards
    int saveDialogRuns;
};

class Sessions : public ::testing::TestWithParam<Session> {};

TEST_P(Sessions, FilesAndBoxes)
{
    const Session& session = GetParam();
    Bench b;
    b.putPlayers();
    b.put("a.com", module(0x8000, 300));
    session.steps(b);
    std::map<std::string, std::string> saps;
    for (const auto& [name, what] : b.dir.listing())
        if (name.ends_with(".SAP") || name.ends_with(".sap"))
            saps[name] = textPart(b.dir / name);
    EXPECT_EQ(saps, session.saps);
    EXPECT_EQ(b.window.name + "|" + b.window.author + "|" + b.window.date, session.boxes);
    EXPECT_EQ(b.window.saveDialogRuns, session.saveDialogRuns);
    EXPECT_TRUE(b.window.errors.empty()) << b.window.errors.front();
}

const std::string kComLines = "INIT 8011\r\nPLAYER 8017\r\n";
const std::string kLongName = " It's" + std::string(200, 'y');

INSTANTIATE_TEST_SUITE_P(
    Commands, Sessions,
    ::testing::Values(
        // Texts are written as typed: apostrophes, spaces and 8-bit letters, at any length.
        Session{"texts_as_typed", [](Bench& b) {
                    b.window.name = kLongName;
                    b.window.author = "\xB3\xF3\xBF";
                    b.load(b.dir / "a.com");
                    b.converter.SaveSAPfile();
                }, {{"a.SAP", header("\xB3\xF3\xBF", kLongName, "<?>", 'B') + kComLines}},
                kLongName + "|\xB3\xF3\xBF|<?>", 0},
        // A cancelled dialog changes nothing: the module stays loaded, with its texts.
        Session{"cancelled_dialogs", [](Bench& b) {
                    b.window.name = "Kept";
                    b.load(b.dir / "a.com");
                    b.window.infoClear = true;
                    b.load(std::nullopt);
                    b.window.saveAnswer.reset();
                    b.converter.SaveSAPfileas();
                    b.converter.SaveSAPfile();
                }, {{"a.SAP", header("Unknown", "Kept", "<?>", 'B') + kComLines}}, "Kept|Unknown|<?>", 1},
        Session{"one_save_per_load", [](Bench& b) {
                    b.load(b.dir / "a.com");
                    b.converter.SaveSAPfile();
                    b.saveAs("second.sap");
                    b.converter.SaveSAPfile();
                }, {{"a.SAP", header("Unknown", "Unknown", "<?>", 'B') + kComLines}}, "Unknown|Unknown|<?>", 0},
        // An .MD1 save goes beside the module, wherever its samples came from.
        Session{"samples_from_elsewhere", [](Bench& b) {
                    b.load(b.put("music/song.md1", module(0x4000, 300)), b.put("elsewhere/drums.d15", d15(0x30, 288)));
                    b.converter.SaveSAPfile();
                }, {{"music/song.SAP", header("Unknown", "Unknown", "<?>", 'D') + "INIT 04E3\r\nPLAYER 0503\r\n"}},
                "Unknown|Unknown|<?>", 0}),
    [](const auto& info) { return std::string(info.param.label); });

} // namespace
