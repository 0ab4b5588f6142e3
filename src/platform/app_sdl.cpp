// The application object, the message loop and the platform's start-up and shut-down.
//
// The loop blocks in SDL_WaitEvent, so an idle Tappy uses no CPU. Every SDL event becomes a
// window message in one place, TranslateEvent; WM_PAINT is made only when no other event
// waits, so a flood of key presses coalesces into few paints.
#include "platform/app.h"

#include "platform/keymap.h"
#include "platform/sound.h"
#include "platform/wnd_internal.h"

#include <SDL_ttf.h>

#include <cstdint>
#include <cstdio>
#include <deque>

namespace {

constexpr WPARAM MK_LBUTTON = 0x0001;

CWinApp* g_pApp = nullptr;
// Messages made from SDL events and not yet taken by PeekMessageA.
std::deque<MSG> g_posted;

void Post(HWND hwnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
{
    if (hwnd)
        g_posted.push_back(MSG{hwnd, message, wParam, lParam});
}

HWND MainWindow()
{
    if (g_pApp && g_pApp->m_pMainWnd && tappy::IsLiveWindow(g_pApp->m_pMainWnd->m_hWnd))
        return g_pApp->m_pMainWnd->m_hWnd;
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
        return;
    }
    switch (event.event) {
    case SDL_WINDOWEVENT_CLOSE:
        Post(hwnd, WM_CLOSE);
        break;
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_SIZE_CHANGED:
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
    // The filter sees every key first, before any window, as a low-level hook does.
    if (tappy::RunKeyboardFilter(event))
        return;
    const tappy::KeyInfo key = tappy::LookupKey(event.keysym.sym, event.keysym.scancode);
    const tappy::KeyMessage msg =
        tappy::KeyMessageFor(key, event.type == SDL_KEYUP, event.repeat != 0, event.keysym.mod);
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
    for (;;) {
        if (!g_posted.empty()) {
            *msg = g_posted.front();
            if (removeMsg & PM_REMOVE)
                g_posted.pop_front();
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

CWinApp::CWinApp(const char* /*lpszAppName*/)
{
    g_pApp = this;
}

CWinApp::~CWinApp()
{
    if (g_pApp == this)
        g_pApp = nullptr;
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
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

int CWinApp::ExitInstance()
{
    return 0;
}

CWinApp* AfxGetApp()
{
    return g_pApp;
}

int AfxWinMain(int /*argc*/, char** /*argv*/)
{
    CWinApp* app = AfxGetApp();
    if (!app) {
        std::fprintf(stderr, "Tappy: no application object.\n");
        return 1;
    }
    // With no display SDL quietly falls back to its offscreen driver, which would leave an
    // invisible program running; only an explicit request (as in the tests) may have that.
    const char* requested = SDL_getenv("SDL_VIDEODRIVER");
    const bool started = tappy::EnsureVideo();
    if (!started || (!tappy::VideoHasDisplay() && !(requested && *requested))) {
        std::fprintf(stderr,
                     "Tappy: cannot open the display (%s).\n"
                     "Tappy runs full-screen on a graphical desktop (X11 or Wayland).\n",
                     started ? "no screen found" : SDL_GetError());
        SDL_Quit();
        return 1;
    }
    // Without fonts the words are not drawn; without sound the play is silent. Neither stops
    // the program.
    TTF_Init();
    SoundStartup();

    if (app->InitInstance())
        app->Run();
    const int code = app->ExitInstance();

    // Windows first: a CWnd destroyed after SDL_Quit would touch a freed window. The TTF
    // library stays open, since fonts held by static objects are closed after this returns.
    tappy::DestroyAllWindows();
    tappy::EndSession();
    SoundShutdown();
    SDL_Quit();
    return code;
}
