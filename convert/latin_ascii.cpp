// The standard header's ASCII forms, through ICU's transliterator. Built as a module of
// its own that the program loads the first time it needs it (text8.cpp): ICU takes a
// while to load, and most runs never need it.

#include "latin_ascii.h"

#include <unicode/parseerr.h>
#include <unicode/translit.h>
#include <unicode/unistr.h>

#include <climits>
#include <memory>
#include <new>

namespace {

// Any script in Latin letters, then these in ASCII. Double quotes, which the standard
// header cannot hold, become apostrophes (ICU writes curly ones as '"', and "„" as ",,");
// three signs keep the look-alikes they have always had.
constexpr char16_t kAsciiRules[] = u"[\u201C\u201D\u201E\u201F] > \\'; \u00B4 > \\'; \u00B7 > \\.; \u2022 > \\*;"
                                   u"::Any-Latin; ::Latin-ASCII;";

// The transliterator, made once (it takes a while) and cloned for each thread: a clone
// may be used while another thread uses another. Null when ICU cannot make it.
icu::Transliterator* transliterator(std::string& error)
{
    static UErrorCode status = U_ZERO_ERROR;
    static const std::unique_ptr<icu::Transliterator> made = [] {
        UParseError where{};
        return std::unique_ptr<icu::Transliterator>(
            icu::Transliterator::createFromRules("orvex-ascii", icu::UnicodeString(kAsciiRules), UTRANS_FORWARD, where, status));
    }();
    if (U_FAILURE(status) || !made) {
        error = std::string("ICU cannot make the ASCII transliterator (") + u_errorName(status) + ")";
        return nullptr;
    }
    thread_local const std::unique_ptr<icu::Transliterator> mine(made->clone());
    if (!mine)
        throw std::bad_alloc();
    return mine.get();
}

} // namespace

extern "C" bool orvexLatinAscii(std::string_view utf8, std::u32string* out, std::string* error)
{
    icu::Transliterator* latin = transliterator(*error);
    if (!latin || !out)
        return latin != nullptr;
    if (utf8.size() > INT32_MAX / 2)  // beyond what an ICU string holds
        throw std::bad_alloc();
    icu::UnicodeString text = icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
    latin->transliterate(text);
    if (text.isBogus())
        throw std::bad_alloc();
    out->clear();
    for (int32_t i = 0; i < text.length(); i = text.moveIndex32(i, 1))
        *out += static_cast<char32_t>(text.char32At(i));
    return true;
}
