#!/usr/bin/env python3
# End-to-end checks of the real program on Xvfb (support/xvfb.py), driven with xdotool.
#
# Each scenario starts its own Xvfb (1024 x 768, no window manager), copies the built program
# into a temporary folder with content made for the scenario, plays with it as a person would,
# and looks at screenshots and at the disk audio driver's output.
#
#   play, empty, broken  the scene, new keys, the pulse, F12, outside close requests, the corner
#                        exit and the About box, the sound played; no content; hostile content
#   monitors  a 2048 x 768 screen split into two monitors with xrandr: the play window on the
#             primary (left) half, a plain white window on the other, and the corner exit still
#             on the play window's corners (wm_e2e holds the pointer there under real managers)
#   instance  a second start exits 0 and leaves one Tappy window; after the first is killed
#             with -9 the next start runs
#   session   Caps Lock and Num Lock toggled during play are put back after the corner exit, and
#             the screen saver does not come on while Tappy runs
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from xvfb import bbox, check, dark, main, near, run, Failure  # noqa: E402

W, H = 1024, 768
HALF = W
# Picture colours, one per topic, so a screenshot tells which topic is shown.
TOPICS = {
    "red": (255, 0, 0, 440),
    "green": (0, 160, 0, 660),
    "blue": (0, 0, 255, 880),
    "orange": (255, 140, 0, 1100),
}


def shown_topic(img):
    # The topic whose colour fills the centre of the picture box, or None.
    c = img[(30 + H - 130) // 2][W // 2]
    for name, (r, g, b, _) in TOPICS.items():
        if near(c, (r, g, b)):
            return name
    return None


def picture_box(img, name):
    r, g, b, _ = TOPICS[name]
    return bbox(img, lambda c: near(c, (r, g, b)), (30, 30, W - 30, H - 130))


def start_env(display, audio="dummy"):
    env = dict(display.env, SDL_AUDIODRIVER=audio)
    env.pop("SDL_VIDEODRIVER", None)  # the unit tests' dummy driver; this is the real X11
    # In a sanitized build: SDL unloads its X11 helper libraries at exit, so what they keep
    # cannot be told from a leak of ours; the unit tests leak-check Tappy's own code.
    env["ASAN_OPTIONS"] = "detect_leaks=0:" + env.get("ASAN_OPTIONS", "")
    return env


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
        os.mkdir(os.path.join(images, "folder.png"))
        for path, data in (("images/truncated.png", b"\x89PNG\r\n\x1a\n\0\0\0\rIHDR"),
                           ("images/empty.jpg", b""), ("images/notes.txt", b"not a picture\n"),
                           ("sounds/truncated.wav", b"RIFF\xff\xff\xff\xffWAVEfmt "),
                           ("Tappy.map", b"\xef\xbb\xbf{oops{truncated.png}{truncated.wav,\0\0}garbage{")):
            with open(os.path.join(folder, path), "wb") as f:
                f.write(data)


class Tappy:
    def __init__(self, display, program, kind):
        self.dir = tempfile.mkdtemp(prefix="tappy-e2e-")
        make_content(self.dir, kind)
        self.program = os.path.join(self.dir, "tappy")
        shutil.copy2(program, self.program)
        self.audio = os.path.join(self.dir, "audio.raw")
        env = dict(start_env(display, "disk"), SDL_DISKAUDIOFILE=self.audio)
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
        return "" if self.alive() else self.proc.stderr.read().decode(errors="replace")

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

def scenario_play(display, args):
    program, probe = os.path.abspath(args.tappy), args.probe
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
        subprocess.run([probe, "close"], env=display.env, check=True)
        time.sleep(0.5)
        check(tappy.alive(), "a close request from outside ended tappy")

        leave_by_corners(display, tappy)
        check_audio(tappy.audio)
    finally:
        tappy.close()


def check_audio(path):
    # The disk output holds a topic's tone: its pitch is one of the topics' frequencies.
    check(os.path.exists(path), "no audio output was written")
    data = open(path, "rb").read()
    # 16-bit signed, channels interleaved: the zero-crossing rate of the first loud stretch,
    # over every plausible channel count and rate, must match one of the tones.
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


def scenario_empty(display, args):
    tappy = Tappy(display, os.path.abspath(args.tappy), "empty")
    try:
        img = display.screenshot()
        check(bbox(img, dark, (0, 0, W, 20)) is not None, "no exit hint on an empty library")
        check(bbox(img, lambda c: c != (255, 255, 255), (0, 30, W, H)) is None,
              "an empty library drew more than the hint")
        leave_by_corners(display, tappy)
    finally:
        tappy.close()


def scenario_broken(display, args):
    tappy = Tappy(display, os.path.abspath(args.tappy), "broken")
    try:
        for key in "abc":
            display.key(key)
        time.sleep(0.5)
        check(tappy.alive(), "tappy ended on broken content")
        leave_by_corners(display, tappy)
    finally:
        tappy.close()


def geometry(display, window):
    out = display.xdo("getwindowgeometry", "--shell", window)
    f = dict(line.split("=") for line in out.split())
    return int(f["X"]), int(f["Y"]), int(f["WIDTH"]), int(f["HEIGHT"])


def tappy_windows(display):
    r = subprocess.run(["xdotool", "search", "--name", "^Tappy$"], env=display.env,
                       capture_output=True)
    return r.stdout.decode().split()


def scenario_monitors(display, args):
    program = os.path.abspath(args.tappy)
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
        shapes = sorted(g for g in (geometry(display, w) for w in windows) if g[2] > 1)
        check(shapes == [(0, 0, HALF, H), (HALF, 0, HALF, H)],
              "expected the play window on the left half and a cover on the right: %s" % shapes)
        play = tappy_windows(display)
        check(len(play) == 1 and geometry(display, play[0]) == (0, 0, HALF, H),
              "the play window is not the left half")

        img = display.screenshot()
        check(bbox(img, lambda c: c != (255, 255, 255), (HALF, 0, 2 * HALF, H)) is None,
              "the other monitor is not plain white")
        check(bbox(img, dark, (0, 0, HALF, 20)) is not None, "no exit hint on the play monitor")

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


def scenario_instance(display, args):
    program = os.path.abspath(args.tappy)
    # No display at all: a clear message and a failing exit, not an invisible program.
    env = {k: v for k, v in os.environ.items()
           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER")}
    r = subprocess.run([program], env=env, capture_output=True, timeout=20)
    check(r.returncode != 0 and b"cannot open the display" in r.stderr,
          "without a display tappy ended with status %d: %s" % (r.returncode, r.stderr))
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


def scenario_session(display, args):
    program, probe = os.path.abspath(args.tappy), args.probe
    check(display.indicators()["Caps Lock"] == "off", "Caps Lock is on before the test")
    run(["xset", "s", "2"], env=display.env)
    tappy = Tappy(display, program, "topics")
    try:
        # No input for longer than the screen saver's timeout.
        time.sleep(4)
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
    # Without Tappy the same timeout does blank the screen: the check above means something.
    time.sleep(4)
    state = run([probe, "saver"], env=display.env).stdout.decode().strip()
    check(state == "on", "the screen saver does not come on under this Xvfb: %s" % state)


SCENARIOS = {
    "play": (scenario_play, W),
    "empty": (scenario_empty, W),
    "broken": (scenario_broken, W),
    "monitors": (scenario_monitors, 2 * HALF),
    "instance": (scenario_instance, HALF),
    "session": (scenario_session, HALF),
}

if __name__ == "__main__":
    sys.exit(main(SCENARIOS, ("Xvfb", "xdotool", "xrandr", "xset", "import", "convert", "sox")))
