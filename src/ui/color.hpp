#pragma once

#include <QColor>
#include <QPalette>

#include <string_view>

namespace purlo {

// An sRGB colour with opacity, every component in 0..1.
struct Color {
    double red = 0.0;
    double green = 0.0;
    double blue = 0.0;
    double opacity = 1.0;

    // Parses "RGB", "RRGGBB" or "AARRGGBB" (alpha first), in either case, with
    // an optional 0x prefix. Characters that are not letters, marks or numbers
    // are trimmed off both ends, so "#B3ADD9" and " B3ADD9; " both work; what
    // stays inside counts towards the length. Never fails: any other length
    // gives opaque black, and the digits are read only up to the first
    // character that is not one, so "12GG56" is 0x12 as RRGGBB.
    // The text is UTF-8; a malformed sequence reads as U+FFFD.
    static Color fromHex(std::string_view text);

    QColor toQColor() const;

    // The muted text colour of the current theme: the palette's placeholder
    // text, which every Qt style derives from the theme's text colour, so it
    // stays readable on dark themes too.
    static QColor secondary(const QPalette& palette);

    friend bool operator==(const Color&, const Color&) = default;
};

}  // namespace purlo
