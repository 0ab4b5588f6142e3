#pragma once
// A memory context over a fresh bitmap, and pixel probes, for the drawing tests of the
// platform layer (which may look inside its structures).
#include "platform/sdl/gdi_internal.h"
#include "support/box_of.h"

struct Canvas {
    HDC dc;
    HBITMAP bitmap;
    Canvas(int w, int h, int colorPlusOne = COLOR_WINDOW + 1)
        : dc(CreateCompatibleDC(nullptr)), bitmap(CreateCompatibleBitmap(nullptr, w, h))
    {
        SelectObject(dc, bitmap);
        RECT all{0, 0, w, h};
        FillRect(dc, &all, SysColorBrush(colorPlusOne));
    }
    ~Canvas()
    {
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    SDL_Surface* surface() const { return bitmap->surface; }
    // 0xRRGGBB of one pixel.
    Uint32 At(int x, int y) const
    {
        const auto* row = static_cast<const Uint8*>(surface()->pixels) + y * surface()->pitch;
        return reinterpret_cast<const Uint32*>(row)[x] & 0xFFFFFF;
    }
    template <class Pred> RECT BoxOf(Pred keep) const
    {
        const auto at = [this](int x, int y) { return At(x, y); };
        return ::BoxOf(at, keep, RECT{0, 0, surface()->w, surface()->h});
    }
};
