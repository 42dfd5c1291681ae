#include "desktop/x11/selection_owner.hpp"

#include "desktop/clipboard_text.hpp"
#include "desktop/x11/xcb_util.hpp"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace purlo {
namespace {

using Clock = std::chrono::steady_clock;

// INCR pieces: large enough to be few, small enough not to hold the thread.
constexpr std::size_t kPieceBytes = std::size_t(1) << 20;

}  // namespace

X11SelectionOwner::X11SelectionOwner(const std::string& display) {
    xcb_connection_t* c = xcb_connect(display.empty() ? nullptr : display.c_str(), nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return;
    }
    c_ = c;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    window_ = xcb_generate_id(c);
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window_, root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
    atom_ = {xcb::intern(c, "CLIPBOARD"),    xcb::intern(c, "TARGETS"),
             xcb::intern(c, "TIMESTAMP"),    xcb::intern(c, "MULTIPLE"),
             xcb::intern(c, "INCR"),         xcb::intern(c, "UTF8_STRING"),
             xcb::intern(c, "TEXT"),         xcb::intern(c, "CLIPBOARD_MANAGER"),
             xcb::intern(c, "SAVE_TARGETS"), xcb::intern(c, "PURLO_TIME"),
             xcb::intern(c, "PURLO_SAVE")};
    for (const text::Form& form : text::kReadOrder) {
        const std::string name(form.name);
        forms_.emplace_back(xcb::intern(c, name.c_str()), name);
    }
    maxBytes_ = xcb::maxPropertyBytes(c);
    xcb::Reply<xcb_xfixes_query_version_reply_t> fixes(
        xcb_xfixes_query_version_reply(c, xcb_xfixes_query_version(c, 5, 0), nullptr));
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_xfixes_id);
    if (fixes && ext && ext->present) {
        xfixesEvent_ = ext->first_event;
        xcb_xfixes_select_selection_input(c, window_, atom_.clipboard,
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                              XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                              XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    }
    if (pipe(wake_) != 0) return;
    thread_ = std::thread([this] { run(); });
}

X11SelectionOwner::~X11SelectionOwner() {
    if (thread_.joinable()) {
        const char stop = 1;
        (void)!write(wake_[1], &stop, 1);
        thread_.join();
    }
    for (int fd : wake_)
        if (fd >= 0) close(fd);
    if (c_) xcb_disconnect(c_);
}

void X11SelectionOwner::run() {
    const int fd = xcb_get_file_descriptor(c_);
    for (;;) {
        while (xcb_generic_event_t* e = xcb_poll_for_event(c_)) {
            handle(e);
            std::free(e);
        }
        xcb_flush(c_);
        if (xcb_connection_has_error(c_)) break;
        dropStaleTransfers();
        pollfd fds[2] = {{fd, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (poll(fds, 2, 1000) < 0 && errno != EINTR) break;
        if (fds[1].revents) break;
    }
    // The server is gone (or we are stopping): nothing is ours any more.
    std::lock_guard lock(mutex_);
    text_.reset();
    changed_.notify_all();
}

void X11SelectionOwner::handle(xcb_generic_event_t* e) {
    if (xfixesEvent_ && (e->response_type & 0x7f) == xfixesEvent_ + XCB_XFIXES_SELECTION_NOTIFY) {
        auto* n = reinterpret_cast<xcb_xfixes_selection_notify_event_t*>(e);
        std::lock_guard lock(mutex_);
        if (n->owner == window_ && n->subtype == XCB_XFIXES_SELECTION_EVENT_SET_SELECTION_OWNER) {
            foreignAtOwnClaim_ = foreignChanges_;
        } else {
            ++foreignChanges_;
        }
        return;
    }
    switch (e->response_type & 0x7f) {
        case XCB_SELECTION_REQUEST: answer(*reinterpret_cast<xcb_selection_request_event_t*>(e)); break;
        case XCB_SELECTION_CLEAR: {
            auto* clear = reinterpret_cast<xcb_selection_clear_event_t*>(e);
            std::lock_guard lock(mutex_);
            // A loss older than our latest claim belongs to an earlier one.
            if (clear->selection == atom_.clipboard && clear->time >= ownedSince_) text_.reset();
            changed_.notify_all();
            break;
        }
        case XCB_PROPERTY_NOTIFY: {
            auto* n = reinterpret_cast<xcb_property_notify_event_t*>(e);
            if (n->window == window_ && n->atom == atom_.timeProperty) {
                std::lock_guard lock(mutex_);
                lastTime_ = n->time;
                ++timeTicks_;
                changed_.notify_all();
            } else if (n->state == XCB_PROPERTY_DELETE) {
                const auto key = std::make_pair(n->window, n->atom);
                auto it = outgoing_.find(key);
                if (it != outgoing_.end()) sendNextPiece(key, it->second);
            }
            break;
        }
        case XCB_SELECTION_NOTIFY: {
            auto* n = reinterpret_cast<xcb_selection_notify_event_t*>(e);
            if (n->selection == atom_.manager) {
                std::lock_guard lock(mutex_);
                saveAnswered_ = true;
                saved_ = n->property != XCB_NONE;
                changed_.notify_all();
            }
            break;
        }
        default: break;
    }
}

void X11SelectionOwner::answer(const xcb_selection_request_event_t& request) {
    // Obsolete requestors name no property: the target stands in for it.
    const xcb_atom_t property = request.property == XCB_NONE ? request.target : request.property;
    const bool ok = request.selection == atom_.clipboard && convert(request, property);
    xcb_selection_notify_event_t notify{};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request.time;
    notify.requestor = request.requestor;
    notify.selection = request.selection;
    notify.target = request.target;
    notify.property = ok ? property : xcb_atom_t(XCB_NONE);
    xcb_send_event(c_, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&notify));
}

bool X11SelectionOwner::convert(const xcb_selection_request_event_t& request, xcb_atom_t property) {
    std::shared_ptr<const text::OwnText> own;
    xcb_timestamp_t since = 0;
    {
        std::lock_guard lock(mutex_);
        own = text_;
        since = ownedSince_;
    }
    // ICCCM 2.2: refuse a request made before we owned the selection.
    if (!own || (request.time != XCB_CURRENT_TIME && request.time < since)) return false;

    const xcb_atom_t target = request.target;
    if (target == atom_.multiple) return convertMultiple(request, property);
    if (target == atom_.targets) {
        std::vector<xcb_atom_t> targets = {atom_.targets, atom_.multiple, atom_.timestamp};
        for (const auto& [atom, name] : forms_)
            if (own->bytesFor(name)) targets.push_back(atom);
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, request.requestor, property, XCB_ATOM_ATOM, 32,
                            uint32_t(targets.size()), targets.data());
        return true;
    }
    if (target == atom_.timestamp) {
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, request.requestor, property, XCB_ATOM_INTEGER, 32, 1, &since);
        return true;
    }
    const auto form = std::find_if(forms_.begin(), forms_.end(), [&](const auto& f) { return f.first == target; });
    std::shared_ptr<const std::string> data = form != forms_.end() ? own->bytesFor(form->second) : nullptr;
    if (!data) return false;  // everything that is not plain text
    // TEXT is answered in the encoding it was sent in (ICCCM 2.7.1).
    const xcb_atom_t type = target == atom_.text ? atom_.utf8String : target;

    if (data->size() <= maxBytes_) {
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, request.requestor, property, type, 8, uint32_t(data->size()),
                            data->data());
        return true;
    }
    // ICCCM 2.7.2: too large for one request. The requestor deletes the
    // INCR property to start the transfer and each piece to ask for the next.
    const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(c_, request.requestor, XCB_CW_EVENT_MASK, &events);
    const uint32_t size = uint32_t(std::min<std::size_t>(data->size(), UINT32_MAX));
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, request.requestor, property, atom_.incr, 32, 1, &size);
    outgoing_[{request.requestor, property}] = Outgoing{std::move(data), type, 0, false, Clock::now()};
    return true;
}

// ICCCM 2.6.2: the property holds (target, property) pairs; each is
// converted on its own, and a pair that fails gets None for its property.
// Clipboard managers save everything in one MULTIPLE request.
bool X11SelectionOwner::convertMultiple(const xcb_selection_request_event_t& request, xcb_atom_t property) {
    if (request.property == XCB_NONE) return false;
    xcb::Reply<xcb_get_property_reply_t> r(xcb_get_property_reply(
        c_, xcb_get_property(c_, 0, request.requestor, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024), nullptr));
    if (!r || r->format != 32) return false;
    const auto* in = static_cast<const xcb_atom_t*>(xcb_get_property_value(r.get()));
    std::vector<xcb_atom_t> pairs(in, in + xcb_get_property_value_length(r.get()) / 4);
    for (std::size_t i = 0; i + 1 < pairs.size(); i += 2) {
        xcb_selection_request_event_t one = request;
        one.target = pairs[i];
        one.property = pairs[i + 1];
        if (one.target == atom_.multiple || one.property == XCB_NONE || !convert(one, one.property))
            pairs[i + 1] = XCB_NONE;
    }
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, request.requestor, property, r->type, 32, uint32_t(pairs.size()),
                        pairs.data());
    return true;
}

void X11SelectionOwner::sendNextPiece(std::pair<xcb_window_t, xcb_atom_t> key, Outgoing& transfer) {
    if (transfer.finished) {  // the reader took the closing empty piece
        outgoing_.erase(key);
        return;
    }
    const std::size_t piece = std::min({kPieceBytes, maxBytes_, transfer.data->size() - transfer.sent});
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, key.first, key.second, transfer.type, 8, uint32_t(piece),
                        transfer.data->data() + transfer.sent);
    transfer.sent += piece;
    transfer.finished = piece == 0;
    transfer.lastActivity = Clock::now();
}

void X11SelectionOwner::dropStaleTransfers() {
    const auto now = Clock::now();
    std::erase_if(outgoing_, [&](const auto& entry) { return now - entry.second.lastActivity > text::kStaleTransfer; });
}

std::optional<xcb_timestamp_t> X11SelectionOwner::serverTime() {
    if (!connected()) return std::nullopt;
    std::unique_lock lock(mutex_);
    const std::uint64_t before = timeTicks_;
    // ICCCM 2.1: appending nothing to a property of our own window makes the
    // server stamp a PropertyNotify with its current time.
    xcb_change_property(c_, XCB_PROP_MODE_APPEND, window_, atom_.timeProperty, XCB_ATOM_INTEGER, 32, 0, nullptr);
    xcb_flush(c_);
    if (!changed_.wait_for(lock, text::kAnswerTime, [&] { return timeTicks_ != before; })) return std::nullopt;
    return lastTime_;
}

std::optional<X11SelectionOwner::Moment> X11SelectionOwner::now() {
    const std::optional<xcb_timestamp_t> time = serverTime();
    if (!time) return std::nullopt;
    std::lock_guard lock(mutex_);
    return Moment{*time, foreignChanges_};
}

X11SelectionOwner::Claim X11SelectionOwner::claim(std::string text, const Moment& since) {
    if (!connected()) return Claim::Failed;
    // A copy the server's clock cannot tell from ours (made in the same
    // millisecond, or claimed with an older time) is refused here; the
    // timestamp below refuses any that comes later.
    const std::optional<Moment> before = now();
    if (!before) return Claim::Failed;
    if (before->foreignChanges != since.foreignChanges) return Claim::Refused;
    const xcb_timestamp_t time = since.time;
    auto data = std::make_shared<const text::OwnText>(std::move(text));
    {
        std::lock_guard lock(mutex_);
        text_ = data;
        ownedSince_ = time;
    }
    xcb_set_selection_owner(c_, window_, atom_.clipboard, time);
    const xcb_window_t now = xcb::owner(c_, atom_.clipboard);
    const bool failed = xcb_connection_has_error(c_) != 0;
    if (now == window_ && !failed) {
        // What came between the check above and our claim: replaced by it.
        if (!this->now()) return Claim::Owned;
        std::lock_guard lock(mutex_);
        return foreignAtOwnClaim_ == since.foreignChanges ? Claim::Owned : Claim::Raced;
    }
    std::lock_guard lock(mutex_);
    if (text_ == data) text_.reset();
    return failed ? Claim::Failed : Claim::Refused;
}

std::shared_ptr<const text::OwnText> X11SelectionOwner::ownedText() {
    std::lock_guard lock(mutex_);
    return text_;
}

bool X11SelectionOwner::handOver(std::chrono::milliseconds limit) {
    if (!connected() || !ownedText()) return false;
    if (xcb::owner(c_, atom_.manager) == XCB_NONE) return false;
    std::unique_lock lock(mutex_);
    saveAnswered_ = false;
    xcb_convert_selection(c_, window_, atom_.manager, atom_.saveTargets, atom_.saveProperty, ownedSince_);
    xcb_flush(c_);
    // A manager that takes the clipboard over itself (parcellite, diodon)
    // answers by that alone.
    if (!changed_.wait_for(lock, limit, [&] { return saveAnswered_ || !text_; })) return false;
    return saveAnswered_ ? saved_ : true;
}

}  // namespace purlo
