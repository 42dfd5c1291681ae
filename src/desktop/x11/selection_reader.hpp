#pragma once
// Reads the text of an X selection on a connection of its own, with a
// deadline for the whole transfer.
//
// Qt's clipboard read runs its own event loop on the GUI thread and waits
// about 5 s per request for an owner that does not answer; a stalled owner
// would then freeze the tray icon for many seconds per press. This reader
// speaks ICCCM selection transfers itself (TARGETS, then a text target, INCR
// included) on any thread.

#include <xcb/xcb.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <xcb/xcb.h>

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
    // With mutex_ held.
    bool connect();
    // A read given up on at the deadline: its window stays for the owner.
    void giveUp(std::optional<unsigned> window, bool pausedMidway);
    void keep(std::optional<unsigned> window);
    void drain(unsigned window);
    void takeDrained(xcb_generic_event_t* e);
    void drainLoop();

    std::string display_;
    std::mutex mutex_;
    xcb_connection_t* connection_ = nullptr;
    unsigned root_ = 0;
    unsigned clipboardAtom_ = 0;
    unsigned compoundText_ = 0;
    std::vector<std::pair<unsigned, std::string>> forms_;  // the text forms, as atoms
    std::vector<unsigned> kept_;                           // requestor windows of reads given up on
    unsigned propertyAtom_ = 0;

    // Owners that stalled between two pieces of a large text still wait for
    // us to take the rest; stopping would leave them stuck, and destroying
    // the window kills xclip (BadWindow) and the user's clipboard with it.
    struct Drain {
        unsigned window;
        std::chrono::steady_clock::time_point lastPiece;
    };
    std::vector<Drain> drains_;
    std::condition_variable drainsChanged_;
    std::thread drainer_;  // started by the first stall
    int wake_[2] = {-1, -1};
    bool stopping_ = false;
};

}  // namespace purlo
