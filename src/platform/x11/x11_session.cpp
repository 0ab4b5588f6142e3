// The X11 half of the lock and of the desktop session. Everything here runs on the UI thread, on
// SDL's own connection.
//
// SDL 2.26 alone does not keep a grab: it ignores the result of its XGrabKeyboard (which fails
// while another client holds the keyboard), and it ungrabs whenever its window loses focus. So
// the grab is taken again here and its result checked; the caller re-asserts it on a timer until
// it holds, and on every focus loss seen here as it happens.
#include "platform/x11/x11_session.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/extensions/Xrandr.h>
#include <X11/keysym.h>

#include <cstring>

namespace {

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

} // namespace

namespace tappy::x11 {

Session::Session(Display* display) : m_display(display) {}

void Session::RefuseFocus(Window cover) const
{
    XWMHints* hints = XGetWMHints(m_display, cover);
    if (!hints)
        hints = XAllocWMHints();
    if (!hints)
        return;
    hints->flags |= InputHint;
    hints->input = False;
    XSetWMHints(m_display, cover, hints);
    XFree(hints);
}

void Session::PaintCover(Window cover, unsigned color) const
{
    // The server then repaints every exposure itself, and no window surface is kept for a
    // window that never shows anything else.
    XWindowAttributes attributes{};
    XColor xcolor{};
    xcolor.red = static_cast<unsigned short>(((color >> 16) & 0xFF) * 0x101);
    xcolor.green = static_cast<unsigned short>(((color >> 8) & 0xFF) * 0x101);
    xcolor.blue = static_cast<unsigned short>((color & 0xFF) * 0x101);
    unsigned long pixel = WhitePixel(m_display, DefaultScreen(m_display));
    if (XGetWindowAttributes(m_display, cover, &attributes) &&
        XAllocColor(m_display, attributes.colormap, &xcolor))
        pixel = xcolor.pixel;
    XSetWindowBackground(m_display, cover, pixel);
    XClearWindow(m_display, cover);
    XFlush(m_display);
}

std::vector<MonitorRect> Session::Monitors() const
{
    std::vector<MonitorRect> out;
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XRRQueryExtension(m_display, &event, &error) ||
        !XRRQueryVersion(m_display, &major, &minor) || major < 1 || (major == 1 && minor < 5))
        return out;
    int count = 0;
    XRRMonitorInfo* monitors =
        XRRGetMonitors(m_display, DefaultRootWindow(m_display), True, &count);
    for (int i = 0; monitors && i < count; ++i)
        out.push_back(MonitorRect{monitors[i].x, monitors[i].y, monitors[i].width,
                                  monitors[i].height, monitors[i].primary != 0});
    if (monitors)
        XRRFreeMonitors(monitors);
    return out;
}

void Session::WatchMonitors()
{
    int error = 0;
    if (!XRRQueryExtension(m_display, &m_randrEvents, &error)) {
        m_randrEvents = -1;
        return;
    }
    // The mask replaces SDL's on the same connection, so SDL's output news is asked for too.
    XRRSelectInput(m_display, DefaultRootWindow(m_display),
                   RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask | RROutputChangeNotifyMask);
}

bool Session::IsMonitorChange(const XEvent& event) const
{
    if (m_randrEvents < 0)
        return false;
    if (event.type == m_randrEvents + RRScreenChangeNotify) {
        // Xlib's idea of the screen's size follows only through this.
        XEvent copy = event;
        XRRUpdateConfiguration(&copy);
        return true;
    }
    return event.type == m_randrEvents + RRNotify;
}

// Top-level windows are children of the root, or one level further down inside a window
// manager's frame.
void Session::RaiseTitled(const char* title) const
{
    Display* display = m_display;
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

void Session::RememberLockKeys()
{
    if (!XkbReady(m_display))
        return;
    m_lockKeysAtStart = ReadLockKeys(m_display, &m_lockKeysReadable);
    m_lockKeysKnown = m_lockKeysReadable != 0;
}

void Session::RestoreLockKeys()
{
    if (!m_lockKeysKnown)
        return;
    m_lockKeysKnown = false;
    unsigned readable = 0;
    const unsigned now = ReadLockKeys(m_display, &readable);
    const unsigned change =
        LockKeysToRestore(m_lockKeysAtStart, now) & readable & m_lockKeysReadable;
    for (const LockKey& key : kLockKeys) {
        if (!(change & key.bit))
            continue;
        const bool on = (m_lockKeysAtStart & key.bit) != 0;
        // Caps and Num Lock are locked modifiers, set without sending any program a key press.
        // A Scroll Lock bound to no modifier is only its indicator.
        const unsigned mods = XkbKeysymToModifiers(m_display, key.keysym);
        if (mods)
            XkbLockModifiers(m_display, XkbUseCoreKbd, mods, on ? mods : 0);
        else
            XkbSetNamedIndicator(m_display, XInternAtom(m_display, key.indicator, False), True, on,
                                 False, nullptr);
    }
    XSync(m_display, False);
}

} // namespace tappy::x11
