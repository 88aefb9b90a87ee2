#pragma once
// What the module of encoders (sndfile_encoder.cpp) offers the program: libsndfile and
// its codecs are loaded the first time a run makes an audio file.

#include <cstddef>
#include <cstdint>
#include <string>

struct EncoderInput {
    int format;  // an orvex::audio::Format
    int rate, channels;
    const char* tags[3];  // title, artist and date, UTF-8; "" makes no tag
    // Fills `out` with up to `frames` frames; returns how many, 0 at the end. May throw.
    std::size_t (*fill)(void* source, std::int16_t* out, std::size_t frames);
    void* source;
};

// Encodes what `input` fills into `bytes`, the whole file. False, with `error` saying
// why, when libsndfile cannot; short of memory, std::bad_alloc.
extern "C" bool orvexEncode(const EncoderInput& input, std::string* bytes, std::string* error);
using Encoder = decltype(&orvexEncode);

inline constexpr const char* kEncoderModule = "liborvex-sndfile.so";
