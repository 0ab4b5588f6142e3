// A second X11 client for the end-to-end tests: it tries to grab the keyboard, sends a window
// manager's close request, and steals the focus.
//   x11_probe grab          exit 0: grab succeeded (released at once), 2: AlreadyGrabbed
//   x11_probe close NAME    sends WM_DELETE_WINDOW to the top-level windows named NAME
//   x11_probe steal MS      maps a window and takes the focus, then waits up to MS milliseconds
//                           for the focus to leave it and the keyboard to be grabbed again
//                           (exit 0, printing the time taken) or gives up (exit 1)
//   x11_probe saver         prints the screen saver's state: on, off, cycle or disabled
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

int TryGrab(Display* display)
{
    const int status = XGrabKeyboard(display, DefaultRootWindow(display), True, GrabModeAsync,
                                     GrabModeAsync, CurrentTime);
    if (status == GrabSuccess)
        XUngrabKeyboard(display, CurrentTime);
    XSync(display, False);
    return status;
}

int Grab(Display* display)
{
    const int status = TryGrab(display);
    std::printf("%s\n", status == GrabSuccess      ? "GrabSuccess"
                        : status == AlreadyGrabbed ? "AlreadyGrabbed"
                                                   : "other");
    return status == GrabSuccess ? 0 : status == AlreadyGrabbed ? 2 : 3;
}

int Close(Display* display, const char* name)
{
    const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    const Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    int sent = 0;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
        for (unsigned int i = 0; i < count; ++i) {
            char* title = nullptr;
            if (XFetchName(display, children[i], &title) && title) {
                if (std::strcmp(title, name) == 0) {
                    XEvent event{};
                    event.xclient.type = ClientMessage;
                    event.xclient.window = children[i];
                    event.xclient.message_type = protocols;
                    event.xclient.format = 32;
                    event.xclient.data.l[0] = static_cast<long>(deleteWindow);
                    event.xclient.data.l[1] = CurrentTime;
                    XSendEvent(display, children[i], False, NoEventMask, &event);
                    ++sent;
                }
                XFree(title);
            }
        }
        if (children)
            XFree(children);
    }
    XSync(display, False);
    std::printf("close requests sent: %d\n", sent);
    return sent > 0 ? 0 : 1;
}

int Steal(Display* display, int limitMs)
{
    const Window window =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 100, 100, 0, 0, 0);
    XSelectInput(display, window, StructureNotifyMask);
    XMapRaised(display, window);
    for (XEvent event;;) {
        XNextEvent(display, &event);
        if (event.type == MapNotify)
            break;
    }
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
    XSync(display, False);
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - start)
                                 .count();
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(display, &focus, &revert);
        if (focus != window && TryGrab(display) == AlreadyGrabbed) {
            std::printf("focus and grab back after %lld ms\n", static_cast<long long>(elapsed));
            return 0;
        }
        if (elapsed > limitMs) {
            std::printf("focus %s, grab %s after %lld ms\n", focus == window ? "stolen" : "back",
                        TryGrab(display) == AlreadyGrabbed ? "held" : "free",
                        static_cast<long long>(elapsed));
            return 1;
        }
    }
}

int Saver(Display* display)
{
    int event = 0, error = 0;
    XScreenSaverInfo* info = XScreenSaverAllocInfo();
    if (!info || !XScreenSaverQueryExtension(display, &event, &error) ||
        !XScreenSaverQueryInfo(display, DefaultRootWindow(display), info)) {
        std::printf("unknown\n");
        XFree(info);
        return 1;
    }
    std::printf("%s\n", info->state == ScreenSaverOn      ? "on"
                        : info->state == ScreenSaverOff   ? "off"
                        : info->state == ScreenSaverCycle ? "cycle"
                                                          : "disabled");
    XFree(info);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return 64;
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "x11_probe: cannot open display\n");
        return 65;
    }
    int result = 64;
    if (std::strcmp(argv[1], "grab") == 0)
        result = Grab(display);
    else if (std::strcmp(argv[1], "close") == 0 && argc > 2)
        result = Close(display, argv[2]);
    else if (std::strcmp(argv[1], "steal") == 0)
        result = Steal(display, argc > 2 ? std::atoi(argv[2]) : 1000);
    else if (std::strcmp(argv[1], "saver") == 0)
        result = Saver(display);
    XCloseDisplay(display);
    return result;
}
