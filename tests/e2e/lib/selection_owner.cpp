// Waits until an X selection has an owner (or, with --gone, has none), for
// the end-to-end harness and tests: shell tools cannot ask for a selection's
// owner, and polling `xclip -o` would disturb the very owner being waited for.
//
//   selection_owner [--gone] SELECTION TIMEOUT_SECONDS
//
// Exit 0 when the condition holds (prints the owner's window id), 1 on
// timeout, 2 on bad usage or no X connection.
#include <xcb/xcb.h>

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

xcb_window_t ownerOf(xcb_connection_t* c, xcb_atom_t selection) {
    xcb_get_selection_owner_reply_t* r =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr);
    if (!r) return XCB_NONE;
    const xcb_window_t w = r->owner;
    std::free(r);
    return w;
}

}  // namespace

int main(int argc, char** argv) {
    bool gone = false;
    int arg = 1;
    if (arg < argc && std::strcmp(argv[arg], "--gone") == 0) {
        gone = true;
        ++arg;
    }
    if (argc - arg != 2) {
        std::fprintf(stderr, "usage: selection_owner [--gone] SELECTION TIMEOUT_SECONDS\n");
        return 2;
    }
    const std::string name = argv[arg];
    const double seconds = std::atof(argv[arg + 1]);

    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "selection_owner: cannot connect to the X server\n");
        return 2;
    }
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, uint16_t(name.size()), name.c_str()), nullptr);
    if (!atom) return 2;
    const xcb_atom_t selection = atom->atom;
    std::free(atom);

    // A manager selection's new owner announces itself with a MANAGER client
    // message to the root window (ICCCM 2.8), which wakes the wait below at
    // once; for other selections the wait falls back to short polls.
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, screen->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);

    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(static_cast<long>(seconds * 1000));
    for (;;) {
        const xcb_window_t owner = ownerOf(c, selection);
        if ((owner != XCB_NONE) != gone) {
            std::printf("0x%x\n", owner);
            xcb_disconnect(c);
            return 0;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p{xcb_get_file_descriptor(c), POLLIN, 0};
        poll(&p, 1, int(std::min<long>(left.count(), 20)));
        while (xcb_generic_event_t* e = xcb_poll_for_event(c)) std::free(e);
        if (xcb_connection_has_error(c)) return 2;
    }
    xcb_disconnect(c);
    return 1;
}
