#pragma once
// The clipboard of a Wayland session through a data-control protocol
// (data_control.hpp: wlroots compositors such as sway, and KWin).
//
// Qt's own clipboard on Wayland sees nothing while Purlo has no focused
// window, and Xwayland's copy of the clipboard is kept in step only while an
// X11 window has focus; data-control reads and sets the seat's clipboard
// without either. It runs on a Wayland connection of its own, so it works
// whichever platform plugin Qt uses (xcb on Xwayland included).

#include "desktop/clipboard.hpp"

#include <functional>
#include <memory>

namespace purlo {

// Construct on the GUI thread; the methods may then be called from any
// thread and never wait for the GUI thread. nullptr when there is no Wayland
// display ($WAYLAND_DISPLAY), it cannot be reached, or its compositor does
// not offer data-control: the caller then falls back to another clipboard.
// Waits at most about 2 s for the compositor's first answers. `ended` is
// called once, on the clipboard's own thread, should the compositor close
// the connection or go away: the clipboard works no more.
std::unique_ptr<Clipboard> makeWaylandClipboard(std::function<void()> ended);

}  // namespace purlo
