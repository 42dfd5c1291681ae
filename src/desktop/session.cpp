#include "desktop/session.hpp"

#include <cstdlib>

namespace purlo {

Session sessionOf(const SessionFacts& f) {
    // The session type is the login's own word; a WAYLAND_DISPLAY alone
    // (a nested compositor, say) counts only where the login did not say.
    if (f.sessionType == "wayland") return Session::Wayland;
    if (f.sessionType == "x11") return f.x11Display.empty() ? Session::None : Session::X11;
    if (!f.waylandDisplay.empty()) return Session::Wayland;
    return f.x11Display.empty() ? Session::None : Session::X11;
}

std::string qtPlatformFor(const SessionFacts& f) {
    if (!f.qtPlatform.empty()) return f.qtPlatform;
    if (sessionOf(f) == Session::Wayland && !f.x11Display.empty()) return "xcb";
    return {};
}

Plan planFor(const SessionFacts& f, const std::string& qtPlatform, bool dataControl) {
    const bool onX = qtPlatform == "xcb";
    switch (sessionOf(f)) {
        case Session::X11:
            return {onX ? ShortcutWay::X11Grab : ShortcutWay::None, onX ? ClipboardWay::X11 : ClipboardWay::Qt};
        case Session::Wayland:
            // Never the X key grab here: it "succeeds" on Xwayland but sees
            // the chord only while an X11 window has focus. Xwayland's
            // clipboard is only trusted where no data-control exists
            // (mutter bridges it both ways without focus; KWin and sway do
            // not, and there data-control is offered).
            return {ShortcutWay::Portal, dataControl ? ClipboardWay::DataControl
                                         : onX       ? ClipboardWay::X11
                                                     : ClipboardWay::Qt};
        case Session::None: break;
    }
    return {ShortcutWay::None, onX ? ClipboardWay::X11 : ClipboardWay::Qt};
}

SessionFacts sessionFromEnvironment(const std::string& x11Display) {
    auto env = [](const char* name) {
        const char* v = std::getenv(name);
        return std::string(v ? v : "");
    };
    return {env("XDG_SESSION_TYPE"), env("WAYLAND_DISPLAY"), x11Display.empty() ? env("DISPLAY") : x11Display,
            env("QT_QPA_PLATFORM")};
}

}  // namespace purlo
