#!/usr/bin/env python3
# Start-up at library scale: Tappy on Xvfb with 300, 3,000 and 10,000 full-HD JPEG photos (hard
# links of a few distinct ones), started twice on the same verdict cache. For each start: the
# time to the window, the time until the start-up work is done (the CPU of Tappy and its
# children has stood still for STILL seconds), the CPU seconds of Tappy with its children by then,
# and Tappy's peak resident memory. Run from the top folder after `make`:
#   bench/library_scale.py [build/tappy] [300 3000 10000]
# Needs Xvfb, xdotool and ImageMagick (the test tools).
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "support"))
from xvfb import Display  # noqa: E402

DISTINCT = 4
TICK = os.sysconf("SC_CLK_TCK")
# The background check runs at low priority; on a busy machine it may stand still for a moment
# without having finished.
STILL = 3.0


def photos(folder):
    # Plasma compresses like a photo; each seed gives a different one.
    os.makedirs(folder)
    for i in range(DISTINCT):
        subprocess.run(["convert", "-seed", str(i + 1), "-size", "1920x1080", "plasma:",
                        "-quality", "90", os.path.join(folder, f"p{i}.jpg")], check=True)
    return [os.path.join(folder, f"p{i}.jpg") for i in range(DISTINCT)]


def library(root, count, sources, program):
    images = os.path.join(root, "images")
    os.makedirs(images)
    for n in range(count):
        os.link(sources[n % len(sources)], os.path.join(images, f"photo{n:05}.jpg"))
    return shutil.copy2(program, os.path.join(root, "tappy"))


def tree(pid):
    # The process and every descendant still running.
    out, todo = [], [pid]
    while todo:
        p = todo.pop()
        out.append(p)
        try:
            for task in os.listdir(f"/proc/{p}/task"):
                with open(f"/proc/{p}/task/{task}/children") as f:
                    todo += [int(c) for c in f.read().split()]
        except OSError:
            pass
    return out


def cpu(pid):
    # utime + stime of the living tree, and of the children Tappy has already reaped.
    total = 0
    for p in tree(pid):
        try:
            with open(f"/proc/{p}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        total += int(fields[11]) + int(fields[12])
        if p == pid:
            total += int(fields[13]) + int(fields[14])
    return total / TICK


def peak_mb(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmHWM"):
                return int(line.split()[1]) / 1024
    return 0


def start(display, program, cache):
    env = dict(display.env, SDL_AUDIODRIVER="dummy", XDG_CACHE_HOME=cache)
    env.pop("SDL_VIDEODRIVER", None)
    t0 = time.monotonic()
    errors = tempfile.TemporaryFile()
    proc = subprocess.Popen([program], cwd="/", env=env, stdout=subprocess.DEVNULL,
                            stderr=errors)
    window = None
    while window is None and proc.poll() is None and time.monotonic() - t0 < 60:
        if subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Tappy$"],
                          env=display.env, capture_output=True).stdout.strip():
            window = time.monotonic() - t0
        time.sleep(0.01)
    last, last_at, used = -1.0, time.monotonic(), 0.0
    while time.monotonic() - last_at < STILL and time.monotonic() - t0 < 900:
        used = cpu(proc.pid)
        if used != last:
            last, last_at = used, time.monotonic()
        time.sleep(0.05)
    if proc.poll() is not None:
        # A start that ends by itself is a failure, not a measurement: say how it ended.
        errors.seek(0)
        sys.exit(f"Tappy ended with status {proc.returncode} after {time.monotonic() - t0:.1f} s:"
                 f" {errors.read().decode(errors='replace').strip()}")
    done, peak = last_at - t0, peak_mb(proc.pid)
    proc.terminate()
    proc.wait()
    return window or float("nan"), done, used, peak


def main():
    program = os.path.realpath(sys.argv[1] if len(sys.argv) > 1 else "build/tappy")
    counts = [int(c) for c in sys.argv[2:]] or [300, 3000, 10000]
    work = tempfile.mkdtemp(prefix="tappy-scale-")
    display = Display(1920, 1080)
    try:
        sources = photos(os.path.join(work, "sources"))
        print("| Photos | Start | Window shows | Start-up work done | CPU spent | Peak memory |")
        print("|---|---|---|---|---|---|")
        for count in counts:
            root = os.path.join(work, str(count))
            program_copy = library(root, count, sources, program)
            cache = os.path.join(root, "cache")
            for which in ("first", "second"):
                w, d, c, m = start(display, program_copy, cache)
                print(f"| {count:,} | {which} | {w:.2f} s | {d:.1f} s | {c:.1f} s | {m:.0f} MB |",
                      flush=True)
    finally:
        display.close()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
