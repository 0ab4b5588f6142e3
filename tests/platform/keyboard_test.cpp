// Key translation as a table: the message, key code and flags a key event becomes.
#include "platform/app.h"
#include "platform/keymap.h"
#include "platform/sdl/backend.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace tappy;

enum How { Down, Up, Repeat };
// The key (symbol and position), how it moved, the modifiers down, and the message it becomes.
using KeyRow = std::tuple<const char*, SDL_Keycode, SDL_Scancode, How, Uint16, UINT, WPARAM, DWORD>;

// clang-format off
#define KEY(sym, scancode) SDLK_##sym, SDL_SCANCODE_##scancode
constexpr KeyRow kKeyRows[] = {
    {"letter", KEY(a, A), Down, 0, WM_KEYDOWN, 'A', 0x001E0001},
    {"Alt+letter", KEY(a, A), Down, KMOD_LALT, WM_SYSKEYDOWN, 'A', 0x201E0001},
    {"Alt alone", KEY(LALT, LALT), Down, KMOD_LALT, WM_SYSKEYDOWN, VK_MENU, 0x20380001},
    {"Alt released", KEY(LALT, LALT), Up, 0, WM_SYSKEYUP, VK_MENU, 0xE0380001},
    {"Ctrl+Alt+key", KEY(a, A), Down, KMOD_LCTRL | KMOD_LALT, WM_KEYDOWN, 'A', 0x001E0001},
    {"F10", KEY(F10, F10), Down, 0, WM_SYSKEYDOWN, VK_F10, 0x00440001},
    {"repeat", KEY(a, A), Repeat, 0, WM_KEYDOWN, 'A', 0x401E0001},
    {"key-up", KEY(a, A), Up, 0, WM_KEYUP, 'A', 0xC01E0001},
    {"extended key", KEY(RIGHT, RIGHT), Down, 0, WM_KEYDOWN, VK_RIGHT, 0x014D0001},
    {"F12", KEY(F12, F12), Down, 0, WM_KEYDOWN, VK_F12, 0x00580001},
    {"right Ctrl", KEY(RCTRL, RCTRL), Down, KMOD_RCTRL, WM_KEYDOWN, VK_CONTROL, 0x011D0001},
    {"AZERTY A by its symbol", KEY(a, Q), Down, 0, WM_KEYDOWN, 'A', 0x00100001},
    {"Cyrillic letter by position", 0x0444, SDL_SCANCODE_A, Down, 0, WM_KEYDOWN, 'A', 0x001E0001},
    {"punctuation as VK_OEM", KEY(SEMICOLON, SEMICOLON), Down, 0, WM_KEYDOWN, 0xBA, 0x00270001},
    {"keypad digit by position", KEY(KP_1, KP_1), Down, 0, WM_KEYDOWN, 0x61, 0x004F0001},
    {"unknown key", KEY(UNKNOWN, UNKNOWN), Down, 0, WM_KEYDOWN, 0xFF, 0x00000001},
};
#undef KEY
// clang-format on

TEST(KeyTranslation, Table)
{
    for (const auto& [name, sym, scancode, how, mod, message, vk, lParam] : kKeyRows) {
        const auto msg = KeyMessageFor(LookupKey(sym, scancode), how == Up, how == Repeat, mod);
        // lParam's low word is the repeat count the play window adds up.
        EXPECT_EQ(std::tuple(msg.message, msg.wParam, static_cast<DWORD>(msg.lParam)),
                  std::tuple(message, vk, lParam))
            << name;
    }
}

} // namespace
