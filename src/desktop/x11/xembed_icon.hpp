#pragma once
// An icon in an X11 tray (XEmbed) for as long as it lives: docked in the
// tray there is, and again in each tray that appears later. The tray icon
// stands it in when its StatusNotifier host has gone, because Qt cannot
// give it an XEmbed icon any more (see qt_tray_icon.hpp).

#include <QAbstractNativeEventFilter>
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QSystemTrayIcon>

#include <xcb/xcb.h>

namespace purlo {

class XEmbedIcon final : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    // `connection`: Qt's own, whose windows Qt docks; `screen`: the X screen
    // whose tray to use.
    XEmbedIcon(xcb_connection_t* connection, int screen, const QIcon& icon, const QString& toolTip);
    ~XEmbedIcon() override;

    void setIcon(const QIcon& icon);
    void setToolTip(const QString& text);
    // Empty while no tray holds the icon.
    QRect geometry() const;

signals:
    void activated(QSystemTrayIcon::ActivationReason reason);

private:
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
    void dock();

    xcb_connection_t* c_;
    xcb_window_t root_ = XCB_NONE;
    xcb_atom_t selection_ = XCB_NONE, manager_ = XCB_NONE;
    QIcon icon_;
    QString toolTip_;
    QPointer<QWidget> window_;
};

}  // namespace purlo
