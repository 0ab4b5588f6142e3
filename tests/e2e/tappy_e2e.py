#!/usr/bin/env python3
# End-to-end checks of the real program on Xvfb (support/xvfb.py), driven with xdotool.
#
# Each scenario starts its own Xvfb (1024 x 768, no window manager), copies the built program
# into a temporary folder with content made for the scenario, plays with it as a person would,
# and looks at screenshots and at the disk audio driver's output.
#
#   play, broken  the scene, new keys, the pulse, F12, outside close requests, the corner exit
#                 and the About box, the sound played; hostile content only, which leaves an
#                 empty library: the hint alone
#   instance  a second start exits 0 and leaves one Tappy window; after the first is killed
#             with -9 the next start runs
#   session   Caps Lock and Num Lock toggled during play are put back after the corner exit, and
#             the screen saver does not come on while Tappy runs
#   gone      the X server killed under Tappy: it ends with a failing status, saying why
#   monitors  (2048 x 768) a monitor defined with xrandr beside the play one while Tappy runs is
#             covered plain white and the pointer cannot reach it; once it is deleted again, its
#             half shows the bare screen; the time to cover it is printed; the play monitor
#             resized wider and back is filled by the play window, whose corners still end it
import os
import struct
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from xvfb import (H, PICTURE, W, Tappy, bbox, check, dark, main, run, tappy_env,  # noqa: E402
                  wait_until)

WHITE = (255, 255, 255)
# Picture colours and tones, one per topic, so the audio tells that a topic's sound played.
TOPICS = {"red": (255, 0, 0, 440), "green": (0, 160, 0, 660), "blue": (0, 0, 255, 880),
          "orange": (255, 140, 0, 1100)}


def picture_size(img):
    # The picture's width and height: whatever is not white between the hint and the words.
    box = bbox(img, lambda c: c != WHITE, PICTURE)
    return box and (box[2] - box[0], box[3] - box[1])


def folders(folder):
    paths = [os.path.join(folder, name) for name in ("images", "sounds")]
    for path in paths:
        os.makedirs(path)
    return paths


def topics(folder):
    images, sounds = folders(folder)
    for name, (r, g, b, freq) in TOPICS.items():
        run(["convert", "-size", "400x300", f"xc:rgb({r},{g},{b})",
             os.path.join(images, name + ".png")])
        run(["sox", "-n", "-r", "22050", "-c", "1", "-b", "16",
             os.path.join(sounds, name + ".wav"), "synth", "0.4", "sine", str(freq)])
    with open(os.path.join(folder, "Tappy.map"), "w") as f:
        f.write("".join("{%s}{%s.png}{}\n" % (name.capitalize(), name) for name in TOPICS))


def broken(folder):
    os.makedirs(os.path.join(folders(folder)[0], "folder.png"))
    for path, data in (("images/truncated.png", b"\x89PNG\r\n\x1a\n\0\0\0\rIHDR"),
                       ("images/empty.jpg", b""), ("images/notes.txt", b"not a picture\n"),
                       ("sounds/truncated.wav", b"RIFF\xff\xff\xff\xffWAVEfmt "),
                       ("Tappy.map", b"\xef\xbb\xbf{oops{truncated.png}{truncated.wav,\0\0}garbage{")):
        with open(os.path.join(folder, path), "wb") as f:
            f.write(data)


def check_audio(path):
    # The disk driver writes the device's 44.1 kHz 16-bit stereo. The zero-crossing rate of the
    # first loud stretch gives its pitch, which must be one of the topics' tones.
    data = open(path, "rb").read() if os.path.exists(path) else b""
    left = struct.unpack("<%dh" % (len(data) // 2), data[:len(data) // 2 * 2])[::2]
    loud = [i for i, s in enumerate(left) if abs(s) > 2000]
    check(loud, "the audio output is silent")
    window = left[loud[0]:loud[0] + 8820]
    pitch = sum((a < 0) != (b < 0) for a, b in zip(window, window[1:])) / 2 / (len(window) / 44100)
    check(any(abs(pitch - t[3]) < t[3] * 0.05 for t in TOPICS.values()),
          "the audio output holds none of the topics' tones (%.0f Hz)" % pitch)


def scenario_play(display, args):
    with Tappy(display, args.tappy, topics) as tappy:
        img = display.screenshot()
        check(picture_size(img), "the first scene shows no picture in the box")
        check(bbox(img, dark, (0, 0, W, 20)), "no exit hint in the top line")
        check(bbox(img, dark, (0, H - 130, W, H)), "no text at the bottom")
        check(tappy.key_changes_picture("qwertyuiop", 1.5), "new keys never changed the scene")

        # The same key pressed again grows the picture (each press adds to the pulse). Every
        # test sound lasts 0.4 s: after 1.5 s the worker is idle and a new key makes a choice.
        time.sleep(1.5)
        display.key("z")
        time.sleep(0.3)
        small = picture_size(display.screenshot())
        for _ in range(15):
            display.key("z")
        time.sleep(0.3)
        big = picture_size(display.screenshot())
        check(big[0] > small[0] and big[1] > small[1],
              "holding the key did not grow the picture: %s -> %s" % (small, big))

        # F12 changes nothing, and a close request from outside is ignored.
        time.sleep(1.5)
        before = display.screenshot()
        display.key("F12")
        subprocess.run([args.probe, "close"], env=display.env, check=True)
        time.sleep(0.5)
        check(display.screenshot() == before, "F12 or a close request changed the scene")
        check(tappy.alive(), "a close request from outside ended tappy")
        tappy.leave_by_corners()
        check_audio(tappy.audio)


def scenario_broken(display, args):
    # Every file is hostile, so the library ends up as empty as an empty folder's: keys draw
    # nothing but the hint.
    with Tappy(display, args.tappy, broken) as tappy:
        for key in "abc":
            display.key(key)
        time.sleep(0.5)
        check(tappy.alive(), "tappy ended on broken content")
        img = display.screenshot()
        check(bbox(img, dark, (0, 0, W, 20)), "no exit hint on an empty library")
        check(bbox(img, lambda c: c != WHITE, (0, 30, W, H)) is None,
              "an empty library drew more than the hint")
        tappy.leave_by_corners()


def scenario_instance(display, args):
    # No display at all: a clear message and a failing exit, not an invisible program.
    env = {k: v for k, v in os.environ.items()
           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER")}
    r = subprocess.run([args.tappy], env=env, capture_output=True, timeout=20)
    check(r.returncode != 0 and b"cannot open the display" in r.stderr,
          "without a display tappy ended with status %d: %s" % (r.returncode, r.stderr))
    with Tappy(display, args.tappy, topics) as first:
        second = subprocess.run([first.program], env=tappy_env(display), capture_output=True,
                                timeout=60)
        check(second.returncode == 0 and b"already running" in second.stderr,
              "a second start exited %d:\n%s" % (second.returncode, second.stderr))
        check(first.alive(), "the second start ended the first")
        check(len(display.tappy_windows()) == 1,
              "not one Tappy window after a second start: %s" % display.tappy_windows())
        # A killed instance leaves nothing that blocks the next start.
        first.proc.kill()
        first.proc.wait()
        wait_until(lambda: not display.tappy_windows(), 5)
        with Tappy(display, args.tappy, topics) as third:
            third.leave_by_corners()


def scenario_session(display, args):
    check(display.indicators()["Caps Lock"] == "off", "Caps Lock is on before the test")
    run(["xset", "s", "2"], env=display.env)

    def saver():
        return run([args.probe, "saver"], env=display.env).stdout.decode().strip()

    with Tappy(display, args.tappy, topics) as tappy:
        # No input for longer than the screen saver's timeout.
        time.sleep(4)
        check(saver() in ("off", "disabled"), "the screen saver came on: %s" % saver())
        display.key("Caps_Lock")
        display.key("Num_Lock")
        time.sleep(0.3)
        now = display.indicators()
        check(now["Caps Lock"] == now["Num Lock"] == "on",
              "the lock keys did not toggle during play: %s" % now)
        tappy.leave_by_corners()
        after = display.indicators()
        check(after["Caps Lock"] == after["Num Lock"] == "off",
              "the lock keys were not put back: %s" % after)
    # Without Tappy the same timeout does blank the screen: the check above means something.
    time.sleep(4)
    check(saver() == "on", "the screen saver does not come on under this Xvfb: %s" % saver())


def scenario_gone(display, args):
    with Tappy(display, args.tappy, topics) as tappy:
        start = time.monotonic()
        display.proc.kill()
        code = tappy.wait_exit(60)
        print("tappy ended %.2f s after the X server was killed" % (time.monotonic() - start))
        check(code and "the display server has gone" in tappy.stderr(),
              "tappy ended with %r once the X server was killed:\n%s" % (code, tappy.stderr()))


def scenario_monitors(display, args):
    def monitor(name, x, primary, width=W):
        run(["xrandr", "--setmonitor", name, "%d/270x%d/200+%d+0" % (width, H, x), primary],
            env=display.env)

    def right_white():
        return bbox(display.screenshot(), lambda c: c != WHITE, (W, 0, 2 * W, H)) is None

    monitor("LEFT", 0, "screen")
    with Tappy(display, args.tappy, topics) as tappy:
        for attempt in range(2):  # added, removed and added again
            check(not right_white(), "the right half is covered before it is a monitor")
            start = time.monotonic()
            monitor("RIGHT", W, "none")
            wait_until(right_white, 10, 0.05)
            print("the new monitor was covered %.2f s after xrandr" % (time.monotonic() - start))
            check(right_white(), "the new monitor is not covered plain white")
            display.xdo("mousemove", W + W // 2, H // 2)
            x = int(display.xdo("getmouselocation").split()[0].split(":")[1])
            check(x < W, "the pointer reached the new monitor")
            check(tappy.key_changes_picture("asdfgh", 1.0), "keys did not reach Tappy")
            run(["xrandr", "--delmonitor", "RIGHT"], env=display.env)
            time.sleep(1.0)
            check(tappy.alive(), "tappy ended when a monitor went")
        # The play monitor resized, and back (gone and made again, as Xvfb's screen cannot
        # change size): its right edge is the play window's background, and the corners are its own again.
        for width in (3 * W // 2, W):
            run(["xrandr", "--delmonitor", "LEFT"], env=display.env)
            time.sleep(1.0)  # long enough for Tappy to see the screen with no monitor
            monitor("LEFT", 0, "screen", width)
            edge = (width - 40, 100, width, H - 200)
            check(wait_until(lambda: bbox(display.screenshot(), lambda c: c != WHITE, edge)
                             is None, 10, 0.05),
                  "the play window did not refit a monitor %d px wide" % width)
        tappy.leave_by_corners(about=False)


SCENARIOS = {"play": (scenario_play, W), "broken": (scenario_broken, W),
             "instance": (scenario_instance, W), "session": (scenario_session, W),
             "gone": (scenario_gone, W), "monitors": (scenario_monitors, 2 * W)}

if __name__ == "__main__":
    sys.exit(main(SCENARIOS, ("Xvfb", "xdotool", "xrandr", "xset", "import", "convert", "sox")))
