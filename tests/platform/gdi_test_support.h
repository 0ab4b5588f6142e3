#pragma once
// A memory context over a fresh bitmap, and pixel probes, for the drawing tests of the
// platform layer (which may look inside its structures).
#include "platform/sdl/gdi_internal.h"

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
    // Bounding box (right/bottom exclusive) of the pixels for which keep() holds; all zero when
    // there are none.
    template <class Pred> RECT BoxOf(Pred keep) const
    {
        RECT box{surface()->w, surface()->h, 0, 0};
        for (int y = 0; y < surface()->h; ++y)
            for (int x = 0; x < surface()->w; ++x)
                if (keep(At(x, y))) {
                    box.left = std::min<LONG>(box.left, x);
                    box.top = std::min<LONG>(box.top, y);
                    box.right = std::max<LONG>(box.right, x + 1);
                    box.bottom = std::max<LONG>(box.bottom, y + 1);
                }
        if (box.right == 0)
            box = RECT{0, 0, 0, 0};
        return box;
    }
};
