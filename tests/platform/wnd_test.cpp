// Windows, classes and the message loop on SDL's dummy video driver.
#include "platform/app.h"
#include "platform/sdl/backend.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class COrderWnd : public CWnd {
public:
    std::vector<UINT> m_order;
    int m_nCreateResult = 0;

protected:
    int OnCreate(LPCREATESTRUCT cs)
    {
        m_order.push_back(WM_CREATE);
        EXPECT_NE(m_hWnd, nullptr) << "the handle exists during WM_CREATE";
        EXPECT_STREQ(cs->lpszName, "order");
        return m_nCreateResult;
    }
    void OnShowWindow(BOOL bShow, UINT) { m_order.push_back(bShow ? WM_SHOWWINDOW : 0); }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(COrderWnd, CWnd)
ON_WM_CREATE()
ON_WM_SHOWWINDOW()
END_MESSAGE_MAP()

const RECT kScreen{0, 0, 1024, 768};

TEST(Wnd, CreateDeliversCreateThenShowBeforeReturning)
{
    COrderWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, AfxRegisterWndClass(CS_HREDRAW | CS_VREDRAW), "order",
                             WS_POPUP | WS_VISIBLE, kScreen, nullptr, 0));
    EXPECT_EQ(wnd.m_order, (std::vector<UINT>{WM_CREATE, WM_SHOWWINDOW}));
    int w = 0, h = 0;
    SDL_GetWindowSize(wnd.m_hWnd->window, &w, &h);
    EXPECT_EQ(std::pair(w, h),
              std::pair(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)));
    wnd.ShowWindow(SW_SHOW); // already visible: no second notification
    EXPECT_EQ(wnd.m_order.size(), 2u);
}

TEST(Wnd, FailedCreationLeavesNoWindow)
{
    COrderWnd refused;
    refused.m_nCreateResult = -1;
    EXPECT_FALSE(refused.CreateEx(0, AfxRegisterWndClass(0), "order", WS_POPUP | WS_VISIBLE,
                                  kScreen, nullptr, 0));
    EXPECT_EQ(refused.m_hWnd, nullptr);
    EXPECT_EQ(refused.m_order, std::vector<UINT>{WM_CREATE});

    COrderWnd unregistered;
    EXPECT_FALSE(unregistered.CreateEx(0, "no such class", "order", WS_POPUP, kScreen, nullptr, 0));
    EXPECT_TRUE(unregistered.m_order.empty());
}

TEST(Wnd, StaleHandlesAreIgnored)
{
    COrderWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, AfxRegisterWndClass(0), "order", WS_POPUP, kScreen, nullptr, 0));
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

} // namespace
