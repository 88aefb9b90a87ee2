#include "text8.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace orvex {

namespace {

// Unicode code points of the Windows-1250 bytes 0x80 to 0xFF; 0 where a byte has none.
constexpr std::array<char16_t, 128> kHighHalf{
    0x20AC, 0x0000, 0x201A, 0x0000, 0x201E, 0x2026, 0x2020, 0x2021,
    0x0000, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179,
    0x0000, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0000, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A,
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7,
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C,
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
};

constexpr char32_t kMalformed = 0xFFFFFFFF;

// The Windows-1250 byte of each character of its upper half
const std::unordered_map<char32_t, char>& highHalfBytes()
{
    static const std::unordered_map<char32_t, char> bytes = [] {
        std::unordered_map<char32_t, char> made;
        for (std::size_t k = 0; k < kHighHalf.size(); ++k) {
            if (kHighHalf[k] != 0)
                made.emplace(kHighHalf[k], static_cast<char>(0x80 + k));
        }
        return made;
    }();
    return bytes;
}

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

void appendUtf8(std::string& out, char32_t point)
{
    if (point < 0x80) {
        out += static_cast<char>(point);
    } else if (point < 0x800) {
        out += static_cast<char>(0xC0 | (point >> 6));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        out += static_cast<char>(0xE0 | (point >> 12));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (point >> 18));
        out += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    }
}

// The ASCII letters of U+00C0 to U+017F, sixteen a row; '*' where the form has more
// than one letter (kLongForms), '?' where there is none.
constexpr std::string_view kLatinLetters =
    "AAAAAA*CEEEEIIII"  // U+00C0
    "DNOOOOOxOUUUUY**"  // U+00D0
    "aaaaaa*ceeeeiiii"  // U+00E0
    "dnooooo?ouuuuy*y"  // U+00F0
    "AaAaAaCcCcCcCcDd"  // U+0100
    "DdEeEeEeEeEeGgGg"  // U+0110
    "GgGgHhHhIiIiIiIi"  // U+0120
    "Ii**JjKkkLlLlLlL"  // U+0130
    "lLlNnNnNnnNnOoOo"  // U+0140
    "Oo**RrRrRrSsSsSs"  // U+0150
    "SsTtTtTtUuUuUuUu"  // U+0160
    "UuUuWwYyYZzZzZzs"; // U+0170

struct LongForm {
    char32_t point;
    const char* ascii;
};
constexpr LongForm kLongForms[] = {
    {0x00C6, "AE"}, {0x00DE, "TH"}, {0x00DF, "ss"}, {0x00E6, "ae"}, {0x00FE, "th"}, {0x0132, "IJ"},
    {0x0133, "ij"}, {0x0152, "OE"}, {0x0153, "oe"},
    // Signs with a look-alike
    {0x00A0, " "}, {0x00AD, "-"}, {0x00B4, "'"}, {0x00B7, "."}, {0x2010, "-"}, {0x2011, "-"}, {0x2012, "-"},
    {0x2013, "-"}, {0x2014, "-"}, {0x2018, "'"}, {0x2019, "'"}, {0x201A, ","}, {0x201C, "'"}, {0x201D, "'"},
    {0x201E, "'"}, {0x2022, "*"}, {0x2026, "..."},
};

// The ASCII form of one character; empty when it has none.
std::string_view asciiForm(char32_t point, char (&letter)[1])
{
    if (point >= 0xC0 && point < 0xC0 + kLatinLetters.size() && kLatinLetters[point - 0xC0] != '*') {
        letter[0] = kLatinLetters[point - 0xC0];
        return letter[0] == '?' ? std::string_view() : std::string_view(letter, 1);
    }
    for (const LongForm& form : kLongForms) {
        if (form.point == point)
            return form.ascii;
    }
    return {};
}

} // namespace

std::string utf8ToAscii(std::string_view text, bool* changed, std::u32string* missingList)
{
    Missing missing(missingList);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const char32_t point = nextCodePoint(text, i);
        char letter[1];
        const std::string_view form = point < 0x80 ? std::string_view() : asciiForm(point, letter);
        if (point < 0x80) {
            out += static_cast<char>(point);
        } else if (!form.empty()) {
            out += form;
            if (changed)
                *changed = true;
        } else {
            missing.add(point);
            out += '?';
        }
    }
    return out;
}

std::string utf8ToWindows1250(std::string_view text, std::u32string* missingList)
{
    Missing missing(missingList);
    const auto& bytes = highHalfBytes();
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const char32_t point = nextCodePoint(text, i);
        if (point < 0x80) {
            out += static_cast<char>(point);
            continue;
        }
        const auto byte = bytes.find(point);
        if (byte == bytes.end())
            missing.add(point);
        out += byte != bytes.end() ? byte->second : '?';
    }
    return out;
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
    appendUtf8(text, point);
    char code[16];
    std::snprintf(code, sizeof code, "' (U+%04X)", static_cast<unsigned>(point));
    return text + code;
}

std::string windows1250ToUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80)
            out += c;
        else
            appendUtf8(out, kHighHalf[byte - 0x80] ? kHighHalf[byte - 0x80] : char32_t{0xFFFD});
    }
    return out;
}

} // namespace orvex
