#!/usr/bin/env python3
"""End-to-end checks of what keeps the child inside Tappy beyond the keyboard, on Xvfb:

  monitors  a 2048 x 768 screen split into two monitors with xrandr: the play window on the
            primary (left) half, a plain white window on the other, the pointer held inside
            the play window, and the corner exit still on the play window's corners
  instance  a second start exits 0 and leaves one Tappy window; after the first is killed
            with -9 the next start runs
  session   Caps Lock and Num Lock toggled during play are put back after the corner exit, and
            the screen saver does not come on while Tappy runs

Exit status: 0 passed, 1 failed, 77 skipped (a tool is missing).
"""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tappy_e2e  # noqa: E402
from tappy_e2e import (Tappy, bbox, check, dark, leave_by_corners,  # noqa: E402
                       run)

HALF = 1024
H = 768


class Display(tappy_e2e.Display):
    """The harness's display, with the pointer and the lock-key indicators readable."""

    def pointer(self):
        fields = dict(f.split(":") for f in self.xdo("getmouselocation").split())
        return int(fields["x"]), int(fields["y"])

    def indicators(self):
        """The XKB indicators as xset q shows them, e.g. {"Caps Lock": "off", ...}."""
        text = run(["xset", "q"], env=self.env).stdout.decode()
        states = {}
        for name in ("Caps Lock", "Num Lock", "Scroll Lock"):
            at = text.find(name + ":")
            check(at >= 0, "xset q shows no %s" % name)
            states[name] = text[at + len(name) + 1:].split()[0]
        return states


def geometry(display, window):
    """(x, y, width, height) of a window, from xdotool's shell output."""
    out = display.xdo("getwindowgeometry", "--shell", window)
    f = dict(line.split("=") for line in out.split())
    return int(f["X"]), int(f["Y"]), int(f["WIDTH"]), int(f["HEIGHT"])


def start_env(display):
    env = dict(display.env, SDL_AUDIODRIVER="dummy")
    env.pop("SDL_VIDEODRIVER", None)
    env["ASAN_OPTIONS"] = "detect_leaks=0:" + env.get("ASAN_OPTIONS", "")
    return env


def tappy_windows(display):
    r = subprocess.run(["xdotool", "search", "--name", "^Tappy$"], env=display.env,
                       capture_output=True)
    return r.stdout.decode().split()


# ---- scenarios -------------------------------------------------------------------------------

def scenario_monitors(display, program, probe):
    run(["xrandr", "--setmonitor", "LEFT", f"{HALF}/270x{H}/200+0+0", "screen"], env=display.env)
    run(["xrandr", "--setmonitor", "RIGHT", f"{HALF}/270x{H}/200+{HALF}+0", "none"],
        env=display.env)
    listed = run(["xrandr", "--listmonitors"], env=display.env).stdout.decode()
    check("Monitors: 2" in listed, "xrandr did not define two monitors:\n" + listed)
    tappy = Tappy(display, program, "topics")
    try:
        root = run(["xwininfo", "-root"], env=display.env).stdout.decode().split()
        root_id = int(root[root.index("id:") + 1], 16)
        windows = [w for w in display.xdo("search", "--onlyvisible", "--pid", tappy.proc.pid,
                                          "").split() if int(w) != root_id]
        # The lock's 1 x 1 focus window sits off the screen.
        shapes = sorted(g for g in map(lambda w: geometry(display, w), windows) if g[2] > 1)
        check(shapes == [(0, 0, HALF, H), (HALF, 0, HALF, H)],
              "expected the play window on the left half and a cover on the right: %s" % shapes)
        play = tappy_windows(display)
        check(len(play) == 1 and geometry(display, play[0]) == (0, 0, HALF, H),
              "the play window is not the left half")

        img = display.screenshot()
        check(bbox(img, lambda c: c != (255, 255, 255), (HALF, 0, 2 * HALF, H)) is None,
              "the other monitor is not plain white")
        check(bbox(img, dark, (0, 0, HALF, 20)) is not None, "no exit hint on the play monitor")

        for move in (("mousemove", 1500, 400), ("mousemove", 2040, 5),
                     ("mousemove", HALF + 1, H - 1), ("mousemove_relative", 3000, 0)):
            display.xdo(*move)
            time.sleep(0.2)
            px, py = display.pointer()
            check(0 <= px < HALF and 0 <= py < H,
                  "the pointer left the play window: %s ends at (%d, %d)" % (move, px, py))

        # Keys still reach the play window: new keys change the scene. Any one new choice may
        # pick the topic already shown, so look after each key.
        before = display.screenshot()
        changed = False
        for key in "asdfgh":
            time.sleep(1.0)
            display.key(key)
            time.sleep(0.3)
            if display.screenshot() != before:
                changed = True
                break
        check(changed, "keys did not reach the play window")

        # The corners are the play window's: its top-right is the middle of the screen.
        leave_by_corners(display, tappy)
    finally:
        tappy.close()


def scenario_instance(display, program, probe):
    first = Tappy(display, program, "topics")
    try:
        second = subprocess.run([first.program], env=start_env(display), capture_output=True,
                                timeout=60)
        check(second.returncode == 0, "a second start exited %d:\n%s"
              % (second.returncode, second.stderr.decode(errors="replace")))
        check(b"already running" in second.stderr, "the second start said nothing")
        check(first.alive(), "the second start ended the first")
        check(len(tappy_windows(display)) == 1,
              "not one Tappy window after a second start: %s" % tappy_windows(display))

        # A killed instance leaves nothing that blocks the next start.
        first.proc.kill()
        first.proc.wait()
        for _ in range(50):
            if not tappy_windows(display):
                break
            time.sleep(0.1)
        third = Tappy(display, program, "topics")
        try:
            leave_by_corners(display, third)
        finally:
            third.close()
    finally:
        first.close()


def scenario_session(display, program, probe):
    check(display.indicators()["Caps Lock"] == "off", "Caps Lock is on before the test")
    run(["xset", "s", "2"], env=display.env)
    tappy = Tappy(display, program, "topics")
    try:
        # No input for longer than the screen saver's timeout.
        time.sleep(4)
        if probe:
            state = run([probe, "saver"], env=display.env).stdout.decode().strip()
            check(state in ("off", "disabled"), "the screen saver came on: %s" % state)
        display.key("Caps_Lock")
        display.key("Num_Lock")
        time.sleep(0.3)
        now = display.indicators()
        check(now["Caps Lock"] == "on" and now["Num Lock"] == "on",
              "the lock keys did not toggle during play: %s" % now)
        leave_by_corners(display, tappy)
        after = display.indicators()
        check(after["Caps Lock"] == "off" and after["Num Lock"] == "off",
              "the lock keys were not put back: %s" % after)
    finally:
        tappy.close()
    if probe:
        # Without Tappy the same timeout does blank the screen: the check above means something.
        time.sleep(4)
        state = run([probe, "saver"], env=display.env).stdout.decode().strip()
        check(state == "on", "the screen saver does not come on under this Xvfb: %s" % state)


SCENARIOS = {
    "monitors": (scenario_monitors, 2 * HALF),
    "instance": (scenario_instance, HALF),
    "session": (scenario_session, HALF),
}


def main():
    return tappy_e2e.main(SCENARIOS, ("Xvfb", "xdotool", "xrandr", "xset", "import", "convert",
                                      "sox"), Display)


if __name__ == "__main__":
    sys.exit(main())
