// Windows, classes, the message loop and the keyboard filter's place in it, on SDL's dummy
// video driver.
#include "platform/app.h"
#include "platform/sdl/backend.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Records the messages it is given, with the key code of key messages.
using Got = std::vector<std::pair<UINT, UINT>>;
class CRecordingWnd : public CWnd {
public:
    Got m_got;
    int m_nCreateResult = 0;

protected:
    int OnCreate(LPCREATESTRUCT cs)
    {
        m_got.emplace_back(WM_CREATE, 0);
        EXPECT_NE(m_hWnd, nullptr) << "the handle exists during WM_CREATE";
        EXPECT_STREQ(cs->lpszName, "order");
        return m_nCreateResult;
    }
    void OnShowWindow(BOOL bShow, UINT) { m_got.emplace_back(bShow ? WM_SHOWWINDOW : 0, 0); }
    void OnKeyDown(UINT nChar, UINT, UINT) { m_got.emplace_back(WM_KEYDOWN, nChar); }
    void OnKeyUp(UINT nChar, UINT, UINT) { m_got.emplace_back(WM_KEYUP, nChar); }
    void OnSysKeyDown(UINT nChar, UINT, UINT) { m_got.emplace_back(WM_SYSKEYDOWN, nChar); }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CRecordingWnd, CWnd)
ON_WM_CREATE()
ON_WM_SHOWWINDOW()
ON_WM_KEYDOWN()
ON_KEY_MESSAGE(WM_KEYUP, OnKeyUp)
ON_KEY_MESSAGE(WM_SYSKEYDOWN, OnSysKeyDown)
END_MESSAGE_MAP()

const RECT kScreen{0, 0, 1024, 768};

// Created (notified in order before CreateEx returns), refused, closed, and then stale.
TEST(Wnd, LifeFromCreationToAStaleHandle)
{
    CRecordingWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, AfxRegisterWndClass(CS_HREDRAW | CS_VREDRAW), "order",
                             WS_POPUP | WS_VISIBLE, kScreen, nullptr, 0));
    EXPECT_EQ(wnd.m_got, (Got{{WM_CREATE, 0}, {WM_SHOWWINDOW, 0}}));
    int w = 0, h = 0;
    SDL_GetWindowSize(wnd.m_hWnd->window, &w, &h);
    EXPECT_EQ(std::pair(w, h),
              std::pair(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)));
    wnd.ShowWindow(SW_SHOW); // already visible: no second notification
    EXPECT_EQ(wnd.m_got.size(), 2u);

    CRecordingWnd refused;
    refused.m_nCreateResult = -1;
    EXPECT_FALSE(refused.CreateEx(0, AfxRegisterWndClass(0), "order", WS_POPUP | WS_VISIBLE,
                                  kScreen, nullptr, 0));
    EXPECT_EQ(refused.m_hWnd, nullptr);
    EXPECT_EQ(refused.m_got, (Got{{WM_CREATE, 0}}));

    CRecordingWnd unregistered;
    EXPECT_FALSE(unregistered.CreateEx(0, "no such class", "order", WS_POPUP, kScreen, nullptr, 0));
    EXPECT_TRUE(unregistered.m_got.empty());

    HWND stale = wnd.m_hWnd;
    SendMessageA(stale, WM_CLOSE, 0, 0); // default processing destroys it
    EXPECT_EQ(wnd.m_hWnd, nullptr);
    EXPECT_EQ(SendMessageA(stale, WM_CLOSE, 0, 0), 0);
    EXPECT_FALSE(InvalidateRect(stale, nullptr, FALSE));
    EXPECT_FALSE(UpdateWindow(stale));
    MSG msg{stale, WM_PAINT, 0, 0};
    EXPECT_EQ(DispatchMessageA(&msg), 0);
}

TEST(MessageBox, WithoutADisplayTheTextGoesToStandardError)
{
    ASSERT_TRUE(tappy::EnsureVideo());
    testing::internal::CaptureStderr();
    EXPECT_EQ(AfxMessageBox("Couldn't register class! (Already registered?)", MB_OK, 0), IDOK);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Couldn't register class!"),
              std::string::npos);
}

// A use after the shut-down would otherwise quietly make a second, empty platform.
TEST(PlatformOwnerDeathTest, UseAfterShutDownEndsTheProgram)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            {
                tappy::PlatformOwner owner;
            }
            tappy::Platform();
        },
        "after its shut-down");
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

void PushKey(Uint32 type, SDL_Keycode sym, SDL_Scancode sc, Uint16 mod)
{
    const Uint8 state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    SDL_Event e{.key = {type, 0, 0, state, 0, 0, 0, {sc, sym, mod, 0}}};
    ASSERT_EQ(SDL_PushEvent(&e), 1);
}

TEST(KeyboardFilter, RunsBeforeTheWindowAndSwallowsBothDirections)
{
    CRecordingWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, AfxRegisterWndClass(0), "order", WS_POPUP, kScreen, nullptr, 0));
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
    const Got got = {{WM_CREATE, 0},
                     {WM_SYSKEYDOWN, 'A'},
                     {WM_KEYUP, 'A'},
                     {WM_KEYDOWN, VK_LWIN},
                     {WM_SYSKEYDOWN, VK_MENU}};
    EXPECT_EQ(wnd.m_got, got);

    EXPECT_TRUE(UnhookWindowsHookEx(hook));
    EXPECT_FALSE(UnhookWindowsHookEx(hook));
}

} // namespace
