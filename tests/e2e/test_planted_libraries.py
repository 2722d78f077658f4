"""Planted libraries: marker libraries named like every library that is not one of Windows' known ones
and that the setup program imports, loads by name or has the system load for it, lying beside
ZunorSetup.exe in a download folder, beside ukloni.exe for the removal, and in the temporary folder.
Wine is told to look in the program's folder first for those names (WINEDLLOVERRIDES=name=n,b), which is
what Windows does for every library that is not a known one. A control program in the same folder and
environment must load them all, or the test proves nothing; the installation and the removal load none."""
import os
import re
import shutil
import struct
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from install_env import REMOVAL_FOLDER, SUCCESS, Prefix, SetupRuns, https_port  # noqa: E402

# Windows maps these from its own list (KnownDLLs) whatever lies beside a program; ntdll and kernelbase
# come before any program code.
KNOWN = {"advapi32", "clbcatq", "combase", "comdlg32", "coml2", "difxapi", "gdi32", "gdiplus", "imagehlp", "imm32",
         "kernel32", "msctf", "msvcrt", "normaliz", "nsi", "ole32", "oleaut32", "psapi", "rpcrt4", "sechost",
         "setupapi", "shcore", "shell32", "shlwapi", "user32", "wldap32", "ws2_32", "ntdll", "kernelbase"}
# What the system loads on the program's behalf: the visual styles of comctl32 version 6, and what
# WinINet and crypt32 bring (TLS, certificates, credentials, proxies).
BY_THE_SYSTEM = {"uxtheme", "dwmapi", "crypt32", "msasn1", "secur32", "sspicli", "schannel", "ncrypt", "mpr",
                 "iertutil", "urlmon", "winhttp", "cryptbase"}
PROGRAM = "C:\\Program Files\\Brantovik\\zunor2021"


def pe_imports(path):
    """Lower-case names (without .dll) in a PE file's import and delay-import tables."""
    with open(path, "rb") as f:
        data = f.read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    directories = optional + (96 if struct.unpack_from("<H", data, optional)[0] == 0x10B else 112)
    table = [struct.unpack_from("<IIII", data, optional + optional_size + 40 * i + 8)
             for i in range(sections)]  # virtual size, address, raw size, raw offset

    def offset(rva):
        for size, address, raw_size, raw in table:
            if address <= rva < address + max(size, raw_size):
                return raw + rva - address
        raise ValueError(f"{path}: address {rva:#x} lies in no section")

    def name_at(rva):
        start = offset(rva)
        return data[start:data.index(b"\0", start)].decode("ascii").lower()

    names = set()
    for index, entry_size, name_field in ((1, 20, 12), (13, 32, 4)):
        rva = struct.unpack_from("<I", data, directories + 8 * index)[0]
        while rva:
            name_rva = struct.unpack_from("<I", data, offset(rva) + name_field)[0]
            if not name_rva:
                break
            names.add(name_at(name_rva))
            rva += entry_size
    return {n[:-4] if n.endswith(".dll") else n for n in names}


def named_libraries(path, system_dir):
    """System libraries a program names as text (ASCII or UTF-16), the ones it may load by name. A name
    found right after other text is cut to the longest tail that names a library of system_dir."""
    with open(path, "rb") as f:
        data = f.read()
    found = set(re.findall(rb"([A-Za-z0-9_.-]+)\.dll", data, re.IGNORECASE))
    found |= {m.replace(b"\0", b"") for m in re.findall(rb"((?:[A-Za-z0-9_.-]\0)+)\.\0[dD]\0[lL]\0[lL]\0", data)}
    names = set()
    for raw in found:
        text = raw.decode("ascii").lower()
        tails = [text[i:] for i in range(len(text)) if os.path.isfile(os.path.join(system_dir, text[i:] + ".dll"))]
        if tails:
            names.add(tails[0])
    return names


class PlantedLibrariesTest(unittest.TestCase, SetupRuns):
    @classmethod
    def setUpClass(cls):
        cls.prefix = Prefix()
        cls.logs = os.path.join(harness.build_dir(), "e2e-logs")
        os.makedirs(cls.logs, exist_ok=True)
        setup = harness.setup_exe()
        cls.names = sorted((pe_imports(setup) | named_libraries(setup, cls.prefix.system_dir) | BY_THE_SYSTEM) - KNOWN)
        cls.control = os.path.join(harness.build_dir(), "tools", "load_libraries.exe")
        cls.marker = os.path.join(harness.build_dir(), "tools", "marker_library.dll")
        cls.env = dict(cls.prefix.env)
        cls.env["WINEDLLOVERRIDES"] = ",".join(cls.names) + "=n,b;" + cls.env["WINEDLLOVERRIDES"]

    def setUp(self):
        self.prefix.clean_slate()

    def plant(self, folder, names):
        os.makedirs(folder, exist_ok=True)
        for name in names:
            path = os.path.join(folder, name + ".dll")
            shutil.copy(self.marker, path)
            self.addCleanup(lambda p=path: os.path.exists(p) and os.remove(p))

    @staticmethod
    def loaded(folder):
        """{library name: programs that loaded it} of the markers in folder; the markers go."""
        found = {}
        for entry in os.listdir(folder):
            if entry.endswith(".dll.loaded"):
                with open(os.path.join(folder, entry), encoding="utf-8") as f:
                    found[entry[:-len(".dll.loaded")]] = f.read().split()
                os.remove(os.path.join(folder, entry))
        return found

    def run_in(self, folder, exe, *args):
        """Runs exe from folder; a program that does not end in time (a planted library can make one
        hang) is a failure that names what was loaded."""
        try:
            proc = subprocess.run(harness.wine(os.path.join(folder, exe), *args), env=self.env, cwd=folder,
                                  capture_output=True, timeout=180)
        except subprocess.TimeoutExpired:
            self.prefix.wine("taskkill", "/F", "/IM", exe, check=False)
            self.fail(f"{exe} did not end; planted libraries loaded: {self.loaded(folder)}")
        return proc.returncode, proc.stdout.decode("utf-8", "replace").replace("\r\n", "\n")

    def control_loads_all(self, folder):
        """The control takes every planted name from folder. Returns the names that Wine itself takes from
        there at the start of any program that imports what the setup program imports: its user32
        imports version.dll (Windows' does not), so such a name cannot lie beside a program under Wine
        without stopping it at its start; those are taken away again."""
        shutil.copy(self.control, folder)
        self.addCleanup(os.remove, os.path.join(folder, "load_libraries.exe"))
        self.assertLessEqual(pe_imports(harness.setup_exe()) & KNOWN, pe_imports(self.control),
                             "the control must import every known library the setup program imports")
        self.run_in(folder, "load_libraries.exe")  # a planted library that Wine takes ends it at once
        by_wine = set(self.loaded(folder))
        for name in by_wine:
            os.remove(os.path.join(folder, name + ".dll"))
        code, out = self.run_in(folder, "load_libraries.exe", *[n + ".dll" for n in self.names])
        self.assertEqual(code, 0, out)
        self.assertEqual(set(self.loaded(folder)) | by_wine, set(self.names),
                         "the control did not take every planted library")
        print(f"planted in {folder}: {', '.join(self.names)}; of them, Wine takes at the start of every "
              f"program: {', '.join(sorted(by_wine)) or 'none'}")
        return by_wine

    def install_with_the_window(self, setup):
        """The window too (its visual styles, COM for the shortcuts), as an update over the installation."""
        os.environ["WINEDLLOVERRIDES"] = self.env["WINEDLLOVERRIDES"]  # the driver's environment
        self.addCleanup(os.environ.pop, "WINEDLLOVERRIDES")
        ids = harness.control_ids()
        driver = harness.UiDriver()
        try:
            driver.start(harness.windows_path(setup), f"/SERVER=https://localhost:{https_port()}")
            driver.wait_window(harness.WINDOW_CAPTION)
            harness.accept_and_install(driver, ids)
            driver.wait_message_box(180000)
            self.assertEqual(driver.message_text(), SUCCESS)
            harness.screenshot("planted-libraries-window.png")
            driver.message_ok()
            self.assertEqual(harness.finish_without_product(driver, ids), 0)
        finally:
            driver.close()

    def test_install_and_removal_load_no_planted_library(self):
        self.assertIn("wininet", self.names)
        self.assertIn("rstrtmgr", self.names)
        downloads = os.path.join(os.path.dirname(self.prefix.desktop), "Downloads")
        temporary = os.path.join(os.path.dirname(self.prefix.desktop), "AppData", "Local", "Temp")
        self.plant(downloads, self.names)
        shutil.copy(harness.setup_exe(), downloads)
        self.addCleanup(os.remove, os.path.join(downloads, "ZunorSetup.exe"))
        self.control_loads_all(downloads)
        install_log = self.log_file("planted-install.log")
        code, out = self.run_in(downloads, "ZunorSetup.exe", "/S", f"/SERVER=https://localhost:{https_port()}",
                                "/LOG=" + harness.windows_path(install_log))
        self.assertEqual(self.loaded(downloads), {})
        self.assertEqual(code, 0, out)
        self.install_with_the_window(os.path.join(downloads, "ZunorSetup.exe"))
        self.assertEqual(self.loaded(downloads), {})

        # The entry's copy lies where only administrators write; planted there all the same (as root).
        removal = self.prefix.host(REMOVAL_FOLDER)
        self.plant(removal, self.names)
        by_wine = self.control_loads_all(removal)
        self.plant(temporary, set(self.names) - by_wine)
        removal_log = self.log_file("planted-removal.log")
        code, out = self.run_in(removal, "ukloni.exe", "/UNINSTALL", "/S", "/LOG=" + harness.windows_path(removal_log))
        self.assertEqual(self.loaded(removal), {})
        self.assertEqual(self.loaded(temporary), {})
        self.assertEqual(code, 0, out)
        # The copy that removed ukloni.exe ran from a folder of its own with a name drawn at random.
        copy = re.search(r"runs from (.*)", self.read_log(removal_log)).group(1).strip()
        self.assertRegex(copy, r"\\Temp\\ZunorUkloni-[0-9a-f]{32}\\ukloni\.exe$")
        self.assertFalse(os.path.exists(self.prefix.host(REMOVAL_FOLDER + "\\ukloni.exe")))


if __name__ == "__main__":
    unittest.main(verbosity=2)
