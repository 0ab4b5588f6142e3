#pragma once
// The play window's hold on a Wayland desktop. A Wayland client cannot take the keyboard, the
// focus or the screen; it can only ask the compositor, and learn what it was granted:
//  [X] the compositor's shortcuts inhibited for the play window and the covers, by inhibitors of
//      Tappy's own
//      whose listener tells whether the compositor granted it (SDL's has none, and a second
//      inhibitor on the same surface and seat is a protocol error, so SDL's is never asked for);
//      asked for again whenever the window gets the focus back without it
//  [X] full screen asked for again whenever the window gets the focus back or is resized away
//      from full screen, since the compositor may drop it
//  [X] idle inhibited (no blanking, no locking by idle) while the play window is shown, where
//      the compositor offers the protocol (SDL also asks over D-Bus, which GNOME answers)
//  [X] a second start brings the running window forward with an activation token
//  [X] what holds said in one line on standard error at start, and again when it changes
//  [ ] shortcuts a compositor keeps from every client (sway's --inhibited bindings, GNOME's
//      Super+Escape that restores them), and the one-time permission GNOME asks of the user
//      (tappy-content desktop gives it ahead of time)
//  [ ] the focus cannot be taken back: a window the compositor focuses gets the keys until it
//      closes or a parent clicks Tappy again
#include <memory>
#include <string>
#include <vector>

struct wl_display;
struct wl_surface;
struct xdg_toplevel;

namespace tappy::wayland {

// The desktop entry's name (res/tappy.desktop), which Tappy's windows carry as their app id.
constexpr const char* kAppId = "tappy";

enum class Shortcuts { unavailable, asking, held, refused };

struct Status {
    Shortcuts shortcuts = Shortcuts::unavailable;
    bool focused = true; // one of Tappy's windows has the focus (a seat with no keyboard never
                         // says otherwise)
    bool idleHeld = false;
    bool coversShown = false; // every other output shows a cover
    bool operator==(const Status&) const = default;
};

// The one line on standard error; it starts "Tappy on Wayland:".
std::string StatusLine(const Status& status);

class Lock {
public:
    // The display and surfaces are SDL's and outlive the lock.
    Lock(wl_display* display, wl_surface* play, xdg_toplevel* toplevel);
    ~Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

    // A cover on another output: its shortcuts are inhibited too.
    void AddCover(wl_surface* cover);
    // The covers were made again (a screen came or went): these are all of them now.
    void SetCovers(const std::vector<wl_surface*>& covers);
    // The focus came to, or left, one of Tappy's surfaces (the play window or a cover).
    void OnFocusGained(wl_surface* surface);
    void OnFocusLost(wl_surface* surface);
    // Asks for full screen again (the compositor sends nothing if it already is).
    void AskFullScreen();
    void SetCoversShown(bool shown);
    // Reads and handles what the compositor sent the lock.
    void Tick();
    // Says the status when it changed since it was last said. Called on the safety tick only,
    // so that a focus that leaves and comes back at once (as when a keyboard is plugged in)
    // prints nothing.
    void Report();
    // Brings the play window forward with a token from another start.
    void Activate(const std::string& token);

    Status status() const;

    struct Impl; // the protocol objects; the listeners reach it

private:
    std::unique_ptr<Impl> impl_;
};

// For a second start: a token that lets the running Tappy come forward (the launcher's
// XDG_ACTIVATION_TOKEN when it gave one), or empty.
std::string ActivationToken();

// The running Tappy listens on a datagram socket beside its instance lock; a second start sends
// it a token there (or nothing, when it has none). Listen returns a non-blocking descriptor (or
// -1). Receive reads what waits without blocking: true when a start asked, with the newest
// token that is printable text (others are dropped).
int ListenForRaise(const std::string& path);
bool ReceiveRaise(int fd, std::string& token);
bool SendRaise(const std::string& path, const std::string& token);

} // namespace tappy::wayland
