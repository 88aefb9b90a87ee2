#pragma once
// A new file put in the place of a target, so that the target is always the old file or
// the whole new one, also after a crash, a full disk or a signal.
//
// Calling sequence and states:
//
//   SafeFile file(folder);     unnamed: a file without a name in the target's folder
//                              (O_TMPFILE); where the file system has no such files, it
//                              is named ".orvex-XXXXXX" from the start
//   write to file.fd()         its bytes, mode and owner
//   file.place(target, ...);   its data is flushed to disk and the flush checked; only
//                              then it takes its place: linked as the target when there
//                              is none, else named ".orvex-XXXXXX" and that name renamed
//                              over the target. On any failure its name goes.
//   flushFolder(folder);       the rename reaches the disk with its folder; a batch does
//                              this once per folder, at its end
//
// A file dropped before it is placed leaves nothing: it has no name, or its name goes.
// The names that files have on disk are kept in one registry: removeAllNames(), called
// by the thread that handles TERM, INT and HUP just before the program ends, stops new
// names and removes every name that exists.

#include <sys/types.h>

#include <string>

namespace orvex {

class SafeFile {
public:
    // A new file in `folder` with the permissions `mode` less the process's umask;
    // throws std::system_error when it cannot be made.
    SafeFile(const std::string& folder, mode_t mode);
    ~SafeFile();
    SafeFile(const SafeFile&) = delete;
    SafeFile& operator=(const SafeFile&) = delete;

    int fd() const { return fd_; }
    // Flushes the data, checks the flush and puts the file in place of `target`, which
    // `replacing` says exists. Returns 0, or the error; the target is then as it was and
    // the file has no name.
    int place(const std::string& target, bool replacing);

    // Flushes a folder's entries to disk; returns 0 or the error.
    static int flushFolder(const std::string& folder);
    // Removes every name that a file has on disk now and lets no file take a new one.
    static void removeAllNames() noexcept;

    struct Entry;  // a name in the registry

private:
    int name();
    void dropName();

    std::string folder_;
    int fd_ = -1;
    Entry* entry_ = nullptr;  // while the file has a name
};

} // namespace orvex
