#pragma once
// What a window is inside the platform layer, and the few calls that the window, keyboard and
// message-loop files make into each other. Nothing outside src/platform/ (and its tests) sees it.
#include "platform/keyboard.h"
#include "platform/session_rules.h"
#include "platform/wnd.h"

#include <SDL.h>

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

namespace tappy {

// Sets the hints that must precede video start-up, then starts SDL's video once. False (with
// SDL_GetError set) when there is no display.
bool EnsureVideo();
// True for a driver that puts windows on a real screen (not dummy or offscreen).
bool VideoHasDisplay();

// The live windows, oldest first. A handle not in this list is stale and is ignored.
bool IsLiveWindow(HWND hwnd);
HWND WindowFromSdlId(Uint32 windowId);
// The window that keyboard input goes to: the one last focused, else the oldest live one.
HWND KeyboardTarget();
// The first live window whose contents are invalid, or null.
HWND FirstInvalidWindow();
void DestroyAllWindows();

// The keyboard side of the message loop (keyboard_sdl.cpp).
// Runs the installed low-level filter on a key event; true when it swallows the event.
bool RunKeyboardFilter(const SDL_KeyboardEvent& key);
// Event type of the grab re-assertion tick (an SDL user event), registered on first use.
Uint32 GrabTickEvent();
void OnGrabTick();
void OnWindowShown(HWND hwnd);
void OnFocusLost(HWND hwnd);
void OnFocusGained(HWND hwnd);
void OnSystemEvent(const SDL_SysWMmsg* msg);
void OnWindowDestroyed(HWND hwnd);
// X11 lock hooks (keyboard_sdl.cpp, on platform/x11/x11_lock.h), so this file and the window code
// see no X11 header. PrepareLockWindow, before a covering window or a cover is first shown: true
// when it is now the server's own (override-redirect), placed where it was created and never
// managed by a window manager, so it needs no full-screen state.
bool PrepareLockWindow(SDL_Window* window);
void OnVideoStarted();
void OnWindowHidden(HWND hwnd);

// The desktop session (session_x11.cpp). The monitors, from XRandR on X11 (so that one X screen
// split into monitors counts as several), else SDL's displays; PlayArea is the one the covering
// window goes on, and window coordinates count from its origin.
std::vector<MonitorRect> Monitors();
MonitorRect PlayArea();
// At the platform's shut-down, after the windows and the grab are gone: puts the lock keys back
// and lets the next instance start.
void EndSession();
// True for an SDL window that is one of the plain covers of the other monitors (wnd_sdl.cpp).
bool IsCoverWindow(Uint32 windowId);
void RepaintCover(Uint32 windowId);
// A cover never takes the focus from the window manager; painted in 0xRRGGBB (session_x11.cpp).
void RefuseFocus(SDL_Window* cover);
void PaintCover(SDL_Window* cover, Uint32 color);

} // namespace tappy
