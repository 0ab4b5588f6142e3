// The session's plain decisions: which monitor is played on, what the covers leave uncovered,
// where the one-instance lock lives, and who hears about Wayland.
#include "platform/session_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tappy;

TEST(SessionRules, PlayMonitorPrefersPrimaryThenOriginThenFirst)
{
    const MonitorRect left{0, 0, 1024, 768, false}, right{1024, 0, 1024, 768, false},
        rightPrimary{1024, 0, 1024, 768, true}, above{0, -768, 1024, 768, false},
        empty{0, 0, 0, 0, true};
    const std::tuple<const char*, std::vector<MonitorRect>, int> rows[] = {
        {"none", {}, -1},
        {"only empty", {empty}, -1},
        {"one", {left}, 0},
        {"primary on the right", {left, rightPrimary}, 1},
        {"no primary: the origin", {right, left}, 1},
        {"no primary, none at the origin: first", {right, above}, 0},
        {"an empty primary does not count", {empty, right, left}, 2},
    };
    for (const auto& [name, monitors, index] : rows)
        EXPECT_EQ(PlayMonitor(monitors), index) << name;
}

TEST(SessionRules, CoversNeverOverlapThePlayMonitor)
{
    const MonitorRect play{0, 0, 1024, 768, true}, side{1024, 0, 1024, 768};
    // The other monitors, and the covers over them.
    const std::tuple<const char*, std::vector<MonitorRect>, std::vector<MonitorRect>> rows[] = {
        {"beside", {side}, {side}},
        {"two beside showing the same picture: one cover", {side, side}, {side}},
        {"mirrored", {{0, 0, 1024, 768}}, {}},
        {"larger mirror, centred",
         {{-100, -50, 1224, 868}},
         {{-100, -50, 1224, 50}, {-100, 768, 1224, 50}, {-100, 0, 100, 768}, {1024, 0, 100, 768}}},
        {"overlapping on the right", {{1000, 0, 1000, 768}}, {{1024, 0, 976, 768}}},
        {"no area", {{1024, 0, 0, 768}}, {}},
    };
    for (auto [name, monitors, covers] : rows) {
        monitors.insert(monitors.begin(), play);
        EXPECT_EQ(CoverRects(monitors, 0), covers) << name;
    }
    EXPECT_TRUE(CoverRects({play}, 3).empty());
}

TEST(SessionRules, InstanceLockIsOnePerUserAndDisplay)
{
    const std::tuple<const char*, unsigned, const char*, const char*> rows[] = {
        // runtime folder, user, display, lock path
        {"/run/user/1000", 1000, ":0", "/run/user/1000/tappy-:0.lock"},
        {"/run/user/1000/", 1000, ":0.1", "/run/user/1000/tappy-:0.lock"},
        {"/run/user/1000", 1000, "unix:0", "/run/user/1000/tappy-:0.lock"},
        {"/run/user/1000", 1000, "remote:10.0", "/run/user/1000/tappy-remote:10.lock"},
        {"/run/user/1000", 1000, "/tmp/.X11-unix/X0",
         "/run/user/1000/tappy-_tmp_.X11-unix_X0.lock"},
        {"/run/user/1000", 1000, "", "/run/user/1000/tappy-default.lock"},
        {"", 1000, ":1", "/tmp/tappy-1000-:1.lock"},
        {"relative/dir", 0, ":1", "/tmp/tappy-0-:1.lock"},
        {"/run/user/1000", 1000, "..", "/run/user/1000/tappy-_..lock"},
    };
    for (const auto& [runtime, uid, display, path] : rows)
        EXPECT_EQ(InstanceLockPath(runtime, uid, display), path) << display;
}

TEST(SessionRules, WaylandSessionsRunNativelyAndXwaylandIsToldWhatItLacks)
{
    const std::tuple<const char*, const char*, const char*> orders[] = {
        // requested driver, Wayland socket, driver order
        {nullptr, "wayland-0", "wayland,x11"},
        {"", "wayland-0", "wayland,x11"},
        {"x11", "wayland-0", nullptr},
        {nullptr, nullptr, nullptr},
        {nullptr, "", nullptr},
    };
    for (int row = 0; const auto& [requested, socket, order] : orders)
        EXPECT_STREQ(VideoDriverOrder(requested, socket), order) << "row " << row++;
    EXPECT_EQ(WaylandNotice(nullptr, nullptr, SessionKind::x11), "");
    EXPECT_EQ(WaylandNotice("wayland-0", "wayland", SessionKind::wayland), "");
    const std::string xwayland = WaylandNotice("wayland-0", nullptr, SessionKind::x11);
    EXPECT_NE(xwayland.find("Xwayland"), std::string::npos);
    EXPECT_EQ(WaylandNotice(nullptr, "wayland", SessionKind::x11), xwayland);
}
