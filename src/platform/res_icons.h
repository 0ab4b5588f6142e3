#pragma once
// The program's icons (resources 129 and 131), compiled in from res/. Platform-internal.
#include <SDL.h>

namespace tappy {
// A new surface the caller frees; null for an unknown id or a failed decode.
SDL_Surface* LoadIconSurface(int resourceId);
} // namespace tappy
