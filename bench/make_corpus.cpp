// make_corpus KIND MEGABYTES: writes a generated text to standard output.
#include "corpus.hpp"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    purlo::bench::Corpus kind;
    if (argc != 3 || !purlo::bench::parseCorpus(argv[1], kind) || std::atoi(argv[2]) <= 0) {
        std::fprintf(stderr, "usage: make_corpus prose|intl-prose|links|one-address|whitespace|fragments MEGABYTES\n");
        return 2;
    }
    const std::string s = purlo::bench::makeCorpus(kind, std::size_t(std::atoi(argv[2])) << 20);
    return std::fwrite(s.data(), 1, s.size(), stdout) == s.size() ? 0 : 1;
}
