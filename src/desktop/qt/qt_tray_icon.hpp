#pragma once
// The tray icon through QSystemTrayIcon: a StatusNotifierItem where a host
// is registered on the session bus, an XEmbed icon in an X11 tray otherwise.

#include "desktop/tray_icon.hpp"

class QSystemTrayIcon;

namespace purlo {

class QtTrayIcon final : public TrayIcon {
    Q_OBJECT
public:
    explicit QtTrayIcon(QObject* parent = nullptr);
    ~QtTrayIcon() override;

    bool isAvailable() const override;
    void setIcon(const QIcon& icon) override;
    void setToolTip(const QString& text) override;
    void setMenu(QMenu* menu) override;
    void show() override;
    QRect geometry() const override;
    void showMessage(const QString& title, const QString& body) override;

private:
    QSystemTrayIcon* tray_;
};

}  // namespace purlo
