// The message loop and the one event translation: every SDL event becomes a window message here,
// and no other file reads SDL events. The loop blocks in SDL_WaitEvent, so an idle Tappy uses no
// CPU. A key is looked up once into a KeyEvent, which the keyboard filter judges
// and from which the window's key message is made. WM_PAINT is made only when no other event
// waits, so a flood of key presses coalesces into few paints.
#include "platform/sdl/backend.h"

#include <cstdint>

namespace {

constexpr WPARAM MK_LBUTTON = 0x0001;

void Post(HWND hwnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
{
    if (hwnd)
        tappy::Platform().posted.push_back(MSG{hwnd, message, wParam, lParam});
}

HWND MainWindow()
{
    const CWinApp* app = AfxGetApp();
    if (app && app->m_pMainWnd && tappy::IsLiveWindow(app->m_pMainWnd->m_hWnd))
        return app->m_pMainWnd->m_hWnd;
    return tappy::KeyboardTarget();
}

LPARAM PackPoint(int x, int y)
{
    return MAKELPARAM(static_cast<WORD>(static_cast<std::int16_t>(x)),
                      static_cast<WORD>(static_cast<std::int16_t>(y)));
}

void TranslateWindowEvent(const SDL_WindowEvent& event)
{
    HWND hwnd = tappy::WindowFromSdlId(event.windowID);
    if (!hwnd) {
        if (event.event == SDL_WINDOWEVENT_EXPOSED)
            tappy::RepaintCover(event.windowID);
        else if (event.event == SDL_WINDOWEVENT_FOCUS_GAINED ||
                 event.event == SDL_WINDOWEVENT_FOCUS_LOST)
            if (SDL_Window* cover = tappy::CoverWindow(event.windowID))
                tappy::OnCoverFocus(cover, event.event == SDL_WINDOWEVENT_FOCUS_GAINED);
        return;
    }
    switch (event.event) {
    case SDL_WINDOWEVENT_CLOSE:
        Post(hwnd, WM_CLOSE);
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        tappy::OnWindowResized(hwnd);
        hwnd->invalid = true;
        break;
    case SDL_WINDOWEVENT_EXPOSED:
        hwnd->invalid = true;
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        tappy::OnFocusLost(hwnd);
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        tappy::OnFocusGained(hwnd);
        break;
    default:
        break;
    }
}

void TranslateKeyEvent(const SDL_KeyboardEvent& event)
{
    const tappy::KeyEvent key{tappy::LookupKey(event.keysym.sym, event.keysym.scancode),
                              event.keysym.scancode,
                              event.type == SDL_KEYUP,
                              event.repeat != 0,
                              event.keysym.mod,
                              event.timestamp};
    // The filter sees every key first, before any window, as a low-level hook does.
    if (tappy::RunKeyboardFilter(key))
        return;
    const tappy::KeyMessage msg = tappy::KeyMessageFor(key.key, key.up, key.repeat, key.mod);
    Post(tappy::KeyboardTarget(), msg.message, msg.wParam, msg.lParam);
}

void TranslateEvent(const SDL_Event& event)
{
    switch (event.type) {
    case SDL_QUIT:
        // A request to end, like any close request: the main window decides.
        Post(MainWindow(), WM_CLOSE);
        break;
    case SDL_WINDOWEVENT:
        TranslateWindowEvent(event.window);
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        TranslateKeyEvent(event.key);
        break;
    case SDL_MOUSEBUTTONDOWN:
        // A click on another monitor's cover is not one on the play window's corners.
        if (event.button.button == SDL_BUTTON_LEFT &&
            !tappy::IsCoverWindow(event.button.windowID)) {
            HWND hwnd = tappy::WindowFromSdlId(event.button.windowID);
            Post(hwnd ? hwnd : MainWindow(), WM_LBUTTONDOWN, MK_LBUTTON,
                 PackPoint(event.button.x, event.button.y));
        }
        break;
    case SDL_SYSWMEVENT:
        // The one place where the window system's own events (on X11 every raw XEvent for
        // Tappy's windows) reach the backends.
        tappy::OnSystemEvent(event.syswm.msg);
        break;
    default:
        if (event.type == tappy::GrabTickEvent())
            tappy::OnGrabTick();
        break;
    }
}

} // namespace

BOOL PeekMessageA(MSG* msg, HWND /*hwnd*/, UINT /*filterMin*/, UINT /*filterMax*/, UINT removeMsg)
{
    if (!msg)
        return FALSE;
    std::deque<MSG>& posted = tappy::Platform().posted;
    for (;;) {
        if (!posted.empty()) {
            *msg = posted.front();
            if (removeMsg & PM_REMOVE)
                posted.pop_front();
            return TRUE;
        }
        SDL_Event event;
        if (!SDL_WasInit(SDL_INIT_EVENTS) || !SDL_PollEvent(&event))
            break;
        TranslateEvent(event);
    }
    // Nothing else waits: now is the time to paint.
    if (HWND hwnd = tappy::FirstInvalidWindow()) {
        *msg = MSG{hwnd, WM_PAINT, 0, 0};
        return TRUE;
    }
    return FALSE;
}

BOOL TranslateMessage(const MSG* /*msg*/)
{
    // Tappy reads key codes only; no character messages are made.
    return FALSE;
}

LRESULT DispatchMessageA(const MSG* msg)
{
    if (!msg || !tappy::IsLiveWindow(msg->hwnd))
        return 0;
    // Validated before the handler runs, so a handler that does not paint cannot make the
    // loop spin on the same WM_PAINT.
    if (msg->message == WM_PAINT)
        msg->hwnd->invalid = false;
    return msg->hwnd->owner->WindowProc(msg->message, msg->wParam, msg->lParam);
}

int CWinApp::Run()
{
    for (;;) {
        if (!m_pMainWnd || !tappy::IsLiveWindow(m_pMainWnd->m_hWnd))
            break;
        MSG msg;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            continue;
        }
        // Blocks without taking the event; the next PeekMessageA translates it.
        if (!SDL_WaitEvent(nullptr))
            SDL_Delay(50); // an SDL error must not turn into a busy loop
    }
    return 0;
}
