#include "input.h"

#include "paths.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvex {

std::string imageBufferName() { return "the " + std::to_string(kImageSize) + "-byte buffer"; }

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

} // namespace orvex
