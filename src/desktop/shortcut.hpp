#pragma once
// The one system-wide shortcut, behind a small interface so that each
// desktop brings its own way to it (an X key grab, the shortcut portal,
// macOS one day).

#include <QObject>

#include <cstdint>
#include <memory>
#include <string>

namespace purlo {

// A 32-bit number made of four ASCII characters, the first in the most
// significant byte.
constexpr std::uint32_t fourCharCode(const char (&s)[5]) {
    return (std::uint32_t(std::uint8_t(s[0])) << 24) | (std::uint32_t(std::uint8_t(s[1])) << 16) |
           (std::uint32_t(std::uint8_t(s[2])) << 8) | std::uint32_t(std::uint8_t(s[3]));
}

struct ShortcutId {
    std::uint32_t signature = 0;
    std::uint32_t id = 0;
};

inline constexpr ShortcutId kCleanShortcut{fourCharCode("PRLO"), 1};

struct RegistrationResult {
    bool ok = false;
    std::string reason;  // empty when ok; otherwise says why, for the user
    // True when another program already holds the combination (as opposed to
    // a desktop where Purlo cannot register shortcuts at all).
    bool taken = false;
    // The desktop answers later, through registrationChanged() (a portal
    // that may ask the user first). With a reason: the shortcut worked and
    // was lost, and is bound again once what took it away returns.
    bool pending = false;
    // The keys the desktop says it bound, in its own words ("Meta+Shift+V");
    // empty where the backend bound exactly Super+Shift+V itself.
    std::string trigger;
    // Where the shortcut is not registered, what the user can do about it on
    // this desktop; empty when there is nothing to do (another program
    // holds the chord, say).
    std::string advice;
    // Not registered, but the backend can make the desktop bind the chord
    // itself, through setUp(), once the user asks for it.
    bool canSetUp = false;

    static RegistrationResult bound(std::string trigger = {}) {
        return {true, {}, false, false, std::move(trigger), {}};
    }
    static RegistrationResult unavailable(std::string reason) {
        return {false, std::move(reason), false, false, {}, {}};
    }
    static RegistrationResult takenElsewhere(std::string reason) {
        return {false, std::move(reason), true, false, {}, {}};
    }
    static RegistrationResult waiting() { return {false, {}, false, true, {}, {}}; }
    static RegistrationResult lost(std::string reason) { return {false, std::move(reason), false, true, {}, {}}; }
    // The desktop asks the user first (a dialog): still pending, with what
    // the user has to do and no reason.
    static RegistrationResult confirming(std::string advice) { return {false, {}, false, true, {}, std::move(advice)}; }
    bool awaitsUser() const { return pending && reason.empty() && !advice.empty(); }
};

// Registers the program's one combination: the V key with exactly
// Command+Shift (Super+Shift on Linux). Emits activated() once per press, on
// the GUI thread.
class ShortcutBackend : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~ShortcutBackend() override = default;

    virtual RegistrationResult registerShortcut(ShortcutId id) = 0;
    // Where the last result said canSetUp: makes the desktop bind the chord,
    // at the user's request, and tells the outcome through
    // registrationChanged().
    virtual void setUp() {}
    // Human name of this backend, for messages ("X11", "portal", "none").
    virtual const char* name() const = 0;

signals:
    void activated(purlo::ShortcutId id);
    // The shortcut stopped working after it had been registered, or works
    // again (a keyboard layout change, say).
    void registrationChanged(const purlo::RegistrationResult& now);
};

}  // namespace purlo

Q_DECLARE_METATYPE(purlo::ShortcutId)
Q_DECLARE_METATYPE(purlo::RegistrationResult)
