#pragma once
// What the module of ASCII forms (latin_ascii.cpp) offers the program.

#include <string>
#include <string_view>

// Writes to `out` the transliteration of well-formed UTF-8 text, any script in Latin
// letters and then in ASCII where it can, as code points; with `out` null, only makes the
// transliterator ready. False, with `error` saying why, when ICU cannot make it; short of
// memory, std::bad_alloc.
extern "C" bool orvexLatinAscii(std::string_view utf8, std::u32string* out, std::string* error);
using LatinAscii = decltype(&orvexLatinAscii);

// The module's name, in the folder ORVEX_MODULE_FOLDER beside the program's folder
inline constexpr const char* kLatinAsciiModule = "liborvex-latin-ascii.so";
