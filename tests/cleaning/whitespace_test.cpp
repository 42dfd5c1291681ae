#include "cleaning/clean_text.hpp"
#include "cleaning/whitespace.hpp"

#include <gtest/gtest.h>
#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <string>

namespace {

struct Row {
    const char* name;
    std::string in;
    std::string out;
};

void PrintTo(const Row& r, std::ostream* os) { *os << ::testing::PrintToString(r.in); }

class NormalizeWhitespace : public ::testing::TestWithParam<Row> {};

TEST_P(NormalizeWhitespace, CollapsesRunsAndTrims) {
    EXPECT_EQ(purlo::normalizeWhitespace(GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Table, NormalizeWhitespace,
    ::testing::Values(Row{"Empty", "", ""}, Row{"NoWhiteSpace", "abc", "abc"}, Row{"SingleSpace", "a b", "a b"},
                      Row{"RunCollapses", "a   b", "a b"}, Row{"TabAndEnds", "  a\tb ", "a b"},
                      Row{"LineBreak", "a\nb", "a b"}, Row{"CrLfAndBlankLine", "a\r\n\nb", "a b"},
                      Row{"LineOfSpaces", "a\n  \nb", "a b"},
                      Row{"UnicodeSpaces", "\u00A0a\u3000b\u2003", "a b"}, Row{"LineSeparator", "a\u2028b", "a b"},
                      Row{"NextLine", "a\u0085b", "a b"}, Row{"VerticalTab", "a\vb", "a b"},
                      Row{"FormFeed", "a\fb", "a b"}, Row{"OnlyWhiteSpace", " \n\t", ""},
                      Row{"ZeroWidthSpaceIsNotWhiteSpace", "a\u200Bb", "a\u200Bb"},
                      Row{"SpaceBeforeCombiningMark", " \u0301a", "\u0301a"},
                      Row{"MixedRun", "a \u1680\u2000\u200A\u2029\u202F\u205F\r b", "a b"},
                      Row{"NearMissesAreNotWhiteSpace", "a\u200Cb\u2030c\u180Ed\u00ADe", "a\u200Cb\u2030c\u180Ed\u00ADe"},
                      Row{"InvalidBytesPassThrough", "\xFF \xC2\xE2\x80 \xC0\xA0\x85", "\xFF \xC2\xE2\x80 \xC0\xA0\x85"},
                      Row{"OverlongSpaceIsNotWhiteSpace", "a\xC0\xA0" "b", "a\xC0\xA0" "b"},
                      Row{"TruncatedAtEnd", "a \xE3\x80", "a \xE3\x80"},
                      Row{"NulIsNotWhiteSpace", std::string("a\0 b", 4), std::string("a\0 b", 4)}),
    [](const auto& info) { return std::string(info.param.name); });

// Every code point, encoded alone between two letters: exactly the
// White_Space ones become a space, and nothing else changes.
TEST(NormalizeWhitespaceClass, IsExactlyUnicodeWhiteSpace) {
    int whiteSpace = 0;
    for (UChar32 cp = 0; cp <= 0x10FFFF; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;
        char buf[4];
        int32_t n = 0;
        U8_APPEND_UNSAFE(buf, n, cp);
        // Long enough on both sides for the block-wise scan to see it too.
        const std::string a(15, 'a'), b(16, 'b');
        const std::string in = a + std::string(buf, n) + b;
        const bool ws = u_hasBinaryProperty(cp, UCHAR_WHITE_SPACE);
        whiteSpace += ws;
        ASSERT_EQ(purlo::normalizeWhitespace(in), ws ? a + " " + b : in) << std::hex << cp;
    }
    EXPECT_EQ(whiteSpace, 25);
}

}  // namespace

namespace {

// Long texts are scanned many bytes at a time, and in place inside
// cleanText(): put each kind of white space, alone and doubled, at every
// position of such a block and against its edges.
TEST(NormalizeWhitespaceBlocks, EveryOffsetOfEveryKind) {
    for (const std::string ws : {" ", "\t", "\n", "\v", "\f", "\r", "\r\n", "\u0085", "\u00A0", "\u1680", "\u2000",
                                 "\u200A", "\u2028", "\u202F", "\u205F", "\u3000"}) {
        for (std::size_t at = 0; at <= 40; ++at) {
            for (const std::string& run : {ws, ws + ws, ws + " "}) {
                const std::string left(at, 'x'), right(40, 'y');
                const std::string want = at == 0 ? right : left + " " + right;
                ASSERT_EQ(purlo::normalizeWhitespace(left + run + right), want) << ::testing::PrintToString(run) << at;
                ASSERT_EQ(purlo::normalizeWhitespace(run + left + run + right + run), want);
                ASSERT_EQ(purlo::cleanText(run + left + run + right + run), want) << "collapsed in place";
            }
        }
    }
}

}  // namespace
