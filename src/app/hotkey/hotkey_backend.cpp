#include "app/hotkey/hotkey_backend.hpp"

#include "app/hotkey/null_backend.hpp"
#include "app/hotkey/x11_backend.hpp"

#include <QGuiApplication>

namespace purlo {

std::unique_ptr<HotkeyBackend> makeHotkeyBackend(QObject* parent) {
    qRegisterMetaType<purlo::HotkeyId>();
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app) return std::make_unique<NullHotkeyBackend>("there is no desktop session to register Super+Shift+V in", parent);

    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb")) {
        // Ask before touching anything of X: without a connection no xcb call may be made.
        if (auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>()) {
            if (xcb_connection_t* connection = x11->connection()) {
                return std::make_unique<X11HotkeyBackend>(connection, parent);
            }
        }
        return std::make_unique<NullHotkeyBackend>("there is no connection to the X server", parent);
    }
    return std::make_unique<NullHotkeyBackend>(
        "global shortcuts are not supported on the \"" + platform.toStdString() + "\" platform", parent);
}

}  // namespace purlo
