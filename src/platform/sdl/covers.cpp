// The covers over other monitors, in one place: while a covering window is shown, every other
// monitor gets a plain window in its background colour, so a child sees no other program there.
// How a cover is made the server's, refuses the focus and is painted is the desktop's.
#include "platform/sdl/backend.h"

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
    // It was full screen while the play monitor was the whole display (as while a monitor is
    // deleted and made again); SDL keeps a full-screen window's size and defers this resize.
    if (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN)
        SDL_SetWindowFullscreen(window, 0);
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
    Desktop& desktop = TheDesktop();
    const Uint32 flags =
        SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS | SDL_WINDOW_SKIP_TASKBAR | desktop.CoverFlags();
    for (const MonitorRect& r : CoverRects(monitors, PlayMonitor(monitors))) {
        SDL_Window* cover = SDL_CreateWindow("", r.x, r.y, r.w, r.h, flags);
        if (!cover)
            continue;
        desktop.PrepareCover(cover);
        SDL_ShowWindow(cover);
        hwnd->covers.push_back(cover);
        desktop.PaintCover(cover, hwnd->background);
    }
}

void OnMonitorsChanged()
{
    for (HWND hwnd : Platform().windows) {
        if (!hwnd->coversScreen || !hwnd->shown)
            continue;
        CoverPlayArea(hwnd->window);
        // All of them again: a cover left on a monitor that moved would show beside it.
        MakeCovers(hwnd);
        TheDesktop().OnCoversChanged(*hwnd);
        // In device pixels, as GetSystemMetrics counts the screen the back buffer was made for.
        const SDL_Point pixels = TheDesktop().MonitorPixels(PlayArea());
        SendMessageA(hwnd, WM_DISPLAYCHANGE, 32,
                     MAKELPARAM(static_cast<WORD>(pixels.x), static_cast<WORD>(pixels.y)));
        hwnd->invalid = true;
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
                TheDesktop().PaintCover(cover, hwnd->background);
}

} // namespace tappy
