// Throughput of the cleaning functions on generated corpora, against memcpy
// of the same bytes as the floor no text transformation can beat.

#include "corpus.hpp"

#include "cleaning/clean_text.hpp"
#include "cleaning/url_cleaner.hpp"
#include "cleaning/whitespace.hpp"

#include <benchmark/benchmark.h>

#include <cstring>
#include <map>

namespace {

using purlo::bench::Corpus;

const std::string& corpus(Corpus kind) {
    static std::map<Corpus, std::string> cache;
    auto it = cache.find(kind);
    if (it == cache.end()) it = cache.emplace(kind, purlo::bench::makeCorpus(kind, 64u << 20)).first;
    return it->second;
}

template <class F>
void run(benchmark::State& state, Corpus kind, F f) {
    const std::string& text = corpus(kind);
    for (auto _ : state) benchmark::DoNotOptimize(f(text));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void Memcpy(benchmark::State& state, Corpus kind) {
    run(state, kind, [](const std::string& t) {
        std::string copy(t.size(), '\0');
        std::memcpy(copy.data(), t.data(), t.size());
        return copy;
    });
}
void CleanURLs(benchmark::State& state, Corpus kind) { run(state, kind, purlo::cleanURLs); }
void Normalize(benchmark::State& state, Corpus kind) { run(state, kind, purlo::normalizeWhitespace); }
void Pipeline(benchmark::State& state, Corpus kind) { run(state, kind, purlo::cleanText); }

// As purlo-clean works: 1 MiB pieces one after the other, whose memory the
// allocator hands back warm, so that page faults do not hide the cleaning's
// own cost. memcpy of the same pieces is the floor.
constexpr std::size_t kPiece = 1 << 20;
template <class F>
void pieces(benchmark::State& state, Corpus kind, F f) {
    run(state, kind, [&](std::string_view t) {
        std::size_t n = 0;
        for (std::size_t at = 0; at < t.size(); at += kPiece) n += f(t.substr(at, kPiece)).size();
        return n;
    });
}
void MemcpyPieces(benchmark::State& state, Corpus kind) {
    pieces(state, kind, [](std::string_view t) { return std::string(t); });
}
void PipelinePieces(benchmark::State& state, Corpus kind) { pieces(state, kind, purlo::cleanText); }

#define CORPORA(fn)                                                                        \
    BENCHMARK_CAPTURE(fn, prose, Corpus::Prose)->Unit(benchmark::kMillisecond);            \
    BENCHMARK_CAPTURE(fn, intl_prose, Corpus::IntlProse)->Unit(benchmark::kMillisecond);   \
    BENCHMARK_CAPTURE(fn, links, Corpus::Links)->Unit(benchmark::kMillisecond);            \
    BENCHMARK_CAPTURE(fn, one_address, Corpus::OneAddress)->Unit(benchmark::kMillisecond); \
    BENCHMARK_CAPTURE(fn, whitespace, Corpus::WhiteSpace)->Unit(benchmark::kMillisecond);  \
    BENCHMARK_CAPTURE(fn, fragments, Corpus::Fragments)->Unit(benchmark::kMillisecond)

CORPORA(Memcpy);
CORPORA(CleanURLs);
CORPORA(Normalize);
CORPORA(Pipeline);
CORPORA(MemcpyPieces);
CORPORA(PipelinePieces);

}  // namespace

BENCHMARK_MAIN();
