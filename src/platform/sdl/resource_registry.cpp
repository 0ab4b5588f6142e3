#include "platform/sdl/resource_registry.h"

#include "platform/wnd.h"

#include <SDL_image.h>

#include <deque>

struct IconImpl {
    int resourceId;
    const unsigned char* png;
    std::size_t size;
};

namespace {

// Made on first use and kept to the end of the process: LoadIconA hands out pointers into it,
// which the window classes hold for as long as they exist. A deque keeps them where they are.
struct Registry {
    std::deque<IconImpl> icons;
    std::deque<const tappy::dialog::Template*> dialogs;
};

Registry& Resources()
{
    static Registry registry;
    return registry;
}

IconImpl* FindIcon(int resourceId)
{
    for (IconImpl& icon : Resources().icons)
        if (icon.resourceId == resourceId)
            return &icon;
    return nullptr;
}

} // namespace

void RegisterDialogTemplate(const tappy::dialog::Template* dialogTemplate)
{
    if (!dialogTemplate)
        return;
    for (const tappy::dialog::Template*& t : Resources().dialogs) {
        if (t->id == dialogTemplate->id) {
            t = dialogTemplate;
            return;
        }
    }
    Resources().dialogs.push_back(dialogTemplate);
}

void RegisterIconResource(int resourceId, const unsigned char* png, std::size_t size)
{
    if (IconImpl* icon = FindIcon(resourceId)) {
        icon->png = png;
        icon->size = size;
        return;
    }
    Resources().icons.push_back(IconImpl{resourceId, png, size});
}

HICON LoadIconA(HINSTANCE /*hInstance*/, int resourceId)
{
    return FindIcon(resourceId);
}

namespace tappy {

SDL_Surface* LoadIconSurface(int resourceId)
{
    const IconImpl* icon = FindIcon(resourceId);
    if (!icon || !icon->png || icon->size > 0x7FFFFFFF)
        return nullptr;
    SDL_RWops* rw = SDL_RWFromConstMem(icon->png, static_cast<int>(icon->size));
    return rw ? IMG_Load_RW(rw, 1) : nullptr;
}

SDL_Surface* LoadIconSurface(HICON icon)
{
    return icon ? LoadIconSurface(icon->resourceId) : nullptr;
}

const dialog::Template* FindDialogTemplate(int id)
{
    for (const dialog::Template* t : Resources().dialogs)
        if (t->id == id)
            return t;
    return nullptr;
}

} // namespace tappy
