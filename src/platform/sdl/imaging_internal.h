#pragma once
// Shared between the loading half (imaging_load.cpp) and the drawing half (imaging_draw.cpp)
// of the imaging stand-in. Platform-internal.
#include "platform/imaging.h"

#include <cstdint>
#include <string>

// Every picture object gets its own number at loading, never reused, so what the picture store
// keeps for it (decoded copies, whether it decodes) cannot be mistaken for another's after it is
// gone. The store is the one record of a picture that does not decode.
std::uint64_t NextPictureId();

struct GpImage {
    std::uint64_t id = NextPictureId();
    std::string path; // the file's path in bytes, as the file system takes it
    UINT width = 0;   // from the file's header, pixels
    UINT height = 0;
};

// Drops whatever the drawing half keeps decoded for this picture; called by GdipDisposeImage.
void ImagingForget(GpImage* image);
