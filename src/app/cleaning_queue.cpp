#include "app/cleaning_queue.hpp"

#include "app/sanitize.hpp"

#include <QCoreApplication>
#include <QThread>

#include <malloc.h>

#include <new>

namespace purlo {

// Lives on the worker thread. Queued calls to one thread are delivered one
// at a time and in the order they were posted, which is exactly the
// ordering and non-overlap the queue promises.
class CleaningQueue::Worker : public QObject {
    Q_OBJECT
public:
    Worker(Clipboard& clipboard, Notifier& notifier, const std::atomic<bool>& stopping)
        : clipboard_(clipboard), notifier_(notifier), stopping_(stopping) {}

public slots:
    void run() {
        if (stopping_.load()) return;
        try {
            sanitizeClipboard(clipboard_, notifier_);
        } catch (const std::bad_alloc&) {
            // A clipboard near the size limit on a machine short of memory:
            // the clipboard is untouched (writes replace it in one step).
            notifier_.deliver(kProblemTitle, "Not enough memory to clean the clipboard");
        }
        // The allocator keeps what a large clipboard freed for later; an
        // idle tray program gives it back.
        malloc_trim(0);
        emit finished();
    }

signals:
    void finished();

private:
    Clipboard& clipboard_;
    Notifier& notifier_;
    const std::atomic<bool>& stopping_;
};

CleaningQueue::CleaningQueue(Clipboard& clipboard, Notifier& notifier, QObject* parent)
    : QObject(parent), thread_(new QThread), worker_(new Worker(clipboard, notifier, stopping_)) {
    thread_->setObjectName(QStringLiteral("purlo-cleaning"));
    worker_->moveToThread(thread_);
    connect(thread_, &QThread::finished, worker_, &QObject::deleteLater);
    // Queued: the signal comes from the worker thread, the receiver lives here.
    connect(worker_, &Worker::finished, this, &CleaningQueue::runFinished, Qt::QueuedConnection);
    thread_->start();
}

CleaningQueue::~CleaningQueue() {
    stopping_.store(true);
    thread_->quit();
    // A run in progress may be blocked on a write marshalled to this (GUI)
    // thread; serve those calls while waiting instead of dead-locking on them.
    while (!thread_->wait(QDeadlineTimer(10))) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    }
    delete thread_;  // the worker went with the thread's finished() signal
}

void CleaningQueue::enqueue() { QMetaObject::invokeMethod(worker_, &Worker::run, Qt::QueuedConnection); }

}  // namespace purlo

#include "cleaning_queue.moc"
