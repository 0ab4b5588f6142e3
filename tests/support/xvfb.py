# The one Xvfb starter of the end-to-end scripts, with what they read from the screen.
#
# A Display is a fresh Xvfb on a number it picks itself (-displayfd), so parallel runs cannot
# collide; xdotool drives it through XTEST as a person's input would; screenshots are rows of
# (r, g, b) tuples.
import argparse
import os
import shutil
import subprocess

SKIP = 77


class Failure(Exception):
    pass


def check(cond, message):
    if not cond:
        raise Failure(message)


def run(cmd, **kw):
    return subprocess.run(cmd, check=True, capture_output=True, **kw)


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
        self.xdo("mousemove", x, y)
        self.xdo("click", 1)

    def key(self, name):
        self.xdo("key", name)

    def indicators(self):
        # The XKB indicators as xset q shows them, e.g. {"Caps Lock": "off", ...}.
        text = run(["xset", "q"], env=self.env).stdout.decode()
        states = {}
        for name in ("Caps Lock", "Num Lock", "Scroll Lock"):
            at = text.find(name + ":")
            check(at >= 0, "xset q shows no %s" % name)
            states[name] = text[at + len(name) + 1:].split()[0]
        return states

    def screenshot(self):
        return parse_ppm(run(["import", "-display", self.name, "-window", "root", "-depth", "8",
                              "ppm:-"]).stdout)


def parse_ppm(data):
    # P6 header: magic, width, height, maxval, each separated by white space.
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    pos += 1
    width, height = int(fields[1]), int(fields[2])
    check(fields[0] == b"P6" and int(fields[3]) == 255, "unexpected screenshot format")
    px = data[pos:pos + width * height * 3]
    return [[tuple(px[(y * width + x) * 3:(y * width + x) * 3 + 3]) for x in range(width)]
            for y in range(height)]


def bbox(img, pred, region):
    # Bounding box (left, top, right, bottom), exclusive, of pixels matching pred, or None.
    l, t, r, b = region
    xs, ys = [], []
    for y in range(t, b):
        for x in range(l, r):
            if pred(img[y][x]):
                xs.append(x)
                ys.append(y)
    return (min(xs), min(ys), max(xs) + 1, max(ys) + 1) if xs else None


def near(c, rgb, tol=40):
    return all(abs(a - b) <= tol for a, b in zip(c, rgb))


def dark(c):
    return sum(c) < 200


def main(scenarios, tools, height=768):
    # Runs the scenario named on the command line on its own display; scenarios maps a name
    # to (function, screen width), the function taking (display, args). Exit status: 0 passed,
    # 1 failed, 77 skipped (a tool is missing).
    parser = argparse.ArgumentParser()
    parser.add_argument("--tappy", default="")
    parser.add_argument("--probe", default="")
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
