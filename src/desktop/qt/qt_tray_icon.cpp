#include "desktop/qt/qt_tray_icon.hpp"

#include <QGuiApplication>
#include <QSystemTrayIcon>

#include <xcb/xcb.h>

namespace purlo {

QtTrayIcon::QtTrayIcon(QObject* parent) : TrayIcon(parent), tray_(new QSystemTrayIcon(this)) {
    connect(tray_, &QSystemTrayIcon::activated, this, &TrayIcon::activated);
}

QtTrayIcon::~QtTrayIcon() = default;

bool QtTrayIcon::isAvailable() const { return QSystemTrayIcon::isSystemTrayAvailable(); }
void QtTrayIcon::setIcon(const QIcon& icon) { tray_->setIcon(icon); }
void QtTrayIcon::setToolTip(const QString& text) { tray_->setToolTip(text); }
void QtTrayIcon::show() { tray_->show(); }

void QtTrayIcon::hide() {
    tray_->hide();
    // Qt sends what the hide asked of the X server when its event loop next
    // turns; on the way out none will.
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    auto* x11 = app ? app->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (xcb_connection_t* c = x11 ? x11->connection() : nullptr) xcb_flush(c);
}
QRect QtTrayIcon::geometry() const { return tray_->geometry(); }

void QtTrayIcon::showMessage(const QString& title, const QString& body) {
    tray_->showMessage(title, body, QSystemTrayIcon::Information);
}

}  // namespace purlo
