#include "sap_file.h"

#include "paths.h"

#include <algorithm>
#include <charconv>

namespace orvex::sap {

namespace {

constexpr const char* kNotSap = "the file does not begin with a SAP header (the line \"SAP\")";
constexpr std::string_view kFirstLine = "SAP\r\n", kFirstLineLf = "SAP\n";
// A line other than AUTHOR, NAME or DATE is kept up to this many bytes: no tag's value is
// as long, and a file of one endless line takes no more memory.
constexpr std::size_t kLongestTagLine = 256;

bool textLine(std::string_view line)
{
    return line.starts_with("AUTHOR ") || line.starts_with("NAME ") || line.starts_with("DATE ");
}

// Where a problem lies: "\"tune.sap\" line 3: ", "offset 1234: "
std::string located(const std::string& name, const char* unit, std::size_t number)
{
    return (name.empty() ? "" : orvex::quoted(name) + " ") + unit + " " + std::to_string(number) + ": ";
}

// A line as a message shows it: printable ASCII, its other bytes as '?', cut after 40.
std::string shown(std::string_view line)
{
    constexpr std::size_t kShown = 40;
    std::string text(line.substr(0, kShown));
    for (char& c : text)
        c = c >= 0x20 && c < 0x7F ? c : '?';
    return line.size() > kShown ? text + "..." : text;
}

std::string_view trimmed(std::string_view text)
{
    const std::size_t first = std::min(text.find_first_not_of(' '), text.size());
    return text.substr(first, text.find_last_not_of(' ') + 1 - first);
}

// Reads a whole number in `base`, from `least` to `most`, into `into`
template <typename T>
bool number(std::string_view text, int base, unsigned least, unsigned most, T& into)
{
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < least || value > most)
        return false;
    into = value;
    return true;
}

// "mm:ss.xxx", then " LOOP" or nothing: minutes of one to three digits, the fraction of
// one to three or none.
bool readTime(std::string_view text, SapTime& time)
{
    time.loop = text.ends_with(" LOOP");
    text = trimmed(text.substr(0, text.size() - (time.loop ? 5 : 0)));
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon > 3 || text.size() < colon + 3)
        return false;
    const std::string_view fraction = text.substr(colon + 3);  // "" or ".xxx"
    unsigned minutes = 0, seconds = 0, thousandths = 0;
    if (!number(text.substr(0, colon), 10, 0, 999, minutes) || !number(text.substr(colon + 1, 2), 10, 0, 59, seconds))
        return false;
    if (!fraction.empty()
        && (fraction.size() < 2 || fraction.size() > 4 || fraction[0] != '.'
            || !number((std::string(fraction.substr(1)) + "00").substr(0, 3), 10, 0, 999, thousandths)))
        return false;
    time.milliseconds = (minutes * 60 + seconds) * 1000 + thousandths;
    return true;
}

// A text: its apostrophes or double quotes taken away; a placeholder is no text.
std::string text(std::string_view value)
{
    value.remove_prefix(std::min(value.find_first_not_of(' '), value.size()));
    if (value.size() >= 2 && (value.front() == '\'' || value.front() == '"') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return value == "<?>" || value == "Unknown" ? "" : std::string(value);
}

bool flag(std::string_view value, bool& into)
{
    into = true;
    return value.empty();
}

bool address(std::string_view value, std::optional<std::uint16_t>& into)
{
    return value.size() <= 4 && number(value, 16, 0, 0xFFFF, into);
}

bool type(std::string_view value, char& into)
{
    into = value.size() == 1 && std::string_view("BCDRS").find(value[0]) != std::string_view::npos ? value[0] : 0;
    return into != 0;
}

// A tag other than the texts: how its value goes into the header, and what is wrong with
// a value it does not take.
struct Tag {
    std::string_view keyword;
    bool (*read)(std::string_view value, SapHeader& header);
    const char* refusal;
};

constexpr const char* kNotAnAddress = " is not an address (1 to 4 hexadecimal digits)";
constexpr const char* kNotAFlag = ": the flag takes no value";

constexpr Tag kTags[] = {
    {"TYPE", [](std::string_view v, SapHeader& h) { return type(v, h.type); },
     " is not a type of SAP file (B, C, D, R or S)"},
    {"SONGS", [](std::string_view v, SapHeader& h) { return number(v, 10, 1, 256, h.songs); },
     " is not a count of songs (1 to 256)"},
    {"DEFSONG", [](std::string_view v, SapHeader& h) { return number(v, 10, 0, 255, h.defsong); },
     " is not the number of a song (0 to 255)"},
    {"INIT", [](std::string_view v, SapHeader& h) { return address(v, h.init); }, kNotAnAddress},
    {"PLAYER", [](std::string_view v, SapHeader& h) { return address(v, h.player); }, kNotAnAddress},
    {"MUSIC", [](std::string_view v, SapHeader& h) { return address(v, h.music); }, kNotAnAddress},
    {"FASTPLAY", [](std::string_view v, SapHeader& h) { return number(v, 10, 1, 312 * 4, h.fastplay); },
     " is not a count of scan lines"},
    {"STEREO", [](std::string_view v, SapHeader& h) { return flag(v, h.stereo); }, kNotAFlag},
    {"NTSC", [](std::string_view v, SapHeader& h) { return flag(v, h.ntsc); }, kNotAFlag},
    {"TIME", [](std::string_view v, SapHeader& h) { return readTime(v, h.times.emplace_back()); },
     " is not a time (mm:ss.xxx, then LOOP or nothing)"},
};

} // namespace

SapHeaderReader::SapHeaderReader(std::string name) : name_(std::move(name)) {}

bool SapHeaderReader::feed(std::string_view bytes)
{
    while (wanting_ && !bytes.empty()) {
        // The image begins with the first line after "SAP" that begins with FF FF.
        if (lineNumber_ > 1 && (line_.empty() ? bytes.starts_with("\xFF\xFF") : line_ == "\xFF" && bytes[0] == '\xFF')) {
            header_.imageAt = offset_ - line_.size();
            close();
            break;
        }
        const std::size_t take = std::min(bytes.find('\n'), bytes.size() - 1) + 1;
        const std::string_view part = bytes.substr(0, take);
        overlong_ = overlong_ || (line_.size() + take > kLongestTagLine && !textLine(line_ + std::string(part.substr(0, 7))));
        line_.append(overlong_ ? part.substr(0, kLongestTagLine - std::min(line_.size(), kLongestTagLine)) : part);
        if (overlong_ && part.back() == '\n')
            line_ += '\n';  // the end of a line cut short
        offset_ += take;
        bytes.remove_prefix(take);
        if (lineNumber_ == 1 && !kFirstLine.starts_with(line_) && !kFirstLineLf.starts_with(line_)) {
            refuse(1, kNotSap);
            wanting_ = false;
        } else if (line_.back() == '\n') {
            if (lineNumber_ > 1)
                readLine(std::string_view(line_).substr(0, line_.size() - (line_.ends_with("\r\n") ? 2 : 1)));
            ++lineNumber_;
            line_.clear();
            overlong_ = false;
        }
    }
    return wanting_;
}

void SapHeaderReader::finish()
{
    if (!wanting_)
        return;
    if (lineNumber_ == 1) {
        refuse(1, kNotSap);
        wanting_ = false;
        return;
    }
    readLine(std::string_view(line_).substr(0, line_.size() - (line_.ends_with('\r') ? 1 : 0)));
    close();
}

void SapHeaderReader::readLine(std::string_view line)
{
    const std::size_t space = line.find(' ');
    const std::string_view keyword = line.substr(0, space), value = space == line.npos ? "" : line.substr(space + 1);
    if (keyword == "AUTHOR" || keyword == "NAME" || keyword == "DATE") {
        if (space != line.npos)
            (keyword == "AUTHOR" ? header_.author : keyword == "NAME" ? header_.name : header_.date) = text(value);
        return;
    }
    const auto tag = std::find_if(std::begin(kTags), std::end(kTags), [&](const Tag& t) { return t.keyword == keyword; });
    if (tag == std::end(kTags))
        return;  // not a tag of ours
    defsongLine_ = keyword == "DEFSONG" ? lineNumber_ : defsongLine_;
    if (overlong_ || !tag->read(trimmed(value), header_))
        refuse(lineNumber_, shown(line) + tag->refusal);
}

// The header's end: what its lines say together
void SapHeaderReader::close()
{
    if (header_.defsong >= header_.songs)
        refuse(defsongLine_, "DEFSONG " + std::to_string(header_.defsong) + " is not below SONGS "
                                 + std::to_string(header_.songs) + " (songs are counted from 0)");
    wanting_ = false;
}

void SapHeaderReader::refuse(std::size_t line, const std::string& why)
{
    if (problem_.empty())
        problem_ = located(name_, "line", line) + why;
}

std::string readSap(std::string_view file, SapFile& sap, const std::string& name)
{
    SapHeaderReader reader(name);
    if (reader.feed(file))
        reader.finish();
    static_cast<SapHeader&>(sap) = reader.header();
    if (!reader.problem().empty())
        return reader.problem();
    if (!sap.imageAt)
        return located(name, "offset", file.size()) + "the file ends before its image, a line that begins with FF FF";
    Segments segments = readSegments(file, *sap.imageAt);
    sap.segments = std::move(segments.list);
    const std::string where = located(name, "offset", segments.at),
                      segment = "the segment " + orvex::atariAddress(segments.start) + "-" + orvex::atariAddress(segments.end);
    switch (segments.problem) {
    case Segments::Problem::None: return "";
    case Segments::Problem::HeaderCut: return where + "the image ends inside a segment's header";
    case Segments::Problem::EndsBeforeStart: return where + segment + " ends before it starts";
    case Segments::Problem::RunsPastEnd: return where + segment + " runs past the file's end";
    }
    return "";
}

} // namespace orvex::sap
