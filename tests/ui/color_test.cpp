#include "ui/color.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

using purlo::Color;

struct HexCase {
    const char* name;
    std::string input;
    int a, r, g, b;  // expected channels, 0..255
};

void PrintTo(const HexCase& c, std::ostream* os) { *os << c.name; }

class HexColour : public ::testing::TestWithParam<HexCase> {};

TEST_P(HexColour, ParsesToChannels) {
    const HexCase& c = GetParam();
    const Color got = Color::fromHex(c.input);
    EXPECT_EQ(got, (Color{c.r / 255.0, c.g / 255.0, c.b / 255.0, c.a / 255.0}));
    // Equal QColors share the colour model too: plain sRGB, as the screen is painted.
    EXPECT_EQ(got.toQColor(), QColor(c.r, c.g, c.b, c.a));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Examples, HexColour,
    ::testing::Values(
        HexCase{"trimmed_mixed_case", "  #b3AdD9;\n", 255, 179, 173, 217},
        HexCase{"short_form", "#aBc", 255, 170, 187, 204},
        HexCase{"alpha_first", "80FF8000", 128, 255, 128, 0},
        // Any other length is opaque black.
        HexCase{"five_digits", "ABCDE", 255, 0, 0, 0},
        HexCase{"empty", "", 255, 0, 0, 0},
        // 40 digits would overflow a 64-bit scan; the count rules them out.
        HexCase{"forty_digits", std::string(40, 'F'), 255, 0, 0, 0},
        // Digits are read up to the first that is not one; what stays
        // inside after the trim counts towards the length.
        HexCase{"scan_stops_at_G", "12GG56", 255, 0, 0, 18},
        HexCase{"inner_spaces_count", "FF FF FF", 0, 0, 0, 255},
        HexCase{"prefix", "0x0A12AB", 0, 10, 18, 171},
        HexCase{"upper_prefix", "0X12AB", 255, 0, 18, 171},
        // Length is counted in user-perceived characters: the accented b is
        // one, so this is a three-character form whose scan stops at the
        // accent (v = 0xAB).
        HexCase{"combining_mark_one_character", "ab\u0301c", 255, 0, 170, 187},
        // Symbols and emoji are not alphanumeric, so they are trimmed whole,
        // surrogate pairs included; malformed UTF-8 reads as U+FFFD, which
        // trims away too. Full-width letters are alphanumeric but no digits.
        HexCase{"emoji_trimmed", "\U0001F3A8abc\U0001F3A8", 255, 170, 187, 204},
        HexCase{"malformed_utf8_trimmed", "\xff" "abc\xfe", 255, 170, 187, 204},
        HexCase{"fullwidth_letters", "\uFF21\uFF22\uFF23", 255, 0, 0, 0},
        // A letter outside the BMP is one character at either end, not two
        // halves to trim; nothing alphanumeric at all leaves nothing.
        HexCase{"supplementary_letter_first", "\U0001D400abc", 255, 0, 0, 0},
        HexCase{"supplementary_letter_last", "abc\U0001D400", 255, 0, 0, 0},
        HexCase{"only_punctuation", "#;", 255, 0, 0, 0}),
    [](const ::testing::TestParamInfo<HexCase>& info) { return std::string(info.param.name); });
// clang-format on

}  // namespace
