"""Removal of an installed product: the entry in Wine's list of installed programs, /UNINSTALL with /S and
with the window (through `wine uninstaller --remove`), the user's data kept, shared components counted,
a file held open, an update, and a second removal."""
import filecmp
import os
import shutil
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from install_env import (LAYERS_KEY, REMOVAL_FOLDER, SAMPLE_KEY, SHARED_DLLS_KEY, SUCCESS, SYSTEM32, UNINSTALL_KEY,  # noqa: E402
                         Prefix, https_port, sample_files, sample_root)

PROGRAM = "C:\\Program Files\\Brantovik\\zunor2021"
COPY = REMOVAL_FOLDER + "\\ukloni.exe"
RECORD = REMOVAL_FOLDER + "\\ukloni.dat"
REMOVED = "Program Zunor 2021 je uklonjen sa racunara."
NOTHING = "Program Zunor 2021 nije instaliran na ovom racunaru, nema sta da se ukloni."
QUESTION = "Da li zelite da uklonite program Zunor 2021 sa ovog racunara?"
IDYES = 6


class RemovalTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = Prefix()
        cls.server = f"https://localhost:{https_port()}"

    def setUp(self):
        self.prefix.clean_slate()

    def run_program(self, *args, exe=None):
        proc = subprocess.run(harness.wine(exe or harness.setup_exe(), *args), env=self.prefix.env,
                              capture_output=True, timeout=300)
        return proc.returncode, proc.stdout.decode("utf-8", "replace").replace("\r\n", "\n")

    def install(self):
        code, out = self.run_program("/S", f"/SERVER={self.server}")
        self.assertIn(code, (0, 1), out)
        return code, out

    def remove_silently(self):
        return self.run_program("/UNINSTALL", "/S", exe=self.prefix.host(COPY))

    def counts(self):
        values = self.prefix.reg_values(SHARED_DLLS_KEY, "/reg:32") or {}
        return {name[len(SYSTEM32):]: int(v, 16) for name, v in values.items() if name.startswith(SYSTEM32)
                and name[len(SYSTEM32):] in sample_files("SUPORT")}

    def recorded_paths(self):
        """Host paths of what the install record names (not the user's data), and its layer values."""
        with open(self.prefix.host(RECORD), encoding="utf-8") as f:
            lines = [line.rstrip("\r\n").split("\t") for line in f][1:]
        # Components are named as the installer sees them (system32), which is syswow64 on the host
        # for the 32-bit installer.
        paths = [os.path.join(self.prefix.system_dir, p[1][len(SYSTEM32):]) if p[0] == "component"
                 else self.prefix.host(p[1]) for p in lines if p[0] not in ("layer", "data", "folder")]
        layers = [p[1] for p in lines if p[0] == "layer"]
        return paths, layers

    def user_files(self):
        """firme.mdb as installed, and a file the user adds; {host path: bytes}."""
        mine = self.prefix.host(PROGRAM + "\\DATA\\moja firma.txt")
        with open(mine, "wb") as f:
            f.write("Račun 1\r\n".encode("utf-8"))
        kept = {}
        for path in (self.prefix.host(PROGRAM + "\\firme.mdb"), mine):
            with open(path, "rb") as f:
                kept[path] = f.read()
        return kept

    def assert_removed(self, paths, layers, kept):
        for path in paths:
            self.assertFalse(os.path.exists(path), f"{path} is still there")
        remaining_layers = self.prefix.reg_values(LAYERS_KEY) or {}
        for name in layers:
            self.assertNotIn(name, remaining_layers)
        self.assertIsNone(self.prefix.reg_values(UNINSTALL_KEY, "/reg:32"))
        self.assertEqual(self.counts(), {})
        for path, data in kept.items():
            with open(path, "rb") as f:
                self.assertEqual(f.read(), data, f"{path} changed")
        self.assertNotIn("Zunor 2021", self.listed_programs())

    def listed_programs(self):
        return self.prefix.wine("uninstaller", "--list").stdout.decode("utf-8", "replace")

    def test_silent_install_then_silent_removal(self):
        self.install()
        self.assertIn("Zunor2021|||Zunor 2021", self.listed_programs())
        entry = self.prefix.reg_values(UNINSTALL_KEY, "/reg:32")
        self.assertEqual(entry["DisplayName"], "Zunor 2021")
        self.assertEqual(entry["Publisher"], "Brantovik")
        self.assertEqual(entry["DisplayVersion"], "2021.4.2")  # the sample product's version resource
        self.assertEqual(entry["InstallLocation"], PROGRAM)
        self.assertEqual(entry["UninstallString"], f'"{COPY}" /UNINSTALL')
        self.assertEqual(entry["QuietUninstallString"], f'"{COPY}" /UNINSTALL /S')
        self.assertEqual((entry["NoModify"], entry["NoRepair"]), ("0x1", "0x1"))
        self.assertRegex(entry["InstallDate"], r"^20\d{6}$")
        self.assertTrue(filecmp.cmp(harness.setup_exe(), self.prefix.host(COPY), shallow=False))
        self.assertEqual(self.counts(), {name: 1 for name in sample_files("SUPORT")})
        paths, layers = self.recorded_paths()
        self.assertGreater(int(entry["EstimatedSize"], 16) * 1024, sum(os.path.getsize(p) for p in paths) - 1024)
        kept = self.user_files()

        code, out = self.remove_silently()
        self.assertEqual(code, 0, out)
        self.assertIn(REMOVED, out)
        self.assertIn("Vasi podaci i datoteke koje ste dodali sacuvani su u fascikli: " + PROGRAM, out)
        self.assertEqual(out.strip().splitlines()[-1], "Uklanjanje zavrseno.")
        self.assert_removed(paths, layers, kept)
        self.assertEqual(set((self.prefix.reg_values(SAMPLE_KEY) or {}).values()), {"unregistered"})

        code, out = self.run_program("/UNINSTALL", "/S")
        self.assertEqual((code, out.strip()), (0, NOTHING))

    def test_removal_folder_only_administrators_write_whatever_the_location(self):
        """An installation outside Program Files (a folder every user may write): the copy the entry runs
        and the record lie in the removal folder, which a permissive one made beforehand does not keep
        open; a TEMPLATE that leads elsewhere gets nothing at the update; an earlier version's copy and
        record beside the product move there; removal from the entry works."""
        location = "C:\\Brantovik\\"
        program = location + "zunor2021"
        shutil.rmtree(self.prefix.host(location), ignore_errors=True)
        self.addCleanup(shutil.rmtree, self.prefix.host(location), True)
        folder = self.prefix.host(REMOVAL_FOLDER)
        os.makedirs(folder)
        os.chmod(folder, 0o777)  # reads back as Everyone full control
        planted = os.path.join(folder, "version.dll")
        with open(planted, "wb") as f:
            f.write(b"planted")
        self.assertIn("S-1-1-0", self.prefix.wininfo("writers", REMOVAL_FOLDER)["writers"].split())

        code, out = self.run_program("/S", f"/SERVER={self.server}", "/D=" + location)
        self.assertEqual(code, 0, out)
        entry = self.prefix.reg_values(UNINSTALL_KEY, "/reg:32")
        self.assertEqual(entry["UninstallString"], f'"{COPY}" /UNINSTALL')
        self.assertEqual(entry["QuietUninstallString"], f'"{COPY}" /UNINSTALL /S')
        self.assertEqual(entry["InstallLocation"], program)
        # Wine reads the rights back from the Unix mode: SYSTEM and the prefix's user may write, Users,
        # Authenticated Users and Everyone may not.
        rights = self.prefix.wininfo("writers", REMOVAL_FOLDER)
        print(f"removal folder's DACL as read back: {rights}", file=sys.stderr)
        writers = rights["writers"].split()
        self.assertTrue(writers, "nobody may write, not even administrators")
        for sid in ("S-1-5-32-545", "S-1-5-11", "S-1-1-0"):
            self.assertNotIn(sid, writers)
        self.assertFalse(os.path.exists(planted), "a file put there before the folder was reset stayed")
        self.assertFalse(os.path.exists(self.prefix.host(program + "\\ukloni.exe")))
        self.assertFalse(os.path.exists(self.prefix.host(program + "\\ukloni.dat")))

        # Someone made TEMPLATE a link to another folder: the update writes nothing there.
        template = self.prefix.host(program + "\\TEMPLATE")
        elsewhere = self.prefix.host("C:\\Brantovik\\drugde")
        os.makedirs(elsewhere)
        shutil.rmtree(template)
        os.symlink(elsewhere, template)
        code, out = self.run_program("/S", f"/SERVER={self.server}", "/D=" + location)
        self.assertEqual(code, 1, out)
        self.assertIn("Nije postavljeno, fascikla vodi na drugo mesto: " + program + "\\TEMPLATE", out)
        self.assertEqual(os.listdir(elsewhere), [])
        os.remove(template)
        os.makedirs(template)

        # An earlier version's layout: copy and record beside the product, the record without a seal.
        with open(self.prefix.host(RECORD), encoding="utf-8") as f:
            record = f.read()
        with open(self.prefix.host(program + "\\ukloni.dat"), "w", encoding="utf-8", newline="") as f:
            f.write(record.replace(COPY, program + "\\ukloni.exe"))
        shutil.move(self.prefix.host(COPY), self.prefix.host(program + "\\ukloni.exe"))
        os.remove(self.prefix.host(RECORD))
        for name in ("RecordSize", "RecordSha256"):
            self.prefix.wine("reg", "delete", UNINSTALL_KEY, "/v", name, "/f", "/reg:32")
        code, out = self.run_program("/S", f"/SERVER={self.server}", "/D=" + location)
        self.assertEqual(code, 0, out)
        self.assertFalse(os.path.exists(self.prefix.host(program + "\\ukloni.exe")))
        self.assertFalse(os.path.exists(self.prefix.host(program + "\\ukloni.dat")))
        self.assertTrue(filecmp.cmp(harness.setup_exe(), self.prefix.host(COPY), shallow=False))
        with open(self.prefix.host(RECORD), encoding="utf-8") as f:
            self.assertNotIn(program + "\\ukloni.exe", f.read())

        code, out = self.remove_silently()
        self.assertEqual(code, 0, out)
        self.assertIn(REMOVED, out)
        self.assertIsNone(self.prefix.reg_values(UNINSTALL_KEY, "/reg:32"))
        self.assertFalse(os.path.exists(folder), "the removal folder stayed")
        self.assertEqual(os.listdir(self.prefix.host(program)), ["firme.mdb"])

    def test_window_install_then_removal_from_wines_list(self):
        ids = harness.control_ids()
        driver = harness.UiDriver()
        try:
            harness.start_setup(driver, f"/SERVER={self.server}")
            harness.accept_and_install(driver, ids)
            driver.wait_message_box(180000)
            self.assertEqual(driver.message_text(), SUCCESS)
            driver.message_ok()
            # The product must not run: removal would ask to close it.
            self.assertEqual(harness.finish_without_product(driver, ids), 0)
            paths, layers = self.recorded_paths()
            kept = self.user_files()

            # Wine's own tool runs the entry's UninstallString: the copy, with its question.
            remover = subprocess.Popen(harness.wine("uninstaller", "--remove", "Zunor2021"), env=self.prefix.env,
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            try:
                driver.command("msgboxany 60000", timeout=90)
                self.assertTrue(driver.message_text().startswith(QUESTION))
                self.assertEqual(driver.message_caption(), harness.APP_TITLE)
                harness.screenshot("removal-question.png")
                driver.command(f"msgpress {IDYES}")
                driver.command("msgboxany 60000", timeout=90)
                report = driver.message_text()
                harness.screenshot("removal-done.png")
                driver.message_ok()
                remover.wait(timeout=60)
            finally:
                if remover.poll() is None:
                    remover.kill()
        finally:
            driver.close()
        self.assertTrue(report.startswith(REMOVED), report)
        harness.wait_until(lambda: not os.path.exists(self.prefix.host(COPY)), timeout=30,
                           what="the copy to be removed")
        self.assert_removed(paths, layers, kept)

    def test_shared_component_update_and_a_file_held_open(self):
        # Another program placed and counted ZunorCalc.dll before us.
        shutil.copy(os.path.join(os.path.dirname(harness.setup_exe()), "server", "htdocs", "zunor", "SUPORT",
                                 "ZunorCalc.dll"), self.prefix.system_dir)
        self.prefix.wine("reg", "add", SHARED_DLLS_KEY, "/v", SYSTEM32 + "ZunorCalc.dll", "/t", "REG_DWORD",
                         "/d", "1", "/f", "/reg:32")
        self.install()
        self.install()  # an update: no second entry, no second count
        self.assertEqual(self.counts(), {"ZunorCalc.dll": 2, "ZunorGrid.ocx": 1, "ZunorPrint.dll": 1})
        with open(self.prefix.host(RECORD), encoding="utf-8") as f:
            lines = f.read().splitlines()
        self.assertEqual(len(lines), len(set(lines)), "the update doubled lines of the record")

        held = self.prefix.host(PROGRAM + "\\Zunor2021VK.exe")
        helper = subprocess.Popen(harness.wine(os.path.join(harness.build_dir(), "tools", "hold_file.exe"),
                                               harness.windows_path(held)),
                                  env=self.prefix.env, stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        try:
            self.assertEqual(helper.stdout.readline().strip(), b"held")
            code, out = self.remove_silently()
        finally:
            helper.stdin.close()
            helper.wait(timeout=30)
            helper.stdout.close()
        self.assertEqual(code, 1, out)
        self.assertIn("Nije uklonjeno: " + PROGRAM + "\\Zunor2021VK.exe", out)
        self.assertFalse(os.path.exists(self.prefix.host(PROGRAM + "\\updater.exe")), "the rest went on")
        self.assertTrue(os.path.exists(self.prefix.host(COPY)), "the copy stays for another try")
        self.assertIsNotNone(self.prefix.reg_values(UNINSTALL_KEY, "/reg:32"))
        self.assertEqual(self.counts(), {"ZunorCalc.dll": 1})

        code, out = self.remove_silently()  # the file is free now
        self.assertEqual(code, 0, out)
        self.assertFalse(os.path.exists(held))
        self.assertIsNone(self.prefix.reg_values(UNINSTALL_KEY, "/reg:32"))
        self.assertEqual(self.counts(), {"ZunorCalc.dll": 1})
        self.assertTrue(os.path.exists(os.path.join(self.prefix.system_dir, "ZunorCalc.dll")))
        self.assertEqual((self.prefix.reg_values(SAMPLE_KEY) or {}).get("ZunorCalc.dll"), "registered")
        self.assertFalse(os.path.exists(os.path.join(self.prefix.system_dir, "ZunorGrid.ocx")))


    def plant_canaries(self):
        """What lies outside the installation and must stay: a file, an empty folder, one whose name begins
        like the program folder's, a .lnk elsewhere, and another program's counted, registered component.
        Returns the record lines that name them, and a check that they are as they were."""
        canary = self.prefix.host("C:\\canary")
        os.makedirs(os.path.join(canary, "prazna"))
        self.addCleanup(shutil.rmtree, canary, True)
        os.makedirs(self.prefix.host(PROGRAM + "-stari"))
        files = {os.path.join(canary, "vazno.txt"): b"Racun 7\r\n", os.path.join(canary, "Izvestaj.lnk"): b"L\0\0\0"}
        for path, data in files.items():
            with open(path, "wb") as f:
                f.write(data)
        component = os.path.join(self.prefix.system_dir, "DrugiCalc.dll")
        shutil.copy(os.path.join(sample_root("SUPORT"), "ZunorCalc.dll"), component)
        self.addCleanup(os.remove, component)
        self.prefix.wine("regsvr32", "/s", SYSTEM32 + "DrugiCalc.dll")
        self.prefix.wine("reg", "add", SHARED_DLLS_KEY, "/v", SYSTEM32 + "DrugiCalc.dll", "/t", "REG_DWORD", "/d", "1",
                         "/f", "/reg:32")
        self.addCleanup(self.prefix.wine, "reg", "delete", SHARED_DLLS_KEY, "/v", SYSTEM32 + "DrugiCalc.dll", "/f",
                        "/reg:32", check=False)
        self.assertEqual((self.prefix.reg_values(SAMPLE_KEY) or {}).get("DrugiCalc.dll"), "registered")
        lines = [("file", "C:\\canary\\vazno.txt"), ("file", PROGRAM + "\\..\\..\\..\\canary\\vazno.txt"),
                 ("folder", "C:\\canary\\prazna"), ("folder", PROGRAM + "-stari"),
                 ("shortcut", "C:\\canary\\Izvestaj.lnk"), ("component", SYSTEM32 + "DrugiCalc.dll")]

        def unchanged():
            for path, data in files.items():
                with open(path, "rb") as f:
                    self.assertEqual(f.read(), data, path)
            self.assertTrue(os.path.isdir(os.path.join(canary, "prazna")))
            self.assertTrue(os.path.isdir(self.prefix.host(PROGRAM + "-stari")))
            self.assertTrue(os.path.isfile(component))
            counts = self.prefix.reg_values(SHARED_DLLS_KEY, "/reg:32") or {}
            self.assertEqual(counts.get(SYSTEM32 + "DrugiCalc.dll"), "0x1")
            self.assertEqual((self.prefix.reg_values(SAMPLE_KEY) or {}).get("DrugiCalc.dll"), "registered")
        return lines, unchanged

    def add_to_record(self, lines):
        with open(self.prefix.host(RECORD), "ab") as f:
            f.write("".join(f"{kind}\t{path}\r\n" for kind, path in lines).encode("utf-8"))

    def test_edited_record_touches_nothing_outside_the_installation(self):
        lines, unchanged = self.plant_canaries()
        self.install()
        self.add_to_record(lines)
        # The entry's seal no longer vouches for the record: nothing is changed, and the message says why.
        code, out = self.remove_silently()
        self.assertEqual(code, 3, out)
        self.assertIn("Greska 13: Zapis o instalaciji je izmenjen posle instalacije. Pokrenite ponovo instalaciju "
                      "programa, ona ga popravlja.", out)
        self.assertTrue(os.path.isfile(self.prefix.host(PROGRAM + "\\Zunor2021VK.exe")))
        self.assertIsNotNone(self.prefix.reg_values(UNINSTALL_KEY, "/reg:32"))
        unchanged()

        # Installing again repairs the record. An earlier version's record (no seal) with the same lines is
        # removed without them; of components, the rules cannot tell another program's counted one in the
        # system folder from one an earlier installation counted, so that line is not among them.
        self.install()
        with open(self.prefix.host(RECORD), encoding="utf-8") as f:
            self.assertNotIn("Drugi", f.read())
        lines = [line for line in lines if line[0] != "component"]
        self.add_to_record(lines)
        for value in ("RecordSha256", "RecordSize"):
            self.prefix.wine("reg", "delete", UNINSTALL_KEY, "/v", value, "/f", "/reg:32")
        code, out = self.remove_silently()
        self.assertEqual(code, 1, out)
        for _, path in lines:
            self.assertIn("Preskoceno, ne pripada instalaciji: " + path, out)
        self.assertFalse(os.path.exists(self.prefix.host(PROGRAM + "\\Zunor2021VK.exe")))
        self.assertIsNone(self.prefix.reg_values(UNINSTALL_KEY, "/reg:32"))
        unchanged()

    def test_a_link_in_the_program_folder_leads_to_nothing_removed_outside(self):
        self.install()
        canary = self.prefix.host("C:\\canary")
        os.makedirs(canary)
        self.addCleanup(shutil.rmtree, canary, True)
        with open(os.path.join(canary, "Faktura.rtf"), "wb") as f:
            f.write(b"not the template")
        # A standard user who may write the program folder swaps TEMPLATE for a link to another folder.
        template = self.prefix.host(PROGRAM + "\\TEMPLATE")
        shutil.rmtree(template)
        os.symlink(canary, template)
        code, out = self.remove_silently()
        self.assertEqual(code, 1, out)
        self.assertIn("Preskoceno, ne pripada instalaciji: " + PROGRAM + "\\TEMPLATE\\Faktura.rtf", out)
        with open(os.path.join(canary, "Faktura.rtf"), "rb") as f:
            self.assertEqual(f.read(), b"not the template")


if __name__ == "__main__":
    unittest.main(verbosity=2)
