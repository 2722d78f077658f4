"""Through a proxy, as offices have them: the real installer under Wine with the proxy set in the prefix
the way Windows keeps it (Internet Settings, ProxyEnable and ProxyServer), Squid in between, and a
download host that only Squid can resolve, so nothing gets through but through it. Then Squid asks for
Basic credentials: unattended the run stops naming the proxy, with the window WinINet's own prompt asks
the user, and what the user types never reaches the log."""
import os
import re
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from install_env import (SUCCESS, LocalServer, Prefix, SetupRuns, https_port, installed_tree,  # noqa: E402
                         product_tree)

INTERNET_SETTINGS = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings"
HOST = "zunor-download.test"  # in the test certificate; only the proxy's hosts file has it
USER, PASSWORD = "knjigovodja", "Tajna-22 lozinka"
# Controls of WinINet's proxy prompt under Wine: the proxy it names, user name, password.
PROMPT_PROXY, PROMPT_USER, PROMPT_PASSWORD = 0x401, 0x403, 0x404
IDOK, IDCANCEL = 1, 2
LISTING_FAILED = "Greska 407: Spisak datoteka nije preuzet sa servera."


def next_message(driver, start, timeout):
    """The text of the next message box of the installer that starts with start (the prompt that was
    just answered may not be gone yet)."""
    def found():
        try:
            driver.wait_message_box(1000)
            text = driver.message_text()
        except harness.DriverError:
            return None
        return text if text.startswith(start) else None
    return harness.wait_until(found, timeout=timeout, interval=0.2, what=f"a message starting {start!r}")


class ProxyTest(SetupRuns, unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = Prefix()
        cls.server = f"https://{HOST}:{https_port()}"  # the fixture's Apache
        cls.proxy_port = https_port() + 13
        cls.proxy = f"127.0.0.1:{cls.proxy_port}"
        cls.logs = os.path.join(harness.build_dir(), "e2e-logs")
        os.makedirs(cls.logs, exist_ok=True)

    def setUp(self):
        self.prefix.clean_slate()
        self.addCleanup(self.use_proxy, False)

    def use_proxy(self, on):
        self.prefix.wine("reg", "add", INTERNET_SETTINGS, "/v", "ProxyEnable", "/t", "REG_DWORD", "/d",
                         "1" if on else "0", "/f")
        if on:
            self.prefix.wine("reg", "add", INTERNET_SETTINGS, "/v", "ProxyServer", "/t", "REG_SZ", "/d",
                             self.proxy, "/f")
        else:
            self.prefix.wine("reg", "delete", INTERNET_SETTINGS, "/v", "ProxyServer", "/f", check=False)

    def squid(self, *args):
        return LocalServer("squid", self.proxy_port, *args)

    def tunnels(self, squid):
        """The CONNECT lines of the proxy's access log that went through to the download host."""
        with open(os.path.join(squid.folder, "state")) as f:
            state = f.read().strip()
        with open(os.path.join(state, "access.log")) as f:
            return [line for line in f if "TCP_TUNNEL/200" in line and f"CONNECT {HOST}:" in line]

    def test_installs_through_the_proxy_and_only_through_it(self):
        code, out = self.setup("/S", f"/SERVER={self.server}")
        self.assertEqual(code, 3, out)  # the host is nobody's but the proxy's
        self.assertIn(LISTING_FAILED.replace("407", "12007"), out)

        self.prefix.clean_slate()
        self.use_proxy(True)
        with self.squid() as squid:
            code, out = self.setup("/S", f"/SERVER={self.server}")
            tunnels = self.tunnels(squid)
        self.assertEqual(code, 0, out)
        self.assertEqual(installed_tree(self.prefix), product_tree())
        self.assertTrue(tunnels, "nothing went through the proxy")

    def test_proxy_that_asks_who_we_are(self):
        self.use_proxy(True)
        with self.squid("--auth", f"{USER}:{PASSWORD}") as squid:
            # Unattended nobody can answer: the run stops and names the proxy that asks.
            code, out = self.setup("/S", f"/SERVER={self.server}")
            self.assertEqual(code, 3, out)
            self.assertIn(f"{LISTING_FAILED}\nProksi server {self.proxy} trazi prijavu (korisnicko ime i lozinku).\n"
                          f"Adresa: {self.server}/zunor\n", out)

            # With the window the system's own prompt asks; cancelled, the run stops the same way.
            self.prefix.clean_slate()
            driver = harness.UiDriver()
            try:
                ids = harness.control_ids()
                harness.start_setup(driver, f"/SERVER={self.server}")
                harness.accept_and_install(driver, ids)
                driver.wait_message_box(60000)
                self.assertEqual(driver.dialog_text(PROMPT_PROXY), self.proxy)
                driver.press(IDCANCEL)
                report = next_message(driver, LISTING_FAILED, 60)
                self.assertIn(f"\r\nProksi server {self.proxy} trazi prijavu", report)
                driver.message_ok()
                self.assertEqual(driver.wait_exit(30000), 3)

                # Answered, the listing is asked for again and everything comes through the proxy.
                self.prefix.clean_slate()
                log = self.log_file("proxy-window.log")
                harness.start_setup(driver, f"/SERVER={self.server}", f"/LOG={harness.windows_path(log)}")
                harness.accept_and_install(driver, ids)
                driver.wait_message_box(60000)
                self.assertEqual(driver.dialog_text(PROMPT_PROXY), self.proxy)
                driver.set_dialog_text(PROMPT_USER, USER)
                driver.set_dialog_text(PROMPT_PASSWORD, PASSWORD)
                harness.screenshot_when_drawn("proxy-prompt.png")
                driver.press(IDOK)
                self.assertEqual(next_message(driver, "Instalacija", 120), SUCCESS)
                driver.message_ok()
                self.assertEqual(harness.finish_without_product(driver, ids), 0)
            finally:
                driver.kill()
                driver.close()
            # Squid writes a tunnel's line when the tunnel closes, which may come a moment after the
            # installer has ended.
            deadline = time.monotonic() + 20
            while not any(re.search(rf" {USER} ", line) for line in self.tunnels(squid)):
                if time.monotonic() > deadline:
                    self.fail("no tunnel for the user")
                time.sleep(0.2)
        self.assertEqual(installed_tree(self.prefix), product_tree())
        text = self.read_log(log)
        self.assertRegex(text, rf"(?m) proxy {re.escape(self.proxy)} asked who we are: answered$")
        for secret in (USER, PASSWORD, PASSWORD.split()[0]):
            self.assertNotIn(secret, text)


if __name__ == "__main__":
    unittest.main(verbosity=2)
