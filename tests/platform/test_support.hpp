#pragma once
// Small helpers shared by the desktop-service tests: running the real X and
// D-Bus tools of the test world and waiting on what they change.

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QThread>

#include <functional>

namespace purlo::test {

struct ToolResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs a tool of the test world to completion (bounded), keeping Qt's event
// loop turning so that our own X and D-Bus clients answer it meanwhile.
inline ToolResult runTool(const QString& program, const QStringList& args, const QByteArray& input = {},
                          int timeoutMs = 10000) {
    QProcess p;
    p.start(program, args);
    ToolResult r;
    if (!p.waitForStarted(timeoutMs)) return r;
    if (!input.isEmpty()) p.write(input);
    p.closeWriteChannel();
    QDeadlineTimer deadline(timeoutMs);
    while (p.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        p.waitForFinished(5);
    }
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

// Turns the event loop until `done` holds or the time is up.
inline bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

}  // namespace purlo::test
