"""Every row of tests/pictures.tsv through the real imgdump.exe, one run a
screen: its line, the held picture's consistency and its pixels against the
row's reference reader; and every input the fuzzers keep, which must give
a failed load or a consistent picture, never a crash or a hang."""

import glob
import os
import unittest

from harness import (SOURCE, SaverTestCase, held_picture_problem, imgdump_batch, magick_rgb, make_case_file, picture_cases,
                     reference_rgb)


class Pictures(SaverTestCase):
    def test_table(self):
        cases, results = picture_cases(), {}
        for screen, display in (("24", None), ("8", os.environ["VISTEL_DISPLAY8"])):
            folder = os.path.join(self.scratch, screen)
            os.mkdir(folder)
            batch = [make_case_file(case, folder) for case in cases if case.screen == screen]
            results.update(zip(batch, imgdump_batch([(p, p + ".out.bmp") for p in batch], self.scratch, display)))
        for case in cases:
            picture = os.path.join(self.scratch, case.screen, case.name)
            with self.subTest(screen=case.screen, name=case.name):
                if case.line == "refused":
                    self.assertEqual(results[picture], (1, ""))
                    continue
                self.assertEqual(results[picture], (0, case.line))
                self.assertIsNone(held_picture_problem(picture + ".out.bmp"))
                expected = reference_rgb(case, picture)
                if expected:
                    held = magick_rgb(picture + ".out.bmp")
                    self.assertEqual(held[:2], expected[:2])
                    worst = max(abs(a - b) for a, b in zip(held[2], expected[2]))
                    self.assertLessEqual(worst, int(case.tolerance), "the held picture shows other pixels")

    def test_fuzz_regressions(self):
        # The display-image target's first byte picks the name, as the fuzzer does;
        # inputs of odd length go to the 8-bit screen.
        names = [".jpg", ".jpeg", ".jfif", ".pcx", ".tga", ".bmp", ".dib"]
        extensions = {"Bmp": ".bmp", "Pcx": ".pcx", "Targa": ".tga", "Jpeg": ".jpg"}
        batches = {None: [], os.environ["VISTEL_DISPLAY8"]: []}
        for path in sorted(glob.glob(os.path.join(SOURCE, "tests", "fuzz", "regressions", "*", "*"))):
            with open(path, "rb") as f:
                target, data = os.path.basename(os.path.dirname(path)), f.read()
            if target == "DisplayImage" and data:
                extension, data = names[data[0] % len(names)], data[1:]
            else:
                extension = extensions[target]
            picture = os.path.join(self.scratch, f"{target}-{os.path.basename(path)}{extension}")
            with open(picture, "wb") as f:
                f.write(data)
            batches[list(batches)[len(data) % 2]].append(picture)
        codes = []
        for display, batch in batches.items():
            results = imgdump_batch([(p, p + ".out.bmp") for p in batch], self.scratch, display)
            for picture, result in zip(batch, results):
                with self.subTest(file=os.path.basename(picture)):
                    self.assertIn(result and result[0], (0, 1), "imgdump crashed, hung or failed")
                    if result[0] == 0:
                        self.assertIsNone(held_picture_problem(picture + ".out.bmp"))
                    codes.append(result[0])
        self.assertTrue(0 in codes and 1 in codes, "the regression files should hold pictures and failures")


if __name__ == "__main__":
    unittest.main()
