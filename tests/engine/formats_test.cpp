// Every format's header lines, generated segment and image, byte for byte, for a
// player at $0500 and at $F500.

#include "fixture.h"

#include <filesystem>

namespace engine_tests {
namespace {

using testing_support::atariModule;
using testing_support::bytesOf;
using testing_support::playerFile;
using testing_support::readFile;

TEST_F(ConversionTest, WorkedMptExampleIsByteExact)
{
    // An .MPT module of 1000 bytes loaded at $4000, a player file of 1506 bytes.
    const Bytes module = atariModule(0x4000, 0x43E7, 1000);
    const Bytes player = playerFile(1500);
    putPlayer("mpt_0500.plr", player);
    load(put("tune.mpt", module));
    window.name = "Tune";
    window.date = "1999";
    const std::string sap = saveAs("tune.sap");

    const Bytes expected = bytesOf("SAP\r\nAUTHOR  'Unknown'\r\nNAME  'Tune'\r\nDATE  '1999'\r\nTYPE B\r\nSONGS 1\r\n"
                                   "INIT 04F3\r\nPLAYER 0503\r\n")
                           + module + Bytes{0xF3, 0x04, 0xDB, 0x0A}
                           + Bytes{0xA0, 0x00, 0xA2, 0x40, 0xA9, 0x00, 0x20, 0x00, 0x05, 0xA2, 0x00, 0xA9, 0x02}
                           + slice(player, 6);
    const Bytes written = readFile(sap);
    ASSERT_EQ(written.size(), 2610u);
    EXPECT_EQ(written, expected);
    EXPECT_EQ(window.sapValue, "2610");
    EXPECT_EQ(window.author, "Unknown");
    EXPECT_EQ(state->moduleLoaded, 0);
    EXPECT_TRUE(window.errors.empty());
}

struct FormatCase {
    const char* label;
    const char* extension;
    std::uint16_t moduleStart;
    std::uint8_t speed;       // byte 37 of Theta Music Composer modules
    std::uint8_t samplePage;  // first byte of the .D15 file (.MD1 only)
    char type;
    const char* lines;        // the lines after SONGS
    Bytes generated;          // segment header and code (player formats), empty otherwise
};

void PrintTo(const FormatCase& c, std::ostream* out) { *out << c.label; }

class FormatLines : public ConversionTest, public ::testing::WithParamInterface<FormatCase> {};

constexpr std::size_t kPlayerCode = 100;  // so the segments end at $0563 or $F563

TEST_P(FormatLines, HeaderLinesAndImage)
{
    const FormatCase& c = GetParam();
    Bytes module = atariModule(c.moduleStart, static_cast<std::uint16_t>(c.moduleStart + 0x7F), 134, 0x11);
    module[37] = c.speed;
    const Bytes player = playerFile(kPlayerCode);
    const std::string ext = c.extension;
    if (ext == "cmc")
        putPlayer("cmc_0500.plr", player);
    if (ext == "mpt" || ext == "md1")
        putPlayer("mpt_0500.plr", player);
    if (ext == "tmc" || ext == "tm8")
        putPlayer("tmc_0500.plr", player);

    Bytes samples;
    if (ext == "md1") {
        samples = Bytes(288, 0x55);
        samples[0] = c.samplePage;
        load(put("song." + ext, module), put("song.d15", samples));
    } else {
        load(put("song." + ext, module));
    }
    window.author = "A";
    window.name = "N";
    window.date = "D";
    const Bytes written = readFile(saveAs("song.sap"));
    ASSERT_TRUE(window.errors.empty()) << window.errors.front();

    Bytes expected = bytesOf(header("A", "N", "D", c.type) + c.lines) + module;
    if (ext == "md1") {
        const std::uint8_t pageBelow = static_cast<std::uint8_t>(c.samplePage - 1);
        expected = expected + Bytes{0xE0, pageBelow, 0xFF, static_cast<std::uint8_t>(c.samplePage)} + samples;
    }
    if (ext == "cmc")
        expected = expected + slice(player, 2);
    else if (ext != "com")
        expected = expected + c.generated + slice(player, 6);
    EXPECT_EQ(written, expected);
    EXPECT_EQ(window.sapValue, std::to_string(written.size()));
}

Bytes tmcStart(std::uint8_t moduleHigh, std::uint8_t playerHigh)
{
    return {0xA0, 0x00, 0xA2, moduleHigh, 0xA9, 0x70, 0x20, 0x00, playerHigh, 0xA9, 0x60};
}

Bytes speed2(std::uint8_t playerHigh)
{
    return {0x06, 0x00, 0x4C, 0x00, playerHigh, 0xA5, 0x00, 0xE6, 0x00, 0x4A, 0x90, 0x05, 0xB0, 0x06};
}

Bytes speed34(std::uint8_t speed)
{
    return {0xA2, 0x01, 0x86, 0x00, 0xD0, 0x0A, 0xC6, 0x00, 0xD0, 0x0C, 0xA2, speed, 0x86, 0x00, 0xD0, 0x03};
}

INSTANTIATE_TEST_SUITE_P(
    AllFormats, FormatLines,
    ::testing::Values(
        FormatCase{"cmc_at_0500", "cmc", 0x1000, 0, 0, 'C', "MUSIC 1000\r\nPLAYER 0500\r\n", {}},
        // The CMC player file brings its own load address: PLAYER names it, wherever the module is.
        FormatCase{"cmc_module_below_1000", "cmc", 0x0FFF, 0, 0, 'C', "MUSIC 0FFF\r\nPLAYER 0500\r\n", {}},
        FormatCase{"com", "com", 0x2000, 0, 0, 'B', "INIT 8011\r\nPLAYER 8017\r\n", {}},
        FormatCase{"mpt_at_0500", "mpt", 0x1000, 0, 0, 'B', "INIT 04F3\r\nPLAYER 0503\r\n",
                   {0xF3, 0x04, 0x63, 0x05, 0xA0, 0x00, 0xA2, 0x10, 0xA9, 0x00, 0x20, 0x00, 0x05, 0xA2, 0x00, 0xA9, 0x02}},
        FormatCase{"mpt_at_F500", "mpt", 0x0FFF, 0, 0, 'B', "INIT F4F3\r\nPLAYER F503\r\n",
                   {0xF3, 0xF4, 0x63, 0xF5, 0xA0, 0xFF, 0xA2, 0x0F, 0xA9, 0x00, 0x20, 0x00, 0xF5, 0xA2, 0x00, 0xA9, 0x02}},
        FormatCase{"md1_at_0500", "md1", 0x4000, 0, 0x20, 'D', "INIT 04E3\r\nPLAYER 0503\r\n",
                   {0xE3, 0x04, 0x63, 0x05, 0xA0, 0x00, 0xA2, 0x40, 0xA9, 0x00, 0x20, 0x00, 0x05, 0xA0, 0xE0, 0xA2, 0x1F,
                    0xA9, 0x03, 0x20, 0x00, 0x05, 0xA2, 0x00, 0xA9, 0x02, 0x20, 0x00, 0x05, 0xA2, 0x01, 0xA9, 0x05}},
        FormatCase{"md1_low_samples_at_F500", "md1", 0x2000, 0, 0x0F, 'D', "INIT F4E3\r\nPLAYER F503\r\n",
                   {0xE3, 0xF4, 0x63, 0xF5, 0xA0, 0x00, 0xA2, 0x20, 0xA9, 0x00, 0x20, 0x00, 0xF5, 0xA0, 0xE0, 0xA2, 0x0E,
                    0xA9, 0x03, 0x20, 0x00, 0xF5, 0xA2, 0x00, 0xA9, 0x02, 0x20, 0x00, 0xF5, 0xA2, 0x01, 0xA9, 0x05}},
        FormatCase{"md1_low_module_at_F500", "md1", 0x0800, 0, 0x40, 'D', "INIT F4E3\r\nPLAYER F503\r\n",
                   {0xE3, 0xF4, 0x63, 0xF5, 0xA0, 0x00, 0xA2, 0x08, 0xA9, 0x00, 0x20, 0x00, 0xF5, 0xA0, 0xE0, 0xA2, 0x3F,
                    0xA9, 0x03, 0x20, 0x00, 0xF5, 0xA2, 0x00, 0xA9, 0x02, 0x20, 0x00, 0xF5, 0xA2, 0x01, 0xA9, 0x05}},
        FormatCase{"tmc_speed1_at_0500", "tmc", 0x1000, 1, 0, 'B', "INIT 04F5\r\nPLAYER 0503\r\n",
                   Bytes{0xF5, 0x04, 0x63, 0x05} + tmcStart(0x10, 0x05)},
        FormatCase{"tmc_speed2_at_0500", "tmc", 0x1000, 2, 0, 'B', "FASTPLAY 156\r\nINIT 04E7\r\nPLAYER 04F7\r\n",
                   Bytes{0xE7, 0x04, 0x63, 0x05} + tmcStart(0x10, 0x05) + speed2(0x05)},
        FormatCase{"tmc_speed3_at_0500", "tmc", 0x1000, 3, 0, 'B', "FASTPLAY 104\r\nINIT 04E5\r\nPLAYER 04F6\r\n",
                   Bytes{0xE5, 0x04, 0x63, 0x05} + tmcStart(0x10, 0x05) + speed34(3)},
        FormatCase{"tmc_speed4_at_0500", "tmc", 0x1000, 4, 0, 'B', "FASTPLAY 78\r\nINIT 04E5\r\nPLAYER 04F6\r\n",
                   Bytes{0xE5, 0x04, 0x63, 0x05} + tmcStart(0x10, 0x05) + speed34(4)},
        FormatCase{"tmc_speed1_at_F500", "tmc", 0x0C00, 1, 0, 'B', "INIT F4F5\r\nPLAYER F503\r\n",
                   Bytes{0xF5, 0xF4, 0x63, 0xF5} + tmcStart(0x0C, 0xF5)},
        FormatCase{"tmc_speed2_at_F500", "tmc", 0x0C00, 2, 0, 'B', "FASTPLAY 156\r\nINIT F4E7\r\nPLAYER F4F7\r\n",
                   Bytes{0xE7, 0xF4, 0x63, 0xF5} + tmcStart(0x0C, 0xF5) + speed2(0xF5)},
        FormatCase{"tmc_speed3_at_F500", "tmc", 0x0C00, 3, 0, 'B', "FASTPLAY 104\r\nINIT F4E5\r\nPLAYER F4F6\r\n",
                   Bytes{0xE5, 0xF4, 0x63, 0xF5} + tmcStart(0x0C, 0xF5) + speed34(3)},
        FormatCase{"tmc_speed4_at_F500", "tmc", 0x0C00, 4, 0, 'B', "FASTPLAY 78\r\nINIT F4E5\r\nPLAYER F4F6\r\n",
                   Bytes{0xE5, 0xF4, 0x63, 0xF5} + tmcStart(0x0C, 0xF5) + speed34(4)},
        FormatCase{"tm8_speed1_at_0500", "tm8", 0x1000, 1, 0, 'B', "STEREO\r\nINIT 04F5\r\nPLAYER 0503\r\n",
                   Bytes{0xF5, 0x04, 0x63, 0x05} + tmcStart(0x10, 0x05)},
        FormatCase{"tm8_speed2_at_F500", "tm8", 0x0C00, 2, 0, 'B',
                   "STEREO\r\nFASTPLAY 156\r\nINIT F4E7\r\nPLAYER F4F7\r\n",
                   Bytes{0xE7, 0xF4, 0x63, 0xF5} + tmcStart(0x0C, 0xF5) + speed2(0xF5)},
        FormatCase{"tm8_speed3_at_0500", "tm8", 0x1000, 3, 0, 'B',
                   "STEREO\r\nFASTPLAY 104\r\nINIT 04E5\r\nPLAYER 04F6\r\n",
                   Bytes{0xE5, 0x04, 0x63, 0x05} + tmcStart(0x10, 0x05) + speed34(3)},
        FormatCase{"tm8_speed4_at_F500", "tm8", 0x0C00, 4, 0, 'B',
                   "STEREO\r\nFASTPLAY 78\r\nINIT F4E5\r\nPLAYER F4F6\r\n",
                   Bytes{0xE5, 0xF4, 0x63, 0xF5} + tmcStart(0x0C, 0xF5) + speed34(4)}),
    [](const ::testing::TestParamInfo<FormatCase>& info) { return std::string(info.param.label); });

TEST_F(ConversionTest, ComModuleNeedsNoPlayerFile)
{
    // The player folder is empty: a .COM module carries its own player.
    const Bytes module = atariModule(0x8000, 0x80FF, 262);
    load(put("demo.COM", module));
    const Bytes written = readFile(saveAs("demo.sap"));
    EXPECT_TRUE(window.errors.empty());
    EXPECT_EQ(written, bytesOf(header("Unknown", "Unknown", "<?>", 'B') + "INIT 8011\r\nPLAYER 8017\r\n") + module);
}

TEST_F(ConversionTest, CmcPlayerOverlappingTheModuleIsRefused)
{
    putPlayer("cmc_0500.plr", playerFile(0x300));  // $0500-$07FF
    load(put("low.cmc", atariModule(0x0700, 0x0FFF, 300)));
    saveAs("low.sap");
    ASSERT_EQ(window.errors.size(), 1u);
    EXPECT_NE(window.errors[0].find("loads at $0500-$07FF, over the module \"" + (dir / "low.cmc") + "\" at $0700-$0FFF"),
              std::string::npos)
        << window.errors[0];
    EXPECT_FALSE(std::filesystem::exists(dir / "low.sap"));

    load(put("above.cmc", atariModule(0x0800, 0x0FFF, 300)));
    saveAs("above.sap");
    EXPECT_EQ(window.errors.size(), 1u);
}

TEST_F(ConversionTest, PlayerFilesShorterThanTheirHeaderAreRefused)
{
    // Six bytes: the header alone, no code behind it.
    putPlayer("mpt_0500.plr", {0xFF, 0xFF, 0x00, 0x05, 0x00, 0x05});
    load(put("song.mpt", atariModule(0x2000, 0x20FF, 300)));
    saveAs("song.sap");
    ASSERT_EQ(window.errors.size(), 1u);
    EXPECT_NE(window.errors[0].find("holds no player routine"), std::string::npos);
    EXPECT_EQ(state->moduleLoaded, 1);
}

} // namespace
} // namespace engine_tests
