"""Fixtures for end-to-end tests: real installers built by lumipack, run
under Wine in a fresh prefix (copied from a template) and a private Xvfb."""

import contextlib
import os
import pathlib
import re
import shutil
import signal
import subprocess
import tempfile
import time

import pytest

SOURCE = pathlib.Path(__file__).resolve().parents[2]
SCRIPTS = SOURCE / "scripts"
# The architecture of the Windows programs under test (x86 or x64) and the
# Wine loader this host runs them with; the Wine guard sets both.
ARCH = os.environ.get("LUMISET_ARCH", "x86")
WINE = os.environ.get("LUMISET_WINE") or "wine"


def _required_path(variable):
    value = os.environ.get(variable)
    if not value or not pathlib.Path(value).exists():
        pytest.skip(f"{variable} does not name a built file")
    return pathlib.Path(value)


@pytest.fixture(scope="session")
def stub():
    return _required_path("LUMISET_STUB")


@pytest.fixture(scope="session")
def screensaver():
    return _required_path("LUMISET_SCR")


@pytest.fixture(scope="session")
def default_uninstaller():
    """The default uninstaller beside the stub, which lumipack embeds."""
    return _required_path("LUMISET_UNINSTALLER")


@pytest.fixture(scope="session")
def lumipack():
    return _required_path("LUMISET_LUMIPACK")


@pytest.fixture(scope="session")
def uidriver_program():
    return _required_path("LUMISET_UIDRIVER")


@pytest.fixture(scope="session")
def hold_file():
    return _required_path("LUMISET_HOLD_FILE")


@pytest.fixture(scope="session")
def companion():
    return _required_path("LUMISET_COMPANION")


@pytest.fixture(scope="session")
def planted_dll():
    return _required_path("LUMISET_PLANTED_DLL")


@pytest.fixture(scope="session")
def load_library():
    return _required_path("LUMISET_LOAD_LIBRARY")


@pytest.fixture(scope="session")
def swapper():
    return _required_path("LUMISET_SWAPPER")


@pytest.fixture(scope="session")
def attacker():
    return _required_path("LUMISET_ATTACKER")


def _bash(snippet):
    return subprocess.run(["bash", "-c", f"source {SCRIPTS}/wine-env.sh; {snippet}"],
                          check=True, capture_output=True, text=True).stdout.strip()


_ROOT_NAMES = {"HKCU": "HKEY_CURRENT_USER", "HKLM": "HKEY_LOCAL_MACHINE"}


def _full_key(key):
    root, _, rest = key.partition("\\")
    return _ROOT_NAMES.get(root.upper(), root) + ("\\" + rest if rest else "")


class Xvfb:
    """A private X server on a free display, stopped only by its own pid."""

    def __init__(self):
        read_fd, write_fd = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24",
             "-nolisten", "tcp"],
            pass_fds=[write_fd], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        with os.fdopen(read_fd) as pipe:
            number = pipe.readline().strip()
        if not number:
            self.process.kill()
            raise RuntimeError("Xvfb did not start")
        self.display = f":{number}"

    def stop(self):
        self.process.send_signal(signal.SIGTERM)
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()


class WineSession:
    """One fresh prefix with its own wineserver and display."""

    def __init__(self, prefix, display):
        self.prefix = pathlib.Path(prefix)
        self.arch = ARCH
        # The registry view the installer under test writes to: the 32-bit
        # one for the x86 programs (under WOW64), the native one for x64.
        self.reg_view = "/reg:32" if ARCH == "x86" else "/reg:64"
        self.env = dict(os.environ, WINEPREFIX=str(prefix), DISPLAY=display,
                        WINEDEBUG="-all",
                        # winemenubuilder would mirror every shortcut into the
                        # real home's application menu.
                        WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d")
        # Keeps the prefix's wineserver alive between the programs a test runs.
        subprocess.run(["wineserver", "-p"], env=self.env, check=True)

    @property
    def drive_c(self):
        return self.prefix / "drive_c"

    def user_folder(self):
        users = self.drive_c / "users"
        names = [p for p in users.iterdir() if p.name.lower() not in ("public",)]
        return names[0]

    def work_folder(self):
        """Where installers of old kept their work files; none writes there now."""
        return self.user_folder() / "AppData" / "Local" / "Tolvane"

    def work_files(self):
        """Names of whatever an installation leaves aside of what it
        installs: staged files beside the destination, private programs in
        the system's temporary folder, and any work folder at all."""
        windows = self.drive_c / "windows"
        found = list((windows / "system32").glob("~lumiset-*"))
        found += list((windows / "syswow64").glob("~lumiset-*"))
        found += list((windows / "temp").glob("lumiset-*"))
        if self.work_folder().exists():
            found.append(self.work_folder())
        return sorted(p.name for p in found)

    def windows_path(self, path):
        """The Windows name of a file inside this prefix's drive C."""
        relative = pathlib.Path(path).resolve().relative_to(self.drive_c.resolve())
        return "C:\\" + str(relative).replace("/", "\\")

    def start(self, program, *args, stdout=subprocess.DEVNULL):
        """Starts a Windows program and returns its process. `stdout` may be
        a file to receive the program's output."""
        # Never a pipe: Wine's own background processes inherit the handles
        # and would keep a pipe open long after the program ended.
        return subprocess.Popen([WINE, str(program), *args], env=self.env,
                                stdin=subprocess.DEVNULL, stdout=stdout,
                                stderr=subprocess.DEVNULL)

    def run(self, program, *args, timeout=120):
        """Runs a Windows program to its end; returns the exit code."""
        process = self.start(program, *args)
        try:
            return process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            process.kill()
            raise

    def output(self, program, *args, timeout=60):
        """Runs a Windows program to its end; returns its exit code and output."""
        with tempfile.TemporaryFile(mode="w+", encoding="utf-8", errors="replace") as out:
            code = subprocess.run([WINE, str(program), *args], env=self.env,
                                  stdin=subprocess.DEVNULL, stdout=out,
                                  stderr=subprocess.DEVNULL, timeout=timeout).returncode
            out.seek(0)
            return code, out.read()

    def reg_values(self, key):
        """The string and DWORD values of a key as {name: text or int}, or None
        when the key is missing. Read through `reg export`: `reg query` prints
        garbage for an empty REG_SZ under this Wine."""
        exported = self.drive_c / "reg-export.reg"
        code, _ = self.output("reg", "export", key, self.windows_path(exported), "/y",
                              self.reg_view)
        if code != 0:
            return None
        text = exported.read_bytes().decode("utf-16")
        exported.unlink()
        values = {}
        section = None
        for line in text.splitlines():
            if line.startswith("["):
                section = line.strip()[1:-1]
                continue
            if section is None or section.lower() != _full_key(key).lower():
                continue
            match = re.fullmatch(r'"((?:[^"\\]|\\.)*)"="((?:[^"\\]|\\.)*)"', line.strip())
            if match:
                name, data = (re.sub(r"\\(.)", r"\1", part) for part in match.groups())
                values[name] = data
            match = re.fullmatch(r'"((?:[^"\\]|\\.)*)"=dword:([0-9a-fA-F]{8})', line.strip())
            if match:
                values[re.sub(r"\\(.)", r"\1", match.group(1))] = int(match.group(2), 16)
        return values

    def reg_set(self, key, value, data):
        """Writes a string value, creating the key when needed."""
        code, _ = self.output("reg", "add", key, "/v", value, "/d", data, "/f", self.reg_view)
        assert code == 0, f"reg add {key} {value}"

    def reg_query(self, key, value):
        """A registry value as `reg query` prints it, or None when missing."""
        with tempfile.TemporaryFile(mode="w+", encoding="utf-8", errors="replace") as out:
            code = subprocess.run([WINE, "reg", "query", key, "/v", value, self.reg_view],
                                  env=self.env,
                                  stdin=subprocess.DEVNULL, stdout=out,
                                  stderr=subprocess.DEVNULL, timeout=60).returncode
            out.seek(0)
            completed = subprocess.CompletedProcess([], code, out.read(), "")
        if completed.returncode != 0:
            return None
        for line in completed.stdout.splitlines():
            parts = line.strip().split(None, 2)
            if len(parts) >= 2 and parts[0].lower() == value.lower():
                return parts[2] if len(parts) == 3 else ""
        return None

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env, stderr=subprocess.DEVNULL)


@contextlib.contextmanager
def fresh_wine():
    """A WineSession in a new prefix, torn down on leaving."""
    prefix = _bash("lumiset_wine_fresh_prefix")
    xvfb = Xvfb()
    session = WineSession(prefix, xvfb.display)
    try:
        yield session
    finally:
        session.close()
        xvfb.stop()
        shutil.rmtree(prefix, ignore_errors=True)


@pytest.fixture
def wine():
    with fresh_wine() as session:
        yield session


class UiDriver:
    """Finds the installer's windows by caption and presses their buttons by
    control id, through the uidriver tool run in the same prefix."""

    def __init__(self, wine, program):
        self.wine = wine
        self.program = program

    def wait(self, caption, timeout_ms=40000):
        """The window's controls as {id: (class, enabled, checked, visible, text)},
        or None when no window with that caption appeared in time. The wait
        ends as soon as the window is there; the long limit only covers a
        fresh prefix starting on a busy machine."""
        code, text = self.wine.output(self.program, "wait", caption, str(timeout_ms),
                                      timeout=timeout_ms / 1000 + 30)
        if code != 0:
            # Shown with the failed test's output: what was there instead.
            _, windows = self.wine.output(self.program, "windows")
            print(f"no window {caption!r} within {timeout_ms} ms; top-level windows "
                  f"(visible, caption):\n{windows}")
            return None
        controls = {}
        for line in text.splitlines():
            fields = line.rstrip("\r").split("\t")
            if len(fields) == 6:
                controls[int(fields[0])] = (fields[1], fields[2] == "1", fields[3] == "1",
                                            fields[4] == "1", fields[5])
        return controls

    def click(self, caption, control_id):
        code, _ = self.wine.output(self.program, "click", caption, str(control_id))
        assert code == 0, f"no button {control_id} in {caption!r}"

    def click_when_shown(self, caption, control_id):
        """Starts a click that lands as soon as the window exists, without the
        delay of a Wine start; returns the clicking process."""
        return self.wine.start(self.program, "click", caption, str(control_id))


@pytest.fixture
def ui(wine, uidriver_program):
    return UiDriver(wine, uidriver_program)


class HeldFile:
    """The hold_file tool keeping one file open without sharing, as a running
    screensaver does, until release(); as a context manager it lets go on
    leaving at the latest."""

    def __init__(self, wine, program, windows_path, tmp_path):
        self.release_file = wine.drive_c / "release-hold"
        output = tmp_path / "hold.out"
        with output.open("w") as out:
            self.process = wine.start(program, windows_path,
                                      wine.windows_path(self.release_file), "120", stdout=out)
        deadline = time.monotonic() + 30
        while "holding" not in output.read_text():
            assert self.process.poll() is None, "hold_file could not open the file"
            assert time.monotonic() < deadline, "hold_file did not start"
            time.sleep(0.1)

    def release(self):
        self.release_file.touch()
        assert self.process.wait(timeout=30) == 0

    def __enter__(self):
        return self

    def __exit__(self, *exc_info):
        if self.process.poll() is None:
            self.release_file.touch()
            self.process.wait(timeout=30)


def toml_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'
