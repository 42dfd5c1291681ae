#pragma once
// The desktop services Purlo runs on, chosen once per start: the shortcut
// backend and the clipboard. Each way lives in a file of its own; this is
// the one place that picks among them (see session.hpp for the rules).

#include "app/desktop/session.hpp"
#include "app/hotkey/hotkey_backend.hpp"
#include "app/platform/clipboard_pasteboard.hpp"

#include <functional>
#include <memory>
#include <string>

namespace purlo {

struct Desktop {
    Plan plan;
    std::unique_ptr<ClipboardPasteboard> clipboard;
    // Called during launch, after the tray icon exists.
    std::function<std::unique_ptr<HotkeyBackend>()> makeHotkey;
};

// After QApplication exists. `x11Display` is the X display Qt was given.
Desktop makeDesktop(const SessionFacts& facts, const std::string& x11Display);

}  // namespace purlo
