#pragma once
// The desktop services Purlo runs on, chosen once per start: the clipboard,
// the shortcut and the tray icon. Each way lives in the folder of its
// technology (x11/, wayland/, dbus/, qt/); this is the one place that picks
// among them, by the rules of session.hpp.

#include "desktop/clipboard.hpp"
#include "desktop/desktop_binding.hpp"
#include "desktop/session.hpp"
#include "desktop/shortcut.hpp"
#include "desktop/tray_icon.hpp"

#include <functional>
#include <memory>
#include <string>

namespace purlo {

struct Desktop {
    Plan plan;
    std::unique_ptr<Clipboard> clipboard;
    // Called during launch, after the tray icon exists.
    std::function<std::unique_ptr<ShortcutBackend>()> makeShortcut;
    std::function<std::unique_ptr<TrayIcon>()> makeTrayIcon;
    // What to tell the user when no tray shows the icon.
    std::string noTrayAdvice;
};

// Called once, from any thread, when the Wayland session that the chosen
// services hold a connection to has ended (its compositor went away): they
// work no more.
using SessionEnded = std::function<void()>;

// After QApplication exists. `x11Display` is the X display Qt was given.
Desktop makeDesktop(const SessionFacts& facts, const DesktopFacts& desktop, const std::string& x11Display,
                    SessionEnded ended);

}  // namespace purlo
