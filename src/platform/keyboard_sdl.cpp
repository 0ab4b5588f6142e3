// Placeholder until the keyboard services land.
#include "platform/keyboard.h"

#include <cstring>

HHOOK SetWindowsHookExA(int, HOOKPROC, HINSTANCE, DWORD) { return nullptr; }
LRESULT CallNextHookEx(HHOOK, int, WPARAM, LPARAM) { return 0; }
BOOL UnhookWindowsHookEx(HHOOK) { return FALSE; }
short GetAsyncKeyState(int) { return 0; }
BOOL GetVersionExA(OSVERSIONINFOA* info)
{
    if (!info)
        return FALSE;
    std::memset(&info->dwMajorVersion, 0, sizeof(*info) - sizeof(info->dwOSVersionInfoSize));
    return TRUE;
}
BOOL SystemParametersInfoA(UINT, UINT, void*, UINT) { return TRUE; }
