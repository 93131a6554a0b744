"""The saver over a long run: one picture a second from a folder of the
table's good pictures, cut and changed copies of them and the fuzzers'
regression files, some deleted and replaced while it runs. It must never end
by itself, and its GDI objects, windows and memory must stay flat, as a
stand-in password module samples them from inside once a second.

    scripts/soak.sh [SECONDS]     the long run, figures in build/soak-report.txt
"""

import glob
import os
import random
import re
import shutil
import sys
import threading
import time
import unittest

from harness import (BUILD, SOURCE, SaverTestCase, make_case_file, picture_cases, probe, remove_settings,
                     set_password_flag, set_windows_version, winpath, write_settings, xdo)

SOAK_SAVER = "VistelSoak.scr"
SAMPLE = re.compile(r"(\d+) paints=(\d+) gdi=(\d+) windows=(\d+) workingset=(\d+) private=(\d+)")


def make_folder(folder, rng):
    """The good pictures (returns their names), their cut and changed copies, and regression files."""
    os.makedirs(folder)
    good = [os.path.basename(make_case_file(case, folder)) for case in picture_cases("soak")]
    for name in good:
        with open(os.path.join(folder, name), "rb") as f:
            data = bytearray(f.read())
        stem, extension = os.path.splitext(name)
        for n in range(3):
            with open(os.path.join(folder, f"{stem}-cut{n}{extension}"), "wb") as f:
                f.write(data[:rng.randrange(1, len(data))])
            for _ in range(rng.randrange(1, 40)):
                data[rng.randrange(len(data))] = rng.randrange(256)
            with open(os.path.join(folder, f"{stem}-changed{n}{extension}"), "wb") as f:
                f.write(data)
    for target, extension in (("Bmp", ".bmp"), ("Pcx", ".pcx"), ("Targa", ".tga"), ("Jpeg", ".jpg")):
        found = sorted(glob.glob(os.path.join(SOURCE, "tests", "fuzz", "regressions", target, "*")))
        for path in rng.sample(found, min(10, len(found))):
            shutil.copy(path, os.path.join(folder, f"fuzz-{os.path.basename(path)[:12]}{extension}"))
    return good


def churn(folder, names, rng, stop):
    """Every 1.5 s deletes a good file or puts another's content under its name, or puts it back."""
    kept = {}
    while not stop.wait(1.5):
        path = os.path.join(folder, rng.choice(names))
        if path in kept:
            with open(path, "wb") as f:
                f.write(kept.pop(path))
        elif os.path.exists(path):
            with open(path, "rb") as f:
                kept[path] = f.read()
            os.remove(path)
            other = os.path.join(folder, rng.choice(names))
            if rng.random() < 0.5 and os.path.exists(other):
                shutil.copyfile(other, path)


class Soak(SaverTestCase):
    def soak(self, seconds, from_tick):
        """Runs the soak; the samples at from_tick and at the end, and all of them."""
        set_windows_version(SOAK_SAVER, "win98")
        set_password_flag(1)
        self.addCleanup(set_password_flag, None)
        self.addCleanup(remove_settings)
        self.addCleanup(probe, "running", 0)
        rng = random.Random(1)
        folder = os.path.join(self.scratch, "pictures")
        names = make_folder(folder, rng)
        write_settings(folder, speed=0, color=(40, 40, 60))
        program = self.install(SOAK_SAVER, stubs=["PASSWORD.CPL"])
        log = os.path.join(self.scratch, "monitor.log")
        saver = self.start(["/s"], program=program, env={"VISTEL_MONITOR_LOG": winpath(log)})
        saver.wait_window()
        stop = threading.Event()
        thread = threading.Thread(target=churn, args=(folder, names, rng, stop), daemon=True)
        thread.start()
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            self.assertTrue(saver.alive(), "the saver ended by itself")
            time.sleep(1)
        stop.set()
        thread.join()
        xdo("key", "a")
        self.assertEqual(saver.wait(), 0)
        with open(log) as f:
            samples = [dict(zip(("seconds", "paints", "gdi", "windows", "workingset", "private"), map(int, m.groups())))
                       for m in map(SAMPLE.match, f) if m]
        self.assertGreaterEqual(samples[-1]["paints"], from_tick + 10, "too few ticks")
        start = next(sample for sample in samples if sample["paints"] >= from_tick)
        return start, samples[-1], samples

    def assert_flat(self, start, last):
        self.assertLessEqual(last["gdi"] - start["gdi"], 2, f"GDI objects grew: {start} -> {last}")
        self.assertEqual(last["windows"], start["windows"])
        self.assertLess(last["private"] - start["private"], 16 << 20, f"memory grew: {start} -> {last}")

    def test_gdi_objects_windows_and_memory_stay_flat(self):
        self.assert_flat(*self.soak(int(os.environ.get("VISTEL_SOAK_SECONDS", 32)), 10)[:2])


if __name__ == "__main__" and len(sys.argv) == 3:
    # soak.py SECONDS REPORT: the long run, its samples written to REPORT.
    case = Soak("test_gdi_objects_windows_and_memory_stay_flat")
    case.setUp()
    try:
        start, last, samples = case.soak(int(sys.argv[1]), 100)
    finally:
        case.doCleanups()
        case.tearDown()
    with open(sys.argv[2], "w") as report:
        report.writelines(" ".join(f"{k}={v}" for k, v in sample.items()) + "\n" for sample in [start, last] + samples)
    print(f"from tick {start['paints']}: {start}\nto tick {last['paints']}: {last}")
    case.assert_flat(start, last)
elif __name__ == "__main__":
    unittest.main()
