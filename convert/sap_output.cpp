#include "sap_output.h"

#include "conversion.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <utility>
#include <vector>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvex {

namespace {

std::string cannotWrite(const std::string& path, int error)
{
    return "Cannot write the SAP file " + quoted(path) + ": " + std::strerror(error) + ".";
}

// The temporary files on disk, for removeTemporaryFiles(): a list that only grows, each
// entry holding its path from before its file may exist until after the file is gone
// or renamed, free for another file afterwards. A signal handler may walk it at any time.
enum State { kNothing, kNamed, kMaybeNamed };  // kMaybeNamed: if the path names the file open as fd
struct Entry {
    std::atomic<int> state{kNothing};
    std::atomic<int> fd{-1};
    char* path = nullptr;
    std::size_t room = 0;
    Entry* next = nullptr;
};
std::atomic<Entry*> entries{nullptr};
std::mutex freeMutex;  // guards what the signal handler never reads:
std::vector<Entry*> freeEntries;
std::vector<std::unique_ptr<char[]>> oldPaths;  // rooms outgrown, kept while a handler may read them

} // namespace

class TemporaryFile {
public:
    // An entry for "<folder>/.orvex-XXXXXX".
    explicit TemporaryFile(const std::string& folder) : pattern_(folder + "/.orvex-XXXXXX")
    {
        {
            const std::lock_guard<std::mutex> lock(freeMutex);
            if (!freeEntries.empty()) {
                entry_ = freeEntries.back();
                freeEntries.pop_back();
            } else {
                entry_ = new Entry;
                entry_->next = entries.load();
                entries = entry_;
            }
            if (entry_->room <= pattern_.size()) {
                if (entry_->path)
                    oldPaths.emplace_back(entry_->path);
                entry_->room = pattern_.size() + 1;
                entry_->path = new char[entry_->room];
            }
        }
        reset();
    }
    ~TemporaryFile()
    {
        if (entry_->state != kNothing)
            remove();
        const std::lock_guard<std::mutex> lock(freeMutex);
        freeEntries.push_back(entry_);
    }
    char* path() { return entry_->path; }

    // The pattern again, ready for mkstemp.
    void reset()
    {
        entry_->state = kNothing;
        std::memcpy(entry_->path, pattern_.c_str(), pattern_.size() + 1);
        entry_->state = kNamed;
        named_ = true;
    }
    // The file is open without a name: there is nothing to remove.
    void unnamed()
    {
        named_ = false;
        entry_->state = kNothing;
    }
    // Gives the file without a name open as `fd` a fresh name from the pattern. While
    // the link is being made, a signal handler removes the name only if it is this
    // file's: the name may be another file's, or the link may be made just before the
    // handler runs.
    bool link(int fd)
    {
        static thread_local std::mt19937 random(std::random_device{}());
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        char* suffix = path() + pattern_.size() - 6;
        entry_->fd = fd;
        for (int attempt = 0; attempt < 100; ++attempt) {
            for (int i = 0; i < 6; ++i)
                suffix[i] = "abcdefghijklmnopqrstuvwxyz0123456789"[random() % 36];
            entry_->state = kMaybeNamed;
            const bool linked = ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path(), AT_SYMLINK_FOLLOW) == 0;
            const int error = errno;
            entry_->state = linked ? kNamed : kNothing;
            if (linked)
                return named_ = true;
            if (error != EEXIST)
                break;
        }
        return false;
    }
    // After a failure: the file goes, if it has a name.
    void remove()
    {
        if (named_)
            ::unlink(path());
        renamed();
    }
    // The file has been renamed: nothing is left to remove.
    void renamed() { entry_->state = kNothing; }

private:
    std::string pattern_;
    Entry* entry_ = nullptr;
    bool named_ = false;
};

namespace {

// Writes all of `bytes`; returns 0 or the error.
int writeAll(int fd, const std::string& bytes)
{
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t count = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return count < 0 ? errno : EIO;
        done += static_cast<std::size_t>(count);
    }
    return 0;
}

// The file that `path` names once symbolic links are followed, and whether it exists
// (with its status in `info`).
std::string resolveLinks(const std::string& path, struct stat& info, bool& exists)
{
    std::string resolved = path;
    for (int hops = 0;; ++hops) {
        exists = ::lstat(resolved.c_str(), &info) == 0;
        if (!exists) {
            if (errno == ENOENT)
                return resolved;
            throw ConversionError(cannotWrite(path, errno));
        }
        if (!S_ISLNK(info.st_mode))
            return resolved;
        std::string link(4096, '\0');
        const ssize_t length = ::readlink(resolved.c_str(), link.data(), link.size());
        if (hops == 40 || length < 0)
            throw ConversionError(cannotWrite(path, length < 0 ? errno : ELOOP));
        link.resize(static_cast<std::size_t>(length));
        resolved = link.front() == '/' ? link : folderOf(resolved) + "/" + link;
    }
}

mode_t creationMask()
{
    static const mode_t mask = [] {
        const mode_t current = ::umask(0);
        ::umask(current);
        return current;
    }();
    return mask;
}

} // namespace

void SapOutput::open(const std::string& target, const std::vector<InputFile>& inputs)
{
    discard();
    if (target.empty())
        throw ConversionError("No name was given for the SAP file.");
    target_ = target;
    exists_ = false;
    if (!standardOutput_) {
        struct stat info {};
        bool exists = false;
        resolved_ = resolveLinks(target, info, exists);
        if (exists) {
            for (const InputFile& input : inputs) {
                if (input.device == info.st_dev && input.inode == info.st_ino)
                    throw ConversionError("The SAP file " + quoted(target) + " is the " + input.role + " "
                                          + quoted(input.path) + " that this save reads; it is left as it is.");
            }
            if (!S_ISREG(info.st_mode))
                throw ConversionError("Cannot write the SAP file " + quoted(target) + ": it is " + fileKind(info.st_mode)
                                      + ", not a regular file.");
            if (::faccessat(AT_FDCWD, resolved_.c_str(), W_OK, AT_EACCESS) != 0)
                throw ConversionError(cannotWrite(target, errno));
            exists_ = true;
            owner_ = info.st_uid;
            group_ = info.st_gid;
            mode_ = info.st_mode & 07777;
        }
    }
    data_.clear();
    open_ = true;
}

void SapOutput::write(const void* data, std::size_t length)
{
    data_.append(static_cast<const char*>(data), length);
}

void SapOutput::print(const char* format, ...)
{
    char line[256];
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    write(line, static_cast<std::size_t>(std::max(0, std::min<int>(length, sizeof line - 1))));
}

void SapOutput::commit()
{
    if (!open_)
        return;
    open_ = false;
    if (standardOutput_) {
        if (const int error = writeAll(STDOUT_FILENO, data_))
            throw ConversionError(std::string("Cannot write the SAP file to standard output: ") + std::strerror(error) + ".");
    } else {
        replaceTarget();
    }
}

int SapOutput::fill(int fd, bool flush) const
{
    // The owner first: a change of owner may clear the mode's set-ID bits. Where the
    // process may not give the file its old owner, it keeps what it may.
    if (exists_ && ::fchown(fd, owner_, group_) != 0)
        (void)::fchown(fd, static_cast<uid_t>(-1), group_);
    if (::fchmod(fd, exists_ ? mode_ : 0666 & ~creationMask()) != 0)
        return errno;
    if (const int error = writeAll(fd, data_))
        return error;
    return flush && ::fdatasync(fd) != 0 ? errno : 0;
}

void SapOutput::replaceTarget()
{
    const std::string folder = folderOf(resolved_);
    auto temporary = std::make_shared<TemporaryFile>(folder);
    int error = 0;
    // Where the file system can, the file has no name until it is complete, so that
    // not even a killed process leaves it behind; it is named only for the rename.
    int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd >= 0)
        temporary->unnamed();
    if (fd >= 0 && !(error = fill(fd, !deferred_)) && !temporary->link(fd)) {
        ::close(fd);
        fd = -1;
    }
    if (fd < 0) {
        temporary->reset();
        fd = ::mkstemp(temporary->path());
        if (fd < 0)
            throw ConversionError(cannotWrite(target_, errno));
        error = fill(fd, !deferred_);
    }
    if (!error && deferred_) {
        ::close(fd);
        pending_ = temporary;  // placed later, with the others of the batch
        return;
    }
    if (!error && ::rename(temporary->path(), resolved_.c_str()) != 0)
        error = errno;
    if (error)
        temporary->remove();
    else
        temporary->renamed();
    ::close(fd);
    if (error)
        throw ConversionError(cannotWrite(target_, error));
    // The rename reaches the disk with the folder.
    const int directory = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory >= 0) {
        ::fsync(directory);
        ::close(directory);
    }
}

PendingFile SapOutput::takePending()
{
    return {target_, resolved_, std::exchange(pending_, nullptr)};
}

std::vector<std::string> SapOutput::placeAll(std::vector<PendingFile>& files)
{
    // The files' data reaches the disk before any of them takes its target's place,
    // and the renames after: a crash leaves each target old or new, whole.
    std::map<dev_t, std::string> fileSystems;
    for (const PendingFile& file : files) {
        struct stat info {};
        if (::stat(folderOf(file.resolved).c_str(), &info) == 0)
            fileSystems.emplace(info.st_dev, folderOf(file.resolved));
    }
    const auto flush = [&] {
        for (const auto& [device, folder] : fileSystems) {
            const int directory = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (directory >= 0) {
                ::syncfs(directory);
                ::close(directory);
            }
        }
    };
    flush();
    std::vector<std::string> problems;
    for (PendingFile& file : files) {
        if (::rename(file.temporary->path(), file.resolved.c_str()) == 0) {
            problems.emplace_back();
            file.temporary->renamed();
        } else {
            problems.push_back(cannotWrite(file.target, errno));
            file.temporary->remove();
        }
        file.temporary.reset();
    }
    flush();
    return problems;
}

void SapOutput::discard()
{
    open_ = false;
    data_.clear();
}

void SapOutput::removeTemporaryFiles() noexcept
{
    for (Entry* e = entries.load(); e; e = e->next) {
        const int state = e->state;
        struct stat atPath {}, opened {};
        if (state == kNamed
            || (state == kMaybeNamed && ::fstatat(AT_FDCWD, e->path, &atPath, AT_SYMLINK_NOFOLLOW) == 0
                && ::fstat(e->fd, &opened) == 0 && atPath.st_dev == opened.st_dev && atPath.st_ino == opened.st_ino))
            ::unlink(e->path);
    }
}

} // namespace orvex
