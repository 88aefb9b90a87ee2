#include "console.h"

#include "conversion.h"
#include "paths.h"

#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace cli {

Console::Console(std::size_t total) : total_(total), progress_(::isatty(STDERR_FILENO) != 0 && total != 1) {}

bool Console::put(const char* text, std::size_t length, bool last)
{
    while (length > 0 && !broken_ && (!closed_ || last)) {
        const ssize_t count = ::write(STDERR_FILENO, text, length);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            broken_ = true;
        else
            text += count, length -= static_cast<std::size_t>(count);
    }
    return !broken_;
}

void Console::clearProgress()
{
    if (shown_)
        put("\r\033[K", 4);
    shown_ = false;
}

bool Console::say(const std::vector<std::string>& lines, const std::string* done)
{
    std::string text;
    for (const std::string& line : lines)
        text += "orvex-convert: " + line + "\n";
    const std::lock_guard<std::mutex> lock(mutex_);
    clearProgress();
    put(text.data(), text.size());
    if (done) {
        ++done_;
        if (progress_) {
            char count[64];
            const std::size_t toRead = foldersToRead_ ? foldersToRead_() : 0;
            if (total_ > 1)
                std::snprintf(count, sizeof count, "[%zu/%zu] ", done_, total_);
            else if (toRead > 0)
                std::snprintf(count, sizeof count,
                              toRead == 1 ? "[%zu done, %zu folder to read] " : "[%zu done, %zu folders to read] ", done_, toRead);
            else
                std::snprintf(count, sizeof count, "[%zu done] ", done_);
            const std::string line = count + orvex::quoted(*done);
            put(line.data(), line.size());
            shown_ = true;
        }
    }
    return !broken_;
}

bool Console::sayPlainly(const char* before, std::string_view text, const char* after)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    clearProgress();
    static const char prefix[] = "orvex-convert: ";
    return put(prefix, sizeof prefix - 1) && put(before, std::strlen(before)) && put(text.data(), text.size())
           && put(after, std::strlen(after)) && put("\n", 1);
}

void Console::sayLast(const char* text, std::size_t length)
{
    closed_ = true;
    if (shown_)
        put("\r\033[K", 4, true);
    put(text, length, true);
}

void Console::finish()
{
    const std::lock_guard<std::mutex> lock(mutex_);
    clearProgress();
    progress_ = false;
}

} // namespace cli
