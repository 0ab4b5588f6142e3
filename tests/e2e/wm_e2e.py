#!/usr/bin/env python3
"""The lock under real window managers, on Xvfb: scenario WM-N runs window manager WM on one
monitor (1024 x 768) or two (2048 x 768 split with xrandr), with bindings that leave marker
files, and then:

  escapes  the thief program tries each way out (iconify, hidden state, show desktop, another
           desktop, a full-screen window above, activation of another window, focus, a plain
           window, a notification above, unmapping, moving, lowering, retried grabs) while a
           toddler types shortcuts every 25 ms; after each, Tappy must be alive, mapped, on top,
           focused, in place, holding keyboard and pointer, with no key leaked and no marker
  mouse    buttons 1-9 (the wheel is 4-7) under no modifier, Alt, Super and Ctrl+Alt: no marker,
           no desktop change, Tappy still holds everything
  monitors (two monitors) a click at the play window's top-right edge and another program's
           grab attempts leave the pointer inside the play window
and leaves by the corners with status 0. Scenario breakgrab-1 turns on the keymap option
grab:break_actions under openbox and presses its keys. TAPPY_WM_FIGURES names a file to append the thief's
lines to (window manager, attempt, keys leaked, time to recover).

Exit status: 0 passed, 1 failed, 77 skipped (a tool or the window manager is missing).
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tappy_e2e  # noqa: E402
from tappy_e2e import Failure, Tappy, check, run  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
W, H = 1024, 768
PLACE = "0,0,%d,%d" % (W, H)
ESCAPES = ["iconify", "hidden", "showdesktop", "desktop", "unfullscreen", "fullscreen",
           "activate", "focus", "plain", "notification", "unmap", "move", "lower", "grab"]
TODDLER = ["a", "alt+Tab", "super", "ctrl+alt+t", "alt+F2", "ctrl+alt+Right", "Print",
           "super+e", "alt+F4", "super+Return", "ctrl+alt+Left", "alt+2", "b"] * 2
MODIFIERS = [None, "alt", "super", "ctrl+alt"]
# The command that starts each window manager; MARK and CONFIG are filled in.
WMS = {
    "openbox": ["openbox", "--config-file", "CONFIG"],
    "i3": ["i3", "-c", "CONFIG"],
    "xfwm4": ["dbus-run-session", "--", "sh", "-c", "xfce4-panel & exec xfwm4"],
    "mutter": ["dbus-run-session", "--", "mutter", "--x11", "--replace"],
    "kwin": ["dbus-run-session", "--", "kwin_x11", "--replace"],
}
BINARIES = {"openbox": "openbox", "i3": "i3", "xfwm4": "xfwm4", "mutter": "mutter",
            "kwin": "kwin_x11"}


def openbox_config(folder, marks):
    """openbox.xml with a marker binding for every context x modifier x button."""
    names = {1: "Left", 2: "Middle", 3: "Right", 4: "Up", 5: "Down"}
    binds = []
    for context in ("Root", "Desktop", "Client", "Frame"):
        rows = []
        for mod, prefix in ((None, ""), ("alt", "A-"), ("super", "W-"), ("ctrl+alt", "C-A-")):
            for button in range(1, 10):
                name = names.get(button, "Button%d" % button)
                mark = "ob-%s-%s-%d" % (context, mod or "none", button)
                rows.append('<mousebind button="%s%s" action="Press"><action name="Execute">'
                            '<command>touch %s/%s</command></action></mousebind>'
                            % (prefix, name, marks, mark))
        binds.append('<context name="%s">%s</context>' % (context, "".join(rows)))
    text = open(os.path.join(HERE, "wm", "openbox.xml")).read()
    text = text.replace("MOUSEBINDINGS", "\n".join(binds)).replace("MARK", marks)
    path = os.path.join(folder, "rc.xml")
    with open(path, "w") as f:
        f.write(text)
    return path


def i3_config(folder, marks):
    lines = [open(os.path.join(HERE, "wm", "i3.config")).read().replace("MARK", marks)]
    for mod, prefix in ((None, ""), ("alt", "Mod1+"), ("super", "Mod4+"),
                        ("ctrl+alt", "Control+Mod1+")):
        for button in range(1, 10):
            lines.append("bindsym --whole-window %sbutton%d exec touch %s/i3-%s-%d"
                         % (prefix, button, marks, mod or "none", button))
    path = os.path.join(folder, "i3.config")
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")
    return path


class WindowManager:
    def __init__(self, display, name):
        self.dir = tempfile.mkdtemp(prefix="tappy-wm-")
        self.marks = os.path.join(self.dir, "marks")
        os.mkdir(self.marks)
        config = {"openbox": openbox_config, "i3": i3_config}.get(name)
        config = config(self.dir, self.marks) if config else ""
        cmd = [config if a == "CONFIG" else a for a in WMS[name]]
        env = dict(display.env, HOME=self.dir, XDG_CONFIG_HOME=os.path.join(self.dir, "config"))
        self.log = open(os.path.join(self.dir, "wm.log"), "wb")
        self.proc = subprocess.Popen(cmd, env=env, stdout=self.log, stderr=self.log,
                                     start_new_session=True)
        self.display = display
        for _ in range(300):
            check(self.proc.poll() is None, "%s exited at start: %s" % (name, self.output()))
            if "window id" in root_property(display, "_NET_SUPPORTING_WM_CHECK"):
                time.sleep(1.0)  # its panel and its own windows
                return
            time.sleep(0.1)
        raise Failure("%s did not come up: %s" % (name, self.output()))

    def output(self):
        self.log.flush()
        return open(self.log.name, errors="replace").read()[-2000:]

    def markers(self):
        return sorted(os.listdir(self.marks))

    def close(self):
        if self.proc.poll() is None:
            os.killpg(self.proc.pid, 15)
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                os.killpg(self.proc.pid, 9)
        self.log.close()
        shutil.rmtree(self.dir, ignore_errors=True)


def root_property(display, name):
    r = subprocess.run(["xprop", "-root", name], env=display.env, capture_output=True)
    return r.stdout.decode(errors="replace")


def thief(display, program, action, hold_ms=1000):
    """Runs one attempt while a toddler types shortcuts; returns the thief's line."""
    toddler = subprocess.Popen(["xdotool", "key", "--delay", "25", *TODDLER], env=display.env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    r = subprocess.run([program, action, str(hold_ms), PLACE], env=display.env,
                       capture_output=True, timeout=60)
    toddler.wait()
    return r.returncode, r.stdout.decode().strip()


def holds_everything(display, thief_program, tappy, wm, what):
    check(tappy.alive(), "tappy died %s: %s" % (what, tappy.stderr()))
    code, line = thief(display, thief_program, "none", 0)
    check(code == 0, "after %s tappy does not hold everything: %s" % (what, line))
    check(not wm.markers(), "after %s a binding fired: %s" % (what, wm.markers()))


def scenario(wm_name, monitors):
    def body(display, args):
        program, thief_program = os.path.abspath(args.tappy), args.probe
        if monitors == 2:
            for name, x, primary in (("LEFT", 0, "screen"), ("RIGHT", W, "none")):
                run(["xrandr", "--setmonitor", name, "%d/270x%d/200+%d+0" % (W, H, x), primary],
                    env=display.env)
        wm = WindowManager(display, wm_name)
        tappy = None
        try:
            tappy = Tappy(display, program, "topics")
            time.sleep(1.0)
            holds_everything(display, thief_program, tappy, wm, "the start")
            figures = []
            for action in ESCAPES:
                code, line = thief(display, thief_program, action)
                figures.append("%s %d %s" % (wm_name, monitors, line))
                print(figures[-1])
                check(tappy.alive(), "tappy died on %s: %s" % (action, tappy.stderr()))
                check(code == 0, "tappy did not take everything back: " + line)
                check(" leaked=0 " in line and "won_keyboard=0 won_pointer=0" in line,
                      "input leaked: " + line)
                check(not wm.markers(), "a binding fired during %s: %s" % (action, wm.markers()))
            if os.environ.get("TAPPY_WM_FIGURES"):
                with open(os.environ["TAPPY_WM_FIGURES"], "a") as f:
                    f.write("\n".join(figures) + "\n")

            desktop = root_property(display, "_NET_CURRENT_DESKTOP")
            for mod in MODIFIERS:
                for button in range(1, 10):
                    display.xdo("mousemove", W // 2 + button, H // 2)
                    if mod:
                        display.xdo("keydown", mod, "click", button, "keyup", mod)
                    else:
                        display.xdo("click", button)
                holds_everything(display, thief_program, tappy, wm, "%s clicks" % mod)
                check(root_property(display, "_NET_CURRENT_DESKTOP") == desktop,
                      "%s clicks changed the desktop" % mod)

            if monitors == 2:
                display.xdo("mousemove", W - 1, 5, "click", 1)
                for move in (("mousemove", 1500, 400), ("mousemove_relative", 3000, 0)):
                    display.xdo(*move)
                    x = int(display.xdo("getmouselocation").split()[0].split(":")[1])
                    check(x < W, "the pointer reached the other monitor after %s" % (move,))
                holds_everything(display, thief_program, tappy, wm, "a click at the edge")

            display.xdo("mousemove", W // 2, H // 2, "click", 1)  # disarm
            display.click(5, 5)
            display.click(W - 5, 5)
            code = tappy.wait_exit(20)
            check(code == 0, "tappy did not end with status 0 after the corners (%r): %s"
                  % (code, tappy.stderr()))
        finally:
            if tappy:
                tappy.close()
            wm.close()
    return body


def scenario_breakgrab(display, args):
    """A keymap with grab-breaking actions (off by default): Ctrl+Alt+KP_Divide ends every grab,
    Ctrl+Alt+KP_Multiply kills the clients that hold one. Tappy says so at start, takes the grab
    back before the toddler's next key, and starts again when its connection is killed."""
    program, thief_program = os.path.abspath(args.tappy), args.probe
    run(["setxkbmap", "-option", "grab:break_actions"], env=display.env)
    wm = WindowManager(display, "openbox")
    tappy = None
    try:
        tappy = Tappy(display, program, "topics")
        for _ in range(5):
            display.key("ctrl+alt+KP_Divide")
            display.key("alt+Tab")
            holds_everything(display, thief_program, tappy, wm, "a grab-breaking key")
        # Ctrl+Alt+KP_Multiply kills every client that holds a grab: Tappy starts itself again
        # (the same process, so the same pid) and holds the screen once more.
        display.key("ctrl+alt+KP_Multiply")
        time.sleep(0.5)
        tappy.wait_for_window()
        holds_everything(display, thief_program, tappy, wm, "a key that kills grabbing clients")
        display.xdo("mousemove", W // 2, H // 2, "click", 1)
        display.click(5, 5)
        display.click(W - 5, 5)
        check(tappy.wait_exit(20) == 0, "tappy did not end after the corners")
        check("grab:break_actions" in tappy.proc.stderr.read().decode(errors="replace"),
              "tappy did not say that the keymap breaks grabs")
    finally:
        if tappy:
            tappy.close()
        wm.close()


def main():
    scenarios = {"%s-%d" % (wm, n): (scenario(wm, n), W * n) for wm in WMS for n in (1, 2)}
    scenarios["breakgrab-1"] = (scenario_breakgrab, W)
    wanted = sys.argv[-1].split("-")[0].replace("breakgrab", "openbox")
    tools = ("Xvfb", "xdotool", "xrandr", "xprop", "setxkbmap", "import", "convert", "sox",
             BINARIES.get(wanted, "xdotool"))
    return tappy_e2e.main(scenarios, tools)


if __name__ == "__main__":
    sys.exit(main())
