#pragma once
// Standard error of orvex-convert: each message one line behind "orvex-convert: ", and on
// a terminal a progress line below them. When standard error cannot be written (a closed
// pipe, a full disk) the console is broken, and the run ends: it can say nothing more.

#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cli {

class Console {
public:
    // `total`: the count of jobs, 0 when it is not known yet; for one, no progress line.
    explicit Console(std::size_t total);
    // Without a total, the progress line names the folders still to read, as `toRead` counts them.
    void countFoldersToRead(std::function<std::size_t()> toRead) { foldersToRead_ = std::move(toRead); }
    // Writes the lines; with `done`, one more job is done and the progress line names it.
    // False when standard error cannot be written.
    bool say(const std::vector<std::string>& lines, const std::string* done = nullptr);
    bool say(const std::string& line) { return say(std::vector<std::string>{line}); }
    // Writes "orvex-convert: <before><text><after>" without taking memory: for a line that
    // reports a lack of it.
    bool sayPlainly(const char* before, std::string_view text, const char* after);
    // Other threads write nothing more: the run is stopping.
    void close() { closed_ = true; }
    // Writes `length` bytes of `text`, a whole line, without waiting for another thread or
    // taking memory: the last words of a run that a signal stops.
    void sayLast(const char* text, std::size_t length);
    // The progress line goes; what follows is written below the last message.
    void finish();
    bool broken() const { return broken_; }

private:
    // With `last`, also once the console is closed
    bool put(const char* text, std::size_t length, bool last = false);
    void clearProgress();

    std::mutex mutex_;
    std::size_t total_, done_ = 0;
    bool progress_;
    std::atomic<bool> shown_ = false;
    std::function<std::size_t()> foldersToRead_;
    std::atomic<bool> broken_ = false, closed_ = false;
};

} // namespace cli
