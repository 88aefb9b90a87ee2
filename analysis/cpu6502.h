#pragma once
// The NMOS 6502 as the Atari has it: the 151 documented opcodes with their exact cycle
// counts (a page crossed by an indexed read, a branch taken and one that crosses a page
// each cost a cycle more) and decimal-mode ADC and SBC as the chip computes them, flags
// included. No interrupts: a SAP player calls its routines directly.
//
// The memory is a Bus: `std::uint8_t read(std::uint16_t address, std::uint64_t now)` and
// `unsigned write(std::uint16_t address, std::uint8_t value, std::uint64_t now)`, `now`
// being the cycle count; a write returns the cycles it holds the CPU (WSYNC does).

#include <cstdint>

namespace orvex::sap {

enum Flag : std::uint8_t {
    kCarry = 0x01, kZero = 0x02, kInterrupt = 0x04, kDecimal = 0x08,
    kBreak = 0x10, kUnused = 0x20, kOverflow = 0x40, kNegative = 0x80,
};

// The cycles of each opcode, $00 to $FF, with no page crossed and no branch taken
// (0: not documented). An indexed read that crosses a page and a branch taken cost a
// cycle more, a branch taken to another page two.
inline constexpr std::uint8_t kBaseCycles[256] = {
    7, 6, 0, 0, 0, 3, 5, 0, 3, 2, 2, 0, 0, 4, 6, 0,  // $0x
    2, 5, 0, 0, 0, 4, 6, 0, 2, 4, 0, 0, 0, 4, 7, 0,  // $1x
    6, 6, 0, 0, 3, 3, 5, 0, 4, 2, 2, 0, 4, 4, 6, 0,  // $2x
    2, 5, 0, 0, 0, 4, 6, 0, 2, 4, 0, 0, 0, 4, 7, 0,  // $3x
    6, 6, 0, 0, 0, 3, 5, 0, 3, 2, 2, 0, 3, 4, 6, 0,  // $4x
    2, 5, 0, 0, 0, 4, 6, 0, 2, 4, 0, 0, 0, 4, 7, 0,  // $5x
    6, 6, 0, 0, 0, 3, 5, 0, 4, 2, 2, 0, 5, 4, 6, 0,  // $6x
    2, 5, 0, 0, 0, 4, 6, 0, 2, 4, 0, 0, 0, 4, 7, 0,  // $7x
    0, 6, 0, 0, 3, 3, 3, 0, 2, 0, 2, 0, 4, 4, 4, 0,  // $8x
    2, 6, 0, 0, 4, 4, 4, 0, 2, 5, 2, 0, 0, 5, 0, 0,  // $9x
    2, 6, 2, 0, 3, 3, 3, 0, 2, 2, 2, 0, 4, 4, 4, 0,  // $Ax
    2, 5, 0, 0, 4, 4, 4, 0, 2, 4, 2, 0, 4, 4, 4, 0,  // $Bx
    2, 6, 0, 0, 3, 3, 5, 0, 2, 2, 2, 0, 4, 4, 6, 0,  // $Cx
    2, 5, 0, 0, 0, 4, 6, 0, 2, 4, 0, 0, 0, 4, 7, 0,  // $Dx
    2, 6, 0, 0, 3, 3, 5, 0, 2, 2, 2, 0, 4, 4, 6, 0,  // $Ex
    2, 5, 0, 0, 0, 4, 6, 0, 2, 4, 0, 0, 0, 4, 7, 0,  // $Fx
};

template <typename Bus>
class Cpu6502 {
public:
    explicit Cpu6502(Bus& bus) : bus_(bus) {}

    std::uint8_t a = 0, x = 0, y = 0, s = 0xFF;
    std::uint8_t p = kUnused | kInterrupt;  // the break flag exists only on the stack
    std::uint16_t pc = 0;
    std::uint64_t cycles = 0;  // since the start

    // Runs one instruction. False for an opcode that is not documented (it jams, or does
    // what no program may rely on): nothing is run and `pc` stays on it.
    bool step();

    // Runs instructions until `pc` is `stop` (true) or `cycles` passes `limit`, or an
    // undocumented opcode comes (false; `pc` stays on it). The registers are kept in a
    // copy of this CPU meanwhile, which the compiler holds in its own registers.
    bool run(std::uint16_t stop, std::uint64_t limit)
    {
        Cpu6502 local(bus_);
        local.a = a, local.x = x, local.y = y, local.s = s, local.p = p, local.pc = pc, local.cycles = cycles;
        bool documented = true;
        while (local.pc != stop && local.cycles <= limit) {
            if (!local.stepInline()) {
                documented = false;
                break;
            }
        }
        a = local.a, x = local.x, y = local.y, s = local.s, p = local.p, pc = local.pc, cycles = local.cycles;
        return documented;
    }

private:
#define ORVEX_INLINE __attribute__((always_inline))
    bool stepInline();
    ORVEX_INLINE std::uint8_t read(std::uint16_t address) { return bus_.read(address, cycles); }
    ORVEX_INLINE void write(std::uint16_t address, std::uint8_t value) { cycles += bus_.write(address, value, cycles); }
    ORVEX_INLINE std::uint16_t word(std::uint16_t address) { return read(address) | read(address + 1) << 8; }
    ORVEX_INLINE std::uint8_t fetch() { return read(pc++); }
    ORVEX_INLINE std::uint16_t fetchWord()
    {
        const std::uint16_t value = word(pc);
        pc += 2;
        return value;
    }
    ORVEX_INLINE void push(std::uint8_t value) { write(0x0100 | s--, value); }
    ORVEX_INLINE std::uint8_t pull() { return read(0x0100 | ++s); }
    ORVEX_INLINE void setZN(std::uint8_t value) { p = (p & ~(kZero | kNegative)) | (value ? 0 : kZero) | (value & kNegative); }
    ORVEX_INLINE void setFlag(Flag flag, bool on) { p = on ? (p | flag) : (p & ~flag); }

    // Effective addresses; `extra` gains a cycle where an indexed read crosses a page.
    ORVEX_INLINE std::uint16_t zeroPage() { return fetch(); }
    ORVEX_INLINE std::uint16_t zeroPageIndexed(std::uint8_t index) { return (fetch() + index) & 0xFF; }
    ORVEX_INLINE std::uint16_t absolute() { return fetchWord(); }
    ORVEX_INLINE std::uint16_t absoluteIndexed(std::uint8_t index, unsigned& extra)
    {
        const std::uint16_t base = fetchWord(), address = base + index;
        extra += (base ^ address) >> 8 ? 1 : 0;
        return address;
    }
    ORVEX_INLINE std::uint16_t indexedIndirect()
    {
        const std::uint8_t pointer = fetch() + x;
        return read(pointer) | read(static_cast<std::uint8_t>(pointer + 1)) << 8;
    }
    ORVEX_INLINE std::uint16_t indirectIndexed(unsigned& extra)
    {
        const std::uint8_t pointer = fetch();
        const std::uint16_t base = read(pointer) | read(static_cast<std::uint8_t>(pointer + 1)) << 8;
        const std::uint16_t address = base + y;
        extra += (base ^ address) >> 8 ? 1 : 0;
        return address;
    }

    ORVEX_INLINE void adc(std::uint8_t value);
    ORVEX_INLINE void sbc(std::uint8_t value);
    ORVEX_INLINE void compare(std::uint8_t reg, std::uint8_t value)
    {
        setFlag(kCarry, reg >= value);
        setZN(static_cast<std::uint8_t>(reg - value));
    }
    ORVEX_INLINE std::uint8_t asl(std::uint8_t value)
    {
        setFlag(kCarry, value & 0x80);
        value <<= 1;
        setZN(value);
        return value;
    }
    ORVEX_INLINE std::uint8_t lsr(std::uint8_t value)
    {
        setFlag(kCarry, value & 0x01);
        value >>= 1;
        setZN(value);
        return value;
    }
    ORVEX_INLINE std::uint8_t rol(std::uint8_t value)
    {
        const bool carry = value & 0x80;
        value = static_cast<std::uint8_t>(value << 1 | (p & kCarry));
        setFlag(kCarry, carry);
        setZN(value);
        return value;
    }
    ORVEX_INLINE std::uint8_t ror(std::uint8_t value)
    {
        const bool carry = value & 0x01;
        value = static_cast<std::uint8_t>(value >> 1 | (p & kCarry) << 7);
        setFlag(kCarry, carry);
        setZN(value);
        return value;
    }
    ORVEX_INLINE std::uint8_t increment(std::uint8_t value)
    {
        setZN(++value);
        return value;
    }
    ORVEX_INLINE std::uint8_t decrement(std::uint8_t value)
    {
        setZN(--value);
        return value;
    }
    ORVEX_INLINE void bit(std::uint8_t value)
    {
        p = (p & ~(kZero | kOverflow | kNegative)) | (value & (kOverflow | kNegative)) | ((a & value) ? 0 : kZero);
    }
    // A branch's cycles, its opcode's `Cost`: 1 more when taken, 2 more to another page.
    template <unsigned Cost>
    ORVEX_INLINE unsigned branch(bool taken)
    {
        const auto offset = static_cast<std::int8_t>(fetch());
        if (!taken)
            return Cost;
        const std::uint16_t target = pc + offset;
        const unsigned cost = (target ^ pc) >> 8 ? Cost + 2 : Cost + 1;
        pc = target;
        return cost;
    }

    Bus& bus_;
#undef ORVEX_INLINE
};

template <typename Bus>
inline void Cpu6502<Bus>::adc(std::uint8_t value)
{
    const unsigned carry = p & kCarry;
    if (!(p & kDecimal)) {
        const unsigned sum = a + value + carry;
        setFlag(kOverflow, ~(a ^ value) & (a ^ sum) & 0x80);
        setFlag(kCarry, sum > 0xFF);
        a = static_cast<std::uint8_t>(sum);
        setZN(a);
        return;
    }
    // Decimal: Z from the binary sum; N and V from the sum after the low digit's
    // correction; C from the sum after both corrections.
    unsigned low = (a & 0x0F) + (value & 0x0F) + carry;
    if (low >= 0x0A)
        low = ((low + 0x06) & 0x0F) + 0x10;
    unsigned sum = (a & 0xF0) + (value & 0xF0) + low;
    const int signedSum = static_cast<std::int8_t>(a & 0xF0) + static_cast<std::int8_t>(value & 0xF0) + static_cast<int>(low);
    setFlag(kZero, ((a + value + carry) & 0xFF) == 0);
    setFlag(kNegative, sum & 0x80);
    setFlag(kOverflow, signedSum < -128 || signedSum > 127);
    if (sum >= 0xA0)
        sum += 0x60;
    setFlag(kCarry, sum >= 0x100);
    a = static_cast<std::uint8_t>(sum);
}

template <typename Bus>
inline void Cpu6502<Bus>::sbc(std::uint8_t value)
{
    const int borrow = (p & kCarry) ? 0 : 1;
    const int difference = a - value - borrow;
    // The flags are those of the binary subtraction, also in decimal mode.
    setFlag(kOverflow, (a ^ value) & (a ^ difference) & 0x80);
    setFlag(kCarry, difference >= 0);
    setZN(static_cast<std::uint8_t>(difference));
    if (!(p & kDecimal)) {
        a = static_cast<std::uint8_t>(difference);
        return;
    }
    int low = (a & 0x0F) - (value & 0x0F) - borrow;
    if (low < 0)
        low = ((low - 0x06) & 0x0F) - 0x10;
    int result = (a & 0xF0) - (value & 0xF0) + low;
    if (result < 0)
        result -= 0x60;
    a = static_cast<std::uint8_t>(result);
}

template <typename Bus>
bool Cpu6502<Bus>::step()
{
    return stepInline();
}

template <typename Bus>
inline __attribute__((always_inline)) bool Cpu6502<Bus>::stepInline()
{
    const std::uint16_t at = pc;
    const std::uint8_t opcode = fetch();
    unsigned cost = 0, extra = 0;  // the opcode's cycles; and those that a page crossed adds
    std::uint16_t address = 0;

// The case of an opcode, whose cycles the table gives (a constant in each case); a branch's
#define OP(code) case code: cost = kBaseCycles[code];
#define BRANCH(code, condition) case code: cost = branch<kBaseCycles[code]>(condition); break;

// A read instruction in its addressing modes: the operand `value`, then `body`.
#define READ_MODES(imm, zp, zpx, abs, absx, absy, indx, indy, body)                                                     \
    OP(imm) { const std::uint8_t value = fetch(); body; break; }                                                        \
    OP(zp) { const std::uint8_t value = read(zeroPage()); body; break; }                                                \
    OP(zpx) { const std::uint8_t value = read(zeroPageIndexed(x)); body; break; }                                       \
    OP(abs) { const std::uint8_t value = read(absolute()); body; break; }                                               \
    OP(absx) { const std::uint8_t value = read(absoluteIndexed(x, extra)); body; break; }                               \
    OP(absy) { const std::uint8_t value = read(absoluteIndexed(y, extra)); body; break; }                               \
    OP(indx) { const std::uint8_t value = read(indexedIndirect()); body; break; }                                       \
    OP(indy) { const std::uint8_t value = read(indirectIndexed(extra)); body; break; }
// A read-modify-write instruction in its four modes in memory (abs,X with no cycle more
// across a page)...
#define MEMORY_MODES(zp, zpx, abs, absx, operation)                                                                     \
    OP(zp) address = zeroPage(); write(address, operation(read(address))); break;                                       \
    OP(zpx) address = zeroPageIndexed(x); write(address, operation(read(address))); break;                              \
    OP(abs) address = absolute(); write(address, operation(read(address))); break;                                      \
    OP(absx) address = absoluteIndexed(x, extra); extra = 0; write(address, operation(read(address))); break;
// ... and one on the accumulator too.
#define MODIFY_MODES(acc, zp, zpx, abs, absx, operation)                                                                \
    OP(acc) a = operation(a); break;                                                                                    \
    MEMORY_MODES(zp, zpx, abs, absx, operation)

    switch (opcode) {
        READ_MODES(0x69, 0x65, 0x75, 0x6D, 0x7D, 0x79, 0x61, 0x71, adc(value))
        READ_MODES(0x29, 0x25, 0x35, 0x2D, 0x3D, 0x39, 0x21, 0x31, a &= value; setZN(a))
        READ_MODES(0xC9, 0xC5, 0xD5, 0xCD, 0xDD, 0xD9, 0xC1, 0xD1, compare(a, value))
        READ_MODES(0x49, 0x45, 0x55, 0x4D, 0x5D, 0x59, 0x41, 0x51, a ^= value; setZN(a))
        READ_MODES(0xA9, 0xA5, 0xB5, 0xAD, 0xBD, 0xB9, 0xA1, 0xB1, a = value; setZN(a))
        READ_MODES(0x09, 0x05, 0x15, 0x0D, 0x1D, 0x19, 0x01, 0x11, a |= value; setZN(a))
        READ_MODES(0xE9, 0xE5, 0xF5, 0xED, 0xFD, 0xF9, 0xE1, 0xF1, sbc(value))
        MODIFY_MODES(0x0A, 0x06, 0x16, 0x0E, 0x1E, asl)
        MODIFY_MODES(0x4A, 0x46, 0x56, 0x4E, 0x5E, lsr)
        MODIFY_MODES(0x2A, 0x26, 0x36, 0x2E, 0x3E, rol)
        MODIFY_MODES(0x6A, 0x66, 0x76, 0x6E, 0x7E, ror)
#undef READ_MODES
#undef MODIFY_MODES

    // Loads and stores of X and Y
    OP(0xA2) x = fetch(); setZN(x); break;
    OP(0xA6) x = read(zeroPage()); setZN(x); break;
    OP(0xB6) x = read(zeroPageIndexed(y)); setZN(x); break;
    OP(0xAE) x = read(absolute()); setZN(x); break;
    OP(0xBE) x = read(absoluteIndexed(y, extra)); setZN(x); break;
    OP(0xA0) y = fetch(); setZN(y); break;
    OP(0xA4) y = read(zeroPage()); setZN(y); break;
    OP(0xB4) y = read(zeroPageIndexed(x)); setZN(y); break;
    OP(0xAC) y = read(absolute()); setZN(y); break;
    OP(0xBC) y = read(absoluteIndexed(x, extra)); setZN(y); break;
    OP(0x85) write(zeroPage(), a); break;
    OP(0x95) write(zeroPageIndexed(x), a); break;
    OP(0x8D) write(absolute(), a); break;
    OP(0x9D) write(absoluteIndexed(x, extra), a); extra = 0; break;
    OP(0x99) write(absoluteIndexed(y, extra), a); extra = 0; break;
    OP(0x81) write(indexedIndirect(), a); break;
    OP(0x91) write(indirectIndexed(extra), a); extra = 0; break;
    OP(0x86) write(zeroPage(), x); break;
    OP(0x96) write(zeroPageIndexed(y), x); break;
    OP(0x8E) write(absolute(), x); break;
    OP(0x84) write(zeroPage(), y); break;
    OP(0x94) write(zeroPageIndexed(x), y); break;
    OP(0x8C) write(absolute(), y); break;

    // Compares of X and Y, BIT
    OP(0xE0) compare(x, fetch()); break;
    OP(0xE4) compare(x, read(zeroPage())); break;
    OP(0xEC) compare(x, read(absolute())); break;
    OP(0xC0) compare(y, fetch()); break;
    OP(0xC4) compare(y, read(zeroPage())); break;
    OP(0xCC) compare(y, read(absolute())); break;
    OP(0x24) bit(read(zeroPage())); break;
    OP(0x2C) bit(read(absolute())); break;

    // Increments and decrements
        MEMORY_MODES(0xE6, 0xF6, 0xEE, 0xFE, increment)
        MEMORY_MODES(0xC6, 0xD6, 0xCE, 0xDE, decrement)
#undef MEMORY_MODES
    OP(0xE8) setZN(++x); break;
    OP(0xC8) setZN(++y); break;
    OP(0xCA) setZN(--x); break;
    OP(0x88) setZN(--y); break;

    // Transfers and the stack
    OP(0xAA) x = a; setZN(x); break;
    OP(0xA8) y = a; setZN(y); break;
    OP(0x8A) a = x; setZN(a); break;
    OP(0x98) a = y; setZN(a); break;
    OP(0xBA) x = s; setZN(x); break;
    OP(0x9A) s = x; break;
    OP(0x48) push(a); break;
    OP(0x08) push(p | kBreak | kUnused); break;
    OP(0x68) a = pull(); setZN(a); break;
    OP(0x28) p = (pull() | kUnused) & ~kBreak; break;

    // Flags
    OP(0x18) p &= ~kCarry; break;
    OP(0x38) p |= kCarry; break;
    OP(0x58) p &= ~kInterrupt; break;
    OP(0x78) p |= kInterrupt; break;
    OP(0xD8) p &= ~kDecimal; break;
    OP(0xF8) p |= kDecimal; break;
    OP(0xB8) p &= ~kOverflow; break;
    OP(0xEA) break;

    // Branches, jumps, calls
    BRANCH(0x10, !(p & kNegative))
    BRANCH(0x30, p & kNegative)
    BRANCH(0x50, !(p & kOverflow))
    BRANCH(0x70, p & kOverflow)
    BRANCH(0x90, !(p & kCarry))
    BRANCH(0xB0, p & kCarry)
    BRANCH(0xD0, !(p & kZero))
    BRANCH(0xF0, p & kZero)
    OP(0x4C) pc = absolute(); break;
    OP(0x6C) {
        // The pointer's high byte comes from the start of its page when it lies at $xxFF.
        const std::uint16_t pointer = absolute();
        pc = read(pointer) | read((pointer & 0xFF00) | ((pointer + 1) & 0xFF)) << 8;
        break;
    }
    OP(0x20) {
        const std::uint16_t target = absolute();
        push(static_cast<std::uint8_t>((pc - 1) >> 8));
        push(static_cast<std::uint8_t>(pc - 1));
        pc = target;
        break;
    }
    OP(0x60) pc = pull(); pc |= pull() << 8; ++pc; break;
    OP(0x40) p = (pull() | kUnused) & ~kBreak; pc = pull(); pc |= pull() << 8; break;
    OP(0x00)
        ++pc;  // the byte after BRK is skipped
        push(static_cast<std::uint8_t>(pc >> 8));
        push(static_cast<std::uint8_t>(pc));
        push(p | kBreak | kUnused);
        p |= kInterrupt;
        pc = word(0xFFFE);
        break;

    default:
        pc = at;
        return false;
    }
#undef OP
#undef BRANCH
    cycles += cost + extra;
    return true;
}

} // namespace orvex::sap
