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

    while (p < end) {
#if defined(__SSE2__)
        // Sixteen bytes at a time when the only white space in them is
        // ASCII and stands alone, not after a space already written: each
        // such byte becomes one space in place. Prose with its line breaks
        // stays on this path.
        if (end - p >= 16) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i blank = _mm_set1_epi8(' ');
            const __m128i tabToCr = _mm_sub_epi8(x, _mm_set1_epi8(0x09));  // 0..4 for \t \n \v \f \r
            const __m128i white = _mm_or_si128(_mm_cmpeq_epi8(x, blank),
                                               _mm_cmpeq_epi8(_mm_min_epu8(tabToCr, _mm_set1_epi8(4)), tabToCr));
            const __m128i leads = _mm_or_si128(
                _mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8(char(0xC2))), _mm_cmpeq_epi8(x, _mm_set1_epi8(char(0xE1)))),
                _mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8(char(0xE2))), _mm_cmpeq_epi8(x, _mm_set1_epi8(char(0xE3)))));
            const unsigned ws = static_cast<unsigned>(_mm_movemask_epi8(white));
            const bool plain = _mm_movemask_epi8(leads) == 0 && (ws & (ws << 1)) == 0 &&
                               !((ws & 1) && (o == first || o[-1] == ' '));
            if (plain) {
                const __m128i y = _mm_or_si128(_mm_andnot_si128(white, x), _mm_and_si128(white, blank));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(o), y);
                o += 16;
                p += 16;
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
            const std::uint64_t leads = bytesEqual(x, 0xC2) | bytesEqual(x, 0xE1) | bytesEqual(x, 0xE2) |
                                        bytesEqual(x, 0xE3);
            const bool plain = (bytesBelow(x, 0x20) | leads) == 0 && (spaces & (spaces << 8)) == 0 &&
                               !((x & 0xFF) == ' ' && (o == first || o[-1] == ' '));
            if (plain) {
                std::memcpy(o, &x, 8);
                o += 8;
                p += 8;
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
