#pragma once
// The keyboard lock: the lock method chosen by the system version, the low-level keyboard
// filter that swallows F12 and the leaving shortcuts, and the once-only installer.
#include "platform/keyboard.h"
#include "platform/win_types.h"

constexpr int KEYLOCK_CTRL_ESC = 0x01;
constexpr int KEYLOCK_ALT_TAB = 0x02;
constexpr int KEYLOCK_ALT_ESC = 0x04;
constexpr int KEYLOCK_WIN_KEYS = 0x08;

constexpr int LOCKMETHOD_NONE = 0;
constexpr int LOCKMETHOD_HOOK = 1;
constexpr int LOCKMETHOD_SCREENSAVER = 2;
constexpr int LOCKMETHOD_OLD_NT = 3;

extern bool g_bKeyboardLocked;
extern int g_nLockOptions;
extern HHOOK g_hKeyboardHook;

// The version table as a pure function of a filled record.
int LockMethodForVersion(const OSVERSIONINFOA& info);
int GetLockMethod();
// The filter's decision as a pure function: true to swallow. ctrlDown is the live Ctrl state.
bool FilterSwallows(int nCode, const KBDLLHOOKSTRUCT& event, int options, bool ctrlDown);
LRESULT LowLevelKeyboardProc(int nCode, WPARAM wParam, LPARAM lParam);
void LockKeyboard(HINSTANCE hInstance, int options);
