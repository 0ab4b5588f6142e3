#pragma once
// What the application registered (platform/resources.h), for the windows and dialogs that show
// it. Platform-internal.
#include "platform/resources.h"
#include "platform/win_types.h"

#include <SDL.h>

namespace tappy {
// A new surface the caller frees; null for an unregistered number or a failed decode.
SDL_Surface* LoadIconSurface(int resourceId);
SDL_Surface* LoadIconSurface(HICON icon);
// Null for a number that has no template.
const dialog::Template* FindDialogTemplate(int id);
} // namespace tappy
