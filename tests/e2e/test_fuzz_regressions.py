"""The fuzzers' regression files through the real imgdump.exe under Wine.

tests/fuzz/regressions keeps, for each picture reader, every input that ever
made the host build crash, hang, leak or trip a sanitizer, and the fewest
inputs of the fuzzer's corpus that reach every branch it reached. The
Windows build must answer each with a failed load (exit 1) or a consistent
picture (exit 0), within imgdump's time bound, on the screen kind the fuzzer
used for it: inputs of odd length on the 8-bit screen.
"""

import os
import unittest

import test_bmp_pictures as bmp
from harness import SOURCE, winpath

REGRESSIONS = os.path.join(SOURCE, "tests", "fuzz", "regressions")
EXTENSIONS = {"Bmp": ".bmp", "Pcx": ".pcx", "Targa": ".tga", "Jpeg": ".jpg"}
# The whole display-image routine's fuzzer names its input by the first byte.
DISPLAY_IMAGE_NAMES = [".jpg", ".jpeg", ".jfif", ".pcx", ".tga", ".bmp", ".dib"]


def as_picture_file(target, data):
    """The file name extension and content the fuzzer gave the reader."""
    if target == "DisplayImage":
        return DISPLAY_IMAGE_NAMES[data[0] % len(DISPLAY_IMAGE_NAMES)], data[1:]
    return EXTENSIONS[target], data


class FuzzRegressions(bmp.BmpPictures):
    def test_every_regression_file_is_a_failed_load_or_a_consistent_picture(self):
        display8 = os.environ.get("VISTEL_DISPLAY8")
        self.assertTrue(display8, "VISTEL_DISPLAY8 names no 8-bit X server")
        jobs = []
        for target in ["Bmp", "Pcx", "Targa", "Jpeg", "DisplayImage"]:
            folder = os.path.join(REGRESSIONS, target)
            names = sorted(os.listdir(folder))
            self.assertTrue(names, f"no regression files for {target}")
            for name in names:
                with open(os.path.join(folder, name), "rb") as f:
                    data = f.read()
                if not data:
                    continue
                extension, content = as_picture_file(target, data)
                picture = self.write(f"{target}-{name}{extension}", content)
                jobs.append((target, name, picture, display8 if len(content) % 2 else None))

        # One imgdump run a screen: a program start costs more than a load.
        results = {}
        for display in (None, display8):
            batch = [job for job in jobs if job[3] == display]
            pairs = [(winpath(picture), winpath(picture + ".out.bmp")) for _, _, picture, _ in batch]
            listed = bmp.run_imgdump_list(pairs, os.path.join(self.scratch, "list.txt"), display)
            results.update(zip((job[2] for job in batch), listed))
        results = [results[job[2]] for job in jobs]
        loaded = 0
        for (target, name, picture, _), code_line in zip(jobs, results):
            with self.subTest(target=target, file=name):
                self.assertIsNotNone(code_line, "imgdump crashed or hung on this file")
                code, line = code_line
                self.assertIn(code, (0, 1), f"imgdump ended with {code}: {line}")
                if code == 0:
                    loaded += 1
                    self.check_consistent(bmp.Bmp.read(picture + ".out.bmp"))
        # The corpus holds pictures that load as well as ones that fail.
        self.assertGreater(loaded, 0)
        self.assertLess(loaded, len(jobs))


if __name__ == "__main__":
    unittest.main()
