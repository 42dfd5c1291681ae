// Presses keys through KWin's fake-input protocol, which goes through the
// compositor's whole input path (its global shortcuts included), unlike
// XTEST on Xwayland. Arguments are evdev key codes, each pressed in order and
// then released in reverse: `fake_keys 125 42 47` is Meta+Shift+V.
#include "fake-input-client-protocol.h"

#include <wayland-client.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
org_kde_kwin_fake_input* fake = nullptr;

void announce(void*, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t version) {
    // keyboard_key arrived in version 4.
    if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 4) {
        fake = static_cast<org_kde_kwin_fake_input*>(
            wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4));
    }
}
void withdraw(void*, wl_registry*, std::uint32_t) {}
const wl_registry_listener kListener{announce, withdraw};
}  // namespace

int main(int argc, char** argv) {
    wl_display* display = wl_display_connect(nullptr);
    if (!display) return std::fputs("fake_keys: no Wayland display\n", stderr), 2;
    wl_registry_add_listener(wl_display_get_registry(display), &kListener, nullptr);
    wl_display_roundtrip(display);
    if (!fake) return std::fputs("fake_keys: the compositor offers no org_kde_kwin_fake_input v4\n", stderr), 2;
    org_kde_kwin_fake_input_authenticate(fake, "Purlo tests", "press shortcuts");
    for (int i = 1; i < argc; ++i)
        org_kde_kwin_fake_input_keyboard_key(fake, std::atoi(argv[i]), WL_KEYBOARD_KEY_STATE_PRESSED);
    for (int i = argc - 1; i >= 1; --i)
        org_kde_kwin_fake_input_keyboard_key(fake, std::atoi(argv[i]), WL_KEYBOARD_KEY_STATE_RELEASED);
    // Returns once KWin has read every key.
    const int status = wl_display_roundtrip(display) < 0 ? 1 : 0;
    wl_display_disconnect(display);
    return status;
}
