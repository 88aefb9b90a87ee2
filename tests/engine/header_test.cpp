// The standard header's AUTHOR, NAME and DATE lines, written out as data, the rest as the
// default style writes it; and the ASCII forms that the standard style's texts take.

#include "support.h"
#include "text8.h"

#include <gtest/gtest.h>

namespace {

using namespace support;

struct HeaderCase {
    const char* label;
    const char *name, *author, *date;  // Windows-1250
    const char* lines;                 // SAP to TYPE, or the message's fragment
};

class Headers : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(Headers, Lines)
{
    const HeaderCase& c = GetParam();
    Bench b;
    const Bytes plain = b.convert("plain.com", module(0x8000, 300));
    b.window.name = c.name;
    b.window.author = c.author;
    b.window.date = c.date;
    b.converter.setHeaderStyle(orvex::HeaderStyle::Standard);
    b.load(b.put("song.com", module(0x8000, 300)));
    const std::string written = b.saveAs("song.sap");
    if (!b.window.errors.empty()) {
        EXPECT_NE(b.window.errors[0].find(c.lines), std::string::npos) << b.window.errors[0];
        EXPECT_FALSE(std::filesystem::exists(written));
        return;
    }
    const std::string file = textOf(readFile(written)), before = textOf(plain);
    const std::size_t type = file.find("TYPE B\r\n");
    EXPECT_EQ(file.substr(0, type), c.lines);
    EXPECT_TRUE(file.substr(type) == before.substr(before.find("TYPE B\r\n")));
}

INSTANTIATE_TEST_SUITE_P(
    Standard, Headers,
    ::testing::Values(
        HeaderCase{"empty", "", "", "", "SAP\r\nAUTHOR \"<?>\"\r\nNAME \"<?>\"\r\nDATE \"<?>\"\r\n"},
        HeaderCase{"apostrophe_and_space", "It's", " ", "", "SAP\r\nAUTHOR \" \"\r\nNAME \"It's\"\r\nDATE \"<?>\"\r\n"},
        HeaderCase{"double_quote", "a\"b", "", "", "The name holds a double quote"},
        HeaderCase{"beyond_ascii", "", "J\xF6rg", "", "The author holds a character beyond printable ASCII"}),
    [](const auto& info) { return std::string(info.param.label); });

struct Ascii {
    const char* label;
    const char* utf8;
    const char* ascii;
    bool changed;
    const char32_t* missing;
};

class Transliteration : public ::testing::TestWithParam<Ascii> {};

TEST_P(Transliteration, Forms)
{
    const Ascii& a = GetParam();
    bool changed = false;
    std::u32string missing;
    EXPECT_EQ(orvex::utf8ToAscii(a.utf8, &changed, &missing), a.ascii);
    EXPECT_EQ(changed, a.changed);
    EXPECT_EQ(missing, a.missing);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Transliteration,
    ::testing::Values(Ascii{"polish", "Za\u017C\u00F3\u0142\u0107 g\u0119\u015Bl\u0105 ja\u017A\u0144", "Zazolc gesla jazn", true, U""},
                      Ascii{"german", "Stra\u00DFe \u00C4rger", "Strasse Arger", true, U""},
                      Ascii{"czech", "Dvo\u0159\u00E1k \u016Fl", "Dvorak ul", true, U""},
                      Ascii{"slovak_and_hungarian", "\u013Dubom\u00EDr \u013Eud \u0150r\u0171", "Lubomir lud Oru", true, U""},
                      Ascii{"ligatures", "\u0152uvre \u00C6ther \u0133", "OEuvre AEther ij", true, U""},
                      Ascii{"first_and_last_letters", "\u00C0\u017F\u00FF\u0100", "AsyA", true, U""},
                      Ascii{"signs", "A\u2013B\u2026 \u201Cq\u201D", "A-B... 'q'", true, U""},
                      Ascii{"no_form", "\u65E5\u00F7\u65E5", "???", false, U"\u65E5\u00F7"},
                      Ascii{"plain_ascii_and_control", "Tune~ 1\x7F", "Tune~ 1\x7F", false, U""},
                      Ascii{"malformed", "a\xC0\x80", "a??", false, U""}),
    [](const auto& info) { return std::string(info.param.label); });

} // namespace
