// The three cleaning steps on hand-picked texts. Rows that expect their input
// back unchanged list near misses: any one of them taken for its neighbour
// changes the output.

#include "cleaning/tracking_params.hpp"
#include "cleaning/url_cleaner.hpp"
#include "cleaning/whitespace.hpp"

#include <gtest/gtest.h>
#include <unicode/uloc.h>

#include <optional>
#include <string>

namespace {

using purlo::cleanURLs;
using purlo::normalizeWhitespace;
using purlo::removeTrackingParams;

struct Row {
    const char* name;
    std::string (*step)(std::string_view);
    std::string in;
    std::optional<std::string> out = std::nullopt;  // none: `in` comes back unchanged
};

void PrintTo(const Row& r, std::ostream* os) { *os << r.name; }

struct Clean : ::testing::TestWithParam<Row> {
    // Turkish rules lower-case U+0130 to a plain "i", which would make
    // "GCL\u0130D" a listed name: names must compare the same in every locale.
    static void SetUpTestSuite() {
        UErrorCode status = U_ZERO_ERROR;
        uloc_setDefault("tr_TR", &status);
    }
};

TEST_P(Clean, GivesTheExpectedText) {
    const Row& r = GetParam();
    EXPECT_EQ(r.step(r.in), r.out.value_or(r.in));
}

INSTANTIATE_TEST_SUITE_P(
    Table, Clean,
    ::testing::Values(
        // One address: which query items go, and how the rest is written back.
        Row{"EveryListedName", removeTrackingParams,
            "https://h/?utm_source=1&utm_medium=1&utm_campaign=1&utm_term=1&utm_content=1&gclid=1&gclsrc=1&dclid=1&"
            "fbclid=1&msclkid=1&zanpid=1&_ga=1&_gl=1&mc_cid=1&mc_eid=1&oly_enc_id=1&oly_anon_id=1&ref=1&source=1&"
            "campaign=1&mkt_tok=1&keep=1",
            "https://h/?keep=1"},
        Row{"NamesInAnyCaseOrEscape", removeTrackingParams,
            "https://h/p?UTM_Source=1&utm%5Fsource=2&GCLID=3&mkt_to\u212A=4&MKT_TO%E2%84%AA=5&q=1", "https://h/p?q=1"},
        // U+017F case-folds to "s" but lower-cases to itself; U+0130
        // lower-cases to "i" and a combining dot.
        Row{"NearNamesKeepTheAddressByteForByte", removeTrackingParams,
            "https://h/p?utm_id=5&my_ref=1&sources=2&q=utm_source&so\u017Frce=1&GCL\u0130D=1&utm_source%=1&ref%ZZ=2&"
            "ref%26x=1&&b=%7e&c"},
        // Survivors keep their exact spelling and order: re-encoding would
        // turn %2B into '+', which a form-decoding server reads as a space.
        Row{"SurvivorsAsSpelledInOrder", removeTrackingParams,
            "https://ann:pw@h:81/a/b?q=1&ref=x&q=a%20b&x=1%2B1&s=a+b&fbclid=1&r=%zz%&e=&n=a=b&flag&gclid&q=%E2%9C%93&"
            "ref%FF=1&\u00DFOURCE=2&k=\u212A&utm_term=1#top?ref=1",
            "https://ann:pw@h:81/a/b?q=1&q=a%20b&x=1%2B1&s=a+b&r=%zz%&e=&n=a=b&flag&q=%E2%9C%93&ref%FF=1&\u00DFOURCE=2&"
            "k=\u212A#top?ref=1"},
        Row{"OnlyTrackingAndEmptyPieces", removeTrackingParams, "https://h?&utm_source=m&&gclid=9&", "https://h"},
        Row{"EmptyPiecesGoWhenRebuilt", removeTrackingParams, "https://h/s?&a=1&&ref=2&", "https://h/s?a=1"},
        Row{"EmptyQuery", removeTrackingParams, "https://h/p?", "https://h/p"},
        Row{"QueryOnlyInTheFragment", removeTrackingParams, "https://h/p#a?utm_source=x"},
        Row{"RelativeReference", removeTrackingParams, "p?utm_source=1&x=2", "p?x=2"},
        // An address holds no space or control character.
        Row{"SpaceIsNoAddress", removeTrackingParams, "https://h/s?a=1 &ref=2"},
        Row{"DeleteIsNoAddress", removeTrackingParams, "https://h/s?a=1\x7F&ref=2"},

        // Where addresses start and end in a text.
        Row{"NotAddresses", cleanURLs, "Meet at ten: ftp://h/?ref=1 HTTPS://h/?ref=1 http:// ok https://"},
        Row{"AddressesAmongWords", cleanURLs,
            "Read https://h/a?id=1&utm_source=m today, http://h/b?x=2&fbclid=3 and "
            "http://h/b?x=2&fbclid=3 or xhttps://h/?ref=1 httphttps://h/?ref=1.",
            "Read https://h/a?id=1 today, http://h/b?x=2 and http://h/b?x=2 or xhttps://h/ httphttps://h/"},
        // Punctuation after an address is part of it, as the pattern
        // [^\s<>"']+ takes it: it goes with a removed value.
        Row{"TrailingPunctuation", cleanURLs,
            "https://h/a?id=1&utm_source=m. https://h/a?utm_source=m&id=1. (https://h/a?utm_medium=x) (https://h/a)",
            "https://h/a?id=1 https://h/a?id=1. (https://h/a (https://h/a)"},
        Row{"QuotesAndBracketsEnd", cleanURLs, "'https://h/a?ref=x' \"https://h/b?ref=x\" <https://h/c?ref=x>",
            "'https://h/a' \"https://h/b\" <https://h/c>"},
        Row{"CommaJoinsAddresses", cleanURLs, "https://h/a,https://h/b?fbclid=1", "https://h/a,https://h/b"},
        Row{"RedirectTargetIsAValue", cleanURLs, "https://h/r?next=https://o/?utm_source=x"},
        Row{"WhiteSpaceEnds", cleanURLs,
            "https://h/a?ref=1\nhttps://h/b?ref=1\thttps://h/c?ref=1\u00A0https://h/d?ref=1\u3000"
            "https://h/e?b=1\u200Bx&ref=1 ",
            "https://h/a\nhttps://h/b\thttps://h/c\u00A0https://h/d\u3000https://h/e?b=1\u200Bx "},
        Row{"OtherBytesAreOrdinary", cleanURLs,
            "https://h\u00F6st/\U0001F600?ref=1 ok https://h/\xFF\xC2?ref=1 \xFE https://h/?ref=1\xE2\x80",
            "https://h\u00F6st/\U0001F600 ok https://h/\xFF\xC2 \xFE https://h/"},
        // A prepended concatenation mark joins the "h" (or the last
        // character) into its own character: the address does not start (end)
        // on a character boundary and is kept. Combining marks do not join.
        Row{"PrependedMarkKeepsAddress", cleanURLs, "\u0600https://h/a?ref=1 x https://h/b?ref=1\u0600 x"},
        Row{"CombiningMarksDoNot", cleanURLs, "e\u0301https://h/a?ref=1 https://h/b?ref=1&b=e\u0301 x",
            "e\u0301https://h/a https://h/b?b=e\u0301 x"},

        // White space: fuzz_replay checks every code point, invalid bytes
        // and every offset against ICU's own reading; these say what it is.
        Row{"OnlyWhiteSpace", normalizeWhitespace, " \n\t\u3000", ""},
        Row{"RunsCollapseEndsTrim", normalizeWhitespace, " \u0301a   b\tc\r\n\nd\n  \ne\u00A0\u2028f ",
            "\u0301a b c d e f"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
