// A window's pixels: SDL's window surface where SDL has one (X11, the headless drivers), and on
// Wayland a surface of Tappy's own shown through shared memory (wayland/canvas.h).
#include "platform/sdl/backend.h"
#include "platform/wayland/canvas.h"

#include <SDL_syswm.h>

#include <new>

namespace tappy {

WindowPixels::~WindowPixels()
{
    SDL_FreeSurface(surface);
}

namespace {

// Entries of windows SDL has destroyed go: each window is destroyed in one of several places,
// and an id is never given twice.
void Prune(PlatformState& state)
{
    for (auto it = state.windowPixels.begin(); it != state.windowPixels.end();)
        it = SDL_GetWindowFromID(it->first) ? std::next(it) : state.windowPixels.erase(it);
}

} // namespace

SDL_Surface* WindowSurface(SDL_Window* window)
{
    PlatformState& state = Platform();
    if (!window)
        return nullptr;
    if (state.session != SessionKind::wayland)
        return SDL_GetWindowSurface(window);
    Prune(state);
    std::unique_ptr<WindowPixels>& pixels = state.windowPixels[SDL_GetWindowID(window)];
    if (!pixels) {
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_WAYLAND)
            return nullptr;
        pixels.reset(new (std::nothrow) WindowPixels());
        if (!pixels)
            return nullptr;
        pixels->canvas.reset(new (std::nothrow)
                                 wayland::Canvas(info.info.wl.display, info.info.wl.surface));
    }
    // As SDL does with its own: a window of another size gets a new, blank surface.
    int w = 0, h = 0;
    SDL_GetWindowSize(window, &w, &h);
    if (pixels->surface && (pixels->surface->w != w || pixels->surface->h != h)) {
        SDL_FreeSurface(pixels->surface);
        pixels->surface = nullptr;
    }
    if (!pixels->surface)
        pixels->surface = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_RGB888);
    return pixels->surface;
}

bool PresentWindowSurface(SDL_Window* window)
{
    PlatformState& state = Platform();
    if (state.session != SessionKind::wayland)
        return SDL_UpdateWindowSurface(window) == 0;
    const auto it = state.windowPixels.find(SDL_GetWindowID(window));
    if (it == state.windowPixels.end() || !it->second->surface || !it->second->canvas)
        return false;
    const SDL_Surface* s = it->second->surface;
    return it->second->canvas->Present(s->pixels, s->pitch, s->w, s->h);
}

void ReleaseWindowSurfaces()
{
    Platform().windowPixels.clear();
}

} // namespace tappy
