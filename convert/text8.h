#pragma once
// The SAP header's texts are 8-bit. The program writes them in the Central European
// Windows code page (1250), converted by glibc's iconv; characters it does not hold become
// '?'. The standard header's ASCII forms come from ICU's transliterator, in a module that
// is loaded the first time it is needed (latin_ascii.cpp). Each thread has
// converters of its own. Without them (a system that lacks them) the conversions throw
// std::runtime_error, saying what is missing; short of memory, std::bad_alloc.

#include <string>
#include <string_view>

namespace orvex {

// Characters that the code page lacks become '?'; when `missing` is given, they are
// added to it, each once, in the order they first appear. Malformed UTF-8 (overlong
// forms included) gives '?' too.
std::string utf8ToWindows1250(std::string_view text, std::u32string* missing = nullptr);
// The five bytes that the code page leaves without a character (0x81, 0x83, 0x88, 0x90
// and 0x98) become U+FFFD.
std::string windows1250ToUtf8(std::string_view text);

// True when the text is well-formed UTF-8: shortest forms only, no surrogates, nothing
// above U+10FFFF.
bool isValidUtf8(std::string_view text);
// Where the first malformed sequence begins; the text's size when there is none.
std::size_t firstMalformed(std::string_view text);

// The printable-ASCII form of a text: other scripts are written in Latin letters
// ("Дмитрий" becomes "Dmitrij"), letters lose their diacritics ("Zażółć" becomes "Zazolc",
// "ß" "ss"), signs become their ASCII look-alikes ("–" "-", curly double quotes
// apostrophes), control characters and the text's own double quotes stay, and any other
// character becomes '?'. `changed` tells whether a character was transliterated; `missing`
// gets those that became '?', each once, in the order they first appear.
std::string utf8ToAscii(std::string_view text, bool* changed = nullptr, std::u32string* missing = nullptr);

// Why texts cannot be converted here, "" when they can: the code page's converters and,
// with `ascii`, the transliterator are made ready for this thread.
std::string textConversionProblem(bool ascii);

// The character as UTF-8 with its code point, for messages: "'日' (U+65E5)".
std::string describeCharacter(char32_t point);

} // namespace orvex
