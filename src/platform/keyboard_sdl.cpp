// The low-level keyboard filter and the exclusive keyboard grab behind it.
//
// SDL 2.26 alone does not keep a grab: it ignores the result of its XGrabKeyboard, and it
// ungrabs whenever its window loses focus or the pointer leaves a window it does not call
// full-screen. So on X11 SDL's grab is not used at all: the lock in platform/x11/x11_lock.h takes
// the keyboard and the pointer itself, watches the X events that could take them (reaching it
// here as SDL's system events) and re-asserts everything on a safety tick twice a second.
// On Wayland, SDL's keyboard grab asks the compositor to inhibit its shortcuts.
#include "platform/keymap.h"
#include "platform/wnd_internal.h"
#include "platform/x11/x11_lock.h"
#include "platform/x11_handles.h"

#include <SDL_syswm.h>
#include <X11/Xlib.h>

#include <bitset>
#include <cstring>
#include <memory>
#include <new>

struct HookImpl {
    HOOKPROC proc = nullptr;
    HWND target = nullptr; // the window that holds the grab
    bool settled = false;  // grab held and focus ours: no re-assertion needed
    SDL_TimerID timer = 0;
    std::unique_ptr<tappy::x11::Lock> lock; // X11 only: the grabs, the focus and the stacking
};

namespace {

constexpr Uint32 kReassertMs = 500;

HookImpl* g_hook = nullptr;
// Keys whose press the filter swallowed: their release is swallowed too, even if the modifiers
// changed in between, so the window never sees half a key.
std::bitset<SDL_NUM_SCANCODES> g_swallowed;
// While the filter runs, the modifier state of the event it judges: what was down at that key
// press, not after the keys queued behind it.
bool g_inFilter = false;
Uint16 g_filterMod = 0;

bool IsX11()
{
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && std::strcmp(driver, "x11") == 0;
}

Uint32 PushTick(Uint32 interval, void* /*param*/)
{
    SDL_Event event{};
    event.type = tappy::GrabTickEvent();
    SDL_PushEvent(&event);
    return interval;
}

void StopTimer()
{
    if (g_hook && g_hook->timer) {
        SDL_RemoveTimer(g_hook->timer);
        g_hook->timer = 0;
    }
}

void StartTimer()
{
    if (!g_hook || g_hook->timer)
        return;
    if (!SDL_WasInit(SDL_INIT_TIMER))
        SDL_InitSubSystem(SDL_INIT_TIMER);
    g_hook->timer = SDL_AddTimer(kReassertMs, PushTick, nullptr);
}

// Takes (or re-takes) the grab for the hook's window. On X11 the lock does it and the safety
// tick runs as long as the lock; elsewhere SDL's grab is all there is.
void AssertGrab()
{
    if (!g_hook || !tappy::IsLiveWindow(g_hook->target) || !g_hook->target->shown) {
        StopTimer();
        return;
    }
    SDL_Window* window = g_hook->target->window;
    Display* display = nullptr;
    Window xwindow = 0;
    if (IsX11() && tappy::X11Handles(window, &display, &xwindow)) {
        if (g_hook->lock) {
            g_hook->lock->Tick();
        } else {
            std::vector<Window> covers;
            for (SDL_Window* cover : g_hook->target->covers) {
                Display* coverDisplay = nullptr;
                Window coverWindow = 0;
                if (tappy::X11Handles(cover, &coverDisplay, &coverWindow))
                    covers.push_back(coverWindow);
            }
            g_hook->lock.reset(new (std::nothrow) tappy::x11::Lock(display, xwindow, covers));
        }
        g_hook->settled = g_hook->lock && g_hook->lock->KeyboardHeld();
        StartTimer();
        return;
    }
    SDL_SetWindowKeyboardGrab(window, SDL_TRUE);
    g_hook->settled = true;
    StopTimer();
}

void ReleaseGrab(HookImpl* hook)
{
    hook->lock.reset();
    if (tappy::IsLiveWindow(hook->target))
        SDL_SetWindowKeyboardGrab(hook->target->window, SDL_FALSE);
}

} // namespace

namespace tappy {

Uint32 GrabTickEvent()
{
    static const Uint32 type = SDL_RegisterEvents(1);
    return type;
}

void OnGrabTick()
{
    AssertGrab();
}

void OnWindowShown(HWND hwnd)
{
    if (g_hook && g_hook->target == hwnd)
        AssertGrab();
}

void OnFocusLost(HWND hwnd)
{
    if (!g_hook || g_hook->target != hwnd)
        return;
    g_hook->settled = false;
    AssertGrab();
}

void OnFocusGained(HWND hwnd)
{
    // SDL renews its grab on focus without checking it; check it here.
    if (g_hook && g_hook->target == hwnd)
        AssertGrab();
}

void OnSystemEvent(const SDL_SysWMmsg* msg)
{
    if (g_hook && g_hook->lock && msg && msg->subsystem == SDL_SYSWM_X11)
        g_hook->lock->OnXEvent(msg->msg.x11.event);
}

bool PrepareLockWindow(SDL_Window* window)
{
    Display* display = nullptr;
    Window xwindow = 0;
    if (!IsX11() || !tappy::X11Handles(window, &display, &xwindow))
        return false;
    tappy::x11::MakeOverrideRedirect(display, xwindow);
    return true;
}

void OnVideoStarted()
{
    if (IsX11())
        tappy::x11::InstallErrorHandler();
}

void OnWindowHidden(HWND hwnd)
{
    // A window the program hides is not held on the screen.
    if (g_hook && g_hook->target == hwnd) {
        StopTimer();
        g_hook->lock.reset();
    }
}

void OnWindowDestroyed(HWND hwnd)
{
    // The grab goes with its window; the filter stays installed for the rest of the process.
    if (g_hook && g_hook->target == hwnd) {
        StopTimer();
        g_hook->lock.reset();
        g_hook->target = nullptr;
    }
}

bool RunKeyboardFilter(const SDL_KeyboardEvent& key)
{
    const SDL_Scancode sc = key.keysym.scancode;
    const bool inRange = sc >= 0 && sc < SDL_NUM_SCANCODES;
    const bool up = key.type == SDL_KEYUP;
    bool swallowed = false;
    if (g_hook && g_hook->proc) {
        const KeyInfo info = LookupKey(key.keysym.sym, sc);
        KBDLLHOOKSTRUCT record = FilterRecordFor(info, up, key.keysym.mod, key.timestamp);
        g_inFilter = true;
        g_filterMod = key.keysym.mod;
        swallowed = g_hook->proc(HC_ACTION, FilterMessageFor(info, up, key.keysym.mod),
                                 reinterpret_cast<LPARAM>(&record)) != 0;
        g_inFilter = false;
    }
    if (!inRange)
        return swallowed;
    if (up) {
        swallowed = swallowed || g_swallowed[sc];
        g_swallowed[sc] = false;
    } else if (swallowed) {
        g_swallowed[sc] = true;
    } else if (!key.repeat) {
        g_swallowed[sc] = false;
    }
    return swallowed;
}

} // namespace tappy

HHOOK SetWindowsHookExA(int idHook, HOOKPROC proc, HINSTANCE /*hmod*/, DWORD /*dwThreadId*/)
{
    if (idHook != WH_KEYBOARD_LL || !proc || g_hook)
        return nullptr;
    g_hook = new (std::nothrow) HookImpl();
    if (!g_hook)
        return nullptr;
    g_hook->proc = proc;
    g_hook->target = tappy::KeyboardTarget();
    AssertGrab();
    return g_hook;
}

LRESULT CallNextHookEx(HHOOK /*hook*/, int /*nCode*/, WPARAM /*wParam*/, LPARAM /*lParam*/)
{
    // Tappy's filter is the only one in this process; the desktop's own shortcuts are kept
    // out by the grab, not by a chain.
    return 0;
}

BOOL UnhookWindowsHookEx(HHOOK hook)
{
    if (!hook || hook != g_hook)
        return FALSE;
    StopTimer();
    ReleaseGrab(g_hook);
    delete g_hook;
    g_hook = nullptr;
    g_swallowed.reset();
    return TRUE;
}

short GetAsyncKeyState(int vKey)
{
    const Uint16 mod = g_inFilter ? g_filterMod : static_cast<Uint16>(SDL_GetModState());
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

BOOL GetVersionExA(OSVERSIONINFOA* info)
{
    if (!info)
        return FALSE;
    std::memset(&info->dwMajorVersion, 0, sizeof(*info) - sizeof(info->dwOSVersionInfoSize));
    // The version says what this display lets Tappy do: where the keyboard can be grabbed it
    // is a system with the low-level filter; elsewhere an unknown one, so no lock is claimed.
    const char* driver = tappy::EnsureVideo() ? SDL_GetCurrentVideoDriver() : nullptr;
    if (driver && (std::strcmp(driver, "x11") == 0 || std::strcmp(driver, "wayland") == 0)) {
        info->dwMajorVersion = 5;
        info->dwMinorVersion = 1;
        info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    }
    return TRUE;
}

BOOL SystemParametersInfoA(UINT /*uiAction*/, UINT /*uiParam*/, void* /*pvParam*/, UINT /*fWinIni*/)
{
    return TRUE;
}
