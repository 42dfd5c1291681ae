// CleaningQueue with a clipboard that can hold a run in place, so that
// presses pile up behind a slow clipboard owner as they do for real.
#include "app/cleaning_queue.hpp"
#include "support/in_memory.hpp"
#include "support/wait.hpp"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <vector>

namespace purlo {
namespace {

using test::waitUntil;

// A clipboard whose first run waits until the test lets it go, so that
// presses pile up behind it as behind a slow owner. Its writes can need the
// GUI thread, as the Qt clipboard's do.
class SlowClipboard : public InMemoryClipboard {
public:
    SlowClipboard() { copy({{"a  b", {}}}); }
    std::optional<std::size_t> itemCount() override {
        threads.push_back(QThread::currentThread());
        if (++runs == 1) opened_.wait();
        return InMemoryClipboard::itemCount();
    }
    WriteResult writeString(std::string text) override {
        if (marshalWrites)
            QMetaObject::invokeMethod(
                qApp, [] {}, Qt::BlockingQueuedConnection);
        return InMemoryClipboard::writeString(std::move(text));
    }
    void release() { gate_.set_value(); }

    std::atomic<int> runs{0};
    bool marshalWrites = false;
    std::vector<QThread*> threads;  // the worker's; read once it is done

private:
    std::promise<void> gate_;
    std::shared_future<void> opened_ = gate_.get_future().share();
};

TEST(CleaningQueue, PressesBehindASlowRunRunLaterOneAtATimeOnOneWorker) {
    SlowClipboard board;
    RecordingNotifier notifier;
    CleaningQueue queue(board, notifier);
    int finished = 0;
    bool finishedOnGuiThread = true;
    QObject::connect(&queue, &CleaningQueue::runFinished, [&] {
        ++finished;
        finishedOnGuiThread = finishedOnGuiThread && QThread::currentThread() == qApp->thread();
    });

    queue.enqueue();
    ASSERT_TRUE(waitUntil([&] { return board.runs.load() == 1; }));
    for (int i = 0; i < 4; ++i) queue.enqueue();  // returns at once although run 1 is stuck
    EXPECT_EQ(board.runs.load(), 1);
    EXPECT_EQ(finished, 0);

    board.release();
    ASSERT_TRUE(waitUntil([&] { return finished == 5; }));
    EXPECT_TRUE(finishedOnGuiThread);
    EXPECT_EQ(board.writes, 5);
    EXPECT_EQ(notifier.delivered.size(), 5u);
    for (QThread* t : board.threads) {
        EXPECT_EQ(t, board.threads.front());
        EXPECT_NE(t, qApp->thread());
    }
}

TEST(CleaningQueue, DestroyingItFinishesTheRunInProgressAndDropsTheRest) {
    SlowClipboard board;
    board.marshalWrites = true;
    RecordingNotifier notifier;
    {
        CleaningQueue queue(board, notifier);
        queue.enqueue();
        ASSERT_TRUE(waitUntil([&] { return board.runs.load() == 1; }));
        queue.enqueue();
        queue.enqueue();
        // The run's write now needs this thread, which is busy destroying
        // the queue: that must not dead-lock.
        board.release();
    }
    EXPECT_EQ(board.writes, 1);
    EXPECT_EQ(board.runs.load(), 1);
}

}  // namespace
}  // namespace purlo
