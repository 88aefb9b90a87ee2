// SAP files the engine writes, played by an independent SAP player (libgme) with test
// players of our own (players/player.s): the pitch of each second tells which module
// byte was played and how the player's entries were called.

#include "support.h"

#include <gme/gme.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace {

using namespace support;

constexpr int kRate = 44100;

struct Sound {
    std::string error;  // libgme's error or warning, "" when it played
    std::vector<short> left, right;
};

// The first `seconds` of the first song, 16-bit stereo.
Sound play(const std::string& path, double seconds = 2.0)
{
    Sound sound;
    Music_Emu* emu = nullptr;
    std::vector<short> stereo(static_cast<std::size_t>(seconds * kRate) * 2);
    const char* error = gme_open_file(path.c_str(), &emu, kRate);
    if (!error) {
        gme_ignore_silence(emu, 1);
        if (!(error = gme_start_track(emu, 0)) && !(error = gme_play(emu, int(stereo.size()), stereo.data())))
            error = gme_warning(emu);
        gme_delete(emu);
    }
    sound.error = error ? error : "";
    for (std::size_t i = 0; i < stereo.size(); i += 2) {
        sound.left.push_back(stereo[i]);
        sound.right.push_back(stereo[i + 1]);
    }
    return sound;
}

// The frequency of the square wave in samples [from, to), from the spacing of its
// rising edges (steps of the level over two samples); 0 when there is none.
double frequency(const std::vector<short>& samples, std::size_t from, std::size_t to)
{
    auto step = [&](std::size_t i) { return samples[i] - samples[i - 2]; };
    int steepest = 0;
    for (std::size_t i = from + 2; i < to; ++i)
        steepest = std::max(steepest, std::abs(step(i)));
    if (steepest < 64)
        return 0;
    bool rising = false;
    std::size_t first = 0, last = 0, rises = 0;
    for (std::size_t i = from + 2; i < to; ++i) {
        if (!rising && step(i) > steepest / 4) {
            rising = true;
            first = rises++ == 0 ? i : first;
            last = i;
        } else if (rising && step(i) < -steepest / 4) {
            rising = false;
        }
    }
    return rises < 3 ? 0 : static_cast<double>(rises - 1) * kRate / static_cast<double>(last - first);
}

// A pure tone of a PAL POKEY at 64 kHz: its level changes every AUDF + 1 ticks.
double pokey(unsigned audf)
{
    return 1773447.0 / 28 / (2.0 * (audf + 1));
}

struct PlayCase {
    const char* label;
    const char* extension;
    std::uint16_t moduleStart;
    std::uint8_t speed;
    const char* players;   // the folder of player files
    unsigned left[2];      // AUDF heard on the left in the first and in the second second
    unsigned right[2];     // and on the right
};

void PrintTo(const PlayCase& c, std::ostream* out) { *out << c.label; }

class Playback : public ::testing::TestWithParam<PlayCase> {};

TEST_P(Playback, PitchOfEachSecond)
{
    const PlayCase& c = GetParam();
    Bench b;
    for (const auto& file : std::filesystem::directory_iterator(c.players))
        b.putPlayer(file.path().filename(), readFile(file.path()));
    Bytes data = hex("28 38") + Bytes(62, 0x11);  // the tone bytes: 40 and 56
    data[31] = c.speed;
    b.convert(std::string("tone.") + c.extension, atariFile(c.moduleStart, data));
    const Sound sound = play(b.dir / ("tone." + std::string(c.extension) + ".sap"));
    ASSERT_EQ(sound.error, "");
    for (int second = 0; second < 2; ++second) {
        const std::size_t from = kRate * (10 * second + 1) / 10, to = kRate * (10 * second + 9) / 10;
        EXPECT_NEAR(frequency(sound.left, from, to), pokey(c.left[second]), pokey(c.left[second]) * 0.02);
        EXPECT_NEAR(frequency(sound.right, from, to), pokey(c.right[second]), pokey(c.right[second]) * 0.02);
    }
    if (std::string(c.extension) != "tm8") {
        EXPECT_EQ(sound.left, sound.right) << "a mono tune";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, Playback,
    ::testing::Values(PlayCase{"cmc_0500", "cmc", 0x2000, 1, PLAYERS, {40, 56}, {40, 56}},
                      PlayCase{"cmc_F500", "cmc", 0x0C00, 1, PLAYERS_F500, {40, 56}, {40, 56}},
                      PlayCase{"cmc_low_module_0500", "cmc", 0x0C00, 1, PLAYERS, {40, 56}, {40, 56}},
                      PlayCase{"mpt_0500", "mpt", 0x2000, 1, PLAYERS, {40, 56}, {40, 56}},
                      PlayCase{"mpt_F500", "mpt", 0x0C00, 1, PLAYERS, {40, 56}, {40, 56}},
                      PlayCase{"tmc1_0500", "tmc", 0x2000, 1, PLAYERS, {40, 56}, {40, 56}},
                      PlayCase{"tmc3_0500", "tmc", 0x2000, 3, PLAYERS, {56, 72}, {56, 72}},
                      PlayCase{"tmc4_0500", "tmc", 0x2000, 4, PLAYERS, {64, 80}, {64, 80}},
                      PlayCase{"tmc2_F500", "tmc", 0x0C00, 2, PLAYERS, {48, 64}, {48, 64}},
                      PlayCase{"tm8_2_0500", "tm8", 0x2000, 2, PLAYERS, {48, 64}, {97, 129}},
                      PlayCase{"tm8_3_F500", "tm8", 0x0C00, 3, PLAYERS, {56, 72}, {113, 145}}),
    [](const auto& info) { return std::string(info.param.label); });

} // namespace
