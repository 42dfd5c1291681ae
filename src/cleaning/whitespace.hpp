#pragma once
// Collapses white space to single spaces and trims the ends.

#include <string>
#include <string_view>

namespace purlo {

// Every maximal run of Unicode White_Space code points becomes one U+0020;
// none is left at either end. Invalid UTF-8 bytes are not white space.
std::string normalizeWhitespace(std::string_view text);

}  // namespace purlo
