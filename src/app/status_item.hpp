#pragma once
// The tray icon behind a small interface, so that the delegate can be driven
// by a fake in tests and by QSystemTrayIcon in the program.

#include <QIcon>
#include <QObject>
#include <QRect>
#include <QString>
#include <QSystemTrayIcon>

#include <memory>

class QSystemTrayIcon;

namespace purlo {

class StatusItem : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~StatusItem() override = default;

    // False where the desktop has no tray host to show the icon in.
    virtual bool isAvailable() const = 0;
    virtual void setIcon(const QIcon& icon) = 0;
    virtual void setToolTip(const QString& text) = 0;
    virtual void show() = 0;
    // The icon's place on screen in global coordinates; empty when the tray
    // does not say (StatusNotifierItem hosts never do).
    virtual QRect geometry() const = 0;
    // The tray's own balloon, used when no notification server is there.
    virtual void showMessage(const QString& title, const QString& body) = 0;

signals:
    void activated(QSystemTrayIcon::ActivationReason reason);
};

class TrayStatusItem final : public StatusItem {
    Q_OBJECT
public:
    explicit TrayStatusItem(QObject* parent = nullptr);
    ~TrayStatusItem() override;

    bool isAvailable() const override;
    void setIcon(const QIcon& icon) override;
    void setToolTip(const QString& text) override;
    void show() override;
    QRect geometry() const override;
    void showMessage(const QString& title, const QString& body) override;

private:
    QSystemTrayIcon* tray_;
};

// The theme's clipboard icon, or the one compiled into the program.
QIcon statusIcon();

}  // namespace purlo
