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

LockWindows Windows()
{
    LockWindows w;
    w.root = kRoot;
    w.play = kPlay;
    w.covers = {kCover};
    w.keys = kKeys;
    w.currentDesktop = kDesktop;
    w.showingDesktop = kShowing;
    w.activeWindow = kActive;
    return w;
}

XEvent Focus(int type, Window window, int mode, int detail)
{
    XEvent e{};
    e.xfocus.type = type;
    e.xfocus.window = window;
    e.xfocus.mode = mode;
    e.xfocus.detail = detail;
    return e;
}

XEvent Crossing(int type, Window window, int mode)
{
    XEvent e{};
    e.xcrossing.type = type;
    e.xcrossing.window = window;
    e.xcrossing.mode = mode;
    e.xcrossing.detail = NotifyInferior;
    return e;
}

TEST(X11Lock, FocusEvents)
{
    struct Row {
        const char* name;
        XEvent event;
        unsigned expected;
    };
    const unsigned back = REASSERT_FOCUS | REASSERT_GRAB;
    // clang-format off
    const Row rows[] = {
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
    };
    // clang-format on
    for (const Row& row : rows)
        EXPECT_EQ(ReassertFor(row.event, Windows()), row.expected) << row.name;
}

TEST(X11Lock, StructureAndPropertyEvents)
{
    const LockWindows w = Windows();
    XEvent e{};
    e.xunmap.type = UnmapNotify;
    e.xunmap.window = kCover;
    EXPECT_EQ(ReassertFor(e, w), REASSERT_ALL) << "a cover unmapped";
    e.xunmap.window = kOther;
    EXPECT_EQ(ReassertFor(e, w), 0u) << "another window unmapped";

    e = XEvent{};
    e.xmap.type = MapNotify;
    e.xmap.window = kOther;
    EXPECT_EQ(ReassertFor(e, w), REASSERT_RAISE) << "a new window may be above";

    e = XEvent{};
    e.xconfigure.type = ConfigureNotify;
    e.xconfigure.event = kRoot;
    e.xconfigure.window = kOther;
    EXPECT_EQ(ReassertFor(e, w), REASSERT_RAISE) << "another window restacked";
    e.xconfigure.window = kPlay;
    e.xconfigure.event = kPlay;
    EXPECT_EQ(ReassertFor(e, w), REASSERT_PLACE | REASSERT_RAISE) << "ours moved or lowered";

    e = XEvent{};
    e.xproperty.type = PropertyNotify;
    e.xproperty.window = kRoot;
    e.xproperty.atom = kDesktop;
    EXPECT_EQ(ReassertFor(e, w), REASSERT_ALL) << "another desktop";
    e.xproperty.atom = kShowing;
    EXPECT_EQ(ReassertFor(e, w), REASSERT_ALL) << "show desktop";
    e.xproperty.atom = kOtherAtom;
    EXPECT_EQ(ReassertFor(e, w), 0u) << "an unrelated root property";

    e = XEvent{};
    e.xclient.type = ClientMessage;
    e.xclient.window = kPlay;
    EXPECT_EQ(ReassertFor(e, w), REASSERT_ALL) << "an iconify request about the play window";
}

TEST(X11Lock, OursOnTop)
{
    const LockWindows w = Windows();
    EXPECT_TRUE(OursOnTop({kOther, kKeys, kCover, kPlay}, w));
    EXPECT_TRUE(OursOnTop({kKeys, kOther, kCover, kPlay}, w)) << "the focus window may sit low";
    EXPECT_FALSE(OursOnTop({kCover, kOther, kPlay}, w)) << "a window between cover and play";
    EXPECT_FALSE(OursOnTop({kOther, kPlay, kCover}, w)) << "the play window not last";
    EXPECT_FALSE(OursOnTop({kPlay}, w)) << "fewer windows than ours";
    EXPECT_FALSE(OursOnTop({}, w));
}

TEST(X11Lock, GrabBreakingActions)
{
    XkbAction action{};
    action.type = XkbSA_XFree86Private;
    std::memcpy(action.any.data, "Ungrab", 6);
    EXPECT_TRUE(BreaksGrabs(action));
    std::memcpy(action.any.data, "ClsGrb", 6);
    EXPECT_TRUE(BreaksGrabs(action));
    std::memcpy(action.any.data, "PrGrbs", 6);
    EXPECT_FALSE(BreaksGrabs(action)) << "printing the grabs frees nothing";
    action.type = XkbSA_Terminate;
    std::memcpy(action.any.data, "Ungrab", 6);
    EXPECT_FALSE(BreaksGrabs(action));
}

} // namespace
} // namespace tappy::x11
