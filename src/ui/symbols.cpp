#include "ui/symbols.hpp"

#include <QFile>
#include <QPainter>

#include <array>
#include <utility>

namespace purlo {
namespace {

struct SymbolName {
    const char* symbol;
    const char* theme;
};

constexpr std::array<SymbolName, 4> kSymbols{{
    {"clipboard", "edit-paste"},
    {"plain-text", "format-text-bold"},
    {"link", "insert-link"},
    {"whitespace", "format-justify-left"},
}};

QString resourcePath(const QString& name) { return QStringLiteral(":/purlo/symbols/%1.svg").arg(name); }

}  // namespace

QString themeNameForSymbol(const QString& name) {
    for (const auto& s : kSymbols) {
        if (name == QLatin1String(s.symbol)) return QString::fromLatin1(s.theme);
    }
    return {};
}

QIcon symbolIcon(const QString& name) {
    QIcon fallback;
    const QString path = resourcePath(name);
    if (QFile::exists(path)) fallback = QIcon(path);

    const QString theme = themeNameForSymbol(name);
    if (theme.isEmpty() || QIcon::themeName().isEmpty()) return fallback;
    // Full-colour theme icons turn into a flat silhouette once tinted, so the
    // monochrome variant is the better match when the theme has one.
    QIcon icon = QIcon::fromTheme(theme + QStringLiteral("-symbolic"));
    if (icon.isNull()) icon = QIcon::fromTheme(theme);
    return icon.isNull() ? fallback : icon;
}

QPixmap tintedSymbol(const QIcon& icon, int side, const QColor& tint, qreal devicePixelRatio) {
    const qreal dpr = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    const int px = qMax(1, qRound(side * dpr));
    QPixmap out(px, px);
    out.setDevicePixelRatio(dpr);
    out.fill(Qt::transparent);
    if (icon.isNull() || side <= 0) return out;

    // Ask for device pixels directly: the theme engine then picks the best
    // size from the theme and the SVG engine renders at full resolution.
    const QPixmap source = icon.pixmap(QSize(px, px), 1.0);
    QPainter p(&out);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QSize s = source.size().scaled(px, px, Qt::KeepAspectRatio);
    const QRectF target(QPointF((px - s.width()) / 2.0, (px - s.height()) / 2.0) / dpr, QSizeF(s) / dpr);
    p.drawPixmap(target, source, QRectF(source.rect()));
    // Keep the coverage, replace the colour.
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.fillRect(QRectF(0, 0, side, side), tint);
    p.end();
    return out;
}

}  // namespace purlo
