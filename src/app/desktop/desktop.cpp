#include "app/desktop/desktop.hpp"

#include "app/hotkey/null_backend.hpp"
#include "app/hotkey/portal_backend.hpp"
#ifdef PURLO_WAYLAND_CLIPBOARD
#include "app/platform/wayland_data_control.hpp"
#endif

#include <QGuiApplication>

namespace purlo {

#ifndef PURLO_WAYLAND_CLIPBOARD
// Built without libwayland-client: no compositor's data-control is reachable.
std::unique_ptr<ClipboardPasteboard> makeDataControlPasteboard() { return nullptr; }
#endif

Desktop makeDesktop(const SessionFacts& facts, const std::string& x11Display) {
    const std::string qtPlatform = QGuiApplication::platformName().toStdString();
    Desktop d;
    const bool wayland = sessionOf(facts) == Session::Wayland;
    std::unique_ptr<ClipboardPasteboard> dataControl = wayland ? makeDataControlPasteboard() : nullptr;
    d.plan = planFor(facts, qtPlatform, dataControl != nullptr);

    switch (d.plan.clipboard) {
        case ClipboardWay::DataControl: d.clipboard = std::move(dataControl); break;
        case ClipboardWay::X11: d.clipboard = makeX11Pasteboard(x11Display); break;
        case ClipboardWay::Qt: d.clipboard = makeQtPasteboard(); break;
    }

    switch (d.plan.shortcut) {
        case ShortcutWay::X11Grab: d.makeHotkey = [] { return makeHotkeyBackend(); }; break;
        case ShortcutWay::Portal: d.makeHotkey = [] { return makePortalHotkeyBackend(); }; break;
        case ShortcutWay::None: {
            const std::string why = sessionOf(facts) == Session::None
                                        ? "there is no desktop session to register Super+Shift+V in"
                                        : "Purlo cannot register shortcuts on the \"" + qtPlatform + "\" platform";
            d.makeHotkey = [why] { return std::make_unique<NullHotkeyBackend>(why); };
            break;
        }
    }
    return d;
}

}  // namespace purlo
