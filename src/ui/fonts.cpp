#include "ui/fonts.hpp"

#include <QFontInfo>

namespace purlo::fonts {
namespace {

QFont scaled(const QFont& base, double factor) {
    // Small print below 7 pt (about 9 px at 96 dpi) stops being legible.
    // QFontDatabase::SmallestReadableFont is no guide here: several platform
    // themes report it larger than the general font.
    constexpr double kMinPoints = 7.0;
    QFont f = base;
    if (base.pointSizeF() > 0) {
        f.setPointSizeF(qMax(base.pointSizeF() * factor, qMin(kMinPoints, base.pointSizeF())));
    } else {
        const int minPx = qMin(9, base.pixelSize());
        f.setPixelSize(qMax(qRound(base.pixelSize() * factor), minPx));
    }
    return f;
}

}  // namespace

QFont headline(const QFont& base) {
    QFont f = base;
    f.setWeight(QFont::DemiBold);
    return f;
}

QFont caption(const QFont& base) { return scaled(base, 0.9); }

QFont caption2(const QFont& base) { return scaled(base, 0.85); }

QFont symbol(int pixelSize) {
    QFont f;
    f.setPixelSize(pixelSize);
    f.setWeight(QFont::Normal);
    return f;
}

int symbolSide(const QFont& font) { return QFontInfo(font).pixelSize(); }

}  // namespace purlo::fonts
