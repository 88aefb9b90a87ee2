#pragma once
// The SAP file being written. Its bytes are gathered in memory; once the file is
// complete it is put in place of the target as a SafeFile: written in full beside it,
// flushed to disk, and renamed over it. A failed save never leaves a half-written file
// and never touches an existing one.
//
// The target is refused before anything is written when it is one of the files that
// the conversion reads, when it is not a regular file (a device, FIFO, socket or
// folder) or when the user may not write it. A symbolic link stays a link: the file it
// leads to is replaced. A replaced file keeps its permissions, owner and group as far
// as the process may set them.

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace orvex {

class SafeFile;

// A file that a conversion reads (the module, its samples, a player file).
struct InputFile {
    std::string role;  // "module file", "digi-sample file", "player file"
    std::string path;
    dev_t device;
    ino_t inode;
    bool operator==(const InputFile&) const = default;
};

// A complete SAP file beside its target, not yet in its place.
class WrittenFile {
public:
    WrittenFile(std::string target, std::string resolved, bool replacing);
    ~WrittenFile();
    // Flushes the file to disk, checks the flush and renames it over the target, whose
    // folder the caller flushes. Returns "" or the message why the target is unchanged.
    std::string place();
    // Writes the file again, all of it, before it is placed; "" or the message why not.
    std::string rewrite(const std::string& bytes);
    // The folder of the file replaced, symbolic links followed
    std::string folder() const;

private:
    friend class SapOutput;
    std::string target_;    // as given
    std::string resolved_;  // symbolic links followed
    bool replacing_;        // the target existed when the save began
    std::unique_ptr<SafeFile> file_;
};

class SapOutput {
public:
    SapOutput() = default;
    SapOutput(const SapOutput&) = delete;
    SapOutput& operator=(const SapOutput&) = delete;
    ~SapOutput() { discard(); }

    // Starts a new file for `target` after the checks above; throws ConversionError.
    void open(const std::string& target, const std::vector<InputFile>& inputs);
    // The file goes to standard output instead of a file; the target names it in messages.
    void setStandardOutput(bool on) { standardOutput_ = on; }
    // On: commit() writes the complete file beside the target, without flushing it and
    // without putting it in place; takeWritten() hands it over for that. For standard
    // output it writes nothing: the caller writes contents().
    void setPlaceLater(bool on) { placeLater_ = on; }
    std::unique_ptr<WrittenFile> takeWritten() { return std::move(written_); }
    // Bytes written since open(); the whole file after commit(), until the next open()
    std::size_t bytesWritten() const { return data_.size(); }
    const std::string& contents() const { return data_; }

    void write(const void* data, std::size_t length);
    void print(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // Puts the complete file in place of the target. Throws ConversionError.
    void commit();
    // Drops the unfinished file; the target stays as it was.
    void discard();

private:
    int fill(int fd) const;

    bool open_ = false;
    bool standardOutput_ = false;
    bool placeLater_ = false;
    std::unique_ptr<WrittenFile> written_;
    std::string data_;
    std::string target_;    // as given
    std::string resolved_;  // the file that is replaced, symbolic links followed
    bool exists_ = false;
    uid_t owner_ = 0;
    gid_t group_ = 0;
    mode_t mode_ = 0;
};

// Writes all of `bytes` to `fd`; returns 0 or the error.
int writeAll(int fd, const std::string& bytes);

// The file that `path` names once symbolic links are followed; `exists` tells whether it
// exists, with its status in `info`. Throws ConversionError (a loop, an unreadable link).
std::string followLinks(const std::string& path, struct stat& info, bool& exists);

} // namespace orvex
