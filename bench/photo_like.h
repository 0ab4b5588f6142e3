#pragma once
// A picture that compresses like a photo: smooth gradients with a fine texture, so a JPEG or PNG
// of it decodes at a photo's cost, not a flat colour's. 24-bit RGB; the caller frees it.
#include <SDL.h>

inline SDL_Surface* PhotoLike(int w, int h)
{
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 24, SDL_PIXELFORMAT_RGB24);
    if (!s)
        return nullptr;
    for (int y = 0; y < h; ++y) {
        auto* row = static_cast<Uint8*>(s->pixels) + y * s->pitch;
        for (int x = 0; x < w; ++x) {
            const unsigned noise = (x * 2654435761u ^ y * 40503u) >> 27;
            row[x * 3] = static_cast<Uint8>(x * 255 / w + noise);
            row[x * 3 + 1] = static_cast<Uint8>(y * 255 / h);
            row[x * 3 + 2] = static_cast<Uint8>((x + y) * 127 / (w + h) + noise * 2);
        }
    }
    return s;
}
