// Placeholder until picture drawing lands.
#include "platform/imaging_internal.h"

void ImagingForget(GpImage*) {}
GpStatus GdipCreateFromHDC(HDC, GpGraphics** graphics)
{
    if (graphics)
        *graphics = nullptr;
    return Gdiplus::GenericError;
}
GpStatus GdipDrawImageRectI(GpGraphics*, GpImage*, int, int, int, int) { return Gdiplus::GenericError; }
GpStatus GdipDeleteGraphics(GpGraphics*) { return Gdiplus::Ok; }
