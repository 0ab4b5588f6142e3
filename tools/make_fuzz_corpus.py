#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets that read text: tests/fuzz/corpus/<target>/.

Each seed is a small case the readers must handle: the map format's own examples and its awkward
corners, and word bytes in the encodings parents' files come in. Run from the repository root:
    python3 tools/make_fuzz_corpus.py
"""
import hashlib
import pathlib
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
CORPUS = ROOT / "tests" / "fuzz" / "corpus"

MAP_SEEDS = [
    b"{Cat, Kitten}\n{ cat.jpg}\n{meow.wav;purr.wav}\n{big dog, puppy }{dog.jpg,DOG2.JPG}{}\n",
    b"{Cat, Kitten}{cat.jpg}{meow.wav, purr.wav}\r\n{Dog, Puppy}{dog.jpg, DOG2.JPG}{woof.wav}\r\n"
    b"{Kitty}{Cat.JPG}{}\r\n",
    b"\xef\xbb\xbf{a}{b}{c}",
    b"{a,,b}{a, ,b}{,x}{y,}{a b}{a\tb}{a\t,b}{Cat\n,Kitten}{Cat,\nKitten}{cat.jpg }{x{y}{a,a,A}",
    b"{a,",
    b"{a,\n",
    b"{abc",
    b"{a}{b}cat}{c}",
    b"{" + b"x" * 1500 + b"}{n}{s}",
    b"{a\0b,c}{n}{s}",
    b"{\xca\xee\xf8\xea\xe0}{cat.png}{../images, ., , /dev/zero, ..\\..\\x.wav}",
    b"{\xd0\x9a\xd0\xbe\xd1\x88\xd0\xba\xd0\xb0}{cat.png}{cat.wav}",
    b"{}{}{}" * 20,
    b"{" + b", ".join(b"w%d" % i for i in range(300)) + b"}{cat.png}{}",
]

WORD_SEEDS = [
    b"Strawberry",
    "Кошка".encode("utf-8"),
    "Кошка".encode("cp1251"),
    "Ёжик №1".encode("cp1251"),
    b"\x98\x80\xff",
    b"\xc0\xaf",  # overlong '/'
    b"\xed\xa0\x80",  # a surrogate
    b"\xf4\x90\x80\x80",  # past U+10FFFF
    b"\xe2\x82",  # cut off
    b"a\0b",
    "😀 ok".encode("utf-8"),
    b"\xf0\x9f\x98",
]


def write(target, seeds):
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    for old in folder.iterdir():
        old.unlink()
    for seed in seeds:
        (folder / hashlib.sha1(seed).hexdigest()[:16]).write_bytes(seed)


def main():
    write("fuzz_map_reader", MAP_SEEDS + [(ROOT / "demo" / "Tappy.map").read_bytes()])
    write("fuzz_word_text", WORD_SEEDS)
    return 0


if __name__ == "__main__":
    sys.exit(main())
