// The plain decisions behind the session: monitors, the instance lock's name, the lock keys and
// the Wayland notice.
#include "platform/session_rules.h"

#include <algorithm>
#include <cstring>

namespace tappy {

namespace {

bool HasArea(const MonitorRect& m)
{
    return m.w > 0 && m.h > 0;
}

bool HoldsOrigin(const MonitorRect& m)
{
    return m.x <= 0 && m.y <= 0 && m.x + m.w > 0 && m.y + m.h > 0;
}

void AddUnique(std::vector<MonitorRect>& out, int x, int y, int right, int bottom)
{
    if (right <= x || bottom <= y)
        return;
    const MonitorRect r{x, y, right - x, bottom - y, false};
    if (std::find(out.begin(), out.end(), r) == out.end())
        out.push_back(r);
}

// The display part of an X display name, so that ":0", ":0.1" and "unix:0" name one display.
std::string DisplayKey(const std::string& display)
{
    std::string key = display;
    const std::size_t colon = key.rfind(':');
    if (colon != std::string::npos) {
        const std::size_t dot = key.find('.', colon);
        if (dot != std::string::npos)
            key.erase(dot);
        if (key.compare(0, colon, "unix") == 0)
            key.erase(0, colon);
    }
    if (key.empty())
        return "default";
    // A Wayland display may be a path; a file name must not be.
    for (char& c : key)
        if (c == '/')
            c = '_';
    if (key[0] == '.')
        key[0] = '_';
    return key;
}

} // namespace

int PlayMonitor(const std::vector<MonitorRect>& monitors)
{
    int origin = -1;
    int first = -1;
    for (int i = 0; i < static_cast<int>(monitors.size()); ++i) {
        const MonitorRect& m = monitors[static_cast<std::size_t>(i)];
        if (!HasArea(m))
            continue;
        if (m.primary)
            return i;
        if (origin < 0 && HoldsOrigin(m))
            origin = i;
        if (first < 0)
            first = i;
    }
    return origin >= 0 ? origin : first;
}

std::vector<MonitorRect> CoverRects(const std::vector<MonitorRect>& monitors, int play)
{
    std::vector<MonitorRect> out;
    if (play < 0 || play >= static_cast<int>(monitors.size()))
        return out;
    const MonitorRect& p = monitors[static_cast<std::size_t>(play)];
    const int pr = p.x + p.w;
    const int pb = p.y + p.h;
    for (int i = 0; i < static_cast<int>(monitors.size()); ++i) {
        const MonitorRect& m = monitors[static_cast<std::size_t>(i)];
        if (i == play || !HasArea(m))
            continue;
        const int mr = m.x + m.w;
        const int mb = m.y + m.h;
        if (mr <= p.x || m.x >= pr || mb <= p.y || m.y >= pb) {
            AddUnique(out, m.x, m.y, mr, mb);
            continue;
        }
        // Strips above and below across the whole monitor, then left and right beside the play
        // monitor.
        AddUnique(out, m.x, m.y, mr, p.y);
        AddUnique(out, m.x, pb, mr, mb);
        const int top = std::max(m.y, p.y);
        const int bottom = std::min(mb, pb);
        AddUnique(out, m.x, top, p.x, bottom);
        AddUnique(out, pr, top, mr, bottom);
    }
    return out;
}

std::string InstanceLockPath(const std::string& runtimeDir, unsigned uid,
                             const std::string& display)
{
    const std::string name = "tappy-" + DisplayKey(display) + ".lock";
    if (!runtimeDir.empty() && runtimeDir[0] == '/') {
        std::string dir = runtimeDir;
        while (dir.size() > 1 && dir.back() == '/')
            dir.pop_back();
        return (dir == "/" ? "" : dir) + "/" + name;
    }
    return "/tmp/tappy-" + std::to_string(uid) + "-" + DisplayKey(display) + ".lock";
}

unsigned LockKeysToRestore(unsigned atStart, unsigned now)
{
    return (atStart ^ now) & (LOCKKEY_CAPS | LOCKKEY_NUM | LOCKKEY_SCROLL);
}

namespace {
bool IsWaylandSession(const char* waylandDisplay, const char* sessionType)
{
    return (waylandDisplay && *waylandDisplay) ||
           (sessionType && std::strcmp(sessionType, "wayland") == 0);
}
} // namespace

const char* VideoDriverOrder(const char* requested, const char* waylandDisplay)
{
    if (requested && *requested)
        return nullptr;
    return waylandDisplay && *waylandDisplay ? "wayland,x11" : nullptr;
}

std::string WaylandNotice(const char* waylandDisplay, const char* sessionType, SessionKind kind)
{
    // Natively the lock itself says what the compositor granted.
    if (!IsWaylandSession(waylandDisplay, sessionType) || kind == SessionKind::wayland)
        return {};
    return "Tappy: this is a Wayland session, so Tappy runs through Xwayland; the keyboard lock "
           "holds only what the compositor passes to X11 programs, and its own shortcuts (such "
           "as the Super key) still reach the desktop.";
}

SessionKind SessionKindForDriver(const char* videoDriver)
{
    if (!videoDriver)
        return SessionKind::none;
    const std::string driver = videoDriver;
    if (driver == "x11")
        return SessionKind::x11;
    if (driver == "wayland")
        return SessionKind::wayland;
    if (driver == "dummy" || driver == "offscreen" || driver.starts_with("evdev"))
        return SessionKind::headless;
    return SessionKind::other;
}

} // namespace tappy
