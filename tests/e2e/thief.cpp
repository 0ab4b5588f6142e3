// The end-to-end tests' second X11 client. As a thief it tries to take the screen or the input
// from Tappy, one way per run, and measures whether and when Tappy has everything back:
//   thief ACTION HOLD_MS X,Y,W,H
// ACTION is one of the escapes below; HOLD_MS how long its windows stay and its attempts go on;
// X,Y,W,H the play window's place in root coordinates. Keys that reach the thief's own windows
// are counted as leaked. Prints one line:
//   ACTION recovered=1 recover_ms=N leaked=K [what is still wrong]
// and exits 0 when, at the end, Tappy is mapped, on top, focused, in its place and holds both
// grabs; 1 otherwise; 2 when no Tappy window was found. Two more uses:
//   thief close   sends a window manager's close request (WM_DELETE_WINDOW) to Tappy
//   thief saver   prints the screen saver's state: on, off, cycle or disabled
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/scrnsaver.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
};

Display* g_d = nullptr;
Window g_root = 0;

Atom A(const char* name)
{
    return XInternAtom(g_d, name, False);
}

std::string Name(Window w)
{
    char* name = nullptr;
    std::string out;
    if (w != None && w != PointerRoot && XFetchName(g_d, w, &name) && name)
        out = name;
    if (name)
        XFree(name);
    return out;
}

std::vector<Window> Children(Window w)
{
    Window root = 0, parent = 0, *kids = nullptr;
    unsigned n = 0;
    std::vector<Window> out;
    if (XQueryTree(g_d, w, &root, &parent, &kids, &n) && kids)
        out.assign(kids, kids + n);
    if (kids)
        XFree(kids);
    return out;
}

// The play window and the root child that holds it (itself, or a window manager's frame).
bool FindTappy(Window* play, Window* top)
{
    for (Window child : Children(g_root)) {
        if (Name(child) == "Tappy") {
            *play = *top = child;
            return true;
        }
        for (Window inner : Children(child))
            if (Name(inner) == "Tappy") {
                *play = inner;
                *top = child;
                return true;
            }
    }
    return false;
}

// A client message about a window: to the root, where a window manager takes requests, or to the
// window itself.
void Send(Window about, Atom type, long a, long b = 0, bool toRoot = true)
{
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = about;
    e.xclient.message_type = type;
    e.xclient.format = 32;
    e.xclient.data.l[0] = a;
    e.xclient.data.l[1] = b;
    XSendEvent(g_d, toRoot ? g_root : about, False,
               toRoot ? SubstructureRedirectMask | SubstructureNotifyMask : NoEventMask, &e);
}

// A window of the thief's own, counting the keys that reach it.
Window MakeWindow(const Rect& r, const std::vector<const char*>& states,
                  const std::vector<const char*>& types, bool overrideRedirect)
{
    XSetWindowAttributes a{};
    a.override_redirect = overrideRedirect;
    a.background_pixel = 0xFF00FF;
    a.event_mask = KeyPressMask | StructureNotifyMask;
    const Window w =
        XCreateWindow(g_d, g_root, r.x, r.y, static_cast<unsigned>(r.w), static_cast<unsigned>(r.h),
                      0, CopyFromParent, InputOutput, CopyFromParent,
                      CWOverrideRedirect | CWBackPixel | CWEventMask, &a);
    XStoreName(g_d, w, "thief");
    for (const auto& [property, names] :
         {std::pair{"_NET_WM_STATE", states}, std::pair{"_NET_WM_WINDOW_TYPE", types}}) {
        std::vector<Atom> atoms;
        if (names.empty())
            continue;
        for (const char* name : names)
            atoms.push_back(A(name));
        XChangeProperty(g_d, w, A(property), XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(atoms.data()),
                        static_cast<int>(atoms.size()));
    }
    XMapRaised(g_d, w);
    return w;
}

// Whether this client could take the keyboard (or the pointer); kept only when asked.
bool TryGrab(bool pointer, bool keep)
{
    const int s = pointer
                      ? XGrabPointer(g_d, g_root, False, ButtonPressMask, GrabModeAsync,
                                     GrabModeAsync, None, None, CurrentTime)
                      : XGrabKeyboard(g_d, g_root, True, GrabModeAsync, GrabModeAsync, CurrentTime);
    if (s == GrabSuccess && !keep)
        pointer ? XUngrabPointer(g_d, CurrentTime) : XUngrabKeyboard(g_d, CurrentTime);
    return s == GrabSuccess;
}

// What is wrong with Tappy now; empty when it holds everything.
std::string Wrong(const Rect& place)
{
    Window play = 0, top = 0;
    if (!FindTappy(&play, &top))
        return "no-window";
    std::string wrong;
    XWindowAttributes pa{};
    if (!XGetWindowAttributes(g_d, play, &pa) || pa.map_state != IsViewable)
        wrong += " unmapped";
    Window child = 0;
    int x = 0, y = 0;
    XTranslateCoordinates(g_d, play, g_root, 0, 0, &x, &y, &child);
    char moved[64];
    std::snprintf(moved, sizeof moved, " moved(%d,%d,%dx%d)", x, y, pa.width, pa.height);
    if (x != place.x || y != place.y || pa.width != place.w || pa.height != place.h)
        wrong += moved;
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(g_d, &focus, &revert);
    if (Name(focus).rfind("Tappy", 0) != 0)
        wrong += " unfocused";
    // Any viewable window above Tappy's top-level that overlaps the play window hides it.
    bool above = false;
    for (Window w : Children(g_root)) {
        if (w == top) {
            above = true;
            continue;
        }
        XWindowAttributes a{};
        if (!above || !XGetWindowAttributes(g_d, w, &a) || a.map_state != IsViewable ||
            a.c_class == InputOnly)
            continue;
        if (a.x < place.x + place.w && a.x + a.width > place.x && a.y < place.y + place.h &&
            a.y + a.height > place.y) {
            wrong += " covered";
            break;
        }
    }
    if (TryGrab(false, false))
        wrong += " keyboard-free";
    if (TryGrab(true, false))
        wrong += " pointer-free";
    XSync(g_d, False);
    return wrong;
}

int CountKeys(const std::vector<Window>& mine)
{
    int keys = 0;
    while (XPending(g_d)) {
        XEvent e;
        XNextEvent(g_d, &e);
        keys +=
            e.type == KeyPress && std::find(mine.begin(), mine.end(), e.xkey.window) != mine.end();
    }
    return keys;
}

// What is still wrong after Tappy has had `tries` looks, `ms` apart, to take everything back.
std::string Settle(const Rect& place, int tries, int ms)
{
    std::string wrong = Wrong(place);
    for (int i = 1; i < tries && !wrong.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        wrong = Wrong(place);
    }
    return wrong;
}

long MsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

int Saver()
{
    int event = 0, error = 0;
    XScreenSaverInfo* info = XScreenSaverAllocInfo();
    const bool known = info && XScreenSaverQueryExtension(g_d, &event, &error) &&
                       XScreenSaverQueryInfo(g_d, g_root, info);
    const char* const states[] = {"off", "on", "cycle", "disabled"}; // ScreenSaverOff...Disabled
    std::printf("%s\n", known && info->state < 4 ? states[info->state] : "unknown");
    XFree(info);
    return known ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string action = argc > 1 ? argv[1] : "";
    Rect place;
    if (!(g_d = XOpenDisplay(nullptr)))
        return 65;
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    g_root = DefaultRootWindow(g_d);
    if (action == "saver")
        return Saver();
    Window play = 0, top = 0;
    if (!FindTappy(&play, &top)) {
        std::printf("%s no Tappy window\n", action.c_str());
        return 2;
    }
    if (action == "close") {
        Send(play, A("WM_PROTOCOLS"), static_cast<long>(A("WM_DELETE_WINDOW")), 0, false);
        XSync(g_d, False);
        return 0;
    }
    if (argc < 4 ||
        std::sscanf(argv[3], "%d,%d,%d,%d", &place.x, &place.y, &place.w, &place.h) != 4)
        return 64;
    const int holdMs = std::atoi(argv[2]);
    const Rect mid{place.x + place.w / 4, place.y + place.h / 4, place.w / 2, place.h / 2};
    std::vector<Window> mine;
    bool retryGrabs = false;
    const auto start = Clock::now();

    if (action == "iconify")
        Send(play, A("WM_CHANGE_STATE"), IconicState);
    else if (action == "hidden")
        Send(play, A("_NET_WM_STATE"), 1, static_cast<long>(A("_NET_WM_STATE_HIDDEN")));
    else if (action == "showdesktop")
        Send(g_root, A("_NET_SHOWING_DESKTOP"), 1);
    else if (action == "desktop")
        Send(g_root, A("_NET_CURRENT_DESKTOP"), 1, CurrentTime);
    else if (action == "unfullscreen")
        Send(play, A("_NET_WM_STATE"), 0, static_cast<long>(A("_NET_WM_STATE_FULLSCREEN")));
    else if (action == "unmap")
        XUnmapWindow(g_d, play);
    else if (action == "move")
        XMoveResizeWindow(g_d, play, place.x + 50, place.y + 50, 200, 200);
    else if (action == "lower")
        XLowerWindow(g_d, top);
    else if (action == "notification") {
        mine.push_back(
            MakeWindow(mid, {"_NET_WM_STATE_ABOVE"}, {"_NET_WM_WINDOW_TYPE_NOTIFICATION"}, false));
        mine.push_back(
            MakeWindow({mid.x, mid.y, 300, 80}, {}, {"_NET_WM_WINDOW_TYPE_NOTIFICATION"}, true));
    } else if (action == "fullscreen" || action == "plain" || action == "activate" ||
               action == "focus") {
        const Window w =
            action == "fullscreen"
                ? MakeWindow(place, {"_NET_WM_STATE_FULLSCREEN", "_NET_WM_STATE_ABOVE"}, {}, false)
                : MakeWindow(mid, {}, {}, false);
        mine.push_back(w);
        XSync(g_d, False);
        if (action == "activate") {
            Send(w, A("_NET_ACTIVE_WINDOW"), 2, CurrentTime);
            Send(play, A("_NET_ACTIVE_WINDOW"), 2, CurrentTime); // and Tappy's, to unmaximise
        } else if (action != "plain")
            XSetInputFocus(g_d, w, RevertToParent, CurrentTime);
    } else if (action == "grab")
        retryGrabs = true;
    else if (action != "none") { // "none" only checks
        std::printf("%s unknown action\n", action.c_str());
        return 64;
    }
    XSync(g_d, False);

    // Hold: keep trying (the grab thief), count leaked keys, note when Tappy first holds all.
    int leaked = 0, wonKeyboard = 0, wonPointer = 0;
    long recoverMs = -1;
    for (long ms = 0; ms <= holdMs; ms = MsSince(start)) {
        if (retryGrabs) {
            // A thief that wins keeps what it won for the rest of its hold.
            wonKeyboard = wonKeyboard || TryGrab(false, true);
            wonPointer = wonPointer || TryGrab(true, true);
        }
        leaked += CountKeys(mine);
        if (recoverMs < 0 && !retryGrabs && Wrong(place).empty())
            recoverMs = ms;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (retryGrabs) {
        XUngrabKeyboard(g_d, CurrentTime);
        XUngrabPointer(g_d, CurrentTime);
        XSync(g_d, False);
        // What the grab thief won is its own doing; Tappy must take the input back after it.
        const auto after = Clock::now();
        Settle(place, 1000, 2);
        recoverMs = MsSince(after);
    }
    // The final state, with the thief's windows still there: each may take a moment.
    const std::string wrong = Settle(place, 250, 20);
    leaked += CountKeys(mine);
    std::printf("%s recovered=%d recover_ms=%ld leaked=%d won_keyboard=%d won_pointer=%d%s\n",
                action.c_str(), wrong.empty() ? 1 : 0, recoverMs, leaked, wonKeyboard, wonPointer,
                wrong.c_str());
    XCloseDisplay(g_d);
    return wrong.empty() ? 0 : 1;
}
