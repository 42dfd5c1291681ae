// purlo: the tray program. No window at start; the icon, the menu and the
// shortcut come up once the event loop runs.

#include "app/app_delegate.hpp"
#include "app/platform/cleaning_queue.hpp"
#include "app/platform/clipboard_pasteboard.hpp"
#include "app/platform/dbus_notifier.hpp"
#include "app/single_instance.hpp"
#include "app/status_item.hpp"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstring>

#ifndef PURLO_VERSION
#error "PURLO_VERSION must be defined by the build"
#endif

namespace {

constexpr const char* kUsage =
    "Usage: purlo [--help | --version]\n"
    "Puts Purlo's icon in the tray. Super+Shift+V cleans the clipboard: rich\n"
    "formatting is dropped, tracking parameters leave http/https addresses,\n"
    "and white space collapses to single spaces.\n";

}  // namespace

int main(int argc, char** argv) {
    // Answered before Qt starts, so they work without a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("purlo %s\n", PURLO_VERSION);
            return 0;
        }
    }

    // The X11 window class of every window is "purlo".
    QApplication::setApplicationName(QStringLiteral("purlo"));
    QApplication::setDesktopFileName(QStringLiteral("app.purlo.Purlo"));
    QApplication app(argc, argv);
    app.setApplicationDisplayName(QStringLiteral("Purlo"));
    app.setApplicationVersion(QStringLiteral(PURLO_VERSION));
    app.setQuitOnLastWindowClosed(false);

    purlo::SingleInstance instance;
    if (!instance.acquire()) {
        std::fputs("purlo: already running on this display; leaving that one as it is\n", stderr);
        return 0;
    }

    purlo::AppDelegate* delegate = nullptr;
    // Without a notification server the tray's own balloon says it.
    purlo::DBusNotifier notifier([&delegate](const QString& title, const QString& body) {
        if (delegate && delegate->statusItem() && delegate->statusItem()->isAvailable()) {
            delegate->statusItem()->showMessage(title, body);
        } else {
            std::fprintf(stderr, "purlo: %s: %s\n", qPrintable(title), qPrintable(body));
        }
    });
    std::unique_ptr<purlo::Pasteboard> pasteboard = purlo::makeClipboardPasteboard();
    purlo::CleaningQueue queue(*pasteboard, notifier);

    purlo::AppDelegate::Services services;
    services.makeStatusItem = [] { return std::make_unique<purlo::TrayStatusItem>(); };
    services.makeHotkey = [] { return purlo::makeHotkeyBackend(); };
    services.notifier = &notifier;
    services.cleanOnce = [&queue] { queue.enqueue(); };
    purlo::AppDelegate appDelegate(std::move(services));
    delegate = &appDelegate;

    QTimer::singleShot(0, &appDelegate, &purlo::AppDelegate::applicationDidFinishLaunching);
    return app.exec();
}
