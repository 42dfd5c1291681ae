#pragma once

#include <QString>
#include <QWidget>

class QLabel;

namespace purlo {

// One line of the panel's feature list: a tinted symbol centred in a slot 16
// wide, 8 of space, then the label in the muted caption colour. The label is
// shown verbatim: it is neither translated nor read as rich text.
class FeatureRow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kSymbolSlotWidth = 16;
    static constexpr int kSpacing = 8;
    static constexpr const char* kSymbolHex = "AAA3CD";

    FeatureRow(QString icon, QString text, QWidget* parent = nullptr);

    const QString& icon() const { return icon_; }
    const QString& text() const { return text_; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyLook();

    QString icon_;
    QString text_;
    QLabel* symbol_;
    QLabel* label_;
};

}  // namespace purlo
