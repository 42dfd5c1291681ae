#pragma once
// Super+Shift+V as a passive key grab on every root window of the X display.

#include "desktop/shortcut.hpp"

#include <QAbstractNativeEventFilter>

#include <cstdint>
#include <vector>

struct xcb_connection_t;

namespace purlo {

class X11ShortcutBackend final : public ShortcutBackend, private QAbstractNativeEventFilter {
public:
    // `connection` is Qt's own, so that key presses reach us through Qt's
    // event stream whichever window they are delivered to.
    explicit X11ShortcutBackend(xcb_connection_t* connection, QObject* parent = nullptr);
    ~X11ShortcutBackend() override;

    RegistrationResult registerShortcut(ShortcutId id) override;
    const char* name() const override { return "X11"; }

private:
    struct Grab {
        std::uint32_t root;
        std::uint8_t keycode;
        std::uint16_t modifiers;
    };

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
    RegistrationResult grabAll();
    void ungrabAll();
    void readModifierMasks();
    void regrabAfterMappingChange();

    xcb_connection_t* connection_;
    std::vector<std::uint32_t> roots_;
    std::vector<std::uint8_t> keycodes_;  // every key that produces v or V
    std::vector<Grab> grabs_;
    ShortcutId id_{};
    bool registered_ = false;
    bool wanted_ = false;  // registerShortcut() ran: keep the grab across mapping changes
    bool regrabPending_ = false;

    std::uint16_t superMask_ = 0;
    std::uint16_t numLockMask_ = 0;
    std::uint8_t xkbFirstEvent_ = 0;  // 0: the server has no XKB

    // Auto-repeat shows up either as press/press/... (detectable repeat) or
    // as release+press pairs sharing one timestamp; neither is a new press.
    bool held_ = false;
    std::uint32_t lastReleaseTime_ = 0;
};

}  // namespace purlo
