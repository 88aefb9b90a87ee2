#include "sap_output.h"

#include "conversion.h"
#include "paths.h"
#include "safe_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <utility>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvex {

namespace {

std::string cannotWrite(const std::string& path, int error)
{
    return "Cannot write the SAP file " + quoted(path) + ": " + std::strerror(error) + ".";
}

} // namespace

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

std::string followLinks(const std::string& path, struct stat& info, bool& exists)
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
        resolved_ = followLinks(target, info, exists);
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
        if (placeLater_)
            return;
        if (const int error = writeAll(STDOUT_FILENO, data_))
            throw ConversionError(std::string("Cannot write the SAP file to standard output: ") + std::strerror(error) + ".");
        return;
    }
    auto written = std::make_unique<WrittenFile>(target_, resolved_, exists_);
    int error = 0;
    try {
        // A new file gets the permissions that creating it gives; a replaced one its own.
        written->file_ = std::make_unique<SafeFile>(written->folder(), exists_ ? 0600 : 0666);
        error = fill(written->file_->fd());
    } catch (const std::system_error& e) {
        error = e.code().value();
    }
    if (error)
        throw ConversionError(cannotWrite(target_, error));
    if (placeLater_) {
        written_ = std::move(written);
        return;
    }
    const std::string problem = written->place();
    if (!problem.empty())
        throw ConversionError(problem);
    (void)SafeFile::flushFolder(written->folder());  // the rename reaches the disk
}

int SapOutput::fill(int fd) const
{
    // The owner first: a change of owner may clear the mode's set-ID bits. Where the
    // process may not give the file its old owner, it keeps what it may.
    if (exists_) {
        if (::fchown(fd, owner_, group_) != 0)
            (void)::fchown(fd, static_cast<uid_t>(-1), group_);
        if (::fchmod(fd, mode_) != 0)
            return errno;
    }
    return writeAll(fd, data_);
}

void SapOutput::discard()
{
    open_ = false;
    data_.clear();
    written_.reset();
}

WrittenFile::WrittenFile(std::string target, std::string resolved, bool replacing)
    : target_(std::move(target)), resolved_(std::move(resolved)), replacing_(replacing)
{
}

WrittenFile::~WrittenFile() = default;

std::string WrittenFile::folder() const
{
    return folderOf(resolved_);
}

std::string WrittenFile::rewrite(const std::string& bytes)
{
    int error = ::ftruncate(file_->fd(), 0) == 0 && ::lseek(file_->fd(), 0, SEEK_SET) == 0 ? 0 : errno;
    if (!error)
        error = writeAll(file_->fd(), bytes);
    return error ? cannotWrite(target_, error) : "";
}

std::string WrittenFile::place()
{
    const int error = file_->place(resolved_, replacing_);
    return error ? cannotWrite(target_, error) : "";
}

} // namespace orvex
