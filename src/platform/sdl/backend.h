#pragma once
// The SDL backend's state, owned by one object, and the calls its files make into each other.
// Nothing outside src/platform/ (and its tests) sees it.
//  [X] windows, covers, dialogs, the message loop and the one event translation, on every desktop
//  [X] the session kind (X11, Wayland, headless, other) decided once, when video starts
//  [X] surfaces and text, pictures, the mixer
//  [X] the keyboard filter
//  [ ] what only X11 can do (the checked grab, the pointer held, covers that refuse the focus,
//      monitors, lock keys, raising a running instance): x11/, on SDL's own connection
//  [X] what only Wayland can do (the inhibitor that says whether it was granted, full screen
//      asked again, idle, a second start's activation): wayland/, on SDL's own connection
//
// Order of life: AfxWinMain makes the state (PlatformOwner) before InitInstance and ends it after
// ExitInstance: windows, then the session (lock keys, instance lock), then sound, then the X11
// part and SDL itself, the reverse of their start. Code that runs without that entry point (the
// tests, the benchmarks) gets a state made on first use that lasts to the end of the process.
// What static construction and destruction need (window classes, resources, the application
// pointer, the picture cache, the mixer) is not here: each is made on first use and lasts to the
// end of the process, so the sound worker and the static topics can use it at any time.
#include "platform/app.h"
#include "platform/keymap.h"
#include "platform/session_rules.h"
#include "platform/wnd.h"

#include <SDL.h>

#include <bitset>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tappy::x11 {
class Session;
}

struct WndImpl {
    SDL_Window* window = nullptr;
    CWnd* owner = nullptr;
    bool invalid = false;      // a WM_PAINT is due once no other event waits
    bool shown = false;        // mapped on the screen
    bool coversScreen = false; // a popup at the primary screen's size: shown full-screen
    // Plain windows over the other monitors while a covering window is shown; they take no
    // input, and while there are any the pointer is held inside this window.
    std::vector<SDL_Window*> covers;
    Uint32 background = 0xFFFFFF; // the class brush's colour, 0xRRGGBB
};

namespace tappy::x11 {
class Lock;
}
namespace tappy::wayland {
class Canvas;
class Lock;
} // namespace tappy::wayland

struct HookImpl {
    HookImpl();
    ~HookImpl(); // where the lock's type is complete (keyboard_sdl.cpp)
    HOOKPROC proc = nullptr;
    HWND target = nullptr; // the window that holds the grab
    bool settled = false;  // grab held and focus ours: no re-assertion needed
    SDL_TimerID timer = 0;
    std::unique_ptr<tappy::x11::Lock> lock; // X11 only: the grabs, the focus and the stacking
    std::unique_ptr<tappy::wayland::Lock> waylandLock; // Wayland only: what the compositor grants
};

namespace tappy {

// One key event, looked up once when SDL delivers it. The keyboard filter judges it and the
// window's key message is made from it; the modifiers are the ones SDL reported with it.
struct KeyEvent {
    KeyInfo key;
    SDL_Scancode scancode;
    bool up;
    bool repeat;
    Uint16 mod;
    Uint32 timestamp;
};

// A Wayland window's pixels: what Tappy draws on, and the canvas that shows it.
struct WindowPixels {
    ~WindowPixels(); // where the canvas's type is complete (window_surface.cpp)
    SDL_Surface* surface = nullptr;
    std::unique_ptr<wayland::Canvas> canvas;
};

struct PlatformState {
    PlatformState();
    ~PlatformState();

    // Decided once, when video starts; none until then.
    SessionKind session = SessionKind::none;
    // On X11: a hidden window whose only use is SDL's X connection, so that the X11 part has it
    // before the first real window exists and after the last one has gone.
    SDL_Window* connectionWindow = nullptr;
    std::unique_ptr<x11::Session> x11;
    int instanceLockFd = -1;
    std::string instanceLockPath;
    int raiseFd = -1; // Wayland: where a second start asks this one to come forward

    std::vector<HWND> windows; // oldest first; a handle not in it is stale and is ignored
    // Wayland: each window's pixels, by SDL window id (window_surface.cpp).
    std::map<Uint32, std::unique_ptr<WindowPixels>> windowPixels;
    HWND focus = nullptr;

    std::deque<MSG> posted; // messages made from SDL events, not yet taken by PeekMessageA

    HookImpl* hook = nullptr;
    // Keys whose press the filter swallowed: their release is swallowed too, even if the
    // modifiers changed in between, so the window never sees half a key.
    std::bitset<SDL_NUM_SCANCODES> swallowed;
    // The event the filter is judging: GetAsyncKeyState answers from its modifiers, what was
    // down at that key press, not after the keys queued behind it.
    const KeyEvent* judging = nullptr;
};

// The live state (made on first use when no PlatformOwner made it).
PlatformState& Platform();

// Made by AfxWinMain: Start before InitInstance; the destructor shuts down in reverse order.
class PlatformOwner {
public:
    PlatformOwner();
    ~PlatformOwner();
    PlatformOwner(const PlatformOwner&) = delete;
    PlatformOwner& operator=(const PlatformOwner&) = delete;
    // Video (refused when SDL would fall back to an invisible driver nobody asked for), fonts
    // and sound. False, with a message on standard error, when there is no display.
    bool Start();
};

// Sets the hints that must precede video start-up, starts SDL's video once and decides the
// session kind. False (with SDL_GetError set) when there is no display.
bool EnsureVideo();
// True for a session that puts windows on a real screen (not dummy or offscreen).
bool VideoHasDisplay();
// The X11 part, or null when the session is not X11.
x11::Session* X11();
// The X window behind an SDL window, 0 when it has none.
unsigned long X11Window(SDL_Window* window);

// A window's pixels to draw on, and showing them: SDL's window surface, or on Wayland one of
// Tappy's own (window_surface.cpp). Released at shut-down, before the connection closes.
SDL_Surface* WindowSurface(SDL_Window* window);
bool PresentWindowSurface(SDL_Window* window);
void ReleaseWindowSurfaces();

// Windows (wnd_sdl.cpp).
bool IsLiveWindow(HWND hwnd);
HWND WindowFromSdlId(Uint32 windowId);
// The window that keyboard input goes to: the one last focused, else the oldest live one.
HWND KeyboardTarget();
// The first live window whose contents are invalid, or null.
HWND FirstInvalidWindow();
void DestroyAllWindows();

// The keyboard filter and the grab (keyboard_sdl.cpp).
// Runs the installed low-level filter on a key event; true when it swallows the event.
bool RunKeyboardFilter(const KeyEvent& key);
// Event type of the grab re-assertion tick (an SDL user event), registered on first use.
Uint32 GrabTickEvent();
void OnGrabTick();
void OnWindowShown(HWND hwnd);
void OnFocusLost(HWND hwnd);
void OnFocusGained(HWND hwnd);
// A cover got or lost the focus (on Wayland a compositor may give it one).
void OnCoverFocus(SDL_Window* cover, bool gained);
// The compositor resized a window (on Wayland it may have dropped its full screen).
void OnWindowResized(HWND hwnd);
void OnWindowDestroyed(HWND hwnd);
// A window the program hides is not held on the screen.
void OnWindowHidden(HWND hwnd);
// Before a covering window or a cover is first shown: true when it is now the server's own
// (override-redirect on X11), placed where it was created and never managed by a window manager,
// so it needs no full-screen state.
bool PrepareLockWindow(SDL_Window* window);
// Every window-system event SDL passes on (on X11 every raw XEvent for Tappy's windows), before
// anything else looks at it.
void OnSystemEvent(const SDL_SysWMmsg* msg);

// The monitors, from XRandR on X11 (so that one X screen split into monitors counts as
// several), else SDL's displays; PlayArea is the one the covering window goes on, and window
// coordinates count from its origin (session_sdl.cpp).
std::vector<MonitorRect> Monitors();
MonitorRect PlayArea();
// At the platform's shut-down, after the windows and the grab are gone: puts the lock keys back
// and lets the next instance start.
void EndSession();

// The plain covers of the other monitors (covers.cpp).
void MakeCovers(HWND hwnd);
void DestroyCovers(HWND hwnd);
bool IsCoverWindow(Uint32 windowId);
SDL_Window* CoverWindow(Uint32 windowId); // null when no cover has this id
void RepaintCover(Uint32 windowId);
// Makes a covering window fill the play monitor.
void CoverPlayArea(SDL_Window* window);

} // namespace tappy
