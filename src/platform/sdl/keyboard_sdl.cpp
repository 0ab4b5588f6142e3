// The low-level keyboard filter and the exclusive keyboard grab behind it.
//
// SDL 2.26 alone does not keep a grab: it ignores the result of its XGrabKeyboard, and it
// ungrabs whenever its window loses focus or the pointer leaves a window it does not call
// full-screen. So on X11 SDL's grab is not used at all: the lock (x11/x11_lock.h) takes the
// keyboard and the pointer itself, watches the X events that could take them (reaching it here
// as SDL's system events) and re-asserts everything on a safety tick twice a second. On Wayland
// the lock (wayland/wayland_lock.h) asks the compositor to inhibit its shortcuts and learns the
// answer on the same tick.
#include "platform/sdl/backend.h"
#include "platform/wayland/wayland_lock.h"
#include "platform/x11/x11_lock.h"
#include "platform/x11/x11_session.h"

#include <SDL_syswm.h>

#include <cstring>
#include <new>

namespace {

constexpr Uint32 kReassertMs = 500;

Uint32 PushTick(Uint32 interval, void* /*param*/)
{
    SDL_Event event{};
    event.type = tappy::GrabTickEvent();
    SDL_PushEvent(&event);
    return interval;
}

void StopTimer(HookImpl* hook)
{
    if (hook && hook->timer) {
        SDL_RemoveTimer(hook->timer);
        hook->timer = 0;
    }
}

void StartTimer(HookImpl* hook)
{
    if (!hook || hook->timer)
        return;
    if (!SDL_WasInit(SDL_INIT_TIMER))
        SDL_InitSubSystem(SDL_INIT_TIMER);
    hook->timer = SDL_AddTimer(kReassertMs, PushTick, nullptr);
}

// Runs as SDL reads each X event, before SDL handles it (see x11::Lock::RedirectKey).
int RedirectRootKeys(void* /*userdata*/, SDL_Event* event)
{
    HookImpl* hook = tappy::Platform().hook;
    if (event->type == SDL_SYSWMEVENT && hook && hook->lock && event->syswm.msg &&
        event->syswm.msg->subsystem == SDL_SYSWM_X11)
        hook->lock->RedirectKey(event->syswm.msg->msg.x11.event);
    return 1;
}

wl_surface* WaylandSurface(SDL_Window* window)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_WAYLAND)
        return nullptr;
    return info.info.wl.surface;
}

void AssertWaylandLock(HookImpl* hook, SDL_Window* window)
{
    tappy::PlatformState& state = tappy::Platform();
    if (!hook->waylandLock) {
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_WAYLAND)
            return;
        hook->waylandLock.reset(new (std::nothrow) tappy::wayland::Lock(
            info.info.wl.display, info.info.wl.surface, info.info.wl.xdg_toplevel));
        if (!hook->waylandLock)
            return;
        // The pointer is not confined: every other output shows a cover, which holds the
        // shortcuts as the play window does, so there is nothing else to reach; and on sway
        // 1.7 a confined pointer stopped the other outputs from being drawn, leaving the
        // covers blank.
        for (SDL_Window* cover : hook->target->covers)
            hook->waylandLock->AddCover(WaylandSurface(cover));
    }
    const bool covered = !hook->target->covers.empty();
    hook->waylandLock->SetCoversShown(covered);
    if (state.raiseFd >= 0) {
        std::string token;
        if (tappy::wayland::ReceiveRaise(state.raiseFd, token))
            hook->waylandLock->Activate(token);
    }
    hook->waylandLock->Tick();
    hook->settled = hook->waylandLock->status().shortcuts == tappy::wayland::Shortcuts::held;
    StartTimer(hook);
}

// Takes (or re-takes) the grab for the hook's window. On X11 the lock does it and the safety
// tick runs as long as the lock; elsewhere SDL's grab is all there is.
void AssertGrab()
{
    HookImpl* hook = tappy::Platform().hook;
    if (!hook || !tappy::IsLiveWindow(hook->target) || !hook->target->shown) {
        StopTimer(hook);
        return;
    }
    SDL_Window* window = hook->target->window;
    tappy::x11::Session* x11 = tappy::X11();
    if (const Window xwindow = tappy::X11Window(window); x11 && xwindow) {
        if (hook->lock) {
            hook->lock->Tick();
        } else {
            std::vector<Window> covers;
            for (SDL_Window* cover : hook->target->covers)
                if (const Window coverWindow = tappy::X11Window(cover))
                    covers.push_back(coverWindow);
            hook->lock.reset(new (std::nothrow) tappy::x11::Lock(x11->display(), xwindow, covers));
            static const bool watching = (SDL_AddEventWatch(RedirectRootKeys, nullptr), true);
            (void)watching;
        }
        hook->settled = hook->lock && hook->lock->KeyboardHeld();
        StartTimer(hook);
        return;
    }
    if (tappy::Platform().session == tappy::SessionKind::wayland) {
        AssertWaylandLock(hook, window);
        return;
    }
    SDL_SetWindowKeyboardGrab(window, SDL_TRUE);
    hook->settled = true;
    StopTimer(hook);
}

void ReleaseGrab(HookImpl* hook)
{
    hook->lock.reset();
    hook->waylandLock.reset();
    if (tappy::IsLiveWindow(hook->target))
        SDL_SetWindowKeyboardGrab(hook->target->window, SDL_FALSE);
}

} // namespace

HookImpl::HookImpl() = default;
HookImpl::~HookImpl() = default;

namespace tappy {

Uint32 GrabTickEvent()
{
    static const Uint32 type = SDL_RegisterEvents(1);
    return type;
}

void OnGrabTick()
{
    AssertGrab();
    if (HookImpl* hook = Platform().hook; hook && hook->waylandLock)
        hook->waylandLock->Report();
}

void OnWindowShown(HWND hwnd)
{
    HookImpl* hook = Platform().hook;
    if (hook && hook->target == hwnd)
        AssertGrab();
}

void OnFocusLost(HWND hwnd)
{
    HookImpl* hook = Platform().hook;
    if (!hook || hook->target != hwnd)
        return;
    hook->settled = false;
    if (hook->waylandLock)
        hook->waylandLock->OnFocusLost(WaylandSurface(hwnd->window));
    AssertGrab();
}

void OnFocusGained(HWND hwnd)
{
    // SDL renews its grab on focus without checking it; check it here.
    HookImpl* hook = Platform().hook;
    if (!hook || hook->target != hwnd)
        return;
    if (hook->waylandLock)
        hook->waylandLock->OnFocusGained(WaylandSurface(hwnd->window));
    AssertGrab();
}

void OnCoverFocus(SDL_Window* cover, bool gained)
{
    HookImpl* hook = Platform().hook;
    if (!hook || !hook->waylandLock)
        return;
    if (gained)
        hook->waylandLock->OnFocusGained(WaylandSurface(cover));
    else
        hook->waylandLock->OnFocusLost(WaylandSurface(cover));
}

void OnWindowResized(HWND hwnd)
{
    // A compositor that drops full screen sends the window its new, smaller size.
    HookImpl* hook = Platform().hook;
    if (!hook || hook->target != hwnd || !hook->waylandLock)
        return;
    const MonitorRect area = PlayArea();
    int w = 0, h = 0;
    SDL_GetWindowSize(hwnd->window, &w, &h);
    if (w != area.w || h != area.h)
        hook->waylandLock->AskFullScreen();
}

void OnSystemEvent(const SDL_SysWMmsg* msg)
{
    HookImpl* hook = Platform().hook;
    if (hook && hook->lock && msg && msg->subsystem == SDL_SYSWM_X11)
        hook->lock->OnXEvent(msg->msg.x11.event);
}

bool PrepareLockWindow(SDL_Window* window)
{
    x11::Session* x11 = X11();
    const Window xwindow = X11Window(window);
    if (!x11 || !xwindow)
        return false;
    x11::MakeOverrideRedirect(x11->display(), xwindow);
    return true;
}

void OnWindowHidden(HWND hwnd)
{
    HookImpl* hook = Platform().hook;
    if (hook && hook->target == hwnd) {
        StopTimer(hook);
        hook->lock.reset();
        hook->waylandLock.reset();
    }
}

void OnWindowDestroyed(HWND hwnd)
{
    // The grab goes with its window; the filter stays installed for the rest of the process.
    HookImpl* hook = Platform().hook;
    if (hook && hook->target == hwnd) {
        StopTimer(hook);
        hook->lock.reset();
        hook->waylandLock.reset();
        hook->target = nullptr;
    }
}

bool RunKeyboardFilter(const KeyEvent& key)
{
    PlatformState& state = Platform();
    const SDL_Scancode sc = key.scancode;
    const bool inRange = sc >= 0 && sc < SDL_NUM_SCANCODES;
    bool swallowed = false;
    if (state.hook && state.hook->proc) {
        KBDLLHOOKSTRUCT record = FilterRecordFor(key.key, key.up, key.mod, key.timestamp);
        state.judging = &key;
        swallowed = state.hook->proc(HC_ACTION, FilterMessageFor(key.key, key.up, key.mod),
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

} // namespace tappy

HHOOK SetWindowsHookExA(int idHook, HOOKPROC proc, HINSTANCE /*hmod*/, DWORD /*dwThreadId*/)
{
    tappy::PlatformState& state = tappy::Platform();
    if (idHook != WH_KEYBOARD_LL || !proc || state.hook)
        return nullptr;
    state.hook = new (std::nothrow) HookImpl();
    if (!state.hook)
        return nullptr;
    state.hook->proc = proc;
    state.hook->target = tappy::KeyboardTarget();
    AssertGrab();
    return state.hook;
}

LRESULT CallNextHookEx(HHOOK /*hook*/, int /*nCode*/, WPARAM /*wParam*/, LPARAM /*lParam*/)
{
    // Tappy's filter is the only one in this process; the desktop's own shortcuts are kept
    // out by the grab, not by a chain.
    return 0;
}

BOOL UnhookWindowsHookEx(HHOOK hook)
{
    tappy::PlatformState& state = tappy::Platform();
    if (!hook || hook != state.hook)
        return FALSE;
    StopTimer(hook);
    ReleaseGrab(hook);
    delete hook;
    state.hook = nullptr;
    state.swallowed.reset();
    return TRUE;
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

BOOL GetVersionExA(OSVERSIONINFOA* info)
{
    if (!info)
        return FALSE;
    std::memset(&info->dwMajorVersion, 0, sizeof(*info) - sizeof(info->dwOSVersionInfoSize));
    // The version says what this session lets Tappy do: where the keyboard can be grabbed it
    // is a system with the low-level filter; elsewhere an unknown one, so no lock is claimed.
    const tappy::SessionKind kind =
        tappy::EnsureVideo() ? tappy::Platform().session : tappy::SessionKind::none;
    if (kind == tappy::SessionKind::x11 || kind == tappy::SessionKind::wayland) {
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
