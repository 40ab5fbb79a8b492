"""The default uninstaller: lumipack puts it into every package that names
no uninstaller of its own; the installation enters it into the list of
installed programs with every value that list shows; started from there, it
removes the screensaver and then itself."""

import datetime
import json
import subprocess
import time

import pytest

from installers import SCREENSAVER_SETTING_KEY, Installation, build_installer

CAPTION = "Installation"
YES, NO, OK = 6, 7, 1
VERSION = "2.1"
URL = "https://example.com/starfield"


@pytest.fixture(scope="module")
def installer(tmp_path_factory, lumipack, stub, screensaver):
    # A manifest without an uninstaller: lumipack takes the default one.
    return build_installer(lumipack, stub, screensaver, tmp_path_factory.mktemp("default"),
                           version=VERSION, url=URL)


def uninstaller_kind(lumipack, installer):
    report = subprocess.run([str(lumipack), "inspect", "--json", str(installer)], check=True,
                            capture_output=True, text=True).stdout
    return json.loads(report)["items"]["uninstaller"]["kind"]


def wait_for(condition, timeout=30):
    """Polls until `condition()` holds: the uninstaller's copy finishes after
    the uninstaller itself has ended."""
    deadline = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.2)
    return True


def test_the_entry_shows_every_value_and_names_the_uninstaller(wine, lumipack, installer,
                                                               default_uninstaller):
    assert uninstaller_kind(lumipack, installer) == "default"
    installed = Installation(wine)
    before = datetime.date.today()
    assert wine.run(installer, "/q") == 0
    dates = {day.strftime("%Y%m%d") for day in (before, datetime.date.today())}
    assert installed.uninstaller.read_bytes() == default_uninstaller.read_bytes()
    entry = wine.reg_values(installed.uninstall_key)
    uninstaller = wine.windows_path(installed.uninstaller)
    written = sum(path.stat().st_size
                  for path in (installed.scr, installed.uninstaller, installed.uninstall_ini))
    assert entry.pop("InstallDate") in dates
    assert entry == {
        "DisplayName": "Starfield Screensaver",
        # Quoted, since the path holds blanks: Windows never tries
        # C:\Program.exe first.
        "UninstallString": f'"{uninstaller}"',
        "QuietUninstallString": f'"{uninstaller}" /q',
        # Shown by a 64-bit program: never through the Sysnative alias.
        "DisplayIcon": installed.scr_setting,
        "Publisher": "Lumiset Samples",
        "DisplayVersion": VERSION,
        "URLInfoAbout": URL,
        "EstimatedSize": (written + 1023) // 1024,
        "NoModify": 1,
        "NoRepair": 1,
    }


def test_quiet_uninstall_removes_everything_and_then_itself(wine, installer):
    installed = Installation(wine)
    assert wine.run(installer, "/q") == 0
    assert all(path.is_file() for path in installed.created_files())
    assert wine.run(installed.uninstaller, "/q", timeout=60) == 0
    assert wait_for(lambda: not installed.uninstall_folder.exists()
                    and not installed.uninstaller_copies()), installed.uninstaller_copies()

    assert not installed.scr.exists()
    assert [path for path in installed.created_files() if path.exists()] == []
    assert not (installed.program_files / installed.company).exists()
    assert not (installed.programs / installed.company).exists()
    assert installed.program_files.is_dir() and installed.programs.is_dir()
    assert installed.record() is None
    assert wine.reg_values(installed.uninstall_key) is None
    # The setting is as it was before the installation: neither value there.
    desktop = wine.reg_values(SCREENSAVER_SETTING_KEY)
    assert "SCRNSAVE.EXE" not in desktop and "ScreenSaveActive" not in desktop
    assert wine.reg_values(f"HKCU\\Software\\{installed.company}") is None


@pytest.mark.parametrize("answer", ["no", "yes"])
def test_without_q_it_asks_first(wine, ui, installer, answer):
    installed = Installation(wine)
    assert wine.run(installer, "/q") == 0
    before = installed.snapshot()
    process = wine.start(installed.uninstaller)
    try:
        question = ui.wait(CAPTION)
        assert question is not None
        assert "Remove Starfield Screensaver?" in [c[-1] for c in question.values()]
        if answer == "no":
            ui.click(CAPTION, NO)
            assert process.wait(timeout=30) == 1
        else:
            ui.click(CAPTION, YES)
            message = ui.wait(CAPTION)
            assert "Screensaver successfully uninstalled." in [c[-1] for c in message.values()]
            ui.click(CAPTION, OK)
            assert process.wait(timeout=30) == 0
    finally:
        if process.poll() is None:
            process.kill()
    if answer == "no":
        assert installed.snapshot() == before
        assert installed.uninstaller_copies() == []
    else:
        assert wait_for(lambda: not installed.uninstall_folder.exists()
                        and not installed.uninstaller_copies())
        assert not installed.scr.exists()
        assert installed.record() is None


def test_a_package_with_its_own_uninstaller_gets_exactly_that_one(wine, tmp_path, lumipack, stub,
                                                                  screensaver, hold_file):
    installer = build_installer(lumipack, stub, screensaver, tmp_path, uninstaller=hold_file)
    assert uninstaller_kind(lumipack, installer) == "author"
    installed = Installation(wine)
    assert wine.run(installer, "/q") == 0
    assert installed.uninstaller.read_bytes() == hold_file.read_bytes()
    entry = wine.reg_values(installed.uninstall_key)
    assert entry["UninstallString"] == installed.uninstall_string()
    # Nobody knows whether the author's program runs quietly with /q.
    assert "QuietUninstallString" not in entry
