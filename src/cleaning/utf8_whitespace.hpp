#pragma once
// The one white-space class shared by address detection and normalisation:
// the 25 code points of Unicode's White_Space property, matched on their
// UTF-8 encodings so that invalid bytes are never taken for white space.

#include <array>
#include <cstddef>

namespace purlo::detail {

// 1 for the ASCII white-space bytes (TAB, LF, VT, FF, CR, SPACE), 2 for bytes
// that can only begin a multi-byte white-space encoding (0xC2, 0xE1, 0xE2,
// 0xE3), 0 for everything else.
inline constexpr std::array<unsigned char, 256> kWhitespaceLead = [] {
    std::array<unsigned char, 256> t{};
    for (unsigned char c : {0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x20}) t[c] = 1;
    for (unsigned char c : {0xC2, 0xE1, 0xE2, 0xE3}) t[c] = 2;
    return t;
}();

// Length in bytes of the white-space code point encoded at p (p < end), or 0
// when the bytes at p are not one.
inline std::size_t whitespaceLength(const unsigned char* p, const unsigned char* end) {
    switch (kWhitespaceLead[*p]) {
        case 0: return 0;
        case 1: return 1;
        default: break;
    }
    const std::size_t avail = static_cast<std::size_t>(end - p);
    if (p[0] == 0xC2) {  // U+0085, U+00A0
        return (avail >= 2 && (p[1] == 0x85 || p[1] == 0xA0)) ? 2 : 0;
    }
    if (avail < 3) return 0;
    const unsigned char b1 = p[1], b2 = p[2];
    switch (p[0]) {
        case 0xE1:  // U+1680
            return (b1 == 0x9A && b2 == 0x80) ? 3 : 0;
        case 0xE2:
            if (b1 == 0x80) {  // U+2000..U+200A, U+2028, U+2029, U+202F
                return ((b2 >= 0x80 && b2 <= 0x8A) || b2 == 0xA8 || b2 == 0xA9 || b2 == 0xAF) ? 3 : 0;
            }
            return (b1 == 0x81 && b2 == 0x9F) ? 3 : 0;  // U+205F
        case 0xE3:                                      // U+3000
            return (b1 == 0x80 && b2 == 0x80) ? 3 : 0;
        default: return 0;
    }
}

// Writes normalizeWhitespace() of in[0, size) to `out` and returns its
// length. `out` may be `in` itself, to collapse a string the caller owns
// without a second buffer; otherwise the two must not overlap.
std::size_t collapseWhitespace(const char* in, std::size_t size, char* out);

}  // namespace purlo::detail
