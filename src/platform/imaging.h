#pragma once
// The imaging services the design calls by their GDI+ names, on SDL2_image:
//  [X] start-up/shut-down, load from file with a status, width, height, dispose
//  [X] a drawing surface on a device context and a scaled draw of the whole picture
//  [ ] anything else of GDI+ (no encoders, no metadata, no transforms)
// Loading reads only the file's header, so a folder of photos loads fast; the pixels are
// decoded on first draw and kept in a small cache (see imaging_draw.cpp for its bound).
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

// Pictures larger than this are refused at load, as if they did not decode: a tiny file can
// claim a huge size, and decoding it later would be an unbounded allocation.
constexpr std::uint64_t kMaxPicturePixels = 100'000'000;

GpStatus GdipLoadImageFromFile(const WCHAR* filename, GpImage** image);
GpStatus GdipDisposeImage(GpImage* image);
GpStatus GdipGetImageWidth(GpImage* image, UINT* width);
GpStatus GdipGetImageHeight(GpImage* image, UINT* height);
GpStatus GdipCreateFromHDC(HDC hdc, GpGraphics** graphics);
GpStatus GdipDrawImageRectI(GpGraphics* graphics, GpImage* image, int x, int y, int width,
                            int height);
GpStatus GdipDeleteGraphics(GpGraphics* graphics);
