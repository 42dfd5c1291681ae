#pragma once
// Holds the CLIPBOARD selection with our text, on an X connection and a
// thread of its own, so that other programs can paste while the GUI thread
// is busy and a run on the cleaning thread can wait for the server's word.
//
// A claim carries a server timestamp taken before the text was read: the
// server ignores a claim older than the last change of the selection, so a
// copy made while we were cleaning is never replaced by the cleaned older
// text (ICCCM 2.1). Ownership is confirmed by asking the server, not assumed.

#include "desktop/clipboard_text.hpp"

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace purlo {

class X11SelectionOwner {
public:
    // Raced: ours, but a copy made in the last moment before our claim took
    // effect was replaced by it.
    enum class Claim { Owned, Refused, Raced, Failed };

    // A point in the clipboard's history: the server's time, and how many
    // times other programs had changed the clipboard's owner by then.
    struct Moment {
        xcb_timestamp_t time;
        std::uint64_t foreignChanges;
    };

    // `display` as xcb_connect takes it (empty: $DISPLAY).
    explicit X11SelectionOwner(const std::string& display);
    // Stops serving; what we still own is lost unless handOver() ran.
    ~X11SelectionOwner();
    X11SelectionOwner(const X11SelectionOwner&) = delete;
    X11SelectionOwner& operator=(const X11SelectionOwner&) = delete;

    bool connected() const { return thread_.joinable(); }

    // A timestamp of the server's clock, newer than every change the server
    // had made when it was asked. Any thread.
    std::optional<xcb_timestamp_t> serverTime();

    // serverTime(), with every owner change up to it counted: XFixes tells
    // each one, in the server's order, and they come before the time's own
    // event. Any thread.
    std::optional<Moment> now();

    // Makes `text` the clipboard's one content, unless another program has
    // changed it since `since`: not even a program whose claim carries an
    // older time (the key press it copied on, say) is overwritten. Any
    // thread.
    Claim claim(std::string text, const Moment& since);

    // Our text while we own the clipboard: it is served from memory, never
    // read back through the server. Any thread.
    std::shared_ptr<const text::OwnText> ownedText();

    // When a clipboard manager runs (the freedesktop CLIPBOARD_MANAGER
    // convention), asks it to take a copy of what we own, and serves it until
    // the manager says it is done or `limit` passes. True when saved.
    bool handOver(std::chrono::milliseconds limit);

private:
    struct Outgoing {  // one INCR transfer in progress
        std::shared_ptr<const std::string> data;
        xcb_atom_t type;
        std::size_t sent = 0;
        bool finished = false;  // the empty closing piece went out
        std::chrono::steady_clock::time_point lastActivity;
    };

    void run();
    void handle(xcb_generic_event_t* e);
    void answer(const xcb_selection_request_event_t& request);
    bool convert(const xcb_selection_request_event_t& request, xcb_atom_t property);
    bool convertMultiple(const xcb_selection_request_event_t& request, xcb_atom_t property);
    void sendNextPiece(std::pair<xcb_window_t, xcb_atom_t> key, Outgoing& transfer);
    void dropStaleTransfers();

    xcb_connection_t* c_ = nullptr;
    xcb_window_t window_ = XCB_NONE;
    std::size_t maxBytes_ = 0;
    struct {
        xcb_atom_t clipboard, targets, timestamp, multiple, incr, utf8String, text, manager, saveTargets, timeProperty,
            saveProperty;
    } atom_{};
    std::vector<std::pair<xcb_atom_t, std::string>> forms_;  // the text forms, as atoms

    int wake_[2] = {-1, -1};  // tells the event thread to stop
    std::thread thread_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::shared_ptr<const text::OwnText> text_;  // what we serve; null when not owner
    xcb_timestamp_t ownedSince_ = 0;
    std::uint64_t timeTicks_ = 0;   // PropertyNotify events on our window
    std::uint8_t xfixesEvent_ = 0;  // 0: the server has no XFixes
    std::uint64_t foreignChanges_ = 0;
    std::uint64_t foreignAtOwnClaim_ = 0;  // foreignChanges_ when our latest claim took effect
    xcb_timestamp_t lastTime_ = 0;
    bool saveAnswered_ = false;
    bool saved_ = false;

    // Event thread only.
    std::map<std::pair<xcb_window_t, xcb_atom_t>, Outgoing> outgoing_;
};

}  // namespace purlo
