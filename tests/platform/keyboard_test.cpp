// Key translation as a table, and the filter's place in the message loop on SDL's dummy driver.
#include "platform/app.h"
#include "platform/keymap.h"
#include "platform/sdl/backend.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using tappy::KeyMessageFor;
using tappy::LookupKey;

enum How { Down, Up, Repeat };
struct KeyRow {
    const char* name;
    SDL_Keycode sym;
    SDL_Scancode scancode;
    How how;
    Uint16 mod;
    UINT message;
    WPARAM vk;
    DWORD lParam;
};

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
    for (const KeyRow& row : kKeyRows) {
        SCOPED_TRACE(row.name);
        const auto msg = KeyMessageFor(LookupKey(row.sym, row.scancode), row.how == Up,
                                       row.how == Repeat, row.mod);
        // lParam's low word is the repeat count the play window adds up.
        EXPECT_EQ(std::tuple(msg.message, msg.wParam, static_cast<DWORD>(msg.lParam)),
                  std::tuple(row.message, row.vk, row.lParam));
    }
}

// The filter as installed: records what it sees and swallows F12, and Esc while Ctrl is down.
using Seen = std::tuple<WPARAM, DWORD, DWORD, bool>; // message, key code, flags, Ctrl down
std::vector<Seen> g_seen;
LRESULT RecordingFilter(int nCode, WPARAM wParam, LPARAM lParam)
{
    const auto& e = *reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    const bool ctrl = GetAsyncKeyState(VK_CONTROL) < 0;
    g_seen.emplace_back(wParam, e.vkCode, e.flags, ctrl);
    if (nCode == HC_ACTION && (e.vkCode == VK_F12 || (e.vkCode == VK_ESCAPE && ctrl)))
        return 1;
    return CallNextHookEx(nullptr, nCode, wParam, lParam);
}

class CKeyWnd : public CWnd {
public:
    std::vector<std::pair<UINT, UINT>> m_keys; // message, key code

protected:
    void OnKeyDown(UINT nChar, UINT, UINT) { m_keys.emplace_back(WM_KEYDOWN, nChar); }
    void OnKeyUp(UINT nChar, UINT, UINT) { m_keys.emplace_back(WM_KEYUP, nChar); }
    void OnSysKeyDown(UINT nChar, UINT, UINT) { m_keys.emplace_back(WM_SYSKEYDOWN, nChar); }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CKeyWnd, CWnd)
ON_WM_KEYDOWN()
ON_KEY_MESSAGE(WM_KEYUP, OnKeyUp)
ON_KEY_MESSAGE(WM_SYSKEYDOWN, OnSysKeyDown)
END_MESSAGE_MAP()

void PushKey(Uint32 type, SDL_Keycode sym, SDL_Scancode sc, Uint16 mod)
{
    const Uint8 state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    SDL_Event e{.key = {type, 0, 0, state, 0, 0, 0, {sc, sym, mod, 0}}};
    ASSERT_EQ(SDL_PushEvent(&e), 1);
}

TEST(KeyboardFilter, RunsBeforeTheWindowAndSwallowsBothDirections)
{
    CKeyWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, AfxRegisterWndClass(0), "keys", WS_POPUP | WS_VISIBLE,
                             RECT{0, 0, 64, 64}, nullptr, 0));
    HHOOK hook = SetWindowsHookExA(WH_KEYBOARD_LL, RecordingFilter, nullptr, 0);
    ASSERT_NE(hook, nullptr);
    EXPECT_EQ(SetWindowsHookExA(WH_KEYBOARD_LL, RecordingFilter, nullptr, 0), nullptr);

    PushKey(SDL_KEYDOWN, SDLK_F12, SDL_SCANCODE_F12, 0);
    PushKey(SDL_KEYUP, SDLK_F12, SDL_SCANCODE_F12, 0);
    // Ctrl is down at Esc's press but released before Esc is: the release is swallowed too.
    PushKey(SDL_KEYDOWN, SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, KMOD_LCTRL);
    PushKey(SDL_KEYUP, SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, 0);
    PushKey(SDL_KEYDOWN, SDLK_a, SDL_SCANCODE_A, KMOD_LALT);
    PushKey(SDL_KEYUP, SDLK_a, SDL_SCANCODE_A, 0);
    // The filter tells the sides apart; the window is given the plain codes.
    PushKey(SDL_KEYDOWN, SDLK_LGUI, SDL_SCANCODE_LGUI, KMOD_LGUI);
    PushKey(SDL_KEYDOWN, SDLK_RALT, SDL_SCANCODE_RALT, KMOD_RALT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);

    // The Ctrl state the filter sees is the one at each event, Esc's press and its release.
    const std::vector<Seen> seen = {
        {WM_KEYDOWN, VK_F12, 0, false},
        {WM_KEYUP, VK_F12, LLKHF_UP, false},
        {WM_KEYDOWN, VK_ESCAPE, 0, true},
        {WM_KEYUP, VK_ESCAPE, LLKHF_UP, false},
        {WM_SYSKEYDOWN, 'A', LLKHF_ALTDOWN, false},
        {WM_KEYUP, 'A', LLKHF_UP, false},
        {WM_KEYDOWN, VK_LWIN, LLKHF_EXTENDED, false},
        {WM_SYSKEYDOWN, VK_RMENU, LLKHF_EXTENDED | LLKHF_ALTDOWN, false}};
    EXPECT_EQ(g_seen, seen);
    const std::vector<std::pair<UINT, UINT>> expected = {
        {WM_SYSKEYDOWN, 'A'}, {WM_KEYUP, 'A'}, {WM_KEYDOWN, VK_LWIN}, {WM_SYSKEYDOWN, VK_MENU}};
    EXPECT_EQ(wnd.m_keys, expected);

    EXPECT_TRUE(UnhookWindowsHookEx(hook));
    EXPECT_FALSE(UnhookWindowsHookEx(hook));
}

} // namespace
