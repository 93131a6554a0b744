"""The settings dialog of the real saver, driven as a user drives it, with its links and its messages."""

import os
import pwd
import unittest
from pathlib import Path

from harness import (DIALOG_CLASS, IDCANCEL, IDOK, RECORDER, SETTINGS_TITLE, WINDOWS_DIR, SaverTestCase, Screen, click,
                     info, item, key, point_at, probe, rect, remove_settings, send, settings_file, text,
                     wait_front, wait_until, wait_window, wine, winpath, write_settings, xdo)

IDC_BACKGROUND, IDC_IMAGEPATH, IDC_BROWSE = 1000, 1003, 1004
IDC_SPEEDTEXT, IDC_SPEEDSPIN, IDC_RANDOM = 1013, 1014, 1015
BM_GETCHECK, UDM_GETPOS = 0x00F0, 0x0468
MESSAGE_TEXT = 0xFFFF  # the text of a message box
COLOR_BASIC_BOX = 720  # the basic colours
BROWSE_TREE, BROWSE_TITLE = 0x3741, 0x3742
BROWSE_ROW, MY_COMPUTER_ROW = 16, 3  # Desktop, /, Documents, My Computer, Trash
USER_NAME = pwd.getpwuid(os.getuid()).pw_name
USER_DIR = os.path.join(os.path.dirname(WINDOWS_DIR), "users", USER_NAME, "AppData", "Roaming", "Vistel")
LINKS = {1006: "https://vistel.example/", 1007: "https://corvane.example/", 1008: "mailto:vistel@corvane.example"}


def register(command):  # the program for the targets, and for web pages (tried when that fails)
    for name in ("https", "mailto", "htmlfile"):
        wine("reg", "add", f"HKCR\\{name}\\shell\\open\\command", "/ve", "/d", command, "/f")


class SettingsDialog(SaverTestCase):
    def setUp(self):
        super().setUp()
        remove_settings()
        self.addCleanup(remove_settings)
        self.photos = os.path.join(self.scratch, "Photos")

    def control(self, control_id):
        return item(self.dialog, control_id)

    def shown(self):  # the speed text, spin position, check box and folder
        return (text(self.control(IDC_SPEEDTEXT)), send(self.control(IDC_SPEEDSPIN), UDM_GETPOS) & 0xFFFF,
                send(self.control(IDC_RANDOM), BM_GETCHECK), text(self.control(IDC_IMAGEPATH)))

    def spin(self, arrow):  # clicks an arrow; the text it leads to
        spin = self.control(IDC_SPEEDSPIN)
        before = send(spin, UDM_GETPOS) & 0xFFFF
        click(spin, None, 4 if arrow == "up" else -5)
        wait_until(lambda: send(spin, UDM_GETPOS) & 0xFFFF != before, timeout=1.5)  # unless at an end
        return text(self.control(IDC_SPEEDTEXT))

    def type_folder(self, folder):
        edit = self.control(IDC_IMAGEPATH)
        click(edit)
        key(edit, "End", "shift+Home")
        xdo("type", "--delay", 30, folder)
        self.assertTrue(wait_until(lambda: text(edit) == folder), f"typing gave {text(edit)!r}")

    def open_child(self, button, title):
        click(self.control(button))
        child = wait_front(DIALOG_CLASS, title)
        self.assertEqual((info(child)["owner"], info(self.dialog)["enabled"]), (str(self.dialog), "0"))
        return child

    def close_child(self, child, button=IDOK):
        click(item(child, button))
        self.assertTrue(wait_until(lambda: info(self.dialog)["enabled"] == "1"))
        # With no window manager nothing brings the owner back to the front (a click would only activate it).
        wait_front(DIALOG_CLASS, SETTINGS_TITLE, front=True)

    def pick_color(self):  # a basic colour, as (r, g, b)
        chooser = self.open_child(IDC_BACKGROUND, "Color")
        box = item(chooser, COLOR_BASIC_BOX)
        left, top, right, bottom = rect(box)
        dx, dy = (right - left) // 16, 3 * (bottom - top) // 12
        colour = Screen().pixel(left + dx, top + dy)
        click(box, dx, dy)
        self.close_child(chooser)
        return colour

    def underlined(self, control_id, colour):  # one row of the link has the colour across nearly all of it
        left, top, right, bottom = rect(self.control(control_id))
        screen = Screen()
        return max(sum(screen.pixel(x, y) == colour for x in range(left, right)) for y in range(top, bottom)) > \
            0.9 * (right - left)

    def message_box(self):  # its text, once closed with OK
        box = wait_front(DIALOG_CLASS, "Vistel")
        self.assertEqual(info(box)["owner"], str(self.dialog))
        said = text(item(box, MESSAGE_TEXT))
        click(item(box, IDOK))
        return said

    def test_settings_are_shown_the_arrows_stop_at_the_ends_the_field_is_bounded_and_ok_alone_writes(self):
        # A folder as long as the browser gives is shown whole.
        long_folder = os.path.join(self.scratch, "p" * (260 - 2 - len(winpath(self.scratch))))
        for settings, shown, arrows, button in (
                ({"speed": 0, "random": 0}, ("1 Second", 0, 0, winpath(long_folder) + "\\"),
                 [("down", "1 Second"), ("up", "5 Seconds")], IDCANCEL),
                (None, ("40 Seconds", 8, 0, "C:\\"), [("down", "35 Seconds")], IDOK)):
            with self.subTest(settings=settings):
                remove_settings()
                if settings:
                    write_settings(long_folder, color=(0, 0, 255), **settings)
                before = settings_file()
                self.open_dialog()
                self.assertEqual(self.shown(), shown)
                self.assertEqual([(arrow, self.spin(arrow)) for arrow, _ in arrows], arrows)
                if settings:  # the field takes no more: a "y" typed at the end is dropped
                    edit = self.control(IDC_IMAGEPATH)
                    click(edit)
                    key(edit, "End", "y", "Home", "Delete")  # once the first is gone the "y" was handled
                    self.assertTrue(wait_until(lambda: not text(edit).startswith("Z:")))
                    self.assertEqual(text(edit), winpath(long_folder)[1:] + "\\")
                self.type_folder("D:\\My Photos")
                click(self.control(IDC_RANDOM))
                red, green, blue = self.pick_color()
                click(self.control(button))
                self.assertEqual(self.saver.wait(), button)  # the dialog's result is the exit code
                self.assertEqual(settings_file() == before, button == IDCANCEL)
        self.assertEqual(settings_file().decode().splitlines(), ["[Vistel]", "Speed=7", "ImagePath=D:\\My Photos",
                         "RandomImage=1", f"BackColor={red | green << 8 | blue << 16}"])

    def test_ok_writes_back_what_was_read_with_the_changes_and_the_browser_puts_back_the_stored_folder(self):
        stored = winpath(self.photos) + "\\"
        write_settings(self.photos, speed=209, random=1, color=(0, 64, 128))
        self.open_dialog()
        self.assertEqual(probe("v6", self.control(IDOK)), ["1"], "not in the system's current look")
        self.assertEqual(self.shown(), ("1045 Seconds", 209, 1, stored))
        self.close_child(self.open_child(IDC_BACKGROUND, "Color"))  # starts from, and keeps, the stored colour
        self.assertEqual([self.spin("up"), self.spin("up")], ["1050 Seconds"] * 2)
        click(self.control(IDC_RANDOM))

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
        click(self.control(IDOK))
        self.assertEqual(self.saver.wait(), 1)
        self.assertEqual(settings_file().decode().splitlines(), ["[Vistel]", "Speed=210", f"ImagePath={folder}",
                         "RandomImage=0", f"BackColor={64 << 8 | 128 << 16}"])

    def test_links_and_settings_that_reach_no_file(self):
        recorder = f'"{winpath(RECORDER)}"'
        register(recorder + ' "%1"')
        record = os.path.join(self.scratch, "opened.txt")

        def opened(count):  # the command lines the recorder received, once there are count
            lines = lambda: Path(record).read_text().splitlines() if os.path.exists(record) else []
            wait_until(lambda: len(lines()) >= count)
            return lines()

        # Folders stand where the Windows directory's file and the user's copy would be.
        blocked = [os.path.join(WINDOWS_DIR, "Vistel.ini"), os.path.join(USER_DIR, "Vistel.ini")]
        made = [folder for folder in (USER_DIR, *blocked) if not os.path.isdir(folder)]
        for folder in blocked:
            os.makedirs(folder)
        self.addCleanup(lambda: [os.rmdir(folder) for folder in reversed(made)])
        self.open_dialog(env={"VISTEL_RECORD": winpath(record)}, fast=False)

        self.assertTrue(self.underlined(1006, (0, 0, 255)))
        point_at(self.control(1008))

        tip = wait_window("tooltips_class32", "-", 10)
        self.assertTrue(tip and wait_until(lambda: text(tip) == LINKS[1008], 5), f"no tooltip names {LINKS[1008]}")
        for count, control_id in enumerate(LINKS, 1):
            click(self.control(control_id))
            self.assertEqual(opened(count)[-1], f'{recorder} "{LINKS[control_id]}"')
        point_at(self.dialog, 5, -5)
        key(self.control(1008), "space")  # the last clicked link has the focus
        self.assertEqual(opened(4)[3:], [f'{recorder} "{LINKS[1008]}"'])
        # Opened links turn purple; the one with the focus is teal.
        purple, teal = (128, 0, 128), (0, 128, 128)
        self.assertTrue(wait_until(lambda: self.underlined(1006, purple) and self.underlined(1008, teal)))

        # A target nothing opens is explained.
        register('"C:\\nowhere\\browser.exe" "%1"')
        click(self.control(1006))
        self.assertTrue(self.message_box().startswith("Can't open link:"))
        self.assertEqual(len(opened(4)), 4)

        # Settings that reach no file keep the dialog open and say why.
        click(self.control(IDOK))
        self.assertEqual(self.message_box(), "The settings could not be saved in\n\n"
                         f"C:\\users\\{USER_NAME}\\AppData\\Roaming\\Vistel\\Vistel.ini\n\nAccess denied.")
        self.assertTrue(self.saver.stays())
        point_at(self.dialog)
        key(self.dialog, "Escape")
        self.assertEqual(self.saver.wait(), 2)


if __name__ == "__main__":
    unittest.main()
