#pragma once
// Dialog templates and program icons, as the application hands them to the platform: the
// platform never reads the program's resource files itself, so a template or an icon is known
// only once it has been registered (before the window or dialog that uses it is made).
//
// Units: positions and sizes are dialog units, relative to the top-left corner of the dialog's
// client area. A horizontal unit is a quarter of the dialog font's average character width, a
// vertical unit an eighth of its height, so the box keeps its proportions whatever font stands
// in for "MS Sans Serif".
#include <array>
#include <cstddef>
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

// The data stays the caller's and must outlive every window that shows it (static data does).
// Registering a number again replaces what it stood for.
void RegisterDialogTemplate(const tappy::dialog::Template* dialogTemplate);
// A PNG icon; LoadIconA hands out a handle for the number once it is registered.
void RegisterIconResource(int resourceId, const unsigned char* png, std::size_t size);
