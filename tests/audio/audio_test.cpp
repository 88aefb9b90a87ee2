// The audio files of orvex-convert --audio, read back by programs that are not ours:
// ffprobe and ffmpeg (rate, channels, frames, tags, samples), flac -t; their pitch, their
// length by the tune's TIME, the fade, the channels of a STEREO tune, the samples against
// libgme's own rendering; TYPE D, inputs and special files, and a run stopped by a signal.

#include "convert.h"

#include <gme/gme.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <random>

#include <sys/stat.h>

namespace {

using namespace support;
namespace fs = std::filesystem;

// A step of a song, one call long: AUDF1 and AUDC1 of the first chip, then of the second.
using Step = std::array<std::uint8_t, 4>;
using Steps = std::vector<Step>;

// A note held for `calls` calls: a pure tone at volume 15 on the first chip, and on the
// second chip `right` (a mono machine has one chip, at both addresses)
Steps held(std::size_t calls, std::uint8_t audf, std::uint8_t right = 0xAF)
{
    return Steps(calls, Step{audf, 0xAF, audf, right});
}
Steps operator+(Steps a, const Steps& b) { return a.insert(a.end(), b.begin(), b.end()), a; }
using support::operator+;

// A song for the players of songs (a step at each call, 50 calls a second): `intro`
// once, then `body` over and over.
Bytes song(const Steps& intro, const Steps& body)
{
    const std::size_t bodyAt = 32 + 4 * intro.size(), end = bodyAt + 4 * body.size();
    Bytes bytes(32);
    bytes[0] = std::uint8_t(bodyAt), bytes[1] = std::uint8_t(bodyAt >> 8);
    bytes[2] = std::uint8_t(end), bytes[3] = std::uint8_t(end >> 8);
    bytes[31] = 1;
    for (const Step& step : intro + body)
        bytes.insert(bytes.end(), step.begin(), step.end());
    return atariFile(0x2000, bytes);
}

// Two notes, AUDF $40 then $20, 100 calls each, over and over; the second chip silent
const Steps kTwoNotes = held(100, 0x40) + held(100, 0x20);
const Steps kLeftOnly = held(100, 0x40, 0xA0) + held(100, 0x20, 0xA0);

// The test tunes, with the players of songs
struct Tunes : Bench {
    Tunes()
    {
        for (const char* player : {"cmc_0500.plr", "tmc_0500.plr"})
            putPlayer(player, readFile(std::string(TUNES) + "/" + player));
        put("tone.tmc", song({}, kTwoNotes));
        put("tone.tm8", song({}, kLeftOnly));
        put("ends.tmc", song(kTwoNotes, {Step{0, 0xA0, 0, 0xA0}}));
        put("random_notes.com", readFile(std::string(TUNES) + "/random_notes.com"));
    }
};

// An audio file as ffprobe and ffmpeg read it: tags by lower-case name
struct Audio {
    int rate = 0, channels = 0;
    std::map<std::string, std::string> tags;
    std::vector<std::int16_t> samples;  // interleaved
    std::size_t frames() const { return samples.size() / static_cast<std::size_t>(std::max(channels, 1)); }
    // Channel `c` from frame `from` to frame `to`
    std::vector<double> channel(int c, std::size_t from = 0, std::size_t to = SIZE_MAX) const
    {
        std::vector<double> out;
        for (std::size_t i = from; i < std::min(to, frames()); ++i)
            out.push_back(samples[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)]);
        return out;
    }
};

Audio readAudio(const std::string& path)
{
    Audio audio;
    const Outcome probe = run({"ffprobe", "-v", "error", "-show_entries", "stream=sample_rate,channels:stream_tags:format_tags",
                               "-of", "default=noprint_wrappers=1", path});
    EXPECT_EQ(probe.status, 0) << path << ": " << probe.err;
    std::istringstream lines(probe.out);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t equals = line.find('=');
        std::string key = line.substr(0, equals);
        std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::tolower(c); });
        if (key == "sample_rate")
            audio.rate = std::stoi(line.substr(equals + 1));
        else if (key == "channels")
            audio.channels = std::stoi(line.substr(equals + 1));
        else if (key.starts_with("tag:") && key != "tag:encoder")
            audio.tags[key.substr(4)] = line.substr(equals + 1);
    }
    const Outcome decoded = run({"ffmpeg", "-v", "error", "-i", path, "-f", "s16le", "-c:a", "pcm_s16le", "-"});
    EXPECT_EQ(decoded.status, 0) << path << ": " << decoded.err;
    audio.samples.resize(decoded.out.size() / 2);
    std::memcpy(audio.samples.data(), decoded.out.data(), audio.samples.size() * 2);
    return audio;
}

double peak(const std::vector<double>& samples)
{
    double most = 0;
    for (const double s : samples)
        most = std::max(most, std::abs(s));
    return most;
}

// The TIME line's length in seconds, from the SAP file; -1 without one
double timeOf(const std::string& sapFile)
{
    const std::string text = textOf(readFile(sapFile));
    const std::size_t at = text.find("\r\nTIME ");
    if (at == std::string::npos)
        return -1;
    return std::stoi(text.substr(at + 7, 2)) * 60 + std::stod(text.substr(at + 10, 6));
}

// Each format read back: rate, channels, length, tags as the user gave them (the header
// is in ASCII), no tag for a text not given; the FLAC file passes flac's own test.
TEST(AudioFiles, EveryFormatReadBack)
{
    Tunes b;
    auto before = b.dir.listing();
    const Outcome r = orvexConvert(b, {"--audio", "wav,flac,ogg,opus,mp3", "--time", "--standard-header", "-n",
                                       "Zażółć gęślą", "-a", "Orvex team", "-o", "@tone.sap", "@tone.tmc"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(textOf(readFile(b.dir / "tone.sap")).find("NAME \"Zazolc gesla\"\r\n"), std::string::npos);
    const double seconds = timeOf(b.dir / "tone.sap") + 10;
    struct Expected {
        const char* name;
        int rate;
        double slack;  // seconds that the format's frames may differ by
    };
    for (const Expected& e : {Expected{"wav", 44100, 0.0001}, Expected{"flac", 44100, 0.0001}, Expected{"ogg", 44100, 0.001},
                              Expected{"opus", 48000, 0.01}, Expected{"mp3", 44100, 0.06}}) {
        const Audio audio = readAudio(b.dir / ("tone." + std::string(e.name)));
        EXPECT_EQ(audio.rate, e.rate) << e.name;
        EXPECT_EQ(audio.channels, 1) << e.name;
        EXPECT_NEAR(static_cast<double>(audio.frames()) / e.rate, seconds, e.slack) << e.name;
        EXPECT_EQ(audio.tags, (std::map<std::string, std::string>{{"title", "Zażółć gęślą"}, {"artist", "Orvex team"}}))
            << e.name;
    }
    EXPECT_EQ(run({"flac", "-t", "-s", b.dir / "tone.flac"}).status, 0);
    auto after = b.dir.listing();
    for (const char* name : {"tone.sap", "tone.wav", "tone.flac", "tone.ogg", "tone.opus", "tone.mp3"})
        EXPECT_EQ(after.erase(name), 1u) << name;
    EXPECT_EQ(after, before);
}

// The tone's pitch, 1773447 / 28 / (2 * (AUDF + 1)) Hz, within 0.3%, for each note.
TEST(AudioFiles, Pitch)
{
    Tunes b;
    ASSERT_EQ(orvexConvert(b, {"--audio", "wav", "@tone.tmc"}).status, 0);
    const Audio audio = readAudio(b.dir / "tone.wav");
    struct Note {
        double from, to;  // seconds
        double hertz;
    };
    for (const Note& note : {Note{0.2, 1.8, 487.21}, Note{2.2, 3.8, 959.66}}) {
        const auto from = static_cast<std::size_t>(note.from * 44100), to = static_cast<std::size_t>(note.to * 44100);
        EXPECT_NEAR(toneFrequency(audio.channel(0, from, to), 44100), note.hertz, note.hertz * 0.003) << note.hertz;
    }
}

// How long each audio file runs, in frames of the WAV and FLAC files: to the tune's TIME
// when it ends, then for the fade when it loops; a given length; 3 minutes for a tune with
// neither. A fade ends in silence, and not sooner than its end.
struct LengthCase {
    const char* label;
    const char* module;
    std::vector<std::string> args;
    bool timed;       // the length begins with the tune's TIME
    double seconds;   // and goes on for this long
    double fade;      // of which this fades out
    const char* said; // in standard error, or ""
};

class Length : public ::testing::TestWithParam<LengthCase> {};

TEST_P(Length, FramesAndFade)
{
    const LengthCase& c = GetParam();
    Tunes b;
    std::vector<std::string> args = {"--time", "--audio", "wav,flac", "@" + std::string(c.module)};
    args.insert(args.begin(), c.args.begin(), c.args.end());
    const Outcome r = orvexConvert(b, args);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
    const std::string stem = b.dir / fs::path(c.module).stem().string();
    const double time = c.timed ? timeOf(stem + ".SAP") : 0;
    ASSERT_GE(time, 0);
    const double frames = std::round((time + c.seconds) * 44100);
    const Audio wav = readAudio(stem + ".wav"), flac = readAudio(stem + ".flac");
    EXPECT_NEAR(static_cast<double>(wav.frames()), frames, 2);
    EXPECT_EQ(flac.samples, wav.samples);
    if (c.fade == 0)
        return;
    const std::size_t end = wav.frames(), second = 44100;
    const double loudest = peak(wav.channel(0));
    EXPECT_LT(peak(wav.channel(0, end - second / 20)), loudest / 8) << "the last 50 ms";
    EXPECT_GT(peak(wav.channel(0, end - second, end - second / 2)), loudest / 40) << "the last second but half of it";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Length,
    ::testing::Values(LengthCase{"ends", "ends.tmc", {}, true, 0, 0, ""},
                      LengthCase{"loops", "tone.tmc", {}, true, 10, 10, ""},
                      LengthCase{"loops_fade_2", "tone.tmc", {"--fade", "2"}, true, 2, 2, ""},
                      LengthCase{"given_length", "tone.tmc", {"--length", "0:03", "--fade", "1"}, false, 4, 1, ""},
                      LengthCase{"neither", "random_notes.com", {"--time-limit", "1", "--fade", "0"}, false, 180, 0,
                                 "random_notes.SAP\" plays for 3 minutes, then fades out: no end or loop within 1 minute.\n"}),
    [](const auto& info) { return std::string(info.param.label); });

// A STEREO tune has two channels, the first chip left: here the second chip is silent.
// (A mono tune's one channel: EveryFormatReadBack.)
TEST(AudioFiles, StereoChannels)
{
    Tunes b;
    ASSERT_EQ(orvexConvert(b, {"--audio", "wav", "@tone.tm8"}).status, 0);
    const Audio stereo = readAudio(b.dir / "tone.wav");
    ASSERT_EQ(stereo.channels, 2);
    EXPECT_GT(peak(stereo.channel(0)), 4000);
    EXPECT_EQ(peak(stereo.channel(1)), 0);
}

// Up to the fade, the WAV file holds what libgme itself plays of the SAP file.
TEST(AudioFiles, SamplesAsLibgmePlaysThem)
{
    Tunes b;
    for (const std::string module : {"tone.tmc", "tone.tm8"}) {
        const std::string stem = b.dir / module;  // tone.tmc.sap, tone.tmc.wav
        ASSERT_EQ(orvexConvert(b, {"--time", "--audio", "wav", "-o", stem + ".sap", "@" + module}).status, 0);
        const Audio wav = readAudio(stem + ".wav");
        const auto frames = static_cast<std::size_t>(timeOf(stem + ".sap") * 44100);
        Music_Emu* emu = nullptr;
        ASSERT_EQ(gme_open_file((stem + ".sap").c_str(), &emu, 44100), nullptr);
        gme_ignore_silence(emu, 1);
        ASSERT_EQ(gme_start_track(emu, 0), nullptr);
        std::vector<std::int16_t> both(frames * 2);
        ASSERT_EQ(gme_play(emu, static_cast<int>(both.size()), both.data()), nullptr);
        gme_delete(emu);
        std::vector<std::int16_t> expected;  // of a mono tune, the left channel
        for (std::size_t i = 0; i < both.size(); i += 3 - static_cast<std::size_t>(wav.channels))
            expected.push_back(both[i]);
        ASSERT_GE(wav.samples.size(), expected.size());
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), wav.samples.begin())) << module;
    }
}

// TYPE D: its SAP file, no audio, one line, and the summary counts it apart.
TEST(AudioFiles, TypeDHasNone)
{
    Tunes b;
    b.putPlayer("mpt_0500.plr", player(90));
    b.put("music/digi.md1", module(0x2000, 300));
    b.put("music/digi.d15", d15(0x50, 288));
    b.put("music/ends.tmc", readFile(b.dir / "ends.tmc"));
    const Outcome r = orvexConvert(b, {"--audio", "flac", "-j", "1", "-r", "@music"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "orvex-convert: The SAP file \"" + (b.dir / "music/digi.SAP")
                         + "\": no audio: libgme does not play TYPE D.\n"
                           "orvex-convert: 2 converted, 0 failed, 1 with audio, 1 without audio (TYPE D).\n");
    EXPECT_EQ(b.dir.listing().count("music/digi.flac"), 0u);
    EXPECT_EQ(b.dir.listing().count("music/ends.flac"), 1u);
}

// An audio file never replaces the module it is made from, nor a special file: the module
// fails with the reason, its SAP file is written, and they stay as they were.
TEST(AudioFiles, NeverOverInputsOrSpecialFiles)
{
    Tunes b;
    fs::create_directories(b.dir / "fifo");
    fs::create_directories(b.dir / "link");
    ASSERT_EQ(::mkfifo((b.dir / "fifo/tone.wav").c_str(), 0644), 0);
    fs::create_symlink(b.dir / "tone.tmc", b.dir / "link/tone.flac");
    const auto before = b.dir.listing();
    const Outcome fifo = orvexConvert(b, {"--audio", "wav", "-o", "@fifo/tone.sap", "@tone.tmc"});
    EXPECT_EQ(fifo.status, 1);
    EXPECT_EQ(fifo.err, "orvex-convert: Cannot write the audio file \"" + (b.dir / "fifo/tone.wav")
                            + "\": it is a FIFO, not a regular file.\n");
    const Outcome input = orvexConvert(b, {"--audio", "flac", "-o", "@link/tone.sap", "@tone.tmc"});
    EXPECT_EQ(input.status, 1);
    EXPECT_EQ(input.err, "orvex-convert: The audio file \"" + (b.dir / "link/tone.flac") + "\" is the module file \""
                             + (b.dir / "tone.tmc") + "\" that this save reads; it is left as it is.\n");
    auto after = b.dir.listing();
    EXPECT_EQ(after.erase("fifo/tone.sap") + after.erase("link/tone.sap"), 2u);
    EXPECT_EQ(after, before);
}

// TERM or INT at a random moment of a batch with audio: every SAP and audio file is the
// old one or the whole new one, and no temporary file is left.
TEST(AudioFiles, StoppedLeavesWholeFiles)
{
    Tunes b;
    for (int i = 0; i < 12; ++i)
        b.put("music/t" + std::to_string(i) + (i % 2 ? ".tmc" : ".tm8"), readFile(b.dir / (i % 2 ? "tone.tmc" : "tone.tm8")));
    fs::create_directory(b.dir / "whole");
    const std::vector<std::string> audio = {"--audio", "wav,flac", "--length", "0:02", "--fade", "1"};
    std::vector<std::string> args = audio;
    args.insert(args.end(), {"-r", "@music", "-o", "@whole"});
    ASSERT_EQ(orvexConvert(b, args).status, 0);
    const auto whole = listing(b.dir / "whole");
    ASSERT_EQ(whole.size(), 36u);
    std::mt19937 random(7);
    int stopped = 0;
    for (int round = 0; round < 8; ++round) {
        const int signal = round % 2 ? SIGINT : SIGTERM;
        const std::string out = b.dir / ("out" + std::to_string(round));
        for (const auto& [name, bytes] : whole)
            b.put("out" + std::to_string(round) + "/" + name, bytesOf("old"));
        std::vector<std::string> argv = {"timeout", "--preserve-status", "-s", std::to_string(signal),
                                         std::to_string((random() % 100 + 20) / 1000.0), ORVEX_CONVERT, "-j", "2", "-p", b.players,
                                         "-r", b.dir / "music", "-o", out};
        argv.insert(argv.end(), audio.begin(), audio.end());
        const Outcome r = run(argv);
        EXPECT_TRUE(r.status == 0 || r.status == 128 + signal) << r.err;
        stopped += r.status != 0;
        for (const auto& [name, bytes] : listing(out)) {
            EXPECT_TRUE(whole.contains(name)) << name << " is left over";
            EXPECT_TRUE(bytes == whole.at(name) || bytes.ends_with(" old")) << name << " is not whole";
        }
    }
    EXPECT_GT(stopped, 0) << "no run was stopped: the batch converts too fast for the test";
}

} // namespace
