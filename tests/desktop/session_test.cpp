// Which shortcut and clipboard each kind of session gets, over the
// environment and what the compositor offers.
#include "desktop/session.hpp"
#include "desktop/desktop_binding.hpp"

#include <gtest/gtest.h>

namespace {

using namespace purlo;
using S = ShortcutWay;
using C = ClipboardWay;

TEST(Session, EachDesktopGetsTheWaysThatWorkThere) {
    const struct {
        const char* name;
        SessionFacts facts;
        bool dataControl;
        std::string qt;  // the platform Qt should be put on
        Plan plan;       // with Qt on that platform
    } rows[] = {
        {"x11", {"x11", "", ":0", ""}, false, "", {S::X11Grab, C::X11}},
        {"x11_unnamed_session", {"", "", ":0", ""}, false, "", {S::X11Grab, C::X11}},
        {"kwin_or_sway_with_xwayland", {"wayland", "wayland-0", ":1", ""}, true, "xcb", {S::Portal, C::DataControl}},
        {"gnome_xwayland_bridges_the_clipboard", {"wayland", "wayland-0", ":1", ""}, false, "xcb", {S::Portal, C::X11}},
        {"wayland_without_xwayland", {"wayland", "wayland-0", "", ""}, true, "", {S::Portal, C::DataControl}},
        {"wayland_nothing_offered", {"wayland", "wayland-0", "", ""}, false, "", {S::Portal, C::Qt}},
        {"session_type_unset_but_wayland", {"", "wayland-0", ":1", ""}, true, "xcb", {S::Portal, C::DataControl}},
        {"user_chose_wayland", {"wayland", "wayland-0", ":1", "wayland"}, true, "wayland", {S::Portal, C::DataControl}},
        {"x11_session_nested_wayland_display", {"x11", "wayland-1", ":0", ""}, true, "", {S::X11Grab, C::X11}},
        {"no_session", {"", "", "", ""}, false, "", {S::None, C::Qt}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(qtPlatformFor(r.facts), r.qt);
        const std::string running = r.qt.empty() ? (r.facts.x11Display.empty() ? "wayland" : "xcb") : r.qt;
        const Plan got = planFor(r.facts, running, r.dataControl);
        EXPECT_EQ(int(got.shortcut), int(r.plan.shortcut));
        EXPECT_EQ(int(got.clipboard), int(r.plan.clipboard));
    }
    // Qt on a platform without a desktop (tests, a bad QT_QPA_PLATFORM).
    EXPECT_EQ(planFor({"x11", "", ":0", "offscreen"}, "offscreen", false), (Plan{S::None, C::Qt}));
}

// Where the desktop itself runs `purlo --clean` on the chord, and which
// kind of desktop says where to bind it.
TEST(DesktopBinding, ReadsTheDesktopsOwnWords) {
    EXPECT_TRUE(isSuperShiftV("<Super><Shift>v") && isSuperShiftV("<Shift><Mod4>V"));
    EXPECT_FALSE(isSuperShiftV("<Super>v") || isSuperShiftV("<Super><Shift><Alt>v") ||
                 isSuperShiftV("<Super><Shift>b"));
    EXPECT_EQ(chordFromTrigger("Press <Shift><Super>v"), "Shift+Super+V");
    EXPECT_EQ(chordFromTrigger("<Primary><Alt>t"), "Ctrl+Alt+T");
    EXPECT_EQ(chordFromTrigger("Meta+Shift+V"), "Meta+Shift+V");
    EXPECT_TRUE(runsPurloClean("/usr/bin/purlo --clean") && runsPurloClean("env X=1 purlo --clean"));
    EXPECT_FALSE(runsPurloClean("purlo") || runsPurloClean("notpurlo --clean") || runsPurloClean("purlo-clean"));
    EXPECT_TRUE(swayConfigBindsClean("set $mod Mod4\nbindsym --release $mod+Shift+v exec purlo --clean\n"));
    EXPECT_TRUE(swayConfigBindsClean("bindsym Shift+Mod4+V exec /usr/bin/purlo --clean"));
    EXPECT_FALSE(swayConfigBindsClean("bindsym Mod4+v exec purlo --clean\nbindsym Mod4+Shift+v exec foot"));
    EXPECT_TRUE(labwcConfigBindsClean(
        R"(<labwc_config><keyboard><keybind key="S-W-V"><action name="Execute" command="purlo --clean"/>)"
        R"(</keybind></keyboard></labwc_config>)"));
    EXPECT_TRUE(labwcConfigBindsClean(
        R"(<labwc_config><keyboard><keybind key="W-S-v"><action name="execute"><command>/usr/bin/purlo --clean)"
        R"(</command></action></keybind></keyboard></labwc_config>)"));
    EXPECT_FALSE(labwcConfigBindsClean(
        R"(<labwc_config><keyboard><keybind key="W-v"><action name="Execute" command="purlo --clean"/></keybind>)"
        R"(<keybind key="W-S-v"><action name="Execute" command="foot"/></keybind></keyboard></labwc_config>)"));
    EXPECT_EQ(desktopKindOf({"ubuntu:GNOME", "", false}), DesktopKind::KeyboardSettings);
    EXPECT_EQ(desktopKindOf({"", "/run/user/1000/sway-ipc.sock", false}), DesktopKind::Sway);
    EXPECT_EQ(desktopKindOf({"", "", true}), DesktopKind::WindowManager);
    EXPECT_EQ(desktopKindOf({"", "", false}), DesktopKind::Unknown);
    EXPECT_TRUE(offersShortcutPortal("KDE") && !offersShortcutPortal("sway"));
}

}  // namespace
