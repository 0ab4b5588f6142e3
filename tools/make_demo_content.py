#!/usr/bin/env python3
"""Makes Tappy's bundled demo content: pictures, sounds, Tappy.map and NOTICE.

    python3 tools/make_demo_content.py demo [--package svgmoji-noto-3.2.0.tgz]

Pictures are Noto Emoji art (Apache-2.0), taken from the SVG sprite sheet in the npm package
@svgmoji/noto (fetched with npm unless --package names the tarball already at
hand; its checksum is pinned) and rendered by rsvg-convert. Each topic's own sound is its
word spoken by espeak-ng; the extra sounds are effects synthesised with sox. Needs
rsvg-convert, espeak-ng and sox.

Runs again from scratch each time and writes the same bytes for the same inputs, so a re-run
shows no change in git unless the topics or the tools changed.
"""

import argparse
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tarfile
import tempfile
import wave

NOTO_PACKAGE = "@svgmoji/noto"
NOTO_VERSION = "3.2.0"
# The exact tarball NOTICE describes; any other bytes are refused.
NOTO_SHA256 = "4bd1ef9824efaa08f124541a4c3420899a273333169aada20761384f9c7a35d0"
SPRITE_IN_PACKAGE = "package/sprites/all.svg"

PICTURE_SIZE = 512
RATE = 22050
MIN_SECONDS = 0.5
MAX_SECONDS = 2.0

# (file stem, Noto code point sequence, words shown; the first is also spoken, extra sounds)
TOPICS = [
    # Animals
    ("cat", "1F431", ["Cat", "Kitty"], ["meow"]),
    ("dog", "1F436", ["Dog", "Puppy", "Doggy"], ["woof"]),
    ("cow", "1F42E", ["Cow", "Moo"], ["moo"]),
    ("pig", "1F437", ["Pig", "Piggy"], ["oink"]),
    ("duck", "1F986", ["Duck", "Quack quack"], ["quack"]),
    ("sheep", "1F411", ["Sheep", "Lamb"], ["baa"]),
    ("horse", "1F434", ["Horse", "Pony"], ["clip_clop"]),
    ("lion", "1F981", ["Lion"], ["roar"]),
    ("frog", "1F438", ["Frog"], ["ribbit"]),
    ("monkey", "1F435", ["Monkey"], []),
    ("elephant", "1F418", ["Elephant"], ["trumpet"]),
    ("chicken", "1F414", ["Chicken", "Hen"], ["cluck"]),
    ("fish", "1F41F", ["Fish"], ["bubbles"]),
    ("bee", "1F41D", ["Bee", "Buzz"], ["buzz"]),
    ("owl", "1F989", ["Owl"], ["hoot"]),
    ("rabbit", "1F430", ["Bunny", "Rabbit"], []),
    ("penguin", "1F427", ["Penguin"], []),
    ("turtle", "1F422", ["Turtle"], []),
    # Vehicles
    ("car", "1F697", ["Car"], []),
    ("bus", "1F68C", ["Bus"], []),
    ("train", "1F682", ["Train", "Choo choo"], ["whistle"]),
    ("fire_engine", "1F692", ["Fire engine"], []),
    ("airplane", "2708", ["Airplane", "Plane"], []),
    ("boat", "26F5", ["Boat"], []),
    ("tractor", "1F69C", ["Tractor"], ["chug"]),
    ("bicycle", "1F6B2", ["Bike", "Bicycle"], ["ding"]),
    ("police_car", "1F693", ["Police car"], []),
    ("helicopter", "1F681", ["Helicopter"], []),
    ("rocket", "1F680", ["Rocket"], []),
    # Food
    ("apple", "1F34E", ["Apple"], ["crunch"]),
    ("banana", "1F34C", ["Banana"], []),
    ("strawberry", "1F353", ["Strawberry"], []),
    ("carrot", "1F955", ["Carrot"], []),
    ("cake", "1F382", ["Cake", "Birthday cake"], []),
    ("ice_cream", "1F366", ["Ice cream"], []),
    ("cookie", "1F36A", ["Cookie"], []),
    ("milk", "1F95B", ["Milk"], []),
    # Toys
    ("ball", "26BD", ["Ball"], ["boing"]),
    ("teddy", "1F9F8", ["Teddy", "Teddy bear"], []),
    ("balloon", "1F388", ["Balloon"], ["pop"]),
    ("kite", "1FA81", ["Kite"], []),
    ("drum", "1F941", ["Drum", "Boom boom"], ["boom"]),
]

# Records that give one word and one sound to several topics at once.
SHARED = [
    (["Beep beep"], ["car", "bus"], "honk"),
    (["Nee naw"], ["fire_engine", "police_car"], "siren"),
    (["Zoom"], ["rocket", "airplane"], "whoosh"),
]


def seg(seconds, *tones, fx=()):
    """One piece of an effect: a sox synth of `tones` (each e.g. ("sine", "440:220")) mixed
    to one channel, then the effects `fx`."""
    return (seconds, tones, tuple(fx))


# Each effect is a list of pieces played one after another, then `post` on the whole.
EFFECTS = {
    "meow": ([seg(0.3, ("sawtooth", "520:880")), seg(0.45, ("sawtooth", "880:480"))],
             ["lowpass", "1800", "fade", "t", "0.05", "0", "0.2"]),
    "woof": ([seg(0.18, ("sawtooth", "320:140"), ("brownnoise",)), ("pause", 0.15),
              seg(0.18, ("sawtooth", "320:140"), ("brownnoise",))],
             ["lowpass", "1100"]),
    "moo": ([seg(1.3, ("sawtooth", "150:105"), fx=["tremolo", "3", "25"])],
            ["lowpass", "700", "fade", "t", "0.2", "0", "0.45"]),
    "oink": ([seg(0.25, ("sawtooth", "260:170"), fx=["tremolo", "28", "70"]), ("pause", 0.1),
              seg(0.25, ("sawtooth", "260:170"), fx=["tremolo", "28", "70"])],
             ["lowpass", "1000"]),
    "quack": ([seg(0.2, ("square", "640:420")), ("pause", 0.12), seg(0.2, ("square", "640:420"))],
              ["bandpass", "1100", "600h", "fade", "t", "0.01", "0", "0.05"]),
    "baa": ([seg(0.9, ("sawtooth", "400:360"), fx=["tremolo", "7", "45"])],
            ["lowpass", "1600", "fade", "t", "0.08", "0", "0.35"]),
    "clip_clop": ([seg(0.07, ("sine", "900:500")), ("pause", 0.12),
                   seg(0.07, ("sine", "700:380")), ("pause", 0.2),
                   seg(0.07, ("sine", "900:500")), ("pause", 0.12),
                   seg(0.07, ("sine", "700:380"))],
                  []),
    "roar": ([seg(1.3, ("brownnoise",), ("sawtooth", "95:70"), fx=["tremolo", "22", "55"])],
             ["lowpass", "650", "fade", "t", "0.25", "0", "0.6"]),
    "ribbit": ([seg(0.13, ("square", "310"), fx=["tremolo", "55", "90"]), ("pause", 0.07),
                seg(0.2, ("square", "280"), fx=["tremolo", "55", "90"])],
               ["lowpass", "1400"]),
    "trumpet": ([seg(1.1, ("sawtooth", "380:720"), fx=["tremolo", "14", "30"])],
                ["lowpass", "2600", "fade", "t", "0.1", "0", "0.4"]),
    "cluck": ([seg(0.07, ("square", "760:520")), ("pause", 0.1), seg(0.07, ("square", "760:520")),
               ("pause", 0.1), seg(0.14, ("square", "820:560"))],
              ["lowpass", "2200"]),
    "bubbles": ([seg(0.09, ("sine", "280:950")), ("pause", 0.1), seg(0.09, ("sine", "330:1050")),
                 ("pause", 0.1), seg(0.09, ("sine", "300:1000"))],
                []),
    "buzz": ([seg(1.3, ("sawtooth", "210"), fx=["tremolo", "33", "40"])],
             ["lowpass", "1500", "fade", "t", "0.15", "0", "0.3"]),
    "hoot": ([seg(0.3, ("sine", "470:400")), ("pause", 0.14), seg(0.45, ("sine", "470:380"))],
             ["fade", "t", "0.03", "0", "0.15"]),
    "whistle": ([seg(1.3, ("sine", "880"), ("sine", "1109"), ("sine", "1319"))],
                ["tremolo", "6", "15", "fade", "t", "0.08", "0", "0.3"]),
    "chug": ([seg(1.4, ("brownnoise",), fx=["tremolo", "7", "95"])],
             ["lowpass", "450", "fade", "t", "0.1", "0", "0.3"]),
    "ding": ([seg(1.2, ("sine", "2093"), ("sine", "2637"))],
             ["fade", "h", "0.005", "0", "1.1"]),
    "crunch": ([seg(0.07, ("whitenoise",)), ("pause", 0.09), seg(0.07, ("whitenoise",)),
                ("pause", 0.09), seg(0.1, ("whitenoise",))],
               ["bandpass", "2600", "1500h"]),
    "boing": ([seg(0.7, ("sine", "170:520"), fx=["tremolo", "11", "60"])],
              ["fade", "t", "0.01", "0", "0.3"]),
    "pop": ([seg(0.09, ("whitenoise",), fx=["fade", "h", "0", "0.09", "0.08"])],
            ["lowpass", "3500"]),
    "boom": ([seg(0.7, ("sine", "95:45"), ("brownnoise",), fx=["fade", "h", "0", "0.7", "0.65"])],
             ["lowpass", "400"]),
    "honk": ([seg(0.28, ("square", "392"), ("square", "494")), ("pause", 0.1),
              seg(0.4, ("square", "392"), ("square", "494"))],
             ["lowpass", "2400"]),
    "siren": ([seg(0.4, ("square", "960")), seg(0.4, ("square", "770")),
               seg(0.4, ("square", "960")), seg(0.4, ("square", "770"))],
              ["lowpass", "3000", "fade", "t", "0.02", "0", "0.05"]),
    "whoosh": ([seg(1.5, ("pinknoise",))],
               ["sinc", "300-2500", "fade", "t", "0.7", "0", "0.75"]),
}


def run(*args, **kwargs):
    subprocess.run(args, check=True, **kwargs)


def fetch_sprite(package, work):
    """The SVG sprite sheet's text, from the given tarball or one fetched with npm."""
    if package is None:
        package = os.path.join(work, f"svgmoji-noto-{NOTO_VERSION}.tgz")
        if not shutil.which("npm"):
            sys.exit("npm is needed to fetch the picture art (or pass --package TARBALL)")
        run("npm", "pack", "--silent", f"{NOTO_PACKAGE}@{NOTO_VERSION}", cwd=work,
            stdout=subprocess.DEVNULL)
    with open(package, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    if digest != NOTO_SHA256:
        sys.exit(f"{package} is not {NOTO_PACKAGE} {NOTO_VERSION} (sha256 {digest})")
    with tarfile.open(package) as tar:
        return tar.extractfile(SPRITE_IN_PACKAGE).read().decode("utf-8")


def extract_svg(sheet, code):
    """One emoji as a standalone SVG document. The sheet nests one <svg> per emoji, some with
    <svg> elements of their own, so the matching end tag is found by counting."""
    start = re.search(r'<svg\b[^>]*\bid="%s"[^>]*>' % re.escape(code), sheet)
    if start is None:
        sys.exit(f"emoji {code} is not in the sprite sheet")
    depth = 0
    for tag in re.finditer(r"<svg\b|</svg>", sheet[start.start():]):
        depth += 1 if tag.group(0) == "<svg" else -1
        if depth == 0:
            body = sheet[start.start():start.start() + tag.end()]
            break
    # Gradients are referenced by id; a reference outside the piece would render as black.
    refs = set(re.findall(r"url\(#([^)]+)\)", body)) | set(re.findall(r'href="#([^"]+)"', body))
    missing = refs - set(re.findall(r'\bid="([^"]+)"', body))
    if missing:
        sys.exit(f"emoji {code} refers to {sorted(missing)} outside its own piece")
    body = body.replace("<svg", '<svg xmlns:xlink="http://www.w3.org/1999/xlink"', 1)
    return '<?xml version="1.0" encoding="UTF-8"?>\n' + body


def render_picture(sheet, code, out, work):
    svg = os.path.join(work, f"{code}.svg")
    with open(svg, "w", encoding="utf-8") as f:
        f.write(extract_svg(sheet, code))
    run("rsvg-convert", "-w", str(PICTURE_SIZE), "-h", str(PICTURE_SIZE), "-o", out, svg)


def seconds_of(path):
    with wave.open(path) as w:
        return w.getnframes() / w.getframerate()


def finish_sound(raw, out, post=()):
    """Mono 22050 Hz 16-bit, loud, and between MIN_SECONDS and MAX_SECONDS long. -R keeps
    sox's noise and dither repeatable, so a re-run writes identical files."""
    tmp = out + ".tmp.wav"
    run("sox", "-R", raw, "-r", str(RATE), "-c", "1", "-b", "16", tmp, *post, "norm", "-1")
    length = seconds_of(tmp)
    fit = []
    if length < MIN_SECONDS:
        fit = ["pad", "0", f"{MIN_SECONDS - length + 0.01:.3f}"]
    elif length > MAX_SECONDS:
        fit = ["trim", "0", f"{MAX_SECONDS - 0.05:.3f}", "fade", "t", "0", "0", "0.2"]
    run("sox", "-R", tmp, out, *fit)
    os.remove(tmp)


def speak(word, out, work):
    raw = os.path.join(work, "speech.wav")
    run("espeak-ng", "-v", "en-us", "-s", "130", "-p", "60", "-w", raw, word)
    # espeak-ng leaves a little silence at both ends; a short lead-in keeps the onset clean.
    finish_sound(raw, out, ["silence", "1", "0.01", "0.5%", "reverse", "silence", "1", "0.01",
                            "0.5%", "reverse", "pad", "0.03", "0.05"])


def synth_effect(name, out, work):
    pieces, post = EFFECTS[name]
    files = []
    for i, piece in enumerate(pieces):
        path = os.path.join(work, f"{name}_{i}.wav")
        if piece[0] == "pause":
            run("sox", "-R", "-n", "-r", str(RATE), "-c", "1", "-b", "16", path,
                "trim", "0", str(piece[1]))
        else:
            seconds, tones, fx = piece
            synth = ["synth", str(seconds)]
            for tone in tones:
                synth += list(tone)
            # One channel per tone, then mixed down: that is how sox's synth makes a chord.
            run("sox", "-R", "-r", str(RATE), "-c", str(len(tones)), "-n", "-c", "1", "-b", "16",
                path, *synth, *fx, "remix", "-", "gain", "-n", "-6")
        files.append(path)
    joined = os.path.join(work, f"{name}.wav")
    run("sox", "-R", *files, joined)
    finish_sound(joined, out, post)


def map_line(words, names, sounds):
    return "{%s}{%s}{%s}\n" % (", ".join(words), ", ".join(names), ", ".join(sounds))


def write_map(path):
    with open(path, "w", encoding="ascii", newline="\n") as f:
        for stem, _, words, extra in TOPICS:
            f.write(map_line(words, [stem + ".png"], [s + ".wav" for s in extra]))
        for words, stems, sound in SHARED:
            f.write(map_line(words, [s + ".png" for s in stems], [sound + ".wav"]))


def write_notice(path):
    lines = [
        "Origins and licences of Tappy's bundled demo content",
        "",
        "Everything here is made by tools/make_demo_content.py; run `make demo-content` to",
        "make it again.",
        "",
        "images/*.png",
        "  Noto Emoji art by Google (https://github.com/googlefonts/noto-emoji), licensed",
        "  under the Apache License, Version 2.0",
        "  (https://www.apache.org/licenses/LICENSE-2.0). Taken as SVG from the sprite",
        f"  sheet of the npm package {NOTO_PACKAGE} {NOTO_VERSION} (packaging MIT,",
        "  KickJump Ltd) and rendered unchanged by rsvg-convert at "
        f"{PICTURE_SIZE} x {PICTURE_SIZE} pixels",
        "  on a transparent background.",
        "",
    ]
    for stem, code, _, _ in TOPICS:
        seq = " ".join("U+" + c for c in code.split("-"))
        lines.append(f"  {stem}.png  {seq}")
    lines += [
        "",
        "sounds/<topic>.wav (one per picture: the topic's first word, spoken)",
        "  Synthesised speech made by this project with espeak-ng (voice en-us); the",
        "  recordings are the program's output, made by this project, and are part of Tappy",
        "  under Tappy's own licence.",
        "",
        "sounds/<effect>.wav (the extra sounds named in Tappy.map)",
        "  Synthesised by this project with sox from plain tones and noise; made by this",
        "  project and part of Tappy under Tappy's own licence:",
        "  " + ", ".join(sorted(n + ".wav" for n in EFFECTS)),
        "",
        "Tappy.map",
        "  Written by this project.",
        "",
    ]
    with open(path, "w", encoding="ascii", newline="\n") as f:
        f.write("\n".join(lines))


def check_tables():
    used = {s for _, _, _, extra in TOPICS for s in extra} | {s for _, _, s in SHARED}
    stems = {t[0] for t in TOPICS}
    if used - set(EFFECTS) or set(EFFECTS) - used:
        sys.exit(f"effects named and made differ: {sorted(used ^ set(EFFECTS))}")
    if stems & set(EFFECTS):
        sys.exit(f"an effect would overwrite a spoken word: {sorted(stems & set(EFFECTS))}")
    for _, shared, _ in SHARED:
        if set(shared) - stems:
            sys.exit(f"shared record names unknown topics: {sorted(set(shared) - stems)}")


def clear(folder, suffix):
    os.makedirs(folder, exist_ok=True)
    for name in os.listdir(folder):
        if name.endswith(suffix) or name == ".keep":
            os.remove(os.path.join(folder, name))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("out", help="content folder to write (images/, sounds/, Tappy.map)")
    parser.add_argument("--package", help=f"a local {NOTO_PACKAGE} tarball instead of npm")
    args = parser.parse_args()
    check_tables()
    for tool in ["rsvg-convert", "espeak-ng", "sox"]:
        if shutil.which(tool) is None:
            sys.exit(f"{tool} is missing (make tool-deps installs the Debian packages)")

    images = os.path.join(args.out, "images")
    sounds = os.path.join(args.out, "sounds")
    clear(images, ".png")
    clear(sounds, ".wav")
    with tempfile.TemporaryDirectory(prefix="tappy-demo-") as work:
        sheet = fetch_sprite(args.package, work)
        for stem, code, words, _ in TOPICS:
            render_picture(sheet, code, os.path.join(images, stem + ".png"), work)
            speak(words[0], os.path.join(sounds, stem + ".wav"), work)
        for name in EFFECTS:
            synth_effect(name, os.path.join(sounds, name + ".wav"), work)
    write_map(os.path.join(args.out, "Tappy.map"))
    write_notice(os.path.join(args.out, "NOTICE"))
    print(f"{len(TOPICS)} topics, {len(EFFECTS)} effects written to {args.out}")


if __name__ == "__main__":
    main()
