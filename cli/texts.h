#pragma once
// The texts of each module's header: its name, author and date. For each of them the
// first of these that gives one wins: the module's row of the tags file (--tags), the
// options -n, -a and -d, the SAP file the module replaces (--keep-tags); with none, the
// header writes its placeholder. An empty text is no text.

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

enum Field { kName, kAuthor, kDate };
inline constexpr const char* kFieldNames[] = {"name", "author", "date"};

using Texts = std::array<std::string, 3>;

// Reads the texts of the SAP file's header, in either style ('X' or "X"), byte for byte
// however long they are; a placeholder ('Unknown', <?>) is no text, and so is a field the
// header lacks. Returns "" when the file holds a SAP header or does not exist, else why
// it cannot be read as one.
std::string keptTexts(const std::string& sapFile, Texts& texts);

// A text in the form the header writes: Windows-1250, or with `standard` printable
// ASCII. Characters it changes add a warning to `warnings`, a sentence that names
// `source` (": "-terminated, or "" for an option). Returns "" or why the text cannot be
// written, a clause to be made a sentence: a double quote in the standard style, a
// control character.
std::string encode(std::string_view utf8, Field field, bool standard, const std::string& source, std::string& into,
                   std::vector<std::string>& warnings);

} // namespace cli
