"""Install locations, checked before anything is made, in the window and with /S: locations Windows
cannot use, and one whose program folder the ANSI code page of config.ini cannot hold.

The code page is pinned to Windows-1252 (Wine derives it from the locale), which lacks the "c" with a
caron of "Racunovodstvo" but has the "Z" with a caron of "Zika". Wine gives every folder on its unix
drives an ASCII short name, so a folder that exists takes the short form in config.ini; a folder yet
to be made has no short form before it exists, and the location is refused.
"""
import os
import shutil
import sys
import unittest

os.environ["LC_ALL"] = "C.UTF-8"  # before the harness copies the environment: Wine's code page 1252

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from install_env import (SUCCESS, LAYERS_KEY, Prefix, SetupRuns, access_log, assert_same_file, https_port,  # noqa: E402
                         sample_files, sample_root)

FAILED = "Instalacija nije uspela."
HEADING = "Lokacija za instalaciju ne moze da se koristi: "
TRAILING = "naziv se zavrsava tackom ili razmakom."
UNUSABLE = {
    "C:\\con\\": 'Deo putanje "con": rezervisan naziv uredjaja.',
    "C:\\a.\\": f'Deo putanje "a.": {TRAILING}',
    "C:\\a \\b\\": f'Deo putanje "a ": {TRAILING}',
    "Programi\\Zunor\\": "Upisite punu putanju, sa slovom diska (C:\\...) ili mreznu (\\\\server\\...).",
}
ACCOUNTING = "C:\\Ra\u010dunovodstvo \u017dika\\"
ACCOUNTING_REFUSED = (HEADING + ACCOUNTING + "\n"
                      "Podesavanja programa ne mogu tacno da zapisu ove znakove: \u010d\n"
                      "Izaberite fasciklu bez njih, na primer: C:\\Racunovodstvo \u017dika\\")
SHORT_NOTE = "Putanja programa je u podesavanjima i precicama upisana u kratkom obliku: "
RUN_TIMEOUT_MS = 180000


class LocationTest(SetupRuns, unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.ids = harness.control_ids()
        cls.prefix = Prefix()
        cls.port = https_port()
        cls.server = f"https://localhost:{cls.port}"
        acp = cls.prefix.wininfo("system").get("acp")
        if acp != "1252":
            raise harness.HarnessError(f"Wine's ANSI code page is {acp}, not 1252, under LC_ALL=C.UTF-8")
        # A relative location would land in the current folder of the installer, which is this one.
        cls.work = os.path.join(harness.build_dir(), "e2e-locations")
        shutil.rmtree(cls.work, ignore_errors=True)
        os.makedirs(cls.work)
        os.chdir(cls.work)
        cls.logs = os.path.join(harness.build_dir(), "e2e-logs")
        os.makedirs(cls.logs, exist_ok=True)

    def setUp(self):
        self.prefix.clean_slate()
        for folder in ("C:\\con", "C:\\a", "C:\\a ", "C:\\a.", ACCOUNTING):
            shutil.rmtree(self.prefix.host(folder), ignore_errors=True)

    def state(self):
        """What a run could change: every path under C:\\ outside the system and profile folders (the
        desktop included), the program group, the compatibility marks, this folder, the server's log."""
        drive = self.prefix.drive_c
        paths = set()
        for root, dirs, files in os.walk(drive):
            if root == drive:
                dirs[:] = [d for d in dirs if d not in ("windows", "users")]
            paths.update(os.path.relpath(os.path.join(root, n), drive) for n in dirs + files)
        return (paths, sorted(os.listdir(self.prefix.desktop)), os.path.exists(self.prefix.group_folder),
                self.prefix.reg_values(LAYERS_KEY), sorted(os.listdir(self.work)), len(access_log(self.port)))

    def start_window(self, driver, *args):
        harness.start_setup(driver, *args)
        driver.click(self.ids["CHECK3"])
        harness.wait_until(lambda: driver.enabled(self.ids["COMMAND3"]), what="Dalje enabled")

    def press_next(self, driver, location):
        """Types location, presses "Dalje" and returns the message box's text (left open)."""
        driver.set_text(self.ids["TEXT2"], location)
        driver.click(self.ids["COMMAND3"])
        driver.wait_message_box(RUN_TIMEOUT_MS)
        self.assertEqual(driver.message_caption(), harness.APP_TITLE)
        return driver.message_text().replace("\r\n", "\n")

    def assert_refused_in_the_window(self, driver, location, message, screenshot=None):
        before = self.state()
        self.assertEqual(self.press_next(driver, location), message)
        if screenshot:
            harness.screenshot(screenshot)
        driver.message_ok()
        self.assertEqual(driver.text(self.ids["COMMAND2"]), "Odustani")
        self.assertTrue(driver.enabled(self.ids["COMMAND3"]))
        self.assertEqual(self.state(), before, "a refused location changed something")

    def assert_refused_with_s(self, location, message):
        log = self.log_file("location-refused.log")
        before = self.state()
        code, out = self.setup("/S", f"/SERVER={self.server}", f"/LOG={harness.windows_path(log)}",
                               f"/D={location}")
        self.assertEqual(code, 3, out)
        self.assertIn(message + "\n", out)
        self.assertEqual(out.strip().splitlines()[-1], FAILED)
        logged = message.replace("\n", "\n    ")  # the log indents an entry's further lines
        self.assertIn(f" location {logged}\n", self.read_log(log))
        self.assertEqual(self.state(), before, "a refused location changed something")

    # Locations Windows cannot use.

    def test_unusable_locations_with_s_stop_with_the_message_and_change_nothing(self):
        for location, why in UNUSABLE.items():
            with self.subTest(location=location):
                self.assert_refused_with_s(location, HEADING + location + "\n" + why)

    def test_unusable_locations_in_the_window_can_be_corrected(self):
        driver = harness.UiDriver()
        try:
            # An unreachable server: a location let through would still make its folders.
            self.start_window(driver, "/SERVER=https://localhost:1")
            for location, why in UNUSABLE.items():
                with self.subTest(location=location):
                    shot = "location-device-name-message.png" if location == "C:\\con\\" else None
                    self.assert_refused_in_the_window(driver, location, HEADING + location + "\n" + why, shot)
            # Corrected, the same window goes on with the run, up to the server it cannot reach.
            text = self.press_next(driver, "C:\\Program Files\\Brantovik\\")
            self.assertIn("Spisak datoteka nije preuzet sa servera.", text)
            self.assertTrue(os.path.isdir(self.prefix.host("C:\\Program Files\\Brantovik\\zunor2021\\DATA")))
            driver.message_ok()
            self.assertEqual(driver.wait_exit(30000), 3)
        finally:
            driver.kill()
            driver.close()

    # A location the ANSI code page cannot hold.

    def test_new_folder_the_code_page_cannot_hold_is_refused_in_both_modes(self):
        self.assert_refused_with_s(ACCOUNTING, ACCOUNTING_REFUSED)
        driver = harness.UiDriver()
        try:
            self.start_window(driver, f"/SERVER={self.server}")
            self.assert_refused_in_the_window(driver, ACCOUNTING, ACCOUNTING_REFUSED, "location-code-page-message.png")
        finally:
            driver.kill()
            driver.close()

    def assert_installed_by_short_form(self, log):
        """config.ini, the shortcuts and the log name the existing folder by its short form."""
        program = ACCOUNTING + "zunor2021"
        with open(self.prefix.host(program + "\\config.ini"), "rb") as f:
            ini = f.read().replace(b"\r\n", b"\n").strip()
        head, _, value = ini.partition(b"\nPROGRAM_BAZE_FASCIKLA=")
        self.assertEqual(head, b"[Zunor]")
        short = value.decode("ascii")
        self.assertIn("~", short)
        self.assertEqual(self.prefix.long_path(short), program, "config.ini names no existing folder")
        for name in sample_files():
            if name != "firme.mdb" and not name.endswith(".rar"):
                assert_same_file(self, os.path.join(sample_root(), name),
                                 os.path.join(self.prefix.host(program), name))
        target, workdir = self.prefix.shortcut(os.path.join(self.prefix.desktop, "Brantovik ZUNOR 2021.lnk"))
        self.assertEqual((target, workdir), (short + "\\Zunor2021VK.exe", short + "\\"))
        self.assertEqual(self.prefix.long_path(target), program + "\\Zunor2021VK.exe")
        text = self.read_log(log)
        # The compatibility marks keep the long form: the registry is Unicode ("reg query" is not).
        self.assertIn(f" layer {program}\\Zunor2021VK.exe: written\n", text)
        self.assertIn(f"PROGRAM_BAZE_FASCIKLA={short} (short form of {program})", text)
        self.assertIn(f" report {SHORT_NOTE}{short}\n", text)
        return short

    def test_existing_folder_the_code_page_cannot_hold_takes_its_short_form_in_both_modes(self):
        os.makedirs(self.prefix.host(ACCOUNTING))
        log = self.log_file("location-short-s.log")
        code, out = self.setup("/S", f"/SERVER={self.server}", f"/LOG={harness.windows_path(log)}",
                               f"/D={ACCOUNTING}")
        self.assertEqual(code, 0, out)
        short = self.assert_installed_by_short_form(log)
        self.assertIn(f"{SUCCESS}\n\n{SHORT_NOTE}{short}\n", out)

        self.prefix.clean_slate()
        shutil.rmtree(self.prefix.host(ACCOUNTING + "zunor2021"))
        log = self.log_file("location-short-window.log")
        driver = harness.UiDriver()
        try:
            self.start_window(driver, f"/SERVER={self.server}", f"/LOG={harness.windows_path(log)}")
            text = self.press_next(driver, ACCOUNTING)
            harness.screenshot("location-short-form-message.png")
            self.assertEqual(text, f"{SUCCESS}\n\n{SHORT_NOTE}{short}")
            driver.message_ok()
            self.assertEqual(self.assert_installed_by_short_form(log), short)
        finally:
            driver.kill()
            driver.close()


if __name__ == "__main__":
    unittest.main(verbosity=2)
