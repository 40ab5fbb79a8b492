"""Quiet installations of real installers under Wine: the screensaver file,
its activation, the companion program, the finishing steps with the
installed-files record, the switches over the package defaults, and the
display control panel asked for with /p."""

import configparser
import pathlib
import re
import struct
import time

import pytest

from conftest import fresh_wine
from installers import SCREENSAVER_SETTING_KEY, Installation, build_installer

COMPANION_RECORD = "companion-ran.txt"


def read_link(path):
    """Target, description, working folder and arguments of a shell link file."""
    data = pathlib.Path(path).read_bytes()
    flags = struct.unpack_from("<I", data, 20)[0]
    at = 76
    if flags & 0x01:  # a target id list
        at += 2 + struct.unpack_from("<H", data, at)[0]
    target = None
    if flags & 0x02:  # link info with the local base path
        info_size = struct.unpack_from("<I", data, at)[0]
        base = at + struct.unpack_from("<I", data, at + 16)[0]
        target = data[base:data.index(b"\0", base)].decode("cp1252")
        at += info_size
    strings = {}
    for bit, name in ((0x04, "description"), (0x08, "relative"), (0x10, "working"),
                      (0x20, "arguments"), (0x40, "icon")):
        if flags & bit:
            count = struct.unpack_from("<H", data, at)[0]
            # Wine counts the terminating zero in; Windows does not.
            strings[name] = data[at + 2:at + 2 + 2 * count].decode("utf-16-le").rstrip("\0")
            at += 2 + 2 * count
    return target, strings.get("description"), strings.get("working"), strings.get("arguments")


@pytest.fixture(scope="module")
def uninstaller_program(hold_file):
    # Any small Windows program serves as the package's uninstaller.
    return hold_file


@pytest.fixture(scope="module")
def full_installer(tmp_path_factory, lumipack, stub, screensaver, uninstaller_program, companion):
    return build_installer(lumipack, stub, screensaver, tmp_path_factory.mktemp("full"),
                           uninstaller=uninstaller_program, companion=companion)


@pytest.fixture(scope="module")
def quiet_run(full_installer):
    """One quiet installation of the full package, inspected by several tests."""
    with fresh_wine() as wine:
        code = wine.run(full_installer, "/q")
        yield wine, code, Installation(wine)


def test_quiet_installation_ends_with_zero_and_leaves_no_work_file(quiet_run):
    wine, code, _ = quiet_run
    assert code == 0
    assert wine.work_files() == []


def test_screensaver_lands_in_the_system_folder_and_becomes_active(quiet_run, screensaver):
    wine, _, installed = quiet_run
    assert installed.scr.read_bytes() == screensaver.read_bytes()
    desktop = wine.reg_values(SCREENSAVER_SETTING_KEY)
    # The setting is read by 64-bit programs too: it names System32, never Sysnative.
    assert desktop["SCRNSAVE.EXE"] == installed.scr_setting
    assert desktop["ScreenSaveActive"] == "1"


def test_record_lists_the_created_files_in_creation_order(quiet_run):
    _, _, installed = quiet_run
    assert installed.record() == installed.expected_record(
        installed.uninstaller, installed.uninstall_ini, installed.start_menu_link,
        installed.uninstall_link, installed.desktop_link)


def test_uninstaller_its_settings_and_the_system_entry(quiet_run, uninstaller_program):
    wine, _, installed = quiet_run
    assert installed.uninstaller.read_bytes() == uninstaller_program.read_bytes()
    # UTF-16 with its byte-order mark: no character of a name is lost.
    ini = configparser.ConfigParser()
    ini.read_string(installed.uninstall_ini.read_text(encoding="utf-16"))
    assert {name: dict(ini[name]) for name in ini.sections()} == {
        "uninstall": {"company": "Lumiset Samples", "scrtitle": "Starfield",
                      "scrfile": "starfield", "language": "1"}}
    entry = wine.reg_values(installed.uninstall_key)
    installed_on = entry.pop("InstallDate")
    assert re.fullmatch(r"20\d\d(0[1-9]|1[0-2])(0[1-9]|[12]\d|3[01])", installed_on)
    written = sum(path.stat().st_size
                  for path in (installed.scr, installed.uninstaller, installed.uninstall_ini))
    # The package's own uninstaller: no quiet form, which only the default
    # one is known to have; the package names no version and no web page.
    assert entry == {
        "DisplayName": "Starfield Screensaver",
        # Quoted when the path holds blanks; no switch.
        "UninstallString": installed.uninstall_string(),
        "DisplayIcon": installed.scr_setting,
        "Publisher": "Lumiset Samples",
        "EstimatedSize": (written + 1023) // 1024,
        "NoModify": 1,
        "NoRepair": 1,
    }


def test_links_name_the_native_system_folder(quiet_run):
    wine, _, installed = quiet_run
    system32 = installed.native_system_folder
    # The screensaver's links start it (/s), never its settings.
    assert read_link(installed.start_menu_link) == (installed.scr_setting, "Starfield", system32,
                                                    "/s")
    assert read_link(installed.desktop_link) == (installed.scr_setting, "Starfield", system32,
                                                 "/s")
    assert read_link(installed.uninstall_link) == (
        wine.windows_path(installed.uninstaller), installed.uninstall_link_description,
        wine.windows_path(installed.uninstall_folder), "")


def test_companion_runs_privately_with_s_and_is_deleted(quiet_run):
    wine, _, _ = quiet_run
    command_line, own_path = (wine.drive_c / COMPANION_RECORD).read_text().splitlines()
    # Windows compares paths without regard to letter case; so may the names.
    assert command_line.lower() == f'"{own_path}" /s'.lower()
    program = pathlib.PureWindowsPath(own_path)
    # In the system's temporary folder, where no user changes another's
    # files, under a name nobody can guess.
    assert program.suffix == ".exe"
    assert str(program.parent).lower() == "c:\\windows\\temp"
    assert re.fullmatch(r"lumiset-[0-9a-f]{16}\.exe", program.name), program.name
    assert not (wine.drive_c / "windows" / "temp" / program.name).exists()


# An installation activates its screensaver unless a switch says otherwise.
# Each case starts from a setting that names another screensaver, so a run
# that must not activate leaves it as it was.
OTHER_SCREENSAVER = "C:\\windows\\System32\\other.scr"
ACTIVATION_CASES = [
    ("/q", True),
    ("/Q", True),
    ("/q /d-", False),
    ("/q /d /d-", False),
]


def test_activation_follows_the_switches(full_installer):
    with fresh_wine() as wine:
        installed = Installation(wine)
        for args, activated in ACTIVATION_CASES:
            wine.reg_set(SCREENSAVER_SETTING_KEY, "SCRNSAVE.EXE", OTHER_SCREENSAVER)
            wine.reg_set(SCREENSAVER_SETTING_KEY, "ScreenSaveActive", "0")
            installed.scr.unlink(missing_ok=True)
            # A switch that failed to make the run quiet would wait for a page here.
            assert wine.run(full_installer, *args.split(), timeout=60) == 0, args
            assert installed.scr.is_file(), args
            desktop = wine.reg_values(SCREENSAVER_SETTING_KEY)
            expected = (installed.scr_setting, "1") if activated else (OTHER_SCREENSAVER, "0")
            assert (desktop["SCRNSAVE.EXE"], desktop["ScreenSaveActive"]) == expected, args


# (package has an uninstaller, package options for Start menu and desktop,
#  switches, files the record lists in order, package language)
U, I, S, L, D = "uninstaller", "ini", "start", "uninstall link", "desktop"
FINISHING_CASES = [
    (True, True, "/q", [U, I, S, L, D], "english"),
    (True, True, "/q /m- /s-", [U, I], "english"),
    (True, True, "/q /m-", [U, I, D], "english"),
    (True, True, "/q /s-", [U, I, S, L], "english"),
    (True, False, "/q", [U, I], "english"),
    (True, False, "/q /m /s", [U, I, S, L, D], "english"),
    (False, True, "/q", [S, D], "english"),
    (False, True, "/q /m- /s-", [], "german"),
]
LANGUAGE_INDEX = {"english": "1", "german": "3"}


def test_finishing_steps_and_their_record(tmp_path, lumipack, stub, screensaver,
                                          uninstaller_program):
    with fresh_wine() as wine:
        # One prefix for the whole table: each case installs under its own title.
        for number, (has_uninstaller, options_on, args, listed, language) in enumerate(
                FINISHING_CASES):
            title = f"Case {number}"
            case = f"{title}: {args} {'with' if has_uninstaller else 'without'} uninstaller"
            installer = build_installer(
                lumipack, stub, screensaver, tmp_path / str(number), title=title,
                language=language, uninstaller=uninstaller_program if has_uninstaller else False,
                start_menu_entry=options_on, desktop_icon=options_on)
            assert wine.run(installer, *args.split(), timeout=60) == 0, case
            installed = Installation(wine, title=title)
            by_name = dict(zip([U, I, S, L, D], installed.created_files()))
            expected = installed.expected_record(*(by_name[name] for name in listed),
                                                 activated=False)
            expected["AppLanguage"] = LANGUAGE_INDEX[language]
            # The setting each activation replaced (the case before's) aside.
            record = {name: value for name, value in installed.record().items()
                      if not name.startswith("Previous")}
            assert record == expected, case
            for name, path in by_name.items():
                assert path.exists() == (name in listed), f"{case}: {name}"
            assert installed.uninstall_folder.exists() == has_uninstaller, case
            assert (wine.reg_values(installed.uninstall_key) is not None) == has_uninstaller, case
            assert wine.work_files() == [], case


def test_second_installation_overwrites_and_takes_what_it_no_longer_makes(full_installer,
                                                                           screensaver):
    with fresh_wine() as wine:
        installed = Installation(wine)
        assert wine.run(full_installer, "/q") == 0
        installed.scr.write_bytes(b"damaged copy")
        # Fewer finishing steps the second time: the links the first made go,
        # and the record lists only what is there.
        assert wine.run(full_installer, "/q", "/m-", "/s-") == 0
        assert installed.scr.read_bytes() == screensaver.read_bytes()
        assert installed.record() == installed.expected_record(installed.uninstaller,
                                                               installed.uninstall_ini)
        assert installed.uninstaller.is_file()
        assert not installed.desktop_link.exists() and not installed.start_menu_folder.exists()


def test_display_properties_are_opened_only_with_p(tmp_path, lumipack, stub, screensaver):
    # The package asks for Display Properties; /q alone turns that off, and
    # /q /p turns it on again, after which the installer waits about 3 s.
    installer = build_installer(lumipack, stub, screensaver, tmp_path,
                                open_display_properties=True)
    with fresh_wine() as wine:
        assert wine.run(installer, "/q") == 0  # warms Wine up for the timings
        durations = {}
        for args in ("/q", "/q /p"):
            started = time.monotonic()
            assert wine.run(installer, *args.split(), timeout=60) == 0, args
            durations[args] = time.monotonic() - started
        assert durations["/q /p"] >= 3.0
        assert durations["/q /p"] - durations["/q"] >= 2.0, durations
        assert Installation(wine).scr.is_file()
