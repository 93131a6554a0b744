"""The screen-saver password on Windows 95/98 (through logging stand-ins for its services), not elsewhere."""

import os
import shutil
import unittest
from pathlib import Path

from harness import (BUILD, FAST, FAST98, SC_CLOSE, STUBS, WM_SYSCOMMAND, SaverTestCase, key, post, probe,
                     probe_value, ready, send, set_password_flag, set_windows_version, wait_until, winpath, xdo)



class Passwords(SaverTestCase):
    @classmethod
    def setUpClass(cls):
        set_windows_version(FAST98, "win98")
        set_windows_version("Crash98.exe", "win98")

    def setUp(self):
        super().setUp()
        self.log, self.control = (os.path.join(self.scratch, name) for name in ("stub.log", "stub.control"))
        self.env = {"VISTEL_STUB_LOG": winpath(self.log), "VISTEL_STUB_CONTROL": winpath(self.control)}
        self.addCleanup(probe, "running", 0)  # a failed test leaves the next one a clean state
        self.addCleanup(set_password_flag, None)

    def logged(self):
        return Path(self.log).read_text().splitlines() if os.path.exists(self.log) else []

    def wait_logged(self, line):
        self.assertTrue(wait_until(lambda: line in self.logged()), f"never logged {line!r}: {self.logged()}")

    def start_saver(self, name=FAST98, stubs=("PASSWORD.CPL",)):
        saver = self.start(["/s"], program=self.install(name, stubs=stubs), env=self.env)
        saver.wait_window()
        return saver

    def test_without_protection_a_key_or_autoplay_closes_without_a_check(self):
        # The flag, the platform, and what stands as PASSWORD.CPL (a module without the check's export).
        for flag, name, module in ((1, FAST98, None), (1, FAST98, "MPR.DLL"), (1, FAST, "PASSWORD.CPL"),
                                   (None, FAST98, "PASSWORD.CPL"), (0, FAST98, "PASSWORD.CPL")):
            with self.subTest(flag=flag, saver=name, module=module):
                set_password_flag(flag)
                if module:
                    shutil.copy(os.path.join(STUBS, module), os.path.join(self.scratch, "PASSWORD.CPL"))
                saver = self.start_saver(name, ())
                self.assertEqual(probe_value("running"), "0")
                # AutoPlay proceeds (unanswered on the NT family); the saver closes on 9x.
                self.assertEqual(send(saver.hwnd, "QueryCancelAutoPlay"), 0)
                if name == FAST:
                    self.assertTrue(saver.stays())
                    key(saver.hwnd, "a")
                self.assertEqual(saver.wait(), 0)
                self.assertEqual(self.logged(), [])

    def test_a_refusal_keeps_the_saver_the_right_password_closes_it_and_running_spans_the_checks(self):
        set_password_flag(1)
        # The stand-in posts a close while its dialog is open and another just
        # before it refuses: neither opens a second dialog.
        Path(self.control).write_text("refuse hold=2000 close")
        saver = self.start_saver()
        self.assertEqual(probe_value("running"), "1")
        post(saver.hwnd, WM_SYSCOMMAND, SC_CLOSE)
        verify = f"verify hwnd={saver.hwnd} running=1"
        self.wait_logged(verify)
        xdo("mousemove", 500, 300)
        key(saver.hwnd, "b")
        self.wait_logged("answer refuse")
        self.assertTrue(saver.stays())
        self.assertEqual(probe_value("cursor"), "0")
        # The reference point is where the cursor was at the refusal: this is no move of 5.
        xdo("mousemove", 502, 302)
        self.assertTrue(saver.stays())
        self.assertEqual(self.logged().count(verify), 1)
        # Armed, AutoPlay is cancelled and the saver closes through the check.
        Path(self.control).write_text("accept")
        self.assertEqual(send(saver.hwnd, "QueryCancelAutoPlay"), 1)
        self.assertEqual(saver.wait(), 0)
        self.assertEqual(self.logged(), ["load running=0", verify, "answer refuse", verify, "answer accept",
                                         "unload running=1"])
        self.assertEqual(probe_value("running"), "0")

    def test_mode_a_asks_the_router_to_change_the_password_and_does_nothing_without_it(self):
        owner, foreground = self.host(), self.host()
        program = self.install(FAST98, stubs=("MPR.DLL",))
        env = {**self.env, "WINEDLLOVERRIDES": "mpr=n,b"}
        self.assertEqual(self.start(["/a", str(owner.hwnd)], program=program, env=env).wait(), 0)
        ready(foreground.hwnd, "front", front=True)
        self.assertEqual(self.start(["/a"], program=program, env=env).wait(), 0)
        self.assertEqual(self.logged(), [f"change provider=SCRSAVE owner={owner.hwnd} flags=0 reserved=0",
                                         f"change provider=SCRSAVE owner={foreground.hwnd} flags=0 reserved=0"])
        os.remove(os.path.join(self.scratch, "MPR.DLL"))
        self.assertEqual(self.start(["/a"], program=program, env={"WINEDLLOVERRIDES": "mpr="}).wait(), 0)

    def test_a_crash_switches_the_running_state_off_and_ends_the_process(self):
        set_password_flag(1)
        program = self.install("Crash98.exe", os.path.join(BUILD, "tests", "test_saver.exe"), ("PASSWORD.CPL",))
        self.assertEqual(self.start(["/s"], program=program, env=self.env).wait(), 255)  # -1
        self.assertEqual(probe_value("running"), "0")
        self.assertEqual(self.logged(), ["load running=0", "unload running=0"])


if __name__ == "__main__":
    unittest.main()
