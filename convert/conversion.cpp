#include "conversion.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace orvex {

ConversionState& processState()
{
    static ConversionState state;
    return state;
}

const std::array<FormatRow, kFormatCount> FormatTable{{
    {"cmc", &Converter::SaveCMC, 'C'},
    {"mpt", &Converter::SaveMPT, 'B'},
    {"md1", &Converter::SaveMD1, 'D'},
    {"tmc", &Converter::SaveTMC, 'B'},
    {"tm8", &Converter::SaveTMC, 'B'},
    {"com", &Converter::SaveCOM, 'B'},
}};

std::string extensionOf(const std::string& path)
{
    const auto dot = path.find_last_of('.');
    return dot == std::string::npos ? std::string() : path.substr(dot + 1);
}

std::string folderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string atariAddress(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "$%04X", value & 0xFFFF);
    return text;
}

bool equalsIgnoringCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

Converter::Converter(ConversionState& state, MainWindowLink& link, std::string playerFolder)
    : s(state), window(link), playerFolder_(std::move(playerFolder))
{
}

std::string Converter::playerPath(const char* fileName) const
{
    if (playerFolder_.empty())
        return fileName;
    if (playerFolder_.back() == '/')
        return playerFolder_ + fileName;
    return playerFolder_ + "/" + fileName;
}

void Converter::AppendFile(const std::string& path, std::size_t skip)
{
    lastAppendCut_ = false;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        throw ConversionError("Cannot read the " + appendRole_ + " \"" + path + "\": " + std::strerror(errno) + ".");

    auto failed = [&](int error) {
        std::fclose(file);
        return ConversionError("Cannot read the " + appendRole_ + " \"" + path + "\": "
                               + std::strerror(error ? error : EIO) + ".");
    };

    // Skip forward by reading, so that files without seeking behave alike.
    std::uint8_t discard[512];
    while (skip > 0) {
        const std::size_t got = std::fread(discard, 1, std::min(skip, sizeof discard), file);
        if (got == 0)
            break;
        skip -= got;
    }
    if (std::ferror(file))
        throw failed(errno);

    const std::size_t room = kImageSize - s.imageEnd;
    const std::size_t got = std::fread(s.ModuleImage.data() + s.imageEnd, 1, room, file);
    if (std::ferror(file))
        throw failed(errno);
    if (got == room && std::fgetc(file) != EOF)
        lastAppendCut_ = true;
    if (std::ferror(file))
        throw failed(errno);
    std::fclose(file);
    s.imageEnd += got;
}

void Converter::appendAs(const char* role, const std::string& path, std::size_t skip)
{
    appendRole_ = role;
    try {
        AppendFile(path, skip);
    } catch (...) {
        appendRole_ = "file";
        throw;
    }
    appendRole_ = "file";
}

} // namespace orvex
