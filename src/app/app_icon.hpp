#pragma once

#include <QIcon>

namespace purlo {

// The tray icon's image: the theme's clipboard icon, or the one compiled
// into the program.
QIcon appIcon();

}  // namespace purlo
