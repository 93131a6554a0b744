"""The command line picks the mode; the mode's result is the exit code."""

import os
import unittest

from harness import SaverTestCase, point_at, probe, run_to_end, wait_window, window_info, winpath, xdo

DIALOG_TITLE = "Vistel - The JPEG/BMP Screen Saver"
FAILED = 255  # -1 as the shell sees it


class Refusals(SaverTestCase):
    def test_unknown_modes_and_bad_preview_hosts_end_at_once_with_minus_one(self):
        missing = 99999
        self.assertEqual(window_info(missing)["exists"], "0")
        for args in (["/x"], ["/?"], ["/1"], ["/p"], ["/p", "0"], ["/p", str(missing)], ["/l"]):
            with self.subTest(args=args):
                self.assertEqual(run_to_end(args), FAILED)

    def test_a_colon_after_p_stops_the_handle(self):
        host = self.host()
        self.assertEqual(run_to_end([f"/p:{host.hwnd}"]), FAILED)

    def test_change_password_is_refused_outside_windows_9x(self):
        host = self.host()
        self.assertEqual(run_to_end(["/a", str(host.hwnd)]), FAILED)

    def test_control_bytes_and_high_bytes_before_the_letter_are_refused(self):
        program = '"' + winpath(self.install()) + '"'
        for tail in ("/\ts", "/\x01s", "/\u00e9", "\u00e9s"):
            with self.subTest(tail=repr(tail)):
                saver = self.start([], command_line=f"{program} {tail}")
                self.assertEqual(saver.wait(), FAILED)


class SaverSpellings(SaverTestCase):
    def check_runs_full_screen(self, command_line):
        saver = self.start([], command_line=command_line)
        saver.wait_window()
        xdo("key", "a")
        self.assertEqual(saver.wait(), 0)

    def test_slashes_dashes_and_blanks_may_stand_before_the_letter(self):
        program = winpath(self.install())
        for tail in ("/s", "-S", "s", "/ -/s", "/s 1234", "\t /s"):
            with self.subTest(tail=repr(tail)):
                self.check_runs_full_screen(f"{program} {tail}")

    def test_a_quoted_program_path_with_blanks_is_skipped_whole(self):
        folder = os.path.join(self.scratch, "with blanks")
        os.mkdir(folder)
        program = '"' + winpath(self.install(os.path.join("with blanks", "Vistel.scr"))) + '"'
        self.check_runs_full_screen(f"{program}/s")
        saver = self.start([], command_line=f"{program} /x")
        self.assertEqual(saver.wait(), FAILED)


class PreviewSpellings(SaverTestCase):
    def test_p_and_l_with_or_without_blank_run_the_preview_in_the_host(self):
        for spelling in ("/p {}", "/p{}", "/l {}", "-P  {}"):
            with self.subTest(spelling=spelling):
                host = self.host()
                saver = self.start(spelling.format(host.hwnd).split())
                child = saver.wait_window("Preview", parent=host.hwnd)
                self.assertEqual(window_info(child)["parent"], str(host.hwnd))
                host.close()
                self.assertEqual(saver.wait(), 0)


class ConfigureMode(SaverTestCase):
    def open_dialog(self, args):
        saver = self.start(args)
        dialog = wait_window("#32770", DIALOG_TITLE)
        self.assertTrue(dialog, "the settings dialog did not open")
        point_at(dialog)
        return saver, window_info(dialog)

    def test_no_mode_opens_the_dialog_without_owner_and_ok_ends_with_one(self):
        saver, info = self.open_dialog([])
        self.assertEqual(info["owner"], "0")
        xdo("key", "Return")
        self.assertEqual(saver.wait(), 1)

    def test_c_with_colon_names_the_owner_and_cancel_ends_with_two(self):
        owner, other = self.host(), self.host()
        probe("front", other.hwnd)
        saver, info = self.open_dialog([f"/c:{owner.hwnd}"])
        self.assertEqual(info["owner"], str(owner.hwnd))
        xdo("key", "Escape")
        self.assertEqual(saver.wait(), 2)

    def test_c_without_a_usable_handle_takes_the_foreground_window(self):
        foreground, other = self.host(), self.host()
        for args in (["/c"], ["/c", str(other.hwnd)], ["/c:abc"], ["/c:0"], ["/c:99999"]):
            with self.subTest(args=args):
                probe("front", foreground.hwnd)
                saver, info = self.open_dialog(args)
                self.assertEqual(info["owner"], str(foreground.hwnd))
                xdo("key", "Escape")
                self.assertEqual(saver.wait(), 2)


if __name__ == "__main__":
    unittest.main()
