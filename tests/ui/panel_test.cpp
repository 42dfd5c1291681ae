#include "ui/color.hpp"
#include "ui/feature_row.hpp"
#include "ui/popover_view.hpp"
#include "ui/symbols.hpp"

#include <QApplication>
#include <QFile>
#include <QFontMetrics>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QTranslator>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using purlo::Color;
using purlo::FeatureRow;
using purlo::PopoverView;

// Geometry of a descendant in the panel's coordinates.
QRect rectIn(const QWidget* top, const QWidget* w)
{
    return QRect(w->mapTo(top, QPoint(0, 0)), w->size());
}

template <typename T = QWidget>
T* child(const QWidget* parent, const char* name)
{
    T* w = parent->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << "no child named " << name;
    return w;
}

// The panel's direct children top to bottom, as laid out.
std::vector<QWidget*> childrenByTop(const QWidget* panel)
{
    std::vector<QWidget*> out;
    for (QWidget* w : panel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (w->isVisible())
            out.push_back(w);
    }
    std::sort(out.begin(), out.end(),
              [](QWidget* a, QWidget* b) { return a->y() < b->y(); });
    return out;
}

std::vector<FeatureRow*> rowsOf(const QWidget* panel)
{
    auto rows = panel->findChildren<FeatureRow*>();
    std::vector<FeatureRow*> out(rows.begin(), rows.end());
    std::sort(out.begin(), out.end(), [panel](FeatureRow* a, FeatureRow* b) {
        return rectIn(panel, a).top() < rectIn(panel, b).top();
    });
    return out;
}

struct Tinting {
    int covered = 0;      // pixels that differ from the background
    int exact = 0;        // pixels of the tint itself (within 1 per channel)
    int foreign = 0;      // pixels that are no blend of background and tint
    int coveredHeight = 0;
};

// Every pixel of a tinted symbol drawn over a flat background is a blend of
// the two colours; anything else means the symbol was not tinted.
Tinting inspect(const QImage& img, const QRect& area, QColor bg, QColor tint)
{
    Tinting t;
    int top = area.bottom() + 1, bottom = area.top() - 1;
    const int dr = tint.red() - bg.red(), dg = tint.green() - bg.green(), db = tint.blue() - bg.blue();
    const int span = std::max({std::abs(dr), std::abs(dg), std::abs(db)});
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor p = img.pixelColor(x, y);
            if (p == bg)
                continue;
            ++t.covered;
            top = std::min(top, y);
            bottom = std::max(bottom, y);
            const int pr = p.red() - bg.red(), pg = p.green() - bg.green(), pb = p.blue() - bg.blue();
            const double k = span ? std::max({std::abs(pr), std::abs(pg), std::abs(pb)}) / double(span) : 0;
            const bool onLine = std::abs(pr - k * dr) <= 3 && std::abs(pg - k * dg) <= 3
                && std::abs(pb - k * db) <= 3 && k <= 1.02;
            if (!onLine)
                ++t.foreign;
            if (std::abs(p.red() - tint.red()) <= 1 && std::abs(p.green() - tint.green()) <= 1
                && std::abs(p.blue() - tint.blue()) <= 1)
                ++t.exact;
        }
    }
    t.coveredHeight = bottom >= top ? bottom - top + 1 : 0;
    return t;
}

class Panel : public ::testing::Test {
protected:
    void SetUp() override
    {
        panel.show();
        panel.layout()->activate();
    }
    PopoverView panel;
};

TEST_F(Panel, HasFixedSizeWhateverTheContent)
{
    EXPECT_EQ(panel.size(), QSize(280, 300));
    panel.adjustSize();
    EXPECT_EQ(panel.size(), QSize(280, 300));
    panel.setFont(QFont(QStringLiteral("DejaVu Sans"), 4));
    panel.layout()->activate();
    EXPECT_EQ(panel.size(), QSize(280, 300));
}

TEST_F(Panel, ChildrenInOrderSixteenApartWithTheirTexts)
{
    const auto kids = childrenByTop(&panel);
    std::vector<std::string> names;
    for (QWidget* w : kids)
        names.push_back(w->objectName().toStdString());
    EXPECT_EQ(names, (std::vector<std::string>{"headerSymbol", "title", "hint", "divider",
                                                "sectionHeader", "featureList"}));
    for (size_t i = 1; i < kids.size(); ++i) {
        EXPECT_EQ(kids[i]->geometry().top() - kids[i - 1]->geometry().bottom() - 1, 16)
            << "gap above " << names[i];
    }

    EXPECT_EQ(child<QLabel>(&panel, "title")->text(), QStringLiteral("Purlo"));
    const QString hint = child<QLabel>(&panel, "hint")->text();
    EXPECT_EQ(hint, QStringLiteral("Press \u2318\u21E7V to clean clipboard"));
    EXPECT_EQ(hint.size(), 28);
    EXPECT_EQ(child<QLabel>(&panel, "featuresHeader")->text(), QStringLiteral("Features:"));

    std::vector<std::pair<QString, QString>> rows;
    for (FeatureRow* r : rowsOf(&panel))
        rows.emplace_back(r->icon(), child<QLabel>(r, "label")->text());
    EXPECT_EQ(rows, (std::vector<std::pair<QString, QString>>{
                        {"textformat", "Strip rich text formatting"},
                        {"link.badge.plus", "Remove URL tracking params"},
                        {"text.alignleft", "Normalize whitespace"}}));
}

TEST_F(Panel, RowsSixApartWithLabelsOnOneEdge)
{
    const auto rows = rowsOf(&panel);
    ASSERT_EQ(rows.size(), 3u);
    const int labelLeft = rectIn(&panel, child(rows[0], "label")).left();
    for (size_t i = 0; i < rows.size(); ++i) {
        const QRect slot = rectIn(&panel, child(rows[i], "symbol"));
        const QRect label = rectIn(&panel, child(rows[i], "label"));
        EXPECT_EQ(slot.width(), 16) << "row " << i;
        EXPECT_EQ(label.left() - slot.right() - 1, 8) << "row " << i;
        EXPECT_EQ(label.left(), labelLeft) << "row " << i;
        if (i > 0) {
            EXPECT_EQ(rectIn(&panel, rows[i]).top() - rectIn(&panel, rows[i - 1]).bottom() - 1, 6);
        }
    }
}

TEST_F(Panel, HeaderLeadingRowBlockCentredSpaceAtTheBottom)
{
    // The divider spans the inner width, so its edges are the inner area's.
    const QRect inner = rectIn(&panel, child(&panel, "divider"));
    const QRect header = rectIn(&panel, child(&panel, "featuresHeader"));
    const QRect list = rectIn(&panel, child(&panel, "featureList"));
    EXPECT_GT(inner.width(), 200);
    EXPECT_EQ(inner.center().x(), panel.rect().center().x());
    EXPECT_EQ(header.left(), inner.left());
    EXPECT_GT(list.left(), inner.left());
    for (const char* centred : {"headerSymbol", "title", "featureList"})
        EXPECT_LE(std::abs(rectIn(&panel, child(&panel, centred)).center().x() - inner.center().x()), 1)
            << centred;

    // Everything below the last row is empty panel.
    const QImage img = panel.grab().toImage();
    const QColor bg = img.pixelColor(1, 1);
    const int scale = img.height() / panel.height();
    int painted = 0;
    for (int y = (list.bottom() + 1) * scale; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            painted += img.pixelColor(x, y) != bg;
    EXPECT_EQ(painted, 0);
    EXPECT_GT(panel.height() - list.bottom(), 40) << "content should sit at the top";
}

TEST_F(Panel, SymbolsArePaintedInTheirTints)
{
    const QImage img = panel.grab().toImage();
    ASSERT_EQ(img.size(), panel.size()) << "the checks below assume a scale of 1";
    const QColor bg = img.pixelColor(1, 1);

    const QRect headerArea = rectIn(&panel, child(&panel, "headerSymbol"));
    const Tinting h = inspect(img, headerArea, bg, QColor(179, 173, 217));
    EXPECT_EQ(h.foreign, 0);
    EXPECT_GT(h.exact, 40 * 40 / 5) << "a solid symbol about 40 px high";
    EXPECT_GE(h.coveredHeight, 32);
    EXPECT_LE(h.coveredHeight, 40);

    for (FeatureRow* r : rowsOf(&panel)) {
        const Tinting t = inspect(img, rectIn(&panel, child(r, "symbol")), bg, QColor(170, 163, 205));
        EXPECT_EQ(t.foreign, 0) << r->icon().toStdString();
        EXPECT_GT(t.covered, 10) << r->icon().toStdString();
    }
}

TEST_F(Panel, MutedTextFollowsAThemeChange)
{
    QPalette dark = panel.palette();
    dark.setColor(QPalette::Window, QColor(30, 30, 34));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    dark.setColor(QPalette::PlaceholderText, QColor(140, 140, 150));
    panel.setPalette(dark);

    EXPECT_EQ(child<QLabel>(&panel, "hint")->palette().color(QPalette::WindowText),
              QColor(140, 140, 150));
    for (FeatureRow* r : rowsOf(&panel))
        EXPECT_EQ(child<QLabel>(r, "label")->palette().color(QPalette::WindowText),
                  QColor(140, 140, 150));
    EXPECT_EQ(Color::secondary(dark), QColor(140, 140, 150));
}

// The horizontal extent of the ink on each line of text in an image, lines
// being runs of rows with ink, separated by rows without.
std::vector<std::pair<int, int>> inkPerLine(const QImage& img, QColor bg)
{
    std::vector<std::pair<int, int>> lines;
    bool inLine = false;
    for (int y = 0; y < img.height(); ++y) {
        int left = img.width(), right = -1;
        for (int x = 0; x < img.width(); ++x) {
            if (img.pixelColor(x, y) != bg) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
        if (right < 0) {
            inLine = false;
            continue;
        }
        if (!inLine)
            lines.emplace_back(left, right);
        else
            lines.back() = {std::min(lines.back().first, left), std::max(lines.back().second, right)};
        inLine = true;
    }
    return lines;
}

struct HintCase {
    const char* name;
    int pointSize;
    bool wraps;
};

void PrintTo(const HintCase& c, std::ostream* os) { *os << c.name; }

class Hint : public ::testing::TestWithParam<HintCase> {};

TEST_P(Hint, EveryLineCentredInThePanel)
{
    const HintCase& c = GetParam();
    PopoverView panel;
    panel.setFont(QFont(QStringLiteral("DejaVu Sans"), c.pointSize));
    panel.show();
    panel.layout()->activate();
    EXPECT_EQ(panel.size(), QSize(280, 300));

    const QImage img = panel.grab().toImage();
    ASSERT_EQ(img.size(), panel.size());
    const QRect area = rectIn(&panel, child(&panel, "hint"));
    ASSERT_TRUE(panel.rect().contains(area));
    const auto lines = inkPerLine(img.copy(area), img.pixelColor(1, 1));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.size() > 1, c.wraps) << lines.size() << " lines";
    for (const auto& [left, right] : lines) {
        EXPECT_GT(left, 0);
        const int centre = area.left() + (left + right) / 2;
        EXPECT_LE(std::abs(centre - panel.rect().center().x()), 2) << left << ".." << right;
    }
}

INSTANTIATE_TEST_SUITE_P(Fonts, Hint,
                         ::testing::Values(HintCase{"fits_one_line", 9, false},
                                           HintCase{"large_font_wraps", 18, true}),
                         [](const ::testing::TestParamInfo<HintCase>& info) {
                             return std::string(info.param.name);
                         });

// Only the panel's own labels are looked up for translation.
class Pseudo : public QTranslator {
public:
    QString translate(const char*, const char* source, const char*, int) const override
    {
        const QString s = QString::fromUtf8(source);
        if (s == QLatin1String("Purlo") || s == QLatin1String("Features:")
            || s == QLatin1String("Normalize whitespace"))
            return QStringLiteral("[") + s + QStringLiteral("]");
        return {};
    }
    bool isEmpty() const override { return false; }
};

TEST(PanelTranslation, OwnLabelsTranslateRowLabelsVerbatim)
{
    Pseudo pseudo;
    ASSERT_TRUE(QCoreApplication::installTranslator(&pseudo));
    PopoverView panel;
    QCoreApplication::removeTranslator(&pseudo);

    EXPECT_EQ(child<QLabel>(&panel, "title")->text(), QStringLiteral("[Purlo]"));
    EXPECT_EQ(child<QLabel>(&panel, "featuresHeader")->text(), QStringLiteral("[Features:]"));
    const auto rows = rowsOf(&panel);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(child<QLabel>(rows[2], "label")->text(), QStringLiteral("Normalize whitespace"));
}

struct RowCase {
    const char* name;
    const char* icon;
    QString text;
};

void PrintTo(const RowCase& c, std::ostream* os) { *os << c.name; }

class Row : public ::testing::TestWithParam<RowCase> {};

TEST_P(Row, SymbolInSixteenWideSlotLabelVerbatim)
{
    const RowCase& c = GetParam();
    FeatureRow row(QString::fromLatin1(c.icon), c.text);
    row.show();
    row.layout()->activate();

    auto* slot = child<QLabel>(&row, "symbol");
    auto* label = child<QLabel>(&row, "label");
    EXPECT_EQ(slot->geometry().left(), 0);
    EXPECT_EQ(slot->width(), 16);
    EXPECT_EQ(label->text(), c.text);
    if (!c.text.isEmpty()) {
        EXPECT_EQ(label->geometry().left(), 24);
        EXPECT_LE(std::abs(label->geometry().center().y() - slot->geometry().center().y()), 1);
        // Drawn as the literal characters: markup would come out narrower.
        EXPECT_GE(label->sizeHint().width(),
                  QFontMetrics(label->font()).horizontalAdvance(c.text));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Symbols, Row,
    ::testing::Values(RowCase{"narrow_symbol", "text.alignleft", QStringLiteral("Normalize whitespace")},
                      RowCase{"wide_symbol", "link.badge.plus", QStringLiteral("x")},
                      RowCase{"unknown_symbol", "no.such.symbol", QStringLiteral("Unknown")},
                      RowCase{"empty_label", "textformat", QString()},
                      RowCase{"markup_shown_as_is", "textformat", QStringLiteral("<b>bold</b> &amp;")}),
    [](const ::testing::TestParamInfo<RowCase>& info) { return std::string(info.param.name); });

TEST(Symbols, ThemeIconPreferredFallbackOtherwise)
{
    // Without a theme every named symbol comes from the program's own set.
    for (const char* name : {"doc.on.clipboard.fill", "textformat", "link.badge.plus", "text.alignleft"}) {
        const QIcon icon = purlo::symbolIcon(QString::fromLatin1(name));
        EXPECT_FALSE(icon.pixmap(16, 16).isNull()) << name;
    }
    EXPECT_TRUE(purlo::symbolIcon(QStringLiteral("no.such.symbol")).isNull());

    const QString adwaita = QStringLiteral("/usr/share/icons/Adwaita/index.theme");
    if (!QFile::exists(adwaita))
        GTEST_SKIP() << "no Adwaita icon theme installed";
    // What a desktop session's platform theme sets up.
    const QStringList paths = QIcon::themeSearchPaths();
    QIcon::setThemeSearchPaths({QStringLiteral("/usr/share/icons")});
    QIcon::setThemeName(QStringLiteral("Adwaita"));
    // A theme icon looks itself up again once the theme changes, so read it
    // while the theme is still set.
    const QString themed = purlo::symbolIcon(QStringLiteral("doc.on.clipboard.fill")).name();
    const bool unknownIsNull = purlo::symbolIcon(QStringLiteral("no.such.symbol")).isNull();
    QIcon::setThemeName(QString());
    QIcon::setThemeSearchPaths(paths);
    EXPECT_EQ(themed, QStringLiteral("edit-paste-symbolic"));
    EXPECT_TRUE(unknownIsNull);
}

} // namespace
