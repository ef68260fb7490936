#pragma once
// Whether a full-screen program is in front, so that pop-ups wait for later.

namespace tandrel::platform {

// True when the active window of the X11 display (its window manager's
// _NET_ACTIVE_WINDOW, else the window holding the input focus) or one of its
// parents is in the _NET_WM_STATE_FULLSCREEN state. False without a display
// name, when the display cannot be reached, and on every other display server.
bool IsFullScreenWindowInFront(const char* x11Display);

}  // namespace tandrel::platform
