#!/usr/bin/env python3
# The parents' tool with the real program on Xvfb (support/xvfb.py), each scenario with a fresh
# HOME, so the content folder is the one `tappy-content add` makes there.
#
#   photos  two photos added (one renamed so that it pairs) are what Tappy shows, and nothing
#           of the bundled content beside the program; `speak` gives each a sound, which Tappy
#           plays (heard in the disk audio output)
#   check   a damaged and an oversized picture are named with their reasons, a text file is
#           ignored, and the exit status says something was refused
#
#     python3 content_e2e.py --tappy build/tappy --tool build/tappy-content photos
import atexit
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from xvfb import PICTURE, W, Tappy, check, main, picture, run  # noqa: E402

RED, BLUE = (220, 0, 0), (0, 0, 220)


def near(c, rgb, tol=60):
    return all(abs(a - b) <= tol for a, b in zip(c, rgb))


def fresh_home():
    home = tempfile.mkdtemp(prefix="tappy-home-")
    atexit.register(shutil.rmtree, home, True)
    env = {k: v for k, v in os.environ.items() if k != "XDG_DATA_HOME"}
    return home, dict(env, HOME=home)


def tool(args, env, *words):
    return subprocess.run([args.tool, *words], env=env, capture_output=True, text=True,
                          timeout=120)


def png(path, width, height, idat):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2,
                                                                   0, 0, 0)) +
                chunk(b"IDAT", idat) + chunk(b"IEND", b""))


def scenario_photos(display, args):
    home, env = fresh_home()
    for name, rgb in (("red.jpeg", RED), ("blue.png", BLUE)):
        run(["convert", "-size", "400x300", "xc:rgb(%d,%d,%d)" % rgb, os.path.join(home, name)])
    added = tool(args, env, "add", os.path.join(home, "red.jpeg"), os.path.join(home, "blue.png"))
    check(added.returncode == 0 and "images/red.jpg" in added.stdout,
          "add failed or did not rename red.jpeg: %s%s" % (added.stdout, added.stderr))
    spoken = tool(args, env, "speak", "--voice", "en")
    sounds = os.path.join(home, ".local", "share", "tappy", "sounds")
    check(spoken.returncode == 0 and sorted(os.listdir(sounds)) == ["blue.wav", "red.wav"],
          "speak made no pairing sounds: %s%s" % (spoken.stdout, spoken.stderr))
    seen = set()
    with Tappy(display, args.tappy, env={"HOME": home, "XDG_DATA_HOME": None}) as tappy:
        for key in "qwertyuiopasdf":
            scene = [c for row in picture(display.screenshot()) for c in row
                     if not near(c, (255, 255, 255), 30)]
            colours = {name for name, rgb in (("red", RED), ("blue", BLUE))
                       if sum(near(c, rgb) for c in scene) > 10000}
            # Edges of a scaled photo blend into the white; a bundled picture is much more.
            check(len(colours) == 1 and sum(not near(c, RED) and not near(c, BLUE)
                                            for c in scene) < 3000,
                  "a scene shows something other than one of the two photos")
            seen |= colours
            if len(seen) == 2:
                break
            time.sleep(2.0)  # the spoken word has ended, so a new key makes a new choice
            display.key(key)
            time.sleep(0.5)
        check(seen == {"red", "blue"}, "only %s of the two photos was ever shown" % seen)
        tappy.leave_by_corners()
        audio = open(tappy.audio, "rb").read() if os.path.exists(tappy.audio) else b""
        check(audio.strip(b"\0"), "no spoken word was played")


def scenario_check(display, args):
    home, env = fresh_home()
    run(["convert", "-size", "40x30", "xc:red", os.path.join(home, "fine.png")])
    png(os.path.join(home, "huge.png"), 12000, 10000, zlib.compress(b"\0" * 1000))
    png(os.path.join(home, "damaged.png"), 400, 300, b"\x78\x9c" + bytes(range(256)) * 8)
    with open(os.path.join(home, "notes.txt"), "w") as f:
        f.write("for the grandparents\n")
    files = [os.path.join(home, n) for n in ("fine.png", "huge.png", "damaged.png", "notes.txt")]
    added = tool(args, env, "add", *files)
    check(added.returncode != 0 and "notes.txt: neither a picture" in added.stderr,
          "add took a text file: %s%s" % (added.stdout, added.stderr))
    with open(os.path.join(home, ".local/share/tappy/images/notes.txt"), "w") as f:
        f.write("copied by hand\n")
    checked = tool(args, env, "check")
    print(checked.stdout)
    for line in ("use     fine.png: 40 x 30, no sound: add fine.wav or run `tappy-content speak`",
                 "refuse  huge.png: too large: 120 megapixels, the limit is 100",
                 "refuse  damaged.png: damaged:", "ignore  notes.txt: not a picture"):
        check(line in checked.stdout, "the check does not say: %s" % line)
    check(checked.returncode == 1, "check exited %d with refused pictures" % checked.returncode)


if __name__ == "__main__":
    sys.exit(main({"photos": (scenario_photos, W), "check": (scenario_check, W)},
                  ("Xvfb", "xdotool", "import", "convert", "espeak-ng")))
