// The delegate with a fake tray and a fake shortcut, on Qt's offscreen
// platform: launch order, the launch notification, the menu, the panel's
// life, the click rule and the shortcut's id rule.

#include "app/app_delegate.hpp"
#include "app/popup_window.hpp"
#include "app/single_instance.hpp"
#include "cleaning/in_memory.hpp"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using purlo::AppDelegate;
using purlo::HotkeyId;
using purlo::RegistrationResult;

std::vector<std::string> events;  // what the fakes saw, in order

class FakeTray : public purlo::StatusItem {
public:
    explicit FakeTray(bool available) : available_(available) { events.push_back("tray made"); }
    bool isAvailable() const override { return available_; }
    void setIcon(const QIcon&) override { events.push_back("icon"); }
    void setToolTip(const QString& t) override { toolTip = t; }
    void show() override { events.push_back("shown"); }
    QRect geometry() const override { return {100, 0, 22, 22}; }
    void showMessage(const QString&, const QString&) override {}
    void click(QSystemTrayIcon::ActivationReason r) { emit activated(r); }
    QString toolTip;

private:
    bool available_;
};

class FakeHotkey : public purlo::HotkeyBackend {
public:
    explicit FakeHotkey(RegistrationResult r) : result_(std::move(r)) {}
    RegistrationResult registerHotkey(HotkeyId id) override {
        events.push_back("hotkey registered");
        registered = id;
        return result_;
    }
    const char* name() const override { return "fake"; }
    void press(HotkeyId id) { emit activated(id); }
    HotkeyId registered;

private:
    RegistrationResult result_;
};

class OrderedNotifier : public purlo::RecordingNotifier {
public:
    void deliver(std::string_view title, std::string_view text) override {
        events.push_back("notified");
        RecordingNotifier::deliver(title, text);
    }
};

struct Harness {
    explicit Harness(RegistrationResult hotkey = {true, "", false}, bool trayAvailable = true) {
        events.clear();
        AppDelegate::Services s;
        s.makeStatusItem = [this, trayAvailable] {
            auto t = std::make_unique<FakeTray>(trayAvailable);
            tray = t.get();
            return t;
        };
        s.makeHotkey = [this, hotkey] {
            auto h = std::make_unique<FakeHotkey>(hotkey);
            this->hotkey = h.get();
            return h;
        };
        s.notifier = &notes;
        s.cleanOnce = [this] { ++cleanings; };
        s.quit = [this] { ++quits; };
        s.pointer = [] { return QPoint(50, 50); };
        delegate = std::make_unique<AppDelegate>(std::move(s));
        delegate->applicationDidFinishLaunching();
    }
    OrderedNotifier notes;
    FakeTray* tray = nullptr;
    FakeHotkey* hotkey = nullptr;
    int cleanings = 0, quits = 0;
    std::unique_ptr<AppDelegate> delegate;
};

using Note = std::pair<std::string, std::string>;

TEST(Launch, RunsInOrderAndAnnouncesTheShortcut) {
    Harness h;
    EXPECT_EQ(events, (std::vector<std::string>{"tray made", "icon", "shown", "hotkey registered", "notified"}));
    EXPECT_EQ(h.notes.delivered, (std::vector<Note>{{"Purlo", "Ready! Press \u2318\u21E7V to clean clipboard"}}));
    EXPECT_EQ(h.hotkey->registered.id, 1u);
    EXPECT_EQ(h.hotkey->registered.signature, purlo::fourCharCode("PRLO"));
    EXPECT_EQ(h.tray->toolTip, QString::fromUtf8("Purlo \u2014 Super+Shift+V cleans the clipboard"));
    EXPECT_EQ(h.delegate->popover(), nullptr);
}

TEST(Launch, TakenShortcutIsReportedNotAnnounced) {
    Harness h({false, "held by another client", true});
    const QString taken = QString::fromUtf8("\u2318\u21E7V is unavailable: another program uses it");
    EXPECT_EQ(h.notes.delivered, (std::vector<Note>{{"Purlo", taken.toStdString()}}));
    EXPECT_EQ(h.tray->toolTip, taken);
    EXPECT_EQ(h.delegate->statusMenu()->actions().size(), 1);  // the rest of the launch went on
}

TEST(Launch, WithoutATrayHostKeepsRunning) {
    Harness h({true, "", false}, /*trayAvailable=*/false);
    EXPECT_EQ(std::count(events.begin(), events.end(), "shown"), 0);
    EXPECT_EQ(h.notes.delivered.size(), 1u);
    h.hotkey->press(purlo::kCleanHotkey);
    EXPECT_EQ(h.cleanings, 1);
}

TEST(Menu, HoldsOneCloseItemWithoutShortcutThatQuits) {
    Harness h;
    const auto actions = h.delegate->statusMenu()->actions();
    ASSERT_EQ(actions.size(), 1);
    EXPECT_EQ(actions[0]->text(), "Close");
    EXPECT_TRUE(actions[0]->shortcut().isEmpty());
    actions[0]->trigger();
    EXPECT_EQ(h.quits, 1);
}

TEST(Clicks, PanelIsMadeOnTheFirstLeftClickAndReused) {
    Harness h;
    h.tray->click(QSystemTrayIcon::Context);
    EXPECT_EQ(h.delegate->popover(), nullptr) << "a right click makes no panel";
    h.tray->click(QSystemTrayIcon::Trigger);
    purlo::PopupWindow* first = h.delegate->popover();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(first->size(), QSize(280, 300));
    h.tray->click(QSystemTrayIcon::Trigger);
    EXPECT_FALSE(first->isVisible());
    h.tray->click(QSystemTrayIcon::Trigger);
    EXPECT_EQ(h.delegate->popover(), first);
    EXPECT_TRUE(first->isVisible());
    h.tray->click(QSystemTrayIcon::Context);
    EXPECT_FALSE(first->isVisible()) << "a right click closes the panel";
    h.delegate->statusMenu()->hide();
}

TEST(Clicks, EverythingButTheContextButtonToggles) {
    for (auto reason : {QSystemTrayIcon::DoubleClick, QSystemTrayIcon::MiddleClick, QSystemTrayIcon::Unknown}) {
        Harness h;
        h.tray->click(reason);
        ASSERT_NE(h.delegate->popover(), nullptr) << reason;
        EXPECT_TRUE(h.delegate->popover()->isVisible()) << reason;
    }
}

TEST(Hotkey, OnlyIdOneQueuesARunWhateverTheSignature) {
    struct Row {
        HotkeyId id;
        int runs;
    };
    for (const Row& r : {Row{{purlo::fourCharCode("PRLO"), 1}, 1}, Row{{0, 1}, 1}, Row{{purlo::fourCharCode("PRLO"), 2}, 0},
                         Row{{0, 0}, 0}}) {
        Harness h;
        h.hotkey->press(r.id);
        EXPECT_EQ(h.cleanings, r.runs) << r.id.signature << "/" << r.id.id;
    }
}

TEST(SingleInstance, SecondClaimFailsWhileTheFirstLives) {
    const QString key = QStringLiteral("purlo-test-%1").arg(QCoreApplication::applicationPid());
    {
        purlo::SingleInstance first(key);
        ASSERT_TRUE(first.acquire()) << first.errorString().toStdString();
        purlo::SingleInstance second(key);
        EXPECT_FALSE(second.acquire());
    }
    purlo::SingleInstance again(key);
    EXPECT_TRUE(again.acquire());
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
