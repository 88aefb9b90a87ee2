#include "atari.h"

#include <charconv>

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

bool hexWord(std::string_view text, std::uint16_t& value)
{
    unsigned parsed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed, 16);
    if (error != std::errc() || end != text.data() + text.size() || text.empty() || parsed > 0xFFFF)
        return false;
    value = static_cast<std::uint16_t>(parsed);
    return true;
}

} // namespace

std::string parseSap(std::string_view file, SapImage& image)
{
    if (!file.starts_with("SAP\r\n"))
        return "it does not begin with a SAP header";
    // The text lines end where the image's FF FF begins.
    std::size_t at = 0;
    for (;;) {
        if (ffffAt(file, at))
            break;
        const std::size_t end = file.find("\r\n", at);
        if (end == std::string_view::npos)
            return "its header has no end";
        const std::string_view line = file.substr(at, end - at);
        at = end + 2;
        const std::string_view key = line.substr(0, line.find(' '));
        const std::string_view value = line.size() > key.size() ? line.substr(key.size() + 1) : std::string_view();
        if (key == "TYPE" && value.size() == 1) {
            image.type = value[0];
        } else if (key == "INIT") {
            image.hasInit = hexWord(value, image.init);
        } else if (key == "PLAYER") {
            image.hasPlayer = hexWord(value, image.player);
        } else if (key == "MUSIC") {
            image.hasMusic = hexWord(value, image.music);
        } else if (key == "STEREO") {
            image.stereo = true;
        } else if (key == "FASTPLAY") {
            unsigned lines = 0;
            const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), lines);
            if (error != std::errc() || end != value.data() + value.size() || lines == 0 || lines > 312 * 4)
                return "its FASTPLAY line is not a count of scan lines";
            image.fastplay = lines;
        }
    }
    image.headerEnd = at;
    Segments segments = readSegments(file, at);
    image.segments = std::move(segments.list);
    switch (segments.problem) {
    case Segments::Problem::None: return "";
    case Segments::Problem::HeaderCut: return "its image ends inside a segment header";
    case Segments::Problem::EndsBeforeStart: return "a segment of its image ends before it starts";
    case Segments::Problem::RunsPastEnd: return "its image ends inside a segment";
    }
    return "";
}

Atari::Atari(const SapImage& image) : stereo_(image.stereo)
{
    for (const orvex::Segment& segment : image.segments) {
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
