#pragma once
// The SAP header's texts are 8-bit. The program writes them in the Central European
// Windows code page (1250); characters it does not hold become '?'.

#include <string>
#include <string_view>

namespace orvex {

std::string utf8ToWindows1250(std::string_view text);
std::string windows1250ToUtf8(std::string_view text);

} // namespace orvex
