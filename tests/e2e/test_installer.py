"""The setup program (its 64-bit build) installs, registers and uninstalls the saver silently."""

import filecmp
import os
import subprocess
import unittest

from harness import (BUILD, SAVER, WINDOWS_DIR, WINE, SaverTestCase, probe, remove_settings, settings_file,
                     wait_until, wine_env, write_settings, xdo)

UNINSTALL_KEY = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vistel"
DESKTOP_KEY = "HKCU\\Control Panel\\Desktop"
INSTALLED = os.path.join(WINDOWS_DIR, "system32", "Vistel.scr")
PROGRAM_DIR = os.path.join(os.path.dirname(WINDOWS_DIR), "Program Files", "Vistel")


def values(key):  # a registry key's values as the prefix's own reg tool lists them ({} when there is no key)
    listing = subprocess.run([WINE, "reg", "query", key], capture_output=True, text=True, errors="replace",
                             env=wine_env(), timeout=60).stdout
    return {f[0]: f[2] if len(f) > 2 else "" for f in (line.strip().split(None, 2) for line in listing.splitlines()
                                                       if line.startswith("    "))}


class Installer(SaverTestCase):
    def test_a_silent_install_runs_by_its_registered_name_and_the_uninstall_leaves_only_the_settings(self):
        write_settings(self.scratch)
        self.addCleanup(remove_settings)
        setup = subprocess.run([WINE, os.path.join(BUILD, "tests", "Vistel-Setup.exe"), "/S"], env=wine_env(),
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
        self.assertEqual(setup.returncode, 0)
        self.assertTrue(filecmp.cmp(INSTALLED, SAVER, shallow=False))
        entry = values(UNINSTALL_KEY)
        self.assertEqual({name: entry.get(name) for name in ("DisplayName", "DisplayVersion", "Publisher")},
                         {"DisplayName": "Vistel Screen Saver", "DisplayVersion": "1.2.0.0", "Publisher": "Corvane"})
        self.assertEqual(entry["DisplayIcon"], "C:\\Program Files\\Vistel\\Uninstall.exe,0")
        self.assertEqual(values(DESKTOP_KEY)["SCRNSAVE.EXE"].lower(), "c:\\windows\\system32\\vistel.scr")
        self.assertEqual(values(DESKTOP_KEY)["ScreenSaveActive"], "1")

        saver = self.start([], command_line=values(DESKTOP_KEY)["SCRNSAVE.EXE"] + " /s")
        saver.wait_window()
        xdo("key", "a")
        self.assert_closes(saver)

        self.assertEqual(probe("run", entry["UninstallString"] + " /S"), [])
        # The uninstaller works from a copy of itself, after its starter has ended.
        self.assertTrue(wait_until(lambda: not os.path.exists(PROGRAM_DIR), 60))
        self.assertFalse(os.path.exists(INSTALLED))
        self.assertEqual(values(UNINSTALL_KEY), {})
        self.assertNotIn("SCRNSAVE.EXE", values(DESKTOP_KEY))
        self.assertTrue(settings_file())


if __name__ == "__main__":
    unittest.main()
