#pragma once
// The desktop session: one object per kind (X11, Wayland, or plain for the dummy and offscreen
// drivers and anything else), made once where the session is decided and owned by the platform's
// state. It holds what is session-specific (the lock, the window pixels, the covers' handling,
// the monitors, the raise of a running instance, the lock keys); the rest of the platform asks it
// and never asks again which kind of session it is.
#include "platform/session_rules.h"

#include <SDL.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

struct WndImpl;

namespace tappy {

// What one assertion of the lock came to: whether it needs no re-assertion, whether the safety
// tick must keep re-asserting it, and whether the shortcuts are held from the child at this
// moment (granted, and one of Tappy's windows has the focus), which the play screen shows.
struct LockHold {
    bool settled;
    bool tick;
    bool holds;
};

class Desktop {
public:
    virtual ~Desktop();

    // Only for the start-up notice, which is about the kind itself.
    virtual SessionKind kind() const = 0;
    // Windows go on a real screen (not for the dummy and offscreen drivers).
    virtual bool HasDisplay() const = 0;
    // The keyboard can be held here, so the version claims the low-level filter.
    virtual bool CanLock() const { return false; }

    // Takes or re-takes the lock for a shown covering window and its covers; empty when nothing
    // could be done this time (the state is left as it was). Elsewhere SDL's grab is all there is.
    virtual std::optional<LockHold> HoldLock(const WndImpl& target);
    // The lock's one teardown: its window hidden or destroyed, or the filter removed.
    virtual void ReleaseLock() {}
    virtual void OnLockTick() {}
    // The covering window or a cover got or lost the focus.
    virtual void OnFocus(SDL_Window* /*window*/, bool /*gained*/) {}
    // SDL asks the program to end: a signal, or its connection to the display lost.
    virtual void OnQuitRequest() {}
    // The compositor resized the covering window (it may have dropped its full screen).
    virtual void OnResized(SDL_Window* /*window*/) {}
    // A window-system event, from the one translation, and as SDL reads it (events.cpp).
    virtual void OnSystemEvent(const SDL_SysWMmsg& /*msg*/) {}
    virtual void OnSystemEventRead(const SDL_SysWMmsg& /*msg*/) {}
    // Before a covering window or a cover is first shown: true when it is now the server's own,
    // placed where it was created and never managed.
    virtual bool PrepareLockWindow(SDL_Window* /*window*/) { return false; }

    // The covers: extra creation flags, what is done before one is shown, and its painting.
    virtual Uint32 CoverFlags() const { return 0; }
    virtual void PrepareCover(SDL_Window* cover) { PrepareLockWindow(cover); }
    virtual void PaintCover(SDL_Window* cover, Uint32 color);
    // The covering window's covers were made again for new monitors.
    virtual void OnCoversChanged(const WndImpl& /*target*/) {}
    // SDL saw a screen plugged in or out, and its displays say so now.
    virtual void OnDisplaysChanged() {}

    // A window's pixels to draw on, and showing them; released at shut-down.
    virtual SDL_Surface* WindowSurface(SDL_Window* window);
    virtual bool PresentWindowSurface(SDL_Window* window);
    virtual void ReleaseWindowSurfaces() {}

    virtual std::vector<MonitorRect> Monitors() const;
    // A monitor's size in device pixels; more than its size in the desktop's units where the
    // desktop is scaled.
    virtual SDL_Point MonitorPixels(const MonitorRect& monitor) const
    {
        return {monitor.w, monitor.h};
    }

    // A second start asks the running one (at raisePath) to come forward; the first listens.
    virtual void RaiseRunning(const char* /*title*/, const std::string& /*raisePath*/) {}
    virtual void ListenForRaise(const std::string& /*raisePath*/) {}
    virtual void RememberLockKeys() {}
    // At the platform's shut-down, after the windows and the lock: the lock keys put back and
    // the raise listener closed.
    virtual void EndSession() {}
};

// SDL's displays, the primary first.
std::vector<MonitorRect> SdlMonitors();

// The desktop for a session kind, on the video SDL has started; never null.
std::unique_ptr<Desktop> MakeDesktop(SessionKind kind);
std::unique_ptr<Desktop> MakeX11Desktop();
std::unique_ptr<Desktop> MakeWaylandDesktop();
// Before video starts: the app id Tappy's Wayland windows carry is the desktop entry's name,
// whatever the program's file is called or the environment says, since a desktop keeps its
// shortcuts permission (GNOME's answer to its dialog, or tappy-content desktop's grant) by it.
void NameWaylandApp();

// Installs the watch through which every window-system event reaches the desktop as SDL reads
// it, before SDL handles it (events.cpp).
void WatchSystemEvents();

} // namespace tappy
