// purlo-clean cleans its input in pieces as it arrives; whatever the input,
// the result must equal cleaning it whole. These inputs put addresses, white
// space runs and multi-byte characters across the filter's piece borders.

#include "cleaning/clean_text.hpp"

#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string makeText(unsigned seed, std::size_t bytes, const std::vector<std::string>& pieces) {
    std::mt19937 rng(seed);
    std::string s;
    while (s.size() < bytes) s += pieces[rng() % pieces.size()];
    return s;
}

struct Input {
    const char* name;
    std::string text;
};

void PrintTo(const Input& in, std::ostream* os) { *os << in.name; }

class Stream : public ::testing::TestWithParam<Input> {};

TEST_P(Stream, EqualsCleaningTheWhole) {
    const std::string& in = GetParam().text;
    const std::string path = ::testing::TempDir() + "purlo-stream-" + std::to_string(getpid());
    std::ofstream(path + ".in", std::ios::binary) << in;
    // A filter that never stops writing must not fill the disk: the file
    // size limit (32768 blocks, at least 16 MB) ends it with a failure.
    const int status =
        std::system(("ulimit -f 32768 && exec " PURLO_CLEAN_BIN " <" + path + ".in >" + path + ".out").c_str());
    std::stringstream got;
    got << std::ifstream(path + ".out", std::ios::binary).rdbuf();
    std::remove((path + ".in").c_str()), std::remove((path + ".out").c_str());
    ASSERT_EQ(status, 0);
    const std::string want = purlo::cleanText(in);
    // Not EXPECT_EQ: it would print megabytes.
    EXPECT_TRUE(got.str() == want) << got.str().size() << " bytes, want " << want.size();
}

// clang-format off
const std::vector<std::string> kMixed = {"word ", "https://h/a?b=1&utm_source=x ", "\u3000\u3000", "\n\n",
                                         "\u00E9", "\u0600", "https://h/?ref=", " ", "\xE2\x80", "\t "};
// clang-format on

INSTANTIATE_TEST_SUITE_P(
    Inputs, Stream,
    ::testing::Values(Input{"MixedText", makeText(1, 3 << 20, kMixed)},
                      Input{"OnlyUnicodeSpaceBetweenWords", makeText(2, 3 << 20, {"ab", "\u3000", "\u2028\u00A0"})},
                      Input{"LongAddressAcrossPieces",
                            "  see https://h/" + std::string(3 << 20, 'p') + "?gclid=1&x=2  and more  "},
                      Input{"WhiteSpaceOnly", makeText(3, 3 << 20, {" ", "\n", "\u3000", "\t"})},
                      Input{"LeadingWhiteSpacePiece",
                            std::string(2 << 20, ' ') + "x https://h/?ref=1 " + std::string(2 << 20, '\n')}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
