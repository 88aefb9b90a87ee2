#pragma once
// Audio files made through libsndfile: WAV and FLAC (16-bit), Ogg Vorbis, Opus and MP3,
// each at its format's rate, with the tune's texts as tags.

#include "length.h"
#include "render.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace orvex::audio {

enum class Format { Wav, Flac, Ogg, Opus, Mp3 };

struct FormatInfo {
    Format format;
    const char* name;  // as orvex-convert --audio takes it, and the file's extension
    const char* title; // as messages and dialogs name it
    int rate;          // frames a second: 44,100; Opus only knows 48,000
};

inline constexpr std::array<FormatInfo, 5> kFormats{{
    {Format::Wav, "wav", "WAV", 44100},
    {Format::Flac, "flac", "FLAC", 44100},
    {Format::Ogg, "ogg", "Ogg Vorbis", 44100},
    {Format::Opus, "opus", "Opus", 48000},
    {Format::Mp3, "mp3", "MP3", 44100},
}};

const FormatInfo& formatInfo(Format format);
// The format that `name` ("flac") names, compared without regard to case.
std::optional<Format> formatNamed(std::string_view name);

// The texts of a tune as the user gave them, in UTF-8; an empty one gives no tag.
struct Tags {
    std::string title, artist, date;
};

// Encodes all that `renderer` plays, which must be at the format's rate; returns the
// file's bytes. Throws AudioError.
std::string encode(Format format, Renderer& renderer, const Tags& tags);

// An audio file of the SAP file's tune, as long as `rule` makes the `length` that
// running it found (orvex::sap::findLength). Throws AudioError.
struct AudioFile {
    std::string bytes;
    bool guessed = false;  // neither an end nor a loop was known: it plays 3 minutes
};
AudioFile makeAudio(std::string_view sapFile, const sap::TuneLength& length, Format format, const LengthRule& rule,
                    const Tags& tags);

} // namespace orvex::audio
