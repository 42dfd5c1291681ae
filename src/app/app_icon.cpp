#include "app/app_icon.hpp"

// The icon lives in a static library; its resource would be dropped by the
// linker unless something refers to it.
static void initAppResources() { Q_INIT_RESOURCE(app); }

namespace purlo {

QIcon appIcon() {
    static const char* const themeNames[] = {"edit-paste", "edit-paste-symbolic", "klipper", "gpaste"};
    for (const char* name : themeNames) {
        QIcon icon = QIcon::fromTheme(QString::fromLatin1(name));
        if (!icon.isNull()) return icon;
    }
    initAppResources();
    return QIcon(QStringLiteral(":/purlo/app/clipboard.svg"));
}

}  // namespace purlo
