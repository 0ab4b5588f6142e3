# The one Xvfb starter of the end-to-end scripts, what they read from the screen, and Tappy
# started on it.
#
# A Display is a fresh Xvfb on a number it picks itself (-displayfd), so parallel runs cannot
# collide; xdotool drives it through XTEST as a person's input would; screenshots are rows of
# (r, g, b) tuples. A Tappy is the program started there with the disk audio driver and its
# window waited for; leaving the `with` block ends it and removes its folder.
import argparse
import os
import re
import shutil
import subprocess
import tempfile
import time

SKIP = 77
# The play window (on the primary monitor where there are two), and where its picture stands:
# below the hint line, above the words.
W, H = 1024, 768
PICTURE = (30, 30, W - 30, H - 130)


class Failure(Exception):
    pass


def check(cond, message):
    if not cond:
        raise Failure(message)


def run(cmd, **kw):
    return subprocess.run(cmd, check=True, capture_output=True, **kw)


def wait_until(what, limit, step=0.1):
    # what() until it returns something true, for at most limit seconds; returns its last value.
    end = time.monotonic() + limit
    while not (value := what()) and time.monotonic() < end:
        time.sleep(step)
    return value


class Display:
    def __init__(self, width, height, extra_args=()):
        r, w = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(w), "-screen", "0", f"{width}x{height}x24", "-nolisten",
             "tcp", *extra_args], pass_fds=(w,), stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        os.close(w)
        with os.fdopen(r) as f:
            number = f.readline().strip()
        check(number, "Xvfb did not start")
        self.name = ":" + number
        self.env = dict(os.environ, DISPLAY=self.name)

    def close(self):
        self.proc.terminate()
        self.proc.wait()

    def xdo(self, *args):
        return run(["xdotool", *map(str, args)], env=self.env).stdout.decode()

    def click(self, x, y):
        self.xdo("mousemove", x, y, "click", 1)

    def key(self, name):
        self.xdo("key", name)

    def tappy_windows(self):
        # xdotool search fails when it finds nothing.
        r = subprocess.run(["xdotool", "search", "--name", "^Tappy$"], env=self.env,
                           capture_output=True)
        return r.stdout.decode().split()

    def indicators(self):
        # The XKB indicators as xset q shows them, e.g. {"Caps Lock": "off", ...}.
        text = run(["xset", "q"], env=self.env).stdout.decode()
        return dict(re.findall(r"(Caps Lock|Num Lock|Scroll Lock):\s+(\w+)", text))

    def screenshot(self):
        return parse_ppm(run(["import", "-display", self.name, "-window", "root", "-depth", "8",
                              "ppm:-"]).stdout)


def parse_ppm(data):
    # P6 header: magic, width, height, maxval, each followed by white space (one byte at the end).
    header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", data)
    check(header, "unexpected screenshot format")
    width, height, px = int(header[1]), int(header[2]), data[header.end():]
    return [[tuple(px[i:i + 3]) for i in range(y * width * 3, (y + 1) * width * 3, 3)]
            for y in range(height)]


def bbox(img, pred, region):
    # Bounding box (left, top, right, bottom), exclusive, of pixels matching pred, or None.
    l, t, r, b = region
    hits = [(x, y) for y in range(t, b) for x in range(l, r) if pred(img[y][x])]
    xs, ys = zip(*hits) if hits else ((), ())
    return (min(xs), min(ys), max(xs) + 1, max(ys) + 1) if hits else None


def near(c, rgb, tol=40):
    return all(abs(a - b) <= tol for a, b in zip(c, rgb))


def dark(c):
    return sum(c) < 200


def picture(img):
    return [row[PICTURE[0]:PICTURE[2]] for row in img[PICTURE[1]:PICTURE[3]]]


def tappy_env(display, audio="dummy", **extra):
    env = dict(display.env, SDL_AUDIODRIVER=audio, **extra)
    env.pop("SDL_VIDEODRIVER", None)  # the unit tests' dummy driver; this is the real X11
    # In a sanitized build: SDL unloads its X11 helper libraries at exit, so what they keep
    # cannot be told from a leak of ours; the unit tests leak-check Tappy's own code.
    env["ASAN_OPTIONS"] = "detect_leaks=0:" + env.get("ASAN_OPTIONS", "")
    return env


class Tappy:
    # With content(folder), the program is copied into a fresh folder that content fills;
    # without, the command runs as installed, with what it ships. Either way it starts in "/",
    # a folder of no importance, so it must find its content beside itself.
    def __init__(self, display, command, content=None, env=None):
        self.display, self.dir = display, tempfile.mkdtemp(prefix="tappy-e2e-")
        self.program, self.audio = command, os.path.join(self.dir, "audio.raw")
        if content:
            content(self.dir)
            self.program = shutil.copy2(command, os.path.join(self.dir, "tappy"))
        # A parent's own content folder would stand in for the test's; env says otherwise, and
        # a None in it unsets the variable.
        env = dict(tappy_env(display, "disk", SDL_DISKAUDIOFILE=self.audio),
                   **(env or {"XDG_DATA_HOME": os.path.join(self.dir, "data")}))
        env = {k: v for k, v in env.items() if v is not None}
        self.proc = subprocess.Popen([self.program], cwd="/", stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE, env=env)
        self.wait_for_window()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def wait_for_window(self):
        shown = wait_until(lambda: not self.alive() or self.display.tappy_windows(), 10)
        check(self.alive(), "tappy exited at start: %s" % self.stderr())
        check(shown, "no Tappy window appeared")
        time.sleep(0.5)  # first paint

    def alive(self):
        return self.proc.poll() is None

    def stderr(self):
        # What it wrote, once it has ended (read once, kept for later messages).
        if not self.alive() and not hasattr(self, "err"):
            self.err = self.proc.stderr.read().decode(errors="replace")
        return getattr(self, "err", "")

    def wait_exit(self, timeout):
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def close(self):
        if self.alive():
            self.proc.terminate()
            if self.wait_exit(10) is None:
                self.proc.kill()
                self.proc.wait()
        shutil.rmtree(self.dir, ignore_errors=True)

    def leave_by_corners(self, about=True, timeout=15):
        # A press in the middle first, so nothing before can have armed the gesture.
        for x, y in ((W // 2, H // 2), (5, 5), (W - 5, 5)):
            self.display.click(x, y)
        if about:
            time.sleep(1.0)
            check(self.alive(), "tappy ended before the About box had stood")
            # The About box: a small grey box in the middle of an otherwise empty screen.
            face = bbox(self.display.screenshot(), lambda c: near(c, (240, 240, 240), 4),
                        (W // 4, H // 4, 3 * W // 4, 3 * H // 4))
            check(face and face[2] - face[0] < W // 2 and face[3] - face[1] < H // 4,
                  "no About box in the middle of the screen: %s" % (face,))
        code = self.wait_exit(timeout)
        check(code == 0, "tappy did not exit with status 0 after the corners (got %r)\n%s"
              % (code, self.stderr()))

    def key_changes_picture(self, keys, quiet):
        # Any one new choice may pick the topic already shown, so up to one try per key, each
        # after the sound before it has ended (a key during a sound keeps the scene).
        before = picture(self.display.screenshot())
        for key in keys:
            time.sleep(quiet)
            self.display.key(key)
            time.sleep(0.5)
            if picture(self.display.screenshot()) != before:
                return True
        return False


def main(scenarios, tools, height=H):
    # Runs the scenario named on the command line on its own display; scenarios maps a name
    # to (function, screen width), the function taking (display, args). Exit status: 0 passed,
    # 1 failed, 77 skipped (a tool is missing).
    parser = argparse.ArgumentParser()
    for option in ("--tappy", "--probe", "--tool"):
        parser.add_argument(option, default="")
    parser.add_argument("scenario", choices=sorted(scenarios))
    args = parser.parse_args()
    for tool in tools:
        if not shutil.which(tool):
            print("SKIP: %s is not installed" % tool)
            return SKIP
    scenario, width = scenarios[args.scenario]
    # -noreset keeps monitors defined with xrandr when the last client leaves.
    display = Display(width, height, ("-noreset",))
    try:
        scenario(display, args)
    except Failure as e:
        print("FAIL:", e)
        return 1
    finally:
        display.close()
    print("PASS")
    return 0
