"""The installer and its uninstaller run elevated; a program of the user
may write the user's registry, profile and temporary folder at any moment.
Tried here as such a program would: records that name foreign files,
programs that race the installer for its files, packages patched to name
paths that escape, and logs aimed at files that matter."""

import subprocess
import time

import pytest

import layout
from conftest import HeldFile
from installers import SCREENSAVER_SETTING_KEY, Installation, build_installer

ATTACKER_RECORD = "attacker-ran.txt"
COMPANION_RECORD = "companion-ran.txt"


@pytest.fixture(scope="module")
def installer(tmp_path_factory, lumipack, stub, screensaver, companion):
    # The default uninstaller, and a companion program that says it ran.
    return build_installer(lumipack, stub, screensaver, tmp_path_factory.mktemp("trust"),
                           companion=companion)


def read_log(path):
    return path.read_text(encoding="utf-8-sig") if path.exists() else ""


# Each entry that a program of the user writes into the installed-files
# record, with the file it points at: none of them may go.
def foreign_entries(wine, installed):
    user = wine.user_folder()
    documents = user / "Documents" / "Taxes" / "2025" / "return.pdf"
    system_file = wine.drive_c / "windows" / "system32" / "msxml3.dll"
    other_scr = wine.drive_c / "windows" / "system32" / "aurora.scr"
    videos = user / "Videos"
    climbing = f"{wine.windows_path(installed.uninstall_folder)}\\..\\..\\..\\windows\\win.ini"
    return {
        "a user's document": (wine.windows_path(documents), documents),
        "a system file": (wine.windows_path(system_file), system_file),
        "another screensaver": (wine.windows_path(other_scr), other_scr),
        "a path that climbs out": (climbing, wine.drive_c / "windows" / "win.ini"),
        "a missing file in an empty folder": (f"{wine.windows_path(videos)}\\gone.mp4", videos),
    }


@pytest.mark.parametrize("remover", ["/u", "Uninstall.exe"])
def test_a_record_that_names_foreign_files_deletes_none_of_them(wine, installer, remover):
    installed = Installation(wine)
    log = wine.drive_c / "uninstall.log"
    assert wine.run(installer, "/q") == 0
    entries = foreign_entries(wine, installed)
    for _, path in entries.values():
        if path.suffix:
            path.parent.mkdir(parents=True, exist_ok=True)
            if not path.exists():
                path.write_bytes(b"keep me")
        else:
            path.mkdir(parents=True, exist_ok=True)
    first = len([k for k in installed.record() if k.startswith("File")])
    for number, (windows_path, _) in enumerate(entries.values(), start=first):
        wine.reg_set(installed.record_key, f"File{number:04d}", windows_path)
    other = entries["another screensaver"][0]
    wine.reg_set(installed.record_key, "ScreensaverFile", other)

    if remover == "/u":
        code = wine.run(installer, "/u", "/q", f"/log={wine.windows_path(log)}", timeout=60)
    else:
        code = wine.run(installed.uninstaller, "/q", f"/log={wine.windows_path(log)}",
                        timeout=60)
    assert code == 0
    for name, (_, path) in entries.items():
        assert path.exists(), name
    assert (wine.user_folder() / "Documents").is_dir()
    assert not installed.scr.exists(), "the package's own screensaver goes"
    assert installed.record() is None, "the record is cleaned"
    text = read_log(log)
    refused = [line for line in text.splitlines() if "refused to delete" in line]
    assert len(refused) == len(entries), text
    assert any("Taxes\\2025\\return.pdf" in line and
               "no installation of this screensaver writes there" in line for line in refused)


def test_a_copy_of_the_uninstaller_elsewhere_removes_nothing(wine, installer):
    installed = Installation(wine)
    assert wine.run(installer, "/q") == 0
    downloads = wine.user_folder() / "Downloads"
    downloads.mkdir(exist_ok=True)
    (downloads / "keep.txt").write_bytes(b"the user's")
    for path in (installed.uninstaller, installed.uninstall_ini):
        (downloads / path.name).write_bytes(path.read_bytes())
    before = installed.snapshot()
    assert wine.run(downloads / "Uninstall.exe", "/q", timeout=60) == 1
    assert (downloads / "keep.txt").is_file()
    assert installed.snapshot()[1] == before[1]
    assert installed.scr.is_file() and installed.uninstaller.is_file()


# What a program of the user races for, by where it appears: the staged
# screensaver beside its destination, the companion program and the
# uninstaller's copy in the system's temporary folder.
RACE_PATTERNS = ["C:\\windows\\system32\\~lumiset-*.tmp", "C:\\windows\\temp\\lumiset-*.exe",
                 "C:\\windows\\temp\\lumiset-*"]


class Swapper:
    def __init__(self, wine, program, replacement, tmp_path):
        self.stop_file = wine.drive_c / "stop-swapper"
        self.output = tmp_path / "swapper.out"
        with self.output.open("w") as out:
            self.process = wine.start(program, wine.windows_path(replacement),
                                      wine.windows_path(self.stop_file), "120", *RACE_PATTERNS,
                                      stdout=out)
        deadline = time.monotonic() + 30
        while "watching" not in self.output.read_text():
            assert self.process.poll() is None and time.monotonic() < deadline
            time.sleep(0.1)

    def stop(self):
        self.stop_file.touch()
        self.process.wait(timeout=30)
        return self.output.read_text()


def test_a_racing_program_never_gets_its_bytes_installed_or_run(wine, installer, swapper,
                                                               attacker, screensaver, tmp_path):
    installed = Installation(wine)
    bait = wine.drive_c / "attacker.exe"
    bait.write_bytes(attacker.read_bytes())
    race = Swapper(wine, swapper, bait, tmp_path)
    try:
        for _ in range(3):
            assert wine.run(installer, "/q") == 0
            assert installed.scr.read_bytes() == screensaver.read_bytes()
        assert wine.run(installed.uninstaller, "/q", timeout=60) == 0
        deadline = time.monotonic() + 30
        while installed.uninstall_folder.exists() and time.monotonic() < deadline:
            time.sleep(0.2)
    finally:
        swaps = race.stop()
    # Where a swap got in (Wine checks no file's security, so a program of
    # the same user may write a closed private file), the program read back
    # differs and is not run: a companion is skipped, and the uninstaller's
    # folder waits for the next restart instead of its copy.
    assert not (wine.drive_c / ATTACKER_RECORD).exists(), swaps
    assert not installed.scr.exists()
    assert installed.record() is None


# Names a patched package may carry: each is a damaged installer, which
# ends with exit code 2 before anything is written.
ESCAPING_NAMES = [
    ("company", "..\\..\\windows"),
    ("company", "Microsoft\\Windows\\CurrentVersion"),
    ("company", "C:\\evil"),
    ("company", "x:hidden"),
    ("title", "..\\..\\..\\windows\\system32"),
    ("title", "Run."),
    ("scr_file_name", "NUL"),
    ("scr_file_name", "COM1"),
    ("scr_file_name", "..\\notepad"),
]


def test_names_that_escape_make_a_damaged_installer(wine, installer, tmp_path):
    installed = Installation(wine)
    before = installed.snapshot()
    for field, text in ESCAPING_NAMES:
        patched = tmp_path / "Patched.exe"
        patched.write_bytes(layout.with_record_text(installer.read_bytes(), field, text))
        assert wine.run(patched, "/q", "/m", "/s", timeout=60) == 2, (field, text)
        assert installed.snapshot() == before, (field, text)
    assert not (wine.drive_c / "windows" / "system32" / "Uninstall.exe").exists()


def test_a_log_is_appended_to_and_never_cuts_a_file(wine, installer):
    target = wine.drive_c / "windows" / "win.ini"
    before = target.read_bytes()
    assert wine.run(installer, "/q", f"/log={wine.windows_path(target)}") == 0
    after = target.read_bytes()
    assert after.startswith(before), "what the file held is kept"
    assert b"exit code 0" in after[len(before):]
