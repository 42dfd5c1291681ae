// Feeds arbitrary bytes through the cleaning functions and aborts on
// any broken promise: the sanitizers catch memory and undefined behaviour,
// the checks below catch wrong output.

#include "cleaning/clean_text.hpp"
#include "cleaning/tracking_params.hpp"
#include "cleaning/url_cleaner.hpp"
#include "cleaning/whitespace.hpp"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void require(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

bool startsWithWhiteSpaceOtherThanSpace(std::string_view s) {
    for (const char* ws : {"\t",     "\n",     "\v",     "\f",     "\r",     "\u0085", "\u00A0", "\u1680",
                           "\u2000", "\u2001", "\u2002", "\u2003", "\u2004", "\u2005", "\u2006", "\u2007",
                           "\u2008", "\u2009", "\u200A", "\u2028", "\u2029", "\u202F", "\u205F", "\u3000"}) {
        if (s.find(ws) != std::string_view::npos) return true;
    }
    return false;
}

// An address whose last character is a prepended mark (U+0600, say) is
// glued to the white space after it and so is kept as it stands; once the
// trim takes that white space away, the address ends on a boundary and a
// second cleaning does rewrite it. That is the one way the pipeline may
// legitimately not be stable.
bool endsWithPrepend(std::string_view s) {
    if (s.empty()) return false;
    auto i = static_cast<int32_t>(s.size());
    UChar32 cp;
    U8_PREV(reinterpret_cast<const uint8_t*>(s.data()), 0, i, cp);
    return cp >= 0 && u_getIntPropertyValue(cp, UCHAR_GRAPHEME_CLUSTER_BREAK) == U_GCB_PREPEND;
}

// White space collapsed the slow and obvious way, code point by code point
// with ICU's White_Space property, to check the fast one against.
std::string referenceNormalize(std::string_view s) {
    std::string out;
    const auto* b = reinterpret_cast<const uint8_t*>(s.data());
    const auto n = static_cast<int32_t>(s.size());
    for (int32_t i = 0; i < n;) {
        const int32_t at = i;
        UChar32 cp;
        U8_NEXT(b, i, n, cp);
        if (cp >= 0 && u_isUWhiteSpace(cp)) {
            if (!out.empty() && out.back() != ' ') out.push_back(' ');
        } else {
            out.append(s.substr(static_cast<std::size_t>(at), static_cast<std::size_t>(i - at)));
        }
    }
    if (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view in(reinterpret_cast<const char*>(data), size);

    const std::string address = purlo::removeTrackingParams(in);
    require(address.size() <= in.size(), "removing items made the address longer");
    require(purlo::removeTrackingParams(address) == address, "removing items twice changed the address");

    require(purlo::normalizeWhitespace(in) == referenceNormalize(in), "white space collapsed wrongly");

    // cleanText collapses in place, inside the address cleaner's result.
    const std::string out = purlo::cleanText(in);
    require(out == referenceNormalize(purlo::cleanURLs(in)), "the whole cleaning differs from its two steps");
    require(out.size() <= in.size(), "cleaning made the text longer");
    require(out.find("  ") == std::string::npos, "two spaces in a row");
    require(out.empty() || (out.front() != ' ' && out.back() != ' '), "space at an end");
    require(!startsWithWhiteSpaceOtherThanSpace(out), "white space other than U+0020 left");
    if (!endsWithPrepend(out)) {
        require(purlo::cleanText(out) == out, "cleaning twice changed the text");
    }
    return 0;
}
