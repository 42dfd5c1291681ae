#pragma once
// The one object that owns the program's state for the whole run: the tray
// icon, the panel (made on the first left click), the menu and the
// global shortcut.

#include "desktop/notifier.hpp"
#include "desktop/shortcut.hpp"
#include "desktop/tray_icon.hpp"

#include <QObject>
#include <QPoint>
#include <QString>

#include <functional>
#include <memory>

class QMenu;
class QTimer;

namespace purlo {

class PanelWindow;

// Texts the user sees at launch; %1 is the chord as the desktop names it.
inline constexpr const char* kAppTitle = "Purlo";
inline constexpr const char* kReadyText = "Ready! Press %1 to clean clipboard";
inline constexpr const char* kTakenText = "%1 is unavailable: another program uses it";
inline constexpr const char* kUnavailableText = "%1 is unavailable: %2.";
inline constexpr const char* kToolTip = "Purlo \u2014 %1 cleans the clipboard";
// The shortcut lost (the desktop's portal went away), and back again.
inline constexpr const char* kLostText = "%1 stopped working: %2";
inline constexpr const char* kBackText = "%1 works again";
// The desktop asks the user before it binds the shortcut (%2: how).
inline constexpr const char* kConfirmText = "%1 is waiting for you: %2";
// Purlo started again while it runs (a second launch from the menu).
inline constexpr const char* kRunningText = "Purlo is already running: %1 cleans the clipboard";
// The action offered where Purlo can bind the chord in the desktop's settings.
inline constexpr const char* kSetUpAction = "Set up %1";
// The chord where the desktop does not name it otherwise.
inline constexpr const char* kChord = "Super+Shift+V";
// How long the launch notification waits for a desktop that answers the
// shortcut's registration later (it may ask the user first).
inline constexpr int kRegistrationWaitMs = 20000;

class AppDelegate : public QObject {
    Q_OBJECT
public:
    // Everything the delegate reaches outside itself, so that tests can
    // stand in for the tray, the shortcut and the desktop.
    struct Services {
        std::function<std::unique_ptr<TrayIcon>()> makeTrayIcon;
        std::function<std::unique_ptr<ShortcutBackend>()> makeShortcut;
        Notifier* notifier = nullptr;
        std::function<void()> cleanOnce;  // queue one cleaning run
        std::function<void()> quit;       // end the process with status 0
        std::function<QPoint()> pointer;  // where the pointer is now
        // Said once, this long after launch, if no tray shows the icon by
        // then (a panel that starts after its session's autostart programs
        // still gets the icon in time).
        QString noTrayAdvice;
        int noTrayGraceMs = 10000;
    };

    explicit AppDelegate(Services services, QObject* parent = nullptr);
    ~AppDelegate() override;

    // The launch sequence; runs once, after the event loop has started.
    void applicationDidFinishLaunching();
    // Started again while running: say that it runs, and what the shortcut does.
    void activate();
    void togglePopover();
    void handleStatusItemClick(QSystemTrayIcon::ActivationReason reason);
    void closeTool();
    RegistrationResult registerGlobalHotkey();
    void showNotification(const QString& title, const QString& body);

    TrayIcon* statusItem() const { return statusItem_.get(); }
    PanelWindow* popover() const { return popover_.get(); }
    QMenu* statusMenu() const { return statusMenu_.get(); }
    const RegistrationResult& shortcutResult() const { return shortcutResult_; }

private:
    void onShortcut(ShortcutId id);
    // Tooltip and notification for shortcutResult_.
    void showShortcutStatus(bool wasLost = false);
    QString chord() const;
    QRect iconRect() const;

    Services services_;
    std::unique_ptr<TrayIcon> statusItem_;
    std::unique_ptr<PanelWindow> popover_;
    std::unique_ptr<QMenu> statusMenu_;
    std::unique_ptr<ShortcutBackend> shortcut_;
    RegistrationResult shortcutResult_;
    QString statusText_;  // what the last word on the shortcut said
    QTimer* registrationWait_ = nullptr;
};

}  // namespace purlo
