"""JPEG pictures through the real imgdump.exe: what the display image holds.

Every file is written at test time by an encoder that is not ours:
ImageMagick, or cjpeg of Debian's libjpeg-turbo-progs for what ImageMagick
cannot write (arithmetic coding, restart markers). On the 24-bit screen the
held pixels must equal ImageMagick's own decoding of the same file: both
run libjpeg-turbo 2.1.5 with the same parameters (islow DCT, fancy
upsampling, block smoothing), so they agree byte for byte. On the 8-bit
screen the held picture must be what djpeg's two-pass quantiser makes of
the file, and grayscale files must keep their exact gray levels. Broken and
hostile files end in a failed load (exit 1) or a consistent picture (exit
0), never a crash or a hang.
"""

import os
import random
import struct
import subprocess
import unittest

from test_bmp_pictures import Bmp, BmpPictures, magick_rgb, patched

CONVERT = "/usr/bin/convert"
CJPEG = "/usr/bin/cjpeg"
DJPEG = "/usr/bin/djpeg"
# Every Wine prefix has this profile; it stands for a camera's or editor's.
ICC_PROFILE = os.path.join(os.environ["WINEPREFIX"], "drive_c", "windows", "system32", "spool", "drivers", "color",
                           "srgb color space profile.icm")

SOF_MARKERS = {0xC0, 0xC1, 0xC2, 0xC3, 0xC5, 0xC6, 0xC7, 0xC9, 0xCA, 0xCB, 0xCD, 0xCE, 0xCF}


def run(*args):
    return subprocess.run(args, check=True, capture_output=True, timeout=60).stdout


def segments(data):
    """(marker, offset of the marker) of each segment before the first scan."""
    found, at = [], 2
    while at + 4 <= len(data) and data[at] == 0xFF:
        marker = data[at + 1]
        found.append((marker, at))
        if marker == 0xDA:
            break
        at += 2 + struct.unpack_from(">H", data, at + 2)[0]
    return found


def frame_offset(data):
    """Where the frame header (SOFn) starts: FF Cn, length, precision, height, width, components."""
    for marker, at in segments(data):
        if marker in SOF_MARKERS:
            return at
    raise AssertionError("no frame header")


def read(path):
    with open(path, "rb") as f:
        return f.read()


class JpegPictures(BmpPictures):
    """Fixtures in the scratch folder, and the checks every dump gets."""

    def source(self, width=61, height=37, name=None):
        """A picture with smooth and sharp parts: a seeded plasma with a
        circle and a bar drawn over it, as a PPM file."""
        name = name or f"source-{width}x{height}.ppm"
        if not os.path.exists(self.path(name)):
            run(CONVERT, "-seed", "5", "-size", f"{width}x{height}", "plasma:gold-teal",
                "-fill", "#c01020", "-draw", f"circle {width // 3},{height // 2} {width // 3},{height // 5}",
                "-fill", "white", "-draw", f"rectangle 0,{height - 3} {width // 2},{height}", self.path(name))
        return self.path(name)

    def magick_jpeg(self, name, *args, width=61, height=37):
        run(CONVERT, self.source(width, height), *args, self.path(name))
        return self.path(name)

    def cjpeg(self, name, *args, width=61, height=37):
        with open(self.path(name), "wb") as out:
            subprocess.run([CJPEG, *args, self.source(width, height)], stdout=out, check=True, timeout=60)
        return self.path(name)

    def check_consistent(self, held):
        super().check_consistent(held)
        self.assertEqual(held.planes, 1)
        self.assertIn(held.bit_count, (8, 24))
        self.assertEqual(held.compression, 0)
        self.assertEqual(len(held.after_header), 1024 if held.bit_count == 8 else 0)

    def rgb_thirds(self):
        """48 x 16: pure red, green and blue thirds in whole 8 x 8 blocks, quality 100, full chroma."""
        run(CONVERT, "-size", "16x16", "xc:#ff0000", "xc:#00ff00", "xc:#0000ff", "+append", "-quality", "100",
            "-sampling-factor", "1x1", self.path("rgb.jpg"))
        return self.path("rgb.jpg")

    def bands(self, name):
        """160 x 24: four bands of pure colours, so that a quantiser chooses few."""
        run(CONVERT, "-size", "40x24", "xc:#ff0000", "xc:#00ff00", "xc:#0000ff", "xc:#ffff00", "+append",
            "-quality", "100", "-sampling-factor", "1x1", self.path(name))
        return self.path(name)

    def assert_as_magick_decodes(self, picture, out):
        """The held picture equals ImageMagick's decoding of the file, pixel for pixel."""
        width, height, expected = magick_rgb_islow(picture)
        held_width, held_height, held = magick_rgb(out)
        self.assertEqual((held_width, held_height), (width, height))
        if held != expected:
            worst = max(abs(a - b) for a, b in zip(held, expected))
            self.fail(f"{os.path.basename(picture)}: pixels differ from ImageMagick's decoding by up to {worst}")


def magick_rgb_islow(path):
    """ImageMagick's decoding of a JPEG file with the decoder's parameters of the saver."""
    size = run(CONVERT, "-define", "jpeg:dct-method=islow", path, "-format", "%w %h", "info:").split()
    data = run(CONVERT, "-define", "jpeg:dct-method=islow", path, "-depth", "8", "rgb:-")
    return int(size[0]), int(size[1]), data


class DeepScreen(JpegPictures):
    """24-bit pictures on the 24-bit screen, compared with ImageMagick."""

    def test_every_kind_of_file_is_held_as_imagemagick_decodes_it(self):
        cases = {
            "baseline.jpg": lambda n: self.magick_jpeg(n, "-quality", "85"),
            "progressive.jpg": lambda n: self.magick_jpeg(n, "-interlace", "JPEG"),
            "s444.jpg": lambda n: self.magick_jpeg(n, "-sampling-factor", "1x1"),
            "s420.jpg": lambda n: self.magick_jpeg(n, "-sampling-factor", "2x2"),
            "s422.jpg": lambda n: self.magick_jpeg(n, "-sampling-factor", "2x1"),
            "restart.jpg": lambda n: self.cjpeg(n, "-restart", "1"),
            "restart-blocks.jpg": lambda n: self.cjpeg(n, "-restart", "3B"),
            "arithmetic.jpg": lambda n: self.cjpeg(n, "-arithmetic"),
            "arithmetic-progressive.jpg": lambda n: self.cjpeg(n, "-arithmetic", "-progressive"),
            "profile.jpg": lambda n: self.magick_jpeg(n, "-profile", ICC_PROFILE),
            "rgb-components.jpg": lambda n: self.magick_jpeg(n, "-define", "jpeg:colorspace=2"),
        }
        for name, make in cases.items():
            with self.subTest(name=name):
                picture = make(name)
                held, out = self.dump(picture, expect_line="61x37 24-bit table=0 palette=no halftone=no")
                self.assert_as_magick_decodes(picture, out)

    def test_the_files_are_what_their_names_say(self):
        # The encoders' options did what the cases above rely on.
        def frame(name):
            data = read(self.path(name))
            return data[frame_offset(data) + 1], data
        marker, _ = frame(os.path.basename(self.cjpeg("a.jpg", "-arithmetic")))
        self.assertEqual(marker, 0xC9)  # extended sequential, arithmetic
        marker, _ = frame(os.path.basename(self.magick_jpeg("p.jpg", "-interlace", "JPEG")))
        self.assertEqual(marker, 0xC2)  # progressive, Huffman
        _, data = frame(os.path.basename(self.cjpeg("r.jpg", "-restart", "1")))
        self.assertIn(b"\xff\xdd", data)  # a restart interval is defined
        self.assertIn(b"\xff\xd0", data)  # and restart markers follow
        data = read(self.magick_jpeg("icc.jpg", "-profile", ICC_PROFILE))
        self.assertIn(b"ICC_PROFILE\x00", data)

    def test_sizes_odd_thin_and_tiny(self):
        for width, height in ((1, 40), (1, 1), (40, 1), (17, 9), (7, 130), (333, 2)):
            with self.subTest(size=f"{width}x{height}"):
                picture = self.magick_jpeg(f"size{width}x{height}.jpg", "-quality", "90", width=width, height=height)
                held, out = self.dump(picture, expect_line=f"{width}x{height} 24-bit table=0 palette=no halftone=no")
                self.assertEqual(held.width, width)
                self.assert_as_magick_decodes(picture, out)
                if width == 1:
                    # Rows of one pixel: three bytes of pixel and one spare.
                    self.assertEqual(held.row_bytes(), 4)

    def test_grayscale_files_give_blue_green_red_of_the_gray_level(self):
        picture = self.magick_jpeg("gray.jpg", "-colorspace", "gray")
        self.assertEqual(read(picture)[frame_offset(read(picture)) + 9], 1)
        held, out = self.dump(picture, expect_line="61x37 24-bit table=0 palette=no halftone=no")
        self.assert_as_magick_decodes(picture, out)
        for row in held.rows():
            for x in range(held.width):
                self.assertEqual(row[3 * x], row[3 * x + 1])
                self.assertEqual(row[3 * x], row[3 * x + 2])

    def test_pure_red_green_and_blue_are_stored_blue_green_red(self):
        picture = self.rgb_thirds()
        held, _ = self.dump(picture, expect_line="48x16 24-bit table=0 palette=no halftone=no")
        top = held.rows()[-1]
        for area, (b, g, r) in enumerate(((0, 0, 255), (0, 255, 0), (255, 0, 0))):
            pixel = top[3 * (16 * area + 8):3 * (16 * area + 8) + 3]
            self.assertTrue(all(abs(p - e) <= 2 for p, e in zip(pixel, (b, g, r))), f"area {area}: {tuple(pixel)}")

    def test_cmyk_files_show_their_colours(self):
        # ImageMagick writes CMYK pictures as YCCK files with Adobe's marker
        # and inverted inks; both kinds of four-component file take this road.
        picture = self.magick_jpeg("cmyk.jpg", "-colorspace", "CMYK")
        data = read(picture)
        self.assertEqual(data[frame_offset(data) + 9], 4)
        self.assertIn(b"Adobe", data)
        held, out = self.dump(picture, expect_line="61x37 24-bit table=0 palette=no halftone=no")
        self.assert_as_magick_decodes(picture, out)
        # Not the raw planes: the red circle is red.
        left, top = 61 // 3, 37 // 2
        row = held.rows()[held.height - 1 - top]
        b, g, r = row[3 * left:3 * left + 3]
        self.assertGreater(r, 150)
        self.assertLess(max(g, b), 80)

    def test_a_file_cut_short_still_loads(self):
        for name, args in (("cut-base.jpg", ["-quality", "90"]), ("cut-prog.jpg", ["-interlace", "JPEG"])):
            with self.subTest(name=name):
                whole = read(self.magick_jpeg("whole-" + name, *args, width=200, height=150))
                picture = self.write(name, whole[:len(whole) * 2 // 3])
                held, out = self.dump(picture, expect_line="200x150 24-bit table=0 palette=no halftone=no")
                # The decoder ends the cut file as ImageMagick's does.
                self.assert_as_magick_decodes(picture, out)


class PaletteScreen(JpegPictures):
    """8-bit pictures on the 8-bit screen."""

    def setUp(self):
        super().setUp()
        self.display8 = os.environ.get("VISTEL_DISPLAY8")
        self.assertTrue(self.display8, "VISTEL_DISPLAY8 names no 8-bit X server")

    def djpeg_256(self, picture):
        """djpeg's two-pass reduction of the file to 256 colours, as a BMP file."""
        out = picture + ".djpeg.bmp"
        with open(out, "wb") as f:
            subprocess.run([DJPEG, "-colors", "256", "-dither", "fs", "-bmp", picture], stdout=f, check=True,
                           timeout=60)
        return Bmp.read(out)

    def test_colour_files_are_reduced_to_colours_chosen_from_the_whole_picture(self):
        cases = {
            "photo.jpg": lambda n: self.magick_jpeg(n, "-quality", "90", width=200, height=150),
            "progressive.jpg": lambda n: self.magick_jpeg(n, "-interlace", "JPEG", width=200, height=150),
            "arithmetic.jpg": lambda n: self.cjpeg(n, "-arithmetic", width=200, height=150),
            # Few colours: the decoder chooses fewer than 256.
            "bands.jpg": self.bands,
        }
        for name, make in cases.items():
            with self.subTest(name=name):
                picture = make(name)
                size = "160x24" if name == "bands.jpg" else "200x150"
                held, out = self.dump(picture, display=self.display8,
                                      expect_line=f"{size} 8-bit table=256 palette=yes halftone=no")
                # The same colours as djpeg chooses, in the same order, and
                # the same indexes (djpeg also writes 256 entries, the ones
                # past its chosen colours zero).
                reference = self.djpeg_256(picture)
                self.assertEqual(held.table(), reference.table())
                self.assertEqual(held.rows(), reference.rows())
                # The entries past the ones the pixels use are all zero.
                used = max(max(row[:held.width]) for row in held.rows()) + 1
                self.assertEqual(held.table()[used:], [(0, 0, 0, 0)] * (256 - used))
                if name == "bands.jpg":
                    self.assertEqual(used, 4)

    def test_grayscale_files_keep_their_exact_gray_levels(self):
        picture = self.magick_jpeg("gray.jpg", "-colorspace", "gray", width=120, height=80)
        held, out = self.dump(picture, display=self.display8, expect_line="120x80 8-bit table=256 palette=yes halftone=no")
        self.assertEqual(held.table(), [(i, i, i, 0) for i in range(256)])
        # Each index is the gray level ImageMagick decodes at that pixel.
        width, height, gray = magick_rgb_islow(picture)
        indexes = b"".join(row[:width] for row in reversed(held.rows()))
        self.assertEqual(indexes, gray[::3])

    def test_pure_red_green_and_blue_index_red_green_and_blue_entries(self):
        held, _ = self.dump(self.rgb_thirds(), display=self.display8, expect_line="48x16 8-bit table=256 palette=yes halftone=no")
        table = held.table()
        top = held.rows()[-1]
        # The quantiser's chosen colour is within 8 of the pure one.
        for area, (b, g, r) in enumerate(((0, 0, 255), (0, 255, 0), (255, 0, 0))):
            entry = table[top[16 * area + 8]]
            self.assertTrue(all(abs(p - e) <= 8 for p, e in zip(entry[:3], (b, g, r))), f"area {area}: {entry}")

    def test_cmyk_files_are_24_bit_and_drawn_through_the_halftone_palette(self):
        picture = self.magick_jpeg("cmyk.jpg", "-colorspace", "CMYK")
        held, out = self.dump(picture, display=self.display8, expect_line="61x37 24-bit table=0 palette=no halftone=yes")
        self.assert_as_magick_decodes(picture, out)


class BrokenFiles(JpegPictures):
    """Files that are no pictures, or hostile ones: a failed load or a consistent picture."""

    def test_files_that_are_no_jpeg_pictures_fail(self):
        self.assertEqual(self.check_survives(self.write("empty.jpg", b"")), 1)
        self.assertEqual(self.check_survives(self.write("text.jpg", b"This is no picture.\n" * 20)), 1)
        self.assertEqual(self.check_survives(self.write("marker.jpg", b"\xff\xd8")), 1)
        png = self.path("picture.jpg")
        run(CONVERT, "-size", "20x20", "xc:red", "PNG:" + png)
        self.assertEqual(self.check_survives(png), 1)
        # Tables only, no frame: an abbreviated file.
        whole = read(self.magick_jpeg("t.jpg"))
        tables = whole[:frame_offset(whole)] + b"\xff\xd9"
        self.assertEqual(self.check_survives(self.write("tables.jpg", tables)), 1)

    def test_frame_headers_the_decoder_refuses(self):
        whole = read(self.magick_jpeg("f.jpg", "-quality", "90"))
        sof = frame_offset(whole)
        self.assertEqual(whole[sof + 4], 8)  # 8-bit samples
        cases = {
            # The frame's height 0: left to a DNL marker, which is not supported.
            "height0.jpg": (sof + 5, ">H", 0),
            "width0.jpg": (sof + 7, ">H", 0),
            # 12-bit samples (precision byte 8 becomes 12).
            "precision12.jpg": (sof + 4, ">B", 12),
            "precision0.jpg": (sof + 4, ">B", 0),
            # Wider and higher than the decoder's limit of 65500.
            "wide.jpg": (sof + 7, ">H", 65535),
            "high.jpg": (sof + 5, ">H", 65501),
            # No components.
            "components0.jpg": (sof + 9, ">B", 0),
        }
        for name, (offset, fmt, value) in cases.items():
            with self.subTest(name=name):
                self.assertEqual(self.check_survives(self.write(name, patched(whole, offset, fmt, value))), 1)

    def test_a_large_frame_is_refused_before_its_memory_is_taken_or_decoded_as_far_as_it_goes(self):
        # 65500 x 65500 pixels would need 12 GB: the size check refuses it.
        whole = read(self.magick_jpeg("big.jpg", "-quality", "90"))
        sof = frame_offset(whole)
        big = patched(patched(whole, sof + 5, ">H", 65500), sof + 7, ">H", 65500)
        self.assertEqual(self.check_survives(self.write("big.jpg", big)), 1)
        # 4000 x 3000 from a 61 x 37 file: a picture, mostly made up.
        large = patched(patched(whole, sof + 5, ">H", 3000), sof + 7, ">H", 4000)
        self.assertEqual(self.check_survives(self.write("large.jpg", large)), 0)

    def test_every_cut_of_the_headers_and_some_of_the_data(self):
        for name, args in (("c-base.jpg", ["-quality", "90"]), ("c-prog.jpg", ["-interlace", "JPEG"])):
            data = read(self.magick_jpeg(name, *args))
            lengths = sorted(set(range(0, min(len(data), 700), 7)) | set(range(700, len(data), 97)))
            for length in lengths:
                with self.subTest(name=name, length=length):
                    self.check_survives(self.write("cut-" + name, data[:length]))

    def test_random_byte_changes(self):
        rng = random.Random(3)
        fixtures = [read(self.magick_jpeg(n, *a)) for n, a in
                    (("r-base.jpg", ["-quality", "90"]), ("r-prog.jpg", ["-interlace", "JPEG"]),
                     ("r-gray.jpg", ["-colorspace", "gray"]))]
        fixtures.append(read(self.cjpeg("r-arith.jpg", "-arithmetic")))
        for number in range(60):
            data = bytearray(rng.choice(fixtures))
            for _ in range(rng.randrange(1, 6)):
                at = rng.randrange(min(len(data), 400)) if rng.random() < 0.7 else rng.randrange(len(data))
                data[at] = rng.randrange(256)
            with self.subTest(number=number):
                self.check_survives(self.write(f"noise{number}.jpg", bytes(data)))


if __name__ == "__main__":
    unittest.main()
