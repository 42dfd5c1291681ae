// The portal backend against a headless KWin 5.27 with the real
// xdg-desktop-portal and its KDE half (tests/e2e/harness.sh --kwin). Key
// chords go through KWin's own input path while this process has no window,
// so no focus, as on a user's desktop.
#include "app/hotkey/portal_backend.hpp"
#include "test_support.hpp"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QProcess>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <vector>

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
        connect(backend_.get(), &HotkeyBackend::activated, this, [this](HotkeyId id) { presses.push_back(id); });
        connect(backend_.get(), &HotkeyBackend::registrationChanged, this,
                [this](const RegistrationResult& r) { results.push_back(r); });
        bus_.connect("org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
                     "org.freedesktop.portal.GlobalShortcuts", "Deactivated", this,
                     SLOT(onDeactivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    }
    ~Start() override {
        backend_.reset();
        QDBusConnection::disconnectFromBus(bus_.name());
    }
    // Registers and waits for the desktop's answer (which includes starting
    // the portals on demand), and says how long that took.
    void bind() {
        QElapsedTimer clock;
        clock.start();
        EXPECT_TRUE(backend_->registerHotkey(kCleanHotkey).pending);
        ASSERT_TRUE(waitUntil([&] { return !results.empty(); }, 20000)) << "the portal never answered";
        std::printf("start to shortcut bound (%s): %lld ms\n", qPrintable(bus_.name()), qint64(clock.elapsed()));
        ASSERT_EQ(results.size(), 1u);
        ASSERT_TRUE(results[0].ok) << results[0].reason;
    }

    std::vector<HotkeyId> presses;
    std::vector<RegistrationResult> results;
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

class PortalHotkey : public ::testing::Test {
protected:
    void SetUp() override {
        if (qgetenv("XDG_CURRENT_DESKTOP") != "KDE" || qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
            GTEST_SKIP() << "needs the KWin of tests/e2e/harness.sh --kwin";
        }
    }
};

// Evdev key codes for KWin's fake keyboard.
const QStringList kMetaShiftV{"125", "42", "47"};

void press(const QStringList& keys) { ASSERT_EQ(runTool(PURLO_FAKE_KEYS, keys).exitCode, 0) << keys.join(' ').toStdString(); }

TEST_F(PortalHotkey, EachSessionCountsEveryPressOfItsOwnOnce) {
    // Two starts at once: the portal broadcasts each press to both sessions,
    // and each must count only its own.
    Start a("a"), b("b");
    for (Start* s : {&a, &b}) {
        ASSERT_NO_FATAL_FAILURE(s->bind());
        // The desktop's own name for the keys it bound: the chord we asked for.
        EXPECT_EQ(s->results[0].trigger, "Meta+Shift+V");
    }
    for (std::size_t n = 1; n <= 3; ++n) {
        SCOPED_TRACE(n);
        press(kMetaShiftV);
        // Each connection hears every session's release: two per press.
        ASSERT_TRUE(waitUntil([&] { return a.releases >= int(2 * n) && b.releases >= int(2 * n); }));
        EXPECT_EQ(a.presses.size(), n);
        EXPECT_EQ(b.presses.size(), n);
    }
    for (const HotkeyId& id : a.presses) EXPECT_EQ(id.signature, kCleanHotkey.signature);
}

TEST_F(PortalHotkey, ANewStartReusesTheBindingWithoutBindShortcuts) {
    // On Plasma 5.27 BindShortcuts opens System Settings: watch the bus for it.
    QProcess monitor;
    monitor.start("dbus-monitor", {"--session", "--profile",
                                   "type='method_call',interface='org.freedesktop.portal.GlobalShortcuts'",
                                   "type='method_call',interface='org.freedesktop.portal.Session'"});
    QByteArray seen;
    const auto monitorSaw = [&](const char* what, int times) {
        return waitUntil([&] { return (seen += monitor.readAllStandardOutput()).count(what) >= times; });
    };
    ASSERT_TRUE(monitorSaw("NameLost", 1)) << "dbus-monitor did not start";

    std::vector<std::string> triggers;
    for (const char* name : {"first", "second"}) {
        Start s(name);
        ASSERT_NO_FATAL_FAILURE(s.bind());
        triggers.push_back(s.results[0].trigger);
        press(kMetaShiftV);
        ASSERT_TRUE(waitUntil([&] { return s.releases > 0; }));
        EXPECT_EQ(s.presses.size(), 1u);
    }
    EXPECT_EQ(triggers[0], triggers[1]);
    // Each start closes its session when it ends, after everything else.
    ASSERT_TRUE(monitorSaw("\tClose", 2));
    monitor.terminate();
    monitor.waitForFinished();
    EXPECT_EQ(seen.count("\tCreateSession"), 2);
    EXPECT_EQ(seen.count("\tBindShortcuts"), 0);
}

}  // namespace
}  // namespace purlo

#include "portal_test.moc"
