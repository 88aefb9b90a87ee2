// The lengths found for test tunes of our own, against lengths worked out by hand, and
// against libgme, an independent player: a tune that ends is silent there from its TIME
// on, a looping one repeats there from its TIME on what it played one loop earlier. What
// libgme plays of every format. The tunes that cannot be timed, among them the SAP files
// that the reader refuses; what it reads of every tag; the machine around the 6502.

#include "atari.h"
#include "sap_promises.h"
#include "support.h"
#include "tune_length.h"

#include <gme/gme.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

namespace {

using namespace support;
using orvex::sap::TuneLength;
using enum TuneLength::Kind;

constexpr double kFrame = 312 * 114 / 1773447.0;  // seconds

// A step of a song: AUDF1 and AUDC1 of the first POKEY, then of the second.
using Step = std::array<std::uint8_t, 4>;
using Steps = std::vector<Step>;

// Steps of notes in an order of their own, AUDF `lowest` to `lowest` + 15, AUDC `audc`
// (pure tone at volume 10; $A0 at volume 0), the same on both chips
Steps notes(std::size_t count, unsigned seed, std::uint8_t lowest = 0x40, std::uint8_t audc = 0xAA)
{
    Steps steps;
    for (std::size_t i = 0; i < count; ++i) {
        seed = seed * 1103515245 + 12345;
        const auto audf = std::uint8_t(lowest + (seed >> 16) % 16);
        steps.push_back({audf, audc, audf, audc});
    }
    return steps;
}
Steps low(std::size_t count) { return notes(count, 9, 0x10); }

Steps operator+(Steps a, const Steps& b) { return a.insert(a.end(), b.begin(), b.end()), a; }
using support::operator+;

// The first chip's notes of `left` with the second chip's of `right`
Steps stereo(Steps left, const Steps& right)
{
    for (std::size_t i = 0; i < left.size(); ++i)
        left[i][2] = right[i][0], left[i][3] = right[i][1];
    return left;
}

// A test tune converted as orvex-convert converts it: a .COM tune, or a song of `intro`
// and `body` played by the players of songs.
Bytes sapOf(const std::string& name, const Steps& intro, const Steps& body, std::uint8_t speed)
{
    Bench b;
    for (const char* player : {"cmc_0500.plr", "tmc_0500.plr"})
        b.putPlayer(player, readFile(std::string(TUNES) + "/" + player));
    if (name.ends_with(".com"))
        return b.convert(name, readFile(std::string(TUNES) + "/" + name));
    const std::size_t bodyAt = 32 + 4 * intro.size(), end = bodyAt + 4 * body.size();
    Bytes song(32);
    song[0] = std::uint8_t(bodyAt), song[1] = std::uint8_t(bodyAt >> 8);
    song[2] = std::uint8_t(end), song[3] = std::uint8_t(end >> 8);
    song[31] = speed;
    for (const Step& step : intro + body)
        song.insert(song.end(), step.begin(), step.end());
    return b.convert(name, atariFile(0x2000, song));
}

struct Tune {
    const char* name;
    Steps intro, body;   // of a song
    std::uint8_t speed;
    TuneLength::Kind kind;
    double seconds;      // worked out by hand from the tune's frames
    const char* line;    // the TIME line written
};

// What a frame of audio sounds like: its loudness (RMS, both channels) and its pitch (the
// zero crossings of each channel).
struct Sound {
    double rms;
    int crossings, rightCrossings;
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
        int crossings[2] = {0, 0};
        for (std::size_t i = 0; i < samples.size(); ++i) {
            sum += double(samples[i]) * samples[i];
            crossings[i % 2] += i >= 2 && (samples[i] >= 0) != (samples[i - 2] >= 0) ? 1 : 0;
        }
        frames.push_back({std::sqrt(sum / double(samples.size())), crossings[0], crossings[1]});
    }
    EXPECT_EQ(gme_warning(emu), nullptr);
    gme_delete(emu);
    return frames;
}

// libgme agrees: a tune that ends is silent there from its TIME on; in a looping one, the
// tone channels play from TIME on what they played one loop earlier, and did not a few
// frames before.
void agreesWithLibgme(const Bytes& file, const TuneLength& length)
{
    const std::vector<Sound> frames = framesInGme(file, length.seconds + 4);
    const auto frame = [](double seconds) { return static_cast<std::size_t>(std::lround(seconds / kFrame)); };
    const std::size_t at = frame(length.seconds);
    if (length.kind == Ends) {
        EXPECT_GT(frames[at - 3].rms, 300.0) << "it sounds before its end";
        for (std::size_t f = at + 2; f < frames.size(); ++f)
            EXPECT_LT(frames[f].rms, 33.0) << "frame " << f << " is not silent";  // -60 dBFS
        return;
    }
    const std::size_t loop = frame(length.seconds - length.loopStart);
    ASSERT_GT(loop, 10u);
    const auto alike = [&](std::size_t f, std::size_t g) {
        const auto near = [](int a, int b) { return std::abs(a - b) <= 2 + a / 20; };
        return std::abs(frames[f].rms - frames[g].rms) < 0.05 * frames[f].rms + 30
               && near(frames[f].crossings, frames[g].crossings) && near(frames[f].rightCrossings, frames[g].rightCrossings);
    };
    // A frame holds the end of the call before it: from the frame after TIME on
    for (std::size_t f = at + 1; f < frames.size(); ++f)
        EXPECT_TRUE(alike(f, f - loop)) << "frame " << f << " against one loop earlier";
    if (at >= loop + 3) {
        EXPECT_FALSE(alike(at - 3, at - 3 - loop)) << "frame " << at - 3 << " already repeats";
    }
}

class Lengths : public ::testing::TestWithParam<Tune> {};

TEST_P(Lengths, WithinTwoFramesAndAsLibgmePlays)
{
    const Tune& t = GetParam();
    const Bytes file = sapOf(t.name, t.intro, t.body, t.speed);
    const TuneLength length = orvex::sap::findLength(textOf(file), 20 * 60);
    EXPECT_EQ(length.kind, t.kind) << length.problem;
    EXPECT_NEAR(length.seconds, t.seconds, 2 * kFrame);
    EXPECT_EQ(orvex::sap::timeLine(length), t.line);
    if (t.kind != Unknown && t.seconds < 60)
        agreesWithLibgme(file, length);
}

// Songs: INIT sounds from 0 and call n from frame n + 1 (half-frames at speed 2); a song
// of 300 steps of intro and 700 of body plays step 300 at frames 301 and 1001.
INSTANTIATE_TEST_SUITE_P(
    Tunes, Lengths,
    ::testing::Values(
        // 99 frames of intro, then 150 frames again and again: the whole state at frame 250
        // is that of frame 100, and the sound repeats from there too
        Tune{"intro_loop.com", {}, {}, 1, Loops, 250 * kFrame, "TIME 00:05.014 LOOP\r\n"},
        // the same, reading RANDOM into memory at each call: the sound alone shows the loop
        Tune{"random_loop.com", {}, {}, 1, Loops, 250 * kFrame, "TIME 00:05.014 LOOP\r\n"},
        // notes for frames 0 to 198, silence from frame 199 on
        Tune{"ends.com", {}, {}, 1, Ends, 199 * kFrame, "TIME 00:03.991\r\n"},
        // notes from RANDOM: nothing repeats within 20 minutes
        Tune{"random_notes.com", {}, {}, 1, Unknown, 0, ""},
        // 15000 frames, 5 minutes, and over again
        Tune{"long.com", {}, {}, 1, Loops, 15000 * kFrame, "TIME 05:00.838 LOOP\r\n"},
        // 100 frames of notes, then one held for good beside a count: a loop of a second
        Tune{"held_counter.com", {}, {}, 1, Loops, 150 * kFrame, "TIME 00:03.008 LOOP\r\n"},
        // songs whose whole state repeats one pass of the body after the sound
        Tune{"jump.cmc", low(300), notes(700, 1), 1, Loops, 1001 * kFrame, "TIME 00:20.076 LOOP\r\n"},
        Tune{"stereo.tm8", low(300), stereo(notes(350, 2) + notes(350, 2), notes(700, 3)), 1, Loops, 1001 * kFrame,
             "TIME 00:20.076 LOOP\r\n"},
        // two calls a frame, a body of 250 notes twice and 200 others
        Tune{"inner.tmc", low(300), notes(250, 4) + notes(250, 4) + notes(200, 5), 2, Loops, 1000.5 * kFrame,
             "TIME 00:20.066 LOOP\r\n"},
        // a body of AUDC $A0, silent, after frame 300
        Tune{"silent.cmc", low(300), notes(700, 6, 0x40, 0xA0), 1, Ends, 301 * kFrame, "TIME 00:06.037\r\n"},
        // one step held for good from frame 301 on: a loop of a second
        Tune{"held.tmc", low(300), notes(1, 7), 1, Loops, 351 * kFrame, "TIME 00:07.040 LOOP\r\n"}),
    [](const auto& info) { return std::string(info.param.name).replace(std::string(info.param.name).find('.'), 1, "_"); });

// Every format at both player addresses, played by libgme with test players that play
// the module's bytes one a second as a tone (players/player.s): the pitch of each second
// tells which byte was played and how the player's entries were called.
struct PlayCase {
    const char* label;
    const char* extension;
    std::uint16_t moduleStart;
    std::uint8_t speed;
    const char* players;   // the folder of player files
    unsigned left[2];      // AUDF heard on the left in the first and in the second second
    unsigned right[2];     // and on the right
};

class Playback : public ::testing::TestWithParam<PlayCase> {};

TEST_P(Playback, PitchOfEachSecond)
{
    const PlayCase& c = GetParam();
    Bench b;
    for (const auto& file : std::filesystem::directory_iterator(c.players))
        b.putPlayer(file.path().filename(), readFile(file.path()));
    Bytes data = hex("28 38") + Bytes(62, 0x11);  // the tone bytes: 40 and 56
    data[31] = c.speed;
    const auto frames = framesInGme(b.convert(std::string("tone.") + c.extension, atariFile(c.moduleStart, data)), 2);
    // A pure tone of a PAL POKEY at 64 kHz crosses zero twice in 2 * (AUDF + 1) ticks: in
    // the 40 frames from 0.1 s into each second
    const auto crossings = [](unsigned audf) { return 40 * kFrame * 1773447.0 / 28 / (audf + 1); };
    for (std::size_t second = 0; second < 2; ++second) {
        int left = 0, right = 0;
        for (std::size_t f = 50 * second + 5; f < 50 * second + 45; ++f)
            left += frames[f].crossings, right += frames[f].rightCrossings;
        EXPECT_NEAR(left, crossings(c.left[second]), crossings(c.left[second]) * 0.02) << "second " << second;
        EXPECT_NEAR(right, crossings(c.right[second]), crossings(c.right[second]) * 0.02) << "second " << second;
    }
    for (std::size_t f = 0; f < frames.size() && std::string(c.extension) != "tm8"; ++f)
        EXPECT_EQ(frames[f].crossings, frames[f].rightCrossings) << "a mono tune, frame " << f;
}

INSTANTIATE_TEST_SUITE_P(
    Formats, Playback,
    ::testing::Values(PlayCase{"cmc_0500", "cmc", 0x2000, 1, PLAYERS, {40, 56}, {40, 56}},
                      PlayCase{"cmc_F500", "cmc", 0x0C00, 1, PLAYERS_F500, {40, 56}, {40, 56}},
                      PlayCase{"mpt_0500", "mpt", 0x2000, 1, PLAYERS, {40, 56}, {40, 56}},
                      PlayCase{"mpt_F500", "mpt", 0x0C00, 1, PLAYERS, {40, 56}, {40, 56}},
                      PlayCase{"tmc1_0500", "tmc", 0x2000, 1, PLAYERS, {40, 56}, {40, 56}},
                      PlayCase{"tmc3_0500", "tmc", 0x2000, 3, PLAYERS, {56, 72}, {56, 72}},
                      PlayCase{"tmc4_0500", "tmc", 0x2000, 4, PLAYERS, {64, 80}, {64, 80}},
                      PlayCase{"tmc2_F500", "tmc", 0x0C00, 2, PLAYERS, {48, 64}, {48, 64}},
                      PlayCase{"tm8_2_0500", "tm8", 0x2000, 2, PLAYERS, {48, 64}, {97, 129}},
                      PlayCase{"tm8_3_F500", "tm8", 0x0C00, 3, PLAYERS, {56, 72}, {113, 145}}),
    [](const auto& info) { return std::string(info.param.label); });

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
    std::string problem;
    const char* line = "";  // the TIME line
};

class NoLength : public ::testing::TestWithParam<Untimed> {};

TEST_P(NoLength, SaysWhy)
{
    const Untimed& u = GetParam();
    const TuneLength length = orvex::sap::findLength(u.file, 60);
    EXPECT_EQ(length.kind, u.kind);
    EXPECT_EQ(length.problem, u.problem);
    EXPECT_EQ(orvex::sap::timeLine(length), u.line);
    for (const std::size_t block : {1, 7})
        EXPECT_EQ(orvex::sap::test::brokenPromise(u.file, block), "");
}

const std::string kTypeB = "TYPE B\r\nINIT 1000\r\nPLAYER 1001\r\n", kHeader = "SAP\r\n" + kTypeB;
const char* const kNoType = " is not a type of SAP file (B, C, D, R or S)";
const char* const kNoTime = " is not a time (mm:ss.xxx, then LOOP or nothing)";

INSTANTIATE_TEST_SUITE_P(
    Tunes, NoLength,
    ::testing::Values(
        Untimed{"type_d", sapFile("TYPE D\r\nINIT 1000\r\nPLAYER 1000\r\n", hex("60")), NotTimed,
                "not timed: TYPE D plays from its INIT"},
        Untimed{"type_s", sapFile("TYPE S\r\nINIT 1000\r\n", hex("60")), NotTimed, "not timed: TYPE S"},
        Untimed{"no_player", sapFile("TYPE B\r\nINIT 1000\r\n", hex("60")), Failed, "its header lacks INIT or PLAYER"},
        Untimed{"no_music", sapFile("TYPE C\r\nPLAYER 1000\r\n", hex("60")), Failed, "its header lacks PLAYER or MUSIC"},
        Untimed{"image_alone", textOf(hex("FFFF 0010 0010 60")), Failed,
                "line 1: the file does not begin with a SAP header (the line \"SAP\")"},
        Untimed{"fastplay_0", sapFile(kTypeB + "FASTPLAY 0\r\n", hex("60")), Failed, "line 5: FASTPLAY 0 is not a count of scan lines"},
        Untimed{"fastplay_1249", sapFile("FASTPLAY 1249\r\n", {}), Failed, "line 2: FASTPLAY 1249 is not a count of scan lines"},
        Untimed{"type", sapFile("TYPE b\r\n", {}), Failed, "line 2: TYPE b" + std::string(kNoType)},
        Untimed{"songs_0", sapFile("SONGS 0\r\n", {}), Failed, "line 2: SONGS 0 is not a count of songs (1 to 256)"},
        Untimed{"defsong_past_the_songs", sapFile("DEFSONG 2\r\nSONGS 2\r\n", {}), Failed,
                "line 2: DEFSONG 2 is not below SONGS 2 (songs are counted from 0)"},
        Untimed{"address", sapFile("INIT 01000\r\n", {}), Failed, "line 2: INIT 01000 is not an address (1 to 4 hexadecimal digits)"},
        Untimed{"flag_with_a_value", sapFile("STEREO 0\r\n", {}), Failed, "line 2: STEREO 0: the flag takes no value"},
        Untimed{"sixty_seconds", sapFile("TIME 01:60.000\r\n", {}), Failed, "line 2: TIME 01:60.000" + std::string(kNoTime)},
        Untimed{"bare_point", sapFile("TIME 01:00.\r\n", {}), Failed, "line 2: TIME 01:00." + std::string(kNoTime)},
        Untimed{"long_line", sapFile("TYPE \x01" + std::string(50, 'x') + "\r\n", {}), Failed,
                "line 2: TYPE ?" + std::string(34, 'x') + "..." + kNoType},
        Untimed{"last_line_without_its_end", kHeader + "TYPE Q", Failed, "line 5: TYPE Q" + std::string(kNoType)},
        Untimed{"no_image", kHeader, Failed, "offset 37: the file ends before its image, a line that begins with FF FF"},
        Untimed{"cut_header", kHeader + textOf(hex("FFFF 0010 02")), Failed, "offset 39: the image ends inside a segment's header"},
        Untimed{"backwards", kHeader + textOf(hex("FFFF 0010 FF0F")), Failed, "offset 39: the segment $1000-$0FFF ends before it starts"},
        Untimed{"cut_segment", kHeader + textOf(hex("FFFF 0010 1010 60")), Failed, "offset 39: the segment $1000-$1010 runs past the file's end"},
        Untimed{"endless_init", sapFile(kTypeB, hex("4C 00 10")), Failed, "INIT does not return within 1773447 cycles"},
        Untimed{"endless_player", sapFile(kTypeB, hex("60 4C 01 10")), Failed, "PLAYER does not return within 35568 cycles"},
        // FASTPLAY 78: a call has 78 scan lines, 8892 cycles; this one takes 256 * 5 * 8
        Untimed{"slow_player", sapFile(kTypeB + "FASTPLAY 78\r\n", hex("60 A0 08 CA D0 FD 88 D0 FA 60")), Failed,
                "PLAYER does not return within 8892 cycles"},
        Untimed{"undocumented", sapFile(kTypeB, hex("60 EA 02")), Failed, "PLAYER meets the undocumented opcode $02 at $1002"},
        Untimed{"type_c_calls", sapFile("TYPE C\r\nPLAYER 1000\r\nMUSIC 2000\r\n", hex("EA EA EA 60 EA EA 02")), Failed,
                "PLAYER+6 meets the undocumented opcode $02 at $1006"},
        Untimed{"silent", sapFile(kTypeB, hex("60 60")), Unknown, "it stays silent"},
        // A count down, and at each wrap a note chosen by the carry, which the wrap turns over
        Untimed{"carry_between_calls", sapFile(kTypeB, hex("60 A5 80 8D 00 D2 A9 AA 8D 01 D2 C6 80 D0 0C A9 10 90 02 A9 20 8D 00 D2 B0 02 "
                                                           "38 60 18 60")), Loops, "", "TIME 00:10.289 LOOP\r\n"}),
    [](const auto& info) { return std::string(info.param.label); });

// The SAP reader: every tag, texts in either style or bare, lines with LF alone, lines read
// past a refused one, segments
TEST(SapReader, EveryTag)
{
    using orvex::sap::SapHeader;
    const std::string tags = "SAP\r\nAUTHOR  'It's \xFF\xFF'\r\nNAME \"Tune\"\r\nDATE  '<?>'\r\nTYPE C\r\nSONGS 3\r\nDEFSONG 2\r\n"
                             "PLAYER 0500\r\nMUSIC f2E0\r\nFASTPLAY 1248\r\nSTEREO\r\nNTSC\r\nTIME 01:02.345 LOOP\r\nTIME 999:59.5\r\n"
                             "TIME 0:00\r\nCOMMENT x\r\n\xFFx\r\n" + textOf(hex("FFFF 0010 0210 414243 0020 0020 5A FFFF 0021 0121 0D0A")),
                      bare = "SAP\nAUTHOR Unknown\nTYPE Q\nNAME N\r\nSONGS 0\nDATE\n" + textOf(hex("FFFF 0010 0010 41"));
    orvex::sap::SapFile read, alone;
    ASSERT_EQ(orvex::sap::readSap(tags, read) + orvex::sap::readSap(bare, alone), "line 3: TYPE Q" + std::string(kNoType));
    EXPECT_TRUE(static_cast<SapHeader&>(read) == SapHeader({"It's \xFF\xFF", "Tune", "", 'C', 3, 2, {}, 0x0500, 0xF2E0, 1248, true,
                                                            true, {{62345, true}, {59999500, false}, {0, false}}, 194}));
    EXPECT_TRUE(static_cast<SapHeader&>(alone) == SapHeader({"", "N", "", 0, 1, 0, {}, {}, {}, {}, false, false, {}, 47}));
    std::vector<std::array<std::size_t, 3>> segments;  // start, offset in the file, length
    for (const orvex::Segment& segment : read.segments)
        segments.push_back({segment.start, std::size_t(segment.bytes.data() - tags.data()), segment.bytes.size()});
    EXPECT_EQ(segments, (std::vector<std::array<std::size_t, 3>>{{0x1000, 200, 3}, {0x2000, 207, 1}, {0x2100, 214, 2}}));
    for (const std::string& file : {tags, bare})
        EXPECT_EQ(orvex::sap::test::brokenPromise(file, 1), "");
}

// The machine: what a tune's code sees of the Atari, and what of its sound is kept.
TEST(Machine, ScanLinesRandomAndSound)
{
    orvex::sap::SapFile image;
    const std::string file = sapFile("TYPE B\r\nSTEREO\r\nINIT 1000\r\nPLAYER 1000\r\n",
                                     hex("8D 0A D4 AD 0B D4 AE 0A D2 AC 0A D2 8D 12 D2 8D 02 D3"));
    ASSERT_EQ(orvex::sap::readSap(file, image), "");
    orvex::sap::Atari atari(image);
    auto& cpu = atari.cpu;
    cpu.pc = 0x1000;
    cpu.cycles = 114 * 300 + 50;  // line 300, cycle 50
    cpu.a = 0x55;
    ASSERT_TRUE(cpu.step());      // STA WSYNC: held to the start of line 301
    EXPECT_EQ(cpu.cycles, 114u * 301);
    ASSERT_TRUE(cpu.step());      // LDA VCOUNT: line 301, halved
    EXPECT_EQ(cpu.a, 150);
    ASSERT_TRUE(cpu.step() && cpu.step());  // LDX RANDOM, LDY RANDOM 4 cycles later: two steps apart
    EXPECT_NE(cpu.x, cpu.y);
    const std::uint8_t first = cpu.x;
    cpu.pc = 0x1006;
    cpu.cycles = 114 * 301 + 4 + 131071;  // a whole period of the polynomial later
    ASSERT_TRUE(cpu.step());
    EXPECT_EQ(cpu.x, first);
    // STA $D212: the second chip's AUDF2, the one chip's without STEREO; STA $D302: memory
    for (const bool stereo : {true, false}) {
        image.stereo = stereo;
        orvex::sap::Atari machine(image);
        machine.cpu.pc = 0x100C;
        machine.cpu.a = 0x77;
        ASSERT_TRUE(machine.cpu.step() && machine.cpu.step());
        EXPECT_EQ(machine.pokey[stereo ? 1 : 0][2], 0x77);
        EXPECT_EQ(machine.pokey[stereo ? 0 : 1][2], 0);
        EXPECT_EQ(machine.peek(0xD302), 0x77);
    }
}

} // namespace
