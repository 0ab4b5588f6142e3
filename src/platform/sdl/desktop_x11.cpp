// The X11 desktop, on SDL's own connection: the lock's grabs and stacking (x11/x11_lock.h),
// covers that refuse the focus and are painted by the server, XRandR's monitors, the lock keys
// and the raise of a running instance (x11/x11_session.h).
#include "platform/sdl/backend.h"
#include "platform/sdl/desktop.h"
#include "platform/x11/x11_lock.h"
#include "platform/x11/x11_session.h"

#include <SDL_syswm.h>

#include <new>

namespace tappy {

namespace {

class X11Desktop final : public Desktop {
public:
    X11Desktop();
    ~X11Desktop() override;
    X11Desktop(const X11Desktop&) = delete;
    X11Desktop& operator=(const X11Desktop&) = delete;

    SessionKind kind() const override { return SessionKind::x11; }
    bool HasDisplay() const override { return true; }
    bool CanLock() const override { return true; }
    std::optional<LockHold> HoldLock(const WndImpl& target) override;
    void ReleaseLock() override { m_lock.reset(); }
    void OnSystemEvent(const SDL_SysWMmsg& msg) override
    {
        if (msg.subsystem != SDL_SYSWM_X11)
            return;
        if (m_session && m_session->IsMonitorChange(msg.msg.x11.event))
            CheckMonitors();
        if (m_lock)
            m_lock->OnXEvent(msg.msg.x11.event);
    }
    // A monitor defined with xrandr --setmonitor sends no event at all (Xvfb 21), so the
    // safety tick looks too: one round trip twice a second.
    void OnLockTick() override { CheckMonitors(); }
    void OnCoversChanged(const WndImpl& target) override
    {
        if (!m_lock)
            return;
        std::vector<Window> covers;
        for (SDL_Window* cover : target.covers)
            if (const Window coverWindow = XWindow(cover))
                covers.push_back(coverWindow);
        m_lock->SetCovers(covers);
    }
    // See x11::Lock::RedirectKey: before SDL handles the event.
    void OnSystemEventRead(const SDL_SysWMmsg& msg) override
    {
        if (m_lock && msg.subsystem == SDL_SYSWM_X11)
            m_lock->RedirectKey(msg.msg.x11.event);
    }
    bool PrepareLockWindow(SDL_Window* window) override;
    void PrepareCover(SDL_Window* cover) override;
    void PaintCover(SDL_Window* cover, Uint32 color) override;
    std::vector<MonitorRect> Monitors() const override;
    void RaiseRunning(const char* title, const std::string& /*raisePath*/) override
    {
        if (m_session)
            m_session->RaiseTitled(title);
    }
    void RememberLockKeys() override
    {
        if (m_session)
            m_session->RememberLockKeys();
    }
    void EndSession() override
    {
        if (m_session)
            m_session->RestoreLockKeys();
    }

private:
    void CheckMonitors()
    {
        std::vector<MonitorRect> now = Monitors();
        if (now == m_monitors)
            return;
        const bool first = m_monitors.empty();
        m_monitors = std::move(now);
        if (!first)
            OnMonitorsChanged();
    }
    // The X window behind an SDL window; 0 when it has none or there is no connection.
    Window XWindow(SDL_Window* window) const;

    // A hidden window whose only use is SDL's X connection: SDL hands it out only through a
    // window, and the monitors are read before the first real window and the lock keys put back
    // after the last one, without a second connection.
    // Declared first, so that it goes last.
    std::unique_ptr<SDL_Window, decltype(&SDL_DestroyWindow)> m_connectionWindow{nullptr,
                                                                                 SDL_DestroyWindow};
    std::unique_ptr<x11::Session> m_session; // null when SDL gave no X connection
    std::unique_ptr<x11::Lock> m_lock;
    std::vector<MonitorRect> m_monitors; // as the covers were last made for
};

X11Desktop::X11Desktop()
{
    m_connectionWindow.reset(SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_HIDDEN));
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (m_connectionWindow && SDL_GetWindowWMInfo(m_connectionWindow.get(), &info) &&
        info.subsystem == SDL_SYSWM_X11)
        m_session = std::make_unique<x11::Session>(info.info.x11.display);
    if (m_session)
        m_session->WatchMonitors();
    // After SDL's video has started, so that SDL's own handler (which ends the program on any
    // error) is replaced: no X error may end the lock.
    x11::InstallErrorHandler();
    // The lock watches X11 events as they happen.
    WatchSystemEvents();
}

// SDL puts back Xlib's own error handler, which ends the program, before it closes its
// connection, and closing reads the errors of the requests still unanswered: a window gone under
// one of the last requests made Tappy end with status 1 after the corners. They are read here,
// while errors are still absorbed.
X11Desktop::~X11Desktop()
{
    Display* display = m_session ? m_session->display() : nullptr;
    m_lock.reset();
    m_session.reset();
    m_connectionWindow.reset();
    if (display)
        XSync(display, False);
}

Window X11Desktop::XWindow(SDL_Window* window) const
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!m_session || !window || !SDL_GetWindowWMInfo(window, &info) ||
        info.subsystem != SDL_SYSWM_X11)
        return 0;
    return info.info.x11.window;
}

// The lock takes the keyboard and the pointer itself, and the safety tick runs as long as it.
std::optional<LockHold> X11Desktop::HoldLock(const WndImpl& target)
{
    const Window xwindow = XWindow(target.window);
    if (!xwindow)
        return Desktop::HoldLock(target);
    if (m_lock) {
        m_lock->Tick();
    } else {
        std::vector<Window> covers;
        for (SDL_Window* cover : target.covers)
            if (const Window coverWindow = XWindow(cover))
                covers.push_back(coverWindow);
        m_lock.reset(new (std::nothrow) x11::Lock(m_session->display(), xwindow, covers));
        m_monitors = Monitors();
    }
    const bool held = m_lock && m_lock->KeyboardHeld();
    return LockHold{held, true, held};
}

bool X11Desktop::PrepareLockWindow(SDL_Window* window)
{
    const Window xwindow = XWindow(window);
    if (!xwindow)
        return false;
    x11::MakeOverrideRedirect(m_session->display(), xwindow);
    return true;
}

void X11Desktop::PrepareCover(SDL_Window* cover)
{
    PrepareLockWindow(cover);
    if (const Window xwindow = XWindow(cover))
        m_session->RefuseFocus(xwindow);
}

void X11Desktop::PaintCover(SDL_Window* cover, Uint32 color)
{
    if (const Window xwindow = XWindow(cover))
        m_session->PaintCover(xwindow, color);
    else
        Desktop::PaintCover(cover, color);
}

// XRandR's monitors, so that one X screen split into monitors counts as several.
std::vector<MonitorRect> X11Desktop::Monitors() const
{
    if (m_session) {
        std::vector<MonitorRect> monitors = m_session->Monitors();
        if (PlayMonitor(monitors) >= 0)
            return monitors;
    }
    return SdlMonitors();
}

} // namespace

std::unique_ptr<Desktop> MakeX11Desktop()
{
    return std::make_unique<X11Desktop>();
}

} // namespace tappy
