#pragma once
// Generated texts for the benchmarks: deterministic, so that runs compare.

#include <algorithm>
#include <cstddef>
#include <random>
#include <string>
#include <string_view>

namespace purlo::bench {

enum class Corpus { Prose, IntlProse, Links, OneAddress, WhiteSpace, Fragments };

inline bool parseCorpus(std::string_view name, Corpus& out) {
    if (name == "prose")
        out = Corpus::Prose;
    else if (name == "intl-prose")
        out = Corpus::IntlProse;
    else if (name == "links")
        out = Corpus::Links;
    else if (name == "one-address")
        out = Corpus::OneAddress;
    else if (name == "whitespace")
        out = Corpus::WhiteSpace;
    else if (name == "fragments")
        out = Corpus::Fragments;
    else
        return false;
    return true;
}

inline std::string makeCorpus(Corpus kind, std::size_t bytes) {
    static constexpr std::string_view kWords[] = {
        "the",  "meeting", "notes",  "of",      "Tuesday",   "are",        "attached",  "and",    "we",
        "will", "review",  "them,",  "before",  "lunch.",    "Please",     "bring",     "your",   "numbers",
        "for",  "quarter", "three;", "thanks!", "caf\u00E9", "na\u00EFve", "\u00FCber", "(draft)"};
    // What other languages and typography put into real prose: accented
    // letters, CJK, dashes and curly quotes, whose lead bytes (0xE2, 0xE3)
    // are also those of the multi-byte white space.
    static constexpr std::string_view kIntlWords[] = {"d\u00E9j\u00E0", "Stra\u00DFe",        "\u4E2D\u6587",
                                                      "\u2014",         "\u201Cquoted\u201D", "\u3053\u3068",
                                                      "fa\u00E7ade",    "it\u2019s"};
    // Prose as people paste it: single spaces, lines wrapped near 72
    // columns, a blank line between paragraphs, the odd double space.
    static constexpr std::string_view kSpaces[] = {" ", "  ", "\n", "\n\n", " \u00A0", "\t"};
    std::mt19937 rng(42);
    auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
    std::string s;
    s.reserve(bytes + 256);
    std::size_t sinceLink = 0;
    int link = 0;
    switch (kind) {
        case Corpus::OneAddress:
            s = "https://example.com/";
            while (s.size() + 32 < bytes) s += "segment/";
            s += "?id=42&utm_source=mail&q=x%2B1";
            break;
        case Corpus::WhiteSpace:
            while (s.size() < bytes) s += kSpaces[pick(std::size(kSpaces))];
            break;
        case Corpus::Fragments:  // a scheme-like "http" every 64 bytes that never becomes an address
            while (s.size() < bytes) {
                static constexpr std::string_view kNear[] = {"http:// ", "https:/x ", "htt://a ", "http:x ",
                                                             "Https://y "};
                s += kNear[pick(std::size(kNear))];
                while (s.size() % 64 != 0 && s.size() < bytes) {
                    s += kWords[pick(std::size(kWords))];
                    s += ' ';
                }
            }
            break;
        case Corpus::Prose:
        case Corpus::IntlProse:
        case Corpus::Links:
            // IntlProse: 4 % of the words from kIntlWords, the rest plain ASCII.
            auto isAscii = [](std::string_view w) {
                return std::all_of(w.begin(), w.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
            };
            auto nextWord = [&] {
                if (kind != Corpus::IntlProse) return kWords[pick(std::size(kWords))];
                if (pick(100) < 4) return kIntlWords[pick(std::size(kIntlWords))];
                for (;;) {
                    if (const std::string_view w = kWords[pick(std::size(kWords))]; isAscii(w)) return w;
                }
            };
            std::size_t column = 0;
            while (s.size() < bytes) {
                const std::string_view word = nextWord();
                s += word;
                column += word.size() + 1;
                const std::size_t roll = pick(400);
                if (column > 72) {
                    s += roll < 20 ? kSpaces[3] : kSpaces[2];  // wrap; now and then a paragraph
                    column = 0;
                } else {
                    s += roll == 0 ? kSpaces[1] : roll == 1 ? kSpaces[4] : kSpaces[0];
                }
                sinceLink += word.size() + 1;
                if (kind == Corpus::Links && sinceLink >= 200) {
                    sinceLink = 0;
                    s += "https://shop.example.com/item/" + std::to_string(link) + "?id=" + std::to_string(link * 7);
                    if (link++ % 2 == 0) s += "&utm_source=newsletter&utm_medium=email&fbclid=IwAR3x";
                    s += ' ';
                }
            }
            break;
    }
    s.resize(bytes, ' ');
    return s;
}

}  // namespace purlo::bench
