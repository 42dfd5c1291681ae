#pragma once
// One Purlo per user and display: a second one would grab the same shortcut
// (and fail) and put a second icon in the tray.

#include <QString>

#include <memory>

class QLocalServer;

namespace purlo {

class SingleInstance {
public:
    // `key` tells programs apart that must not see each other (tests).
    explicit SingleInstance(QString key);
    ~SingleInstance();

    // False when another process holds the key already; true otherwise (also
    // when the socket could not be made for another reason: errorString()
    // says which). The claim lasts as long as this object.
    bool acquire();
    QString errorString() const { return error_; }

    // Keyed by user id and display. The socket lives in Linux's abstract
    // namespace, so nothing is written to disk and nothing stale survives a
    // crash.
    static QString defaultKey(QString x11Display = {});

private:
    QString key_;
    QString error_;
    std::unique_ptr<QLocalServer> server_;
};

}  // namespace purlo
