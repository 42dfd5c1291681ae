#include "cleaning/whitespace.hpp"

#include "cleaning/utf8_whitespace.hpp"

namespace purlo {

std::string normalizeWhitespace(std::string_view text) {
    using detail::kWhitespaceLead;
    using detail::whitespaceLength;

    std::string out;
    out.resize(text.size());  // the output is never longer than the input
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = p + text.size();
    char* const first = out.data();
    char* o = first;

    while (p < end) {
        const unsigned char c = *p;
        if (kWhitespaceLead[c] == 0) {
            *o++ = static_cast<char>(c);
            ++p;
            continue;
        }
        // The common case in prose: one plain space between two words.
        if (c == ' ' && o != first && p + 1 < end && kWhitespaceLead[p[1]] == 0) {
            *o++ = ' ';
            ++p;
            continue;
        }
        std::size_t len = whitespaceLength(p, end);
        if (len == 0) {  // a lead byte of something that is not white space
            *o++ = static_cast<char>(c);
            ++p;
            continue;
        }
        do {
            p += len;
        } while (p < end && (len = whitespaceLength(p, end)) != 0);
        // A run at the start or the end of the text is trimmed, not collapsed.
        if (o != first && p < end) *o++ = ' ';
    }
    out.resize(static_cast<std::size_t>(o - first));
    return out;
}

}  // namespace purlo
