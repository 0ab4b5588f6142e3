#pragma once
// Device contexts and GDI objects, as the buffered window and the scene drawing use them:
//  [X] memory contexts over CPU surfaces, compatible bitmaps, one-block copies to a window
//  [X] FillRect with a brush or a system colour, DrawText (single line, top/bottom, left/
//      centre/right, clipped, never wrapped; black on opaque white cells)
//  [X] fonts from a LOGFONTA request, matched through fontconfig, rendered with SDL2_ttf
//  [ ] pens, regions, mapping modes, raster operations other than SRCCOPY
// Coordinates are pixels in the context's own space, origin top-left; rectangles exclude their
// right and bottom edges.
#include "platform/cstring.h"
#include "platform/win_types.h"

class CWnd;

constexpr DWORD SRCCOPY = 0x00CC0020u;
constexpr int COLOR_WINDOW = 5;
constexpr int WHITE_BRUSH = 0;
constexpr int SYSTEM_FONT = 13;

// DrawText format flags.
constexpr UINT DT_TOP = 0x00;
constexpr UINT DT_LEFT = 0x00;
constexpr UINT DT_CENTER = 0x01;
constexpr UINT DT_RIGHT = 0x02;
constexpr UINT DT_VCENTER = 0x04;
constexpr UINT DT_BOTTOM = 0x08;
constexpr UINT DT_WORDBREAK = 0x10;
constexpr UINT DT_SINGLELINE = 0x20;
constexpr UINT DT_NOPREFIX = 0x800;

constexpr BYTE ANSI_CHARSET = 0;
constexpr BYTE DEFAULT_CHARSET = 1;
constexpr BYTE RUSSIAN_CHARSET = 204;
constexpr BYTE ANTIALIASED_QUALITY = 4;
constexpr int LF_FACESIZE = 32;

struct LOGFONTA {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    char lfFaceName[LF_FACESIZE];
};

HDC CreateCompatibleDC(HDC hdc); // hdc may be null: a context compatible with the screen
HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height);
BOOL DeleteDC(HDC hdc);
BOOL DeleteObject(HGDIOBJ obj);
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ obj); // returns the previous object of that kind
HGDIOBJ GetStockObject(int which);
BOOL BitBlt(HDC dst, int x, int y, int cx, int cy, HDC src, int x1, int y1, DWORD rop);
// brush may be a real brush or (HBRUSH)(COLOR_xxx + 1), a system colour.
int FillRect(HDC hdc, const RECT* rc, HBRUSH brush);
int DrawTextA(HDC hdc, const char* text, int length, RECT* rc, UINT format);
HFONT CreateFontIndirectA(const LOGFONTA* request);
// 0x00BBGGRR, as the classic call packs a colour.
using COLORREF = DWORD;
constexpr COLORREF CLR_INVALID = 0xFFFFFFFFu;
constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b)
{
    return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) |
           (static_cast<COLORREF>(b) << 16);
}
// The colour of one pixel of the context's surface; CLR_INVALID outside it. Lets code outside
// the platform layer (tests, benchmarks) look at what was drawn.
COLORREF GetPixel(HDC hdc, int x, int y);
inline HBRUSH SysColorBrush(int colorIndexPlusOne)
{
    return reinterpret_cast<HBRUSH>(static_cast<std::uintptr_t>(colorIndexPlusOne));
}

class CGdiObject {
public:
    CGdiObject() = default;
    virtual ~CGdiObject() { DeleteObject(); }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    BOOL Attach(HGDIOBJ obj);
    HGDIOBJ Detach();
    BOOL DeleteObject();
    HGDIOBJ GetSafeHandle() const { return m_hObject; }

    HGDIOBJ m_hObject = nullptr;
};

class CBitmap : public CGdiObject {};
class CFont : public CGdiObject {};

class CDC {
public:
    CDC() = default;
    virtual ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    BOOL Attach(HDC hdc);
    HDC Detach();
    BOOL DeleteDC();
    HDC GetSafeHdc() const { return m_hDC; }

    // Selects gdiObj into hdc; the previously selected object of its kind is not kept.
    static HGDIOBJ SelectGdiObject(HDC hdc, HGDIOBJ gdiObj);
    // Selects a font and returns the handle of the font it replaces.
    HGDIOBJ SelectObject(CGdiObject* obj);
    HGDIOBJ SelectObject(HGDIOBJ obj);
    int DrawText(const char* text, int length, RECT* rc, UINT format);
    int DrawText(const CString& text, RECT* rc, UINT format);
    void FillRect(const RECT* rc, HBRUSH brush);
    BOOL BitBlt(int x, int y, int cx, int cy, CDC* src, int x1, int y1, DWORD rop);

    HDC m_hDC = nullptr;
};

// A context for the window's client area, released with the object.
class CClientDC : public CDC {
public:
    explicit CClientDC(CWnd* wnd);
    ~CClientDC() override;
};

// Begins painting on construction, which makes the window valid again (an invalidation made
// while drawing asks for another paint); ends it on destruction.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* wnd);
    ~CPaintDC() override;
};
