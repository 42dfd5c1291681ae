// The delegate with a fake tray and a fake shortcut, on Qt's offscreen
// platform: launch order, the launch notification, the menu, the panel's
// life, the click rule and the shortcut's id rule.

#include "app/app_delegate.hpp"
#include "app/panel_window.hpp"
#include "support/in_memory.hpp"

#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QTimer>

#include <string>
#include <vector>

namespace {

using purlo::AppDelegate;
using purlo::RegistrationResult;
using purlo::ShortcutId;

std::vector<std::string> events;  // what the fakes saw, in order

class FakeTray : public purlo::TrayIcon {
public:
    explicit FakeTray(bool available) : available_(available) { events.push_back("tray made"); }
    bool isAvailable() const override { return available_; }
    void setIcon(const QIcon&) override { events.push_back("icon"); }
    void setToolTip(const QString& t) override { toolTip = t; }
    void setMenu(QMenu* m) override {
        events.push_back("menu");
        menu = m;
    }
    void show() override { events.push_back("shown"); }
    void hide() override {}
    QRect geometry() const override { return {100, 0, 22, 22}; }
    void showMessage(const QString&, const QString&) override {}
    void click(QSystemTrayIcon::ActivationReason r) { emit activated(r); }
    QString toolTip;
    QMenu* menu = nullptr;

private:
    bool available_;
};

class FakeShortcut : public purlo::ShortcutBackend {
public:
    explicit FakeShortcut(RegistrationResult r) : result_(std::move(r)) {}
    RegistrationResult registerShortcut(ShortcutId id) override {
        events.push_back("shortcut registered");
        registered = id;
        return result_;
    }
    const char* name() const override { return "fake"; }
    void press(ShortcutId id) { emit activated(id); }
    void change(RegistrationResult now) { emit registrationChanged(now); }
    void setUp() override { change(RegistrationResult::bound()); }
    ShortcutId registered;

private:
    RegistrationResult result_;
};

class OrderedNotifier : public purlo::RecordingNotifier {
public:
    void deliver(std::string_view title, std::string_view text) override {
        events.push_back("notified");
        RecordingNotifier::deliver(title, text);
    }
    void deliverWithAction(std::string_view title, std::string_view text, Action a) override {
        deliver(title, text);
        action = std::move(a);
    }
    std::optional<Action> action;
};

struct Harness {
    explicit Harness(RegistrationResult shortcut = RegistrationResult::bound(), bool trayAvailable = true) {
        events.clear();
        AppDelegate::Services s;
        s.makeTrayIcon = [this, trayAvailable] {
            auto t = std::make_unique<FakeTray>(trayAvailable);
            tray = t.get();
            return t;
        };
        s.makeShortcut = [this, shortcut] {
            auto h = std::make_unique<FakeShortcut>(shortcut);
            this->shortcut = h.get();
            return h;
        };
        s.notifier = &notes;
        s.cleanOnce = [this] { ++cleanings; };
        s.quit = [this] { ++quits; };
        s.pointer = [] { return QPoint(50, 50); };
        s.noTrayAdvice = QStringLiteral("no tray here");
        s.noTrayGraceMs = 0;
        delegate = std::make_unique<AppDelegate>(std::move(s));
        delegate->applicationDidFinishLaunching();
    }
    OrderedNotifier notes;
    FakeTray* tray = nullptr;
    FakeShortcut* shortcut = nullptr;
    int cleanings = 0, quits = 0;
    std::unique_ptr<AppDelegate> delegate;
};

using Note = std::pair<std::string, std::string>;

TEST(Launch, RunsInOrderAndSaysWhetherTheShortcutWorks) {
    const QString ready = QString::fromUtf8("Ready! Press Super+Shift+V to clean clipboard");
    const QString taken = QString::fromUtf8("Super+Shift+V is unavailable: another program uses it");
    const QString tip = QString::fromUtf8("Purlo \u2014 Super+Shift+V cleans the clipboard");
    RegistrationResult advised = RegistrationResult::unavailable("no way");
    advised.advice = "Bind it";
    const struct {
        RegistrationResult shortcut;
        bool tray;
        QString note, toolTip;
    } rows[] = {
        {RegistrationResult::bound(), true, ready, tip},
        // The icon is shown without a tray too: it docks when one starts.
        {RegistrationResult::bound(), false, ready, tip},
        {RegistrationResult::takenElsewhere("held by another client"), true, taken, taken},
        {RegistrationResult::unavailable("no way"),
         true,
         QString::fromUtf8("Super+Shift+V is unavailable: no way."),
         {}},
        {advised, true, QString::fromUtf8("Super+Shift+V is unavailable: no way. Bind it"), {}},
    };
    for (const auto& r : rows) {
        Harness h(r.shortcut, r.tray);
        EXPECT_EQ(events,
                  (std::vector<std::string>{"tray made", "menu", "icon", "shown", "shortcut registered", "notified"}));
        ASSERT_EQ(h.tray->menu, h.delegate->statusMenu());
        EXPECT_EQ(h.tray->menu->actions().size(), 1) << "Close is in the menu before the tray sees it";
        EXPECT_EQ(h.notes.delivered, (std::vector<Note>{{"Purlo", r.note.toStdString()}}));
        EXPECT_EQ(h.tray->toolTip, r.toolTip.isEmpty() ? r.note : r.toolTip);
        // Without a tray nothing on screen says Purlo runs: that is said, once.
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
        EXPECT_EQ(h.notes.delivered.back(), (Note{"Purlo", r.tray ? r.note.toStdString() : "no tray here"}));
        EXPECT_EQ(h.notes.delivered.size(), r.tray ? 1u : 2u);
        EXPECT_EQ(h.shortcut->registered.id, 1u);
        // The id alone decides, whatever the signature.
        for (ShortcutId id :
             {purlo::kCleanShortcut, ShortcutId{0, 1}, ShortcutId{purlo::fourCharCode("PRLO"), 2}, ShortcutId{0, 0}})
            h.shortcut->press(id);
        EXPECT_EQ(h.cleanings, 2);
    }
}

// A desktop that answers later, after asking the user in a dialog: the
// dialog is said, never given up on, and the answer follows with the keys
// it bound.
TEST(Launch, APendingRegistrationIsAnnouncedWhenTheDesktopAnswers) {
    Harness h(RegistrationResult::waiting());
    EXPECT_TRUE(h.notes.delivered.empty());
    h.shortcut->change(RegistrationResult::confirming("confirm it"));
    for (const QTimer* wait : h.delegate->findChildren<QTimer*>())
        EXPECT_FALSE(wait->isActive()) << "a user at a dialog is not told the desktop did not answer";
    h.shortcut->change(RegistrationResult::bound("Meta+Shift+V"));
    EXPECT_EQ(h.notes.delivered, (std::vector<Note>{{"Purlo", "Super+Shift+V is waiting for you: confirm it"},
                                                    {"Purlo", "Ready! Press Meta+Shift+V to clean clipboard"}}));
    EXPECT_EQ(h.tray->toolTip, QString::fromUtf8("Purlo \u2014 Meta+Shift+V cleans the clipboard"));
    h.tray->click(QSystemTrayIcon::Trigger);
    EXPECT_EQ(h.delegate->popover()->findChild<QLabel*>(QStringLiteral("hint"))->text(),
              QStringLiteral("Press Meta+Shift+V to clean clipboard"));
    for (const QTimer* wait : h.delegate->findChildren<QTimer*>())
        EXPECT_FALSE(wait->isActive()) << "an answer in time leaves no second announcement pending";
}

// Where the desktop's own settings can bind the chord, the notice offers to
// do it, and says how by hand; the outcome of doing it is said.
TEST(Launch, TheNoticeOffersToSetTheShortcutUpWhereItCan) {
    RegistrationResult r = RegistrationResult::unavailable("no way");
    r.advice = "Bind it";
    r.canSetUp = true;
    Harness h(r);
    ASSERT_TRUE(h.notes.action);
    EXPECT_EQ(h.notes.action->label, "Set up Super+Shift+V");
    h.notes.action->invoked();
    EXPECT_EQ(h.notes.delivered, (std::vector<Note>{{"Purlo", "Super+Shift+V is unavailable: no way. Bind it"},
                                                    {"Purlo", "Ready! Press Super+Shift+V to clean clipboard"}}));
}

// A shortcut lost and bound again is said both ways; a second launch hears
// that Purlo runs, once the launch has said its own word.
TEST(Shortcut, LossReturnAndASecondLaunchAreSaid) {
    Harness h(RegistrationResult::waiting());
    h.delegate->activate();
    h.shortcut->change(RegistrationResult::bound());
    h.shortcut->change(RegistrationResult::lost("the desktop portal stopped"));
    EXPECT_EQ(h.tray->toolTip, QString::fromUtf8("Super+Shift+V stopped working: the desktop portal stopped"));
    h.shortcut->change(RegistrationResult::bound());
    h.delegate->activate();
    EXPECT_EQ(h.notes.delivered,
              (std::vector<Note>{{"Purlo", "Ready! Press Super+Shift+V to clean clipboard"},
                                 {"Purlo", "Super+Shift+V stopped working: the desktop portal stopped"},
                                 {"Purlo", "Super+Shift+V works again"},
                                 {"Purlo", "Purlo is already running: Super+Shift+V cleans the clipboard"}}));
}

TEST(Clicks, PanelIsMadeOnTheFirstLeftClickAndReused) {
    Harness h;
    h.tray->click(QSystemTrayIcon::Context);
    EXPECT_EQ(h.delegate->popover(), nullptr) << "a right click makes no panel";
    h.tray->click(QSystemTrayIcon::Trigger);
    purlo::PanelWindow* first = h.delegate->popover();
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
    // A press outside that lands on the icon closes the panel, and the
    // tray's click for that same press must not open it again, however it
    // was closed before.
    h.tray->click(QSystemTrayIcon::Trigger);
    first->hide();
    h.tray->click(QSystemTrayIcon::Trigger);
    EXPECT_FALSE(first->isVisible());
}

}  // namespace
