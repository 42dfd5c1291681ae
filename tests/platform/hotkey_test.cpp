// The X11 backend against a real X server: real key presses from xdotool
// (XTEST) and real competing clients on connections of their own.
#include "app/hotkey/hotkey_backend.hpp"
#include "test_support.hpp"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QMenu>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace purlo {
namespace {

using test::runTool;
using test::waitUntil;

constexpr std::uint32_t kKeysymF12 = 0xffc9;
constexpr std::uint32_t kKeysymV = 0x0076;

bool onX11() { return QGuiApplication::platformName() == QLatin1String("xcb"); }

xcb_connection_t* qtConnection() {
    return qApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}

xcb_window_t rootOf(xcb_connection_t* c) { return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root; }

std::vector<xcb_keycode_t> keycodesOf(xcb_connection_t* c, std::uint32_t keysym) {
    xcb_key_symbols_t* syms = xcb_key_symbols_alloc(c);
    std::vector<xcb_keycode_t> out;
    if (xcb_keycode_t* codes = xcb_key_symbols_get_keycode(syms, keysym)) {
        for (xcb_keycode_t* k = codes; *k != XCB_NO_SYMBOL; ++k) out.push_back(*k);
        std::free(codes);
    }
    xcb_key_symbols_free(syms);
    return out;
}

// F12, grabbed on Qt's own connection, marks the end of a key sequence:
// events of one connection arrive in order, so once F12 is seen every
// earlier press has been through the backend.
class Marker : public QAbstractNativeEventFilter {
public:
    Marker() {
        codes_ = keycodesOf(qtConnection(), kKeysymF12);
        for (auto code : codes_) {
            xcb_grab_key(qtConnection(), 1, rootOf(qtConnection()), XCB_MOD_MASK_ANY, code, XCB_GRAB_MODE_ASYNC,
                         XCB_GRAB_MODE_ASYNC);
        }
        xcb_flush(qtConnection());
        qApp->installNativeEventFilter(this);
    }
    ~Marker() override {
        qApp->removeNativeEventFilter(this);
        for (auto code : codes_) xcb_ungrab_key(qtConnection(), code, rootOf(qtConnection()), XCB_MOD_MASK_ANY);
        xcb_flush(qtConnection());
    }
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t") return false;
        auto* e = static_cast<xcb_generic_event_t*>(message);
        if ((e->response_type & 0x7f) != XCB_KEY_PRESS) return false;
        auto* k = reinterpret_cast<xcb_key_press_event_t*>(e);
        for (auto code : codes_) {
            if (k->detail == code) {
                ++seen;
                return true;
            }
        }
        return false;
    }
    int seen = 0;

private:
    std::vector<xcb_keycode_t> codes_;
};

// Sends the xdotool key commands, then the marker, and waits for the marker.
void press(Marker& marker, const QStringList& xdotoolArgs) {
    const int before = marker.seen;
    QStringList args = xdotoolArgs;
    args << "key" << "F12";
    ASSERT_EQ(runTool("xdotool", args).exitCode, 0) << args.join(' ').toStdString();
    ASSERT_TRUE(waitUntil([&] { return marker.seen > before; })) << "the marker key never arrived";
    QCoreApplication::processEvents();
}

// Another X client, on a connection of its own, holding key grabs.
class Competitor {
public:
    Competitor() : c_(xcb_connect(nullptr, nullptr)) {}
    ~Competitor() { xcb_disconnect(c_); }
    // Grabs V with `mods` on every keycode of v; true when the server agreed.
    bool grabV(std::uint16_t mods) {
        bool ok = true;
        for (auto code : keycodesOf(c_, kKeysymV)) {
            auto cookie = xcb_grab_key_checked(c_, 1, rootOf(c_), mods, code, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
            if (auto* err = xcb_request_check(c_, cookie)) {
                std::free(err);
                ok = false;
            }
        }
        return ok;
    }

private:
    xcb_connection_t* c_;
};

class X11Hotkey : public ::testing::Test {
protected:
    void SetUp() override {
        if (!onX11()) GTEST_SKIP() << "needs the X server of tests/e2e/harness.sh";
    }
};

struct PressCase {
    const char* name;
    QStringList xdotool;
    int expected;
};

TEST_F(X11Hotkey, OnlyExactlySuperShiftVActivates) {
    const std::vector<PressCase> cases = {
        {"super_shift_v", {"key", "super+shift+v"}, 1},
        {"two_presses_two_activations", {"key", "super+shift+v", "key", "super+shift+v"}, 2},
        {"ctrl_shift_v", {"key", "ctrl+shift+v"}, 0},
        {"super_v", {"key", "super+v"}, 0},
        {"super_shift_alt_v", {"key", "super+shift+alt+v"}, 0},
        {"super_shift_other_key", {"key", "super+shift+b"}, 0},
        {"numlock_on", {"key", "Num_Lock", "key", "super+shift+v", "key", "Num_Lock"}, 1},
        {"capslock_on", {"key", "Caps_Lock", "key", "super+shift+v", "key", "Caps_Lock"}, 1},
        {"numlock_and_capslock_on",
         {"key", "Num_Lock", "key", "Caps_Lock", "key", "super+shift+v", "key", "Caps_Lock", "key", "Num_Lock"},
         1},
    };
    auto backend = makeHotkeyBackend();
    ASSERT_STREQ(backend->name(), "X11");
    const RegistrationResult reg = backend->registerHotkey(kCleanHotkey);
    ASSERT_TRUE(reg.ok) << reg.reason;
    EXPECT_TRUE(reg.reason.empty());

    std::vector<HotkeyId> got;
    QObject::connect(backend.get(), &HotkeyBackend::activated, [&](HotkeyId id) { got.push_back(id); });
    Marker marker;
    for (const PressCase& c : cases) {
        SCOPED_TRACE(c.name);
        got.clear();
        press(marker, c.xdotool);
        EXPECT_EQ(int(got.size()), c.expected);
        for (const HotkeyId& id : got) {
            EXPECT_EQ(id.signature, fourCharCode("PRLO"));
            EXPECT_EQ(id.id, 1u);
        }
    }
}

TEST_F(X11Hotkey, TakenCombinationFailsAndLeavesNoPartialGrab) {
    struct TakenCase {
        const char* name;
        std::uint16_t competitorMods;
    };
    const std::uint16_t base = XCB_MOD_MASK_4 | XCB_MOD_MASK_SHIFT;
    for (const TakenCase& c : {TakenCase{"plain_variant_taken", base},
                               TakenCase{"only_capslock_variant_taken", std::uint16_t(base | XCB_MOD_MASK_LOCK)}}) {
        SCOPED_TRACE(c.name);
        auto backend = makeHotkeyBackend();
        {
            Competitor other;
            ASSERT_TRUE(other.grabV(c.competitorMods));
            const RegistrationResult reg = backend->registerHotkey(kCleanHotkey);
            EXPECT_FALSE(reg.ok);
            EXPECT_TRUE(reg.taken);
            EXPECT_NE(reg.reason.find("taken"), std::string::npos) << reg.reason;

            // Whatever variants we got before the refusal were given back: a
            // third client can take all four.
            Competitor third;
            const std::uint16_t free = c.competitorMods == base ? std::uint16_t(base | XCB_MOD_MASK_LOCK) : base;
            EXPECT_TRUE(third.grabV(free));
        }
        // Once the other program lets go, registering works and fires.
        const RegistrationResult again = backend->registerHotkey(kCleanHotkey);
        ASSERT_TRUE(again.ok) << again.reason;
        int fired = 0;
        QObject::connect(backend.get(), &HotkeyBackend::activated, [&](HotkeyId) { ++fired; });
        Marker marker;
        press(marker, {"key", "super+shift+v"});
        EXPECT_EQ(fired, 1);
    }
}

// Rewrites keycodes' symbols on a connection of its own, as a layout switch
// would, and puts them back afterwards.
class KeymapEdit {
public:
    KeymapEdit() : c_(xcb_connect(nullptr, nullptr)) {
        const xcb_setup_t* setup = xcb_get_setup(c_);
        min_ = setup->min_keycode;
        count_ = setup->max_keycode - setup->min_keycode + 1;
        auto* reply = xcb_get_keyboard_mapping_reply(c_, xcb_get_keyboard_mapping(c_, min_, count_), nullptr);
        perCode_ = reply->keysyms_per_keycode;
        const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(reply);
        saved_.assign(syms, syms + count_ * perCode_);
        std::free(reply);
    }
    ~KeymapEdit() {
        xcb_change_keyboard_mapping(c_, count_, min_, perCode_, saved_.data());
        xcb_aux_sync();
        xcb_disconnect(c_);
    }
    // A keycode that currently produces nothing.
    xcb_keycode_t unusedKeycode() const {
        for (int i = count_ - 1; i >= 0; --i) {
            bool empty = true;
            for (int j = 0; j < perCode_; ++j) empty = empty && saved_[i * perCode_ + j] == 0;
            if (empty) return xcb_keycode_t(min_ + i);
        }
        return 0;
    }
    void set(xcb_keycode_t code, std::vector<xcb_keysym_t> syms) {
        syms.resize(perCode_, 0);
        xcb_change_keyboard_mapping(c_, 1, code, perCode_, syms.data());
        xcb_aux_sync();
    }

private:
    void xcb_aux_sync() { std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr)); }

    xcb_connection_t* c_;
    xcb_keycode_t min_ = 0;
    int count_ = 0;
    int perCode_ = 0;
    std::vector<xcb_keysym_t> saved_;
};

TEST_F(X11Hotkey, FollowsTheVKeyAcrossMappingChangesAndSaysWhenItIsGone) {
    auto backend = makeHotkeyBackend();
    ASSERT_TRUE(backend->registerHotkey(kCleanHotkey).ok);
    int fired = 0;
    std::vector<bool> changes;
    QObject::connect(backend.get(), &HotkeyBackend::activated, [&](HotkeyId) { ++fired; });
    QObject::connect(backend.get(), &HotkeyBackend::registrationChanged,
                     [&](const RegistrationResult& r) { changes.push_back(r.ok); });
    Marker marker;

    const std::vector<xcb_keycode_t> oldCodes = keycodesOf(qtConnection(), kKeysymV);
    ASSERT_FALSE(oldCodes.empty());
    KeymapEdit keymap;
    const xcb_keycode_t fresh = keymap.unusedKeycode();
    ASSERT_NE(fresh, 0);
    keymap.set(fresh, {kKeysymV, 0x0056});
    for (auto code : oldCodes) keymap.set(code, {});
    // The marker's own round trip lets the mapping notification and the
    // re-grab it queues go through before the real press.
    press(marker, {});
    press(marker, {"key", "super+shift+v"});
    EXPECT_EQ(fired, 1) << "V moved to keycode " << int(fresh) << " and the grab did not follow";
    EXPECT_TRUE(changes.empty()) << "it still works: nothing to say";

    keymap.set(fresh, {});  // no V at all, then V back
    press(marker, {});
    keymap.set(fresh, {kKeysymV, 0x0056});
    press(marker, {});
    EXPECT_EQ(changes, (std::vector<bool>{false, true}));
}


// While one of our own popups holds the keyboard, the press goes to that
// popup instead of the root grab; it still has to count.
TEST_F(X11Hotkey, CountsWhileOurOwnPopupHoldsTheKeyboard) {
    auto backend = makeHotkeyBackend();
    ASSERT_TRUE(backend->registerHotkey(kCleanHotkey).ok);
    int fired = 0;
    QObject::connect(backend.get(), &HotkeyBackend::activated, [&](HotkeyId) { ++fired; });
    Marker marker;

    QMenu menu;
    menu.addAction("Close");
    menu.popup(QPoint(100, 100));
    // Ready once the X server says someone (the menu) holds the keyboard.
    xcb_connection_t* probe = xcb_connect(nullptr, nullptr);
    const auto keyboardTaken = [&] {
        auto* r = xcb_grab_keyboard_reply(
            probe, xcb_grab_keyboard(probe, 0, rootOf(probe), XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
            nullptr);
        const bool taken = r && r->status == XCB_GRAB_STATUS_ALREADY_GRABBED;
        std::free(r);
        if (!taken) {  // we got it ourselves: give it back at once
            xcb_ungrab_keyboard(probe, XCB_CURRENT_TIME);
            std::free(xcb_get_input_focus_reply(probe, xcb_get_input_focus(probe), nullptr));
        }
        return taken;
    };
    const bool held = waitUntil([&] { return menu.isVisible() && keyboardTaken(); });
    xcb_disconnect(probe);
    ASSERT_TRUE(held) << "the menu never took the keyboard";
    press(marker, {"key", "super+shift+v"});
    EXPECT_EQ(fired, 1);
    EXPECT_TRUE(menu.isVisible()) << "the shortcut is ours; the menu must not see it as a key";
    // Every other key is the menu's: Escape, and V on its own, still reach it.
    press(marker, {"key", "v", "key", "Escape"});
    EXPECT_TRUE(waitUntil([&] { return !menu.isVisible(); })) << "the backend swallowed a key that is not its own";
    EXPECT_EQ(fired, 1);
}

}  // namespace
}  // namespace purlo
