"""The full-screen saver window: a black, topmost pop-up over the whole
screen without a cursor, whose title never changes; one saver at a time."""

import unittest

from harness import (SaverTestCase, Screen, SAVER_CLASS, SC_CLOSE, SC_NEXTWINDOW, SC_PREVWINDOW, SC_SCREENSAVE,
                     WM_SYSCOMMAND, find_window, post, probe, probe_value, run_to_end, window_info, xdo)

WS_POPUP = 0x80000000
WS_VISIBLE = 0x10000000
WS_EX_TOPMOST = 0x00000008


class FullScreenWindow(SaverTestCase):
    def test_a_black_topmost_popup_covers_the_screen_without_cursor(self):
        saver = self.start(["/s"])
        hwnd = saver.wait_window()
        info = window_info(hwnd)
        self.assertEqual(info["class"], SAVER_CLASS)
        self.assertEqual(info["rect"], "0 0 800 600")
        self.assertTrue(int(info["style"], 16) & WS_POPUP)
        self.assertTrue(int(info["style"], 16) & WS_VISIBLE)
        self.assertTrue(int(info["exstyle"], 16) & WS_EX_TOPMOST)
        self.assertEqual(info["foreground"], "1")

        cursor = dict(line.split("=", 1) for line in probe("cursor"))
        self.assertEqual(cursor["cursor"], "0", "the saver shows a cursor")

        screen = Screen()
        for x, y in ((0, 0), (799, 0), (400, 300), (0, 599), (799, 599)):
            self.assertEqual(screen.pixel(x, y), (0, 0, 0), f"pixel {x},{y}")

        xdo("key", "a")
        self.assertEqual(saver.wait(), 0)

    def test_the_title_ignores_changes(self):
        saver = self.start(["/s"])
        hwnd = saver.wait_window()
        self.assertEqual(probe_value("settext", hwnd, "Changed"), "0")
        self.assertEqual(window_info(hwnd)["text"], "Screen Saver")
        self.assertTrue(saver.alive())

    def test_a_second_saver_brings_the_first_to_the_front_and_ends(self):
        first = self.start(["/s"])
        hwnd = first.wait_window()
        # Another window takes the front without taking activation away for good.
        self.assertEqual(run_to_end(["/s"]), 0)
        self.assertTrue(first.stays())
        self.assertEqual(find_window(SAVER_CLASS, "Screen Saver"), hwnd)
        self.assertEqual(probe_value("foreground"), str(hwnd))


class SystemCommands(SaverTestCase):
    def test_start_and_window_switching_commands_are_swallowed(self):
        saver = self.start(["/s"])
        hwnd = saver.wait_window()
        for command in (SC_SCREENSAVE, SC_NEXTWINDOW, SC_PREVWINDOW):
            post(hwnd, WM_SYSCOMMAND, command)
        self.assertTrue(saver.stays())

    def test_the_close_command_closes(self):
        saver = self.start(["/s"])
        hwnd = saver.wait_window()
        post(hwnd, WM_SYSCOMMAND, SC_CLOSE)
        self.assertEqual(saver.wait(), 0)


if __name__ == "__main__":
    unittest.main()
