#include "text8.h"

#include <iconv.h>
#include <unicode/parseerr.h>
#include <unicode/translit.h>
#include <unicode/unistr.h>

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

// The standard header's ASCII forms: any script in Latin letters, then these in ASCII.
// Double quotes, which that header cannot hold, become apostrophes (ICU writes curly ones
// as '"', and "„" as ",,"); three signs keep the look-alikes they have always had.
constexpr char16_t kAsciiRules[] = u"[\u201C\u201D\u201E\u201F] > \\'; \u00B4 > \\'; \u00B7 > \\.; \u2022 > \\*;"
                                   u"::Any-Latin; ::Latin-ASCII;";

// The transliterator of the ASCII forms, made once (it takes a while) and cloned for each
// thread: a clone may be used while another thread uses another.
icu::Transliterator& transliterator()
{
    static const std::unique_ptr<icu::Transliterator> made = [] {
        UErrorCode status = U_ZERO_ERROR;
        UParseError where{};
        std::unique_ptr<icu::Transliterator> t(icu::Transliterator::createFromRules(
            "orvex-ascii", icu::UnicodeString(kAsciiRules), UTRANS_FORWARD, where, status));
        if (U_FAILURE(status) || !t)
            throw std::runtime_error(std::string("ICU cannot make the ASCII transliterator (") + u_errorName(status) + ")");
        return t;
    }();
    thread_local const std::unique_ptr<icu::Transliterator> mine(made->clone());
    if (!mine)
        throw std::bad_alloc();
    return *mine;
}

// Appends the ASCII form of a stretch of well-formed UTF-8 to `out`: a double quote
// that ICU writes becomes an apostrophe, what stays beyond ASCII '?'.
void appendAscii(std::string_view stretch, std::string& out, bool* changed, Missing& missing)
{
    if (std::all_of(stretch.begin(), stretch.end(), [](char c) { return (c & 0x80) == 0; })) {
        out += stretch;
        return;
    }
    if (stretch.size() > INT32_MAX / 2)  // beyond what an ICU string holds
        throw std::bad_alloc();
    const auto size = static_cast<int32_t>(stretch.size());
    const icu::UnicodeString given = icu::UnicodeString::fromUTF8(icu::StringPiece(stretch.data(), size));
    icu::UnicodeString text = given;
    transliterator().transliterate(text);
    if (given.isBogus() || text.isBogus())
        throw std::bad_alloc();
    if (changed && text != given)
        *changed = true;
    for (int32_t i = 0; i < text.length(); i = text.moveIndex32(i, 1)) {
        const UChar32 point = text.char32At(i);
        if (point >= 0x80)
            missing.add(static_cast<char32_t>(point));
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
        if (ascii)
            transliterator();
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
    icu::UnicodeString(static_cast<UChar32>(point)).toUTF8String(text);
    char code[16];
    std::snprintf(code, sizeof code, "' (U+%04X)", static_cast<unsigned>(point));
    return text + code;
}

} // namespace orvex
