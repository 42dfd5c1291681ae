#include "desktop/qt/qt_tray_icon.hpp"

#include <QMenu>
#include <QSystemTrayIcon>

namespace purlo {

QtTrayIcon::QtTrayIcon(QObject* parent) : TrayIcon(parent), tray_(new QSystemTrayIcon(this)) {
    connect(tray_, &QSystemTrayIcon::activated, this, &TrayIcon::activated);
}

QtTrayIcon::~QtTrayIcon() = default;

bool QtTrayIcon::isAvailable() const { return QSystemTrayIcon::isSystemTrayAvailable(); }
void QtTrayIcon::setIcon(const QIcon& icon) { tray_->setIcon(icon); }
void QtTrayIcon::setToolTip(const QString& text) { tray_->setToolTip(text); }

void QtTrayIcon::setMenu(QMenu* menu) {
    // Qt exports the menu over D-Bus (a platform menu) only for a
    // StatusNotifierItem, whose host draws it. An X11 tray leaves it to us,
    // and Qt would pop it up there a second time: it does not keep it.
    tray_->setContextMenu(menu);
    if (!menu || !menu->platformMenu()) tray_->setContextMenu(nullptr);
}

void QtTrayIcon::show() { tray_->show(); }
QRect QtTrayIcon::geometry() const { return tray_->geometry(); }

void QtTrayIcon::showMessage(const QString& title, const QString& body) {
    tray_->showMessage(title, body, QSystemTrayIcon::Information);
}

}  // namespace purlo
