// Runs the fuzz target's checks (fuzz/fuzz_pipeline.cpp, linked in, among
// them white space collapsed exactly as ICU's White_Space property says) on
// every file of its seed corpus, on every code point, and on every kind of
// white space at every offset of the blocks long texts are scanned in: the
// byte patterns of the fast scan are written by hand, and only a look at
// every one of them at every offset proves them. Every build, sanitizer
// builds included, runs it without clang or libFuzzer; random texts are the
// fuzzer's own work. A broken property aborts; the input is saved first.
//   fuzz_replay SEED-DIR

#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
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
    std::printf(
        "fuzz_replay: %d seed files, every code point and %zu kinds of white space at every offset hold every "
        "property\n",
        seeds, kinds.size());
    return seeds > 0 ? 0 : 1;
}
