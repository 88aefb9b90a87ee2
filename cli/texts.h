#pragma once
// The texts of each module's header: its name, author and date. For each of them the
// first of these that gives one wins: the module's row of the archive's manifest
// (--tags), the options -n, -a and -d, the SAP file the module replaces (--keep-tags);
// with none, the header writes its placeholder. An empty text is no text.

#include <sys/types.h>

#include <array>
#include <atomic>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace cli {

enum Field { kName, kAuthor, kDate };
inline constexpr const char* kFieldNames[] = {"name", "author", "date"};

using Texts = std::array<std::string, 3>;

// A manifest that cannot be used; its message names the file and the line.
struct ManifestError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The texts of an archive's modules: a CSV file (RFC 4180, UTF-8) whose first line names
// the columns module, name, author and date. A row's module is a path relative to the
// file's folder, or an absolute one; it is found again as the same file, by device and
// inode, however the run names it.
class Manifest {
public:
    // Reads the file, whole, once; throws ManifestError.
    explicit Manifest(const std::string& path);
    struct Row {
        unsigned line;
        std::string module;  // as the file gives it
        Texts texts;         // UTF-8
    };
    // The row of the module that is this file, or nullptr. Safe from several threads.
    const Row* find(dev_t device, ino_t inode) const;
    // One warning for each row that no module of the run matched
    std::vector<std::string> unmatched() const;
    // Where a row's text comes from, for messages: "\"tags.csv\" line 4"
    std::string source(const Row& row) const;

private:
    std::string path_;
    std::vector<Row> rows_;
    std::unique_ptr<std::atomic<bool>[]> matched_;
    std::map<std::pair<dev_t, ino_t>, std::size_t> byFile_;
};

// Reads the texts of the SAP file's header, in either style ('X' or "X"); a placeholder
// ('Unknown', <?>) is no text, and so is a field the header lacks. Returns "" when the
// file holds a SAP header or does not exist, else why it cannot be read as one.
std::string keptTexts(const std::string& sapFile, Texts& texts);

// A text in the form the header writes: Windows-1250, or with `standard` printable
// ASCII. Characters it changes add a warning to `warnings`, each line beginning with
// `source` (": "-terminated, or "" for an option). Returns "" or why the text cannot be
// written (a double quote in the standard style, a control character).
std::string encode(const std::string& utf8, Field field, bool standard, const std::string& source, std::string& into,
                   std::vector<std::string>& warnings);

} // namespace cli
