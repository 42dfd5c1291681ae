#pragma once
// Reads the text of an X selection on a connection of its own, with a
// deadline for the whole transfer.
//
// Qt's clipboard read runs its own event loop on the GUI thread and waits
// about 5 s per request for an owner that does not answer; a stalled owner
// would then freeze the tray icon for many seconds per press. This reader
// speaks ICCCM selection transfers itself (TARGETS, then a text target, INCR
// included) on any thread.

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct xcb_connection_t;

namespace purlo {

class X11SelectionReader {
public:
    enum class Outcome { NoOwner, NoText, Text, TimedOut, TooLarge, Failed };
    struct Result {
        Outcome outcome = Outcome::Failed;
        std::string text;  // UTF-8, when outcome == Text
    };

    // `display` is the X display name (empty: $DISPLAY). The owner may take
    // text::kAnswerTime for each answer (each INCR piece included), and may
    // send at most text::kMaxBytes (Outcome::TooLarge).
    explicit X11SelectionReader(std::string display);
    ~X11SelectionReader();
    X11SelectionReader(const X11SelectionReader&) = delete;
    X11SelectionReader& operator=(const X11SelectionReader&) = delete;

    // Whether the CLIPBOARD selection has an owner right now; nullopt when
    // the server cannot be reached.
    std::optional<bool> hasOwner();
    // The owner's text in UTF-8 (converted from Latin-1 for STRING).
    Result readText();

private:
    bool connect();                             // with mutex_ held
    void keep(std::optional<unsigned> window);  // with mutex_ held

    std::string display_;
    std::mutex mutex_;
    xcb_connection_t* connection_ = nullptr;
    unsigned root_ = 0;
    unsigned clipboardAtom_ = 0;
    unsigned compoundText_ = 0;
    std::vector<std::pair<unsigned, std::string>> forms_;  // the text forms, as atoms
    std::vector<unsigned> kept_;                           // requestor windows of reads given up on
};

}  // namespace purlo
