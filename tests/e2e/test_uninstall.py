"""Uninstallation with /u under Wine: what an installation made goes and
nothing it did not make, the screensaver setting goes back to what it was
only when it names the installed file, the shell folders stay, and /u
without an installed copy touches nothing."""

import configparser
import shutil

import pytest

from conftest import ARCH, HeldFile, fresh_wine
from installers import SCREENSAVER_SETTING_KEY, Installation, build_installer

OTHER_SCREENSAVER = "C:\\windows\\System32\\other.scr"
MESSAGE_CAPTION = "Installation"
OK = 1


@pytest.fixture(scope="module")
def installer(tmp_path_factory, lumipack, stub, screensaver, hold_file):
    # Any small Windows program serves as the package's uninstaller.
    return build_installer(lumipack, stub, screensaver, tmp_path_factory.mktemp("full"),
                           uninstaller=hold_file)


def system_ini(wine):
    return wine.drive_c / "windows" / "system.ini"


def boot_screensaver(wine):
    """The [boot] scrnsave.exe entry of system.ini, or None when absent."""
    ini = configparser.ConfigParser(interpolation=None, strict=False)
    ini.read_string(system_ini(wine).read_text(encoding="cp1252", errors="replace"))
    return ini.get("boot", "scrnsave.exe", fallback=None)


def set_boot_screensaver(wine, value):
    text = system_ini(wine).read_text(encoding="cp1252", errors="replace")
    lines = [line for line in text.splitlines()
             if not line.lower().startswith(("[boot]", "scrnsave.exe="))]
    lines += ["[boot]", f"scrnsave.exe={value}"]
    system_ini(wine).write_text("\r\n".join(lines) + "\r\n", encoding="cp1252")


def empty_folder(path):
    for child in path.iterdir():
        if child.is_dir() and not child.is_symlink():
            shutil.rmtree(child)
        else:
            child.unlink()


def test_uninstall_removes_what_the_installation_made(installer):
    with fresh_wine() as wine:
        installed = Installation(wine)
        # Shell folders left empty by the uninstallation must stay: empty them
        # first, so that nothing but the uninstaller's care keeps them.
        for folder in (installed.desktop, installed.programs, installed.program_files):
            empty_folder(folder)
        assert wine.run(installer, "/q") == 0
        assert all(path.is_file() for path in installed.created_files())
        # /u alone shows no message: the run ends by itself.
        assert wine.run(installer, "/u", timeout=30) == 0

        assert not installed.scr.exists()
        assert [p for p in installed.created_files() if p.exists()] == []
        assert not (installed.program_files / installed.company).exists()
        assert not (installed.programs / installed.company).exists()
        for folder in (installed.desktop, installed.programs, installed.program_files):
            assert folder.is_dir() and list(folder.iterdir()) == [], folder
        assert installed.record() is None
        # The company key the installation made goes with the record.
        assert wine.reg_values(f"HKCU\\Software\\{installed.company}") is None
        assert wine.reg_values(installed.uninstall_key) is None
        # The setting is as before the installation: neither value there,
        # and no [boot] entry in system.ini where none was.
        desktop = wine.reg_values(SCREENSAVER_SETTING_KEY)
        assert "SCRNSAVE.EXE" not in desktop and "ScreenSaveActive" not in desktop
        assert boot_screensaver(wine) is None
        assert wine.work_files() == []


def test_company_folders_shared_with_another_screensaver_stay(tmp_path, installer, lumipack,
                                                              stub, screensaver, hold_file):
    aurora_scr = tmp_path / "aurora.scr"
    shutil.copy(screensaver, aurora_scr)
    aurora_installer = build_installer(lumipack, stub, aurora_scr, tmp_path / "aurora",
                                       title="Aurora", uninstaller=hold_file)
    with fresh_wine() as wine:
        starfield = Installation(wine)
        aurora = Installation(wine, title="Aurora", file_name="aurora")
        assert wine.run(installer, "/q") == 0
        assert wine.run(aurora_installer, "/q") == 0
        assert wine.run(installer, "/u", timeout=30) == 0
        assert not starfield.scr.exists()
        assert not starfield.uninstall_folder.exists()
        assert not starfield.start_menu_folder.exists()
        assert aurora.scr.is_file()
        assert all(path.is_file() for path in aurora.created_files())
        assert aurora.record() is not None


def test_uninstall_removes_only_what_the_installation_wrote(installer):
    with fresh_wine() as wine:
        installed = Installation(wine)
        settings = installed.record_key + "\\Settings"
        assert wine.run(installer, "/q") == 0
        # Another program's value and subkey under the record's key, and its
        # value in the installed-programs entry.
        wine.reg_set(installed.record_key, "Speed", "7")
        wine.reg_set(settings, "Colour", "blue")
        wine.reg_set(installed.uninstall_key, "Comments", "kept")
        assert wine.run(installer, "/u", timeout=30) == 0
        assert not installed.scr.exists()
        assert installed.record() == {"Speed": "7"}
        assert wine.reg_values(settings) == {"Colour": "blue"}
        assert wine.reg_values(installed.uninstall_key) == {"Comments": "kept"}

        # An entry whose DisplayName is not this installation's belongs to
        # another product: it stays whole.
        assert wine.run(installer, "/q") == 0
        wine.reg_set(installed.uninstall_key, "DisplayName", "Starfield Screensaver Deluxe")
        entry = wine.reg_values(installed.uninstall_key)
        assert wine.run(installer, "/u", timeout=30) == 0
        assert not installed.scr.exists()
        assert wine.reg_values(installed.uninstall_key) == entry


# (SCRNSAVE.EXE, system.ini [boot] scrnsave.exe, whether each names it)
RESTORE_CASES = [
    ("C:\\windows\\System32\\starfield.scr", "", True, False),  # as activation writes it
    # The WOW64 alias names the installed file only for the 32-bit installer;
    # a 64-bit process has no such folder.
    ("C:\\windows\\Sysnative\\starfield.scr", "", ARCH == "x86", False),
    ("c:\\WINDOWS\\SYSTEM32\\StarField.SCR", "", True, False),
    (OTHER_SCREENSAVER, "C:\\windows\\System32\\starfield.scr", False, True),
    (OTHER_SCREENSAVER, "C:\\windows\\System32\\another.scr", False, False),
    ("", "C:\\windows\\System32\\another.scr", False, False),
]


def test_screensaver_setting_is_cleared_only_when_it_names_the_installed_file(installer,
                                                                             screensaver):
    with fresh_wine() as wine:
        installed = Installation(wine)
        for setting, boot, setting_cleared, boot_cleared in RESTORE_CASES:
            case = f"SCRNSAVE.EXE={setting!r} boot={boot!r}"
            # The screensaver file alone makes an installed copy for /u.
            shutil.copy(screensaver, installed.scr)
            wine.reg_set(SCREENSAVER_SETTING_KEY, "SCRNSAVE.EXE", setting)
            wine.reg_set(SCREENSAVER_SETTING_KEY, "ScreenSaveActive", "1")
            set_boot_screensaver(wine, boot)
            assert wine.run(installer, "/u", timeout=30) == 0, case
            assert not installed.scr.exists(), case
            desktop = wine.reg_values(SCREENSAVER_SETTING_KEY)
            # With no record of what it replaced, a setting that names the
            # file is switched off; each place is changed only where it
            # names the file.
            expected = (("", "0") if setting_cleared else (setting, "1")) + (
                "" if boot_cleared else boot,)
            after = (desktop["SCRNSAVE.EXE"], desktop["ScreenSaveActive"], boot_screensaver(wine))
            assert after == expected, case


@pytest.mark.parametrize("detect_existing, install_first, scr_removed", [
    pytest.param(True, False, False, id="nothing installed"),
    pytest.param(False, True, False, id="detection off"),
    pytest.param(True, True, True, id="screensaver file gone"),
])
def test_uninstall_without_a_detected_copy_touches_nothing(
        wine, tmp_path, lumipack, stub, screensaver, hold_file,
        detect_existing, install_first, scr_removed):
    installer = build_installer(lumipack, stub, screensaver, tmp_path, uninstaller=hold_file,
                                detect_existing=detect_existing)
    installed = Installation(wine)
    if install_first:
        assert wine.run(installer, "/q") == 0
    if scr_removed:
        installed.scr.unlink()
    # A setting that names the screensaver: a wrong uninstallation clears it.
    wine.reg_set(SCREENSAVER_SETTING_KEY, "SCRNSAVE.EXE", installed.scr_setting)
    before = installed.snapshot()
    assert wine.run(installer, "/u", timeout=30) == 0
    assert installed.snapshot() == before


def test_uninstall_with_f_reports_success(wine, ui, installer):
    installed = Installation(wine)
    assert wine.run(installer, "/q") == 0
    process = wine.start(installer, "/u", "/f")
    try:
        message = ui.wait(MESSAGE_CAPTION)
        assert message is not None
        assert "Screensaver successfully uninstalled." in [c[-1] for c in message.values()]
        ui.click(MESSAGE_CAPTION, OK)
        assert process.wait(timeout=30) == 0
    finally:
        if process.poll() is None:
            process.kill()
    assert not installed.scr.exists()
    assert installed.record() is None


def test_uninstall_of_a_screensaver_in_use_fails_with_a_message(wine, ui, tmp_path, installer,
                                                                hold_file):
    installed = Installation(wine)
    assert wine.run(installer, "/q") == 0
    record = installed.record()
    with HeldFile(wine, hold_file, installed.scr_windows_path, tmp_path):
        # The failure is reported even without /f.
        process = wine.start(installer, "/u")
        try:
            message = ui.wait(MESSAGE_CAPTION)
            assert message is not None
            assert any(c[-1].startswith("Unable to uninstall the Screensaver.")
                       for c in message.values())
            ui.click(MESSAGE_CAPTION, OK)
            assert process.wait(timeout=30) == 1, "a copy left in place is no success"
        finally:
            if process.poll() is None:
                process.kill()
        # With /n nobody is asked: no message, exit code 1 at once.
        assert wine.run(installer, "/u", "/n", timeout=30) == 1
    # While the file stays, nothing changes: the setting still names it.
    desktop = wine.reg_values(SCREENSAVER_SETTING_KEY)
    assert (desktop["SCRNSAVE.EXE"], desktop["ScreenSaveActive"]) == (installed.scr_setting, "1")
    assert installed.scr.is_file()
    assert installed.record() == record
    assert wine.reg_values(installed.uninstall_key) is not None
    assert all(path.is_file() for path in installed.created_files())
