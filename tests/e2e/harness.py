"""Shared pieces of the end-to-end tests: the Wine environment of the build tree, the UI driver,
screenshots of the test display, and starting ZunorSetup.exe.

The tests run under ctest with ZUNOR_BUILD (the win32 or win64 build tree) and ZUNOR_SOURCE set. Wine
and the Xvfb display are required: when either is missing the harness raises, and the test fails.
"""
import os
import re
import select
import shutil
import subprocess
import time

WINDOW_CAPTION = "Instalacija programa Zunor 2021"
APP_TITLE = "Zunor 2021 - instalacija"


class HarnessError(RuntimeError):
    """The test environment is incomplete (never a reason to skip)."""


class DriverError(RuntimeError):
    """The UI driver answered ERR."""


def build_dir():
    build = os.environ.get("ZUNOR_BUILD")
    if not build or not os.path.isdir(build):
        raise HarnessError("ZUNOR_BUILD must name the win32 or win64 build tree")
    return build


# Debian's wine wrapper picks the 32-bit loader whenever wine32 is installed, even on a kernel that
# cannot run it; the 64-bit tree names Wine's 64-bit loader itself (as tools/wine/env.sh does).
WINE64_LOADER = "/usr/lib/wine/wine64"


def win_arch():
    """"win32" or "win64": the architecture the build tree's programs were built for."""
    path = os.path.join(build_dir(), "win-arch")
    try:
        with open(path) as f:
            arch = f.read().strip()
    except OSError:
        raise HarnessError(f"{path} is missing: configure the tree with the win32 or win64 preset")
    if arch not in ("win32", "win64"):
        raise HarnessError(f"{path} names no known architecture: {arch!r}")
    return arch


def wine(*args):
    """The command line that runs args under the build tree's Wine loader."""
    return [WINE64_LOADER if win_arch() == "win64" else "wine", *args]


def source_dir():
    source = os.environ.get("ZUNOR_SOURCE")
    if source:
        return source
    return os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def wine_env():
    """The environment tools/wine/env.sh sets up: the build tree's prefix, quiet Wine, the test display."""
    build = build_dir()
    loader = wine()[0]
    if shutil.which(loader) is None:
        raise HarnessError(f"{loader} is not installed (run tools/setup.sh as root)")
    if shutil.which("Xvfb") is None:
        raise HarnessError("Xvfb is not installed (run tools/setup.sh as root)")
    display_file = os.path.join(build, "xvfb.display")
    if not os.path.isfile(display_file):
        raise HarnessError(f"no test display: {display_file} is missing (fixture 'display')")
    prefix = os.environ.get("ZUNOR_WINEPREFIX", os.path.join(build, "wineprefix"))
    if not os.path.isdir(os.path.join(prefix, "drive_c")):
        raise HarnessError(f"no Wine prefix at {prefix} (fixture 'wineprefix')")
    env = dict(os.environ)
    env["WINEPREFIX"] = prefix
    env["WINEDEBUG"] = os.environ.get("WINEDEBUG", "-all")
    env["WINEARCH"] = "win64"
    if win_arch() == "win64":
        env["WINELOADER"] = WINE64_LOADER
    env["WINEDLLOVERRIDES"] = os.environ.get("WINEDLLOVERRIDES", "mscoree,mshtml=;winemenubuilder.exe=d")
    with open(display_file) as f:
        env["DISPLAY"] = ":" + f.read().strip()
    return env


def windows_path(path):
    """The Wine path of a host path (the prefix maps Z: to /)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def quote_arg(arg):
    """One argument of a Windows command line."""
    if arg and not any(c in arg for c in ' \t"'):
        return arg
    out, backslashes = '"', 0
    for c in arg:
        if c == "\\":
            backslashes += 1
            continue
        if c == '"':
            out += "\\" * (backslashes * 2 + 1) + '"'
        else:
            out += "\\" * backslashes + c
        backslashes = 0
    return out + "\\" * (backslashes * 2) + '"'


def escape(text):
    return text.replace("\\", "\\\\").replace("\r", "\\r").replace("\n", "\\n").replace("\t", "\\t")


def unescape(text):
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            i += 1
            c = {"r": "\r", "n": "\n", "t": "\t"}.get(text[i], text[i])
        out.append(c)
        i += 1
    return "".join(out)


def control_ids():
    """Control IDs by name ("TEXT2": 1005...), read from window/controls.h."""
    path = os.path.join(source_dir(), "window", "controls.h")
    with open(path, encoding="utf-8") as f:
        ids = {m.group(1): int(m.group(2)) for m in re.finditer(r"IDC_(\w+)\s*=\s*(\d+)", f.read())}
    if not ids:
        raise HarnessError(f"no control IDs in {path}")
    return ids


def screenshot(name):
    """Saves the whole test display as $ZUNOR_BUILD/screenshots/<name>; returns the path."""
    env = wine_env()
    if shutil.which("import") is None:
        raise HarnessError("ImageMagick's import is not installed")
    folder = os.path.join(build_dir(), "screenshots")
    os.makedirs(folder, exist_ok=True)
    path = os.path.join(folder, name)
    subprocess.run(["import", "-window", "root", path], env=env, check=True, timeout=60,
                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    return path


def screenshot_when_drawn(name, timeout=15.0):
    """A screenshot taken once something is drawn on the display (a window just mapped may still be
    black); returns the path."""
    def drawn():
        path = screenshot(name)
        mean = subprocess.run(["convert", path, "-format", "%[fx:mean]", "info:"], capture_output=True,
                              text=True, timeout=60).stdout.strip()
        return path if mean and float(mean) > 0.01 else None
    return wait_until(drawn, timeout=timeout, interval=0.5, what=f"something drawn for {name}")


def wait_until(predicate, timeout=10.0, interval=0.05, what="the condition"):
    """Polls predicate until it returns a true value; raises AssertionError at the deadline."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise AssertionError(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)


class UiDriver:
    """One uidriver.exe under Wine, spoken to line by line (see tools/uidriver/uidriver.cpp)."""

    def __init__(self, reply_timeout=60.0):
        self.env = wine_env()
        exe = os.path.join(build_dir(), "tools", "uidriver.exe")
        if not os.path.isfile(exe):
            raise HarnessError(f"{exe} is not built")
        self.reply_timeout = reply_timeout
        self.proc = subprocess.Popen(wine(exe), env=self.env, stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self._buffer = b""

    # Protocol.
    def command(self, line, timeout=None):
        """Sends one command and returns the value of its OK answer; raises DriverError on ERR."""
        self.proc.stdin.write(line.encode("utf-8") + b"\n")
        self.proc.stdin.flush()
        reply = self._read_line(timeout or self.reply_timeout)
        if reply == "OK" or reply.startswith("OK "):
            return reply[3:]
        if reply.startswith("ERR"):
            raise DriverError(f"{line!r}: {reply[4:]}")
        raise DriverError(f"{line!r}: unexpected answer {reply!r}")

    def _read_line(self, timeout):
        deadline = time.monotonic() + timeout
        fd = self.proc.stdout.fileno()
        while b"\n" not in self._buffer:
            left = deadline - time.monotonic()
            if left <= 0:
                raise DriverError("the driver did not answer in time")
            ready, _, _ = select.select([fd], [], [], left)
            if ready:
                chunk = os.read(fd, 65536)
                if not chunk:
                    raise DriverError("the driver ended")
                self._buffer += chunk
        line, self._buffer = self._buffer.split(b"\n", 1)
        return line.decode("utf-8").rstrip("\r")

    def close(self):
        if self.proc.poll() is None:
            try:
                self.command("quit", timeout=10)
            except (DriverError, OSError):
                pass
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()

    # Processes and windows.
    def start(self, exe_windows_path, *args):
        line = " ".join([quote_arg(exe_windows_path)] + [quote_arg(a) for a in args])
        return int(self.command("start " + line))

    def wait_window(self, caption, timeout_ms=30000):
        return self.command(f"window {timeout_ms} {caption}", timeout=timeout_ms / 1000 + 30)

    def window_exists(self, caption):
        return self.command("exists " + caption) == "1"

    def window_count(self):
        return int(self.command("windows"))

    def wait_exit(self, timeout_ms=30000):
        return int(self.command(f"exit {timeout_ms}", timeout=timeout_ms / 1000 + 30))

    def kill(self):
        self.command("kill")

    def process_running(self, image_name):
        return self.command("running " + image_name) == "1"

    # Controls.
    def text(self, control_id):
        return unescape(self.command(f"text {control_id}"))

    def set_text(self, control_id, text):
        self.command(f"settext {control_id} {escape(text)}")

    def visible(self, control_id):
        return self.command(f"visible {control_id}") == "1"

    def enabled(self, control_id):
        return self.command(f"enabled {control_id}") == "1"

    def checked(self, control_id):
        return int(self.command(f"checked {control_id}"))

    def rect(self, control_id):
        """(left, top, right, bottom) in the main window's client coordinates; 0 is the client area."""
        return tuple(int(v) for v in self.command(f"rect {control_id}").split())

    def responds(self, control_id, timeout_ms):
        """(answered, milliseconds): whether the window's thread handled WM_GETTEXT within timeout_ms."""
        answered, took = self.command(f"respond {control_id} {timeout_ms}").split()
        return answered == "1", int(took)

    def width(self, control_id):
        return int(self.command(f"width {control_id}"))

    def client_size(self, control_id):
        return tuple(int(v) for v in self.command(f"client {control_id}").split())

    def frame(self):
        return tuple(int(v) for v in self.command("frame").split())

    def screen_size(self):
        return tuple(int(v) for v in self.command("screen").split())

    def focus(self):
        return int(self.command("focus"))

    def click(self, control_id):
        self.command(f"click {control_id}")

    def key(self, name):
        self.command("key " + name)

    def close_box(self):
        self.command("close")

    # Message boxes.
    def wait_message_box(self, timeout_ms=30000):
        return self.command(f"msgbox {timeout_ms}", timeout=timeout_ms / 1000 + 30)

    def message_text(self):
        return unescape(self.command("msgtext"))

    def message_caption(self):
        return unescape(self.command("msgcaption"))

    def message_ok(self):
        self.command("msgok")

    def dialog_text(self, control_id):
        """Text of a control of the dialog msgbox found (a message box or the system's own prompt)."""
        return unescape(self.command(f"msgitem {control_id}"))

    def set_dialog_text(self, control_id, text):
        self.command(f"msgsettext {control_id} {escape(text)}")

    def press(self, button_id):
        """Presses a button of the dialog msgbox found (IDOK 1, IDCANCEL 2...)."""
        self.command(f"msgpress {button_id}")


def setup_exe():
    exe = os.path.join(build_dir(), "ZunorSetup.exe")
    if not os.path.isfile(exe):
        raise HarnessError(f"{exe} is not built")
    return exe


def accept_and_install(driver, ids):
    """Accepts the agreement and presses "Dalje" in the started installer's window."""
    driver.click(ids["CHECK3"])
    wait_until(lambda: driver.enabled(ids["COMMAND3"]), what="Dalje enabled")
    driver.click(ids["COMMAND3"])


def finish_without_product(driver, ids, timeout_ms=30000):
    """Clears "start the program" and presses "Zavrsi"; returns the installer's exit code."""
    driver.click(ids["CHECK4"])
    wait_until(lambda: driver.checked(ids["CHECK4"]) == 0, what="Check4 to clear")
    driver.click(ids["COMMAND2"])
    return driver.wait_exit(timeout_ms)


def start_setup(driver, *args, timeout_ms=30000):
    """Starts ZunorSetup.exe with args and waits for its window; returns the pid."""
    pid = driver.start(windows_path(setup_exe()), *args)
    driver.wait_window(WINDOW_CAPTION, timeout_ms)
    # The window shows before it sets the focus; keys sent earlier would go nowhere.
    wait_until(lambda: driver.focus() != 0, timeout=timeout_ms / 1000, what="the window to take the focus")
    return pid
