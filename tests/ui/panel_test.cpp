// The panel laid out and painted for real on the offscreen platform: layout
// is read back from the widgets' geometry, colour from the pixels.

#include "ui/color.hpp"
#include "ui/feature_row.hpp"
#include "ui/popover_view.hpp"
#include "ui/symbols.hpp"

#include <QFile>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QLayout>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

namespace {

using purlo::FeatureRow;
using purlo::PopoverView;

QRect rectIn(const QWidget* top, const QWidget* w) { return QRect(w->mapTo(top, QPoint(0, 0)), w->size()); }
QLabel* label(const QWidget* parent, const char* name) { return parent->findChild<QLabel*>(QLatin1String(name)); }
QColor tint(const char* hex) { return purlo::Color::fromHex(hex).toQColor(); }

QList<QWidget*> children(const QWidget* w) { return w->findChildren<QWidget*>(Qt::FindDirectChildrenOnly); }
QList<FeatureRow*> rows(const QWidget* panel) { return panel->findChildren<FeatureRow*>(); }

// The pixels of `area` that are not background: how many, how many are no
// blend of background and `tint` (an untinted symbol), how many are the tint
// itself, the rows they span, and each line of them (rows of ink between
// rows without) as its left and right edge.
struct Ink {
    int covered = 0, foreign = 0, solid = 0, top = INT_MAX, bottom = -1;
    std::vector<std::pair<int, int>> lines;
};

Ink inkIn(const QImage& img, QRect area, QColor tint = Qt::black) {
    const QRgb bg = img.pixel(1, 1), t = tint.rgb();
    Ink ink;
    area &= img.rect();
    for (int y = area.top(); y <= area.bottom(); ++y) {
        int left = INT_MAX, right = -1;
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = img.pixel(x, y);
            if (p == bg) continue;
            int foreign = 0, offTint = 0;
            for (int shift : {0, 8, 16}) {
                const int v = p >> shift & 0xFF, a = bg >> shift & 0xFF, b = t >> shift & 0xFF;
                foreign |= std::abs(2 * v - a - b) > std::abs(a - b) + 6;
                offTint += std::abs(v - b);
            }
            ink.foreign += foreign, ink.solid += offTint < 4;
            ++ink.covered, left = std::min(left, x), right = std::max(right, x);
        }
        if (right < 0) continue;
        if (ink.lines.empty() || ink.bottom < y - 1) ink.lines.emplace_back(left, right);
        ink.lines.back() = {std::min(left, ink.lines.back().first), std::max(right, ink.lines.back().second)};
        ink.top = std::min(ink.top, y), ink.bottom = y;
    }
    return ink;
}

struct Panel : ::testing::Test {
    void SetUp() override { panel.show(), panel.layout()->activate(); }
    PopoverView panel;
};

TEST_F(Panel, StackedInOrderCentredEmptyBelow) {
    // In the order they were made, which must be the order they are shown in.
    const auto kids = children(&panel);
    QStringList names;
    for (QWidget* w : kids) names << w->objectName();
    ASSERT_EQ(names.join(' ').toStdString(), "headerSymbol title hint divider sectionHeader featureList");
    for (int i = 1; i < kids.size(); ++i)
        EXPECT_EQ(kids[i]->y() - kids[i - 1]->geometry().bottom() - 1, PopoverView::kSpacing) << i;

    // The divider spans the inner width: "Features:" starts on its left
    // edge, the symbol, the title and the list are centred on it.
    const QRect inner = kids[3]->geometry(), list = kids[5]->geometry();
    EXPECT_EQ(inner.center().x(), panel.rect().center().x());
    EXPECT_EQ(rectIn(&panel, label(&panel, "featuresHeader")).left(), inner.left());
    for (int i : {0, 1, 5}) EXPECT_LE(std::abs(kids[i]->geometry().center().x() - inner.center().x()), 1) << i;
    EXPECT_GT(list.left(), inner.left());
    EXPECT_EQ(inkIn(panel.grab().toImage(), QRect(QPoint(0, list.bottom() + 1), panel.size())).covered, 0);
    EXPECT_GT(panel.height() - list.bottom(), 40) << "content should sit at the top";
    for (int i : {0, 1}) EXPECT_EQ(kids[i]->height(), kids[i]->sizeHint().height()) << "space left goes to the bottom";

    const auto row = rows(&panel);
    ASSERT_EQ(row.size(), 3);
    for (int i = 0; i < row.size(); ++i) {
        const QRect slot = rectIn(&panel, label(row[i], "symbol")), text = rectIn(&panel, label(row[i], "label"));
        EXPECT_EQ(slot.width(), FeatureRow::kSymbolSlotWidth);
        EXPECT_EQ(text.left() - slot.right() - 1, FeatureRow::kSpacing);
        EXPECT_EQ(text.left(), rectIn(&panel, label(row[0], "label")).left());
        EXPECT_LE(std::abs(text.center().y() - slot.center().y()), 1);
        if (i > 0) {
            EXPECT_EQ(row[i]->y() - row[i - 1]->geometry().bottom() - 1, PopoverView::kRowSpacing);
        }
    }
}

TEST_F(Panel, SymbolsInTheirTintsTextMutedAlsoAfterAThemeChange) {
    const QImage img = panel.grab().toImage();
    const Ink header = inkIn(img, rectIn(&panel, label(&panel, "headerSymbol")), tint(PopoverView::kHeaderSymbolHex));
    // A solid glyph nearly as tall as its square, which it does not fill.
    const int side = PopoverView::kHeaderSymbolSize;
    EXPECT_EQ(header.foreign, 0);
    EXPECT_GT(header.solid, side * side / 5);
    EXPECT_LT(header.covered, side * side * 9 / 10);
    EXPECT_GE(header.bottom - header.top + 1, side * 4 / 5);
    EXPECT_LE(header.bottom - header.top + 1, side);
    for (FeatureRow* r : rows(&panel)) {
        const Ink ink = inkIn(img, rectIn(&panel, label(r, "symbol")), tint(FeatureRow::kSymbolHex));
        EXPECT_EQ(ink.foreign, 0) << r->icon().toStdString();
        EXPECT_GT(ink.covered, 10) << r->icon().toStdString();
    }

    QPalette dark = panel.palette();
    dark.setColor(QPalette::PlaceholderText, QColor(140, 140, 150));
    panel.setPalette(dark);
    std::vector<QLabel*> muted = {label(&panel, "hint")};
    for (FeatureRow* r : rows(&panel)) muted.push_back(label(r, "label"));
    for (QLabel* l : muted) EXPECT_EQ(l->palette().color(QPalette::WindowText), QColor(140, 140, 150));
}

// Whatever the desktop's font, also when it changes while the panel is
// open, the panel keeps its size and the hint, smaller than the title, has
// every line centred; a hint too wide for one line wraps.
TEST_F(Panel, HintCentredLineByLineWhateverTheFont) {
    for (int points : {9, 18}) {
        panel.setFont(QFont(QStringLiteral("DejaVu Sans"), points));
        panel.layout()->activate();
        EXPECT_EQ(panel.size(), QSize(PopoverView::kWidth, PopoverView::kHeight));
        EXPECT_LT(label(&panel, "hint")->font().pointSizeF(), label(&panel, "title")->font().pointSizeF());
        const Ink ink = inkIn(panel.grab().toImage(), rectIn(&panel, label(&panel, "hint")));
        ASSERT_FALSE(ink.lines.empty());
        EXPECT_EQ(ink.lines.size() > 1, points > 9) << ink.lines.size() << " lines at " << points << " pt";
        for (auto [left, right] : ink.lines) EXPECT_LE(std::abs((left + right) / 2 - panel.rect().center().x()), 2);
    }
}

// Row labels are shown as plain text: markup would come out narrower.
TEST(Row, LabelIsNeverRichText) {
    FeatureRow row(QStringLiteral("no.such.symbol"), QStringLiteral("<b>bold</b> &amp;"));
    const QLabel* text = label(&row, "label");
    EXPECT_EQ(text->text(), row.text());
    EXPECT_GE(text->sizeHint().width(), QFontMetrics(text->font()).horizontalAdvance(row.text()));
}

// The desktop's icon theme, in its monochrome variant, before the program's
// own symbols.
TEST(Symbols, ThemeIconPreferredFallbackOtherwise) {
    EXPECT_TRUE(purlo::symbolIcon(QStringLiteral("no.such.symbol")).isNull());
    if (!QFile::exists(QStringLiteral("/usr/share/icons/Adwaita/index.theme"))) GTEST_SKIP() << "no Adwaita icon theme";
    const QStringList paths = QIcon::themeSearchPaths();
    QIcon::setThemeSearchPaths({QStringLiteral("/usr/share/icons")});
    QIcon::setThemeName(QStringLiteral("Adwaita"));
    // A theme icon looks itself up again when the theme changes: read it now.
    const QString themed = purlo::symbolIcon(QStringLiteral("clipboard")).name();
    QIcon::setThemeName(QString()), QIcon::setThemeSearchPaths(paths);
    EXPECT_EQ(themed, QStringLiteral("edit-paste-symbolic"));
}

}  // namespace
