"""Targa and PCX pictures through the real imgdump.exe and the real saver.

ImageMagick writes the files at test time; imgdump's output (what the
saver's display image holds, as a BMP file) is compared pixel for pixel with
ImageMagick's own reading of the same file. ImageMagick 6 reads a Targa
file's rows in the order they are stored and records the row and column
order the file names: -auto-orient applies it, which gives the picture as
the format defines it. Broken and hostile files must end in a failed load
(exit 1), never a crash or a hang; the unit tests time each refusal.
"""

import os
import random
import struct
import subprocess
import unittest

import test_bmp_pictures as bmp
import test_slideshow
from harness import xdo

CONVERT = "/usr/bin/convert"
EXPECT_24 = "24-bit table=0 palette=no halftone=no"


def magick_rgb(path, *reading):
    """ImageMagick's reading of a file: width, height and 8-bit RGB bytes."""
    size = subprocess.run([CONVERT, path, *reading, "-format", "%w %h", "info:"], check=True,
                          capture_output=True, text=True, timeout=60).stdout.split()
    data = subprocess.run([CONVERT, path, *reading, "-depth", "8", "rgb:-"], check=True, capture_output=True,
                          timeout=60).stdout
    return int(size[0]), int(size[1]), data


def tga_fields(path):
    """Image type, pixel depth and descriptor of a Targa file."""
    with open(path, "rb") as f:
        header = f.read(18)
    return header[2], header[16], header[17]


def pcx_fields(path):
    """Bits per pixel per plane, planes and bytes per line of a PCX file."""
    with open(path, "rb") as f:
        header = f.read(128)
    return header[3], header[65], struct.unpack_from("<H", header, 66)[0]


class Pictures(bmp.BmpPictures):
    def assert_as_magick_reads(self, picture, out, tolerance=0):
        mine = magick_rgb(out)
        theirs = magick_rgb(picture, "-auto-orient")
        self.assertEqual(mine[:2], theirs[:2])
        if tolerance == 0:
            self.assertEqual(mine[2], theirs[2], "imgdump's output shows another picture")
        else:
            worst = max(abs(a - b) for a, b in zip(mine[2], theirs[2]))
            self.assertLessEqual(worst, tolerance)


class TargaFiles(Pictures):
    def test_true_colour_grey_and_mapped_files_plain_and_encoded(self):
        cases = [  # name, ImageMagick's arguments, the image type and depth it must write
            ("t24.tga", [], 2, 24),
            ("t24r.tga", ["-compress", "RLE"], 10, 24),
            ("t32.tga", ["-alpha", "set"], 2, 32),
            ("t32r.tga", ["-alpha", "set", "-compress", "RLE"], 10, 32),
            ("grey.tga", ["-colorspace", "gray"], 3, 8),
            ("greyr.tga", ["-colorspace", "gray", "-compress", "RLE"], 11, 8),
            ("map.tga", ["-colors", "50", "-type", "palette"], 1, 8),
            ("mapr.tga", ["-colors", "50", "-type", "palette", "-compress", "RLE"], 9, 8),
        ]
        for name, args, image_type, depth in cases:
            with self.subTest(name=name):
                picture = self.magick_file(name, *args, "TGA:" + self.path(name))
                self.assertEqual(tga_fields(picture)[:2], (image_type, depth))
                held, out = self.dump(picture, expect_line="37x23 " + EXPECT_24)
                self.assert_as_magick_reads(picture, out)

    def test_16_bit_files_widen_five_bits_to_eight(self):
        # ImageMagick rounds some five-bit values one lower than i x 255 / 31.
        for name, args in (("t16.tga", []), ("t16r.tga", ["-compress", "RLE"])):
            with self.subTest(name=name):
                picture = self.magick_file(name, "-depth", "5", *args, "TGA:" + self.path(name))
                self.assertEqual(tga_fields(picture)[1], 16)
                held, out = self.dump(picture, expect_line="37x23 " + EXPECT_24)
                self.assert_as_magick_reads(picture, out, tolerance=1)

    def test_every_row_and_column_order(self):
        for orient, descriptor in (("BottomLeft", 0x00), ("TopLeft", 0x20), ("BottomRight", 0x10),
                                   ("TopRight", 0x30)):
            for compress in ("None", "RLE"):
                name = f"{orient}-{compress}.tga"
                with self.subTest(name=name):
                    picture = self.magick_file(name, "-orient", orient, "-compress", compress,
                                               "TGA:" + self.path(name))
                    self.assertEqual(tga_fields(picture)[2] & 0x30, descriptor)
                    held, out = self.dump(picture, expect_line="37x23 " + EXPECT_24)
                    self.assert_as_magick_reads(picture, out)

    def test_encoded_rows_wider_than_32767_bytes(self):
        picture = self.magick_file("wide.tga", "-compress", "RLE", "TGA:" + self.path("wide.tga"), size="11000x3")
        held, out = self.dump(picture, expect_line="11000x3 " + EXPECT_24)
        self.assert_as_magick_reads(picture, out)


class PcxFiles(Pictures):
    def test_256_colours_with_their_table(self):
        for size in ("37x23", "101x13"):
            with self.subTest(size=size):
                picture = self.magick_file("p8.pcx", "-colors", "200", "-type", "palette",
                                           "PCX:" + self.path("p8.pcx"), size=size)
                self.assertEqual(pcx_fields(picture)[:2], (8, 1))
                held, out = self.dump(picture, expect_line=f"{size} 8-bit table=256 palette=yes halftone=no")
                with open(picture, "rb") as f:
                    table = f.read()[-768:]
                self.assertEqual(held.table(), [(table[i + 2], table[i + 1], table[i], 0) for i in range(0, 768, 3)])
                self.assert_as_magick_reads(picture, out)

    def test_24_bit_grey_and_alpha_planes(self):
        for name, args, planes in (("rgb.pcx", ["-type", "truecolor"], 3), ("grey.pcx", ["-colorspace", "gray"], 3),
                                   ("rgba.pcx", ["-alpha", "set"], 4)):
            for size in ("37x23", "101x13"):
                with self.subTest(name=name, size=size):
                    picture = self.magick_file(name, *args, "PCX:" + self.path(name), size=size)
                    self.assertEqual(pcx_fields(picture)[:2], (8, planes))
                    held, out = self.dump(picture, expect_line=f"{size} {EXPECT_24}")
                    self.assert_as_magick_reads(picture, out)

    def test_black_and_white(self):
        # A drawing on white, so that ImageMagick's table lists white first:
        # ImageMagick reads a set bit as black whatever the table says, the
        # saver as the table's second colour.
        path = self.path("mono.pcx")
        subprocess.run([CONVERT, "-size", "101x13", "xc:white", "-fill", "black", "-draw", "circle 50,6 50,1",
                        "-draw", "line 0,12 100,0", "-monochrome", "-set", "colorspace", "sRGB", "-type", "palette",
                        "PCX:" + path], check=True, timeout=60)
        self.assertEqual(pcx_fields(path), (1, 1, 13))
        with open(path, "rb") as f:
            self.assertEqual(f.read()[-769:-762], b"\x0c\xff\xff\xff\x00\x00\x00")
        held, out = self.dump(path, expect_line="101x13 8-bit table=256 palette=yes halftone=no")
        self.assertEqual(set(b"".join(row[:101] for row in held.rows())), {0, 255})
        self.assert_as_magick_reads(path, out)


class PaletteScreen(Pictures):
    def test_only_pictures_of_another_depth_are_halftoned(self):
        display8 = os.environ.get("VISTEL_DISPLAY8")
        self.assertTrue(display8, "VISTEL_DISPLAY8 names no 8-bit X server")
        for name, args, line in (("h.tga", [], "24-bit table=0 palette=no halftone=yes"),
                                 ("h8.pcx", ["-colors", "200", "-type", "palette"],
                                  "8-bit table=256 palette=yes halftone=no"),
                                 ("h24.pcx", [], "24-bit table=0 palette=no halftone=yes")):
            with self.subTest(name=name):
                picture = self.magick_file(name, *args, self.path(name))
                self.dump(picture, display=display8, expect_line=f"37x23 {line}")


class HostileFiles(Pictures):
    """Cut and changed files: a failed load or a consistent picture, never a crash or a hang."""

    def survives(self, name, data):
        return self.check_survives(self.write(name, data))

    def fixtures(self):
        return {
            "map.tga": self.magick_file("f-map.tga", "-colors", "20", "-type", "palette", "-compress", "RLE",
                                        "TGA:" + self.path("f-map.tga"), size="9x5"),
            "rgb.tga": self.magick_file("f-rgb.tga", "TGA:" + self.path("f-rgb.tga"), size="9x5"),
            "p8.pcx": self.magick_file("f-p8.pcx", "-colors", "20", "-type", "palette",
                                       "PCX:" + self.path("f-p8.pcx"), size="9x5"),
            "p24.pcx": self.magick_file("f-p24.pcx", "PCX:" + self.path("f-p24.pcx"), size="9x5"),
        }

    def read(self, path):
        with open(path, "rb") as f:
            return f.read()

    def test_cuts_at_every_header_field(self):
        fixtures = {name: self.read(path) for name, path in self.fixtures().items()}
        # Targa: the header fields, the colour map of 20 entries; PCX: the
        # header fields. Any cut there leaves no picture.
        cuts = {
            "map.tga": [0, 1, 2, 3, 5, 7, 8, 10, 12, 14, 16, 17, 18, 19, 40, 77],
            "rgb.tga": [0, 1, 2, 3, 5, 7, 8, 10, 12, 14, 16, 17, 18, 30],
            "p8.pcx": [0, 1, 2, 3, 4, 6, 8, 10, 12, 14, 16, 40, 64, 65, 66, 68, 70, 72, 74, 100, 127, 128],
            "p24.pcx": [0, 3, 4, 65, 66, 127, 128],
        }
        for name, lengths in cuts.items():
            for length in lengths:
                with self.subTest(name=name, length=length):
                    self.assertEqual(self.survives("cut-" + name, fixtures[name][:length]), 1)
        # Cut in the pixel data, a Targa file does not load, a PCX file shows
        # the lines it still holds.
        for name, data in fixtures.items():
            for length in range(len(data) // 2, len(data), 7):
                with self.subTest(name=name, length=length):
                    code = self.survives("cut-" + name, data[:length])
                    if name.endswith(".tga"):
                        self.assertEqual(code, 1)

    def test_absurd_sizes_and_offsets(self):
        fixtures = {name: self.read(path) for name, path in self.fixtures().items()}
        cases = [  # (fixture, offset, struct format, value)
            ("rgb.tga", 12, "<H", 0xFFFF), ("rgb.tga", 14, "<H", 0xFFFF), ("rgb.tga", 12, "<H", 0),
            ("rgb.tga", 0, "<B", 255), ("rgb.tga", 2, "<B", 0), ("rgb.tga", 2, "<B", 33),
            ("rgb.tga", 16, "<B", 255), ("rgb.tga", 16, "<B", 8),
            ("map.tga", 5, "<H", 0xFFFF), ("map.tga", 7, "<B", 255), ("map.tga", 7, "<B", 8), ("map.tga", 1, "<B", 0),
            ("map.tga", 12, "<H", 8000), ("map.tga", 14, "<H", 8000),
            ("p8.pcx", 0, "<B", 11), ("p8.pcx", 1, "<B", 6), ("p8.pcx", 2, "<B", 0), ("p8.pcx", 3, "<B", 2),
            ("p8.pcx", 8, "<H", 0xFFFF), ("p8.pcx", 10, "<H", 0xFFFF), ("p8.pcx", 4, "<H", 100),
            ("p8.pcx", 6, "<H", 0xFFFF), ("p8.pcx", 65, "<B", 0), ("p8.pcx", 65, "<B", 2), ("p8.pcx", 65, "<B", 255),
            ("p8.pcx", 66, "<H", 0), ("p8.pcx", 66, "<H", 8), ("p8.pcx", 66, "<H", 0xFFFF),
            ("p24.pcx", 65, "<B", 5), ("p24.pcx", 66, "<H", 3),
        ]
        for number, (name, offset, fmt, value) in enumerate(cases):
            with self.subTest(name=name, offset=offset, value=value):
                data = bmp.patched(fixtures[name], offset, fmt, value)
                self.assertEqual(self.survives(f"absurd{number}{name[-4:]}", data), 1)
        # Footers of TGA 2.0 whose offsets point past the end.
        for number, (extension, directory) in enumerate(((0xFFFFFFF0, 0), (0, 0xFFFFFFF0), (0x7FFFFFFF, 0),
                                                         (len(fixtures["rgb.tga"]) - 10, 0))):
            with self.subTest(extension=extension, directory=directory):
                data = fixtures["rgb.tga"] + struct.pack("<II", extension, directory) + b"TRUEVISION-XFILE.\0"
                self.assertEqual(self.survives(f"footer{number}.tga", data), 1)

    def test_random_byte_changes(self):
        rng = random.Random(3)
        fixtures = [(name, self.read(path)) for name, path in self.fixtures().items()]
        for number in range(40):
            name, data = rng.choice(fixtures)
            data = bytearray(data)
            for _ in range(rng.randrange(1, 6)):
                at = rng.randrange(min(len(data), 140)) if rng.random() < 0.7 else rng.randrange(len(data))
                data[at] = rng.randrange(256)
            with self.subTest(number=number):
                self.survives(f"noise{number}{name[-4:]}", bytes(data))


class SlideShow(test_slideshow.SlideShowTestCase):
    GREEN, YELLOW = (0, 255, 0), (255, 255, 0)

    def test_targa_and_pcx_pictures_take_their_turns(self):
        # A run-length encoded 24-bit Targa file stored top row first, and a
        # 256-colour PCX file.
        subprocess.run([CONVERT, "-size", "320x120", "xc:red", "-size", "320x120", "xc:blue", "-append",
                        "-type", "TrueColor", "-orient", "TopLeft", "-compress", "RLE",
                        "TGA:" + os.path.join(self.folder, "a.tga")], check=True, timeout=60)
        subprocess.run([CONVERT, "-size", "320x120", "xc:lime", "-size", "320x120", "xc:yellow", "-append",
                        "-type", "palette", "PCX:" + os.path.join(self.folder, "b.pcx")], check=True, timeout=60)
        saver = self.show(speed=0)
        red = self.screen_when(lambda s: s.pixel(400, 240) == test_slideshow.RED)
        self.assert_drawn(red, 240, 180, 320, 240, top=test_slideshow.RED, bottom=test_slideshow.BLUE)
        green = self.screen_when(lambda s: s.pixel(400, 240) == self.GREEN)
        self.assert_drawn(green, 240, 180, 320, 240, top=self.GREEN, bottom=self.YELLOW)
        xdo("key", "a")
        self.assert_closes(saver)


if __name__ == "__main__":
    unittest.main()
