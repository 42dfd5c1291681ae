// What the whole program cannot show of the portal backend (the rest is in
// tests/e2e/wayland_test.sh): two sessions at once, on a headless KWin 5.27
// with the real portals (tests/e2e/harness.sh --kwin). The portal broadcasts
// every press to every listener; each session must count its own alone.
#include "app/hotkey/portal_backend.hpp"
#include "test_support.hpp"

#include <QDBusConnection>

#include <gtest/gtest.h>

#include <memory>

namespace purlo {
namespace {

using test::runTool;
using test::waitUntil;

// One start of the program: a bus connection of its own, as a new process
// has, so the portal gives it a session of its own.
class Start : public QObject {
    Q_OBJECT
public:
    explicit Start(const QString& name)
        : bus_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, name)),
          backend_(std::make_unique<PortalHotkeyBackend>(bus_)) {
        connect(backend_.get(), &HotkeyBackend::activated, this, [this] { ++presses; });
        connect(backend_.get(), &HotkeyBackend::registrationChanged, this,
                [this](const RegistrationResult& r) { bound = r.ok; answered = true; });
        bus_.connect("org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
                     "org.freedesktop.portal.GlobalShortcuts", "Deactivated", this,
                     SLOT(onDeactivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
        EXPECT_TRUE(backend_->registerHotkey(kCleanHotkey).pending);
    }
    ~Start() override {
        backend_.reset();
        QDBusConnection::disconnectFromBus(bus_.name());
    }

    int presses = 0;
    bool answered = false, bound = false;
    // Key releases of any session. The portal reports the releases of a
    // chord after all its presses, so once a chord's release is seen every
    // Activated before it has been handled.
    int releases = 0;

public slots:
    void onDeactivated(const QDBusObjectPath&, const QString&, qulonglong, const QVariantMap&) { ++releases; }

private:
    QDBusConnection bus_;
    std::unique_ptr<PortalHotkeyBackend> backend_;
};

TEST(PortalHotkey, EachSessionCountsEveryPressOfItsOwnOnce) {
    if (qgetenv("XDG_CURRENT_DESKTOP") != "KDE") GTEST_SKIP() << "needs the KWin of tests/e2e/harness.sh --kwin";
    Start a("a"), b("b");
    ASSERT_TRUE(waitUntil([&] { return a.answered && b.answered; }, 20000)) << "the portal never answered";
    ASSERT_TRUE(a.bound && b.bound);
    for (int n = 1; n <= 3; ++n) {
        SCOPED_TRACE(n);
        // Meta+Shift+V, as evdev key codes for KWin's fake keyboard.
        ASSERT_EQ(runTool(PURLO_FAKE_KEYS, {"125", "42", "47"}).exitCode, 0);
        // Each connection hears every session's release: two per press.
        ASSERT_TRUE(waitUntil([&] { return a.releases >= 2 * n && b.releases >= 2 * n; }));
        EXPECT_EQ(a.presses, n);
        EXPECT_EQ(b.presses, n);
    }
}

}  // namespace
}  // namespace purlo

#include "portal_test.moc"
