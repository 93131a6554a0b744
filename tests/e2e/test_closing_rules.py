"""The saver's windows, what starts them (command_lines.tsv) and what ends them (inputs.tsv)."""

import os
import unittest

from harness import (DIALOG_CLASS, FAST, SAVER_CLASS, SETTINGS_TITLE, Host, SaverTestCase, Screen, info, key,
                     point_at, post, probe, probe_value, ready, rect, text, wait_front, wait_window, winpath, xdo)

WS_POPUP, WS_EX_TOPMOST = 0x80000000, 0x8
WM_CONTEXTMENU = 0x007B


INPUTS, LINES = ([row.rstrip("\n").split("\t") for row in open(os.path.join(os.path.dirname(__file__), name))
                  if not row.startswith("#")] for name in ("inputs.tsv", "command_lines.tsv"))
MISSING = 99999  # no window


def apply(action, hwnd, x, y):
    """Gives the input to the window once it can take it; moves are counted from (x, y)."""
    verb, *args = action.split()
    if verb != "post":
        ready(hwnd, "click" if verb in ("click", "moves") else "keys")
    if verb in ("key", "click"):  # one xdotool command a key or button
        xdo(*(word for arg in args for word in (verb, arg)))
    elif verb == "post":
        post(hwnd, int(args[0], 16), int(args[1], 0) if args[1:] else 0)
    elif verb == "moves":
        for step in args:
            dx, dy = map(int, step.split(","))
            xdo("mousemove", x + dx, y + dy)
    else:  # another program's window comes to the front
        other = Host()
        probe("front", other.hwnd)
        other.close()


class Windows(SaverTestCase):
    def test_the_full_screen_window_and_the_inputs_that_leave_it_open(self):
        program = self.install(FAST)
        saver = self.start(["/s"], program=program)
        hwnd = saver.wait_window()
        facts = info(hwnd)
        self.assertEqual((facts["class"], facts["rect"], facts["foreground"]), (SAVER_CLASS, "0 0 800 600", "1"))
        self.assertEqual((int(facts["style"], 16) & WS_POPUP, int(facts["exstyle"], 16) & WS_EX_TOPMOST),
                         (WS_POPUP, WS_EX_TOPMOST))
        self.assertEqual(probe_value("cursor"), "0", "the saver shows a cursor")
        screen = Screen()
        for x, y in ((0, 0), (799, 0), (400, 300), (0, 599), (799, 599)):
            self.assertEqual(screen.pixel(x, y), (0, 0, 0), f"pixel {x},{y}")
        self.assertEqual(probe_value("settext", hwnd, "Changed"), "0")
        self.assertEqual(text(hwnd), "Screen Saver")
        # A second saver brings the first to the front and ends.
        self.assertEqual(self.start(["/s"], program=program).wait(), 0)
        self.assertEqual(wait_window(SAVER_CLASS, "Screen Saver", 0), hwnd)
        self.assertEqual(info(hwnd)["foreground"], "1")

        for name, action, full_screen, preview in INPUTS:
            if full_screen == "stays":
                apply(action, hwnd, 400, 300)
                self.assertTrue(saver.alive(), f"ended by {name} or an input before it")
        self.assertTrue(saver.stays())
        self.assert_closes(saver)

    def test_each_command_line_each_input_that_ends_the_full_screen_saver_and_the_preview_it_leaves(self):
        ends = [action for name, action, full_screen, preview in INPUTS if full_screen == "ends"]
        stays = [action for name, action, full_screen, preview in INPUTS if preview == "stays"]
        self.assertEqual(info(MISSING)["exists"], "0")
        os.mkdir(os.path.join(self.scratch, "with blanks"))
        names = {"saver": winpath(self.install(FAST)), "missing": MISSING,
                 "quoted": '"' + winpath(self.install(os.path.join("with blanks", FAST))) + '"'}
        owner, other = self.host(), self.host()
        for line, result in LINES:
            with self.subTest(line):
                kind, *expected = result.split()
                host = self.host() if kind == "preview" else owner
                command = line.encode("latin-1").decode("unicode_escape").format(host=host.hwnd, **names)
                if kind == "dialog":
                    ready(other.hwnd, "front", front=True)
                xdo("mousemove", 400, 300)
                saver = self.start([], command_line=command)
                if kind == "exit":
                    self.assertEqual(saver.wait(), int(expected[0]) & 0xFF)
                elif kind == "saver":
                    action = ends.pop() if ends else "key a"
                    apply(action, saver.wait_window(), 400, 300)
                    self.assertEqual(saver.wait(), 0, action)
                elif kind == "preview":  # a child (info names no parent else) filling its host, which alone ends it
                    hwnd = saver.wait_window("Preview", parent=host.hwnd)
                    facts = info(hwnd)
                    self.assertEqual((facts["parent"], facts["client"], facts["rect"]),
                                     (str(host.hwnd), "152 112", info(host.hwnd)["rect"]))
                    left, top, right, bottom = rect(hwnd)
                    xdo("mousemove", (left + right) // 2, (top + bottom) // 2)
                    for action in stays:
                        apply(action, hwnd, (left + right) // 2, (top + bottom) // 2)
                    stays = []  # the first preview is enough
                    # Help requests are settled and go on to the host with its handle.
                    self.assertEqual(probe_value("help", hwnd), "1")
                    post(hwnd, WM_CONTEXTMENU, hwnd, 5678)
                    self.assertTrue(saver.stays())
                    host.close()
                    self.assertIn(f"WM_CONTEXTMENU wparam={host.hwnd} lparam=5678", host.process.stdout.read())
                    self.assertEqual(saver.wait(), 0)
                else:
                    dialog = wait_front(DIALOG_CLASS, SETTINGS_TITLE)
                    owners = {"none": "0", "host": str(owner.hwnd), "front": str(other.hwnd)}
                    self.assertEqual(info(dialog)["owner"], owners[expected[0]])
                    point_at(dialog)
                    key(dialog, "Return" if expected[1] == "1" else "Escape")
                    self.assertEqual(saver.wait(), int(expected[1]))
        self.assertEqual(ends, [], "more inputs end the saver than command lines start it")


if __name__ == "__main__":
    unittest.main()
