#include "app/status_item.hpp"

#include <QSystemTrayIcon>

// The icon lives in a static library; its resource would be dropped by the
// linker unless something refers to it.
static void initAppResources() { Q_INIT_RESOURCE(app); }

namespace purlo {

TrayStatusItem::TrayStatusItem(QObject* parent)
    : StatusItem(parent), tray_(new QSystemTrayIcon(this))
{
    connect(tray_, &QSystemTrayIcon::activated, this, &StatusItem::activated);
}

TrayStatusItem::~TrayStatusItem() = default;

bool TrayStatusItem::isAvailable() const { return QSystemTrayIcon::isSystemTrayAvailable(); }
void TrayStatusItem::setIcon(const QIcon& icon) { tray_->setIcon(icon); }
void TrayStatusItem::setToolTip(const QString& text) { tray_->setToolTip(text); }
void TrayStatusItem::show() { tray_->show(); }
QRect TrayStatusItem::geometry() const { return tray_->geometry(); }

void TrayStatusItem::showMessage(const QString& title, const QString& body)
{
    tray_->showMessage(title, body, QSystemTrayIcon::Information);
}

QIcon statusIcon()
{
    static const char* const themeNames[] = {"edit-paste", "edit-paste-symbolic",
                                             "klipper", "gpaste"};
    for (const char* name : themeNames) {
        QIcon icon = QIcon::fromTheme(QString::fromLatin1(name));
        if (!icon.isNull()) return icon;
    }
    initAppResources();
    return QIcon(QStringLiteral(":/purlo/app/clipboard.svg"));
}

}  // namespace purlo
