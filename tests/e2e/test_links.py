"""The links of the real settings dialog: blue and underlined, a hand cursor
and a tooltip naming the target; a click or the space bar opens the target
with the program registered in the prefix; a target nothing opens rings the
bell and is explained in a message box."""

import os
import subprocess
import time
import unittest

from harness import (DIALOG_CLASS, IDOK, RECORDER, WINE, SaverTestCase, Screen, click, info, item,
                     point_at, probe, probe_value, rect, text, wait_front, wait_until, wine, wine_env, winpath, xdo)

TARGETS = {1006: "https://vistel.example/", 1007: "https://corvane.example/", 1008: "mailto:vistel@corvane.example"}
BLUE = (0, 0, 255)
# The programs for the targets, and the one for web pages that is tried when they fail.
COMMANDS = [name + "\\shell\\open\\command" for name in ("https", "mailto", "htmlfile")]


def registered(key):
    """The unnamed value of a key of HKEY_CLASSES_ROOT (None when it has none)."""
    out = subprocess.run([WINE, "reg", "query", "HKCR\\" + key, "/ve"], capture_output=True, text=True,
                         errors="replace", env=wine_env(), timeout=60).stdout
    return next((line.split("REG_SZ", 1)[1].strip() for line in out.splitlines() if "REG_SZ" in line), None)


class Links(SaverTestCase):
    def register(self, command):
        for key in COMMANDS:
            wine("reg", "add", "HKCR\\" + key, "/ve", "/d", command, "/f")

    def opened(self, count):
        """The command lines the recorder received, once there are count."""
        def lines():
            if os.path.exists(self.record):
                with open(self.record) as record:
                    found = record.read().splitlines()
                return found if len(found) >= count else None
        return wait_until(lines) or []

    def test_looks_pointer_opening_and_failure(self):
        saved = [registered(key) for key in COMMANDS]
        self.addCleanup(lambda: [wine("reg", "add", "HKCR\\" + key, "/ve", "/d", value, "/f")
                                 for key, value in zip(COMMANDS, saved) if value is not None])
        recorder = f'"{winpath(RECORDER)}"'
        self.register(recorder + ' "%1"')
        self.record = os.path.join(self.scratch, "opened.txt")
        self.open_dialog(env={"VISTEL_RECORD": winpath(self.record)}, fast=False)

        screen = Screen()
        for control_id in TARGETS:
            left, top, right, bottom = rect(item(self.dialog, control_id))
            # Blue text, underlined: one row is blue across nearly the whole link.
            longest = max(sum(screen.pixel(x, y) == BLUE for x in range(left, right)) for y in range(top, bottom))
            self.assertGreater(longest, 0.9 * (right - left), f"link {control_id}")

        left, top, right, bottom = rect(self.dialog)
        xdo("mousemove", left + 5, bottom - 5)
        arrow = wait_until(lambda: probe_value("cursor"))
        for control_id in (1006, 1008):
            point_at(item(self.dialog, control_id))

            def tip():
                shown = [hwnd for hwnd, cls, visible in map(str.split, probe("windows"))
                         if cls == "tooltips_class32" and visible == "1"]
                return shown and text(shown[0]) == TARGETS[control_id]
            self.assertTrue(wait_until(tip, timeout=10), f"no tooltip names {TARGETS[control_id]}")
            self.assertNotIn(probe_value("cursor"), ("0", arrow), "no hand cursor")

        for count, control_id in enumerate(TARGETS, 1):
            click(item(self.dialog, control_id))
            self.assertEqual(self.opened(count)[-1], f'{recorder} "{TARGETS[control_id]}"')
        xdo("mousemove", left + 5, bottom - 5)
        xdo("key", "space")  # the last clicked link has the focus
        self.assertEqual(self.opened(4)[-1], f'{recorder} "{TARGETS[1008]}"')

        self.register('"C:\\nowhere\\browser.exe" "%1"')
        bells = os.path.join(self.scratch, "bells.txt")
        with open(os.path.join(self.scratch, "xkbevd.cfg"), "w") as config:
            config.write(f'Bell() shell "echo bell >> {bells}"\n')
        watcher = subprocess.Popen(["xkbevd", "-cfg", config.name], env=wine_env(), stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        self.addCleanup(watcher.wait)
        self.addCleanup(watcher.kill)
        time.sleep(0.5)  # xkbevd listens once it has read its configuration
        click(item(self.dialog, 1006))
        box = wait_front(DIALOG_CLASS, "Vistel")
        self.assertTrue(box, "no message box")
        self.assertEqual(info(box)["owner"], str(self.dialog))
        self.assertTrue(wait_until(lambda: os.path.exists(bells), timeout=5), "no bell")
        click(item(box, IDOK))
        self.assertTrue(wait_until(lambda: info(box)["exists"] == "0"))
        self.assertEqual(len(self.opened(4)), 4)
        self.escape()


if __name__ == "__main__":
    unittest.main()
