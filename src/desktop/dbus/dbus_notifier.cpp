#include "desktop/dbus/dbus_notifier.hpp"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QThread>
#include <QVariantMap>

#include <utility>

namespace purlo {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kAppName = QStringLiteral("Purlo");

// The errors that mean "nobody is there to show it"; any other error (a
// server that refuses one message, say) is that server's answer and is not
// repeated through the fallback.
bool meansNoServer(const QDBusError& error) {
    // The bus tried to start an installed server and that failed (a daemon
    // that needs a display the bus does not know of, for instance).
    if (error.name().startsWith(QLatin1String("org.freedesktop.DBus.Error.Spawn."))) return true;
    switch (error.type()) {
        case QDBusError::ServiceUnknown:
        case QDBusError::NoServer:
        case QDBusError::Disconnected:
        case QDBusError::NoReply:
        case QDBusError::Timeout:
        case QDBusError::TimedOut:
        case QDBusError::UnknownObject:
        case QDBusError::UnknownInterface:
        case QDBusError::UnknownMethod: return true;
        default: return false;
    }
}

}  // namespace

DBusNotifier::DBusNotifier(QString replacingTitle, Fallback fallback, QObject* parent)
    : QObject(parent), replacingTitle_(std::move(replacingTitle)), fallback_(std::move(fallback)) {}

QString DBusNotifier::bodyFor(const QString& text, bool serverUsesMarkup) {
    if (!serverUsesMarkup) return text;
    QString out;
    out.reserve(text.size() + 8);
    for (QChar c : text) {
        switch (c.unicode()) {
            case '&': out += QLatin1String("&amp;"); break;
            case '<': out += QLatin1String("&lt;"); break;
            case '>': out += QLatin1String("&gt;"); break;
            default: out += c;
        }
    }
    return out;
}

void DBusNotifier::deliver(std::string_view title, std::string_view body) {
    QString t = QString::fromUtf8(title.data(), qsizetype(title.size()));
    QString b = QString::fromUtf8(body.data(), qsizetype(body.size()));
    if (QThread::currentThread() == thread()) {
        deliverHere(t, b);
    } else {
        QMetaObject::invokeMethod(
            this, [this, t = std::move(t), b = std::move(b)] { deliverHere(t, b); }, Qt::QueuedConnection);
    }
}

void DBusNotifier::deliverWithAction(std::string_view title, std::string_view body, Action action) {
    deliverHere(QString::fromUtf8(title.data(), qsizetype(title.size())),
                QString::fromUtf8(body.data(), qsizetype(body.size())), std::move(action));
}

void DBusNotifier::deliverHere(const QString& title, const QString& body, std::optional<Action> action) {
    if (!QDBusConnection::sessionBus().isConnected()) {
        fallBack(title, body);
        return;
    }
    if (state_ == Capabilities::Known) {
        send(title, body, std::move(action));
        return;
    }
    // Whether the body needs escaping depends on the server's answer, so the
    // first messages wait for it (without blocking anything).
    waiting_.push_back({title, body, std::move(action)});
    if (state_ == Capabilities::Unknown) askCapabilities();
}

void DBusNotifier::askCapabilities() {
    state_ = Capabilities::Asking;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("GetCapabilities"));
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        QDBusPendingReply<QStringList> reply = *w;
        std::vector<Waiting> pending;
        pending.swap(waiting_);
        if (reply.isError() && meansNoServer(reply.error())) {
            // Ask again next time: a server may be started later.
            state_ = Capabilities::Unknown;
            for (const Waiting& m : pending) fallBack(m.title, m.body);
            return;
        }
        state_ = Capabilities::Known;
        bodyMarkup_ = !reply.isError() && reply.value().contains(QStringLiteral("body-markup"));
        actions_ = !reply.isError() && reply.value().contains(QStringLiteral("actions"));
        for (Waiting& m : pending) send(m.title, m.body, std::move(m.action));
    });
}

void DBusNotifier::send(const QString& title, const QString& body, std::optional<Action> action) {
    if (!watchingClosed_) {
        watchingClosed_ = QDBusConnection::sessionBus().connect(
            kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this, SLOT(onClosed(uint, uint)));
    }
    if (action && !actions_) action.reset();
    if (action && !watchingActions_) {
        watchingActions_ = QDBusConnection::sessionBus().connect(
            kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this, SLOT(onActionInvoked(uint, QString)));
    }
    // A click on the notification itself does the same as its button
    // ("default": the servers that draw no buttons, dunst's among them,
    // still offer that one).
    QStringList actions;
    if (action) {
        const QString label = QString::fromStdString(action->label);
        actions = {QStringLiteral("default"), label, QStringLiteral("act"), label};
    }
    // Only the confirmation of a cleaning replaces its predecessor while
    // that is still shown: a burst of presses shows one, while every
    // message about a problem stays.
    const bool replacing = !replacingTitle_.isEmpty() && title == replacingTitle_;
    if (replacing) {
        // Until the server has said which id the previous one got, there is
        // nothing to replace: keep only the newest and send it then.
        if (cleaned_.sending) {
            cleaned_.next = body;
            return;
        }
        cleaned_.sending = true;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    // The summary is plain text by definition; only the body may be markup.
    call << kAppName << (replacing ? cleaned_.id : 0u) << QString() << title << bodyFor(body, bodyMarkup_) << actions
         << QVariantMap() << int(-1);
    // A newer offer takes the place of an older one still waiting.
    if (action) {
        action_ = std::move(action);
        actionId_ = 0;
    }
    const bool offering = !actions.isEmpty();
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, title, body, replacing, offering](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                QDBusPendingReply<uint> reply = *w;
                if (offering && !reply.isError()) actionId_ = reply.value();
                if (reply.isError() && meansNoServer(reply.error())) {
                    // The server went away: learn its successor's capabilities.
                    state_ = Capabilities::Unknown;
                    fallBack(title, body);
                }
                if (!replacing) return;
                cleaned_.sending = false;
                cleaned_.id = reply.isError() ? 0 : reply.value();
                if (cleaned_.next) deliverHere(title, *std::exchange(cleaned_.next, std::nullopt));
            });
}

void DBusNotifier::onClosed(uint id, uint) {
    if (cleaned_.id == id) cleaned_.id = 0;
}

void DBusNotifier::onActionInvoked(uint id, const QString&) {
    if (id == 0 || id != actionId_ || !action_) return;
    actionId_ = 0;
    const Action action = *std::exchange(action_, std::nullopt);
    if (action.invoked) action.invoked();
}

void DBusNotifier::fallBack(const QString& title, const QString& body) {
    if (fallback_) fallback_(title, body);
}

}  // namespace purlo
