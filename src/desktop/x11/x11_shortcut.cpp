#include "desktop/x11/x11_shortcut.hpp"

#include <QCoreApplication>
#include <QMetaObject>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace purlo {
namespace {

constexpr std::uint32_t kKeysymLowerV = 0x0076;  // XK_v
constexpr std::uint32_t kKeysymUpperV = 0x0056;  // XK_V
constexpr std::uint32_t kKeysymNumLock = 0xff7f;
constexpr std::uint32_t kKeysymSuperL = 0xffeb;
constexpr std::uint32_t kKeysymSuperR = 0xffec;
constexpr std::uint8_t kBadAccess = 10;
constexpr std::uint8_t kXkbNewKeyboardNotify = 0;
constexpr std::uint8_t kXkbMapNotify = 1;
// Only the eight core modifier bits; the rest of a key event's state is
// pointer buttons and the XKB group, which must not decide anything.
constexpr std::uint16_t kModifierBits = 0xff;

struct KeySymbolsDeleter {
    void operator()(xcb_key_symbols_t* s) const { xcb_key_symbols_free(s); }
};
using KeySymbols = std::unique_ptr<xcb_key_symbols_t, KeySymbolsDeleter>;

std::vector<std::uint8_t> keycodesFor(xcb_key_symbols_t* symbols, std::initializer_list<std::uint32_t> keysyms) {
    std::vector<std::uint8_t> out;
    for (std::uint32_t sym : keysyms) {
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, sym);
        if (!codes) continue;
        for (xcb_keycode_t* c = codes; *c != XCB_NO_SYMBOL; ++c) out.push_back(*c);
        std::free(codes);
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

}  // namespace

X11ShortcutBackend::X11ShortcutBackend(xcb_connection_t* connection, QObject* parent)
    : ShortcutBackend(parent), connection_(connection) {
    qRegisterMetaType<purlo::ShortcutId>();
    for (auto it = xcb_setup_roots_iterator(xcb_get_setup(connection_)); it.rem; xcb_screen_next(&it)) {
        roots_.push_back(it.data->root);
    }
    const xcb_query_extension_cookie_t ext = xcb_query_extension(connection_, 9, "XKEYBOARD");
    if (auto* reply = xcb_query_extension_reply(connection_, ext, nullptr)) {
        if (reply->present) xkbFirstEvent_ = reply->first_event;
        std::free(reply);
    }
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11ShortcutBackend::~X11ShortcutBackend() {
    if (auto* app = QCoreApplication::instance()) app->removeNativeEventFilter(this);
    ungrabAll();
    xcb_flush(connection_);
}

RegistrationResult X11ShortcutBackend::registerShortcut(ShortcutId id) {
    id_ = id;
    ungrabAll();
    RegistrationResult result = grabAll();
    registered_ = result.ok;
    wanted_ = true;
    return result;
}

void X11ShortcutBackend::readModifierMasks() {
    KeySymbols symbols(xcb_key_symbols_alloc(connection_));
    const std::vector<std::uint8_t> numLock = keycodesFor(symbols.get(), {kKeysymNumLock});
    const std::vector<std::uint8_t> super = keycodesFor(symbols.get(), {kKeysymSuperL, kKeysymSuperR});
    keycodes_ = keycodesFor(symbols.get(), {kKeysymLowerV, kKeysymUpperV});

    numLockMask_ = 0;
    superMask_ = 0;
    auto* mapping = xcb_get_modifier_mapping_reply(connection_, xcb_get_modifier_mapping(connection_), nullptr);
    if (mapping) {
        const int perModifier = mapping->keycodes_per_modifier;
        const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(mapping);
        // Shift, Lock and Control are fixed; NumLock and Super live on
        // whichever of Mod1..Mod5 this keyboard puts them.
        for (int mod = 3; mod < 8; ++mod) {
            for (int k = 0; k < perModifier; ++k) {
                const xcb_keycode_t code = codes[mod * perModifier + k];
                if (code == 0) continue;
                if (std::binary_search(numLock.begin(), numLock.end(), code)) numLockMask_ |= 1u << mod;
                if (std::binary_search(super.begin(), super.end(), code)) superMask_ |= 1u << mod;
            }
        }
        std::free(mapping);
    }
    if (superMask_ == 0) superMask_ = XCB_MOD_MASK_4;  // the conventional home of Super
    // A NumLock that shares Super's modifier cannot be told apart from it.
    numLockMask_ &= static_cast<std::uint16_t>(~superMask_);
}

RegistrationResult X11ShortcutBackend::grabAll() {
    readModifierMasks();
    if (keycodes_.empty()) {
        return RegistrationResult::unavailable("the keyboard layout has no V key");
    }
    const std::uint16_t base = superMask_ | XCB_MOD_MASK_SHIFT;
    std::vector<std::uint16_t> variants{base, std::uint16_t(base | XCB_MOD_MASK_LOCK)};
    if (numLockMask_) {
        variants.push_back(base | numLockMask_);
        variants.push_back(base | numLockMask_ | XCB_MOD_MASK_LOCK);
    }

    struct Pending {
        Grab grab;
        xcb_void_cookie_t cookie;
    };
    std::vector<Pending> pending;
    for (std::uint32_t root : roots_) {
        for (std::uint8_t code : keycodes_) {
            for (std::uint16_t mods : variants) {
                pending.push_back(
                    {{root, code, mods},
                     xcb_grab_key_checked(connection_, 1, root, mods, code, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)});
            }
        }
    }
    bool taken = false;
    bool otherError = false;
    for (const Pending& p : pending) {
        if (xcb_generic_error_t* error = xcb_request_check(connection_, p.cookie)) {
            (error->error_code == kBadAccess ? taken : otherError) = true;
            std::free(error);
        } else {
            grabs_.push_back(p.grab);
        }
    }
    if (taken || otherError) {
        // Half a shortcut would fire with NumLock on and not off: all or nothing.
        ungrabAll();
        xcb_flush(connection_);
        if (taken) return RegistrationResult::takenElsewhere("Super+Shift+V is already taken by another program");
        return RegistrationResult::unavailable("the X server refused the Super+Shift+V key grab");
    }
    xcb_flush(connection_);
    return RegistrationResult::bound();
}

void X11ShortcutBackend::ungrabAll() {
    for (const Grab& g : grabs_) xcb_ungrab_key(connection_, g.keycode, g.root, g.modifiers);
    grabs_.clear();
    held_ = false;
}

void X11ShortcutBackend::regrabAfterMappingChange() {
    regrabPending_ = false;
    if (!wanted_) return;
    ungrabAll();
    // The new layout's V may be taken, or gone; a later change may bring it
    // back. Either way the program must stop (or start again) saying so.
    const bool was = registered_;
    RegistrationResult result = grabAll();
    registered_ = result.ok;
    if (registered_ != was) emit registrationChanged(result);
}

bool X11ShortcutBackend::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    const std::uint8_t type = event->response_type & 0x7f;

    const bool mappingChanged =
        (type == XCB_MAPPING_NOTIFY &&
         reinterpret_cast<xcb_mapping_notify_event_t*>(event)->request != XCB_MAPPING_POINTER) ||
        (xkbFirstEvent_ != 0 && type == xkbFirstEvent_ &&
         (event->pad0 == kXkbNewKeyboardNotify || event->pad0 == kXkbMapNotify));
    if (mappingChanged) {
        // Coalesce a burst of notifications into one re-grab, after Qt has
        // updated its own view of the keyboard.
        if (wanted_ && !regrabPending_) {
            regrabPending_ = true;
            QMetaObject::invokeMethod(
                this, [this] { regrabAfterMappingChange(); }, Qt::QueuedConnection);
        }
        return false;
    }

    if (!registered_ || (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)) return false;
    auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
    if (!std::binary_search(keycodes_.begin(), keycodes_.end(), key->detail)) return false;

    if (type == XCB_KEY_RELEASE) {
        if (held_) {
            held_ = false;
            lastReleaseTime_ = key->time;
        }
        return false;
    }
    const std::uint16_t ignored = XCB_MOD_MASK_LOCK | numLockMask_;
    const std::uint16_t mods = key->state & kModifierBits & ~ignored;
    if (mods != (superMask_ | XCB_MOD_MASK_SHIFT)) return false;

    const bool repeat = held_ || (lastReleaseTime_ != 0 && key->time == lastReleaseTime_);
    held_ = true;
    if (!repeat) {
        // Never clean here: whoever listens queues the work.
        emit activated(id_);
    }
    return true;  // ours, also when it reached one of our own popups
}

}  // namespace purlo
