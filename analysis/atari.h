#pragma once
// The Atari around a SAP file's code, as far as a tune needs it: 64 KB of memory, the
// sound chip's write registers (AUDF1-4, AUDC1-4 and AUDCTL, and those of a second chip
// at $D210 for STEREO), RANDOM ($D20A) from the chip's 17-bit polynomial, VCOUNT ($D40B)
// from the cycle count, and WSYNC ($D40A), which holds the CPU to the end of the scan
// line. Everything else is plain memory.

#include "cpu6502.h"
#include "sap_file.h"

#include <array>
#include <cstdint>
#include <vector>

namespace orvex::sap {

inline constexpr unsigned kCyclesPerLine = 114;
inline constexpr unsigned kLinesPerFrame = 312;
inline constexpr double kClock = 1773447.0;  // PAL, cycles per second
// The steps of the 17-bit polynomial counter behind RANDOM; it steps once a cycle.
inline constexpr unsigned kPolySteps = 131071;

class Atari {
public:
    static constexpr unsigned kRegisters = 9;  // AUDF1, AUDC1, ... AUDF4, AUDC4, AUDCTL

    explicit Atari(const SapFile& sap);

    // A byte of memory. Not a character type: the compiler then knows that a store to
    // memory leaves the CPU's registers alone, and keeps them in its own.
    enum class Cell : std::uint8_t {};

    std::uint8_t read(std::uint16_t address, std::uint64_t now)
    {
        return (address & 0xF800) == 0xD000 ? readIo(address, now) : static_cast<std::uint8_t>(memory[address]);
    }
    unsigned write(std::uint16_t address, std::uint8_t value, std::uint64_t now)
    {
        dirty[address >> 14] |= std::uint64_t{1} << ((address >> 8) & 63);
        memory[address] = Cell{value};
        return (address & 0xF800) == 0xD000 ? writeIo(address, value, now) : 0;
    }
    std::uint8_t peek(std::uint16_t address) const { return static_cast<std::uint8_t>(memory[address]); }
    const std::uint8_t* page(unsigned number) const { return reinterpret_cast<const std::uint8_t*>(&memory[number << 8]); }

    std::array<Cell, 0x10000> memory{};
    // The write registers of the two chips; the second only with STEREO.
    std::array<std::array<std::uint8_t, kRegisters>, 2> pokey{};
    // The memory pages written since the caller last cleared this, one bit each.
    std::array<std::uint64_t, 4> dirty{};
    // Whether the code has read RANDOM or VCOUNT: what follows then depends on the cycle
    // at which a call starts, not only on memory and registers.
    bool readRandom = false, readVcount = false;
    Cpu6502<Atari> cpu{*this};

private:
    std::uint8_t readIo(std::uint16_t address, std::uint64_t now);
    unsigned writeIo(std::uint16_t address, std::uint8_t value, std::uint64_t now);
    bool stereo_;
};

} // namespace orvex::sap
