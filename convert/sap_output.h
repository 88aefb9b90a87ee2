#pragma once
// The SAP file being written. It is written to a temporary file beside the target and
// renamed over the target only once it is complete, so that a failed save never leaves
// a half-written file and never touches an existing one.

#include <cstddef>
#include <cstdio>
#include <string>

namespace orvex {

class SapOutput {
public:
    SapOutput() = default;
    SapOutput(const SapOutput&) = delete;
    SapOutput& operator=(const SapOutput&) = delete;
    ~SapOutput() { discard(); }

    // Starts a new file for `target`. Throws ConversionError when it cannot be created.
    void open(const std::string& target);
    bool isOpen() const { return file_ != nullptr; }
    // Bytes written since open()
    std::size_t bytesWritten() const { return written_; }

    // Throw ConversionError on a failed write.
    void write(const void* data, std::size_t length);
    void print(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // Flushes and closes the file and puts it in place of the target.
    void commit();
    // Closes and removes the unfinished file; the target stays as it was.
    void discard();

private:
    [[noreturn]] void fail(int error);

    std::FILE* file_ = nullptr;
    std::string target_;
    std::string temporary_;
    std::size_t written_ = 0;
};

} // namespace orvex
