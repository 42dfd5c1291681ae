#include "desktop/wayland/event_thread.hpp"

#include "desktop/clipboard_text.hpp"

#include <wayland-client.h>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace purlo::wayland {
namespace {

// The pipe size Linux grants any user by default; fewer wake-ups per MB.
constexpr std::size_t kPipeBytes = std::size_t(1) << 20;

// The EPIPE left a SIGPIPE pending on this thread; take it, so that it
// never reaches the program should the mask ever be lifted.
void takeSigpipe() {
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    const timespec now{0, 0};
    sigtimedwait(&pipeSignal, nullptr, &now);
}

void onSyncDone(void* counter, wl_callback* callback, uint32_t) {
    wl_callback_destroy(callback);
    ++*static_cast<std::uint64_t*>(counter);
}
constexpr wl_callback_listener kSyncListener = {onSyncDone};

}  // namespace

void EventThread::start(std::string display, SetUp setUp, TearDown tearDown, Ended ended) {
    wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake_ < 0) {
        phase_ = Phase::Ended;
        return;
    }
    thread_ = std::thread([this, display = std::move(display), setUp = std::move(setUp), tearDown = std::move(tearDown),
                           ended = std::move(ended)] { run(display, setUp, tearDown, ended); });
}

void EventThread::stop() {
    if (thread_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake();
        thread_.join();
    }
    if (wake_ >= 0) close(wake_);
    wake_ = -1;
}

bool EventThread::waitReady() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return phase_ != Phase::Starting; });
    return phase_ == Phase::Running;
}

void EventThread::wake() {
    const std::uint64_t one = 1;
    (void)!write(wake_, &one, sizeof one);
}

bool EventThread::post(std::function<void()> run) {
    auto command = std::make_shared<Command>();
    command->run = std::move(run);
    std::unique_lock lock(mutex_);
    if (phase_ != Phase::Running) return false;
    commands_.push_back(command);
    wake();
    changed_.wait(lock, [&] { return command->done; });
    return command->run != nullptr;  // emptied when the thread ended before running it
}

bool EventThread::roundTrip(Clock::time_point deadline) {
    const std::optional<std::uint64_t> sent = call([this] { return sync(); });
    return sent && waitFor(deadline, [&] { return syncsDone_ >= *sent; });
}

void EventThread::run(const std::string& display, const SetUp& setUp, const TearDown& tearDown, const Ended& ended) {
    // A reader that closes its pipe early must cost an EPIPE on this
    // thread's write, not the whole program by SIGPIPE. Blocking it here
    // leaves the rest of the program's signal handling as it was.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);

    std::unique_lock lock(mutex_);
    lock_ = &lock;
    display_ = wl_display_connect(display.c_str());
    const bool up = display_ && setUp(display_);
    phase_ = up ? Phase::Running : Phase::Ended;
    changed_.notify_all();
    if (up)
        while (!stopping_ && turn(Clock::time_point::max())) {}
    const bool lost = up && !stopping_;
    phase_ = Phase::Ended;
    for (auto& command : commands_) {  // not run: their callers see nullopt
        command->run = nullptr;
        command->done = true;
    }
    commands_.clear();
    for (Outgoing& out : outgoing_) close(out.fd);
    outgoing_.clear();
    tearDown();
    if (display_) wl_display_disconnect(display_);  // the sync callbacks go with it
    display_ = nullptr;
    changed_.notify_all();
    lock_ = nullptr;
    lock.unlock();
    if (lost && ended) ended();
}

bool EventThread::settle(Clock::time_point deadline) {
    const std::uint64_t sent = sync();
    while (syncsDone_ < sent)
        if (stopping_ || Clock::now() >= deadline || !turn(deadline)) return false;
    return true;
}

// One turn of the loop: commands, the compositor's events, our outgoing
// transfers. False when the connection is lost.
bool EventThread::turn(Clock::time_point until) {
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
    for (const Outgoing& out : outgoing_) wakeAt = std::min(wakeAt, out.lastProgress + text::kStaleTransfer);
    const int timeout =
        wakeAt == Clock::time_point::max()
            ? -1
            : int(std::max<long long>(0, std::chrono::ceil<std::chrono::milliseconds>(wakeAt - now).count()));

    changed_.notify_all();
    lock_->unlock();
    const int ready = poll(fds.data(), nfds_t(fds.size()), timeout);
    lock_->lock();

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

std::uint64_t EventThread::sync() {
    wl_callback* callback = wl_display_sync(display_);
    wl_callback_add_listener(callback, &kSyncListener, &syncsDone_);
    return ++syncsSent_;
}

void EventThread::serve(int fd, std::shared_ptr<const std::string> data) {
    // A reader that never reads must not hold this thread: the pipe is
    // written to only as far as it takes without waiting.
    if (!data || fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK) != 0) {
        close(fd);
        return;
    }
    outgoing_.push_back({fd, std::move(data), 0, Clock::now()});
}

void EventThread::serveTransfers(const std::vector<pollfd>& fds) {
    // fds[2...] match outgoing_ as it was when they were made; nothing was
    // added since (a send event only arrives with dispatching, and new ones
    // are appended after).
    std::size_t i = 2;
    const Clock::time_point now = Clock::now();
    for (auto it = outgoing_.begin(); it != outgoing_.end(); ++i) {
        Outgoing& out = *it;
        bool finished = out.sent == out.data->size();
        if (!finished && i < fds.size() && fds[i].revents) {
            const ssize_t n =
                write(out.fd, out.data->data() + out.sent, std::min(out.data->size() - out.sent, kPipeBytes));
            if (n > 0) {
                out.sent += std::size_t(n);
                out.lastProgress = now;
                finished = out.sent == out.data->size();
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                finished = true;  // the reader has gone (EPIPE)
                if (errno == EPIPE) takeSigpipe();
            }
        }
        if (finished || now - out.lastProgress > text::kStaleTransfer) {
            close(out.fd);
            it = outgoing_.erase(it);
        } else {
            ++it;
        }
    }
}

}  // namespace purlo::wayland
