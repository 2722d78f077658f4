#!/usr/bin/env python3
"""The window during long transfers: it keeps answering, the fill moves inside a file, "Zavrsi" and
the close box stop every transfer at once and leave the old copies; a transfer that breaks off is
resumed (unattended, with progress in the log). The product is served by the fault server from a tree
of its own, at 2 MiB/s a connection where the window is watched."""
import glob
import os
import re
import shutil
import ssl
import subprocess
import sys
import time
import unittest
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from harness import wait_until  # noqa: E402
from install_env import Prefix, https_port  # noqa: E402

RATE = 2 * 1024 * 1024
BIG = "big.cab"
BIG_SIZE = 24 * 1024 * 1024
SECOND = "big2.cab"  # on its way on another connection at the same time
SECOND_SIZE = 16 * 1024 * 1024
LOCATION = "C:\\LiveTest\\"
PRODUCT = "Zunor2021VK.exe"


def make_tree(root, big_size):
    """A product with two large program files and a small one; no templates, no components."""
    shutil.rmtree(root, ignore_errors=True)
    for sub in ("SUPORT", "TEMPLATE"):
        os.makedirs(os.path.join(root, sub))
    with open(os.path.join(root, BIG), "wb") as f:
        f.write(os.urandom(big_size))
    with open(os.path.join(root, SECOND), "wb") as f:
        f.write(os.urandom(SECOND_SIZE))
    with open(os.path.join(root, "small.txt"), "wb") as f:
        f.write(b"small file\r\n")
    # The launch probe is the product: placed first (small), so "Zavrsi" during the run may start it.
    shutil.copy(os.path.join(harness.build_dir(), "tools", "launch_probe.exe"), os.path.join(root, PRODUCT))


class ProductServer:
    """faultserver.py serving a product tree under /zunor on its own port."""

    def __init__(self, port, root, *options):
        self.port, self.root, self.options = port, root, options
        self.script = os.path.join(harness.source_dir(), "tools", "faultserver", "faultserver.sh")

    def __enter__(self):
        subprocess.run(["bash", self.script, "start", harness.build_dir(), str(self.port), "--root", self.root,
                        *self.options], check=True, timeout=60)
        return self

    def __exit__(self, *exc):
        subprocess.run(["bash", self.script, "stop", harness.build_dir(), str(self.port)], check=False, timeout=60)

    @property
    def base(self):
        return f"https://localhost:{self.port}"

    def requests(self, path):
        """The server's record of each request for path: "<status> <range or -> <bytes sent>"."""
        tls = ssl.create_default_context(cafile=os.path.join(harness.build_dir(), "pki", "ca.crt"))
        with urllib.request.urlopen(f"{self.base}/_log?path={path}", context=tls, timeout=30) as answer:
            return answer.read().decode("ascii").splitlines()


class LiveWindowTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.ids = harness.control_ids()
        cls.prefix = Prefix()
        cls.work = os.path.join(harness.build_dir(), "e2e-live")
        cls.root = os.path.join(cls.work, "htdocs", "zunor")
        make_tree(cls.root, BIG_SIZE)
        cls.port = https_port() + 8

    def setUp(self):
        self.program = self.prefix.host(LOCATION + "zunor2021")
        shutil.rmtree(self.prefix.host(LOCATION), ignore_errors=True)
        os.makedirs(self.program)
        self.old = {name: f"the old copy of {name}\r\n".encode() * 100 for name in (BIG, SECOND)}
        for name, data in self.old.items():
            with open(os.path.join(self.program, name), "wb") as f:
                f.write(data)
        self.driver = harness.UiDriver()

    def tearDown(self):
        try:
            self.driver.kill()
        except harness.DriverError:
            pass
        self.driver.close()
        self.prefix.wine("taskkill", "/F", "/IM", PRODUCT, check=False)

    def id(self, name):  # noqa: A003 - a control's ID
        return self.ids[name]

    def start_run(self, server):
        harness.start_setup(self.driver, f"/SERVER={server.base}")
        self.driver.click(self.id("CHECK3"))
        wait_until(lambda: self.driver.enabled(self.id("COMMAND3")), what="Dalje enabled")
        self.driver.set_text(self.id("TEXT2"), LOCATION)
        self.driver.click(self.id("COMMAND3"))
        wait_until(lambda: ".cab (" in self.driver.text(self.id("LABEL4")), timeout=30,
                   what="a large file's status")

    def watch_transfer(self, seconds):
        """Asks the window every 100 ms for its status line; returns the fill widths seen."""
        widths, slowest = [], 0
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            answered, took = self.driver.responds(self.id("LABEL4"), 200)
            self.assertTrue(answered, "the window did not answer within 200 ms")
            slowest = max(slowest, took)
            widths.append(self.driver.width(self.id("LABEL3")))
            time.sleep(0.1)
        self.assertLessEqual(slowest, 200)
        return widths

    def assert_stopped_cleanly(self):
        self.assertEqual(glob.glob(os.path.join(self.program, "*.zunor-part")), [], "a temporary file was left")
        for name, data in self.old.items():
            with open(os.path.join(self.program, name), "rb") as f:
                self.assertEqual(f.read(), data, f"the old copy of {name} changed")

    def started(self):
        return os.path.exists(os.path.join(self.program, "started.txt"))

    def test_window_stays_alive_and_finish_stops_the_transfer_at_once(self):
        with ProductServer(self.port, self.root, "--rate", str(RATE)) as server:
            self.start_run(server)
            widths = self.watch_transfer(3.0)
            # The small file is in at once beside the two large ones; the fill grows with them and stays
            # short of the whole track while they are under way.
            track = self.driver.client_size(self.id("PICTURE1"))[0]
            self.assertGreater(len(set(widths)), 3, f"the fill did not move: {widths}")
            self.assertEqual(widths, sorted(widths), "the fill went back")
            self.assertLess(widths[-1], track)
            status = self.driver.text(self.id("LABEL4"))
            # One of the two large files has the status line, from its first report to its end.
            self.assertRegex(status, r"^Preuzimanje potrebnih datoteka - (big\.cab \(\d+,\d od 24,0|"
                                     r"big2\.cab \(\d+,\d od 16,0) MB\)$")
            harness.screenshot("live-transfer.png")

            clicked = time.monotonic()
            self.driver.click(self.id("COMMAND2"))  # "Zavrsi", Check4 ticked
            self.driver.wait_exit(5000)
            self.assertLess(time.monotonic() - clicked, 1.0, "the program took more than a second to end")
            self.assert_stopped_cleanly()
            wait_until(self.started, timeout=20, what="the product to start")
            # Both were on their way when "Zavrsi" stopped them (the larger perhaps in ranges).
            for name in (BIG, SECOND):
                self.assertGreaterEqual(len(server.requests(f"/zunor/{name}")), 1, name)

    def test_close_box_stops_the_transfer_and_starts_nothing(self):
        with ProductServer(self.port, self.root, "--rate", str(RATE)) as server:
            self.start_run(server)
            self.watch_transfer(1.0)
            clicked = time.monotonic()
            self.driver.close_box()
            self.driver.wait_exit(5000)
            self.assertLess(time.monotonic() - clicked, 1.0, "the program took more than a second to end")
            self.assert_stopped_cleanly()
            self.assertFalse(self.driver.process_running(PRODUCT))
            self.assertFalse(self.started(), "the close box started the product")

    def test_unattended_transfer_is_resumed_and_logs_its_tenths(self):
        log = os.path.join(self.work, "resume.log")
        if os.path.exists(log):
            os.remove(log)
        with ProductServer(self.port + 1, self.root, "--break-first-at", "0.5") as server:
            proc = subprocess.run([*harness.wine(harness.setup_exe()), "/S", f"/SERVER={server.base}",
                                   f"/LOG={harness.windows_path(log)}", f"/D={LOCATION}"],
                                  env=self.prefix.env, capture_output=True, timeout=300)
            out = proc.stdout.decode("utf-8", "replace")
            sent = server.requests(f"/zunor/{BIG}")
        self.assertEqual(proc.returncode, 0, out)
        with open(os.path.join(self.root, BIG), "rb") as f, open(os.path.join(self.program, BIG), "rb") as g:
            self.assertTrue(f.read() == g.read(), "the installed file differs from the served one")
        # The first request (the file's first range; the rest comes as ranges over the idle
        # connections) broke and was taken up from its last byte, and no byte was sent twice.
        broke = int(BIG_SIZE * 0.5)
        self.assertEqual([s for s in sent if s.startswith("206 bytes=0-")], [f"206 bytes=0-{(16 << 20) - 1} {broke}"])
        self.assertEqual(len([s for s in sent if s.startswith(f"206 bytes={broke}-")]), 1, sent)
        self.assertEqual(sum(int(s.split()[2]) for s in sent), BIG_SIZE, sent)
        with open(log, encoding="utf-8") as f:
            lines = f.read().splitlines()
        tenths = [re.search(r" progress big\.cab: (\d+)% \(", line) for line in lines]
        self.assertEqual([int(m.group(1)) for m in tenths if m], list(range(10, 101, 10)))
        self.assertFalse(any(" progress small.txt" in line for line in lines))


if __name__ == "__main__":
    unittest.main(verbosity=2)
