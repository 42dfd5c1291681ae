#include "ui/feature_row.hpp"

#include "ui/color.hpp"
#include "ui/fonts.hpp"
#include "ui/symbols.hpp"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>

#include <utility>

namespace purlo {

FeatureRow::FeatureRow(QString icon, QString text, QWidget* parent)
    : QWidget(parent),
      icon_(std::move(icon)),
      text_(std::move(text)),
      symbol_(new QLabel(this)),
      label_(new QLabel(this)) {
    symbol_->setObjectName(QStringLiteral("symbol"));
    symbol_->setFixedWidth(kSymbolSlotWidth);
    symbol_->setAlignment(Qt::AlignCenter);

    label_->setObjectName(QStringLiteral("label"));
    label_->setTextFormat(Qt::PlainText);
    label_->setText(text_);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(kSpacing);
    layout->addWidget(symbol_, 0, Qt::AlignVCenter);
    layout->addWidget(label_, 0, Qt::AlignVCenter);

    applyLook();
}

void FeatureRow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // Fonts and the muted colour follow the desktop, also when its theme
    // changes while the panel is open.
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange ||
        event->type() == QEvent::StyleChange)
        applyLook();
}

void FeatureRow::applyLook() {
    const QFont symbolFont = fonts::caption(font());
    // The slot is fixed; a symbol bigger than it would be clipped, so it
    // shrinks to fit instead.
    const int side = qMin(fonts::symbolSide(symbolFont), kSymbolSlotWidth);
    symbol_->setPixmap(
        tintedSymbol(symbolIcon(icon_), side, Color::fromHex(kSymbolHex).toQColor(), devicePixelRatioF()));

    label_->setFont(fonts::caption2(font()));
    QPalette pal = label_->palette();
    pal.setColor(QPalette::WindowText, Color::secondary(palette()));
    label_->setPalette(pal);
}

}  // namespace purlo
