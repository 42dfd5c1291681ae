#pragma once
// The tray icon behind a small interface, so that the delegate can be driven
// by a fake in tests and by the desktop's tray in the program.

#include <QIcon>
#include <QObject>
#include <QRect>
#include <QString>
#include <QSystemTrayIcon>

class QMenu;

namespace purlo {

class TrayIcon : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~TrayIcon() override = default;

    // False where the desktop has no tray host to show the icon in.
    virtual bool isAvailable() const = 0;
    virtual void setIcon(const QIcon& icon) = 0;
    virtual void setToolTip(const QString& text) = 0;
    // The menu, for trays that draw it themselves (a StatusNotifier host
    // reads it over D-Bus); given before show(), as a host reads it when the
    // icon appears. Other trays leave it to the right click's handler.
    virtual void setMenu(QMenu* menu) = 0;
    virtual void show() = 0;
    // Takes the icon off the tray at once, also when no event loop runs any
    // more (on the way out).
    virtual void hide() = 0;
    // The icon's place on screen in global coordinates; empty when the tray
    // does not say (StatusNotifierItem hosts never do).
    virtual QRect geometry() const = 0;
    // The tray's own balloon, used when no notification server is there.
    virtual void showMessage(const QString& title, const QString& body) = 0;

signals:
    void activated(QSystemTrayIcon::ActivationReason reason);
};

}  // namespace purlo
