"""BMP pictures through the real imgdump.exe: what the display image holds.

Every fixture is written at test time, by ImageMagick or by the builders
below. imgdump's output is compared pixel for pixel with ImageMagick's own
reading of the same input, and its header, colour table and pixel data are
checked field by field. Broken and hostile files must end in a failed load
(exit 1) or a picture whose blocks are consistent (exit 0), never a crash or
a hang.
"""

import os
import random
import struct
import subprocess
import unittest

from harness import BUILD, WINE, SaverTestCase, wine_env, winpath

IMGDUMP = os.path.join(BUILD, "tools", "imgdump.exe")
CONVERT = "/usr/bin/convert"
# Generous: one run takes a fraction of a second.
DUMP_TIMEOUT = 10

BI_RGB, BI_RLE8, BI_RLE4, BI_BITFIELDS = 0, 1, 2, 3


def run_imgdump(picture, out, display=None):
    """imgdump's exit code and printed line."""
    return run_wine(IMGDUMP, picture, out, display=display)


def run_imgdump_list(pairs, list_path, display=None):
    """imgdump's exit code and line for each (picture, out) pair, from one run;
    a pair whose result never came (the run crashed or hung on it) gets None."""
    with open(list_path, "w") as f:
        f.writelines(f"{picture}\t{out}\n" for picture, out in pairs)
    # The bound of a single run for every 50 pictures: loads take milliseconds.
    timeout = DUMP_TIMEOUT * (1 + len(pairs) // 50)
    try:
        result = subprocess.run([WINE, IMGDUMP, "@" + winpath(list_path)], stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, errors="replace",
                                timeout=timeout, env=wine_env(display=display))
        output = result.stdout
    except subprocess.TimeoutExpired as e:
        output = (e.stdout or b"").decode(errors="replace")
    results = [(int(line[0]), line[2:].strip()) for line in output.splitlines() if line[:1].isdigit()]
    return results + [None] * (len(pairs) - len(results))


def run_wine(*args, display=None):
    """A Windows console program's exit code and output. Its error output is
    not captured: waiting for the end of a second pipe costs about a second
    a run under Wine."""
    result = subprocess.run([WINE, *args], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, text=True, errors="replace", timeout=DUMP_TIMEOUT,
                            env=wine_env(display=display))
    return result.returncode, result.stdout.strip()


def magick(*args):
    subprocess.run([CONVERT, *args], check=True, capture_output=True, timeout=60)


def magick_rgb(path):
    """The picture as ImageMagick reads it: width, height and 8-bit RGB bytes."""
    size = subprocess.run([CONVERT, path, "-format", "%w %h", "info:"], check=True, capture_output=True,
                          text=True, timeout=60).stdout.split()
    data = subprocess.run([CONVERT, path, "-depth", "8", "rgb:-"], check=True, capture_output=True,
                          timeout=60).stdout
    return int(size[0]), int(size[1]), data


class Bmp:
    """The parts of a BMP file with a 40-byte or larger info header."""

    def __init__(self, data):
        self.data = data
        self.type, self.file_size, self.off_bits = struct.unpack_from("<2sI4xI", data, 0)
        (self.size, self.width, self.height, self.planes, self.bit_count, self.compression, self.size_image,
         _, _, self.clr_used, self.clr_important) = struct.unpack_from("<IiiHHIIiiII", data, 14)
        self.after_header = data[14 + self.size:self.off_bits]  # masks and colour table
        self.pixels = data[self.off_bits:]

    @classmethod
    def read(cls, path):
        with open(path, "rb") as f:
            return cls(f.read())

    def table(self):
        """The colour-table entries as (blue, green, red, reserved) tuples."""
        table = self.after_header[12:] if self.compression == BI_BITFIELDS and self.size == 40 else self.after_header
        return [tuple(table[i:i + 4]) for i in range(0, len(table) - 3, 4)]

    def row_bytes(self):
        return (self.bit_count * self.width + 31) // 32 * 4

    def rows(self):
        """The pixel rows as stored, in file order."""
        n = self.row_bytes()
        return [self.pixels[i * n:(i + 1) * n] for i in range(abs(self.height))]


def build_bmp(width, height, bit_count, pixels, table=b"", compression=BI_RGB, clr_used=0, size_image=0,
              off_bits=None, header_size=40):
    """A BMP file: file header, info header (zero past byte 40), table, pixel data."""
    if off_bits is None:
        off_bits = 14 + header_size + len(table)
    info = struct.pack("<IiiHHIIiiII", header_size, width, height, 1, bit_count, compression, size_image,
                       2835, 2835, clr_used, 0) + bytes(header_size - 40)
    head = struct.pack("<2sIHHI", b"BM", off_bits + len(pixels), 0, 0, off_bits) + info + table
    return head + bytes(off_bits - len(head)) + pixels


def patched(data, offset, fmt, value):
    data = bytearray(data)
    struct.pack_into(fmt, data, offset, value)
    return bytes(data)


class BmpPictures(SaverTestCase):
    """Fixtures in the scratch folder, and the checks every dump gets."""

    def path(self, name):
        return os.path.join(self.scratch, name)

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)
        return self.path(name)

    def magick_file(self, name, *args, size="37x23"):
        """A picture of ImageMagick's: a seeded plasma of the given size, then args."""
        path = self.path(name)
        magick("-size", size, "-seed", "7", "plasma:fractal", *args)
        return path

    def dump(self, picture, display=None, expect_line=None):
        """Runs imgdump; checks exit 0, the line, and the output's invariants; returns the output."""
        out = picture + ".out.bmp"
        code, line = run_imgdump(picture, out, display)
        self.assertEqual(code, 0, f"imgdump refused {os.path.basename(picture)}")
        if expect_line is not None:
            self.assertEqual(line, expect_line)
        held = Bmp.read(out)
        self.check_consistent(held)
        return held, out

    def check_survives(self, picture, allowed=(0, 1), display=None):
        """Runs imgdump on a file that may be broken: an allowed exit code, and
        a consistent output when it held a picture. Returns the exit code."""
        out = picture + ".out.bmp"
        code, line = run_imgdump(picture, out, display)
        self.assertIn(code, allowed, f"imgdump ended with {code} on {os.path.basename(picture)}: {line}")
        if code == 0:
            self.check_consistent(Bmp.read(out))
        return code

    def check_consistent(self, held):
        """What the drawing code relies on: a 40-byte header, bottom-up rows
        that are all there, RLE streams that end inside their data."""
        self.assertEqual(held.type, b"BM")
        self.assertEqual(held.size, 40)
        self.assertGreater(held.width, 0)
        self.assertGreater(held.height, 0)
        if held.compression in (BI_RLE8, BI_RLE4):
            self.assertEqual(held.size_image, len(held.pixels))
            self.assertEqual(held.pixels[-2:], b"\x00\x01")
        else:
            self.assertEqual(len(held.pixels), held.row_bytes() * held.height)
        if held.bit_count <= 8:
            self.assertLessEqual(held.clr_used, 1 << held.bit_count)

    def assert_same_picture(self, original, out):
        self.assertEqual(magick_rgb(out), magick_rgb(original), "imgdump's output shows another picture")


class ImageMagickFiles(BmpPictures):
    """Files ImageMagick wrote, in every depth and header it writes."""

    def test_24_bit_with_a_54_byte_header_area_and_an_odd_width(self):
        picture = self.magick_file("rgb.bmp", "BMP3:" + self.path("rgb.bmp"))
        source = Bmp.read(picture)
        self.assertEqual(source.off_bits, 54)
        held, out = self.dump(picture, expect_line="37x23 24-bit table=0 palette=no halftone=no")
        self.assertEqual(held.off_bits, 54)
        self.assertEqual(held.pixels, source.pixels[:source.row_bytes() * 23])
        self.assert_same_picture(picture, out)

    def test_8_4_and_1_bit_pictures_keep_rows_and_table(self):
        cases = [
            ("p8.bmp", ["-colors", "200", "-type", "palette", "-compress", "None"], 8, 256),
            ("p4.bmp", ["-colors", "16", "-type", "palette", "-compress", "None"], 4, 16),
            ("p1.bmp", ["-monochrome", "-compress", "None"], 1, 2),
        ]
        for name, args, depth, entries in cases:
            with self.subTest(name=name):
                picture = self.magick_file(name, *args, "BMP3:" + self.path(name))
                source = Bmp.read(picture)
                self.assertEqual((source.bit_count, source.compression), (depth, BI_RGB))
                held, out = self.dump(picture,
                                      expect_line=f"37x23 {depth}-bit table={entries} palette=yes halftone=no")
                self.assertEqual(held.rows(), source.rows())
                count = source.clr_used or entries
                self.assertEqual(held.table()[:count], source.table()[:count])
                self.assert_same_picture(picture, out)

    def test_rle8_stream_is_held_as_stored(self):
        picture = self.magick_file("rle8.bmp", "-colors", "200", "-type", "palette", "-compress", "RLE",
                                   "BMP3:" + self.path("rle8.bmp"))
        source = Bmp.read(picture)
        self.assertEqual(source.compression, BI_RLE8)
        held, out = self.dump(picture, expect_line="37x23 8-bit table=256 palette=yes halftone=no")
        self.assertEqual(held.compression, BI_RLE8)
        self.assertEqual(held.pixels, source.pixels[:held.size_image])
        self.assert_same_picture(picture, out)

    def test_v5_headers_give_the_right_colours(self):
        cases = [
            ("v5-24.bmp", [], "24-bit table=0 palette=no"),
            ("v5-8.bmp", ["-colors", "200", "-type", "palette", "-compress", "None"], "8-bit table=256 palette=yes"),
            ("v5-565.bmp", ["-define", "bmp:subtype=RGB565"], "16-bit table=0 palette=no"),
            ("v5-32.bmp", ["-alpha", "set"], "32-bit table=0 palette=no"),
        ]
        for name, args, line in cases:
            with self.subTest(name=name):
                picture = self.magick_file(name, *args, "BMP:" + self.path(name))
                source = Bmp.read(picture)
                self.assertEqual(source.size, 124)
                held, out = self.dump(picture, expect_line=f"37x23 {line} halftone=no")
                self.assertEqual(held.rows(), source.rows())
                if source.bit_count == 8:
                    # The table that followed the 124 bytes now follows 40.
                    self.assertEqual(held.table()[:256], source.table()[:256])
                self.assert_same_picture(picture, out)

    def test_os2_core_headers_are_converted(self):
        for name, args, line in (("core4.bmp", ["-colors", "16", "-type", "palette"], "4-bit table=16 palette=yes"),
                                 ("core24.bmp", [], "24-bit table=0 palette=no")):
            with self.subTest(name=name):
                picture = self.magick_file(name, *args, "BMP2:" + self.path(name))
                self.assertEqual(struct.unpack_from("<I", Bmp.read(picture).data, 14)[0], 12)
                held, out = self.dump(picture, expect_line=f"37x23 {line} halftone=no")
                self.assert_same_picture(picture, out)

    def test_palette_screen_halftones_exactly_the_pictures_of_other_depths(self):
        display8 = os.environ.get("VISTEL_DISPLAY8")
        self.assertTrue(display8, "VISTEL_DISPLAY8 names no 8-bit X server")
        for name, args, line in (
                ("h24.bmp", [], "24-bit table=0 palette=no halftone=yes"),
                ("h8.bmp", ["-colors", "200", "-type", "palette", "-compress", "None"],
                 "8-bit table=256 palette=yes halftone=no"),
                ("h1.bmp", ["-monochrome"], "1-bit table=2 palette=yes halftone=yes")):
            with self.subTest(name=name):
                picture = self.magick_file(name, *args, "BMP3:" + self.path(name))
                self.dump(picture, display=display8, expect_line=f"37x23 {line}")


class BuiltFiles(BmpPictures):
    """Variants ImageMagick does not write, derived from its files or built here."""

    def sixteen_colour_indices(self):
        """A 16-colour picture of ImageMagick's, as 8-bit indices: its 4-bit
        file's table and its rows widened to one byte per pixel."""
        source = Bmp.read(self.magick_file("base4.bmp", "-colors", "16", "-type", "palette", "-compress", "None",
                                           "BMP3:" + self.path("base4.bmp")))
        self.assertEqual((source.bit_count, source.compression), (4, BI_RGB))
        rows = b""
        for row in source.rows():
            indices = bytearray()
            for byte in row:
                indices += bytes((byte >> 4, byte & 15))
            indices = indices[:source.width]
            rows += bytes(indices) + bytes(-len(indices) % 4)
        return source, b"".join(bytes(e) for e in source.table()[:16]), rows

    def test_biclrused_0_with_a_full_table(self):
        picture = self.magick_file("full.bmp", "-colors", "200", "-type", "palette", "-compress", "None",
                                   "BMP3:" + self.path("full.bmp"))
        source = Bmp.read(picture)
        self.assertEqual((source.off_bits, source.compression, source.clr_used), (14 + 40 + 1024, BI_RGB, 256))
        self.write("full.bmp", patched(source.data, 46, "<I", 0))  # biClrUsed
        held, out = self.dump(picture, expect_line="37x23 8-bit table=256 palette=yes halftone=no")
        self.assertEqual(held.clr_used, 0)
        self.assertEqual(held.table(), source.table())
        self.assert_same_picture(picture, out)

    def test_biclrused_16_and_a_short_table(self):
        source, table, rows = self.sixteen_colour_indices()
        pictures = {}
        for clr_used in (16, 0):
            with self.subTest(clr_used=clr_used):
                # 16 entries stored; with biClrUsed 0 the depth promises 256.
                picture = self.write(f"short{clr_used}.bmp",
                                     build_bmp(source.width, source.height, 8, rows, table, clr_used=clr_used))
                pictures[clr_used] = picture
                held, out = self.dump(picture, expect_line="37x23 8-bit table=256 palette=yes halftone=no")
                self.assertEqual(held.clr_used, clr_used)
                self.assertEqual(held.table()[:16], source.table()[:16])
                if clr_used == 0:
                    self.assertEqual(held.table()[16:], [(0, 0, 0, 0)] * 240)
                self.assertEqual(b"".join(held.rows()), rows)
                # ImageMagick refuses the file whose table is short of what
                # biClrUsed 0 promises; it reads the other one, which shows
                # the same picture.
                self.assert_same_picture(pictures[16], out)

    def test_top_down_files_are_held_upright(self):
        palette = ["-colors", "200", "-type", "palette", "-compress", "None"]
        for name, args in (("td24.bmp", []), ("td8.bmp", palette)):
            with self.subTest(name=name):
                source = Bmp.read(self.magick_file("up-" + name, *args, "BMP3:" + self.path("up-" + name)))
                self.assertEqual(source.compression, BI_RGB)
                top_down = patched(source.data[:source.off_bits] + b"".join(reversed(source.rows())),
                                   22, "<i", -source.height)
                picture = self.write(name, top_down)
                held, out = self.dump(picture)
                self.assertEqual(held.height, source.height)
                self.assertEqual(held.rows(), source.rows())
                self.assert_same_picture(picture, out)
                self.assert_same_picture(self.path("up-" + name), out)

    def test_rle4_stream(self):
        # 7 x 3, 16 colours, bottom row first:
        #   row 0: a run of 7 pixels alternating colours 1 and 2 (0x12)
        #   row 1: a literal run of 5 pixels 3 4 5 6 7 (three bytes, padded
        #          to four), a run of 2 pixels of colour 8
        #   row 2: a move 2 right and 0 up (pixels 0 and 1 stay colour 0),
        #          a run of 5 pixels of colour 15; the end of the bitmap
        stream = bytes([7, 0x12, 0, 0,
                        0, 5, 0x34, 0x56, 0x70, 0, 2, 0x88, 0, 0,
                        0, 2, 2, 0, 5, 0xFF, 0, 1])
        table = b"".join(bytes((16 * i, 255 - 16 * i, 8 * i, 0)) for i in range(16))
        picture = self.write("rle4.bmp", build_bmp(7, 3, 4, stream, table, BI_RLE4, clr_used=16,
                                                   size_image=len(stream)))
        held, out = self.dump(picture, expect_line="7x3 4-bit table=16 palette=yes halftone=no")
        self.assertEqual(held.pixels, stream)
        self.assert_same_picture(picture, out)

    def test_rle8_stream_without_its_end_gets_one(self):
        picture = self.magick_file("cut.bmp", "-colors", "200", "-type", "palette", "-compress", "RLE",
                                   "BMP3:" + self.path("cut.bmp"))
        source = Bmp.read(picture)
        self.assertEqual(source.pixels[-2:], b"\x00\x01")
        self.write("cut.bmp", source.data[:-2])
        held, out = self.dump(picture)
        self.assertEqual(held.pixels, source.pixels)
        self.assert_same_picture(self.write("whole.bmp", source.data), out)


class BrokenFiles(BmpPictures):
    """Broken and hostile files: a failed load or a consistent picture, never a crash."""

    def fixtures(self):
        return {
            "rgb": self.magick_file("f-rgb.bmp", "BMP3:" + self.path("f-rgb.bmp"), size="9x5"),
            "p8": self.magick_file("f-p8.bmp", "-colors", "200", "-type", "palette", "-compress", "None",
                                   "BMP3:" + self.path("f-p8.bmp"), size="9x5"),
            "rle8": self.magick_file("f-rle8.bmp", "-colors", "200", "-type", "palette", "-compress", "RLE",
                                     "BMP3:" + self.path("f-rle8.bmp"), size="9x5"),
            "v5": self.magick_file("f-v5.bmp", "-define", "bmp:subtype=RGB565", "BMP:" + self.path("f-v5.bmp"),
                                   size="9x5"),
            "core": self.magick_file("f-core.bmp", "-colors", "16", "-type", "palette",
                                     "BMP2:" + self.path("f-core.bmp"), size="9x5"),
        }

    def test_files_that_cannot_be_read_and_wrong_usage(self):
        self.assertEqual(run_imgdump(self.path("missing.bmp"), self.path("o.bmp"))[0], 1)
        self.assertEqual(run_imgdump(self.scratch, self.path("o.bmp"))[0], 1)
        # A picture of a format the saver does not read.
        png = self.magick_file("photo.png", self.path("photo.png"))
        self.assertEqual(run_imgdump(png, self.path("o.bmp"))[0], 1)
        self.assertFalse(os.path.exists(self.path("o.bmp")))
        good = self.magick_file("good.bmp", "BMP3:" + self.path("good.bmp"))
        self.assertEqual(run_imgdump(good, os.path.join(self.scratch, "no", "such", "dir.bmp"))[0], 2)
        for args in ([], [good], [good, self.path("o.bmp"), "extra"]):
            self.assertEqual(run_wine(IMGDUMP, *args)[0], 2)

    def test_every_cut_of_the_headers_and_some_of_the_pixels(self):
        for name, picture in self.fixtures().items():
            data = Bmp.read(picture).data
            lengths = sorted(set(range(0, min(len(data), 140))) | set(range(140, len(data), 61)))
            for length in lengths:
                with self.subTest(name=name, length=length):
                    self.check_survives(self.write(f"cut-{name}.bmp", data[:length]))

    def test_hostile_header_fields(self):
        fixtures = self.fixtures()
        rgb, p8, rle8 = (Bmp.read(fixtures[n]).data for n in ("rgb", "p8", "rle8"))
        # (fixture, offset, struct format, value, the exit code it must give)
        cases = [
            (rgb, 10, "<I", 0xFFFFFFFF, 1), (rgb, 10, "<I", 0, 1), (rgb, 10, "<I", 53, 1),
            (rgb, 14, "<I", 0xFFFFFFFF, 1), (rgb, 14, "<I", 64000, 1), (rgb, 14, "<I", 20, 1),
            (rgb, 18, "<i", 0, 1), (rgb, 18, "<i", -9, 1), (rgb, 18, "<i", 0x7FFFFFFF, 1),
            (rgb, 22, "<i", 0, 1), (rgb, 22, "<i", -0x80000000, 1), (rgb, 22, "<i", 0x7FFFFFFF, 1),
            (rgb, 22, "<i", 100000, 0),  # cut short: the missing rows are black
            (rgb, 28, "<H", 0, 1), (rgb, 28, "<H", 2, 1), (rgb, 28, "<H", 0xFFFF, 1),
            (rgb, 30, "<I", 4, 1), (rgb, 30, "<I", 5, 1), (rgb, 30, "<I", 0xFFFFFFFF, 1),
            (p8, 46, "<I", 0xFFFFFFFF, 0), (p8, 46, "<I", 257, 0),
            (rle8, 22, "<i", -5, 1), (rle8, 34, "<I", 0xFFFFFFFF, 0), (rle8, 34, "<I", 1, 0),
            (rle8, 18, "<i", 30000, 0), (rle8, 18, "<i", 0x40000000, 1),
        ]
        for number, (data, offset, fmt, value, code) in enumerate(cases):
            with self.subTest(offset=offset, value=value):
                self.assertEqual(self.check_survives(self.write(f"hostile{number}.bmp",
                                                                patched(data, offset, fmt, value))), code)

    def test_rle_streams_of_random_bytes(self):
        rng = random.Random(1)
        table = bytes(1024)
        for number in range(30):
            stream = bytes(rng.randrange(256) if rng.random() < 0.6 else rng.choice((0, 1, 2, 255))
                           for _ in range(rng.randrange(1, 300)))
            depth, compression = rng.choice(((8, BI_RLE8), (4, BI_RLE4)))
            picture = self.write(f"rle-noise{number}.bmp",
                                 build_bmp(rng.randrange(1, 40), rng.randrange(1, 40), depth, stream,
                                           table[:4 << depth], compression, size_image=rng.randrange(0, 400)))
            with self.subTest(number=number):
                self.assertEqual(self.check_survives(picture), 0)

    def test_random_byte_changes(self):
        rng = random.Random(2)
        fixtures = [Bmp.read(path).data for path in self.fixtures().values()]
        for number in range(60):
            data = bytearray(rng.choice(fixtures))
            for _ in range(rng.randrange(1, 6)):
                at = rng.randrange(min(len(data), 160)) if rng.random() < 0.8 else rng.randrange(len(data))
                data[at] = rng.randrange(256)
            with self.subTest(number=number):
                self.check_survives(self.write(f"noise{number}.bmp", bytes(data)))


if __name__ == "__main__":
    unittest.main()
