#include "sap_output.h"

#include "conversion.h"

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvex {

namespace {

std::string baseNameOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Permissions for the new file: those of the file it replaces, else the usual ones.
mode_t modeFor(const std::string& target)
{
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0 && S_ISREG(info.st_mode))
        return info.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

std::string cannotWrite(const std::string& path, int error)
{
    return "Cannot write the SAP file \"" + path + "\": " + std::strerror(error) + ".";
}

} // namespace

void SapOutput::open(const std::string& target)
{
    discard();
    if (target.empty())
        throw ConversionError("No name was given for the SAP file.");
    std::string pattern = folderOf(target) + "/." + baseNameOf(target) + ".orvex-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        throw ConversionError(cannotWrite(target, errno));
    ::fchmod(fd, modeFor(target));
    file_ = ::fdopen(fd, "wb");
    if (!file_) {
        const int error = errno;
        ::close(fd);
        ::unlink(pattern.c_str());
        throw ConversionError(cannotWrite(target, error));
    }
    target_ = target;
    temporary_ = pattern;
    written_ = 0;
}

void SapOutput::fail(int error)
{
    const std::string target = target_;
    discard();
    throw ConversionError(cannotWrite(target, error ? error : EIO));
}

void SapOutput::write(const void* data, std::size_t length)
{
    if (length && std::fwrite(data, 1, length, file_) != length)
        fail(errno);
    written_ += length;
}

void SapOutput::print(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    if (length < 0) {
        va_end(again);
        fail(EINVAL);
    }
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, again);
    va_end(again);
    write(text.data(), static_cast<std::size_t>(length));
}

void SapOutput::commit()
{
    if (std::fflush(file_) != 0)
        fail(errno);
    std::FILE* file = file_;
    file_ = nullptr;
    if (std::fclose(file) != 0) {
        const int error = errno;
        ::unlink(temporary_.c_str());
        temporary_.clear();
        throw ConversionError(cannotWrite(target_, error));
    }
    if (std::rename(temporary_.c_str(), target_.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary_.c_str());
        temporary_.clear();
        throw ConversionError(cannotWrite(target_, error));
    }
    temporary_.clear();
}

void SapOutput::discard()
{
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
}

} // namespace orvex
