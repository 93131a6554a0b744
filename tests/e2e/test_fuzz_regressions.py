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
from concurrent.futures import ThreadPoolExecutor

import test_bmp_pictures as bmp
from harness import SOURCE

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

        def dump(job):
            _, _, picture, display = job
            return bmp.run_imgdump(picture, picture + ".out.bmp", display)

        # Two at a time: each run is mostly Wine starting the program.
        with ThreadPoolExecutor(max_workers=2) as pool:
            results = list(pool.map(dump, jobs))
        loaded = 0
        for (target, name, picture, _), (code, line) in zip(jobs, results):
            with self.subTest(target=target, file=name):
                self.assertIn(code, (0, 1), f"imgdump ended with {code}: {line}")
                if code == 0:
                    loaded += 1
                    self.check_consistent(bmp.Bmp.read(picture + ".out.bmp"))
        # The corpus holds pictures that load as well as ones that fail.
        self.assertGreater(loaded, 0)
        self.assertLess(loaded, len(jobs))


if __name__ == "__main__":
    unittest.main()
