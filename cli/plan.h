#pragma once
// The conversions of one run of orvex-convert: which modules, their samples and the SAP
// file each writes. A list of modules is planned at once; folders under -r are read one
// at a time, as the conversions ask for more, so that memory does not grow with the
// archive. Each folder is read once.

#include "options.h"
#include "sap_names.h"

#include <sys/types.h>

#include <atomic>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace cli {

struct Job {
    enum class Kind { Convert, Failed, Skipped };
    Kind kind = Kind::Convert;
    std::string module;                  // or the folder or file that the message names
    std::optional<std::string> samples;  // .MD1: the .D15 file beside it with its name
    std::string target;                  // the SAP file; "" beside the module, as "Save SAP file" derives it
    std::string message;                 // why it failed or is skipped before it starts
    bool silent = false;                 // failed; another job's message says why
    bool makeFolder = false;             // the target's folder is made when it is missing
    bool outOfMemory = false;            // failed: the folder `module` could not be read for lack of memory
};

// The SAP file that a job writes
std::string sapFileOf(const Job& job);

class Plan {
public:
    explicit Plan(const Options& options);
    // The next job; false when there is none left. Safe to call from several threads.
    bool next(Job& job);
    // The count of jobs when it is known before the run (one module, a list), else 0.
    std::size_t total() const { return total_; }
    // The folders under -r that are still to be read
    std::size_t foldersToRead() const { return toRead_; }

private:
    // The folders at one path below the folders given to -r, one from each that has it:
    // their SAP files go to the same folder of the -o tree.
    struct Node {
        std::string relative;
        std::vector<std::string> folders;
    };
    struct Module {
        std::string path;
        std::optional<std::string> samples;
        std::string refusal;
        std::optional<std::pair<dev_t, ino_t>> identity;  // when the folder's listing tells it
        bool hardLinked = false;                          // the file has other names
    };
    void readNode(const Node& node);
    void addJobs(std::vector<Module>& modules, const std::string& relative);
    std::string targetOf(const std::string& module, const std::string& relative) const;
    void refuseTogether(const std::vector<std::size_t>& clashing);

    const Options& options_;
    std::mutex mutex_;
    std::deque<Job> ready_;
    std::vector<Node> pending_;                    // folders still to read, the next at the back
    std::set<std::pair<dev_t, ino_t>> visited_;    // folders read
    std::atomic<std::size_t> toRead_ = 0;          // the folders of pending_
    // What is compared across the folders of the run: the modules with other names (hard
    // links), which may be met again in another folder, and the SAP names.
    std::set<std::pair<dev_t, ino_t>> hardLinked_;
    SapNames names_;
    std::size_t total_ = 0;
};

} // namespace cli
