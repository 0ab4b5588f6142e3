// Dialogs from resource templates: a small borderless window centred on the primary screen,
// its static controls (icons and texts) rendered in the template's dialog units.
//  [X] icon and text statics: left or centred, word-wrapped, sunken edge, no-prefix
//  [ ] buttons, edits and every other control kind: the About box has none
#include "platform/app.h"
#include "platform/sdl/backend.h"
#include "platform/sdl/font_match.h"
#include "platform/sdl/resource_registry.h"

#include <SDL_ttf.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// The classic dialog face: a grey window with black text.
constexpr Uint8 kFace = 0xF0;
constexpr Uint8 kShadow = 0xA0;
constexpr Uint8 kHighlight = 0xFF;
// "MS Sans Serif" 8 pt has a 13-pixel cell at 96 dots per inch; any sans stands in for it.
constexpr int kDialogFontCell = 13;

// The caller closes it; null when no face matched (the box is then drawn without text).
TTF_Font* OpenDialogFont()
{
    int cell = 0;
    if (!TTF_WasInit())
        return nullptr;
    return OpenRequestedFont(FontRequest{"sans-serif", false, false, false, kDialogFontCell},
                             &cell);
}

struct BaseUnits {
    int x;
    int y;
};

// Average character width and cell height of the dialog font, the way the classic dialog
// manager measures them, so dialog units come out as they were designed.
BaseUnits MeasureBaseUnits(TTF_Font* font)
{
    if (!font)
        return {6, kDialogFontCell};
    int width = 0;
    int height = 0;
    TTF_SizeUTF8(font, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", &width, &height);
    return {std::max(1, (width / 26 + 1) / 2), std::max(1, TTF_FontHeight(font))};
}

SDL_Rect ToPixels(int x, int y, int cx, int cy, BaseUnits units)
{
    return SDL_Rect{x * units.x / 4, y * units.y / 8, cx * units.x / 4, cy * units.y / 8};
}

void FillRectRgb(SDL_Surface* s, const SDL_Rect& r, Uint8 grey)
{
    SDL_FillRect(s, &r, SDL_MapRGB(s->format, grey, grey, grey));
}

// Two-tone edge: dark above and left, light below and right for a sunken look, or the
// reverse for a raised frame.
void DrawEdge(SDL_Surface* s, const SDL_Rect& r, bool sunken)
{
    const Uint8 topLeft = sunken ? kShadow : kHighlight;
    const Uint8 bottomRight = sunken ? kHighlight : kShadow;
    FillRectRgb(s, SDL_Rect{r.x, r.y, r.w, 1}, topLeft);
    FillRectRgb(s, SDL_Rect{r.x, r.y, 1, r.h}, topLeft);
    FillRectRgb(s, SDL_Rect{r.x, r.y + r.h - 1, r.w, 1}, bottomRight);
    FillRectRgb(s, SDL_Rect{r.x + r.w - 1, r.y, 1, r.h}, bottomRight);
}

// Greedy word wrap into lines no wider than width; a word wider than the line stands alone
// and is clipped when drawn.
std::vector<std::string> WrapText(TTF_Font* font, const std::string& text, int width)
{
    std::vector<std::string> lines;
    std::string line;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find(' ', at);
        if (end == std::string::npos)
            end = text.size();
        const std::string word = text.substr(at, end - at);
        at = end + 1;
        const std::string candidate = line.empty() ? word : line + " " + word;
        int w = 0;
        TTF_SizeUTF8(font, candidate.c_str(), &w, nullptr);
        if (w <= width || line.empty()) {
            line = candidate;
        } else {
            lines.push_back(line);
            line = word;
        }
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

void DrawStaticText(SDL_Surface* s, TTF_Font* font, const tappy::dialog::Control& c,
                    const SDL_Rect& r)
{
    if (!font || !c.text)
        return;
    const bool centred = (c.style & tappy::dialog::kStaticKindMask) == tappy::dialog::kStaticCenter;
    SDL_SetClipRect(s, &r);
    int y = r.y;
    for (const std::string& line : WrapText(font, c.text, r.w)) {
        SDL_Surface* text = TTF_RenderUTF8_Blended(font, line.c_str(), SDL_Color{0, 0, 0, 255});
        if (!text)
            continue;
        SDL_Rect to{centred ? r.x + (r.w - text->w) / 2 : r.x, y, text->w, text->h};
        SDL_BlitSurface(text, nullptr, s, &to);
        y += TTF_FontLineSkip(font);
        SDL_FreeSurface(text);
    }
    SDL_SetClipRect(s, nullptr);
}

void DrawIcon(SDL_Surface* s, int resourceId, const SDL_Rect& r)
{
    SDL_Surface* icon = tappy::LoadIconSurface(resourceId);
    if (!icon)
        return;
    // An icon static shows the icon at its own size, from the control's top-left corner.
    SDL_Rect to{r.x, r.y, icon->w, icon->h};
    SDL_BlitSurface(icon, nullptr, s, &to);
    SDL_FreeSurface(icon);
}

void Render(SDL_Window* window, const tappy::dialog::Template& t)
{
    SDL_Surface* s = tappy::TheDesktop().WindowSurface(window);
    if (!s)
        return;
    TTF_Font* font = OpenDialogFont();
    const BaseUnits units = MeasureBaseUnits(font);
    FillRectRgb(s, SDL_Rect{0, 0, s->w, s->h}, kFace);
    if (t.style & tappy::dialog::kModalFrame)
        DrawEdge(s, SDL_Rect{0, 0, s->w, s->h}, false);
    for (const tappy::dialog::Control& c : t.controls) {
        const SDL_Rect r = ToPixels(c.x, c.y, c.cx, c.cy, units);
        if ((c.style & tappy::dialog::kStaticKindMask) == tappy::dialog::kStaticIcon) {
            DrawIcon(s, c.iconId, r);
            continue;
        }
        if (c.style & tappy::dialog::kStaticSunken)
            DrawEdge(s, SDL_Rect{r.x - 1, r.y - 1, r.w + 2, r.h + 2}, true);
        DrawStaticText(s, font, c, r);
    }
    if (font)
        TTF_CloseFont(font);
    tappy::TheDesktop().PresentWindowSurface(window);
}

// The pixel size of a template's client area, from the dialog font's base units.
SDL_Rect DialogRect(const tappy::dialog::Template& t)
{
    TTF_Font* font = OpenDialogFont();
    const BaseUnits units = MeasureBaseUnits(font);
    if (font)
        TTF_CloseFont(font);
    return ToPixels(0, 0, t.cx, t.cy, units);
}

} // namespace

CDialog::CDialog(UINT nIDTemplate, CWnd*) : m_nIDTemplate(nIDTemplate) {}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd)
{
    m_nIDTemplate = nIDTemplate;
    const tappy::dialog::Template* t = tappy::FindDialogTemplate(static_cast<int>(nIDTemplate));
    if (!t || m_hWnd || !tappy::EnsureVideo())
        return FALSE;
    SDL_Rect size = DialogRect(*t);
    // The template sits at (0, 0) with no centring style; the default place here is the middle
    // of the primary screen, where a parent looks once the toy has gone.
    const int screenW = GetSystemMetrics(SM_CXSCREEN);
    const int screenH = GetSystemMetrics(SM_CYSCREEN);
    const RECT rc{(screenW - size.w) / 2, (screenH - size.h) / 2, (screenW + size.w) / 2,
                  (screenH + size.h) / 2};
    const char* cls = AfxRegisterWndClass(0);
    // The template is not visible by itself: ShowWindow shows it.
    return CreateEx(0, cls, "Tappy", WS_POPUP, rc, pParentWnd, 0, nullptr);
}

void CDialog::OnPaint()
{
    const tappy::dialog::Template* t = tappy::FindDialogTemplate(static_cast<int>(m_nIDTemplate));
    if (t && tappy::IsLiveWindow(m_hWnd))
        Render(m_hWnd->window, *t);
}

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_WM_PAINT()
END_MESSAGE_MAP()
