"""The signed release (fixture "release": build/<tree>/release/ZunorSetup.exe) installs from a download
folder, leaves a removal copy that is the same signed file, names the project's version in its version
resource and its log, and that copy removes the product."""
import os
import re
import shutil
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from install_env import REMOVAL_FOLDER, Prefix, SetupRuns, assert_same_file, https_port  # noqa: E402

DOWNLOADS = "C:\\Preuzimanja"
PROGRAM = "C:\\Program Files\\Brantovik\\zunor2021"


def project_version():
    """The version as CMakeLists.txt sets it, the one place it is set."""
    with open(os.path.join(harness.source_dir(), "CMakeLists.txt"), encoding="utf-8") as f:
        found = re.search(r"project\(ZunorSetup VERSION (\d+\.\d+\.\d+)", f.read())
    if not found:
        raise harness.HarnessError("CMakeLists.txt sets no project version")
    return found.group(1)


class SignedReleaseTest(SetupRuns, unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = Prefix()
        cls.logs = os.path.join(harness.build_dir(), "e2e-logs")
        os.makedirs(cls.logs, exist_ok=True)
        cls.release = os.path.join(harness.build_dir(), "release", "ZunorSetup.exe")
        if not os.path.isfile(cls.release):
            raise harness.HarnessError(f"{cls.release} is missing (the release fixture makes it)")
        if shutil.which("osslsigncode") is None:
            raise harness.HarnessError("osslsigncode is not installed (run tools/setup.sh as root)")

    def setUp(self):
        self.prefix.clean_slate()

    def verify(self, path):
        ca = os.path.join(harness.build_dir(), "pki", "ca.crt")
        return subprocess.run(["osslsigncode", "verify", "-in", path, "-CAfile", ca], capture_output=True, text=True)

    def test_signed_installer_installs_and_its_removal_copy_carries_the_signature(self):
        downloaded = self.prefix.host(DOWNLOADS + "\\ZunorSetup.exe")
        os.makedirs(os.path.dirname(downloaded), exist_ok=True)
        shutil.copyfile(self.release, downloaded)
        version = project_version()
        self.assertEqual(self.prefix.wininfo("version", DOWNLOADS + "\\ZunorSetup.exe").get("version"), version)

        log = self.log_file("signed-release.log")
        proc = subprocess.run([*harness.wine(downloaded), "/S", f"/SERVER=https://localhost:{https_port()}",
                               f"/LOG={harness.windows_path(log)}"], env=self.prefix.env, capture_output=True,
                              timeout=300)
        self.assertEqual(proc.returncode, 0, proc.stdout.decode("utf-8", "replace"))
        first = self.read_log(log).splitlines()[0]
        self.assertRegex(first, rf"^\S+ \S+ start ZunorSetup {re.escape(version)} ")

        copy = self.prefix.host(REMOVAL_FOLDER + "\\ukloni.exe")
        assert_same_file(self, self.release, copy)
        checked = self.verify(copy)
        self.assertEqual(checked.returncode, 0, checked.stdout + checked.stderr)

        removal = subprocess.run([*harness.wine(copy), "/UNINSTALL", "/S"], env=self.prefix.env,
                                 capture_output=True, timeout=300)
        self.assertEqual(removal.returncode, 0, removal.stdout.decode("utf-8", "replace"))
        self.assertFalse(os.path.exists(copy))


if __name__ == "__main__":
    unittest.main(verbosity=2)
