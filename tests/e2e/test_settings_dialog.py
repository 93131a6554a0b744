"""The settings dialog of the real saver, driven as a user drives it: it
shows Vistel.ini (or the defaults), OK writes the four keys and ends with
1, cancelling writes nothing and ends with 2."""

import os
import pwd
import unittest

from harness import (DIALOG_CLASS, IDCANCEL, IDOK, SETTINGS_TITLE, WINDOWS_DIR, SaverTestCase, Screen, click, info,
                     item, probe, rect, remove_settings, send, settings_file, text, wait_front, wait_until, winpath,
                     write_settings, xdo)

IDC_BACKGROUND, IDC_IMAGEPATH, IDC_BROWSE = 1000, 1003, 1004
IDC_SPEEDTEXT, IDC_SPEEDSPIN, IDC_RANDOM = 1013, 1014, 1015
BM_GETCHECK, UDM_GETPOS = 0x00F0, 0x0468
MESSAGE_TEXT = 0xFFFF  # the text of a message box
COLOR_BASIC_BOX, COLOR_SPECTRUM = 720, 710  # the basic colours; the part only the full form shows
BROWSE_TREE, BROWSE_TITLE = 0x3741, 0x3742
BROWSE_ROW, MY_COMPUTER_ROW = 16, 3  # Desktop, /, Documents, My Computer, Trash
USER_NAME = pwd.getpwuid(os.getuid()).pw_name
USER_DIR = os.path.join(os.path.dirname(WINDOWS_DIR), "users", USER_NAME, "AppData", "Roaming", "Vistel")


class SettingsDialog(SaverTestCase):
    def setUp(self):
        super().setUp()
        remove_settings()
        self.addCleanup(remove_settings)
        self.photos = os.path.join(self.scratch, "Photos")
        self.controls = {}

    def control(self, control_id):
        key = (self.dialog, control_id)
        if key not in self.controls:
            self.controls[key] = item(*key)
        return self.controls[key]

    def shown(self):
        """The speed text, spin position, check box and folder shown."""
        return (text(self.control(IDC_SPEEDTEXT)), send(self.control(IDC_SPEEDSPIN), UDM_GETPOS) & 0xFFFF,
                send(self.control(IDC_RANDOM), BM_GETCHECK), text(self.control(IDC_IMAGEPATH)))

    def spin(self, arrow):
        """Clicks an arrow of the spin; returns the text it leads to."""
        spin = self.control(IDC_SPEEDSPIN)
        before = send(spin, UDM_GETPOS) & 0xFFFF
        left, top, right, bottom = rect(spin)
        xdo("mousemove", (left + right) // 2, top + 4 if arrow == "up" else bottom - 5)
        xdo("click", 1)
        wait_until(lambda: send(spin, UDM_GETPOS) & 0xFFFF != before, timeout=1.5)  # unless at an end
        return text(self.control(IDC_SPEEDTEXT))

    def type_folder(self, folder):
        edit = self.control(IDC_IMAGEPATH)
        click(edit)
        xdo("key", "End", "shift+Home")
        xdo("type", "--delay", 30, folder)
        self.assertTrue(wait_until(lambda: text(edit) == folder), f"typing gave {text(edit)!r}")

    def open_child(self, button, title):
        click(self.control(button))
        child = wait_front(DIALOG_CLASS, title)
        self.assertTrue(child, f"{title} did not open")
        self.assertEqual((info(child)["owner"], info(self.dialog)["enabled"]), (str(self.dialog), "0"))
        return child

    def close_child(self, child, button=IDOK):
        click(item(child, button))
        self.assertTrue(wait_until(lambda: info(self.dialog)["enabled"] == "1"))
        # Without a window manager nothing brings the owner back to the front
        # (a click there would only activate it): as a window manager would.
        probe("front", self.dialog)
        self.assertTrue(wait_front(DIALOG_CLASS, SETTINGS_TITLE))

    def pick_color(self):
        """Picks a basic colour in the colour dialog; returns it as (r, g, b)."""
        chooser = self.open_child(IDC_BACKGROUND, "Color")
        left, top, right, bottom = rect(item(chooser, COLOR_BASIC_BOX))
        x, y = left + (right - left) // 16, top + 3 * (bottom - top) // 12
        colour = Screen().pixel(x, y)
        xdo("mousemove", x, y)
        xdo("click", 1)
        self.close_child(chooser)
        return colour

    def ok(self):
        click(self.control(IDOK))
        self.assertEqual(self.saver.wait(), 1)
        return settings_file().decode().splitlines()

    def test_stored_settings_are_shown_and_the_arrows_stop_at_the_ends(self):
        folder = winpath(self.photos) + "\\"
        for settings, shown, arrows in (
                (None, ("40 Seconds", 8, 0, "C:\\"), [("down", "35 Seconds")]),
                ({"speed": 0, "random": 0}, ("1 Second", 0, 0, folder), [("down", "1 Second"), ("up", "5 Seconds")]),
                ({"speed": 209, "random": 1}, ("1045 Seconds", 209, 1, folder),
                 [("up", "1050 Seconds"), ("up", "1050 Seconds")])):
            with self.subTest(settings=settings):
                if settings:
                    write_settings(self.photos, color=(0, 0, 255), **settings)
                before = settings_file()
                self.open_dialog()
                self.assertEqual(self.shown(), shown)
                self.assertEqual([(arrow, self.spin(arrow)) for arrow, _ in arrows], arrows)
                self.escape()
                self.assertEqual(settings_file(), before)

    def test_ok_writes_back_what_was_read_with_the_changes_made(self):
        write_settings(self.photos, speed=209, random=0, color=(0, 64, 128))
        self.open_dialog()
        chooser = self.open_child(IDC_BACKGROUND, "Color")
        # The short form: the custom colour part lies beyond its right edge.
        spectrum_left, _, spectrum_right, _ = rect(item(chooser, COLOR_SPECTRUM))
        self.assertLess(rect(chooser)[2], (spectrum_left + spectrum_right) // 2)
        self.close_child(chooser)  # starts from, and keeps, the stored colour
        self.spin("up")
        click(self.control(IDC_RANDOM))
        self.assertEqual(self.ok(), ["[Vistel]", "Speed=210", f"ImagePath={winpath(self.photos)}\\", "RandomImage=1",
                                     f"BackColor={64 << 8 | 128 << 16}"])

    def test_ok_writes_a_typed_folder_and_a_picked_colour(self):
        self.open_dialog()
        self.type_folder("D:\\My Photos")
        red, green, blue = self.pick_color()
        self.assertEqual(self.ok(), ["[Vistel]", "Speed=8", "ImagePath=D:\\My Photos", "RandomImage=0",
                                     f"BackColor={red | green << 8 | blue << 16}"])

    def test_the_cancel_button_and_the_close_box_write_nothing_after_changes(self):
        write_settings(self.photos, speed=4, random=0, color=(0, 64, 128))
        before = settings_file()
        for way in ("cancel", "close box"):
            with self.subTest(way):
                self.open_dialog()
                self.type_folder("D:\\Elsewhere")
                click(self.control(IDC_RANDOM))
                self.pick_color()
                if way == "cancel":
                    click(self.control(IDCANCEL))
                else:
                    click(self.dialog, rect(self.dialog)[2] - rect(self.dialog)[0] - 9, 8)
                self.assertEqual(self.saver.wait(), 2)
                self.assertEqual(settings_file(), before)

    def test_a_folder_as_long_as_the_browser_gives_is_shown_whole_and_the_field_takes_no_more(self):
        folder = os.path.join(self.scratch, "p" * (260 - 2 - len(winpath(self.scratch))))
        write_settings(folder)
        self.open_dialog()
        edit = self.control(IDC_IMAGEPATH)
        self.assertEqual(text(edit), winpath(folder) + "\\")
        # A "y" typed at the end, then the first character deleted: once it is gone the "y" was handled.
        click(edit)
        xdo("key", "End", "y", "Home", "Delete")
        self.assertTrue(wait_until(lambda: not text(edit).startswith("Z:")))
        self.assertEqual(text(edit), winpath(folder)[1:] + "\\")
        self.escape()

    def test_settings_that_reach_no_file_keep_the_dialog_open_and_say_why(self):
        # Folders stand where the Windows directory's file and the user's copy would be.
        blocked = [os.path.join(WINDOWS_DIR, "Vistel.ini"), os.path.join(USER_DIR, "Vistel.ini")]
        made = [folder for folder in (USER_DIR, *blocked) if not os.path.isdir(folder)]
        for folder in blocked:
            os.makedirs(folder)
        self.addCleanup(lambda: [os.rmdir(folder) for folder in reversed(made)])
        self.open_dialog(fast=False)
        click(self.control(IDOK))
        box = wait_front(DIALOG_CLASS, "Vistel")
        self.assertTrue(box, "no message box")
        self.assertEqual(text(item(box, MESSAGE_TEXT)), "The settings could not be saved in\n\n"
                         f"C:\\users\\{USER_NAME}\\AppData\\Roaming\\Vistel\\Vistel.ini\n\nAccess denied.")
        click(item(box, IDOK))
        self.assertTrue(wait_until(lambda: info(box)["exists"] == "0"))
        self.assertTrue(self.saver.stays())
        self.escape()

    def test_the_browser_puts_back_the_stored_folder_unless_one_is_chosen(self):
        stored = winpath(self.photos) + "\\"
        write_settings(self.photos)
        self.open_dialog()
        edit = self.control(IDC_IMAGEPATH)
        # Even when cancelled, or when the choice has no path (My Computer).
        for row, button in ((None, IDCANCEL), (MY_COMPUTER_ROW, IDOK)):
            self.type_folder("D:\\typed")
            browser = self.open_child(IDC_BROWSE, "Browse for Folder")
            self.assertEqual((text(edit), text(item(browser, BROWSE_TITLE))), (stored, "Select a Directory"))
            if row:
                click(item(browser, BROWSE_TREE), 80, BROWSE_ROW // 2 + 1 + row * BROWSE_ROW)
            self.close_child(browser, button)
            self.assertEqual(text(edit), stored)
        # A chosen folder (the Desktop, where the browser starts) is shown and saved without a final backslash.
        self.close_child(self.open_child(IDC_BROWSE, "Browse for Folder"))
        folder = wait_until(lambda: text(edit) if text(edit) != stored else None)
        self.assertTrue(folder and folder.startswith("C:\\") and folder.endswith("\\Desktop"), folder)
        self.assertIn(f"ImagePath={folder}", self.ok())


if __name__ == "__main__":
    unittest.main()
