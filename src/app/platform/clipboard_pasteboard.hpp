#pragma once
// The desktop's clipboard (the CLIPBOARD selection on X11) as a Pasteboard.

#include "cleaning/pasteboard.hpp"

#include <QObject>

#include <memory>

namespace purlo {

// Construct on the GUI thread. Its methods may then be called from any
// thread (the cleaning worker's, normally): reads never touch the GUI
// thread on X11, writes are carried over to it and waited for.
std::unique_ptr<Pasteboard> makeClipboardPasteboard(QObject* parent = nullptr);

}  // namespace purlo
