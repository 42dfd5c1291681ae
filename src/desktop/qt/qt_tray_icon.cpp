#include "desktop/qt/qt_tray_icon.hpp"

#include <QSystemTrayIcon>

namespace purlo {

QtTrayIcon::QtTrayIcon(QObject* parent) : TrayIcon(parent), tray_(new QSystemTrayIcon(this)) {
    connect(tray_, &QSystemTrayIcon::activated, this, &TrayIcon::activated);
}

QtTrayIcon::~QtTrayIcon() = default;

bool QtTrayIcon::isAvailable() const { return QSystemTrayIcon::isSystemTrayAvailable(); }
void QtTrayIcon::setIcon(const QIcon& icon) { tray_->setIcon(icon); }
void QtTrayIcon::setToolTip(const QString& text) { tray_->setToolTip(text); }
void QtTrayIcon::show() { tray_->show(); }
QRect QtTrayIcon::geometry() const { return tray_->geometry(); }

void QtTrayIcon::showMessage(const QString& title, const QString& body) {
    tray_->showMessage(title, body, QSystemTrayIcon::Information);
}

}  // namespace purlo
