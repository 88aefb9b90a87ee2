#include "sap_loader.h"

#include <cstdio>

namespace exec {

namespace {

std::uint16_t parseAddress(const std::string& keyword, const std::string& value)
{
    unsigned result = 0;
    bool good = value.size() == 4;
    for (char c : value) {
        if (c >= '0' && c <= '9')
            result = result * 16 + static_cast<unsigned>(c - '0');
        else if (c >= 'A' && c <= 'F')
            result = result * 16 + static_cast<unsigned>(c - 'A' + 10);
        else
            good = false;
    }
    if (!good)
        throw SapLoadError(keyword + " is not a 4-digit hexadecimal address: \"" + value + "\"");
    return static_cast<std::uint16_t>(result);
}

int parseDecimal(const std::string& keyword, const std::string& value)
{
    if (value.empty() || value.size() > 5 || value.find_first_not_of("0123456789") != std::string::npos)
        throw SapLoadError(keyword + " is not a decimal number: \"" + value + "\"");
    return std::stoi(value);
}

std::string hex4(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "$%04X", value);
    return text;
}

void readLine(SapFile& sap, const std::string& line)
{
    sap.lines.push_back(line);
    const auto space = line.find(' ');
    const std::string keyword = line.substr(0, space);
    const std::string value = space == std::string::npos ? std::string() : line.substr(space + 1);
    if (keyword == "TYPE") {
        if (value.size() != 1)
            throw SapLoadError("TYPE is not one letter: \"" + value + "\"");
        sap.type = value[0];
    } else if (keyword == "INIT") {
        sap.init = parseAddress(keyword, value);
    } else if (keyword == "PLAYER") {
        sap.player = parseAddress(keyword, value);
    } else if (keyword == "MUSIC") {
        sap.music = parseAddress(keyword, value);
    } else if (keyword == "FASTPLAY") {
        sap.fastplay = parseDecimal(keyword, value);
    } else if (keyword == "STEREO") {
        sap.stereo = true;
    }
}

} // namespace

SapFile loadSap(const std::vector<std::uint8_t>& bytes, Cpu6502& cpu)
{
    SapFile sap;
    std::size_t at = 0;
    auto markerAt = [&](std::size_t i) { return i + 1 < bytes.size() && bytes[i] == 0xFF && bytes[i + 1] == 0xFF; };

    // The text header: lines ending in CR LF, up to the 0xFF 0xFF of the binary part.
    while (!markerAt(at)) {
        if (at >= bytes.size())
            throw SapLoadError("the file ends before its binary part");
        std::size_t end = at;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        if (end + 1 >= bytes.size() || bytes[end] != '\r' || bytes[end + 1] != '\n')
            throw SapLoadError("header line " + std::to_string(sap.lines.size() + 1) + " does not end in CR LF");
        readLine(sap, std::string(bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(end)));
        at = end + 2;
    }
    if (sap.lines.empty() || sap.lines.front() != "SAP")
        throw SapLoadError("the header does not begin with the line SAP");

    // The binary part: 0xFF 0xFF, then segments, each optionally led by 0xFF 0xFF.
    at += 2;
    while (at < bytes.size()) {
        if (markerAt(at))
            at += 2;
        if (bytes.size() - at < 4)
            throw SapLoadError("segment " + std::to_string(sap.segments.size() + 1) + " has a cut header");
        const unsigned start = bytes[at] | bytes[at + 1] << 8;
        const unsigned end = bytes[at + 2] | bytes[at + 3] << 8;
        at += 4;
        const std::string name = "segment " + std::to_string(sap.segments.size() + 1) + " " + hex4(start) + "-" + hex4(end);
        if (end < start)
            throw SapLoadError(name + " ends below its start");
        const std::size_t count = end - start + 1;
        if (count > bytes.size() - at)
            throw SapLoadError(name + " declares " + std::to_string(count) + " bytes but only "
                               + std::to_string(bytes.size() - at) + " follow");
        cpu.load(static_cast<std::uint16_t>(start), bytes.data() + at, count);
        sap.segments.push_back({static_cast<std::uint16_t>(start), static_cast<std::uint16_t>(end)});
        at += count;
    }
    if (sap.segments.empty())
        throw SapLoadError("the binary part holds no segment");
    return sap;
}

} // namespace exec
