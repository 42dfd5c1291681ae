#pragma once

#include <QFont>

namespace purlo::fonts {

// Qt has no text styles, so the panel derives its fonts from the font the
// widget inherits (the desktop's general font):
//   headline  the base size, semibold (a heading that is not bigger than body
//             text, as panels on most desktops do it);
//   caption   0.9 x the base size;
//   caption2  0.85 x the base size;
// both captions never below 7 pt (or the base size, if that is smaller). Sizes in
// the panel are device-independent pixels, so the header symbol's "40" is a
// 40 px pixel size, independent of the base font.
QFont headline(const QFont& base);
QFont caption(const QFont& base);
QFont caption2(const QFont& base);
QFont symbol(int pixelSize);

// The side of the square a symbol is drawn in for a given font: its em size.
int symbolSide(const QFont& font);

}  // namespace purlo::fonts
