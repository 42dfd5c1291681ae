#include "ui/popover_view.hpp"

#include "ui/color.hpp"
#include "ui/feature_row.hpp"
#include "ui/fonts.hpp"
#include "ui/symbols.hpp"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace purlo {
namespace {

struct Feature {
    const char* icon;
    const char* text;
};

constexpr Feature kFeatures[] = {
    {"plain-text", "Strip rich text formatting"},
    {"link", "Remove URL tracking params"},
    {"whitespace", "Normalize whitespace"},
};

}  // namespace

PopoverView::PopoverView(QWidget* parent)
    : QWidget(parent),
      headerSymbol_(new QLabel(this)),
      title_(new QLabel(tr("Purlo"), this)),
      hint_(new QLabel(this)),
      featuresHeader_(new QLabel(tr("Features:"))) {
    setFixedSize(kWidth, kHeight);

    headerSymbol_->setObjectName(QStringLiteral("headerSymbol"));
    headerSymbol_->setAlignment(Qt::AlignCenter);

    title_->setObjectName(QStringLiteral("title"));
    title_->setTextFormat(Qt::PlainText);

    hint_->setObjectName(QStringLiteral("hint"));
    setChord(QStringLiteral("Super+Shift+V"));
    hint_->setTextFormat(Qt::PlainText);
    // A hint too wide for the panel (a large font, a long translation) wraps,
    // and its lines stay centred.
    hint_->setWordWrap(true);
    hint_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    auto* divider = new QFrame(this);
    divider->setObjectName(QStringLiteral("divider"));
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);

    auto* section = new QWidget(this);
    section->setObjectName(QStringLiteral("sectionHeader"));
    auto* sectionLayout = new QHBoxLayout(section);
    sectionLayout->setContentsMargins(0, 0, 0, 0);
    featuresHeader_->setObjectName(QStringLiteral("featuresHeader"));
    featuresHeader_->setTextFormat(Qt::PlainText);
    sectionLayout->addWidget(featuresHeader_, 0, Qt::AlignVCenter);
    sectionLayout->addStretch(1);

    auto* list = new QWidget(this);
    list->setObjectName(QStringLiteral("featureList"));
    auto* listLayout = new QVBoxLayout(list);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->setSpacing(kRowSpacing);
    for (const Feature& f : kFeatures) {
        // Row labels are shown as they are, never looked up for translation.
        listLayout->addWidget(new FeatureRow(QString::fromUtf8(f.icon), QString::fromUtf8(f.text), list), 0,
                              Qt::AlignLeft);
    }

    // Margins are the style's defaults; the divider, the hint and the section
    // header span the inner width, the rest keep their natural width centred.
    auto* root = new QVBoxLayout(this);
    root->setSpacing(kSpacing);
    root->addWidget(headerSymbol_, 0, Qt::AlignHCenter);
    root->addWidget(title_, 0, Qt::AlignHCenter);
    root->addWidget(hint_);
    root->addWidget(divider);
    root->addWidget(section);
    root->addWidget(list, 0, Qt::AlignHCenter);
    root->addStretch(1);

    applyLook();
}

void PopoverView::setChord(const QString& chord) { hint_->setText(tr("Press %1 to clean clipboard").arg(chord)); }

void PopoverView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange ||
        event->type() == QEvent::StyleChange)
        applyLook();
}

void PopoverView::applyLook() {
    headerSymbol_->setPixmap(tintedSymbol(symbolIcon(QStringLiteral("clipboard")),
                                          fonts::symbolSide(fonts::symbol(kHeaderSymbolSize)),
                                          Color::fromHex(kHeaderSymbolHex).toQColor(), devicePixelRatioF()));

    title_->setFont(fonts::headline(font()));

    hint_->setFont(fonts::caption(font()));
    QPalette pal = hint_->palette();
    pal.setColor(QPalette::WindowText, Color::secondary(palette()));
    hint_->setPalette(pal);

    QFont header = fonts::caption(font());
    header.setWeight(QFont::DemiBold);
    featuresHeader_->setFont(header);
}

}  // namespace purlo
