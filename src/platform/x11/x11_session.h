#pragma once
// What only an X11 session lets Tappy do, on the display connection that SDL opened (Tappy opens
// no connection of its own):
//  [X] the keyboard grab, with its result checked; the pointer held inside the play window
//      while other monitors are covered
//  [X] telling a real focus loss from the focus moves a grab or a child window makes
//  [X] covers over other monitors that never take the focus and that the server repaints
//  [X] the monitors of one X screen split into several (XRandR 1.5)
//  [X] Caps Lock, Num Lock and Scroll Lock read at start and put back at exit
//  [X] bringing a running instance's window to the front, found by its title
//  [ ] the screen saver: SDL suspends it on every driver (sdl/session_sdl.cpp)
//  [ ] the one-instance lock file: not X's, the same on every session (sdl/session_sdl.cpp)
// Rectangles are in pixels in the X screen's coordinates, origin top-left.
#include "platform/session_rules.h"

#include <X11/Xlib.h>

#include <vector>

namespace tappy::x11 {

struct GrabResult {
    bool settled = false;     // the keyboard (and the pointer when asked) held, and focus ours
    bool pointerHeld = false; // the pointer grab holds
};

class Session {
public:
    // display: SDL's connection, borrowed; it must outlive this object.
    explicit Session(Display* display);
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    Display* display() const { return m_display; }

    // The window that has the keyboard focus now.
    Window FocusWindow() const;
    // Takes (or renews) the keyboard grab for window, and the pointer grab when holdPointer;
    // focusOurs says whether window had the focus before the caller asked for it.
    GrabResult AssertGrab(Window window, bool focusOurs, bool holdPointer);
    void ReleaseGrab();
    // Every X event SDL reads for Tappy's windows passes here. True when it is a focus loss of
    // window that the grab has to answer.
    bool IsFocusLoss(const XEvent& event, Window window) const;

    void RefuseFocus(Window cover) const;
    // Paints a cover in 0xRRGGBB as its background, which the server then keeps painted.
    void PaintCover(Window cover, unsigned color) const;

    // Empty when XRandR 1.5 is missing.
    std::vector<MonitorRect> Monitors() const;
    void RaiseTitled(const char* title) const;

    void RememberLockKeys();
    // Puts back the lock keys remembered at start; does nothing when none were read.
    void RestoreLockKeys();

private:
    Display* m_display;
    bool m_pointerHeld = false;
    bool m_lockKeysKnown = false;
    unsigned m_lockKeysAtStart = 0;
    unsigned m_lockKeysReadable = 0;
};

} // namespace tappy::x11
