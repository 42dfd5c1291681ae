#pragma once
// The desktop's clipboard (the CLIPBOARD selection on X11) as a Pasteboard.

#include "cleaning/pasteboard.hpp"

#include <QObject>

#include <chrono>
#include <memory>
#include <string>

namespace purlo {

class ClipboardPasteboard : public QObject, public Pasteboard {
public:
    // Hands what the program still owns to a clipboard manager, when one
    // runs, so that quitting does not empty the clipboard. GUI thread, after
    // the last cleaning run has ended. True when there was nothing to hand
    // over or the manager took it.
    virtual bool handOver(std::chrono::milliseconds limit) = 0;

protected:
    using QObject::QObject;
};

// Construct on the GUI thread. Their methods may then be called from any
// thread (the cleaning worker's, normally).
//
// The X server named `x11Display` (empty: $DISPLAY), over connections of
// our own that never wait for the GUI thread.
std::unique_ptr<ClipboardPasteboard> makeX11Pasteboard(const std::string& x11Display);
// Whatever Qt's platform sees, read and written on the GUI thread.
std::unique_ptr<ClipboardPasteboard> makeQtPasteboard();

}  // namespace purlo
