"""Deployment as management tools run installers: for every user of the
machine, and silent with only the progress page."""

import time

import pytest

from installers import SCREENSAVER_SETTING_KEY, Installation, build_installer

PROGRESS = "Screensaver Installation - Installing"
DONE = "Screensaver Installation - Installation Successfully Completed"


@pytest.fixture(scope="module")
def installer(tmp_path_factory, lumipack, stub, screensaver):
    return build_installer(lumipack, stub, screensaver, tmp_path_factory.mktemp("deploy"))


def common_folders(wine):
    public = wine.drive_c / "users" / "Public"
    return (wine.drive_c / "ProgramData" / "Microsoft" / "Windows" / "Start Menu" / "Programs",
            public / "Desktop")


def test_an_installation_for_all_users_and_its_removal(wine, installer):
    installed = Installation(wine)
    programs, desktop = common_folders(wine)
    log = wine.drive_c / "setup.log"
    assert wine.run(installer, "/q", "/n", "/allusers", "/m", "/s",
                    f"/log={wine.windows_path(log)}") == 0
    menu_link = programs / installed.company / "Starfield Screensaver" / "Starfield Screensaver.lnk"
    desktop_link = desktop / "Starfield Screensaver.lnk"
    assert menu_link.is_file() and desktop_link.is_file()
    assert not installed.desktop_link.exists() and not installed.start_menu_link.exists()
    machine_record = wine.reg_values(f"HKLM\\Software\\{installed.company}\\{installed.title}")
    assert machine_record["ScreensaverFile"] == installed.scr_windows_path
    assert wine.windows_path(desktop_link) in machine_record.values()
    assert installed.record() is None, "nothing in the user's hive"
    # Nobody's setting changes unless /d asks by name.
    assert "SCRNSAVE.EXE" not in wine.reg_values(SCREENSAVER_SETTING_KEY)
    assert "scope all users" in log.read_text(encoding="utf-8-sig")

    assert wine.run(installed.uninstaller, "/q", timeout=60) == 0
    deadline = time.monotonic() + 30
    while installed.uninstall_folder.exists() and time.monotonic() < deadline:
        time.sleep(0.2)
    assert not menu_link.exists() and not desktop_link.exists()
    assert not (programs / installed.company).exists()
    assert wine.reg_values(f"HKLM\\Software\\{installed.company}\\{installed.title}") is None
    assert not installed.scr.exists()


def test_silent_with_progress_shows_the_progress_page_only_and_ends(wine, ui, installer):
    installed = Installation(wine)
    process = wine.start(installer, "/q", "/f", "/n")
    try:
        assert ui.wait(PROGRESS) is not None, "no progress page"
        assert process.wait(timeout=60) == 0, "it waited for somebody"
    finally:
        if process.poll() is None:
            process.kill()
    assert installed.scr.is_file()
    _, windows = wine.output(ui.program, "windows")
    assert DONE not in windows
