#pragma once
// Desktop notifications through org.freedesktop.Notifications (the
// freedesktop.org Desktop Notifications Specification) on the session bus.

#include "desktop/notifier.hpp"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

class QDBusPendingCallWatcher;

namespace purlo {

class DBusNotifier : public QObject, public Notifier {
    Q_OBJECT
public:
    // Called on this object's thread when no notification server answers, so
    // that the message is shown some other way (the tray icon's balloon).
    using Fallback = std::function<void(const QString& title, const QString& body)>;

    // Notifications titled `replacingTitle` (a cleaning's confirmation)
    // replace the previous one of theirs while it is shown; all others stay.
    DBusNotifier(QString replacingTitle, Fallback fallback, QObject* parent = nullptr);

    // Any thread; never waits for the bus.
    void deliver(std::string_view title, std::string_view body) override;
    // GUI thread only.
    void deliverWithAction(std::string_view title, std::string_view body, Action action) override;

    // The body as it goes over the bus: with body markup the server would
    // read "&" as the start of an entity and show nothing or garbage.
    static QString bodyFor(const QString& text, bool serverUsesMarkup);

private slots:
    void onClosed(uint id, uint reason);
    void onActionInvoked(uint id, const QString& key);

private:
    enum class Capabilities { Unknown, Asking, Known };
    // The last cleaning's confirmation, which the next one replaces while it
    // is shown (200 presses make one notification, not 200).
    struct Shown {
        uint id = 0;
        bool sending = false;
        std::optional<QString> next;  // the newest body that waits for `id`
    };

    void deliverHere(const QString& title, const QString& body, std::optional<Action> action = std::nullopt);
    void askCapabilities();
    void send(const QString& title, const QString& body, std::optional<Action> action = std::nullopt);
    void fallBack(const QString& title, const QString& body);

    QString replacingTitle_;
    Fallback fallback_;
    Capabilities state_ = Capabilities::Unknown;
    bool bodyMarkup_ = false;
    bool actions_ = false;  // the server shows actions
    struct Waiting {
        QString title, body;
        std::optional<Action> action;
    };
    // Messages that arrived while the capabilities were still being asked.
    std::vector<Waiting> waiting_;
    // The notification whose action waits for the user, by its id.
    uint actionId_ = 0;
    std::optional<Action> action_;
    bool watchingActions_ = false;
    Shown cleaned_;
    bool watchingClosed_ = false;
};

}  // namespace purlo
