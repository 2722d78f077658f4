"""The whole installation through the real window: the sample product from the local Apache (fancy and
plain index), what lands where, what is never requested, the settings file, the compatibility marks,
the shortcuts, the closing messages and "Zavrsi"."""
import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from install_env import (copy_docroot, SUCCESS, ARCHIVES, DEFAULT_LOCATION, LAYERS_KEY, SAMPLE_KEY, Apache, Prefix,  # noqa: E402
                         access_log, assert_same_file, https_port, sample_files, sample_root)

INCOMPLETE = "Instalacija programa nije u potpunosti zavrsena."
MARK = "~ RUNASADMIN WINXPSP3"
RUN_TIMEOUT_MS = 180000


class InstallTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.ids = harness.control_ids()
        cls.prefix = Prefix()
        cls.port = https_port()

    def setUp(self):
        self.prefix.clean_slate()
        self.driver = harness.UiDriver()

    def tearDown(self):
        try:
            self.driver.kill()
        except harness.DriverError:
            pass
        self.driver.close()
        self.prefix.kill_product()

    def id(self, name):  # noqa: A003 - a control's ID
        return self.ids[name]

    def server(self, port=None):
        return f"https://localhost:{port or self.port}"

    def click_through(self, *args, location=None, untick=()):
        """Starts the installer, accepts, sets the options, presses "Dalje" and returns the closing
        message's text (the message box is left open)."""
        harness.start_setup(self.driver, *args)
        self.driver.click(self.id("CHECK3"))
        harness.wait_until(lambda: self.driver.enabled(self.id("COMMAND3")), what="Dalje enabled")
        if location is not None:
            self.driver.set_text(self.id("TEXT2"), location)
        for name in untick:
            self.driver.click(self.id(name))
            harness.wait_until(lambda: self.driver.checked(self.id(name)) == 0, what=f"{name} cleared")
        self.driver.click(self.id("COMMAND3"))
        self.driver.wait_message_box(RUN_TIMEOUT_MS)
        self.assertEqual(self.driver.message_caption(), harness.APP_TITLE)
        return self.driver.message_text()

    def program_folder(self, location=DEFAULT_LOCATION):
        return self.prefix.host(location + "zunor2021")

    def assert_product_installed(self, location=DEFAULT_LOCATION, keep_database=None):
        program = self.program_folder(location)
        for name in sample_files():
            if name in ARCHIVES:
                self.assertFalse(os.path.exists(os.path.join(program, name)), f"{name} was installed")
            elif name == "firme.mdb" and keep_database is not None:
                with open(os.path.join(program, name), "rb") as f:
                    self.assertEqual(f.read(), keep_database, "the user's firme.mdb was changed")
            else:
                assert_same_file(self, os.path.join(sample_root(), name), os.path.join(program, name))
        for name in sample_files("TEMPLATE"):
            assert_same_file(self, os.path.join(sample_root("TEMPLATE"), name),
                             os.path.join(program, "TEMPLATE", name))
        self.assertTrue(os.path.isdir(os.path.join(program, "DATA")))
        records = self.prefix.reg_values(SAMPLE_KEY) or {}
        for name in sample_files("SUPORT"):
            assert_same_file(self, os.path.join(sample_root("SUPORT"), name),
                             os.path.join(self.prefix.system_dir, name))
            self.assertEqual(records.get(name), "registered", f"{name} did not register itself")
        for listing in ("sdown.ini", "pdown.ini", "tdown.ini"):
            self.assertTrue(os.path.isfile(os.path.join(program, listing)), listing)

    def assert_requests_clean(self, port):
        """Only the three listings and the listed files were requested: no archive, sort link,
        parent folder or sub-folder link."""
        paths = [p for p, _ in access_log(port)]
        self.assertTrue(paths, "the server saw no request")
        for path in paths:
            self.assertTrue(path.startswith("/zunor"), f"request outside /zunor: {path}")
            self.assertNotIn("?", path, f"sort link requested: {path}")
            for archive in ARCHIVES:
                self.assertFalse(path.endswith(archive), f"archive requested: {path}")
        for folder in ("/zunor/SUPORT/", "/zunor/TEMPLATE/"):
            # A sub-folder is only reached through its listing's redirect, never as a file link.
            self.assertLessEqual(paths.count(folder), 1, f"{folder} requested as a file")

    def test_full_install_from_fancy_index_then_finish_starts_the_product(self):
        user_db = b"podaci korisnika\x00\x01\x02"
        os.makedirs(self.program_folder())
        with open(os.path.join(self.program_folder(), "firme.mdb"), "wb") as f:
            f.write(user_db)
        log_path = os.path.join(harness.build_dir(), "e2e-install-window.log")
        if os.path.exists(log_path):
            os.remove(log_path)
        start = len(access_log(self.port))

        text = self.click_through(f"/SERVER={self.server()}", f"/LOG={harness.windows_path(log_path)}")
        harness.screenshot("install-success-message.png")
        self.assertEqual(text, SUCCESS)
        self.driver.message_ok()
        self.assertFalse(self.driver.enabled(self.id("COMMAND3")))
        self.assertEqual(self.driver.text(self.id("COMMAND2")), "Zavrsi")
        self.assertFalse(self.driver.visible(self.id("PICTURE1")))
        self.assertFalse(self.driver.visible(self.id("LABEL4")))
        harness.screenshot("install-finished.png")

        self.assert_product_installed(keep_database=user_db)
        self.assert_requests_clean_since(start)
        with open(os.path.join(self.program_folder(), "config.ini"), "rb") as f:
            ini = f.read()
        self.assertEqual(ini.replace(b"\r\n", b"\n").strip(),
                         b"[Zunor]\nPROGRAM_BAZE_FASCIKLA=C:\\Program Files\\Brantovik\\zunor2021")
        layers = self.prefix.reg_values(LAYERS_KEY)
        for exe in ("Zunor2021VK.exe", "updater.exe"):
            self.assertEqual(layers.get(DEFAULT_LOCATION + "zunor2021\\" + exe), MARK, exe)
        target = DEFAULT_LOCATION + "zunor2021\\Zunor2021VK.exe"
        for lnk in (os.path.join(self.prefix.desktop, "Brantovik ZUNOR 2021.lnk"),
                    os.path.join(self.prefix.group_folder, "ZUNOR.lnk")):
            self.assertTrue(os.path.isfile(lnk), f"{lnk} missing")
            self.assertEqual(self.prefix.shortcut(lnk), (target, DEFAULT_LOCATION + "zunor2021\\"))
        with open(log_path, encoding="utf-8") as f:
            log = f.read()
        self.assertIn(self.server() + "/zunor/SUPORT", log)
        self.assertIn(SUCCESS, log)

        self.assertEqual(self.driver.checked(self.id("CHECK4")), 1)
        self.driver.click(self.id("COMMAND2"))
        self.assertEqual(self.driver.wait_exit(30000), 0)
        harness.wait_until(lambda: self.driver.window_exists("Zunor 2021"), timeout=30,
                           what="the product's window")
        harness.screenshot_when_drawn("product-started.png")
        self.prefix.started_by_shell(self, DEFAULT_LOCATION + "zunor2021")

    def assert_requests_clean_since(self, start):
        entries = access_log(self.port)[start:]
        paths = [p for p, _ in entries]
        self.assertTrue(paths)
        for path in paths:
            self.assertTrue(path.startswith("/zunor"), path)
            self.assertNotIn("?", path)
            self.assertFalse(any(path.endswith(a) for a in ARCHIVES), path)
        for name in sample_files():
            if name not in ARCHIVES and name != "firme.mdb":
                self.assertIn("/zunor/" + name, paths)
        self.assertNotIn("/zunor/firme.mdb", paths)

    def test_plain_index_with_both_options_cleared_makes_no_shortcut(self):
        # A user without a Layers key gets no compatibility marks, and that is no failure.
        self.prefix.clean_slate(layers_key=False)
        plain_port = self.port + 3
        with Apache(plain_port, plain=True):
            text = self.click_through(f"/SERVER={self.server(plain_port)}", untick=("CHECK1", "CHECK2"))
            self.assertEqual(text, SUCCESS)
            self.driver.message_ok()
            self.assert_product_installed()
            self.assert_requests_clean(plain_port)
        self.assertEqual(os.listdir(self.prefix.desktop), [])
        self.assertFalse(os.path.exists(self.prefix.group_folder))
        self.assertIsNone(self.prefix.reg_values(LAYERS_KEY), "the Layers key was created")
        self.assertEqual(harness.finish_without_product(self.driver, self.ids), 0)
        self.assertFalse(self.prefix.wine("tasklist").stdout.decode("utf-8", "replace").count("Zunor2021VK.exe"))

    def test_a_file_the_server_refuses_is_named_in_the_incomplete_message(self):
        docroot = copy_docroot("e2e-docroot-refused")
        refused = os.path.join(docroot, "zunor", "TEMPLATE", sample_files("TEMPLATE")[0])
        os.chmod(refused, 0)
        port = self.port + 4
        try:
            with Apache(port, docroot=docroot):
                text = self.click_through(f"/SERVER={self.server(port)}")
        finally:
            os.chmod(refused, 0o644)
        harness.screenshot("install-incomplete-message.png")
        self.assertTrue(text.startswith(INCOMPLETE), text)
        self.assertIn(f"Nije preuzeto: {os.path.basename(refused)} (server je vratio 403)", text)
        self.driver.message_ok()
        # The product's file changed after the run placed it (the folder is one others may write): it
        # is not started, and the message says so.
        product = self.prefix.host(DEFAULT_LOCATION + "zunor2021\\Zunor2021VK.exe")
        with open(product, "ab") as f:
            f.write(b"\0")
        self.assertEqual(self.driver.checked(self.id("CHECK4")), 1)
        self.driver.click(self.id("COMMAND2"))
        self.driver.wait_message_box()
        self.assertEqual(self.driver.message_text(), "Program nije pokrenut: datoteka je izmenjena posle instalacije."
                         "\r\nDatoteka: " + DEFAULT_LOCATION + "zunor2021\\Zunor2021VK.exe")
        self.driver.message_ok()
        self.assertEqual(self.driver.wait_exit(30000), 1)
        self.assertIsNone(self.prefix.reg_values(SAMPLE_KEY + "\\Started"), "the changed product was started")

    def test_empty_location_only_asks_for_one(self):
        text = self.click_through(f"/SERVER={self.server()}", location="")
        self.assertEqual(text, "Odredite lokaciju za instalaciju programa")
        self.driver.message_ok()
        self.assertEqual(self.driver.text(self.id("COMMAND2")), "Odustani")
        self.assertTrue(self.driver.enabled(self.id("COMMAND3")))
        self.assertFalse(os.path.exists(self.prefix.host("C:\\Program Files\\Brantovik")))

    def test_missing_parent_folder_is_reported_and_ends_the_program(self):
        text = self.click_through(f"/SERVER={self.server()}", location="C:\\nema\\ovde\\")
        harness.screenshot("install-folder-failure.png")
        self.assertTrue(text.startswith("Greska 3: Fascikla ne moze da se napravi."), text)
        self.assertIn("Fascikla: C:\\nema\\ovde\\", text)
        self.driver.message_ok()
        self.assertEqual(self.driver.wait_exit(30000), 3)

    def test_unreachable_server_is_reported_and_ends_the_program(self):
        text = self.click_through("/SERVER=https://localhost:1")
        self.assertIn("Spisak datoteka nije preuzet sa servera.", text)
        self.assertIn("Adresa: https://localhost:1/zunor", text)
        self.driver.message_ok()
        self.assertEqual(self.driver.wait_exit(30000), 3)


if __name__ == "__main__":
    unittest.main(verbosity=2)
