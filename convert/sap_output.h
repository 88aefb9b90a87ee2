#pragma once
// The SAP file being written. Its bytes are gathered in memory; once the file is
// complete they go to a temporary file beside the target, which is flushed to disk and
// renamed over the target, and the folder is flushed after it. A failed save never
// leaves a half-written file and never touches an existing one; after a crash the
// target is the old file or the new one, whole.
//
// The target is refused before anything is written when it is one of the files that
// the conversion reads, when it is not a regular file (a device, FIFO, socket or
// folder) or when the user may not write it. A symbolic link stays a link: the file it
// leads to is replaced. A replaced file keeps its permissions, owner and group as far
// as the process may set them.

#include <sys/types.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace orvex {

// A file that a conversion reads (the module, its samples, a player file).
struct InputFile {
    std::string role;  // "module file", "digi-sample file", "player file"
    std::string path;
    dev_t device;
    ino_t inode;
};

class TemporaryFile;

// A SAP file written in full beside its target, not yet in its place (see setDeferred).
struct PendingFile {
    std::string target;    // as given
    std::string resolved;  // the file that is replaced
    std::shared_ptr<TemporaryFile> temporary;  // removed when dropped before its rename
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
    // On: commit() writes the file beside the target without flushing it and leaves it
    // there; takePending() hands it over, and placeAll() puts many such files in their
    // places with two flushes of their file systems in all, not two for each file.
    void setDeferred(bool on) { deferred_ = on; }
    PendingFile takePending();
    // Returns for each file "" or the message why it could not be put in its place.
    static std::vector<std::string> placeAll(std::vector<PendingFile>& files);
    bool isOpen() const { return open_; }
    // Bytes written since open(); the whole file after commit(), until the next open()
    std::size_t bytesWritten() const { return data_.size(); }
    const std::string& contents() const { return data_; }

    void write(const void* data, std::size_t length);
    void print(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // Puts the complete file in place of the target. Throws ConversionError.
    void commit();
    // Drops the unfinished file; the target stays as it was.
    void discard();

    // Removes every temporary file that a save has on disk at this moment. Safe to call
    // from a signal handler.
    static void removeTemporaryFiles() noexcept;

private:
    int fill(int fd, bool flush) const;
    void replaceTarget();

    bool open_ = false;
    bool standardOutput_ = false;
    bool deferred_ = false;
    std::shared_ptr<TemporaryFile> pending_;
    std::string data_;
    std::string target_;    // as given
    std::string resolved_;  // the file that is replaced, symbolic links followed
    bool exists_ = false;
    uid_t owner_ = 0;
    gid_t group_ = 0;
    mode_t mode_ = 0;
};

} // namespace orvex
