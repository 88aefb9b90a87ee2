// The standard header's AUTHOR, NAME and DATE lines, written out as data, the rest as the
// default style writes it; the ASCII forms that the standard style's texts take; and the
// default style's code page, Windows-1250, both ways.

#include "support.h"
#include "text8.h"

#include <gtest/gtest.h>

namespace {

using namespace support;
using namespace std::string_view_literals;

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
    const char *label, *utf8, *ascii;
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
                      Ascii{"latin", "Stra\u00DFe \u00C4rger Dvo\u0159\u00E1k \u016Fl \u013Dubom\u00EDr \u013Eud \u0150r\u0171 "
                                     "\u0152uvre \u00C6ther \u0133 \u00C0\u017F\u00FF\u0100",
                            "Strasse Arger Dvorak ul Lubomir lud Oru OEuvre AEther ij AsyA", true, U""},
                      Ascii{"cyrillic_greek_and_combining_accent",
                            "\u0414\u043C\u0438\u0442\u0440\u0438\u0439 \u039A\u03CE\u03C3\u03C4\u03B1\u03C2 e\u0301", "Dmitrij Kostas e", true, U""},
                      Ascii{"signs", "A\u2013B\u2026 \u201Cq\u201D \u201Eq\u201F \u2033\u00B4\u00B7\u2022", "A-B... 'q' 'q' ''.*", true, U""},
                      Ascii{"no_form", "\U0001F600\u266B\U0001F600", "???", false, U"\U0001F600\u266B"},
                      Ascii{"plain_ascii_and_control", "Tune~ \"1\"\x7F", "Tune~ \"1\"\x7F", false, U""},
                      Ascii{"own_double_quote_and_malformed", "\"\u00E9\" a\xC0\x80", "\"e\" a??", true, U""}),
    [](const auto& info) { return std::string(info.param.label); });

// Windows-1250 as published: the character of each byte, U+FFFD for the five that have none
constexpr std::string_view kWindows1250 =
    "\0\1\2\3\4\5\6\7\10\11\12\13\14\15\16\17\20\21\22\23\24\25\26\27\30\31\32\33\34\35\36\37"
    " !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`abcdefghijklmnopqrstuvwxyz{|}~\177"
    "\u20AC\uFFFD\u201A\uFFFD\u201E\u2026\u2020\u2021\uFFFD\u2030\u0160\u2039\u015A\u0164\u017D\u0179"  // 0x80
    "\uFFFD\u2018\u2019\u201C\u201D\u2022\u2013\u2014\uFFFD\u2122\u0161\u203A\u015B\u0165\u017E\u017A"  // 0x90
    "\u00A0\u02C7\u02D8\u0141\u00A4\u0104\u00A6\u00A7\u00A8\u00A9\u015E\u00AB\u00AC\u00AD\u00AE\u017B"  // 0xA0
    "\u00B0\u00B1\u02DB\u0142\u00B4\u00B5\u00B6\u00B7\u00B8\u0105\u015F\u00BB\u013D\u02DD\u013E\u017C"  // 0xB0
    "\u0154\u00C1\u00C2\u0102\u00C4\u0139\u0106\u00C7\u010C\u00C9\u0118\u00CB\u011A\u00CD\u00CE\u010E"  // 0xC0
    "\u0110\u0143\u0147\u00D3\u00D4\u0150\u00D6\u00D7\u0158\u016E\u00DA\u0170\u00DC\u00DD\u0162\u00DF"  // 0xD0
    "\u0155\u00E1\u00E2\u0103\u00E4\u013A\u0107\u00E7\u010D\u00E9\u0119\u00EB\u011B\u00ED\u00EE\u010F"  // 0xE0
    "\u0111\u0144\u0148\u00F3\u00F4\u0151\u00F6\u00F7\u0159\u016F\u00FA\u0171\u00FC\u00FD\u0163\u02D9"sv;  // 0xF0

// Every byte of the code page to UTF-8 and back; what it lacks becomes '?', named once: a
// letter, a tag character, a character of another script (not a malformed sequence).
TEST(CodePage, EveryByteAndWhatItLacks)
{
    std::string bytes;
    for (int b = 0; b < 256; ++b)
        bytes += static_cast<char>(b);
    EXPECT_EQ(orvex::windows1250ToUtf8(bytes), kWindows1250);
    for (const int none : {0x81, 0x83, 0x88, 0x90, 0x98})
        bytes[none] = '?';
    std::u32string missing;
    EXPECT_EQ(orvex::utf8ToWindows1250(kWindows1250, &missing), bytes);
    EXPECT_EQ(missing, U"\uFFFD");
    EXPECT_EQ(orvex::utf8ToWindows1250("\u0100x\U000E0001\u65E5\u0100\xC0\x80", &missing), "?x?????");
    EXPECT_EQ(missing, U"\uFFFD\u0100\U000E0001\u65E5");
}

} // namespace
