// The message loop and the one event translation: every SDL event becomes a window message here,
// and no other file reads SDL events. The one other look at them is the watch below, which must
// see each window-system event as SDL reads it, before SDL handles it; it hands the event to the
// desktop and reads nothing from the queue. The loop blocks in SDL_WaitEvent, so an idle Tappy
// uses no CPU. A key is looked up once into a KeyEvent, which the keyboard filter judges here
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

// On X11 a key the lock redirects must be moved in Xlib's queue before SDL reads it (see
// x11::Lock::RedirectKey).
int WatchSystemEvent(void* /*userdata*/, SDL_Event* event)
{
    if (event->type == SDL_SYSWMEVENT && event->syswm.msg)
        tappy::TheDesktop().OnSystemEventRead(*event->syswm.msg);
    return 1;
}

// Runs the installed low-level filter on a key event; true when it swallows the event. A key
// whose press was swallowed has its release swallowed too, so the window never sees half a key.
bool RunKeyboardFilter(const tappy::KeyEvent& key)
{
    tappy::PlatformState& state = tappy::Platform();
    const SDL_Scancode sc = key.scancode;
    const bool inRange = sc >= 0 && sc < SDL_NUM_SCANCODES;
    bool swallowed = false;
    if (state.hook && state.hook->proc) {
        KBDLLHOOKSTRUCT record = tappy::FilterRecordFor(key.key, key.up, key.mod, key.timestamp);
        state.judging = &key;
        swallowed = state.hook->proc(HC_ACTION, tappy::FilterMessageFor(key.key, key.up, key.mod),
                                     reinterpret_cast<LPARAM>(&record)) != 0;
        state.judging = nullptr;
    }
    if (!inRange)
        return swallowed;
    if (key.up) {
        swallowed = swallowed || state.swallowed[sc];
        state.swallowed[sc] = false;
    } else if (swallowed) {
        state.swallowed[sc] = true;
    } else if (!key.repeat) {
        state.swallowed[sc] = false;
    }
    return swallowed;
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
    if (RunKeyboardFilter(key))
        return;
    const tappy::KeyMessage msg = tappy::KeyMessageFor(key.key, key.up, key.repeat, key.mod);
    Post(tappy::KeyboardTarget(), msg.message, msg.wParam, msg.lParam);
}

void TranslateEvent(const SDL_Event& event)
{
    switch (event.type) {
    case SDL_QUIT:
        // A request to end, like any close request: the main window decides; but a display that
        // has gone ends the program here, as nothing can be shown any more.
        tappy::TheDesktop().OnQuitRequest();
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
            // The window's corners are counted in its pixels, SDL's press in the desktop's units.
            const POINT at = hwnd ? tappy::WindowPixel(hwnd->window, event.button.x, event.button.y)
                                  : POINT{event.button.x, event.button.y};
            Post(hwnd ? hwnd : MainWindow(), WM_LBUTTONDOWN, MK_LBUTTON, PackPoint(at.x, at.y));
        }
        break;
    case SDL_DISPLAYEVENT:
        if (event.display.event == SDL_DISPLAYEVENT_CONNECTED ||
            event.display.event == SDL_DISPLAYEVENT_DISCONNECTED)
            tappy::TheDesktop().OnDisplaysChanged();
        break;
    case SDL_SYSWMEVENT:
        // The one place where the window system's own events (on X11 every raw XEvent for
        // Tappy's windows) reach the backends.
        if (event.syswm.msg)
            tappy::TheDesktop().OnSystemEvent(*event.syswm.msg);
        break;
    default:
        if (event.type == tappy::GrabTickEvent())
            tappy::OnGrabTick();
        break;
    }
}

} // namespace

void tappy::WatchSystemEvents()
{
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
    SDL_AddEventWatch(WatchSystemEvent, nullptr);
}

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

short GetAsyncKeyState(int vKey)
{
    const tappy::KeyEvent* judging = tappy::Platform().judging;
    const Uint16 mod = judging ? judging->mod : static_cast<Uint16>(SDL_GetModState());
    Uint16 mask = 0;
    switch (vKey) {
    case VK_CONTROL:
        mask = KMOD_CTRL;
        break;
    case VK_LCONTROL:
        mask = KMOD_LCTRL;
        break;
    case VK_RCONTROL:
        mask = KMOD_RCTRL;
        break;
    case VK_SHIFT:
        mask = KMOD_SHIFT;
        break;
    case VK_LSHIFT:
        mask = KMOD_LSHIFT;
        break;
    case VK_RSHIFT:
        mask = KMOD_RSHIFT;
        break;
    case VK_MENU:
        mask = KMOD_ALT;
        break;
    case VK_LMENU:
        mask = KMOD_LALT;
        break;
    case VK_RMENU:
        mask = KMOD_RALT;
        break;
    default:
        return 0;
    }
    return (mod & mask) ? static_cast<short>(0x8000) : static_cast<short>(0);
}
