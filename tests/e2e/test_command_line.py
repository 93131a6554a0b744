"""The command line picks the mode (command_lines.tsv); the mode's result is the exit code."""

import os
import unittest

from harness import (DIALOG_CLASS, FAST, SETTINGS_TITLE, SaverTestCase, info, point_at, probe, wait_front, winpath,
                     xdo)

with open(os.path.join(os.path.dirname(__file__), "command_lines.tsv")) as table:
    LINES = [line.rstrip("\n").split("\t") for line in table if not line.startswith("#")]
MISSING = 99999


class CommandLines(SaverTestCase):
    def test_each_command_line(self):
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
                    probe("front", other.hwnd)
                saver = self.start([], command_line=command)
                if kind == "exit":
                    self.assertEqual(saver.wait(), int(expected[0]) & 0xFF)
                elif kind == "saver":
                    saver.wait_window()
                    xdo("key", "a")
                    self.assertEqual(saver.wait(), 0)
                elif kind == "preview":
                    self.assertEqual(info(saver.wait_window("Preview", parent=host.hwnd))["parent"], str(host.hwnd))
                    host.close()
                    self.assertEqual(saver.wait(), 0)
                else:
                    dialog = wait_front(DIALOG_CLASS, SETTINGS_TITLE)
                    self.assertTrue(dialog, "the settings dialog did not open")
                    owners = {"none": "0", "host": str(owner.hwnd), "front": str(other.hwnd)}
                    self.assertEqual(info(dialog)["owner"], owners[expected[0]])
                    point_at(dialog)
                    xdo("key", "Return" if expected[1] == "1" else "Escape")
                    self.assertEqual(saver.wait(), int(expected[1]))


if __name__ == "__main__":
    unittest.main()
