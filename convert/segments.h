#pragma once
// The segments of an Atari binary load file: each a start address and an end address
// (that of its last byte), little-endian, then its bytes. The two bytes FF FF stand
// before the first segment and may stand before any other.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace orvex {

struct Segment {
    std::uint16_t start;
    std::string_view bytes;  // within the file
};

struct Segments {
    enum class Problem { None, HeaderCut, EndsBeforeStart, RunsPastEnd };
    std::vector<Segment> list;
    Problem problem = Problem::None;
    std::size_t at = 0;  // the offset of the header that breaks the chain
    std::uint16_t start = 0, end = 0;  // and what it says, when it is whole
};

// The segments from `at` to the end of `file`, until one breaks the chain.
Segments readSegments(std::string_view file, std::size_t at);

// Whether the two bytes at `at` are FF FF
inline bool ffffAt(std::string_view file, std::size_t at)
{
    return at + 1 < file.size() && file[at] == '\xFF' && file[at + 1] == '\xFF';
}

} // namespace orvex
