#!/usr/bin/env python3
# Tappy's lock on a Wayland compositor: headless sway (support/sway.py) with one output (1) or
# two side by side (2), 1024 x 768 each, driven by wl_input's virtual keyboard and pointer.
#
# First, without Tappy, the harness proves itself: the devices are sway's inputs, a key reaches a
# plain window (xev on sway's Xwayland), every shortcut below leaves its marker (1), swayidle's timeout fires (1), the
# pointer moves focus to the other output (2). Then Tappy starts as a desktop starts a program and
# must say "Tappy on Wayland: ... shortcuts held" before any key is pressed, and:
#
#   shortcuts  Super+Return, Alt+Tab, Super+D, Super+Shift+E, Alt+Esc, Ctrl+Esc, Super+2,
#              Ctrl+Alt+Left and Alt+F4 (bound to kill) leave no marker; Tappy lives, focused
#              and full screen; no output shows the desktop's background
#   covers     (2) another Tappy window is full screen on the other output; clicks there leave
#              a Tappy window focused and the shortcuts held
#   focus      (1) another window and another workspace are focused by force and Tappy is
#              focused back as a parent would: it is full screen again
#   idle       (1) swayidle's timeout does not fire while Tappy runs
#   instance   (1) a second start exits 0 and the first stays focused and full screen
#   unlocked   (1) while sway withholds the grant, the play screen says so under the exit hint;
#              the line goes when sway grants it and comes back when sway takes it away; the
#              window's app id is "tappy" even when SDL's variable names another
#   corners    a click at the play output's top-left, then top-right pixel ends Tappy with 0
#
# Apart (gone): sway killed under Tappy, which ends with a failing status, saying why.
# Apart (scale, rescale): two outputs at scale 2 (and twice the pixels), set before Tappy starts
# or while it runs; Tappy shows a picture of random noise and a word. The cover fills the other
# output; on the play output's screenshot, at its device pixels, most 2 x 2 blocks of the
# picture and of the word's edges differ inside (a scene drawn at the layout's size and scaled up
# by the compositor makes every one uniform), and the scene fills it; the corners end Tappy.
# Apart (plug): an output plugged in under Tappy (create_output) is covered, and held with the
# pointer on it, as in covers; the time to cover it is printed; the corners end Tappy.
# Apart (unplug): two outputs that are windows of another sway; the play output's window closed
# under Tappy unplugs it, and Tappy moves to the other output, which it holds, full screen, with
# no cover left over it; the corners end Tappy.
#
# Exit status: 0 passed, 1 failed, 77 skipped (sway or a tool is missing).
import argparse
import os
import re
import shutil
import subprocess
import sys
import threading
import time

sys.dont_write_bytecode = True  # no caches left in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from sway import Sway, stop, wait_until  # noqa: E402
from xvfb import SKIP, H, W, Failure, check, run  # noqa: E402

# Marker name, sway's combination, what else the binding does, evdev codes pressed in order.
SHORTCUTS = [
    ("super-return", "Mod4+Return", "", [125, 28]), ("alt-tab", "Mod1+Tab", "", [56, 15]),
    ("super-d", "Mod4+d", "", [125, 32]), ("super-shift-e", "Mod4+Shift+e", "", [125, 42, 18]),
    ("alt-esc", "Mod1+Escape", "", [56, 1]), ("ctrl-esc", "Control+Escape", "", [29, 1]),
    ("super-2", "Mod4+2", "", [125, 3]), ("ctrl-alt-left", "Control+Mod1+Left", "", [29, 56, 105]),
    ("alt-f4", "Mod1+F4", "; kill", [56, 62])]
# Bound to fire even while a client holds the shortcuts: pressed after the others, its marker
# says that sway has handled them all.
SENTINEL = ("sentinel", "--inhibited Mod4+Shift+F12", "", [125, 42, 88])
# Generous: a sanitized Tappy on a loaded machine. Reaching a limit is a failure, not a figure.
START_LIMIT = 60
SETTLE_LIMIT = 15
SCALE = 2
# Drawn at device pixels the share is about 0.01 in the noise and 0.55 at the word's edges;
# drawn at the layout's size and scaled up, 1.0.
MOST_UNIFORM = 0.8


class Child:
    # A program of ours on the desktop; what it writes to stream is collected line by line.
    def __init__(self, sway, cmd, stream="stdout", **kw):
        self.name, self.lines = os.path.basename(cmd[0]) + " " + " ".join(cmd[1:]), []
        self.proc = sway.start(cmd, desktop=False, **{stream: subprocess.PIPE}, **kw)
        threading.Thread(target=self._read, args=(getattr(self.proc, stream),), daemon=True).start()

    def _read(self, stream):
        for line in stream:
            self.lines.append(line.rstrip("\n"))

    def wait_for(self, text, limit):
        check(wait_until(lambda: any(text in line for line in self.lines), limit, 0.01),
              "%s did not say %r in %d s (said %s)" % (self.name, text, limit, self.lines[-20:]))

    # With wl_input's keyboard and pointer: every call returns once sway has seen it.
    def send(self, *words):
        said = len(self.lines)
        print(*words, file=self.proc.stdin, flush=True)
        reply = wait_until(lambda: self.lines[said:], 20, 0.002)
        check(reply == ["ok"], "the input client answered %s to %s" % (reply, words))

    def press(self, codes):
        for code, state in [(c, 1) for c in codes] + [(c, 0) for c in reversed(codes)]:
            self.send("key", code, state)

    def click_at(self, x, y):
        self.send("move", x, y)
        self.send("click")


def describe(views):
    # An X11 window (Tappy through Xwayland) has window_properties where others have an app_id.
    return "windows (app_id, output, fullscreen_mode, focused): %s" % [(v.get("app_id") or v.get(
        "window_properties"), v["output"], v.get("fullscreen_mode"), v["focused"]) for v in views]


def holding(sway, tappy):
    # None while Tappy holds the screen, else what is wrong.
    if tappy.proc.poll() is not None:
        return "tappy exited (status %s):\n%s" % (tappy.proc.returncode,
                                                  "\n".join(tappy.lines[-40:]))
    views = sway.views()
    full = [v for v in views if v.get("app_id") == "tappy" and v.get("fullscreen_mode") == 1]
    bare = [o["name"] for o in sway.msg("get_outputs") if o["name"] not in
            {v["output"] for v in full}]
    if bare or not any(v["focused"] for v in full):
        return "the focus is not on a full-screen tappy window, or %s has none; %s" % (
            bare, describe(views))


def settle(problem, limit=SETTLE_LIMIT, step=0.1):
    # The compositor and Tappy answer each other asynchronously: problem() until it finds
    # nothing wrong, for at most limit seconds; what it found last is the failure.
    end = time.monotonic() + limit
    while (found := problem()) and time.monotonic() < end:
        time.sleep(step)
    check(not found, found)


def check_holding(sway, tappy, after):
    settle(lambda: (problem := holding(sway, tappy)) and "after %s: %s" % (after, problem))


def outputs(sway, play=True):
    # The rectangles of the play output (where the window titled "Tappy" is; the covers have no
    # title) or of the others.
    name = [v["output"] for v in sway.views() if v.get("name") == "Tappy"][0]
    return [o["rect"] for o in sway.msg("get_outputs") if (o["name"] == name) == play]


def check_shortcuts(sway, keys, expected, when):
    # The markers left by the shortcuts that reached sway are the ones expected.
    for _, _, _, codes in SHORTCUTS + [SENTINEL]:
        keys.press(codes)
    check(wait_until(lambda: "sentinel" in sway.markers(), SETTLE_LIMIT),
          "sway never handled the last key (%s)" % SENTINEL[1])
    fired = [name for name in sway.markers() if name != "sentinel"]
    sway.clear_markers()
    check(fired == expected, "%s, the shortcuts that reached sway were %s" % (when, fired))


def swayidle_fires(sway, limit):
    idle = sway.start(["swayidle", "-w", "timeout", "1", "touch %s/idle" % sway.marks])
    fired = wait_until(lambda: "idle" in sway.markers(), limit)
    stop(idle)
    sway.clear_markers()
    return fired


def other_window(sway):
    return Child(sway, ["xev", "-name", "thief", "-event", "keyboard", "-event", "focus"])


def proves_harness(sway, keys):
    if sway.outputs == 2:
        for x in (W + W // 2, W // 2):
            keys.click_at(x, H // 2)
            check([o["rect"]["x"] for o in sway.msg("get_outputs") if o["focused"]] == [x // W * W],
                  "a click at x=%d did not focus its output" % x)
        return
    inputs = {i["type"] for i in sway.msg("get_inputs")}
    check({"keyboard", "pointer"} <= inputs, "sway's inputs are only %s" % inputs)
    window = other_window(sway)
    window.wait_for("FocusIn", 20)
    keys.press([30])  # A
    window.wait_for("KeyPress", 10)
    stop(window.proc)
    check_shortcuts(sway, keys, sorted(name for name, *_ in SHORTCUTS), "without Tappy")
    check(swayidle_fires(sway, 15), "without Tappy swayidle's 1 s timeout never fired")


def check_background(sway):
    for name in [o["name"] for o in sway.msg("get_outputs")]:
        # A window that has just gone full screen may not have drawn its new size yet.
        settle(lambda: (at := sway.background_at(name)) and "the desktop's background shows on "
               "%s at %s" % (name, at), step=0.5)


def check_focus(sway, tappy):
    play = [v for v in sway.views() if v.get("focused")][0]["id"]
    window = other_window(sway)
    check(wait_until(lambda: any(v.get("name") == "thief" for v in sway.views()), 20),
          "the other window never showed")
    sway.msg("command", "[title=thief] focus")
    # Tappy may take the focus back at once: the window itself says it had it.
    window.wait_for("FocusIn", SETTLE_LIMIT)
    sway.msg("command", "[con_id=%d] focus" % play)
    check_holding(sway, tappy, "another window took the focus")
    stop(window.proc)
    sway.msg("command", "workspace tappy-elsewhere")
    sway.msg("command", "[con_id=%d] focus" % play)
    check_holding(sway, tappy, "another workspace was shown")


def check_other_output(sway, tappy, keys):
    # The pointer may cross to the other output, where only Tappy's cover shows: clicks there
    # leave a Tappy window focused, and the shortcuts stay held while the cover has the focus.
    r = outputs(sway, play=False)[0]
    for x, y in ((r["x"] + r["width"] // 2, r["y"] + r["height"] // 2),
                 (r["x"] + r["width"] - 1, r["y"] + r["height"] - 1), (r["x"], r["y"])):
        keys.click_at(x, y)
        check_holding(sway, tappy, "a click at (%d, %d) on the other output" % (x, y))
    check_shortcuts(sway, keys, [], "after a click on the other output")


def check_instance(sway, tappy, env):
    def windows():
        return [v["id"] for v in sway.views() if v.get("app_id") == "tappy"]

    before = windows()
    second = subprocess.run(tappy.proc.args, env=env, cwd="/", capture_output=True, text=True,
                            errors="replace", timeout=START_LIMIT)
    check(second.returncode == 0, "a second start exited %d:\n%s"
          % (second.returncode, second.stderr[-2000:]))
    check_holding(sway, tappy, "a second start")
    check(windows() == before, "a second start added tappy windows: %s" % describe(sway.views()))


def tappy_env(sway):
    # As the X11 scripts: SDL's libraries keep what they allocate; Tappy's own code is
    # leak-checked by the unit tests.
    return dict(sway.env, SDL_AUDIODRIVER="dummy",
                ASAN_OPTIONS="detect_leaks=0:" + sway.env.get("ASAN_OPTIONS", ""))


def check_unlocked(sway, args):
    sway.msg("command", "seat * shortcuts_inhibitor disable")
    tappy = Child(sway, [args.tappy], "stderr", cwd="/", stdout=subprocess.DEVNULL,
                  env=dict(tappy_env(sway), SDL_VIDEO_WAYLAND_WMCLASS="not-tappy"))
    tappy.wait_for("not granted yet", START_LIMIT)
    check(wait_until(lambda: [v.get("app_id") for v in sway.views()] == ["tappy"], 20),
          "Tappy's window is not the only one, with the app id tappy: %s" % describe(sway.views()))

    def dark():  # the text pixels at the top of the play output, once two captures agree
        def band():
            data = sway.run(["grim", "-g", "0,0 %dx100" % W, "-t", "ppm", "-"])
            return sum(1 for v in data[-W * 100 * 3::3] if v < 128)
        return wait_until(lambda: (a := band()) == band() and a, 20, 0.5)

    check(wait_until(lambda: sway.background_at("HEADLESS-1") is None, 20),
          "Tappy never covered its output")
    unlocked = dark()
    sway.msg("command", "seat seat0 shortcuts_inhibitor activate")
    tappy.wait_for("shortcuts held", SETTLE_LIMIT)
    settle(lambda: (d := dark()) >= unlocked and "granted, the top of the screen has %s dark "
           "pixels, and %s when not granted" % (d, unlocked), step=0.5)
    sway.msg("command", "seat seat0 shortcuts_inhibitor deactivate")
    settle(lambda: (d := dark()) != unlocked and "taken back, the top of the screen has %s dark "
           "pixels, not %s as before the grant" % (d, unlocked), step=0.5)
    stop(tappy.proc)


def start_tappy(sway, args):
    env = tappy_env(sway)
    tappy = Child(sway, [args.tappy], "stderr", cwd="/", env=env, stdout=subprocess.DEVNULL)

    def held():  # in its last status line
        said = [line for line in tappy.lines if line.startswith("Tappy on Wayland:")]
        return "shortcuts held" in (said or [""])[-1]

    settle(lambda: not held() and "tappy did not say \"Tappy on Wayland: ... shortcuts held\" "
           "(exit status %s); stderr:\n%s" % (tappy.proc.poll(), "\n".join(tappy.lines[-40:])),
           START_LIMIT)
    check_holding(sway, tappy, "the start")
    return tappy, env


def gone(sway, args):
    tappy = start_tappy(sway, args)[0]
    start = time.monotonic()
    sway.proc.kill()
    settle(lambda: tappy.proc.poll() is None and "tappy lives on without sway", 60, 0.01)
    print("tappy ended %.2f s after sway was killed" % (time.monotonic() - start))
    check(tappy.proc.returncode and wait_until(lambda: any(
          "the display server has gone" in line for line in tappy.lines), 5),
          "tappy ended with %s without sway:\n%s" % (tappy.proc.returncode, tappy.lines[-20:]))


def leave_by_corners(sway, keys, tappy):
    rect = outputs(sway)[0]
    # The pointer counts from the layout's left edge, which an unplugged output moves.
    x = rect["x"] - min(o["rect"]["x"] for o in sway.msg("get_outputs"))
    keys.click_at(x, rect["y"])
    keys.click_at(x + rect["width"] - 1, rect["y"])
    settle(lambda: tappy.proc.poll() != 0 and "tappy did not exit with status 0 after the corners"
           " (%r):\n%s" % (tappy.proc.returncode, "\n".join(tappy.lines[-40:])), 30)


def uniform_share(img, w, region):
    # Of the aligned 2 x 2 blocks in region whose 4 x 4 surroundings are not all one colour, the
    # share whose four pixels are equal, and how many were counted.
    same = counted = 0
    for y in range(region[1], region[3] - 2, 2):
        rows = [img[(y + j) * w * 3:(y + j + 1) * w * 3] for j in (-1, 0, 1, 2)]
        for x in range(region[0], region[2] - 2, 2):
            quad = [r[(x - 1) * 3:(x + 3) * 3] for r in rows]
            if all(q == quad[0][:3] * 4 for q in quad):
                continue
            counted += 1
            same += quad[1][3:9] == quad[2][3:9] == quad[1][3:6] * 2
    return same / max(counted, 1), counted


def scaled(sway, args):
    size = (W * SCALE, H * SCALE)
    # Larger than the play output, so that Tappy scales it down and no two pixels repeat.
    os.makedirs(os.path.join(sway.dir, "images"))
    run(["convert", "-size", "%dx%d" % size, "xc:", "+noise", "Random",
         os.path.join(sway.dir, "images", "noise.png")])
    with open(os.path.join(sway.dir, "Tappy.map"), "w") as f:
        f.write("{Kiwi}{noise.png}{}\n")
    args.tappy = shutil.copy2(args.tappy, os.path.join(sway.dir, "tappy"))
    keys = Child(sway, [args.input, "%dx%d" % (W * 2, H)], stdin=subprocess.PIPE)
    keys.wait_for("ready", 20)
    scale = "output * mode %dx%d scale %d" % (size + (SCALE,))
    if args.outputs == "scale":
        sway.msg("command", scale)
    tappy = start_tappy(sway, args)[0]
    if args.outputs == "rescale":
        sway.msg("command", scale)
    check_background(sway)
    name = [v["output"] for v in sway.views() if v.get("name") == "Tappy"][0]

    def unscaled():  # what is wrong with the play output's screenshot, at its device pixels
        data = sway.run(["grim", "-o", name, "-t", "ppm", "-"])
        header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", data)  # as grim writes it
        w, h, img = int(header[1]), int(header[2]), data[header.end():]
        if (w, h) != size:
            return "the play output's screenshot is %dx%d" % (w, h)
        for what, region in (("picture", (30, 30, w - 30, h - 130)),
                             ("word", (w // 4, h - 130, w * 3 // 4, h))):
            share, counted = uniform_share(img, w, region)
            print("%s: uniform 2x2 share %.3f of %d blocks" % (what, share, counted))
            if share >= MOST_UNIFORM or not counted:  # none: the scene fills only a part
                return "the %s looks scaled up or is missing" % what
    settle(unscaled, step=0.5)
    leave_by_corners(sway, keys, tappy)


def plugged(sway, args):
    keys = Child(sway, [args.input, "%dx%d" % (W * 2, H)], stdin=subprocess.PIPE)
    keys.wait_for("ready", 20)
    tappy = start_tappy(sway, args)[0]
    start = time.monotonic()
    sway.msg("command", "create_output")
    check_holding(sway, tappy, "an output was plugged in")
    print("the new output was covered %.2f s after create_output" % (time.monotonic() - start))
    check_background(sway)
    check_other_output(sway, tappy, keys)
    leave_by_corners(sway, keys, tappy)


def unplugged(sway, args):
    tappy = start_tappy(sway, args)[0]
    sway.outer.msg("command", '[title="WL-1$"] kill')
    settle(lambda: len(sway.msg("get_outputs")) > 1 and "the output closed is still there")
    check_holding(sway, tappy, "an output was unplugged")
    settle(lambda: len(sway.views()) > 1 and "a cover is left: " + describe(sway.views()))
    check_background(sway)
    keys = Child(sway, [args.input, "%dx%d" % (W, H)], stdin=subprocess.PIPE)  # the output left
    keys.wait_for("ready", 20)
    leave_by_corners(sway, keys, tappy)


def scenario(sway, args):
    keys = Child(sway, [args.input, "%dx%d" % (W * sway.outputs, H)], stdin=subprocess.PIPE)
    keys.wait_for("ready", 20)
    proves_harness(sway, keys)
    tappy, env = start_tappy(sway, args)
    check_shortcuts(sway, keys, [], "while Tappy ran")
    check_holding(sway, tappy, "the shortcuts")
    check_background(sway)
    if sway.outputs == 2:
        check_other_output(sway, tappy, keys)
    else:
        check_focus(sway, tappy)
        check(not swayidle_fires(sway, 4), "swayidle's 1 s timeout fired while Tappy ran")
        check_instance(sway, tappy, env)
    leave_by_corners(sway, keys, tappy)
    if sway.outputs == 1:  # last: the keyboard is not sway's own after its seat is changed
        check_unlocked(sway, args)


# Each case: its sway's outputs, and what it runs there.
CASES = {"1": (1, scenario), "2": (2, scenario), "gone": (1, gone), "scale": (2, scaled),
         "rescale": (2, scaled), "plug": (1, plugged), "unplug": (2, unplugged)}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tappy", required=True, type=os.path.abspath)
    parser.add_argument("--input", required=True, type=os.path.abspath)
    parser.add_argument("outputs", choices=CASES)
    args = parser.parse_args()
    for tool in ("sway", "swaymsg", "swaybg", "swayidle", "grim", "Xwayland", "xhost", "xev",
                 "convert", "setpriv"):
        if not shutil.which(tool):
            print("SKIP: %s is not installed" % tool)
            return SKIP
    # Unplugged: each output of Tappy's sway is a full-screen window on an output of another.
    outer = Sway(2, []) if args.outputs == "unplug" else None
    if outer:
        outer.connect()
        outer.msg("command", 'for_window [title="WL-2$"] move to output HEADLESS-2')
        outer.msg("command", 'for_window [title="WL-"] fullscreen enable')
    outputs, run_case = CASES[args.outputs]
    sway = Sway(outputs, SHORTCUTS + [SENTINEL], plugged=int(args.outputs == "plug"), inside=outer)
    try:
        sway.connect()
        run_case(sway, args)
    except (Failure, subprocess.TimeoutExpired) as e:
        print("FAIL:", e)
        print("sway's log ends:\n" + "\n".join(sway.output().splitlines()[-15:]))
        return 1
    finally:
        sway.close()
        if outer:
            outer.close()
    print("PASS")
    return 0


if __name__ == "__main__":
    sys.exit(main())
