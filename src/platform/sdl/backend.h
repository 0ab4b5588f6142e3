#pragma once
// The SDL backend's state, owned by one object, and the calls its files make into each other.
// Nothing outside src/platform/ (and its tests) sees it.
//  [X] windows, covers, dialogs, the message loop and the one event translation, on every desktop
//  [X] the session kind (X11, Wayland, plain) decided once, when video starts, as one desktop
//      object that does what differs (desktop.h); nothing else asks the kind
//  [X] surfaces and text, pictures, the mixer
//  [X] the keyboard filter
//
// Order of life: AfxWinMain makes the owner (PlatformOwner) before InitInstance and ends it after
// ExitInstance: windows, then the session (lock keys, instance lock), then sound, then the
// desktop and SDL itself, the reverse of their start. Using the state after that, or making a
// second owner, is a programming error and ends the program. Code that runs without that entry
// point (the tests, the benchmarks) gets an owner made on first use that lasts to the end of the
// process.
//
// What static construction and destruction need is not here: each is made on first use and lasts
// to the end of the process, so the sound worker and the static topics can use it at any time.
// Those are the window classes, the module state and the arrow cursor (wnd_classes.cpp), the
// resources (resource_registry.cpp), the application pointer (app_sdl.cpp), the stock brush and
// font (gdi.cpp), the fonts (font_match.cpp) and the mixer (sound_mixer.cpp).
#include "platform/app.h"
#include "platform/keymap.h"
#include "platform/sdl/desktop.h"
#include "platform/session_rules.h"
#include "platform/wnd.h"

#include <SDL.h>

#include <bitset>
#include <deque>
#include <memory>
#include <string>
#include <vector>

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

// The installed filter; the lock itself is the desktop's.
struct HookImpl {
    HOOKPROC proc = nullptr;
    HWND target = nullptr; // the window that holds the grab
    bool settled = false;  // grab held and focus ours: no re-assertion needed
    // The shortcuts are held from the child now; until the desktop says so, they are not.
    bool holds = false;
    SDL_TimerID timer = 0;
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

struct PlatformState {
    PlatformState();
    ~PlatformState();

    // Made once, when video starts; a plain one with no display until then.
    std::unique_ptr<Desktop> desktop;
    bool sessionDecided = false;
    int instanceLockFd = -1;
    std::string instanceLockPath;

    std::vector<HWND> windows; // oldest first; a handle not in it is stale and is ignored
    HWND focus = nullptr;

    std::deque<MSG> posted; // messages made from SDL events, not yet taken by PeekMessageA

    std::unique_ptr<HookImpl> hook;
    // Keys whose press the filter swallowed: their release is swallowed too, even if the
    // modifiers changed in between, so the window never sees half a key.
    std::bitset<SDL_NUM_SCANCODES> swallowed;
    // The event the filter is judging: GetAsyncKeyState answers from its modifiers, what was
    // down at that key press, not after the keys queued behind it.
    const KeyEvent* judging = nullptr;
};

// The live owner's state (an owner is made on first use when the entry point made none).
PlatformState& Platform();
// The session's desktop: a plain one with no display until video has started.
Desktop& TheDesktop();

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
    // Windows, the session (the lock keys given back), sound, then SDL. False when a thread is
    // stuck in the audio driver: then the windows and the session are done with, but nothing
    // else is touched, and the process must end without waiting for that thread (_exit).
    bool Finish();
    PlatformState& state() { return *m_state; }

private:
    std::unique_ptr<PlatformState> m_state;
    bool m_bFinished = false;
};

// Sets the hints that must precede video start-up, starts SDL's video once and decides the
// session kind. False (with SDL_GetError set) when there is no display.
bool EnsureVideo();
// True for a session that puts windows on a real screen (not dummy or offscreen).
bool VideoHasDisplay();

// Windows (wnd_sdl.cpp).
bool IsLiveWindow(HWND hwnd);
HWND WindowFromSdlId(Uint32 windowId);
// A point in the desktop's units of a window as the window's own pixels (more of them on a
// scaled desktop): the first pixel of the ones it covers.
POINT WindowPixel(SDL_Window* window, int x, int y);
// The window that keyboard input goes to: the one last focused, else the oldest live one.
HWND KeyboardTarget();
// The first live window whose contents are invalid, or null.
HWND FirstInvalidWindow();
void DestroyAllWindows();

// The keyboard filter and the grab (keyboard_sdl.cpp).
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

// The desktop's monitors; PlayArea is the one the covering window goes on, and window
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
// The monitors changed under a shown covering window: it refits the play monitor, every other
// monitor gets a fresh cover, and the lock learns of them.
void OnMonitorsChanged();
// Makes a covering window fill the play monitor.
void CoverPlayArea(SDL_Window* window);

} // namespace tappy
