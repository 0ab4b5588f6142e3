#pragma once
// JPEG decoding at a reduced size. libjpeg can skip most of the work of a large photo by
// decoding straight to 1/2, 1/4 or 1/8 of its size; a photo of 4000 x 3000 shown on a screen
// of 1920 x 1080 never needs its full pixels. Platform-internal.
#include <SDL.h>

namespace tappy {
// Decodes the JPEG at path at the smallest of 1/1, 1/2, 1/4 and 1/8 of its size that still
// covers fitW x fitH (or the full size when it is smaller), as a new ARGB8888 surface.
// Null when the file is not a JPEG or does not decode.
SDL_Surface* LoadJpegCovering(const char* path, int fitW, int fitH);
} // namespace tappy
