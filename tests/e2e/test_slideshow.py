"""The slide show on a real 800 x 600 screen: the table's show pictures in turn in folder order, in place and
colour, on both screens; repaints, random order, a vanished file, the preview in its host; a huge photo, and a
detailed one averaged down to the screen."""

import math
import os
import subprocess
import time
import unittest

from harness import (BUILD, FAST, SAVER, SETTLE, SaverTestCase, Screen, info, key, magick_rgb, make_case_file,
                     picture_cases, probe, reference_rgb, remove_settings, wait_until, winpath, wine, write_settings,
                     xdo)

BACKGROUND, BLACK, RED, GREEN, YELLOW = (0, 128, 255), (0, 0, 0), (255, 0, 0), (0, 255, 0), (255, 255, 0)
# The saver lists a folder by extension, in this order.
EXTENSION_ORDER = [".jpg", ".jpeg", ".jpe", ".jif", ".jfif", ".pcx", ".tga", ".bmp", ".dib"]


def near(a, b):
    """The same flat colour: JPEG and an 8-bit screen's palette keep it within a few levels."""
    return max(abs(x - y) for x, y in zip(a, b)) <= 48


class SlideShow(SaverTestCase):
    def setUp(self):
        super().setUp()
        self.folder = os.path.join(self.scratch, "pictures")
        os.mkdir(self.folder)
        self.addCleanup(remove_settings)

    def picture(self, name, top, width=320, height=240):
        subprocess.run(["convert", "-size", f"{width}x{height // 2}", f"xc:rgb{top}", "xc:blue", "-append",
                        "-type", "TrueColor", "BMP3:" + os.path.join(self.folder, name)], check=True, timeout=60)

    def show(self, speed=8, random=0, display=None):
        write_settings(self.folder, speed=speed, random=random, color=BACKGROUND)
        saver = self.start(["/s"], display=display)
        saver.wait_window()
        return saver

    def screen_when(self, condition):
        screen = wait_until(lambda: (lambda s: condition(s) and s)(Screen()), 20)
        self.assertTrue(screen, "the screen never showed what was expected")
        return screen

    def drawn(self, screen, x, y, w, h, top, background=BACKGROUND):
        """Whether a picture is drawn w x h at (x, y): top and bottom halves, the background around."""
        blue = (0, 0, 255)
        return all(near(screen.pixel(px, py), colour) for px, py, colour in (
            (x, y, top), (x + w - 1, y + h // 2 - 2, top), (x, y + h // 2 + 1, blue), (x + w - 1, y + h - 1, blue),
            (x - 1, y + h // 2, background), (x + w, y + h // 2, background), (x + w // 2, y - 1, background),
            (x + w // 2, y + h, background)) if colour and 0 <= px < 800 and 0 <= py < 600)

    def test_every_format_on_both_screens(self):
        colours = {}
        for case in picture_cases("show"):
            w, h, rgb = reference_rgb(case, make_case_file(case, self.folder))
            colours[case.name] = tuple(rgb[3 * (w // 2):3 * (w // 2) + 3])
        cycle = sorted(colours, key=lambda name: EXTENSION_ORDER.index(os.path.splitext(name)[1].lower()))
        for display in (None, os.environ["VISTEL_DISPLAY8"]):
            xdo("mousemove", 400, 300, display=display)
            saver, around = self.show(speed=0, display=display), None if display else BACKGROUND
            seen, placed, start = [], set(), time.monotonic()
            while placed != set(cycle) and time.monotonic() < start + 30:
                screen = Screen(display)
                name = next((n for n in cycle if near(screen.pixel(400, 240), colours[n])), None)
                if name and (not seen or seen[-1] != name):
                    seen.append(name)
                # 320 x 240 in the middle (Wine's 8-bit screen shows the background black).
                if name and self.drawn(screen, 240, 180, 320, 240, colours[name], around):
                    placed.add(name)
            self.assertEqual(placed, set(cycle), f"screen {display}, seen in turn: {seen}")
            first = cycle.index(seen[0])
            self.assertEqual(seen, [cycle[(first + i) % len(cycle)] for i in range(len(seen))])
            self.assertLessEqual(len(seen), time.monotonic() - start + 2, "more than one picture a second")
            self.assert_closes(saver)

    def test_a_partial_repaint_then_random_order_decoding_anew_and_a_vanished_file(self):
        self.picture("a.bmp", RED)
        self.picture("b.bmp", GREEN)
        saver = self.show()  # 40 seconds a picture
        shown = self.screen_when(lambda s: s.pixel(400, 250) != BLACK).pixel(400, 250)
        probe("invalidate", saver.hwnd, 0, 0, 400, 600)  # the picture's left part, erased and painted
        time.sleep(SETTLE)
        screen = Screen()
        self.assertEqual((screen.pixel(300, 250), screen.pixel(500, 250)), (shown, shown))
        self.assert_closes(saver)
        saver = self.show(speed=0, random=1)
        self.screen_when(lambda s: s.pixel(400, 250) == GREEN)
        os.remove(os.path.join(self.folder, "b.bmp"))
        self.picture("a.bmp", YELLOW)  # nothing decoded is kept
        self.screen_when(lambda s: s.pixel(400, 250) == YELLOW)
        self.assert_closes(saver)

    def test_at_144_dpi_the_window_covers_the_screen_and_a_picture_keeps_its_size_in_pixels(self):
        desktop = "HKCU\\Control Panel\\Desktop"
        wine("reg", "add", desktop, "/v", "LogPixels", "/t", "REG_DWORD", "/d", "144", "/f")
        self.addCleanup(wine, "reg", "delete", desktop, "/v", "LogPixels", "/f")
        self.picture("a.bmp", RED, 400, 300)
        saver = self.show()
        # Wine makes every program per-monitor aware; Windows reads the awareness from the manifest.
        self.assertEqual(probe("dpi", winpath(SAVER)), ["PerMonitorV2, PerMonitor", "true"])
        self.assertEqual(info(saver.hwnd)["rect"], "0 0 800 600")
        self.screen_when(lambda s: self.drawn(s, 200, 150, 400, 300, RED))
        self.assert_closes(saver)

    def test_a_108_megapixel_photo_shown_and_a_detailed_one_averaged_not_sampled(self):
        # 12000 x 9000, red above blue, streamed to cjpeg row by row: drawn 800 x 590 at (0, 5).
        with open(os.path.join(self.folder, "huge.jpg"), "wb") as out:
            cjpeg = subprocess.Popen(["cjpeg", "-quality", "90"], stdin=subprocess.PIPE, stdout=out)
            cjpeg.stdin.write(b"P6 12000 9000 255\n")
            for colour in (RED, (0, 0, 255)):
                cjpeg.stdin.writelines([bytes(colour) * 12000] * 4500)
            cjpeg.stdin.close()
            self.assertEqual(cjpeg.wait(timeout=120), 0)
        # Fine crossed lines over a gradient: ImageMagick's box average (-scale) is the reference; a
        # sampled shrink (-sample, as the stretching draw did) falls far below what is required of ours.
        detail = os.path.join(self.folder, "detail.jpg")
        subprocess.run(["convert", "-size", "2400x1800", "gradient:#c03020-#2040c0", "pattern:hs_diagcross", "-compose",
                        "multiply", "-composite", "-quality", "95", detail], check=True, timeout=120)
        box, sampled = (magick_rgb(detail, how, "800x590!")[2] for how in ("-scale", "-sample"))
        psnr = lambda a, b: 10 * math.log10(255 ** 2 * len(a) / max(1, sum((x - y) ** 2 for x, y in zip(a, b))))
        MIN_PSNR = 30
        self.assertLess(psnr(box, sampled), MIN_PSNR - 10)
        saver, best, huge = self.show(speed=0), 0, False
        deadline = time.monotonic() + 30
        while not (huge and best >= MIN_PSNR) and time.monotonic() < deadline:
            screen = Screen()
            huge = huge or self.drawn(screen, 0, 5, 800, 590, RED)
            if not near(screen.pixel(400, 100), RED) and not near(screen.pixel(400, 100), (0, 0, 255)):
                best = max(best, psnr(box, screen.data[3 * 800 * 5:3 * 800 * 595]))
        self.assertTrue(huge, "the 108-megapixel photo was never shown")
        self.assertGreaterEqual(best, MIN_PSNR, "the detailed photo was not shown averaged")
        self.assert_closes(saver)

    def test_a_key_ends_the_saver_while_a_large_picture_decodes_and_jitter_lets_it_show(self):
        # 24 megapixels, colour at full resolution, in 97 scans: over 10 s to decode here.
        with open(os.path.join(self.scratch, "scans"), "w") as scans:
            scans.write("0,1,2: 0-0, 0, 0;" + "".join(f"{c}: {k}-{min(k + 1, 63)}, 0, 0;" for c in range(3)
                                                      for k in range(1, 64, 2)))
        subprocess.run("convert -size 6000x4000 gradient:red-yellow ppm:- | cjpeg -sample 1x1 -scans ../scans "
                       ">large.jpg", shell=True, cwd=self.folder, check=True, timeout=120)
        write_settings(self.folder, speed=20, color=BACKGROUND)  # the next picture after 100 s
        saver, bound = self.start(["/s"], program=self.install(FAST)), 2.0  # a loaded machine's margin
        saver.wait_window()
        start = time.monotonic()
        for dx in range(1, 5):  # moves within the threshold, while the first paint decodes
            xdo("mousemove", 400 + dx, 300)
        self.assertTrue(wait_until(lambda: Screen().pixel(400, 300) not in (BLACK, BACKGROUND), 90))
        self.assertGreater(time.monotonic() - start, 2 * bound, "too fast to decode to show a quick end")
        probe("invalidate", saver.hwnd, 0, 0, 800, 600)  # decoded anew
        time.sleep(0.5)
        start = key(saver.hwnd, "a")
        self.assertEqual(saver.wait(), 0)
        self.assertLess(time.monotonic() - start, bound)

    def test_the_preview_shrinks_a_larger_picture_by_one_factor_and_centres_it(self):
        # The host sits at (20, 20), 152 x 112: the picture is drawn 152 x 85 at (20, 33).
        self.picture("wide.bmp", RED, 1600, 900)
        write_settings(self.folder, color=BACKGROUND)
        self.host([os.path.join(BUILD, "tests", "test_saver.exe")])
        screen = self.screen_when(lambda s: self.drawn(s, 20, 33, 152, 85, RED, None))
        self.assertEqual((screen.pixel(96, 32), screen.pixel(96, 118)), (BACKGROUND, BACKGROUND))


if __name__ == "__main__":
    unittest.main()
