#include "cleaning/whitespace.hpp"

#include "cleaning/utf8_whitespace.hpp"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace purlo {
namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHigh = 0x8080808080808080ULL;

// High bit set in every byte of x below n (n <= 0x80). A byte just above a
// flagged one may be flagged too; the masks only ever send a word to the
// careful path, so such false alarms cost time, never correctness.
constexpr std::uint64_t bytesBelow(std::uint64_t x, std::uint8_t n) { return (x - kOnes * n) & ~x & kHigh; }
constexpr std::uint64_t bytesEqual(std::uint64_t x, std::uint8_t c) { return bytesBelow(x ^ (kOnes * c), 1); }

#if defined(__SSE2__)
__m128i bytesIs(__m128i v, unsigned char c) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(c))); }

// Lanes of v in [lo, lo + n].
__m128i bytesWithin(__m128i v, unsigned char lo, unsigned char n) {
    const __m128i d = _mm_sub_epi8(v, _mm_set1_epi8(static_cast<char>(lo)));
    return _mm_cmpeq_epi8(_mm_min_epu8(d, _mm_set1_epi8(static_cast<char>(n))), d);
}

// Does a multi-byte white-space encoding start at any of p[0, 16)? Reads
// p[0, 18). A lead byte alone says little: dashes, curly quotes and most
// CJK begin with 0xE2 or 0xE3 too, so the next two bytes are checked as
// well, at every offset, just as the byte-wise path would match them.
bool wideSpaceIn(const unsigned char* p) {
    const __m128i b0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i b1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
    const __m128i b2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2));
    // U+0085, U+00A0
    const __m128i c2 = _mm_and_si128(bytesIs(b0, 0xC2), _mm_or_si128(bytesIs(b1, 0x85), bytesIs(b1, 0xA0)));
    // U+1680 and U+3000, both ending in 0x80
    const __m128i e1 = _mm_and_si128(bytesIs(b0, 0xE1), bytesIs(b1, 0x9A));
    const __m128i e3 = _mm_and_si128(bytesIs(b0, 0xE3), bytesIs(b1, 0x80));
    const __m128i e1e3 = _mm_and_si128(_mm_or_si128(e1, e3), bytesIs(b2, 0x80));
    // U+2000..U+200A, U+2028, U+2029 and U+202F after E2 80; U+205F is E2 81 9F
    const __m128i after80 =
        _mm_or_si128(_mm_or_si128(bytesWithin(b2, 0x80, 0x0A), bytesWithin(b2, 0xA8, 1)), bytesIs(b2, 0xAF));
    const __m128i after81 = _mm_and_si128(bytesIs(b1, 0x81), bytesIs(b2, 0x9F));
    const __m128i e2 =
        _mm_and_si128(bytesIs(b0, 0xE2), _mm_or_si128(_mm_and_si128(bytesIs(b1, 0x80), after80), after81));
    return _mm_movemask_epi8(_mm_or_si128(_mm_or_si128(c2, e1e3), e2)) != 0;
}
#endif

}  // namespace

namespace detail {

// Every white-space code point turns into a space unless the output is still
// empty or already ends in one (only a collapsed run can put a space there);
// one trailing space is dropped at the end. That is the collapse-and-trim in
// a single pass. Each block is loaded before anything is stored, and the
// output never runs ahead of the input, so `out` may be `in` itself.
std::size_t collapseWhitespace(const char* in, std::size_t size, char* out) {
    const auto* p = reinterpret_cast<const unsigned char*>(in);
    const auto* const end = p + size;
    char* const first = out;
    char* o = first;
    // 1 while the output is empty or ends in a space, so that white space
    // adds nothing. Kept in a register: reading it back from the output
    // after each block was a branch that prose mispredicted at every word
    // that starts a block.
    unsigned afterSpace = 1;

    while (p < end) {
#if defined(__SSE2__)
        // Sixteen bytes at a time when the only white space in them is
        // ASCII and stands alone, not after a space already written: each
        // such byte becomes one space in place. Prose with its line breaks
        // stays on this path, and so do its dashes, quotes and CJK, whose
        // lead bytes are those of the multi-byte white space.
        if (end - p >= 16) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i blank = _mm_set1_epi8(' ');
            const __m128i white = _mm_or_si128(bytesIs(x, ' '), bytesWithin(x, '\t', '\r' - '\t'));
            const __m128i leads = _mm_or_si128(bytesIs(x, 0xC2), bytesWithin(x, 0xE1, 0xE3 - 0xE1));
            const auto ws = static_cast<unsigned>(_mm_movemask_epi8(white));
            const unsigned collapsing = ws & ((ws << 1) | afterSpace);
            const auto lead = static_cast<unsigned>(_mm_movemask_epi8(leads));
            if ((collapsing | lead) == 0 || (collapsing == 0 && end - p >= 18 && !wideSpaceIn(p))) {
                const __m128i y = _mm_or_si128(_mm_andnot_si128(white, x), _mm_and_si128(white, blank));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(o), y);
                o += 16;
                p += 16;
                afterSpace = ws >> 15;
                continue;
            }
        }
#endif
        // Eight bytes at a time when none can be white space but a lone
        // space: no control character, no byte that can begin a multi-byte
        // white-space encoding, and no space that would need collapsing.
        if (end - p >= 8) {
            std::uint64_t x;
            std::memcpy(&x, p, 8);
            const std::uint64_t spaces = bytesEqual(x, ' ');
            const std::uint64_t leads =
                bytesEqual(x, 0xC2) | bytesEqual(x, 0xE1) | bytesEqual(x, 0xE2) | bytesEqual(x, 0xE3);
            const bool plain = (bytesBelow(x, 0x20) | leads) == 0 && (spaces & (spaces << 8)) == 0 &&
                               !((x & 0xFF) == ' ' && afterSpace);
            if (plain) {
                std::memcpy(o, &x, 8);
                o += 8;
                p += 8;
                afterSpace = (x >> 56) == ' ';
                continue;
            }
        }
        // Otherwise code point by code point, for about as many bytes.
        const unsigned char* const stop = end - p > 8 ? p + 8 : end;
        while (p < stop) {
            const unsigned char c = *p;
            const std::size_t len = detail::kWhitespaceLead[c] == 0 ? 0 : detail::whitespaceLength(p, end);
            if (len == 0) {  // not white space: copied as it is, invalid bytes included
                *o++ = static_cast<char>(c);
                ++p;
                continue;
            }
            if (o != first && o[-1] != ' ') *o++ = ' ';
            p += len;
        }
        afterSpace = o == first || o[-1] == ' ';
    }
    if (o != first && o[-1] == ' ') --o;
    return static_cast<std::size_t>(o - first);
}

}  // namespace detail

std::string normalizeWhitespace(std::string_view text) {
    std::string out;
    out.resize(text.size());  // the output is never longer than the input
    out.resize(detail::collapseWhitespace(text.data(), text.size(), out.data()));
    return out;
}

}  // namespace purlo
