// SDL scancodes are USB usage codes, so the table is indexed by position; the virtual-key
// codes and scan codes are those of a US keyboard on Windows.
#include "platform/keymap.h"

#include <array>

namespace tappy {
namespace {

struct Row {
    SDL_Scancode scancode;
    int vk;
    int scan;
    bool extended;
};

constexpr int kUnknownVk = 0xFF;

constexpr Row kTable[] = {
    {SDL_SCANCODE_A, 'A', 0x1E, false},
    {SDL_SCANCODE_B, 'B', 0x30, false},
    {SDL_SCANCODE_C, 'C', 0x2E, false},
    {SDL_SCANCODE_D, 'D', 0x20, false},
    {SDL_SCANCODE_E, 'E', 0x12, false},
    {SDL_SCANCODE_F, 'F', 0x21, false},
    {SDL_SCANCODE_G, 'G', 0x22, false},
    {SDL_SCANCODE_H, 'H', 0x23, false},
    {SDL_SCANCODE_I, 'I', 0x17, false},
    {SDL_SCANCODE_J, 'J', 0x24, false},
    {SDL_SCANCODE_K, 'K', 0x25, false},
    {SDL_SCANCODE_L, 'L', 0x26, false},
    {SDL_SCANCODE_M, 'M', 0x32, false},
    {SDL_SCANCODE_N, 'N', 0x31, false},
    {SDL_SCANCODE_O, 'O', 0x18, false},
    {SDL_SCANCODE_P, 'P', 0x19, false},
    {SDL_SCANCODE_Q, 'Q', 0x10, false},
    {SDL_SCANCODE_R, 'R', 0x13, false},
    {SDL_SCANCODE_S, 'S', 0x1F, false},
    {SDL_SCANCODE_T, 'T', 0x14, false},
    {SDL_SCANCODE_U, 'U', 0x16, false},
    {SDL_SCANCODE_V, 'V', 0x2F, false},
    {SDL_SCANCODE_W, 'W', 0x11, false},
    {SDL_SCANCODE_X, 'X', 0x2D, false},
    {SDL_SCANCODE_Y, 'Y', 0x15, false},
    {SDL_SCANCODE_Z, 'Z', 0x2C, false},
    {SDL_SCANCODE_1, '1', 0x02, false},
    {SDL_SCANCODE_2, '2', 0x03, false},
    {SDL_SCANCODE_3, '3', 0x04, false},
    {SDL_SCANCODE_4, '4', 0x05, false},
    {SDL_SCANCODE_5, '5', 0x06, false},
    {SDL_SCANCODE_6, '6', 0x07, false},
    {SDL_SCANCODE_7, '7', 0x08, false},
    {SDL_SCANCODE_8, '8', 0x09, false},
    {SDL_SCANCODE_9, '9', 0x0A, false},
    {SDL_SCANCODE_0, '0', 0x0B, false},
    {SDL_SCANCODE_RETURN, VK_RETURN, 0x1C, false},
    {SDL_SCANCODE_ESCAPE, VK_ESCAPE, 0x01, false},
    {SDL_SCANCODE_BACKSPACE, VK_BACK, 0x0E, false},
    {SDL_SCANCODE_TAB, VK_TAB, 0x0F, false},
    {SDL_SCANCODE_SPACE, VK_SPACE, 0x39, false},
    {SDL_SCANCODE_MINUS, 0xBD, 0x0C, false},        // VK_OEM_MINUS
    {SDL_SCANCODE_EQUALS, 0xBB, 0x0D, false},       // VK_OEM_PLUS
    {SDL_SCANCODE_LEFTBRACKET, 0xDB, 0x1A, false},  // VK_OEM_4
    {SDL_SCANCODE_RIGHTBRACKET, 0xDD, 0x1B, false}, // VK_OEM_6
    {SDL_SCANCODE_BACKSLASH, 0xDC, 0x2B, false},    // VK_OEM_5
    {SDL_SCANCODE_NONUSHASH, 0xDC, 0x2B, false},
    {SDL_SCANCODE_SEMICOLON, 0xBA, 0x27, false},      // VK_OEM_1
    {SDL_SCANCODE_APOSTROPHE, 0xDE, 0x28, false},     // VK_OEM_7
    {SDL_SCANCODE_GRAVE, 0xC0, 0x29, false},          // VK_OEM_3
    {SDL_SCANCODE_COMMA, 0xBC, 0x33, false},          // VK_OEM_COMMA
    {SDL_SCANCODE_PERIOD, 0xBE, 0x34, false},         // VK_OEM_PERIOD
    {SDL_SCANCODE_SLASH, 0xBF, 0x35, false},          // VK_OEM_2
    {SDL_SCANCODE_NONUSBACKSLASH, 0xE2, 0x56, false}, // VK_OEM_102
    {SDL_SCANCODE_CAPSLOCK, 0x14, 0x3A, false},       // VK_CAPITAL
    {SDL_SCANCODE_F1, VK_F1, 0x3B, false},
    {SDL_SCANCODE_F2, VK_F1 + 1, 0x3C, false},
    {SDL_SCANCODE_F3, VK_F1 + 2, 0x3D, false},
    {SDL_SCANCODE_F4, VK_F1 + 3, 0x3E, false},
    {SDL_SCANCODE_F5, VK_F1 + 4, 0x3F, false},
    {SDL_SCANCODE_F6, VK_F1 + 5, 0x40, false},
    {SDL_SCANCODE_F7, VK_F1 + 6, 0x41, false},
    {SDL_SCANCODE_F8, VK_F1 + 7, 0x42, false},
    {SDL_SCANCODE_F9, VK_F1 + 8, 0x43, false},
    {SDL_SCANCODE_F10, VK_F1 + 9, 0x44, false},
    {SDL_SCANCODE_F11, VK_F1 + 10, 0x57, false},
    {SDL_SCANCODE_F12, VK_F1 + 11, 0x58, false},
    {SDL_SCANCODE_F13, VK_F1 + 12, 0x64, false},
    {SDL_SCANCODE_F14, VK_F1 + 13, 0x65, false},
    {SDL_SCANCODE_F15, VK_F1 + 14, 0x66, false},
    {SDL_SCANCODE_F16, VK_F1 + 15, 0x67, false},
    {SDL_SCANCODE_F17, VK_F1 + 16, 0x68, false},
    {SDL_SCANCODE_F18, VK_F1 + 17, 0x69, false},
    {SDL_SCANCODE_F19, VK_F1 + 18, 0x6A, false},
    {SDL_SCANCODE_F20, VK_F1 + 19, 0x6B, false},
    {SDL_SCANCODE_F21, VK_F1 + 20, 0x6C, false},
    {SDL_SCANCODE_F22, VK_F1 + 21, 0x6D, false},
    {SDL_SCANCODE_F23, VK_F1 + 22, 0x6E, false},
    {SDL_SCANCODE_F24, VK_F1 + 23, 0x76, false},
    {SDL_SCANCODE_PRINTSCREEN, 0x2C, 0x37, true}, // VK_SNAPSHOT
    {SDL_SCANCODE_SCROLLLOCK, 0x91, 0x46, false}, // VK_SCROLL
    {SDL_SCANCODE_PAUSE, 0x13, 0x45, false},      // VK_PAUSE
    {SDL_SCANCODE_INSERT, 0x2D, 0x52, true},
    {SDL_SCANCODE_HOME, 0x24, 0x47, true},
    {SDL_SCANCODE_PAGEUP, 0x21, 0x49, true}, // VK_PRIOR
    {SDL_SCANCODE_DELETE, 0x2E, 0x53, true},
    {SDL_SCANCODE_END, 0x23, 0x4F, true},
    {SDL_SCANCODE_PAGEDOWN, 0x22, 0x51, true}, // VK_NEXT
    {SDL_SCANCODE_RIGHT, VK_RIGHT, 0x4D, true},
    {SDL_SCANCODE_LEFT, VK_LEFT, 0x4B, true},
    {SDL_SCANCODE_DOWN, VK_DOWN, 0x50, true},
    {SDL_SCANCODE_UP, VK_UP, 0x48, true},
    {SDL_SCANCODE_NUMLOCKCLEAR, 0x90, 0x45, true}, // VK_NUMLOCK
    {SDL_SCANCODE_KP_DIVIDE, 0x6F, 0x35, true},
    {SDL_SCANCODE_KP_MULTIPLY, 0x6A, 0x37, false},
    {SDL_SCANCODE_KP_MINUS, 0x6D, 0x4A, false},
    {SDL_SCANCODE_KP_PLUS, 0x6B, 0x4E, false},
    {SDL_SCANCODE_KP_ENTER, VK_RETURN, 0x1C, true},
    {SDL_SCANCODE_KP_1, 0x61, 0x4F, false},
    {SDL_SCANCODE_KP_2, 0x62, 0x50, false},
    {SDL_SCANCODE_KP_3, 0x63, 0x51, false},
    {SDL_SCANCODE_KP_4, 0x64, 0x4B, false},
    {SDL_SCANCODE_KP_5, 0x65, 0x4C, false},
    {SDL_SCANCODE_KP_6, 0x66, 0x4D, false},
    {SDL_SCANCODE_KP_7, 0x67, 0x47, false},
    {SDL_SCANCODE_KP_8, 0x68, 0x48, false},
    {SDL_SCANCODE_KP_9, 0x69, 0x49, false},
    {SDL_SCANCODE_KP_0, 0x60, 0x52, false},
    {SDL_SCANCODE_KP_PERIOD, 0x6E, 0x53, false},  // VK_DECIMAL
    {SDL_SCANCODE_KP_COMMA, 0x6C, 0x7E, false},   // VK_SEPARATOR
    {SDL_SCANCODE_KP_EQUALS, 0x0C, 0x59, false},  // VK_CLEAR
    {SDL_SCANCODE_APPLICATION, 0x5D, 0x5D, true}, // VK_APPS
    {SDL_SCANCODE_MENU, 0x5D, 0x5D, true},
    {SDL_SCANCODE_HELP, 0x2F, 0x00, false},    // VK_HELP
    {SDL_SCANCODE_SELECT, 0x29, 0x00, false},  // VK_SELECT
    {SDL_SCANCODE_MUTE, 0xAD, 0x20, true},     // VK_VOLUME_MUTE
    {SDL_SCANCODE_VOLUMEUP, 0xAF, 0x30, true}, // VK_VOLUME_UP
    {SDL_SCANCODE_VOLUMEDOWN, 0xAE, 0x2E, true},
    {SDL_SCANCODE_AUDIONEXT, 0xB0, 0x19, true},
    {SDL_SCANCODE_AUDIOPREV, 0xB1, 0x10, true},
    {SDL_SCANCODE_AUDIOSTOP, 0xB2, 0x24, true},
    {SDL_SCANCODE_AUDIOPLAY, 0xB3, 0x22, true},
    {SDL_SCANCODE_AUDIOMUTE, 0xAD, 0x20, true},
    {SDL_SCANCODE_LCTRL, VK_LCONTROL, 0x1D, false},
    {SDL_SCANCODE_LSHIFT, VK_LSHIFT, 0x2A, false},
    {SDL_SCANCODE_LALT, VK_LMENU, 0x38, false},
    {SDL_SCANCODE_LGUI, VK_LWIN, 0x5B, true},
    {SDL_SCANCODE_RCTRL, VK_RCONTROL, 0x1D, true},
    {SDL_SCANCODE_RSHIFT, VK_RSHIFT, 0x36, false},
    {SDL_SCANCODE_RALT, VK_RMENU, 0x38, true},
    {SDL_SCANCODE_RGUI, VK_RWIN, 0x5C, true},
};

// Built once: a direct index by scancode, so a key press costs one lookup.
const std::array<const Row*, SDL_NUM_SCANCODES>& ByScancode()
{
    static const auto index = [] {
        std::array<const Row*, SDL_NUM_SCANCODES> a{};
        for (const Row& row : kTable)
            if (!a[row.scancode])
                a[row.scancode] = &row;
        return a;
    }();
    return index;
}

bool IsAltKey(int vk)
{
    return vk == VK_LMENU || vk == VK_RMENU || vk == VK_MENU;
}

} // namespace

KeyInfo LookupKey(SDL_Keycode sym, SDL_Scancode scancode)
{
    KeyInfo info{kUnknownVk, 0, false};
    if (scancode > SDL_SCANCODE_UNKNOWN && scancode < SDL_NUM_SCANCODES) {
        if (const Row* row = ByScancode()[scancode])
            info = KeyInfo{row->vk, row->scan, row->extended};
    }
    // Letters and digits follow the layout (an AZERTY 'A' is VK 'A'); the scan code stays the
    // key's position. Keys whose symbol is not a Latin letter or digit keep their position's
    // code, as a Cyrillic layout does on Windows.
    if (sym >= 'a' && sym <= 'z')
        info.vk = 'A' + (sym - 'a');
    else if (sym >= '0' && sym <= '9')
        info.vk = static_cast<int>(sym);
    return info;
}

int GenericVirtualKey(int vk)
{
    switch (vk) {
    case VK_LSHIFT:
    case VK_RSHIFT:
        return VK_SHIFT;
    case VK_LCONTROL:
    case VK_RCONTROL:
        return VK_CONTROL;
    case VK_LMENU:
    case VK_RMENU:
        return VK_MENU;
    default:
        return vk;
    }
}

namespace {

bool AltHeld(const KeyInfo& key, bool up, Uint16 mod)
{
    // SDL drops Alt from the state on Alt's own release; Windows still calls that a system key.
    return (mod & KMOD_ALT) != 0 || (up && IsAltKey(key.vk));
}

// Windows sends system-key messages while Alt is down without Ctrl (Ctrl+Alt is AltGr on many
// layouts, which types characters), and for F10, which opens a menu bar.
bool IsSystemKey(const KeyInfo& key, bool up, Uint16 mod)
{
    return (AltHeld(key, up, mod) && (mod & KMOD_CTRL) == 0) || key.vk == VK_F10;
}

} // namespace

UINT FilterMessageFor(const KeyInfo& key, bool up, Uint16 mod)
{
    if (IsSystemKey(key, up, mod))
        return up ? WM_SYSKEYUP : WM_SYSKEYDOWN;
    return up ? WM_KEYUP : WM_KEYDOWN;
}

KeyMessage KeyMessageFor(const KeyInfo& key, bool up, bool repeat, Uint16 mod)
{
    const bool system = IsSystemKey(key, up, mod);
    DWORD bits = 1; // repeat count: each SDL event is one press
    bits |= static_cast<DWORD>(key.scan & 0xFF) << 16;
    if (key.extended)
        bits |= 1u << 24;
    if (system && AltHeld(key, up, mod))
        bits |= 1u << 29; // context code
    if (up || repeat)
        bits |= 1u << 30; // previous key state: already down
    if (up)
        bits |= 1u << 31; // transition state
    KeyMessage msg{};
    msg.message = FilterMessageFor(key, up, mod);
    msg.wParam = static_cast<WPARAM>(GenericVirtualKey(key.vk));
    msg.lParam = static_cast<LPARAM>(bits);
    return msg;
}

KBDLLHOOKSTRUCT FilterRecordFor(const KeyInfo& key, bool up, Uint16 mod, Uint32 timestamp)
{
    KBDLLHOOKSTRUCT record{};
    record.vkCode = static_cast<DWORD>(key.vk);
    record.scanCode = static_cast<DWORD>(key.scan);
    if (key.extended)
        record.flags |= LLKHF_EXTENDED;
    // As on Windows: set on Alt's own press, clear on its release.
    if ((mod & KMOD_ALT) != 0)
        record.flags |= LLKHF_ALTDOWN;
    if (up)
        record.flags |= LLKHF_UP;
    record.time = timestamp;
    return record;
}

} // namespace tappy
