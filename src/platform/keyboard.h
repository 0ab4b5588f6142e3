#pragma once
// Keyboard control and the system version, as the keyboard lock uses them:
//  [X] a low-level keyboard filter, called on the UI thread from inside the message loop for
//      every key event before any window sees it; it takes an exclusive keyboard grab so the
//      desktop's shortcuts reach Tappy instead of the desktop
//  [X] whether that lock holds at this moment, for the play screen to say when it does not
//  [X] GetAsyncKeyState for the live modifier state
//  [X] GetVersionExA describing what this display can do (major 5, NT, where the keyboard can
//      be grabbed; major 0 elsewhere)
//  [ ] SPI_SETSCREENSAVERRUNNING has no Linux meaning: it is accepted and does nothing
#include "platform/win_types.h"

constexpr int WH_KEYBOARD_LL = 13;
constexpr int HC_ACTION = 0;
constexpr DWORD LLKHF_EXTENDED = 0x01;
constexpr DWORD LLKHF_ALTDOWN = 0x20;
constexpr DWORD LLKHF_UP = 0x80;

struct KBDLLHOOKSTRUCT {
    DWORD vkCode;
    DWORD scanCode;
    DWORD flags;
    DWORD time;
    ULONG_PTR dwExtraInfo;
};

using HOOKPROC = LRESULT (*)(int nCode, WPARAM wParam, LPARAM lParam);
// dwThreadId 0: all threads. Only WH_KEYBOARD_LL is supported; one filter at a time.
HHOOK SetWindowsHookExA(int idHook, HOOKPROC proc, HINSTANCE hmod, DWORD dwThreadId);
LRESULT CallNextHookEx(HHOOK hook, int nCode, WPARAM wParam, LPARAM lParam);
BOOL UnhookWindowsHookEx(HHOOK hook);

// Whether the filter's lock holds the desktop's shortcuts from the child at this moment: false
// until the desktop grants it, when it refuses, and while another program's window has the focus;
// true when no filter is installed. The filter's window is repainted whenever this changes.
bool KeyboardLockHolds();

// Negative (top bit set) while the key is down now. VK_CONTROL, VK_SHIFT, VK_MENU and their
// left/right forms are supported.
short GetAsyncKeyState(int vKey);

constexpr DWORD VER_PLATFORM_WIN32s = 0;
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;
struct OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    char szCSDVersion[128];
};
static_assert(sizeof(OSVERSIONINFOA) == 148);
BOOL GetVersionExA(OSVERSIONINFOA* info);

constexpr UINT SPI_SETSCREENSAVERRUNNING = 97;
BOOL SystemParametersInfoA(UINT uiAction, UINT uiParam, void* pvParam, UINT fWinIni);
