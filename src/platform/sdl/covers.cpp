// The covers over other monitors, in one place: while a covering window is shown, every other
// monitor gets a plain window in its background colour, so a child sees no other program there.
// On X11 a cover never takes the focus and the server keeps it painted (x11/x11_session.h).
#include "platform/sdl/backend.h"
#include "platform/x11/x11_session.h"

namespace {

void PaintCover(SDL_Window* cover, Uint32 color)
{
    tappy::x11::Session* x11 = tappy::X11();
    if (const Window xwindow = tappy::X11Window(cover); x11 && xwindow) {
        x11->PaintCover(xwindow, color);
        return;
    }
    if (SDL_Surface* surface = tappy::WindowSurface(cover)) {
        SDL_FillRect(
            surface, nullptr,
            SDL_MapRGB(surface->format, (color >> 16) & 0xFF, (color >> 8) & 0xFF, color & 0xFF));
        tappy::PresentWindowSurface(cover);
    }
}

} // namespace

namespace tappy {

// SDL's full-screen state fills the SDL display the window is on, which under an X screen split
// into monitors is the whole screen; then the window keeps its own place on the play monitor.
void CoverPlayArea(SDL_Window* window)
{
    const MonitorRect area = PlayArea();
    SDL_Rect bounds{};
    const int display = SDL_GetWindowDisplayIndex(window);
    if (display >= 0 && SDL_GetDisplayBounds(display, &bounds) == 0 && bounds.x == area.x &&
        bounds.y == area.y && bounds.w == area.w && bounds.h == area.h) {
        SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
        return;
    }
    SDL_SetWindowPosition(window, area.x, area.y);
    SDL_SetWindowSize(window, area.w, area.h);
}

void DestroyCovers(HWND hwnd)
{
    for (SDL_Window* cover : hwnd->covers)
        SDL_DestroyWindow(cover);
    hwnd->covers.clear();
}

void MakeCovers(HWND hwnd)
{
    DestroyCovers(hwnd);
    const std::vector<MonitorRect> monitors = Monitors();
    // A Wayland client cannot place a window; only full screen puts it on the output SDL finds
    // at its position, before it is first shown (so it never lands tiled on the play output).
    Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS | SDL_WINDOW_SKIP_TASKBAR;
    if (Platform().session == SessionKind::wayland)
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    for (const MonitorRect& r : CoverRects(monitors, PlayMonitor(monitors))) {
        SDL_Window* cover = SDL_CreateWindow("", r.x, r.y, r.w, r.h, flags);
        if (!cover)
            continue;
        PrepareLockWindow(cover);
        if (x11::Session* x11 = X11(); x11 && X11Window(cover))
            x11->RefuseFocus(X11Window(cover));
        SDL_ShowWindow(cover);
        hwnd->covers.push_back(cover);
        PaintCover(cover, hwnd->background);
    }
}

SDL_Window* CoverWindow(Uint32 windowId)
{
    for (HWND hwnd : Platform().windows)
        for (SDL_Window* cover : hwnd->covers)
            if (SDL_GetWindowID(cover) == windowId)
                return cover;
    return nullptr;
}

bool IsCoverWindow(Uint32 windowId)
{
    return CoverWindow(windowId) != nullptr;
}

void RepaintCover(Uint32 windowId)
{
    for (HWND hwnd : Platform().windows)
        for (SDL_Window* cover : hwnd->covers)
            if (SDL_GetWindowID(cover) == windowId)
                PaintCover(cover, hwnd->background);
}

} // namespace tappy
