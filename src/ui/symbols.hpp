#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

namespace purlo {

// The panel names its symbols by what they show ("clipboard", "plain-text",
// "link", "whitespace"). symbolIcon() looks each one up
// in the desktop's icon theme under its freedesktop name, preferring the
// monochrome "-symbolic" variant, and falls back to the small SVG drawn for
// this program (compiled in under :/purlo/symbols/), so the panel has its
// symbols also where no icon theme is installed. An unknown name gives a null
// icon.
QIcon symbolIcon(const QString& name);

// The freedesktop icon-theme name used for a symbol, or an empty string.
QString themeNameForSymbol(const QString& name);

// Renders the icon into a square of side `side` device-independent pixels and
// paints every covered pixel with `tint`, keeping only the icon's coverage
// (alpha). The result carries `devicePixelRatio`, so it stays sharp on HiDPI
// screens. A null icon gives a transparent pixmap of the same size.
QPixmap tintedSymbol(const QIcon& icon, int side, const QColor& tint, qreal devicePixelRatio);

}  // namespace purlo
