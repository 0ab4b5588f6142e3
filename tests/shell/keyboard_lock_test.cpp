#include "shell/keyboard_lock.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <tuple>

namespace {

constexpr int kAll = KEYLOCK_CTRL_ESC | KEYLOCK_ALT_TAB | KEYLOCK_ALT_ESC | KEYLOCK_WIN_KEYS;

// The option sets each row is tried with: all four, none, a bit with no meaning, the Alt+Esc
// option alone, and Ctrl+Esc with Alt+Tab. A row: the hook code, the key, LLKHF_ALTDOWN in the
// event, a Ctrl key down now, and whether the key is swallowed with each option set.
constexpr int kOptionSets[] = {kAll, 0, 0x10, KEYLOCK_ALT_ESC, KEYLOCK_CTRL_ESC | KEYLOCK_ALT_TAB};

constexpr std::tuple<const char*, int, DWORD, bool, bool, std::array<bool, 5>> kFilterRows[] = {
    {"F12", HC_ACTION, VK_F12, false, false, {true, true, true, true, true}},
    {"F12 with Alt and Ctrl", HC_ACTION, VK_F12, true, true, {true, true, true, true, true}},
    {"F12 not HC_ACTION", 3, VK_F12, false, false, {}},
    {"Esc alone", HC_ACTION, VK_ESCAPE, false, false, {}},
    {"Ctrl+Esc", HC_ACTION, VK_ESCAPE, false, true, {true, false, false, false, true}},
    {"Alt+Esc", HC_ACTION, VK_ESCAPE, true, false, {true, false, false, true, false}},
    {"Tab alone", HC_ACTION, VK_TAB, false, false, {}},
    {"Alt+Tab", HC_ACTION, VK_TAB, true, false, {true, false, false, false, true}},
    {"Ctrl+Tab", HC_ACTION, VK_TAB, false, true, {}},
    {"left Windows key", HC_ACTION, VK_LWIN, false, false, {true, false, false, false, false}},
    {"right Windows key", HC_ACTION, VK_RWIN, false, false, {true, false, false, false, false}},
    {"Ctrl key itself", HC_ACTION, VK_LCONTROL, false, true, {}},
    {"Alt key itself", HC_ACTION, VK_LMENU, true, false, {}},
    {"Shift key itself", HC_ACTION, VK_LSHIFT, false, false, {}},
    {"letter with Alt", HC_ACTION, 'A', true, false, {}},
};

TEST(KeyboardLock, FilterTableDownAndUp)
{
    for (const auto& [name, nCode, vk, alt, ctrl, swallowed] : kFilterRows)
        for (std::size_t set = 0; set < std::size(kOptionSets); ++set)
            for (bool up : {false, true}) {
                SCOPED_TRACE(std::string(name) + " with options " +
                             std::to_string(kOptionSets[set]) + (up ? " (up)" : " (down)"));
                KBDLLHOOKSTRUCT event{};
                event.vkCode = vk;
                event.flags = (alt ? LLKHF_ALTDOWN : 0) | (up ? LLKHF_UP : 0);
                EXPECT_EQ(FilterSwallows(nCode, event, kOptionSets[set], ctrl), swallowed[set]);
            }
}

const std::tuple<const char*, DWORD, DWORD, std::string, int> kVersionRows[] = {
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
    // Digits to the end of the field and no terminator: neither read past nor overflowed.
    {"4 NT field full of digits", 4, VER_PLATFORM_WIN32_NT, std::string(200, '7'), LOCKMETHOD_HOOK},
};

TEST(KeyboardLock, VersionTable)
{
    for (const auto& [name, major, platform, servicePack, method] : kVersionRows) {
        SCOPED_TRACE(name);
        OSVERSIONINFOA info{};
        info.dwMajorVersion = major;
        info.dwPlatformId = platform;
        servicePack.copy(info.szCSDVersion, sizeof(info.szCSDVersion));
        EXPECT_EQ(LockMethodForVersion(info), method);
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
    // Locked, with no filter and no options stored.
    EXPECT_EQ(std::tuple(g_bKeyboardLocked, g_hKeyboardHook, g_nLockOptions),
              std::tuple(true, HHOOK{}, 0));
}

} // namespace
