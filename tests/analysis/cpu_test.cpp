// The 6502 against cc65's sim65, which is the oracle: random instruction sequences of
// every documented opcode and addressing mode, decimal mode included, run in both; after
// each sequence the registers, flags, zero page and stack, and at the end all the memory
// that the sequences may change and the total of cycles must be the same.

#include "host.h"
#include "support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <sstream>

namespace {

using namespace support;
using orvex::sap::Cpu6502;
using orvex::test::Host;

// At $FFF7, a call of sim65's write(fd, buffer, A + 256 * X), its parameters on the stack
// that $F8 points to: done as sim65 does it. True when the CPU was there.
bool hostCall(Cpu6502<Host>& cpu, Host& host)
{
    if (cpu.pc != 0xFFF7)
        return false;
    const unsigned sp = host.memory[0xF8] | host.memory[0xF9] << 8;
    const unsigned buffer = host.memory[sp] | host.memory[sp + 1] << 8;
    host.memory[0xF8] = static_cast<std::uint8_t>(sp + 4);  // the parameters taken, before the writing
    host.memory[0xF9] = static_cast<std::uint8_t>((sp + 4) >> 8);
    host.out.append(reinterpret_cast<const char*>(&host.memory[buffer]), cpu.a | cpu.x << 8);
    cpu.pc = host.memory[0x0100 | ++cpu.s];
    cpu.pc = static_cast<std::uint16_t>((cpu.pc | host.memory[0x0100 | ++cpu.s] << 8) + 1);
    return true;
}

// The programs: the frame (harness.s) at $8000, the sequences from $8200.
//   $00-$7F   pointers, in pairs, into $0400-$6EFF; never written
//   $80-$FF   zero-page data
//   $0200     JMP (ind) pointers; $0300-$03FF the frame's
//   $0400     data: every absolute store lands in $0400-$7EFE
//   $EA00     data that ROL abs,X alone uses (see below)
constexpr std::uint16_t kStart = 0x8000, kDump = 0x8100, kFinish = 0x8180, kReturn = 0x81F0, kSequences = 0x8200;
constexpr std::uint16_t kFirstRegisters = 0x0390;

// Runs a program up to its call of exit() at $FFF9; returns what it wrote, and its cycles.
std::string runHere(Host host, std::uint64_t& cycles)
{
    Cpu6502<Host> cpu(host);
    cpu.pc = kStart;
    while (cpu.pc != 0xFFF9) {
        if (!hostCall(cpu, host) && !cpu.step())
            throw std::runtime_error("undocumented opcode at " + std::to_string(cpu.pc));
    }
    cycles = cpu.cycles;
    return host.out;
}

// The same program, memory $0200-$FFF3, in sim65: what it wrote (`expected` bytes when
// all goes well), its cycles, and how it ended ("" when it called exit(0)).
std::string runInSim65(const Host& host, std::size_t expected, std::uint64_t& cycles, std::string& ending)
{
    TempDir dir;
    writeFile(dir / "program", bytesOf("sim65") + Bytes{2, 0, 0xF8, 0x00, 0x02, kStart & 0xFF, kStart >> 8}
                                   + Bytes(host.memory.begin() + 0x0200, host.memory.begin() + 0xFFF4));
    const Outcome r = run({"sim65", "-c", dir / "program"});
    ending = r.status == 0 ? "" : "sim65 ended with status " + std::to_string(r.status) + ": " + r.err;
    // Behind what the program wrote, sim65 counts the cycles: "1234 cycles"
    if (r.out.size() > expected && r.out.ends_with(" cycles\n"))
        cycles = std::stoull(r.out.substr(expected));
    return r.out.substr(0, std::min(r.out.size(), expected));
}

struct Program {
    Host host;
    std::vector<std::string> sequences;  // the opcodes of each, for messages
    unsigned instructions = 0;
    unsigned rolAbsoluteX = 0;           // sim65 takes 2 cycles more for each
};

// Makes a program of random sequences. A shadow CPU (this program's) runs each
// instruction as it is made, so that the next can be chosen safe: stores land in data,
// pointers are those of $00-$7F, jumps go to the next instruction. The shadow only
// chooses operands: what the instructions do is compared with sim65.
class Generator {
public:
    explicit Generator(unsigned seed) : random_(seed), cpu_(shadow_) {}

    Program make(unsigned sequences, unsigned length)
    {
        Program program;
        image_ = &program.host;
        auto& m = program.host.memory;
        for (auto& byte : m)
            byte = static_cast<std::uint8_t>(random_());
        for (unsigned slot = 0; slot < 0x80; slot += 2) {
            const unsigned target = 0x0400 + pick(0x6B00);
            m[slot] = static_cast<std::uint8_t>(target);
            m[slot + 1] = static_cast<std::uint8_t>(target >> 8);
        }
        std::copy(m.begin(), m.begin() + 0x200, m.begin() + 0x0400);  // pages 0 and 1, as start-up copies them
        const Bytes frame = readFile(HARNESS);
        std::copy(frame.begin(), frame.end(), m.begin() + kStart);
        shadow_ = program.host;
        cpu_.pc = kStart;
        runTo(kSequences);
        at_ = kSequences;
        for (unsigned k = 0; k < sequences; ++k) {
            std::ostringstream names;
            for (unsigned i = 0; i < length; ++i, ++program.instructions)
                names << add(program) << ' ';
            program.sequences.push_back(names.str());
            emit({0x20, kDump & 0xFF, kDump >> 8});
        }
        emit({0x4C, kFinish & 0xFF, kFinish >> 8}, false);
        return program;
    }

private:
    unsigned pick(unsigned n) { return random_() % n; }

    // Code goes to the program and to the shadow's memory, which then runs it.
    void emit(const std::vector<std::uint8_t>& bytes, bool run = true)
    {
        for (const std::uint8_t b : bytes)
            image_->memory[at_] = shadow_.memory[at_] = b, ++at_;
        if (at_ >= 0xEA00)
            throw std::runtime_error("the sequences do not fit below $EA00");
        if (run)
            runTo(at_);
    }
    void runTo(std::uint16_t end)
    {
        while (cpu_.pc != end) {
            if (!hostCall(cpu_, shadow_) && !cpu_.step())
                throw std::runtime_error("the shadow CPU met an undocumented opcode");
        }
    }

    // One instruction, or a short group that ends where it began; returns its opcode.
    std::string add(Program& program)
    {
        static const std::vector<std::uint8_t> opcodes = [] {
            std::vector<std::uint8_t> documented;
            for (unsigned op = 1; op < 256; ++op) {  // BRK, at 0, has a test of its own
                Host probe;
                probe.memory[0] = static_cast<std::uint8_t>(op);
                if (Cpu6502<Host>(probe).step())
                    documented.push_back(static_cast<std::uint8_t>(op));
            }
            return documented;
        }();
        std::uint8_t op = opcodes[pick(opcodes.size())];
        // Debian's sim65 (2.19) gets decimal SBC wrong ($90 - $00 gives $30): decimal
        // SBC has a table of its own below.
        while ((cpu_.p & orvex::sap::kDecimal) && (op & 0xE3) == 0xE1)
            op = opcodes[pick(opcodes.size())];
        std::vector<std::uint8_t> bytes = instruction(op, program);
        if (bytes.empty())
            return add(program);  // no JMP (ind) pointer is left: another opcode
        // Debian's sim65 leaves the sum of a decimal ADC in A unmasked, above $FF, and the
        // next TAY copies that: PHP, AND #$FF, PLP keep it to what the 6502 holds.
        const bool decimalAdc = (cpu_.p & orvex::sap::kDecimal) && (op & 0xE3) == 0x61;
        if (decimalAdc)
            bytes.insert(bytes.end(), {0x08, 0x29, 0xFF, 0x28});
        emit(bytes);
        char name[8];
        std::snprintf(name, sizeof name, decimalAdc ? "%02Xd" : "%02X", op);
        return name;
    }

    // The opcode with operands that keep the program safe (see above); empty when there
    // is none.
    std::vector<std::uint8_t> instruction(std::uint8_t op, Program& program)
    {
        const std::uint16_t here = at_;
        const std::uint8_t x = cpu_.x, y = cpu_.y;
        const unsigned mode = op & 0x1F;
        std::vector<std::uint8_t> bytes = {op};
        const auto word = [&](unsigned value) {
            bytes.push_back(static_cast<std::uint8_t>(value));
            bytes.push_back(static_cast<std::uint8_t>(value >> 8));
        };
        const auto zeroPageData = [&](std::uint8_t index) { bytes.push_back(std::uint8_t(0x80 + pick(0x78) - index)); };
        const auto pointer = [&](std::uint8_t index) { bytes.push_back(std::uint8_t(2 * pick(0x40) - index)); };
        if (op == 0x20) {
            word(kReturn);
        } else if (op == 0x4C) {
            word(here + 3);
        } else if (op == 0x6C) {
            if (pointers_ > 0x02FC)
                return {};
            word(pointerTo(here + 3));
        } else if (op == 0x60 || op == 0x40) {  // RTS and RTI from a frame pushed here: on to the next
            const std::uint16_t next = op == 0x60 ? here + 7 - 1 : here + 10;
            bytes = {0xA9, std::uint8_t(next >> 8), 0x48, 0xA9, std::uint8_t(next), 0x48};
            if (op == 0x40)
                bytes.insert(bytes.end(), {0xA9, std::uint8_t(random_()), 0x48});
            bytes.push_back(op);
        } else if (mode == 0x10) {  // a branch over 0 to 3 NOPs
            // sim65 counts a page crossed from the branch's own address, the 6502 from
            // the next instruction's: a branch across a page boundary waits for a NOP.
            if ((here & 0xFF) >= 0xFE)
                bytes.insert(bytes.begin(), 0x100 - (here & 0xFF), 0xEA);
            const std::uint8_t skip = pick(4);
            bytes.push_back(skip);
            bytes.insert(bytes.end(), skip, 0xEA);
        } else if (mode == 0x09 || op == 0xA0 || op == 0xA2 || op == 0xC0 || op == 0xE0) {
            bytes.push_back(static_cast<std::uint8_t>(random_()));  // #imm
        } else if (mode == 0x04 || mode == 0x05 || mode == 0x06) {
            zeroPageData(0);                                          // zp
        } else if (mode == 0x14 || mode == 0x15 || mode == 0x16) {
            zeroPageData(op == 0x96 || op == 0xB6 ? y : x);           // zp,X; zp,Y for STX and LDX
        } else if (mode == 0x01) {
            pointer(x);                                               // (zp,X)
        } else if (mode == 0x11) {
            pointer(0);                                               // (zp),Y
        } else if (mode == 0x0C || mode == 0x0D || mode == 0x0E) {
            word(0x0400 + pick(0x7AFF));                              // abs
        } else if (op == 0x3E) {
            // Debian's sim65 takes ROL abs,X for two bytes long and runs the third as an
            // opcode: with $EA there, a NOP, it only costs sim65 2 cycles more.
            word(0xEA00 + pick(0x100));
            ++program.rolAbsoluteX;
        } else if (mode == 0x19 || mode == 0x1C || mode == 0x1D || mode == 0x1E) {
            word(0x0400 + pick(0x7A00));                              // abs,X and abs,Y
        }
        return bytes;
    }

    // A JMP (ind) pointer to `target`, each of its own in $0200-$02FD; the first at $02FF,
    // whose high byte the 6502 takes from $0200. Returns the pointer's address.
    std::uint16_t pointerTo(std::uint16_t target)
    {
        const std::uint16_t at = pointers_ == 0x0200 ? 0x02FF : pointers_, high = at == 0x02FF ? 0x0200 : at + 1;
        pointers_ += 2;
        image_->memory[at] = shadow_.memory[at] = static_cast<std::uint8_t>(target);
        image_->memory[high] = shadow_.memory[high] = static_cast<std::uint8_t>(target >> 8);
        return at;
    }

    std::mt19937 random_;
    Host shadow_;
    Host* image_ = nullptr;
    Cpu6502<Host> cpu_;
    std::uint16_t at_ = 0;
    std::uint16_t pointers_ = 0x0200;  // the next JMP (ind) pointer
};

class Sim65 : public ::testing::TestWithParam<unsigned> {};

TEST_P(Sim65, SameRegistersMemoryAndCycles)
{
    const unsigned seed = GetParam();
    const Program program = Generator(seed).make(100, 64);
    std::uint64_t ourCycles = 0, theirCycles = 0;
    const std::string ours = runHere(program.host, ourCycles);
    std::string ending;
    const std::string theirs = runInSim65(program.host, ours.size(), theirCycles, ending);
    // Each dump: zero page and stack (512 bytes), then A, X, Y, P and S; at the end the data
    constexpr std::size_t kDumpSize = 517;
    const auto at = std::mismatch(ours.begin(), ours.end(), theirs.begin(), theirs.end());
    if (at.first != ours.end() && at.second != theirs.end()) {
        const std::size_t sequence = std::min<std::size_t>((at.first - ours.begin()) / kDumpSize, program.sequences.size());
        FAIL() << "seed " << seed << ", " << (sequence < program.sequences.size() ? "sequence " : "the data at the end")
               << (sequence < program.sequences.size() ? std::to_string(sequence) + " (" + program.sequences[sequence] + ")" : "")
               << ": byte " << at.first - ours.begin() - sequence * kDumpSize << " of the dump is " << int(std::uint8_t(*at.first))
               << " here, " << int(std::uint8_t(*at.second)) << " in sim65 (bytes 512-516: A, X, Y, P, S)";
    }
    ASSERT_EQ(ending, "") << "seed " << seed << ", after sequence " << theirs.size() / kDumpSize;
    ASSERT_EQ(ours.size(), theirs.size()) << "seed " << seed;
    // sim65 does not count the 3 cycles of the jump to exit()
    EXPECT_EQ(ourCycles - 3 + 2 * program.rolAbsoluteX, theirCycles) << "seed " << seed;
    EXPECT_EQ(program.instructions, 6400u);
}

// 16 programs of 100 sequences of 64 instructions: 102,400 instructions.
INSTANTIATE_TEST_SUITE_P(Seeds, Sim65, ::testing::Range(1u, 17u));

} // namespace
