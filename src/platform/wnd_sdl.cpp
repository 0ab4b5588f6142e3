// Windows on SDL2: one borderless SDL window per CWnd, covering the primary monitor, and plain
// covers over any other monitor while it is shown. The window registry here is what lets stale
// handles be ignored after a window is destroyed.
#include "platform/gdi_internal.h"
#include "platform/res_icons.h"
#include "platform/wnd_internal.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <list>
#include <new>
#include <string>
#include <vector>

struct ModuleImpl {
    int unused;
};
struct IconImpl {
    int resourceId;
};
struct CursorImpl {
    int cursorId;
};

namespace {

std::vector<HWND> g_windows; // oldest first
HWND g_focus = nullptr;

struct WndClass {
    UINT style;
    HCURSOR cursor;
    HBRUSH brush;
    HICON icon;
    std::string name;
};
// A list, so the names handed out stay where they are while more classes are added.
std::list<WndClass>& Classes()
{
    static std::list<WndClass> classes;
    return classes;
}

const WndClass* FindClass(const char* name)
{
    if (!name || !*name)
        return nullptr;
    for (const WndClass& c : Classes())
        if (c.name == name)
            return &c;
    return nullptr;
}

void SetHints()
{
    // A terminating signal must still end the program: an adult's kill has to work, since
    // close requests are what the window ignores.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // Otherwise SDL minimises a grabbed full-screen window on Alt+Tab or on any focus loss.
    SDL_SetHint(SDL_HINT_ALLOW_ALT_TAB_WHILE_GRABBED, "0");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    SDL_SetHint(SDL_HINT_GRAB_KEYBOARD, "1");
    // Tappy paints from its own CPU back buffer; a GL-backed window surface would only load a
    // software renderer (about 70 MB resident under Xvfb) to copy the same pixels.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    // One close request would otherwise arrive twice (as a window close and as a quit).
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
}

SDL_Window* SdlWindow(HWND hwnd)
{
    return tappy::IsLiveWindow(hwnd) ? hwnd->window : nullptr;
}

// SDL's full-screen state fills the SDL display the window is on, which under an X screen split
// into monitors is the whole screen; then the window keeps its own place on the play monitor.
void CoverPlayArea(SDL_Window* window)
{
    const tappy::MonitorRect area = tappy::PlayArea();
    SDL_Rect bounds{};
    const int display = SDL_GetWindowDisplayIndex(window);
    if (display >= 0 && SDL_GetDisplayBounds(display, &bounds) == 0 && bounds.x == area.x &&
        bounds.y == area.y && bounds.w == area.w && bounds.h == area.h) {
        SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
        return;
    }
    SDL_SetWindowPosition(window, area.x, area.y);
    SDL_SetWindowSize(window, area.w, area.h);
}

void DestroyCovers(HWND hwnd)
{
    for (SDL_Window* cover : hwnd->covers)
        SDL_DestroyWindow(cover);
    hwnd->covers.clear();
}

// Every other monitor gets a plain window in the covering window's background colour, so a
// child sees no other program there.
void MakeCovers(HWND hwnd)
{
    DestroyCovers(hwnd);
    const std::vector<tappy::MonitorRect> monitors = tappy::Monitors();
    for (const tappy::MonitorRect& r : tappy::CoverRects(monitors, tappy::PlayMonitor(monitors))) {
        SDL_Window* cover =
            SDL_CreateWindow("", r.x, r.y, r.w, r.h,
                             SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS | SDL_WINDOW_SKIP_TASKBAR);
        if (!cover)
            continue;
        tappy::PrepareLockWindow(cover); // X11 lock hook
        tappy::RefuseFocus(cover);
        SDL_ShowWindow(cover);
        hwnd->covers.push_back(cover);
        tappy::PaintCover(cover, hwnd->background);
    }
}

} // namespace

namespace tappy {

bool EnsureVideo()
{
    if (SDL_WasInit(SDL_INIT_VIDEO))
        return true;
    SetHints();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return false;
    // The keyboard lock watches X11 events as they happen (see keyboard_sdl.cpp).
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
    tappy::OnVideoStarted(); // X11 lock hook: the X error handler
    return true;
}

bool VideoHasDisplay()
{
    if (!SDL_WasInit(SDL_INIT_VIDEO))
        return false;
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && std::strcmp(driver, "dummy") != 0 && std::strcmp(driver, "offscreen") != 0 &&
           std::strncmp(driver, "evdev", 5) != 0;
}

bool IsLiveWindow(HWND hwnd)
{
    return hwnd && std::find(g_windows.begin(), g_windows.end(), hwnd) != g_windows.end();
}

HWND WindowFromSdlId(Uint32 windowId)
{
    for (HWND hwnd : g_windows)
        if (SDL_GetWindowID(hwnd->window) == windowId)
            return hwnd;
    return nullptr;
}

HWND KeyboardTarget()
{
    if (IsLiveWindow(g_focus))
        return g_focus;
    return g_windows.empty() ? nullptr : g_windows.front();
}

HWND FirstInvalidWindow()
{
    for (HWND hwnd : g_windows)
        if (hwnd->invalid)
            return hwnd;
    return nullptr;
}

bool IsCoverWindow(Uint32 windowId)
{
    for (HWND hwnd : g_windows)
        for (SDL_Window* cover : hwnd->covers)
            if (SDL_GetWindowID(cover) == windowId)
                return true;
    return false;
}

void RepaintCover(Uint32 windowId)
{
    for (HWND hwnd : g_windows)
        for (SDL_Window* cover : hwnd->covers)
            if (SDL_GetWindowID(cover) == windowId)
                PaintCover(cover, hwnd->background);
}

void DestroyAllWindows()
{
    while (!g_windows.empty())
        g_windows.back()->owner->DestroyWindow();
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
    const WndClass* wndClass = FindClass(lpszClassName);
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
    // Window coordinates count from the play monitor's origin, as they count from the primary
    // screen's on Windows.
    const tappy::MonitorRect area = tappy::PlayArea();
    SDL_Window* window = SDL_CreateWindow(lpszWindowName ? lpszWindowName : "", area.x + rect.left,
                                          area.y + rect.top, width, height, flags);
    if (!window)
        return FALSE;
    if (wndClass->icon) {
        if (SDL_Surface* icon = tappy::LoadIconSurface(wndClass->icon->resourceId)) {
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
    // A popup smaller than the screen (the About box) keeps its own size when shown.
    impl->coversScreen = (dwStyle & WS_POPUP) && rect.left <= 0 && rect.top <= 0 &&
                         width >= GetSystemMetrics(SM_CXSCREEN) &&
                         height >= GetSystemMetrics(SM_CYSCREEN);
    g_windows.push_back(impl);
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
        tappy::OnWindowHidden(m_hWnd); // X11 lock hook
        DestroyCovers(m_hWnd);
        SDL_HideWindow(window);
        m_hWnd->shown = false;
        if (wasVisible)
            SendMessage(WM_SHOWWINDOW, FALSE, 0);
        return wasVisible;
    }
    if (!wasVisible) {
        // X11 lock hook: a covering window is the server's, already where it was created.
        const bool placed = m_hWnd->coversScreen && tappy::PrepareLockWindow(window);
        SDL_ShowWindow(window);
        if (m_hWnd->coversScreen) {
            if (!placed)
                CoverPlayArea(window);
            // Before the grab is taken, which confines the pointer only while covers exist.
            MakeCovers(m_hWnd);
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
    HWND previous = g_focus;
    g_focus = m_hWnd;
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
    g_windows.erase(std::remove(g_windows.begin(), g_windows.end(), hwnd), g_windows.end());
    if (g_focus == hwnd)
        g_focus = nullptr;
    DestroyCovers(hwnd);
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
    // The primary monitor, not the whole X screen: the play window covers that one.
    const tappy::MonitorRect area = tappy::PlayArea();
    switch (index) {
    case SM_CXSCREEN:
        return area.w;
    case SM_CYSCREEN:
        return area.h;
    default:
        return 0;
    }
}

const char* AfxRegisterWndClass(UINT nClassStyle, HCURSOR hCursor, HBRUSH hbrBackground,
                                HICON hIcon)
{
    auto& classes = Classes();
    for (const WndClass& c : classes)
        if (c.style == nClassStyle && c.cursor == hCursor && c.brush == hbrBackground &&
            c.icon == hIcon)
            return c.name.c_str();
    try {
        char name[64];
        std::snprintf(name, sizeof(name), "Tappy:%zu:%x", classes.size() + 1, nClassStyle);
        classes.push_back(WndClass{nClassStyle, hCursor, hbrBackground, hIcon, name});
        return classes.back().name.c_str();
    } catch (const std::bad_alloc&) {
        throw new CResourceException();
    }
}

AFX_MODULE_STATE* AfxGetModuleState()
{
    static ModuleImpl module{0};
    static AFX_MODULE_STATE state{&module};
    return &state;
}

HICON LoadIconA(HINSTANCE /*hInstance*/, int resourceId)
{
    static IconImpl program{129};
    static IconImpl small{131};
    switch (resourceId) {
    case 129:
        return &program;
    case 131:
        return &small;
    default:
        return nullptr;
    }
}

HCURSOR LoadCursorA(HINSTANCE /*hInstance*/, int cursorId)
{
    // SDL's default cursor is the arrow, so the handle only has to be recognisable.
    static CursorImpl arrow{IDC_ARROW};
    return cursorId == IDC_ARROW ? &arrow : nullptr;
}

int AfxMessageBox(const char* text, UINT nType, UINT /*nIDHelp*/)
{
    if (!text)
        text = "";
    // A modal box on the dummy driver would wait for a click nobody can give.
    if (tappy::VideoHasDisplay()) {
        SDL_MessageBoxButtonData buttons[2];
        int count = 0;
        buttons[count++] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDOK, "OK"};
        if ((nType & 0x0F) == MB_OKCANCEL)
            buttons[count++] = {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDCANCEL, "Cancel"};
        SDL_MessageBoxData data{};
        data.flags = (nType & 0xF0) == MB_ICONEXCLAMATION ? SDL_MESSAGEBOX_WARNING
                                                          : SDL_MESSAGEBOX_INFORMATION;
        HWND parent = tappy::KeyboardTarget();
        data.window = parent ? parent->window : nullptr;
        data.title = "Tappy";
        data.message = text;
        data.numbuttons = count;
        data.buttons = buttons;
        int answer = IDOK;
        if (SDL_ShowMessageBox(&data, &answer) == 0)
            return answer < 0 ? IDCANCEL : answer;
    }
    std::fprintf(stderr, "Tappy: %s\n", text);
    return IDOK;
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
    dc->surface = SDL_GetWindowSurface(window);
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

CPaintDC::CPaintDC(CWnd* wnd) : m_pWnd(wnd)
{
    // Validated at the start, as BeginPaint does: an invalidation made while drawing asks
    // for another paint.
    if (wnd && tappy::IsLiveWindow(wnd->m_hWnd))
        wnd->m_hWnd->invalid = false;
    Attach(WindowDC(wnd));
}

CPaintDC::~CPaintDC() = default;
