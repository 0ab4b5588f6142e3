// Memory contexts, bitmaps and the block copy. Text, fills and fonts live in gdi_text.cpp.
#include "platform/sdl/backend.h"
#include "platform/sdl/gdi_internal.h"

#include <SDL_ttf.h>

#include <sys/mman.h>

HDC CreateCompatibleDC(HDC /*hdc*/)
{
    auto* dc = new (std::nothrow) DeviceContext();
    if (dc)
        dc->font = GetStockObject(SYSTEM_FONT);
    return dc;
}

// Bitmap pixels get pages of their own that a forked child does not share. Pictures are
// decoded in forked children (codec/picture_store.h); a page shared with a child turns the
// next paint's write to it into a copy-on-write fault in the window's thread.
HBITMAP CreateCompatibleBitmap(HDC /*hdc*/, int width, int height)
{
    if (width <= 0 || height <= 0 || width > 32768 || height > 32768)
        return nullptr;
    auto* obj = new (std::nothrow) GdiObject{GdiObject::Kind::Bitmap};
    if (!obj)
        return nullptr;
    const std::size_t bytes = std::size_t(width) * std::size_t(height) * 4;
    void* pages = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pages != MAP_FAILED) {
        madvise(pages, bytes, MADV_DONTFORK);
        obj->surface =
            SDL_CreateRGBSurfaceWithFormatFrom(pages, width, height, 32, width * 4, kBitmapFormat);
        if (obj->surface) {
            obj->mapping = pages;
            obj->mappingBytes = bytes;
        } else {
            munmap(pages, bytes);
        }
    }
    if (!obj->surface)
        obj->surface = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, kBitmapFormat);
    if (!obj->surface) {
        delete obj;
        return nullptr;
    }
    return obj;
}

BOOL DeleteDC(HDC hdc)
{
    if (!hdc)
        return FALSE;
    delete hdc;
    return TRUE;
}

BOOL DeleteObject(HGDIOBJ obj)
{
    // A system-colour brush is a small integer posing as a handle.
    if (!obj || reinterpret_cast<std::uintptr_t>(obj) < 0x10000 || obj->stock)
        return FALSE;
    if (obj->surface)
        SDL_FreeSurface(obj->surface);
    if (obj->mapping)
        munmap(obj->mapping, obj->mappingBytes);
    if (obj->font)
        TTF_CloseFont(obj->font);
    delete obj;
    return TRUE;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ obj)
{
    if (!hdc || !obj || reinterpret_cast<std::uintptr_t>(obj) < 0x10000)
        return nullptr;
    switch (obj->kind) {
    case GdiObject::Kind::Bitmap: {
        HGDIOBJ previous = hdc->bitmap;
        hdc->bitmap = obj;
        hdc->surface = obj->surface;
        return previous;
    }
    case GdiObject::Kind::Font: {
        HGDIOBJ previous = hdc->font;
        hdc->font = obj;
        return previous;
    }
    case GdiObject::Kind::Brush:
        return nullptr;
    }
    return nullptr;
}

HGDIOBJ GetStockObject(int which)
{
    static GdiObject white{GdiObject::Kind::Brush, nullptr,  nullptr, 0,
                           DEFAULT_CHARSET,        0xFFFFFF, true};
    // The face itself is opened on first use by the text code (RealiseSystemFont).
    static GdiObject systemFont{GdiObject::Kind::Font, nullptr, nullptr, 0,
                                DEFAULT_CHARSET,       0,       true};
    switch (which) {
    case WHITE_BRUSH:
        return &white;
    case SYSTEM_FONT:
        return &systemFont;
    default:
        return nullptr;
    }
}

BOOL BitBlt(HDC dst, int x, int y, int cx, int cy, HDC src, int x1, int y1, DWORD rop)
{
    if (!dst || !src || !dst->surface || !src->surface || rop != SRCCOPY || cx <= 0 || cy <= 0)
        return FALSE;
    SDL_Rect from{x1, y1, cx, cy};
    SDL_Rect to{x, y, cx, cy};
    if (SDL_BlitSurface(src->surface, &from, dst->surface, &to) != 0)
        return FALSE;
    if (dst->window)
        return tappy::TheDesktop().PresentWindowSurface(dst->window);
    return TRUE;
}

BOOL InflateRect(RECT* rc, int dx, int dy)
{
    if (!rc)
        return FALSE;
    rc->left -= dx;
    rc->top -= dy;
    rc->right += dx;
    rc->bottom += dy;
    return TRUE;
}

BOOL CGdiObject::Attach(HGDIOBJ obj)
{
    if (!obj)
        return FALSE;
    DeleteObject();
    m_hObject = obj;
    return TRUE;
}

HGDIOBJ CGdiObject::Detach()
{
    HGDIOBJ obj = m_hObject;
    m_hObject = nullptr;
    return obj;
}

BOOL CGdiObject::DeleteObject()
{
    if (!m_hObject)
        return FALSE;
    return ::DeleteObject(Detach());
}

CDC::~CDC()
{
    DeleteDC();
}

BOOL CDC::Attach(HDC hdc)
{
    if (!hdc)
        return FALSE;
    m_hDC = hdc;
    return TRUE;
}

HDC CDC::Detach()
{
    HDC hdc = m_hDC;
    m_hDC = nullptr;
    return hdc;
}

BOOL CDC::DeleteDC()
{
    if (!m_hDC)
        return FALSE;
    return ::DeleteDC(Detach());
}

HGDIOBJ CDC::SelectGdiObject(HDC hdc, HGDIOBJ gdiObj)
{
    return ::SelectObject(hdc, gdiObj);
}

HGDIOBJ CDC::SelectObject(CGdiObject* obj)
{
    return ::SelectObject(m_hDC, obj ? obj->m_hObject : nullptr);
}

HGDIOBJ CDC::SelectObject(HGDIOBJ obj)
{
    return ::SelectObject(m_hDC, obj);
}

int CDC::DrawText(const char* text, int length, RECT* rc, UINT format)
{
    return DrawTextA(m_hDC, text, length, rc, format);
}

int CDC::DrawText(const CString& text, RECT* rc, UINT format)
{
    return DrawTextA(m_hDC, text, text.GetLength(), rc, format);
}

void CDC::FillRect(const RECT* rc, HBRUSH brush)
{
    ::FillRect(m_hDC, rc, brush);
}

BOOL CDC::BitBlt(int x, int y, int cx, int cy, CDC* src, int x1, int y1, DWORD rop)
{
    return ::BitBlt(m_hDC, x, y, cx, cy, src ? src->m_hDC : nullptr, x1, y1, rop);
}
