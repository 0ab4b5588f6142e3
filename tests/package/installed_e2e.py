#!/usr/bin/env python3
# The installed package's command on Xvfb, started as a parent starts it: by a link on the
# PATH (or from a copy of its folder), in a folder of no importance. Its bundled content shows
# (found beside the program's real file, behind the link), a key changes the scene and plays a
# sound, and the corner gesture shows the About box and exits 0.
#
#     python3 tests/package/installed_e2e.py /usr/games/tappy
#
# Exit status: 0 passed, 1 failed, 77 skipped (a tool is missing).
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from xvfb import PICTURE, W, Tappy, bbox, check, main  # noqa: E402


def scenario(display, args):
    with Tappy(display, args.tappy) as tappy:
        check(bbox(display.screenshot(), lambda c: c != (255, 255, 255), PICTURE),
              "the first scene shows no picture: the bundled content was not found")
        check(tappy.key_changes_picture("asdfg", 2.5), "no key changed the scene")
        time.sleep(2.5)
        tappy.leave_by_corners()
        audio = open(tappy.audio, "rb").read() if os.path.exists(tappy.audio) else b""
        check(audio.strip(b"\0"), "no sound was played")


if __name__ == "__main__":
    sys.argv[1:] = ["--tappy", sys.argv[1], "installed"]  # the installed command
    sys.exit(main({"installed": (scenario, W)}, ("Xvfb", "xdotool", "import")))
