#pragma once
// The CLIPBOARD selection of an X server: our own reader asks the owner for
// its text, our own owner holds ours, each on a connection of its own that
// never waits for the GUI thread.

#include "desktop/clipboard.hpp"

#include <memory>
#include <string>

namespace purlo {

// Construct on the GUI thread. `x11Display` is the server's name (empty:
// $DISPLAY).
std::unique_ptr<Clipboard> makeX11Clipboard(const std::string& x11Display);

}  // namespace purlo
