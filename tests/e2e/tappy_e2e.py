#!/usr/bin/env python3
"""End-to-end checks of the real program on Xvfb, driven with xdotool (XTEST input).

Each scenario starts its own Xvfb (1024 x 768, no window manager), copies the built program
into a temporary folder with content made for the scenario, plays with it as a person would,
and looks at screenshots and at the disk audio driver's output.

Exit status: 0 passed, 1 failed, 77 skipped (a tool is missing).
"""
import argparse
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

W, H = 1024, 768
SKIP = 77
# Picture colours, one per topic, so a screenshot tells which topic is shown.
TOPICS = {
    "red": (255, 0, 0, 440),
    "green": (0, 160, 0, 660),
    "blue": (0, 0, 255, 880),
    "orange": (255, 140, 0, 1100),
}


class Failure(Exception):
    pass


def check(cond, message):
    if not cond:
        raise Failure(message)


def run(cmd, **kw):
    return subprocess.run(cmd, check=True, capture_output=True, **kw)


class Display:
    def __init__(self, width=W, extra_args=()):
        r, w = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(w), "-screen", "0", f"{width}x{H}x24", "-nolisten", "tcp",
             *extra_args],
            pass_fds=(w,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
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

    def screenshot(self):
        """The root window as rows of (r, g, b) tuples."""
        ppm = run(["import", "-display", self.name, "-window", "root", "-depth", "8", "ppm:-"]).stdout
        return parse_ppm(ppm)


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
    pixels = data[pos:pos + width * height * 3]
    return [[tuple(pixels[(y * width + x) * 3:(y * width + x) * 3 + 3]) for x in range(width)]
            for y in range(height)]


def bbox(img, pred, region=(0, 0, W, H)):
    """Bounding box (left, top, right, bottom), exclusive, of pixels matching pred."""
    l, t, r, b = region
    xs, ys = [], []
    for y in range(t, b):
        row = img[y]
        for x in range(l, r):
            if pred(row[x]):
                xs.append(x)
                ys.append(y)
    if not xs:
        return None
    return (min(xs), min(ys), max(xs) + 1, max(ys) + 1)


def near(c, rgb, tol=40):
    return all(abs(a - b) <= tol for a, b in zip(c, rgb))


def dark(c):
    return sum(c) < 200


def shown_topic(img):
    """The topic whose colour fills the centre of the picture box, or None."""
    c = img[(30 + H - 130) // 2][W // 2]
    for name, (r, g, b, _) in TOPICS.items():
        if near(c, (r, g, b)):
            return name
    return None


def picture_box(img, name):
    r, g, b, _ = TOPICS[name]
    return bbox(img, lambda c: near(c, (r, g, b)), (30, 30, W - 30, H - 130))


def make_content(folder, kind):
    images = os.path.join(folder, "images")
    sounds = os.path.join(folder, "sounds")
    os.makedirs(images)
    os.makedirs(sounds)
    if kind == "topics":
        records = []
        for name, (r, g, b, freq) in TOPICS.items():
            run(["convert", "-size", "400x300", f"xc:rgb({r},{g},{b})",
                 os.path.join(images, name + ".png")])
            # A short pure tone per topic: its pitch tells which sound played.
            run(["sox", "-n", "-r", "22050", "-c", "1", "-b", "16",
                 os.path.join(sounds, name + ".wav"), "synth", "0.4", "sine", str(freq)])
            records.append("{%s}{%s.png}{}" % (name.capitalize(), name))
        with open(os.path.join(folder, "Tappy.map"), "w") as f:
            f.write("\n".join(records) + "\n")
    elif kind == "broken":
        with open(os.path.join(images, "truncated.png"), "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n\0\0\0\rIHDR")
        open(os.path.join(images, "empty.jpg"), "wb").close()
        with open(os.path.join(images, "notes.txt"), "w") as f:
            f.write("not a picture\n")
        os.mkdir(os.path.join(images, "folder.png"))
        with open(os.path.join(sounds, "truncated.wav"), "wb") as f:
            f.write(b"RIFF\xff\xff\xff\xffWAVEfmt ")
        with open(os.path.join(folder, "Tappy.map"), "wb") as f:
            f.write(b"\xef\xbb\xbf{oops{truncated.png}{truncated.wav,\0\0}garbage{")


class Tappy:
    def __init__(self, display, program, kind):
        self.dir = tempfile.mkdtemp(prefix="tappy-e2e-")
        make_content(self.dir, kind)
        self.program = os.path.join(self.dir, "tappy")
        shutil.copy2(program, self.program)
        self.audio = os.path.join(self.dir, "audio.raw")
        env = dict(display.env, SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE=self.audio)
        env.pop("SDL_VIDEODRIVER", None)  # the unit tests' dummy driver; this is the real X11
        # In a sanitized build: SDL unloads its X11 helper libraries at exit, so what they keep
        # cannot be told from a leak of ours; the unit tests leak-check Tappy's own code.
        env["ASAN_OPTIONS"] = "detect_leaks=0:" + env.get("ASAN_OPTIONS", "")
        self.proc = subprocess.Popen([self.program], env=env, cwd="/",
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.display = display
        self.wait_for_window()

    def wait_for_window(self):
        for _ in range(100):
            check(self.proc.poll() is None, "tappy exited at start: %s" % self.stderr())
            r = subprocess.run(["xdotool", "search", "--name", "^Tappy$"],
                               env=self.display.env, capture_output=True)
            if r.returncode == 0:
                time.sleep(0.5)  # first paint
                return
            time.sleep(0.1)
        raise Failure("no Tappy window appeared")

    def stderr(self):
        if self.proc.poll() is None:
            return ""
        return self.proc.stderr.read().decode(errors="replace")

    def alive(self):
        return self.proc.poll() is None

    def wait_exit(self, timeout):
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def close(self):
        if self.alive():
            self.proc.send_signal(signal.SIGTERM)
            if self.wait_exit(10) is None:
                self.proc.kill()
                self.proc.wait()
        shutil.rmtree(self.dir, ignore_errors=True)


def leave_by_corners(display, tappy):
    display.click(5, 5)
    display.click(W - 5, 5)
    time.sleep(1.0)
    check(tappy.alive(), "tappy ended before the About box had stood")
    # The About box: a small grey box in the middle of an otherwise empty screen.
    img = display.screenshot()
    face = bbox(img, lambda c: near(c, (240, 240, 240), 4), (W // 4, H // 4, 3 * W // 4, 3 * H // 4))
    check(face is not None and face[2] - face[0] < W // 2 and face[3] - face[1] < H // 4,
          "no About box in the middle of the screen: %s" % (face,))
    code = tappy.wait_exit(15)
    check(code == 0, "tappy did not exit with status 0 after the corners (got %r)\n%s"
          % (code, tappy.stderr()))


def wait_quiet(seconds=1.5):
    # Every test sound lasts 0.4 s; after this the worker is idle and a new key makes a choice.
    time.sleep(seconds)


# ---- scenarios -------------------------------------------------------------------------------

def scenario_play(display, program, probe):
    tappy = Tappy(display, program, "topics")
    try:
        img = display.screenshot()
        first = shown_topic(img)
        check(first is not None, "the first scene shows no picture in the box")
        check(bbox(img, dark, (0, 0, W, 20)) is not None, "no exit hint in the top line")
        check(bbox(img, dark, (0, H - 130, W, H)) is not None, "no text at the bottom")

        # New keys, each after the sound has ended: the scene changes at least once.
        seen = {first}
        for key in "qwertyuiop":
            wait_quiet()
            display.key(key)
            time.sleep(0.3)
            seen.add(shown_topic(display.screenshot()))
        check(len(seen - {None}) >= 2, "new keys never changed the scene: %s" % seen)

        # The same key pressed again grows the picture (each press adds to the pulse).
        wait_quiet()
        display.key("z")
        time.sleep(0.3)
        img = display.screenshot()
        topic = shown_topic(img)
        small = picture_box(img, topic)
        for _ in range(15):
            display.key("z")
        time.sleep(0.3)
        img = display.screenshot()
        check(shown_topic(img) == topic, "the same key changed the topic")
        big = picture_box(img, topic)
        check(big[2] - big[0] > small[2] - small[0] and big[3] - big[1] > small[3] - small[1],
              "holding the key did not grow the picture: %s -> %s" % (small, big))

        # F12 changes nothing.
        wait_quiet()
        before = display.screenshot()
        display.key("F12")
        time.sleep(0.5)
        check(display.screenshot() == before, "F12 changed the scene")

        # A close request from outside is ignored.
        if probe:
            subprocess.run([probe, "close", "Tappy"], env=display.env, check=False)
            time.sleep(0.5)
            check(tappy.alive(), "a close request from outside ended tappy")

        # Top-right then top-left does not close.
        display.click(W - 5, 5)
        display.click(5, 5)
        time.sleep(0.5)
        check(tappy.alive(), "top-right then top-left closed tappy")
        display.click(500, 400)  # disarm again

        leave_by_corners(display, tappy)
        check_audio(tappy.audio)
    finally:
        tappy.close()


def check_audio(path):
    """The disk output holds a topic's tone: its pitch is one of the topics' frequencies."""
    check(os.path.exists(path), "no audio output was written")
    data = open(path, "rb").read()
    # The mixer's device format: 16-bit signed, channels interleaved; take the first channel
    # by assuming stereo at 44100 Hz unless the data says otherwise is too clever; instead
    # find any stretch of loud samples and measure its zero-crossing rate over every plausible
    # channel count and rate, accepting a match to one of the tones.
    samples = struct.unpack("<%dh" % (len(data) // 2), data[:len(data) // 2 * 2])
    loud = [i for i, s in enumerate(samples) if abs(s) > 2000]
    check(loud, "the audio output is silent")
    start = loud[0]
    window = samples[start:start + 8820]
    freqs = {f for (_, _, _, f) in TOPICS.values()}
    for channels in (2, 1):
        mono = window[::channels]
        crossings = sum(1 for a, b in zip(mono, mono[1:]) if (a < 0) != (b < 0))
        for rate in (44100, 48000, 22050):
            seconds = len(mono) / rate
            pitch = crossings / 2 / seconds
            if any(abs(pitch - f) < f * 0.05 for f in freqs):
                return
    raise Failure("the audio output holds none of the topics' tones")


def scenario_empty(display, program, probe):
    tappy = Tappy(display, program, "empty")
    try:
        img = display.screenshot()
        check(bbox(img, dark, (0, 0, W, 20)) is not None, "no exit hint on an empty library")
        check(bbox(img, lambda c: c != (255, 255, 255), (0, 30, W, H)) is None,
              "an empty library drew more than the hint")
        leave_by_corners(display, tappy)
    finally:
        tappy.close()


def scenario_broken(display, program, probe):
    tappy = Tappy(display, program, "broken")
    try:
        for key in "abc":
            display.key(key)
        time.sleep(0.5)
        check(tappy.alive(), "tappy ended on broken content")
        leave_by_corners(display, tappy)
    finally:
        tappy.close()


SCENARIOS = {"play": scenario_play, "empty": scenario_empty, "broken": scenario_broken}


def main(scenarios=None, tools=("Xvfb", "xdotool", "import", "convert", "sox"),
         display_class=None):
    """Runs one named scenario. scenarios maps a name to (function, screen width)."""
    display_class = display_class or Display
    scenarios = scenarios or {name: (f, W) for name, f in SCENARIOS.items()}
    parser = argparse.ArgumentParser()
    parser.add_argument("--tappy", required=True)
    parser.add_argument("--probe", default="")
    parser.add_argument("scenario", choices=sorted(scenarios))
    args = parser.parse_args()
    for tool in tools:
        if not shutil.which(tool):
            print("SKIP: %s is not installed" % tool)
            return SKIP
    scenario, width = scenarios[args.scenario]
    # -noreset keeps monitors defined with xrandr when the last client leaves.
    display = display_class(width, ("-noreset",))
    try:
        scenario(display, os.path.abspath(args.tappy), args.probe)
    except Failure as e:
        print("FAIL:", e)
        return 1
    finally:
        display.close()
    print("PASS")
    return 0


if __name__ == "__main__":
    sys.exit(main())
