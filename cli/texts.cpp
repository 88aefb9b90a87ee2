#include "texts.h"

#include "conversion.h"
#include "paths.h"
#include "sap_file.h"
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

// Reads the header a block at a time, up to the line that begins with FF FF (the binary
// image) or the file's end, and keeps its texts. Returns "" or why they cannot be kept.
std::string readHeader(int fd, Texts& texts)
{
    orvex::sap::SapHeaderReader reader;
    char block[4096];
    for (bool more = true; more;) {
        const ssize_t got = ::read(fd, block, sizeof block);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::string("it cannot be read: ") + std::strerror(errno);
        if (got == 0)
            reader.finish();
        more = got > 0 && reader.feed(std::string_view(block, static_cast<std::size_t>(got)));
    }
    if (!reader.isSap())  // the texts of a SAP header are kept whatever its other lines say
        return reader.problem();
    const orvex::sap::SapHeader& header = reader.header();
    texts[kName] = orvex::windows1250ToUtf8(header.name);
    texts[kAuthor] = orvex::windows1250ToUtf8(header.author);
    texts[kDate] = orvex::windows1250ToUtf8(header.date);
    return "";
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
