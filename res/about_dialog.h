#pragma once
// The About box's dialog template (100) as data, for the dialog layer that renders it.
//
// Units: positions and sizes are dialog units, relative to the top-left corner of the dialog's
// client area. A horizontal unit is a quarter of the dialog font's average character width, a
// vertical unit an eighth of its height, so the box keeps its proportions whatever font stands
// in for "MS Sans Serif".
#include "res/resource.h"
#include "version.h"

#include <array>
#include <cstdint>

namespace tappy::dialog {

// Style bits, with the values the template format gives them, so a template written for the
// original dialog layer reads the same here.
inline constexpr std::uint32_t kPopup = 0x80000000u;
inline constexpr std::uint32_t kChild = 0x40000000u;
inline constexpr std::uint32_t kVisible = 0x10000000u;
inline constexpr std::uint32_t kGroup = 0x00020000u;
inline constexpr std::uint32_t kModalFrame = 0x00000080u;
// A static control's kind sits in the low five bits; the rest are flags.
inline constexpr std::uint32_t kStaticKindMask = 0x0000001Fu;
inline constexpr std::uint32_t kStaticLeft = 0x00000000u;
inline constexpr std::uint32_t kStaticCenter = 0x00000001u;
inline constexpr std::uint32_t kStaticIcon = 0x00000003u;
inline constexpr std::uint32_t kStaticNoPrefix = 0x00000080u;
inline constexpr std::uint32_t kStaticSunken = 0x00001000u;

// A static control: an icon (iconId set, text null) or a text (text set, iconId 0). None of
// the About box's controls has an identifier of its own.
struct Control {
    int x;
    int y;
    int cx;
    int cy;
    std::uint32_t style;
    int iconId;
    const char* text;
};

struct Template {
    int id;
    int x;
    int y;
    int cx;
    int cy;
    std::uint32_t style;
    const char* fontName;
    int pointSize;
    std::array<Control, 4> controls;
};

} // namespace tappy::dialog

inline constexpr char kAboutDedication[] = "For every little one who loves to press keys";

// Sits at (0, 0) with no centring style: where it appears is the dialog layer's default place.
inline constexpr tappy::dialog::Template kAboutBoxTemplate{
    IDD_ABOUTBOX,
    0,
    0,
    251,
    58,
    tappy::dialog::kPopup | tappy::dialog::kModalFrame,
    "MS Sans Serif",
    8,
    {{
        {5, 13, 20, 20,
         tappy::dialog::kChild | tappy::dialog::kVisible | tappy::dialog::kStaticIcon,
         IDR_MAINFRAME, nullptr},
        {34, 9, 84, 8,
         tappy::dialog::kChild | tappy::dialog::kVisible | tappy::dialog::kGroup |
             tappy::dialog::kStaticLeft | tappy::dialog::kStaticNoPrefix,
         0, tappy::version::kAboutProductLine},
        {34, 21, 81, 30,
         tappy::dialog::kChild | tappy::dialog::kVisible | tappy::dialog::kGroup |
             tappy::dialog::kStaticLeft,
         0, tappy::version::kAboutNotice},
        {121, 13, 123, 32,
         tappy::dialog::kChild | tappy::dialog::kVisible | tappy::dialog::kGroup |
             tappy::dialog::kStaticCenter | tappy::dialog::kStaticSunken,
         0, kAboutDedication},
    }},
};

// The dialog layer finds templates by number; null for a number that has none.
constexpr const tappy::dialog::Template* FindDialogTemplate(int id)
{
    return id == kAboutBoxTemplate.id ? &kAboutBoxTemplate : nullptr;
}

// A control that reached past the box would be clipped off by the renderer without a word.
static_assert([] {
    for (const auto& c : kAboutBoxTemplate.controls) {
        if (c.x < 0 || c.y < 0 || c.x + c.cx > kAboutBoxTemplate.cx ||
            c.y + c.cy > kAboutBoxTemplate.cy) {
            return false;
        }
    }
    return true;
}());
