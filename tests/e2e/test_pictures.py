"""Every row of tests/pictures.tsv through the real imgdump.exe, one run a
screen: its line, the held picture's consistency and its pixels against the
row's reference reader. Then the fuzzers' regression files."""

import os
import unittest

from harness import (SOURCE, Bmp, SaverTestCase, imgdump_batch, magick_rgb, make_case_file, picture_cases,
                     reference_rgb)

REGRESSIONS = os.path.join(SOURCE, "tests", "fuzz", "regressions")
EXTENSIONS = {"Bmp": ".bmp", "Pcx": ".pcx", "Targa": ".tga", "Jpeg": ".jpg"}
# The display-image fuzzer names its input by the first byte.
DISPLAY_IMAGE_NAMES = [".jpg", ".jpeg", ".jfif", ".pcx", ".tga", ".bmp", ".dib"]


class Pictures(SaverTestCase):
    def dump(self, jobs):
        """imgdump's result for each (picture, screen) job, one run a screen."""
        results = {}
        for screen in ("24", "8"):
            display = os.environ["VISTEL_DISPLAY8"] if screen == "8" else None
            batch = [picture for picture, on in jobs if on == screen]
            results.update(zip(batch, imgdump_batch([(p, p + ".out.bmp") for p in batch], self.scratch, display)))
        return [results[picture] for picture, _ in jobs]

    def check_held(self, picture):
        with open(picture + ".out.bmp", "rb") as f:
            self.assertIsNone(Bmp(f.read()).problem(), "the held picture is inconsistent")

    def test_table(self):
        cases = picture_cases()
        for screen in ("24", "8"):
            os.mkdir(os.path.join(self.scratch, screen))
        pictures = [make_case_file(case, os.path.join(self.scratch, case.screen)) for case in cases]
        for case, picture, result in zip(cases, pictures, self.dump([(p, c.screen) for p, c in zip(pictures, cases)])):
            with self.subTest(screen=case.screen, name=case.name):
                self.assertIsNotNone(result, "imgdump crashed or hung")
                if case.line == "refused":
                    self.assertEqual(result, (1, ""))
                    continue
                self.assertEqual(result, (0, case.line))
                self.check_held(picture)
                expected = reference_rgb(case, picture)
                if expected:
                    held = magick_rgb(picture + ".out.bmp")
                    self.assertEqual(held[:2], expected[:2])
                    worst = max(abs(a - b) for a, b in zip(held[2], expected[2]))
                    self.assertLessEqual(worst, case.tolerance, "the held picture shows other pixels")

    def test_fuzz_regressions(self):
        # Each a failed load or a consistent picture; odd lengths on the 8-bit screen, as the fuzzer ran them.
        jobs = []
        for target in ["Bmp", "Pcx", "Targa", "Jpeg", "DisplayImage"]:
            for name in sorted(os.listdir(os.path.join(REGRESSIONS, target))):
                with open(os.path.join(REGRESSIONS, target, name), "rb") as f:
                    data = f.read()
                if target == "DisplayImage" and data:
                    extension, data = DISPLAY_IMAGE_NAMES[data[0] % len(DISPLAY_IMAGE_NAMES)], data[1:]
                else:
                    extension = EXTENSIONS.get(target, ".bmp")
                picture = os.path.join(self.scratch, f"{target}-{name}{extension}")
                with open(picture, "wb") as f:
                    f.write(data)
                jobs.append((picture, "8" if len(data) % 2 else "24"))
        results = self.dump(jobs)
        for (picture, _), result in zip(jobs, results):
            with self.subTest(file=os.path.basename(picture)):
                self.assertIn(result and result[0], (0, 1), "imgdump crashed or hung")
                if result and result[0] == 0:
                    self.check_held(picture)
        self.assertTrue(0 < sum(bool(r) and r[0] == 0 for r in results) < len(jobs), "the files all load or all fail")


if __name__ == "__main__":
    unittest.main()
