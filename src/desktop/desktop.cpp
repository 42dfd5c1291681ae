#include "desktop/desktop.hpp"

#include "desktop/dbus/portal_shortcut.hpp"
#include "desktop/null_shortcut.hpp"
#include "desktop/qt/qt_clipboard.hpp"
#include "desktop/qt/qt_tray_icon.hpp"
#include "desktop/x11/x11_clipboard.hpp"
#include "desktop/x11/x11_shortcut.hpp"
#ifdef PURLO_WAYLAND
#include "desktop/wayland/wayland_clipboard.hpp"
#endif

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>

namespace purlo {
namespace {

std::unique_ptr<Clipboard> makeDataControlClipboard([[maybe_unused]] SessionEnded ended) {
#ifdef PURLO_WAYLAND
    return makeWaylandClipboard(std::move(ended));
#else
    return nullptr;  // built without Wayland: no compositor's data-control is reachable
#endif
}

// Qt's own X connection, so that key presses reach us through Qt's event
// stream whichever window they are delivered to. Asked before anything of
// X is touched: without a connection no xcb call may be made.
xcb_connection_t* qtX11Connection() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    auto* x11 = app ? app->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

std::unique_ptr<ShortcutBackend> makeX11Grab() {
    if (xcb_connection_t* connection = qtX11Connection()) return std::make_unique<X11ShortcutBackend>(connection);
    return std::make_unique<NullShortcutBackend>("there is no connection to the X server");
}

// The X screen of the display Qt was given, whose tray holds the icon.
int x11Screen(const std::string& display) {
    char* host = nullptr;
    int displayNumber = 0, screen = 0;
    if (!xcb_parse_display(display.c_str(), &host, &displayNumber, &screen)) screen = 0;
    std::free(host);
    return screen;
}

}  // namespace

Desktop makeDesktop(const SessionFacts& facts, const DesktopFacts& desktop, const std::string& x11Display,
                    SessionEnded ended) {
    const std::string qtPlatform = QGuiApplication::platformName().toStdString();
    Desktop d;
    const bool wayland = sessionOf(facts) == Session::Wayland;
    std::unique_ptr<Clipboard> dataControl = wayland ? makeDataControlClipboard(std::move(ended)) : nullptr;
    d.plan = planFor(facts, qtPlatform, dataControl != nullptr);

    switch (d.plan.clipboard) {
        case ClipboardWay::DataControl: d.clipboard = std::move(dataControl); break;
        case ClipboardWay::X11: d.clipboard = makeX11Clipboard(x11Display); break;
        case ClipboardWay::Qt: d.clipboard = makeQtClipboard(); break;
    }

    std::function<std::unique_ptr<ShortcutBackend>()> registering;
    switch (d.plan.shortcut) {
        case ShortcutWay::X11Grab: registering = makeX11Grab; break;
        case ShortcutWay::Portal: registering = [] { return makePortalShortcutBackend(); }; break;
        case ShortcutWay::None: {
            const std::string why = sessionOf(facts) == Session::None
                                        ? "there is no desktop session to register Super+Shift+V in"
                                        : "Purlo cannot register shortcuts on the \"" + qtPlatform + "\" platform";
            registering = [why] { return std::make_unique<NullShortcutBackend>(why); };
            break;
        }
    }
    DesktopFacts here = desktop;
    here.x11 = sessionOf(facts) == Session::X11;
    d.makeShortcut = [registering, here] { return withDesktopBinding(registering(), here); };
    d.makeTrayIcon = [screen = x11Screen(x11Display)] {
        return std::make_unique<QtTrayIcon>(qtX11Connection(), screen);
    };
    d.noTrayAdvice = noTrayAdvice(desktop.currentDesktop);
    return d;
}

}  // namespace purlo
