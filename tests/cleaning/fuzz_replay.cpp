// Runs the fuzz target's checks (fuzz/fuzz_pipeline.cpp, linked in, among
// them white space collapsed exactly as ICU's White_Space property says) on
// every file of its seed corpus, on every code point, on every kind of white
// space at every offset of the blocks long texts are scanned in, and on a
// fixed batch of texts built from the pieces that matter; so every build,
// sanitizer builds included, tests the same properties without clang or
// libFuzzer. A broken property aborts; the input is saved first.
//   fuzz_replay SEED-DIR

#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::string current;

// Left for the fuzz target to run on again: fuzz_pipeline failing-input.
void saveCurrent(int) {
    std::ofstream("failing-input", std::ios::binary) << current;
    std::fprintf(stderr, "fuzz_replay: input saved in %s\n", std::filesystem::absolute("failing-input").c_str());
}

void check(std::string in) {
    [[maybe_unused]] static const auto handler = std::signal(SIGABRT, saveCurrent);
    current = std::move(in);
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(current.data()), current.size());
}

// Addresses, query syntax, tracking names, every kind of white space,
// characters that join with their neighbours, and invalid UTF-8.
// clang-format off
const std::vector<std::string> kPieces = {
    "https://", "http://", "h", "host", "/p", "?", "&", "=", "#", "%", "%5F", "%E2%84%AA", "a", "Z", "1", ".", ",",
    ")", "<", ">", "\"", "'", "utm_source", "REF", "gclid", "mkt_to\u212A", "\u00E9", "\u0301", "\u0600", "\U0001F600",
    "\u200B", " ", "  ", "\t", "\n", "\r\n", "\v", "\f", "\u0085", "\u00A0", "\u1680", "\u2003", "\u2028", "\u2029",
    "\u202F", "\u205F", "\u3000", "\xFF", "\xC2", "\xE2\x80", "\xC0\xA0", std::string(1, '\0')};
// clang-format on

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return std::fprintf(stderr, "usage: fuzz_replay SEED-DIR\n"), 2;
    int seeds = 0;
    for (const auto& entry : std::filesystem::directory_iterator(argv[1])) {
        std::ifstream file(entry.path(), std::ios::binary);
        check({std::istreambuf_iterator<char>(file), {}});
        ++seeds;
    }
    std::vector<std::string> kinds = {"\r\n"};
    for (UChar32 cp = 0; cp <= 0x10FFFF; ++cp) {
        if (U_IS_SURROGATE(cp)) continue;
        std::string c;
        icu::UnicodeString(cp).toUTF8String(c);
        if (u_isUWhiteSpace(cp)) kinds.push_back(c);
        check(std::string(15, 'a') + c + std::string(16, 'b'));
    }
    for (const std::string& ws : kinds)
        for (std::size_t at = 0; at <= 40; ++at)
            for (const std::string& run : {ws, ws + ws, ws + " "}) {
                const std::string left(at, 'x'), right(40, 'y');
                check(left + run + right);
                check(run + left + run + right + run);
            }
    // Up to 40 pieces: long enough for the block-wise white-space scan.
    std::mt19937 rng(1);
    std::uniform_int_distribution<std::size_t> length(0, 40), pick(0, kPieces.size() - 1);
    constexpr int kGenerated = 20000;
    for (int i = 0; i < kGenerated; ++i) {
        std::string s;
        for (std::size_t n = length(rng); n > 0; --n) s += kPieces[pick(rng)];
        check(std::move(s));
    }
    std::printf(
        "fuzz_replay: %d seed files, every code point, %zu kinds of white space at every offset and %d "
        "generated texts hold every property\n",
        seeds, kinds.size(), kGenerated);
    return seeds > 0 ? 0 : 1;
}
