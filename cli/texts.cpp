#include "texts.h"

#include "conversion.h"
#include "paths.h"
#include "text8.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace cli {

namespace {

// "character 'x' (U+...) has no ... form": a few characters by name, then how many more.
std::string named(const std::u32string& characters, const char* codePage)
{
    constexpr std::size_t kNamed = 5;
    const std::size_t shown = std::min(characters.size(), kNamed), more = characters.size() - shown;
    std::string list;
    for (std::size_t i = 0; i < shown; ++i)
        list += (i == 0 ? "" : i + 1 == shown && more == 0 ? " and " : ", ") + orvex::describeCharacter(characters[i]);
    if (more > 0)
        list += " and " + std::to_string(more) + " more";
    const bool one = characters.size() == 1;
    return std::string(one ? "character " : "characters ") + list + (one ? " has" : " have") + " no " + codePage
           + " form and " + (one ? "is" : "are") + " written as '?'";
}

// A line of the header: the text of NAME, AUTHOR or DATE goes to `texts`.
void keepText(std::string& line, Texts& texts)
{
    if (line.ends_with('\n'))
        line.pop_back();
    if (line.ends_with('\r'))
        line.pop_back();
    const std::size_t space = line.find(' ');
    const std::string_view keyword = std::string_view(line).substr(0, space);
    const int field = keyword == "NAME" ? kName : keyword == "AUTHOR" ? kAuthor : keyword == "DATE" ? kDate : -1;
    if (space == std::string::npos || field < 0)
        return;
    std::string_view value = std::string_view(line).substr(std::min(line.find_first_not_of(' ', space), line.size()));
    // Between apostrophes (two spaces before) or double quotes (one space before)
    if (value.size() >= 2 && (value.front() == '\'' || value.front() == '"') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    texts[field] = value == "<?>" || value == "Unknown" ? "" : orvex::windows1250ToUtf8(value);
}

// Reads the header's lines a block at a time, up to the line that begins with FF FF (the
// binary image) or the file's end, and keeps their texts. A file is given up at its first
// line when it does not begin with "SAP". Returns "" or why the texts cannot be kept.
std::string readHeader(int fd, Texts& texts)
{
    constexpr std::string_view kSap = "SAP\r\n", kSapLf = "SAP\n";
    std::string line;  // from its beginning; the first line of the file while `first`
    bool first = true;
    char block[4096];
    for (;;) {
        const ssize_t got = ::read(fd, block, sizeof block);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::string("it cannot be read: ") + std::strerror(errno);
        for (std::size_t at = 0; at < static_cast<std::size_t>(got);) {
            const void* found = std::memchr(block + at, '\n', static_cast<std::size_t>(got) - at);
            const std::size_t end = found ? static_cast<std::size_t>(static_cast<const char*>(found) - block) + 1
                                          : static_cast<std::size_t>(got);
            line.append(block + at, end - at);
            at = end;
            if (first && !kSap.starts_with(line) && !kSapLf.starts_with(line))
                return "it does not begin with a SAP header";
            if (line.starts_with("\xFF\xFF"))
                return "";
            if (found && !first)
                keepText(line, texts);
            if (found)
                line.clear(), first = false;
        }
        if (got == 0 && first)
            return "it does not begin with a SAP header";
        if (got == 0) {
            keepText(line, texts);
            return "";
        }
    }
}

} // namespace

std::string keptTexts(const std::string& sapFile, Texts& texts)
{
    const int fd = ::open(sapFile.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? "" : std::string("it cannot be read: ") + std::strerror(errno);
    struct stat info {};
    // Not a regular file: the save names it
    const std::string problem = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) ? readHeader(fd, texts) : "";
    ::close(fd);
    return problem;
}

std::string encode(std::string_view utf8, Field field, bool standard, const std::string& source, std::string& into,
                   std::vector<std::string>& warnings)
{
    const std::string text = std::string("the ") + kFieldNames[field];
    if (std::string problem = orvex::controlCharacterProblem(utf8, source + text); !problem.empty())
        return problem;
    std::u32string missing;
    if (!standard) {
        into = orvex::utf8ToWindows1250(utf8, &missing);
        if (!missing.empty())
            warnings.push_back("Warning: " + source + text + "'s " + named(missing, "Windows-1250") + ".");
        return "";
    }
    if (utf8.find('"') != std::string_view::npos)
        return source + text + " holds a double quote, which the standard SAP header cannot carry";
    bool changed = false;
    into = orvex::utf8ToAscii(utf8, &changed, &missing);
    if (changed)
        warnings.push_back("Warning: " + source + text + " " + orvex::quoted(std::string(utf8)) + " is written as "
                           + orvex::quoted(into) + ".");
    if (!missing.empty())
        warnings.push_back("Warning: " + source + text + "'s " + named(missing, "ASCII") + ".");
    return "";
}

} // namespace cli
