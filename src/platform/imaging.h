#pragma once
// The imaging services the design calls by their GDI+ names, on our codec library (codec/):
//  [X] start-up/shut-down, load from file with a status, width, height, dispose
//  [X] a drawing surface on a device context and a scaled draw of the whole picture
//  [ ] anything else of GDI+ (no encoders, no metadata, no transforms)
// Loading reads only the file's header, so a folder of photos loads fast; the pixels are
// decoded ahead of the draw and kept in a small cache (see codec/picture_store.h for its bound).
// The picture store is the one record of a picture that does not decode.
#include "platform/win_types.h"

struct GpImage;
struct GpGraphics;

namespace Gdiplus {
enum Status {
    Ok = 0,
    GenericError = 1,
    InvalidParameter = 2,
    OutOfMemory = 3,
    FileNotFound = 10,
    UnknownImageFormat = 13,
};

struct GdiplusStartupInput {
    std::uint32_t GdiplusVersion = 1;
    void* DebugEventCallback = nullptr;
    BOOL SuppressBackgroundThread = FALSE;
    BOOL SuppressExternalCodecs = FALSE;
};

Status GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, void* output);
void GdiplusShutdown(ULONG_PTR token);

// The picture object: holds the library's handle (null until loaded) and the status of its
// last operation.
class Image {
public:
    explicit Image(const WCHAR* filename);
    ~Image();
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    // Returns the status of the last operation and resets it to Ok.
    Status GetLastStatus();
    GpImage* GetNativeImage() const { return nativeImage; }

private:
    GpImage* nativeImage = nullptr;
    Status lastResult = Ok;
};
} // namespace Gdiplus

using GpStatus = Gdiplus::Status;

GpStatus GdipLoadImageFromFile(const WCHAR* filename, GpImage** image);
GpStatus GdipDisposeImage(GpImage* image);
GpStatus GdipGetImageWidth(GpImage* image, UINT* width);
GpStatus GdipGetImageHeight(GpImage* image, UINT* height);
GpStatus GdipCreateFromHDC(HDC hdc, GpGraphics** graphics);
GpStatus GdipDrawImageRectI(GpGraphics* graphics, GpImage* image, int x, int y, int width,
                            int height);
GpStatus GdipDeleteGraphics(GpGraphics* graphics);

// Tappy's own additions, for pictures that are ready before they are drawn. The size is the
// surface they will be drawn on (the screen).
// Checks each picture in the background, at low priority, remembering the verdicts between
// runs so that an unchanged picture is checked once; see ImagingDoesNotDecode. A check reads the
// whole file but makes no picture, so it needs no size.
void ImagingVerifyInBackground(GpImage* const* images, int count);
// Decodes these pictures ahead in the background, most likely first; replaces the last set.
void ImagingDecodeAhead(GpImage* const* images, int count, int width, int height);
// Decodes the picture now unless it is ready; false when it does not decode.
bool ImagingEnsureDecoded(GpImage* image, int width, int height);
// True once the picture is known not to decode.
bool ImagingDoesNotDecode(GpImage* image);
