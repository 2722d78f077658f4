"""What the installation tests share: the prefix's folders seen from the host, the local Apache
servers, a clean slate before each run, and the checks of an installed tree."""
import filecmp
import glob
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile

import harness

ARCHIVES = ("SETUP_ZUNOR.rar", "Zunor2021VK.rar")
LAYERS_KEY = r"HKCU\Software\Microsoft\Windows NT\CurrentVersion\AppCompatFlags\Layers"
SAMPLE_KEY = r"HKCU\Software\Brantovik\ZunorSample"
# Where the 32-bit installer registers the product and counts shared components (the 32-bit view;
# the 64-bit test build writes there too).
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Zunor2021"
SHARED_DLLS_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\SharedDLLs"
SYSTEM32 = "C:\\windows\\system32\\"  # the system folder as the installer names it
DEFAULT_LOCATION = "C:\\Program Files\\Brantovik\\"
# Where the removal's copy of the setup program and its record are kept: the 32-bit programs' folder
# (the test prefix is a 64-bit one), where only administrators write.
REMOVAL_FOLDER = "C:\\Program Files (x86)\\Brantovik\\Zunor 2021 uklanjanje"
# The installer's closing message after a whole installation.
SUCCESS = "Instalacija programa je uspjesno zavrsena."


def https_port():
    port = os.environ.get("ZUNOR_TEST_HTTPS_PORT")
    if not port:
        raise harness.HarnessError("ZUNOR_TEST_HTTPS_PORT is not set (the apache fixture's port)")
    return int(port)


class Prefix:
    """The test Wine prefix as the host sees it."""

    def __init__(self):
        self.env = harness.wine_env()
        self.root = self.env["WINEPREFIX"]
        self.drive_c = os.path.join(self.root, "drive_c")
        self._system_dir = None

    def host(self, windows_path):
        """Host path of a C:\\ path inside the prefix."""
        assert windows_path[:3].upper() == "C:\\", windows_path
        return os.path.join(self.drive_c, *[p for p in windows_path[3:].split("\\") if p])

    @property
    def system_dir(self):
        """Host path of the system folder where the installer places components: syswow64 for the
        32-bit installer, system32 for its 64-bit twin (asked of the tree's own wininfo.exe)."""
        if self._system_dir is None:
            fields = self.wininfo("system")
            self._system_dir = self.host(fields["system"])
        return self._system_dir

    def wininfo(self, *args):
        """name=value lines of tools/wininfo.exe, as a dict."""
        exe = os.path.join(harness.build_dir(), "tools", "wininfo.exe")
        out = self.wine(exe, *args).stdout.decode("utf-8")
        return dict(line.split("=", 1) for line in out.splitlines() if "=" in line)

    @property
    def desktop(self):
        desks = [d for d in glob.glob(os.path.join(self.drive_c, "users", "*", "Desktop"))
                 if os.sep + "Public" + os.sep not in d]
        if len(desks) != 1:
            raise harness.HarnessError(f"cannot tell the user's desktop among {desks}")
        return desks[0]

    @property
    def group_folder(self):
        return os.path.join(self.drive_c, "ProgramData", "Microsoft", "Windows", "Start Menu", "Programs",
                            "Brantovik")

    def long_path(self, windows_path):
        """The long form of an existing path as Windows resolves it (short names too); None when the
        path does not exist."""
        exe = os.path.join(harness.build_dir(), "tools", "wininfo.exe")
        out = self.wine(exe, "long", windows_path, check=False)
        if out.returncode != 0:
            return None
        return dict(line.split("=", 1) for line in out.stdout.decode("utf-8").splitlines())["long"]

    def wine(self, *args, check=True):
        return subprocess.run(harness.wine(*args), env=self.env, check=check, capture_output=True, timeout=120)

    def reg_add_key(self, key):
        self.wine("reg", "add", key, "/f")

    def reg_delete_key(self, key, *view):
        self.wine("reg", "delete", key, "/f", *view, check=False)

    def reg_values(self, key, *view):
        """{name: data} of a key's values (a REG_DWORD as "0x..."); None when the key does not exist.
        view: "/reg:32" for the 32-bit view."""
        out = self.wine("reg", "query", key, *view, check=False)
        if out.returncode != 0:
            return None
        values = {}
        for line in out.stdout.decode("utf-8", "replace").splitlines():
            parts = line.strip().split("    ")
            if len(parts) == 3 and parts[1].startswith("REG_"):
                values[parts[0]] = parts[2]
        return values

    def shortcut(self, lnk_host_path):
        """(target, working directory) of a .lnk, read back through IShellLinkW."""
        fields = self.wininfo("link", harness.windows_path(lnk_host_path))
        return fields.get("target"), fields.get("workdir")

    def started_by_shell(self, test, program_folder_windows):
        """The sample product, started by the installer, noted its parent: the desktop shell's process
        (the owner of GetShellWindow()), never the setup program. Under Wine every token reads as
        elevated, so the elevation type is noted but not checked."""
        def noted():  # "Folder" is its last value
            values = self.reg_values(SAMPLE_KEY + "\\Started") or {}
            return values if "Folder" in values else None
        started = harness.wait_until(noted, timeout=30,
                                     what="the product's note of how it was started")
        shell = self.wininfo("shell")
        print(f"product started: {started}; desktop shell: {shell}", file=sys.stderr)
        test.assertEqual(started["ParentId"], shell["pid"], started)
        test.assertEqual(started["ParentImage"].lower(), shell["image"].lower(), started)
        test.assertNotEqual(started["ParentImage"].lower(), "zunorsetup.exe")
        test.assertEqual(started["Show"], "3")  # maximised
        test.assertEqual(started["Folder"].rstrip("\\").lower(), program_folder_windows.lower())
        return started

    def kill_product(self):
        self.wine("taskkill", "/F", "/IM", "Zunor2021VK.exe", check=False)

    def clean_slate(self, layers_key=True):
        """No installation, no components, no shortcuts; the Layers key present or absent."""
        shutil.rmtree(self.host("C:\\Program Files\\Brantovik"), ignore_errors=True)
        shutil.rmtree(self.host(REMOVAL_FOLDER.rsplit("\\", 1)[0]), ignore_errors=True)
        for name in os.listdir(sample_root("SUPORT")):
            path = os.path.join(self.system_dir, name)
            if os.path.exists(path):
                os.remove(path)
        for name in os.listdir(self.desktop):
            os.remove(os.path.join(self.desktop, name))
        shutil.rmtree(self.group_folder, ignore_errors=True)
        self.reg_delete_key(SAMPLE_KEY)
        self.reg_delete_key(LAYERS_KEY)
        self.reg_delete_key(UNINSTALL_KEY, "/reg:32")
        for name in os.listdir(sample_root("SUPORT")):
            self.wine("reg", "delete", SHARED_DLLS_KEY, "/v", SYSTEM32 + name, "/f", "/reg:32", check=False)
        if layers_key:
            self.reg_add_key(LAYERS_KEY)


class SetupRuns:
    """Unattended runs of ZunorSetup.exe and their logs, for test cases that set self.prefix (a Prefix)
    and self.logs (a folder)."""

    def setup(self, *args, timeout=300):
        """Runs ZunorSetup.exe with args to its end; returns (exit code, console output). The output goes
        through a file, not a pipe: the desktop shell that Wine starts on demand (for /LAUNCH) inherits the
        program's output and outlives it, and a pipe would not close before the shell does."""
        with tempfile.TemporaryFile() as out:
            proc = subprocess.run([*harness.wine(harness.setup_exe()), *args], env=self.prefix.env, stdout=out,
                                  stderr=subprocess.DEVNULL, timeout=timeout)
            out.seek(0)
            return proc.returncode, out.read().decode("utf-8", "replace").replace("\r\n", "\n")

    def log_file(self, name):
        path = os.path.join(self.logs, name)
        if os.path.exists(path):
            os.remove(path)
        return path

    def read_log(self, path):
        with open(path, encoding="utf-8") as f:
            return f.read()


def sample_root(sub=""):
    root = os.path.join(harness.build_dir(), "server", "htdocs", "zunor")
    if not os.path.isdir(root):
        raise harness.HarnessError(f"sample product not built at {root}")
    return os.path.join(root, sub) if sub else root


CHECKSUMS = "SHA256SUMS"
SIGNATURE = "SHA256SUMS.sig"  # the publisher's signature of it (tools/release/sign_product.sh)


def copy_docroot(name):
    """A copy of the sample product's server folders inside a folder only its owner may enter, as a clone
    in root's home is: the servers, whose workers run as another user, must serve it all the same."""
    private = os.path.join(harness.build_dir(), "e2e-private")
    os.makedirs(private, exist_ok=True)
    os.chmod(private, 0o700)
    docroot = os.path.join(private, name)
    shutil.rmtree(docroot, ignore_errors=True)
    shutil.copytree(os.path.dirname(sample_root()), docroot)
    return docroot


def sample_files(sub=""):
    """The files of a sample folder that an installation places (SHA256SUMS and its signature are only read)."""
    folder = sample_root(sub)
    return sorted(n for n in os.listdir(folder)
                  if os.path.isfile(os.path.join(folder, n)) and n not in (CHECKSUMS, SIGNATURE))


class LocalServer:
    """One of the local servers of tools/server/ (<name>.sh) on its own port, started and stopped around
    a test: apache, nginx, caddy, mini_httpd, webfs, h2o, tomcat, or the proxy squid. args go to its
    start."""

    def __init__(self, name, port, *args):
        self.name, self.port = name, port
        self.args = [str(port), *args]
        self.script = os.path.join(harness.source_dir(), "tools", "server", name + ".sh")

    @property
    def folder(self):
        """Where the script keeps the server's config and logs."""
        return os.path.join(harness.build_dir(), f"{self.name}-{self.port}")

    def __enter__(self):
        subprocess.run(["bash", self.script, "start", harness.build_dir(), *self.args], check=True, timeout=60)
        return self

    def __exit__(self, *exc):
        subprocess.run(["bash", self.script, "stop", harness.build_dir(), str(self.port)], check=False,
                       timeout=60)


class Apache(LocalServer):
    """A second local Apache on its own port (the fixture's serves the default fancy index)."""

    def __init__(self, port, docroot=None, plain=False):
        super().__init__("apache", port, *([docroot] if docroot else []), *(["--plain"] if plain else []))


def access_log(port, server="apache"):
    """The request paths the Apache on port has served, in order, with their status (also of the other
    servers whose log has Apache's form: nginx, h2o, tomcat)."""
    path = os.path.join(harness.build_dir(), f"{server}-{port}", "access.log")
    entries = []
    if os.path.exists(path):
        with open(path, encoding="utf-8", errors="replace") as f:
            for line in f:
                parts = line.split()
                if len(parts) >= 6 and parts[0] == "GET":
                    entries.append((parts[-1].strip('"'), int(parts[1])))
    return entries


PROGRAM = DEFAULT_LOCATION + "zunor2021"
# What the installer writes beside the product files: the listing pages, the product's settings, its own
# copy and its record.
RUN_FILES = ("pdown.ini", "sdown.ini", "tdown.ini", "config.ini", "ukloni.exe", "ukloni.dat")


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def installed_tree(prefix):
    """{place/relative path: sha256} of what an installation into the default location placed."""
    tree = {}
    program = prefix.host(PROGRAM)
    for folder, _, names in os.walk(program):
        for name in names:
            path = os.path.join(folder, name)
            rel = os.path.relpath(path, program)
            if rel not in RUN_FILES:
                tree["program/" + rel] = digest(path)
    for name in sample_files("SUPORT") + [CHECKSUMS, SIGNATURE]:
        path = os.path.join(prefix.system_dir, name)
        if os.path.exists(path):
            tree["system/" + name] = digest(path)
    return tree


def product_tree(root=None):
    """installed_tree() of a whole installation of the product a server's zunor folder offers (the
    sample's by default): every file it offers for installing, and nothing else."""
    root = root or sample_root()
    tree = {}
    for sub, place in (("", "program/"), ("TEMPLATE", "program/TEMPLATE/"), ("SUPORT", "system/")):
        folder = os.path.join(root, sub)
        for name in os.listdir(folder):
            if os.path.isfile(os.path.join(folder, name)) and name not in ARCHIVES + (CHECKSUMS, SIGNATURE):
                tree[place + name] = digest(os.path.join(folder, name))
    return tree


def assert_same_file(test, expected, actual):
    test.assertTrue(os.path.isfile(actual), f"{actual} is missing")
    test.assertTrue(filecmp.cmp(expected, actual, shallow=False), f"{actual} differs from {expected}")
