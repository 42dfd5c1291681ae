#include "desktop/wayland/wayland_clipboard.hpp"

#include "desktop/clipboard_text.hpp"

#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace purlo {
namespace {

using Clock = std::chrono::steady_clock;

// As long as the X11 clipboard gives an owner: a program that has not sent
// its text by then is stalled, and the run tells the user so.
constexpr auto kAnswerTime = std::chrono::seconds(2);
// A reader that stops taking our text has gone away or stalled; its copy is
// let go after this long without progress.
constexpr auto kStaleTransfer = std::chrono::seconds(10);
// The pipe size Linux grants any user by default; fewer wake-ups per MB.
constexpr int kPipeBytes = 1 << 20;

// What our text is offered as. STRING (Latin-1) only when the text fits.
const char* const kUtf8Types[] = {"text/plain;charset=utf-8", "text/plain", "UTF8_STRING", "TEXT"};
constexpr const char* kLatin1Type = "STRING";

// Best first, as on X11. TEXT and UTF8_STRING are the names Xwayland
// bridges X clients' text under; STRING is Latin-1 by definition.
struct Wanted {
    const char* type;
    bool latin1;
};
constexpr Wanted kReadOrder[] = {{"text/plain;charset=utf-8", false},
                                 {"UTF8_STRING", false},
                                 {"text/plain", false},
                                 {"TEXT", false},
                                 {"STRING", true}};

bool sameType(const std::string& a, const char* b) {
    return a.size() == std::strlen(b) &&
           std::equal(a.begin(), a.end(), b, [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

std::vector<std::string> sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

struct Offer {
    zwlr_data_control_offer_v1* proxy = nullptr;
    std::vector<std::string> types;
};

class WaylandClipboard;

struct Source {
    enum class State { Pending, Selected, Cancelled };
    WaylandClipboard* owner = nullptr;
    zwlr_data_control_source_v1* proxy = nullptr;
    std::shared_ptr<const std::string> utf8;
    std::shared_ptr<const std::string> latin1;  // null when the text is not Latin-1
    std::vector<std::string> types;             // in the order offered
    std::vector<std::string> typesSorted;
    std::uint64_t armedBySync = 0;  // see writeString()
    State state = State::Pending;
};

struct Outgoing {  // our text on its way into a reader's pipe
    int fd;
    std::shared_ptr<const std::string> data;
    std::size_t sent = 0;
    Clock::time_point lastProgress;
};

// All Wayland traffic happens on one thread of its own, not on the GUI
// thread's event loop: the cleaning worker waits for the compositor's answer
// to each write, and the GUI thread is not always turning its loop when that
// answer comes (CleaningQueue's destructor waits for a run while delivering
// only posted calls), and pastes of our text must be served however busy the
// GUI is. The same reasons put the X11 owner on a thread of its own.
//
// The event thread holds mutex_ whenever it is not in poll(); the calling
// threads hand it work as commands and wait on changed_ for the
// compositor's word, each with a deadline.
class WaylandClipboard final : public Clipboard {
public:
    explicit WaylandClipboard(std::string display) : wake_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
        if (wake_ < 0) return;
        thread_ = std::thread([this, display = std::move(display)] { run(display); });
    }

    ~WaylandClipboard() override {
        if (thread_.joinable()) {
            {
                std::lock_guard lock(mutex_);
                stopping_ = true;
            }
            wake();
            thread_.join();
        }
        if (wake_ >= 0) close(wake_);
    }

    // True once the compositor has answered and offers data-control.
    bool waitReady() {
        if (!thread_.joinable()) return false;
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return phase_ != Phase::Starting; });
        return phase_ == Phase::Running;
    }

    std::optional<std::size_t> itemCount() override {
        std::lock_guard run(runMutex_);
        if (!roundTrip()) return std::nullopt;
        std::lock_guard lock(mutex_);
        if (!device_) return std::nullopt;
        // Every run asks this first: a copy the compositor announces from
        // here on is newer than what the run reads, and must not be
        // replaced by its cleaned form.
        runStart_ = foreignChanges_.load();
        return current_ ? 1 : 0;  // one item at most
    }

    TextRead plainText(std::size_t index) override {
        if (index != 0) return {};
        std::lock_guard run(runMutex_);
        const Clock::time_point deadline = Clock::now() + kAnswerTime;
        struct Plan {
            std::shared_ptr<const std::string> own;
            int fd = -1;
            bool latin1 = false;
        };
        const std::optional<Plan> plan = call([this]() -> Plan {
            // Ours is served from memory: asking the compositor for it would
            // only route our own text back to us through it.
            if (currentIsOurs_) return {ownText_, -1, false};
            if (!current_) return {};
            for (const Wanted& want : kReadOrder)
                for (const std::string& type : current_->types)
                    if (sameType(type, want.type)) return {nullptr, receive(type), want.latin1};
            return {};
        });
        if (!plan) return {};
        if (plan->own) return {TextRead::Status::Text, *plan->own};
        if (plan->fd < 0) return {};
        return readPipe(plan->fd, plan->latin1, deadline);
    }

    WriteResult writeString(std::string_view text) override {
        std::lock_guard run(runMutex_);
        // Whatever the compositor announced before this point is in hand
        // once the round trip is done. Data-control carries no timestamps to
        // let the compositor refuse an outdated claim, as X11's do; a copy
        // made between the check below and the compositor taking our
        // set_selection, a matter of microseconds, is the one still replaced.
        if (!roundTrip()) return WriteResult::Failed;
        auto source = std::make_shared<Source>();
        source->owner = this;
        source->utf8 = std::make_shared<const std::string>(text);
        if (auto latin1 = text::toLatin1(*source->utf8))
            source->latin1 = std::make_shared<const std::string>(std::move(*latin1));
        source->types.assign(std::begin(kUtf8Types), std::end(kUtf8Types));
        if (source->latin1) source->types.emplace_back(kLatin1Type);
        source->typesSorted = sorted(source->types);

        enum class Start { Set, Newer, NoDevice };
        const std::optional<Start> started = call([&] {
            if (!device_) return Start::NoDevice;
            if (runStart_ && foreignChanges_.load() != *runStart_) return Start::Newer;
            source->proxy = zwlr_data_control_manager_v1_create_data_source(manager_);
            zwlr_data_control_source_v1_add_listener(source->proxy, &kSourceListener, source.get());
            for (const std::string& type : source->types) zwlr_data_control_source_v1_offer(source->proxy, type.c_str());
            // The protocol does not say which selection event is the one
            // set_selection caused. The compositor takes a client's requests
            // in order, so a selection event that comes after this sync's
            // answer, offers exactly our types, while our source still
            // stands (a later copy would have cancelled it first), is ours.
            source->armedBySync = sync();
            zwlr_data_control_device_v1_set_selection(device_, source->proxy);
            sources_.push_back(source);
            pending_ = source;
            return Start::Set;
        });
        if (!started || *started == Start::NoDevice) return WriteResult::Failed;
        if (*started == Start::Newer) return WriteResult::Superseded;

        std::unique_lock lock(mutex_);
        changed_.wait_until(lock, Clock::now() + kAnswerTime,
                            [&] { return source->state != Source::State::Pending || phase_ != Phase::Running; });
        switch (source->state) {
            case Source::State::Selected:
                return WriteResult::Written;
            case Source::State::Cancelled:
                // Replaced at once: by a newer copy, whose text now stays.
                return runStart_ && foreignChanges_.load() != *runStart_ ? WriteResult::Superseded
                                                                           : WriteResult::Failed;
            case Source::State::Pending:
                // A compositor this slow may still take it; it is left
                // standing rather than withdrawn, which would empty the
                // clipboard should it have been taken meanwhile.
                return WriteResult::Failed;
        }
        return WriteResult::Failed;
    }

    std::uint64_t changeCount() override { return foreignChanges_.load(); }

    // Nothing to hand over: the compositor drops the selection as soon as
    // its source's client is gone, and there is no protocol to leave text
    // behind with it. Keeping the text alive in a process of its own after
    // Purlo quits is left out on purpose.
    bool handOver(std::chrono::milliseconds) override { return true; }

private:
    enum class Phase { Starting, Running, Ended };

    // ---- calling threads

    void wake() {
        const std::uint64_t one = 1;
        (void)!write(wake_, &one, sizeof one);
    }

    // Runs `f` on the event thread and returns what it returned; nullopt
    // when that thread has ended. Commands never wait on anything there.
    template <typename F>
    auto call(F f) -> std::optional<decltype(f())> {
        std::optional<decltype(f())> result;
        auto command = std::make_shared<Command>();
        command->run = [&] { result = f(); };
        std::unique_lock lock(mutex_);
        if (phase_ != Phase::Running) return std::nullopt;
        commands_.push_back(command);
        wake();
        changed_.wait(lock, [&] { return command->done; });
        return result;
    }

    // True once the compositor has answered every request sent so far, and
    // so sent every event it owed us before them.
    bool roundTrip() {
        const std::optional<std::uint64_t> sent = call([this] { return sync(); });
        if (!sent) return false;
        std::unique_lock lock(mutex_);
        return changed_.wait_until(lock, Clock::now() + kAnswerTime,
                                   [&] { return syncsDone_ >= *sent || phase_ != Phase::Running; }) &&
               syncsDone_ >= *sent;
    }

    // Takes the owner's text from the pipe, within the deadline and the cap.
    static TextRead readPipe(int fd, bool latin1, Clock::time_point deadline) {
        std::string data;
        std::size_t size = 0;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            pollfd p{fd, POLLIN, 0};
            const int ready = left > 0 ? poll(&p, 1, int(left)) : 0;
            if (ready < 0 && errno == EINTR) continue;
            if (ready <= 0) {
                // Closing makes a late owner's write fail at once (EPIPE)
                // instead of waiting on us.
                close(fd);
                return {ready == 0 ? TextRead::Status::NoAnswer : TextRead::Status::NoText, {}};
            }
            if (size == data.size())
                data.resize(std::min(std::max<std::size_t>(64 << 10, data.size() * 2), text::kMaxClipboardBytes + 1));
            const ssize_t n = read(fd, data.data() + size, data.size() - size);
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (n <= 0) {
                close(fd);
                if (n < 0) return {};
                break;
            }
            size += std::size_t(n);
            if (size > text::kMaxClipboardBytes) {
                close(fd);
                return {TextRead::Status::TooLarge, {}};
            }
        }
        data.resize(size);
        if (latin1) return {TextRead::Status::Text, text::latin1ToUtf8(data)};
        // Text that is not UTF-8 would be damaged by cleaning and writing
        // back; leave such a clipboard alone.
        if (!text::validUtf8(data)) return {};
        return {TextRead::Status::Text, std::move(data)};
    }

    // ---- event thread (mutex_ held)

    struct Command {
        std::function<void()> run;
        bool done = false;
    };

    void run(const std::string& display) {
        // A reader that closes its pipe early must cost an EPIPE on this
        // thread's write, not the whole program by SIGPIPE. Blocking it here
        // leaves the rest of the program's signal handling as it was.
        sigset_t pipeSignal;
        sigemptyset(&pipeSignal);
        sigaddset(&pipeSignal, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);

        std::unique_lock lock(mutex_);
        const bool up = setUp(display, lock);
        phase_ = up ? Phase::Running : Phase::Ended;
        changed_.notify_all();
        if (up)
            while (!stopping_ && turn(lock, Clock::time_point::max())) {
            }
        phase_ = Phase::Ended;
        for (auto& command : commands_) command->done = true;  // not run: their callers see nullopt
        commands_.clear();
        tearDown();
        changed_.notify_all();
    }

    bool setUp(const std::string& display, std::unique_lock<std::mutex>& lock) {
        display_ = wl_display_connect(display.c_str());
        if (!display_) return false;
        const Clock::time_point deadline = Clock::now() + kAnswerTime;
        registry_ = wl_display_get_registry(display_);
        wl_registry_add_listener(registry_, &kRegistryListener, this);
        if (!settle(lock, deadline) || !manager_ || !seat_) return false;
        device_ = zwlr_data_control_manager_v1_get_data_device(manager_, seat_);
        zwlr_data_control_device_v1_add_listener(device_, &kDeviceListener, this);
        // The device announces the selection standing now before this
        // round trip ends; that one is no change.
        return settle(lock, deadline);
    }

    bool settle(std::unique_lock<std::mutex>& lock, Clock::time_point deadline) {
        const std::uint64_t sent = sync();
        while (syncsDone_ < sent)
            if (stopping_ || Clock::now() >= deadline || !turn(lock, deadline)) return false;
        return true;
    }

    // One turn of the loop: commands, the compositor's events, our
    // outgoing transfers. False when the connection is lost.
    bool turn(std::unique_lock<std::mutex>& lock, Clock::time_point until) {
        while (!commands_.empty()) {
            auto command = std::move(commands_.front());
            commands_.pop_front();
            command->run();
            command->done = true;
        }
        while (wl_display_prepare_read(display_) != 0)
            if (wl_display_dispatch_pending(display_) < 0) return false;
        const bool flushed = wl_display_flush(display_) >= 0;
        if (!flushed && errno != EAGAIN) {
            wl_display_cancel_read(display_);
            return false;
        }

        std::vector<pollfd> fds = {{wl_display_get_fd(display_), short(POLLIN | (flushed ? 0 : POLLOUT)), 0},
                                   {wake_, POLLIN, 0}};
        for (const Outgoing& out : outgoing_) fds.push_back({out.fd, POLLOUT, 0});
        const Clock::time_point now = Clock::now();
        Clock::time_point wakeAt = until;
        for (const Outgoing& out : outgoing_) wakeAt = std::min(wakeAt, out.lastProgress + kStaleTransfer);
        const int timeout =
            wakeAt == Clock::time_point::max()
                ? -1
                : int(std::max<long long>(0, std::chrono::ceil<std::chrono::milliseconds>(wakeAt - now).count()));

        changed_.notify_all();
        lock.unlock();
        const int ready = poll(fds.data(), nfds_t(fds.size()), timeout);
        lock.lock();

        if (ready > 0 && fds[0].revents) {
            if (wl_display_read_events(display_) < 0) return false;
        } else {
            wl_display_cancel_read(display_);
        }
        if (ready < 0 && errno != EINTR) return false;
        if (wl_display_dispatch_pending(display_) < 0) return false;
        if (fds[1].revents) {
            std::uint64_t count;
            (void)!read(wake_, &count, sizeof count);
        }
        serveTransfers(fds);
        return true;
    }

    std::uint64_t sync() {
        wl_callback* callback = wl_display_sync(display_);
        wl_callback_add_listener(callback, &kSyncListener, this);
        return ++syncsSent_;
    }

    int receive(const std::string& type) {
        int p[2];
        if (pipe2(p, O_CLOEXEC) != 0) return -1;
        fcntl(p[0], F_SETPIPE_SZ, kPipeBytes);  // only a speed-up: failure is fine
        zwlr_data_control_offer_v1_receive(current_->proxy, type.c_str(), p[1]);
        close(p[1]);  // the request holds a copy of its own until it is sent
        return p[0];
    }

    void serveTransfers(const std::vector<pollfd>& fds) {
        // fds[2...] match outgoing_ as it was when they were made; nothing
        // was added since (a send event only arrives with dispatching, and
        // new ones are appended after).
        std::size_t i = 2;
        const Clock::time_point now = Clock::now();
        for (auto it = outgoing_.begin(); it != outgoing_.end(); ++i) {
            Outgoing& out = *it;
            bool finished = out.sent == out.data->size();
            if (!finished && i < fds.size() && fds[i].revents) {
                const ssize_t n = write(out.fd, out.data->data() + out.sent,
                                        std::min<std::size_t>(out.data->size() - out.sent, kPipeBytes));
                if (n > 0) {
                    out.sent += std::size_t(n);
                    out.lastProgress = now;
                    finished = out.sent == out.data->size();
                } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                    finished = true;  // the reader has gone (EPIPE)
                    if (errno == EPIPE) takeSigpipe();
                }
            }
            if (finished || now - out.lastProgress > kStaleTransfer) {
                close(out.fd);
                it = outgoing_.erase(it);
            } else {
                ++it;
            }
        }
    }

    // The EPIPE left a SIGPIPE pending on this thread; take it, so that it
    // never reaches the program should the mask ever be lifted.
    static void takeSigpipe() {
        sigset_t pipeSignal;
        sigemptyset(&pipeSignal);
        sigaddset(&pipeSignal, SIGPIPE);
        const timespec now{0, 0};
        sigtimedwait(&pipeSignal, nullptr, &now);
    }

    void tearDown() {
        for (Outgoing& out : outgoing_) close(out.fd);
        outgoing_.clear();
        for (auto& source : sources_)
            if (source->proxy) zwlr_data_control_source_v1_destroy(source->proxy);
        sources_.clear();
        pending_.reset();
        for (Offer* offer : offers_) {
            zwlr_data_control_offer_v1_destroy(offer->proxy);
            delete offer;
        }
        offers_.clear();
        current_ = nullptr;
        if (device_) zwlr_data_control_device_v1_destroy(device_);
        if (manager_) zwlr_data_control_manager_v1_destroy(manager_);
        if (seat_) wl_seat_destroy(seat_);
        if (registry_) wl_registry_destroy(registry_);
        if (display_) wl_display_disconnect(display_);  // the sync callbacks go with it
        device_ = nullptr;
        manager_ = nullptr;
        seat_ = nullptr;
        registry_ = nullptr;
        display_ = nullptr;
    }

    void dropOffer(Offer* offer) {
        if (!offer) return;
        offers_.erase(std::remove(offers_.begin(), offers_.end(), offer), offers_.end());
        zwlr_data_control_offer_v1_destroy(offer->proxy);
        delete offer;
    }

    void selectionChanged(zwlr_data_control_offer_v1* proxy) {
        Offer* offer = proxy ? static_cast<Offer*>(zwlr_data_control_offer_v1_get_user_data(proxy)) : nullptr;
        if (current_ != offer) dropOffer(current_);
        current_ = offer;
        if (offer && pending_ && pending_->state == Source::State::Pending && syncsDone_ >= pending_->armedBySync &&
            sorted(offer->types) == pending_->typesSorted) {
            pending_->state = Source::State::Selected;
            ownText_ = pending_->utf8;
            currentIsOurs_ = true;
            pending_.reset();
            return;
        }
        currentIsOurs_ = false;
        ownText_.reset();
        if (phase_ == Phase::Running) foreignChanges_.fetch_add(1);
    }

    void sourceCancelled(Source* source) {
        source->state = Source::State::Cancelled;
        zwlr_data_control_source_v1_destroy(source->proxy);
        source->proxy = nullptr;
        if (pending_.get() == source) pending_.reset();
        std::erase_if(sources_, [&](const auto& s) { return s.get() == source; });
    }

    void sourceSend(Source* source, const char* type, int fd) {
        std::shared_ptr<const std::string> data;
        if (std::strcmp(type, kLatin1Type) == 0) {
            data = source->latin1;
        } else if (std::find_if(std::begin(kUtf8Types), std::end(kUtf8Types),
                                [&](const char* t) { return std::strcmp(t, type) == 0; }) != std::end(kUtf8Types)) {
            data = source->utf8;
        }
        // A reader that never reads must not hold this thread: the pipe is
        // written to only as far as it takes without waiting.
        if (!data || fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK) != 0) {
            close(fd);
            return;
        }
        outgoing_.push_back({fd, std::move(data), 0, Clock::now()});
    }

    // ---- listeners

    static void onGlobal(void* self, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
        auto* p = static_cast<WaylandClipboard*>(self);
        if (std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0 && !p->manager_) {
            p->manager_ = static_cast<zwlr_data_control_manager_v1*>(
                wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 1));
        } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && !p->seat_) {
            // The first seat: a desktop with several is not one Purlo serves.
            p->seat_ = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
        }
    }
    static void onGlobalRemove(void*, wl_registry*, uint32_t) {}

    static void onSyncDone(void* self, wl_callback* callback, uint32_t) {
        wl_callback_destroy(callback);
        ++static_cast<WaylandClipboard*>(self)->syncsDone_;
    }

    static void onDataOffer(void* self, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* proxy) {
        auto* offer = new Offer{proxy, {}};
        static_cast<WaylandClipboard*>(self)->offers_.push_back(offer);
        zwlr_data_control_offer_v1_add_listener(proxy, &kOfferListener, offer);
    }
    static void onOfferType(void* offer, zwlr_data_control_offer_v1*, const char* type) {
        static_cast<Offer*>(offer)->types.emplace_back(type);
    }
    static void onSelection(void* self, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* proxy) {
        static_cast<WaylandClipboard*>(self)->selectionChanged(proxy);
    }
    static void onFinished(void* self, zwlr_data_control_device_v1* device) {
        // The seat is gone; with it the clipboard this device showed.
        auto* p = static_cast<WaylandClipboard*>(self);
        zwlr_data_control_device_v1_destroy(device);
        p->device_ = nullptr;
        p->dropOffer(p->current_);
        p->current_ = nullptr;
        p->currentIsOurs_ = false;
    }
    static void onPrimarySelection(void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1*) {}

    static void onSend(void* self, zwlr_data_control_source_v1*, const char* type, int32_t fd) {
        auto* source = static_cast<Source*>(self);
        source->owner->sourceSend(source, type, fd);
    }
    static void onCancelled(void* self, zwlr_data_control_source_v1*) {
        auto* source = static_cast<Source*>(self);
        source->owner->sourceCancelled(source);
    }

    static constexpr wl_registry_listener kRegistryListener = {onGlobal, onGlobalRemove};
    static constexpr wl_callback_listener kSyncListener = {onSyncDone};
    static constexpr zwlr_data_control_device_v1_listener kDeviceListener = {onDataOffer, onSelection, onFinished,
                                                                             onPrimarySelection};
    static constexpr zwlr_data_control_offer_v1_listener kOfferListener = {onOfferType};
    static constexpr zwlr_data_control_source_v1_listener kSourceListener = {onSend, onCancelled};

    int wake_ = -1;  // tells the event thread to look at commands_ / stopping_
    std::thread thread_;
    std::mutex runMutex_;  // one public call at a time

    std::mutex mutex_;
    std::condition_variable changed_;
    Phase phase_ = Phase::Starting;
    bool stopping_ = false;
    std::deque<std::shared_ptr<Command>> commands_;
    std::uint64_t syncsSent_ = 0;
    std::uint64_t syncsDone_ = 0;
    std::atomic<std::uint64_t> foreignChanges_{0};  // selection events not of our making
    std::optional<std::uint64_t> runStart_;         // foreignChanges_ when the run began

    // Event thread's Wayland objects; read by the others under mutex_.
    wl_display* display_ = nullptr;
    wl_registry* registry_ = nullptr;
    wl_seat* seat_ = nullptr;
    zwlr_data_control_manager_v1* manager_ = nullptr;
    zwlr_data_control_device_v1* device_ = nullptr;
    std::vector<Offer*> offers_;  // announced, not yet replaced
    Offer* current_ = nullptr;    // the selection's offer
    bool currentIsOurs_ = false;
    std::shared_ptr<const std::string> ownText_;  // when currentIsOurs_
    std::list<std::shared_ptr<Source>> sources_;  // ours, until cancelled
    std::shared_ptr<Source> pending_;             // set, not yet seen selected
    std::list<Outgoing> outgoing_;
};

}  // namespace

std::unique_ptr<Clipboard> makeWaylandClipboard() {
    const char* display = std::getenv("WAYLAND_DISPLAY");
    if (!display || !*display) return nullptr;
    auto board = std::make_unique<WaylandClipboard>(display);
    if (!board->waitReady()) return nullptr;
    return board;
}

}  // namespace purlo
