// Windows on SDL2: one borderless SDL window per CWnd, the covering one on the play monitor.
// The window registry (in the platform's state) is what lets stale handles be ignored after a
// window is destroyed.
#include "platform/sdl/backend.h"
#include "platform/sdl/gdi_internal.h"
#include "platform/sdl/resource_registry.h"
#include "platform/sdl/wnd_classes.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <vector>

namespace {

SDL_Window* SdlWindow(HWND hwnd)
{
    return tappy::IsLiveWindow(hwnd) ? hwnd->window : nullptr;
}

} // namespace

namespace tappy {

bool IsLiveWindow(HWND hwnd)
{
    const std::vector<HWND>& windows = Platform().windows;
    return hwnd && std::find(windows.begin(), windows.end(), hwnd) != windows.end();
}

HWND WindowFromSdlId(Uint32 windowId)
{
    for (HWND hwnd : Platform().windows)
        if (SDL_GetWindowID(hwnd->window) == windowId)
            return hwnd;
    return nullptr;
}

POINT WindowPixel(SDL_Window* window, int x, int y)
{
    int w = 0, h = 0, pw = 0, ph = 0;
    SDL_GetWindowSize(window, &w, &h);
    SDL_GetWindowSizeInPixels(window, &pw, &ph);
    if (w <= 0 || h <= 0)
        return POINT{x, y};
    return POINT{static_cast<LONG>(static_cast<long long>(x) * pw / w),
                 static_cast<LONG>(static_cast<long long>(y) * ph / h)};
}

HWND KeyboardTarget()
{
    const PlatformState& state = Platform();
    if (IsLiveWindow(state.focus))
        return state.focus;
    return state.windows.empty() ? nullptr : state.windows.front();
}

HWND FirstInvalidWindow()
{
    for (HWND hwnd : Platform().windows)
        if (hwnd->invalid)
            return hwnd;
    return nullptr;
}

void DestroyAllWindows()
{
    std::vector<HWND>& windows = Platform().windows;
    while (!windows.empty())
        windows.back()->owner->DestroyWindow();
}

} // namespace tappy

CWnd::CWnd() = default;

CWnd::~CWnd()
{
    // Safe at static destruction too: the platform's shut-down destroys every window before
    // SDL goes, so a live handle here means SDL is still up.
    DestroyWindow();
}

BOOL CWnd::CreateEx(DWORD /*dwExStyle*/, const char* lpszClassName, const char* lpszWindowName,
                    DWORD dwStyle, const RECT& rect, CWnd* /*pParentWnd*/, UINT /*nID*/,
                    void* /*lpParam*/)
{
    const tappy::WndClass* wndClass = tappy::FindClass(lpszClassName);
    if (m_hWnd || !wndClass || !tappy::EnsureVideo())
        return FALSE;
    const int width = std::max<int>(1, rect.right - rect.left);
    const int height = std::max<int>(1, rect.bottom - rect.top);
    // Created hidden so that WM_CREATE runs before the first frame, as on Windows; shown right
    // after it when WS_VISIBLE asks. The size is given explicitly: with no window manager the
    // full-screen flag alone leaves a window at its created size.
    Uint32 flags = SDL_WINDOW_HIDDEN;
    if (dwStyle & WS_POPUP)
        flags |= SDL_WINDOW_BORDERLESS;
    // A popup smaller than the screen (the About box) keeps its own size when shown.
    const bool coversScreen = (dwStyle & WS_POPUP) && rect.left <= 0 && rect.top <= 0 &&
                              width >= GetSystemMetrics(SM_CXSCREEN) &&
                              height >= GetSystemMetrics(SM_CYSCREEN);
    // Window coordinates count from the play monitor's origin, as they count from the primary
    // screen's on Windows.
    const tappy::MonitorRect area = tappy::PlayArea();
    // The screen-covering window is drawn in the monitor's device pixels, as GetSystemMetrics
    // counts them; SDL places and sizes it in the desktop's units. Smaller windows know nothing
    // of scaling and are scaled up by the compositor.
    if (coversScreen)
        flags |= SDL_WINDOW_ALLOW_HIGHDPI;
    SDL_Window* window = SDL_CreateWindow(lpszWindowName ? lpszWindowName : "", area.x + rect.left,
                                          area.y + rect.top, coversScreen ? area.w : width,
                                          coversScreen ? area.h : height, flags);
    if (!window)
        return FALSE;
    if (wndClass->icon) {
        if (SDL_Surface* icon = tappy::LoadIconSurface(wndClass->icon)) {
            SDL_SetWindowIcon(window, icon);
            SDL_FreeSurface(icon);
        }
    }
    auto* impl = new (std::nothrow) WndImpl();
    if (!impl) {
        SDL_DestroyWindow(window);
        return FALSE;
    }
    impl->window = window;
    impl->owner = this;
    if (wndClass->brush)
        impl->background = wndClass->brush->color;
    impl->coversScreen = coversScreen;
    // A screen-covering window that cannot be drawn would leave the toy running unseen (SDL
    // has no surface for it on some Wayland setups); it is not made, and the program says so.
    if (impl->coversScreen && !tappy::TheDesktop().WindowSurface(window)) {
        std::fprintf(stderr, "Tappy: cannot draw its window: %s\n", SDL_GetError());
        SDL_DestroyWindow(window);
        delete impl;
        return FALSE;
    }
    tappy::Platform().windows.push_back(impl);
    m_hWnd = impl;

    CREATESTRUCT cs{lpszWindowName, lpszClassName, dwStyle, rect.left, rect.top, width, height};
    if (SendMessage(WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow();
        return FALSE;
    }
    if ((dwStyle & WS_VISIBLE) && m_hWnd)
        ShowWindow(SW_SHOW);
    return m_hWnd != nullptr;
}

BOOL CWnd::ShowWindow(int nCmdShow)
{
    SDL_Window* window = SdlWindow(m_hWnd);
    if (!window)
        return FALSE;
    const bool wasVisible = (SDL_GetWindowFlags(window) & SDL_WINDOW_SHOWN) != 0;
    if (nCmdShow == SW_HIDE) {
        tappy::OnWindowHidden(m_hWnd);
        tappy::DestroyCovers(m_hWnd);
        SDL_HideWindow(window);
        m_hWnd->shown = false;
        if (wasVisible)
            SendMessage(WM_SHOWWINDOW, FALSE, 0);
        return wasVisible;
    }
    if (!wasVisible) {
        // A covering window the lock makes the server's is already where it was created.
        const bool placed = m_hWnd->coversScreen && tappy::TheDesktop().PrepareLockWindow(window);
        SDL_ShowWindow(window);
        if (m_hWnd->coversScreen) {
            if (!placed)
                tappy::CoverPlayArea(window);
            // Before the grab is taken, which confines the pointer only while covers exist.
            tappy::MakeCovers(m_hWnd);
        }
        m_hWnd->invalid = true;
        m_hWnd->shown = true;
        tappy::OnWindowShown(m_hWnd);
        SendMessage(WM_SHOWWINDOW, TRUE, 0);
    }
    return wasVisible;
}

CWnd* CWnd::SetFocus()
{
    SDL_Window* window = SdlWindow(m_hWnd);
    if (!window)
        return nullptr;
    HWND previous = tappy::Platform().focus;
    tappy::Platform().focus = m_hWnd;
    SDL_RaiseWindow(window);
    SDL_SetWindowInputFocus(window);
    return tappy::IsLiveWindow(previous) ? previous->owner : nullptr;
}

BOOL CWnd::DestroyWindow()
{
    if (!m_hWnd)
        return FALSE;
    HWND hwnd = m_hWnd;
    SendMessage(WM_DESTROY, 0, 0);
    tappy::OnWindowDestroyed(hwnd);
    tappy::PlatformState& state = tappy::Platform();
    state.windows.erase(std::remove(state.windows.begin(), state.windows.end(), hwnd),
                        state.windows.end());
    if (state.focus == hwnd)
        state.focus = nullptr;
    tappy::DestroyCovers(hwnd);
    SDL_DestroyWindow(hwnd->window);
    delete hwnd;
    m_hWnd = nullptr;
    return TRUE;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM, LPARAM)
{
    if (message == WM_CLOSE)
        DestroyWindow();
    return 0;
}

LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!tappy::IsLiveWindow(hwnd))
        return 0;
    return hwnd->owner->SendMessage(message, wParam, lParam);
}

BOOL InvalidateRect(HWND hwnd, const RECT* /*rc*/, BOOL /*bErase*/)
{
    if (!tappy::IsLiveWindow(hwnd))
        return FALSE;
    hwnd->invalid = true;
    return TRUE;
}

BOOL UpdateWindow(HWND hwnd)
{
    if (!tappy::IsLiveWindow(hwnd))
        return FALSE;
    if (hwnd->invalid)
        hwnd->owner->SendMessage(WM_PAINT, 0, 0);
    return TRUE;
}

int GetSystemMetrics(int index)
{
    if (!tappy::EnsureVideo())
        return 0;
    // The primary monitor, not the whole X screen: the play window covers that one. In device
    // pixels, so that the scene is drawn at the monitor's resolution on a scaled desktop.
    const SDL_Point pixels = tappy::TheDesktop().MonitorPixels(tappy::PlayArea());
    switch (index) {
    case SM_CXSCREEN:
        return pixels.x;
    case SM_CYSCREEN:
        return pixels.y;
    default:
        return 0;
    }
}

namespace {
HDC WindowDC(CWnd* wnd)
{
    SDL_Window* window = wnd ? SdlWindow(wnd->m_hWnd) : nullptr;
    if (!window)
        return nullptr;
    auto* dc = new (std::nothrow) DeviceContext();
    if (!dc)
        return nullptr;
    dc->surface = tappy::TheDesktop().WindowSurface(window);
    dc->window = window;
    dc->font = GetStockObject(SYSTEM_FONT);
    return dc;
}
} // namespace

CClientDC::CClientDC(CWnd* wnd)
{
    Attach(WindowDC(wnd));
}

CClientDC::~CClientDC() = default;

CPaintDC::CPaintDC(CWnd* wnd)
{
    // Validated at the start, as BeginPaint does: an invalidation made while drawing asks
    // for another paint.
    if (wnd && tappy::IsLiveWindow(wnd->m_hWnd))
        wnd->m_hWnd->invalid = false;
    Attach(WindowDC(wnd));
}

CPaintDC::~CPaintDC() = default;
