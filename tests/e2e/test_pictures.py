"""Every row of tests/pictures.tsv through the real imgdump.exe, one run a
screen: its line, the held picture's consistency and its pixels against the
row's reference reader; then the fuzzers' regression files."""

import os
import unittest

from harness import (SOURCE, SaverTestCase, held_picture_problem, imgdump_batch, magick_rgb, make_case_file,
                     picture_cases, reference_rgb)

REGRESSIONS = os.path.join(SOURCE, "tests", "fuzz", "regressions")
# The display-image fuzzer names its input by its first byte.
DISPLAY_IMAGE_NAMES = [".jpg", ".jpeg", ".jfif", ".pcx", ".tga", ".bmp", ".dib"]


class Pictures(SaverTestCase):
    def dump(self, jobs):
        """imgdump's result for each (picture, screen) job, one run a screen."""
        results = {}
        for screen, display in (("24", None), ("8", os.environ["VISTEL_DISPLAY8"])):
            batch = [picture for picture, on in jobs if on == screen]
            results.update(zip(batch, imgdump_batch([(p, p + ".out.bmp") for p in batch], self.scratch, display)))
        return [results[picture] for picture, _ in jobs]

    def test_table(self):
        cases = picture_cases()
        for screen in ("24", "8"):
            os.mkdir(os.path.join(self.scratch, screen))
        pictures = [make_case_file(case, os.path.join(self.scratch, case.screen)) for case in cases]
        for case, picture, result in zip(cases, pictures, self.dump([(p, c.screen) for p, c in zip(pictures, cases)])):
            with self.subTest(screen=case.screen, name=case.name):
                if case.line == "refused":
                    self.assertEqual(result, (1, ""))
                    continue
                self.assertEqual(result, (0, case.line))
                self.assertIsNone(held_picture_problem(picture + ".out.bmp"))
                expected = reference_rgb(case, picture)
                if expected:
                    held = magick_rgb(picture + ".out.bmp")
                    self.assertEqual(held[:2], expected[:2])
                    worst = max(abs(a - b) for a, b in zip(held[2], expected[2]))
                    self.assertLessEqual(worst, int(case.tolerance), "the held picture shows other pixels")

    def test_fuzz_regressions(self):
        # A failed load or a consistent picture each; odd lengths on the 8-bit screen, as the fuzzer ran them.
        jobs = []
        for target, extension in (("Bmp", ".bmp"), ("Pcx", ".pcx"), ("Targa", ".tga"), ("Jpeg", ".jpg"),
                                  ("DisplayImage", None)):
            for name in sorted(os.listdir(os.path.join(REGRESSIONS, target))):
                with open(os.path.join(REGRESSIONS, target, name), "rb") as f:
                    data = f.read()
                suffix = extension
                if not extension:  # the display-image fuzzer's first byte picks the file name
                    suffix, data = DISPLAY_IMAGE_NAMES[data[0] % len(DISPLAY_IMAGE_NAMES)] if data else ".bmp", data[1:]
                picture = os.path.join(self.scratch, f"{target}-{name}{suffix}")
                with open(picture, "wb") as f:
                    f.write(data)
                jobs.append((picture, "8" if len(data) % 2 else "24"))
        results = self.dump(jobs)
        for (picture, _), result in zip(jobs, results):
            with self.subTest(file=os.path.basename(picture)):
                self.assertIn(result and result[0], (0, 1), "imgdump crashed or hung")
                if result and result[0] == 0:
                    self.assertIsNone(held_picture_problem(picture + ".out.bmp"))
        self.assertTrue(0 < sum(bool(r) and r[0] == 0 for r in results) < len(jobs), "all load or all fail")


if __name__ == "__main__":
    unittest.main()
