#pragma once
// A Wayland connection served by a thread of its own.
//
// All of a connection's traffic happens on this thread, not on the GUI
// thread's event loop: the cleaning worker waits for the compositor's
// answer to each write, and the GUI thread is not always turning its loop
// when that answer comes (CleaningQueue's destructor waits for a run while
// delivering only posted calls), and pastes of our text must be served
// however busy the GUI is. The same reasons put the X11 owner on a thread of
// its own.
//
// The thread holds mutex() whenever it is not in poll(), so everything the
// protocol's listeners touch is guarded by it. Other threads hand it work
// with call() and wait for the compositor's word with waitFor(), each with
// a deadline.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

struct wl_display;
struct pollfd;

namespace purlo::wayland {

using Clock = std::chrono::steady_clock;

class EventThread {
public:
    // Runs on the thread, once connected: binds what the caller needs
    // (settle() lets it wait for the compositor's answers). False when the
    // compositor lacks something; the thread then ends.
    using SetUp = std::function<bool(wl_display*)>;
    // Runs on the thread at its end, before the connection goes.
    using TearDown = std::function<void()>;
    // Runs on the thread last, when the connection ended without stop():
    // the compositor closed it or went away.
    using Ended = std::function<void()>;

    EventThread() = default;
    ~EventThread() { stop(); }
    EventThread(const EventThread&) = delete;
    EventThread& operator=(const EventThread&) = delete;

    // ---- other threads

    // Connects to `display` and starts serving it.
    void start(std::string display, SetUp setUp, TearDown tearDown, Ended ended = {});
    // Ends the thread (after its tear-down has run); waits for it.
    void stop();

    // True once set-up is done and succeeded; false when it failed.
    bool waitReady();

    // Runs `f` on the event thread and returns what it returned; nullopt
    // when that thread has ended. Commands never wait on anything there.
    template <typename F>
    auto call(F f) -> std::optional<decltype(f())> {
        std::optional<decltype(f())> result;
        if (!post([&] { result = f(); })) return std::nullopt;
        return result;
    }

    // True once the compositor has answered every request sent so far, and
    // so sent every event it owed us before them; false after the deadline.
    bool roundTrip(Clock::time_point deadline);

    // Waits until `done` holds (checked with mutex() held, after each turn
    // of the event thread), the deadline passes or the thread ends; returns
    // done().
    template <typename Done>
    bool waitFor(Clock::time_point deadline, Done done) {
        std::unique_lock lock(mutex_);
        changed_.wait_until(lock, deadline, [&] { return done() || phase_ != Phase::Running; });
        return done();
    }

    // ---- the event thread (mutex() held)

    std::uint64_t sync();
    std::uint64_t syncsDone() const { return syncsDone_; }
    // During set-up: turns the loop until the compositor has answered.
    bool settle(Clock::time_point deadline);
    // Writes `data` into `fd` as the reader takes it, never waiting for it;
    // a reader that stops taking it is let go after text::kStaleTransfer.
    // Takes `fd`.
    void serve(int fd, std::shared_ptr<const std::string> data);
    bool running() const { return phase_ == Phase::Running; }

    std::mutex& mutex() { return mutex_; }

private:
    enum class Phase { Starting, Running, Ended };
    struct Command {
        std::function<void()> run;
        bool done = false;
    };
    struct Outgoing {  // our text on its way into a reader's pipe
        int fd;
        std::shared_ptr<const std::string> data;
        std::size_t sent = 0;
        Clock::time_point lastProgress;
    };

    bool post(std::function<void()> run);
    void wake();
    void run(const std::string& display, const SetUp& setUp, const TearDown& tearDown, const Ended& ended);
    bool turn(Clock::time_point until);
    void serveTransfers(const std::vector<pollfd>& fds);

    int wake_ = -1;  // tells the thread to look at commands_ / stopping_
    std::thread thread_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::unique_lock<std::mutex>* lock_ = nullptr;  // the thread's own hold on mutex_
    Phase phase_ = Phase::Starting;
    bool stopping_ = false;
    std::deque<std::shared_ptr<Command>> commands_;
    wl_display* display_ = nullptr;
    std::uint64_t syncsSent_ = 0;
    std::uint64_t syncsDone_ = 0;
    std::list<Outgoing> outgoing_;
};

}  // namespace purlo::wayland
