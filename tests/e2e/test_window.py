#!/usr/bin/env python3
"""The installer's window under Wine and Xvfb, driven through the UI driver: its controls as it opens,
the keyboard, the agreement gate, cancel and finish, the close box."""
import os
import shutil
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from harness import APP_TITLE, WINDOW_CAPTION, wait_until, windows_path  # noqa: E402

IDS = harness.control_ids()
PRODUCT = "Zunor2021VK.exe"

# name: (caption, visible, enabled, (left, top, width, height) in twips)
INITIAL = {
    "LABEL1": ("Dobro dosli u instalaciju programa Zunor 2021", True, True, (420, 360, 7380, 465)),
    "COMMAND2": ("Odustani", True, True, (5880, 5760, 1680, 465)),
    "COMMAND3": ("Dalje", True, False, (4260, 5745, 1410, 465)),
    "LABEL2": ("Lokacija za instalaciju:", True, True, (465, 1035, 2490, 285)),
    "TEXT2": ("C:\\Program Files\\Brantovik\\", True, True, (465, 1530, 6090, 375)),
    "COMMAND4": ("...", True, True, (6675, 1485, 600, 420)),
    "LABEL4": ("", True, True, (540, 3180, 6720, 285)),
    "FILE4": ("", True, True, (18855, 720, 2715, 5160)),
    "CHECK1": ("Kreiraj desktop precice", True, True, (465, 2025, 3390, 240)),
    "CHECK2": ("Kreiraj programsku grupu", True, True, (465, 2340, 3390, 240)),
    "TEXT1": (None, True, True, (420, 780, 7485, 4215)),
    "CHECK3": ("Prihvatam uslove iz licensnog ugovora", True, True, (420, 5160, 6840, 420)),
    "PICTURE1": ("", False, True, (480, 3660, 6855, 435)),
    "CHECK4": ("Pokreni program posle instalacije", True, True, (465, 2700, 6690, 240)),
}
INITIAL_CHECKS = {"CHECK1": 1, "CHECK2": 1, "CHECK3": 0, "CHECK4": 1}


def px(twips):
    return twips / 15  # 96 dpi


class WindowTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.driver = harness.UiDriver()

    @classmethod
    def tearDownClass(cls):
        cls.driver.close()

    def setUp(self):
        self.d = self.driver
        self.work = os.path.join(harness.build_dir(), "e2e-window", self._testMethodName)
        shutil.rmtree(self.work, ignore_errors=True)
        os.makedirs(self.work)
        harness.start_setup(self.d)

    def tearDown(self):
        self.d.kill()

    # Helpers.
    def id(self, name):  # noqa: A003 - the control's ID, not the test's
        return IDS[name]

    def accept_agreement(self):
        self.d.click(self.id("CHECK3"))
        wait_until(lambda: not self.d.visible(self.id("CHECK3")), what="the gate")  # its last step

    def place_product(self, location_folder, joined_prefix=None):
        """Puts the launch probe where finishing looks for the product; returns the product's folder."""
        folder = (joined_prefix or os.path.join(location_folder, "")) + "zunor2021"
        os.makedirs(folder, exist_ok=True)
        shutil.copy(os.path.join(harness.build_dir(), "tools", "launch_probe.exe"), os.path.join(folder, PRODUCT))
        return folder

    def started_record(self, folder):
        path = os.path.join(folder, "started.txt")
        wait_until(lambda: os.path.exists(path), timeout=20, what="the product to start")
        with open(path, encoding="utf-8") as f:
            return dict(line.split("=", 1) for line in f.read().splitlines())

    def assert_not_started(self, folder):
        # The program has ended; had it started the product, the product would still run or would
        # have left its record (written before it ends), so checking in this order cannot miss it.
        self.assertFalse(self.d.process_running(PRODUCT), "the product was started")
        self.assertFalse(os.path.exists(os.path.join(folder, "started.txt")), "the product was started")

    def finish_state(self, location):
        """Where the run leaves the window: past the gate, Command2 reading "Zavrsi"."""
        self.accept_agreement()
        self.d.set_text(self.id("TEXT2"), location)
        self.d.set_text(self.id("COMMAND2"), "Zavrsi")

    def snapshot(self):
        state = {}
        for name in INITIAL:
            i = self.id(name)
            text = self.d.text(i) if name != "TEXT1" else len(self.d.text(i))
            state[name] = (text, self.d.visible(i), self.d.enabled(i), self.d.rect(i))
        state["checks"] = {n: self.d.checked(self.id(n)) for n in INITIAL_CHECKS}
        return state

    def tab_through(self, key, expected):
        for name in expected:
            self.d.key(key)
            want = self.id(name)
            try:
                wait_until(lambda: self.d.focus() == want, timeout=5, what=f"focus on {name}")
            except AssertionError:
                self.fail(f"{key}: focus went to {self.d.focus()}, expected {name} ({want})")

    # Tests.
    def test_window_opens_with_the_control_table(self):
        self.assertEqual(self.d.rect(0), (0, 0, 550, 439))  # 8250 x 6585 twips
        left, top, right, bottom = self.d.frame()
        width, height = self.d.screen_size()
        self.assertLessEqual(abs((left + right) - width), 2, "not centred horizontally")
        self.assertLessEqual(abs((top + bottom) - height), 2, "not centred vertically")
        for name, (caption, visible, enabled, (x, y, w, h)) in INITIAL.items():
            with self.subTest(control=name):
                i = self.id(name)
                if caption is not None:
                    self.assertEqual(self.d.text(i), caption)
                self.assertEqual(self.d.visible(i), visible)
                self.assertEqual(self.d.enabled(i), enabled)
                rect = self.d.rect(i)
                for got, want in zip(rect, (px(x), px(y), px(x + w), px(y + h))):
                    self.assertLessEqual(abs(got - want), 1, f"rectangle {rect}")
        for name, value in INITIAL_CHECKS.items():
            self.assertEqual(self.d.checked(self.id(name)), value, name)
        # The fill sits at the track's top-left corner, 15 twips wide.
        pl, pt, pr, pb = self.d.rect(self.id("PICTURE1"))
        cw, ch = self.d.client_size(self.id("PICTURE1"))
        border = ((pr - pl) - cw) // 2
        fl, ft, fr, fb = self.d.rect(self.id("LABEL3"))
        self.assertEqual((fl, ft), (pl + border, pt + border))
        self.assertEqual(fr - fl, 1)
        self.assertEqual(self.d.focus(), self.id("COMMAND2"))
        harness.screenshot("agreement.png")

    def test_agreement_text_reads_back_intact(self):
        text = self.d.text(self.id("TEXT1"))
        with open(os.path.join(harness.source_dir(), "assets", "ugovor.txt"), "rb") as f:
            self.assertEqual(text, f.read().decode("cp1250"))
        self.assertEqual(len(text), 10527)
        self.assertTrue(text.startswith("Ugovor o ustupanju softwera na kori[tenje\r\n\r\nČlan 1.\r\n"))
        self.assertTrue(text.endswith("\r\n"))
        self.assertNotIn("\n", text.replace("\r\n", ""))
        lines = text.split("\r\n")
        self.assertEqual([l for l in lines if l.startswith("Član")], [f"Član {n}." for n in range(1, 15)])
        for letter in "čćšžđČŠ":
            self.assertIn(letter, text)

    def test_enter_on_cancel_ends_the_program(self):
        self.assertEqual(self.d.focus(), self.id("COMMAND2"))
        self.d.key("enter")
        self.assertEqual(self.d.wait_exit(), 0)

    def test_space_on_the_acceptance_box_opens_the_gate(self):
        self.tab_through("shift+tab", ["CHECK4", "CHECK3"])
        self.d.key("space")
        wait_until(lambda: not self.d.visible(self.id("CHECK3")), what="the gate")
        self.assertFalse(self.d.visible(self.id("TEXT1")))
        self.assertTrue(self.d.enabled(self.id("COMMAND3")))
        self.assertEqual(self.d.checked(self.id("CHECK4")), 1)
        # The focus moves on to the next control the user can see.
        wait_until(lambda: self.d.focus() == self.id("CHECK4"), what="focus on Check4")

    def test_accepting_uncovers_the_options_in_one_click(self):
        self.d.click(self.id("CHECK3"))
        wait_until(lambda: not self.d.visible(self.id("CHECK3")), what="Check3 to hide")
        self.assertFalse(self.d.visible(self.id("TEXT1")))
        self.assertTrue(self.d.enabled(self.id("COMMAND3")))
        for name in ("LABEL2", "TEXT2", "COMMAND4", "CHECK1", "CHECK2", "CHECK4", "LABEL4"):
            self.assertTrue(self.d.visible(self.id(name)), name)
        self.assertEqual(self.d.text(self.id("LABEL4")), "")
        self.assertFalse(self.d.visible(self.id("PICTURE1")))
        self.assertEqual(self.d.text(self.id("COMMAND2")), "Odustani")
        harness.screenshot("options.png")

        # "..." does nothing. A later click on Check1 proves that the first one has been handled.
        before = self.snapshot()
        windows = self.d.window_count()
        self.d.click(self.id("COMMAND4"))
        self.d.click(self.id("CHECK1"))
        wait_until(lambda: self.d.checked(self.id("CHECK1")) == 0, what="Check1 to clear")
        after = self.snapshot()
        after["checks"]["CHECK1"] = 1
        self.assertEqual(after, before)
        self.assertEqual(self.d.window_count(), windows, "a window opened")

    def test_tab_order_follows_the_table(self):
        # File4 lies out of sight but is a tab stop; labels, the hidden track and disabled "Dalje" are not.
        self.tab_through("tab", ["TEXT2", "COMMAND4", "FILE4", "CHECK1", "CHECK2", "TEXT1", "CHECK3", "CHECK4",
                                 "COMMAND2"])
        self.accept_agreement()  # the click leaves the focus on Check4, the next visible stop
        wait_until(lambda: self.d.focus() == self.id("CHECK4"), what="focus on Check4")
        self.tab_through("tab", ["COMMAND2", "COMMAND3", "TEXT2", "COMMAND4", "FILE4", "CHECK1", "CHECK2", "CHECK4", "COMMAND2"])
        self.tab_through("shift+tab", ["CHECK4", "CHECK2", "CHECK1", "FILE4", "COMMAND4", "TEXT2", "COMMAND3",
                                       "COMMAND2"])

    def test_cancel_never_starts_the_product(self):
        folder = self.place_product(self.work)
        self.accept_agreement()
        self.d.set_text(self.id("TEXT2"), windows_path(self.work) + "\\")
        self.assertEqual(self.d.checked(self.id("CHECK4")), 1)
        self.d.click(self.id("COMMAND2"))
        self.assertEqual(self.d.wait_exit(), 0)
        self.assert_not_started(folder)

    # A product file this window's run did not place (none ran here) is never started: "Zavrsi" says so.
    # Started through the desktop shell after a real run: test_install and test_unattended.
    def test_finish_starts_only_what_the_run_placed(self):
        folder = self.place_product(self.work)
        location = windows_path(self.work) + "\\"
        self.finish_state(location)
        self.d.click(self.id("COMMAND2"))
        self.d.wait_message_box()
        self.assertEqual(self.d.message_caption(), APP_TITLE)
        self.assertEqual(self.d.message_text(), "Program nije pokrenut: ova instalacija ga nije postavila.\r\n"
                         "Datoteka: " + location + "zunor2021\\" + PRODUCT)
        self.d.message_ok()
        self.assertEqual(self.d.wait_exit(), 0)
        self.assert_not_started(folder)

    def test_finish_joins_a_location_without_backslash_as_it_stands(self):
        location = os.path.join(self.work, "loc")
        folder = self.place_product(self.work, joined_prefix=location)  # .../loczunor2021
        self.finish_state(windows_path(location))
        self.d.click(self.id("COMMAND2"))
        self.d.wait_message_box()
        self.assertTrue(self.d.message_text().endswith("Datoteka: " + windows_path(location) + "zunor2021\\" + PRODUCT))
        self.d.message_ok()
        self.assertEqual(self.d.wait_exit(), 0)
        self.assert_not_started(folder)

    def test_finish_without_check4_starts_nothing(self):
        folder = self.place_product(self.work)
        self.finish_state(windows_path(self.work) + "\\")
        self.assertEqual(harness.finish_without_product(self.d, IDS), 0)
        self.assert_not_started(folder)

    def test_finish_reports_a_product_that_cannot_start(self):
        location = windows_path(self.work) + "\\"
        self.finish_state(location)
        self.d.click(self.id("COMMAND2"))
        self.d.wait_message_box()
        self.assertEqual(self.d.message_caption(), APP_TITLE)
        first, second = self.d.message_text().split("\r\n")
        self.assertEqual(first, "Program nije pokrenut: ova instalacija ga nije postavila.")
        self.assertEqual(second, "Datoteka: " + location + "zunor2021\\" + PRODUCT)
        self.d.message_ok()
        self.assertEqual(self.d.wait_exit(), 0)

    def test_close_box_ends_without_starting_the_product(self):
        self.d.close_box()
        self.assertEqual(self.d.wait_exit(), 0)
        self.assertFalse(self.d.window_exists(WINDOW_CAPTION))

        harness.start_setup(self.d)
        folder = self.place_product(self.work)
        self.finish_state(windows_path(self.work) + "\\")
        self.d.close_box()
        self.assertEqual(self.d.wait_exit(), 0)
        self.assert_not_started(folder)


if __name__ == "__main__":
    unittest.main(verbosity=2)
