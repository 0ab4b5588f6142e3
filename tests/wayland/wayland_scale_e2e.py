#!/usr/bin/env python3
# Tappy on scaled outputs: headless sway (support/sway.py) with two outputs of 1024 x 768 in the
# layout, each made of 1024 x 768 device pixels times the scale (2 unless --scale says otherwise).
# Tappy shows a picture of random noise and a word. On the play output's screenshot, taken at
# its device pixels, the aligned 2 x 2 blocks of the picture and of the word's edges (a block
# whose 4 x 4 surroundings are not all one colour) must mostly differ inside: a scene drawn at
# the layout's size and scaled up by the compositor makes every one of them uniform. The cover
# still fills the other output, and a click at the layout's top-left, then top-right pixel ends
# Tappy with 0.
#
# Exit status: 0 passed, 1 failed, 77 skipped (sway or a tool is missing).
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # no caches left in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from sway import Sway  # noqa: E402
from wayland_e2e import Child, check_background, outputs, settle, start_tappy  # noqa: E402
from xvfb import SKIP, H, W, Failure, check, run  # noqa: E402

WORD = "Kiwi"
# Drawn at device pixels the share is about 0.01 in the noise and 0.55 at the word's edges;
# drawn at the layout's size and scaled up, 1.0.
MOST_UNIFORM = 0.8


def content(folder, size):
    os.makedirs(os.path.join(folder, "images"))
    # Larger than the play output, so that Tappy scales it down and no two pixels repeat.
    run(["convert", "-size", "%dx%d" % size, "xc:", "+noise", "Random",
         os.path.join(folder, "images", "noise.png")])
    with open(os.path.join(folder, "Tappy.map"), "w") as f:
        f.write("{%s}{noise.png}{}\n" % WORD)


def uniform_share(img, width, box):
    # Of the aligned 2 x 2 blocks in box whose 4 x 4 surroundings are not flat, the share whose
    # four pixels are equal, and how many were counted.
    def px(x, y):
        return img[(y * width + x) * 3:(y * width + x) * 3 + 3]

    same = counted = 0
    for y in range(box[1] + 1 & ~1, box[3] - 2, 2):
        for x in range(box[0] + 1 & ~1, box[2] - 2, 2):
            if len({px(x + i, y + j) for j in range(-1, 3) for i in range(-1, 3)}) == 1:
                continue
            counted += 1
            same += len({px(x, y), px(x + 1, y), px(x, y + 1), px(x + 1, y + 1)}) == 1
    return (same / counted if counted else 1.0), counted


def ink_box(img, width, region, paper):
    # The bounding box of what is not paper-coloured in region, as (left, top, right, bottom).
    l, t, r, b = region
    rows = [y for y in range(t, b) if img[(y * width + l) * 3:(y * width + r) * 3] != paper *
            (r - l)]
    cols = [x for x in range(l, r) if any(img[(y * width + x) * 3:(y * width + x) * 3 + 3] !=
                                          paper for y in rows)] if rows else []
    return (cols[0], rows[0], cols[-1] + 1, rows[-1] + 1) if cols else None


def check_scene(sway, scale):
    name = [v["output"] for v in sway.views() if v.get("name") == "Tappy"][0]
    data = sway.run(["grim", "-o", name, "-t", "ppm", "-"])
    header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", data)  # as grim writes it
    w, h, img = int(header[1]), int(header[2]), data[header.end():]
    check((w, h) == (round(W * scale), round(H * scale)), "the play output's screenshot is "
          "%dx%d" % (w, h))
    paper = img[(h // 2 * w + 5) * 3:(h // 2 * w + 5) * 3 + 3]  # left of the picture
    for what, region in (("picture", (30, 30, w - 30, h - 130)),
                         ("word", (w // 4, h - 130, w * 3 // 4, h))):
        box = ink_box(img, w, region, paper)
        check(box, "no %s on the play output" % what)
        share, counted = uniform_share(img, w, box)
        print("%s at %s: uniform 2x2 share %.3f of %d blocks" % (what, box, share, counted))
        check(share < MOST_UNIFORM, "the %s looks scaled up: %.3f of its 2x2 blocks are uniform"
              % (what, share))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tappy", required=True, type=os.path.abspath)
    parser.add_argument("--input", required=True, type=os.path.abspath)
    parser.add_argument("--scale", type=float, default=2)
    args = parser.parse_args()
    for tool in ("sway", "swaymsg", "grim", "Xwayland", "xhost", "convert", "setpriv"):
        if not shutil.which(tool):
            print("SKIP: %s is not installed" % tool)
            return SKIP
    folder = tempfile.mkdtemp(prefix="tappy-scale-")
    sway = Sway(2, [])
    try:
        sway.connect()
        size = (round(W * args.scale), round(H * args.scale))
        sway.msg("command", "output * mode %dx%d scale %s" % (size + (args.scale,)))
        content(folder, (size[0] * 5 // 4, size[1] * 5 // 4))
        args.tappy = shutil.copy2(args.tappy, os.path.join(folder, "tappy"))
        keys = Child(sway, [args.input, "%dx%d" % (W * 2, H)], stdin=subprocess.PIPE)
        keys.wait_for("ready", 20)
        tappy = start_tappy(sway, args)[0]
        check_background(sway)
        check_scene(sway, args.scale)
        rect = outputs(sway)[0]
        keys.click_at(rect["x"], rect["y"])
        keys.click_at(rect["x"] + rect["width"] - 1, rect["y"])
        settle(lambda: tappy.proc.poll() != 0 and "tappy did not exit with status 0 after the "
               "corners (%r):\n%s" % (tappy.proc.returncode, "\n".join(tappy.lines[-40:])), 30)
    except (Failure, subprocess.TimeoutExpired) as e:
        print("FAIL:", e)
        print("sway's log ends:\n" + "\n".join(sway.output().splitlines()[-15:]))
        return 1
    finally:
        sway.close()
        shutil.rmtree(folder, ignore_errors=True)
    print("PASS")
    return 0


if __name__ == "__main__":
    sys.exit(main())
