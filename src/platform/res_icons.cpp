#include "platform/res_icons.h"

#include <SDL_image.h>

#include "res_icons.inc"

namespace tappy {
SDL_Surface* LoadIconSurface(int resourceId)
{
    const unsigned char* data = nullptr;
    int size = 0;
    switch (resourceId) {
    case 129:
        data = kIcon129Png;
        size = static_cast<int>(sizeof(kIcon129Png));
        break;
    case 131:
        data = kIcon131Png;
        size = static_cast<int>(sizeof(kIcon131Png));
        break;
    default:
        return nullptr;
    }
    SDL_RWops* rw = SDL_RWFromConstMem(data, size);
    return rw ? IMG_Load_RW(rw, 1) : nullptr;
}
} // namespace tappy
