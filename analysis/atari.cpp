#include "atari.h"

namespace orvex::sap {

namespace {

// The 8 bits of the 17-bit polynomial counter that RANDOM shows, for each of its steps.
const std::vector<std::uint8_t>& poly17()
{
    static const std::vector<std::uint8_t> bits = [] {
        std::vector<std::uint8_t> out(kPolySteps);
        unsigned reg = 0x1FFFF;
        for (std::uint8_t& byte : out) {
            byte = static_cast<std::uint8_t>(reg);
            reg = (reg >> 1) | ((((reg >> 3) ^ reg) & 1) << 16);  // x^17 + x^14 + 1
        }
        return out;
    }();
    return bits;
}

} // namespace

Atari::Atari(const SapFile& sap) : stereo_(sap.stereo)
{
    for (const orvex::Segment& segment : sap.segments) {
        for (std::size_t i = 0; i < segment.bytes.size(); ++i)
            memory[static_cast<std::uint16_t>(segment.start + i)] = Cell(static_cast<std::uint8_t>(segment.bytes[i]));
    }
    dirty.fill(~std::uint64_t{0});
}

std::uint8_t Atari::readIo(std::uint16_t address, std::uint64_t now)
{
    if ((address & 0xFF0F) == 0xD20A) {  // RANDOM of either chip
        readRandom = true;
        const auto& bits = poly17();
        return bits[now % bits.size()];
    }
    if (address == 0xD40B) {  // VCOUNT: the scan line, halved
        readVcount = true;
        return static_cast<std::uint8_t>(now / kCyclesPerLine % kLinesPerFrame / 2);
    }
    return peek(address);
}

unsigned Atari::writeIo(std::uint16_t address, std::uint8_t value, std::uint64_t now)
{
    if ((address & 0xFF00) == 0xD200 && (address & 0x0F) < kRegisters) {
        // A second chip at $D210 with STEREO; without it, POKEY shows every 16 bytes.
        pokey[stereo_ && (address & 0x10) ? 1 : 0][address & 0x0F] = value;
    } else if (address == 0xD40A) {  // WSYNC: on at the start of the next scan line
        return static_cast<unsigned>((kCyclesPerLine - (now + 4) % kCyclesPerLine) % kCyclesPerLine);
    }
    return 0;
}

} // namespace orvex::sap
