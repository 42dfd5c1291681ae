// purlo-clean: the clipboard cleaning as a filter, standard input to
// standard output, byte for byte.

#include "cleaning/clean_text.hpp"

#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#ifndef PURLO_VERSION
#error "PURLO_VERSION must be defined by the build"
#endif

namespace {

constexpr std::string_view kUsage =
    "Usage: purlo-clean [--help | --version]\n"
    "Reads text on standard input and writes it cleaned to standard output:\n"
    "tracking parameters are removed from every http/https address, and every\n"
    "run of white space becomes one space, with none at either end.\n";

constexpr std::size_t kChunk = 1 << 20;

void complain(const char* what, int err) { std::fprintf(stderr, "purlo-clean: %s: %s\n", what, std::strerror(err)); }

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

// Reads up to kChunk more bytes into buf after its first `used` bytes, growing
// it only when it is full; 0 at the end, -1 on error.
ssize_t readMore(int fd, std::string& buf, std::size_t& used) {
    if (buf.size() < used + kChunk) buf.resize(used + kChunk);
    ssize_t n;
    do {
        n = ::read(fd, buf.data() + used, kChunk);
    } while (n < 0 && errno == EINTR);
    if (n > 0) used += static_cast<std::size_t>(n);
    return n;
}

// TAB, LF, VT, FF, CR and SPACE: white space however the cleaning reads
// its neighbours, since UTF-8 never uses an ASCII byte inside a character.
bool isAsciiWhiteSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// A place where the text may be cut so that cleaning the pieces one by one
// gives exactly what cleaning the whole would: just after an ASCII white-space
// byte. No address spans white space, and the run of white space around the
// cut collapses into the one space put between the pieces. Returns 0 when
// there is none at or after `from` (what lies before was searched already).
std::size_t lastCut(std::string_view buf, std::size_t from) {
    for (std::size_t i = buf.size(); i > from; --i) {
        if (isAsciiWhiteSpace(buf[i - 1])) return i;
    }
    return 0;
}

class Cleaner {
public:
    // Cleans one piece that ends at a cut (or at the end of the input) and
    // writes it; false with errno set when the output cannot be written.
    bool piece(std::string_view text) { return write(purlo::cleanText(text)); }

private:
    bool write(const std::string& cleaned) {
        if (cleaned.empty()) return true;
        // The white space between two pieces collapses to one space.
        if (wroteAny_ && !writeAll(STDOUT_FILENO, " ")) return false;
        wroteAny_ = true;
        return writeAll(STDOUT_FILENO, cleaned);
    }

    bool wroteAny_ = false;
};

}  // namespace

int main(int argc, char** argv) try {
    if (argc > 1) {
        const std::string_view arg = argv[1];
        if (argc == 2 && (arg == "--help" || arg == "-h")) return writeAll(STDOUT_FILENO, kUsage) ? 0 : 1;
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

    // The input is cleaned piece by piece as it arrives, so memory stays
    // small and warm; a text with no place to cut is held whole.
    // The pieces' buffers are the same few sizes over and over: keep freed
    // memory in the process instead of returning it to the system and
    // faulting it in again for the next piece.
    mallopt(M_MMAP_THRESHOLD, 8 * kChunk);
    mallopt(M_TRIM_THRESHOLD, 64 * kChunk);

    Cleaner cleaner;
    std::string buf;
    std::size_t used = 0;  // buf[0, used) holds input not yet cleaned
    struct stat st {};
    if (::fstat(STDIN_FILENO, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        // A file's size is known: one allocation instead of a doubling series.
        buf.reserve(static_cast<std::size_t>(st.st_size) + kChunk);
    }
    std::size_t searched = 0;  // buf[0, searched) holds no place to cut
    for (;;) {
        const ssize_t n = readMore(STDIN_FILENO, buf, used);
        if (n < 0) {
            complain("cannot read standard input", errno);
            return 1;
        }
        if (n == 0) break;
        if (used < kChunk) continue;
        const std::string_view pending(buf.data(), used);
        if (const std::size_t cut = lastCut(pending, searched); cut > 0) {
            if (!cleaner.piece(pending.substr(0, cut))) {
                complain("cannot write standard output", errno);
                return 1;
            }
            std::memmove(buf.data(), buf.data() + cut, used - cut);
            used -= cut;
            searched = 0;
        } else {
            searched = used;
        }
    }
    // The last piece may be the whole input (one huge address); cleanText
    // makes a single copy of it, so two are alive at most.
    if (!cleaner.piece(std::string_view(buf.data(), used))) {
        complain("cannot write standard output", errno);
        return 1;
    }
    // Buffered data of a regular file may only fail at close (NFS, quota).
    if (::close(STDOUT_FILENO) != 0 && errno != EINTR) {
        complain("cannot write standard output", errno);
        return 1;
    }
    return 0;
} catch (const std::bad_alloc&) {
    // A text with no place to cut is held whole and may not fit. What was
    // written before is only part of the result: say so and fail.
    std::fputs("purlo-clean: out of memory\n", stderr);
    return 1;
}
