#pragma once
// The X11 connection and window behind an SDL window, for the few calls SDL does not make
// itself (the verified keyboard grab, the pointer confinement, the monitor covers).
// Platform-internal.
#include <SDL.h>
#include <X11/Xlib.h>

namespace tappy {
// False when the window is not an X11 window (another driver, or Wayland without Xwayland).
bool X11Handles(SDL_Window* window, Display** display, Window* xwindow);
} // namespace tappy
