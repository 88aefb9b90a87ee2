#pragma once
// A tune's length, found by running its SAP file as a player does: INIT once, then
// PLAYER at every call, FASTPLAY scan lines apart.
//
// - It loops for good when the whole machine at the start of a call is as it was at the
//   start of an earlier one: memory, CPU registers, the sound chips' registers, and, once
//   the code has read RANDOM or VCOUNT, the point of the polynomial counter or of the
//   frame at which the call starts. All that follows repeats. Its loop is then placed
//   where the sound repeats: the earliest call from which the sound chips' registers
//   after each call repeat with their smallest period, which may be far earlier than the
//   whole machine repeats.
// - For a player whose counter never repeats, it loops when the sound chips' registers
//   after each call repeat with one period for at least two periods up to the end of the
//   search.
// - A loop lasts at least a second: a note held for good is heard for a second.
// - It ends when the volume of every channel (the low four bits of AUDC1-4) stays 0 from
//   a call on to the end of the search (or all through the part that repeats).
// The length is the moment the music starts over, or the silence begins.

#include <cstdint>
#include <string>
#include <string_view>

namespace orvex::sap {

struct TuneLength {
    enum class Kind {
        Loops,     // at `seconds`, over again
        Ends,      // silent from `seconds` on
        Unknown,   // neither within the search
        NotTimed,  // a type that is not timed; `problem` says which
        Failed,    // the code could not be run; `problem` says why
    };
    Kind kind = Kind::Unknown;
    double seconds = 0;
    double loopStart = 0;  // Loops: the moment the part that repeats began the first time
    std::string problem;
    std::uint64_t calls = 0, cycles = 0;  // what was run
};

// How long a tune is followed unless told otherwise, in minutes
inline constexpr double kTimeLimitMinutes = 20;

// Follows the tune for at most `limitSeconds` of its time.
TuneLength findLength(std::string_view sapFile, double limitSeconds);

// The TIME line that says it: "TIME 01:23.456 LOOP\r\n"; "" when no length is known.
std::string timeLine(const TuneLength& length);

} // namespace orvex::sap
