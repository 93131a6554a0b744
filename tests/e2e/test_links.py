"""The three links of the settings dialog in the real saver: drawn as links,
fitted to their texts, with a hand cursor and a tooltip; a click or the
space bar opens the target with the program registered in the prefix, or
with the program registered for web pages when the shell cannot; a target
that nothing opens rings the bell and is explained in a message box."""

import os
import unittest

from harness import (DIALOG_CLASS, IDOK, RECORDER, BellWatcher, RegisteredClasses, Screen, click, item, point_at,
                     probe, rect, text, wait_front, wait_until, wait_window, window_info, winpath, xdo)
from test_settings_dialog import CANCEL_CODE, SettingsDialogTestCase

PRODUCT, HOME, MAIL = 1006, 1007, 1008
TARGETS = {PRODUCT: "https://vistel.example/", HOME: "https://corvane.example/",
           MAIL: "mailto:vistel@corvane.example"}
BLUE, TEAL, PURPLE = (0, 0, 255), (0, 128, 128), (128, 0, 128)
MISSING_PROGRAM = '"C:\\nowhere\\browser.exe" "%1"'
MESSAGE_TEXT = 0xFFFF  # the text of a message box


class LinkTestCase(SettingsDialogTestCase):
    def setUp(self):
        super().setUp()
        self.classes = RegisteredClasses()
        self.record = os.path.join(self.scratch, "opened.txt")
        self.recorder = f'"{winpath(RECORDER)}"'

    def tearDown(self):
        self.classes.close()
        super().tearDown()

    def open_dialog(self):
        return super().open_dialog(env={"VISTEL_RECORD": winpath(self.record)})

    def opened(self, count):
        """The first count command lines the recorder received."""
        def lines():
            if not os.path.exists(self.record):
                return None
            with open(self.record) as record:
                found = record.read().splitlines()
            return found if len(found) >= count else None
        return wait_until(lines) or []

    def colours(self, control_id, screen=None):
        """The set of link colours among the pixels of a link."""
        screen = screen or Screen()
        left, top, right, bottom = rect(self.control(control_id))
        return {screen.pixel(x, y) for x in range(left, right) for y in range(top, bottom)} & {BLUE, TEAL, PURPLE}

    def wait_colour(self, control_id, colour):
        return wait_until(lambda: self.colours(control_id) == {colour}, timeout=5)


class Looks(LinkTestCase):
    def test_links_are_blue_underlined_and_end_where_their_text_ends(self):
        self.open_dialog()
        screen = Screen()
        lefts = set()
        for control_id in TARGETS:
            with self.subTest(link=control_id):
                left, top, right, bottom = rect(self.control(control_id))
                lefts.add(left)
                blue_columns = [x for x in range(left, right)
                                if any(screen.pixel(x, y) == BLUE for y in range(top, bottom))]
                self.assertTrue(blue_columns, "no blue text")
                # Fitted: the text reaches the control's right edge.
                self.assertGreaterEqual(max(blue_columns), right - 3)
                # Underlined: one row is blue across nearly the whole text.
                longest = max(sum(screen.pixel(x, y) == BLUE for x in range(left, right)) for y in range(top, bottom))
                self.assertGreater(longest, 0.9 * (right - left))
        self.assertEqual(len(lefts), 1, "the links lost their common left edge")
        widths = {control_id: rect(self.control(control_id))[2] - rect(self.control(control_id))[0]
                  for control_id in TARGETS}
        self.assertEqual(len(set(widths.values())), 3, widths)
        self.escape()
        self.assert_ends(CANCEL_CODE)

    def test_the_pointer_shows_a_hand_and_a_tooltip_names_the_target(self):
        self.open_dialog()
        left, top, right, bottom = rect(self.dialog)
        xdo("mousemove", left + 5, bottom - 5)
        arrow = wait_until(lambda: dict(line.split("=", 1) for line in probe("cursor"))["cursor"])
        cursors = set()
        for control_id in (PRODUCT, MAIL):
            with self.subTest(link=control_id):
                point_at(self.control(control_id))

                def tip():
                    for line in probe("windows"):
                        hwnd, cls, visible = line.split()
                        if cls == "tooltips_class32" and visible == "1":
                            return text(hwnd)
                    return None
                self.assertEqual(wait_until(lambda: tip() == TARGETS[control_id] and tip(), timeout=10),
                                 TARGETS[control_id])
                cursors.add(dict(line.split("=", 1) for line in probe("cursor"))["cursor"])
        self.assertEqual(len(cursors), 1, "the links show different cursors")
        self.assertNotIn(arrow, cursors)
        self.escape()
        self.assert_ends(CANCEL_CODE)


class Opening(LinkTestCase):
    def test_clicks_and_the_space_bar_open_the_targets_with_the_registered_programs(self):
        self.classes.set("https\\shell\\open\\command", self.recorder + ' "%1"')
        self.classes.set("mailto\\shell\\open\\command", self.recorder + ' "%1"')
        self.open_dialog()
        for count, control_id in enumerate((PRODUCT, HOME, MAIL), 1):
            click(self.control(control_id))
            self.assertEqual(self.opened(count)[-1], f'{self.recorder} "{TARGETS[control_id]}"')
        # The clicked link holds the focus (teal) while the pointer is over it
        # it holds the mouse too, until the pointer leaves.
        mail = self.control(MAIL)
        self.assertTrue(self.wait_colour(MAIL, TEAL))
        self.assertEqual(window_info(self.dialog)["capture"], str(mail))
        left, top, right, bottom = rect(self.dialog)
        xdo("mousemove", left + 5, bottom - 5)
        self.assertTrue(wait_until(lambda: window_info(self.dialog)["capture"] == "0"))
        xdo("key", "space")
        self.assertEqual(self.opened(4)[-1], f'{self.recorder} "{TARGETS[MAIL]}"')
        # Once the focus moves on, every opened link is purple.
        xdo("key", "Tab")
        for control_id in TARGETS:
            self.assertTrue(self.wait_colour(control_id, PURPLE), f"link {control_id}")
        self.escape()
        self.assert_ends(CANCEL_CODE)

    def test_the_program_for_web_pages_opens_what_the_shell_cannot(self):
        self.classes.set("https\\shell\\open\\command", MISSING_PROGRAM)
        self.classes.set(".htm", "VistelTestPage")
        self.classes.set("VistelTestPage\\shell\\open\\command", self.recorder + ' "%1"')
        self.open_dialog()
        click(self.control(HOME))
        # The placeholder and its quotes give way to the bare target.
        self.assertEqual(self.opened(1), [f"{self.recorder}  {TARGETS[HOME]}"])
        xdo("key", "Tab")
        self.assertTrue(self.wait_colour(HOME, PURPLE))
        self.escape()
        self.assert_ends(CANCEL_CODE)

    def test_a_target_nothing_can_open_rings_the_bell_and_says_why(self):
        self.classes.set("https\\shell\\open\\command", MISSING_PROGRAM)
        self.classes.set(".htm", "VistelTestPage")
        self.classes.set("VistelTestPage\\shell\\open\\command", MISSING_PROGRAM)
        bells = BellWatcher(self.scratch)
        try:
            self.open_dialog()
            click(self.control(PRODUCT))
            box = wait_front(DIALOG_CLASS, "Vistel")
            self.assertTrue(box, "no message box")
            self.assertTrue(wait_until(lambda: bells.count() >= 1, timeout=5), "no bell")
        finally:
            bells.close()
        self.assertEqual(text(item(box, MESSAGE_TEXT)), "Can't open link:\n\nThe specified file was not found.")
        info = window_info(box)
        self.assertEqual((info["owner"], info["capture"]), (str(self.dialog), "0"))
        click(item(box, IDOK))
        self.assertTrue(wait_until(lambda: window_info(box)["exists"] == "0"))
        self.assertFalse(os.path.exists(self.record))
        # Not visited: back in the active colour, never purple.
        self.assertTrue(self.wait_colour(PRODUCT, TEAL))
        self.escape()
        self.assert_ends(CANCEL_CODE)


if __name__ == "__main__":
    unittest.main()
