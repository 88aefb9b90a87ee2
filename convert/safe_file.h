#pragma once
// A SAP file (or an audio file) written in the place of its target, so that the target
// is always the old file or the whole new one, also after a crash, a full disk or a
// signal. One object has one life:
//
//   SafeFile file(target, inputs);  begun: the target's checks (below); nothing is on
//                                   disk yet
//   file.write(bytes);              the bytes, in full, in a new file beside the target
//                                   with the old file's permissions and owner: a file
//                                   without a name (O_TMPFILE), or where the file system
//                                   has none, one named ".orvex-XXXXXX"
//   file.commit();                  its data flushed and the flush checked; then it takes
//                                   its place: linked as the target when there is none,
//                                   else named ".orvex-XXXXXX" and renamed over it; last
//                                   its folder is flushed, so that the rename is on disk
//   destroyed before commit()       rolled back: the new file leaves nothing behind
//
// The checks refuse a target that is one of the files the conversion reads, that is not
// a regular file (a device, FIFO, socket or folder), that the user may not write or
// whose symbolic links loop. A symbolic link stays a link: the file it leads to is
// replaced, and keeps its permissions, owner and group as far as the process may set
// them. SafeFile(kStandardOutput) writes to standard output: no checks, nothing to commit.
// A batch flushes each folder once, at its end: commit(Folder::Later), then flushFolder.
// Every failure throws ConversionError, a sentence that names the target and the reason.
//
// The names that files have on disk are kept in one registry: removeAllNames(), called by
// the thread that handles TERM, INT and HUP just before the program ends, stops new names
// and removes every name that exists.

#include "input.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

namespace orvex {

class SafeFile {
public:
    struct StandardOutput {};
    static constexpr StandardOutput kStandardOutput{};
    // What commit() does with the target's folder: flushes it, or leaves it to the caller.
    enum class Folder { Flush, Later };

    // Begins the save of `target`, which may not be one of `inputs`; messages call it
    // the `kind` of file. Throws ConversionError.
    SafeFile(const std::string& target, const std::vector<InputFile>& inputs, const char* kind = "SAP file");
    explicit SafeFile(StandardOutput);
    SafeFile(SafeFile&&) noexcept;
    SafeFile& operator=(SafeFile&&) noexcept;
    ~SafeFile();

    // Writes the whole file, once.
    void write(const std::string& bytes);
    // Puts the written file in place of the target, its folder flushed or left for later.
    void commit(Folder folder = Folder::Flush);
    // The folder of the file replaced, symbolic links followed
    std::string folder() const;

    // Flushes a folder's entries to disk; returns 0 or the error.
    static int flushFolder(const std::string& folder);
    // Removes every name that a file has on disk now and lets no file take a new one.
    static void removeAllNames() noexcept;

private:
    class Unplaced;  // the new file until it takes its place

    std::string target_;    // as given
    std::string resolved_;  // the file that is replaced, symbolic links followed
    std::string kind_ = "SAP file";
    bool standardOutput_ = false;
    bool exists_ = false;   // the target existed when the save began
    uid_t owner_ = 0;
    gid_t group_ = 0;
    mode_t mode_ = 0;
    std::unique_ptr<Unplaced> file_;
};

// The message of a folder whose flush failed: the files that `what` names ("the SAP
// files", "the SAP file \"x.sap\"") may not survive a crash.
std::string folderNotFlushed(const std::string& folder, int error, const std::string& what);

// Writes all of `bytes` to `fd`; returns 0 or the error.
int writeAll(int fd, const std::string& bytes);

// The file that `path` names once symbolic links are followed; `exists` tells whether it
// exists, with its status in `info`. Throws ConversionError (a loop, an unreadable link),
// which calls it the `kind` of file.
std::string followLinks(const std::string& path, struct stat& info, bool& exists, const std::string& kind = "SAP file");

} // namespace orvex
