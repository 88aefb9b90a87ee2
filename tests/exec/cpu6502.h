#pragma once
// A small NMOS 6502 for the tests: every official opcode and addressing mode over a
// flat 64 KB of RAM, no decimal arithmetic (ADC and SBC with the D flag set are a fault).
//
// Faults raise CpuFault: an unofficial opcode, an opcode fetched from a byte that was
// never loaded nor written (code that runs off into empty memory), and a call that runs
// out of its instruction budget.

#include <array>
#include <bitset>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace exec {

class CpuFault : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Cpu6502 {
public:
    enum Flag : std::uint8_t { C = 0x01, Z = 0x02, I = 0x04, D = 0x08, B = 0x10, U = 0x20, V = 0x40, N = 0x80 };

    std::uint8_t a = 0, x = 0, y = 0, sp = 0xFF, p = U | I;
    std::uint16_t pc = 0;

    // Puts bytes into memory and marks them as loaded.
    void load(std::uint16_t address, const std::uint8_t* data, std::size_t count);
    std::uint8_t peek(std::uint16_t address) const { return mem_[address]; }
    void poke(std::uint16_t address, std::uint8_t value);
    bool loaded(std::uint16_t address) const { return defined_[address]; }

    // Runs one instruction.
    void step();

    // Calls a subroutine the way a SAP player does: pushes a return address that
    // leads nowhere, jumps to `address` and runs until the routine returns there.
    // Returns the count of instructions run. Throws CpuFault on a fault or when the
    // routine has not returned after `budget` instructions.
    std::uint64_t call(std::uint16_t address, std::uint64_t budget = 100000);

    // Every write to the watched address: the address of the instruction that made it
    // and the value written.
    struct Write {
        std::uint16_t pc;
        std::uint8_t value;
    };
    void watch(std::uint16_t address) { watched_ = address; }
    const std::vector<Write>& watchedWrites() const { return writes_; }

    // Where call() returns to: never executed, never loaded.
    static constexpr std::uint16_t kReturnTrap = 0xFFF0;

private:
    std::uint8_t read(std::uint16_t address) const { return mem_[address]; }
    void write(std::uint16_t address, std::uint8_t value);
    std::uint16_t read16(std::uint16_t address) const;
    std::uint16_t read16ZeroPage(std::uint8_t address) const;
    void push(std::uint8_t value);
    std::uint8_t pull();
    void setNZ(std::uint8_t value);
    void setFlag(Flag flag, bool on);
    void compare(std::uint8_t reg, std::uint8_t value);
    void addWithCarry(std::uint8_t value);
    [[noreturn]] void fault(const std::string& what, std::uint16_t at) const;

    std::array<std::uint8_t, 0x10000> mem_{};
    std::bitset<0x10000> defined_;
    int watched_ = -1;
    std::vector<Write> writes_;
    std::uint16_t instructionPc_ = 0;
};

} // namespace exec
