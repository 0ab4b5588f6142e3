#!/usr/bin/env python3
# The lock under real window managers, on Xvfb: scenario WM-N runs window manager WM on one
# monitor (1024 x 768) or two (2048 x 768 split with xrandr), with bindings that leave marker
# files, and then:
#
#   escapes  the thief program tries each way out (iconify, hidden state, show desktop, another
#            desktop, a full-screen window above, activation of another window, focus, a plain
#            window, a notification above, unmapping, moving, lowering, retried grabs) while a
#            toddler types shortcuts every 25 ms; after each, Tappy must be alive, mapped, on top,
#            focused, in place, holding keyboard and pointer, with no key leaked and no marker
#   mouse    buttons 1-9 (the wheel is 4-7) under no modifier, Alt, Super and Ctrl+Alt: no marker,
#            no desktop change, Tappy still holds everything
#   monitors (two monitors) the other monitor shows a plain white cover and keys reach the play
#            window; a click at the play window's top-right edge and another program's grab
#            attempts leave the pointer inside the play window
# and leaves by the corners with status 0. Scenario breakgrab-1 turns on the keymap option
# grab:break_actions under openbox and presses its keys. TAPPY_WM_FIGURES names a file to append
# the thief's lines to (window manager, attempt, keys leaked, time to recover).
#
# Exit status: 0 passed, 1 failed, 77 skipped (a tool or the window manager is missing).
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from tappy_e2e import topics  # noqa: E402
from xvfb import H, W, Tappy, bbox, check, main, run, wait_until  # noqa: E402

PLACE = "0,0,%d,%d" % (W, H)
ESCAPES = ["iconify", "hidden", "showdesktop", "desktop", "unfullscreen", "fullscreen",
           "activate", "focus", "plain", "notification", "unmap", "move", "lower", "grab"]
TODDLER = ["a", "alt+Tab", "super", "ctrl+alt+t", "alt+F2", "ctrl+alt+Right", "Print",
           "super+e", "alt+F4", "super+Return", "ctrl+alt+Left", "alt+2", "b"] * 2
# Each modifier as xdotool, openbox and i3 write it.
MODIFIERS = [(None, "", ""), ("alt", "A-", "Mod1+"), ("super", "W-", "Mod4+"),
             ("ctrl+alt", "C-A-", "Control+Mod1+")]
# Each window manager's program, and the command that starts it (CONFIG is filled in).
WMS = {
    "openbox": ("openbox", ["openbox", "--config-file", "CONFIG"]),
    "i3": ("i3", ["i3", "-c", "CONFIG"]),
    "xfwm4": ("xfwm4", ["dbus-run-session", "--", "sh", "-c", "xfce4-panel & exec xfwm4"]),
    "mutter": ("mutter", ["dbus-run-session", "--", "mutter", "--x11", "--replace"]),
    "kwin": ("kwin_x11", ["dbus-run-session", "--", "kwin_x11", "--replace"]),
}


def write_config(folder, template, marks, binds):
    # The window manager's configuration from wm/, with the marker bindings in MOUSEBINDINGS.
    text = open(os.path.join(HERE, "wm", template)).read()
    path = os.path.join(folder, template)
    with open(path, "w") as f:
        f.write(text.replace("MOUSEBINDINGS", "\n".join(binds)).replace("MARK", marks))
    return path


def openbox_config(folder, marks):
    names = {1: "Left", 2: "Middle", 3: "Right", 4: "Up", 5: "Down"}
    return write_config(folder, "openbox.xml", marks, [
        '<context name="%s">%s</context>' % (context, "".join(
            '<mousebind button="%s%s" action="Press"><action name="Execute">'
            '<command>touch %s/ob-%s-%s-%d</command></action></mousebind>'
            % (ob, names.get(b, "Button%d" % b), marks, context, mod or "none", b)
            for mod, ob, _ in MODIFIERS for b in range(1, 10)))
        for context in ("Root", "Desktop", "Client", "Frame")])


def i3_config(folder, marks):
    return write_config(folder, "i3.config", marks, [
        "bindsym --whole-window %sbutton%d exec touch %s/i3-%s-%d" % (i3, b, marks, mod or "none", b)
        for mod, _, i3 in MODIFIERS for b in range(1, 10)])


class WindowManager:
    def __init__(self, display, name):
        self.dir = tempfile.mkdtemp(prefix="tappy-wm-")
        self.marks = os.path.join(self.dir, "marks")
        os.mkdir(self.marks)
        make = {"openbox": openbox_config, "i3": i3_config}.get(name)
        config = make(self.dir, self.marks) if make else ""
        env = dict(display.env, HOME=self.dir, XDG_CONFIG_HOME=os.path.join(self.dir, "config"))
        self.log = open(os.path.join(self.dir, "wm.log"), "wb")
        self.proc = subprocess.Popen([config if a == "CONFIG" else a for a in WMS[name][1]],
                                     env=env, stdout=self.log, stderr=self.log,
                                     start_new_session=True)
        up = wait_until(lambda: self.proc.poll() is not None or "window id" in root_property(
            display, "_NET_SUPPORTING_WM_CHECK"), 30)
        check(self.proc.poll() is None, "%s exited at start: %s" % (name, self.output()))
        check(up, "%s did not come up: %s" % (name, self.output()))
        time.sleep(1.0)  # its panel and its own windows

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        if self.proc.poll() is None:
            os.killpg(self.proc.pid, 15)
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                os.killpg(self.proc.pid, 9)
        self.log.close()
        shutil.rmtree(self.dir, ignore_errors=True)

    def output(self):
        self.log.flush()
        return open(self.log.name, errors="replace").read()[-2000:]


def root_property(display, name):
    r = subprocess.run(["xprop", "-root", name], env=display.env, capture_output=True)
    return r.stdout.decode(errors="replace")


def holds_everything(display, args, tappy, wm, what, action="none", hold_ms=0):
    # Runs one attempt of the thief (or only its check) while a toddler types shortcuts; after
    # it Tappy must hold everything, with no key leaked and no binding fired. Returns its line.
    toddler = subprocess.Popen(["xdotool", "key", "--delay", "25", *TODDLER], env=display.env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    r = subprocess.run([args.probe, action, str(hold_ms), PLACE], env=display.env,
                       capture_output=True, timeout=60)
    toddler.wait()
    line = r.stdout.decode().strip()
    check(tappy.alive(), "tappy died on %s: %s" % (what, tappy.stderr()))
    check(r.returncode == 0 and " leaked=0 " in line and "won_keyboard=0 won_pointer=0" in line,
          "after %s tappy does not hold everything: %s" % (what, line))
    check(not os.listdir(wm.marks), "a binding fired on %s: %s" % (what, os.listdir(wm.marks)))
    return line


def pointer_stays(display, after):
    # A click at the play window's right edge, then moves towards the other monitor.
    display.xdo("mousemove", W - 1, 5, "click", 1)
    for move in (("mousemove", 1500, 400), ("mousemove_relative", 3000, 0)):
        display.xdo(*move)
        x = int(display.xdo("getmouselocation").split()[0].split(":")[1])
        check(x < W, "the pointer reached the other monitor after %s (%s)" % (after, move))
    display.xdo("mousemove", W // 2, H // 2)


def scenario(wm_name, monitors):
    def body(display, args):
        if monitors == 2:
            for name, x, primary in (("LEFT", 0, "screen"), ("RIGHT", W, "none")):
                run(["xrandr", "--setmonitor", name, "%d/270x%d/200+%d+0" % (W, H, x), primary],
                    env=display.env)
        with WindowManager(display, wm_name) as wm, Tappy(display, args.tappy, topics) as tappy:
            time.sleep(1.0)
            holds_everything(display, args, tappy, wm, "the start")
            if monitors == 2:
                check(bbox(display.screenshot(), lambda c: c != (255, 255, 255),
                           (W, 0, 2 * W, H)) is None, "the other monitor is not plain white")
                check(tappy.key_changes_picture("asdfgh", 1.0), "keys did not reach Tappy")
            figures = []
            for action in ESCAPES:
                figures.append("%s %d %s" % (wm_name, monitors,
                                             holds_everything(display, args, tappy, wm, action,
                                                              action, 1000)))
                print(figures[-1])
            if os.environ.get("TAPPY_WM_FIGURES"):
                with open(os.environ["TAPPY_WM_FIGURES"], "a") as f:
                    f.write("\n".join(figures) + "\n")

            desktop = root_property(display, "_NET_CURRENT_DESKTOP")
            for mod, _, _ in MODIFIERS:
                for button in range(1, 10):
                    display.xdo("mousemove", W // 2 + button, H // 2)
                    if mod:
                        display.xdo("keydown", mod, "click", button, "keyup", mod)
                    else:
                        display.xdo("click", button)
                if monitors == 2:
                    # At once: a click's release once freed the pointer until the next tick.
                    pointer_stays(display, "%s clicks" % mod)
                holds_everything(display, args, tappy, wm, "%s clicks" % mod)
                check(root_property(display, "_NET_CURRENT_DESKTOP") == desktop,
                      "%s clicks changed the desktop" % mod)

            if monitors == 2:
                pointer_stays(display, "a click at the edge")
                holds_everything(display, args, tappy, wm, "a click at the edge")
            tappy.leave_by_corners(about=False, timeout=20)
    return body


def scenario_breakgrab(display, args):
    # A keymap with grab-breaking actions (off by default): Ctrl+Alt+KP_Divide ends every grab,
    # Ctrl+Alt+KP_Multiply kills the clients that hold one. Tappy says so at start, takes the grab
    # back before the toddler's next key, and starts again when its connection is killed.
    run(["setxkbmap", "-option", "grab:break_actions"], env=display.env)
    with WindowManager(display, "openbox") as wm, Tappy(display, args.tappy, topics) as tappy:
        for _ in range(5):
            display.key("ctrl+alt+KP_Divide")
            display.key("alt+Tab")
            holds_everything(display, args, tappy, wm, "a grab-breaking key")
        # Ctrl+Alt+KP_Multiply kills every client that holds a grab: Tappy starts itself again
        # (the same process, so the same pid) and holds the screen once more.
        display.key("ctrl+alt+KP_Multiply")
        time.sleep(0.5)
        tappy.wait_for_window()
        holds_everything(display, args, tappy, wm, "a key that kills grabbing clients")
        tappy.leave_by_corners(about=False, timeout=20)
        check("grab:break_actions" in tappy.stderr(), "tappy did not say that the keymap breaks grabs")


if __name__ == "__main__":
    scenarios = {"%s-%d" % (wm, n): (scenario(wm, n), W * n) for wm in WMS for n in (1, 2)}
    scenarios["breakgrab-1"] = (scenario_breakgrab, W)
    wanted = WMS.get(sys.argv[-1].split("-")[0].replace("breakgrab", "openbox"), ("xdotool",))[0]
    sys.exit(main(scenarios, ("Xvfb", "xdotool", "xrandr", "xprop", "setxkbmap", "import",
                              "convert", "sox", wanted)))
