#pragma once
// The text forms clipboards trade in, shared by the X11 and Wayland
// clipboards: both meet owners that offer only Latin-1 STRING, and both must
// refuse bytes that are not UTF-8 before the cleaning touches them.

#include <unicode/utf8.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace purlo::text {

// Far more than any text anyone means to clean; a runaway owner must not be
// able to make Purlo swallow the machine's memory.
inline constexpr std::size_t kMaxClipboardBytes = std::size_t(64) << 20;

inline bool validUtf8(const std::string& s) {
    const auto* p = reinterpret_cast<const uint8_t*>(s.data());
    const int32_t n = int32_t(s.size());
    for (int32_t i = 0; i < n;) {
        UChar32 c;
        U8_NEXT(p, i, n, c);
        if (c < 0) return false;
    }
    return true;
}

inline std::string latin1ToUtf8(const std::string& s) {
    std::string out;
    out.reserve(s.size() + s.size() / 8);
    for (unsigned char b : s) {
        if (b < 0x80) {
            out += char(b);
        } else {
            out += char(0xC0 | (b >> 6));
            out += char(0x80 | (b & 0x3F));
        }
    }
    return out;
}

// STRING is Latin-1 by definition: offered only when the text fits.
inline std::optional<std::string> toLatin1(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            out += char(b);
        } else if ((b == 0xC2 || b == 0xC3) && i + 1 < utf8.size()) {
            out += char(((b & 0x03) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
        } else {
            return std::nullopt;
        }
    }
    return out;
}

}  // namespace purlo::text
