#include "safe_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <random>
#include <system_error>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvex {

struct SafeFile::Entry {
    std::string path;
    int fd;
    Entry* previous = nullptr;
    Entry* next = nullptr;
};

namespace {

// The registry: every name that a file has on disk, from just before it may exist until
// it is removed or renamed.
std::mutex registryMutex;
SafeFile::Entry* names = nullptr;
bool stopping = false;

void enter(SafeFile::Entry* entry)
{
    entry->next = names;
    if (names)
        names->previous = entry;
    names = entry;
}

void leave(SafeFile::Entry* entry)
{
    (entry->previous ? entry->previous->next : names) = entry->next;
    if (entry->next)
        entry->next->previous = entry->previous;
}

// A file without a name is named for its rename through /proc/self/fd.
bool canName()
{
    static const bool proc = ::access("/proc/self/fd", X_OK) == 0;
    return proc;
}

// The process's umask, read without changing it: threads may be creating files.
mode_t creationMask()
{
    static const mode_t mask = [] {
        std::FILE* status = std::fopen("/proc/self/status", "re");
        unsigned value = 022;
        char line[256];
        while (status && std::fgets(line, sizeof line, status)) {
            if (std::sscanf(line, "Umask: %o", &value) == 1)
                break;
        }
        if (status)
            std::fclose(status);
        return static_cast<mode_t>(value);
    }();
    return mask;
}

std::string freshName(const std::string& folder)
{
    static thread_local std::mt19937 random(std::random_device{}());
    std::string path = folder + "/.orvex-XXXXXX";
    for (std::size_t i = path.size() - 6; i < path.size(); ++i)
        path[i] = "abcdefghijklmnopqrstuvwxyz0123456789"[random() % 36];
    return path;
}

} // namespace

SafeFile::SafeFile(const std::string& folder, mode_t mode) : folder_(folder)
{
    if (canName())
        fd_ = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (fd_ >= 0)
        return;
    // No file without a name here: the file is named while it is written.
    auto entry = std::make_unique<Entry>();
    const std::lock_guard<std::mutex> lock(registryMutex);
    if (stopping)
        throw std::system_error(ECANCELED, std::generic_category());
    entry->path = folder + "/.orvex-XXXXXX";
    fd_ = ::mkostemp(entry->path.data(), O_CLOEXEC);
    if (fd_ < 0)
        throw std::system_error(errno, std::generic_category());
    if (::fchmod(fd_, mode & ~creationMask()) != 0) {
        const int error = errno;
        ::unlink(entry->path.c_str());
        ::close(fd_);
        throw std::system_error(error, std::generic_category());
    }
    entry->fd = fd_;
    entry_ = entry.release();
    enter(entry_);
}

SafeFile::~SafeFile()
{
    dropName();
    if (fd_ >= 0)
        ::close(fd_);
}

int SafeFile::name()
{
    auto entry = std::make_unique<Entry>();
    entry->fd = fd_;
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    const std::lock_guard<std::mutex> lock(registryMutex);
    if (stopping)
        return ECANCELED;
    for (int attempt = 0; attempt < 100; ++attempt) {
        entry->path = freshName(folder_);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, entry->path.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            entry_ = entry.release();
            enter(entry_);
            return 0;
        }
        if (errno != EEXIST)
            return errno;
    }
    return EEXIST;
}

void SafeFile::dropName()
{
    if (!entry_)
        return;
    {
        const std::lock_guard<std::mutex> lock(registryMutex);
        ::unlink(entry_->path.c_str());
        leave(entry_);
    }
    delete entry_;
    entry_ = nullptr;
}

int SafeFile::place(const std::string& target, bool replacing)
{
    if (::fdatasync(fd_) != 0) {
        const int error = errno;
        dropName();
        return error;
    }
    // A new target is the file's first name: there is nothing to rename.
    if (!entry_ && !replacing) {
        if (::linkat(AT_FDCWD, ("/proc/self/fd/" + std::to_string(fd_)).c_str(), AT_FDCWD, target.c_str(),
                     AT_SYMLINK_FOLLOW) == 0) {
            ::close(fd_);
            fd_ = -1;
            return 0;
        }
        if (errno != EEXIST)
            return errno;
    }
    int error = entry_ ? 0 : name();
    if (!error && ::rename(entry_->path.c_str(), target.c_str()) != 0)
        error = errno;
    if (error) {
        dropName();
        return error;
    }
    {
        const std::lock_guard<std::mutex> lock(registryMutex);
        leave(entry_);
    }
    delete entry_;
    entry_ = nullptr;
    ::close(fd_);
    fd_ = -1;
    return 0;
}

int SafeFile::flushFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    // A file system that cannot flush a folder (EINVAL) has nothing to flush.
    const int error = ::fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
    ::close(fd);
    return error;
}

void SafeFile::removeAllNames() noexcept
{
    const std::lock_guard<std::mutex> lock(registryMutex);
    stopping = true;
    for (Entry* entry = names; entry; entry = entry->next) {
        // A name whose file was renamed a moment ago may be another file's by now.
        struct stat atPath {}, opened {};
        if (::fstatat(AT_FDCWD, entry->path.c_str(), &atPath, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(entry->fd, &opened) == 0
            && atPath.st_dev == opened.st_dev && atPath.st_ino == opened.st_ino)
            ::unlink(entry->path.c_str());
    }
}

} // namespace orvex
