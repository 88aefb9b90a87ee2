// Runs the SAP files the engine writes on a 6502, with the probe player standing in for
// each tracker's player routine, and checks call by call what the player is asked to do:
// by the generated INIT code, by the generated PLAYER code of Theta Music Composer
// modules played several times a frame, and by a SAP player's own calls (TYPE C, .COM).

#include "harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

namespace exec {
namespace {

constexpr int kFrames = 24;

// Values that location $00 may hold before INIT: the generated code must not care.
constexpr std::uint8_t kCounterPresets[] = {0x00, 0x01, 0x02, 0x03, 0x7F, 0x80, 0xFE, 0xFF};

std::uint8_t lo(unsigned value) { return static_cast<std::uint8_t>(value); }
std::uint8_t hi(unsigned value) { return static_cast<std::uint8_t>(value >> 8); }

Bytes dataOf(const Bytes& atariFile) { return Bytes(atariFile.begin() + 6, atariFile.end()); }

// What a run of INIT and a number of frames made the probe log.
struct Played {
    std::vector<Call> init;
    std::vector<std::vector<int>> frames;  // the entries called in each frame
};

::testing::AssertionResult startAndPlay(Machine& machine, Played& run, int frames = kFrames)
{
    return runs([&] {
        machine.start();
        run.init = machine.takeNewCalls();
        for (int i = 0; i < frames; ++i) {
            machine.play();
            run.frames.push_back(entriesOf(machine.takeNewCalls()));
        }
    });
}

// Frame i calls entry +3 when i is a multiple of `speed`, entry +6 otherwise.
std::vector<std::vector<int>> framesOfSpeed(int speed, int frames = kFrames)
{
    std::vector<std::vector<int>> entries;
    for (int i = 0; i < frames; ++i)
        entries.push_back({i % speed == 0 ? 3 : 6});
    return entries;
}

// Every write to location $00 came from an instruction in [from, to).
::testing::AssertionResult counterWrittenOnlyBy(const Cpu6502& cpu, unsigned from, unsigned to)
{
    for (const Cpu6502::Write& w : cpu.watchedWrites()) {
        if (w.pc < from || w.pc >= to)
            return ::testing::AssertionFailure() << "the instruction at " << hex4(w.pc) << " wrote " << int(w.value)
                                                 << " to location $00";
    }
    return ::testing::AssertionSuccess();
}

// Where a test module lies and where its player is to go.
struct Placement {
    const char* name;
    std::uint16_t moduleStart;
    std::uint16_t player;
};

void PrintTo(const Placement& where, std::ostream* out) { *out << where.name; }

constexpr Placement kPlacements[] = {
    {"module_1000_player_0500", 0x1000, 0x0500},
    {"module_4000_player_0500", 0x4000, 0x0500},
    {"module_0FFF_player_F500", 0x0FFF, 0xF500},
    {"module_0800_player_F500", 0x0800, 0xF500},
};

// ---------------------------------------------------------------- .MPT

class MptModule : public ::testing::TestWithParam<Placement> {};

TEST_P(MptModule, InitGivesCommands0And2AndEachFrameCallsPlus3)
{
    const Placement& where = GetParam();
    Workspace workspace;
    const Bytes module = moduleFile(where.moduleStart);
    Machine machine;
    ASSERT_TRUE(runs([&] { machine.load(workspace.convert("tune.mpt", module)); }));
    EXPECT_EQ(machine.sap.type, 'B');
    EXPECT_TRUE(segmentsApart(machine.sap));
    EXPECT_TRUE(holds(machine.cpu, where.moduleStart, dataOf(module)));
    ASSERT_TRUE(holds(machine.cpu, where.player, probeAssembledAt0500())) << "the player is not where it belongs";

    Played run;
    ASSERT_TRUE(startAndPlay(machine, run));
    const std::uint8_t startLo = lo(where.moduleStart), startHi = hi(where.moduleStart);
    EXPECT_EQ(run.init, (std::vector<Call>{{0, 0x00, startHi, startLo}, {0, 0x02, 0x00, startLo}}));
    EXPECT_EQ(run.frames, framesOfSpeed(1));
    EXPECT_TRUE(counterWrittenOnlyBy(machine.cpu, *machine.sap.init, where.player));
}

INSTANTIATE_TEST_SUITE_P(Placements, MptModule, ::testing::ValuesIn(kPlacements),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- .MD1

struct Md1Case {
    const char* name;
    std::uint16_t moduleStart;
    std::uint8_t samplePage;
    std::size_t sampleLength;
    std::uint16_t player;
};

void PrintTo(const Md1Case& c, std::ostream* out) { *out << c.name; }

class Md1Module : public ::testing::TestWithParam<Md1Case> {};

TEST_P(Md1Module, InitGivesCommands0320And5AndEachFrameCallsPlus3)
{
    const Md1Case& c = GetParam();
    Workspace workspace;
    const Bytes module = moduleFile(c.moduleStart);
    const Bytes samples = sampleFile(c.samplePage, c.sampleLength);
    Machine machine;
    ASSERT_TRUE(runs([&] { machine.load(workspace.convert("tune.md1", module, samples)); }));
    EXPECT_EQ(machine.sap.type, 'D');
    EXPECT_TRUE(segmentsApart(machine.sap));
    EXPECT_TRUE(holds(machine.cpu, c.moduleStart, dataOf(module)));
    EXPECT_TRUE(holds(machine.cpu, static_cast<std::uint16_t>(c.samplePage * 256 - 32), samples))
        << "the .D15 file is loaded 32 bytes below its page";
    ASSERT_TRUE(holds(machine.cpu, c.player, probeAssembledAt0500())) << "the player is not where it belongs";

    Played run;
    ASSERT_TRUE(startAndPlay(machine, run));
    const std::uint8_t startLo = lo(c.moduleStart), startHi = hi(c.moduleStart);
    const auto sampleHi = static_cast<std::uint8_t>(c.samplePage - 1);
    EXPECT_EQ(run.init, (std::vector<Call>{{0, 0x00, startHi, startLo},
                                           {0, 0x03, sampleHi, 0xE0},
                                           {0, 0x02, 0x00, 0xE0},
                                           {0, 0x05, 0x01, 0xE0}}));
    EXPECT_EQ(run.frames, framesOfSpeed(1));
    EXPECT_TRUE(counterWrittenOnlyBy(machine.cpu, *machine.sap.init, c.player));
}

INSTANTIATE_TEST_SUITE_P(
    Placements, Md1Module,
    ::testing::Values(
        // whole pages of samples: 32 + 256 * 4 bytes
        Md1Case{"module_4000_page_20_player_0500", 0x4000, 0x20, 1056, 0x0500},
        Md1Case{"module_1000_page_30_player_0500", 0x1000, 0x30, 1056, 0x0500},
        Md1Case{"module_3000_page_10_player_0500", 0x3000, 0x10, 1056, 0x0500},
        Md1Case{"module_4000_page_08_player_F500", 0x4000, 0x08, 1056, 0xF500},
        // a file that ends inside a page: the segment is declared to the page's end
        Md1Case{"samples_of_1000_bytes_player_0500", 0x4000, 0x20, 1000, 0x0500},
        Md1Case{"samples_of_1000_bytes_page_0F_player_F500", 0x2000, 0x0F, 1000, 0xF500},
        Md1Case{"samples_of_1000_bytes_module_0800_player_F500", 0x0800, 0x40, 1000, 0xF500},
        Md1Case{"samples_of_20_bytes_player_0500", 0x4000, 0x20, 20, 0x0500}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- .TMC and .TM8

using TmcParam = std::tuple<const char*, int, Placement>;  // extension, speed, placement

class TmcModule : public ::testing::TestWithParam<TmcParam> {};

TEST_P(TmcModule, InitGivesCommands70And60AndFramesFollowTheSpeed)
{
    const auto& [extension, speed, where] = GetParam();
    Workspace workspace;
    const Bytes module = moduleFile(where.moduleStart, 64, static_cast<std::uint8_t>(speed));
    Bytes sapFile;
    ASSERT_TRUE(runs([&] { sapFile = workspace.convert(std::string("tune.") + extension, module); }));

    // Whatever location $00 held before INIT, the first frame calls +3.
    for (const std::uint8_t preset : kCounterPresets) {
        SCOPED_TRACE("location $00 = " + std::to_string(preset) + " before INIT");
        Machine machine;
        ASSERT_TRUE(runs([&] { machine.load(sapFile); }));
        EXPECT_EQ(machine.sap.type, 'B');
        EXPECT_EQ(machine.sap.stereo, std::string(extension) == "tm8");
        if (speed == 1)
            EXPECT_FALSE(machine.sap.fastplay);
        else
            EXPECT_EQ(machine.sap.fastplay, 312 / speed);
        EXPECT_TRUE(segmentsApart(machine.sap));
        EXPECT_TRUE(holds(machine.cpu, where.moduleStart, dataOf(module)));
        ASSERT_TRUE(holds(machine.cpu, where.player, probeAssembledAt0500())) << "the player is not where it belongs";
        machine.cpu.poke(0x00, preset);

        Played run;
        ASSERT_TRUE(startAndPlay(machine, run));
        const std::uint8_t startLo = lo(where.moduleStart), startHi = hi(where.moduleStart);
        const std::uint8_t secondX = speed >= 3 ? 0x01 : startHi;
        EXPECT_EQ(run.init, (std::vector<Call>{{0, 0x70, startHi, startLo}, {0, 0x60, secondX, startLo}}));
        EXPECT_EQ(run.frames, framesOfSpeed(speed));
        EXPECT_TRUE(counterWrittenOnlyBy(machine.cpu, *machine.sap.init, where.player));
    }
}

INSTANTIATE_TEST_SUITE_P(Speeds, TmcModule,
                         ::testing::Combine(::testing::Values("tmc", "tm8"), ::testing::Values(1, 2, 3, 4),
                                            ::testing::Values(kPlacements[0], kPlacements[3])),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param)) + "_speed_"
                                    + std::to_string(std::get<1>(info.param)) + "_" + std::get<2>(info.param).name;
                         });

class TmcStereo : public ::testing::TestWithParam<int> {};

TEST_P(TmcStereo, Tm8FileDiffersFromTmcFileOnlyByTheStereoLine)
{
    const int speed = GetParam();
    Workspace workspace;
    const Bytes module = moduleFile(0x2000, 64, static_cast<std::uint8_t>(speed));
    const Bytes mono = workspace.convert("tune.tmc", module);
    const Bytes stereo = workspace.convert("tune.tm8", module);

    const std::string songs = "SONGS 1\r\n";
    const auto at = std::search(mono.begin(), mono.end(), songs.begin(), songs.end());
    ASSERT_NE(at, mono.end());
    Bytes expected(mono.begin(), at + static_cast<long>(songs.size()));
    const std::string line = "STEREO\r\n";
    expected.insert(expected.end(), line.begin(), line.end());
    expected.insert(expected.end(), at + static_cast<long>(songs.size()), mono.end());
    EXPECT_EQ(stereo, expected);
}

INSTANTIATE_TEST_SUITE_P(Speeds, TmcStereo, ::testing::Values(1, 2, 3, 4),
                         [](const auto& info) { return "speed_" + std::to_string(info.param); });

// ---------------------------------------------------------------- .CMC

// TYPE C: the SAP player calls the player itself, so these check that the PLAYER line
// names the address at which the player's bytes are loaded.
class CmcModule : public ::testing::TestWithParam<Placement> {};

TEST_P(CmcModule, SapPlayerCallsReachThePlayer)
{
    const Placement& where = GetParam();
    Workspace workspace;
    const Bytes module = moduleFile(where.moduleStart);
    Machine machine;
    ASSERT_TRUE(runs([&] { machine.load(workspace.convert("tune.cmc", module)); }));
    EXPECT_EQ(machine.sap.type, 'C');
    EXPECT_EQ(machine.sap.music, where.moduleStart);
    EXPECT_TRUE(segmentsApart(machine.sap));
    EXPECT_TRUE(holds(machine.cpu, where.moduleStart, dataOf(module)));
    ASSERT_TRUE(machine.sap.player);
    EXPECT_TRUE(holds(machine.cpu, *machine.sap.player, probeAssembledAt0500()))
        << "PLAYER " << hex4(*machine.sap.player) << " does not name the player's bytes";

    Played run;
    ASSERT_TRUE(startAndPlay(machine, run));
    ASSERT_EQ(run.init.size(), 2u);
    EXPECT_EQ(run.init[0], (Call{3, 0x70, lo(where.moduleStart), hi(where.moduleStart)}));
    EXPECT_EQ(run.init[1].entry, 3);
    EXPECT_EQ(run.init[1].a, 0x00);
    EXPECT_EQ(run.init[1].x, 0x00);
    EXPECT_EQ(run.frames, std::vector<std::vector<int>>(kFrames, {6}));
    EXPECT_TRUE(machine.cpu.watchedWrites().empty()) << "location $00 was written";
}

// The CMC player file keeps its own segment header, so modules below $1000 too find
// the player at $0500.
INSTANTIATE_TEST_SUITE_P(Placements, CmcModule, ::testing::ValuesIn(kPlacements),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- .COM

TEST(ComModule, InitRunsOnceAndPlayerOncePerFrame)
{
    Workspace workspace;
    const Bytes module = atariBinary(kComTuneStart, comTune());
    Machine machine;
    ASSERT_TRUE(runs([&] { machine.load(workspace.convert("tune.com", module)); }));
    EXPECT_EQ(machine.sap.type, 'B');
    EXPECT_EQ(machine.sap.init, 0x8011);
    EXPECT_EQ(machine.sap.player, 0x8017);
    ASSERT_EQ(machine.sap.segments.size(), 1u) << "nothing but the module is loaded";
    EXPECT_TRUE(holds(machine.cpu, kComTuneStart, comTune()));
    machine.cpu.poke(0x00, 0x5C);

    Played run;
    ASSERT_TRUE(startAndPlay(machine, run));
    ASSERT_EQ(run.init.size(), 1u);
    EXPECT_EQ(run.init[0].entry, 0);
    EXPECT_EQ(run.init[0].a, 0x00) << "INIT gets the song number";
    EXPECT_EQ(run.frames, framesOfSpeed(1));
    EXPECT_TRUE(machine.cpu.watchedWrites().empty()) << "location $00 was written";
    EXPECT_EQ(machine.cpu.peek(0x00), 0x5C);
}

} // namespace
} // namespace exec
