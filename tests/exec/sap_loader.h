#pragma once
// Loads a SAP file as a SAP player does: the text header, line by line up to the two
// bytes 0xFF 0xFF, then the Atari binary segments into the 6502's memory.
//
// Anything a player could not load raises SapLoadError: a header line without its
// CR LF, an address that is not four hexadecimal digits, a binary part that does not
// begin with 0xFF 0xFF, a segment whose end lies below its start or that declares more
// bytes than the file still holds.

#include "cpu6502.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace exec {

class SapLoadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct SapSegment {
    std::uint16_t start;
    std::uint16_t end;
};

struct SapFile {
    std::vector<std::string> lines;  // the header lines, without their CR LF
    char type = 0;
    std::optional<std::uint16_t> init, player, music;
    std::optional<int> fastplay;
    bool stereo = false;
    std::vector<SapSegment> segments;  // in the order loaded
};

// Parses `bytes` and loads its segments into `cpu`.
SapFile loadSap(const std::vector<std::uint8_t>& bytes, Cpu6502& cpu);

} // namespace exec
