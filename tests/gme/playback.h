#pragma once
// What the libgme tests share: running orvex-convert, playing a SAP file with libgme
// and measuring the sound it makes.

#include <cstdint>
#include <string>
#include <vector>

namespace gme_test {

using Bytes = std::vector<std::uint8_t>;

// An Atari binary load file of one segment: FF FF, start, end, data.
Bytes atariFile(std::uint16_t start, const Bytes& data);

struct Run {
    int exitCode = -1;
    std::string errors;  // what the program wrote to standard error
};

// Runs the real orvex-convert with `arguments` (the program's name is added).
Run runConverter(const std::vector<std::string>& arguments);

inline constexpr int kSampleRate = 44100;

struct Sound {
    std::string error;    // libgme's error from loading, starting or playing; empty if none
    std::string warning;  // libgme's warning about the file, e.g. a broken data block
    std::vector<short> left, right;
};

// Loads the SAP file into libgme, starts its first track and renders `seconds` of
// 16-bit stereo at 44100 Hz. Voices whose bit is set in `mutedVoices` are silent
// (bit 0 is POKEY channel 1).
Sound play(const std::string& sapPath, double seconds = 2.0, int mutedVoices = 0);

// Peak-to-peak amplitude of the samples [from, to)
int swing(const std::vector<short>& samples, std::size_t from, std::size_t to);

// The frequency in Hz of the square wave in the samples [from, to), from the spacing
// of its rising edges; 0 when it holds fewer than two periods.
double frequency(const std::vector<short>& samples, std::size_t from, std::size_t to);

// The frequency at which POKEY, clocked as a PAL machine at 64 kHz, plays a pure
// tone of the given AUDF value.
double pokeyFrequency(unsigned audf);

} // namespace gme_test
