#include "shell/keyboard_lock.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

constexpr int kAll = KEYLOCK_CTRL_ESC | KEYLOCK_ALT_TAB | KEYLOCK_ALT_ESC | KEYLOCK_WIN_KEYS;

struct FilterRow {
    const char* name;
    int options;
    int nCode;
    DWORD vk;
    bool alt;  // LLKHF_ALTDOWN in the event
    bool ctrl; // a Ctrl key down now
    bool swallowed;
};

constexpr FilterRow kFilterRows[] = {
    {"F12", kAll, HC_ACTION, VK_F12, false, false, true},
    {"F12 with Alt and Ctrl", 0, HC_ACTION, VK_F12, true, true, true},
    {"F12 not HC_ACTION", kAll, 3, VK_F12, false, false, false},
    {"Esc not HC_ACTION", kAll, -1, VK_ESCAPE, true, true, false},
    {"Esc alone", kAll, HC_ACTION, VK_ESCAPE, false, false, false},
    {"Ctrl+Esc", kAll, HC_ACTION, VK_ESCAPE, false, true, true},
    {"Alt+Esc", kAll, HC_ACTION, VK_ESCAPE, true, false, true},
    {"Tab alone", kAll, HC_ACTION, VK_TAB, false, false, false},
    {"Alt+Tab", kAll, HC_ACTION, VK_TAB, true, false, true},
    {"Ctrl+Tab", kAll, HC_ACTION, VK_TAB, false, true, false},
    {"left Windows key", kAll, HC_ACTION, VK_LWIN, false, false, true},
    {"right Windows key", kAll, HC_ACTION, VK_RWIN, false, false, true},
    {"Ctrl key itself", kAll, HC_ACTION, VK_LCONTROL, false, true, false},
    {"Alt key itself", kAll, HC_ACTION, VK_LMENU, true, false, false},
    {"Shift key itself", kAll, HC_ACTION, VK_LSHIFT, false, false, false},
    {"letter with Alt", kAll, HC_ACTION, 'A', true, false, false},
    {"Ctrl+Esc options 0", 0, HC_ACTION, VK_ESCAPE, false, true, false},
    {"Alt+Tab options 0", 0, HC_ACTION, VK_TAB, true, false, false},
    {"Alt+Esc options 0", 0, HC_ACTION, VK_ESCAPE, true, false, false},
    {"Windows key options 0", 0, HC_ACTION, VK_LWIN, false, false, false},
    {"Ctrl+Esc options 0x10", 0x10, HC_ACTION, VK_ESCAPE, false, true, false},
    {"Alt+Tab options 0x10", 0x10, HC_ACTION, VK_TAB, true, false, false},
    {"Windows key options 0x10", 0x10, HC_ACTION, VK_RWIN, false, false, false},
    {"Ctrl+Esc Alt+Esc only", KEYLOCK_ALT_ESC, HC_ACTION, VK_ESCAPE, false, true, false},
    {"Alt+Esc Alt+Esc only", KEYLOCK_ALT_ESC, HC_ACTION, VK_ESCAPE, true, false, true},
    {"Alt+Tab Alt+Esc only", KEYLOCK_ALT_ESC, HC_ACTION, VK_TAB, true, false, false},
    {"bits above eight ignored", 0x100 | KEYLOCK_CTRL_ESC, HC_ACTION, VK_TAB, true, false, false},
};

TEST(KeyboardLock, FilterTableDownAndUp)
{
    for (const FilterRow& row : kFilterRows) {
        for (bool up : {false, true}) {
            SCOPED_TRACE(std::string(row.name) + (up ? " (up)" : " (down)"));
            KBDLLHOOKSTRUCT event{};
            event.vkCode = row.vk;
            event.flags = (row.alt ? LLKHF_ALTDOWN : 0) | (up ? LLKHF_UP : 0);
            EXPECT_EQ(FilterSwallows(row.nCode, event, row.options, row.ctrl), row.swallowed);
        }
    }
}

struct VersionRow {
    const char* name;
    DWORD major;
    DWORD platform;
    std::string servicePack;
    int method;
};

const VersionRow kVersionRows[] = {
    {"5 any platform", 5, VER_PLATFORM_WIN32_WINDOWS, "Service Pack 1", LOCKMETHOD_HOOK},
    {"4 non-NT", 4, VER_PLATFORM_WIN32_WINDOWS, "Service Pack 6", LOCKMETHOD_SCREENSAVER},
    {"4 Win32s", 4, VER_PLATFORM_WIN32s, "", LOCKMETHOD_SCREENSAVER},
    {"4 NT SP6a", 4, VER_PLATFORM_WIN32_NT, "Service Pack 6a", LOCKMETHOD_HOOK},
    {"4 NT SP2", 4, VER_PLATFORM_WIN32_NT, "Service Pack 2", LOCKMETHOD_HOOK},
    {"4 NT SP1", 4, VER_PLATFORM_WIN32_NT, "Service Pack 1", LOCKMETHOD_OLD_NT},
    {"4 NT no service pack", 4, VER_PLATFORM_WIN32_NT, "", LOCKMETHOD_OLD_NT},
    {"4 NT negative number", 4, VER_PLATFORM_WIN32_NT, "Service Pack -3", LOCKMETHOD_OLD_NT},
    {"3", 3, VER_PLATFORM_WIN32_NT, "Service Pack 5", LOCKMETHOD_OLD_NT},
    {"6", 6, VER_PLATFORM_WIN32_NT, "", LOCKMETHOD_NONE},
    {"0 (no display that can be grabbed)", 0, 0, "", LOCKMETHOD_NONE},
    // Digits to the end of the field and no terminator: neither read past nor overflowed.
    {"4 NT field full of digits", 4, VER_PLATFORM_WIN32_NT, std::string(200, '7'), LOCKMETHOD_HOOK},
};

TEST(KeyboardLock, VersionTable)
{
    for (const VersionRow& row : kVersionRows) {
        SCOPED_TRACE(row.name);
        OSVERSIONINFOA info{};
        info.dwOSVersionInfoSize = sizeof(info);
        info.dwMajorVersion = row.major;
        info.dwPlatformId = row.platform;
        row.servicePack.copy(info.szCSDVersion, sizeof(info.szCSDVersion));
        EXPECT_EQ(LockMethodForVersion(info), row.method);
    }
}

// On SDL's dummy driver the display cannot be grabbed, so the lock reports that it cannot
// lock, once, and goes on.
TEST(KeyboardLock, UnlockableDisplayReportsOnceAndNeverRetries)
{
    ASSERT_EQ(GetLockMethod(), LOCKMETHOD_NONE);
    testing::internal::CaptureStderr();
    LockKeyboard(nullptr, kAll);
    LockKeyboard(nullptr, kAll);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Tappy: Don't know how to lock keyboard for this version of windows\n");
    EXPECT_TRUE(g_bKeyboardLocked);
    EXPECT_EQ(g_hKeyboardHook, nullptr);
    EXPECT_EQ(g_nLockOptions, 0);
}

} // namespace
