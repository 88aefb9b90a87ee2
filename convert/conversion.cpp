#include "conversion.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

Converter::Converter(ConversionState& state, MainWindowLink& link, std::vector<std::string> playerFolders)
    : s(state), window(link), playerFolders_(std::move(playerFolders))
{
}

std::string Converter::playerPath(const char* fileName) const
{
    return locatePlayer(playerFolders_, fileName);
}

std::string locatePlayer(const std::vector<std::string>& folders, const std::string& fileName)
{
    std::string places;
    for (const std::string& folder : folders) {
        const std::string path = folder.empty() || folder.back() == '/' ? folder + fileName : folder + "/" + fileName;
        struct stat info {};
        if (folders.size() == 1 || ::lstat(path.c_str(), &info) == 0)
            return path;
        places += (places.empty() ? "" : " nor in ") + quoted(path);
    }
    throw ConversionError("Cannot read the player file " + quoted(fileName) + ": it is neither in " + places + ".");
}

namespace {

// Reads until `count` bytes are in or the file ends; returns the count read, or -1.
long readUpTo(int fd, std::uint8_t* into, std::size_t count)
{
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = ::read(fd, into + done, count - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<long>(done);
}

} // namespace

InputRead readInput(const std::string& role, const std::string& path, std::size_t skip, std::uint8_t* into,
                    std::size_t room)
{
    const auto cannotRead = [&](int error) {
        return ConversionError("Cannot read the " + role + " " + quoted(path) + ": " + std::strerror(error) + ".");
    };
    // Opened without waiting, so that a FIFO or a device cannot hold the program up.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw cannotRead(errno);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const int error = errno;
        ::close(fd);
        if (info.st_mode == 0)
            throw cannotRead(error);
        throw ConversionError("Cannot read the " + role + " " + quoted(path) + ": it is " + fileKind(info.st_mode)
                              + ", not a regular file.");
    }
    // O_NONBLOCK stays: it changes nothing for a regular file.

    std::uint8_t discard[512];
    long got = 0;
    while (skip > 0 && (got = readUpTo(fd, discard, std::min(skip, sizeof discard))) > 0)
        skip -= static_cast<std::size_t>(got);
    std::uint8_t more = 0;
    if (got >= 0)
        got = readUpTo(fd, into, room);
    // What lies beyond the room, counted by reading: the file may hold more than its
    // length says (or less).
    const long beyond = got == static_cast<long>(room) ? readUpTo(fd, &more, 1) : 0;
    const int error = errno;
    ::close(fd);
    if (got < 0 || beyond < 0)
        throw cannotRead(error ? error : EIO);
    return {static_cast<std::size_t>(got), beyond > 0, {role, path, info.st_dev, info.st_ino}};
}

PlayerCache::PlayerCache(std::vector<std::string> folders) : folders_(std::move(folders)) {}

const PlayerCache::Entry& PlayerCache::get(const std::string& fileName) const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto found = entries_.find(fileName);
    if (found != entries_.end())
        return found->second;
    Entry& entry = entries_[fileName];
    try {
        const std::string path = locatePlayer(folders_, fileName);
        entry.bytes.resize(kImageSize + 1);
        const InputRead read = readInput("player file", path, 0, entry.bytes.data(), kImageSize);
        entry.bytes.resize(read.count + (read.cut ? 1 : 0));
        entry.identity = read.identity;
    } catch (const ConversionError& e) {
        entry.bytes.clear();
        entry.error = e.what();
    } catch (...) {
        entries_.erase(fileName);  // out of memory: the next save reads the file again
        throw;
    }
    return entry;
}

void Converter::AppendFile(const std::string& path, std::size_t skip)
{
    const InputRead read = readInput(appendRole_, path, skip, s.ModuleImage.data() + s.imageEnd, kImageSize - s.imageEnd);
    s.inputs.push_back(read.identity);
    lastAppendCut_ = read.cut;
    s.imageEnd += read.count;
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
