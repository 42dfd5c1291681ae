// purlo-clean cleans its input in pieces as it arrives; whatever the input,
// the result must equal cleaning it whole. These inputs put addresses, white
// space runs and multi-byte characters across the filter's piece borders.

#include "cleaning/clean_text.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#ifndef PURLO_CLEAN_BIN
#error "PURLO_CLEAN_BIN must name the purlo-clean binary"
#endif

namespace {

std::string runFilter(const std::string& input) {
    char inPath[] = "/tmp/purlo-stream-in-XXXXXX";
    char outPath[] = "/tmp/purlo-stream-out-XXXXXX";
    const int inFd = mkstemp(inPath), outFd = mkstemp(outPath);
    EXPECT_GE(inFd, 0);
    EXPECT_GE(outFd, 0);
    { std::ofstream(inPath, std::ios::binary) << input; }
    const std::string cmd = std::string(PURLO_CLEAN_BIN) + " <" + inPath + " >" + outPath;
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    std::stringstream got;
    got << std::ifstream(outPath, std::ios::binary).rdbuf();
    std::remove(inPath);
    std::remove(outPath);
    close(inFd);
    close(outFd);
    return got.str();
}

std::string makeText(unsigned seed, std::size_t bytes, const std::vector<std::string>& pieces) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
    std::string s;
    while (s.size() < bytes) s += pieces[pick(rng)];
    return s;
}

struct Input {
    const char* name;
    std::string text;
};

void PrintTo(const Input& in, std::ostream* os) { *os << in.name << " (" << in.text.size() << " bytes)"; }

class Stream : public ::testing::TestWithParam<Input> {};

TEST_P(Stream, EqualsCleaningTheWhole) {
    const std::string& in = GetParam().text;
    const std::string want = purlo::cleanText(in);
    const std::string got = runFilter(in);
    ASSERT_EQ(got.size(), want.size());
    EXPECT_TRUE(got == want);
}

const std::vector<std::string> kMixed = {"word ", "https://h/a?b=1&utm_source=x ", "\u3000\u3000", "\n\n",
                                         "\u00E9", "\u0600", "https://h/?ref=", " ", "\xE2\x80", "\t "};

INSTANTIATE_TEST_SUITE_P(
    Inputs, Stream,
    ::testing::Values(Input{"MixedText", makeText(1, 3 << 20, kMixed)},
                      Input{"OnlyUnicodeSpaceBetweenWords", makeText(2, 3 << 20, {"ab", "\u3000", "\u2028\u00A0"})},
                      Input{"LongAddressAcrossPieces", "  see https://h/" + std::string(3 << 20, 'p') +
                                                          "?gclid=1&x=2  and more  "},
                      Input{"WhiteSpaceOnly", makeText(3, 3 << 20, {" ", "\n", "\u3000", "\t"})},
                      Input{"LeadingWhiteSpacePiece", std::string(2 << 20, ' ') + "x https://h/?ref=1 " +
                                                          std::string(2 << 20, '\n')}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
