#pragma once

#include <QWidget>

class QLabel;

namespace purlo {

class FeatureRow;

// The information panel shown from the tray icon: the tinted clipboard
// symbol, the title, the shortcut hint, a divider, "Features:" and the three
// feature rows, top to bottom 16 apart, inside the style's default margins;
// the space that is left stays empty at the bottom. Always 280 x 300 and
// static: no state, no input, no controls.
class PopoverView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 280;
    static constexpr int kHeight = 300;
    static constexpr int kSpacing = 16;
    static constexpr int kRowSpacing = 6;
    static constexpr int kHeaderSymbolSize = 40;
    static constexpr const char* kHeaderSymbolHex = "B3ADD9";

    explicit PopoverView(QWidget* parent = nullptr);

    // The chord as the desktop names it, for the hint ("Super+Shift+V", or
    // the keys a shortcut portal bound).
    void setChord(const QString& chord);

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyLook();

    QLabel* headerSymbol_;
    QLabel* title_;
    QLabel* hint_;
    QLabel* featuresHeader_;
};

}  // namespace purlo
