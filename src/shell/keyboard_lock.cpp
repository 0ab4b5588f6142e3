// The keyboard lock. The two decisions (method by version, swallow or pass) are pure functions
// so they can be exercised without a display; the installer and the filter only wire them to
// the platform's version query, key state and hook.
#include "shell/keyboard_lock.h"

#include "platform/wnd.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

bool g_bKeyboardLocked = false;
int g_nLockOptions = 0;
HHOOK g_hKeyboardHook = nullptr;

namespace {
// "Service Pack " is 13 characters: the number starts right after it.
constexpr std::size_t kServicePackNumberAt = 13;
} // namespace

int LockMethodForVersion(const OSVERSIONINFOA& info)
{
    switch (info.dwMajorVersion) {
    case 5:
        return LOCKMETHOD_HOOK;
    case 4: {
        if (info.dwPlatformId != VER_PLATFORM_WIN32_NT)
            return LOCKMETHOD_SCREENSAVER;
        // The field need not be terminated; atoi must not run past it.
        char text[sizeof(info.szCSDVersion) + 1];
        std::memcpy(text, info.szCSDVersion, sizeof(info.szCSDVersion));
        text[sizeof(info.szCSDVersion)] = '\0';
        // strtol rather than atoi: a long run of digits saturates instead of overflowing.
        const long number = std::strtol(text + kServicePackNumberAt, nullptr, 10);
        const int servicePack = static_cast<int>(std::clamp<long>(number, INT_MIN, INT_MAX));
        return servicePack < 2 ? LOCKMETHOD_OLD_NT : LOCKMETHOD_HOOK;
    }
    case 3:
        return LOCKMETHOD_OLD_NT;
    default:
        return LOCKMETHOD_NONE;
    }
}

int GetLockMethod()
{
    // Zeroed first, so a short service-pack text reads as number 0 rather than stale bytes.
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof(info);
    GetVersionExA(&info);
    return LockMethodForVersion(info);
}

bool FilterSwallows(int nCode, const KBDLLHOOKSTRUCT& event, int options, bool ctrlDown)
{
    if (nCode != HC_ACTION)
        return false;
    const DWORD vk = event.vkCode;
    if (vk == VK_F12)
        return true;
    const int opts = options & 0xFF;
    const bool altDown = (event.flags & LLKHF_ALTDOWN) != 0;
    if ((opts & KEYLOCK_CTRL_ESC) && vk == VK_ESCAPE && ctrlDown)
        return true;
    if ((opts & KEYLOCK_ALT_TAB) && vk == VK_TAB && altDown)
        return true;
    if ((opts & KEYLOCK_ALT_ESC) && vk == VK_ESCAPE && altDown)
        return true;
    if ((opts & KEYLOCK_WIN_KEYS) && (vk == VK_LWIN || vk == VK_RWIN))
        return true;
    return false;
}

LRESULT LowLevelKeyboardProc(int nCode, WPARAM wParam, LPARAM lParam)
{
    if (nCode == HC_ACTION && lParam != 0) {
        const auto& event = *reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        // The live Ctrl state is only worth asking for when the Ctrl+Esc option is on.
        const bool ctrlDown =
            (g_nLockOptions & KEYLOCK_CTRL_ESC) && GetAsyncKeyState(VK_CONTROL) < 0;
        if (FilterSwallows(nCode, event, g_nLockOptions, ctrlDown))
            return 1;
    }
    return CallNextHookEx(g_hKeyboardHook, nCode, wParam, lParam);
}

void LockKeyboard(HINSTANCE hInstance, int options)
{
    if (g_bKeyboardLocked)
        return;
    switch (GetLockMethod()) {
    case LOCKMETHOD_HOOK:
        // Stored before the filter exists, so it never runs with stale options.
        g_nLockOptions = options;
        g_hKeyboardHook = SetWindowsHookExA(WH_KEYBOARD_LL, LowLevelKeyboardProc, hInstance, 0);
        break;
    case LOCKMETHOD_SCREENSAVER:
        SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, TRUE, nullptr, 0);
        break;
    default:
        AfxMessageBox("Don't know how to lock keyboard for this version of windows",
                      MB_OKCANCEL | MB_ICONEXCLAMATION, 0);
        break;
    }
    g_bKeyboardLocked = true;
}
