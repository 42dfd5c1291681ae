// DBusNotifier against a real dunst on the harness's private session bus.
// Each case starts its own dunst (with or without body markup) so that the
// capabilities the notifier learns are the ones the case is about.
#include "app/platform/dbus_notifier.hpp"
#include "cleaning/sanitize.hpp"
#include "test_support.hpp"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>


namespace purlo {
namespace {

using test::runTool;
using test::waitUntil;

bool serverPresent() {
    return QDBusConnection::sessionBus().interface()->isServiceRegistered("org.freedesktop.Notifications");
}

class Dunst {
public:
    explicit Dunst(bool markup) {
        const QString config = dir_.filePath("dunstrc");
        QFile f(config);
        f.open(QIODevice::WriteOnly);
        if (markup) f.write("[global]\n    markup = full\n");
        f.close();
        p_.start("dunst", {"-config", config});
        ready_ = waitUntil(serverPresent, 10000);
    }
    ~Dunst() {
        p_.terminate();
        p_.waitForFinished(5000);
        waitUntil([] { return !serverPresent(); });
    }
    bool ready() const { return ready_; }

    // Waits until `n` notifications are on screen, closes them and returns
    // what dunst kept of them, newest first.
    QJsonArray historyAfter(int n) {
        const bool shown = waitUntil([n] {
            return runTool("dunstctl", {"count", "displayed"}).out.trimmed().toInt() >= n;
        }, 10000);
        EXPECT_TRUE(shown) << "dunst never showed " << n << " notification(s)";
        runTool("dunstctl", {"close-all"});
        const auto r = runTool("dunstctl", {"history"});
        return QJsonDocument::fromJson(r.out).object()["data"].toArray().at(0).toArray();
    }

private:
    QTemporaryDir dir_;
    QProcess p_;
    bool ready_ = false;
};

QString field(const QJsonValue& entry, const char* name) { return entry.toObject()[name].toObject()["data"].toString(); }

struct Fallbacks {
    std::vector<std::pair<QString, QString>> calls;
    DBusNotifier::Fallback fn() {
        return [this](const QString& t, const QString& b) { calls.emplace_back(t, b); };
    }
};

class Notifications : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QDBusConnection::sessionBus().isConnected()) GTEST_SKIP() << "needs tests/e2e/harness.sh";
        ASSERT_FALSE(serverPresent()) << "run the harness without --notifications: each case starts its own";
    }
};

TEST_F(Notifications, TheAmpersandShowsAsAnAmpersandWithAndWithoutMarkup) {
    for (bool markup : {false, true}) {
        SCOPED_TRACE(markup ? "server_with_body_markup" : "server_without_markup");
        Dunst dunst(markup);
        ASSERT_TRUE(dunst.ready());
        Fallbacks fallbacks;
        DBusNotifier notifier(fallbacks.fn());
        notifier.deliver("a <b> & c", "Removed formatting & cleaned URLs");
        const QJsonArray history = dunst.historyAfter(1);
        ASSERT_EQ(history.size(), 1);
        EXPECT_EQ(field(history[0], "appname"), "Purlo");
        // The summary is plain text by definition: never escaped.
        EXPECT_EQ(field(history[0], "summary"), "a <b> & c");
        // The body travels escaped only to a server that reads markup...
        EXPECT_EQ(field(history[0], "body"),
                  markup ? "Removed formatting &amp; cleaned URLs" : "Removed formatting & cleaned URLs");
        // ...and either way dunst renders the same text, with one "&".
        EXPECT_EQ(field(history[0], "message").toStdString(), "<b>a &lt;b&gt; &amp; c</b>\nRemoved formatting &amp; cleaned URLs");
        EXPECT_TRUE(fallbacks.calls.empty());
    }
}

TEST_F(Notifications, FallsBackWithoutAServerAndUsesOneThatAppearsLater) {
    Fallbacks fallbacks;
    DBusNotifier notifier(fallbacks.fn());
    notifier.deliver(kCleanedTitle, kCleanedText);
    ASSERT_TRUE(waitUntil([&] { return fallbacks.calls.size() == 1; }));
    EXPECT_EQ(fallbacks.calls[0].second, "Removed formatting & cleaned URLs");

    Dunst dunst(false);
    ASSERT_TRUE(dunst.ready());
    notifier.deliver("later", "server is up");
    const QJsonArray history = dunst.historyAfter(1);
    ASSERT_EQ(history.size(), 1);
    EXPECT_EQ(field(history[0], "summary"), "later");
    EXPECT_EQ(fallbacks.calls.size(), 1u);
}

}  // namespace
}  // namespace purlo
