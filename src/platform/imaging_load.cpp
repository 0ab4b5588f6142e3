// Placeholder until picture loading lands.
#include "platform/imaging_internal.h"

namespace Gdiplus {
Status GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput*, void*)
{
    if (token)
        *token = 1;
    return Ok;
}
void GdiplusShutdown(ULONG_PTR) {}
Image::Image(const WCHAR* filename) { lastResult = GdipLoadImageFromFile(filename, &nativeImage); }
Image::~Image() { GdipDisposeImage(nativeImage); }
Status Image::GetLastStatus()
{
    Status s = lastResult;
    lastResult = Ok;
    return s;
}
} // namespace Gdiplus

GpStatus GdipLoadImageFromFile(const WCHAR*, GpImage** image)
{
    if (image)
        *image = nullptr;
    return Gdiplus::UnknownImageFormat;
}
GpStatus GdipDisposeImage(GpImage* image)
{
    if (!image)
        return Gdiplus::InvalidParameter;
    ImagingForget(image);
    delete image;
    return Gdiplus::Ok;
}
GpStatus GdipGetImageWidth(GpImage* image, UINT* width)
{
    if (!image || !width)
        return Gdiplus::InvalidParameter;
    *width = image->width;
    return Gdiplus::Ok;
}
GpStatus GdipGetImageHeight(GpImage* image, UINT* height)
{
    if (!image || !height)
        return Gdiplus::InvalidParameter;
    *height = image->height;
    return Gdiplus::Ok;
}
