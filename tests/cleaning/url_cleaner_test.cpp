#include "cleaning/url_cleaner.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Row {
    const char* name;
    std::string in;
    std::string out;
};

void PrintTo(const Row& r, std::ostream* os) { *os << r.in; }

class CleanURLs : public ::testing::TestWithParam<Row> {};

TEST_P(CleanURLs, RewritesEveryAddress) { EXPECT_EQ(purlo::cleanURLs(GetParam().in), GetParam().out); }

INSTANTIATE_TEST_SUITE_P(
    Table, CleanURLs,
    ::testing::Values(
        Row{"NoAddress", "Meeting at ten, bring notes", "Meeting at ten, bring notes"},
        Row{"Empty", "", ""},
        Row{"WordsAroundStay", "Read https://host/a?id=1&utm_source=mail today", "Read https://host/a?id=1 today"},
        Row{"TwoAddresses", "https://host/a?gclid=1 and https://host/b?x=2&fbclid=3",
            "https://host/a and https://host/b?x=2"},
        Row{"FullStopGoesWithRemovedValue", "See https://host/a?id=1&utm_source=mail.", "See https://host/a?id=1"},
        Row{"FullStopStaysWithSurvivor", "See https://host/a?utm_source=mail&id=1.", "See https://host/a?id=1."},
        Row{"ParenthesisGoesWithRemovedValue", "(see https://host/a?utm_medium=x)", "(see https://host/a"},
        Row{"NoQueryUntouched", "(https://host/a)", "(https://host/a)"},
        Row{"TrailingQuestionMark", "Did you see https://host/a?", "Did you see https://host/a"},
        Row{"ApostropheEnds", "He wrote 'https://host/a?ref=x' twice", "He wrote 'https://host/a' twice"},
        Row{"DoubleQuoteEnds", "say \"https://host/a?ref=x\"", "say \"https://host/a\""},
        Row{"AngleBracketsEnd", "Link: <https://host/a?utm_source=x>", "Link: <https://host/a>"},
        Row{"CommaJoinsAddresses", "https://host/a,https://host/b?fbclid=1", "https://host/a,https://host/b"},
        Row{"UpperCaseScheme", "HTTPS://host/a?utm_source=x", "HTTPS://host/a?utm_source=x"},
        Row{"OtherScheme", "ftp://host/a?utm_source=x", "ftp://host/a?utm_source=x"},
        Row{"SchemeAlone", "http:// and more", "http:// and more"},
        Row{"SchemeAtEnd", "see https://", "see https://"},
        Row{"InsideAWord", "xhttps://host/a?ref=1", "xhttps://host/a"},
        Row{"SameAddressTwice", "https://host/a?utm_source=1 https://host/a?utm_source=1", "https://host/a https://host/a"},
        Row{"PlainHttp", "http://host/a?ref=1", "http://host/a"},
        Row{"LineBreakEnds", "https://host/a?ref=1\nnext", "https://host/a\nnext"},
        Row{"TabEnds", "https://host/a?ref=1\tnext", "https://host/a\tnext"},
        Row{"NoBreakSpaceEnds", "https://host/a?ref=1\u00A0next", "https://host/a\u00A0next"},
        Row{"IdeographicSpaceEnds", "https://host/a?ref=1\u3000next", "https://host/a\u3000next"},
        Row{"ZeroWidthSpaceDoesNotEnd", "https://host/a?b=1\u200Bx&ref=1", "https://host/a?b=1\u200Bx"},
        Row{"NonAsciiInsideKept", "https://h\u00F6st/\U0001F600?ref=1 ok", "https://h\u00F6st/\U0001F600 ok"},
        Row{"RedirectTargetIsPartOfValue", "https://host/r?next=https://other/?utm_source=x",
            "https://host/r?next=https://other/?utm_source=x"},
        Row{"SchemeInsideSchemeText", "httphttps://host/?ref=1", "httphttps://host/"},
        Row{"InvalidBytesAreOrdinary", "https://host/\xFF\xC2?ref=1 \xFE", "https://host/\xFF\xC2 \xFE"},
        Row{"TruncatedWhitespaceSequence", "https://host/?ref=1\xE2\x80", "https://host/"},
        // A prepended concatenation mark joins the "h" into its character:
        // the address does not start on a character boundary and is kept.
        Row{"PrependedMarkKeepsAddress", "\u0600https://host/a?ref=1 x", "\u0600https://host/a?ref=1 x"},
        Row{"PrependAtTheEndKeepsAddress", "https://host/a?ref=1\u0600 x", "https://host/a?ref=1\u0600 x"},
        Row{"CombiningMarkBeforeIsFine", "e\u0301https://host/a?ref=1", "e\u0301https://host/a"},
        Row{"CombiningMarkInsideIsFine", "https://host/a?ref=1&b=e\u0301 x", "https://host/a?b=e\u0301 x"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CleanURLsScale, ManyAddressesAndLongOnes) {
    std::string in, want;
    for (int i = 0; i < 2000; ++i) {
        in += "w https://h/" + std::to_string(i) + "?a=1&utm_source=x ";
        want += "w https://h/" + std::to_string(i) + "?a=1 ";
    }
    EXPECT_EQ(purlo::cleanURLs(in), want);

    const std::string path(1 << 20, 'p');
    EXPECT_EQ(purlo::cleanURLs("https://h/" + path + "?gclid=1"), "https://h/" + path);
}

}  // namespace
