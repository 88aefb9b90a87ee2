#include "segments.h"

namespace orvex {

Segments readSegments(std::string_view file, std::size_t at)
{
    Segments segments;
    const auto fail = [&](Segments::Problem problem, std::size_t header) {
        segments.problem = problem;
        segments.at = header;
        return segments;
    };
    while (at < file.size()) {
        if (ffffAt(file, at))
            at += 2;
        if (at + 4 > file.size())
            return fail(Segments::Problem::HeaderCut, at);
        const auto byte = [&](std::size_t i) { return static_cast<unsigned>(static_cast<std::uint8_t>(file[at + i])); };
        segments.start = static_cast<std::uint16_t>(byte(0) | byte(1) << 8);
        segments.end = static_cast<std::uint16_t>(byte(2) | byte(3) << 8);
        if (segments.end < segments.start)
            return fail(Segments::Problem::EndsBeforeStart, at);
        const std::size_t length = segments.end - segments.start + 1u;
        if (at + 4 + length > file.size())
            return fail(Segments::Problem::RunsPastEnd, at);
        segments.list.push_back({segments.start, file.substr(at + 4, length)});
        at += 4 + length;
    }
    return segments;
}

} // namespace orvex
