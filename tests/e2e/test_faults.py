"""The fault matrix: one unattended run (/S) under Wine per way the server, the network or the disk can
fail. Each row checks that the exit code and the report (the log's "report" lines) are accurate,
that every file that stood before is either unchanged or replaced by its whole new copy, and that no
temporary file is left in the program folder, TEMPLATE or the system directory.

The product is served by tools/faultserver/faultserver.py from a copy of the sample tree, with the
row's faults in a JSON file the server reads for every request. Time limits are shortened through the
installer's test hook ZUNOR_TEST_TIMEOUTS, so stalls show within seconds.
"""
import contextlib
import glob
import json
import os
import re
import shutil
import socket
import ssl
import subprocess
import sys
import time
import unittest
import urllib.parse
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from install_env import SUCCESS, ARCHIVES, DEFAULT_LOCATION, SAMPLE_KEY, Prefix, sample_files, sample_root  # noqa: E402

TIMEOUTS = "connect=2000,receive=2000,retry=100,slow=3000:1024,register=2000,product=2000"
SUMS = "SHA256SUMS"
FOLDERS = ("", "TEMPLATE", "SUPORT")  # server folders under /zunor
REPORT = re.compile(r"^\S+ \S+ report (.*)$", re.M)
LIST_FAILED = "Spisak datoteka nije preuzet sa servera."
DROPPED, TIMED_OUT, UNWRITABLE = "veza je prekinuta", "isteklo je vreme cekanja", "datoteka ne moze da se upise"
TEMP_NAME = re.compile(r"(\.zunor-part|\.tmp|~)$", re.I)
PROGRAM = DEFAULT_LOCATION + "zunor2021"
ALREADY_RUNNING = ("Instalacija programa Zunor 2021 je vec pokrenuta na ovom racunaru. Sacekajte da se zavrsi, "
                   "pa pokusajte ponovo.")
INSTALL_STOPPED = "Instalacija je prekinuta, nista nije promenjeno."
REDIRECT_LOOP = "preusmerenje bez kraja (server je vratio 302)"
IDRETRY = 4
HANGING = "Visi.dll"  # sorts before the sample's components, which must still register after it
REMOVAL_FILES = ("ukloni.exe", "ukloni.dat")  # the installer's own copy and record
UNINSTALL_ENTRY = r"Software\Microsoft\Windows\CurrentVersion\Uninstall\Zunor2021"


def not_downloaded(name, reason):
    return f"Nije preuzeto: {name} ({reason})"


class TreeServer:
    """faultserver.py serving the product tree root/zunor with the faults in faults_file."""

    def __init__(self, root, faults_file, port=0, cert="trusted"):
        self.root, self.faults_file, self.port, self.cert = root, faults_file, port, cert
        self.proc = None
        self.dir = os.path.join(harness.build_dir(), "e2e-faults", "server")
        os.makedirs(self.dir, exist_ok=True)

    def start(self):
        port_file = os.path.join(self.dir, "port")
        if os.path.exists(port_file):
            os.remove(port_file)
        script = os.path.join(harness.source_dir(), "tools", "faultserver", "faultserver.py")
        with open(os.path.join(self.dir, "log"), "ab") as log:
            self.proc = subprocess.Popen(
                ["python3", script, "--pki", os.path.join(harness.build_dir(), "pki"), "--port", str(self.port),
                 "--cert", self.cert, "--port-file", port_file, "--hold", "20", "--root",
                 os.path.join(self.root, "zunor"), "--faults", self.faults_file],
                stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT)
        harness.wait_until(lambda: os.path.exists(port_file) or self.proc.poll() is not None, timeout=15,
                           what="the fault server to listen")
        if self.proc.poll() is not None:
            raise harness.HarnessError(f"fault server did not start (see {self.dir}/log)")
        with open(port_file) as f:
            self.port = int(f.read())
        return self

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            self.proc.wait(timeout=10)

    def count(self, path):
        """How many requests path has had."""
        tls = ssl.create_default_context(cafile=os.path.join(harness.build_dir(), "pki", "ca.crt"))
        url = f"https://localhost:{self.port}/_count?path={urllib.parse.quote(path)}"
        with urllib.request.urlopen(url, context=tls, timeout=10) as answer:
            return int(answer.read())

    def page(self, path):
        tls = ssl.create_default_context(cafile=os.path.join(harness.build_dir(), "pki", "ca.crt"))
        with urllib.request.urlopen(f"https://localhost:{self.port}{path}", context=tls, timeout=10) as answer:
            return answer.read()


class FaultMatrixTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = Prefix()
        cls.work = os.path.join(harness.build_dir(), "e2e-faults")
        cls.tree = os.path.join(cls.work, "tree")
        cls.faults_file = os.path.join(cls.work, "faults.json")
        cls.logs = os.path.join(cls.work, "logs")
        os.makedirs(cls.logs, exist_ok=True)
        cls.reset_tree()
        cls.server = TreeServer(cls.tree, cls.faults_file).start()

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()

    @classmethod
    def reset_tree(cls):
        shutil.rmtree(cls.tree, ignore_errors=True)
        shutil.copytree(sample_root(), os.path.join(cls.tree, "zunor"))

    def setUp(self):
        self.timeouts = TIMEOUTS
        self.prefix.clean_slate()
        self.set_faults({})
        self.location = DEFAULT_LOCATION
        self.program = self.prefix.host(DEFAULT_LOCATION + "zunor2021")
        if self.server.proc.poll() is not None:
            self.server.start()

    # --- the product and the installation that stood before ----------------------------------------

    def served(self, folder=""):
        """{name: bytes} of a server folder's installable files."""
        root = os.path.join(self.tree, "zunor", folder)
        out = {}
        for name in sorted(os.listdir(root)):
            path = os.path.join(root, name)
            if os.path.isfile(path) and name not in (SUMS, SUMS + ".sig") and not (folder == "" and name in ARCHIVES):
                with open(path, "rb") as f:
                    out[name] = f.read()
        return out

    def sign_tree(self):
        """The sums of the served tree, signed by the publisher (this tree's test key), as a new release's."""
        subprocess.run(["bash", os.path.join(harness.source_dir(), "tools", "release", "sign_product.sh"), self.tree,
                        os.path.join(harness.build_dir(), "pki", "publisher.key")], check=True, timeout=60)

    def rewrite_tree(self, change):
        """Applies change(folder, name, bytes) -> bytes to every served file; the sums follow."""
        for folder in FOLDERS:
            for name, data in self.served(folder).items():
                with open(os.path.join(self.tree, "zunor", folder, name), "wb") as f:
                    f.write(change(folder, name, data))
        self.sign_tree()

    def destination(self, folder, name):
        if folder == "SUPORT":
            return os.path.join(self.prefix.system_dir, name)
        return os.path.join(self.program, folder, name)

    def old_installation(self, listings=False):
        """An earlier installation: program files and templates of an older version, the components of an
        older build (a byte more than the served ones, so they still register, and are fetched again as
        the rest is: what is in place as SHA256SUMS lists it would be kept), the user's data, and the
        listing files if asked."""
        os.makedirs(os.path.join(self.program, "TEMPLATE"), exist_ok=True)
        os.makedirs(os.path.join(self.program, "DATA"), exist_ok=True)
        for folder in FOLDERS:
            for name, data in self.served(folder).items():
                old = data + b"\0" if folder == "SUPORT" else b"old version of " + name.encode()
                with open(self.destination(folder, name), "wb") as f:
                    f.write(old)
        with open(os.path.join(self.program, "DATA", "knjige.dat"), "wb") as f:
            f.write(b"the user's books")
        if listings:
            for folder, listing in (("", "pdown.ini"), ("SUPORT", "sdown.ini"), ("TEMPLATE", "tdown.ini")):
                with open(os.path.join(self.program, listing), "wb") as f:
                    f.write(self.server.page("/zunor" + ("/" + folder if folder else "")))

    def snapshot(self):
        """{host path: bytes} of the program folder's files and the components (not the installer's own
        copy and record, which each run rewrites)."""
        files = {}
        for top, _, names in os.walk(self.program):
            for name in names:
                if top == self.program and name in REMOVAL_FILES:
                    continue
                with open(os.path.join(top, name), "rb") as f:
                    files[os.path.join(top, name)] = f.read()
        for name in self.served("SUPORT"):
            path = self.destination("SUPORT", name)
            if os.path.exists(path):
                with open(path, "rb") as f:
                    files[path] = f.read()
        return files

    # --- running and checking ----------------------------------------------------------------------

    def set_faults(self, faults):
        with open(self.faults_file + ".tmp", "w", encoding="utf-8") as f:
            json.dump(faults, f)
        os.replace(self.faults_file + ".tmp", self.faults_file)

    def setup_command(self, *extra, port=None, log_name=None):
        """The command line, environment and log of one ZunorSetup.exe /S run."""
        log = os.path.join(self.logs, (log_name or self.id().split(".")[-1]) + ".log")
        with contextlib.suppress(FileNotFoundError):
            os.remove(log)
        env = dict(self.prefix.env, ZUNOR_TEST_TIMEOUTS=self.timeouts)
        args = [*harness.wine(harness.setup_exe()), "/S", f"/SERVER=https://localhost:{port or self.server.port}",
                f"/LOG={harness.windows_path(log)}", *extra]
        if self.location != DEFAULT_LOCATION:
            args.append(f"/D={self.location}")
        return args, env, log

    def start_setup(self, *extra, log_name="first"):
        """Starts ZunorSetup.exe /S and returns at once: (process, its log)."""
        args, env, log = self.setup_command(*extra, log_name=log_name)
        return subprocess.Popen(args, env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL), log

    def run_setup(self, *extra, port=None, timeout=180, log_name=None):
        """Runs ZunorSetup.exe /S to its end; returns (exit code, console text, report lines, seconds)."""
        args, env, log = self.setup_command(*extra, port=port, log_name=log_name)
        start = time.monotonic()
        proc = subprocess.run(args, env=env, capture_output=True, timeout=timeout)
        took = time.monotonic() - start
        out = proc.stdout.decode("utf-8", "replace").replace("\r\n", "\n")
        text = ""
        if os.path.exists(log):
            with open(log, encoding="utf-8", errors="replace") as f:
                text = f.read()
        return proc.returncode, out, REPORT.findall(text), took

    def assert_report(self, code, out, report, expected_code, expected_items, failure=LIST_FAILED):
        self.assertEqual(code, expected_code, out)
        if expected_code == 0:
            self.assertEqual(report, [SUCCESS], out)
            self.assertEqual(out.strip().splitlines()[-1], "Instalacija zavrsena.")
        elif expected_code == 1:
            self.assertEqual(sorted(report), sorted(expected_items), out)
            self.assertEqual(out.strip().splitlines()[-1],
                             f"Instalacija nije u potpunosti zavrsena ({len(expected_items)} stavki).")
        else:
            self.assertIn(failure, out)
            self.assertEqual(out.strip().splitlines()[-1], "Instalacija nije uspela.")

    def assert_files(self, before, kept=(), refreshed=()):
        """Every file that stood before is unchanged or holds its whole new copy; the (folder, name)
        pairs in kept are unchanged, those in refreshed hold the new copy."""
        new = {self.destination(folder, name): data for folder in FOLDERS for name, data in self.served(folder).items()}
        for path, old in before.items():
            self.assertTrue(os.path.exists(path), f"{path} vanished")
            with open(path, "rb") as f:
                now = f.read()
            self.assertIn(now, (old, new.get(path)), f"{path} holds neither its old nor its whole new copy")
        for folder, name in kept:
            path = self.destination(folder, name)
            with open(path, "rb") as f:
                self.assertEqual(f.read(), before[path], f"{path} changed")
        for folder, name in refreshed:
            path = self.destination(folder, name)
            with open(path, "rb") as f:
                self.assertEqual(f.read(), new[path], f"{path} is not the new copy")

    def assert_no_temporary_files(self):
        left = []
        for top in (self.program, self.prefix.system_dir):
            for folder, _, names in os.walk(top):
                left += [os.path.join(folder, n) for n in names if TEMP_NAME.search(n)]
                if top == self.prefix.system_dir:
                    break
        self.assertEqual(left, [], "temporary files left")

    def all_files(self):
        return [(folder, name) for folder in FOLDERS for name in self.served(folder)]

    def everything_but(self, *excluded):
        return [item for item in self.all_files() if item not in excluded and item != ("", "firme.mdb")]

    def inodes(self):
        """{(folder, name): inode} of the installed files (firme.mdb aside), in listing order."""
        return {item: os.stat(self.destination(*item)).st_ino for item in self.everything_but()}

    def not_taken_in(self, inodes):
        """The files that still stand where they stood (a file taken in is a new file at its place), in
        listing order."""
        return [item for item, inode in inodes.items() if os.stat(self.destination(*item)).st_ino == inode]

    def assert_lost_and_reported(self, code, out, report, lost, reason):
        """Exit code 1, and the report names exactly the lost files, for reason, in listing order."""
        self.assertEqual(code, 1, out)
        self.assertEqual(report, [not_downloaded(name, reason) for _, name in lost], out)

    # --- the server ------------------------------------------------------------------------------

    def test_server_killed_between_files_then_second_run_completes(self):
        order = self.everything_but()  # listing order
        for extra in (["/CONNECTIONS=1"], []):
            self.prefix.clean_slate()
            self.old_installation()
            before, inodes = self.snapshot(), self.inodes()
            # The server ends right after this file; the files after it find nobody to answer.
            self.set_faults({"/zunor/ZunorRes.dat": {"fault": "exit"}})
            code, out, report, _ = self.run_setup(*extra)
            lost = self.not_taken_in(inodes)
            self.assert_files(before, kept=lost, refreshed=[item for item in inodes if item not in lost])
            self.assertNotIn(("", "ZunorRes.dat"), lost)
            if extra:
                # One file after another: exactly those after it are lost.
                self.assertEqual(lost, order[order.index(("", "ZunorRes.dat")) + 1:])
            # With several connections, which of the others were done before the server went depends on
            # the race; each is whole or not there, and the report says which.
            self.assert_lost_and_reported(code, out, report, lost, DROPPED)
            self.assert_no_temporary_files()
            self.server.start()  # on the same port

        self.set_faults({})
        code, out, report, _ = self.run_setup()
        self.assert_report(code, out, report, 0, [])
        self.assert_files(before, kept=[("", "firme.mdb")], refreshed=self.everything_but())
        self.assert_no_temporary_files()

    # Wine 8's WinINet sets no limit on the TCP connect or the TLS handshake (it ignores
    # INTERNET_OPTION_CONNECT_TIMEOUT); the installer's own deadline for an answer must end it.
    def test_port_that_accepts_nothing_times_out(self):
        # A listening socket whose one-place backlog is taken: further connections are never answered.
        with socket.socket() as blackhole, socket.socket() as filler:
            blackhole.bind(("127.0.0.1", 0))
            blackhole.listen(0)
            filler.connect(blackhole.getsockname())
            port = blackhole.getsockname()[1]
            self.old_installation()
            before = self.snapshot()
            try:
                code, out, report, took = self.run_setup(port=port, timeout=30)
            finally:
                self.prefix.wine("taskkill", "/F", "/IM", "ZunorSetup.exe", check=False)
        self.assert_report(code, out, report, 3, [])
        self.assertIn(f"Adresa: https://localhost:{port}/zunor", out)
        self.assertLess(took, 30, "the connect time limit did not end the attempts")
        self.assert_files(before, kept=self.everything_but())
        self.assert_no_temporary_files()

    # --- single files and listing pages -----------------------------------------------------------

    def test_404_500_and_503_for_single_files(self):
        self.old_installation()
        before = self.snapshot()
        self.set_faults({"/zunor/ZunorRes.dat": {"fault": "status", "status": 404},
                         "/zunor/TEMPLATE/Izvod.txt": {"fault": "status", "status": 500},
                         "/zunor/zunorfmt.dll": {"fault": "status", "status": 503}})
        code, out, report, _ = self.run_setup()
        self.assert_report(code, out, report, 1, [not_downloaded("ZunorRes.dat", "server je vratio 404"),
                                                  not_downloaded("Izvod.txt", "server je vratio 500"),
                                                  not_downloaded("zunorfmt.dll", "server je vratio 503")])
        self.assertEqual(self.server.count("/zunor/zunorfmt.dll"), 1, "a status is never asked again")
        bad = [("", "ZunorRes.dat"), ("TEMPLATE", "Izvod.txt"), ("", "zunorfmt.dll")]
        self.assert_files(before, kept=bad, refreshed=self.everything_but(*bad))
        self.assert_no_temporary_files()

    def test_listing_answered_with_500(self):
        self.old_installation()
        before = self.snapshot()
        self.set_faults({"/zunor/TEMPLATE": {"fault": "status", "status": 500}})
        code, out, report, _ = self.run_setup()
        # No copy of the listing from an earlier run: nothing can be done, and nothing is touched.
        self.assert_report(code, out, report, 3, [])
        self.assertIn(f"Adresa: https://localhost:{self.server.port}/zunor/TEMPLATE", out)
        self.assert_files(before, kept=self.everything_but())
        self.assert_no_temporary_files()

        # With the copy an earlier run left, the run goes on from it and says the listing is old.
        self.set_faults({})
        self.old_installation(listings=True)
        before = self.snapshot()
        self.set_faults({"/zunor/TEMPLATE": {"fault": "status", "status": 500}})
        code, out, report, _ = self.run_setup()
        self.assert_report(code, out, report, 1, [not_downloaded("tdown.ini", "server je vratio 500")])
        self.assert_files(before, refreshed=self.everything_but())
        self.assert_no_temporary_files()

    def test_error_page_without_links(self):
        self.old_installation()
        before = self.snapshot()
        page = "<html><head><title>503</title></head><body><h1>Service Unavailable</h1></body></html>\n"
        self.set_faults({"/zunor": {"body": page}})
        code, out, report, _ = self.run_setup()
        # The page did arrive: the report says what it lacks, with no system text for a success.
        self.assert_report(code, out, report, 3, [],
                           failure="Greska 13: Stranica sa servera ne sadrzi spisak datoteka.\n"
                                   "Na stranici nema nijedne veze ka datoteci programa (HTTP status 200).\n"
                                   f"Adresa: https://localhost:{self.server.port}/zunor\n")
        self.assert_files(before, kept=self.everything_but())
        self.assert_no_temporary_files()

    # --- the local side --------------------------------------------------------------------------

    def test_program_folder_that_cannot_be_written(self):
        self.old_installation(listings=True)
        before = self.snapshot()
        subprocess.run(["chattr", "+i", self.program], check=True)
        try:
            code, out, report, _ = self.run_setup()
        finally:
            subprocess.run(["chattr", "-i", self.program], check=True)
        program = [n for n in self.served("") if n != "firme.mdb"]
        expected = [not_downloaded(n, UNWRITABLE) for n in ["pdown.ini", "sdown.ini", "tdown.ini"] + program]
        # What lets the product be removed is kept elsewhere, in the removal folder, and is written.
        self.assert_report(code, out, report, 1, expected + [r for r in report if r.startswith("Nije upisano")])
        self.assert_files(before, kept=[("", n) for n in program],
                          refreshed=[("TEMPLATE", n) for n in self.served("TEMPLATE")])
        self.assert_no_temporary_files()

    def test_destination_held_open_without_sharing(self):
        self.old_installation()
        before = self.snapshot()
        held = self.destination("", "ZunorRes.dat")
        helper = subprocess.Popen(harness.wine(os.path.join(harness.build_dir(), "tools", "hold_file.exe"),
                                               harness.windows_path(held)), env=self.prefix.env, stdin=subprocess.PIPE,
                                  stdout=subprocess.PIPE)
        try:
            self.assertEqual(helper.stdout.readline().strip(), b"held")
            code, out, report, _ = self.run_setup()
        finally:
            helper.stdin.close()
            helper.wait(timeout=30)
            helper.stdout.close()
        self.assert_report(code, out, report, 1, [not_downloaded("ZunorRes.dat", UNWRITABLE)])
        self.assert_files(before, kept=[("", "ZunorRes.dat")], refreshed=self.everything_but(("", "ZunorRes.dat")))
        self.assert_no_temporary_files()

    def test_disk_that_fills_during_a_download(self):
        mount = os.path.join(self.work, "small-disk")
        drive = os.path.join(self.prefix.root, "dosdevices", "x:")
        os.makedirs(mount, exist_ok=True)
        subprocess.run(["mount", "-t", "tmpfs", "-o", "size=2m", "tmpfs", mount], check=True)
        try:
            with contextlib.suppress(FileNotFoundError):
                os.remove(drive)
            os.symlink(mount, drive)
            self.location = "X:\\Brantovik\\"
            self.program = os.path.join(mount, "Brantovik", "zunor2021")
            self.old_installation()
            before, inodes = self.snapshot(), self.inodes()
            # Bigger than the whole disk: the disk fills while it streams in.
            self.set_faults({"/zunor/ZunorRes.dat": {"size": 6 << 20}})
            code, out, report, _ = self.run_setup()
            # Files written beside it while the disk is full fail the same way; each is whole or not there.
            lost = self.not_taken_in(inodes)
            self.assertIn(("", "ZunorRes.dat"), lost)
            self.assert_lost_and_reported(code, out, report, lost, UNWRITABLE)
            self.assert_files(before, kept=lost, refreshed=[item for item in inodes if item not in lost])
            self.assert_no_temporary_files()
        finally:
            with contextlib.suppress(FileNotFoundError):
                os.remove(drive)
            subprocess.run(["umount", mount], check=False)

    # --- trust ---------------------------------------------------------------------------------------

    def test_untrusted_certificate(self):
        self.old_installation()
        before = self.snapshot()
        untrusted = TreeServer(self.tree, self.faults_file, cert="untrusted").start()
        try:
            code, out, report, _ = self.run_setup(port=untrusted.port)
        finally:
            untrusted.stop()
        self.assert_report(code, out, report, 3, [])
        self.assert_files(before, kept=self.everything_but())
        self.assert_no_temporary_files()

    def test_redirect_from_https_to_http(self):
        self.old_installation()
        before = self.snapshot()
        self.set_faults({"/zunor/updater.exe": {"fault": "redirect-http"}})
        code, out, report, _ = self.run_setup()
        self.assert_report(code, out, report, 1,
                           [not_downloaded("updater.exe", "preusmerenje na nezasticenu vezu")])
        self.assert_files(before, kept=[("", "updater.exe")], refreshed=self.everything_but(("", "updater.exe")))

        # A listing sent off to http is not taken either; the run goes on from the copy the first
        # run left, and says so.
        self.set_faults({"/zunor/SUPORT": {"fault": "redirect-http"}})
        before = self.snapshot()
        sdown = os.path.join(self.program, "sdown.ini")
        code, out, report, _ = self.run_setup()
        self.assert_report(code, out, report, 1, [not_downloaded("sdown.ini", "preusmerenje na nezasticenu vezu")])
        with open(sdown, "rb") as f:
            self.assertEqual(f.read(), before[sdown])
        self.assert_files(before)
        self.assert_no_temporary_files()

    def test_expired_certificate_and_one_for_another_host(self):
        self.old_installation()
        before = self.snapshot()
        for cert, number in (("expired", 12037), ("otherhost", 12038)):
            server = TreeServer(self.tree, self.faults_file, cert=cert).start()
            try:
                code, out, report, _ = self.run_setup(port=server.port)
            finally:
                server.stop()
            self.assert_report(code, out, report, 3, [])
            self.assertIn(f"Greska {number}: {LIST_FAILED}", out)
        self.assert_files(before, kept=self.everything_but())
        self.assert_no_temporary_files()

    def test_redirect_loop(self):
        self.old_installation()
        before = self.snapshot()
        self.set_faults({"/zunor/updater.exe": {"fault": "redirect-loop"}})
        code, out, report, _ = self.run_setup()
        self.assert_report(code, out, report, 1, [not_downloaded("updater.exe", REDIRECT_LOOP)])
        self.assert_files(before, kept=[("", "updater.exe")], refreshed=self.everything_but(("", "updater.exe")))
        self.assert_no_temporary_files()

    # --- situations every office PC meets -----------------------------------------------------------

    def add_served(self, folder, name, data):
        with open(os.path.join(self.tree, "zunor", folder, name), "wb") as f:
            f.write(data)
        self.sign_tree()

    def slow_big_file(self):
        """A 12 MiB program file the server sends at 2 MiB/s, so a run is busy with it for a while."""
        self.add_served("", "veliki.cab", os.urandom(12 << 20))
        self.set_faults({"/zunor/veliki.cab": {"rate": 2 << 20}})
        return os.path.join(self.program, "veliki.cab")

    def wait_for_part(self, destination):
        """The temporary file of a transfer that is well under way."""
        def part():
            found = glob.glob(glob.escape(destination) + ".*.zunor-part")
            return found[0] if found and os.path.getsize(found[0]) > (1 << 20) else None
        return harness.wait_until(part, timeout=60, interval=0.1, what=f"a transfer of {destination}")

    def parts_anywhere(self):
        return [os.path.join(top, n) for top, _, names in os.walk(self.prefix.drive_c) for n in names
                if n.endswith(".zunor-part")]

    def test_component_registration_that_hangs(self):
        self.addCleanup(self.reset_tree)
        hanging = os.path.join(self.prefix.system_dir, HANGING)
        self.addCleanup(lambda: os.path.exists(hanging) and os.remove(hanging))
        self.old_installation()
        before = self.snapshot()
        with open(os.path.join(harness.build_dir(), "tests", "components", "hanging.dll"), "rb") as f:
            self.add_served("SUPORT", HANGING, f.read())
        code, out, report, _ = self.run_setup()
        self.assert_report(code, out, report, 1, ["Nije registrovano: " + HANGING])
        registered = self.prefix.reg_values(SAMPLE_KEY) or {}
        components = sample_files("SUPORT")
        self.assertEqual({n: registered.get(n) for n in components}, {n: "registered" for n in components},
                         "the run did not go on")
        self.assert_files(before, refreshed=self.everything_but())
        self.assert_no_temporary_files()

    def test_installer_killed_mid_file_then_second_run(self):
        self.addCleanup(self.reset_tree)
        self.old_installation()
        destination = self.slow_big_file()
        first, _ = self.start_setup()
        try:
            part = self.wait_for_part(destination)
        finally:
            first.kill()  # as the Task Manager or a power cut ends it: nothing of it runs on
            first.wait(timeout=30)
            first.stdout.close()
        self.assertTrue(os.path.exists(part), "the killed run left nothing behind to clean up")
        self.set_faults({})
        code, out, report, _ = self.run_setup()
        self.assert_report(code, out, report, 0, [])
        self.assert_files({}, refreshed=self.everything_but())
        self.assertEqual(self.parts_anywhere(), [])
        with open(os.path.join(self.logs, self.id().split(".")[-1] + ".log"), encoding="utf-8") as f:
            self.assertRegex(f.read(), rf"leftover .*\\{re.escape(os.path.basename(part))}: removed")

    def test_second_setup_while_one_runs(self):
        self.addCleanup(self.reset_tree)
        self.old_installation()
        destination = self.slow_big_file()
        first, first_log = self.start_setup()
        try:
            self.wait_for_part(destination)
            code, out, _, _ = self.run_setup(log_name="second")
            self.assertEqual((code, out.strip()), (3, ALREADY_RUNNING))
            driver = harness.UiDriver()
            try:
                driver.start(harness.windows_path(harness.setup_exe()), f"/SERVER=https://localhost:{self.server.port}")
                driver.wait_message_box(30000)
                self.assertEqual(driver.message_text(), ALREADY_RUNNING)
                harness.screenshot("second-setup.png")
                driver.message_ok()
                self.assertEqual(driver.wait_exit(30000), 3)
            finally:
                driver.close()
            self.assertEqual(first.wait(timeout=120), 0)
        finally:
            if first.poll() is None:
                first.kill()
            first.stdout.close()
        self.assert_files({}, refreshed=self.everything_but())
        self.assert_no_temporary_files()

    def test_product_running_from_the_location(self):
        code, out, report, _ = self.run_setup()
        self.assert_report(code, out, report, 0, [])
        product_path = os.path.join(self.program, "Zunor2021VK.exe")
        product = subprocess.Popen(harness.wine(product_path), env=self.prefix.env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        driver = harness.UiDriver()
        try:
            harness.wait_until(lambda: driver.process_running("Zunor2021VK.exe"), timeout=30, what="the product")
            before = self.snapshot()
            requests = self.server.count("/zunor")
            code, out, report, _ = self.run_setup()
            self.assertEqual(code, 3, out)
            self.assertIn("Program Zunor 2021 je pokrenut. Zatvorite ga, pa pokusajte ponovo.", out)
            self.assertIn(PROGRAM + "\\Zunor2021VK.exe", out)
            self.assertEqual(out.strip().splitlines()[-2:], [INSTALL_STOPPED, "Instalacija nije uspela."])
            self.assertEqual(self.server.count("/zunor"), requests, "a listing was fetched")
            self.assert_files(before, kept=self.everything_but())

            # With the window: the user is asked, closes the product, and tries again.
            ids = harness.control_ids()
            harness.start_setup(driver, f"/SERVER=https://localhost:{self.server.port}")
            harness.accept_and_install(driver, ids)
            driver.wait_message_box(30000)
            self.assertTrue(driver.message_text().startswith("Program Zunor 2021 je pokrenut."))
            harness.screenshot("product-running.png")
            self.prefix.kill_product()
            product.wait(timeout=30)
            driver.command(f"msgpress {IDRETRY}")
            driver.command("msgboxany 180000", timeout=210)
            self.assertEqual(driver.message_text(), SUCCESS)
            driver.message_ok()
            self.assertEqual(harness.finish_without_product(driver, ids), 0)
        finally:
            driver.close()
            if product.poll() is None:
                product.kill()
        self.assert_files({}, refreshed=self.everything_but())


    # --- what the listing says -----------------------------------------------------------------------

    def test_hostile_listing(self):
        self.old_installation()
        before = self.snapshot()
        good = ["a&b.dat", "ok dat.dat"]
        for name in good:
            with open(os.path.join(self.tree, "zunor", name), "wb") as f:
                f.write(b"served as " + name.encode())
        hostile = ["..\\evil1.dat", "..%5Cevil2.dat", "sub/evil3.dat", "sub%2Fevil4.dat", "C:evil5.dat",
                   "bell\x07.dat", "tab%09.dat", "CON", "nul.txt", "Com1.log", "dot.", "space ", "%2e%2e",
                   "..", "*.dat", "que?.dat"]
        lines = ["<html><body><ul>"]
        lines += ['<li><a href="%s">x</a></li>' % n for n in list(self.served("")) + hostile]
        lines += ['<li><a href="a&amp;b.dat">a&amp;b</a></li>', '<li><a href="ok%20dat.dat">ok</a></li>']
        lines += ['<li><a href="../evil%d.dat">x</a></li>' % i for i in range(5000)]
        lines.append("<p>" + "x" * (20 << 20) + '<a href="after-long-line.dat">x</a></p>')
        body = "\n".join(lines).encode("utf-8", "surrogateescape") + b"\n" + bytes(range(256)) * 64 + b"\n</ul>\n"
        page = os.path.join(self.work, "hostile.html")
        with open(page, "wb") as f:
            f.write(body)
        self.set_faults({"/zunor": {"body_file": page}})
        try:
            code, out, report, _ = self.run_setup(timeout=300)
        finally:
            for name in good:
                os.remove(os.path.join(self.tree, "zunor", name))
        self.assertEqual(code, 1, out)
        bad_names = [r for r in report if r.startswith("Preskoceno, neispravan naziv: ")]
        self.assertGreaterEqual(len(bad_names), 5000 + len(hostile) - 2, report[:20])
        self.assertEqual([r for r in report if not r.startswith("Preskoceno")],
                         [not_downloaded("after-long-line.dat", "server je vratio 404")], out)
        for name in good:
            with open(os.path.join(self.program, name), "rb") as f:
                self.assertEqual(f.read(), b"served as " + name.encode())
        # Nothing was written outside the program folder.
        outside = []
        for top, _, names in os.walk(self.prefix.drive_c):
            outside += [os.path.join(top, n) for n in names if "evil" in n]
        self.assertEqual(outside, [])
        self.assertEqual(sorted(os.listdir(os.path.dirname(self.program))), ["zunor2021"])
        self.assert_files(before, refreshed=self.everything_but())
        self.assert_no_temporary_files()

    def test_stale_listing_in_the_url_cache(self):
        stale = os.path.join(self.work, "stale.html")
        with open(stale, "w") as f:
            f.write('<html><body><a href="stale.dat">stale.dat</a></body></html>\n')
        url = f"https://localhost:{self.server.port}/zunor"
        seeded = self.prefix.wine(os.path.join(harness.build_dir(), "tools", "seed_url_cache.exe"), url,
                                  harness.windows_path(stale))
        self.assertTrue(seeded.stdout.startswith(b"cached "), seeded)
        code, out, report, _ = self.run_setup()
        self.assert_report(code, out, report, 0, [])
        self.assertEqual(self.server.count("/zunor/stale.dat"), 0)
        with open(os.path.join(self.program, "pdown.ini"), "rb") as f:
            self.assertNotIn(b"stale.dat", f.read())
        self.assert_files({}, refreshed=self.everything_but())
        self.assert_no_temporary_files()

    def test_second_run_over_a_finished_installation(self):
        code, out, report, _ = self.run_setup()
        self.assert_report(code, out, report, 0, [])
        mine = {os.path.join(self.program, "firme.mdb"): b"the user's companies",
                os.path.join(self.program, "DATA", "knjige.dat"): b"the user's books",
                os.path.join(self.program, "moje beleske.txt"): b"the user's notes"}
        for path, data in mine.items():
            with open(path, "wb") as f:
                f.write(data)
        before = self.snapshot()
        self.rewrite_tree(lambda folder, name, data: data if folder == "SUPORT" else data + b" version 2")
        try:
            code, out, report, _ = self.run_setup()
            self.assert_report(code, out, report, 0, [])
            self.assert_files(before, refreshed=self.everything_but())
        finally:
            self.reset_tree()
        for path, data in mine.items():
            with open(path, "rb") as f:
                self.assertEqual(f.read(), data, path)
        self.assert_no_temporary_files()


# A large file fetched as ranges over the idle connections, one row per way the server answers its
# ranges (see faultserver.py's product()): the run's exit code, the report's items, whether the file
# is the served one byte for byte, and whether it came in several ranges. The file is large by the
# test hook's split size; the server sends every answer at 1 MiB/s, so the rest of the product is in
# while its first stream still runs.
BIG, BIG_SIZE, BREAK_AFTER = "veliki.cab", 4 << 20, 64 << 10
RANGE_FAULTS = {
    "large_file_in_ranges_arrives_whole": ("", 0, True),
    "one_range_broken_twice_and_resumed": ("break-twice", 0, True),
    "range_that_fails_for_good_keeps_the_old_copy": ("break-always", 1, None),
    "server_that_ignores_range_gives_one_stream": ("ignore", 0, False),
    "server_whose_file_changes_between_ranges": ("other-version", 0, False),
}
FILE_LINE = re.compile(r"^\S+ \S+ file (.*)$", re.M)


def range_fault_row(fault, expected_code, split):
    def row(self):
        self.addCleanup(self.reset_tree)
        self.timeouts = TIMEOUTS + ",split=%d" % (1 << 20)
        self.old_installation()
        data = os.urandom(BIG_SIZE)
        self.add_served("", BIG, data)
        destination = self.destination("", BIG)
        with open(destination, "wb") as f:
            f.write(b"old version of " + BIG.encode())
        before = self.snapshot()
        self.set_faults({"/zunor/" + BIG: {"ranges": fault, "after": BREAK_AFTER, "rate": 1 << 20}})
        self.server.page("/_reset")
        code, out, report, _ = self.run_setup()
        with open(os.path.join(self.logs, self.id().split(".")[-1] + ".log"), encoding="utf-8") as f:
            line = [text for text in FILE_LINE.findall(f.read()) if text.startswith(f"https://localhost:{self.server.port}/zunor/{BIG} ")]
        requests = self.server.page("/_log?path=" + urllib.parse.quote("/zunor/" + BIG)).decode().splitlines()
        ranged = [r for r in requests if r.split()[1] != "-"]
        self.assertTrue(ranged, f"no range was asked for: {requests}")
        if expected_code == 0:
            self.assert_report(code, out, report, 0, [])
            self.assert_files(before, refreshed=self.everything_but())
        else:
            self.assert_lost_and_reported(code, out, report, [("", BIG)], DROPPED)
            self.assert_files(before, kept=[("", BIG)], refreshed=self.everything_but(("", BIG)))
        self.assert_no_temporary_files()
        self.assertEqual(len(line), 1, line)
        ranges = re.search(r", (\d+) ranges$", line[0])
        if split is not None:
            self.assertEqual(bool(ranges), split, (line, requests))
        if fault == "break-twice":
            asked = lambda r: int(r.split()[1].split("-")[1]) - int(r.split()[1].split("-")[0][6:]) + 1
            broken = [r for r in ranged if r.startswith("206 ") and int(r.split()[2]) < asked(r)]
            self.assertEqual(len(broken), 2, requests)
        if fault == "ignore":
            self.assertTrue(all(r.startswith("200 ") for r in requests), requests)
        if fault == "other-version":
            self.assertTrue(any(r.startswith("206 ") for r in ranged), requests)
    return row


for _name, (_fault, _code, _split) in RANGE_FAULTS.items():
    setattr(FaultMatrixTest, "test_" + _name, range_fault_row(_fault, _code, _split))


# One row per way a body can go wrong on its way, all on the same file.
BODY_FAULTS = {
    "connection_dropped_mid_large_file": ({"size": 4 << 20, "fault": "drop", "after": 2 << 20}, DROPPED),
    "body_shorter_than_content_length": ({"fault": "short", "after": 1000}, DROPPED),
    "chunked_body_closed_before_last_chunk": ({"fault": "chunked-cut", "after": 1000}, DROPPED),
    "garbage_content_length": ({"fault": "badlength"}, DROPPED),
    "body_stalling_past_receive_timeout": ({"fault": "stall", "after": 1000}, TIMED_OUT),
    "body_dripping_a_byte_a_second_for_ever": ({"fault": "drip", "interval_ms": 1000}, TIMED_OUT),
}


def body_fault_row(fault, reason):
    def row(self):
        self.old_installation()
        before = self.snapshot()
        self.set_faults({"/zunor/ZunorRes.dat": fault})
        code, out, report, took = self.run_setup(timeout=120)
        self.assert_report(code, out, report, 1, [not_downloaded("ZunorRes.dat", reason)])
        self.assert_files(before, kept=[("", "ZunorRes.dat")], refreshed=self.everything_but(("", "ZunorRes.dat")))
        self.assert_no_temporary_files()
    return row


for _name, (_fault, _reason) in BODY_FAULTS.items():
    setattr(FaultMatrixTest, "test_" + _name, body_fault_row(_fault, _reason))


if __name__ == "__main__":
    unittest.main(verbosity=2)
