// CleaningQueue with a pasteboard that can hold a run in place, so that
// presses pile up behind a slow clipboard owner as they do for real.
#include "app/platform/cleaning_queue.hpp"
#include "cleaning/in_memory.hpp"
#include "test_support.hpp"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>
#include <string>
#include <vector>

namespace purlo {
namespace {

using test::waitUntil;

class SlowPasteboard : public Pasteboard {
public:
    // The first run waits in itemCount() until release() is called.
    void release() { gate_.set_value(); }

    std::optional<std::size_t> itemCount() override {
        if (active_.fetch_add(1) != 0) overlapped = true;
        const int run = ++runs_;
        {
            std::lock_guard lock(m_);
            threads.push_back(QThread::currentThread());
        }
        if (run == 1) opened_.wait();
        current_ = run;
        return 1;
    }
    TextRead plainText(std::size_t) override { return {TextRead::Status::Text, "run  " + std::to_string(current_)}; }
    WriteResult writeString(std::string_view text) override {
        if (marshalWrites) {
            // As the real clipboard does: the write happens on the GUI thread.
            QMetaObject::invokeMethod(qApp, [] {}, Qt::BlockingQueuedConnection);
        }
        {
            std::lock_guard lock(m_);
            written.emplace_back(text);
        }
        active_.fetch_sub(1);
        return WriteResult::Written;
    }
    std::uint64_t changeCount() override { return 0; }

    int started() const { return runs_.load(); }
    std::vector<std::string> writes() {
        std::lock_guard lock(m_);
        return written;
    }

    bool marshalWrites = false;
    std::atomic<bool> overlapped{false};
    std::vector<QThread*> threads;
    std::vector<std::string> written;

private:
    std::promise<void> gate_;
    std::shared_future<void> opened_ = gate_.get_future().share();
    std::atomic<int> active_{0};
    std::atomic<int> runs_{0};
    int current_ = 0;  // worker thread only
    std::mutex m_;
};

TEST(CleaningQueue, PressesBehindASlowRunRunLaterInOrderWithoutOverlap) {
    SlowPasteboard board;
    RecordingNotifier notifier;
    CleaningQueue queue(board, notifier);
    int finished = 0;
    bool finishedOnGuiThread = true;
    QObject::connect(&queue, &CleaningQueue::runFinished, [&] {
        ++finished;
        finishedOnGuiThread = finishedOnGuiThread && QThread::currentThread() == qApp->thread();
    });

    queue.enqueue();
    ASSERT_TRUE(waitUntil([&] { return board.started() == 1; }));
    for (int i = 0; i < 4; ++i) queue.enqueue();  // returns at once although run 1 is stuck
    EXPECT_EQ(board.started(), 1);
    EXPECT_EQ(finished, 0);

    board.release();
    ASSERT_TRUE(waitUntil([&] { return finished == 5; }));
    EXPECT_FALSE(board.overlapped);
    EXPECT_TRUE(finishedOnGuiThread);
    EXPECT_EQ(board.writes(), (std::vector<std::string>{"run 1", "run 2", "run 3", "run 4", "run 5"}));
    EXPECT_EQ(notifier.delivered.size(), 5u);
    for (QThread* t : board.threads) {
        EXPECT_EQ(t, board.threads.front());
        EXPECT_NE(t, qApp->thread());
    }
}

TEST(CleaningQueue, DestroyingItFinishesTheRunInProgressAndDropsTheRest) {
    SlowPasteboard board;
    board.marshalWrites = true;
    RecordingNotifier notifier;
    {
        CleaningQueue queue(board, notifier);
        queue.enqueue();
        ASSERT_TRUE(waitUntil([&] { return board.started() == 1; }));
        queue.enqueue();
        queue.enqueue();
        // The run's write now needs this thread, which is busy destroying
        // the queue: that must not dead-lock.
        board.release();
    }
    EXPECT_EQ(board.writes(), std::vector<std::string>{"run 1"});
    EXPECT_EQ(board.started(), 1);
}

}  // namespace
}  // namespace purlo
