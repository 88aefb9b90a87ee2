#include "safe_file.h"

#include "paths.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <system_error>
#include <utility>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvex {

namespace {

// A name in the registry
struct Entry {
    std::string path;
    int fd;
    Entry* previous = nullptr;
    Entry* next = nullptr;
};

// The registry: every name that a file has on disk, from just before it may exist until
// it is removed or renamed.
std::mutex registryMutex;
Entry* names = nullptr;
bool stopping = false;

void enter(Entry* entry)
{
    entry->next = names;
    if (names)
        names->previous = entry;
    names = entry;
}

void leave(Entry* entry)
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

std::string cannotWrite(const std::string& kind, const std::string& path, int error)
{
    return "Cannot write the " + kind + " " + quoted(path) + ": " + std::strerror(error) + ".";
}

std::string procPath(int fd)
{
    return "/proc/self/fd/" + std::to_string(fd);
}

} // namespace

// The new file: without a name, or with one in the registry, until it takes its place.
class SafeFile::Unplaced {
public:
    // A new file in `folder` with the permissions `mode` less the process's umask;
    // throws std::system_error when it cannot be made.
    Unplaced(const std::string& folder, mode_t mode);
    ~Unplaced()
    {
        dropName();
        if (fd_ >= 0)
            ::close(fd_);
    }
    Unplaced(const Unplaced&) = delete;
    Unplaced& operator=(const Unplaced&) = delete;

    int fd() const { return fd_; }
    // Flushes the data, checks the flush and puts the file in place of `target`, which
    // `replacing` says exists. Returns 0, or the error; the target is then as it was and
    // the file has no name.
    int place(const std::string& target, bool replacing);

private:
    int name();
    void dropName();
    // The name leaves the registry; with `remove`, also the disk.
    void leaveRegistry(bool remove);

    std::string folder_;
    int fd_ = -1;
    Entry* entry_ = nullptr;  // while the file has a name
};

SafeFile::Unplaced::Unplaced(const std::string& folder, mode_t mode) : folder_(folder)
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

int SafeFile::Unplaced::name()
{
    auto entry = std::make_unique<Entry>();
    entry->fd = fd_;
    const std::string self = procPath(fd_);
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

void SafeFile::Unplaced::leaveRegistry(bool remove)
{
    {
        const std::lock_guard<std::mutex> lock(registryMutex);
        if (remove)
            ::unlink(entry_->path.c_str());
        leave(entry_);
    }
    delete entry_;
    entry_ = nullptr;
}

void SafeFile::Unplaced::dropName()
{
    if (entry_)
        leaveRegistry(true);
}

int SafeFile::Unplaced::place(const std::string& target, bool replacing)
{
    if (::fdatasync(fd_) != 0) {
        const int error = errno;
        dropName();
        return error;
    }
    // A new target is the file's first name: there is nothing to rename.
    if (!entry_ && !replacing) {
        if (::linkat(AT_FDCWD, procPath(fd_).c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return 0;
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
    leaveRegistry(false);
    return 0;
}

// ------------------------------------------------------------------ the save's life

SafeFile::SafeFile(const std::string& target, const std::vector<InputFile>& inputs, const char* kind)
    : target_(target), kind_(kind)
{
    if (target.empty())
        throw ConversionError("No name was given for the " + kind_ + ".");
    struct stat info {};
    resolved_ = followLinks(target, info, exists_, kind_);
    if (!exists_)
        return;
    for (const InputFile& input : inputs) {
        if (input.device == info.st_dev && input.inode == info.st_ino)
            throw ConversionError("The " + kind_ + " " + quoted(target) + " is the " + input.role + " " + quoted(input.path)
                                  + " that this save reads; it is left as it is.");
    }
    if (!S_ISREG(info.st_mode))
        throw ConversionError("Cannot write the " + kind_ + " " + quoted(target) + ": it is " + fileKind(info.st_mode)
                              + ", not a regular file.");
    if (::faccessat(AT_FDCWD, resolved_.c_str(), W_OK, AT_EACCESS) != 0)
        throw ConversionError(cannotWrite(kind_, target, errno));
    owner_ = info.st_uid;
    group_ = info.st_gid;
    mode_ = info.st_mode & 07777;
}

SafeFile::SafeFile(StandardOutput) : standardOutput_(true) {}
SafeFile::SafeFile(SafeFile&&) noexcept = default;
SafeFile& SafeFile::operator=(SafeFile&&) noexcept = default;
SafeFile::~SafeFile() = default;

std::string SafeFile::folder() const
{
    return folderOf(resolved_);
}

void SafeFile::write(const std::string& bytes)
{
    if (standardOutput_) {
        if (const int error = writeAll(STDOUT_FILENO, bytes))
            throw ConversionError(std::string("Cannot write the SAP file to standard output: ") + std::strerror(error) + ".");
        return;
    }
    int error = 0;
    try {
        // A new file gets the permissions that creating it gives; a replaced one its own.
        file_ = std::make_unique<Unplaced>(folder(), exists_ ? 0600 : 0666);
        // The owner first: a change of owner may clear the mode's set-ID bits. Where the
        // process may not give the file its old owner, it keeps what it may.
        if (exists_ && ::fchown(file_->fd(), owner_, group_) != 0)
            (void)::fchown(file_->fd(), static_cast<uid_t>(-1), group_);
        error = exists_ && ::fchmod(file_->fd(), mode_) != 0 ? errno : writeAll(file_->fd(), bytes);
    } catch (const std::system_error& e) {
        error = e.code().value();
    }
    if (error) {
        file_.reset();
        throw ConversionError(cannotWrite(kind_, target_, error));
    }
}

void SafeFile::commit(Folder folder)
{
    if (standardOutput_ || !file_)
        return;
    const int error = file_->place(resolved_, exists_);
    file_.reset();
    if (error)
        throw ConversionError(cannotWrite(kind_, target_, error));
    if (folder == Folder::Later)
        return;
    if (const int flush = flushFolder(this->folder()))
        throw ConversionError(folderNotFlushed(this->folder(), flush, "the " + kind_ + " " + quoted(target_)));
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

std::string folderNotFlushed(const std::string& folder, int error, const std::string& what)
{
    return "Cannot flush the folder " + quoted(folder) + " to disk: " + std::strerror(error) + "; " + what
           + " put there may not survive a crash.";
}

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

std::string followLinks(const std::string& path, struct stat& info, bool& exists, const std::string& kind)
{
    std::string resolved = path;
    for (int hops = 0;; ++hops) {
        exists = ::lstat(resolved.c_str(), &info) == 0;
        if (!exists) {
            if (errno == ENOENT)
                return resolved;
            throw ConversionError(cannotWrite(kind, path, errno));
        }
        if (!S_ISLNK(info.st_mode))
            return resolved;
        std::string link(4096, '\0');
        const ssize_t length = ::readlink(resolved.c_str(), link.data(), link.size());
        if (hops == 40 || length < 0)
            throw ConversionError(cannotWrite(kind, path, length < 0 ? errno : ELOOP));
        link.resize(static_cast<std::size_t>(length));
        resolved = link.front() == '/' ? link : folderOf(resolved) + "/" + link;
    }
}

} // namespace orvex
