"""Listings from other real index servers (nginx, Caddy, mini_httpd, H2O, Tomcat, and webfs, which sends
folders to http), the SHA256SUMS checks and the publisher's signature over them, mirrors, and the /LIST
dry run, all with the real installer under Wine (/S and /LIST, console output and exit codes)."""
import hashlib
import os
import re
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from install_env import (ARCHIVES, CHECKSUMS, PROGRAM, SIGNATURE, Apache, LocalServer, Prefix, access_log,  # noqa: E402
                         copy_docroot, https_port, installed_tree, product_tree, sample_files, sample_root)

LISTING_PATHS = ("/zunor", "/zunor/SUPORT", "/zunor/TEMPLATE")
NOT_SIGNED = "Kontrolni zbirovi (SHA256SUMS) fascikle nisu potpisani od strane izdavaca programa."


def sign_product(docroot, key=None):
    """SHA256SUMS and SHA256SUMS.sig of every folder, by the publisher's tool (this tree's test key)."""
    key = key or os.path.join(harness.build_dir(), "pki", "publisher.key")
    subprocess.run(["bash", os.path.join(harness.source_dir(), "tools", "release", "sign_product.sh"), docroot, key],
                   check=True, timeout=60)


def rewrite_sums(folder):
    """SHA256SUMS recomputed over the folder's files as they are now, its signature kept, as whoever holds
    the server (and not the publisher's key) would."""
    lines = []
    for name in sorted(os.listdir(folder)):
        path = os.path.join(folder, name)
        if os.path.isfile(path) and name not in (CHECKSUMS, SIGNATURE):
            with open(path, "rb") as f:
                lines.append(f"{hashlib.sha256(f.read()).hexdigest()}  {name}\n")
    with open(os.path.join(folder, CHECKSUMS), "w") as f:
        f.write("".join(lines))


class ListingsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = Prefix()
        cls.port = https_port()
        cls.server = f"https://localhost:{cls.port}"

    def setUp(self):
        self.prefix.clean_slate()

    def setup(self, *args, timeout=300):
        proc = subprocess.run([*harness.wine(harness.setup_exe()), *args], env=self.prefix.env, capture_output=True,
                              timeout=timeout)
        return proc.returncode, proc.stdout.decode("utf-8", "replace").replace("\r\n", "\n")

    def installed_tree(self):
        return installed_tree(self.prefix)

    def test_nginx_autoindex_installs_the_same_tree_as_apache(self):
        code, out = self.setup("/S", f"/SERVER={self.server}")
        self.assertEqual(code, 0, out)
        from_apache = self.installed_tree()
        self.assertIn("program/ZunorRes.dat", from_apache)
        self.assertIn("program/TEMPLATE/" + sample_files("TEMPLATE")[0], from_apache)
        self.assertNotIn("program/" + CHECKSUMS, from_apache)
        self.assertNotIn("system/" + CHECKSUMS, from_apache)

        self.prefix.clean_slate()
        port = self.port + 6
        with LocalServer("nginx", port, copy_docroot("e2e-docroot-nginx")):
            code, out = self.setup("/S", f"/SERVER=https://localhost:{port}")
            with open(os.path.join(harness.build_dir(), f"nginx-{port}", "access.log")) as f:
                requested = f.read()
        self.assertEqual(code, 0, out)
        self.assertEqual(self.installed_tree(), from_apache)
        with open(os.path.join(self.prefix.host(PROGRAM), "pdown.ini"), "rb") as f:
            self.assertIn(b"\r\n", f.read(), "not nginx's CR LF page")
        self.assertIn('"/zunor/SUPORT/SHA256SUMS"', requested)

    def test_caddy_mini_httpd_h2o_and_tomcat_indexes_install_the_whole_product_and_nothing_else(self):
        # Caddy links "./name" and adds icons ("#file"), its own site and an empty target; mini_httpd
        # links "." and ".." and its sub-folders without their slash, and so does H2O, in capitals
        # (<A HREF=...>); Tomcat links every entry by its absolute path. They answer a folder without
        # its slash with a 308, a 302, a 301 and a 302. None of their other links is a file or a failure.
        servers = (("caddy", 10, b'href="./Zunor2021VK.exe"', '".."'),
                   ("mini_httpd", 11, b'href="SUPORT"', '".."'),
                   ("h2o", 15, b'<A HREF="Zunor2021VK.exe">', '".."'),
                   ("tomcat", 16, b'<a href="/zunor/Zunor2021VK.exe">', '"/zunor/SUPORT/"'))
        for name, offset, own_link, passed_over in servers:
            with self.subTest(server=name):
                self.prefix.clean_slate()
                log = os.path.join(harness.build_dir(), "e2e-logs", f"listings-{name}.log")
                os.makedirs(os.path.dirname(log), exist_ok=True)
                if os.path.exists(log):
                    os.remove(log)
                with LocalServer(name, self.port + offset) as server:
                    code, out = self.setup("/S", f"/SERVER=https://localhost:{server.port}",
                                           f"/LOG={harness.windows_path(log)}")
                self.assertEqual(code, 0, out)
                self.assertEqual(self.installed_tree(), product_tree())
                with open(os.path.join(self.prefix.host(PROGRAM), "pdown.ini"), "rb") as f:
                    self.assertIn(own_link, f.read(), f"not {name}'s own page")
                with open(log, encoding="utf-8") as f:
                    self.assertRegex(f.read(), r"(?m) links passed over .*pdown\.ini: .*" + re.escape(passed_over))
                with open(os.path.join(server.folder, "access.log"), encoding="utf-8", errors="replace") as f:
                    served = f.read()
                self.assertIn("/zunor/Zunor2021VK.exe", served)
                for archive in ARCHIVES:
                    self.assertNotIn(archive, served, f"{name} was asked for {archive}")

    def test_program_page_without_a_file_link_stops_and_says_so(self):
        # An index of the program folder with nothing in it to install: only its sub-folders and the
        # archives, which are never installed.
        docroot = copy_docroot("e2e-docroot-empty")
        zunor = os.path.join(docroot, "zunor")
        for name in os.listdir(zunor):
            if os.path.isfile(os.path.join(zunor, name)) and name not in ARCHIVES:
                os.remove(os.path.join(zunor, name))
        port = self.port + 9
        with Apache(port, docroot=docroot):
            code, out = self.setup("/S", f"/SERVER=https://localhost:{port}")
            requested = [p for p, _ in access_log(port)]
        self.assertEqual(code, 3, out)
        self.assertIn("Greska 13: Stranica sa servera ne sadrzi spisak datoteka.\n"
                      "Na stranici nema nijedne veze ka datoteci programa (HTTP status 200).\n"
                      f"Adresa: https://localhost:{port}/zunor\n", out)
        self.assertEqual(out.strip().splitlines()[-1], "Instalacija nije uspela.")
        self.assertEqual(self.installed_tree(), {})
        self.assertEqual([p for p in requested if p not in LISTING_PATHS and not p.endswith("/")], [])

    def test_server_that_sends_a_folder_to_http_is_refused_and_says_so(self):
        with LocalServer("webfs", self.port + 12) as server:
            code, out = self.setup("/S", f"/SERVER=https://localhost:{server.port}")
        self.assertEqual(code, 3, out)
        self.assertIn("Greska 302: Spisak datoteka nije preuzet sa servera.\n"
                      f"Server je zahtev preusmerio na nezasticenu adresu: http://localhost:{server.port}/zunor/\n"
                      f"Adresa: https://localhost:{server.port}/zunor\n", out)
        self.assertEqual(self.installed_tree(), {})

    def test_checksums_keep_old_copies_and_bad_lines_are_reported(self):
        code, out = self.setup("/S", f"/SERVER={self.server}")
        self.assertEqual(code, 0, out)
        with open(os.path.join(self.prefix.host(PROGRAM), "ZunorRes.dat"), "ab") as f:
            f.write(b" and an older version's end")  # not current: it is fetched, and must stay
        before = self.installed_tree()

        docroot = copy_docroot("e2e-docroot-sums")
        zunor = os.path.join(docroot, "zunor")
        with open(os.path.join(zunor, "ZunorRes.dat"), "r+b") as f:
            f.write(b"tampered")  # SHA256SUMS still vouches for the original
        template = sample_files("TEMPLATE")[0]
        sums_path = os.path.join(zunor, "TEMPLATE", CHECKSUMS)
        with open(sums_path) as f:
            lines = f.read().splitlines()
        lines = [line[1:] if line.endswith("  " + template) else line for line in lines]  # 63 digits
        with open(sums_path, "w") as f:
            f.write("\n".join(lines) + "\n")
        os.remove(sums_path + ".sig")  # unsigned sums are read as before
        os.remove(os.path.join(zunor, "SUPORT", CHECKSUMS))  # a folder without one installs as before
        for name in sample_files("SUPORT"):
            os.remove(os.path.join(self.prefix.system_dir, name))

        port = self.port + 7
        with Apache(port, docroot=docroot):
            code, out = self.setup("/S", f"/SERVER=https://localhost:{port}")
            requested = [p for p, _ in access_log(port)]
        self.assertEqual(code, 1, out)
        self.assertIn("Nije preuzeto: ZunorRes.dat (kontrolni zbir se ne poklapa)", out)
        self.assertIn(f"Nije preuzeto: {template} (neispravan red u SHA256SUMS)", out)
        self.assertEqual(out.strip().splitlines()[-1], "Instalacija nije u potpunosti zavrsena (2 stavki).")
        after = self.installed_tree()
        self.assertEqual(after["program/ZunorRes.dat"], before["program/ZunorRes.dat"], "old copy replaced")
        self.assertEqual(after, before)
        self.assertNotIn(f"/zunor/TEMPLATE/{template}", requested, "a file with a bad line was requested")
        self.assertIn("/zunor/ZunorRes.dat", requested)
        leftovers = [n for n in os.listdir(self.prefix.host(PROGRAM)) if n.endswith(".zunor-part")]
        self.assertEqual(leftovers, [])

    def test_an_update_fetches_only_what_changed(self):
        docroot = copy_docroot("e2e-docroot-update")
        zunor = os.path.join(docroot, "zunor")
        port = self.port + 14
        server = f"/SERVER=https://localhost:{port}"

        def install(*args):
            with Apache(port, docroot=docroot):  # serves docroot as it is now
                code, out = self.setup("/S", server, *args)
                files = [p for p, _ in access_log(port) if p not in LISTING_PATHS and not p.endswith("/")]
            self.assertEqual(code, 0, out)
            self.assertEqual(self.installed_tree(), product_tree(zunor))
            return sorted(files)

        everything = install()
        sums = sorted(p for p in everything if p.endswith(("/" + CHECKSUMS, "/" + SIGNATURE)))
        self.assertEqual(len(sums), 6)
        # On the server one small program file changes; in place, a template gets other bytes of the same
        # size and a component loses its last byte.
        with open(os.path.join(zunor, "ZunorRes.dat"), "r+b") as f:
            f.write(b"version 2")
        sign_product(docroot)  # the publisher signs the new sums
        template = sample_files("TEMPLATE")[0]
        with open(os.path.join(self.prefix.host(PROGRAM), "TEMPLATE", template), "r+b") as f:
            f.write(b"X")
        component = os.path.join(self.prefix.system_dir, "ZunorGrid.ocx")
        os.truncate(component, os.path.getsize(component) - 1)
        self.assertEqual(install(), sorted(sums + ["/zunor/ZunorRes.dat", f"/zunor/TEMPLATE/{template}",
                                                   "/zunor/SUPORT/ZunorGrid.ocx"]))
        self.assertEqual(install(), sums)
        self.assertEqual(install("/REPAIR"), [p for p in everything if not p.endswith("/firme.mdb")])
        # A folder without SHA256SUMS: its files come every time, as before.
        os.remove(os.path.join(zunor, "TEMPLATE", CHECKSUMS))
        self.assertEqual(install(), sorted([p for p in sums if "/TEMPLATE/" not in p] +
                                           [f"/zunor/TEMPLATE/{n}" for n in sample_files("TEMPLATE")]))

    def drive_c_state(self):
        """(path, size, mtime) of everything in drive_c but Wine's own temporary folders."""
        state = set()
        for folder, dirs, names in os.walk(self.prefix.drive_c):
            rel = os.path.relpath(folder, self.prefix.drive_c)
            parts = rel.lower().split(os.sep)
            if parts[:2] == ["windows", "temp"] or "temp" in parts[-1:]:
                dirs[:] = []
                continue
            for name in names + dirs:
                path = os.path.join(folder, name)
                st = os.lstat(path)
                state.add((os.path.join(rel, name), st.st_size if name in names else 0,
                           st.st_mtime_ns if name in names else 0))
        return state

    def test_list_prints_the_plan_makes_nothing_and_matches_the_install(self):
        code, out = self.setup("/LIST", "/SERVER=https://localhost:1")
        self.assertEqual(code, 3, out)
        self.assertIn("Spisak datoteka nije preuzet sa servera.", out)

        log = os.path.join(harness.build_dir(), "e2e-logs", "list.log")
        os.makedirs(os.path.dirname(log), exist_ok=True)
        if os.path.exists(log):
            os.remove(log)
        state = self.drive_c_state()
        code, out = self.setup("/LIST", f"/SERVER={self.server}", f"/LOG={harness.windows_path(log)}")
        self.assertEqual(code, 0, out)
        self.assertEqual(self.drive_c_state(), state, "/LIST changed the prefix's drive_c")
        self.assertFalse(os.path.exists(self.prefix.host("C:\\Program Files\\Brantovik")))

        entries = [line.split("\t") for line in out.splitlines() if line.count("\t") == 2]
        by_url = {url: (dest, action) for url, dest, action in entries}
        expected = {}
        for name in sample_files():
            if name not in ARCHIVES:
                expected[f"{self.server}/zunor/{name}"] = f"{PROGRAM}\\{name}"
        for name in sample_files("TEMPLATE"):
            expected[f"{self.server}/zunor/TEMPLATE/{name}"] = f"{PROGRAM}\\TEMPLATE\\{name}"
        for name in sample_files("SUPORT"):
            expected[f"{self.server}/zunor/SUPORT/{name}"] = f"C:\\windows\\system32\\{name}"
        for url, dest in expected.items():
            self.assertIn(url, by_url, f"{url} not listed")
            self.assertEqual(by_url[url][0].lower(), dest.lower(), url)
            self.assertTrue(by_url[url][1].startswith("preuzima se, uz proveru SHA-256"), by_url[url])
        for folder in ("zunor", "zunor/SUPORT", "zunor/TEMPLATE"):
            self.assertEqual(by_url[f"{self.server}/{folder}/{CHECKSUMS}"], ("-", "cita se SHA256SUMS, ne instalira se"))
            self.assertEqual(by_url[f"{self.server}/{folder}/{SIGNATURE}"],
                             ("-", "cita se SHA256SUMS.sig (potpis izdavaca), ne instalira se"))
        self.assertEqual(len(by_url), len(expected) + 6)
        self.assertRegex(out.strip().splitlines()[-1], rf"^Ukupno: {len(expected)} za preuzimanje, 0 zadrzano, 0 preskoceno\.$")
        with open(log, encoding="utf-8") as f:
            self.assertEqual(f.read().count(" plan "), len(entries) + 1)

        first = len(access_log(self.port))
        code, out = self.setup("/S", f"/SERVER={self.server}")
        self.assertEqual(code, 0, out)
        installed = {path for path, status in access_log(self.port)[first:]
                     if status in (200, 206) and not path.endswith("/") and path not in LISTING_PATHS}
        self.assertEqual(installed, {url[len(self.server):] for url in by_url})

    def run_logged(self, name, *args, exe=None):
        log = os.path.join(harness.build_dir(), "e2e-logs", name)
        os.makedirs(os.path.dirname(log), exist_ok=True)
        if os.path.exists(log):
            os.remove(log)
        proc = subprocess.run([*harness.wine(exe or harness.setup_exe()), "/S", *args, f"/LOG={harness.windows_path(log)}"],
                              env=self.prefix.env, capture_output=True, timeout=300)
        with open(log, encoding="utf-8") as f:
            return proc.returncode, proc.stdout.decode("utf-8", "replace").replace("\r\n", "\n"), f.read()

    def test_the_publishers_signature_vouches_for_each_folder_whatever_the_server_says(self):
        code, out, log = self.run_logged("signed.log", f"/SERVER={self.server}")
        self.assertEqual(code, 0, out)
        for folder in ("zunor", "zunor/TEMPLATE", "zunor/SUPORT"):
            self.assertIn(f" signature {self.server}/{folder}/SHA256SUMS: signed by the publisher, verified", log)
        self.assertEqual(self.installed_tree(), product_tree())

        docroot = copy_docroot("e2e-docroot-signed")
        zunor = os.path.join(docroot, "zunor")
        port = self.port + 18
        server = f"/SERVER=https://localhost:{port}"
        strict = os.path.join(harness.build_dir(), "ZunorSetupStrict.exe")

        def refused(name, folder, exe=None):
            self.prefix.clean_slate()
            with Apache(port, docroot=docroot):
                code, out, log = self.run_logged(name, server, exe=exe)
                requested = [p for p, _ in access_log(port)]
            self.assertEqual(code, 3, out)
            self.assertIn(NOT_SIGNED, out)
            self.assertIn(f"Adresa: https://localhost:{port}/zunor{folder}", out)
            self.assertEqual(self.installed_tree(), {}, "something was placed")
            return out, log, requested

        # Whoever holds the server changes a program file and recomputes the sums; the signature stays.
        with open(os.path.join(zunor, "Zunor2021VK.exe"), "ab") as f:
            f.write(b"not the publisher's")
        rewrite_sums(zunor)
        out, log, requested = refused("resummed.log", "/SHA256SUMS")
        self.assertIn("Potpis SHA256SUMS.sig ne odgovara kljucu izdavaca.", out)
        self.assertIn(f"signature https://localhost:{port}/zunor/SHA256SUMS: refused, Potpis", log)
        self.assertNotIn("/zunor/Zunor2021VK.exe", requested)

        # Signed, but by another key than the one the installer carries.
        other = os.path.join(docroot, "other.key")
        subprocess.run(["openssl", "ecparam", "-name", "prime256v1", "-genkey", "-noout", "-out", other], check=True)
        sign_product(docroot, other)
        refused("other-key.log", "/SHA256SUMS")

        # The build that requires signatures: an unsigned product is refused, folder by folder.
        for folder in ("", "TEMPLATE", "SUPORT"):
            os.remove(os.path.join(zunor, folder, SIGNATURE))
        out, log, _ = refused("strict-unsigned.log", "/SHA256SUMS", exe=strict)
        self.assertIn("Na serveru nema SHA256SUMS.sig", out)

        # A file the listing names and the signed sums do not is not fetched, and the rest installs.
        sign_product(docroot)
        with open(os.path.join(zunor, "dodatak.exe"), "wb") as f:
            f.write(b"MZ added to the listing")
        self.prefix.clean_slate()
        with Apache(port, docroot=docroot):
            code, out, log = self.run_logged("strict-extra.log", server, exe=strict)
            requested = [p for p, _ in access_log(port)]
        self.assertEqual(code, 1, out)
        self.assertIn("Nije preuzeto: dodatak.exe (nije navedena u potpisanom SHA256SUMS)", out)
        self.assertNotIn("/zunor/dodatak.exe", requested)
        os.remove(os.path.join(zunor, "dodatak.exe"))
        self.assertEqual(self.installed_tree(), product_tree(zunor))

    def test_mirrors_serve_what_the_first_server_cannot(self):
        # The first refuses connections (nothing listens there): everything comes from the second.
        nothing = f"https://localhost:{self.port + 20}"
        code, out, log = self.run_logged("mirror-down.log", f"/SERVER={nothing};{self.server}")
        self.assertEqual(code, 0, out)
        self.assertRegex(log, rf" origin {nothing}: passed over, {nothing}/zunor/SUPORT: ")
        self.assertIn(f" origin {self.server}: serves the listings", log)
        self.assertEqual(self.installed_tree(), product_tree())

        # The first answers the listings, signed, but refuses one file and serves another changed: each
        # comes from the second, and the changed one is never placed.
        self.prefix.clean_slate()
        docroot = copy_docroot("e2e-docroot-mirror")
        zunor = os.path.join(docroot, "zunor")
        os.chmod(os.path.join(zunor, "ZunorRes.dat"), 0)
        with open(os.path.join(zunor, "SUPORT", "ZunorCalc.dll"), "ab") as f:
            f.write(b"changed on the mirror")
        port = self.port + 19
        first = f"https://localhost:{port}"
        served_before = len(access_log(self.port))
        with Apache(port, docroot=docroot):
            code, out, log = self.run_logged("mirror-files.log", f"/SERVER={first};{self.server}")
            from_first = [p for p, _ in access_log(port)]
        self.assertEqual(code, 0, out)
        self.assertIn(f" origin {first}: serves the listings", log)
        self.assertIn(f" file {self.server}/zunor/ZunorRes.dat -> ", log)
        self.assertIn(f" file {self.server}/zunor/SUPORT/ZunorCalc.dll -> ", log)
        self.assertIn("/zunor/SUPORT/ZunorCalc.dll", from_first)
        harness.wait_until(lambda: len(access_log(self.port)) >= served_before + 2, what="Apache to log the files")
        from_second = [p for p, _ in access_log(self.port)[served_before:]]
        self.assertEqual(sorted(from_second), ["/zunor/SUPORT/ZunorCalc.dll", "/zunor/ZunorRes.dat"])
        self.assertEqual(self.installed_tree(), product_tree())


if __name__ == "__main__":
    unittest.main(verbosity=2)
