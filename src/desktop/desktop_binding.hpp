#pragma once
// Where Purlo cannot register Super+Shift+V itself, the desktop can run
// `purlo --clean` on it from a binding of its own. This knows which kind of
// desktop the session is, where each kind keeps such a binding, whether the
// binding is there, and what to tell the user on each.

#include "desktop/shortcut.hpp"

#include <memory>
#include <string>
#include <string_view>

namespace purlo {

// What the session says of its desktop.
struct DesktopFacts {
    std::string currentDesktop;  // XDG_CURRENT_DESKTOP: "GNOME", "KDE", "sway", "ubuntu:GNOME"...
    std::string swaySocket;      // SWAYSOCK
    bool x11 = false;            // an X11 session (the picker fills it in)
};
DesktopFacts desktopFromEnvironment();

enum class DesktopKind {
    KeyboardSettings,  // GNOME, Plasma, Xfce and the like: a settings page binds keys to commands
    Sway,              // bindings in sway's configuration
    Hyprland,          // bindings in hyprland.conf
    Labwc,             // keybinds in labwc's rc.xml
    WindowManager,     // another X11 session: a window manager's or xbindkeys' bindings
    Unknown,           // another Wayland compositor: cage, weston...
};

// From XDG_CURRENT_DESKTOP, and SWAYSOCK for a sway that does not set it.
DesktopKind desktopKindOf(const DesktopFacts& desktop);

// GNOME, Plasma and Hyprland offer the shortcut portal; elsewhere a portal
// that answers is some other desktop's, installed beside.
bool offersShortcutPortal(std::string_view currentDesktop);

// How to bind the chord to `purlo --clean` on this kind of desktop, as one
// sentence for the user.
std::string bindingAdvice(DesktopKind kind);
// How to get the tray icon shown, and how to quit without it.
std::string noTrayAdvice(std::string_view currentDesktop);

// Whether a binding as the desktop writes it means Super+Shift+V: GNOME's
// "<Super><Shift>v", sway's "Mod4+Shift+v" (after its `set $var`s).
bool isSuperShiftV(std::string_view gnomeAccelerator);
bool isSuperShiftVCombo(std::string_view swayCombo);
// A portal's trigger description as the chord is written everywhere else:
// GNOME's "Press <Shift><Super>v" becomes "Shift+Super+V"; KDE's
// "Meta+Shift+V" stays as it is.
std::string chordFromTrigger(std::string_view trigger);
// Whether a command line runs `purlo --clean`.
bool runsPurloClean(std::string_view command);
// Whether sway's configuration text binds Super+Shift+V to `purlo --clean`.
bool swayConfigBindsClean(std::string_view config);
// Whether labwc's rc.xml text binds W-S-v to `purlo --clean`.
bool labwcConfigBindsClean(std::string_view rcXml);

// Wraps the backend that tries to register the chord: when that one cannot,
// a binding of the desktop's own running `purlo --clean` on Super+Shift+V
// makes the shortcut work after all; without one, the result says how to
// make it here.
std::unique_ptr<ShortcutBackend> withDesktopBinding(std::unique_ptr<ShortcutBackend> inner, DesktopFacts desktop);

}  // namespace purlo
