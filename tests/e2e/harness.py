"""Runs the real saver under Wine on scripts/test.sh's X servers and prefix, and looks at it."""

import glob
import os
import re
import shlex
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import types
import unittest

WINE = "/usr/lib/wine/wine64"
BUILD, SOURCE = os.environ["VISTEL_BUILD"], os.environ["VISTEL_SOURCE"]
SAVER = os.path.join(BUILD, "Vistel.scr")
PROBE = os.path.join(BUILD, "tests", "probe.exe")
RECORDER = os.path.join(BUILD, "tests", "recorder.exe")  # the probe without a console, as the program links open
STUBS = os.path.join(BUILD, "tests", "stubs")
WINDOWS_DIR = os.path.join(os.environ["WINEPREFIX"], "drive_c", "windows")
SAVER_CLASS, DIALOG_CLASS = "WindowsScreenSaverClass", "#32770"
SETTINGS_TITLE = "Vistel - The JPEG/BMP Screen Saver"
# Copies under these names run as unmanaged windows: a full-screen window
# then ends at once instead of after Wine's two-second wait for a window
# manager. Never for the picture tests: it spoils the 8-bit screen's palette.
FAST, FAST98 = "VistelFast.scr", "Vistel98.scr"
UNMANAGED = set()  # those this process has set up
WM_CLOSE, WM_SYSCOMMAND, SC_CLOSE = 0x0010, 0x0112, 0xF060
IDOK, IDCANCEL = 1, 2
# Generous bounds: a loaded two-core machine may be slow, never this slow.
START_TIMEOUT = EXIT_TIMEOUT = 20.0
SETTLE = 1.0  # how long a saver that must stay open is watched after an input


def winpath(path):  # the Windows name of a Linux path (drive Z: is the Linux root)
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def wine_env(extra=None, display=None):
    return {**os.environ, **({"DISPLAY": display} if display else {}), **(extra or {})}


def probe(*args, display=None, check=True):  # runs tests/helpers/probe.cpp; returns its output lines
    for attempt in (1, 2):
        # Standard error is not read: Wine services it starts may keep it open.
        result = subprocess.run([WINE, PROBE, *map(str, args)], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                text=True, errors="replace", timeout=60, env=wine_env(display=display))
        # A probe that only looks is run again if it could not run (seen on a loaded machine).
        if result.returncode == 0 or result.stdout or args[0] not in ("info", "item", "text", "cursor", "focus"):
            break
    if check and result.returncode != 0:
        raise AssertionError(f"probe {' '.join(map(str, args))} failed with {result.returncode}")
    return result.stdout.splitlines()


def probe_value(*args, **kwargs):
    return (probe(*args, **kwargs) or [""])[0]


def info(hwnd):  # key=value facts about a window (exists=0 when it is gone)
    return dict(line.split("=", 1) for line in probe("info", hwnd, check=False))


def rect(hwnd):
    return tuple(map(int, info(hwnd)["rect"].split()))


def wait_window(cls, title, timeout=START_TIMEOUT, parent=None, display=None):  # once shown; else 0
    args = ("wait", cls, title, int(timeout * 1000), *([parent] if parent else []))
    return int(probe_value(*args, display=display, check=False) or 0)


def wait_until(condition, timeout=START_TIMEOUT, interval=0.1):  # the first true result, else the last
    deadline = time.monotonic() + timeout
    while not (result := condition()) and time.monotonic() < deadline:
        time.sleep(interval)
    return result


def ready(hwnd, needs="keys", front=False, display=None):
    """Waits until input reaches hwnd, else fails saying where it goes: its top-level window in front and, as needs
    says, the pointer over that window's X window ("click"; keys reach a window no window manager focuses that way
    here), the focus on hwnd (a control) or in it ("front") or both ("keys"). front brings it there, as a user would."""
    said = []

    def now():
        said[:] = probe("focus", hwnd, display=display) + xdo("getmouselocation", "--shell", display=display).split()
        at = {name: [int(v) for v in value.split()[:3]] for name, value in (line.split("=", 1) for line in said)}
        window, top, x_window = at["target"]
        if front and at["foreground"][0] != top:
            probe("front", top, display=display, check=False)
        return at["foreground"][0] == top and (needs == "front" or at["WINDOW"][0] == x_window) and (
            needs == "click" or at["focus"][int(window == top)] == window)
    if not wait_until(now):
        raise AssertionError(f"input meant for window {hwnd} ({needs}) would go elsewhere:\n" + "\n".join(said))


def wait_front(cls, title, front=False):  # a top-level window once shown and in front (front: brought there)
    hwnd = wait_window(cls, title)
    assert hwnd, f"no window {title!r} was shown"
    ready(hwnd, "front", front)
    time.sleep(0.3)  # in front is not yet drawn on the X screen
    return hwnd


def post(hwnd, message, wparam=0, lparam=0):
    probe("post", hwnd, message, wparam, lparam)


def send(hwnd, message, wparam=0, lparam=0):
    return int(probe_value("send", hwnd, message, wparam, lparam))


def item(dialog, control_id):
    hwnd = int(probe_value("item", dialog, control_id))
    assert hwnd, f"window {dialog} has no control {control_id}"
    return hwnd


def text(hwnd):  # as the window's own process gives it
    return "\n".join(probe("text", hwnd))


def xdo(*args, display=None):  # its output
    return subprocess.run(["xdotool", *map(str, args)], check=True, env=wine_env(display=display), text=True,
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout


def point_at(hwnd, dx=None, dy=None):  # the pointer (and keys) to its middle, or (dx, dy) from its top left
    left, top, right, bottom = rect(hwnd)  # (dy < 0: from its bottom)
    xdo("mousemove", left + (dx if dx is not None else (right - left) // 2),
        (top + dy if dy >= 0 else bottom + dy) if dy is not None else (top + bottom) // 2)


def click(hwnd, dx=None, dy=None):
    point_at(hwnd, dx, dy)
    ready(hwnd, "click")
    xdo("click", 1)


def key(hwnd, *keys, display=None):  # to hwnd, a control or the window; returns when they went
    ready(hwnd, "keys", display=display)
    sent = time.monotonic()
    xdo("key", *keys, display=display)
    return sent


def wine(*args, check=True):  # runs a Wine tool such as reg (twice if it fails: it is not under test)
    for attempt in (1, 2):
        code = subprocess.run([WINE, *args], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=wine_env(),
                              timeout=60).returncode
        if code == 0 or not check:
            return
    raise AssertionError(f"wine {' '.join(args)} failed with {code}")


def set_windows_version(program, version):  # Wine reports it to that program (a file name)
    wine("reg", "add", "HKCU\\Software\\Wine\\AppDefaults\\" + program, "/v", "Version", "/d", version, "/f")


def set_password_flag(value):  # sets or (value None) removes the user's screen-saver password flag
    key = "HKCU\\Control Panel\\Desktop"
    if value is None:
        wine("reg", "delete", key, "/v", "ScreenSaveUsePassword", "/f", check=False)
    else:
        wine("reg", "add", key, "/v", "ScreenSaveUsePassword", "/t", "REG_DWORD", "/d", str(value), "/f")


SETTINGS = os.path.join(WINDOWS_DIR, "Vistel.ini")


def write_settings(folder=None, speed=None, random=None, color=None):
    lines = ["[Vistel]"] + [f"{key}={value}" for key, value in (
        ("Speed", speed), ("ImagePath", folder and winpath(folder)), ("RandomImage", random),
        ("BackColor", color and color[0] | color[1] << 8 | color[2] << 16)) if value is not None]
    with open(SETTINGS, "w") as ini:
        ini.write("\r\n".join(lines) + "\r\n")


def remove_settings():
    if os.path.exists(SETTINGS):
        os.remove(SETTINGS)


def settings_file():  # None when there is none
    if os.path.exists(SETTINGS):
        with open(SETTINGS, "rb") as ini:
            return ini.read()


class Screen:  # a screenshot of the whole X screen as 8-bit RGB

    def __init__(self, display=None):
        for attempt in (1, 2, 3):  # xwd failed once on a busy X server (exit 1)
            shot = subprocess.run(["xwd", "-root", "-silent"], capture_output=True, env=wine_env(display=display),
                                  timeout=60)
            if shot.returncode == 0:
                break
        xwd = shot.check_returncode() or shot.stdout
        convert = lambda *args: subprocess.run(["/usr/bin/convert", "xwd:-", *args], input=xwd,
                                               capture_output=True, check=True, timeout=60).stdout
        self.width, self.height = map(int, convert("-format", "%w %h", "info:").split())
        self.data = convert("-depth", "8", "rgb:-")

    def pixel(self, x, y):
        at = 3 * (y * self.width + x)
        return tuple(self.data[at:at + 3])


class Saver:  # one run of a saver program under Wine; with command_line, exactly that Windows command line

    def __init__(self, args, program=SAVER, env=None, display=None, command_line=None):
        self.display, self.hwnd = display, 0
        command = [WINE, PROBE, "run", command_line] if command_line is not None else [WINE, program, *args]
        self.process = subprocess.Popen(command, env=wine_env(env, display), stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)

    def wait_window(self, title="Screen Saver", parent=None):
        self.hwnd = wait_window(SAVER_CLASS, title, parent=parent, display=self.display)
        if not self.hwnd:
            raise AssertionError(f"no saver window titled {title!r} appeared (exit code {self.process.poll()})")
        if parent is None:  # the saver comes to the front by itself
            ready(self.hwnd, "front", display=self.display)
        return self.hwnd

    def alive(self):
        return self.process.poll() is None

    def wait(self):  # the exit code, as the shell sees it (8 bits)
        return self.process.wait(timeout=EXIT_TIMEOUT)

    def stays(self):
        time.sleep(SETTLE)
        return self.alive()

    def kill(self):
        if self.alive():
            self.process.kill()
            self.process.wait()


class Host:  # a top-level window (by default the probe's, 152 x 112) that hosts a preview or owns a dialog

    def __init__(self, command=(PROBE, "host", 152, 112)):
        self.process = subprocess.Popen([WINE, *map(str, command)],
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
                                        errors="replace", env=wine_env())
        self.hwnd = int(self.process.stdout.readline())

    def close(self):
        if self.process.poll() is None:
            probe("post", self.hwnd, WM_CLOSE, 0, 0, check=False)
            try:
                self.process.wait(timeout=EXIT_TIMEOUT)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


class KeepingEvidence:  # a test's result, which has the test keep its evidence as a failure is reported

    def __init__(self, result, keep):
        self.result, self.keep = result, keep

    def __getattr__(self, name):
        report = getattr(self.result, name)

        def keeping(test, *args):  # args: the error, or a subtest and its error (None when it passed)
            if args[-1]:
                self.keep(args[0] if args[1:] else test, args[-1])
            return report(test, *args)
        return keeping if name in ("addError", "addFailure", "addSubTest") else report


class SaverTestCase(unittest.TestCase):  # leaves no saver behind, and gives each test a scratch folder
    """A failure leaves in build/win64/e2e-failures the screens, where input went and the savers' exit codes."""

    def run(self, result=None):
        return super().run(result and KeepingEvidence(result, self.keep_evidence))

    def keep_evidence(self, test, error):
        name = os.path.join(BUILD, "e2e-failures", re.sub(r"[^\w.-]+", "_", test.id())[:200])  # named after it
        lines = [f"{error[0].__name__}: " + str(error[1]).partition("\n")[0]]
        try:  # the failure is reported all the same
            os.makedirs(os.path.dirname(name), exist_ok=True)
            lines += [f"{'running' if saver.alive() else f'exit code {saver.process.returncode}'}: "
                      f"{' '.join(saver.process.args[1:])}" for saver in self.savers] + probe("focus", 0)
            for display, screen in ((None, ".png"), (os.environ["VISTEL_DISPLAY8"], "-8bit.png")):
                lines.append(f"{screen} {xdo('getmouselocation', display=display)}")
                subprocess.run(f"xwd -root -silent | convert xwd:- '{name}{screen}'",
                               shell=True, timeout=60, env=wine_env(display=display))
            with open(name + ".txt", "w") as f:
                f.write("\n".join(lines))
        except Exception as e:
            lines.append(f"no more evidence: {e!r}")
        print(f"\n{test.id()} failed; kept in {name}.*:", *lines, sep="\n", file=sys.stderr)

    def setUp(self):
        self.scratch = tempfile.mkdtemp(prefix="vistel-test-")
        self.savers, self.hosts = [], []
        xdo("mousemove", 400, 300)  # a neutral cursor position, away from the corners

    def tearDown(self):
        for saver in self.savers:
            saver.kill()
        for host in self.hosts:
            host.close()
        shutil.rmtree(self.scratch, ignore_errors=True)

    def start(self, args, **kwargs):
        self.savers.append(Saver(args, **kwargs))
        return self.savers[-1]

    def host(self, *command):
        self.hosts.append(Host(*command))
        return self.hosts[-1]

    def install(self, name="Vistel.scr", source=SAVER, stubs=()):  # a copy in the scratch folder, stubs beside
        target = os.path.join(self.scratch, name)
        shutil.copy(source, target)
        if os.path.basename(name) in {FAST, FAST98} - UNMANAGED:
            UNMANAGED.add(os.path.basename(name))
            wine("reg", "add", f"HKCU\\Software\\Wine\\AppDefaults\\{os.path.basename(name)}\\X11 Driver", "/v",
                 "Managed", "/d", "N", "/f")
        for stub in stubs:
            shutil.copy(os.path.join(STUBS, stub), self.scratch)
        return target

    def assert_closes(self, saver):  # by a key, once it can reach the saver
        key(saver.hwnd, "a", display=saver.display)
        self.assertEqual(saver.wait(), 0)

    def open_dialog(self, env=None, fast=True):  # unowned, pointed at; unmanaged: message boxes behind
        self.saver = self.start([], program=self.install(FAST) if fast else SAVER, env=env)
        # Seen on a loaded machine: the dialog shown but not in front. With no window manager
        # nothing brings it there (the command-line test sees it come there itself).
        self.dialog = wait_front(DIALOG_CLASS, SETTINGS_TITLE, front=True)
        point_at(self.dialog)


# Picture cases: tests/pictures.tsv, read by the picture tests, the slide show, the soak and the fuzzers' seeds.

IMGDUMP = os.path.join(BUILD, "tools", "imgdump.exe")
CASE_FIELDS = ("name", "make", "edits", "screen", "line", "ref", "tolerance", "uses")


def picture_cases(use=None):
    """The table's rows (those marked use, when given), with the fields above."""
    macros, cases = {}, []
    with open(os.path.join(SOURCE, "tests", "pictures.tsv")) as table:
        for row in filter(lambda row: row.strip() and not row.startswith("#"), table):
            fields = row.rstrip("\n").split("\t")
            fields[1:] = [re.sub(r"\$(\w+)", lambda m: macros[m[1]], field) for field in fields[1:]]
            if row.startswith("$"):
                macros[fields[0][1:]] = fields[1]
            elif use is None or use in fields[-1].split(","):
                cases.append(types.SimpleNamespace(**dict(zip(CASE_FIELDS, fields))))
    return cases


def built_bytes(spec):
    """Bytes from tokens: hex (HEX*N repeats it), wN / dN 16 / 32-bit little-endian numbers, zN zeros."""
    out = b""
    for token in spec.split():
        if re.fullmatch(r"[wdz]\d+", token):
            out += bytes(int(token[1:])) if token[0] == "z" else struct.pack("<" + "HI"[token[0] == "d"], int(token[1:]))
        else:
            data, _, times = token.partition("*")
            out += bytes.fromhex(data) * int(times or 1)
    return out


def jpeg_frame(data):
    """Where a JPEG file's frame header (SOFn) starts."""
    at = 2
    while data[at + 1] not in (0xC0, 0xC1, 0xC2, 0xC3, 0xC9, 0xCA, 0xCB):
        at += 2 + struct.unpack_from(">H", data, at + 2)[0]
    return at


def make_case_file(case, folder):
    """Writes a row's file into folder, made if need be; returns its path."""
    os.makedirs(folder, exist_ok=True)
    path = os.path.join(folder, case.name)
    if case.make.startswith("bytes"):
        with open(path, "wb") as f:
            f.write(built_bytes(case.make[5:]))
    else:
        subprocess.run(case.make.replace("{}", shlex.quote(path)), shell=True, check=True, timeout=60)
    for edit in case.edits.split()[case.edits == "-":]:
        with open(path, "rb") as f:
            data = f.read()
        if edit.startswith("@"):  # @OFFSET:FORMAT=VALUE, OFFSET a number or sof+N
            at, fmt, value = re.split("[:=]", edit[1:])
            at = jpeg_frame(data) + int(at[4:]) if at.startswith("sof") else int(at)
            fmt = fmt if fmt[0] == ">" else "<" + fmt
            data = data[:at] + struct.pack(fmt, int(value, 0)) + data[at + struct.calcsize(fmt):]
        elif edit.startswith("cut="):  # N bytes (N < 0: all but -N), A/B of them, or up to the frame header
            num, _, den = edit[4:].partition("/")
            data = data[:jpeg_frame(data) if num == "sof" else len(data) * int(num) // int(den) if den else int(num)]
        elif edit.startswith("^"):  # ^HEX: inserted after the first two bytes (a JPEG file's SOI marker)
            data = data[:2] + bytes.fromhex(edit[1:]) + data[2:]
        else:  # +HEX: appended
            data += bytes.fromhex(edit[1:])
        with open(path, "wb") as f:
            f.write(data)
    return path


def held_picture_problem(path):
    """What breaks the drawing code's assumptions about a BMP file imgdump wrote, or None."""
    with open(path, "rb") as f:
        data = f.read()
    off_bits, size, width, height, _, depth, compression, size_image, _, _, clr_used = \
        struct.unpack_from("<IIiiHHIIiiI", data, 10)
    pixels = data[off_bits:]
    if data[:2] != b"BM" or size != 40 or width <= 0 or height <= 0:
        return "header"
    if compression in (1, 2):  # RLE: the stream ends inside its data
        return None if size_image == len(pixels) and pixels[-2:] == b"\0\1" else "RLE stream"
    if len(pixels) != (depth * width + 31) // 32 * 4 * height:
        return "rows"
    return "table" if depth <= 8 and clr_used > 1 << depth else None


def imgdump_batch(pictures, folder, display=None):
    """imgdump's (code, line) for each picture (path: its row) from one run, held in PICTURE.out.bmp; None:
    crashed, hung. A row's picture is loaded for the window size WxH its screen field names, if any."""
    listing = os.path.join(folder, "list.txt")
    with open(listing, "w", encoding="utf-8") as f:
        for picture, case in pictures.items():
            boxes = case.screen.split()[1:] if case else []
            f.write("\t".join([winpath(picture), winpath(picture) + ".out.bmp", *boxes]) + "\n")
    try:
        output = subprocess.run([WINE, IMGDUMP, "@" + winpath(listing)], stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, errors="replace",
                                timeout=30 + len(pictures) // 5, env=wine_env(display=display)).stdout
    except subprocess.TimeoutExpired as e:
        output = (e.stdout or b"").decode(errors="replace")
    results = [(int(line[0]), line[2:].strip()) for line in output.splitlines() if line[:1].isdigit()]
    return results + [None] * (len(pictures) - len(results))


def fuzz_regressions(folder):
    """Writes the fuzzers' kept inputs into folder, each named as its reader takes it; yields their paths."""
    names = [".jpg", ".jpeg", ".jfif", ".pcx", ".tga", ".bmp", ".dib"]
    picks = {"Bmp": b"\5", "Pcx": b"\3", "Targa": b"\4", "Jpeg": b"\0", "DisplayImage": b""}
    for path in sorted(glob.glob(os.path.join(SOURCE, "tests", "fuzz", "regressions", "*", "*"))):
        target = os.path.basename(os.path.dirname(path))
        if target not in picks:  # the Exif reader's inputs are segment data, replayed on the host build only
            continue
        with open(path, "rb") as f:
            data = picks[target] + f.read()
        name = f"{target}-{os.path.basename(path)}{names[data[0] % len(names)]}"
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data[1:])
        yield f.name


def magick_rgb(path, *reading):
    """(width, height, RGB bytes top row first) as ImageMagick reads a file."""
    ppm = subprocess.run(["/usr/bin/convert", "-define", "jpeg:dct-method=islow", path, *reading, "-depth", "8",
                          "ppm:-"], check=True, capture_output=True, timeout=60).stdout
    head = re.match(rb"P(\d)\s(\d+)\s(\d+)\s\d+\s", ppm)
    data = ppm[head.end():]
    return int(head[2]), int(head[3]), bytes(v for v in data for _ in "rgb") if head[1] == b"5" else data


def reference_rgb(case, path):
    """The picture the row's reference reader sees: (width, height, RGB bytes), or None."""
    if case.ref.startswith("px "):
        _, size, data = case.ref.split(" ", 2)
        return (*map(int, size.split("x")), built_bytes(data))
    if case.ref.startswith("djpeg"):  # djpeg-orient: turned as ImageMagick reads the file's Exif orientation
        subprocess.run(f"djpeg -colors 256 -dither fs -bmp {shlex.quote(path)} >{shlex.quote(path)}.djpeg.bmp",
                       shell=True, check=True, timeout=60)
        orient = subprocess.run(["identify", "-format", "%[orientation]", path], capture_output=True, text=True,
                                check=True, timeout=60).stdout
        return magick_rgb(path + ".djpeg.bmp", *["-orient", orient, "-auto-orient"][:3 * (case.ref != "djpeg")])
    if case.ref != "-":
        return magick_rgb(path, *(["-auto-orient"] if case.ref == "im-orient" else case.ref.split()[1:]))


if __name__ == "__main__" and sys.argv[1:2] == ["seeds"]:
    # harness.py seeds DIR: the rows marked seed, in the folder of their reader in DIR.
    for case in picture_cases("seed"):
        readers = {".bmp": "Bmp", ".dib": "Bmp", ".pcx": "Pcx", ".tga": "Targa"}
        path = make_case_file(case, os.path.join(sys.argv[2], readers.get(case.name[-4:].lower(), "Jpeg")))
        if "^" in case.edits:  # the Exif reader: the data of the APP1 segment inserted after SOI
            with open(path, "rb") as f:
                data = f.read()
            with open(os.path.join(sys.argv[2], "Exif", case.name), "wb") as f:
                f.write(data[6:4 + struct.unpack_from(">H", data, 4)[0]])

if __name__ == "__main__" and sys.argv[1:2] == ["pictures"]:
    # harness.py pictures DIR: every row, in DIR/24 or DIR/8 by its screen, and the fuzzers' inputs in DIR/fuzz.
    for case in picture_cases():
        make_case_file(case, os.path.join(sys.argv[2], case.screen.split()[0]))
    os.makedirs(os.path.join(sys.argv[2], "fuzz"))
    list(fuzz_regressions(os.path.join(sys.argv[2], "fuzz")))
