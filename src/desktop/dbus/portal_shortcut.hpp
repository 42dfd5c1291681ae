#pragma once
// Super+Shift+V through the desktop portal's GlobalShortcuts interface, the
// one way a Wayland client gets a shortcut that works while it has no focus.
// Everything goes over the session bus asynchronously: the portal is often
// started on demand by the first call and may take a second to answer.
// The portal and the desktop's half of it are followed by their names on the
// bus: when either goes away the shortcut is reported lost, and it is bound
// again once the one that went returns.
// Before its first call on a connection the backend tells the portal its
// app id: an unsandboxed program has none otherwise, and GNOME refuses
// shortcuts to a program without one.

#include "desktop/shortcut.hpp"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QString>
#include <QVariantMap>

#include <memory>

class QDBusPendingCall;
class QDBusServiceWatcher;
class QDBusPendingCallWatcher;
class QTimer;

namespace purlo {

class PortalShortcutBackend final : public ShortcutBackend {
    Q_OBJECT
public:
    // `bus` is the session bus the portal listens on; one backend per
    // connection, since the portal names the session after the connection.
    explicit PortalShortcutBackend(QDBusConnection bus = QDBusConnection::sessionBus(), QObject* parent = nullptr,
                                   int dialogWaitMs = 1500);
    ~PortalShortcutBackend() override;

    // Always answers {pending}; the outcome follows through registrationChanged().
    RegistrationResult registerShortcut(ShortcutId id) override;
    const char* name() const override { return "portal"; }

private slots:
    void onResponse(uint code, const QVariantMap& results);
    void onActivated(const QDBusObjectPath& session, const QString& shortcut, qulonglong timestamp,
                     const QVariantMap& options);
    void onOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);

private:
    enum class Step { Idle, CreateSession, BindShortcuts };

    void cancel();
    void registerAppId();
    void askVersion();
    void createSession();
    void bindShortcuts();
    // Listens for the Response of the request that `token` names, before the
    // call that creates it is sent.
    void expectResponse(Step step, const QString& token);
    void listenOn(const QString& requestPath);
    void stopListening();
    void watchCall(const QDBusPendingCall& call);
    void finishBound(const QString& trigger);
    void finish(const RegistrationResult& result);
    void closeSession();

    QDBusConnection bus_;
    ShortcutId id_{};
    Step step_ = Step::Idle;
    QString requestPath_;  // the Request whose Response we wait for
    QString sessionHandle_;
    bool activatedConnected_ = false;
    QDBusPendingCallWatcher* call_ = nullptr;
    QDBusServiceWatcher* owners_ = nullptr;
    QTimer* dialogWait_ = nullptr;  // a bind that takes this long waits for the user
    bool wanted_ = false;  // registerShortcut() was called
    bool lost_ = false;    // the portal went away; bind again once it returns
};

// The portal backend for the backend factory, on a session bus connection of
// its own (the app id must be the first thing the portal hears on it, and
// Qt itself asks the portal things on the shared one). It asks the portal
// for nothing until registerShortcut() is called.
std::unique_ptr<ShortcutBackend> makePortalShortcutBackend(QObject* parent = nullptr);

}  // namespace purlo
