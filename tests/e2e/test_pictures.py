"""Every row of tests/pictures.tsv through the real imgdump.exe, one run a
screen: its line, the held picture's consistency and its pixels against the
row's reference reader."""

import os
import unittest

from harness import (SaverTestCase, held_picture_problem, imgdump_batch, magick_rgb, make_case_file, picture_cases,
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


if __name__ == "__main__":
    unittest.main()
