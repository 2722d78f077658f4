"""Unattended installs (/S) and the command line: exit codes, the report on the console and in the
log, /D= with spaces, /NODESKTOP /NOGROUP, and switches that are refused before any request."""
import os
import re
import shutil
import ssl
import subprocess
import sys
import unittest
import urllib.parse
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from install_env import (copy_docroot, ARCHIVES, LAYERS_KEY, SAMPLE_KEY, Apache, Prefix, SetupRuns, access_log,  # noqa: E402
                         assert_same_file, https_port, sample_files, sample_root)

STEP = re.compile(r"^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} (\S+)")


class UnattendedTest(SetupRuns, unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = Prefix()
        cls.port = https_port()
        cls.server = f"https://localhost:{cls.port}"
        cls.logs = os.path.join(harness.build_dir(), "e2e-logs")
        os.makedirs(cls.logs, exist_ok=True)

    def setUp(self):
        self.prefix.clean_slate()

    def test_silent_install_is_complete_and_logs_every_request(self):
        log = self.log_file("silent.log")
        before = len(access_log(self.port))
        self.addCleanup(self.prefix.kill_product)
        code, out = self.setup("/S", "/LAUNCH", f"/SERVER={self.server}", f"/LOG={harness.windows_path(log)}")
        self.assertEqual(code, 0, out)
        self.assertIn("Instalacija programa je uspjesno zavrsena.", out)
        # /LAUNCH: the desktop shell started the product, with the user's rights, not this program.
        self.prefix.started_by_shell(self, "C:\\Program Files\\Brantovik\\zunor2021")
        self.assertEqual(out.strip().splitlines()[-1], "Instalacija zavrsena.")
        program = self.prefix.host("C:\\Program Files\\Brantovik\\zunor2021")
        for name in sample_files():
            if name not in ARCHIVES:
                assert_same_file(self, os.path.join(sample_root(), name), os.path.join(program, name))
        for name in sample_files("SUPORT"):
            self.assertEqual((self.prefix.reg_values(SAMPLE_KEY) or {}).get(name), "registered")
        self.assertTrue(os.path.isfile(os.path.join(self.prefix.desktop, "Brantovik ZUNOR 2021.lnk")))
        self.assertTrue(os.path.isfile(os.path.join(self.prefix.group_folder, "ZUNOR.lnk")))
        text = self.read_log(log)
        requests = [p for p, _ in access_log(self.port)[before:]]
        for path in requests:
            if not path.endswith("/"):  # Apache's own redirect targets are not the installer's requests
                self.assertIn(self.server + path, text, f"request {path} not in the log")
        self.assertRegex(text, r"(?m)^\S+ \S+ launch C:\\Program Files\\Brantovik\\zunor2021\\Zunor2021VK\.exe: "
                               r"started by the desktop shell\r?$")
        for step in ("folder", "listing", "file", "register", "setting", "layer", "shortcut", "report", "exit"):
            self.assertRegex(text, rf"(?m)^\S+ \S+ {step} ", step)
        self.assertRegex(text, r"(?m)^\S+ \S+ connections 4\r?$", "not the default of four connections")

    def test_one_connection_requests_everything_in_listing_order(self):
        # The order the listing pages give, read here from the pages themselves.
        tls = ssl.create_default_context(cafile=os.path.join(harness.build_dir(), "pki", "ca.crt"))
        listed = {}
        served_before = len(access_log(self.port))
        for folder in ("", "/TEMPLATE", "/SUPORT"):
            with urllib.request.urlopen(f"{self.server}/zunor{folder}/", context=tls, timeout=30) as page:
                names = re.findall(r'<a href="([^"?/][^"]*)"', page.read().decode("utf-8"))
            listed[folder] = [urllib.parse.unquote(n) for n in names if not n.endswith("/")]
        log = self.log_file("one-connection.log")
        before = served_before + 3  # Apache logs a request after its answer: these three pages first
        harness.wait_until(lambda: len(access_log(self.port)) >= before, what="Apache to log the pages read here")
        code, out = self.setup("/S", "/CONNECTIONS=1", f"/SERVER={self.server}", f"/LOG={harness.windows_path(log)}")
        self.assertEqual(code, 0, out)
        # Each listing (Apache first sends the address without its final slash on), each SHA256SUMS and
        # its signature, then every file of the program folder, the templates and the components, one after another.
        expected = []
        for folder in ("/SUPORT", "", "/TEMPLATE"):
            expected += [f"/zunor{folder}", f"/zunor{folder}/"]
        for folder in ("", "/TEMPLATE", "/SUPORT"):
            expected += [f"/zunor{folder}/SHA256SUMS", f"/zunor{folder}/SHA256SUMS.sig"]
        for folder in ("", "/TEMPLATE", "/SUPORT"):
            expected += [f"/zunor{folder}/{n}" for n in listed[folder]
                         if n not in ("SHA256SUMS", "SHA256SUMS.sig") and n not in ARCHIVES]
        self.assertEqual([path for path, _ in access_log(self.port)[before:]], expected)
        self.assertRegex(self.read_log(log), r"(?m)^\S+ \S+ connections 1\r?$")

    def test_missing_file_gives_exit_code_1_and_is_named(self):
        docroot = copy_docroot("e2e-docroot-missing")
        refused = os.path.join(docroot, "zunor", "ZunorRes.dat")
        os.chmod(refused, 0)
        port = self.port + 5
        log = self.log_file("missing.log")
        try:
            with Apache(port, docroot=docroot):
                code, out = self.setup("/S", f"/SERVER=https://localhost:{port}", f"/LOG={harness.windows_path(log)}")
        finally:
            os.chmod(refused, 0o644)
        self.assertEqual(code, 1, out)
        self.assertIn("Nije preuzeto: ZunorRes.dat (server je vratio 403)", out)
        self.assertEqual(out.strip().splitlines()[-1], "Instalacija nije u potpunosti zavrsena (1 stavki).")
        self.assertIn("Nije preuzeto: ZunorRes.dat (server je vratio 403)", self.read_log(log))

    def test_unreachable_server_gives_exit_code_3(self):
        code, out = self.setup("/S", "/SERVER=https://localhost:1")
        self.assertEqual(code, 3, out)
        self.assertIn("Spisak datoteka nije preuzet sa servera.", out)
        self.assertEqual(out.strip().splitlines()[-1], "Instalacija nije uspela.")

    def test_bad_command_lines_give_exit_code_2_and_make_no_request(self):
        before = len(access_log(self.port))
        cases = [
            (["/S", "/SERVER=http://localhost:%d" % self.port], "Neispravna adresa servera: http://localhost"),
            (["/S", "/SERVER=https://localhost:%d/zunor" % self.port], "Neispravna adresa servera: https://"),
            (["/S", "/SERVER=%s" % self.server, "/TIHO"], "Nepoznat prekidac: /TIHO"),
            (["/S", "/LAUNCH=1", "/SERVER=%s" % self.server], "Neispravna vrednost: /LAUNCH=1"),
        ]
        for args, message in cases:
            code, out = self.setup(*args)
            self.assertEqual(code, 2, args)
            self.assertIn(message, out, args)
        self.assertEqual(len(access_log(self.port)), before, "a refused command line made a request")
        self.assertFalse(os.path.exists(self.prefix.host("C:\\Program Files\\Brantovik")))

    def test_location_with_spaces_and_no_shortcuts(self):
        os.makedirs(self.prefix.host("C:\\Moji programi"), exist_ok=True)
        shutil.rmtree(self.prefix.host("C:\\Moji programi\\Zunor 2021"), ignore_errors=True)
        code, out = self.setup("/S", "/NODESKTOP", "/nogroup", f"/SERVER={self.server}",
                               "/D=C:\\Moji programi\\Zunor 2021\\")
        self.assertEqual(code, 0, out)
        program = self.prefix.host("C:\\Moji programi\\Zunor 2021\\zunor2021")
        assert_same_file(self, os.path.join(sample_root(), "updater.exe"), os.path.join(program, "updater.exe"))
        with open(os.path.join(program, "config.ini"), "rb") as f:
            self.assertIn(b"PROGRAM_BAZE_FASCIKLA=C:\\Moji programi\\Zunor 2021\\zunor2021", f.read())
        layers = self.prefix.reg_values(LAYERS_KEY)
        self.assertEqual(layers.get("C:\\Moji programi\\Zunor 2021\\zunor2021\\updater.exe"), "~ RUNASADMIN WINXPSP3")
        self.assertEqual(os.listdir(self.prefix.desktop), [])
        self.assertFalse(os.path.exists(self.prefix.group_folder))

    def test_window_log_has_the_same_kinds_of_lines(self):
        silent_log = self.log_file("kinds-silent.log")
        code, out = self.setup("/S", f"/SERVER={self.server}", f"/LOG={harness.windows_path(silent_log)}")
        self.assertEqual(code, 0, out)
        self.prefix.clean_slate()
        window_log = self.log_file("kinds-window.log")
        driver = harness.UiDriver()
        try:
            ids = harness.control_ids()
            harness.start_setup(driver, f"/SERVER={self.server}", f"/LOG={harness.windows_path(window_log)}")
            harness.accept_and_install(driver, ids)
            driver.wait_message_box(180000)
            driver.message_ok()
            self.assertEqual(harness.finish_without_product(driver, ids), 0)
        finally:
            driver.close()

        def kinds(path):
            return {m.group(1) for m in map(STEP.match, self.read_log(path).splitlines()) if m}

        self.assertEqual(kinds(window_log), kinds(silent_log))


if __name__ == "__main__":
    unittest.main(verbosity=2)
