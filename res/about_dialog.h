#pragma once
// The About box's dialog template (100) as data; the application registers it with the dialog
// layer, which renders it.
#include "platform/resources.h"
#include "res/resource.h"
#include "version.h"

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
