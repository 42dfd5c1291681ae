// purlo: the tray program, started by bin/purlo (src/launcher), which
// answers --clean, --help and --version itself. No window at start; the
// icon, the menu and the shortcut come up once the event loop runs.

#include "app/app_delegate.hpp"
#include "app/app_service.hpp"
#include "app/cleaning_queue.hpp"
#include "app/sanitize.hpp"
#include "desktop/dbus/dbus_notifier.hpp"
#include "desktop/desktop.hpp"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <malloc.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#ifndef PURLO_VERSION
#error "PURLO_VERSION must be defined by the build"
#endif

namespace {

// How long quitting waits for a clipboard manager to take our text.
constexpr auto kHandOverLimit = std::chrono::seconds(3);

// Qt takes -display before $DISPLAY; our own X connections must reach the
// same server.
std::string x11DisplayName(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "-display") == 0 || std::strcmp(argv[i], "--display") == 0) return argv[i + 1];
    const char* env = std::getenv("DISPLAY");
    return env ? env : "";
}

// SIGTERM, SIGINT and SIGHUP (a logout) end the event loop like Close does,
// so that the clipboard is handed over on the way out. The handler only
// writes to a socket; the loop does the rest.
int signalFds[2] = {-1, -1};
void onSignal(int) {
    const char c = 1;
    (void)!write(signalFds[1], &c, 1);
}
void quitOnSignals(QObject* parent) {
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalFds) != 0) return;
    auto* notifier = new QSocketNotifier(signalFds[0], QSocketNotifier::Read, parent);
    QObject::connect(notifier, &QSocketNotifier::activated, [] { QCoreApplication::exit(0); });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    // A clipboard's text and its cleaned copy are the only big blocks, and
    // each must go back to the system once freed. glibc's default raises its
    // mmap threshold to 32 MiB after the first big free, so the pieces of a
    // later transfer would stay in the heap as resident, unused memory.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);

    // Before Qt takes -display out of argv, and before it picks a platform.
    const std::string display = x11DisplayName(argc, argv);
    const purlo::SessionFacts session = purlo::sessionFromEnvironment(display);
    const std::string platform = purlo::qtPlatformFor(session);
    if (!platform.empty()) qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString(platform));

    // The X11 window class of every window is "purlo".
    QApplication::setApplicationName(QStringLiteral("purlo"));
    QApplication::setDesktopFileName(QStringLiteral("app.purlo.Purlo"));
    QApplication app(argc, argv);
    app.setApplicationDisplayName(QStringLiteral("Purlo"));
    app.setApplicationVersion(QStringLiteral(PURLO_VERSION));
    app.setQuitOnLastWindowClosed(false);

    quitOnSignals(&app);
    // Readers that close their end early must not end the program.
    std::signal(SIGPIPE, SIG_IGN);

    purlo::AppDelegate* delegate = nullptr;
    // Without a notification server the tray's own balloon says it.
    purlo::DBusNotifier notifier(QString::fromUtf8(purlo::kCleanedTitle.data(), qsizetype(purlo::kCleanedTitle.size())),
                                 [&delegate](const QString& title, const QString& body) {
                                     if (delegate && delegate->statusItem() && delegate->statusItem()->isAvailable()) {
                                         delegate->statusItem()->showMessage(title, body);
                                     } else {
                                         std::fprintf(stderr, "purlo: %s: %s\n", qPrintable(title), qPrintable(body));
                                     }
                                 });
    // The compositor went away, and the session with it: Purlo ends, as it
    // does where its X server (Xwayland) goes with the compositor.
    purlo::Desktop desktop = purlo::makeDesktop(session, purlo::desktopFromEnvironment(), display, [] {
        QMetaObject::invokeMethod(
            qApp,
            [] {
                std::fputs("purlo: the Wayland compositor has gone; quitting\n", stderr);
                QCoreApplication::exit(1);
            },
            Qt::QueuedConnection);
    });
    std::unique_ptr<purlo::Clipboard>& clipboard = desktop.clipboard;
    auto queue = std::make_unique<purlo::CleaningQueue>(*clipboard, notifier);

    purlo::AppDelegate::Services services;
    services.makeTrayIcon = desktop.makeTrayIcon;
    services.makeShortcut = desktop.makeShortcut;
    services.noTrayAdvice = QString::fromStdString(desktop.noTrayAdvice);
    services.notifier = &notifier;
    services.cleanOnce = [&queue] { queue->enqueue(); };
    purlo::AppDelegate appDelegate(std::move(services));
    delegate = &appDelegate;

    purlo::AppService service([&queue] { queue->enqueue(); }, [&appDelegate] { appDelegate.activate(); });
    switch (service.claim()) {
        case purlo::AppService::Claim::Ours: break;
        case purlo::AppService::Claim::Taken:
            // Started from a menu while one runs: that one shows itself.
            if (const auto failure = purlo::activateRunning()) {
                std::fprintf(stderr, "purlo: already running; asking it to show itself: %s (%s)\n",
                             qPrintable(failure->reason), qPrintable(failure->detail));
                return 1;
            }
            std::fputs("purlo: already running; the running one says so\n", stderr);
            return 0;
        case purlo::AppService::Claim::NoBus:
            std::fputs(
                "purlo: no D-Bus session bus: purlo --clean cannot reach this Purlo, "
                "and nothing stops a second one from starting\n",
                stderr);
            break;
    }

    QTimer::singleShot(0, &appDelegate, &purlo::AppDelegate::applicationDidFinishLaunching);
    const int status = app.exec();

    // Whatever still reports on the way out must not reach a delegate that
    // is about to go.
    delegate = nullptr;
    // The icon goes at once: the hand-over below may wait for a manager.
    if (appDelegate.statusItem()) appDelegate.statusItem()->hide();
    // A run in progress finishes (its write replaces the clipboard in one
    // step, so it never leaves it empty); runs not yet started are dropped.
    queue.reset();
    clipboard->handOver(kHandOverLimit);
    return status;
}
