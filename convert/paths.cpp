#include "paths.h"

#include <cctype>
#include <cstdio>
#include <sys/stat.h>

namespace orvex {

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

std::string derivedSapPath(const std::string& modulePath)
{
    return modulePath.size() >= 4 ? modulePath.substr(0, modulePath.size() - 4) + ".SAP" : ".SAP";
}

std::string quoted(const std::string& path)
{
    std::string shown = "\"";
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '\n' || byte == '\r' || byte == '\t') {
            shown += byte == '\n' ? "\\n" : byte == '\r' ? "\\r" : "\\t";
        } else if (byte < 0x20 || byte == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            shown += escaped;
        } else {
            shown += c;
        }
    }
    return shown + "\"";
}

std::string fileKind(unsigned mode)
{
    return S_ISDIR(mode) ? "a folder" : S_ISFIFO(mode) ? "a FIFO" : S_ISSOCK(mode) ? "a socket"
           : S_ISCHR(mode) || S_ISBLK(mode)        ? "a device"
                                                   : "a special file";
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

} // namespace orvex
