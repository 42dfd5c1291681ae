#include "desktop/dbus/portal_shortcut.hpp"

#include "desktop/desktop_binding.hpp"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QList>
#include <QTimer>

#include <optional>

namespace purlo {
namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kDesktopPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRegistryInterface = QStringLiteral("org.freedesktop.host.portal.Registry");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString kSessionInterface = QStringLiteral("org.freedesktop.portal.Session");
// The desktop's half of the portal, which holds the shortcut itself:
// org.freedesktop.impl.portal.desktop.kde, .gnome, .hyprland...
const QString kDesktopHalves = QStringLiteral("org.freedesktop.impl.portal.desktop*");
const QString kShortcutId = QStringLiteral("clean");
// Plasma names its settings entry after the app id and this token: a new
// token at every start would add one more "Purlo" to System Settings.
const QString kSessionToken = QStringLiteral("purlo");

struct PortalShortcut {
    QString id;
    QVariantMap properties;
};

QDBusArgument& operator<<(QDBusArgument& arg, const PortalShortcut& s) {
    arg.beginStructure();
    arg << s.id << s.properties;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, PortalShortcut& s) {
    arg.beginStructure();
    arg >> s.id >> s.properties;
    arg.endStructure();
    return arg;
}

}  // namespace
}  // namespace purlo

Q_DECLARE_METATYPE(purlo::PortalShortcut)

namespace purlo {
namespace {

using PortalShortcuts = QList<PortalShortcut>;

PortalShortcuts ourShortcuts() {
    return {{kShortcutId,
             {{QStringLiteral("description"), QStringLiteral("Clean the clipboard")},
              {QStringLiteral("preferred_trigger"), QStringLiteral("LOGO+SHIFT+v")}}}};
}

// Request handles must be unique per connection; a counter shared by every
// backend keeps two of them on one connection apart too.
QString nextRequestToken() {
    static unsigned counter = 0;
    return QStringLiteral("purlo_req%1").arg(++counter);
}

// The portal derives object paths from the caller's unique name: ":1.42"
// becomes "1_42".
QString senderElement(const QDBusConnection& bus) {
    return bus.baseService().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
}

// The trigger the desktop reports for our shortcut, when the list names it.
std::optional<QString> triggerIn(const QVariant& list) {
    if (!list.canConvert<QDBusArgument>()) return std::nullopt;
    const auto shortcuts = qdbus_cast<PortalShortcuts>(list.value<QDBusArgument>());
    for (const PortalShortcut& s : shortcuts) {
        if (s.id == kShortcutId) return s.properties.value(QStringLiteral("trigger_description")).toString();
    }
    return std::nullopt;
}

QString pathOrString(const QVariant& v) {
    if (v.userType() == qMetaTypeId<QDBusObjectPath>()) return v.value<QDBusObjectPath>().path();
    return v.toString();
}

}  // namespace

PortalShortcutBackend::PortalShortcutBackend(QDBusConnection bus, QObject* parent, int dialogWaitMs)
    : ShortcutBackend(parent), bus_(std::move(bus)) {
    qRegisterMetaType<purlo::ShortcutId>();
    qRegisterMetaType<purlo::RegistrationResult>();
    // Without these, connecting the slots below fails silently on Qt 6.4.
    qRegisterMetaType<QDBusObjectPath>();
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<PortalShortcuts>();
    owners_ = new QDBusServiceWatcher(this);
    owners_->setConnection(bus_);
    owners_->setWatchedServices({kService, kDesktopHalves});
    connect(owners_, &QDBusServiceWatcher::serviceOwnerChanged, this, &PortalShortcutBackend::onOwnerChanged);
    // KDE binds in milliseconds and GNOME at once once the user has
    // approved; an answer this late means the desktop shows its dialog.
    dialogWait_ = new QTimer(this);
    dialogWait_->setSingleShot(true);
    dialogWait_->setInterval(dialogWaitMs);
    connect(dialogWait_, &QTimer::timeout, this, [this] {
        if (step_ == Step::BindShortcuts)
            emit registrationChanged(RegistrationResult::confirming("confirm the shortcut in the desktop's dialog"));
    });
}

PortalShortcutBackend::~PortalShortcutBackend() {
    stopListening();
    if (activatedConnected_) {
        bus_.disconnect(kService, kDesktopPath, kInterface, QStringLiteral("Activated"), this,
                        SLOT(onActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    }
    // The shortcut stays in the desktop's settings; only this session ends,
    // so that a new backend on the same connection can open its own.
    closeSession();
}

RegistrationResult PortalShortcutBackend::registerShortcut(ShortcutId id) {
    id_ = id;
    wanted_ = true;
    lost_ = false;
    if (!bus_.isConnected())
        return RegistrationResult::unavailable("there is no D-Bus session bus to reach the desktop portal");
    cancel();
    // The session token is fixed, so a second session on this connection
    // would collide with the first: it is closed, and the portal has
    // answered, before the next one is asked for.
    if (sessionHandle_.isEmpty()) {
        registerAppId();
    } else {
        call_ = new QDBusPendingCallWatcher(bus_.asyncCall(QDBusMessage::createMethodCall(
                                                kService, sessionHandle_, kSessionInterface, QStringLiteral("Close"))),
                                            this);
        sessionHandle_.clear();
        connect(call_, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
            w->deleteLater();
            call_ = nullptr;
            registerAppId();
        });
    }
    return RegistrationResult::waiting();
}

void PortalShortcutBackend::cancel() {
    delete call_;
    call_ = nullptr;
    stopListening();
    step_ = Step::Idle;
    dialogWait_->stop();
}

void PortalShortcutBackend::registerAppId() {
    const QString appId = QGuiApplication::desktopFileName();
    if (appId.isEmpty()) {
        askVersion();
        return;
    }
    // Portals before 1.20 have no registry, a portal that already knows the
    // connection refuses a second id, and one that cannot find the desktop
    // entry refuses it too: each leaves the portal where it was, so the
    // answer is only waited for, never acted on.
    QDBusMessage m =
        QDBusMessage::createMethodCall(kService, kDesktopPath, kRegistryInterface, QStringLiteral("Register"));
    m << appId << QVariantMap{};
    call_ = new QDBusPendingCallWatcher(bus_.asyncCall(m), this);
    connect(call_, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        call_ = nullptr;
        askVersion();
    });
}

void PortalShortcutBackend::askVersion() {
    // Reading the version tells an absent interface apart from a present one
    // (listing the object's interfaces would not), and starts the portal when
    // D-Bus has to activate it.
    QDBusMessage get = QDBusMessage::createMethodCall(
        kService, kDesktopPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << kInterface << QStringLiteral("version");
    call_ = new QDBusPendingCallWatcher(bus_.asyncCall(get), this);
    connect(call_, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        call_ = nullptr;
        const QDBusPendingReply<QDBusVariant> reply = *w;
        if (reply.isError() || reply.value().variant().toUInt() == 0) {
            finish(RegistrationResult::unavailable("the desktop offers no global shortcuts"));
            return;
        }
        createSession();
    });
}

void PortalShortcutBackend::onOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner) {
    if (!wanted_) return;
    if (!oldOwner.isEmpty()) {
        // With the portal went its session; the desktop's half leaves the
        // portal's session standing, closed before the next is opened. A
        // Close sent now would only start a portal again.
        if (name == kService) sessionHandle_.clear();
        cancel();
        if (!lost_) {
            lost_ = true;
            emit registrationChanged(RegistrationResult::lost("the desktop portal stopped"));
        }
    }
    // Back: bound again, and the outcome told. Once that has begun, the other
    // half coming up (the portal starts it on demand) changes nothing.
    if (!newOwner.isEmpty() && lost_) registerShortcut(id_);
}

void PortalShortcutBackend::createSession() {
    if (!activatedConnected_) {
        activatedConnected_ = bus_.connect(kService, kDesktopPath, kInterface, QStringLiteral("Activated"), this,
                                           SLOT(onActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
        if (!activatedConnected_) {
            finish(RegistrationResult::unavailable("the desktop portal's shortcut presses cannot be received"));
            return;
        }
    }
    const QString token = nextRequestToken();
    expectResponse(Step::CreateSession, token);
    // Plasma 5.27 binds what CreateSession lists and ignores BindShortcuts'
    // own list; other desktops read it from BindShortcuts.
    const QVariantMap options{{QStringLiteral("handle_token"), token},
                              {QStringLiteral("session_handle_token"), kSessionToken},
                              {QStringLiteral("shortcuts"), QVariant::fromValue(ourShortcuts())}};
    QDBusMessage m =
        QDBusMessage::createMethodCall(kService, kDesktopPath, kInterface, QStringLiteral("CreateSession"));
    m << options;
    watchCall(bus_.asyncCall(m));
}

void PortalShortcutBackend::bindShortcuts() {
    const QString token = nextRequestToken();
    expectResponse(Step::BindShortcuts, token);
    QDBusMessage m =
        QDBusMessage::createMethodCall(kService, kDesktopPath, kInterface, QStringLiteral("BindShortcuts"));
    m << QVariant::fromValue(QDBusObjectPath(sessionHandle_)) << QVariant::fromValue(ourShortcuts()) << QString()
      << QVariantMap{{QStringLiteral("handle_token"), token}};
    watchCall(bus_.asyncCall(m));
    dialogWait_->start();
}

void PortalShortcutBackend::expectResponse(Step step, const QString& token) {
    step_ = step;
    // A fast portal answers before its reply to the call itself arrives: the
    // subscription has to be in place before the call leaves.
    listenOn(QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(senderElement(bus_), token));
}

void PortalShortcutBackend::listenOn(const QString& requestPath) {
    stopListening();
    if (bus_.connect(kService, requestPath, kRequestInterface, QStringLiteral("Response"), this,
                     SLOT(onResponse(uint, QVariantMap)))) {
        requestPath_ = requestPath;
    }
}

void PortalShortcutBackend::stopListening() {
    if (requestPath_.isEmpty()) return;
    bus_.disconnect(kService, requestPath_, kRequestInterface, QStringLiteral("Response"), this,
                    SLOT(onResponse(uint, QVariantMap)));
    requestPath_.clear();
}

void PortalShortcutBackend::watchCall(const QDBusPendingCall& call) {
    call_ = new QDBusPendingCallWatcher(call, this);
    connect(call_, &QDBusPendingCallWatcher::finished, this,
            [this, predicted = requestPath_](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                if (call_ == w) call_ = nullptr;
                const QDBusPendingReply<QDBusObjectPath> reply = *w;
                // The Response may have come first and the next request begun.
                if (requestPath_ != predicted) return;
                if (reply.isError()) {
                    finish(RegistrationResult::unavailable("the desktop portal refused the shortcut (" +
                                                           reply.error().message().toStdString() + ")"));
                    return;
                }
                // Portals older than the handle_token convention pick a path of
                // their own; follow it.
                if (reply.value().path() != predicted) listenOn(reply.value().path());
            });
}

void PortalShortcutBackend::onResponse(uint code, const QVariantMap& results) {
    const Step step = step_;
    stopListening();
    step_ = Step::Idle;
    dialogWait_->stop();
    // GNOME answers a bind that succeeded with code 2, listing the shortcut
    // it bound: the list decides, not the code. A shortcut the user declined
    // is not listed.
    if (step == Step::BindShortcuts && code != 1) {
        if (const auto trigger = triggerIn(results.value(QStringLiteral("shortcuts")))) {
            finishBound(*trigger);
            return;
        }
    }
    if (code != 0) {
        finish(RegistrationResult::unavailable(code == 1 ? "the shortcut was declined on the desktop"
                                                         : "the desktop portal refused the shortcut"));
        return;
    }
    if (step == Step::CreateSession) {
        sessionHandle_ = pathOrString(results.value(QStringLiteral("session_handle")));
        if (sessionHandle_.isEmpty()) {
            finish(RegistrationResult::unavailable("the desktop portal opened no shortcut session"));
            return;
        }
        // Already bound from an earlier start (or from this very call): on
        // Plasma 5.27 binding again would open System Settings every time.
        if (const auto trigger = triggerIn(results.value(QStringLiteral("shortcuts")))) {
            finishBound(*trigger);
        } else {
            bindShortcuts();
        }
        return;
    }
    if (step == Step::BindShortcuts) finish(RegistrationResult::unavailable("the desktop did not bind the shortcut"));
}

void PortalShortcutBackend::finishBound(const QString& trigger) {
    if (trigger.isEmpty()) {
        // Listed but without keys: the user removed them, or the desktop
        // gave them to someone else.
        finish(RegistrationResult::unavailable("the desktop keeps Purlo's shortcut without any keys"));
        return;
    }
    finish(RegistrationResult::bound(chordFromTrigger(trigger.toStdString())));
}

void PortalShortcutBackend::finish(const RegistrationResult& result) {
    stopListening();
    step_ = Step::Idle;
    dialogWait_->stop();
    emit registrationChanged(result);
}

void PortalShortcutBackend::closeSession() {
    if (sessionHandle_.isEmpty()) return;
    bus_.send(QDBusMessage::createMethodCall(kService, sessionHandle_, kSessionInterface, QStringLiteral("Close")));
    sessionHandle_.clear();
}

void PortalShortcutBackend::onActivated(const QDBusObjectPath& session, const QString& shortcut, qulonglong,
                                        const QVariantMap&) {
    // Every session's presses reach every listener.
    if (sessionHandle_.isEmpty() || session.path() != sessionHandle_ || shortcut != kShortcutId) return;
    emit activated(id_);
}

std::unique_ptr<ShortcutBackend> makePortalShortcutBackend(QObject* parent) {
    return std::make_unique<PortalShortcutBackend>(
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("purlo-portal")), parent);
}

}  // namespace purlo
