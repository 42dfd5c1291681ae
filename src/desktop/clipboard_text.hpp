#pragma once
// How Purlo trades text with other programs through a clipboard, the same
// on X11 and on Wayland: the forms it reads, best first, and how each is
// decoded; the forms it offers its own text in; and the limits that keep a
// stalled or runaway program from holding a run or the machine's memory.

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace purlo::text {

// Far more than any text anyone means to clean; a runaway owner must not be
// able to make Purlo swallow the machine's memory.
inline constexpr std::size_t kMaxBytes = std::size_t(64) << 20;
// How long the program holding the clipboard may take for each answer: one
// that has not answered by then is stalled, and the run says so.
inline constexpr std::chrono::milliseconds kAnswerTime{2000};
// A reader that stops taking our text has gone away or stalled; its copy is
// let go after this long without progress.
inline constexpr std::chrono::milliseconds kStaleTransfer{10000};

enum class Encoding { Utf8, Latin1 };

struct Form {
    std::string_view name;  // a MIME type, or an X11 target's atom name
    Encoding encoding;
};

// Best first. TEXT and UTF8_STRING are the names X11 programs (and Xwayland,
// for them) offer text under, and Qt and GTK offer "text/plain" as UTF-8;
// STRING is Latin-1 by definition, and the last resort.
inline constexpr Form kReadOrder[] = {{"text/plain;charset=utf-8", Encoding::Utf8},
                                      {"UTF8_STRING", Encoding::Utf8},
                                      {"text/plain", Encoding::Utf8},
                                      {"TEXT", Encoding::Utf8},
                                      {"STRING", Encoding::Latin1}};

// The forms worth asking for among those a program offers, best first, each
// spelled as offered (MIME types compare without regard to case).
struct Offered {
    std::string name;
    Encoding encoding;
};
std::vector<Offered> readableForms(const std::vector<std::string>& offered);

// The text a program sent in `encoding`, as UTF-8; nullopt when the bytes
// are not what they claim. Text that is not UTF-8 would be damaged by
// cleaning and writing back, so such a clipboard is left alone.
std::optional<std::string> decode(std::string bytes, Encoding encoding);

bool validUtf8(std::string_view s);
std::string latin1ToUtf8(std::string_view s);
// nullopt when the text has characters Latin-1 lacks.
std::optional<std::string> toLatin1(std::string_view utf8);

// Our own text, as we serve it to the programs that paste it: its UTF-8
// form under every UTF-8 name, and STRING only where the text fits Latin-1.
// Held in memory for as long as we own the clipboard; a run that finds its
// own text there reads it from here, not back through the desktop.
class OwnText {
public:
    explicit OwnText(std::string utf8);

    const std::string& utf8() const { return *utf8_; }
    // The names we offer, best first (kReadOrder's).
    const std::vector<std::string>& types() const { return types_; }
    // The bytes for one of those names; null for any other name.
    std::shared_ptr<const std::string> bytesFor(std::string_view type) const;

private:
    std::shared_ptr<const std::string> utf8_;
    std::shared_ptr<const std::string> latin1_;  // null when the text is not Latin-1
    std::vector<std::string> types_;
};

}  // namespace purlo::text
