#include "app/app_delegate.hpp"

#include "app/app_icon.hpp"
#include "app/panel_window.hpp"
#include "ui/popover_view.hpp"

#include <QAction>
#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QTimer>

#include <cstdio>

namespace purlo {

namespace {

QString text(const char* s) { return QString::fromUtf8(s); }

QRect screenAreaAt(const QPoint& p) {
    QScreen* screen = QGuiApplication::screenAt(p);
    if (!screen) screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

}  // namespace

AppDelegate::AppDelegate(Services services, QObject* parent)
    : QObject(parent), services_(std::move(services)), statusMenu_(std::make_unique<QMenu>()) {
    if (!services_.quit) services_.quit = [] { QCoreApplication::exit(0); };
    if (!services_.pointer) services_.pointer = [] { return QCursor::pos(); };
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching() {
    // The menu's one item, handled by the delegate; no keyboard shortcut.
    connect(statusMenu_->addAction(QStringLiteral("Close")), &QAction::triggered, this, &AppDelegate::closeTool);

    // The icon and its click handling. Shown even when no tray runs yet: it
    // docks when one starts (a session's panel often comes up after its
    // autostart programs).
    statusItem_ = services_.makeTrayIcon ? services_.makeTrayIcon() : nullptr;
    if (statusItem_) {
        connect(statusItem_.get(), &TrayIcon::activated, this, &AppDelegate::handleStatusItemClick);
        if (!statusItem_->isAvailable()) {
            std::fputs("purlo: no system tray yet; the icon appears when one starts\n", stderr);
            // Nothing on screen would otherwise say that Purlo runs, nor
            // how to quit it.
            QTimer::singleShot(services_.noTrayGraceMs, this, [this] {
                if (statusItem_ && !statusItem_->isAvailable() && !services_.noTrayAdvice.isEmpty())
                    showNotification(text(kAppTitle), services_.noTrayAdvice);
            });
        }
        statusItem_->setMenu(statusMenu_.get());
        statusItem_->setIcon(appIcon());
        statusItem_->setToolTip(text(kToolTip).arg(chord()));
        statusItem_->show();
    }

    shortcutResult_ = registerGlobalHotkey();

    // No taskbar presence needs nothing more: the program opens no ordinary
    // window, and its popups are override-redirect.

    // Announcing a shortcut that does not work would be a failure reported
    // as success: say so instead, and keep running for the icon. A desktop
    // that answers later is waited for, but not for ever.
    if (!shortcutResult_.pending) {
        showShortcutStatus();
        return;
    }
    if (statusItem_)
        statusItem_->setToolTip(QStringLiteral("Purlo \u2014 waiting for the desktop to bind Super+Shift+V"));
    registrationWait_ = new QTimer(this);
    registrationWait_->setSingleShot(true);
    connect(registrationWait_, &QTimer::timeout, this, [this] {
        shortcutResult_ = RegistrationResult::unavailable("the desktop did not answer");
        showShortcutStatus();
    });
    registrationWait_->start(kRegistrationWaitMs);
}

QString AppDelegate::chord() const {
    return shortcutResult_.trigger.empty() ? text(kChord) : QString::fromStdString(shortcutResult_.trigger);
}

void AppDelegate::showShortcutStatus(bool wasLost) {
    if (registrationWait_) registrationWait_->stop();
    const RegistrationResult& r = shortcutResult_;
    QString body, tip;
    if (r.ok) {
        body = text(wasLost ? kBackText : kReadyText).arg(chord());
        tip = text(kToolTip).arg(chord());
    } else if (r.taken) {
        body = tip = text(kTakenText).arg(chord());
    } else if (r.awaitsUser()) {
        body = tip = text(kConfirmText).arg(chord(), QString::fromStdString(r.advice));
    } else if (r.pending) {
        body = tip = text(kLostText).arg(chord(), QString::fromStdString(r.reason));
    } else {
        body = text(kUnavailableText).arg(chord(), QString::fromStdString(r.reason));
        if (!r.advice.empty()) body += u' ' + QString::fromStdString(r.advice);
        tip = body;
    }
    if (statusItem_) statusItem_->setToolTip(tip);
    if (popover_) popover_->view()->setChord(chord());
    statusText_ = body;
    if (!r.ok && r.canSetUp && services_.notifier && shortcut_) {
        const QByteArray t = text(kAppTitle).toUtf8(), b = body.toUtf8();
        services_.notifier->deliverWithAction(
            {t.constData(), std::size_t(t.size())}, {b.constData(), std::size_t(b.size())},
            {text(kSetUpAction).arg(chord()).toStdString(), [this] { shortcut_->setUp(); }});
        return;
    }
    showNotification(text(kAppTitle), body);
}

void AppDelegate::activate() {
    // While the launch still waits for the desktop, its own word follows.
    if (statusText_.isEmpty()) return;
    showNotification(text(kAppTitle), shortcutResult_.ok ? text(kRunningText).arg(chord())
                                                         : QStringLiteral("Purlo is already running. ") + statusText_);
}

QRect AppDelegate::iconRect() const { return statusItem_ ? statusItem_->geometry() : QRect(); }

void AppDelegate::togglePopover() {
    if (!statusItem_) return;
    if (!popover_) {
        popover_ = std::make_unique<PanelWindow>();
        popover_->view()->setChord(chord());
    }
    if (popover_->isVisible()) {
        popover_->markClosedByToggle();
        popover_->hide();
        return;
    }
    // The press on the icon that closed the panel from outside also arrives
    // here as a click: it closes, it does not reopen.
    if (popover_->justDismissed()) return;
    const QPoint pointer = services_.pointer();
    popover_->showAt(pointer, iconRect());
}

void AppDelegate::handleStatusItemClick(QSystemTrayIcon::ActivationReason reason) {
    // Everything but the context (right) button counts as a left click.
    if (reason != QSystemTrayIcon::Context) {
        togglePopover();
        return;
    }
    if (popover_) {
        popover_->markClosedByToggle();
        popover_->hide();
    }
    const QRect icon = iconRect();
    const QPoint pointer = services_.pointer();
    const QSize size = statusMenu_->sizeHint();
    // 4 px below the icon's lower-left corner, or at the pointer when the
    // tray does not say where the icon is.
    const QPoint at = icon.isEmpty() ? pointer : QPoint(icon.left(), icon.bottom() + 1 + 4);
    statusMenu_->popup(popupPosition(QRect(), at, size, screenAreaAt(at)));
}

void AppDelegate::closeTool() { services_.quit(); }

RegistrationResult AppDelegate::registerGlobalHotkey() {
    shortcut_ = services_.makeShortcut ? services_.makeShortcut() : nullptr;
    if (!shortcut_) return RegistrationResult::unavailable("no global shortcut support on this desktop");
    connect(shortcut_.get(), &ShortcutBackend::activated, this, &AppDelegate::onShortcut);
    connect(shortcut_.get(), &ShortcutBackend::registrationChanged, this, [this](const RegistrationResult& now) {
        const bool wasLost = shortcutResult_.pending && !shortcutResult_.reason.empty();
        shortcutResult_ = now;
        showShortcutStatus(wasLost);
    });
    RegistrationResult r = shortcut_->registerShortcut(kCleanShortcut);
    if (!r.ok && !r.pending) {
        std::fprintf(stderr, "purlo: Super+Shift+V could not be registered (%s): %s\n", shortcut_->name(),
                     r.reason.c_str());
    }
    return r;
}

void AppDelegate::onShortcut(ShortcutId id) {
    // The id alone decides; the run is queued, never done inside the event.
    if (id.id != kCleanShortcut.id) return;
    if (services_.cleanOnce) services_.cleanOnce();
}

void AppDelegate::showNotification(const QString& title, const QString& body) {
    if (!services_.notifier) return;
    const QByteArray t = title.toUtf8(), b = body.toUtf8();
    services_.notifier->deliver({t.constData(), std::size_t(t.size())}, {b.constData(), std::size_t(b.size())});
}

}  // namespace purlo
