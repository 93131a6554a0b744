"""The preview: a child window filling the host's client area, which no
input ends and which passes help requests on to its host."""

import unittest

from harness import SaverTestCase, WM_CONTEXTMENU, point_at, post, probe_value, window_info, xdo

WS_CHILD = 0x40000000


class Preview(SaverTestCase):
    def test_the_preview_fills_the_host_and_only_the_host_ends_it(self):
        host = self.host(152, 112)
        saver = self.start(["/p", str(host.hwnd)])
        hwnd = saver.wait_window("Preview", parent=host.hwnd)
        info = window_info(hwnd)
        self.assertTrue(int(info["style"], 16) & WS_CHILD)
        self.assertEqual(info["client"], "152 112")
        self.assertEqual(info["rect"], window_info(host.hwnd)["rect"])

        point_at(hwnd)
        xdo("mousemove_relative", 30, 20)
        xdo("click", 1)
        xdo("click", 3)
        xdo("key", "a")
        for message in (0x0100, 0x0104, 0x0201, 0x0204, 0x0207, 0x0200):  # presses and a move
            post(hwnd, message)
        self.assertTrue(saver.stays())

        host.close()
        self.assertEqual(saver.wait(), 0)

    def test_help_requests_go_to_the_host_with_its_handle(self):
        host = self.host()
        saver = self.start(["/p", str(host.hwnd)])
        hwnd = saver.wait_window("Preview", parent=host.hwnd)
        post(hwnd, WM_CONTEXTMENU, hwnd, 5678)
        # The preview settles a help request itself. (Passing it on cannot be
        # watched here: the system refuses to post a message that carries a
        # pointer, as WM_HELP does.)
        self.assertEqual(probe_value("help", hwnd), "1")
        self.assertTrue(saver.stays())
        logged = host.messages()
        self.assertIn(f"WM_CONTEXTMENU wparam={host.hwnd} lparam=5678", logged)
        self.assertEqual(saver.wait(), 0)


if __name__ == "__main__":
    unittest.main()
