#pragma once
// The tags file (--tags): the texts of an archive's modules, a CSV file (RFC 4180,
// UTF-8) whose first line names the columns module, name, author and date. A row's
// module is a path relative to the file's folder, or an absolute one; it is found again
// as the same file, by device and inode, however the run names it.

#include "input.h"
#include "texts.h"

#include <sys/types.h>

#include <array>
#include <atomic>
#include <cstddef>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace cli {

// A place in a file as messages name it: "\"tags.csv\" line 4", `shown` being the file's
// quoted path.
std::string fileAndLine(const std::string& shown, unsigned line);

// A tags file that cannot be used; its message, a sentence, names the file and the line.
struct TagsFileError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class TagsFile {
public:
    // Reads the file once, record by record, its first line checked before the rest is
    // read; only a regular file is read. Throws TagsFileError.
    explicit TagsFile(const std::string& path);

    struct Found {
        unsigned line;
        std::array<std::string_view, 3> texts;  // UTF-8; empty: no text
    };
    // The texts of the module that is this file, if a row names it. Safe from several
    // threads.
    std::optional<Found> find(dev_t device, ino_t inode) const;
    // Gives `warn` a warning for each row that no module of the run matched.
    void unmatched(const std::function<void(const std::string&)>& warn) const;
    // Where a row's texts come from, for messages: "\"tags.csv\" line 4"
    std::string source(unsigned line) const;
    // The file, as a conversion reads it: no SAP file may be written over it.
    const orvex::InputFile& identity() const { return identity_; }

private:
    // The cells of a row in one string: module, name, author and date
    struct Row {
        unsigned line;
        std::array<std::size_t, 5> bounds;  // cell i is cells_[bounds[i], bounds[i + 1])
    };
    using Missing = std::unordered_multimap<std::size_t, std::size_t>;  // rows of modules not found, by their path's hash
    void addRow(unsigned line, const std::vector<std::string>& cells, const std::array<std::optional<std::size_t>, 4>& columns,
                Missing& missing);
    std::string_view cell(const Row& row, int i) const;
    std::filesystem::path pathOf(std::string_view module) const;  // as the run finds it

    orvex::InputFile identity_;
    std::string shown_;  // the path as messages show it
    std::string cells_;
    std::deque<Row> rows_;
    std::unique_ptr<std::atomic<bool>[]> matched_;
    std::map<std::pair<dev_t, ino_t>, std::size_t> byFile_;
};

} // namespace cli
