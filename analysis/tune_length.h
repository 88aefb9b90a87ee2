#pragma once
// A tune's length, found by running its SAP file as a player does: INIT once, then
// PLAYER at every call, FASTPLAY scan lines apart.
//
// - It loops when the whole machine (memory, CPU registers, the sound chip's registers)
//   at the start of a call is as it was at the start of an earlier one: all that follows
//   repeats. For a player whose counter never repeats: when the sound chip's registers
//   after each call repeat, with one period, for at least two periods up to the end of
//   the search.
// - It ends when the volume of every channel (the low four bits of AUDC1-4) stays 0 from
//   a call on to the end of the search (or into a loop).
// Its length is the moment the repetition begins, or the silence.

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
    double loopStart = 0;  // Loops: the moment the part that repeats began
    std::string problem;
    std::uint64_t calls = 0, cycles = 0;  // what was run
};

// Follows the tune for at most `limitSeconds` of its time.
TuneLength findLength(std::string_view sapFile, double limitSeconds);

// The TIME line that says it: "TIME 01:23.456 LOOP\r\n"; "" when no length is known.
std::string timeLine(const TuneLength& length);

} // namespace orvex::sap
