"""The setup program (its 64-bit build) installs, registers and uninstalls the saver silently."""

import filecmp
import os
import subprocess
import unittest

from harness import (BUILD, SAVER, WINDOWS_DIR, WINE, SaverTestCase, probe, remove_settings, settings_file,
                     wait_until, wine_env, winpath, write_settings)

DESKTOP, ENTRY = "HKCU\\Control Panel\\Desktop", "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vistel"
INSTALLED, PROGRAM_DIR = (os.path.join(WINDOWS_DIR, "system32", "Vistel.scr"),
                          os.path.join(os.path.dirname(WINDOWS_DIR), "Program Files", "Vistel"))


def values(key):  # a registry key's values as the prefix's reg tool lists them ({} when there is no key)
    listing = subprocess.run([WINE, "reg", "query", key], capture_output=True, text=True, env=wine_env()).stdout
    return {f[0]: f[-1] for f in (line.split(None, 2) for line in listing.splitlines() if line[:4] == " " * 4)}


class Installer(SaverTestCase):
    def test_a_silent_install_runs_by_its_registered_name_and_the_uninstall_leaves_only_the_settings(self):
        write_settings(self.scratch)
        self.addCleanup(remove_settings)
        probe("run", winpath(os.path.join(BUILD, "tests", "Vistel-Setup.exe")) + " /S")
        self.assertTrue(filecmp.cmp(INSTALLED, SAVER, shallow=False))
        entry, desktop = values(ENTRY), values(DESKTOP)
        self.assertEqual([entry[name] for name in ("DisplayName", "DisplayVersion", "Publisher", "DisplayIcon")],
                         ["Vistel Screen Saver", "1.2.0.0", "Corvane", "C:\\Program Files\\Vistel\\Uninstall.exe,0"])
        self.assertEqual((desktop["SCRNSAVE.EXE"].lower(), desktop["ScreenSaveActive"]),
                         ("c:\\windows\\system32\\vistel.scr", "1"))
        saver = self.start([], command_line=desktop["SCRNSAVE.EXE"] + " /s")
        saver.wait_window()
        self.assert_closes(saver)
        probe("run", entry["UninstallString"] + " /S")
        # The uninstaller works from a copy of itself, after its starter has ended.
        self.assertTrue(wait_until(lambda: not os.path.exists(PROGRAM_DIR), 60))
        self.assertEqual((os.path.exists(INSTALLED), values(ENTRY), "SCRNSAVE.EXE" in values(DESKTOP)),
                         (False, {}, False))
        self.assertTrue(settings_file())


if __name__ == "__main__":
    unittest.main()
