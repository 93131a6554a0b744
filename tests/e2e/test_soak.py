"""The saver over a long run: one picture a second from a folder that mixes
good pictures of every format, hostile files and files that are deleted and
replaced while it runs. It must never end by itself, and its GDI objects,
windows and memory must stay flat.

A stand-in password module (the saver runs as Windows 98 with password
protection on) watches the saver from inside: it counts the saver's paints
and samples its GDI objects, windows and memory once a second.

Run as a test, it soaks for about a minute. For the long run whose figures
are in docs/PERFORMANCE.md:

    scripts/soak.sh [SECONDS]
"""

import glob
import os
import random
import re
import shutil
import subprocess
import sys
import threading
import time
import unittest

from harness import (BUILD, SOURCE, SaverTestCase, probe, remove_settings, set_password_flag, set_windows_version,
                     winpath, write_settings, xdo)

SOAK_SAVER = "VistelSoak.scr"
CONVERT = "/usr/bin/convert"

# What the good pictures are: name, ImageMagick options before the output.
GOOD_PICTURES = [
    ("photo.jpg", ["-quality", "85"]),
    ("progressive.jpeg", ["-interlace", "JPEG"]),
    ("grey.jfif", ["-colorspace", "Gray"]),
    ("print.jpe", ["-colorspace", "CMYK"]),
    ("truecolour.bmp", ["-type", "TrueColor", "-compress", "None"]),
    ("palette.dib", ["-colors", "200", "-type", "Palette", "-compress", "RLE"]),
    ("truecolour.pcx", ["-type", "TrueColor"]),
    ("palette.pcx", ["-colors", "256", "-type", "Palette"]),
    ("runs.tga", ["-type", "TrueColor", "-compress", "RLE"]),
    ("mapped.tga", ["-colors", "64", "-type", "Palette", "-compress", "None"]),
]

SAMPLE = re.compile(r"(\d+) paints=(\d+) gdi=(\d+) windows=(\d+) workingset=(\d+) private=(\d+)")


def make_folder(folder, seed=1):
    """Good pictures, hostile variants of them, and the fuzzers' regression
    files; returns the good files' names."""
    rng = random.Random(seed)
    os.makedirs(folder, exist_ok=True)
    source = os.path.join(folder, "source.ppm")
    subprocess.run([CONVERT, "-seed", "4", "-size", "640x480", "plasma:navy-gold", source], check=True, timeout=120)
    for name, options in GOOD_PICTURES:
        subprocess.run([CONVERT, source, *options, os.path.join(folder, name)], check=True, timeout=120)
    os.remove(source)

    # Hostile: every good file cut short at random places and with random
    # bytes changed, under its own name's extension.
    for name, _ in GOOD_PICTURES:
        with open(os.path.join(folder, name), "rb") as picture:
            data = picture.read()
        stem, extension = os.path.splitext(name)
        for n in range(4):
            cut = data[:rng.randrange(1, len(data))]
            with open(os.path.join(folder, f"{stem}-cut{n}{extension}"), "wb") as hostile:
                hostile.write(cut)
            changed = bytearray(data)
            for _ in range(rng.randrange(1, 40)):
                changed[rng.randrange(len(changed))] = rng.randrange(256)
            with open(os.path.join(folder, f"{stem}-changed{n}{extension}"), "wb") as hostile:
                hostile.write(changed)

    # The fuzzers' regression files: inputs that reach every branch the
    # fuzzers reached.
    for target, extension in (("Bmp", ".bmp"), ("Pcx", ".pcx"), ("Targa", ".tga"), ("Jpeg", ".jpg")):
        found = sorted(glob.glob(os.path.join(SOURCE, "tests", "fuzz", "regressions", target, "*")))
        for path in rng.sample(found, min(15, len(found))):
            shutil.copy(path, os.path.join(folder, f"fuzz-{target}-{os.path.basename(path)[:12]}{extension}"))
    return [name for name, _ in GOOD_PICTURES]


class Churn(threading.Thread):
    """Deletes good files and puts them back, or puts another file's content
    under their name, while the saver runs."""

    def __init__(self, folder, names, seed=2):
        super().__init__(daemon=True)
        self.folder, self.names, self.rng = folder, names, random.Random(seed)
        self.stop = threading.Event()
        self.changes = 0

    def run(self):
        kept = {}
        while not self.stop.wait(1.5):
            name = self.rng.choice(self.names)
            path = os.path.join(self.folder, name)
            if name in kept:
                with open(path, "wb") as picture:
                    picture.write(kept.pop(name))
            elif os.path.exists(path):
                with open(path, "rb") as picture:
                    kept[name] = picture.read()
                if self.rng.random() < 0.5:
                    os.remove(path)
                else:
                    other = os.path.join(self.folder, self.rng.choice(self.names))
                    if other != path and os.path.exists(other):
                        shutil.copyfile(other, path)
            self.changes += 1


def read_samples(log):
    samples = []
    if os.path.exists(log):
        with open(log) as lines:
            for line in lines:
                match = SAMPLE.match(line)
                if match:
                    samples.append(dict(zip(("seconds", "paints", "gdi", "windows", "workingset", "private"),
                                            map(int, match.groups()))))
    return samples


class Soak(SaverTestCase):
    SECONDS = 75
    FROM_TICK = 20

    def soak(self, seconds, from_tick):
        set_windows_version(SOAK_SAVER, "win98")
        set_password_flag(1)
        self.addCleanup(set_password_flag, None)
        self.addCleanup(remove_settings)
        self.addCleanup(probe, "running", 0)

        folder = os.path.join(self.scratch, "pictures")
        names = make_folder(folder)
        write_settings(folder, speed=0, color=(40, 40, 60))
        program = self.install(SOAK_SAVER)
        shutil.copy(os.path.join(BUILD, "tests", "stubs", "PASSWORD.CPL"), self.scratch)
        log = os.path.join(self.scratch, "monitor.log")

        saver = self.start(["/s"], program=program, env={"VISTEL_MONITOR_LOG": winpath(log)})
        saver.wait_window()
        churn = Churn(folder, names)
        churn.start()
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            self.assertTrue(saver.alive(), "the saver ended by itself")
            time.sleep(1)
        churn.stop.set()
        churn.join()
        samples = read_samples(log)
        xdo("key", "a")
        self.assertEqual(saver.wait(), 0)

        self.assertTrue(samples, "the monitor wrote no samples")
        last = samples[-1]
        self.assertGreaterEqual(last["paints"], from_tick + 10, f"too few ticks: {last}")
        start = next(sample for sample in samples if sample["paints"] >= from_tick)
        return start, last, samples, churn.changes

    def test_gdi_objects_windows_and_memory_stay_flat(self):
        start, last, _, _ = self.soak(self.SECONDS, self.FROM_TICK)
        self.assertLessEqual(last["gdi"] - start["gdi"], 2, f"GDI objects grew: {start} -> {last}")
        self.assertEqual(last["windows"], start["windows"])
        self.assertLess(last["private"] - start["private"], 16 << 20, f"memory grew: {start} -> {last}")


def main(seconds, report):
    """The long soak: runs as a test case and writes what it measured."""
    case = Soak("test_gdi_objects_windows_and_memory_stay_flat")
    case.setUp()
    try:
        start, last, samples, changes = case.soak(seconds, 100)
    finally:
        case.doCleanups()
        case.tearDown()
    peak = max(samples, key=lambda sample: sample["private"])
    mb = lambda n: f"{n / (1 << 20):.1f} MB"
    lines = [
        f"soak: {seconds} s, {last['paints']} paints (ticks), {changes} files deleted or replaced meanwhile",
        f"at tick {start['paints']} ({start['seconds']} s): GDI objects {start['gdi']}, windows {start['windows']}, "
        f"working set {mb(start['workingset'])}, private {mb(start['private'])}",
        f"at tick {last['paints']} ({last['seconds']} s): GDI objects {last['gdi']}, windows {last['windows']}, "
        f"working set {mb(last['workingset'])}, private {mb(last['private'])}",
        f"peak private {mb(peak['private'])} at tick {peak['paints']}; GDI objects between "
        f"{min(s['gdi'] for s in samples if s['paints'] >= start['paints'])} and "
        f"{max(s['gdi'] for s in samples if s['paints'] >= start['paints'])} from tick {start['paints']} on",
    ]
    with open(report, "w") as out:
        out.write("\n".join(lines) + "\n")
        for sample in samples:
            out.write(" ".join(f"{key}={value}" for key, value in sample.items()) + "\n")
    print("\n".join(lines))
    flat = last["gdi"] - start["gdi"] <= 2 and last["windows"] == start["windows"] and \
        last["private"] - start["private"] < 16 << 20
    return 0 if flat else 1


if __name__ == "__main__" and len(sys.argv) == 3 and sys.argv[1].isdigit():
    sys.exit(main(int(sys.argv[1]), sys.argv[2]))
elif __name__ == "__main__":
    unittest.main()
