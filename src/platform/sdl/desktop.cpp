// What every desktop does alike (SDL's own window surface, grab and displays), and the plain
// desktop of the dummy and offscreen drivers and of any session that is neither X11 nor Wayland.
#include "platform/sdl/desktop.h"

#include "platform/sdl/backend.h"

namespace tappy {

namespace {

class PlainDesktop final : public Desktop {
public:
    explicit PlainDesktop(SessionKind kind) : m_kind(kind) {}
    SessionKind kind() const override { return m_kind; }
    bool HasDisplay() const override
    {
        return m_kind != SessionKind::none && m_kind != SessionKind::headless;
    }

private:
    SessionKind m_kind;
};

} // namespace

Desktop::~Desktop() = default;

std::optional<LockHold> Desktop::HoldLock(const WndImpl& target)
{
    SDL_SetWindowKeyboardGrab(target.window, SDL_TRUE);
    return LockHold{true, false, true};
}

void Desktop::PaintCover(SDL_Window* cover, Uint32 color)
{
    if (SDL_Surface* surface = WindowSurface(cover)) {
        SDL_FillRect(
            surface, nullptr,
            SDL_MapRGB(surface->format, (color >> 16) & 0xFF, (color >> 8) & 0xFF, color & 0xFF));
        PresentWindowSurface(cover);
    }
}

SDL_Surface* Desktop::WindowSurface(SDL_Window* window)
{
    return window ? SDL_GetWindowSurface(window) : nullptr;
}

bool Desktop::PresentWindowSurface(SDL_Window* window)
{
    return SDL_UpdateWindowSurface(window) == 0;
}

std::vector<MonitorRect> Desktop::Monitors() const
{
    return SdlMonitors();
}

std::vector<MonitorRect> SdlMonitors()
{
    std::vector<MonitorRect> out;
    const int count = SDL_GetNumVideoDisplays();
    for (int i = 0; i < count; ++i) {
        SDL_Rect bounds{};
        SDL_DisplayMode mode{};
        if (SDL_GetDisplayBounds(i, &bounds) != 0 || SDL_GetDesktopDisplayMode(i, &mode) != 0)
            continue;
        // SDL puts the primary display first.
        out.push_back(MonitorRect{bounds.x, bounds.y, mode.w, mode.h, i == 0});
    }
    return out;
}

std::unique_ptr<Desktop> MakeDesktop(SessionKind kind)
{
    switch (kind) {
    case SessionKind::x11:
        return MakeX11Desktop();
    case SessionKind::wayland:
        return MakeWaylandDesktop();
    default:
        return std::make_unique<PlainDesktop>(kind);
    }
}

} // namespace tappy
