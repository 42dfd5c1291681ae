#pragma once
// Which way each desktop service goes, decided in one place: first by the
// session the user logged into, then by what its compositor offers. Pure,
// so that the whole table can be tested without any of those desktops.

#include <string>

namespace purlo {

struct SessionFacts {
    std::string sessionType;     // XDG_SESSION_TYPE
    std::string waylandDisplay;  // WAYLAND_DISPLAY
    std::string x11Display;      // -display, else DISPLAY (Xwayland's, on Wayland)
    std::string qtPlatform;      // QT_QPA_PLATFORM as the user set it; empty when unset
};

enum class Session { X11, Wayland, None };
enum class ShortcutWay {
    X11Grab,  // a passive key grab on the X server
    Portal,   // org.freedesktop.portal.GlobalShortcuts
    None,     // the user binds `purlo --clean` in the desktop's settings
};
enum class ClipboardWay {
    X11,          // our own selection reader and owner
    DataControl,  // zwlr_data_control_manager_v1, without focus
    Qt,           // QClipboard: only what Qt's platform sees
};

struct Plan {
    ShortcutWay shortcut;
    ClipboardWay clipboard;
    bool operator==(const Plan&) const = default;
};

Session sessionOf(const SessionFacts& facts);

// The Qt platform to run on, or empty to let Qt choose. On a Wayland session
// with Xwayland, xcb: the panel and menu stay popups there, while on the
// wayland platform they become ordinary windows in the taskbar (and sway
// tiles the menu full screen). The user's own choice always stands.
std::string qtPlatformFor(const SessionFacts& facts);

// `dataControl`: whether the compositor offers data-control. `qtPlatform`:
// the platform Qt runs on ("xcb", "wayland", "offscreen"...).
Plan planFor(const SessionFacts& facts, const std::string& qtPlatform, bool dataControl);

// Facts from the environment; `x11Display` overrides DISPLAY (-display).
SessionFacts sessionFromEnvironment(const std::string& x11Display);

}  // namespace purlo
