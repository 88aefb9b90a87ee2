#include "texts.h"

#include "conversion.h"
#include "paths.h"
#include "text8.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>

namespace cli {

namespace {

// The bytes of a file, whole; a pipe is read to its end.
std::string readWhole(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd >= 0 && ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(fd);
        throw ManifestError("cannot read the manifest " + orvex::quoted(path) + ": it is a folder");
    }
    std::string bytes;
    char block[65536];
    ssize_t got = fd < 0 ? -1 : 0;
    while (fd >= 0 && ((got = ::read(fd, block, sizeof block)) > 0 || (got < 0 && errno == EINTR)))
        bytes.append(block, static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
    const int error = errno;
    if (fd >= 0)
        ::close(fd);
    if (got < 0)
        throw ManifestError("cannot read the manifest " + orvex::quoted(path) + ": " + std::strerror(error));
    return bytes;
}

// The cells of a CSV file, record by record, with the line each record starts on.
struct Record {
    unsigned line;
    std::vector<std::string> cells;
};

std::vector<Record> parseCsv(const std::string& text, const std::string& shown)
{
    std::vector<Record> records;
    unsigned line = 1;
    std::size_t i = 0;
    const auto broken = [&](unsigned at, const std::string& what) {
        return ManifestError("the manifest " + shown + " line " + std::to_string(at) + ": " + what);
    };
    while (i < text.size()) {
        Record record{line, {}};
        for (;;) {  // one cell
            std::string cell;
            if (i < text.size() && text[i] == '"') {
                const unsigned opened = line;
                for (++i;; ++i) {
                    if (i >= text.size())
                        throw broken(opened, "a quoted cell has no closing quote");
                    if (text[i] == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                        cell += '"';
                        ++i;
                    } else if (text[i] == '"') {
                        ++i;
                        break;
                    } else {
                        line += text[i] == '\n' ? 1 : 0;
                        cell += text[i];
                    }
                }
                if (i < text.size() && text[i] != ',' && text[i] != '\r' && text[i] != '\n')
                    throw broken(line, "text follows the closing quote of a cell");
            } else {
                while (i < text.size() && text[i] != ',' && text[i] != '\r' && text[i] != '\n') {
                    if (text[i] == '"')
                        throw broken(line, "a quote inside a cell that does not start with one");
                    cell += text[i++];
                }
            }
            record.cells.push_back(std::move(cell));
            if (i < text.size() && text[i] == ',') {
                ++i;
                continue;
            }
            break;
        }
        if (i < text.size() && text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        if (i < text.size()) {
            if (text[i] == '\r')
                throw broken(line, "a carriage return without its line feed");
            ++i;  // the line feed
            ++line;
        }
        if (record.cells.size() > 1 || !record.cells[0].empty())  // an empty line is no record
            records.push_back(std::move(record));
    }
    return records;
}

bool hasControlCharacter(const std::string& text, char& which)
{
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            which = c;
            return true;
        }
    }
    return false;
}

std::string named(const std::u32string& characters, const char* codePage)
{
    std::string list;
    for (const char32_t point : characters)
        list += (list.empty() ? "" : ", ") + orvex::describeCharacter(point);
    const bool one = characters.size() == 1;
    return std::string(one ? "character " : "characters ") + list + (one ? " has" : " have") + " no " + codePage
           + " form and " + (one ? "is" : "are") + " written as '?'";
}

ManifestError brokenAt(const std::string& shown, unsigned line, const std::string& what)
{
    return ManifestError("the manifest " + shown + " line " + std::to_string(line) + ": " + what);
}

// The records of the file, its byte-order mark dropped, every line checked for UTF-8.
std::vector<Record> readRecords(const std::string& path, const std::string& shown)
{
    std::string text = readWhole(path);
    if (text.starts_with("\xEF\xBB\xBF"))
        text.erase(0, 3);
    unsigned line = 1;
    for (std::size_t start = 0; start < text.size(); ++line) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        if (!orvex::isValidUtf8(std::string_view(text).substr(start, end - start)))
            throw ManifestError("the manifest " + shown + " line " + std::to_string(line) + " is not valid UTF-8");
        start = end + 1;
    }
    std::vector<Record> records = parseCsv(text, shown);
    if (records.empty())
        throw ManifestError("the manifest " + shown + " is empty: its first line names the columns");
    return records;
}

// Where the module and each text are, from the first record's names.
struct Columns {
    std::size_t module;
    std::array<std::optional<std::size_t>, 3> texts;
};

Columns columnsOf(const Record& head, const std::string& shown)
{
    std::optional<std::size_t> moduleColumn;
    std::array<std::optional<std::size_t>, 3> textColumns;
    for (std::size_t c = 0; c < head.cells.size(); ++c) {
        const std::string& name = head.cells[c];
        std::optional<std::size_t>* column = orvex::equalsIgnoringCase(name, "module") ? &moduleColumn : nullptr;
        for (int f = kName; f <= kDate; ++f) {
            if (orvex::equalsIgnoringCase(name, kFieldNames[f]))
                column = &textColumns[f];
        }
        if (!column)
            throw brokenAt(shown, head.line, "unknown column " + orvex::quoted(name)
                                                 + " (the columns are module, name, author and date)");
        if (*column)
            throw brokenAt(shown, head.line, "the column " + orvex::quoted(name) + " is named twice");
        *column = c;
    }
    if (!moduleColumn)
        throw brokenAt(shown, head.line, "no column is named \"module\"");
    return {*moduleColumn, textColumns};
}

} // namespace

Manifest::Manifest(const std::string& path) : path_(path)
{
    const std::string shown = orvex::quoted(path);
    const std::vector<Record> records = readRecords(path, shown);
    const Record& head = records.front();
    const Columns columns = columnsOf(head, shown);
    const auto broken = [&](unsigned at, const std::string& what) { return brokenAt(shown, at, what); };

    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::map<std::string, unsigned> byPath;  // rows of modules that do not exist, by path
    for (std::size_t r = 1; r < records.size(); ++r) {
        const Record& record = records[r];
        if (record.cells.size() != head.cells.size())
            throw broken(record.line, std::to_string(record.cells.size()) + " cells, where line " + std::to_string(head.line)
                                          + " names " + std::to_string(head.cells.size()) + " columns");
        Row row{record.line, record.cells[columns.module], {}};
        if (row.module.empty())
            throw broken(record.line, "no module is named");
        for (int f = kName; f <= kDate; ++f)
            row.texts[f] = columns.texts[f] ? record.cells[*columns.texts[f]] : "";
        const std::filesystem::path module = folder / row.module;  // an absolute path stays as it is
        struct stat info {};
        const auto [known, fresh] = ::stat(module.c_str(), &info) == 0
                                        ? byFile_.try_emplace({info.st_dev, info.st_ino}, rows_.size())
                                        : std::pair{byFile_.end(), byPath.try_emplace(module.lexically_normal(), row.line).second};
        if (!fresh) {
            const unsigned first = known != byFile_.end() ? rows_[known->second].line : byPath[module.lexically_normal()];
            throw broken(record.line, "the module " + orvex::quoted(row.module) + " has a row already, on line "
                                          + std::to_string(first));
        }
        rows_.push_back(std::move(row));
    }
    matched_ = std::make_unique<std::atomic<bool>[]>(rows_.size());
}

const Manifest::Row* Manifest::find(dev_t device, ino_t inode) const
{
    const auto found = byFile_.find({device, inode});
    if (found == byFile_.end())
        return nullptr;
    matched_[found->second] = true;
    return &rows_[found->second];
}

std::string Manifest::source(const Row& row) const
{
    return orvex::quoted(path_) + " line " + std::to_string(row.line);
}

std::vector<std::string> Manifest::unmatched() const
{
    std::vector<std::string> warnings;
    for (std::size_t r = 0; r < rows_.size(); ++r) {
        if (!matched_[r])
            warnings.push_back("warning: " + source(rows_[r]) + ": the module " + orvex::quoted(rows_[r].module)
                               + " is not one of this run's");
    }
    return warnings;
}

std::string keptTexts(const std::string& sapFile, Texts& texts)
{
    const int fd = ::open(sapFile.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT)
        return "";
    struct stat info {};
    std::string head(4096, '\0');
    ssize_t got = -1;
    int error = errno;
    if (fd >= 0 && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        got = ::read(fd, head.data(), head.size());
        error = errno;
    } else if (fd >= 0) {
        ::close(fd);
        return "";  // not a regular file: the save names it
    }
    if (fd >= 0)
        ::close(fd);
    if (got < 0)
        return std::string("it cannot be read: ") + std::strerror(error);
    head.resize(static_cast<std::size_t>(got));
    // The text lines end where the binary image begins.
    head = head.substr(0, head.find("\xFF\xFF"));
    if (!head.starts_with("SAP\r\n") && !head.starts_with("SAP\n"))
        return "it does not begin with a SAP header";
    for (std::size_t start = 0; start < head.size();) {
        std::size_t end = std::min(head.find('\n', start), head.size());
        std::string line = head.substr(start, end - start);
        start = end + 1;
        if (line.ends_with('\r'))
            line.pop_back();
        const std::size_t space = line.find(' ');
        if (space == std::string::npos)
            continue;
        const std::string keyword = line.substr(0, space);
        const int field = keyword == "NAME" ? kName : keyword == "AUTHOR" ? kAuthor : keyword == "DATE" ? kDate : -1;
        if (field < 0)
            continue;
        std::string value = line.substr(line.find_first_not_of(' ', space) == std::string::npos
                                            ? line.size()
                                            : line.find_first_not_of(' ', space));
        // Between apostrophes (two spaces before) or double quotes (one space before)
        if (value.size() >= 2 && (value.front() == '\'' || value.front() == '"') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        texts[field] = value == "<?>" || value == "Unknown" ? "" : orvex::windows1250ToUtf8(value);
    }
    return "";
}

std::string encode(const std::string& utf8, Field field, bool standard, const std::string& source, std::string& into,
                   std::vector<std::string>& warnings)
{
    const std::string text = std::string("the ") + kFieldNames[field];
    char control = 0;
    if (!source.empty() && hasControlCharacter(utf8, control)) {
        char code[8];
        std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned char>(control));
        return source + text + " holds the control character " + code + ", which a SAP header line cannot carry";
    }
    std::u32string missing;
    if (!standard) {
        into = orvex::utf8ToWindows1250(utf8, &missing);
        if (!missing.empty())
            warnings.push_back("warning: " + source + text + "'s " + named(missing, "Windows-1250"));
        return "";
    }
    if (utf8.find('"') != std::string::npos)
        return source + text + " holds a double quote, which the standard SAP header cannot carry";
    bool changed = false;
    into = orvex::utf8ToAscii(utf8, &changed, &missing);
    if (changed)
        warnings.push_back("warning: " + source + text + " " + orvex::quoted(utf8) + " is written as " + orvex::quoted(into));
    if (!missing.empty())
        warnings.push_back("warning: " + source + text + "'s " + named(missing, "ASCII"));
    return "";
}

} // namespace cli
