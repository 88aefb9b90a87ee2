// SAP files written by orvex-convert, played by an independent SAP player (libgme).
//
// The test players (players/*.s) play the module's bytes one after another, one per
// 50 frames, each as the AUDF value of a pure tone on channel 1. A SAP file that
// loads, initialises and calls its player correctly therefore plays, in its first
// second, the module's first byte and, in its second second, the module's second
// byte, at pitches the test knows in advance; one whose player is reached at the wrong
// address or called at the wrong rate is silent or out of tune. The Theta Music
// Composer player also adds 8 to AUDF for every in-between call (entry +6) since its
// last full call (entry +3), so the pitch shows whether the generated player code
// calls the entries in the pattern of the tune's speed, and it writes a tone one
// octave lower to the second POKEY, which only a stereo machine has.

#include "files.h"
#include "playback.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

namespace {

using gme_test::Bytes;
using gme_test::frequency;
using gme_test::kSampleRate;
using gme_test::pokeyFrequency;
using gme_test::Sound;

// Module addresses from which the player goes to $0500 and to $F500 (.MPT, .TMC, .TM8)
constexpr std::uint16_t kModuleHigh = 0x2000;
constexpr std::uint16_t kModuleLow = 0x0C00;

// First tone bytes of the two modules that differ only in this byte, and the second
// tone byte that both play after it
constexpr std::uint8_t kHighTone = 40;
constexpr std::uint8_t kLowTone = 72;
constexpr std::uint8_t kSecondTone = 56;

// The whole rendering, and the parts of it that hold the first and the second byte's
// tone, clear of the change at one second
constexpr std::size_t kFrom = kSampleRate / 10;
constexpr std::size_t kTo = 2 * kSampleRate;
constexpr std::size_t kFirstFrom = kSampleRate / 10, kFirstTo = kSampleRate * 9 / 10;
constexpr std::size_t kSecondFrom = kSampleRate * 11 / 10, kSecondTo = kSampleRate * 19 / 10;

// A module for the test players: the two tone bytes first, the speed byte where a
// Theta Music Composer module holds it (offset 37 of the file, 31 of the data).
Bytes moduleData(std::uint8_t tone, std::uint8_t speed = 1)
{
    Bytes data(64);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(0x11 * i);
    data[0] = tone;
    data[1] = kSecondTone;
    data[31] = speed;
    return data;
}

// The channel plays AUDF `first` in its first second and `second` in the next.
void expectTones(const std::vector<short>& channel, unsigned first, unsigned second)
{
    EXPECT_NEAR(frequency(channel, kFirstFrom, kFirstTo), pokeyFrequency(first), pokeyFrequency(first) * 0.02)
        << "first second, AUDF " << first;
    EXPECT_NEAR(frequency(channel, kSecondFrom, kSecondTo), pokeyFrequency(second), pokeyFrequency(second) * 0.02)
        << "second second, AUDF " << second;
}

// The value of a header line such as "PLAYER 0503", or -1 if there is none
long headerValue(const std::string& sap, const std::string& keyword)
{
    std::istringstream lines(sap.substr(0, sap.find("\xFF\xFF")));
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind(keyword + " ", 0) == 0)
            return std::strtol(line.c_str() + keyword.size() + 1, nullptr, 16);
    }
    return -1;
}

class Converting : public ::testing::Test {
protected:
    testing_support::TempDir dir;

    // Converts the module with the test players; returns the SAP file's path, or ""
    // after a failed conversion (which the test has then already reported).
    std::string convert(const std::string& moduleName, const Bytes& module, const char* players = GME_TEST_PLAYERS)
    {
        const std::string modulePath = dir / moduleName;
        const std::string sapPath = dir / (moduleName + ".sap");
        testing_support::writeFile(modulePath, module);
        const auto run = gme_test::runConverter({"-p", players, "-n", "Test tone", "-a", "Orvex", "-o",
                                                 sapPath, modulePath});
        EXPECT_EQ(run.exitCode, 0) << run.errors;
        return run.exitCode == 0 ? sapPath : std::string();
    }

    std::string sapText(const std::string& sapPath)
    {
        const auto bytes = testing_support::readFile(sapPath);
        return std::string(bytes.begin(), bytes.end());
    }

    // Checks that the file plays without a complaint and is audible; returns the sound.
    Sound playChecked(const std::string& sapPath, int mutedVoices = 0)
    {
        Sound sound = gme_test::play(sapPath, 2.0, mutedVoices);
        EXPECT_EQ(sound.error, "") << "libgme cannot play " << sapPath;
        EXPECT_EQ(sound.warning, "") << "libgme warns about " << sapPath;
        EXPECT_GT(gme_test::swing(sound.left, kFrom, kTo), 1000) << "the left channel is silent";
        EXPECT_GT(gme_test::swing(sound.right, kFrom, kTo), 1000) << "the right channel is silent";
        return sound;
    }

    // The player lies where the module's address puts it: PLAYER and INIT point into
    // page $04/$05 or $F4/$F5.
    void expectPlayerNear(const std::string& sapPath, unsigned playerAddress)
    {
        const std::string sap = sapText(sapPath);
        const long player = headerValue(sap, "PLAYER");
        EXPECT_GE(player, static_cast<long>(playerAddress) - 0x10) << sap.substr(0, 200);
        EXPECT_LT(player, static_cast<long>(playerAddress) + 0x10) << sap.substr(0, 200);
    }

    // A mono format at one player address: two modules that differ in the tone byte
    // sound at the pitches of their bytes, the larger byte lower, on both channels alike.
    void expectPitchFollowsTone(const std::string& extension, std::uint16_t moduleAddress, unsigned playerAddress,
                                const char* players = GME_TEST_PLAYERS)
    {
        double measured[2] = {0, 0};
        const std::uint8_t tones[2] = {kHighTone, kLowTone};
        for (int i = 0; i < 2; ++i) {
            SCOPED_TRACE("tone byte " + std::to_string(tones[i]));
            const std::string sap = convert("tone" + std::to_string(tones[i]) + "." + extension,
                                            gme_test::atariFile(moduleAddress, moduleData(tones[i])), players);
            if (sap.empty())
                return;
            expectPlayerNear(sap, playerAddress);
            const Sound sound = playChecked(sap);
            measured[i] = frequency(sound.left, kFirstFrom, kFirstTo);
            expectTones(sound.left, tones[i], kSecondTone);
            EXPECT_EQ(sound.left, sound.right) << "a mono tune sounds the same on both channels";
        }
        EXPECT_GT(measured[0], measured[1]) << "the larger AUDF byte must give the lower tone";
    }

    // Theta Music Composer at one player address, speeds 1 to 4: the full call comes
    // once per frame with speed - 1 in-between calls between two full calls.
    void expectThetaSpeeds(const std::string& extension, std::uint16_t moduleAddress, unsigned playerAddress)
    {
        const bool stereo = extension == "tm8";
        for (std::uint8_t speed = 1; speed <= 4; ++speed) {
            double measured[2] = {0, 0};
            const std::uint8_t tones[2] = {kHighTone, kLowTone};
            for (int i = 0; i < 2; ++i) {
                SCOPED_TRACE("speed " + std::to_string(speed) + ", tone byte " + std::to_string(tones[i]));
                const std::string sap
                    = convert("speed" + std::to_string(speed) + "tone" + std::to_string(tones[i]) + "." + extension,
                              gme_test::atariFile(moduleAddress, moduleData(tones[i], speed)));
                if (sap.empty())
                    return;
                expectPlayerNear(sap, playerAddress);
                const Sound sound = playChecked(sap);
                const unsigned extra = 8u * (speed - 1u);
                const unsigned first = tones[i] + extra, second = kSecondTone + extra;
                measured[i] = frequency(sound.left, kFirstFrom, kFirstTo);
                expectTones(sound.left, first, second);
                if (stereo) {
                    EXPECT_NE(sound.left, sound.right) << "a .TM8 tune plays the second POKEY on the right";
                    expectTones(sound.right, 2 * first + 1, 2 * second + 1);
                } else {
                    EXPECT_EQ(sound.left, sound.right) << "a .TMC tune is mono";
                }
            }
            EXPECT_GT(measured[0], measured[1]) << "the larger AUDF byte must give the lower tone";
        }
    }
};

using Cmc = Converting;
using Mpt = Converting;
using Tmc = Converting;
using Tm8 = Converting;
using Demo = Converting;

// The CMC player file keeps its own segment header, so the player lies where that
// header puts it, wherever the module is.
TEST_F(Cmc, PitchFollowsTheModuleWithPlayerAt0500)
{
    expectPitchFollowsTone("cmc", kModuleHigh, 0x0500);
}

TEST_F(Cmc, PitchFollowsTheModuleWithPlayerAtF500)
{
    expectPitchFollowsTone("cmc", kModuleLow, 0xF500, GME_TEST_PLAYERS_F500);
}

TEST_F(Cmc, ModuleBelow1000PlaysWithThePlayerWhereItsFileLoadsIt)
{
    expectPitchFollowsTone("cmc", kModuleLow, 0x0500);
}

TEST_F(Mpt, PitchFollowsTheModuleWithPlayerAt0500)
{
    expectPitchFollowsTone("mpt", kModuleHigh, 0x0500);
}

TEST_F(Mpt, PitchFollowsTheModuleWithPlayerAtF500)
{
    expectPitchFollowsTone("mpt", kModuleLow, 0xF500);
}

TEST_F(Tmc, SpeedsOneToFourWithPlayerAt0500)
{
    expectThetaSpeeds("tmc", kModuleHigh, 0x0500);
}

TEST_F(Tmc, SpeedsOneToFourWithPlayerAtF500)
{
    expectThetaSpeeds("tmc", kModuleLow, 0xF500);
}

TEST_F(Tm8, StereoSpeedsOneToFourWithPlayerAt0500)
{
    expectThetaSpeeds("tm8", kModuleHigh, 0x0500);
}

TEST_F(Tm8, StereoSpeedsOneToFourWithPlayerAtF500)
{
    expectThetaSpeeds("tm8", kModuleLow, 0xF500);
}

// The demo tune: it loads, it is audible, and its lead (channel 1 alone) moves
// between several pitches within the first two seconds.
TEST_F(Demo, PlaysAChangingMelody)
{
    const Bytes tune = testing_support::readFile(ORVEX_DEMO_FILE);
    const std::string sap = convert("orvex-demo.com", tune);
    ASSERT_FALSE(sap.empty());
    EXPECT_EQ(headerValue(sapText(sap), "INIT"), 0x8011);
    EXPECT_EQ(headerValue(sapText(sap), "PLAYER"), 0x8017);

    const Sound all = playChecked(sap);
    EXPECT_EQ(all.left, all.right) << "the demo tune is mono";

    const Sound lead = playChecked(sap, 0b1110);
    std::vector<double> pitches;
    const std::size_t window = kSampleRate / 20;
    for (std::size_t at = 0; at + window <= lead.left.size(); at += window) {
        const double f = frequency(lead.left, at, at + window);
        if (f == 0)
            continue;
        // Windows that hold a whole note give its pitch; count pitches 3% or more apart.
        bool known = false;
        for (double p : pitches)
            known = known || (f > p * 0.97 && f < p * 1.03);
        if (!known)
            pitches.push_back(f);
    }
    EXPECT_GE(pitches.size(), 4u) << "the lead should change its pitch";
}

} // namespace
