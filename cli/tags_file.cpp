#include "tags_file.h"

#include "paths.h"
#include "text8.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace cli {

namespace {

constexpr int kEnd = -1;

TagsFileError brokenAt(const std::string& shown, unsigned line, const std::string& what)
{
    return TagsFileError("The tags file " + fileAndLine(shown, line) + ": " + what + ".");
}

// Opens the file without waiting, so that a FIFO cannot hold the run up; only a regular
// file is read.
int openRegular(const std::string& path, const std::string& shown, struct stat& info)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0 && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
        return fd;
    const int error = errno;
    if (fd >= 0)
        ::close(fd);
    throw TagsFileError("Cannot read the tags file " + shown + ": "
                        + (info.st_mode != 0 ? "it is " + orvex::fileKind(info.st_mode) + ", not a regular file"
                                             : std::string(std::strerror(error)))
                        + ".");
}

// The bytes of the file, a block at a time; it closes the file.
class Reader {
public:
    Reader(int fd, const std::string& shown) : fd_(fd), shown_(shown) {}
    ~Reader() { ::close(fd_); }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;
    int peek() { return at_ < size_ || fill() ? static_cast<unsigned char>(block_[at_]) : kEnd; }
    int get()
    {
        const int c = peek();
        at_ += c != kEnd ? 1 : 0;
        return c;
    }
    // Passes over `bytes` when the file begins with them.
    void skipStart(std::string_view bytes)
    {
        if (peek() != kEnd && std::string_view(block_ + at_, size_ - at_).starts_with(bytes))
            at_ += bytes.size();
    }

private:
    bool fill()
    {
        at_ = size_ = 0;
        for (;;) {
            const ssize_t got = ::read(fd_, block_, sizeof block_);
            if (got >= 0) {
                size_ = static_cast<std::size_t>(got);
                return got > 0;
            }
            if (errno != EINTR)
                throw TagsFileError("Cannot read the tags file " + shown_ + ": " + std::strerror(errno) + ".");
        }
    }

    int fd_;
    const std::string& shown_;
    char block_[65536];
    std::size_t at_ = 0, size_ = 0;
};

bool endsCell(int c) { return c == kEnd || c == ',' || c == '\r' || c == '\n'; }

constexpr const char* kColumnNames = " (the columns are module, name, author and date)";
// A cell of the first line longer than this names no column: the file is not read on.
constexpr std::size_t kLongestColumnName = 64;

// One cell, quoted or not; `line` follows the line breaks inside it. Its text must be
// UTF-8; on the first line (`head`), a column's name.
void readCell(Reader& in, const std::string& shown, unsigned& line, std::string& cell, bool head)
{
    const unsigned first = line;
    const auto grown = [&] {
        if (head && cell.size() > kLongestColumnName)
            throw brokenAt(shown, first, "a cell longer than any column's name" + std::string(kColumnNames));
    };
    if (in.peek() != '"') {
        for (int c; !endsCell(c = in.peek()); cell += static_cast<char>(in.get()), grown()) {
            if (c == '"')
                throw brokenAt(shown, line, "a quote inside a cell that does not start with one");
        }
    } else {
        in.get();
        for (int c; (c = in.get()) != '"' || in.peek() == '"'; grown()) {
            if (c == kEnd)
                throw brokenAt(shown, first, "a quoted cell has no closing quote");
            line += c == '\n' ? 1 : 0;
            cell += static_cast<char>(c == '"' ? in.get() : c);
        }
        if (!endsCell(in.peek()))
            throw brokenAt(shown, line, "text follows the closing quote of a cell");
    }
    if (const std::size_t bad = orvex::firstMalformed(cell); bad < cell.size()) {
        const auto breaks = std::count(cell.begin(), cell.begin() + static_cast<long>(bad), '\n');
        throw TagsFileError("The tags file " + fileAndLine(shown, first + static_cast<unsigned>(breaks))
                            + " is not valid UTF-8.");
    }
}

// The next record: its first `room` cells, how many it has and the line it starts on;
// false at the file's end. An empty line is no record. `head`: the first line's.
bool readRecord(Reader& in, const std::string& shown, unsigned& line, std::size_t room, std::vector<std::string>& cells,
                std::size_t& count, unsigned& start, bool head = false)
{
    std::string beyond;  // a cell past the room, read and dropped
    while (in.peek() != kEnd) {
        start = line;
        cells.clear();
        count = 0;
        do
            readCell(in, shown, line, ++count <= room ? cells.emplace_back() : (beyond.clear(), beyond), head);
        while (in.peek() == ',' && in.get() == ',');
        if (in.peek() == '\r' && (in.get(), in.peek() != '\n'))
            throw brokenAt(shown, line, "a carriage return without its line feed");
        if (in.get() == '\n')
            ++line;
        if (count > 1 || !cells[0].empty())
            return true;
    }
    return false;
}

// Where the module ([0]) and each text ([1 + field]) are, from the first record's names.
using Columns = std::array<std::optional<std::size_t>, 4>;

Columns columnsOf(const std::vector<std::string>& head, unsigned line, const std::string& shown)
{
    Columns columns;
    for (std::size_t c = 0; c < head.size(); ++c) {
        const std::string& name = head[c];
        std::optional<std::size_t>* column = orvex::equalsIgnoringCase(name, "module") ? &columns[0] : nullptr;
        for (int f = kName; f <= kDate; ++f) {
            if (orvex::equalsIgnoringCase(name, kFieldNames[f]))
                column = &columns[1 + f];
        }
        if (!column)
            throw brokenAt(shown, line, "unknown column " + orvex::quoted(name) + kColumnNames);
        if (*column)
            throw brokenAt(shown, line, "the column " + orvex::quoted(name) + " is named twice");
        *column = c;
    }
    if (!columns[0])
        throw brokenAt(shown, line, "no column is named \"module\"");
    return columns;
}

} // namespace

TagsFile::TagsFile(const std::string& path) : shown_(orvex::quoted(path))
{
    struct stat info {};
    Reader in(openRegular(path, shown_, info), shown_);
    identity_ = {"tags file", path, info.st_dev, info.st_ino};
    in.skipStart("\xEF\xBB\xBF");
    unsigned line = 1, head = 0, start = 0;
    std::vector<std::string> cells;
    std::size_t names = 0, count = 0;
    // Five names are more than the columns there are: one of them is wrong.
    if (!readRecord(in, shown_, line, 5, cells, names, head, true))
        throw TagsFileError("The tags file " + shown_ + " is empty: its first line names the columns.");
    const Columns columns = columnsOf(cells, head, shown_);
    // The cells kept are fewer bytes than the file: reserved at once, they are never copied.
    cells_.reserve(static_cast<std::size_t>(info.st_size));
    Missing missing;
    while (readRecord(in, shown_, line, names, cells, count, start)) {
        if (count != names)
            throw brokenAt(shown_, start, std::to_string(count) + " cells, where line " + std::to_string(head) + " names "
                                              + std::to_string(names) + " columns");
        addRow(start, cells, columns, missing);
    }
    matched_ = std::make_unique<std::atomic<bool>[]>(rows_.size());
}

std::filesystem::path TagsFile::pathOf(std::string_view module) const
{
    return std::filesystem::path(identity_.path).parent_path() / module;  // an absolute path stays as it is
}

void TagsFile::addRow(unsigned line, const std::vector<std::string>& cells, const std::array<std::optional<std::size_t>, 4>& columns,
                      Missing& missing)
{
    const std::string& module = cells[*columns[0]];
    if (module.empty())
        throw brokenAt(shown_, line, "no module is named");
    const std::filesystem::path file = pathOf(module);
    struct stat info {};
    std::optional<std::size_t> earlier;  // the row that names it already
    if (::stat(file.c_str(), &info) == 0) {
        if (const auto [known, fresh] = byFile_.try_emplace({info.st_dev, info.st_ino}, rows_.size()); !fresh)
            earlier = known->second;
    } else {  // by its path
        const std::filesystem::path path = file.lexically_normal();
        const std::size_t hash = std::filesystem::hash_value(path);
        for (auto [at, end] = missing.equal_range(hash); at != end && !earlier; ++at)
            earlier = pathOf(cell(rows_[at->second], 0)).lexically_normal() == path ? std::optional(at->second) : std::nullopt;
        missing.emplace(hash, rows_.size());
    }
    if (earlier)
        throw brokenAt(shown_, line, "the module " + orvex::quoted(module) + " has a row already, on line "
                                         + std::to_string(rows_[*earlier].line));
    Row row{line, {}};
    for (std::size_t c = 0; c < columns.size(); ++c) {
        row.bounds[c] = cells_.size();
        if (columns[c])
            cells_ += cells[*columns[c]];
    }
    row.bounds[4] = cells_.size();
    rows_.push_back(row);
}

std::string_view TagsFile::cell(const Row& row, int i) const
{
    return std::string_view(cells_).substr(row.bounds[i], row.bounds[i + 1] - row.bounds[i]);
}

std::optional<TagsFile::Found> TagsFile::find(dev_t device, ino_t inode) const
{
    const auto found = byFile_.find({device, inode});
    if (found == byFile_.end())
        return std::nullopt;
    matched_[found->second] = true;
    const Row& row = rows_[found->second];
    return Found{row.line, {cell(row, 1 + kName), cell(row, 1 + kAuthor), cell(row, 1 + kDate)}};
}

std::string fileAndLine(const std::string& shown, unsigned line)
{
    return shown + " line " + std::to_string(line);
}

std::string TagsFile::source(unsigned line) const
{
    return fileAndLine(shown_, line);
}

void TagsFile::unmatched(const std::function<void(const std::string&)>& warn) const
{
    for (std::size_t r = 0; r < rows_.size(); ++r) {
        if (!matched_[r])
            warn("Warning: " + source(rows_[r].line) + ": the module " + orvex::quoted(std::string(cell(rows_[r], 0)))
                 + " is not one of this run's.");
    }
}

} // namespace cli
