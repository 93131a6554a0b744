"""The slide show on a real 800 x 600 screen: pictures written by ImageMagick
appear at their place and size on the background colour, one per tick, in
folder order or at random; missing and mislabelled files do not stop it."""

import os
import subprocess
import time
import unittest

from harness import (BUILD, SETTLE, SaverTestCase, Host, Screen, make_picture, probe, remove_settings, write_settings,
                     xdo)

RED, BLUE, GREEN, BLACK = (255, 0, 0), (0, 0, 255), (0, 255, 0), (0, 0, 0)
BACKGROUND = (0, 128, 255)


class SlideShowTestCase(SaverTestCase):
    def setUp(self):
        super().setUp()
        self.folder = os.path.join(self.scratch, "pictures")
        os.mkdir(self.folder)

    def tearDown(self):
        super().tearDown()
        remove_settings()

    def picture(self, name, width, height, top=RED, bottom=BLUE, kind="BMP3"):
        rgb = lambda c: "rgb(%d,%d,%d)" % c
        return make_picture(os.path.join(self.folder, name), width, height, rgb(top), rgb(bottom), kind)

    def show(self, speed=8, random=0, args=("/s",)):
        write_settings(self.folder, speed=speed, random=random, color=BACKGROUND)
        saver = self.start(list(args))
        saver.wait_window("Preview" if args[0] == "/p" else "Screen Saver",
                          parent=int(args[1]) if args[0] == "/p" else None)
        return saver

    def screen_when(self, condition, timeout=20.0):
        """The first screenshot for which condition holds."""
        deadline = time.monotonic() + timeout
        while True:
            screen = Screen()
            if condition(screen):
                return screen
            if time.monotonic() > deadline:
                self.fail("the screen never showed what was expected")
            time.sleep(0.1)

    def assert_drawn(self, screen, x, y, w, h, top=RED, bottom=BLUE, left=0, top_edge=0, right=800, bottom_edge=600):
        """A picture drawn w x h at (x, y): its halves inside, the background around."""
        inside = lambda px, py: left <= px < right and top_edge <= py < bottom_edge
        for px, py, colour in ((x + 1, y + 1, top), (x + w - 2, y + 1, top), (x + 1, y + h - 2, bottom),
                               (x + w - 2, y + h - 2, bottom), (x + w // 2, y + h // 4, top),
                               (x + w // 2, y + 3 * h // 4, bottom)):
            if inside(px, py):
                self.assertEqual(screen.pixel(px, py), colour, f"picture pixel {px},{py}")
        for px, py in ((x - 1, y + h // 2), (x + w, y + h // 2), (x + w // 2, y - 1), (x + w // 2, y + h)):
            if inside(px, py):
                self.assertEqual(screen.pixel(px, py), BACKGROUND, f"background pixel {px},{py}")


class Layout(SlideShowTestCase):
    CASES = [  # picture size, drawn size and place in an 800 x 600 window
        ((320, 240), (320, 240, 240, 180)),
        ((1024, 768), (800, 590, 0, 5)),
        ((600, 900), (400, 590, 200, 5)),
        ((2000, 500), (800, 200, 0, 200)),
        ((1280, 1024), (750, 590, 25, 5)),  # less wide than the window: its height decides
        ((1000, 1000), (600, 590, 100, 5)),
        ((800, 600), (800, 590, 0, 5)),
        ((640, 600), (640, 590, 80, 5)),
        ((800, 500), (800, 500, 0, 50)),
    ]

    def test_each_picture_size_is_drawn_at_its_place(self):
        for (width, height), (w, h, x, y) in self.CASES:
            with self.subTest(picture=f"{width}x{height}"):
                for name in os.listdir(self.folder):
                    os.remove(os.path.join(self.folder, name))
                self.picture("p.bmp", width, height)
                saver = self.show()
                screen = self.screen_when(lambda s: s.pixel(x + w // 2, min(y + h // 4, 599)) != BLACK)
                self.assert_drawn(screen, x, y, w, h)
                xdo("key", "a")
                self.assert_closes(saver)

    def test_a_shrunk_photo_keeps_its_colours(self):
        path = os.path.join(self.folder, "clouds.bmp")
        subprocess.run(["/usr/bin/convert", "-seed", "3", "-size", "1600x1200", "plasma:red-blue", "-type",
                        "TrueColor", f"BMP3:{path}"], check=True, timeout=60)
        saver = self.show()
        screen = self.screen_when(lambda s: s.pixel(400, 300) != BLACK)
        shown = [screen.pixel(x, y) for y in range(5, 595, 7) for x in range(0, 800, 7)]
        mean_shown = sum(map(sum, shown)) / (3 * len(shown))
        reference = subprocess.run(["/usr/bin/convert", path, "-resize", "800x590!", "-format", "%[fx:mean*255]",
                                    "info:"], capture_output=True, text=True, check=True, timeout=60)
        self.assertAlmostEqual(mean_shown, float(reference.stdout), delta=4)
        xdo("key", "a")
        self.assert_closes(saver)

    def test_the_preview_draws_the_same_way_in_its_host(self):
        # The preview runs inside a stand-in for the control panel, in one
        # process: Wine does not show a child window that another process draws.
        self.picture("p.bmp", 1024, 768)
        write_settings(self.folder, color=BACKGROUND)
        host = Host(command=[os.path.join(BUILD, "tests", "preview_host.exe")])
        self.hosts.append(host)
        # The host sits at (20, 20): the picture is drawn 149 x 102 at (1, 5) in it.
        screen = self.screen_when(lambda s: s.pixel(96, 40) == RED)
        self.assert_drawn(screen, 21, 25, 149, 102, left=20, top_edge=20, right=172, bottom_edge=132)
        host.close()
        self.assertEqual(host.process.returncode, 0)


class Order(SlideShowTestCase):
    def sequence(self, seconds):
        """The colours shown in turn at the middle of the screen."""
        seen = []
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            colour = Screen().pixel(400, 250)
            if colour != BLACK and (not seen or seen[-1] != colour):
                seen.append(colour)
            time.sleep(0.1)
        return seen

    def test_folder_order_cycles_through_the_list_every_second(self):
        # Listed by pattern: *.jpg, then *.bmp, then *.dib. The first file is
        # a bitmap under a JPEG name, shown from its bitmap content.
        self.picture("c.jpg", 320, 240, top=RED)
        self.picture("a.bmp", 320, 240, top=GREEN)
        self.picture("b.dib", 320, 240, top=BLUE)
        start = time.monotonic()
        saver = self.show(speed=0)
        seen = self.sequence(6)
        elapsed = time.monotonic() - start
        # The pictures follow each other in list order, round and round.
        cycle = [RED, GREEN, BLUE]
        self.assertIn(seen[0], cycle)
        first = cycle.index(seen[0])
        self.assertEqual(seen, [cycle[(first + i) % 3] for i in range(len(seen))])
        # One picture a second: about six in six seconds, never all at once.
        self.assertGreaterEqual(len(seen), 4)
        self.assertLessEqual(len(seen), elapsed + 2)
        self.assertTrue(saver.alive())

    def test_a_slower_speed_keeps_the_picture(self):
        self.picture("a.bmp", 320, 240, top=RED)
        self.picture("b.bmp", 320, 240, top=GREEN)
        self.show(speed=1)  # five seconds a picture
        seen = self.sequence(3)
        self.assertEqual(len(seen), 1)

    def test_a_partial_repaint_draws_the_picture_on_show(self):
        self.picture("a.bmp", 320, 240, top=RED)
        self.picture("b.bmp", 320, 240, top=GREEN)
        saver = self.show()  # 40 seconds a picture
        shown = self.screen_when(lambda s: s.pixel(400, 250) != BLACK).pixel(400, 250)
        probe("invalidate", saver.hwnd, 0, 0, 400, 600)  # the picture's left part, erased and painted
        time.sleep(SETTLE)
        screen = Screen()
        self.assertEqual((screen.pixel(300, 250), screen.pixel(500, 250)), (shown, shown))

    def test_random_order_with_one_picture_decodes_it_anew_at_every_tick(self):
        self.picture("only.bmp", 320, 240, top=RED)
        saver = self.show(speed=0, random=1)
        self.screen_when(lambda s: s.pixel(400, 250) == RED)
        self.picture("only.bmp", 320, 240, top=GREEN)  # nothing decoded is kept
        self.screen_when(lambda s: s.pixel(400, 250) == GREEN)
        self.assertTrue(saver.alive())


class Trouble(SlideShowTestCase):
    def test_an_empty_folder_stays_black(self):
        saver = self.show(speed=0)
        time.sleep(2.5)
        screen = Screen()
        for x, y in ((0, 0), (400, 300), (799, 599)):
            self.assertEqual(screen.pixel(x, y), BLACK)
        self.assertTrue(saver.alive())

    def test_a_file_deleted_after_the_start_does_not_end_the_show(self):
        self.picture("a.bmp", 320, 240, top=RED)
        self.picture("b.bmp", 320, 240, top=GREEN)
        saver = self.show(speed=0)
        self.screen_when(lambda s: s.pixel(400, 250) in (RED, GREEN))
        os.remove(os.path.join(self.folder, "b.bmp"))
        time.sleep(4)
        self.assertTrue(saver.alive())
        self.assertEqual(Screen().pixel(400, 250), RED)
        xdo("key", "a")
        self.assert_closes(saver)

    def test_a_pcx_file_named_bmp_shows_only_the_background(self):
        self.picture("x.bmp", 320, 240, kind="PCX")
        self.show()
        screen = self.screen_when(lambda s: s.pixel(400, 300) != BLACK)
        for x, y in ((0, 0), (400, 300), (799, 599)):
            self.assertEqual(screen.pixel(x, y), BACKGROUND)

    def test_upper_case_names_are_listed(self):
        self.picture("PHOTO.JPEG", 320, 240)
        self.show()
        screen = self.screen_when(lambda s: s.pixel(400, 300) != BLACK)
        self.assert_drawn(screen, 240, 180, 320, 240)


if __name__ == "__main__":
    unittest.main()
