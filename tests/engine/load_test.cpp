// "Load Atari MSX": what a load leaves in the image, the value fields and the boxes,
// the digi-sample segment of .MD1 modules and the overlap warning.

#include "fixture.h"

namespace engine_tests {
namespace {

using testing_support::atariModule;
using testing_support::readFile;

TEST_F(ConversionTest, LoadHoldsTheModuleAndFillsTheValueFields)
{
    const Bytes module = atariModule(0x3000, 0x33FF, 1030);
    load(put("tunes/Song.Mpt", module));
    EXPECT_EQ(state->moduleLoaded, 1);
    EXPECT_EQ(state->imageEnd, module.size());
    EXPECT_EQ(slice(Bytes(state->ModuleImage.begin(), state->ModuleImage.end()), 0, module.size()), module);
    EXPECT_EQ(window.formatValue, "Mpt");
    EXPECT_EQ(window.sizeValue, "1030");
    EXPECT_EQ(window.sapValue, "n/o");
    EXPECT_TRUE(window.infoEnabled);
    EXPECT_EQ(window.sampleDialogRuns, 0);
}

TEST_F(ConversionTest, CancelledModuleDialogChangesNothing)
{
    const Bytes module = atariModule(0x3000, 0x30FF, 300);
    load(put("a.mpt", module));
    window.name = "Kept";
    window.infoClear = true;
    const auto image = state->ModuleImage;
    load(std::nullopt);
    EXPECT_EQ(state->moduleLoaded, 1);
    EXPECT_EQ(state->imageEnd, 300u);
    EXPECT_EQ(state->ModuleImage, image);
    EXPECT_EQ(window.name, "Kept");
    EXPECT_EQ(window.sizeValue, "300");
}

TEST_F(ConversionTest, InfoClearEmptiesTheBoxesOnlyWhenChecked)
{
    const std::string path = put("a.cmc", atariModule(0x3000, 0x30FF, 300));
    window.name = "N";
    window.author = "A";
    window.date = "D";
    load(path);
    EXPECT_EQ(window.name + window.author + window.date, "NAD");
    window.infoClear = true;
    load(path);
    EXPECT_EQ(window.name + window.author + window.date, "");
}

TEST_F(ConversionTest, ModuleLongerThanTheBufferIsHeldInPart)
{
    const Bytes module = atariModule(0x2000, 0x3FFF, 130000);
    load(put("big.com", module));
    EXPECT_EQ(state->imageEnd, orvex::kImageSize);
    EXPECT_EQ(window.sizeValue, "130000");
    EXPECT_EQ(Bytes(state->ModuleImage.begin(), state->ModuleImage.end()), slice(module, 0, orvex::kImageSize));
    EXPECT_TRUE(window.errors.empty());
    // The cut module is never written out.
    saveAs("big.sap");
    ASSERT_EQ(window.errors.size(), 1u);
    EXPECT_NE(window.errors[0].find("larger than the 128000-byte buffer"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "big.sap"));
    EXPECT_EQ(state->moduleLoaded, 1);
}

TEST_F(ConversionTest, FormatIsWhatFollowsTheLastDotOfThePath)
{
    load(put("MY.TUNES/SONG", atariModule(0x2000, 0x20FF, 300)));
    EXPECT_EQ(window.formatValue, "TUNES/SONG");
    load(put("x.y.tm8", atariModule(0x2000, 0x20FF, 300)));
    EXPECT_EQ(window.formatValue, "tm8");
    load(put("plain/SONG", atariModule(0x2000, 0x20FF, 300)));
    EXPECT_EQ(window.formatValue, "none");
    EXPECT_EQ(state->moduleLoaded, 1);
}

TEST_F(ConversionTest, OnlyMd1ModulesAskForSamples)
{
    load(put("SONG.MD1X", atariModule(0x2000, 0x20FF, 300)));
    EXPECT_EQ(window.sampleDialogRuns, 0);
    load(put("SONG.Md1", atariModule(0x2000, 0x20FF, 300)));
    EXPECT_EQ(window.sampleDialogRuns, 1);
    EXPECT_EQ(window.formatValue, "Md1");
    EXPECT_EQ(window.sampleFolder, dir.path().string());
}

TEST_F(ConversionTest, CancelledSampleDialogOnFirstLoadLeavesFieldsDisabled)
{
    load(put("SONG.MD1", atariModule(0x2000, 0x20FF, 300)), std::nullopt);
    EXPECT_EQ(state->moduleLoaded, 1);
    EXPECT_EQ(state->imageEnd, 300u);
    EXPECT_EQ(window.sizeValue, "300");
    EXPECT_EQ(window.formatValue, "MD1");
    EXPECT_FALSE(window.infoEnabled);
}

// The sample segment's header for a .D15 file of `length` bytes starting with `page`.
struct SampleCase {
    const char* label;
    std::size_t length;
    std::uint8_t page;
    Bytes header;
    std::size_t declared;  // bytes the header declares
};

void PrintTo(const SampleCase& c, std::ostream* out) { *out << c.label; }

class SampleSegment : public ConversionTest, public ::testing::WithParamInterface<SampleCase> {};

TEST_P(SampleSegment, HeaderAndPadding)
{
    const SampleCase& c = GetParam();
    const Bytes module = atariModule(0x8000, 0x9FFF, 200);
    Bytes samples(c.length, 0x77);
    samples[0] = c.page;
    load(put("s.md1", module), put("s.d15", samples));
    ASSERT_TRUE(window.errors.empty()) << window.errors.front();
    const Bytes image(state->ModuleImage.begin(), state->ModuleImage.begin() + static_cast<long>(state->imageEnd));
    // Module, header, the file's bytes, zeros up to the declared end.
    EXPECT_EQ(slice(image, 0, 200), module);
    EXPECT_EQ(slice(image, 200, 4), c.header);
    EXPECT_EQ(slice(image, 204, c.length), samples);
    EXPECT_EQ(slice(image, 204 + c.length), Bytes(c.declared - c.length, 0));
    EXPECT_EQ(state->sampleSegment, 200u);
    const unsigned start = c.header[1] * 256u + c.header[0];
    const unsigned end = c.header[3] * 256u + c.header[2];
    EXPECT_EQ(end - start + 1, c.declared);
    EXPECT_TRUE(window.infoEnabled);
}

INSTANTIATE_TEST_SUITE_P(
    D15Files, SampleSegment,
    ::testing::Values(SampleCase{"whole_pages", 1056, 0x40, {0xE0, 0x3F, 0xFF, 0x43}, 1056},
                      SampleCase{"short_of_a_page", 1000, 0x40, {0xE0, 0x3F, 0xFF, 0x43}, 1056},
                      SampleCase{"one_byte_over", 1057, 0x40, {0xE0, 0x3F, 0xFF, 0x44}, 1312},
                      SampleCase{"below_33_bytes", 10, 0x40, {0xE0, 0x3F, 0xFF, 0x3F}, 32},
                      SampleCase{"exactly_33_bytes", 33, 0x40, {0xE0, 0x3F, 0xFF, 0x40}, 288},
                      SampleCase{"page_zero_fits_below_FFFF", 32, 0x00, {0xE0, 0xFF, 0xFF, 0xFF}, 32},
                      SampleCase{"last_page", 288, 0xFF, {0xE0, 0xFE, 0xFF, 0xFF}, 288}),
    [](const ::testing::TestParamInfo<SampleCase>& info) { return std::string(info.param.label); });

struct AdrCase {
    const char* label;
    std::uint16_t moduleStart, moduleEnd;
    std::size_t sampleLength;
    std::uint8_t page;
    bool warned;
};

void PrintTo(const AdrCase& c, std::ostream* out) { *out << c.label; }

class AdrCheck : public ConversionTest, public ::testing::WithParamInterface<AdrCase> {};

TEST_P(AdrCheck, WarnsExactlyWhenPagesOverlap)
{
    const AdrCase& c = GetParam();
    Bytes samples(c.sampleLength, 0);
    samples[0] = c.page;
    load(put("m.md1", atariModule(c.moduleStart, c.moduleEnd, 500)), put("m.d15", samples));
    EXPECT_EQ(window.adrConflicts, c.warned ? 1 : 0);
    EXPECT_TRUE(window.errors.empty());
    // The warning changes nothing: the module stays loaded and the fields enabled.
    EXPECT_EQ(state->moduleLoaded, 1);
    EXPECT_TRUE(window.infoEnabled);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, AdrCheck,
    ::testing::Values(AdrCase{"shares_page_3F", 0x2000, 0x3FFF, 1056, 0x40, true},
                      AdrCase{"starts_one_page_later", 0x2000, 0x3FFF, 1056, 0x41, false},
                      AdrCase{"module_far_above", 0x8000, 0x9FFF, 1056, 0x40, false},
                      AdrCase{"samples_end_in_module_first_page", 0x4300, 0x5000, 1056, 0x40, true},
                      AdrCase{"samples_end_below_module", 0x4400, 0x5000, 1056, 0x40, false},
                      AdrCase{"page_zero_and_module_in_page_FF", 0xFF00, 0xFF7F, 20, 0x00, true},
                      AdrCase{"page_zero_and_module_below_page_FF", 0xF000, 0xFEFF, 20, 0x00, false}),
    [](const ::testing::TestParamInfo<AdrCase>& info) { return std::string(info.param.label); });

} // namespace
} // namespace engine_tests
