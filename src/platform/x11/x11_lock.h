#pragma once
// The play window's hold on an X11 desktop, kept the way a screen locker keeps its window: the
// window is the server's (override-redirect), the input is grabbed by Tappy itself, and every
// change that could let a child out is seen as an X event and taken back at once, with a slower
// safety tick behind the events.
//  [X] the play window and the covers are override-redirect: no window manager can unmap,
//      iconify, tile, move to another desktop, show the desktop over them or bind mouse buttons
//      on them; they keep their title, so a second start still finds the play window
//  [X] the keyboard grabbed by Tappy on the root (which no program can unmap, as it can the play
//      window), its keys handed to the play window, with the focus on a small window of the
//      lock's own: SDL never sees the focus come or go (each time it would give up the grab), and
//      a grab that ends for any reason shows as a focus event, answered by a new grab at once
//  [X] the pointer grabbed and confined to the play window on every session, so no window
//      manager sees a button or wheel binding and the pointer never reaches another monitor;
//      clicks still reach the play window (the corner gesture)
//  [X] re-asserted on events: other top-level windows mapping or restacking (raise), ours
//      unmapped, moved or resized (map, put back), focus leaving, a grab ending, the current
//      desktop or "show desktop" changing; and on every Tick()
//  [X] a grab that cannot be taken back is retried on every event and tick, and said once on
//      standard error; so is a keymap with grab-breaking actions (XKB grab:break_actions)
//  [X] no X error ends the program (the handler below never exits); a connection closed by
//      another program while the screen is held starts Tappy again
//  [ ] what the server or the kernel does before any client sees it: virtual terminal
//      switches, Ctrl+Alt+Backspace, SysRq, power and suspend keys, grab-breaking XKB actions
//  [ ] another program on the same display may still kill Tappy (the restart takes a moment),
//      destroy its window or raise a window of its own in an endless race
#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <vector>

namespace tappy::x11 {

// What an event asks the lock to take back, as bits.
constexpr unsigned REASSERT_GRAB = 1;
constexpr unsigned REASSERT_FOCUS = 2;
constexpr unsigned REASSERT_MAP = 4;
constexpr unsigned REASSERT_RAISE = 8;
constexpr unsigned REASSERT_PLACE = 16;
constexpr unsigned REASSERT_ALL = 31;

// The windows and atoms an event is judged against.
struct LockWindows {
    Window root = 0;
    Window play = 0;
    std::vector<Window> covers;
    Window keys = 0;         // the lock's own window that holds the focus
    Atom currentDesktop = 0; // _NET_CURRENT_DESKTOP
    Atom showingDesktop = 0; // _NET_SHOWING_DESKTOP
    Atom activeWindow = 0;   // _NET_ACTIVE_WINDOW
};

// The plain decision behind OnXEvent: what the event may have taken and must be taken back.
// No X calls, so it is tested without a display.
unsigned ReassertFor(const XEvent& event, const LockWindows& windows);

// True when the root's children (bottom to top, as XQueryTree lists them) end with our windows,
// the play window last.
bool OursOnTop(const std::vector<Window>& stack, const LockWindows& windows);

// True for an XKB action that ends grabs or kills their clients (XF86Ungrab, XF86ClearGrab).
bool BreaksGrabs(const XkbAction& action);

// Makes a window the server's before it is first mapped: no window manager will manage it.
void MakeOverrideRedirect(Display* display, Window window);

// Installs the process's X error handlers once: errors are counted and never end the program;
// a server that has gone does, with one line on standard error.
// Errors of the requests that race other clients (focus, grabs, stacking, windows gone) are
// expected; any other kind is said once on standard error.
void InstallErrorHandler();
// How many X errors the handler has absorbed, for tests and notes.
unsigned long AbsorbedErrors();

class Lock {
public:
    // display is SDL's connection; play and covers are already mapped and placed.
    Lock(Display* display, Window play, std::vector<Window> covers);
    ~Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

    void OnXEvent(const XEvent& event);
    // The monitors changed: the play window was refitted and these are the covers now.
    void SetCovers(std::vector<Window> covers);
    // The grab reports keys to the root, where SDL, reading only its own windows' events, would
    // drop them: a key at the root is put back at the head of Xlib's queue as the play
    // window's. Called while SDL reads the event, so the key keeps its place among the others.
    void RedirectKey(const XEvent& event);
    // The safety timer: takes everything back whatever the events said.
    void Tick();

    bool KeyboardHeld() const { return m_keyboardHeld; }
    bool PointerHeld() const { return m_pointerHeld; }

private:
    struct Place {
        Window window;
        int x, y;
        unsigned w, h;
    };
    void Reassert(unsigned what);
    void Grab();
    void Focus();
    void Map();
    void Raise();
    void PutBack();
    void WarnBreakActions();
    // Takes the events of our windows and remembers where they are.
    void Watch();

    Display* m_display;
    LockWindows m_windows;
    std::vector<Place> m_places;
    long m_rootMaskBefore = 0;
    bool m_keyboardHeld = false;
    bool m_pointerHeld = false;
    bool m_everHeld = false;
    bool m_toldLost = false;
};

} // namespace tappy::x11
