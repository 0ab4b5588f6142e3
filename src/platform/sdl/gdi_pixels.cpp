// Reading drawn pixels back, for checks that may not see the surfaces themselves.
#include "platform/sdl/gdi_internal.h"

COLORREF GetPixel(HDC hdc, int x, int y)
{
    if (!hdc || !hdc->surface)
        return CLR_INVALID;
    SDL_Surface* s = hdc->surface;
    if (x < 0 || y < 0 || x >= s->w || y >= s->h)
        return CLR_INVALID;
    if (SDL_MUSTLOCK(s) && SDL_LockSurface(s) != 0)
        return CLR_INVALID;
    const auto* p = static_cast<const Uint8*>(s->pixels) +
                    static_cast<std::ptrdiff_t>(y) * s->pitch +
                    static_cast<std::ptrdiff_t>(x) * s->format->BytesPerPixel;
    Uint32 value = 0;
    switch (s->format->BytesPerPixel) {
    case 1:
        value = *p;
        break;
    case 2:
        value = *reinterpret_cast<const Uint16*>(p);
        break;
    case 3:
        value = SDL_BYTEORDER == SDL_LIL_ENDIAN ? (p[0] | p[1] << 8 | p[2] << 16)
                                                : (p[2] | p[1] << 8 | p[0] << 16);
        break;
    default:
        value = *reinterpret_cast<const Uint32*>(p);
        break;
    }
    if (SDL_MUSTLOCK(s))
        SDL_UnlockSurface(s);
    Uint8 r, g, b;
    SDL_GetRGB(value, s->format, &r, &g, &b);
    return RGB(r, g, b);
}
