#pragma once
// Finds every http/https address in a text and strips its tracking items.

#include <string>
#include <string_view>

namespace purlo {

// `text` with every match of https?://[^\s<>"']+ replaced by
// removeTrackingParams() of it. UTF-8 in, UTF-8 out; invalid bytes pass through.
std::string cleanURLs(std::string_view text);

}  // namespace purlo
