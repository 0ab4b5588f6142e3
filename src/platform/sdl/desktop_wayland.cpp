// The Wayland desktop, on SDL's own connection: the lock (the shortcuts inhibitor that says
// whether it was granted, full screen asked again, idle), window pixels of Tappy's own shown
// through shared memory (wayland/canvas.h), covers put on their outputs by full screen, and a
// second start's activation.
#include "platform/sdl/backend.h"
#include "platform/sdl/desktop.h"
#include "platform/wayland/canvas.h"
#include "platform/wayland/queue.h"
#include "platform/wayland/wayland_lock.h"

#include <SDL_syswm.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <new>

namespace tappy {

namespace {

wl_surface* WaylandSurface(SDL_Window* window)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_WAYLAND)
        return nullptr;
    return info.info.wl.surface;
}

// A window's pixels: what Tappy draws on, and the canvas that shows it.
struct WindowPixels {
    ~WindowPixels() { SDL_FreeSurface(surface); }
    SDL_Surface* surface = nullptr;
    std::unique_ptr<wayland::Canvas> canvas;
    // Its last present found every buffer still held by the compositor, as while an output is
    // not drawn yet at start: the safety tick shows it again, or the window would show nothing
    // until the next key.
    bool unshown = false;
};

class WaylandDesktop final : public Desktop {
public:
    WaylandDesktop()
    {
        // SDL's grab would make a second shortcuts inhibitor beside the lock's own, which the
        // compositor ends the connection for.
        SDL_SetHint(SDL_HINT_GRAB_KEYBOARD, "0");
    }
    ~WaylandDesktop() override { EndSession(); }
    WaylandDesktop(const WaylandDesktop&) = delete;
    WaylandDesktop& operator=(const WaylandDesktop&) = delete;

    SessionKind kind() const override { return SessionKind::wayland; }
    bool HasDisplay() const override { return true; }
    bool CanLock() const override { return true; }
    std::optional<LockHold> HoldLock(const WndImpl& target) override;
    void ReleaseLock() override
    {
        m_lock.reset();
        m_playWindow = 0;
    }
    // SDL asks once when its connection fails, and then waits on it no more (its wait returns
    // at once, for good); the safety tick looks as well.
    void OnQuitRequest() override { EndIfGone(); }
    void OnLockTick() override
    {
        EndIfGone();
        if (m_lock)
            m_lock->Report();
        for (auto& [id, pixels] : m_pixels)
            if (pixels->unshown && SDL_GetWindowFromID(id))
                Present(*pixels);
    }
    void OnFocus(SDL_Window* window, bool gained) override
    {
        if (m_lock && gained)
            m_lock->OnFocusGained(WaylandSurface(window));
        else if (m_lock)
            m_lock->OnFocusLost(WaylandSurface(window));
    }
    void OnResized(SDL_Window* window) override;
    void OnCoversChanged(const WndImpl& target) override
    {
        if (!m_lock)
            return;
        std::vector<wl_surface*> covers;
        for (SDL_Window* cover : target.covers)
            covers.push_back(WaylandSurface(cover));
        m_lock->SetCovers(covers);
        m_lock->SetCoversShown(!target.covers.empty());
        m_coveredOutputs = 1 + static_cast<int>(target.covers.size());
    }
    // SDL has read the compositor's news of the output (its wl_output global and its geometry).
    void OnDisplaysChanged() override { FollowOutputs(); }
    // A client cannot place a window; only full screen puts a cover on the output SDL finds at
    // its position, before it is first shown (so it never lands tiled on the play output).
    Uint32 CoverFlags() const override { return SDL_WINDOW_FULLSCREEN_DESKTOP; }
    SDL_Point MonitorPixels(const MonitorRect& monitor) const override;
    SDL_Surface* WindowSurface(SDL_Window* window) override;
    bool PresentWindowSurface(SDL_Window* window) override;
    void ReleaseWindowSurfaces() override { m_pixels.clear(); }
    void RaiseRunning(const char* /*title*/, const std::string& raisePath) override
    {
        wayland::SendRaise(raisePath, wayland::ActivationToken());
    }
    void ListenForRaise(const std::string& raisePath) override
    {
        m_raisePath = raisePath;
        m_raiseFd = wayland::ListenForRaise(raisePath);
    }
    void EndSession() override
    {
        if (m_raiseFd >= 0) {
            close(m_raiseFd);
            unlink(m_raisePath.c_str());
            m_raiseFd = -1;
        }
    }

private:
    void EndIfGone();
    // The window system's info of a window, and SDL's connection (the same for every window)
    // kept from it.
    bool WindowInfo(SDL_Window* window, SDL_SysWMinfo& info);
    static bool Present(WindowPixels& pixels);
    void FollowOutputs();

    wl_display* m_display = nullptr;
    std::unique_ptr<wayland::Lock> m_lock;
    // Outputs that have Tappy on them: the play output and one cover each. Until an output
    // plugged in has its cover, the shortcuts are not held there and the play screen says so.
    int m_coveredOutputs = 0;
    // As the covers and the scene were last made for them.
    std::vector<MonitorRect> m_monitors;
    SDL_Point m_playPixels{};
    Uint32 m_playWindow = 0; // the locked window's id, while it is
    // Each window's pixels, by SDL window id.
    std::map<Uint32, std::unique_ptr<WindowPixels>> m_pixels;
    int m_raiseFd = -1; // where a second start asks this one to come forward
    std::string m_raisePath;
};

bool WaylandDesktop::WindowInfo(SDL_Window* window, SDL_SysWMinfo& info)
{
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_WAYLAND)
        return false;
    m_display = info.info.wl.display;
    return true;
}

// Nothing can be shown, held or put back any more: the program ends at once, saying why; _exit,
// since what runs at exit would ask the failed connection again.
void WaylandDesktop::EndIfGone()
{
    if (!m_display || !wayland::Failed(m_display))
        return;
    EndSession();
    std::fputs("Tappy: the display server has gone; ending.\n", stderr);
    _exit(1);
}

// The lock asks the compositor to inhibit its shortcuts and learns the answer on the safety tick.
std::optional<LockHold> WaylandDesktop::HoldLock(const WndImpl& target)
{
    if (!m_lock) {
        SDL_SysWMinfo info;
        if (!WindowInfo(target.window, info))
            return std::nullopt;
        m_lock.reset(new (std::nothrow) wayland::Lock(info.info.wl.display, info.info.wl.surface,
                                                      info.info.wl.xdg_toplevel));
        if (!m_lock)
            return std::nullopt;
        // The pointer is not confined: every other output shows a cover, which holds the
        // shortcuts as the play window does, so there is nothing else to reach; and on sway
        // 1.7 a confined pointer stopped the other outputs from being drawn, leaving the
        // covers blank.
        OnCoversChanged(target);
        m_monitors = Monitors();
        m_playWindow = SDL_GetWindowID(target.window);
        m_playPixels = MonitorPixels(PlayArea());
    }
    // An output unplugged took its cover with it; the ones left are still covered.
    const int outputs = SDL_GetNumVideoDisplays();
    if (outputs >= 1 && outputs < m_coveredOutputs)
        m_coveredOutputs = outputs;
    m_lock->SetCoversShown(!target.covers.empty());
    if (m_raiseFd >= 0) {
        std::string token;
        if (wayland::ReceiveRaise(m_raiseFd, token))
            m_lock->Activate(token);
    }
    m_lock->Tick();
    const auto now = m_lock->status(); // Xlib, through SDL_syswm.h, defines Status
    const bool held = now.shortcuts == wayland::Shortcuts::held;
    return LockHold{held, true, held && now.focused && outputs <= m_coveredOutputs};
}

// A compositor that drops full screen sends the window its new, smaller size.
void WaylandDesktop::OnResized(SDL_Window* window)
{
    if (!m_lock)
        return;
    const MonitorRect area = PlayArea();
    int w = 0, h = 0;
    SDL_GetWindowSize(window, &w, &h);
    if (w != area.w || h != area.h)
        m_lock->AskFullScreen();
    FollowOutputs();
}

// Outputs plugged in or unplugged, or given another mode or scale, make the covers and the scene
// again: a scale set under a running Tappy can leave the play window's size in the layout as it
// was and change only its device pixels, of which the scene made for the old ones fills a part.
// SDL also reports the outputs there at start, which change nothing.
void WaylandDesktop::FollowOutputs()
{
    if (!m_lock)
        return;
    std::vector<MonitorRect> now = Monitors();
    const SDL_Point pixels = MonitorPixels(PlayArea());
    if (now == m_monitors && pixels.x == m_playPixels.x && pixels.y == m_playPixels.y)
        return;
    m_monitors = std::move(now);
    m_playPixels = pixels;
    OnMonitorsChanged();
}

// SDL counts a scaled output in the compositor's logical units and lists its real mode, the
// largest, first; a window that allows high DPI gets that many pixels on it (at 150 % through a
// viewport SDL sets, with buffer scale 1, so the picture is still not stretched).
SDL_Point WaylandDesktop::MonitorPixels(const MonitorRect& monitor) const
{
    for (int i = 0; i < SDL_GetNumVideoDisplays(); ++i) {
        SDL_Rect bounds{};
        SDL_DisplayMode mode{};
        if (SDL_GetDisplayBounds(i, &bounds) == 0 && bounds.x == monitor.x &&
            bounds.y == monitor.y && SDL_GetDisplayMode(i, 0, &mode) == 0 && mode.w >= monitor.w &&
            mode.h >= monitor.h)
            return {mode.w, mode.h};
    }
    // SDL forgets an output's modes when it is given another mode or scale; the play window,
    // full screen on it, still has its pixels.
    SDL_Window* play = m_playWindow ? SDL_GetWindowFromID(m_playWindow) : nullptr;
    int w = 0, h = 0;
    if (play)
        SDL_GetWindowSize(play, &w, &h);
    if (w == monitor.w && h == monitor.h && monitor == PlayArea()) {
        SDL_GetWindowSizeInPixels(play, &w, &h);
        return {w, h};
    }
    return {monitor.w, monitor.h};
}

SDL_Surface* WaylandDesktop::WindowSurface(SDL_Window* window)
{
    if (!window)
        return nullptr;
    // Entries of windows SDL has destroyed go: each window is destroyed in one of several
    // places, and an id is never given twice.
    for (auto it = m_pixels.begin(); it != m_pixels.end();)
        it = SDL_GetWindowFromID(it->first) ? std::next(it) : m_pixels.erase(it);
    std::unique_ptr<WindowPixels>& pixels = m_pixels[SDL_GetWindowID(window)];
    if (!pixels) {
        SDL_SysWMinfo info;
        if (!WindowInfo(window, info))
            return nullptr;
        pixels.reset(new (std::nothrow) WindowPixels());
        if (!pixels)
            return nullptr;
        pixels->canvas.reset(new (std::nothrow)
                                 wayland::Canvas(info.info.wl.display, info.info.wl.surface));
    }
    // As SDL does with its own: a window of another size gets a new, blank surface. In device
    // pixels, which SDL's buffer scale or viewport on the surface expects.
    int w = 0, h = 0;
    SDL_GetWindowSizeInPixels(window, &w, &h);
    if (pixels->surface && (pixels->surface->w != w || pixels->surface->h != h)) {
        SDL_FreeSurface(pixels->surface);
        pixels->surface = nullptr;
    }
    if (!pixels->surface)
        pixels->surface = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_RGB888);
    return pixels->surface;
}

bool WaylandDesktop::PresentWindowSurface(SDL_Window* window)
{
    const auto it = m_pixels.find(SDL_GetWindowID(window));
    return it != m_pixels.end() && Present(*it->second);
}

bool WaylandDesktop::Present(WindowPixels& pixels)
{
    const SDL_Surface* s = pixels.surface;
    if (!s || !pixels.canvas)
        return false;
    pixels.unshown = !pixels.canvas->Present(s->pixels, s->pitch, s->w, s->h);
    return !pixels.unshown;
}

} // namespace

void NameWaylandApp()
{
    // SDL 2.26 takes the app id from this variable when it is set, else from the file's name.
    setenv("SDL_VIDEO_WAYLAND_WMCLASS", wayland::kAppId, 1);
}

std::unique_ptr<Desktop> MakeWaylandDesktop()
{
    return std::make_unique<WaylandDesktop>();
}

} // namespace tappy
