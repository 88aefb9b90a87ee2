#include "cpu6502.h"

#include <cstdio>

namespace exec {

namespace {

enum class Op : std::uint8_t {
    Illegal,
    ADC, AND, ASL, BCC, BCS, BEQ, BIT, BMI, BNE, BPL, BRK, BVC, BVS, CLC, CLD, CLI, CLV, CMP,
    CPX, CPY, DEC, DEX, DEY, EOR, INC, INX, INY, JMP, JSR, LDA, LDX, LDY, LSR, NOP, ORA, PHA,
    PHP, PLA, PLP, ROL, ROR, RTI, RTS, SBC, SEC, SED, SEI, STA, STX, STY, TAX, TAY, TSX, TXA,
    TXS, TYA,
};

enum class Mode : std::uint8_t { Imp, Acc, Imm, Zp, Zpx, Zpy, Abs, Abx, Aby, Ind, Izx, Izy, Rel };

struct Decoded {
    Op op = Op::Illegal;
    Mode mode = Mode::Imp;
};

struct Entry {
    std::uint8_t opcode;
    Op op;
    Mode mode;
};

constexpr Entry kOthers[] = {
    {0x0A, Op::ASL, Mode::Acc}, {0x06, Op::ASL, Mode::Zp}, {0x16, Op::ASL, Mode::Zpx}, {0x0E, Op::ASL, Mode::Abs}, {0x1E, Op::ASL, Mode::Abx},
    {0x2A, Op::ROL, Mode::Acc}, {0x26, Op::ROL, Mode::Zp}, {0x36, Op::ROL, Mode::Zpx}, {0x2E, Op::ROL, Mode::Abs}, {0x3E, Op::ROL, Mode::Abx},
    {0x4A, Op::LSR, Mode::Acc}, {0x46, Op::LSR, Mode::Zp}, {0x56, Op::LSR, Mode::Zpx}, {0x4E, Op::LSR, Mode::Abs}, {0x5E, Op::LSR, Mode::Abx},
    {0x6A, Op::ROR, Mode::Acc}, {0x66, Op::ROR, Mode::Zp}, {0x76, Op::ROR, Mode::Zpx}, {0x6E, Op::ROR, Mode::Abs}, {0x7E, Op::ROR, Mode::Abx},
    {0x86, Op::STX, Mode::Zp},  {0x96, Op::STX, Mode::Zpy}, {0x8E, Op::STX, Mode::Abs},
    {0xA2, Op::LDX, Mode::Imm}, {0xA6, Op::LDX, Mode::Zp},  {0xB6, Op::LDX, Mode::Zpy}, {0xAE, Op::LDX, Mode::Abs}, {0xBE, Op::LDX, Mode::Aby},
    {0x84, Op::STY, Mode::Zp},  {0x94, Op::STY, Mode::Zpx}, {0x8C, Op::STY, Mode::Abs},
    {0xA0, Op::LDY, Mode::Imm}, {0xA4, Op::LDY, Mode::Zp},  {0xB4, Op::LDY, Mode::Zpx}, {0xAC, Op::LDY, Mode::Abs}, {0xBC, Op::LDY, Mode::Abx},
    {0xC6, Op::DEC, Mode::Zp},  {0xD6, Op::DEC, Mode::Zpx}, {0xCE, Op::DEC, Mode::Abs}, {0xDE, Op::DEC, Mode::Abx},
    {0xE6, Op::INC, Mode::Zp},  {0xF6, Op::INC, Mode::Zpx}, {0xEE, Op::INC, Mode::Abs}, {0xFE, Op::INC, Mode::Abx},
    {0xC0, Op::CPY, Mode::Imm}, {0xC4, Op::CPY, Mode::Zp},  {0xCC, Op::CPY, Mode::Abs},
    {0xE0, Op::CPX, Mode::Imm}, {0xE4, Op::CPX, Mode::Zp},  {0xEC, Op::CPX, Mode::Abs},
    {0x24, Op::BIT, Mode::Zp},  {0x2C, Op::BIT, Mode::Abs},
    {0x4C, Op::JMP, Mode::Abs}, {0x6C, Op::JMP, Mode::Ind}, {0x20, Op::JSR, Mode::Abs},
    {0x10, Op::BPL, Mode::Rel}, {0x30, Op::BMI, Mode::Rel}, {0x50, Op::BVC, Mode::Rel}, {0x70, Op::BVS, Mode::Rel},
    {0x90, Op::BCC, Mode::Rel}, {0xB0, Op::BCS, Mode::Rel}, {0xD0, Op::BNE, Mode::Rel}, {0xF0, Op::BEQ, Mode::Rel},
    {0x00, Op::BRK, Mode::Imp}, {0x40, Op::RTI, Mode::Imp}, {0x60, Op::RTS, Mode::Imp},
    {0x08, Op::PHP, Mode::Imp}, {0x28, Op::PLP, Mode::Imp}, {0x48, Op::PHA, Mode::Imp}, {0x68, Op::PLA, Mode::Imp},
    {0x18, Op::CLC, Mode::Imp}, {0x38, Op::SEC, Mode::Imp}, {0x58, Op::CLI, Mode::Imp}, {0x78, Op::SEI, Mode::Imp},
    {0xB8, Op::CLV, Mode::Imp}, {0xD8, Op::CLD, Mode::Imp}, {0xF8, Op::SED, Mode::Imp},
    {0xAA, Op::TAX, Mode::Imp}, {0xA8, Op::TAY, Mode::Imp}, {0xBA, Op::TSX, Mode::Imp},
    {0x8A, Op::TXA, Mode::Imp}, {0x9A, Op::TXS, Mode::Imp}, {0x98, Op::TYA, Mode::Imp},
    {0xE8, Op::INX, Mode::Imp}, {0xC8, Op::INY, Mode::Imp}, {0xCA, Op::DEX, Mode::Imp}, {0x88, Op::DEY, Mode::Imp},
    {0xEA, Op::NOP, Mode::Imp},
};

// The eight accumulator operations share one layout: operation in bits 7-5, addressing
// mode in bits 4-2, bits 1-0 = 01. STA has no immediate form.
constexpr std::array<Decoded, 256> buildTable()
{
    std::array<Decoded, 256> table{};
    constexpr Op group[8] = {Op::ORA, Op::AND, Op::EOR, Op::ADC, Op::STA, Op::LDA, Op::CMP, Op::SBC};
    constexpr Mode modes[8] = {Mode::Izx, Mode::Zp, Mode::Imm, Mode::Abs, Mode::Izy, Mode::Zpx, Mode::Aby, Mode::Abx};
    for (int op = 0; op < 8; ++op) {
        for (int mode = 0; mode < 8; ++mode) {
            if (group[op] == Op::STA && modes[mode] == Mode::Imm)
                continue;
            table[static_cast<std::size_t>(op << 5 | mode << 2 | 1)] = {group[op], modes[mode]};
        }
    }
    for (const Entry& e : kOthers)
        table[e.opcode] = {e.op, e.mode};
    return table;
}

constexpr std::array<Decoded, 256> kTable = buildTable();

std::string hex(unsigned value, int digits)
{
    char text[8];
    std::snprintf(text, sizeof text, "$%0*X", digits, value);
    return text;
}

} // namespace

void Cpu6502::load(std::uint16_t address, const std::uint8_t* data, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        const auto at = static_cast<std::uint16_t>(address + i);
        mem_[at] = data[i];
        defined_[at] = true;
    }
}

void Cpu6502::poke(std::uint16_t address, std::uint8_t value)
{
    mem_[address] = value;
    defined_[address] = true;
}

void Cpu6502::write(std::uint16_t address, std::uint8_t value)
{
    if (address == watched_)
        writes_.push_back({instructionPc_, value});
    mem_[address] = value;
    defined_[address] = true;
}

std::uint16_t Cpu6502::read16(std::uint16_t address) const
{
    return static_cast<std::uint16_t>(read(address) | read(static_cast<std::uint16_t>(address + 1)) << 8);
}

std::uint16_t Cpu6502::read16ZeroPage(std::uint8_t address) const
{
    return static_cast<std::uint16_t>(read(address) | read(static_cast<std::uint8_t>(address + 1)) << 8);
}

void Cpu6502::push(std::uint8_t value)
{
    write(static_cast<std::uint16_t>(0x100 + sp), value);
    --sp;
}

std::uint8_t Cpu6502::pull()
{
    ++sp;
    return read(static_cast<std::uint16_t>(0x100 + sp));
}

void Cpu6502::setFlag(Flag flag, bool on)
{
    p = static_cast<std::uint8_t>(on ? (p | flag) : (p & ~flag));
}

void Cpu6502::setNZ(std::uint8_t value)
{
    setFlag(Z, value == 0);
    setFlag(N, value & 0x80);
}

void Cpu6502::compare(std::uint8_t reg, std::uint8_t value)
{
    setFlag(C, reg >= value);
    setNZ(static_cast<std::uint8_t>(reg - value));
}

void Cpu6502::addWithCarry(std::uint8_t value)
{
    if (p & D)
        fault("decimal arithmetic is not emulated", instructionPc_);
    const unsigned sum = a + value + (p & C);
    const auto result = static_cast<std::uint8_t>(sum);
    setFlag(C, sum > 0xFF);
    setFlag(V, (~(a ^ value) & (a ^ result)) & 0x80);
    a = result;
    setNZ(a);
}

void Cpu6502::fault(const std::string& what, std::uint16_t at) const
{
    throw CpuFault(what + " (instruction at " + hex(at, 4) + ")");
}

void Cpu6502::step()
{
    instructionPc_ = pc;
    if (!defined_[pc])
        fault("executing memory where nothing was loaded", pc);
    const std::uint8_t opcode = read(pc++);
    const Decoded d = kTable[opcode];
    if (d.op == Op::Illegal)
        fault("unofficial opcode " + hex(opcode, 2), instructionPc_);

    std::uint16_t ea = 0;
    switch (d.mode) {
    case Mode::Imp:
    case Mode::Acc:
        break;
    case Mode::Imm: ea = pc++; break;
    case Mode::Zp: ea = read(pc++); break;
    case Mode::Zpx: ea = static_cast<std::uint8_t>(read(pc++) + x); break;
    case Mode::Zpy: ea = static_cast<std::uint8_t>(read(pc++) + y); break;
    case Mode::Abs: ea = read16(pc); pc += 2; break;
    case Mode::Abx: ea = static_cast<std::uint16_t>(read16(pc) + x); pc += 2; break;
    case Mode::Aby: ea = static_cast<std::uint16_t>(read16(pc) + y); pc += 2; break;
    case Mode::Ind: {
        // The NMOS 6502 takes the high byte from the start of the same page.
        const std::uint16_t pointer = read16(pc);
        pc += 2;
        ea = static_cast<std::uint16_t>(read(pointer) | read(static_cast<std::uint16_t>((pointer & 0xFF00) | ((pointer + 1) & 0xFF))) << 8);
        break;
    }
    case Mode::Izx: ea = read16ZeroPage(static_cast<std::uint8_t>(read(pc++) + x)); break;
    case Mode::Izy: ea = static_cast<std::uint16_t>(read16ZeroPage(read(pc++)) + y); break;
    case Mode::Rel: {
        const auto offset = static_cast<std::int8_t>(read(pc++));
        ea = static_cast<std::uint16_t>(pc + offset);
        break;
    }
    }

    // Read-modify-write operations work on A or on memory.
    auto modify = [&](auto change) {
        const std::uint8_t before = d.mode == Mode::Acc ? a : read(ea);
        const std::uint8_t after = change(before);
        setNZ(after);
        if (d.mode == Mode::Acc)
            a = after;
        else
            write(ea, after);
    };
    auto branch = [&](bool taken) {
        if (taken)
            pc = ea;
    };

    switch (d.op) {
    case Op::Illegal: break;
    case Op::ADC: addWithCarry(read(ea)); break;
    case Op::SBC: addWithCarry(static_cast<std::uint8_t>(~read(ea))); break;
    case Op::AND: a &= read(ea); setNZ(a); break;
    case Op::ORA: a |= read(ea); setNZ(a); break;
    case Op::EOR: a ^= read(ea); setNZ(a); break;
    case Op::CMP: compare(a, read(ea)); break;
    case Op::CPX: compare(x, read(ea)); break;
    case Op::CPY: compare(y, read(ea)); break;
    case Op::BIT: {
        const std::uint8_t value = read(ea);
        setFlag(Z, (a & value) == 0);
        setFlag(N, value & 0x80);
        setFlag(V, value & 0x40);
        break;
    }
    case Op::ASL:
        modify([&](std::uint8_t v) { setFlag(C, v & 0x80); return static_cast<std::uint8_t>(v << 1); });
        break;
    case Op::LSR:
        modify([&](std::uint8_t v) { setFlag(C, v & 0x01); return static_cast<std::uint8_t>(v >> 1); });
        break;
    case Op::ROL:
        modify([&](std::uint8_t v) {
            const bool carry = p & C;
            setFlag(C, v & 0x80);
            return static_cast<std::uint8_t>(v << 1 | (carry ? 1 : 0));
        });
        break;
    case Op::ROR:
        modify([&](std::uint8_t v) {
            const bool carry = p & C;
            setFlag(C, v & 0x01);
            return static_cast<std::uint8_t>(v >> 1 | (carry ? 0x80 : 0));
        });
        break;
    case Op::INC: modify([](std::uint8_t v) { return static_cast<std::uint8_t>(v + 1); }); break;
    case Op::DEC: modify([](std::uint8_t v) { return static_cast<std::uint8_t>(v - 1); }); break;
    case Op::LDA: a = read(ea); setNZ(a); break;
    case Op::LDX: x = read(ea); setNZ(x); break;
    case Op::LDY: y = read(ea); setNZ(y); break;
    case Op::STA: write(ea, a); break;
    case Op::STX: write(ea, x); break;
    case Op::STY: write(ea, y); break;
    case Op::BCC: branch(!(p & C)); break;
    case Op::BCS: branch(p & C); break;
    case Op::BNE: branch(!(p & Z)); break;
    case Op::BEQ: branch(p & Z); break;
    case Op::BPL: branch(!(p & N)); break;
    case Op::BMI: branch(p & N); break;
    case Op::BVC: branch(!(p & V)); break;
    case Op::BVS: branch(p & V); break;
    case Op::JMP: pc = ea; break;
    case Op::JSR: {
        const auto back = static_cast<std::uint16_t>(pc - 1);
        push(static_cast<std::uint8_t>(back >> 8));
        push(static_cast<std::uint8_t>(back));
        pc = ea;
        break;
    }
    case Op::RTS: {
        const std::uint8_t low = pull();
        pc = static_cast<std::uint16_t>((low | pull() << 8) + 1);
        break;
    }
    case Op::BRK: {
        const auto back = static_cast<std::uint16_t>(pc + 1);
        push(static_cast<std::uint8_t>(back >> 8));
        push(static_cast<std::uint8_t>(back));
        push(p | B | U);
        setFlag(I, true);
        pc = read16(0xFFFE);
        break;
    }
    case Op::RTI: {
        p = static_cast<std::uint8_t>((pull() & ~B) | U);
        const std::uint8_t low = pull();
        pc = static_cast<std::uint16_t>(low | pull() << 8);
        break;
    }
    case Op::PHA: push(a); break;
    case Op::PHP: push(p | B | U); break;
    case Op::PLA: a = pull(); setNZ(a); break;
    case Op::PLP: p = static_cast<std::uint8_t>((pull() & ~B) | U); break;
    case Op::CLC: setFlag(C, false); break;
    case Op::SEC: setFlag(C, true); break;
    case Op::CLI: setFlag(I, false); break;
    case Op::SEI: setFlag(I, true); break;
    case Op::CLV: setFlag(V, false); break;
    case Op::CLD: setFlag(D, false); break;
    case Op::SED: setFlag(D, true); break;
    case Op::TAX: x = a; setNZ(x); break;
    case Op::TAY: y = a; setNZ(y); break;
    case Op::TXA: a = x; setNZ(a); break;
    case Op::TYA: a = y; setNZ(a); break;
    case Op::TSX: x = sp; setNZ(x); break;
    case Op::TXS: sp = x; break;
    case Op::INX: ++x; setNZ(x); break;
    case Op::INY: ++y; setNZ(y); break;
    case Op::DEX: --x; setNZ(x); break;
    case Op::DEY: --y; setNZ(y); break;
    case Op::NOP: break;
    }
}

std::uint64_t Cpu6502::call(std::uint16_t address, std::uint64_t budget)
{
    if (defined_[kReturnTrap])
        fault("the return trap lies in loaded memory", kReturnTrap);
    const std::uint8_t stackBefore = sp;
    constexpr auto back = static_cast<std::uint16_t>(kReturnTrap - 1);
    push(static_cast<std::uint8_t>(back >> 8));
    push(static_cast<std::uint8_t>(back));
    pc = address;
    std::uint64_t count = 0;
    while (pc != kReturnTrap) {
        if (count == budget)
            fault("the routine called at " + hex(address, 4) + " has not returned after " + std::to_string(budget)
                      + " instructions",
                  pc);
        step();
        ++count;
    }
    if (sp != stackBefore)
        throw CpuFault("the routine called at " + hex(address, 4) + " returned with the stack pointer at "
                       + hex(sp, 2) + " instead of " + hex(stackBefore, 2));
    return count;
}

} // namespace exec
