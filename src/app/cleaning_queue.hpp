#pragma once
// Runs the cleaning action off the GUI thread, one press at a time.
//
// Reading another program's clipboard can take as long as that program takes
// to answer; on the GUI thread that would freeze the tray icon and its menu.
// Each enqueue() becomes one run on a dedicated worker thread; runs happen in
// press order and never overlap, so a second press reads what the first one
// wrote.

#include "desktop/clipboard.hpp"
#include "desktop/notifier.hpp"

#include <QObject>

#include <atomic>

class QThread;

namespace purlo {

class CleaningQueue : public QObject {
    Q_OBJECT
public:
    CleaningQueue(Clipboard& clipboard, Notifier& notifier, QObject* parent = nullptr);
    // Runs that have not started yet are dropped; the one in progress is
    // allowed to finish (it may need the GUI thread to write the clipboard).
    ~CleaningQueue() override;

    // GUI thread only. Returns at once.
    void enqueue();

signals:
    // On the GUI thread, once after each run.
    void runFinished();

private:
    class Worker;

    QThread* thread_;
    Worker* worker_;
    std::atomic<bool> stopping_{false};
};

}  // namespace purlo
