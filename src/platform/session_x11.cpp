// The desktop session on X11: monitors from XRandR, the one-instance lock, raising the running
// instance, the lock keys and the screen saver. Elsewhere the monitors are SDL's displays.
//
// Tappy talks to the X server on a connection of its own here: SDL does not hand out its display
// before a window exists, and the lock keys are put back after SDL's windows are gone.
#include "platform/session.h"
#include "platform/session_rules.h"
#include "platform/wnd_internal.h"
#include "platform/x11_handles.h"

#include <SDL_syswm.h>
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

Display* g_display = nullptr;
bool g_displayTried = false;
int g_lockFd = -1;
bool g_lockKeysKnown = false;
unsigned g_lockKeysAtStart = 0;
unsigned g_lockKeysReadable = 0;

struct LockKey {
    unsigned bit;
    const char* indicator;
    KeySym keysym;
};
constexpr LockKey kLockKeys[] = {
    {tappy::LOCKKEY_CAPS, "Caps Lock", XK_Caps_Lock},
    {tappy::LOCKKEY_NUM, "Num Lock", XK_Num_Lock},
    {tappy::LOCKKEY_SCROLL, "Scroll Lock", XK_Scroll_Lock},
};

bool IsX11()
{
    const char* driver = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetCurrentVideoDriver() : nullptr;
    return driver && std::strcmp(driver, "x11") == 0;
}

Display* X11()
{
    if (!g_displayTried && IsX11()) {
        g_displayTried = true;
        g_display = XOpenDisplay(nullptr);
    }
    return g_display;
}

std::vector<tappy::MonitorRect> X11Monitors(Display* display)
{
    std::vector<tappy::MonitorRect> out;
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XRRQueryExtension(display, &event, &error) || !XRRQueryVersion(display, &major, &minor) ||
        major < 1 || (major == 1 && minor < 5))
        return out;
    int count = 0;
    XRRMonitorInfo* monitors = XRRGetMonitors(display, DefaultRootWindow(display), True, &count);
    for (int i = 0; monitors && i < count; ++i)
        out.push_back(tappy::MonitorRect{monitors[i].x, monitors[i].y, monitors[i].width,
                                         monitors[i].height, monitors[i].primary != 0});
    if (monitors)
        XRRFreeMonitors(monitors);
    return out;
}

std::vector<tappy::MonitorRect> SdlMonitors()
{
    std::vector<tappy::MonitorRect> out;
    const int count = SDL_GetNumVideoDisplays();
    for (int i = 0; i < count; ++i) {
        SDL_Rect bounds{};
        SDL_DisplayMode mode{};
        if (SDL_GetDisplayBounds(i, &bounds) != 0 || SDL_GetDesktopDisplayMode(i, &mode) != 0)
            continue;
        // SDL puts the primary display first.
        out.push_back(tappy::MonitorRect{bounds.x, bounds.y, mode.w, mode.h, i == 0});
    }
    return out;
}

// Another user's file, or a link planted in /tmp, must not decide for us: then no check is made.
enum class Claim { mine, taken, unknown };
Claim ClaimInstanceLock()
{
    const char* runtimeDir = std::getenv("XDG_RUNTIME_DIR");
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display)
        display = std::getenv("WAYLAND_DISPLAY");
    const std::string path =
        tappy::InstanceLockPath(runtimeDir ? runtimeDir : "", geteuid(), display ? display : "");
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return Claim::unknown;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid()) {
        close(fd);
        return Claim::unknown;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
        g_lockFd = fd;
        return Claim::mine;
    }
    const int err = errno;
    close(fd);
    return err == EWOULDBLOCK ? Claim::taken : Claim::unknown;
}

bool HasTitle(Display* display, Window window, const char* title)
{
    char* name = nullptr;
    bool match = false;
    if (XFetchName(display, window, &name) && name) {
        match = std::strcmp(name, title) == 0;
        XFree(name);
    }
    return match;
}

// Top-level windows are children of the root, or one level further down inside a window
// manager's frame.
void RaiseTitled(Display* display, const char* title)
{
    const Window root = DefaultRootWindow(display);
    const Atom active = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    Window rootOut = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, root, &rootOut, &parent, &children, &count))
        return;
    for (unsigned int i = 0; i < count; ++i) {
        Window client = 0;
        if (HasTitle(display, children[i], title)) {
            client = children[i];
        } else {
            Window* inner = nullptr;
            unsigned int innerCount = 0;
            if (XQueryTree(display, children[i], &rootOut, &parent, &inner, &innerCount)) {
                for (unsigned int j = 0; j < innerCount && !client; ++j)
                    if (HasTitle(display, inner[j], title))
                        client = inner[j];
                if (inner)
                    XFree(inner);
            }
        }
        if (!client)
            continue;
        XRaiseWindow(display, children[i]);
        // A window manager raises and focuses on this request (source 2: asked by the user).
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = client;
        event.xclient.message_type = active;
        event.xclient.format = 32;
        event.xclient.data.l[0] = 2;
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    }
    if (children)
        XFree(children);
    XSync(display, False);
}

bool XkbReady(Display* display)
{
    int opcode = 0, event = 0, error = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
    return XkbQueryExtension(display, &opcode, &event, &error, &major, &minor);
}

// The lock keys that are on, and in *readable those whose state could be read.
unsigned ReadLockKeys(Display* display, unsigned* readable)
{
    unsigned on = 0;
    *readable = 0;
    for (const LockKey& key : kLockKeys) {
        const Atom name = XInternAtom(display, key.indicator, True);
        Bool state = False;
        if (name != None &&
            XkbGetNamedIndicator(display, name, nullptr, &state, nullptr, nullptr)) {
            *readable |= key.bit;
            if (state)
                on |= key.bit;
        }
    }
    return on;
}

void RestoreLockKeys(Display* display)
{
    unsigned readable = 0;
    const unsigned now = ReadLockKeys(display, &readable);
    const unsigned change =
        tappy::LockKeysToRestore(g_lockKeysAtStart, now) & readable & g_lockKeysReadable;
    for (const LockKey& key : kLockKeys) {
        if (!(change & key.bit))
            continue;
        const bool on = (g_lockKeysAtStart & key.bit) != 0;
        // Caps and Num Lock are locked modifiers, set without sending any program a key press.
        // A Scroll Lock bound to no modifier is only its indicator.
        const unsigned mods = XkbKeysymToModifiers(display, key.keysym);
        if (mods)
            XkbLockModifiers(display, XkbUseCoreKbd, mods, on ? mods : 0);
        else
            XkbSetNamedIndicator(display, XInternAtom(display, key.indicator, False), True, on,
                                 False, nullptr);
    }
    XSync(display, False);
}

} // namespace

namespace tappy {

void RefuseFocus(SDL_Window* cover)
{
    Display* display = nullptr;
    Window xwindow = 0;
    if (!tappy::X11Handles(cover, &display, &xwindow))
        return;
    XWMHints* hints = XGetWMHints(display, xwindow);
    if (!hints)
        hints = XAllocWMHints();
    if (!hints)
        return;
    hints->flags |= InputHint;
    hints->input = False;
    XSetWMHints(display, xwindow, hints);
    XFree(hints);
}

void PaintCover(SDL_Window* cover, Uint32 color)
{
    Display* display = nullptr;
    Window xwindow = 0;
    if (tappy::X11Handles(cover, &display, &xwindow)) {
        // The server then repaints every exposure itself, and no window surface is kept for a
        // window that never shows anything else.
        XWindowAttributes attributes{};
        XColor xcolor{};
        xcolor.red = static_cast<unsigned short>(((color >> 16) & 0xFF) * 0x101);
        xcolor.green = static_cast<unsigned short>(((color >> 8) & 0xFF) * 0x101);
        xcolor.blue = static_cast<unsigned short>((color & 0xFF) * 0x101);
        unsigned long pixel = WhitePixel(display, DefaultScreen(display));
        if (XGetWindowAttributes(display, xwindow, &attributes) &&
            XAllocColor(display, attributes.colormap, &xcolor))
            pixel = xcolor.pixel;
        XSetWindowBackground(display, xwindow, pixel);
        XClearWindow(display, xwindow);
        XFlush(display);
        return;
    }
    if (SDL_Surface* surface = SDL_GetWindowSurface(cover)) {
        SDL_FillRect(
            surface, nullptr,
            SDL_MapRGB(surface->format, (color >> 16) & 0xFF, (color >> 8) & 0xFF, color & 0xFF));
        SDL_UpdateWindowSurface(cover);
    }
}

std::vector<MonitorRect> Monitors()
{
    if (!EnsureVideo())
        return {};
    if (Display* display = X11()) {
        std::vector<MonitorRect> monitors = X11Monitors(display);
        if (PlayMonitor(monitors) >= 0)
            return monitors;
    }
    return SdlMonitors();
}

MonitorRect PlayArea()
{
    const std::vector<MonitorRect> monitors = Monitors();
    const int play = PlayMonitor(monitors);
    return play >= 0 ? monitors[static_cast<std::size_t>(play)] : MonitorRect{};
}

void EndSession()
{
    if (g_display) {
        if (g_lockKeysKnown)
            RestoreLockKeys(g_display);
        XCloseDisplay(g_display);
        g_display = nullptr;
    }
    g_lockKeysKnown = false;
    if (g_lockFd >= 0) {
        // Not removed: a start racing this exit may already hold the same file open.
        close(g_lockFd);
        g_lockFd = -1;
    }
}

} // namespace tappy

bool ClaimDesktopSession(const char* title)
{
    if (!title)
        title = "";
    if (!tappy::EnsureVideo())
        return true;
    switch (ClaimInstanceLock()) {
    case Claim::taken:
        if (Display* display = X11())
            RaiseTitled(display, title);
        std::fprintf(stderr,
                     "%s is already running on this display; it has been brought to the "
                     "front.\n",
                     *title ? title : "Tappy");
        return false;
    case Claim::unknown:
        std::fprintf(stderr, "Tappy: cannot tell whether Tappy already runs on this display; "
                             "starting anyway.\n");
        break;
    case Claim::mine:
        break;
    }
    if (Display* display = X11(); display && XkbReady(display)) {
        g_lockKeysAtStart = ReadLockKeys(display, &g_lockKeysReadable);
        g_lockKeysKnown = g_lockKeysReadable != 0;
    }
    // SDL already suspends the X screen saver (and DPMS with it) and inhibits it over D-Bus at
    // start unless told otherwise; said here so that no hint can quietly turn it back on.
    SDL_DisableScreenSaver();
    const std::string notice =
        tappy::WaylandNotice(std::getenv("WAYLAND_DISPLAY"), std::getenv("XDG_SESSION_TYPE"),
                             SDL_GetCurrentVideoDriver());
    if (!notice.empty())
        std::fprintf(stderr, "%s\n", notice.c_str());
    return true;
}
