"""What ends the full-screen saver: key and button presses, a mouse move of
more than 4 pixels, switching away, power events; and what does not."""

import unittest

from harness import (SaverTestCase, WM_KEYUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP, WM_MOUSEWHEEL, WM_POWERBROADCAST,
                     WM_RBUTTONUP, post, probe, xdo)


class Presses(SaverTestCase):
    def test_a_key_press_closes(self):
        saver = self.start(["/s"])
        saver.wait_window()
        xdo("key", "a")
        self.assert_closes(saver)

    def test_a_system_key_press_closes(self):
        saver = self.start(["/s"])
        saver.wait_window()
        xdo("key", "alt")
        self.assert_closes(saver)

    def test_each_mouse_button_press_closes(self):
        for button in (1, 2, 3):
            with self.subTest(button=button):
                saver = self.start(["/s"])
                saver.wait_window()
                xdo("click", button)
                self.assert_closes(saver)

    def test_releases_double_clicks_and_the_wheel_alone_do_not_close(self):
        saver = self.start(["/s"])
        hwnd = saver.wait_window()
        for message in (WM_KEYUP, WM_LBUTTONUP, WM_RBUTTONUP, WM_LBUTTONDBLCLK, WM_MOUSEWHEEL):
            post(hwnd, message)
        xdo("click", 4)  # a real wheel turn
        xdo("click", 5)
        self.assertTrue(saver.stays())
        xdo("key", "a")
        self.assert_closes(saver)


class MouseMoves(SaverTestCase):
    def test_a_move_of_four_pixels_stays_and_five_closes(self):
        saver = self.start(["/s"])
        saver.wait_window()
        xdo("mousemove", 402, 302)
        self.assertTrue(saver.stays())
        xdo("mousemove", 403, 302)
        self.assert_closes(saver)

    def test_small_moves_add_up_from_the_reference_point(self):
        saver = self.start(["/s"])
        saver.wait_window()
        for x in (401, 402, 403, 404):
            xdo("mousemove", x, 300)
        self.assertTrue(saver.stays())
        xdo("mousemove", 405, 300)
        self.assert_closes(saver)


class SystemEvents(SaverTestCase):
    def test_switching_to_another_program_closes(self):
        saver = self.start(["/s"])
        saver.wait_window()
        probe("activate", 500)
        self.assert_closes(saver)

    def test_a_power_broadcast_closes(self):
        saver = self.start(["/s"])
        hwnd = saver.wait_window()
        post(hwnd, WM_POWERBROADCAST, 7)
        self.assert_closes(saver)


if __name__ == "__main__":
    unittest.main()
