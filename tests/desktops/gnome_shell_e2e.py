#!/usr/bin/env python3
# Tappy under a headless GNOME Shell on Wayland (1280 x 800), on a bus of its own, with keys and
# pointer sent through mutter's remote-desktop interface:
#
#   asked    without the permission the shell's dialog stands over Tappy, whose play screen says
#            the shortcuts are not locked; Escape answers Deny, after which Super opens the
#            overview and the permission store holds the Deny
#   granted  after tappy-content desktop a fresh start shows neither; after Super and Alt+F4
#            the corners end Tappy with 0 and the overview is shut
#
# Exit status: 0 passed, 1 failed, 77 skipped (gnome-shell or python3-dbus is missing).
import importlib.util, os, shutil, subprocess, sys, tempfile, time  # noqa: E401

sys.dont_write_bytecode = True  # no caches left in the source tree
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "support"))
from sway import kill_all_of, stop, wait_until  # noqa: E402
from xvfb import SKIP, check, run  # noqa: E402

W, H, ESC, SUPER, ALT, F4 = 1280, 800, 1, 125, 56, 62  # the screen; evdev key codes
STORE = "org.freedesktop.impl.portal.PermissionStore"


def scenario(folder, tappy, content):
    import dbus.bus
    # The shell keeps an answer only for a desktop entry whose program is on the path; an empty
    # map leaves Tappy a still white scene.
    app, runtime = folder + "/app", folder + "/run"
    os.makedirs(folder + "/data/applications"), os.mkdir(app), os.mkdir(runtime, 0o700)
    shutil.copy(HERE + "/../../res/tappy.desktop", folder + "/data/applications")
    open(app + "/Tappy.map", "w").close()
    env = dict(os.environ, XDG_RUNTIME_DIR=runtime, HOME=folder, XDG_DATA_HOME=folder + "/data",
               PATH=app + ":" + os.environ["PATH"], XDG_CURRENT_DESKTOP="GNOME",
               WAYLAND_DISPLAY="wayland-0", SDL_VIDEODRIVER="wayland",
               ASAN_OPTIONS="detect_leaks=0:" + os.environ.get("ASAN_OPTIONS", ""))
    # One bus stands for both: what the shell asks of the system bus is simply not there.
    env["DBUS_SESSION_BUS_ADDRESS"] = env["DBUS_SYSTEM_BUS_ADDRESS"] = run(
        ["dbus-daemon", "--session", "--print-address", "--fork", "--address=unix:dir=" + runtime],
        env=env, text=True).stdout.strip()
    # The session sees no activity, so banners would stand over the top of Tappy for good.
    run(["gsettings", "set", "org.gnome.desktop.notifications", "show-banners", "false"], env=env)
    subprocess.Popen(["gnome-shell", "--headless", "--wayland", "--no-x11", "--virtual-monitor",
                      "%dx%d" % (W, H)], env=env)
    tappy = shutil.copy2(tappy, app)
    bus = dbus.bus.BusConnection(env["DBUS_SESSION_BUS_ADDRESS"])
    bus.request_name("org.gnome.Screenshot")  # the shell takes screenshots only for its holder
    check(wait_until(lambda: all(map(bus.name_has_owner, ("org.gnome.Shell.Screenshot",
                     "org.gnome.Mutter.RemoteDesktop"))), 60), "the shell did not come up")
    gnome = lambda name, path=None: dbus.Interface(bus.get_object(  # noqa: E731
        "org.gnome." + name.split(".Session")[0], path or "/org/gnome/" + name.replace(".", "/")),
        "org.gnome." + name)
    keys = gnome("Mutter.RemoteDesktop.Session", gnome("Mutter.RemoteDesktop").CreateSession())
    keys.Start()
    overview = lambda: gnome("Shell").Get("org.gnome.Shell", "OverviewActive",  # noqa: E731
                                          dbus_interface="org.freedesktop.DBus.Properties")

    def press(*codes):
        for code, down in [(c, True) for c in codes] + [(c, False) for c in reversed(codes)]:
            keys.NotifyKeyboardKeycode(dbus.UInt32(code), down)

    def shown(want, what):  # (the dialog's dark box in the middle, lines of text at the top)
        def screen():
            gnome("Shell.Screenshot").Screenshot(False, False, folder + "/shot.png")
            px = run(["convert", folder + "/shot.png", "-depth", "8", "gray:-"]).stdout
            rows = [min(px[y * W:(y + 1) * W]) < 40 for y in range(60)]
            return px[H // 2 * W + W // 2] < 100, sum(b > a for a, b in zip([0] + rows, rows))
        check(wait_until(lambda: screen() == want, 20, 0.5), "%s: %s" % (what, screen()))

    def start(said):  # the shell starts in the overview, which would stand over Tappy
        check(wait_until(lambda: not overview() or press(ESC), 30, 0.5), "the overview stays")
        proc = subprocess.Popen([tappy], cwd="/", env=env, stderr=open(folder + "/err", "w"))
        check(wait_until(lambda: said in open(folder + "/err").read(), 60), "no " + said)
        return proc

    check(wait_until(overview, 30), "the shell did not start in the overview")
    proc = start("not granted yet")
    shown((True, 2), "no dialog over the not-locked line: (dialog, text lines)")
    press(ESC)
    shown((False, 2), "denied, (dialog, text lines)")
    press(SUPER)
    check(wait_until(overview, 20), "Super did not open the overview once denied")
    # The shell files the answer before its dialog goes.
    denied = bus.get_object(STORE, "/" + STORE.replace(".", "/")).Lookup(
        "gnome", "shortcuts-inhibitor", dbus_interface=STORE)[0].get("tappy.desktop")
    check(denied == ["DENIED"], "Escape stored %s" % denied)
    stop(proc)
    run([content, "desktop"], env=env)
    proc = start("shortcuts held")
    shown((False, 1), "granted, (dialog, text lines)")
    # The corners come after the keys: a shell that had taken either would have the clicks.
    press(SUPER), press(ALT, F4)
    for dx in (-W, W):  # relative: absolute motion needs a screen-cast stream
        keys.NotifyPointerMotionRelative(dbus.Double(dx), dbus.Double(-H))
        time.sleep(0.5)  # the shell moves the pointer at its next frame
        keys.NotifyPointerButton(272, True), keys.NotifyPointerButton(272, False)  # BTN_LEFT
    check(wait_until(lambda: proc.poll() is not None, 30) and proc.returncode == 0 and not
          overview(), "the corners left Tappy with %s; overview %s" % (proc.poll(), overview()))


def main():
    if not (shutil.which("gnome-shell") and importlib.util.find_spec("dbus")):
        print("SKIP: gnome-shell or python3-dbus is not installed")
        return SKIP
    folder = tempfile.mkdtemp(prefix="tappy-gnome-")
    try:  # a failure ends in a traceback, status 1, after the shell's own output
        scenario(folder, *sys.argv[1:3])
    finally:
        kill_all_of(folder + "/run")
        subprocess.run(["fusermount3", "-uzq", folder + "/run/doc"])  # the document portal's
        shutil.rmtree(folder, ignore_errors=True)
    print("PASS")
    return 0

if __name__ == "__main__":
    sys.exit(main())
