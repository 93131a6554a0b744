"""Every row of tests/pictures.tsv (its line, a consistent held picture, the reference reader's pixels) and
every input the fuzzers keep (a failed load or a consistent picture) through imgdump.exe, one run a screen."""

import os
import unittest

from harness import (SaverTestCase, fuzz_regressions, held_picture_problem, imgdump_batch, magick_rgb,
                     make_case_file, picture_cases, reference_rgb)


class Pictures(SaverTestCase):
    def test_table_and_fuzz_regressions(self):
        batches = {"24": {}, "8": {}}  # picture: its row, or None for a fuzzer's input
        for case in picture_cases():
            screen = case.screen.split()[0]
            batches[screen][make_case_file(case, os.path.join(self.scratch, screen))] = case
        for picture in fuzz_regressions(self.scratch):  # inputs of odd length go to the 8-bit screen
            batches["8" if os.path.getsize(picture) % 2 else "24"][picture] = None
        codes = set()
        for screen, batch in batches.items():
            display = os.environ["VISTEL_DISPLAY8"] if screen == "8" else None
            for (picture, case), result in zip(batch.items(), imgdump_batch(batch, self.scratch, display)):
                with self.subTest(screen=screen, name=os.path.basename(picture)):
                    if case:
                        self.assertEqual(result, (1, "") if case.line == "refused" else (0, case.line))
                    else:
                        self.assertIn(result and result[0], (0, 1), "imgdump crashed, hung or failed")
                        codes.add(result[0])
                    if result[0] == 0:
                        self.assertIsNone(held_picture_problem(picture + ".out.bmp"))
                    expected = case and result[0] == 0 and reference_rgb(case, picture)
                    if expected:
                        held = magick_rgb(picture + ".out.bmp")
                        self.assertEqual(held[:2], expected[:2])
                        worst = max(abs(a - b) for a, b in zip(held[2], expected[2]))
                        self.assertLessEqual(worst, int(case.tolerance), "the held picture shows other pixels")
        self.assertEqual(codes, {0, 1}, "the fuzzers' inputs should hold pictures and failures")


if __name__ == "__main__":
    unittest.main()
