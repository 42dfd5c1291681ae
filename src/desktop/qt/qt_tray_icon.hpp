#pragma once
// The tray icon through QSystemTrayIcon: a StatusNotifierItem where a host
// is registered on the session bus, an XEmbed icon in an X11 tray otherwise.
//
// Qt makes that choice once per process (Qt 6.4 keeps its first answer), so
// once the icon is a StatusNotifierItem every QSystemTrayIcon would be one.
// When its host goes away (its panel stopped), an XEmbedIcon stands in for
// it in the X11 tray there is or will be, until a host returns and Qt
// registers the item with it again.

#include "desktop/tray_icon.hpp"

#include <memory>

class QSystemTrayIcon;
struct xcb_connection_t;

namespace purlo {

class XEmbedIcon;

class QtTrayIcon final : public TrayIcon {
    Q_OBJECT
public:
    // `x11`: Qt's own X connection and its screen, for the stand-in; null
    // where Qt does not run on X.
    explicit QtTrayIcon(xcb_connection_t* x11 = nullptr, int x11Screen = 0, QObject* parent = nullptr);
    ~QtTrayIcon() override;

    bool isAvailable() const override;
    void setIcon(const QIcon& icon) override;
    void setToolTip(const QString& text) override;
    void setMenu(QMenu* menu) override;
    void show() override;
    void hide() override;
    QRect geometry() const override;
    void showMessage(const QString& title, const QString& body) override;

private:
    void hostChanged(bool present);

    QSystemTrayIcon* tray_;
    xcb_connection_t* x11_;
    int x11Screen_;
    bool statusNotifier_ = false;  // known once the menu is given
    std::unique_ptr<XEmbedIcon> standIn_;
    QIcon icon_;
    QString toolTip_;
};

}  // namespace purlo
