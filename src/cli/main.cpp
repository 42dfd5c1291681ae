// purlo-clean: the clipboard cleaning as a filter, standard input to
// standard output, byte for byte.

#include "cleaning/url_cleaner.hpp"
#include "cleaning/whitespace.hpp"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <unistd.h>

#ifndef PURLO_VERSION
#error "PURLO_VERSION must be defined by the build"
#endif

namespace {

constexpr std::string_view kUsage =
    "Usage: purlo-clean [--help | --version]\n"
    "Reads text on standard input and writes it cleaned to standard output:\n"
    "tracking parameters are removed from every http/https address, and every\n"
    "run of white space becomes one space, with none at either end.\n";

void complain(const char* what, int err) {
    std::fprintf(stderr, "purlo-clean: %s: %s\n", what, std::strerror(err));
}

// Reads all of fd; false (with errno set) on a read error.
bool readAll(int fd, std::string& into) {
    constexpr std::size_t kChunk = 1 << 20;
    for (;;) {
        const std::size_t have = into.size();
        if (into.capacity() - have < kChunk) into.reserve(std::max(2 * into.capacity(), have + kChunk));
        into.resize(into.capacity());
        ssize_t n;
        do {
            n = ::read(fd, into.data() + have, into.size() - have);
        } while (n < 0 && errno == EINTR);
        if (n < 0) {
            into.resize(have);
            return false;
        }
        into.resize(have + static_cast<std::size_t>(n));
        if (n == 0) return true;
    }
}

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        const std::string_view arg = argv[1];
        if (argc == 2 && (arg == "--help" || arg == "-h")) {
            return writeAll(STDOUT_FILENO, kUsage) ? 0 : 1;
        }
        if (argc == 2 && arg == "--version") {
            const std::string v = std::string("purlo-clean ") + PURLO_VERSION + "\n";
            return writeAll(STDOUT_FILENO, v) ? 0 : 1;
        }
        // Name the first argument that cannot stand where it is.
        const bool firstKnown = arg == "--help" || arg == "-h" || arg == "--version";
        std::fprintf(stderr, "purlo-clean: unexpected argument '%s' (usage: purlo-clean [--help | --version])\n",
                     firstKnown ? argv[2] : argv[1]);
        return 2;
    }

    // A closed pipe must be reported as a failure, not end the process silently.
    std::signal(SIGPIPE, SIG_IGN);

    std::string input;
    if (!readAll(STDIN_FILENO, input)) {
        complain("cannot read standard input", errno);
        return 1;
    }
    std::string cleaned = purlo::cleanURLs(input);
    std::string().swap(input);  // keep peak memory near twice the input
    const std::string output = purlo::normalizeWhitespace(cleaned);
    std::string().swap(cleaned);

    if (!writeAll(STDOUT_FILENO, output)) {
        complain("cannot write standard output", errno);
        return 1;
    }
    // Buffered data of a regular file may only fail at close (NFS, quota).
    if (::close(STDOUT_FILENO) != 0 && errno != EINTR) {
        complain("cannot write standard output", errno);
        return 1;
    }
    return 0;
}
