#!/usr/bin/env python3
# The bundled files as a parent meets them: large pictures, short sounds, every picture's
# origin noted, the icons and menu entry in order, and demo/ under 8 MB. Whether Tappy.map names
# only what exists is checked through the program's own reader (demo_library_test).
#
# python3 tests/e2e/demo_content_test.py <source folder>

import os
import struct
import sys
import unittest
import wave

ROOT = None


def read_png(path):
    # (width, height) from a PNG's header; that each picture decodes whole is demo_library_test's.
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        raise ValueError("not a PNG")
    return struct.unpack(">II", head[16:24])


class DemoContent(unittest.TestCase):
    def files(self, *where):
        folder = os.path.join(ROOT, *where)
        return [(n, os.path.join(folder, n)) for n in sorted(os.listdir(folder))
                if not n.startswith(".")]

    def test_pictures_are_whole_and_crisp_and_noted(self):
        with open(os.path.join(ROOT, "demo", "NOTICE"), encoding="utf-8") as f:
            notice = f.read()
        self.assertIn("Apache", notice)
        for name, path in self.files("demo", "images"):
            with self.subTest(picture=name):
                self.assertGreaterEqual(min(read_png(path)), 512)
                self.assertIn(name, notice)

    def test_sounds_are_short_mono_16_bit_waves(self):
        for name, path in self.files("demo", "sounds"):
            with self.subTest(sound=name), wave.open(path) as w:
                self.assertEqual((w.getnchannels(), w.getframerate(), w.getsampwidth()),
                                 (1, 22050, 2))
                self.assertTrue(0.5 <= w.getnframes() / w.getframerate() <= 2.0)

    def test_demo_stays_under_8_mb(self):
        total = sum(os.path.getsize(os.path.join(d, f))
                    for d, _, names in os.walk(os.path.join(ROOT, "demo")) for f in names)
        self.assertLess(total, 8 * 1024 * 1024)

    def test_icons_and_menu_entry(self):
        for name, size in [("icon129.png", 32), ("icon131.png", 16), ("tappy.png", 256),
                           ("tappy-48.png", 48), ("tappy-64.png", 64), ("tappy-128.png", 128)]:
            with self.subTest(icon=name):
                self.assertEqual(read_png(os.path.join(ROOT, "res", name)), (size, size))
        with open(os.path.join(ROOT, "res", "tappy.desktop"), encoding="utf-8") as f:
            lines = f.read().splitlines()
        self.assertEqual(lines[0], "[Desktop Entry]")
        keys = dict(line.split("=", 1) for line in lines[1:] if "=" in line)
        self.assertEqual([keys.get(k) for k in ("Type", "Name", "Exec", "Icon")],
                         ["Application", "Tappy", "tappy", "tappy"])
        self.assertTrue(keys.get("Categories", "").endswith(";"))


if __name__ == "__main__":
    ROOT = os.path.abspath(sys.argv.pop(1) if len(sys.argv) > 1 else
                           os.path.join(os.path.dirname(__file__), "..", ".."))
    unittest.main(verbosity=1)
