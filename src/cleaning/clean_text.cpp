#include "cleaning/clean_text.hpp"

#include "cleaning/url_cleaner.hpp"
#include "cleaning/utf8_whitespace.hpp"

namespace purlo {

// The white space is collapsed inside the address cleaner's own result, so
// a text costs one fresh copy rather than two: for a large text that second
// copy's page faults would cost as much as the cleaning itself.
std::string cleanText(std::string_view text) {
    std::string out = cleanURLs(text);
    out.resize(detail::collapseWhitespace(out.data(), out.size(), out.data()));
    return out;
}

}  // namespace purlo
