// Text, fills and fonts of the GDI stand-in. Text is black on opaque white cells (the
// defaults of a fresh context, which Tappy never changes), antialiased, one cell high per line.
#include "platform/sdl/font_match.h"
#include "platform/sdl/gdi_internal.h"
#include "platform/text_bytes.h"

#include <SDL_ttf.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {
// The classic system font was a bold face with a 16-pixel cell.
constexpr int kSystemFontCell = 16;
// Cells above this are refused: a request is bytes from the caller, and a glyph cache of
// enormous bitmaps is not something a toy should build on request.
constexpr int kMaxCell = 1024;
// Above this many pixels a line is cut to its visible part before rendering, so a long text
// never makes a surface far wider than the screen.
constexpr int kMaxRenderedWidth = 8192;

struct Span {
    std::int64_t left, top, right, bottom;
};

Uint32 SystemColour(std::uintptr_t index)
{
    switch (index) {
    case 0:  // COLOR_SCROLLBAR
    case 15: // COLOR_BTNFACE
        return 0xC0C0C0;
    case 1: // COLOR_BACKGROUND
        return 0x008080;
    case 6:  // COLOR_WINDOWFRAME
    case 7:  // COLOR_MENUTEXT
    case 8:  // COLOR_WINDOWTEXT
    case 18: // COLOR_BTNTEXT
        return 0x000000;
    default: // COLOR_WINDOW and the rest: the window background is white
        return 0xFFFFFF;
    }
}

// The rectangle within both the caller's rectangle and the surface, or false when empty.
bool VisiblePart(const SDL_Surface* surface, const RECT& rc, SDL_Rect* out)
{
    const std::int64_t left = std::max<std::int64_t>(rc.left, surface->clip_rect.x);
    const std::int64_t top = std::max<std::int64_t>(rc.top, surface->clip_rect.y);
    const std::int64_t right =
        std::min<std::int64_t>(rc.right, std::int64_t{surface->clip_rect.x} + surface->clip_rect.w);
    const std::int64_t bottom = std::min<std::int64_t>(
        rc.bottom, std::int64_t{surface->clip_rect.y} + surface->clip_rect.h);
    if (right <= left || bottom <= top)
        return false;
    *out = SDL_Rect{static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
                    static_cast<int>(bottom - top)};
    return true;
}

std::size_t Utf8Advance(const std::string& s, std::size_t at, int codepoints)
{
    while (at < s.size() && codepoints > 0) {
        ++at;
        while (at < s.size() && (static_cast<unsigned char>(s[at]) & 0xC0) == 0x80)
            ++at;
        --codepoints;
    }
    return at;
}

// For a line far wider than the clip: drops the codepoints wholly left of it and those past
// its right edge (keeping one partly visible each side) and moves x to where the rest begins.
void CutToClip(TTF_Font* font, std::string* line, std::int64_t* x, const SDL_Rect& clip)
{
    int extent = 0, count = 0;
    const std::int64_t hidden = std::int64_t{clip.x} - *x;
    if (hidden > 0 &&
        TTF_MeasureUTF8(font, line->c_str(),
                        static_cast<int>(std::min<std::int64_t>(hidden, INT32_MAX)), &extent,
                        &count) == 0 &&
        count > 1) {
        const std::size_t cut = Utf8Advance(*line, 0, count - 1);
        int prefix = 0;
        TTF_SizeUTF8(font, line->substr(0, cut).c_str(), &prefix, nullptr);
        line->erase(0, cut);
        *x += prefix;
    }
    const std::int64_t room = std::int64_t{clip.x} + clip.w - *x;
    if (room > 0 && TTF_MeasureUTF8(font, line->c_str(),
                                    static_cast<int>(std::min<std::int64_t>(room, INT32_MAX)),
                                    &extent, &count) == 0)
        line->resize(Utf8Advance(*line, 0, count + 1));
}

void DrawLine(SDL_Surface* target, TTF_Font* font, std::string line, std::int64_t x, std::int64_t y,
              const SDL_Rect& clip)
{
    if (line.empty())
        return;
    int width = 0;
    if (TTF_SizeUTF8(font, line.c_str(), &width, nullptr) != 0)
        return;
    if (width > kMaxRenderedWidth) {
        CutToClip(font, &line, &x, clip);
        if (line.empty())
            return;
    }
    const SDL_Color black{0, 0, 0, 255};
    const SDL_Color white{255, 255, 255, 255};
    SDL_Surface* cells = TTF_RenderUTF8_Shaded(font, line.c_str(), black, white);
    if (!cells)
        return;
    SDL_Rect saved;
    SDL_GetClipRect(target, &saved);
    SDL_SetClipRect(target, &clip);
    if (x > -cells->w && x < INT32_MAX && y > -cells->h && y < INT32_MAX) {
        SDL_Rect at{static_cast<int>(x), static_cast<int>(y), cells->w, cells->h};
        SDL_BlitSurface(cells, nullptr, target, &at);
    }
    SDL_SetClipRect(target, &saved);
    SDL_FreeSurface(cells);
}
} // namespace

void RealiseSystemFont(GdiObject* stockFont)
{
    if (!stockFont || stockFont->font)
        return;
    FontRequest request;
    request.family = "sans-serif";
    request.bold = true;
    request.cellLimit = kSystemFontCell;
    stockFont->font = OpenRequestedFont(request, &stockFont->cellHeight);
}

int FillRect(HDC hdc, const RECT* rc, HBRUSH brush)
{
    if (!hdc || !hdc->surface || !rc || !brush)
        return 0;
    Uint32 rgb;
    const auto value = reinterpret_cast<std::uintptr_t>(brush);
    if (value < 0x10000)
        rgb = SystemColour(value - 1);
    else if (brush->kind == GdiObject::Kind::Brush)
        rgb = brush->color;
    else
        return 0;
    SDL_Rect area;
    if (!VisiblePart(hdc->surface, *rc, &area))
        return 1;
    const Uint32 pixel =
        SDL_MapRGB(hdc->surface->format, (rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
    return SDL_FillRect(hdc->surface, &area, pixel) == 0 ? 1 : 0;
}

int DrawTextA(HDC hdc, const char* text, int length, RECT* rc, UINT format)
{
    if (!hdc || !rc || !text)
        return 0;
    GdiObject* fontObj = hdc->font;
    if (fontObj && fontObj->stock)
        RealiseSystemFont(fontObj);
    if (!fontObj || !fontObj->font)
        return 0;
    TTF_Font* font = fontObj->font;
    const int cell = fontObj->cellHeight;
    const std::size_t n = length < 0 ? std::strlen(text) : static_cast<std::size_t>(length);

    std::vector<std::string> lines;
    if (format & DT_SINGLELINE) {
        lines.emplace_back(text, n);
    } else {
        std::size_t start = 0;
        for (std::size_t i = 0; i <= n; ++i) {
            if (i == n || text[i] == '\n' || text[i] == '\r') {
                lines.emplace_back(text + start, i - start);
                if (i + 1 < n && text[i] == '\r' && text[i + 1] == '\n')
                    ++i;
                start = i + 1;
            }
        }
    }

    SDL_Rect clip{};
    const bool visible = hdc->surface && VisiblePart(hdc->surface, *rc, &clip);
    const std::int64_t rcWidth = std::int64_t{rc->right} - rc->left;
    std::int64_t y = rc->top;
    if (format & DT_SINGLELINE) {
        if (format & DT_BOTTOM)
            y = std::int64_t{rc->bottom} - cell;
        else if (format & DT_VCENTER)
            y = rc->top + (std::int64_t{rc->bottom} - rc->top - cell) / 2;
    }
    for (const std::string& bytes : lines) {
        if (visible) {
            std::string line = fontObj->charset == RUSSIAN_CHARSET
                                   ? Utf8FromCyrillicBytes(bytes.data(), bytes.size())
                                   : Utf8FromSystemBytes(bytes.data(), bytes.size());
            int width = 0;
            if (!line.empty() && TTF_SizeUTF8(font, line.c_str(), &width, nullptr) == 0) {
                std::int64_t x = rc->left;
                if (format & DT_CENTER)
                    x = rc->left + (rcWidth - width) / 2;
                else if (format & DT_RIGHT)
                    x = std::int64_t{rc->right} - width;
                DrawLine(hdc->surface, font, std::move(line), x, y, clip);
            }
        }
        y += cell;
    }
    return static_cast<int>(std::min<std::int64_t>(std::int64_t{cell} * lines.size(), INT32_MAX));
}

HFONT CreateFontIndirectA(const LOGFONTA* request)
{
    if (!request)
        return nullptr;
    FontRequest wanted;
    // The face name is a fixed field that a caller may fill to the brim without a terminator.
    wanted.family.assign(request->lfFaceName, strnlen(request->lfFaceName, LF_FACESIZE));
    if (wanted.family.empty())
        wanted.family = "sans-serif";
    wanted.bold = request->lfWeight >= 600;
    wanted.italic = request->lfItalic != 0;
    wanted.cyrillic = request->lfCharSet == RUSSIAN_CHARSET;
    const std::int64_t height = std::llabs(std::int64_t{request->lfHeight});
    wanted.cellLimit =
        height == 0 ? kSystemFontCell : static_cast<int>(std::min<std::int64_t>(height, kMaxCell));

    auto* obj = new (std::nothrow) GdiObject{GdiObject::Kind::Font};
    if (!obj)
        return nullptr;
    obj->charset = request->lfCharSet;
    obj->font = OpenRequestedFont(wanted, &obj->cellHeight);
    if (!obj->font) {
        delete obj;
        return nullptr;
    }
    if (request->lfUnderline || request->lfStrikeOut) {
        int style = TTF_GetFontStyle(obj->font);
        style |= request->lfUnderline ? TTF_STYLE_UNDERLINE : 0;
        style |= request->lfStrikeOut ? TTF_STYLE_STRIKETHROUGH : 0;
        TTF_SetFontStyle(obj->font, style);
    }
    return obj;
}
