"""The screen-saver password on the Windows 95/98 family, through stand-ins
for the system's password services that log every call; and none of it on
the other platforms."""

import os
import time
import unittest

from harness import (SaverTestCase, SC_CLOSE, WM_SYSCOMMAND, BUILD, post, probe, probe_value, run_to_end,
                     saver_running_state, send, set_password_flag, set_windows_version, winpath, xdo)

WIN98_SAVER = "Vistel98.scr"


class PasswordTestCase(SaverTestCase):
    @classmethod
    def setUpClass(cls):
        set_windows_version(WIN98_SAVER, "win98")
        set_windows_version("Crash98.exe", "win98")

    def setUp(self):
        super().setUp()
        self.log = os.path.join(self.scratch, "stub.log")
        self.control = os.path.join(self.scratch, "stub.control")
        self.env = {"VISTEL_STUB_LOG": winpath(self.log), "VISTEL_STUB_CONTROL": winpath(self.control)}
        self.answer("refuse")

    def tearDown(self):
        super().tearDown()
        set_password_flag(None)
        probe("running", 0)  # a failed test leaves the next one a clean state

    def answer(self, text):
        with open(self.control, "w") as control:
            control.write(text)

    def logged(self):
        if not os.path.exists(self.log):
            return []
        with open(self.log) as log:
            return log.read().splitlines()

    def verifications(self):
        return [line for line in self.logged() if line.startswith("verify")]

    def wait_logged(self, line, timeout=20.0):
        deadline = time.monotonic() + timeout
        while line not in self.logged():
            if time.monotonic() > deadline:
                self.fail(f"the stand-in never logged {line!r}; it logged {self.logged()}")
            time.sleep(0.05)

    def start_win98(self, stubs=("PASSWORD.CPL",), env=None):
        program = self.install(WIN98_SAVER, stubs=stubs)
        saver = self.start(["/s"], program=program, env={**self.env, **(env or {})})
        saver.wait_window()
        return saver


class OtherPlatforms(PasswordTestCase):
    def test_nt_loads_no_password_module_and_closes_at_once(self):
        set_password_flag(1)
        program = self.install("Vistel.scr", stubs=("PASSWORD.CPL",))
        saver = self.start(["/s"], program=program, env=self.env)
        saver.wait_window()
        self.assertEqual(saver_running_state(), 0)
        xdo("key", "a")
        self.assert_closes(saver)
        self.assertEqual(self.logged(), [])
        self.assertEqual(run_to_end(["/a"], program=program), 255)


class ProtectionOff(PasswordTestCase):
    def test_without_the_flag_a_key_closes_without_a_dialog(self):
        for flag in (None, 0):
            with self.subTest(flag=flag):
                set_password_flag(flag)
                saver = self.start_win98()
                self.assertEqual(saver_running_state(), 0)
                xdo("key", "a")
                self.assert_closes(saver)
                self.assertEqual(self.logged(), [])

    def test_a_missing_module_or_export_leaves_the_check_off(self):
        set_password_flag(1)
        saver = self.start_win98(stubs=())
        xdo("key", "a")
        self.assert_closes(saver)

        # A module without "VerifyScreenSavePwd" is released again.
        os.rename(os.path.join(self.scratch, "Vistel98.scr"), os.path.join(self.scratch, "old.scr"))
        program = self.install(WIN98_SAVER, stubs=("MPR.DLL",))
        os.rename(os.path.join(self.scratch, "MPR.DLL"), os.path.join(self.scratch, "PASSWORD.CPL"))
        saver = self.start(["/s"], program=program, env=self.env)
        saver.wait_window()
        self.assertEqual(saver_running_state(), 0)
        xdo("key", "a")
        self.assert_closes(saver)


class ProtectionOn(PasswordTestCase):
    def setUp(self):
        super().setUp()
        set_password_flag(1)

    def test_the_right_password_closes_and_the_running_state_spans_the_check(self):
        self.answer("accept")
        saver = self.start_win98()
        self.assertEqual(saver_running_state(), 1)
        xdo("key", "a")
        self.assert_closes(saver)
        self.assertEqual(self.logged(), ["load running=0", f"verify hwnd={saver.hwnd} running=1", "answer accept",
                                         "unload running=1"])
        self.assertEqual(saver_running_state(), 0)

    def test_a_refusal_keeps_the_saver_with_hidden_cursor_and_a_new_reference_point(self):
        self.answer("refuse hold=2000 close")
        saver = self.start_win98()
        xdo("key", "a")
        self.wait_logged(f"verify hwnd={saver.hwnd} running=1")
        # While the dialog is open input closes nothing and a close request
        # (the stand-in posts one) opens no second dialog.
        xdo("mousemove", 500, 300)
        xdo("key", "b")
        self.wait_logged("answer refuse")
        self.assertTrue(saver.stays())
        self.assertEqual(len(self.verifications()), 1)
        cursor = dict(line.split("=", 1) for line in probe("cursor"))
        self.assertEqual(cursor["cursor"], "0")

        # The reference point is where the cursor was at the refusal.
        time.sleep(0.5)
        xdo("mousemove", 502, 302)
        self.assertTrue(saver.stays())
        self.answer("accept")
        xdo("mousemove", 503, 302)
        self.assert_closes(saver)
        self.assertEqual(len(self.verifications()), 2)

    def test_a_close_right_after_a_refusal_is_refused_without_a_dialog(self):
        # The stand-in posts a close just before it refuses: that close
        # arrives well within the spacing after the dialog ended.
        self.answer("refuse close")
        saver = self.start_win98()
        xdo("key", "a")
        self.wait_logged("answer refuse")
        self.assertTrue(saver.stays())
        self.assertEqual(len(self.verifications()), 1)
        self.answer("accept")
        xdo("key", "a")
        self.assert_closes(saver)
        self.assertEqual(len(self.verifications()), 2)

    def test_the_close_command_goes_through_the_check(self):
        saver = self.start_win98()
        post(saver.hwnd, WM_SYSCOMMAND, SC_CLOSE)
        self.wait_logged("answer refuse")
        self.assertTrue(saver.stays())


class AutoPlay(PasswordTestCase):
    def setUp(self):
        super().setUp()
        self.query = int(probe_value("register", "QueryCancelAutoPlay"))

    def test_while_armed_autoplay_is_cancelled_and_the_saver_closes_through_the_check(self):
        set_password_flag(1)
        self.answer("accept")
        saver = self.start_win98()
        self.assertEqual(send(saver.hwnd, self.query), 1)
        self.assert_closes(saver)
        self.wait_logged("answer accept")

    def test_unarmed_autoplay_proceeds_and_the_saver_closes(self):
        saver = self.start_win98()
        self.assertEqual(send(saver.hwnd, self.query), 0)
        self.assert_closes(saver)

    def test_other_platforms_do_not_answer_autoplay(self):
        saver = self.start(["/s"])
        saver.wait_window()
        self.assertEqual(send(saver.hwnd, self.query), 0)
        self.assertTrue(saver.stays())


class ChangePassword(PasswordTestCase):
    def test_mode_a_asks_the_system_to_change_the_screen_saver_password(self):
        owner, foreground = self.host(), self.host()
        program = self.install(WIN98_SAVER, stubs=("MPR.DLL",))
        env = {**self.env, "WINEDLLOVERRIDES": "mpr=n,b"}
        self.assertEqual(run_to_end(["/a", str(owner.hwnd)], program=program, env=env), 0)
        probe("front", foreground.hwnd)
        self.assertEqual(run_to_end(["/a"], program=program, env=env), 0)
        self.assertEqual(self.logged(), [f"change provider=SCRSAVE owner={owner.hwnd} flags=0 reserved=0",
                                         f"change provider=SCRSAVE owner={foreground.hwnd} flags=0 reserved=0"])

    def test_without_the_router_mode_a_does_nothing_and_succeeds(self):
        program = self.install(WIN98_SAVER)
        self.assertEqual(run_to_end(["/a"], program=program, env={"WINEDLLOVERRIDES": "mpr="}), 0)


class ExceptionGuard(PasswordTestCase):
    def test_a_crash_switches_the_running_state_off_and_ends_the_process(self):
        set_password_flag(1)
        program = self.install("Crash98.exe", source=os.path.join(BUILD, "tests", "crashing_saver.exe"),
                               stubs=("PASSWORD.CPL",))
        self.assertEqual(run_to_end(["/s"], program=program, env=self.env), 255)
        self.assertEqual(saver_running_state(), 0)
        self.assertEqual(self.logged(), ["load running=0", "unload running=0"])


if __name__ == "__main__":
    unittest.main()
