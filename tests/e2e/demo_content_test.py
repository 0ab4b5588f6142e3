#!/usr/bin/env python3
"""Checks the bundled content and the resources as the program will meet them.

    python3 tests/e2e/demo_content_test.py <source folder>

Every picture must decode as a PNG of at least 512 pixels (chunk checksums and the whole
image stream, not just the header), every sound must be a short mono 22050 Hz 16-bit wave,
every name and sound in Tappy.map must exist, and demo/ must stay under 8 MB. The map is read
by the brace-list rules the loader uses, so a record that would silently match nothing fails
here instead.
"""

import os
import struct
import sys
import unittest
import wave
import zlib

ROOT = None
MAX_DEMO_BYTES = 8 * 1024 * 1024
MIN_TOPICS = 24
MIN_PICTURE = 512


def read_png(path):
    """(width, height) of a PNG whose chunks and image data are whole; raises otherwise."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG")
    pos, idat, ihdr = 8, b"", None
    while True:
        if pos + 8 > len(data):
            raise ValueError("cut off before IEND")
        (length,) = struct.unpack(">I", data[pos:pos + 4])
        kind = data[pos + 4:pos + 8]
        body = data[pos + 8:pos + 8 + length]
        (crc,) = struct.unpack(">I", data[pos + 8 + length:pos + 12 + length])
        if zlib.crc32(kind + body) != crc:
            raise ValueError(f"bad checksum in {kind!r}")
        if kind == b"IHDR":
            ihdr = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = ihdr
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour]
    if interlace:
        raise ValueError("interlaced")
    row = (width * channels * depth + 7) // 8
    if len(zlib.decompress(idat)) != height * (1 + row):
        raise ValueError("image data does not fill the picture")
    return width, height


WHITE = " \t\n\r\v\f"


def read_brace_list(text, pos):
    """One brace list at pos: (items, next pos), or (None, pos) where no list begins. Follows
    the loader step by step: an item ends at a closing brace, tab, comma or semicolon, blanks
    after its first byte stay in it, and a separator followed by a blank and then the closing
    brace still makes an empty item."""
    while pos < len(text) and text[pos] in WHITE:
        pos += 1
    if pos >= len(text) or text[pos] != "{":
        return None, pos
    pos += 1
    while pos < len(text) and text[pos] in WHITE:
        pos += 1
    if pos < len(text) and text[pos] == "}":
        return [], pos + 1
    items = []
    while True:
        if pos >= len(text):
            raise ValueError("the file ends inside a list")
        while pos < len(text) and text[pos] in WHITE:
            pos += 1
        start = pos
        while pos < len(text) and text[pos] not in "}\t,;" and pos - start < 1023:
            pos += 1
        if text[start:pos] not in items:
            items.append(text[start:pos])
        while pos < len(text) and text[pos] in WHITE:
            pos += 1
        if pos < len(text) and text[pos] in ",;":
            pos += 1
        if pos < len(text) and text[pos] == "}":
            return items, pos + 1


def read_map(text):
    records, pos = [], 0
    while True:
        lists = []
        for _ in range(3):
            items, pos = read_brace_list(text, pos)
            if items is None:
                break
            lists.append(items)
        if not lists:
            if text[pos:].strip(WHITE):
                raise ValueError(f"stray text at byte {pos}")
            return records
        if len(lists) != 3:
            raise ValueError(f"record cut short at byte {pos}")
        records.append(tuple(lists))


class DemoContent(unittest.TestCase):
    def setUp(self):
        self.demo = os.path.join(ROOT, "demo")
        self.images = os.path.join(self.demo, "images")
        self.sounds = os.path.join(self.demo, "sounds")
        self.pictures = sorted(n for n in os.listdir(self.images) if not n.startswith("."))
        self.waves = sorted(n for n in os.listdir(self.sounds) if not n.startswith("."))

    def test_pictures_decode_crisp_and_pair_with_a_sound(self):
        self.assertGreaterEqual(len(self.pictures), MIN_TOPICS)
        for name in self.pictures:
            with self.subTest(picture=name):
                width, height = read_png(os.path.join(self.images, name))
                self.assertGreaterEqual(min(width, height), MIN_PICTURE)
                # The loader pairs a picture with the wave named like it minus three bytes.
                self.assertTrue(name[:-3] + "wav" in self.waves, "no sound named like it")

    def test_sounds_are_short_mono_16_bit_waves(self):
        for name in self.waves:
            with self.subTest(sound=name), wave.open(os.path.join(self.sounds, name)) as w:
                self.assertEqual((w.getnchannels(), w.getframerate(), w.getsampwidth()),
                                 (1, 22050, 2))
                seconds = w.getnframes() / w.getframerate()
                self.assertGreaterEqual(seconds, 0.5)
                self.assertLessEqual(seconds, 2.0)

    def test_map_records_reach_their_topics_and_sounds(self):
        with open(os.path.join(self.demo, "Tappy.map"), encoding="ascii") as f:
            records = read_map(f.read())
        lower = {p.lower() for p in self.pictures}
        worded, shared = set(), 0
        for words, names, sounds in records:
            with self.subTest(record=(words, names, sounds)):
                self.assertTrue(names)
                self.assertTrue(words or sounds, "a record with no words and no sounds")
                for name in names:
                    self.assertTrue(name.lower() in lower, f"{name!r} names no picture")
                for sound in sounds:
                    self.assertTrue(sound in self.waves, f"{sound!r} is not in sounds/")
                if words:
                    worded.update(n.lower() for n in names)
                shared += len(names) > 1
        self.assertEqual(worded, lower, "every topic has a word")
        self.assertGreaterEqual(shared, 1, "a record that names two topics")

    def test_every_file_has_its_origin_noted(self):
        with open(os.path.join(self.demo, "NOTICE"), encoding="utf-8") as f:
            notice = f.read()
        for name in self.pictures:
            with self.subTest(picture=name):
                self.assertIn(name, notice)
        self.assertIn("Apache", notice)

    def test_demo_stays_small(self):
        total = sum(os.path.getsize(os.path.join(d, f))
                    for d, _, files in os.walk(self.demo) for f in files)
        self.assertLess(total, MAX_DEMO_BYTES)


class Resources(unittest.TestCase):
    def test_icons_have_their_sizes(self):
        for name, size in [("icon129.png", 32), ("icon131.png", 16), ("tappy.png", 256)]:
            with self.subTest(icon=name):
                self.assertEqual(read_png(os.path.join(ROOT, "res", name)), (size, size))

    def test_desktop_entry_has_what_menus_need(self):
        with open(os.path.join(ROOT, "res", "tappy.desktop"), encoding="utf-8") as f:
            lines = f.read().splitlines()
        self.assertEqual(lines[0], "[Desktop Entry]")
        keys = dict(line.split("=", 1) for line in lines[1:] if "=" in line)
        for key, value in [("Type", "Application"), ("Name", "Tappy"), ("Exec", "tappy"),
                           ("Icon", "tappy")]:
            with self.subTest(key=key):
                self.assertEqual(keys.get(key), value)
        self.assertTrue(keys.get("Categories", "").endswith(";"))


class MapReaderRules(unittest.TestCase):
    """The checker's reader must keep the loader's quirks, or it would pass a map that the
    program reads differently."""

    def test_items_follow_the_loader(self):
        cases = [
            ("{}", []),
            ("{a,,b}", ["a", "", "b"]),
            ("{y,}", ["y"]),
            ("{y, }", ["y", ""]),
            ("{a, ,b}", ["a", "", "b"]),
            ("{a\t,b}", ["a", "b"]),
            ("{a\tb}", ["a", "b"]),
            ("{cat.png }", ["cat.png "]),
            ("{Cat\n,Kitten}", ["Cat\n", "Kitten"]),
            ("{a,a,A}", ["a", "A"]),
        ]
        for text, items in cases:
            with self.subTest(text=text):
                self.assertEqual(read_brace_list(text, 0)[0], items)

    def test_maps_the_loader_would_misread_are_reported(self):
        for text in ["{Cat}{cat.png}{}\nstray", "{Cat}{cat.png}", "{Cat}{cat.png}{meow.wav"]:
            with self.subTest(text=text), self.assertRaises(ValueError):
                read_map(text)


if __name__ == "__main__":
    ROOT = os.path.abspath(sys.argv.pop(1) if len(sys.argv) > 1 else
                           os.path.join(os.path.dirname(__file__), "..", ".."))
    unittest.main(verbosity=1)
