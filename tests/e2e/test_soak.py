"""The saver over a long run on the table's good pictures and fuzzers' regression files, churned while it runs:
it never ends by itself; its GDI objects, windows and memory stay flat. scripts/soak.sh runs it long."""

import os
import random
import re
import shutil
import time
import unittest

from harness import (SaverTestCase, fuzz_regressions, make_case_file, picture_cases, probe, remove_settings,
                     set_password_flag, set_windows_version, winpath, write_settings)

SOAK_SAVER = "VistelSoak.scr"
SAMPLE = re.compile(r"\d+ paints=(\d+) gdi=(\d+) windows=(\d+) workingset=\d+ private=(\d+)")


class Soak(SaverTestCase):
    def test_gdi_objects_windows_and_memory_stay_flat(self):
        seconds = int(os.environ.get("VISTEL_SOAK_SECONDS", 32))
        set_windows_version(SOAK_SAVER, "win98")
        set_password_flag(1)
        self.addCleanup(set_password_flag, None)
        self.addCleanup(remove_settings)
        self.addCleanup(probe, "running", 0)
        rng = random.Random(1)
        good, folder = os.path.join(self.scratch, "good"), os.path.join(self.scratch, "pictures")
        names = [os.path.basename(make_case_file(case, good)) for case in picture_cases("soak")]
        shutil.copytree(good, folder)
        for path in rng.sample(list(fuzz_regressions(self.scratch)), 60):
            shutil.copy(path, folder)
        write_settings(folder, speed=0, color=(40, 40, 60))
        log = os.path.join(self.scratch, "monitor.log")
        saver = self.start(["/s"], program=self.install(SOAK_SAVER, stubs=["PASSWORD.CPL"]),
                           env={"VISTEL_MONITOR_LOG": winpath(log)})
        saver.wait_window()
        for _ in range(seconds):
            self.assertTrue(saver.alive(), "the saver ended by itself")
            time.sleep(1)
            # A good file deleted, or put back with its own or another's content.
            path = os.path.join(folder, rng.choice(names))
            if os.path.exists(path):
                os.remove(path)
            else:
                shutil.copyfile(os.path.join(good, rng.choice(names)), path)
        self.assert_closes(saver)
        with open(log) as f:
            samples = [tuple(map(int, m.groups())) for m in map(SAMPLE.match, f) if m]  # paints, gdi, windows, private
        first_tick = 10 if seconds < 300 else 100  # after the pictures have all been seen
        start, last = next(s for s in samples if s[0] >= first_tick), samples[-1]
        print(f"\nsoak: {seconds} s; (paints, GDI objects, windows, private bytes) {start} -> {last}")
        self.assertGreaterEqual(last[0], first_tick + 10, "too few ticks")
        self.assertLessEqual(last[1] - start[1], 2, "GDI objects grew")
        self.assertEqual(last[2], start[2], "windows were left")
        self.assertLess(last[3] - start[3], 16 << 20, "memory grew")


if __name__ == "__main__":
    unittest.main()
