#!/usr/bin/env python3
# A long session: Tappy on Xvfb with 150 mixed photos (JPEG, PNG, a few GIF and WebP, a few
# broken files; hard links of a few distinct ones) and a toddler at the keyboard for 30 minutes:
# about 10 keys a second, some held, some with modifiers, and clicks anywhere but the corners.
# Every 30 s it reads from /proc Tappy's resident memory, open descriptors, threads, children
# and zombies, and prints a table; then a summary: the first, last and largest resident size,
# the linear trend of the resident size over the second half, the most descriptors, threads and
# children, and the zombies seen. At the end Tappy is left by the corners and its exit timed.
# Run from the top folder after `make`, at low priority on a shared machine:
#   nice bench/soak.py [--tappy build/tappy] [--minutes 30] [--photos 150] [--every 30]
# Needs Xvfb, xdotool, ImageMagick and sox (the test tools).
import argparse
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "support"))
from xvfb import Display  # noqa: E402

WIDTH, HEIGHT = 1920, 1080
# The corner squares of the exit gesture, and a margin: a click there could arm it.
CORNER_MARGIN = 120
# Typed keys: letters, digits and a few others; the modifiers go with some of them.
KEYS = list("abcdefghijklmnopqrstuvwxyz0123456789") + [
    "space", "Return", "BackSpace", "Tab", "Escape", "Left", "Right", "Up", "Down", "F1", "F5",
    "F10", "F12", "Menu", "KP_5", "comma", "period"]
CHORDS = ["shift+a", "ctrl+c", "ctrl+w", "ctrl+q", "alt+x", "alt+Tab", "alt+F4", "super+d",
          "super", "ctrl+alt+Delete", "ctrl+alt+F1", "shift+ctrl+Escape", "ctrl+z", "alt+space"]


def distinct_pictures(folder):
    # (name, weight) of each distinct file; the weights give the library's mix.
    made = []

    def convert(name, weight, *args):
        subprocess.run(["convert", *args, os.path.join(folder, name)], check=True)
        made.append((name, weight))

    for i, (w, h) in enumerate([(1920, 1080), (4000, 3000), (800, 600), (1080, 1920),
                                (3264, 2448), (640, 480)]):
        convert(f"j{i}.jpg", 15, "-seed", str(i + 1), "-size", f"{w}x{h}", "plasma:",
                "-quality", "88", *(["-interlace", "JPEG"] if i == 2 else []))
    for i, extra in enumerate([[], ["-alpha", "set", "-channel", "A", "-evaluate", "set",
                                    "70%"], ["-colors", "64"]]):
        convert(f"p{i}.png", 10, "-seed", str(i + 11), "-size", "1600x1200", "plasma:", *extra)
    convert("g0.gif", 4, "-seed", "21", "-size", "500x400", "plasma:", "-colors", "128")
    convert("g1.gif", 3, "-delay", "20", "-size", "300x300", "xc:red", "xc:blue", "xc:green")
    for i in range(2):
        convert(f"w{i}.webp", 5, "-seed", str(i + 31), "-size", "1280x960", "plasma:",
                "-quality", "80")
    # Broken: a JPEG cut in half, a PNG cut after its header, an empty file, text in disguise.
    with open(os.path.join(folder, "j0.jpg"), "rb") as f:
        whole = f.read()
    for name, data in (("cut.jpg", whole[:len(whole) // 2]),
                       ("cut.png", b"\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\x10\0"),
                       ("empty.gif", b""), ("notes.webp", b"not a picture at all\n")):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
        made.append((name, 2))
    return made


def library(root, count, program):
    # images/ of count hard links over the distinct pictures, a sound for about half of them
    # (the others play the chime), words for a third.
    sources, images, sounds = (os.path.join(root, d) for d in ("sources", "images", "sounds"))
    for d in (sources, images, sounds):
        os.makedirs(d)
    tones = []
    for i, (seconds, freq) in enumerate([(0.3, 440), (0.6, 660), (1.0, 550), (2.5, 330)]):
        tones.append(os.path.join(sources, f"t{i}.wav"))
        subprocess.run(["sox", "-n", "-r", "22050", "-c", "1", "-b", "16", tones[-1], "synth",
                        str(seconds), "sine", str(freq)], check=True)
    made = distinct_pictures(sources)
    rng = random.Random(7)
    words = []
    for n in range(count):
        name, _ = rng.choices(made, weights=[w for _, w in made])[0]
        stem, ext = f"photo{n:03}", os.path.splitext(name)[1]
        os.link(os.path.join(sources, name), os.path.join(images, stem + ext))
        if n % 2 == 0:
            os.link(tones[n % len(tones)], os.path.join(sounds, stem + ".wav"))
        if n % 3 == 0:
            words.append("{Photo %d, Bild %d}{%s%s}{}\n" % (n, n, stem, ext))
    with open(os.path.join(root, "Tappy.map"), "w") as f:
        f.write("".join(words))
    return shutil.copy2(program, os.path.join(root, "tappy"))


def toddler(rng):
    # Endless (xdotool line, seconds until the next, keys in it). Between events the gap is
    # random; a held key takes the hand alone (another key would stop the server repeating
    # it, and the repeats are the pulse), held past the server's 660 ms repeat delay. The gap
    # and the share of holds make about 10 keys a second over all.
    while True:
        r, gap = rng.random(), rng.expovariate(1 / 0.052)
        if r < 0.77:
            yield "key " + rng.choice(KEYS), gap, 1
        elif r < 0.80:
            key = rng.choice(KEYS[:36])
            yield "keydown " + key, rng.uniform(0.8, 1.6), 1
            yield "keyup " + key, gap, 0
        elif r < 0.90:
            yield "key " + rng.choice(CHORDS), gap, 1
        else:
            x = rng.randrange(CORNER_MARGIN, WIDTH - CORNER_MARGIN)
            y = rng.randrange(CORNER_MARGIN, HEIGHT - CORNER_MARGIN)
            yield "mousemove %d %d click %s" % (x, y, rng.choice("1132")), gap, 0


def children(pid):
    out = []
    try:
        for task in os.listdir(f"/proc/{pid}/task"):
            with open(f"/proc/{pid}/task/{task}/children") as f:
                out += [int(c) for c in f.read().split()]
    except OSError:
        pass
    return out


def status(pid):
    fields = {}
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            key, _, value = line.partition(":")
            fields[key] = value.split()
    return fields


def sample(pid):
    s = status(pid)
    kids, zombies, kids_kb = children(pid), 0, 0
    for c in kids:
        try:
            cs = status(c)
        except OSError:
            continue
        zombies += cs["State"][0] == "Z"
        kids_kb += int(cs.get("VmRSS", ["0"])[0])
    return {"rss": int(s["VmRSS"][0]) / 1024, "fds": len(os.listdir(f"/proc/{pid}/fd")),
            "threads": int(s["Threads"][0]), "children": len(kids), "zombies": zombies,
            "kids_rss": kids_kb / 1024}


def trend(points):
    # Least-squares slope of (minutes, MB) and its standard error, in MB per hour. The resident
    # size swings by tens of MB as decoded pictures come and go, so a slope is growth only when
    # it stands well clear of its error.
    n, nan = len(points), (float("nan"), float("nan"))
    mx, my = sum(p[0] for p in points) / max(n, 1), sum(p[1] for p in points) / max(n, 1)
    sxx = sum((p[0] - mx) ** 2 for p in points)
    if n < 3 or not sxx:
        return nan
    slope = sum((p[0] - mx) * (p[1] - my) for p in points) / sxx
    spread = sum((y - my - slope * (x - mx)) ** 2 for x, y in points) / (n - 2)
    return slope * 60, (spread / sxx) ** 0.5 * 60


def leave(display, proc):
    # The corner gesture, after a click in the middle so nothing before has armed it.
    for x, y in ((WIDTH // 2, HEIGHT // 2), (5, 5), (WIDTH - 5, 5)):
        display.xdo("mousemove", x, y, "click", 1)
    t0 = time.monotonic()
    try:
        code = proc.wait(timeout=60)
    except subprocess.TimeoutExpired:
        proc.kill()
        code = None
    return code, time.monotonic() - t0


def soak(display, program, root, minutes, every):
    env = dict(display.env, SDL_AUDIODRIVER="dummy", XDG_CACHE_HOME=os.path.join(root, "cache"),
               XDG_DATA_HOME=os.path.join(root, "data"))
    env.pop("SDL_VIDEODRIVER", None)
    proc = subprocess.Popen([program], cwd="/", env=env, stdout=subprocess.DEVNULL,
                            stderr=open(os.path.join(root, "stderr.txt"), "w"))
    time.sleep(5)
    # One xdotool reads the events as they are written, each at its time: a process for each
    # would cost more than the gap.
    xdo = subprocess.Popen(["xdotool", "-"], stdin=subprocess.PIPE, text=True, env=display.env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    rows, t0, keys, events = [], time.monotonic(), 0, toddler(random.Random(1))
    print("| Minute | Resident | Descriptors | Threads | Children | Zombies | Children's resident |")
    print("|---|---|---|---|---|---|---|")
    next_at = at = t0
    while proc.poll() is None:
        now = time.monotonic()
        if now >= next_at:
            row = dict(sample(proc.pid), minute=(now - t0) / 60)
            rows.append(row)
            print("| {minute:.1f} | {rss:.1f} MB | {fds} | {threads} | {children} | {zombies} |"
                  " {kids_rss:.1f} MB |".format(**row), flush=True)
            next_at += every
            if now - t0 >= minutes * 60:
                break
        time.sleep(max(0.0, at - now))
        line, gap, n = next(events)
        xdo.stdin.write(line + "\n")
        xdo.stdin.flush()
        keys, at = keys + n, at + gap
    xdo.stdin.close()
    xdo.wait()  # what was written has been typed
    rate = keys / (time.monotonic() - t0)
    alive = proc.poll() is None
    code, took = leave(display, proc) if alive else (proc.returncode, 0.0)
    return rows, keys, rate, alive, code, took


def summary(rows, keys, rate, alive, code, took, root):
    rss = [r["rss"] for r in rows]
    half = [(r["minute"], r["rss"]) for r in rows if r["minute"] >= rows[-1]["minute"] / 2]
    print()
    print(f"Keys and chords sent: {keys} in {rows[-1]['minute']:.1f} minutes"
          f" ({rate:.1f} a second)")
    print(f"Resident: first {rss[0]:.1f} MB, last {rss[-1]:.1f} MB, largest {max(rss):.1f} MB;"
          " trend over the second half %+.1f ± %.1f MB per hour" % trend(half))
    print("Most descriptors %d, threads %d, children %d; zombies seen %d (at most %d at once)"
          % (max(r["fds"] for r in rows), max(r["threads"] for r in rows),
             max(r["children"] for r in rows), sum(r["zombies"] for r in rows),
             max(r["zombies"] for r in rows)))
    if not alive:
        print("Tappy ENDED during the soak, status %s:" % code)
    else:
        print(f"Left by the corners: status {code}, ended {took:.1f} s after the second corner")
    with open(os.path.join(root, "stderr.txt")) as f:
        said = f.read().strip()
    if said:
        print("Tappy said:\n" + said[-2000:])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tappy", default="build/tappy")
    parser.add_argument("--minutes", type=float, default=30)
    parser.add_argument("--photos", type=int, default=150)
    parser.add_argument("--every", type=float, default=30, help="seconds between samples")
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="tappy-soak-")
    display = Display(WIDTH, HEIGHT)
    try:
        program = library(work, args.photos, os.path.realpath(args.tappy))
        summary(*soak(display, program, work, args.minutes, args.every), work)
    finally:
        display.close()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
