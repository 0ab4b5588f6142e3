#!/usr/bin/env python3
"""Tappy's lock on a Wayland compositor: headless sway (support/sway.py) with one output (1) or
two side by side (2), 1024 x 768 each, driven by wl_input's virtual keyboard and pointer.

First, without Tappy, the harness proves itself: the devices are sway's inputs, a key reaches a
plain window, every shortcut below leaves its marker (1), swayidle's timeout fires (1), the
pointer moves focus to the other output (2). Then Tappy starts as a desktop starts a program and
must say "Tappy on Wayland: ... shortcuts held" before any key is pressed, and:

  shortcuts  Super+Return, Alt+Tab, Super+D, Super+Shift+E, Alt+Esc, Ctrl+Esc, Super+2,
             Ctrl+Alt+Left and Alt+F4 (bound to kill) leave no marker; Tappy lives, focused
             and full screen; no output shows the desktop's background
  covers     (2) another Tappy window is full screen on the other output; clicks there leave
             a Tappy window focused and the shortcuts held
  focus      (1) another window and another workspace are focused by force and Tappy is
             focused back as a parent would: it is full screen again
  idle       (1) swayidle's timeout does not fire while Tappy runs
  instance   (1) a second start exits 0 and the first stays focused and full screen
  corners    a click at the play output's top-left, then top-right pixel ends Tappy with 0

Exit status: 0 passed, 1 failed, 77 skipped (sway or a tool is missing).
"""
import argparse
import os
import select
import shutil
import signal
import subprocess
import sys
import threading
import time

sys.dont_write_bytecode = True  # no caches left in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from sway import H, W, Failure, Sway, check, wait_until  # noqa: E402

SKIP = 77
BTN_LEFT = 0x110
KEY_A = 30
# Marker name, sway's combination, what else the binding does, evdev codes pressed in order.
SHORTCUTS = [
    ("super-return", "Mod4+Return", None, [125, 28]),
    ("alt-tab", "Mod1+Tab", None, [56, 15]),
    ("super-d", "Mod4+d", None, [125, 32]),
    ("super-shift-e", "Mod4+Shift+e", None, [125, 42, 18]),
    ("alt-esc", "Mod1+Escape", None, [56, 1]),
    ("ctrl-esc", "Control+Escape", None, [29, 1]),
    ("super-2", "Mod4+2", None, [125, 3]),
    ("ctrl-alt-left", "Control+Mod1+Left", None, [29, 56, 105]),
    ("alt-f4", "Mod1+F4", "kill", [56, 62]),
]
# Bound to fire even while a client holds the shortcuts: pressed after the others, its marker
# says that sway has handled them all.
SENTINEL = ("sentinel", "--inhibited Mod4+Shift+F12", None, [125, 42, 88])
BINDINGS = {name: (combo, extra) for name, combo, extra, _ in SHORTCUTS + [SENTINEL]}
# Generous: a sanitized Tappy on a loaded machine. Reaching a limit is a failure, not a figure.
START_LIMIT = 60
SETTLE_LIMIT = 15


class Lines:
    """A child's output read line by line, each read with a limit."""

    def __init__(self, stream, name):
        self.fd, self.name, self.buf, self.seen = stream.fileno(), name, b"", []

    def read(self, limit):
        end = time.monotonic() + limit
        while b"\n" not in self.buf:
            left = end - time.monotonic()
            if left <= 0 or not select.select([self.fd], [], [], left)[0]:
                raise Failure("%s said nothing within %d s" % (self.name, limit))
            chunk = os.read(self.fd, 4096)
            check(chunk, "%s ended" % self.name)
            self.buf += chunk
        line, self.buf = self.buf.split(b"\n", 1)
        self.seen.append(line.decode(errors="replace"))
        return self.seen[-1]

    def wait_for(self, text, limit):
        # Also a line read before.
        end = time.monotonic() + limit
        while text not in self.seen:
            try:
                self.read(max(0.1, end - time.monotonic()))
            except Failure:
                raise Failure("%s never said %r (said %s)" % (self.name, text, self.seen))


class Input:
    """wl_input's keyboard and pointer: every call returns once sway has seen it."""

    def __init__(self, sway, program):
        self.proc = sway.start([program, "%dx%d" % (W * sway.outputs, H)], desktop=False,
                               stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.out = Lines(self.proc.stdout, "the input client")
        check(self.out.read(20) == "ready", "the input client did not start")

    def send(self, *words):
        try:
            self.proc.stdin.write((" ".join(map(str, words)) + "\n").encode())
            self.proc.stdin.flush()
        except BrokenPipeError:
            raise Failure("the input client ended (status %s)" % self.proc.poll())
        reply = self.out.read(20)
        check(reply == "ok", "the input client answered %r to %s" % (reply, words))

    def press(self, codes):
        for code in codes:
            self.send("key", code, 1)
        for code in reversed(codes):
            self.send("key", code, 0)

    def click_at(self, x, y):
        self.send("move", x, y)
        self.send("click", BTN_LEFT)


class Window:
    """wl_input's plain window: what takes the focus from Tappy."""

    def __init__(self, sway, program, app_id="thief"):
        self.proc = sway.start([program, "--window", app_id], desktop=False,
                               stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.out = Lines(self.proc.stdout, "the %s window" % app_id)
        self.out.wait_for("mapped", 20)


class Tappy:
    def __init__(self, sway, program):
        env = dict(sway.env, SDL_AUDIODRIVER="dummy")
        # As the X11 scripts: SDL's libraries keep what they allocate; Tappy's own code is
        # leak-checked by the unit tests.
        env["ASAN_OPTIONS"] = "detect_leaks=0:" + env.get("ASAN_OPTIONS", "")
        self.program, self.env = program, env
        self.proc = sway.start([program], desktop=False, cwd="/", env=env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        self.lines = []
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for raw in self.proc.stderr:
            self.lines.append(raw.decode(errors="replace").rstrip("\n"))

    def alive(self):
        return self.proc.poll() is None

    def stderr(self):
        return "\n".join(self.lines[-40:])

    def status(self):
        said = [line for line in self.lines if line.startswith("Tappy on Wayland:")]
        return said[-1] if said else None

    def wait_held(self):
        def held():
            status = self.status()
            return not self.alive() or (status is not None and "shortcuts held" in status)

        wait_until(held, START_LIMIT)
        check(self.alive(), "tappy exited (status %s) before holding the shortcuts:\n%s"
              % (self.proc.returncode, self.stderr()))
        check(self.status() and "shortcuts held" in self.status(),
              "no \"Tappy on Wayland: ... shortcuts held\" line within %d s (last status: %r); "
              "stderr:\n%s" % (START_LIMIT, self.status(), self.stderr()))

    def wait_exit(self, limit):
        try:
            return self.proc.wait(limit)
        except subprocess.TimeoutExpired:
            return None


def describe(views):
    return ", ".join("%s on %s (fullscreen_mode %s%s)"
                     % (v.get("app_id") or "X11 %s" % (v.get("window_properties") or {}).get(
                         "class"), v["output"], v.get("fullscreen_mode"),
                        ", focused" if v.get("focused") else "") for v in views) or "no windows"


def holding(sway, tappy):
    # None while Tappy holds the screen, else what is wrong.
    if not tappy.alive():
        return "tappy exited (status %s):\n%s" % (tappy.proc.returncode, tappy.stderr())
    views = sway.views()
    focused = [v for v in views if v.get("focused")]
    if not focused or focused[0].get("app_id") != "tappy":
        return "the focus is not on a \"tappy\" window: " + describe(views)
    play = focused[0]
    if play.get("fullscreen_mode") != 1:
        return "the focused tappy window is not full screen: " + describe(views)
    for output in sway.msg("get_outputs"):
        if output["name"] != play["output"] and not any(
                v.get("app_id") == "tappy" and v["output"] == output["name"]
                and v.get("fullscreen_mode") == 1 for v in views):
            return "no full-screen tappy window covers %s: %s" % (output["name"], describe(views))
    return None


def check_holding(sway, tappy, after):
    # The compositor and Tappy answer each other asynchronously: allow them to settle.
    wait_until(lambda: holding(sway, tappy) is None, SETTLE_LIMIT)
    problem = holding(sway, tappy)
    check(problem is None, "after %s: %s" % (after, problem))


def play_output(sway):
    # The play window is the one titled "Tappy"; the covers have no title.
    play = [v for v in sway.views() if v.get("app_id") == "tappy" and v.get("name") == "Tappy"]
    rects = {o["name"]: o["rect"] for o in sway.msg("get_outputs")}
    return play[0]["output"], rects[play[0]["output"]]


def press_shortcuts(sway, keys):
    # The markers of the shortcuts that reached sway.
    for _, _, _, codes in SHORTCUTS + [SENTINEL]:
        keys.press(codes)
    check(wait_until(lambda: "sentinel" in sway.markers(), SETTLE_LIMIT),
          "sway never handled the last key (%s)" % SENTINEL[1])
    fired = [name for name in sway.markers() if name != "sentinel"]
    sway.clear_markers()
    return fired


def proves_harness(sway, keys, program):
    inputs = {i["type"] for i in sway.msg("get_inputs")}
    check({"keyboard", "pointer"} <= inputs, "sway lists no virtual keyboard and pointer: %s"
          % inputs)
    window = Window(sway, program)
    window.out.wait_for("focus 1", 10)
    keys.press([KEY_A])
    window.out.wait_for("key %d 1" % KEY_A, 10)
    sway.stop(window.proc)
    fired = press_shortcuts(sway, keys)
    check(len(fired) == len(SHORTCUTS), "without Tappy only these bindings fired: %s" % fired)


def swayidle_fires(sway, limit):
    idle = sway.start(["swayidle", "-w", "timeout", "1", "touch %s/idle" % sway.marks],
                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        return wait_until(lambda: "idle" in sway.markers(), limit)
    finally:
        sway.stop(idle)
        sway.clear_markers()


def check_shortcuts(sway, tappy, keys):
    fired = press_shortcuts(sway, keys)
    check(not fired, "shortcuts reached sway while Tappy ran: %s" % fired)
    check_holding(sway, tappy, "the shortcuts")
    for output in sway.msg("get_outputs"):
        # A window that has just gone full screen may not have drawn its new size yet.
        wait_until(lambda: sway.background_at(output["name"]) is None, SETTLE_LIMIT, 0.5)
        at = sway.background_at(output["name"])
        check(at is None, "the desktop's background shows on %s at %s" % (output["name"], at))


def check_focus(sway, tappy, program):
    play = [v for v in sway.views() if v.get("focused")][0]["id"]
    window = Window(sway, program)
    try:
        sway.command("[app_id=thief] focus")
        # Tappy may take the focus back at once: the window's keyboard says it had it.
        window.out.wait_for("focus 1", SETTLE_LIMIT)
        sway.command("[con_id=%d] focus" % play)
        check_holding(sway, tappy, "another window took the focus")
    finally:
        sway.stop(window.proc)
    sway.command("workspace tappy-elsewhere")
    sway.command("[con_id=%d] focus" % play)
    check_holding(sway, tappy, "another workspace was shown")


def check_other_output(sway, tappy, keys):
    # The pointer may cross to the other output, where only Tappy's cover shows: clicks there
    # leave a Tappy window focused, and the shortcuts stay held while the cover has the focus.
    name, _ = play_output(sway)
    other = [o for o in sway.msg("get_outputs") if o["name"] != name][0]["rect"]
    for x, y in ((other["x"] + other["width"] // 2, other["y"] + other["height"] // 2),
                 (other["x"] + other["width"] - 1, other["y"] + other["height"] - 1),
                 (other["x"], other["y"])):
        keys.click_at(x, y)
        check_holding(sway, tappy, "a click at (%d, %d) on the other output" % (x, y))
    fired = press_shortcuts(sway, keys)
    check(not fired, "shortcuts reached sway after a click on the other output: %s" % fired)


def tappy_windows(sway):
    return [v["id"] for v in sway.views() if v.get("app_id") == "tappy"]


def check_instance(sway, tappy):
    before = tappy_windows(sway)
    try:
        second = subprocess.run([tappy.program], env=tappy.env, cwd="/", capture_output=True,
                                timeout=START_LIMIT)
    except subprocess.TimeoutExpired:
        raise Failure("a second start did not end within %d s" % START_LIMIT)
    check(second.returncode == 0, "a second start exited %d:\n%s"
          % (second.returncode, second.stderr.decode(errors="replace")[-2000:]))
    check_holding(sway, tappy, "a second start")
    check(tappy_windows(sway) == before, "a second start left other tappy windows: %s"
          % describe(sway.views()))


def leave_by_corners(sway, tappy, keys):
    _, rect = play_output(sway)
    keys.click_at(rect["x"], rect["y"])
    keys.click_at(rect["x"] + rect["width"] - 1, rect["y"])
    code = tappy.wait_exit(30)
    check(code == 0, "tappy did not exit with status 0 after the corners (%r):\n%s"
          % (code, tappy.stderr()))


def scenario(sway, args):
    keys = Input(sway, args.input)
    if sway.outputs == 1:
        proves_harness(sway, keys, args.input)
        check(swayidle_fires(sway, 15), "without Tappy swayidle's 1 s timeout never fired")
    else:
        for x in (W + W // 2, W // 2):
            keys.click_at(x, H // 2)
            focused = [o["rect"]["x"] for o in sway.msg("get_outputs") if o["focused"]]
            check(focused == [x // W * W], "a click at x=%d did not focus its output" % x)

    tappy = Tappy(sway, args.tappy)
    try:
        tappy.wait_held()
        check_holding(sway, tappy, "the start")
        check_shortcuts(sway, tappy, keys)
        if sway.outputs == 2:
            check_other_output(sway, tappy, keys)
        else:
            check_focus(sway, tappy, args.input)
            check(not swayidle_fires(sway, 4), "swayidle's 1 s timeout fired while Tappy ran")
            check_instance(sway, tappy)
        leave_by_corners(sway, tappy, keys)
    finally:
        if tappy.alive():
            tappy.proc.send_signal(signal.SIGTERM)
            if tappy.wait_exit(10) is None:
                tappy.proc.kill()
                tappy.proc.wait()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tappy", required=True)
    parser.add_argument("--input", required=True)
    parser.add_argument("outputs", type=int, choices=(1, 2))
    args = parser.parse_args()
    args.tappy, args.input = os.path.abspath(args.tappy), os.path.abspath(args.input)
    for tool in ("sway", "swaymsg", "swaybg", "swayidle", "grim", "Xwayland", "xhost", "setpriv"):
        if not shutil.which(tool):
            print("SKIP: %s is not installed" % tool)
            return SKIP
    started = time.monotonic()
    try:
        sway = Sway(args.outputs, BINDINGS)
    except Failure as e:
        print("FAIL:", e)
        return 1
    try:
        scenario(sway, args)
    except Failure as e:
        print("FAIL:", e)
        print("sway's log ends:\n" + "\n".join(sway.output().splitlines()[-15:]))
        return 1
    finally:
        sway.close()
        print("(%.1f s)" % (time.monotonic() - started))
    print("PASS")
    return 0


if __name__ == "__main__":
    sys.exit(main())
