// The test machinery itself: the 6502, the SAP loader and the probe player. The tests of
// the generated code trust these to fail loudly rather than pass by accident.

#include "harness.h"

#include <gtest/gtest.h>

namespace exec {
namespace {

constexpr std::uint16_t kCode = 0x2000;

// Loads `program` at $2000 and calls it; the program ends with RTS (0x60).
::testing::AssertionResult callProgram(Cpu6502& cpu, const Bytes& program, std::uint64_t budget = 1000)
{
    cpu.load(kCode, program.data(), program.size());
    return runs([&] { cpu.call(kCode, budget); });
}

// ---------------------------------------------------------------- arithmetic flags

struct Arithmetic {
    std::uint8_t opcode;  // ADC # or SBC #
    std::uint8_t a, operand;
    bool carryIn;
    std::uint8_t result;
    bool c, z, v, n;
};

class CpuArithmetic : public ::testing::TestWithParam<Arithmetic> {};

TEST_P(CpuArithmetic, SetsResultAndFlags)
{
    const Arithmetic& t = GetParam();
    Cpu6502 cpu;
    ASSERT_TRUE(callProgram(cpu, {0xA9, t.a, static_cast<std::uint8_t>(t.carryIn ? 0x38 : 0x18), t.opcode, t.operand, 0x60}));
    EXPECT_EQ(cpu.a, t.result);
    EXPECT_EQ(bool(cpu.p & Cpu6502::C), t.c);
    EXPECT_EQ(bool(cpu.p & Cpu6502::Z), t.z);
    EXPECT_EQ(bool(cpu.p & Cpu6502::V), t.v);
    EXPECT_EQ(bool(cpu.p & Cpu6502::N), t.n);
}

INSTANTIATE_TEST_SUITE_P(Cases, CpuArithmetic,
                         ::testing::Values(
                             // ADC:    A     operand carry  result  C      Z      V      N
                             Arithmetic{0x69, 0x50, 0x10, false, 0x60, false, false, false, false},
                             Arithmetic{0x69, 0x50, 0x50, false, 0xA0, false, false, true, true},
                             Arithmetic{0x69, 0xFF, 0x01, false, 0x00, true, true, false, false},
                             Arithmetic{0x69, 0x80, 0xFF, false, 0x7F, true, false, true, false},
                             Arithmetic{0x69, 0x7F, 0x00, true, 0x80, false, false, true, true},
                             // SBC
                             Arithmetic{0xE9, 0x50, 0x30, true, 0x20, true, false, false, false},
                             Arithmetic{0xE9, 0x50, 0xB0, true, 0xA0, false, false, true, true},
                             Arithmetic{0xE9, 0x00, 0x01, true, 0xFF, false, false, false, true},
                             Arithmetic{0xE9, 0x80, 0x01, true, 0x7F, true, false, true, false},
                             Arithmetic{0xE9, 0x05, 0x05, false, 0xFF, false, false, false, true},
                             Arithmetic{0xE9, 0x05, 0x04, false, 0x00, true, true, false, false}));

// ---------------------------------------------------------------- compares, BIT, shifts

TEST(Cpu, ComparesAndBitSetTheFlags)
{
    struct Case {
        const char* what;
        Bytes program;
        std::uint8_t flagsMask, flags;
    };
    using F = Cpu6502;
    const Case cases[] = {
        {"CMP less", {0xA9, 0x10, 0xC9, 0x20, 0x60}, F::C | F::Z | F::N, F::N},
        {"CMP equal", {0xA9, 0x10, 0xC9, 0x10, 0x60}, F::C | F::Z | F::N, F::C | F::Z},
        {"CMP greater", {0xA9, 0x30, 0xC9, 0x10, 0x60}, F::C | F::Z | F::N, F::C},
        {"CPX", {0xA2, 0x00, 0xE0, 0x01, 0x60}, F::C | F::Z | F::N, F::N},
        {"CPY", {0xA0, 0xFF, 0xC0, 0xFF, 0x60}, F::C | F::Z | F::N, F::C | F::Z},
        {"BIT from memory", {0xA9, 0xC0, 0x85, 0x10, 0xA9, 0x3F, 0x24, 0x10, 0x60}, F::Z | F::V | F::N, F::Z | F::V | F::N},
        {"BIT with a bit in common", {0xA9, 0x01, 0x8D, 0x00, 0x30, 0x2C, 0x00, 0x30, 0x60}, F::Z | F::V | F::N, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Cpu6502 cpu;
        ASSERT_TRUE(callProgram(cpu, c.program));
        EXPECT_EQ(cpu.p & c.flagsMask, c.flags);
    }
}

TEST(Cpu, ShiftsRotatesAndCountsMoveTheCarry)
{
    Cpu6502 cpu;
    // LDA #$81; SEC; ROR A -> $C0, C=1; STA $10; ASL $10 -> $80, C=1; LSR $10 -> $40, C=0;
    // ROL $10 -> $80, C=0; LDX #$FF; INX -> 0; DEC $10 -> $7F; RTS
    ASSERT_TRUE(callProgram(cpu, {0xA9, 0x81, 0x38, 0x6A, 0x85, 0x10, 0x06, 0x10, 0x46, 0x10, 0x26, 0x10, 0xA2, 0xFF,
                                  0xE8, 0xC6, 0x10, 0x60}));
    EXPECT_EQ(cpu.a, 0xC0);
    EXPECT_EQ(cpu.peek(0x10), 0x7F);
    EXPECT_EQ(cpu.x, 0x00);
    EXPECT_EQ(cpu.p & (Cpu6502::C | Cpu6502::N | Cpu6502::Z), 0);
}

// ---------------------------------------------------------------- addressing

TEST(Cpu, IndirectAddressingWrapsLikeTheNmos6502)
{
    Cpu6502 cpu;
    cpu.poke(0xFF, 0x00);  // pointer at $FF: its high byte comes from $00, not $100
    cpu.poke(0x00, 0x30);
    cpu.poke(0x100, 0x40);
    cpu.poke(0x3005, 0x11);
    cpu.poke(0x4005, 0x99);
    cpu.poke(0x0F, 0x34);  // ($F0,X) with X = $1F wraps to $0F/$10
    cpu.poke(0x10, 0x12);
    cpu.poke(0x1234, 0x22);
    // JMP ($20FF) takes its high byte from $2000, not $2100
    cpu.poke(0x20FF, 0x10);
    cpu.poke(0x2100, 0x31);
    cpu.poke(0x3010, 0x60);  // the RTS JMP must reach: $3010, not $3110

    // LDY #5; LDA ($FF),Y; STA $50; LDX #$1F; LDA ($F0,X); STA $51; LDA $E1,X (wraps to $00); STA $52;
    // JMP ($20FF)
    const Bytes program = {0xA0, 0x05, 0xB1, 0xFF, 0x85, 0x50, 0xA2, 0x1F, 0xA1, 0xF0, 0x85, 0x51,
                           0xB5, 0xE1, 0x85, 0x52, 0x6C, 0xFF, 0x20};
    cpu.load(0x2010, program.data(), program.size());
    cpu.poke(0x2000, 0x30);  // the high byte JMP ($20FF) reads
    ASSERT_TRUE(runs([&] { cpu.call(0x2010, 100); }));
    EXPECT_EQ(cpu.peek(0x50), 0x11);
    EXPECT_EQ(cpu.peek(0x51), 0x22);
    EXPECT_EQ(cpu.peek(0x52), 0x30);
}

// ---------------------------------------------------------------- stack, subroutines, interrupts

TEST(Cpu, SubroutinesStackAndBreakReturnWhereTheyCameFrom)
{
    Cpu6502 cpu;
    // $2000: JSR $2010; BRK, padding byte; STA $60; RTS
    // $2010: PHA; PHP; LDA #$33; PLP; PLA; INY; RTS
    // $2020: the BRK handler: INX; RTI
    const Bytes main = {0x20, 0x10, 0x20, 0x00, 0xEA, 0x85, 0x60, 0x60};
    const Bytes sub = {0x48, 0x08, 0xA9, 0x33, 0x28, 0x68, 0xC8, 0x60};
    const Bytes handler = {0xE8, 0x40};
    cpu.load(0x2000, main.data(), main.size());
    cpu.load(0x2010, sub.data(), sub.size());
    cpu.load(0x2020, handler.data(), handler.size());
    cpu.poke(0xFFFE, 0x20);
    cpu.poke(0xFFFF, 0x20);
    cpu.a = 0x44;
    cpu.x = 0x00;
    cpu.y = 0x00;
    const std::uint8_t stack = cpu.sp;
    ASSERT_TRUE(runs([&] { cpu.call(0x2000, 100); }));
    EXPECT_EQ(cpu.peek(0x60), 0x44);
    EXPECT_EQ(cpu.x, 1);
    EXPECT_EQ(cpu.y, 1);
    EXPECT_EQ(cpu.sp, stack);
}

// ---------------------------------------------------------------- faults

TEST(Cpu, FailsLoudlyInsteadOfRunningOn)
{
    struct Case {
        const char* what;
        Bytes program;
        const char* message;
    };
    const Case cases[] = {
        {"unofficial opcode", {0xEA, 0x02}, "unofficial opcode $02"},
        {"endless loop", {0x4C, 0x00, 0x20}, "has not returned after"},
        {"jump into empty memory", {0x4C, 0x00, 0x90}, "nothing was loaded (instruction at $9000)"},
        {"return with a byte left on the stack", {0x48, 0x4C, 0xF0, 0xFF}, "stack pointer"},
        {"decimal arithmetic", {0xF8, 0x69, 0x01, 0x60}, "decimal"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Cpu6502 cpu;
        const auto result = callProgram(cpu, c.program);
        ASSERT_FALSE(result);
        EXPECT_NE(std::string(result.message()).find(c.message), std::string::npos) << result.message();
    }
}

// ---------------------------------------------------------------- SAP loader

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(SapLoader, ReadsTheHeaderAndLoadsEverySegment)
{
    const Bytes file = text("SAP\r\nAUTHOR \"A\"\r\nTYPE B\r\nSTEREO\r\nFASTPLAY 156\r\nINIT 04E7\r\nPLAYER F4F7\r\n")
                       + Bytes{0xFF, 0xFF, 0x00, 0x30, 0x01, 0x30, 0xAA, 0xBB}  // $3000-$3001
                       + Bytes{0xFF, 0xFF, 0x10, 0x30, 0x10, 0x30, 0xCC}        // led by a marker: $3010
                       + Bytes{0x20, 0x30, 0x20, 0x30, 0xDD};                   // $3020
    Cpu6502 cpu;
    SapFile sap;
    ASSERT_TRUE(runs([&] { sap = loadSap(file, cpu); }));
    EXPECT_EQ(sap.type, 'B');
    EXPECT_TRUE(sap.stereo);
    EXPECT_EQ(sap.fastplay, 156);
    EXPECT_EQ(sap.init, 0x04E7);
    EXPECT_EQ(sap.player, 0xF4F7);
    EXPECT_FALSE(sap.music);
    ASSERT_EQ(sap.segments.size(), 3u);
    EXPECT_TRUE(holds(cpu, 0x3000, {0xAA, 0xBB}));
    EXPECT_TRUE(holds(cpu, 0x3010, {0xCC}));
    EXPECT_TRUE(holds(cpu, 0x3020, {0xDD}));
    EXPECT_FALSE(cpu.loaded(0x3002));
}

TEST(SapLoader, RefusesWhatAPlayerCouldNotLoad)
{
    const Bytes header = text("SAP\r\nTYPE B\r\nINIT 2000\r\nPLAYER 2003\r\n");
    struct Case {
        const char* what;
        Bytes file;
        const char* message;
    };
    const Case cases[] = {
        {"segment longer than the file", header + Bytes{0xFF, 0xFF, 0xE0, 0x3F, 0xFF, 0x43, 1, 2, 3}, "declares 1056 bytes but only 3"},
        {"end below start", header + Bytes{0xFF, 0xFF, 0x01, 0x20, 0x00, 0x20, 1, 2}, "ends below its start"},
        {"cut segment header", header + Bytes{0xFF, 0xFF, 0x00, 0x20, 0x00, 0x20, 1, 0x00, 0x30}, "cut header"},
        {"line without CR", text("SAP\nTYPE B\r\n") + Bytes{0xFF, 0xFF, 0, 0x20, 0, 0x20, 1}, "CR LF"},
        {"address of three digits", text("SAP\r\nINIT 200\r\n") + Bytes{0xFF, 0xFF, 0, 0x20, 0, 0x20, 1}, "INIT"},
        {"no binary part", header, "ends before its binary part"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Cpu6502 cpu;
        try {
            loadSap(c.file, cpu);
            ADD_FAILURE() << "loaded";
        } catch (const SapLoadError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
}

// ---------------------------------------------------------------- the probe player

TEST(Probe, IsTheSameCodeWhereverItIsAssembled)
{
    const Bytes low = probeAssembledAt0500();
    ASSERT_FALSE(low.empty());
    EXPECT_EQ(low, probeAssembledAtF500()) << "the probe refers to its own addresses and cannot run unrelocated";
}

class ProbeAt : public ::testing::TestWithParam<std::uint16_t> {};

TEST_P(ProbeAt, LogsEachEntryAndReturnsTheRegistersItGot)
{
    const std::uint16_t base = GetParam();
    const Bytes probe = probeAssembledAt0500();
    Cpu6502 cpu;
    cpu.load(base, probe.data(), probe.size());
    cpu.watch(0x00);
    const Call calls[] = {{0, 0x00, 0x12, 0x34}, {3, 0xFF, 0x00, 0x80}, {6, 0x80, 0xFF, 0x00}, {0, 0x70, 0xC0, 0x01}};
    for (const Call& c : calls) {
        cpu.a = c.a;
        cpu.x = c.x;
        cpu.y = c.y;
        ASSERT_TRUE(runs([&] { cpu.call(static_cast<std::uint16_t>(base + c.entry), 200); }));
        EXPECT_EQ(cpu.a, c.a);
        EXPECT_EQ(cpu.x, c.x);
        EXPECT_EQ(cpu.y, c.y);
    }
    EXPECT_EQ(probeLog(cpu), std::vector<Call>(std::begin(calls), std::end(calls)));
    EXPECT_TRUE(cpu.watchedWrites().empty()) << "the probe wrote location $00";
}

INSTANTIATE_TEST_SUITE_P(Addresses, ProbeAt, ::testing::Values(0x0500, 0xF500),
                         [](const auto& info) { return "at_" + hex4(info.param).substr(1); });

} // namespace
} // namespace exec
