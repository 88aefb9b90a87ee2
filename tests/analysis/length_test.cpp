// The lengths found for test tunes of our own, against lengths worked out by hand, and
// against libgme, an independent player: a tune that ends is silent there from its TIME
// on, a looping one repeats there from its TIME on what it played one loop earlier. Then
// the machine around the 6502, and the tunes that cannot be timed.

#include "atari.h"
#include "support.h"
#include "tune_length.h"

#include <gme/gme.h>
#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace support;
using orvex::sap::TuneLength;

constexpr double kFrame = 312 * 114 / 1773447.0;  // seconds

// A test tune converted as orvex-convert converts it, with the test players that play a
// module byte every 2 frames; their modules' bytes are tones from AUDF $40 to $BF.
Bytes sapOf(const std::string& name, std::uint8_t speed = 1)
{
    Bench b;
    for (const char* player : {"cmc_0500.plr", "mpt_0500.plr", "tmc_0500.plr"})
        b.putPlayer(player, readFile(std::string(TUNES) + "/" + player));
    if (name.ends_with(".com"))
        return b.convert(name, readFile(std::string(TUNES) + "/" + name));
    Bytes tones(300);
    for (std::size_t i = 0; i < tones.size(); ++i)
        tones[i] = static_cast<std::uint8_t>(0x40 + i * 37 % 0x80);
    tones[31] = speed;
    return b.convert(name, atariFile(0x2000, tones));
}

struct Tune {
    const char* name;
    std::uint8_t speed;
    TuneLength::Kind kind;
    double seconds;     // worked out by hand from the tune's frames
    const char* line;   // the TIME line written
};

void PrintTo(const Tune& t, std::ostream* out) { *out << t.name; }

class Lengths : public ::testing::TestWithParam<Tune> {};

TEST_P(Lengths, WithinTwoFrames)
{
    const Tune& t = GetParam();
    const Bytes file = sapOf(t.name, t.speed);
    const TuneLength length = orvex::sap::findLength(textOf(file), 20 * 60);
    EXPECT_EQ(length.kind, t.kind) << length.problem;
    EXPECT_NEAR(length.seconds, t.seconds, 2 * kFrame);
    if (*t.line) {
        EXPECT_EQ(orvex::sap::timeLine(length), t.line);
    }
}

using enum TuneLength::Kind;

INSTANTIATE_TEST_SUITE_P(
    Tunes, Lengths,
    ::testing::Values(
        // 100 frames, then frames 100 to 249 again and again: the repetition begins at 250
        Tune{"intro_loop.com", 1, Loops, 250 * kFrame, "TIME 00:05.014 LOOP\r\n"},
        // the same, with a count that never repeats beside it
        Tune{"counter.com", 1, Loops, 250 * kFrame, "TIME 00:05.014 LOOP\r\n"},
        // notes for frames 0 to 197, silence from frame 198 on
        Tune{"ends.com", 1, Ends, 198 * kFrame, "TIME 00:03.971\r\n"},
        // a 24-bit shift register: nothing repeats within 20 minutes
        Tune{"never.com", 1, Unknown, 0, ""},
        // 15000 frames, 5 minutes, and over again
        Tune{"long.com", 1, Loops, 15000 * kFrame, "TIME 05:00.838 LOOP\r\n"},
        // the test players: 256 module bytes, 2 full calls each, then over again; the
        // TMC tune at speed 2 (FASTPLAY 156) has two calls a frame and lasts as long
        Tune{"fast.tmc", 2, Loops, 512 * kFrame, ""},
        Tune{"typec.cmc", 1, Loops, 512 * kFrame, ""},
        Tune{"stereo.tm8", 1, Loops, 512 * kFrame, ""}),
    [](const auto& info) { return std::string(info.param.name).replace(std::string(info.param.name).find('.'), 1, "_"); });

// What a frame of audio sounds like: its loudness (RMS, both channels) and its pitch (the
// zero crossings of the left channel).
struct Sound {
    double rms;
    int crossings;
};

// libgme's audio of a tune, frame by frame.
std::vector<Sound> framesInGme(const Bytes& file, double seconds)
{
    constexpr int kRate = 44100;
    Music_Emu* emu = nullptr;
    EXPECT_EQ(gme_open_data(file.data(), static_cast<long>(file.size()), &emu, kRate), nullptr);
    EXPECT_EQ(gme_start_track(emu, 0), nullptr);
    std::vector<Sound> frames;
    for (std::size_t k = 0; k * kFrame < seconds; ++k) {
        // The samples of frame k, its bounds rounded: the windows do not drift
        const auto sampleAt = [](std::size_t frame) { return std::lround(frame * kFrame * kRate); };
        std::vector<short> samples(2 * static_cast<std::size_t>(sampleAt(k + 1) - sampleAt(k)));
        gme_play(emu, static_cast<int>(samples.size()), samples.data());
        double sum = 0;
        int crossings = 0;
        for (std::size_t i = 0; i < samples.size(); ++i) {
            sum += double(samples[i]) * samples[i];
            crossings += i >= 2 && i % 2 == 0 && (samples[i] >= 0) != (samples[i - 2] >= 0) ? 1 : 0;
        }
        frames.push_back({std::sqrt(sum / double(samples.size())), crossings});
    }
    gme_delete(emu);
    return frames;
}

class Agreement : public ::testing::TestWithParam<Tune> {};

TEST_P(Agreement, WithLibgme)
{
    const Tune& t = GetParam();
    const Bytes file = sapOf(t.name, t.speed);
    const TuneLength length = orvex::sap::findLength(textOf(file), 20 * 60);
    ASSERT_TRUE(length.kind == Loops || length.kind == Ends);
    const std::vector<Sound> frames = framesInGme(file, length.seconds + 4);
    const auto frame = [](double seconds) { return static_cast<std::size_t>(std::lround(seconds / kFrame)); };
    const std::size_t at = frame(length.seconds);
    if (length.kind == Ends) {
        EXPECT_GT(frames[at - 3].rms, 300.0) << "it sounds before its end";
        for (std::size_t f = at + 2; f < frames.size(); ++f)
            EXPECT_LT(frames[f].rms, 33.0) << "frame " << f << " is not silent";  // -60 dBFS
        return;
    }
    // From TIME on, each frame of a steady tone sounds as the frame one loop earlier did,
    // within 2 frames (a frame where a note starts or stops holds part of each)
    const std::size_t loop = frame(length.seconds - length.loopStart);
    ASSERT_GT(loop, 10u);
    const auto alike = [&](std::size_t f, std::size_t g) {
        return std::abs(frames[f].rms - frames[g].rms) < 0.05 * frames[f].rms + 30
               && std::abs(frames[f].crossings - frames[g].crossings) <= 2 + frames[f].crossings / 20;
    };
    const auto sameAsLoopBefore = [&](std::size_t f) {
        for (std::size_t g = f - loop - 2; g <= f - loop + 2; ++g) {
            if (alike(f, g))
                return true;
        }
        return false;
    };
    std::size_t compared = 0;
    for (std::size_t f = at + 2; f + 2 < frames.size(); ++f) {
        if (!alike(f, f - 1) || !alike(f, f + 1))
            continue;  // not a steady tone
        ++compared;
        EXPECT_TRUE(sameAsLoopBefore(f)) << "frame " << f << " against one loop earlier";
    }
    EXPECT_GT(compared, 50u);
    // Not earlier: before TIME a frame of the intro differs from one loop earlier
    if (at - 2 >= loop + 2 && frame(length.loopStart) > 2) {
        bool differs = false;
        for (std::size_t f = loop + 2; f < at - 2; ++f)
            differs = differs || !sameAsLoopBefore(f);
        EXPECT_TRUE(differs) << "the loop began before TIME";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Tunes, Agreement,
    ::testing::Values(Tune{"intro_loop.com", 1, Loops, 0, ""}, Tune{"ends.com", 1, Ends, 0, ""},
                      Tune{"counter.com", 1, Loops, 0, ""}, Tune{"fast.tmc", 2, Loops, 0, ""},
                      Tune{"typec.cmc", 1, Loops, 0, ""}, Tune{"stereo.tm8", 1, Loops, 0, ""}),
    [](const auto& info) { return std::string(info.param.name).replace(std::string(info.param.name).find('.'), 1, "_"); });

} // namespace

namespace {

// A SAP file of header lines and one segment of code at $1000.
std::string sapFile(const std::string& lines, const Bytes& code)
{
    const unsigned end = 0x1000 + code.size() - 1;
    return "SAP\r\n" + lines + textOf(Bytes{0xFF, 0xFF, 0x00, 0x10, std::uint8_t(end), std::uint8_t(end >> 8)} + code);
}

struct Untimed {
    const char* label;
    std::string file;
    TuneLength::Kind kind;
    const char* problem;
};

void PrintTo(const Untimed& u, std::ostream* out) { *out << u.label; }

class NoLength : public ::testing::TestWithParam<Untimed> {};

TEST_P(NoLength, SaysWhy)
{
    const Untimed& u = GetParam();
    const TuneLength length = orvex::sap::findLength(u.file, 60);
    EXPECT_EQ(length.kind, u.kind);
    EXPECT_EQ(length.problem, u.problem);
    EXPECT_EQ(orvex::sap::timeLine(length), "");
}

const std::string kTypeB = "TYPE B\r\nINIT 1000\r\nPLAYER 1001\r\n";

INSTANTIATE_TEST_SUITE_P(
    Tunes, NoLength,
    ::testing::Values(
        Untimed{"type_d", sapFile("TYPE D\r\nINIT 1000\r\nPLAYER 1000\r\n", hex("60")), NotTimed,
                "not timed: TYPE D plays from its INIT"},
        Untimed{"type_s", sapFile("TYPE S\r\nINIT 1000\r\n", hex("60")), NotTimed, "not timed: TYPE S"},
        Untimed{"not_a_sap_file", "SAP file?", Failed, "it does not begin with a SAP header"},
        Untimed{"no_player", sapFile("TYPE B\r\nINIT 1000\r\n", hex("60")), Failed, "its header lacks INIT or PLAYER"},
        Untimed{"no_music", sapFile("TYPE C\r\nPLAYER 1000\r\n", hex("60")), Failed, "its header lacks PLAYER or MUSIC"},
        Untimed{"cut_segment", "SAP\r\nTYPE B\r\nINIT 1000\r\nPLAYER 1000\r\n" + textOf(hex("FFFF 0010 1010 60")), Failed,
                "its image ends inside a segment"},
        Untimed{"endless_init", sapFile(kTypeB, hex("4C 00 10")), Failed, "INIT does not return within 1773447 cycles"},
        Untimed{"endless_player", sapFile(kTypeB, hex("60 4C 01 10")), Failed, "PLAYER does not return within 35568 cycles"},
        // FASTPLAY 78: a call has 78 scan lines, 8892 cycles; this one takes 256 * 5 * 8
        Untimed{"slow_player", sapFile(kTypeB + "FASTPLAY 78\r\n", hex("60 A0 08 CA D0 FD 88 D0 FA 60")), Failed,
                "PLAYER does not return within 8892 cycles"},
        Untimed{"undocumented", sapFile(kTypeB, hex("60 EA 02")), Failed, "PLAYER meets the undocumented opcode $02 at $1002"},
        Untimed{"type_c_calls", sapFile("TYPE C\r\nPLAYER 1000\r\nMUSIC 2000\r\n", hex("EA EA EA 60 EA EA 02")), Failed,
                "PLAYER+6 meets the undocumented opcode $02 at $1006"},
        Untimed{"silent", sapFile(kTypeB, hex("60 60")), Unknown, "it stays silent"}),
    [](const auto& info) { return std::string(info.param.label); });

// The machine: what a tune's code sees of the Atari, and what of its sound is kept.
TEST(Machine, ScanLinesRandomAndSound)
{
    orvex::sap::SapImage image;
    const std::string file = sapFile("TYPE B\r\nSTEREO\r\nINIT 1000\r\nPLAYER 1000\r\n",
                                     hex("8D 0A D4 AD 0B D4 AE 0A D2 AC 0A D2 8D 12 D2 8D 02 D3"));
    ASSERT_EQ(orvex::sap::parseSap(file, image), "");
    EXPECT_TRUE(image.stereo);
    orvex::sap::Atari atari(image);
    auto& cpu = atari.cpu;
    cpu.pc = 0x1000;
    cpu.cycles = 114 * 300 + 50;  // line 300, cycle 50
    cpu.a = 0x55;
    ASSERT_TRUE(cpu.step());      // STA WSYNC: held to the start of line 301
    EXPECT_EQ(cpu.cycles, 114u * 301);
    ASSERT_TRUE(cpu.step());      // LDA VCOUNT: line 301, halved
    EXPECT_EQ(cpu.a, 150);
    ASSERT_TRUE(cpu.step());      // LDX RANDOM, LDY RANDOM 4 cycles later: two steps of the polynomial
    ASSERT_TRUE(cpu.step());
    EXPECT_NE(cpu.x, cpu.y);
    const std::uint8_t first = cpu.x;
    cpu.pc = 0x1006;
    cpu.cycles = 114 * 301 + 4 + 131071;  // a whole period of the polynomial later
    ASSERT_TRUE(cpu.step());
    EXPECT_EQ(cpu.x, first);
    cpu.pc = 0x100C;
    cpu.a = 0x77;
    ASSERT_TRUE(cpu.step());      // STA $D212: the second chip's AUDF2
    ASSERT_TRUE(cpu.step());      // STA $D302: plain memory
    EXPECT_EQ(atari.pokey[1][2], 0x77);
    EXPECT_EQ(atari.pokey[0][2], 0);
    EXPECT_EQ(atari.peek(0xD302), 0x77);
    // Without STEREO, $D212 is the one chip's AUDF2
    image.stereo = false;
    orvex::sap::Atari mono(image);
    mono.cpu.pc = 0x100C;
    mono.cpu.a = 0x66;
    ASSERT_TRUE(mono.cpu.step());
    EXPECT_EQ(mono.pokey[0][2], 0x66);
}

} // namespace
