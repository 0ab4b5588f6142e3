// The low-level keyboard filter's installation and the exclusive keyboard grab behind it.
//
// SDL 2.26 alone does not keep a grab: it ignores the result of its XGrabKeyboard, and it
// ungrabs whenever its window loses focus or the pointer leaves a window it does not call
// full-screen. So the lock is the desktop's (desktop.h): on X11 it takes the keyboard and the
// pointer itself and watches the X events that could take them, on Wayland it asks the
// compositor to inhibit its shortcuts; either is re-asserted on a safety tick twice a second.
// The filter itself runs in the one event translation (events.cpp).
#include "platform/sdl/backend.h"

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

// Takes (or re-takes) the grab for the hook's window, and runs the safety tick as long as the
// desktop's lock needs it.
void AssertGrab()
{
    HookImpl* hook = tappy::Platform().hook.get();
    if (!hook || !tappy::IsLiveWindow(hook->target) || !hook->target->shown) {
        StopTimer(hook);
        return;
    }
    const std::optional<tappy::LockHold> hold = tappy::TheDesktop().HoldLock(*hook->target);
    if (!hold)
        return;
    hook->settled = hold->settled;
    // The play screen says when the lock does not hold, and must stop saying it once it does.
    if (hook->holds != hold->holds) {
        hook->holds = hold->holds;
        InvalidateRect(hook->target, nullptr, FALSE);
    }
    if (hold->tick)
        StartTimer(hook);
    else
        StopTimer(hook);
}

// The one teardown of the lock: its window hidden or destroyed, or the filter removed.
void EndLock(HookImpl& hook)
{
    StopTimer(&hook);
    tappy::TheDesktop().ReleaseLock();
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
    if (Platform().hook)
        TheDesktop().OnLockTick();
}

void OnWindowShown(HWND hwnd)
{
    HookImpl* hook = Platform().hook.get();
    if (hook && hook->target == hwnd)
        AssertGrab();
}

void OnFocusLost(HWND hwnd)
{
    HookImpl* hook = Platform().hook.get();
    if (!hook || hook->target != hwnd)
        return;
    hook->settled = false;
    TheDesktop().OnFocus(hwnd->window, false);
    AssertGrab();
}

void OnFocusGained(HWND hwnd)
{
    // SDL renews its grab on focus without checking it; check it here.
    HookImpl* hook = Platform().hook.get();
    if (!hook || hook->target != hwnd)
        return;
    TheDesktop().OnFocus(hwnd->window, true);
    AssertGrab();
}

void OnCoverFocus(SDL_Window* cover, bool gained)
{
    if (Platform().hook)
        TheDesktop().OnFocus(cover, gained);
}

void OnWindowResized(HWND hwnd)
{
    HookImpl* hook = Platform().hook.get();
    if (hook && hook->target == hwnd)
        TheDesktop().OnResized(hwnd->window);
}

void OnWindowHidden(HWND hwnd)
{
    HookImpl* hook = Platform().hook.get();
    if (hook && hook->target == hwnd)
        EndLock(*hook);
}

void OnWindowDestroyed(HWND hwnd)
{
    // The grab goes with its window; the filter stays installed for the rest of the process.
    HookImpl* hook = Platform().hook.get();
    if (hook && hook->target == hwnd) {
        EndLock(*hook);
        hook->target = nullptr;
    }
}

} // namespace tappy

HHOOK SetWindowsHookExA(int idHook, HOOKPROC proc, HINSTANCE /*hmod*/, DWORD /*dwThreadId*/)
{
    tappy::PlatformState& state = tappy::Platform();
    if (idHook != WH_KEYBOARD_LL || !proc || state.hook)
        return nullptr;
    state.hook.reset(new (std::nothrow) HookImpl());
    if (!state.hook)
        return nullptr;
    state.hook->proc = proc;
    state.hook->target = tappy::KeyboardTarget();
    AssertGrab();
    return state.hook.get();
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
    if (!hook || hook != state.hook.get())
        return FALSE;
    EndLock(*hook);
    // SDL's own grab, all there is on a plain desktop, goes with the filter.
    if (tappy::IsLiveWindow(hook->target))
        SDL_SetWindowKeyboardGrab(hook->target->window, SDL_FALSE);
    state.hook.reset();
    state.swallowed.reset();
    return TRUE;
}

bool KeyboardLockHolds()
{
    const HookImpl* hook = tappy::Platform().hook.get();
    return !hook || !tappy::IsLiveWindow(hook->target) || hook->holds;
}

BOOL GetVersionExA(OSVERSIONINFOA* info)
{
    if (!info)
        return FALSE;
    std::memset(&info->dwMajorVersion, 0, sizeof(*info) - sizeof(info->dwOSVersionInfoSize));
    // The version says what this session lets Tappy do: where the keyboard can be grabbed it
    // is a system with the low-level filter; elsewhere an unknown one, so no lock is claimed.
    if (tappy::EnsureVideo() && tappy::TheDesktop().CanLock()) {
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
