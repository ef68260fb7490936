#include "platform/desktop/full_screen.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace tandrel::platform {

namespace {

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
    Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, std::strlen(name), name), nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

// The 32-bit values of a window's property; empty when it has none.
std::vector<std::uint32_t> Property(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property,
                                    xcb_atom_t type) {
    Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(connection, xcb_get_property(connection, 0, window, property, type, 0, 64), nullptr),
        &std::free);
    if (!reply || reply->format != 32) return {};
    const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    return {values, values + xcb_get_property_value_length(reply.get()) / 4};
}

xcb_window_t ActiveWindow(xcb_connection_t* connection, xcb_window_t root) {
    const std::vector<std::uint32_t> active =
        Property(connection, root, Atom(connection, "_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW);
    if (!active.empty() && active[0] != XCB_WINDOW_NONE) return active[0];
    // No window manager publishes one: the focus tells.
    Reply<xcb_get_input_focus_reply_t> focus(
        xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr), &std::free);
    if (!focus || focus->focus == XCB_WINDOW_NONE || focus->focus == XCB_INPUT_FOCUS_POINTER_ROOT) {
        return XCB_WINDOW_NONE;
    }
    return focus->focus;
}

xcb_window_t Parent(xcb_connection_t* connection, xcb_window_t window) {
    Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr),
                                       &std::free);
    return tree ? tree->parent : xcb_window_t{XCB_WINDOW_NONE};
}

}  // namespace

bool IsFullScreenWindowInFront(const char* x11Display) {
    if (!x11Display || !*x11Display) return false;
    int screenNumber = 0;
    std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> connection(xcb_connect(x11Display, &screenNumber),
                                                                            &xcb_disconnect);
    if (xcb_connection_has_error(connection.get())) return false;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection.get()));
    for (int i = 0; i < screenNumber && screens.rem; ++i) xcb_screen_next(&screens);
    if (!screens.rem) return false;
    const xcb_window_t root = screens.data->root;

    const xcb_atom_t state = Atom(connection.get(), "_NET_WM_STATE");
    const xcb_atom_t fullScreen = Atom(connection.get(), "_NET_WM_STATE_FULLSCREEN");
    // The focus may sit in a child of the full-screen top-level window.
    for (xcb_window_t window = ActiveWindow(connection.get(), root); window != XCB_WINDOW_NONE && window != root;
         window = Parent(connection.get(), window)) {
        for (std::uint32_t atom : Property(connection.get(), window, state, XCB_ATOM_ATOM)) {
            if (atom == fullScreen) return true;
        }
    }
    return false;
}

}  // namespace tandrel::platform
