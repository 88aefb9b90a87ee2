// What a save writes for every format at both player addresses, byte for byte, and
// what its code does when it runs: the file is run in cc65's 6502 simulator (driver.s)
// with a probe standing in for the tracker's player, and each call that reaches the
// probe is checked.

#include "support.h"

#include <gtest/gtest.h>

#include <array>

namespace {

using namespace support;

constexpr unsigned kDriver = 0x9100, kDriverEnd = 0x9300;
constexpr std::uint8_t kJam = 0x02;

// The probe: its three entries jump to the driver's loggers, every other byte jams.
const Bytes kProbe = hex("4C 02 92 4C 12 92 4C 22 92") + Bytes(23, kJam);
// A .COM tune whose init ($8011) and play ($8017) routines jump to loggers 0 and 3
const Bytes kComTune = atariFile(0x8000, hex("4F 52 56 45 58 00 00 00 00 00 00 00 00 00 00 00 00 4C 02 92 02 02 02 4C 12 92 02"));

// Loads the SAP file as a SAP player does and runs INIT and 24 frames in sim65, with
// location $00 preset. Returns the logged calls: entry, A, X, Y, frame (0 for INIT).
std::string play(const Bytes& file, std::uint8_t preset)
{
    std::array<std::uint8_t, 0x10000> memory;
    memory.fill(kJam);
    std::array<bool, 0x10000> used{};
    std::fill(used.begin() + kDriver, used.begin() + kDriverEnd, true);
    std::map<std::string, std::string> lines;
    std::size_t at = 0;
    while (at + 1 < file.size() && !(file[at] == 0xFF && file[at + 1] == 0xFF)) {
        const std::string line = textOf(slice(file, at, textOf(file).find("\r\n", at) - at));
        lines[line.substr(0, line.find(' '))] = line.substr(line.find(' ') + 1);
        at += line.size() + 2;
    }
    while (at + 4 <= file.size()) {
        at += file[at] == 0xFF && file[at + 1] == 0xFF ? 2 : 0;
        const unsigned start = file[at] | file[at + 1] << 8, last = file[at + 2] | file[at + 3] << 8;
        at += 4;
        for (unsigned a = start; a <= last && at < file.size(); ++a, ++at) {
            if (used[a])
                throw std::runtime_error("two segments overlap at " + std::to_string(a));
            used[a] = true;
            memory[a] = file[at];
        }
    }
    const Bytes driver = readFile(DRIVER);
    std::copy(driver.begin(), driver.end(), memory.begin() + kDriver);
    auto address = [&](const char* key) { return lines.count(key) ? std::stoul(lines[key], nullptr, 16) : 0; };
    const unsigned init = address("INIT"), player = address("PLAYER"), music = address("MUSIC");
    const Bytes params = {std::uint8_t(lines["TYPE"][0]), std::uint8_t(init), std::uint8_t(init >> 8),
                          std::uint8_t(player), std::uint8_t(player >> 8), std::uint8_t(music), std::uint8_t(music >> 8),
                          24, preset};
    std::copy(params.begin(), params.end(), memory.begin() + kDriver);
    // sim65's program file: its header, then memory from $0200 up to below $FFF4
    TempDir dir;
    writeFile(dir / "program", bytesOf("sim65") + hex("02 00 F8 00 02 10 91")
                                   + Bytes(memory.begin() + 0x0200, memory.begin() + 0xFFF4));
    const Outcome run = support::run({"sim65", "-x", "5000000", dir / "program"});
    if (run.status != 0)
        throw std::runtime_error("sim65 ended with status " + std::to_string(run.status) + ": " + run.err);
    return run.out;
}

struct FormatCase {
    const char* label;
    const char* extension;
    Bytes module;
    std::uint8_t samplePage;
    std::uint16_t playerAt;  // the player file's own load address
    char type;
    const char* init;        // each call of INIT: entry, A, X, Y
    const char* frames;      // the entry that each of 24 frames calls
    const char* lines;       // the lines after SONGS
    const char* segments;    // behind the module: sample segment header, generated segment header and code
};

class Formats : public ::testing::TestWithParam<FormatCase> {};

TEST_P(Formats, FileAndCalls)
{
    const FormatCase& c = GetParam();
    Bench b;
    const Bytes probe = atariFile(c.playerAt, kProbe);  // its segment ends at $051F or $F51F
    const std::string extension = c.extension;
    const char* playerFile = extension == "cmc"          ? "cmc_0500.plr"
                             : extension == "com"          ? ""
                             : extension.starts_with("tm") ? "tmc_0500.plr"
                                                           : "mpt_0500.plr";
    if (*playerFile)
        b.putPlayer(playerFile, probe);
    b.window.author = "A";
    b.window.name = "N";
    b.window.date = "D";
    const std::optional<Bytes> samples = extension == "md1" ? std::optional(d15(c.samplePage, 288)) : std::nullopt;
    const Bytes written = b.convert("song." + extension, c.module, samples);

    const Bytes segments = hex(c.segments);
    Bytes expected = bytesOf(header("A", "N", "D", c.type) + c.lines) + c.module;
    if (samples)
        expected = expected + slice(segments, 0, 4) + *samples + slice(segments, 4);
    else
        expected = expected + segments;
    if (*playerFile)
        expected = expected + slice(probe, c.type == 'C' ? 2 : 6);
    EXPECT_EQ(written, expected);
    EXPECT_EQ(b.window.sapValue, std::to_string(written.size()));

    for (const std::uint8_t preset : {0x00, 0x01, 0x02, 0x03, 0x7F, 0x80, 0xFE, 0xFF}) {
        const std::string calls = play(written, preset);
        std::string init, frames;
        for (std::size_t i = 0; i + 5 <= calls.size(); i += 5) {
            if (calls[i + 4] == 0)
                init += calls.substr(i, 4);
            else
                frames += calls[i + 4] == static_cast<char>(frames.size() + 1) ? char('0' + calls[i]) : '?';
        }
        EXPECT_EQ(init, textOf(hex(c.init))) << "location $00 = " << int(preset);
        EXPECT_EQ(frames, c.frames) << "location $00 = " << int(preset);
    }
}

const char* const k3 = "333333333333333333333333";
const char* const k6 = "666666666666666666666666";
const char* const kSpeed2 = "363636363636363636363636";
const char* const kSpeed3 = "366366366366366366366366";
const char* const kSpeed4 = "366636663666366636663666";

// Every row at both player addresses; the sample page is the first byte of the .D15 file
// of an .MD1 module.
INSTANTIATE_TEST_SUITE_P(
    EveryFormat, Formats,
    ::testing::Values(
        FormatCase{"cmc", "cmc", module(0x1000, 134, 1), 0x00, 0x0500, 'C', "03 70 00 10 03 00 00 00", k6,
                   "MUSIC 1000\r\nPLAYER 0500\r\n", ""},
        FormatCase{"cmc_low_module", "cmc", module(0x0FFF, 134, 1), 0x00, 0x0500, 'C', "03 70 FF 0F 03 00 00 00", k6,
                   "MUSIC 0FFF\r\nPLAYER 0500\r\n", ""},
        FormatCase{"cmc_player_F500", "cmc", module(0x0C00, 134, 1), 0x00, 0xF500, 'C', "03 70 00 0C 03 00 00 00", k6,
                   "MUSIC 0C00\r\nPLAYER F500\r\n", ""},
        FormatCase{"cmc_below_player", "cmc", module(0x0480, 134, 1), 0x00, 0x0500, 'C', "03 70 80 04 03 00 00 00", k6,
                   "MUSIC 0480\r\nPLAYER 0500\r\n", ""},
        FormatCase{"cmc_above_player", "cmc", module(0x0520, 134, 1), 0x00, 0x0500, 'C', "03 70 20 05 03 00 00 00", k6,
                   "MUSIC 0520\r\nPLAYER 0500\r\n", ""},
        FormatCase{"com", "com", kComTune, 0, 0, 'B', "00 00 00 00", k3, "INIT 8011\r\nPLAYER 8017\r\n", ""},
        FormatCase{"mpt_0500", "mpt", module(0x1000, 134, 1), 0x00, 0x0500, 'B', "00 00 10 00 00 02 00 00", k3,
                   "INIT 04F3\r\nPLAYER 0503\r\n",
                   "F3 04 1F 05 A0 00 A2 10 A9 00 20 00 05 A2 00 A9 02"},
        FormatCase{"mpt_F500", "mpt", module(0x0FFF, 134, 1), 0x00, 0x0500, 'B', "00 00 0F FF 00 02 00 FF", k3,
                   "INIT F4F3\r\nPLAYER F503\r\n",
                   "F3 F4 1F F5 A0 FF A2 0F A9 00 20 00 F5 A2 00 A9 02"},
        FormatCase{"md1_0500", "md1", module(0x4000, 134, 1), 0x20, 0x0500, 'D', "00 00 40 00 00 03 1F E0 00 02 00 E0 00 05 01 E0", k3,
                   "INIT 04E3\r\nPLAYER 0503\r\n",
                   "E0 1F FF 20 E3 04 1F 05 A0 00 A2 40 A9 00 20 00 05 A0 E0 A2 1F A9 03 20 00 05 A2 00 A9 02 20 00 05 A2 01 A9 05"},
        FormatCase{"md1_page_10_0500", "md1", module(0x3000, 134, 1), 0x10, 0x0500, 'D', "00 00 30 00 00 03 0F E0 00 02 00 E0 00 05 01 E0", k3,
                   "INIT 04E3\r\nPLAYER 0503\r\n",
                   "E0 0F FF 10 E3 04 1F 05 A0 00 A2 30 A9 00 20 00 05 A0 E0 A2 0F A9 03 20 00 05 A2 00 A9 02 20 00 05 A2 01 A9 05"},
        FormatCase{"md1_page_0F_F500", "md1", module(0x2000, 134, 1), 0x0F, 0x0500, 'D', "00 00 20 00 00 03 0E E0 00 02 00 E0 00 05 01 E0", k3,
                   "INIT F4E3\r\nPLAYER F503\r\n",
                   "E0 0E FF 0F E3 F4 1F F5 A0 00 A2 20 A9 00 20 00 F5 A0 E0 A2 0E A9 03 20 00 F5 A2 00 A9 02 20 00 F5 A2 01 A9 05"},
        FormatCase{"md1_low_module_F500", "md1", module(0x0800, 134, 1), 0x40, 0x0500, 'D', "00 00 08 00 00 03 3F E0 00 02 00 E0 00 05 01 E0", k3,
                   "INIT F4E3\r\nPLAYER F503\r\n",
                   "E0 3F FF 40 E3 F4 1F F5 A0 00 A2 08 A9 00 20 00 F5 A0 E0 A2 3F A9 03 20 00 F5 A2 00 A9 02 20 00 F5 A2 01 A9 05"},
        FormatCase{"tmc1_0500", "tmc", module(0x1000, 134, 1), 0x00, 0x0500, 'B', "00 70 10 00 00 60 10 00", k3,
                   "INIT 04F5\r\nPLAYER 0503\r\n",
                   "F5 04 1F 05 A0 00 A2 10 A9 70 20 00 05 A9 60"},
        FormatCase{"tmc2_0500", "tmc", module(0x1000, 134, 2), 0x00, 0x0500, 'B', "00 70 10 00 00 60 10 00", kSpeed2,
                   "FASTPLAY 156\r\nINIT 04E7\r\nPLAYER 04F7\r\n",
                   "E7 04 1F 05 A0 00 A2 10 A9 70 20 00 05 A9 60 06 00 4C 00 05 A5 00 E6 00 4A 90 05 B0 06"},
        FormatCase{"tmc3_0500", "tmc", module(0x1000, 134, 3), 0x00, 0x0500, 'B', "00 70 10 00 00 60 01 00", kSpeed3,
                   "FASTPLAY 104\r\nINIT 04E5\r\nPLAYER 04F6\r\n",
                   "E5 04 1F 05 A0 00 A2 10 A9 70 20 00 05 A9 60 A2 01 86 00 D0 0A C6 00 D0 0C A2 03 86 00 D0 03"},
        FormatCase{"tmc4_0500", "tmc", module(0x1000, 134, 4), 0x00, 0x0500, 'B', "00 70 10 00 00 60 01 00", kSpeed4,
                   "FASTPLAY 78\r\nINIT 04E5\r\nPLAYER 04F6\r\n",
                   "E5 04 1F 05 A0 00 A2 10 A9 70 20 00 05 A9 60 A2 01 86 00 D0 0A C6 00 D0 0C A2 04 86 00 D0 03"},
        FormatCase{"tmc2_F500", "tmc", module(0x0C00, 134, 2), 0x00, 0x0500, 'B', "00 70 0C 00 00 60 0C 00", kSpeed2,
                   "FASTPLAY 156\r\nINIT F4E7\r\nPLAYER F4F7\r\n",
                   "E7 F4 1F F5 A0 00 A2 0C A9 70 20 00 F5 A9 60 06 00 4C 00 F5 A5 00 E6 00 4A 90 05 B0 06"},
        FormatCase{"tm8_2_0500", "tm8", module(0x1000, 134, 2), 0x00, 0x0500, 'B', "00 70 10 00 00 60 10 00", kSpeed2,
                   "STEREO\r\nFASTPLAY 156\r\nINIT 04E7\r\nPLAYER 04F7\r\n",
                   "E7 04 1F 05 A0 00 A2 10 A9 70 20 00 05 A9 60 06 00 4C 00 05 A5 00 E6 00 4A 90 05 B0 06"},
        FormatCase{"tm8_4_0500", "tm8", module(0x1000, 134, 4), 0x00, 0x0500, 'B', "00 70 10 00 00 60 01 00", kSpeed4,
                   "STEREO\r\nFASTPLAY 78\r\nINIT 04E5\r\nPLAYER 04F6\r\n",
                   "E5 04 1F 05 A0 00 A2 10 A9 70 20 00 05 A9 60 A2 01 86 00 D0 0A C6 00 D0 0C A2 04 86 00 D0 03"},
        FormatCase{"tm8_1_F500", "tm8", module(0x0C00, 134, 1), 0x00, 0x0500, 'B', "00 70 0C 00 00 60 0C 00", k3,
                   "STEREO\r\nINIT F4F5\r\nPLAYER F503\r\n",
                   "F5 F4 1F F5 A0 00 A2 0C A9 70 20 00 F5 A9 60"},
        FormatCase{"tm8_3_F500", "tm8", module(0x0C00, 134, 3), 0x00, 0x0500, 'B', "00 70 0C 00 00 60 01 00", kSpeed3,
                   "STEREO\r\nFASTPLAY 104\r\nINIT F4E5\r\nPLAYER F4F6\r\n",
                   "E5 F4 1F F5 A0 00 A2 0C A9 70 20 00 F5 A9 60 A2 01 86 00 D0 0A C6 00 D0 0C A2 03 86 00 D0 03"}),
    [](const auto& info) { return std::string(info.param.label); });

// An .MPT module of 1000 bytes at $4000, a player file of 1506 bytes, Name "Tune", no
// Author, Date "1999": 2610 bytes in all.
TEST(WholeSave, MptWorkedExample)
{
    Bench b;
    const Bytes song = atariFile(0x4000, Bytes(994, 0x5A));
    const Bytes code = player(1500);
    b.putPlayer("mpt_0500.plr", code);
    b.window.name = "Tune";
    b.window.date = "1999";
    const Bytes written = b.convert("tune.mpt", song);
    const Bytes expected = bytesOf("SAP\r\nAUTHOR  'Unknown'\r\nNAME  'Tune'\r\nDATE  '1999'\r\nTYPE B\r\nSONGS 1\r\n"
                                   "INIT 04F3\r\nPLAYER 0503\r\n")
                           + song + hex("F3 04 DB 0A A0 00 A2 40 A9 00 20 00 05 A2 00 A9 02") + slice(code, 6);
    ASSERT_EQ(written.size(), 2610u);
    EXPECT_EQ(written, expected);
    EXPECT_EQ(b.window.sapValue, "2610");
    EXPECT_EQ(b.window.author, "Unknown");
}

// The limits of the image and of Atari memory, on the side that still converts.
TEST(WholeSave, LargestModuleAndPlayer)
{
    Bench b;
    // Two segments: $0000-$FFFF, then $0000-$F3F5
    const Bytes whole = hex("FFFF 0000 FFFF") + Bytes(65536, 0x11) + hex("0000 F5F3") + Bytes(62454, 0x22);
    const Bytes written = b.convert("full.com", whole);
    EXPECT_EQ(slice(written, written.size() - 128000), whole);

    b.putPlayer("mpt_0500.plr", player(2816));  // $F500-$FFFF
    const Bytes low = b.convert("low.mpt", module(0x0800, 300));
    EXPECT_EQ(slice(low, low.size() - 2816 - 17, 4), hex("F3 F4 FF FF"));
}

} // namespace
