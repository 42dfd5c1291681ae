#include "desktop/wayland/wayland_clipboard.hpp"

#include "desktop/clipboard_text.hpp"
#include "desktop/wayland/data_control.hpp"
#include "desktop/wayland/event_thread.hpp"

#include <wayland-client.h>

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace purlo {
namespace {

using wayland::Clock;
using wayland::DataControl;

// The seat's clipboard through whichever data-control protocol the
// compositor offers, on a Wayland connection of its own.
class WaylandClipboard final : public Clipboard {
public:
    WaylandClipboard(std::string display, std::function<void()> ended) {
        // Best first: a compositor that offers several is asked through the
        // first. The standard one first: wlroots-based compositors keep the
        // older one only for the clients that know no other.
        protocols_.push_back(wayland::makeExtDataControl(thread_));
        protocols_.push_back(wayland::makeWlrDataControl(thread_));
        thread_.start(
            std::move(display), [this](wl_display* d) { return setUp(d); }, [this] { tearDown(); }, std::move(ended));
    }

    // The thread's tear-down uses what the members below hold.
    ~WaylandClipboard() override { thread_.stop(); }

    bool waitReady() { return thread_.waitReady(); }

    std::optional<std::size_t> itemCount() override {
        std::lock_guard run(runMutex_);
        if (!thread_.roundTrip(Clock::now() + text::kAnswerTime)) return std::nullopt;
        const auto count = thread_.call([this]() -> std::optional<std::size_t> {
            if (!control_->hasDevice()) return std::nullopt;
            // Every run asks this first: a copy the compositor announces
            // from here on is newer than what the run reads, and must not
            // be replaced by its cleaned form.
            runStart_ = control_->foreignChanges();
            return control_->hasSelection() ? 1 : 0;  // one item at most
        });
        return count.value_or(std::nullopt);
    }

    TextRead plainText(std::size_t index) override {
        if (index != 0) return {};
        std::lock_guard run(runMutex_);
        const Clock::time_point deadline = Clock::now() + text::kAnswerTime;
        struct Plan {
            std::shared_ptr<const text::OwnText> own;
            int fd = -1;
            text::Encoding encoding = text::Encoding::Utf8;
        };
        const std::optional<Plan> plan = thread_.call([this]() -> Plan {
            // Ours is served from memory: asking the compositor for it would
            // only route our own text back to us through it.
            if (auto own = control_->ownSelection()) return {own};
            const std::vector<text::Offered> forms = text::readableForms(control_->selectionTypes());
            if (forms.empty()) return {};
            return {nullptr, control_->receive(forms.front().name), forms.front().encoding};
        });
        if (!plan) return {};
        if (plan->own) return {TextRead::Status::Text, plan->own->utf8()};
        if (plan->fd < 0) return {};
        return readPipe(plan->fd, plan->encoding, deadline);
    }

    WriteResult writeString(std::string text) override {
        std::lock_guard run(runMutex_);
        // Whatever the compositor announced before this point is in hand
        // once the round trip is done. Data-control carries no timestamps to
        // let the compositor refuse an outdated claim, as X11's do; a copy
        // made between the check below and the compositor taking our
        // set_selection, a matter of microseconds, is the one still replaced.
        if (!thread_.roundTrip(Clock::now() + text::kAnswerTime)) return WriteResult::Failed;
        auto own = std::make_shared<const text::OwnText>(std::move(text));

        enum class Start { Set, Newer, NoDevice };
        std::shared_ptr<DataControl::Source> source;
        const std::optional<Start> started = thread_.call([&] {
            if (!control_->hasDevice()) return Start::NoDevice;
            if (runStart_ && control_->foreignChanges() != *runStart_) return Start::Newer;
            source = control_->setSelection(own);
            return Start::Set;
        });
        if (!started || *started == Start::NoDevice) return WriteResult::Failed;
        if (*started == Start::Newer) return WriteResult::Superseded;

        auto state = DataControl::Source::State::Pending;
        std::uint64_t foreignBefore = 0;
        thread_.waitFor(Clock::now() + text::kAnswerTime, [&] {
            state = source->state;
            foreignBefore = source->foreignBefore;
            return state != DataControl::Source::State::Pending;
        });
        switch (state) {
            case DataControl::Source::State::Selected:
                // A copy the compositor took between our check and our
                // selection was replaced by it: not reported as done.
                return runStart_ && foreignBefore != *runStart_ ? WriteResult::Superseded : WriteResult::Written;
            case DataControl::Source::State::Cancelled:
                // Replaced at once: by a newer copy, whose text now stays.
                return runStart_ && control_->foreignChanges() != *runStart_ ? WriteResult::Superseded
                                                                             : WriteResult::Failed;
            case DataControl::Source::State::Pending:
                // A compositor this slow may still take it; it is left
                // standing rather than withdrawn, which would empty the
                // clipboard should it have been taken meanwhile.
                return WriteResult::Failed;
        }
        return WriteResult::Failed;
    }

    std::uint64_t changeCount() override { return control_ ? control_->foreignChanges() : 0; }

    // Nothing to hand over: the compositor drops the selection as soon as
    // its source's client is gone, and there is no protocol to leave text
    // behind with it. Keeping the text alive in a process of its own after
    // Purlo quits is left out on purpose.

private:
    // ---- the event thread

    bool setUp(wl_display* display) {
        const Clock::time_point deadline = Clock::now() + text::kAnswerTime;
        registry_ = wl_display_get_registry(display);
        wl_registry_add_listener(registry_, &kRegistryListener, this);
        if (!thread_.settle(deadline) || !seat_) return false;
        for (auto& protocol : protocols_)
            if (protocol->hasManager()) {
                control_ = protocol.get();
                break;
            }
        if (!control_) return false;
        control_->openDevice(seat_);
        // The device announces the selection standing now before this
        // round trip ends.
        return thread_.settle(deadline);
    }

    void tearDown() {
        for (auto& protocol : protocols_) protocol->close();
        if (seat_) wl_seat_destroy(seat_);
        if (registry_) wl_registry_destroy(registry_);
        seat_ = nullptr;
        registry_ = nullptr;
    }

    static void onGlobal(void* self, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
        auto* p = static_cast<WaylandClipboard*>(self);
        if (std::strcmp(interface, wl_seat_interface.name) == 0) {
            // The first seat: a desktop with several is not one Purlo serves.
            if (!p->seat_) p->seat_ = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
            return;
        }
        for (auto& protocol : p->protocols_)
            if (protocol->bindManager(registry, name, interface)) return;
    }
    static void onGlobalRemove(void*, wl_registry*, uint32_t) {}
    static constexpr wl_registry_listener kRegistryListener = {onGlobal, onGlobalRemove};

    // ---- the calling thread

    // Takes the owner's text from the pipe, within the deadline and the cap.
    static TextRead readPipe(int fd, text::Encoding encoding, Clock::time_point deadline) {
        // In blocks, joined once the owner is done: a buffer doubled as it
        // fills would leave up to twice the text, and the cleaning then
        // needs as much again.
        constexpr std::size_t kBlock = std::size_t(4) << 20;
        std::vector<std::string> blocks;
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
            if (blocks.empty() || blocks.back().size() == blocks.back().capacity()) {
                blocks.emplace_back();
                blocks.back().reserve(blocks.size() == 1 ? 64 << 10 : kBlock);
            }
            std::string& block = blocks.back();
            const std::size_t used = block.size();
            block.resize(block.capacity());
            const ssize_t n = read(fd, block.data() + used, block.size() - used);
            block.resize(used + std::size_t(std::max<ssize_t>(n, 0)));
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (n <= 0) {
                close(fd);
                if (n < 0) return {};
                break;
            }
            size += std::size_t(n);
            if (size > text::kMaxBytes) {
                close(fd);
                return {TextRead::Status::TooLarge, {}};
            }
        }
        std::string data;
        data.reserve(size);
        for (std::string& block : blocks) {
            data += block;
            std::string().swap(block);
        }
        std::optional<std::string> decoded = text::decode(std::move(data), encoding);
        if (!decoded) return {};
        return {TextRead::Status::Text, std::move(*decoded)};
    }

    wayland::EventThread thread_;
    std::mutex runMutex_;                    // one public call at a time
    std::optional<std::uint64_t> runStart_;  // foreignChanges() when the run began

    // The event thread's; read by the others through call() and waitFor().
    std::vector<std::unique_ptr<DataControl>> protocols_;
    DataControl* control_ = nullptr;  // the one in use; set before the thread reports ready
    wl_registry* registry_ = nullptr;
    wl_seat* seat_ = nullptr;
};

}  // namespace

std::unique_ptr<Clipboard> makeWaylandClipboard(std::function<void()> ended) {
    const char* display = std::getenv("WAYLAND_DISPLAY");
    if (!display || !*display) return nullptr;
    auto clipboard = std::make_unique<WaylandClipboard>(display, std::move(ended));
    if (!clipboard->waitReady()) return nullptr;
    return clipboard;
}

}  // namespace purlo
