#include "platform/x11/x11_lock.h"

#include <X11/Xatom.h>
#include <X11/Xproto.h>

#include <algorithm>
#include <atomic>
#include <bitset>
#include <cstdio>
#include <cstring>
#include <utility>

#include <unistd.h>

namespace tappy::x11 {
namespace {

// The error handler is process-wide by nature (Xlib keeps one), so its little state is too.
// Xlib's default handler, and SDL's safety net which chains to it, end the process; so the
// handler never chains: an error is a lost race or a bug, and neither may free the child.
std::atomic<unsigned long> g_absorbed{0};
std::bitset<256 * 256> g_reported; // request code x error code already said once
// Set while a lock holds the screen: a connection lost then was closed by someone else.
std::atomic<bool> g_holding{false};

bool ExpectedRace(const XErrorEvent& error)
{
    switch (error.request_code) {
    case X_SetInputFocus:
    case X_GrabKeyboard:
    case X_GrabPointer:
    case X_UngrabKeyboard:
    case X_UngrabPointer:
    case X_ConfigureWindow:
    case X_MapWindow:
    case X_ChangeWindowAttributes:
    case X_GetWindowAttributes:
    case X_GetGeometry:
    case X_QueryTree:
    case X_GetProperty:
    case X_ChangeProperty:
    case X_SendEvent:
        break;
    default:
        return false;
    }
    // A window gone between two requests, or one not viewable yet.
    return error.error_code == BadWindow || error.error_code == BadMatch ||
           error.error_code == BadValue || error.error_code == BadDrawable;
}

int AbsorbError(Display* display, XErrorEvent* error)
{
    g_absorbed.fetch_add(1, std::memory_order_relaxed);
    if (!error || ExpectedRace(*error))
        return 0;
    const std::size_t key = static_cast<std::size_t>(error->request_code) * 256 + error->error_code;
    if (!g_reported.test(key)) {
        g_reported.set(key);
        char text[128] = "";
        XGetErrorText(display, error->error_code, text, sizeof(text));
        std::fprintf(stderr, "Tappy: X error ignored: %s (request %u.%u)\n", text,
                     static_cast<unsigned>(error->request_code),
                     static_cast<unsigned>(error->minor_code));
    }
    return 0;
}

// Xlib ends the process when its connection is gone, once this returns. When the server itself
// has gone (no new connection can be made), nothing is left to hold or to put back, and Tappy
// ends at once, saying why; _exit, since what runs at exit would ask the dead connection again.
// When only Tappy's connection was closed (another program's XKillClient, or a grab-breaking
// key that kills grabbing clients) while the screen is held, the child would be left at the
// desktop, so Tappy starts itself again instead; the instance lock is closed on exec.
int Reconnect(Display* display)
{
    Display* probe = XOpenDisplay(DisplayString(display));
    if (!probe) {
        std::fputs("Tappy: the display server has gone; ending.\n", stderr);
        _exit(1);
    }
    XCloseDisplay(probe);
    if (g_holding.load()) {
        std::fprintf(stderr, "Tappy: another program closed the connection to the display; "
                             "starting again.\n");
        char name[] = "tappy";
        char* const argv[] = {name, nullptr};
        execv("/proc/self/exe", argv);
    }
    return 0;
}

bool IsOurs(Window window, const LockWindows& w)
{
    return window == w.play || window == w.keys ||
           std::find(w.covers.begin(), w.covers.end(), window) != w.covers.end();
}

constexpr unsigned kPointerMask = ButtonPressMask | ButtonReleaseMask;

} // namespace

unsigned ReassertFor(const XEvent& event, const LockWindows& w)
{
    switch (event.type) {
    case FocusIn:
    case FocusOut: {
        const XFocusChangeEvent& focus = event.xfocus;
        if (focus.mode == NotifyGrab)
            return 0; // a grab beginning, ours included
        if (focus.window != w.root && focus.window != w.play && focus.window != w.keys)
            return 0;
        if (focus.mode == NotifyUngrab)
            return REASSERT_GRAB | REASSERT_FOCUS; // ours broken, or another's given up
        if ((event.type == FocusIn && focus.window == w.keys) || focus.detail == NotifyInferior ||
            focus.detail == NotifyPointer)
            return 0;
        return REASSERT_FOCUS | REASSERT_GRAB;
    }
    case EnterNotify:
    case LeaveNotify: {
        const XCrossingEvent& crossing = event.xcrossing;
        // The pointer grab ending, whoever ended it, shows at the root (SDL once did it on
        // every button release, and the pointer then reached the other monitors).
        if (crossing.window == w.root)
            return crossing.mode == NotifyUngrab ? REASSERT_GRAB : 0;
        if (crossing.window != w.play || crossing.mode == NotifyGrab ||
            crossing.detail == NotifyInferior)
            return 0;
        // SDL drops its grabs when the pointer leaves a window it does not call full-screen,
        // and something may have appeared under the pointer.
        return REASSERT_GRAB | (event.type == LeaveNotify ? REASSERT_RAISE : 0);
    }
    case UnmapNotify:
        return IsOurs(event.xunmap.window, w) ? REASSERT_ALL : 0;
    case MapNotify:
        return IsOurs(event.xmap.window, w) ? REASSERT_RAISE | REASSERT_FOCUS | REASSERT_GRAB
                                            : REASSERT_RAISE;
    case ConfigureNotify:
        if (IsOurs(event.xconfigure.window, w))
            return REASSERT_PLACE | REASSERT_RAISE;
        return event.xconfigure.event == w.root ? REASSERT_RAISE : 0;
    case CirculateNotify:
        return REASSERT_RAISE;
    case ReparentNotify:
        return IsOurs(event.xreparent.window, w) ? REASSERT_ALL : REASSERT_RAISE;
    case PropertyNotify:
        if (event.xproperty.window != w.root)
            return 0;
        if (event.xproperty.atom == w.currentDesktop || event.xproperty.atom == w.showingDesktop)
            return REASSERT_ALL;
        return event.xproperty.atom == w.activeWindow ? REASSERT_FOCUS | REASSERT_RAISE : 0;
    case ClientMessage:
        // Requests about our windows meant for a window manager (iconify, state, activation):
        // none applies to a window no manager manages, but the asker may try more.
        return IsOurs(event.xclient.window, w) ? REASSERT_ALL : 0;
    default:
        return 0;
    }
}

bool OursOnTop(const std::vector<Window>& stack, const LockWindows& w)
{
    const std::size_t ours = w.covers.size() + 1;
    if (stack.size() < ours || stack.back() != w.play)
        return false;
    for (std::size_t i = stack.size() - ours; i < stack.size(); ++i)
        if (!IsOurs(stack[i], w))
            return false;
    return true;
}

bool BreaksGrabs(const XkbAction& action)
{
    if (action.type != XkbSA_XFree86Private)
        return false;
    const auto* data = reinterpret_cast<const char*>(action.any.data);
    // The private action's data names it: "Ungrab" ends grabs, "ClsGrb" kills their clients.
    return std::strncmp(data, "Ungrab", 6) == 0 || std::strncmp(data, "ClsGrb", 6) == 0;
}

void MakeOverrideRedirect(Display* display, Window window)
{
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    XChangeWindowAttributes(display, window, CWOverrideRedirect, &attributes);
}

void InstallErrorHandler()
{
    static bool installed = false;
    if (!installed) {
        installed = true;
        XSetErrorHandler(AbsorbError);
        XSetIOErrorHandler(Reconnect);
    }
}

unsigned long AbsorbedErrors()
{
    return g_absorbed.load(std::memory_order_relaxed);
}

Lock::Lock(Display* display, Window play, std::vector<Window> covers) : m_display(display)
{
    InstallErrorHandler();
    m_windows.root = DefaultRootWindow(display);
    m_windows.play = play;
    m_windows.covers = std::move(covers);
    m_windows.currentDesktop = XInternAtom(display, "_NET_CURRENT_DESKTOP", False);
    m_windows.showingDesktop = XInternAtom(display, "_NET_SHOWING_DESKTOP", False);
    m_windows.activeWindow = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);

    // The focus goes to a window of the lock's own, never to SDL's: SDL gives up the keyboard
    // grab each time its window gains or loses the focus, and while a window manager fights
    // over the focus those moments let keys through to its shortcuts.
    XSetWindowAttributes keys{};
    keys.override_redirect = True;
    keys.event_mask = FocusChangeMask | StructureNotifyMask;
    m_windows.keys = XCreateWindow(display, m_windows.root, -1, -1, 1, 1, 0, 0, InputOnly,
                                   CopyFromParent, CWOverrideRedirect | CWEventMask, &keys);
    XStoreName(display, m_windows.keys, "Tappy keys");
    XMapWindow(display, m_windows.keys);

    // Added to what SDL already asked for, never in place of it.
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display, m_windows.root, &attributes))
        m_rootMaskBefore = attributes.your_event_mask;
    XSelectInput(display, m_windows.root,
                 m_rootMaskBefore | SubstructureNotifyMask | PropertyChangeMask | FocusChangeMask |
                     EnterWindowMask | LeaveWindowMask);
    Watch();
    WarnBreakActions();
    Reassert(REASSERT_ALL);
    g_holding = true;
}

Lock::~Lock()
{
    g_holding = false;
    XUngrabKeyboard(m_display, CurrentTime);
    XUngrabPointer(m_display, CurrentTime);
    XDestroyWindow(m_display, m_windows.keys);
    XSelectInput(m_display, m_windows.root, m_rootMaskBefore);
    XFlush(m_display);
}

void Lock::Watch()
{
    m_places.clear();
    std::vector<Window> ours = m_windows.covers;
    ours.push_back(m_windows.play);
    ours.push_back(m_windows.keys);
    for (Window window : ours) {
        XWindowAttributes own{};
        if (!XGetWindowAttributes(m_display, window, &own))
            continue;
        // SDL answers focus and crossing events on its own windows by giving up the keyboard
        // and pointer grabs (SDL_UpdateWindowGrab, and its keyboard ungrab when the pointer
        // leaves a window it does not call full-screen): on the same connection, so ours went
        // too, until the next event or tick took them back, and a toddler's key could fall in
        // that gap. So its windows get neither: the focus lives on the lock's own window, and
        // clicks and motion still tell SDL where the pointer is.
        const long sdlOnly =
            window == m_windows.keys ? 0 : FocusChangeMask | EnterWindowMask | LeaveWindowMask;
        XSelectInput(m_display, window,
                     (own.your_event_mask & ~sdlOnly) | StructureNotifyMask | PropertyChangeMask);
        // Override-redirect windows are children of the root: these are root coordinates.
        m_places.push_back(Place{window, own.x, own.y, static_cast<unsigned>(own.width),
                                 static_cast<unsigned>(own.height)});
    }
}

void Lock::SetCovers(std::vector<Window> covers)
{
    m_windows.covers = std::move(covers);
    Watch();
    Reassert(REASSERT_ALL);
}

void Lock::OnXEvent(const XEvent& event)
{

    if (const unsigned what = ReassertFor(event, m_windows))
        Reassert(what);
}

void Lock::Tick()
{
    Reassert(REASSERT_ALL);
}

void Lock::Reassert(unsigned what)
{
    if (what & (REASSERT_MAP | REASSERT_PLACE))
        PutBack();
    if (what & REASSERT_RAISE)
        Raise();
    if (what & REASSERT_FOCUS)
        Focus();
    if (what & REASSERT_GRAB)
        Grab();
    XFlush(m_display);
}

void Lock::PutBack()
{
    for (const Place& place : m_places) {
        XWindowAttributes now{};
        if (!XGetWindowAttributes(m_display, place.window, &now))
            continue;
        if (!now.override_redirect)
            MakeOverrideRedirect(m_display, place.window);
        if (now.x != place.x || now.y != place.y || static_cast<unsigned>(now.width) != place.w ||
            static_cast<unsigned>(now.height) != place.h)
            XMoveResizeWindow(m_display, place.window, place.x, place.y, place.w, place.h);
        if (now.map_state != IsViewable)
            XMapRaised(m_display, place.window);
    }
}

void Lock::Raise()
{
    // Only when something is above: each raise is a restack that every client watching the root
    // hears about, so raising what is already on top would answer our own events forever.
    Window rootOut = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(m_display, m_windows.root, &rootOut, &parent, &children, &count))
        return;
    const std::vector<Window> stack(children, children + count);
    if (children)
        XFree(children);
    if (OursOnTop(stack, m_windows))
        return;
    // Covers first, so the play window ends on top of everything, covers included.
    for (Window cover : m_windows.covers)
        XRaiseWindow(m_display, cover);
    XRaiseWindow(m_display, m_windows.play);
}

void Lock::Focus()
{
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(m_display, &focus, &revert);
    if (focus != m_windows.keys)
        XSetInputFocus(m_display, m_windows.keys, RevertToParent, CurrentTime);
}

void Lock::Grab()
{
    // The keyboard is grabbed on the root, which nobody can unmap: a grab on the play window
    // ends the moment another program unmaps it, and keys reach the window manager until the
    // window is back. Every key is then reported to the root (RedirectKey hands it on); and
    // since the focus is on another window, the end of the grab, whoever ends it, is a focus
    // event we see.
    const int keyboard =
        XGrabKeyboard(m_display, m_windows.root, False, GrabModeAsync, GrabModeAsync, CurrentTime);
    const int pointer = XGrabPointer(m_display, m_windows.root, True, kPointerMask, GrabModeAsync,
                                     GrabModeAsync, m_windows.play, None, CurrentTime);
    m_keyboardHeld = keyboard == GrabSuccess;
    m_pointerHeld = pointer == GrabSuccess;
    if (m_keyboardHeld && m_pointerHeld) {
        m_everHeld = true;
        return;
    }
    if (!m_toldLost) {
        m_toldLost = true;
        std::fprintf(stderr,
                     "Tappy: %s the %s%s%s: another program holds it. Tappy keeps trying to "
                     "take it back.\n",
                     m_everHeld ? "lost" : "cannot take", m_keyboardHeld ? "" : "keyboard",
                     !m_keyboardHeld && !m_pointerHeld ? " and the " : "",
                     m_pointerHeld ? "" : "pointer");
    }
}

void Lock::RedirectKey(const XEvent& event)
{
    if ((event.type != KeyPress && event.type != KeyRelease) || event.xkey.window != m_windows.root)
        return;
    XEvent key = event;
    key.xkey.window = m_windows.play;
    key.xkey.subwindow = None;
    XPutBackEvent(m_display, &key);
}

void Lock::WarnBreakActions()
{
    int opcode = 0, event = 0, error = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
    if (!XkbQueryExtension(m_display, &opcode, &event, &error, &major, &minor))
        return;
    XkbDescPtr keymap =
        XkbGetMap(m_display, XkbKeyActionsMask | XkbKeySymsMask | XkbKeyTypesMask, XkbUseCoreKbd);
    if (!keymap)
        return;
    bool found = false;
    for (int key = keymap->min_key_code; key <= keymap->max_key_code && !found; ++key) {
        if (!XkbKeyHasActions(keymap, key))
            continue;
        const XkbAction* actions = XkbKeyActionsPtr(keymap, key);
        for (int i = 0; i < XkbKeyNumActions(keymap, key) && !found; ++i)
            found = BreaksGrabs(actions[i]);
    }
    XkbFreeKeyboard(keymap, 0, True);
    if (found)
        std::fprintf(stderr,
                     "Tappy: this keyboard layout has keys that break every program's grab "
                     "(the option grab:break_actions): Ctrl+Alt+KP_Divide frees the keyboard "
                     "and Ctrl+Alt+KP_Multiply ends Tappy. See the README to remove it.\n");
}

} // namespace tappy::x11
