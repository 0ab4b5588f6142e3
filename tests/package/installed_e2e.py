#!/usr/bin/env python3
"""The installed package's command on Xvfb, started as a parent starts it: by a link on the
PATH (or from a copy of its folder), in a folder of no importance. Its bundled content shows
(found beside the program's real file, behind the link), a key changes the scene and plays a
sound, and the corner gesture shows the About box and exits 0.

    python3 tests/package/installed_e2e.py /usr/games/tappy

Exit status: 0 passed, 1 failed, 77 skipped (a tool is missing).
"""
import os
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [os.path.join(HERE, "..", "e2e"), os.path.join(HERE, "..", "support")]
import tappy_e2e  # noqa: E402
import xvfb  # noqa: E402
from tappy_e2e import H, W, Tappy, leave_by_corners  # noqa: E402
from xvfb import Failure, bbox, check  # noqa: E402

# Where the picture stands: below the hint line, above the words.
PICTURE = (30, 30, W - 30, H - 130)


class Installed(Tappy):
    """The installed command with the content it ships; only the disk audio goes elsewhere."""

    def __init__(self, display, command):
        self.dir = tempfile.mkdtemp(prefix="tappy-package-")
        self.audio = os.path.join(self.dir, "audio.raw")
        env = dict(display.env, SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE=self.audio)
        env.pop("SDL_VIDEODRIVER", None)
        self.proc = subprocess.Popen([command], env=env, cwd=self.dir,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.display = display
        self.wait_for_window()


def picture(img):
    return [row[PICTURE[0]:PICTURE[2]] for row in img[PICTURE[1]:PICTURE[3]]]


def scenario(display, args):
    tappy = Installed(display, args.tappy)
    try:
        first = display.screenshot()
        check(bbox(first, lambda c: c != (255, 255, 255), PICTURE) is not None,
              "the first scene shows no picture: the bundled content was not found")
        # A new choice may repeat the topic and word shown, so a few keys, each after the
        # sound before it has ended (a key during a sound keeps the scene).
        for key in "asdfg":
            tappy_e2e.wait_quiet(2.5)
            display.key(key)
            time.sleep(0.5)
            if picture(display.screenshot()) != picture(first):
                break
        else:
            raise Failure("no key changed the scene")
        tappy_e2e.wait_quiet(2.5)
        leave_by_corners(display, tappy)
        audio = open(tappy.audio, "rb").read() if os.path.exists(tappy.audio) else b""
        check(audio.strip(b"\0"), "no sound was played")
    finally:
        tappy.close()


if __name__ == "__main__":
    sys.argv[1:] = ["--tappy", sys.argv[1], "installed"]  # the installed command
    sys.exit(xvfb.main({"installed": (scenario, W)}, ("Xvfb", "xdotool", "import"), H))
