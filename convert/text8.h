#pragma once
// The SAP header's texts are 8-bit. The program writes them in the Central European
// Windows code page (1250); characters it does not hold become '?'.

#include <string>
#include <string_view>

namespace orvex {

// Characters that the code page lacks become '?'; when `missing` is given, they are
// added to it, each once, in the order they first appear. Malformed UTF-8 (overlong
// forms included) gives '?' too.
std::string utf8ToWindows1250(std::string_view text, std::u32string* missing = nullptr);
std::string windows1250ToUtf8(std::string_view text);

// True when the text is well-formed UTF-8: shortest forms only, no surrogates, nothing
// above U+10FFFF.
bool isValidUtf8(std::string_view text);
// Where the first malformed sequence begins; the text's size when there is none.
std::size_t firstMalformed(std::string_view text);

// The printable-ASCII form of a text: letters lose their diacritics ("Zażółć" becomes
// "Zazolc", "ß" "ss"), a few signs become their ASCII look-alikes ("–" "-"), control
// characters stay, and any other character becomes '?'. `changed` tells whether a
// character was transliterated; `missing` gets those that became '?', each once, in the
// order they first appear.
std::string utf8ToAscii(std::string_view text, bool* changed = nullptr, std::u32string* missing = nullptr);

// The character as UTF-8 with its code point, for messages: "'日' (U+65E5)".
std::string describeCharacter(char32_t point);

} // namespace orvex
