#include "ui/color.hpp"

#include <QChar>
#include <QString>
#include <QStringView>
#include <QTextBoundaryFinder>

#include <cstdint>

namespace purlo {
namespace {

bool isAlphanumeric(char32_t cp) {
    // Letters, marks and numbers, the Unicode general categories L, M and N.
    switch (QChar::category(cp)) {
        case QChar::Letter_Uppercase:
        case QChar::Letter_Lowercase:
        case QChar::Letter_Titlecase:
        case QChar::Letter_Modifier:
        case QChar::Letter_Other:
        case QChar::Mark_NonSpacing:
        case QChar::Mark_SpacingCombining:
        case QChar::Mark_Enclosing:
        case QChar::Number_DecimalDigit:
        case QChar::Number_Letter:
        case QChar::Number_Other: return true;
        default: return false;
    }
}

// Trims whole code points, so a surrogate pair is never split.
QStringView trimNonAlphanumeric(QStringView s) {
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end) {
        char32_t cp = s[begin].unicode();
        qsizetype len = 1;
        if (QChar::isHighSurrogate(cp) && begin + 1 < end && s[begin + 1].isLowSurrogate()) {
            cp = QChar::surrogateToUcs4(s[begin], s[begin + 1]);
            len = 2;
        }
        if (isAlphanumeric(cp)) break;
        begin += len;
    }
    while (end > begin) {
        char32_t cp = s[end - 1].unicode();
        qsizetype len = 1;
        if (s[end - 1].isLowSurrogate() && end - 2 >= begin && s[end - 2].isHighSurrogate()) {
            cp = QChar::surrogateToUcs4(s[end - 2], s[end - 1]);
            len = 2;
        }
        if (isAlphanumeric(cp)) break;
        end -= len;
    }
    return s.sliced(begin, end - begin);
}

int hexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') return u - u'0';
    if (u >= u'a' && u <= u'f') return u - u'a' + 10;
    if (u >= u'A' && u <= u'F') return u - u'A' + 10;
    return -1;
}

// Reads an optional 0x/0X prefix and the longest run of hex digits after it.
// Nothing read leaves 0. Only the low 32 bits can matter to the caller, and
// they are exact as long as at most 8 digits follow, which the caller's length
// check guarantees; longer runs saturate rather than wrap.
std::uint64_t scanHex(QStringView s) {
    qsizetype i = 0;
    if (s.size() >= 3 && s[0] == u'0' && (s[1] == u'x' || s[1] == u'X') && hexDigit(s[2]) >= 0) i = 2;
    std::uint64_t v = 0;
    for (; i < s.size(); ++i) {
        const int d = hexDigit(s[i]);
        if (d < 0) break;
        if (v > (UINT64_MAX >> 4))
            v = UINT64_MAX;
        else
            v = (v << 4) | static_cast<std::uint64_t>(d);
    }
    return v;
}

qsizetype graphemeCount(QStringView s) {
    if (s.isEmpty()) return 0;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, s.data(), s.size());
    qsizetype n = 0;
    while (finder.toNextBoundary() != -1) ++n;
    return n;
}

}  // namespace

Color Color::fromHex(std::string_view text) {
    const QString whole = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    const QStringView trimmed = trimNonAlphanumeric(whole);
    const std::uint64_t v = scanHex(trimmed);

    std::uint64_t a = 255, r = 0, g = 0, b = 0;
    switch (graphemeCount(trimmed)) {
        case 3:
            r = ((v >> 8) & 0xF) * 17;
            g = ((v >> 4) & 0xF) * 17;
            b = (v & 0xF) * 17;
            break;
        case 6:
            r = (v >> 16) & 0xFF;
            g = (v >> 8) & 0xFF;
            b = v & 0xFF;
            break;
        case 8:
            a = (v >> 24) & 0xFF;
            r = (v >> 16) & 0xFF;
            g = (v >> 8) & 0xFF;
            b = v & 0xFF;
            break;
        default: break;
    }
    return Color{static_cast<double>(r) / 255.0, static_cast<double>(g) / 255.0, static_cast<double>(b) / 255.0,
                 static_cast<double>(a) / 255.0};
}

QColor Color::toQColor() const {
    // QColor's Rgb colour model is sRGB, which is also what the raster paint engine
    // assumes when it draws onto the screen.
    return QColor::fromRgbF(static_cast<float>(red), static_cast<float>(green), static_cast<float>(blue),
                            static_cast<float>(opacity));
}

QColor Color::secondary(const QPalette& palette) { return palette.color(QPalette::Active, QPalette::PlaceholderText); }

}  // namespace purlo
