// The 6502's cycles against the published table, opcode by opcode, and the branches'; and
// decimal SBC, which sim65 cannot tell. (Indexed reads across a page are compared with
// sim65.)

#include "host.h"

#include <gtest/gtest.h>

#include <string>

using orvex::sap::Cpu6502;
using orvex::test::Host;

namespace {

// The published cycle counts of the NMOS 6502, opcode $00 to $FF ('.': not documented),
// with no page crossed and no branch taken.
constexpr const char* kCycleTable =
    "76...35.322..46."  // $0x
    "25...46.24...47."  // $1x
    "66..335.422.446."  // $2x
    "25...46.24...47."  // $3x
    "66...35.322.346."  // $4x
    "25...46.24...47."  // $5x
    "66...35.422.546."  // $6x
    "25...46.24...47."  // $7x
    ".6..333.2.2.444."  // $8x
    "26..444.252..5.."  // $9x
    "262.333.222.444."  // $Ax
    "25..444.242.444."  // $Bx
    "26..335.222.446."  // $Cx
    "25...46.24...47."  // $Dx
    "26..335.222.446."  // $Ex
    "25...46.24...47."; // $Fx

// Runs one instruction at `at`: its cycles, or -1 when it is refused (the PC stays).
int cyclesOf(Host& host, std::uint16_t at, std::uint8_t p)
{
    Cpu6502<Host> cpu(host);
    cpu.pc = at;
    cpu.p = p;
    if (!cpu.step())
        return cpu.pc == at && cpu.cycles == 0 ? -1 : -2;
    return static_cast<int>(cpu.cycles);
}

TEST(Cycles, EveryOpcode)
{
    int documented = 0;
    for (unsigned op = 0; op < 256; ++op) {
        Host host;
        host.memory[0x0200] = static_cast<std::uint8_t>(op);  // its operands 0: no page is crossed
        // The flags that keep each branch from being taken: N, V, C and Z set for the
        // branches on their being clear, clear for the others
        const std::uint8_t p = (op & 0x1F) == 0x10 && !(op & 0x20) ? 0xE3 : 0x20;
        const char expected = kCycleTable[op];  // refused ('.', -1) or its cycles
        EXPECT_EQ(cyclesOf(host, 0x0200, p), expected == '.' ? -1 : expected - '0') << "opcode $" << std::hex << op;
        documented += expected != '.';
    }
    EXPECT_EQ(documented, 151);
}

// Branches, whose page crossings sim65 counts from another address than the 6502 does
// (the programs compared with sim65 leave them out): a branch at `at` with the flags
// `p`, and its cycles.
struct Branch {
    const char* label;
    std::uint16_t at;
    std::uint8_t opcode, offset, p;
    int cycles;
};

class Branches : public ::testing::TestWithParam<Branch> {};

TEST_P(Branches, Cycles)
{
    const Branch& b = GetParam();
    Host host;
    host.memory[b.at] = b.opcode;
    host.memory[static_cast<std::uint16_t>(b.at + 1)] = b.offset;
    EXPECT_EQ(cyclesOf(host, b.at, b.p), b.cycles);
}

INSTANTIATE_TEST_SUITE_P(
    Cpu, Branches,
    ::testing::Values(Branch{"taken", 0x0200, 0xD0, 0x10, 0x20, 3}, Branch{"taken_forward_across", 0x02F0, 0xD0, 0x10, 0x20, 4},
                      Branch{"taken_back_across", 0x0200, 0xD0, 0xFA, 0x20, 4},
                      Branch{"straddling_a_page", 0x02FE, 0xF0, 0x02, 0x22, 3},
                      Branch{"from_a_page_start", 0x02FF, 0xB0, 0xFD, 0x21, 4},
                      Branch{"not_taken", 0x02FE, 0xF0, 0x40, 0x20, 2}),
    [](const auto& info) { return std::string(info.param.label); });

// Decimal SBC, which sim65 cannot tell: the result in BCD, the flags those of the binary
// subtraction.
struct Decimal {
    std::uint8_t a, operand, carry;
    std::uint8_t result, flags;  // N V . . D I Z C
};

class DecimalSbc : public ::testing::TestWithParam<Decimal> {};

TEST_P(DecimalSbc, ResultAndFlags)
{
    const Decimal& d = GetParam();
    Host host;
    host.memory[0x0200] = 0xE9;
    host.memory[0x0201] = d.operand;
    Cpu6502<Host> cpu(host);
    cpu.pc = 0x0200;
    cpu.a = d.a;
    cpu.p = static_cast<std::uint8_t>(0x28 | d.carry);
    ASSERT_TRUE(cpu.step());
    EXPECT_EQ(cpu.a, d.result);
    EXPECT_EQ(cpu.p, d.flags);
    EXPECT_EQ(cpu.cycles, 2u);
}

INSTANTIATE_TEST_SUITE_P(Cpu, DecimalSbc,
                         ::testing::Values(Decimal{0x90, 0x00, 1, 0x90, 0xA9}, Decimal{0x50, 0x25, 1, 0x25, 0x29},
                                           Decimal{0x00, 0x01, 1, 0x99, 0xA8}, Decimal{0x10, 0x01, 0, 0x08, 0x29},
                                           Decimal{0x99, 0x99, 1, 0x00, 0x2B}, Decimal{0x80, 0x01, 1, 0x79, 0x69},
                                           Decimal{0x25, 0x50, 1, 0x75, 0xA8}, Decimal{0x21, 0x34, 1, 0x87, 0xA8},
                                           Decimal{0x32, 0x02, 0, 0x29, 0x29}, Decimal{0x00, 0x00, 0, 0x99, 0xA8}));

// BRK, which the programs compared with sim65 leave out
TEST(Cpu, Break)
{
    Host host;
    host.memory[0x0200] = 0x00;
    host.memory[0xFFFE] = 0x12;
    host.memory[0xFFFF] = 0x34;
    Cpu6502<Host> cpu(host);
    cpu.pc = 0x0200;
    cpu.p = 0x2B;
    ASSERT_TRUE(cpu.step());
    EXPECT_EQ(cpu.pc, 0x3412);
    EXPECT_EQ(cpu.s, 0xFC);
    EXPECT_EQ(cpu.p, 0x2F);  // I set
    EXPECT_EQ(host.memory[0x01FF], 0x02);
    EXPECT_EQ(host.memory[0x01FE], 0x02);  // the byte after BRK is skipped
    EXPECT_EQ(host.memory[0x01FD], 0x3B);  // B set on the stack
    EXPECT_EQ(cpu.cycles, 7u);
}

} // namespace
