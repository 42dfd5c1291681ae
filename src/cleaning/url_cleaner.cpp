#include "cleaning/url_cleaner.hpp"

#include "cleaning/tracking_params_detail.hpp"
#include "cleaning/utf8_whitespace.hpp"

#include <unicode/ubrk.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <cstring>
#include <memory>
#include <new>

namespace purlo {
namespace {

using Byte = unsigned char;

bool isExcludedAscii(Byte c) { return c == '<' || c == '>' || c == '"' || c == '\''; }

// End of the run of characters that the address pattern's [^\s<>"']+ takes,
// starting at p. Invalid bytes are ordinary characters here.
const Byte* matchEnd(const Byte* p, const Byte* end) {
    while (p < end) {
        const Byte c = *p;
        if (detail::kWhitespaceLead[c] == 0) {
            if (isExcludedAscii(c)) return p;
            ++p;
            continue;
        }
        if (detail::whitespaceLength(p, end) != 0) return p;
        ++p;
    }
    return end;
}

// Grapheme-cluster boundaries at the edges of a match. Only the few code
// points around an edge are handed to ICU, never the whole text.
class EdgeChecker {
public:
    EdgeChecker() {
        UErrorCode status = U_ZERO_ERROR;
        iter_.reset(ubrk_open(UBRK_CHARACTER, "root", nullptr, 0, &status));
        // Without an iterator every edge counts as a boundary, a different
        // answer; short of memory, fail like any other allocation instead.
        if (status == U_MEMORY_ALLOCATION_ERROR) throw std::bad_alloc();
        if (U_FAILURE(status)) iter_.reset();
    }

    // Is there a character boundary at byte offset `at` of `text`?
    // At an edge, one side is always an ASCII letter of "http", white space
    // or one of <>"'. No rule of extended grapheme clusters joins an ASCII
    // character to what follows it, nor a character before it to one of
    // these, unless that character is a Prepend (or CR, which cannot end a
    // match); so only a non-ASCII neighbour can hide the boundary.
    bool isBoundary(std::string_view text, std::size_t at) {
        if (at == 0 || at >= text.size()) return true;
        const auto neighbour = static_cast<Byte>(text[at - 1]);
        if (neighbour < 0x80) return true;
        if (!iter_) return true;

        // Up to kBefore code points before the edge and kAfter after it,
        // each invalid byte standing for one U+FFFD as ICU would read it.
        constexpr int kBefore = 8, kAfter = 2;
        // Backward and forward decoding can split invalid bytes differently,
        // so the window is sized by bytes (at most four per code point
        // stepped over), and every append is checked anyway.
        UChar window[4 * (kBefore + kAfter) + 2];
        int32_t start = static_cast<int32_t>(at);
        for (int n = 0; n < kBefore && start > 0; ++n) {
            UChar32 cp;
            U8_PREV(reinterpret_cast<const uint8_t*>(text.data()), 0, start, cp);
            (void)cp;
        }
        int32_t len = 0, edge = -1;
        int32_t i = start;
        const auto size = static_cast<int32_t>(text.size());
        int after = 0;
        while (i < size) {
            if (i == static_cast<int32_t>(at)) edge = len;
            if (i >= static_cast<int32_t>(at) && after++ == kAfter) break;
            UChar32 cp;
            U8_NEXT(reinterpret_cast<const uint8_t*>(text.data()), i, size, cp);
            if (cp < 0) cp = 0xFFFD;
            if (len + 2 > static_cast<int32_t>(std::size(window))) break;
            U16_APPEND_UNSAFE(window, len, cp);
        }
        if (edge < 0) edge = len;
        UErrorCode status = U_ZERO_ERROR;
        ubrk_setText(iter_.get(), window, len, &status);
        if (U_FAILURE(status)) return true;
        return ubrk_isBoundary(iter_.get(), edge) != 0;
    }

private:
    struct Closer {
        void operator()(UBreakIterator* b) const { ubrk_close(b); }
    };
    std::unique_ptr<UBreakIterator, Closer> iter_;
};

}  // namespace

std::string cleanURLs(std::string_view text) {
    const auto* const base = reinterpret_cast<const Byte*>(text.data());
    const auto* const end = base + text.size();

    std::string out;
    std::unique_ptr<EdgeChecker> edges;  // made on the first non-ASCII edge only
    std::size_t copied = 0;              // text[0, copied) is already in out
    bool any = false;

    // "://" is rare in prose, so look for its colon and read the scheme
    // backwards: the match starts at the "h" of "http" or "https".
    const Byte* p = base;
    while (p < end) {
        const auto* colon = static_cast<const Byte*>(std::memchr(p, ':', static_cast<std::size_t>(end - p)));
        if (!colon) break;
        p = colon + 1;
        if (end - colon < 4 || colon[1] != '/' || colon[2] != '/') continue;
        const auto c = static_cast<std::size_t>(colon - base);
        std::size_t start;
        if (c >= 5 && std::memcmp(colon - 5, "https", 5) == 0) {
            start = c - 5;
        } else if (c >= 4 && std::memcmp(colon - 4, "http", 4) == 0) {
            start = c - 4;
        } else {
            continue;
        }
        const Byte* stop = matchEnd(colon + 3, end);
        if (stop == colon + 3) continue;  // "http://" with nothing after it
        const auto e = static_cast<std::size_t>(stop - base);
        p = stop;

        const bool plainEdges = (start == 0 || base[start - 1] < 0x80) && base[e - 1] < 0x80;
        if (!plainEdges) {
            if (!edges) edges = std::make_unique<EdgeChecker>();
            // A character that straddles an edge (a prepended mark before
            // "https", say) keeps the address as it stands.
            if (!edges->isBoundary(text, start) || !edges->isBoundary(text, e)) continue;
        }
        if (!any) {
            out.reserve(text.size());
            any = true;
        }
        out.append(text.substr(copied, start - copied));
        detail::appendWithoutTracking(out, text.substr(start, e - start));
        copied = e;
    }
    if (!any) return std::string(text);
    out.append(text.substr(copied));
    return out;
}

}  // namespace purlo
