// The lock's decisions on X events, without a display: which events take something back, and
// which are the lock's own doing (answering those would make it fight itself).
// GoogleTest first: Xlib's macros (None, Bool) would break its headers.
#include <gtest/gtest.h>

#include "platform/x11/x11_lock.h"

#include <cstring>

namespace tappy::x11 {
namespace {

constexpr Window kRoot = 1, kPlay = 2, kCover = 3, kKeys = 4, kOther = 9;
constexpr Atom kDesktop = 100, kShowing = 101, kActive = 102, kOtherAtom = 103;
const LockWindows kWindows{kRoot, kPlay, {kCover}, kKeys, kDesktop, kShowing, kActive};

// Each kind of event with every field written out: type, serial, sent, display, then its own.
XEvent Focus(int type, Window window, int mode, int detail)
{
    return {.xfocus = {type, 0, False, nullptr, window, mode, detail}};
}

// After the window: root, subwindow, time, x, y, x_root, y_root, then mode and detail.
XEvent Crossing(int type, Window window, int mode)
{
    return {.xcrossing = {type, 0, False, nullptr, window, 0, 0, 0, 0, 0, 0, 0, mode,
                          NotifyInferior, False, False, 0}};
}

// Unmap, map and configure events begin alike: the window told of the change, the one changed.
XEvent Structure(int type, Window window, Window told = kRoot)
{
    return {.xunmap = {type, 0, False, nullptr, told, window, False}};
}

// Property and client-message events both begin with the window they are about.
XEvent Message(int type, Window window, Atom atom = 0)
{
    return {.xproperty = {type, 0, False, nullptr, window, atom, 0, 0}};
}

TEST(X11Lock, EventsThatTakeSomethingBack)
{
    const unsigned back = REASSERT_FOCUS | REASSERT_GRAB;
    // clang-format off
    const std::tuple<const char*, XEvent, unsigned> rows[] = {
        {"a grab begins (ours)", Focus(FocusOut, kKeys, NotifyGrab, NotifyNonlinear), 0},
        {"ours broken, seen on play", Focus(FocusOut, kPlay, NotifyUngrab, NotifyNonlinear), back},
        {"ours broken, seen on keys", Focus(FocusIn, kKeys, NotifyUngrab, NotifyNonlinear), back},
        {"ours ended, focus elsewhere", Focus(FocusOut, kRoot, NotifyUngrab, NotifyVirtual), back},
        {"focus taken by another", Focus(FocusOut, kKeys, NotifyNormal, NotifyNonlinear), back},
        {"taken while grabbed", Focus(FocusOut, kKeys, NotifyWhileGrabbed, NotifyNonlinear), back},
        {"focus given to play window", Focus(FocusIn, kPlay, NotifyNormal, NotifyNonlinear), back},
        {"focus back on ours", Focus(FocusIn, kKeys, NotifyNormal, NotifyNonlinear), 0},
        {"pointer detail", Focus(FocusOut, kRoot, NotifyNormal, NotifyPointer), 0},
        {"another program's window", Focus(FocusOut, kOther, NotifyUngrab, NotifyNonlinear), 0},
        {"pointer grab ended", Crossing(LeaveNotify, kRoot, NotifyUngrab), REASSERT_GRAB},
        {"pointer grab begun", Crossing(EnterNotify, kRoot, NotifyGrab), 0},
        {"pointer moved over the root", Crossing(EnterNotify, kRoot, NotifyNormal), 0},
        {"a cover unmapped", Structure(UnmapNotify, kCover), REASSERT_ALL},
        {"another window unmapped", Structure(UnmapNotify, kOther), 0},
        {"a new window may be above", Structure(MapNotify, kOther), REASSERT_RAISE},
        {"another window restacked", Structure(ConfigureNotify, kOther), REASSERT_RAISE},
        {"ours moved", Structure(ConfigureNotify, kPlay, kPlay), REASSERT_PLACE | REASSERT_RAISE},
        {"another desktop", Message(PropertyNotify, kRoot, kDesktop), REASSERT_ALL},
        {"show desktop", Message(PropertyNotify, kRoot, kShowing), REASSERT_ALL},
        {"an unrelated root property", Message(PropertyNotify, kRoot, kOtherAtom), 0},
        {"iconify request about the play window", Message(ClientMessage, kPlay), REASSERT_ALL},
    };
    // clang-format on
    for (const auto& [name, event, taken] : rows)
        EXPECT_EQ(ReassertFor(event, kWindows), taken) << name;
}

TEST(X11Lock, OursOnTop)
{
    EXPECT_TRUE(OursOnTop({kOther, kKeys, kCover, kPlay}, kWindows));
    EXPECT_TRUE(OursOnTop({kKeys, kOther, kCover, kPlay}, kWindows)) << "focus window may sit low";
    EXPECT_FALSE(OursOnTop({kCover, kOther, kPlay}, kWindows)) << "a window between cover and play";
    EXPECT_FALSE(OursOnTop({kOther, kPlay, kCover}, kWindows)) << "the play window not last";
    EXPECT_FALSE(OursOnTop({kPlay}, kWindows)) << "fewer windows than ours";
    EXPECT_FALSE(OursOnTop({}, kWindows));
}

TEST(X11Lock, GrabBreakingActions)
{
    const std::tuple<unsigned char, const char*, bool> rows[] = {
        {XkbSA_XFree86Private, "Ungrab", true},
        {XkbSA_XFree86Private, "ClsGrb", true},
        {XkbSA_XFree86Private, "PrGrbs", false}, // printing the grabs frees nothing
        {XkbSA_Terminate, "Ungrab", false},
    };
    for (const auto& [type, name, breaks] : rows) {
        XkbAction action{.any = {type, {}}};
        std::memcpy(action.any.data, name, 6);
        EXPECT_EQ(BreaksGrabs(action), breaks) << name;
    }
}

} // namespace
} // namespace tappy::x11
