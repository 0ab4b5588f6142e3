#pragma once
// What only an X11 session lets Tappy do, on the display connection that SDL opened (Tappy opens
// no connection of its own):
//  [X] covers over other monitors that never take the focus and that the server repaints
//  [X] the monitors of one X screen split into several (XRandR 1.5), and news of their changes
//  [X] Caps Lock, Num Lock and Scroll Lock read at start and put back at exit
//  [X] bringing a running instance's window to the front, found by its title
// Not here: the grabs, the focus and the stacking are the lock's (x11_lock.h); the screen saver
// (SDL suspends it on every driver) and the one-instance lock file are the same on every session
// (sdl/session_sdl.cpp).
// Rectangles are in pixels in the X screen's coordinates, origin top-left.
#include "platform/session_rules.h"

#include <X11/Xlib.h>

#include <vector>

namespace tappy::x11 {

class Session {
public:
    // display: SDL's connection, borrowed; it must outlive this object.
    explicit Session(Display* display);
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    Display* display() const { return m_display; }

    void RefuseFocus(Window cover) const;
    // Paints a cover in 0xRRGGBB as its background, which the server then keeps painted.
    void PaintCover(Window cover, unsigned color) const;

    // Empty when XRandR 1.5 is missing.
    std::vector<MonitorRect> Monitors() const;
    // Asks RandR for news of the screen and its monitors (SDL's own output news kept), and tells
    // such news among the events.
    void WatchMonitors();
    bool IsMonitorChange(const XEvent& event) const;
    void RaiseTitled(const char* title) const;

    void RememberLockKeys();
    // Puts back the lock keys remembered at start; does nothing when none were read.
    void RestoreLockKeys();

private:
    Display* m_display;
    int m_randrEvents = -1; // RandR's first event code, -1 when not watched
    bool m_lockKeysKnown = false;
    unsigned m_lockKeysAtStart = 0;
    unsigned m_lockKeysReadable = 0;
};

} // namespace tappy::x11
