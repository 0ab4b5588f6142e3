// The platform's owner and the desktop session: video start-up and the session kind, decided
// once as the desktop object; the monitors; the one-instance lock; the screen saver; the
// platform's start-up and shut-down in one place.
#include "platform/sdl/backend.h"
#include "platform/session.h"
#include "platform/sound.h"

#include <SDL_ttf.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

// The live owner, and whether one has shut down; see backend.h for their life.
struct {
    tappy::PlatformOwner* live = nullptr;
    tappy::PlatformState* state = nullptr; // the live owner's, kept for the many calls per key
    bool shutDown = false;
} g_owner;

// Programming errors, not states to recover from: each would leave a second, empty platform.
void Refuse(bool wrong, const char* what)
{
    if (!wrong)
        return;
    std::fprintf(stderr, "Tappy: %s.\n", what);
    std::abort();
}

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
    tappy::NameWaylandApp();
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

PlatformState::PlatformState() : desktop(MakeDesktop(SessionKind::none)) {}
PlatformState::~PlatformState() = default;

PlatformState& Platform()
{
    if (g_owner.state)
        return *g_owner.state;
    Refuse(g_owner.shutDown, "the platform was used after its shut-down");
    if (!g_owner.live) {
        // Never destroyed: nothing ends a process that has no entry point.
        static PlatformOwner* const fallback = new PlatformOwner();
        (void)fallback;
    }
    return *g_owner.state;
}

Desktop& TheDesktop()
{
    return *Platform().desktop;
}

PlatformOwner::PlatformOwner() : m_state(std::make_unique<PlatformState>())
{
    Refuse(g_owner.live || g_owner.shutDown, "a second platform owner was made");
    g_owner.live = this;
    g_owner.state = m_state.get();
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
    SoundStartLater();
    return true;
}

PlatformOwner::~PlatformOwner()
{
    Finish();
}

bool PlatformOwner::Finish()
{
    if (m_bFinished)
        return true;
    // Windows first: a CWnd destroyed after SDL_Quit would touch a freed window. The TTF
    // library stays open, since fonts held by static objects are closed after this returns.
    DestroyAllWindows();
    m_state->desktop->ReleaseWindowSurfaces();
    EndSession();
    if (!SoundShutdown())
        return false;
    m_bFinished = true;
    m_state->hook.reset();
    m_state->desktop.reset();
    g_owner = {nullptr, nullptr, true};
    m_state.reset();
    SDL_Quit();
    return true;
}

bool EnsureVideo()
{
    PlatformState& state = Platform();
    if (!SDL_WasInit(SDL_INIT_VIDEO)) {
        SetHints();
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
            return false;
    }
    if (!state.sessionDecided) {
        state.sessionDecided = true;
        state.desktop = MakeDesktop(SessionKindForDriver(SDL_GetCurrentVideoDriver()));
    }
    return true;
}

bool VideoHasDisplay()
{
    return SDL_WasInit(SDL_INIT_VIDEO) && TheDesktop().HasDisplay();
}

std::vector<MonitorRect> Monitors()
{
    if (!EnsureVideo())
        return {};
    return TheDesktop().Monitors();
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
    state.desktop->EndSession();
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
        state.desktop->RaiseRunning(title, RaisePath(state));
        std::fprintf(stderr,
                     "%s is already running on this display; it has been asked to come to "
                     "the front (a desktop may only mark it as wanting attention).\n",
                     *title ? title : "Tappy");
        return false;
    case Claim::unknown:
        std::fprintf(stderr, "Tappy: cannot tell whether Tappy already runs on this display; "
                             "starting anyway.\n");
        break;
    case Claim::mine:
        state.desktop->ListenForRaise(RaisePath(state));
        break;
    }
    state.desktop->RememberLockKeys();
    // SDL already suspends the X screen saver (and DPMS with it) and inhibits it over D-Bus at
    // start unless told otherwise; said here so that no hint can quietly turn it back on.
    SDL_DisableScreenSaver();
    const std::string notice = tappy::WaylandNotice(
        std::getenv("WAYLAND_DISPLAY"), std::getenv("XDG_SESSION_TYPE"), state.desktop->kind());
    if (!notice.empty())
        std::fprintf(stderr, "%s\n", notice.c_str());
    return true;
}
