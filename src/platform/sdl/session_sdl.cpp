// The platform's owner and the desktop session: video start-up and the session kind, decided
// once; the X11 part on SDL's own connection; the monitors; the one-instance lock; the screen
// saver; the platform's start-up and shut-down in one place.
#include "platform/sdl/backend.h"
#include "platform/session.h"
#include "platform/sound.h"
#include "platform/wayland/wayland_lock.h"
#include "platform/x11/x11_lock.h"
#include "platform/x11/x11_session.h"

#include <SDL_syswm.h>
#include <SDL_ttf.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

// The owner's state; see backend.h for its life.
tappy::PlatformState* g_platform = nullptr;

void SetHints()
{
    // SDL tries X11 first, and through Xwayland no keyboard grab holds a compositor's shortcuts.
    if (const char* order =
            tappy::VideoDriverOrder(SDL_getenv("SDL_VIDEODRIVER"), SDL_getenv("WAYLAND_DISPLAY")))
        SDL_SetHint(SDL_HINT_VIDEODRIVER, order);
    // A terminating signal must still end the program: an adult's kill has to work, since
    // close requests are what the window ignores.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // Otherwise SDL minimises a grabbed full-screen window on Alt+Tab or on any focus loss.
    SDL_SetHint(SDL_HINT_ALLOW_ALT_TAB_WHILE_GRABBED, "0");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    SDL_SetHint(SDL_HINT_GRAB_KEYBOARD, "1");
    // Tappy paints from its own CPU back buffer; a GL-backed window surface would only load a
    // software renderer (about 70 MB resident under Xvfb) to copy the same pixels.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    // SDL would grab the pointer itself on every button press and let go of it on release, and
    // on X11 that replaces the lock's grab, confinement and all.
    SDL_SetHint(SDL_HINT_MOUSE_AUTO_CAPTURE, "0");
    // One close request would otherwise arrive twice (as a window close and as a quit).
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
}

// SDL hands out its X connection only through a window. This one is never shown; it exists so
// that the monitors can be read before the first window is made, and the lock keys put back
// after the last one has gone, without a second connection.
void AttachX11(tappy::PlatformState& state)
{
    state.connectionWindow = SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_HIDDEN);
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (state.connectionWindow && SDL_GetWindowWMInfo(state.connectionWindow, &info) &&
        info.subsystem == SDL_SYSWM_X11)
        state.x11 = std::make_unique<tappy::x11::Session>(info.info.x11.display);
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
Claim ClaimInstanceLock(tappy::PlatformState& state)
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
    state.instanceLockPath = path;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
        state.instanceLockFd = fd;
        return Claim::mine;
    }
    const int err = errno;
    close(fd);
    return err == EWOULDBLOCK ? Claim::taken : Claim::unknown;
}

std::string RaisePath(const tappy::PlatformState& state)
{
    return state.instanceLockPath + ".raise";
}

} // namespace

namespace tappy {

PlatformState::PlatformState() = default;
PlatformState::~PlatformState() = default;

PlatformState& Platform()
{
    if (!g_platform)
        g_platform = new PlatformState();
    return *g_platform;
}

PlatformOwner::PlatformOwner()
{
    Platform();
}

bool PlatformOwner::Start()
{
    // With no display SDL quietly falls back to its offscreen driver, which would leave an
    // invisible program running; only an explicit request (as in the tests) may have that.
    const char* requested = SDL_getenv("SDL_VIDEODRIVER");
    const bool started = EnsureVideo();
    if (!started || (!VideoHasDisplay() && !(requested && *requested))) {
        std::fprintf(stderr,
                     "Tappy: cannot open the display (%s).\n"
                     "Tappy runs full-screen on a graphical desktop (X11 or Wayland).\n",
                     started ? "no screen found" : SDL_GetError());
        return false;
    }
    // Without fonts the words are not drawn; without sound the play is silent. Neither stops
    // the program.
    TTF_Init();
    SoundStartup();
    return true;
}

PlatformOwner::~PlatformOwner()
{
    // Windows first: a CWnd destroyed after SDL_Quit would touch a freed window. The TTF
    // library stays open, since fonts held by static objects are closed after this returns.
    DestroyAllWindows();
    ReleaseWindowSurfaces();
    EndSession();
    SoundShutdown();
    PlatformState* state = g_platform;
    g_platform = nullptr;
    if (state) {
        state->x11.reset();
        if (state->connectionWindow)
            SDL_DestroyWindow(state->connectionWindow);
        delete state->hook;
        delete state;
    }
    SDL_Quit();
}

bool EnsureVideo()
{
    PlatformState& state = Platform();
    if (!SDL_WasInit(SDL_INIT_VIDEO)) {
        SetHints();
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
            return false;
    }
    if (state.session != SessionKind::none)
        return true;
    state.session = SessionKindForDriver(SDL_GetCurrentVideoDriver());
    if (state.session == SessionKind::x11) {
        AttachX11(state);
        // After SDL's video has started, so that SDL's own handler (which ends the program on
        // any error) is replaced: no X error may end the lock.
        x11::InstallErrorHandler();
        // The keyboard lock watches X11 events as they happen (see keyboard_sdl.cpp).
        SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
    }
    if (state.session == SessionKind::wayland) {
        // SDL's grab would make a second shortcuts inhibitor beside the lock's own, which the
        // compositor ends the connection for.
        SDL_SetHint(SDL_HINT_GRAB_KEYBOARD, "0");
    }
    return true;
}

bool VideoHasDisplay()
{
    const SessionKind kind = Platform().session;
    return SDL_WasInit(SDL_INIT_VIDEO) && kind != SessionKind::none &&
           kind != SessionKind::headless;
}

x11::Session* X11()
{
    return Platform().x11.get();
}

unsigned long X11Window(SDL_Window* window)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!X11() || !window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11)
        return 0;
    return info.info.x11.window;
}

std::vector<MonitorRect> Monitors()
{
    if (!EnsureVideo())
        return {};
    if (x11::Session* x11 = X11()) {
        std::vector<MonitorRect> monitors = x11->Monitors();
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
    PlatformState& state = Platform();
    if (state.x11)
        state.x11->RestoreLockKeys();
    if (state.raiseFd >= 0) {
        close(state.raiseFd);
        unlink(RaisePath(state).c_str());
        state.raiseFd = -1;
    }
    if (state.instanceLockFd >= 0) {
        // Not removed: a start racing this exit may already hold the same file open.
        close(state.instanceLockFd);
        state.instanceLockFd = -1;
    }
}

} // namespace tappy

bool ClaimDesktopSession(const char* title)
{
    if (!title)
        title = "";
    if (!tappy::EnsureVideo())
        return true;
    tappy::PlatformState& state = tappy::Platform();
    switch (ClaimInstanceLock(state)) {
    case Claim::taken:
        if (state.x11)
            state.x11->RaiseTitled(title);
        else if (state.session == tappy::SessionKind::wayland)
            tappy::wayland::SendRaise(RaisePath(state), tappy::wayland::ActivationToken());
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
        if (state.session == tappy::SessionKind::wayland)
            state.raiseFd = tappy::wayland::ListenForRaise(RaisePath(state));
        break;
    }
    if (state.x11)
        state.x11->RememberLockKeys();
    // SDL already suspends the X screen saver (and DPMS with it) and inhibits it over D-Bus at
    // start unless told otherwise; said here so that no hint can quietly turn it back on.
    SDL_DisableScreenSaver();
    const std::string notice = tappy::WaylandNotice(std::getenv("WAYLAND_DISPLAY"),
                                                    std::getenv("XDG_SESSION_TYPE"), state.session);
    if (!notice.empty())
        std::fprintf(stderr, "%s\n", notice.c_str());
    return true;
}
