#include "ui/color.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

using purlo::Color;

struct HexCase {
    const char* name;
    std::string input;
    int a, r, g, b; // expected channels, 0..255
};

void PrintTo(const HexCase& c, std::ostream* os) { *os << c.name; }

class HexColour : public ::testing::TestWithParam<HexCase> {};

TEST_P(HexColour, ParsesToChannels)
{
    const HexCase& c = GetParam();
    const Color got = Color::fromHex(c.input);
    EXPECT_DOUBLE_EQ(got.red, c.r / 255.0);
    EXPECT_DOUBLE_EQ(got.green, c.g / 255.0);
    EXPECT_DOUBLE_EQ(got.blue, c.b / 255.0);
    EXPECT_DOUBLE_EQ(got.opacity, c.a / 255.0);

    const QColor q = got.toQColor();
    EXPECT_EQ(q.spec(), QColor::Rgb);
    EXPECT_EQ(q.red(), c.r);
    EXPECT_EQ(q.green(), c.g);
    EXPECT_EQ(q.blue(), c.b);
    EXPECT_EQ(q.alpha(), c.a);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, HexColour,
    ::testing::Values(
        // The panel's two colours and the documented examples.
        HexCase{"header_symbol", "B3ADD9", 255, 179, 173, 217},
        HexCase{"row_symbol", "AAA3CD", 255, 170, 163, 205},
        HexCase{"number_sign", "#B3ADD9", 255, 179, 173, 217},
        HexCase{"short_white", "#fff", 255, 255, 255, 255},
        HexCase{"short_lower", "abc", 255, 170, 187, 204},
        HexCase{"alpha_first", "80FF8000", 128, 255, 128, 0},
        HexCase{"five_digits_black", "ABCDE", 255, 0, 0, 0},
        HexCase{"empty_black", "", 255, 0, 0, 0},
        HexCase{"no_digit_read", "GGGGGG", 255, 0, 0, 0},
        HexCase{"scan_stops_at_G", "12GG56", 255, 0, 0, 18},
        HexCase{"inner_spaces_count", "FF FF FF", 0, 0, 0, 255},
        HexCase{"prefix_counts", "0x12AB", 255, 0, 18, 171},
        // Case, trimming and the alpha channel.
        HexCase{"lower_equals_upper", "b3add9", 255, 179, 173, 217},
        HexCase{"spaces_and_semicolon", "  #B3ADD9;\n", 255, 179, 173, 217},
        HexCase{"transparent_white", "00FFFFFF", 0, 255, 255, 255},
        HexCase{"opaque_red", "FFFF0000", 255, 255, 0, 0},
        HexCase{"seven_digits_opaque_black", "1234567", 255, 0, 0, 0},
        HexCase{"nine_digits_opaque_black", "123456789", 255, 0, 0, 0},
        HexCase{"upper_prefix", "0XFFF", 255, 0, 0, 0},
        HexCase{"prefix_without_digits", "0xZZ", 255, 0, 0, 0},
        // Length is counted in user-perceived characters: the accented b is
        // one, so this is a three-character form whose scan stops at the
        // accent (v = 0xAB).
        HexCase{"combining_mark_one_character", "ab\u0301c", 255, 0, 170, 187},
        // Symbols and emoji are not alphanumeric, so they are trimmed whole,
        // surrogate pairs included.
        HexCase{"emoji_trimmed", "\U0001F3A8abc\U0001F3A8", 255, 170, 187, 204},
        // Full-width letters are alphanumeric but not hex digits.
        HexCase{"fullwidth_digits", "\uFF21\uFF22\uFF23", 255, 0, 0, 0},
        // Malformed UTF-8 is read as U+FFFD, which trims away.
        HexCase{"malformed_utf8_trimmed", "\xff" "abc\xfe", 255, 170, 187, 204}),
    [](const ::testing::TestParamInfo<HexCase>& info) { return std::string(info.param.name); });

TEST(HexColourHuge, LongDigitRunDoesNotMatter)
{
    // 40 digits would overflow a 64-bit scan; the count rules them out.
    const Color c = Color::fromHex(std::string(40, 'F'));
    EXPECT_EQ(c, (Color{0, 0, 0, 1}));
}

} // namespace
