#include "tune_length.h"

#include "atari.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <unordered_map>
#include <vector>

namespace orvex::sap {

namespace {

// The calls return here: nothing of a tune's runs in the Atari's I/O area.
constexpr std::uint16_t kReturn = 0xD5FF;
// A loop lasts at least this long: a note held for good is heard this long before the
// loop's end, and two calls alike in the registers alone are a held note, not a loop.
constexpr double kShortestLoop = 1.0;  // seconds

std::uint64_t mix(std::uint64_t x)
{
    x ^= x >> 33;
    x *= 0xFF51AFD7ED558CCDULL;
    x ^= x >> 33;
    x *= 0xC4CEB9FE1A85EC53ULL;
    return x ^ (x >> 33);
}

std::uint64_t hashBytes(const std::uint8_t* bytes, std::size_t count)
{
    std::uint64_t h = 0x9E3779B97F4A7C15ULL ^ count;
    for (std::size_t i = 0; i + 8 <= count; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        h = std::rotl(h ^ word, 29) * 0x100000001B3ULL;
    }
    for (std::size_t i = count & ~std::size_t{7}; i < count; ++i)
        h = (h ^ bytes[i]) * 0x100000001B3ULL;
    return mix(h);
}

// A memory page's part of the state's hash, from the hash of its bytes
std::uint64_t pageTerm(unsigned page, std::uint64_t hash)
{
    return mix(hash + page * 0x9E3779B97F4A7C15ULL);
}

// One run of a SAP file's code, with the machine's state hashed page by page: a call
// rehashes only the pages written since the last.
class Run {
public:
    Run(const SapFile& sap) : sap_(sap), atari_(sap)
    {
        atari_.cpu.s = 0xFF;
        for (unsigned page = 0; page < 256; ++page) {
            pages_[page] = hashBytes(atari_.page(page), 256);
            memory_ ^= pageTerm(page, pages_[page]);
        }
        atari_.dirty.fill(0);
    }

    // Calls `address` as a JSR would, with A, X and Y; "" or why it did not return within
    // `budget` cycles.
    std::string call(const char* what, std::uint16_t address, std::uint8_t a, std::uint8_t x, std::uint8_t y,
                      std::uint64_t budget)
    {
        Cpu6502<Atari>& cpu = atari_.cpu;
        atari_.write(0x0100 | cpu.s--, (kReturn - 1) >> 8, cpu.cycles);
        atari_.write(0x0100 | cpu.s--, (kReturn - 1) & 0xFF, cpu.cycles);
        cpu.pc = address;
        cpu.a = a;
        cpu.x = x;
        cpu.y = y;
        const std::uint64_t before = cpu.cycles;
        const bool documented = cpu.run(kReturn, before + budget);
        executed_ += cpu.cycles - before;
        if (!documented) {
            char text[96];
            std::snprintf(text, sizeof text, "%s meets the undocumented opcode $%02X at $%04X", what, atari_.peek(cpu.pc),
                          cpu.pc);
            return text;
        }
        if (cpu.pc != kReturn)
            return std::string(what) + " does not return within " + std::to_string(budget) + " cycles";
        return "";
    }

    // The machine's state at the start of a call: memory, the CPU's registers (A, X, Y, S
    // and P; the PC is the same at every call's start), both sound chips' registers, and,
    // once the code has read RANDOM or VCOUNT, where the call falls in the polynomial
    // counter's cycle or in the frame: all that the calls from here on depend on.
    std::uint64_t state()
    {
        for (unsigned quarter = 0; quarter < 4; ++quarter) {
            for (std::uint64_t bits = atari_.dirty[quarter]; bits; bits &= bits - 1) {
                const unsigned page = quarter * 64 + static_cast<unsigned>(std::countr_zero(bits));
                const std::uint64_t fresh = hashBytes(atari_.page(page), 256);
                memory_ ^= pageTerm(page, pages_[page]) ^ pageTerm(page, fresh);
                pages_[page] = fresh;
            }
            atari_.dirty[quarter] = 0;
        }
        const Cpu6502<Atari>& cpu = atari_.cpu;
        const std::uint64_t registers = std::uint64_t{cpu.a} | std::uint64_t{cpu.x} << 8 | std::uint64_t{cpu.y} << 16
                                        | std::uint64_t{cpu.s} << 24 | std::uint64_t{cpu.p} << 32;
        std::uint64_t timing = 0;
        if (atari_.readRandom)
            timing ^= mix(cpu.cycles % kPolySteps + 1);
        if (atari_.readVcount)
            timing ^= mix(cpu.cycles % (kCyclesPerLine * kLinesPerFrame) + (std::uint64_t{1} << 40));
        return mix(memory_ ^ mix(registers) ^ sound() ^ timing);
    }

    // The sound chips' registers, hashed; and whether any channel sounds.
    std::uint64_t sound() const
    {
        std::array<std::uint8_t, 2 * Atari::kRegisters> both;
        std::copy(atari_.pokey[0].begin(), atari_.pokey[0].end(), both.begin());
        std::copy(atari_.pokey[1].begin(), atari_.pokey[1].end(), both.begin() + Atari::kRegisters);
        return hashBytes(both.data(), both.size());
    }
    bool sounding() const
    {
        for (unsigned chip = 0; chip < (sap_.stereo ? 2u : 1u); ++chip) {
            for (unsigned channel = 0; channel < 4; ++channel) {
                if (atari_.pokey[chip][1 + 2 * channel] & 0x0F)
                    return true;
            }
        }
        return false;
    }

    Cpu6502<Atari>& cpu() { return atari_.cpu; }
    std::uint64_t executed() const { return executed_; }

private:
    std::uint64_t executed_ = 0;
    const SapFile& sap_;
    Atari atari_;
    std::array<std::uint64_t, 256> pages_{};
    std::uint64_t memory_ = 0;
};

// A loop of the sound: from entry `from` of the stream of sound registers on, each entry
// is the one `period` entries before it.
struct Loop {
    std::size_t from, period;
};

// The border of each prefix of `stream`: the length of its longest proper prefix that is
// also its suffix.
std::vector<std::size_t> borders(const std::uint64_t* stream, std::size_t count)
{
    std::vector<std::size_t> border(count, 0);
    for (std::size_t i = 1; i < count; ++i) {
        std::size_t k = border[i - 1];
        while (k > 0 && stream[i] != stream[k])
            k = border[k - 1];
        border[i] = stream[i] == stream[k] ? k + 1 : 0;
    }
    return border;
}

// The smallest multiple of `period` that is at least `shortest`
std::size_t atLeast(std::size_t period, std::size_t shortest)
{
    return (shortest + period - 1) / period * period;
}

// The stream repeats its `length` entries from `first` on over and over: the whole state
// proved it. Their smallest period divides `length`; the loop begins at the earliest
// entry from which the stream repeats with it, and lasts its smallest multiple of at
// least `shortest` entries.
Loop provenLoop(const std::vector<std::uint64_t>& stream, std::size_t first, std::size_t length, std::size_t shortest)
{
    const std::size_t border = borders(stream.data() + first, length).back();
    const std::size_t period = length % (length - border) == 0 ? length - border : length;
    std::size_t from = first;
    while (from > 0 && stream[from - 1] == stream[from - 1 + period])
        --from;
    return {from, atLeast(period, shortest)};
}

// The earliest entry from which the stream repeats with one period of at least
// `shortest` entries for at least two periods, up to its end. Found on the reversed
// stream, whose prefixes' smallest periods its borders give; each multiple of one is a
// period too.
std::optional<Loop> repeatingTail(const std::vector<std::uint64_t>& stream, std::size_t shortest)
{
    const std::vector<std::uint64_t> reversed(stream.rbegin(), stream.rend());
    const std::vector<std::size_t> border = borders(reversed.data(), reversed.size());
    for (std::size_t length = reversed.size(); length >= 2; --length) {
        const std::size_t period = atLeast(length - border[length - 1], shortest);
        if (length >= 2 * period)
            return Loop{stream.size() - length, period};
    }
    return std::nullopt;
}

// Whether the header names a tune that can be timed; if not, `result` says why.
bool timable(std::string_view file, SapFile& image, TuneLength& result)
{
    result.problem = readSap(file, image);
    if (!result.problem.empty()) {
        result.kind = TuneLength::Kind::Failed;
        return false;
    }
    if (image.type != 'B' && image.type != 'C') {
        result.kind = TuneLength::Kind::NotTimed;
        result.problem = image.type == 'D' ? "not timed: TYPE D plays from its INIT"
                                           : std::string("not timed: TYPE ") + (image.type ? image.type : '?');
        return false;
    }
    const bool typeC = image.type == 'C';
    if (!image.player || (typeC ? !image.music : !image.init)) {
        result.kind = TuneLength::Kind::Failed;
        result.problem = typeC ? "its header lacks PLAYER or MUSIC" : "its header lacks INIT or PLAYER";
        return false;
    }
    return true;
}

// The calls before the first PLAYER call: INIT, or for TYPE C the music's address and the
// song. Returns "" or what went wrong.
std::string startTune(Run& run, const SapFile& image)
{
    const std::uint64_t second = static_cast<std::uint64_t>(kClock);
    if (image.type != 'C')
        return run.call("INIT", *image.init, 0, 0, 0, second);
    const std::uint16_t player = *image.player + 3, music = *image.music;
    std::string problem = run.call("PLAYER+3", player, 0x70, music & 0xFF, music >> 8, second);
    return problem.empty() ? run.call("PLAYER+3", player, 0, 0, 0, second) : problem;
}

// What a run sounded like: the sound chips' registers after INIT (at 0) and after each
// PLAYER call (at its number + 1), which a player plays from the start of the next call
// on, the first one period after INIT; the last of them in which a channel sounds; and,
// when the whole state at the start of the call after the last repeated that at the
// start of an earlier call, that call's number.
struct Followed {
    std::vector<std::uint64_t> stream;
    long lastSound = -1;
    std::optional<std::size_t> repeatedFrom;

    void add(const Run& run)
    {
        if (run.sounding())
            lastSound = static_cast<long>(stream.size());
        stream.push_back(run.sound());
    }
};

// The PLAYER calls, until the whole state repeats or `calls` have been made; `result`
// says so when a call fails.
void followCalls(Run& run, const SapFile& image, std::uint64_t period, std::size_t calls, TuneLength& result,
                 Followed& followed)
{
    const bool typeC = image.type == 'C';
    const std::uint16_t entry = *image.player + (typeC ? 6 : 0);
    const std::uint64_t start = run.cpu().cycles;
    std::unordered_map<std::uint64_t, std::size_t> seen;
    followed.add(run);
    for (std::size_t n = 0; n < calls; ++n) {
        run.cpu().cycles = std::max(run.cpu().cycles, start + n * period);
        const std::uint64_t state = run.state();
        if (const auto earlier = seen.find(state); earlier != seen.end()) {
            followed.repeatedFrom = earlier->second;
            return;
        }
        seen.emplace(state, n);
        if (std::string problem = run.call(typeC ? "PLAYER+6" : "PLAYER", entry, run.cpu().a, run.cpu().x, run.cpu().y, period);
            !problem.empty()) {
            result.kind = TuneLength::Kind::Failed;
            result.problem = std::move(problem);
            return;
        }
        followed.add(run);
    }
}

} // namespace

TuneLength findLength(std::string_view file, double limitSeconds)
{
    TuneLength result;
    SapFile image;
    if (!timable(file, image, result))
        return result;
    Run run(image);
    result.problem = startTune(run, image);
    Followed followed;
    const std::uint64_t period = std::uint64_t{image.fastplay.value_or(kLinesPerFrame)} * kCyclesPerLine;
    if (result.problem.empty()) {
        const auto calls = static_cast<std::size_t>(limitSeconds * kClock / static_cast<double>(period));
        followCalls(run, image, period, calls, result, followed);
    } else {
        result.kind = TuneLength::Kind::Failed;
    }
    result.cycles = run.executed();
    result.calls = followed.stream.empty() ? 0 : followed.stream.size() - 1;
    if (result.kind == TuneLength::Kind::Failed)
        return result;

    // Entry n of the stream sounds from the start of call n on.
    const auto at = [&](std::size_t call) { return static_cast<double>(call * period) / kClock; };
    const auto silentFrom = static_cast<std::size_t>(followed.lastSound + 1);
    // Silent from a call on, to the end of the search or all through the part that repeats
    if (followed.repeatedFrom ? silentFrom <= *followed.repeatedFrom : silentFrom < followed.stream.size()) {
        result.kind = followed.lastSound < 0 ? TuneLength::Kind::Unknown : TuneLength::Kind::Ends;
        result.seconds = at(silentFrom);
        result.problem = followed.lastSound < 0 ? "it stays silent" : "";
        return result;
    }
    const auto shortest = static_cast<std::size_t>(std::ceil(kShortestLoop * kClock / static_cast<double>(period)));
    const std::optional<Loop> loop =
        followed.repeatedFrom ? provenLoop(followed.stream, *followed.repeatedFrom, result.calls - *followed.repeatedFrom, shortest)
                              : repeatingTail(followed.stream, shortest);
    if (loop) {
        result.kind = TuneLength::Kind::Loops;
        result.seconds = at(loop->from + loop->period);
        result.loopStart = at(loop->from);
    }
    return result;
}

std::string timeLine(const TuneLength& length)
{
    if (length.kind != TuneLength::Kind::Loops && length.kind != TuneLength::Kind::Ends)
        return "";
    const long long milliseconds = std::llround(length.seconds * 1000);
    char line[64];
    std::snprintf(line, sizeof line, "TIME %02lld:%02lld.%03lld%s\r\n", milliseconds / 60000, milliseconds / 1000 % 60,
                  milliseconds % 1000, length.kind == TuneLength::Kind::Loops ? " LOOP" : "");
    return line;
}

} // namespace orvex::sap
