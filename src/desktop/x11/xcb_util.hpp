#pragma once
// Small pieces shared by the X selection reader and owner.

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace purlo::xcb {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

inline xcb_atom_t intern(xcb_connection_t* c, const char* name) {
    Reply<xcb_intern_atom_reply_t> r(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr));
    return r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
}

inline xcb_window_t owner(xcb_connection_t* c, xcb_atom_t selection) {
    Reply<xcb_get_selection_owner_reply_t> r(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr));
    return r ? r->owner : xcb_window_t(XCB_NONE);
}

// The ICCCM's largest data one request may carry, in bytes, with room for
// the request's own header; what is larger goes by INCR.
inline std::size_t maxPropertyBytes(xcb_connection_t* c) {
    return std::size_t(xcb_get_maximum_request_length(c)) * 4 - 64;
}

}  // namespace purlo::xcb
