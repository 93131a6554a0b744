"""JPEG pictures in the real slide show, on the 24-bit and on the 8-bit
screen: files with each of the five JPEG extensions, upper-case names among
them, are shown one after another at their place, in their colours; a CMYK
file too (drawn through the halftone palette on the 8-bit screen)."""

import os
import subprocess
import time
import unittest

from harness import SaverTestCase, Screen, remove_settings, write_settings, xdo

BACKGROUND = (0, 128, 255)
BLACK = (0, 0, 0)
# Name and colour of each picture; ImageMagick writes them.
PICTURES = [
    ("a.jpg", (255, 0, 0), []),
    ("B.JPEG", (0, 255, 0), []),
    ("c.JPE", (255, 255, 0), []),
    ("d.jif", (255, 0, 255), []),
    ("E.JFIF", (255, 255, 255), []),
    ("f.jpg", (0, 255, 255), ["-colorspace", "CMYK"]),  # cyan ink, a four-component file
]
# A colour read back from the screen counts as a picture's colour within this
# distance: JPEG keeps flat colours within a few levels, and an 8-bit
# screen shows the nearest colour of its palette, which holds these
# saturated ones exactly or nearly.
TOLERANCE = 48


def nearest(colour):
    """The picture whose colour the screen shows, or None."""
    for name, expected, _ in PICTURES:
        if max(abs(a - b) for a, b in zip(colour, expected)) <= TOLERANCE:
            return name
    return None


class JpegSlideShow(SaverTestCase):
    def setUp(self):
        super().setUp()
        self.folder = os.path.join(self.scratch, "pictures")
        os.mkdir(self.folder)
        for name, (r, g, b), args in PICTURES:
            subprocess.run(["/usr/bin/convert", "-size", "320x240", f"xc:rgb({r},{g},{b})", *args, "-quality", "95",
                            "JPEG:" + os.path.join(self.folder, name)], check=True, timeout=60)

    def tearDown(self):
        super().tearDown()
        remove_settings()

    def watch(self, display, seconds=25.0):
        """Runs the saver at one picture a second and notes, in order, the
        pictures seen in the middle of the screen until all were seen."""
        write_settings(self.folder, speed=0, color=BACKGROUND)
        saver = self.start(["/s"], display=display)
        saver.wait_window()
        seen, first_screen = [], None
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline and len(set(seen)) < len(PICTURES):
            screen = Screen(display=display)
            name = nearest(screen.pixel(400, 300))
            if name is not None:
                if first_screen is None:
                    first_screen = screen
                if not seen or seen[-1] != name:
                    seen.append(name)
            time.sleep(0.1)
        self.assertEqual(set(seen), {name for name, _, _ in PICTURES}, f"pictures seen: {seen}")
        # A 320 x 240 picture is drawn at (240, 180), the background around it.
        self.assertIsNotNone(nearest(first_screen.pixel(241, 181)))
        self.assertIsNotNone(nearest(first_screen.pixel(558, 418)))
        for x, y in ((238, 300), (561, 300), (400, 178), (400, 421)):
            around = first_screen.pixel(x, y)
            self.assertIsNone(nearest(around), f"picture colour {around} outside the picture at {x},{y}")
            if display is None:
                # (Wine's 8-bit screen shows this background black, whatever
                # the picture's format.)
                self.assertLessEqual(max(abs(a - b) for a, b in zip(around, BACKGROUND)), TOLERANCE,
                                     f"background at {x},{y} is {around}")
        xdo("key", "a", display=display)
        self.assert_closes(saver)

    def test_all_five_extensions_on_the_24_bit_screen(self):
        self.watch(display=None)

    def test_all_five_extensions_on_the_8_bit_screen(self):
        display8 = os.environ.get("VISTEL_DISPLAY8")
        self.assertTrue(display8, "VISTEL_DISPLAY8 names no 8-bit X server")
        xdo("mousemove", 400, 300, display=display8)
        self.watch(display=display8)


if __name__ == "__main__":
    unittest.main()
