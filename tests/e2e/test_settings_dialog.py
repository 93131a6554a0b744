"""The settings dialog of the real saver, driven as a user drives it: it
shows what Vistel.ini holds (or the defaults), the spin steps the display
time, OK writes the four keys and ends with 1, every way of cancelling
writes nothing and ends with 2. Settings that reach no file keep it open
and say why."""

import os
import pwd
import unittest

from harness import (BM_GETCHECK, DIALOG_CLASS, IDCANCEL, IDOK, SETTINGS_TITLE, UDM_GETPOS, WINDOWS_DIR, Screen,
                     SaverTestCase, click, click_at, item, point_at, probe, rect, remove_settings, send, settings_file, text,
                     wait_front, wait_until, wait_window, window_info, winpath, write_settings, xdo)

IDC_BACKGROUND, IDC_IMAGEPATH, IDC_BROWSE = 1000, 1003, 1004
IDC_SPEEDTEXT, IDC_SPEEDSPIN, IDC_RANDOM = 1013, 1014, 1015
MESSAGE_TEXT = 0xFFFF  # the text of a message box
MAX_PATH = 260

# The user's own copy of the settings file, in %APPDATA%.
USER_NAME = pwd.getpwuid(os.getuid()).pw_name
USER_DIR = os.path.join(os.path.dirname(WINDOWS_DIR), "users", USER_NAME, "AppData", "Roaming", "Vistel")

COLOR_TITLE = "Color"
COLOR_BASIC_BOX = 720       # the colour dialog's 8 x 6 grid of basic colours
COLOR_SPECTRUM = 710        # the part of the colour dialog shown only in its full form
BROWSE_TITLE = "Browse for Folder"
BROWSE_ROW = 16             # the folder tree's row height on this screen
MY_COMPUTER_ROW = 3         # Desktop, /, Documents, My Computer, Trash

OK_CODE, CANCEL_CODE = 1, 2


class SettingsDialogTestCase(SaverTestCase):
    def setUp(self):
        super().setUp()
        remove_settings()

    def tearDown(self):
        super().tearDown()
        remove_settings()

    def open_dialog(self, env=None):
        self.saver = self.start(["/c"], env=env)
        self.dialog = wait_front(DIALOG_CLASS, SETTINGS_TITLE)
        self.assertTrue(self.dialog, "the settings dialog did not open")
        # Keys go to the window under the pointer.
        point_at(self.dialog)
        return self.dialog

    def control(self, control_id):
        return item(self.dialog, control_id)

    def shown(self):
        """What the dialog shows: speed text, spin position, check box, folder."""
        return (text(self.control(IDC_SPEEDTEXT)), send(self.control(IDC_SPEEDSPIN), UDM_GETPOS) & 0xFFFF,
                send(self.control(IDC_RANDOM), BM_GETCHECK), text(self.control(IDC_IMAGEPATH)))

    def spin(self, arrow):
        """Clicks the spin's upper or lower arrow; returns the text it leads to."""
        spin = self.control(IDC_SPEEDSPIN)
        left, top, right, bottom = rect(spin)
        before = send(spin, UDM_GETPOS) & 0xFFFF
        click(spin, dy=4 if arrow == "up" else bottom - top - 5)
        # Wait until the click is handled (the position moves unless it is at an end).
        wait_until(lambda: send(spin, UDM_GETPOS) & 0xFFFF != before, timeout=1.5)
        return text(self.control(IDC_SPEEDTEXT))

    def type_folder(self, folder):
        edit = self.control(IDC_IMAGEPATH)
        click(edit)
        xdo("key", "End", "shift+Home")
        xdo("type", "--delay", 30, folder)
        self.assertTrue(wait_until(lambda: text(edit) == folder), f"typing gave {text(edit)!r}")

    def pick_color(self, row, column):
        """Chooses a basic colour in the colour dialog; returns it as (r, g, b)."""
        click(self.control(IDC_BACKGROUND))
        chooser = wait_front(DIALOG_CLASS, COLOR_TITLE)
        self.assertTrue(chooser, "the colour dialog did not open")
        box = item(chooser, COLOR_BASIC_BOX)
        left, top, right, bottom = rect(box)
        x = left + (2 * column + 1) * (right - left) // 16
        y = top + (2 * row + 1) * (bottom - top) // 12
        colour = Screen().pixel(x, y)
        click_at(x, y)
        self.close_chooser(chooser)
        return colour

    def close_chooser(self, chooser):
        click(item(chooser, IDOK))
        self.assertTrue(wait_until(lambda: window_info(chooser)["exists"] == "0"))
        self.assertTrue(wait_until(lambda: window_info(self.dialog)["enabled"] == "1"))

    def escape(self):
        point_at(self.dialog)
        xdo("key", "Escape")

    def assert_ends(self, code):
        self.assertEqual(self.saver.wait(), code)


class ShowingTheSettings(SettingsDialogTestCase):
    def test_without_a_settings_file_the_defaults_are_shown(self):
        self.open_dialog()
        self.assertEqual(self.shown(), ("40 Seconds", 8, 0, "C:\\"))
        self.escape()
        self.assert_ends(CANCEL_CODE)
        self.assertIsNone(settings_file())

    def test_stored_settings_are_shown_with_the_folder_ending_in_a_backslash(self):
        folder = os.path.join(self.scratch, "Photos")
        for speed, random, shown_speed in ((2, 1, "10 Seconds"), (0, 0, "1 Second"), (210, 1, "1050 Seconds")):
            with self.subTest(speed=speed):
                write_settings(folder, speed=speed, random=random, color=(0, 0, 255))
                self.open_dialog()
                self.assertEqual(self.shown(), (shown_speed, speed, random, winpath(folder) + "\\"))
                self.escape()
                self.assert_ends(CANCEL_CODE)

    def test_a_folder_as_long_as_the_browser_gives_is_shown_whole_and_the_field_takes_no_more(self):
        folder = os.path.join(self.scratch, "p" * (MAX_PATH - 2 - len(winpath(self.scratch))))
        shown = winpath(folder) + "\\"
        self.assertEqual(len(shown), MAX_PATH)
        write_settings(folder)
        self.open_dialog()
        edit = self.control(IDC_IMAGEPATH)
        self.assertEqual(text(edit), shown)
        # A "y" at the end, then the first character deleted: once that is
        # gone the "y" was handled too.
        click(edit)
        xdo("key", "End", "y", "Home", "Delete")
        self.assertTrue(wait_until(lambda: not text(edit).startswith("Z:")))
        self.assertEqual(text(edit), shown[1:])
        self.escape()
        self.assert_ends(CANCEL_CODE)


class TheSpin(SettingsDialogTestCase):
    def test_the_arrows_step_five_seconds_and_stop_at_one_second(self):
        write_settings(speed=1)
        self.open_dialog()
        self.assertEqual(self.spin("down"), "1 Second")
        self.assertEqual(self.spin("down"), "1 Second")
        self.assertEqual(self.shown()[1], 0)
        self.assertEqual(self.spin("up"), "5 Seconds")
        self.assertEqual(self.spin("up"), "10 Seconds")
        self.escape()
        self.assert_ends(CANCEL_CODE)

    def test_the_arrows_stop_at_1050_seconds_and_ok_stores_the_position(self):
        write_settings(speed=209)
        self.open_dialog()
        self.assertEqual(self.spin("up"), "1050 Seconds")
        self.assertEqual(self.spin("up"), "1050 Seconds")
        self.assertEqual(self.shown()[1], 210)
        click(self.control(IDOK))
        self.assert_ends(OK_CODE)
        self.assertIn(b"Speed=210\r\n", settings_file())


class Saving(SettingsDialogTestCase):
    def test_ok_writes_the_four_keys_in_order_with_what_the_controls_hold(self):
        self.open_dialog()
        self.type_folder("D:\\My Photos")
        click(self.control(IDC_RANDOM))
        self.assertEqual(self.spin("down"), "35 Seconds")
        red, green, blue = self.pick_color(1, 0)
        click(self.control(IDOK))
        self.assert_ends(OK_CODE)
        self.assertEqual(settings_file().decode().splitlines(),
                         ["[Vistel]", "Speed=7", "ImagePath=D:\\My Photos", "RandomImage=1",
                          f"BackColor={red | green << 8 | blue << 16}"])

    def test_ok_without_changes_writes_back_what_was_read(self):
        write_settings(os.path.join(self.scratch, "Photos"), speed=3, random=0, color=(1, 2, 3))
        self.open_dialog()
        xdo("key", "Return")
        self.assert_ends(OK_CODE)
        self.assertEqual(settings_file().decode().splitlines(),
                         ["[Vistel]", "Speed=3", f"ImagePath={winpath(os.path.join(self.scratch, 'Photos'))}\\",
                          "RandomImage=0", f"BackColor={1 | 2 << 8 | 3 << 16}"])

    def test_the_colour_dialog_is_modal_short_and_starts_from_the_stored_colour(self):
        write_settings(speed=8, color=(0, 64, 128))
        self.open_dialog()
        click(self.control(IDC_BACKGROUND))
        chooser = wait_front(DIALOG_CLASS, COLOR_TITLE)
        self.assertTrue(chooser, "the colour dialog did not open")
        self.assertEqual(window_info(chooser)["owner"], str(self.dialog))
        self.assertEqual(window_info(self.dialog)["enabled"], "0")
        # The short form: the custom colour part lies beyond its right edge.
        spectrum_left, _, spectrum_right, _ = rect(item(chooser, COLOR_SPECTRUM))
        self.assertLess(rect(chooser)[2], (spectrum_left + spectrum_right) // 2)
        self.close_chooser(chooser)
        click(self.control(IDOK))
        self.assert_ends(OK_CODE)
        self.assertIn(f"BackColor={64 << 8 | 128 << 16}\r\n".encode(), settings_file())

    def test_cancel_escape_and_the_close_box_write_nothing_after_a_colour_was_picked(self):
        write_settings(os.path.join(self.scratch, "Photos"), speed=4, random=0, color=(0, 64, 128))
        before = settings_file()

        def cancel_button():
            click(self.control(IDCANCEL))

        def escape():
            self.escape()

        def close_box():
            left, top, right, bottom = rect(self.dialog)
            click_at(right - 9, top + 8)

        for way in (cancel_button, escape, close_box):
            with self.subTest(way=way.__name__):
                self.open_dialog()
                self.type_folder("D:\\Elsewhere")
                click(self.control(IDC_RANDOM))
                self.pick_color(1, 0)
                way()
                self.assert_ends(CANCEL_CODE)
                self.assertEqual(settings_file(), before)

    def test_settings_that_reach_no_file_keep_the_dialog_open_and_say_why(self):
        # Folders stand where the Windows directory's file and the user's copy would be.
        blocked = [os.path.join(WINDOWS_DIR, "Vistel.ini"), os.path.join(USER_DIR, "Vistel.ini")]
        made_user_dir = not os.path.isdir(USER_DIR)
        try:
            for folder in blocked:
                os.makedirs(folder)
            self.open_dialog()
            click(self.control(IDOK))
            box = wait_front(DIALOG_CLASS, "Vistel")
            self.assertTrue(box, "no message box")
            self.assertEqual(text(item(box, MESSAGE_TEXT)),
                             "The settings could not be saved in\n\n"
                             f"C:\\users\\{USER_NAME}\\AppData\\Roaming\\Vistel\\Vistel.ini\n\nAccess denied.")
            click(item(box, IDOK))
            self.assertTrue(wait_until(lambda: window_info(box)["exists"] == "0"))
            self.assertTrue(self.saver.stays())
            self.escape()
            self.assert_ends(CANCEL_CODE)
        finally:
            for folder in blocked + ([USER_DIR] if made_user_dir else []):
                if os.path.isdir(folder):
                    os.rmdir(folder)


class Browsing(SettingsDialogTestCase):
    def open_browser(self):
        click(self.control(IDC_BROWSE))
        browser = wait_front(DIALOG_CLASS, BROWSE_TITLE)
        self.assertTrue(browser, "the folder browser did not open")
        return browser

    def tree(self, browser):
        return int(next(line.split()[0] for line in probe("children", browser) if "SysTreeView32" in line))

    def test_the_browser_replaces_a_typed_folder_by_the_stored_one_even_when_cancelled(self):
        stored = winpath(os.path.join(self.scratch, "Photos")) + "\\"
        write_settings(os.path.join(self.scratch, "Photos"))
        self.open_dialog()
        self.type_folder("D:\\typed")
        browser = self.open_browser()
        edit = self.control(IDC_IMAGEPATH)
        self.assertEqual(text(edit), stored)
        self.assertEqual(window_info(browser)["owner"], str(self.dialog))
        self.assertEqual(window_info(self.dialog)["enabled"], "0")
        self.assertIn("Select a Directory", [line.split(" ", 2)[-1] for line in probe("children", browser)])
        click(item(browser, IDCANCEL))
        self.assertTrue(wait_until(lambda: window_info(self.dialog)["enabled"] == "1"))
        self.assertEqual(text(edit), stored)

        # A folder without a path of its own (My Computer) keeps the stored one too.
        self.type_folder("D:\\typed")
        browser = self.open_browser()
        click(self.tree(browser), dx=80, dy=BROWSE_ROW // 2 + 1 + MY_COMPUTER_ROW * BROWSE_ROW)
        click(item(browser, IDOK))
        self.assertTrue(wait_until(lambda: window_info(self.dialog)["enabled"] == "1"))
        self.assertEqual(text(edit), stored)
        self.escape()
        self.assert_ends(CANCEL_CODE)

    def test_a_browsed_folder_is_shown_and_saved_without_a_final_backslash(self):
        self.open_dialog()
        browser = self.open_browser()
        click(item(browser, IDOK))  # the Desktop, where the browser starts
        edit = self.control(IDC_IMAGEPATH)
        folder = wait_until(lambda: text(edit) if text(edit) != "C:\\" else None)
        self.assertTrue(folder and folder.startswith("C:\\") and folder.endswith("\\Desktop"), folder)
        self.assertTrue(os.path.isdir(os.path.join(os.path.dirname(WINDOWS_DIR), *folder[3:].split("\\"))))
        click(self.control(IDOK))
        self.assert_ends(OK_CODE)
        self.assertIn(f"ImagePath={folder}\r\n".encode(), settings_file())


if __name__ == "__main__":
    unittest.main()
