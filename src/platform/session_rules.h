#pragma once
// The plain decisions behind Tappy's hold on the desktop session: which monitor the play window
// covers and what the others get, where the one-instance lock lives, which lock keys to put back
// and what a Wayland session is told. No platform calls, so they are tested without a display.
// Rectangles are in pixels in the X screen's (or the desktop's) coordinates, origin top-left.
#include <string>
#include <vector>

namespace tappy {

struct MonitorRect {
    int x = 0, y = 0, w = 0, h = 0;
    bool primary = false;
    bool operator==(const MonitorRect&) const = default;
};

// What kind of desktop session Tappy runs in, decided once from the video driver SDL started:
// none before video starts, headless for the drivers that show nothing (dummy, offscreen, the
// console's evdev), other for a screen that is neither X11 nor Wayland. Null counts as none.
enum class SessionKind { none, headless, x11, wayland, other };
SessionKind SessionKindForDriver(const char* videoDriver);

// The monitor the play window covers: the one marked primary, else the one holding the origin,
// else the first. Monitors of no area do not count; -1 when none is left.
int PlayMonitor(const std::vector<MonitorRect>& monitors);

// What the plain background windows cover: every other monitor's area less the play monitor's
// (a mirrored monitor leaves nothing, one that overlaps leaves up to four strips), without
// repeats. The play window must never be hidden under one of them.
std::vector<MonitorRect> CoverRects(const std::vector<MonitorRect>& monitors, int play);

// The lock file that keeps one Tappy per user and display. Names "host:N.S" and ":N" of the same
// display give the same file. In the user's runtime folder when there is one (an absolute path);
// otherwise in /tmp under the user's number.
std::string InstanceLockPath(const std::string& runtimeDir, unsigned uid,
                             const std::string& display);

// Caps Lock, Num Lock and Scroll Lock as bits, in that order.
enum : unsigned { LOCKKEY_CAPS = 1, LOCKKEY_NUM = 2, LOCKKEY_SCROLL = 4 };
// The lock keys that have to change to be as they were at start.
unsigned LockKeysToRestore(unsigned atStart, unsigned now);

// The video drivers SDL is to try, in order, when SDL_VIDEODRIVER names none: native Wayland
// first where there is a Wayland socket, then X11 (Xwayland). Null leaves SDL's own order (X11
// first) or the driver asked for. XDG_SESSION_TYPE alone is no reason: with no socket to connect
// to, Wayland would only fail first. Null arguments count as unset.
const char* VideoDriverOrder(const char* requested, const char* waylandDisplay);

// The one line for standard error when Tappy runs through Xwayland in a Wayland session
// (WAYLAND_DISPLAY set or XDG_SESSION_TYPE=wayland), saying what the lock then cannot hold; empty
// elsewhere, and natively, where the lock reports what the compositor granted. Null arguments
// count as unset.
std::string WaylandNotice(const char* waylandDisplay, const char* sessionType, SessionKind kind);

} // namespace tappy
