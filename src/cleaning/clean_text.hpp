#pragma once
// The whole cleaning of a text, as the clipboard action and the filter do it.

#include <string>
#include <string_view>

namespace purlo {

// normalizeWhitespace(cleanURLs(text)): tracking items removed from every
// http/https address, then every run of white space one space, none at the
// ends. UTF-8 in, UTF-8 out; invalid bytes pass through.
std::string cleanText(std::string_view text);

}  // namespace purlo
