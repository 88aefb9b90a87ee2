#pragma once
// A machine of plain memory around the 6502, for its tests; `out` collects what a
// program writes through sim65's host calls.

#include "cpu6502.h"

#include <array>
#include <cstdint>
#include <string>

namespace orvex::test {

struct Host {
    std::array<std::uint8_t, 0x10000> memory{};
    std::string out;
    std::uint8_t read(std::uint16_t address, std::uint64_t) { return memory[address]; }
    unsigned write(std::uint16_t address, std::uint8_t value, std::uint64_t) { memory[address] = value; return 0; }
};

} // namespace orvex::test
