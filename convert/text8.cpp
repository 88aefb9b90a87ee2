#include "text8.h"

#include "latin_ascii.h"
#include "modules.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <unordered_set>
#include <utility>

namespace orvex {

namespace {

constexpr char32_t kMalformed = 0xFFFFFFFF;

// The characters of a text that became '?', each once, in the order they first appear
class Missing {
public:
    explicit Missing(std::u32string* list) : list_(list) {}
    void add(char32_t point)
    {
        if (list_ && point != kMalformed && seen_.insert(point).second)
            *list_ += point;
    }

private:
    std::u32string* list_;
    std::unordered_set<char32_t> seen_;
};

// Decodes one UTF-8 sequence at `i`; kMalformed for a sequence that is cut, overlong,
// a surrogate or above U+10FFFF.
char32_t nextCodePoint(std::string_view text, std::size_t& i)
{
    const auto lead = static_cast<unsigned char>(text[i++]);
    if (lead < 0x80)
        return lead;
    const int follow = lead >= 0xF0 && lead < 0xF5 ? 3 : lead >= 0xE0 && lead < 0xF0 ? 2 : lead >= 0xC2 && lead < 0xE0 ? 1 : -1;
    if (follow < 0)
        return kMalformed;
    char32_t point = lead & (0x3F >> follow);
    for (int k = 0; k < follow; ++k) {
        if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
            return kMalformed;
        point = (point << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
    }
    const char32_t shortest = follow == 1 ? 0x80 : follow == 2 ? 0x800 : 0x10000;
    if (point < shortest || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
        return kMalformed;
    return point;
}

// Hands the text on in stretches of well-formed characters that `takes` accepts, to
// `stretch`, and each other character (kMalformed for a malformed sequence) to `other`.
template <typename Stretch, typename Other>
void split(std::string_view text, bool (*takes)(char32_t), Stretch stretch, Other other)
{
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t at = i;
        const char32_t point = nextCodePoint(text, i);
        if (point != kMalformed && takes(point))
            continue;
        stretch(text.substr(start, at - start));
        other(point);
        start = i;
    }
    stretch(text.substr(start));
}

// One of iconv's conversions. Its descriptor holds the state of a conversion under way,
// so each thread has its own.
class Iconv {
public:
    Iconv(const char* to, const char* from) : descriptor_(::iconv_open(to, from))
    {
        if (descriptor_ != reinterpret_cast<iconv_t>(-1))
            return;
        if (errno == ENOMEM)
            throw std::bad_alloc();
        throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to + " ("
                                 + std::strerror(errno) + ")");
    }
    ~Iconv() { ::iconv_close(descriptor_); }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    // Appends the text, converted, to `out`. Where the target lacks what `rest` begins
    // with, `lacking(rest)` gives how many bytes that is (at least one) and what stands for it.
    template <typename Lacking>
    void convert(std::string_view text, std::string& out, Lacking lacking)
    {
        char* in = const_cast<char*>(text.data());
        std::size_t left = text.size();
        char buffer[1024];
        while (left > 0) {
            char* to = buffer;
            std::size_t room = sizeof buffer;
            const bool stopped = ::iconv(descriptor_, &in, &left, &to, &room) == static_cast<std::size_t>(-1);
            out.append(buffer, static_cast<std::size_t>(to - buffer));
            if (stopped && errno != E2BIG) {
                const auto [taken, standIn] = lacking(std::string_view(in, left));
                out += standIn;
                in += taken;
                left -= taken;
            }
        }
    }

private:
    iconv_t descriptor_;
};

// glibc's code page drops the Unicode tag characters (U+E0000 to U+E007F) without a
// word; the header writes '?' for each.
bool notATag(char32_t point)
{
    return point < 0xE0000 || point > 0xE007F;
}

Iconv& toCodePage()
{
    thread_local Iconv converter("CP1250", "UTF-8");
    return converter;
}

Iconv& fromCodePage()
{
    thread_local Iconv converter("UTF-8", "CP1250");
    return converter;
}

// The module of ASCII forms, loaded once, the first time a thread needs it, from the
// folder beside the program's; throws std::runtime_error when it cannot be loaded.
LatinAscii latinAscii()
{
    const ModuleEntry& loaded = moduleEntry(kLatinAsciiModule, "orvexLatinAscii");
    if (!loaded.entry)
        throw std::runtime_error("cannot load the ASCII forms: " + loaded.error);
    return reinterpret_cast<LatinAscii>(loaded.entry);
}

// Appends the ASCII form of a stretch of well-formed UTF-8 to `out`: a double quote
// that ICU writes becomes an apostrophe, what stays beyond ASCII '?'.
void appendAscii(std::string_view stretch, std::string& out, bool* changed, Missing& missing)
{
    if (std::all_of(stretch.begin(), stretch.end(), [](char c) { return (c & 0x80) == 0; })) {
        out += stretch;
        return;
    }
    std::u32string text, given;
    std::string error;
    if (!latinAscii()(stretch, &text, &error))
        throw std::runtime_error(error);
    for (std::size_t i = 0; i < stretch.size();)
        given += nextCodePoint(stretch, i);
    if (changed && text != given)
        *changed = true;
    for (const char32_t point : text) {
        if (point >= 0x80)
            missing.add(point);
        out += point == '"' ? '\'' : point < 0x80 ? static_cast<char>(point) : '?';
    }
}

} // namespace

std::string utf8ToWindows1250(std::string_view text, std::u32string* missingList)
{
    Missing missing(missingList);
    std::string out;
    out.reserve(text.size());
    const auto lacking = [&missing](std::string_view rest) {
        std::size_t taken = 0;
        missing.add(nextCodePoint(rest, taken));
        return std::pair(taken, std::string_view("?"));
    };
    split(
        text, notATag, [&](std::string_view stretch) { toCodePage().convert(stretch, out, lacking); },
        [&](char32_t point) {
            missing.add(point);
            out += '?';
        });
    return out;
}

std::string windows1250ToUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    // The five bytes that the code page leaves without a character
    fromCodePage().convert(text, out, [](std::string_view) { return std::pair(std::size_t{1}, std::string_view("\uFFFD")); });
    return out;
}

std::string utf8ToAscii(std::string_view text, bool* changed, std::u32string* missingList)
{
    Missing missing(missingList);
    std::string out;
    out.reserve(text.size());
    // A double quote of the text's own stays as it is.
    split(
        text, [](char32_t point) { return point != '"'; },
        [&](std::string_view stretch) { appendAscii(stretch, out, changed, missing); },
        [&out](char32_t point) { out += point == '"' ? '"' : '?'; });
    return out;
}

std::string textConversionProblem(bool ascii)
{
    try {
        toCodePage();
        fromCodePage();
        if (std::string error; ascii && !latinAscii()(std::string_view(), nullptr, &error))
            return error;
        return "";
    } catch (const std::runtime_error& e) {
        return e.what();
    }
}

std::size_t firstMalformed(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t start = i;
        if (nextCodePoint(text, i) == kMalformed)
            return start;
    }
    return text.size();
}

bool isValidUtf8(std::string_view text)
{
    return firstMalformed(text) == text.size();
}

std::string describeCharacter(char32_t point)
{
    std::string text = "'";
    const int follow = point < 0x80 ? 0 : point < 0x800 ? 1 : point < 0x10000 ? 2 : 3;
    constexpr unsigned char kLead[] = {0x00, 0xC0, 0xE0, 0xF0};  // of 1 to 4 bytes
    text += static_cast<char>(kLead[follow] | point >> (6 * follow));
    for (int k = follow - 1; k >= 0; --k)
        text += static_cast<char>(0x80 | (point >> (6 * k) & 0x3F));
    char code[16];
    std::snprintf(code, sizeof code, "' (U+%04X)", static_cast<unsigned>(point));
    return text + code;
}

} // namespace orvex
