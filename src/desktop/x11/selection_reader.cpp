#include "desktop/x11/selection_reader.hpp"

#include "desktop/clipboard_text.hpp"
#include "desktop/x11/xcb_util.hpp"

#include <xcb/xcb.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace purlo {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kMaxBytes = text::kMaxBytes;
// An owner that keeps answering is not stalled, however long its text
// takes (a busy machine, a large INCR transfer): the reader's patience runs
// for each answer anew, and only this bounds the whole transfer.
constexpr auto kMaxTransferTime = std::chrono::seconds(30);
// Owners stalled mid-transfer whose rest is still taken in the background.
constexpr std::size_t kMaxDrains = 8;

using xcb::intern;
using xcb::Reply;

struct Atoms {
    xcb_atom_t clipboard, targets, incr, property;
};

// One transfer, on a fresh requestor window, so that whatever an owner sends
// late to an abandoned read cannot be mistaken for the answer to a later one.
class Transfer {
public:
    enum class Status { Ok, Refused, TimedOut, TooLarge, Failed };

    Transfer(xcb_connection_t* c, xcb_window_t root, const Atoms& atoms, std::chrono::milliseconds patience,
             std::function<void(xcb_generic_event_t*)> others)
        : c_(c),
          atoms_(atoms),
          patience_(patience),
          others_(std::move(others)),
          giveUp_(Clock::now() + kMaxTransferTime),
          window_(xcb_generate_id(c)) {
        const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(c_, XCB_COPY_FROM_PARENT, window_, root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                          XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
    }
    ~Transfer() {
        if (!keepWindow_) xcb_destroy_window(c_, window_);
        xcb_flush(c_);
    }

    // An owner that was only slow answers later into this window; were it
    // gone, the owner would get BadWindow, and xclip for one dies of that
    // and takes the user's clipboard with it. So a window given up on stays.
    // Unless the transfer was abandoned mid-INCR, which destroys it.
    std::optional<xcb_window_t> keepWindow() {
        if (abandoned_) return std::nullopt;
        keepWindow_ = true;
        return window_;
    }

    // True when the owner stalled between two INCR pieces: it still means
    // to send the rest, and waits for us to take it.
    bool pausedMidway() const { return paused_; }

    // Asks the owner for `target`; `data` and `type` receive the answer.
    Status convert(xcb_atom_t target, std::string& data, xcb_atom_t& type) {
        data.clear();
        xcb_convert_selection(c_, window_, atoms_.clipboard, target, atoms_.property, XCB_CURRENT_TIME);
        xcb_flush(c_);

        xcb_atom_t answered = XCB_ATOM_NONE;
        const Status s = waitFor([&](xcb_generic_event_t* e) {
            if ((e->response_type & 0x7f) != XCB_SELECTION_NOTIFY) return false;
            auto* n = reinterpret_cast<xcb_selection_notify_event_t*>(e);
            if (n->requestor != window_ || n->selection != atoms_.clipboard || n->target != target) return false;
            answered = n->property;
            return true;
        });
        if (s != Status::Ok) return s;
        if (answered == XCB_ATOM_NONE) return Status::Refused;

        uint32_t format = 0;
        const Status first = take(data, type, format);
        if (first != Status::Ok || type != atoms_.incr) return first;

        // ICCCM 2.7.2: the owner sends the data in pieces, each announced by
        // a new value of the property, and ends with a piece of length zero.
        // take() deleted the INCR property, which starts the transfer. Its
        // value, a lower bound of the size, saves the doublings that would
        // leave a string of up to twice the text.
        std::uint32_t announced = 0;
        if (data.size() >= sizeof announced) std::memcpy(&announced, data.data(), sizeof announced);
        data.clear();
        data.reserve(std::min<std::size_t>(announced, kMaxBytes));
        for (;;) {
            const Status piece = waitForPiece();
            if (piece == Status::TimedOut) {
                paused_ = true;
                return piece;
            }
            if (piece != Status::Ok) return abandon(piece);
            std::string chunk;
            const Status got = take(chunk, type, format);
            if (got != Status::Ok) return abandon(got);
            if (chunk.empty()) return Status::Ok;
            if (data.size() + chunk.size() > kMaxBytes) {
                data.clear();
                return drain();
            }
            data += chunk;
        }
    }

private:
    // Reads the whole property and deletes it.
    Status take(std::string& out, xcb_atom_t& type, uint32_t& format) {
        Reply<xcb_get_property_reply_t> r(
            xcb_get_property_reply(c_,
                                   xcb_get_property(c_, 1, window_, atoms_.property, XCB_GET_PROPERTY_TYPE_ANY, 0,
                                                    uint32_t(kMaxBytes / 4 + 1)),
                                   nullptr));
        if (!r) return Status::Failed;
        if (r->bytes_after > 0) {  // larger than kMaxBytes: the server kept it
            xcb_delete_property(c_, window_, atoms_.property);
            xcb_flush(c_);
            return Status::TooLarge;
        }
        type = r->type;
        format = r->format;
        const int len = xcb_get_property_value_length(r.get());
        out.assign(static_cast<const char*>(xcb_get_property_value(r.get())), std::size_t(len));
        xcb_flush(c_);
        return Status::Ok;
    }

    // An INCR owner waits for each piece to be deleted before it sends the
    // next and serves nobody else meanwhile (xclip does): walking away would
    // leave it, and every later paste, stuck. So the rest is taken unread
    // until the owner's closing empty piece.
    Status drain() {
        // Stopping here is what leaves the owner stuck, so an owner that
        // keeps answering gets the transfer's whole time again for the rest.
        // take() deleted the piece that went over, which asked for the next;
        // deleting again here would drop that one unread, and its stale
        // notice would pass for the closing piece while the owner still sends.
        giveUp_ = Clock::now() + kMaxTransferTime;
        for (;;) {
            const Status s = waitForPiece();
            if (s != Status::Ok) return abandon(Status::TooLarge);
            Reply<xcb_get_property_reply_t> r(xcb_get_property_reply(
                c_, xcb_get_property(c_, 1, window_, atoms_.property, XCB_GET_PROPERTY_TYPE_ANY, 0, 0), nullptr));
            if (!r) return Status::Failed;
            xcb_delete_property(c_, window_, atoms_.property);
            xcb_flush(c_);
            if (r->bytes_after == 0 && xcb_get_property_value_length(r.get()) == 0) return Status::TooLarge;
        }
    }

    // Giving up in the middle of an INCR transfer: ICCCM's way to tell the
    // owner is to delete the property and destroy the requestor window; its
    // next piece then fails instead of waiting for us forever.
    Status abandon(Status why) {
        xcb_delete_property(c_, window_, atoms_.property);
        abandoned_ = true;
        return why;
    }

    // The owner's next INCR piece: a new value of our property.
    Status waitForPiece() {
        return waitFor([&](xcb_generic_event_t* e) {
            if ((e->response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return false;
            auto* n = reinterpret_cast<xcb_property_notify_event_t*>(e);
            return n->window == window_ && n->atom == atoms_.property && n->state == XCB_PROPERTY_NEW_VALUE;
        });
    }

    template <typename Pred>
    Status waitFor(Pred matches) {
        const Clock::time_point deadline = std::min(Clock::now() + patience_, giveUp_);
        for (;;) {
            // Replies to earlier requests may have queued events already, so
            // the queue comes before the socket.
            while (xcb_generic_event_t* e = xcb_poll_for_event(c_)) {
                const bool hit = matches(e);
                if (!hit && others_) others_(e);
                std::free(e);
                if (hit) return Status::Ok;
            }
            if (xcb_connection_has_error(c_)) return Status::Failed;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) return Status::TimedOut;
            pollfd p{xcb_get_file_descriptor(c_), POLLIN, 0};
            if (poll(&p, 1, int(left) + 1) < 0 && errno != EINTR) return Status::Failed;
        }
    }

    xcb_connection_t* c_;
    const Atoms& atoms_;
    std::chrono::milliseconds patience_;
    std::function<void(xcb_generic_event_t*)> others_;
    Clock::time_point giveUp_;
    xcb_window_t window_;
    bool keepWindow_ = false;
    bool abandoned_ = false;
    bool paused_ = false;
};

}  // namespace

X11SelectionReader::X11SelectionReader(std::string display) : display_(std::move(display)) {}

X11SelectionReader::~X11SelectionReader() {
    if (drainer_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        drainsChanged_.notify_all();
        (void)!write(wake_[1], "x", 1);
        drainer_.join();
    }
    for (int fd : wake_)
        if (fd >= 0) close(fd);
    if (connection_) xcb_disconnect(connection_);  // takes the kept windows along
}

void X11SelectionReader::drain(unsigned window) {
    drains_.push_back({window, Clock::now()});
    // Bounded: after this many stalled owners the oldest is let go after all.
    if (drains_.size() > kMaxDrains) {
        xcb_destroy_window(connection_, drains_.front().window);
        drains_.erase(drains_.begin());
    }
    if (!drainer_.joinable() && pipe2(wake_, O_CLOEXEC) == 0) drainer_ = std::thread([this] { drainLoop(); });
    drainsChanged_.notify_all();
}

// While no read runs, the owner's pieces for the windows being drained come
// to this thread; during a read, its transfer hands them over.
void X11SelectionReader::drainLoop() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (drains_.empty() || !connection_) {
            drainsChanged_.wait(lock);
            continue;
        }
        pollfd fds[2] = {{xcb_get_file_descriptor(connection_), POLLIN, 0}, {wake_[0], POLLIN, 0}};
        lock.unlock();
        poll(fds, 2, 1000);
        lock.lock();
        if (stopping_ || !connection_) continue;
        while (xcb_generic_event_t* e = xcb_poll_for_event(connection_)) {
            takeDrained(e);
            std::free(e);
        }
        const auto now = Clock::now();
        std::erase_if(drains_, [&](const Drain& d) {
            // An owner silent this long has given up or died: the window goes.
            if (now - d.lastPiece < kMaxTransferTime) return false;
            xcb_destroy_window(connection_, d.window);
            return true;
        });
        xcb_flush(connection_);
    }
}

// A piece an owner sent to a window being drained: taken unread, which asks
// for the next; the closing empty piece ends the owner's transfer, and the
// window goes.
void X11SelectionReader::takeDrained(xcb_generic_event_t* e) {
    if ((e->response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return;
    auto* n = reinterpret_cast<xcb_property_notify_event_t*>(e);
    if (n->atom != propertyAtom_ || n->state != XCB_PROPERTY_NEW_VALUE) return;
    const auto d = std::find_if(drains_.begin(), drains_.end(), [&](const Drain& d) { return d.window == n->window; });
    if (d == drains_.end()) return;
    Reply<xcb_get_property_reply_t> r(xcb_get_property_reply(
        connection_, xcb_get_property(connection_, 0, n->window, propertyAtom_, XCB_GET_PROPERTY_TYPE_ANY, 0, 0),
        nullptr));
    if (r && r->bytes_after == 0) {
        xcb_destroy_window(connection_, d->window);
        drains_.erase(d);
    } else {
        xcb_delete_property(connection_, n->window, propertyAtom_);
        d->lastPiece = Clock::now();
    }
    xcb_flush(connection_);
}

void X11SelectionReader::giveUp(std::optional<unsigned> window, bool pausedMidway) {
    if (window && pausedMidway) {
        drain(*window);
    } else {
        keep(window);
    }
}

void X11SelectionReader::keep(std::optional<unsigned> window) {
    if (!window) return;
    kept_.push_back(*window);
    // Bounded: after this many stalls the oldest window goes after all.
    if (kept_.size() > 16) {
        xcb_destroy_window(connection_, kept_.front());
        kept_.erase(kept_.begin());
    }
}

bool X11SelectionReader::connect() {
    if (connection_ && !xcb_connection_has_error(connection_)) return true;
    if (connection_) {
        xcb_disconnect(connection_);
        connection_ = nullptr;
        kept_.clear();  // they went with the old connection
        drains_.clear();
    }
    xcb_connection_t* c = xcb_connect(display_.empty() ? nullptr : display_.c_str(), nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return false;
    }
    connection_ = c;
    root_ = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    clipboardAtom_ = intern(c, "CLIPBOARD");
    compoundText_ = intern(c, "COMPOUND_TEXT");
    propertyAtom_ = intern(c, "PURLO_SELECTION");
    forms_.clear();
    for (const text::Form& form : text::kReadOrder) {
        const std::string name(form.name);
        forms_.emplace_back(intern(c, name.c_str()), name);
    }
    return clipboardAtom_ != XCB_ATOM_NONE;
}

std::optional<bool> X11SelectionReader::hasOwner() {
    std::lock_guard lock(mutex_);
    if (!connect()) return std::nullopt;
    const xcb_window_t owner = xcb::owner(connection_, clipboardAtom_);
    if (xcb_connection_has_error(connection_)) return std::nullopt;
    return owner != XCB_NONE;
}

X11SelectionReader::Result X11SelectionReader::readText() {
    std::lock_guard lock(mutex_);
    if (!connect()) return {Outcome::Failed, {}};
    xcb_connection_t* c = connection_;

    Reply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, clipboardAtom_), nullptr));
    if (!owner) return {Outcome::Failed, {}};
    if (owner->owner == XCB_NONE) return {Outcome::NoOwner, {}};

    const Atoms atoms{clipboardAtom_, intern(c, "TARGETS"), intern(c, "INCR"), propertyAtom_};
    Transfer transfer(c, root_, atoms, text::kAnswerTime, [this](xcb_generic_event_t* e) { takeDrained(e); });
    const auto atomOf = [&](std::string_view name) {
        for (const auto& [atom, known] : forms_)
            if (known == name) return atom;
        return xcb_atom_t(XCB_ATOM_NONE);
    };

    std::string data;
    xcb_atom_t type = XCB_ATOM_NONE;
    std::vector<text::Offered> order;
    switch (transfer.convert(atoms.targets, data, type)) {
        case Transfer::Status::Ok: {
            const auto* list = reinterpret_cast<const xcb_atom_t*>(data.data());
            const std::size_t n = type == XCB_ATOM_ATOM ? data.size() / sizeof(xcb_atom_t) : 0;
            std::vector<std::string> offered;
            for (std::size_t i = 0; i < n; ++i)
                for (const auto& [atom, name] : forms_)
                    if (list[i] == atom) offered.push_back(name);
            order = text::readableForms(offered);
            if (order.empty()) return {Outcome::NoText, {}};
            break;
        }
        case Transfer::Status::Refused:
            // An old owner that cannot list its targets: just ask for text.
            order = {{"UTF8_STRING", text::Encoding::Utf8}, {"STRING", text::Encoding::Latin1}};
            break;
        case Transfer::Status::TimedOut:
            giveUp(transfer.keepWindow(), transfer.pausedMidway());
            return {Outcome::TimedOut, {}};
        case Transfer::Status::TooLarge: return {Outcome::TooLarge, {}};
        case Transfer::Status::Failed: return {Outcome::Failed, {}};
    }

    for (const text::Offered& form : order) {
        switch (transfer.convert(atomOf(form.name), data, type)) {
            case Transfer::Status::Ok: {
                // The answer's type names its encoding: TEXT may come as
                // STRING, or as COMPOUND_TEXT, which is no form we read.
                if (type == compoundText_) continue;
                std::optional<std::string> decoded =
                    text::decode(std::move(data), type == XCB_ATOM_STRING ? text::Encoding::Latin1 : form.encoding);
                if (!decoded) return {Outcome::Failed, {}};
                return {Outcome::Text, std::move(*decoded)};
            }
            case Transfer::Status::Refused: continue;
            case Transfer::Status::TimedOut:
                giveUp(transfer.keepWindow(), transfer.pausedMidway());
                return {Outcome::TimedOut, {}};
            case Transfer::Status::TooLarge: return {Outcome::TooLarge, {}};
            case Transfer::Status::Failed: return {Outcome::Failed, {}};
        }
    }
    return {Outcome::NoText, {}};
}

}  // namespace purlo
