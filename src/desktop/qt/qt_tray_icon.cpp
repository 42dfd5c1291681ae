#include "desktop/qt/qt_tray_icon.hpp"

#include "desktop/x11/xembed_icon.hpp"

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QMenu>
#include <QSystemTrayIcon>

#include <xcb/xcb.h>

namespace purlo {

QtTrayIcon::QtTrayIcon(xcb_connection_t* x11, int x11Screen, QObject* parent)
    : TrayIcon(parent), tray_(new QSystemTrayIcon(this)), x11_(x11), x11Screen_(x11Screen) {
    connect(tray_, &QSystemTrayIcon::activated, this, &TrayIcon::activated);
    // The StatusNotifier watcher runs in the desktop's panel that hosts the
    // items, and goes when that panel stops.
    auto* watcher =
        new QDBusServiceWatcher(QStringLiteral("org.kde.StatusNotifierWatcher"), QDBusConnection::sessionBus(),
                                QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& owner) { hostChanged(!owner.isEmpty()); });
}

QtTrayIcon::~QtTrayIcon() = default;

bool QtTrayIcon::isAvailable() const { return QSystemTrayIcon::isSystemTrayAvailable(); }

void QtTrayIcon::setIcon(const QIcon& icon) {
    icon_ = icon;
    tray_->setIcon(icon);
    if (standIn_) standIn_->setIcon(icon);
}

void QtTrayIcon::setToolTip(const QString& text) {
    toolTip_ = text;
    tray_->setToolTip(text);
    if (standIn_) standIn_->setToolTip(text);
}

void QtTrayIcon::setMenu(QMenu* menu) {
    // Qt exports the menu over D-Bus (a platform menu) only for a
    // StatusNotifierItem, whose host draws it. An X11 tray leaves it to us,
    // and Qt would pop it up there a second time: it does not keep it.
    tray_->setContextMenu(menu);
    statusNotifier_ = menu && menu->platformMenu();
    if (!statusNotifier_) tray_->setContextMenu(nullptr);
}

void QtTrayIcon::show() { tray_->show(); }

void QtTrayIcon::hide() {
    tray_->hide();
    standIn_.reset();
    // Qt sends what the hide asked of the X server when its event loop next
    // turns; on the way out none will.
    if (x11_) xcb_flush(x11_);
}
QRect QtTrayIcon::geometry() const { return standIn_ ? standIn_->geometry() : tray_->geometry(); }

void QtTrayIcon::showMessage(const QString& title, const QString& body) {
    tray_->showMessage(title, body, QSystemTrayIcon::Information);
}

void QtTrayIcon::hostChanged(bool present) {
    if (present) {
        standIn_.reset();
        return;
    }
    if (!statusNotifier_ || !x11_ || !tray_->isVisible() || standIn_) return;
    standIn_ = std::make_unique<XEmbedIcon>(x11_, x11Screen_, icon_, toolTip_);
    connect(standIn_.get(), &XEmbedIcon::activated, this, &TrayIcon::activated);
}

}  // namespace purlo
