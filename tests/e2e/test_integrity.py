"""No run leaves a part of a screensaver or reports a failure as success:
an installation killed at any moment, a finishing step that fails, a
damaged block; and installers that work from any path, in any script."""

import contextlib
import os
import random
import shutil
import signal
import subprocess
import time

import pytest

from conftest import fresh_wine
from installers import SCREENSAVER_SETTING_KEY, Installation, build_installer

# Large and incompressible, so that an installation takes seconds.
BIG_PAYLOAD_BYTES = 160 << 20


@pytest.fixture(scope="module")
def installer(tmp_path_factory, lumipack, stub, screensaver):
    return build_installer(lumipack, stub, screensaver, tmp_path_factory.mktemp("integrity"))


@pytest.fixture(scope="module")
def big(tmp_path_factory, lumipack, stub, screensaver):
    folder = tmp_path_factory.mktemp("big")
    big_scr = folder / "starfield.scr"
    big_scr.write_bytes(screensaver.read_bytes() + random.Random(11).randbytes(BIG_PAYLOAD_BYTES))
    return build_installer(lumipack, stub, big_scr, folder / "out", compression="fast"), big_scr


def staged_files(wine):
    return sorted((wine.drive_c / "windows" / "system32").glob("~lumiset-*"))


def test_a_killed_installation_leaves_the_earlier_copy_whole(big):
    installer, big_scr = big
    expected = big_scr.read_bytes()
    with fresh_wine() as wine:
        installed = Installation(wine)
        for delay in (0.3, 1.0, 2.0, 3.5):
            installed.scr.write_bytes(b"the working copy")
            process = wine.start(installer, "/q")
            time.sleep(delay)
            process.send_signal(signal.SIGKILL)
            process.wait(timeout=30)
            now = installed.scr.read_bytes()
            assert now in (b"the working copy", expected), \
                f"killed after {delay} s: {len(now)} bytes, a part"
        # The next run installs, and takes away what a killed one staged.
        assert wine.run(installer, "/q", timeout=120) == 0
        assert installed.scr.read_bytes() == expected
        assert staged_files(wine) == []


@contextlib.contextmanager
def full_system_folder(system32, free_bytes):
    """Puts the system folder on a small drive with `free_bytes` left: a
    tmpfs mounted in its place, holding links to what was there. Needs the
    right to mount (root, as in CI)."""
    real = system32.with_name("system32.real")
    system32.rename(real)
    system32.mkdir()
    try:
        mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=32m", "tmpfs", str(system32)],
                                 stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        if mounted.returncode != 0:
            pytest.skip(f"cannot mount a small drive here: {mounted.stderr.strip()}")
        try:
            for entry in real.iterdir():
                (system32 / entry.name).symlink_to(entry)
            stat = os.statvfs(system32)
            filler = stat.f_bavail * stat.f_frsize - free_bytes
            (system32 / "filler.bin").write_bytes(bytes(filler))
            yield
        finally:
            subprocess.run(["umount", str(system32)], check=True)
    finally:
        system32.rmdir()
        real.rename(system32)


def test_a_full_disk_keeps_the_earlier_copy_and_says_so(lumipack, stub, screensaver, tmp_path):
    bigger = tmp_path / "starfield.scr"
    bigger.write_bytes(screensaver.read_bytes() + random.Random(5).randbytes(4 << 20))
    installer = build_installer(lumipack, stub, bigger, tmp_path / "out")
    with fresh_wine() as wine:
        installed = Installation(wine)
        log = wine.drive_c / "setup.log"
        with full_system_folder(wine.drive_c / "windows" / "system32", free_bytes=1 << 20):
            installed.scr.write_bytes(b"the working copy")
            # /n: no one to ask, so the retries run out and the run fails.
            assert wine.run(installer, "/q", "/n", f"/log={wine.windows_path(log)}",
                            timeout=300) == 1
            assert installed.scr.read_bytes() == b"the working copy"
            assert staged_files(wine) == []
        text = log.read_text(encoding="utf-8-sig")
        assert "error 112" in text, text
        assert f'installation: failed at "install {installed.scr_windows_path}"' in text, text
        # With room again, the same installer installs.
        assert wine.run(installer, "/q", "/n", timeout=120) == 0
        assert installed.scr.read_bytes() == bigger.read_bytes()


def test_a_failed_finishing_step_is_a_failure_named_in_the_log(wine, installer):
    installed = Installation(wine)
    # A file where the company's folder goes: the uninstaller cannot be written.
    installed.program_files.mkdir(parents=True, exist_ok=True)
    (installed.program_files / installed.company).write_bytes(b"in the way")
    log = wine.drive_c / "setup.log"
    assert wine.run(installer, "/q", f"/log={wine.windows_path(log)}") == 1
    text = log.read_text(encoding="utf-8-sig")
    assert "write the uninstaller: failed" in text, text
    assert 'installation: failed at "write the uninstaller"' in text
    # The screensaver is installed and recorded, so that it can be removed;
    # no link points at a missing uninstaller.
    assert installed.scr.is_file()
    assert not installed.uninstall_link.exists()
    assert installed.start_menu_link.is_file()
    assert installed.record()["File0000"] == wine.windows_path(installed.start_menu_link)
    assert wine.reg_values(installed.uninstall_key) is None


def test_the_default_uninstaller_without_the_users_record_removes_what_it_knows(wine, installer):
    installed = Installation(wine)
    assert wine.run(installer, "/q") == 0
    # Another account's installation, as this account sees it: no record.
    wine.output("reg", "delete", installed.record_key, "/f", wine.reg_view)
    assert installed.record() is None
    assert wine.run(installed.uninstaller, "/q", timeout=60) == 0
    assert not installed.scr.exists()
    assert [p for p in installed.created_files() if p.exists() and p.suffix == ".lnk"] == []
    desktop = wine.reg_values(SCREENSAVER_SETTING_KEY)
    assert desktop.get("SCRNSAVE.EXE", "") != installed.scr_setting


def test_an_uninstallation_needs_no_display(wine, installer):
    installed = Installation(wine)
    assert wine.run(installer, "/q") == 0
    env = {k: v for k, v in wine.env.items() if k != "DISPLAY"}
    code = subprocess.run([os.environ.get("LUMISET_WINE") or "wine", str(installer), "/u", "/q"],
                          env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL, timeout=60).returncode
    assert code == 0
    assert not installed.scr.exists()
    assert installed.record() is None


def test_a_read_only_screensaver_is_uninstalled(wine, installer):
    installed = Installation(wine)
    assert wine.run(installer, "/q") == 0
    assert wine.output("attrib", "+r", installed.scr_windows_path)[0] == 0
    assert wine.run(installer, "/u", timeout=60) == 0
    assert not installed.scr.exists()


# Folders and file names outside any ANSI code page.
UNICODE_NAMES = [("Загрузки", "Setup.exe"), ("日本語", "Setup.exe"), ("Downloads", "Setup ✨.exe")]


@pytest.mark.parametrize("folder, name", UNICODE_NAMES)
def test_an_installer_runs_from_any_path(wine, installer, screensaver, folder, name):
    installed = Installation(wine)
    place = wine.user_folder() / folder
    place.mkdir(exist_ok=True)
    copy = place / name
    shutil.copy(installer, copy)
    log = wine.drive_c / "setup.log"
    assert wine.run(copy, "/q", f"/log={wine.windows_path(log)}") == 0
    assert installed.scr.read_bytes() == screensaver.read_bytes()
    text = log.read_text(encoding="utf-8-sig")
    assert f"installer: {wine.windows_path(copy)}" in text


def test_a_profile_in_another_script(wine, installer):
    # The user's shell folders under C:\users\Пётр, as on an English system
    # whose user name is Cyrillic.
    profile = wine.drive_c / "users" / "Пётр"
    shell = {"Desktop": profile / "Desktop",
             "Programs": profile / "Start Menu" / "Programs"}
    for path in shell.values():
        path.mkdir(parents=True)
    for key in (r"HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders",
                r"HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders"):
        for name, path in shell.items():
            wine.reg_set(key, name, wine.windows_path(path))
    assert wine.run(installer, "/q", "/m", "/s") == 0
    desktop_link = shell["Desktop"] / "Starfield Screensaver.lnk"
    assert desktop_link.is_file()
    installed = Installation(wine)
    assert wine.windows_path(desktop_link) in installed.record().values()
    assert wine.run(installer, "/u", timeout=60) == 0
    assert not desktop_link.exists()
    assert not (shell["Programs"] / installed.company).exists()


def test_an_upgrade_under_another_file_name_removes_the_earlier_file(wine, installer, tmp_path,
                                                                     lumipack, stub,
                                                                     screensaver):
    installed = Installation(wine)
    assert wine.run(installer, "/q") == 0
    renamed = tmp_path / "sf2.scr"
    shutil.copy(screensaver, renamed)
    upgrade = build_installer(lumipack, stub, renamed, tmp_path / "v2", version="2.0")
    assert wine.run(upgrade, "/q") == 0
    assert not installed.scr.exists()
    new = Installation(wine, file_name="sf2")
    assert new.scr.is_file()
    assert wine.reg_values(SCREENSAVER_SETTING_KEY)["SCRNSAVE.EXE"] == new.scr_setting


def test_the_previous_screensaver_comes_back(wine, lumipack, stub, screensaver, tmp_path):
    def package(title, name):
        scr = tmp_path / f"{name}.scr"
        shutil.copy(screensaver, scr)
        return build_installer(lumipack, stub, scr, tmp_path / title, title=title)

    aurora, borealis = package("Aurora", "aurora"), package("Borealis", "borealis")
    a = Installation(wine, title="Aurora", file_name="aurora")
    b = Installation(wine, title="Borealis", file_name="borealis")

    def setting():
        values = wine.reg_values(SCREENSAVER_SETTING_KEY)
        return values.get("SCRNSAVE.EXE"), values.get("ScreenSaveActive")

    # Install A, install B, uninstall B: A is active again.
    assert wine.run(aurora, "/q") == 0
    assert wine.run(borealis, "/q") == 0
    assert setting() == (b.scr_setting, "1")
    assert wine.run(borealis, "/u", timeout=60) == 0
    assert setting() == (a.scr_setting, "1")
    # Uninstall A: as before anything was installed, no screensaver.
    assert wine.run(aurora, "/u", timeout=60) == 0
    assert setting() == (None, None)
    # A's file gone before B goes: off.
    assert wine.run(aurora, "/q") == 0
    assert wine.run(borealis, "/q") == 0
    a.scr.unlink()
    assert wine.run(borealis, "/u", timeout=60) == 0
    assert setting() == ("", "0")


def test_a_policy_decides_the_active_screensaver(wine, ui, installer):
    policy = r"HKCU\Software\Policies\Microsoft\Windows\Control Panel\Desktop"
    wine.reg_set(policy, "SCRNSAVE.EXE", "C:\\windows\\System32\\corp.scr")
    wine.reg_set(SCREENSAVER_SETTING_KEY, "SCRNSAVE.EXE", "C:\\windows\\System32\\corp.scr")
    installed = Installation(wine)
    log = wine.drive_c / "setup.log"
    process = wine.start(installer, "/q", "/f", f"/log={wine.windows_path(log)}")
    done = "Screensaver Installation - Installation Successfully Completed"
    page = ui.wait(done, 60000)
    assert page is not None
    note = page[1043]
    assert note[3], "the page does not say that the organisation decides"
    assert note[-1].startswith("Your organization's settings decide")
    ui.click(done, 1)
    assert process.wait(timeout=60) == 0
    assert installed.scr.is_file()
    assert wine.reg_values(SCREENSAVER_SETTING_KEY)["SCRNSAVE.EXE"] == \
        "C:\\windows\\System32\\corp.scr"
    assert "a Group Policy sets it" in log.read_text(encoding="utf-8-sig")


def test_a_damaged_block_says_so_and_offers_no_second_try(wine, ui, installer, tmp_path):
    import layout
    data = bytearray(installer.read_bytes())
    at = layout.length_field(data, 3)
    at += 4 + layout.u32(data, at)
    middle = at + (len(data) - at) // 2
    data[middle:middle + 64] = bytes(b ^ 0xFF for b in data[middle:middle + 64])
    damaged = tmp_path / "Damaged.exe"
    damaged.write_bytes(bytes(data))
    process = wine.start(damaged, "/q", "/f")
    error = "Screensaver Installation - Error during installation"
    page = ui.wait(error, 60000)
    assert page is not None
    assert page[1026][-1] == "This installer is damaged or incomplete. Please download it again."
    assert not page[3][3], "Back is offered"
    ui.click(error, 1)
    assert process.wait(timeout=60) == 1


def test_a_german_installation_names_its_links_and_entry_in_german(wine, lumipack, stub,
                                                                   screensaver, tmp_path):
    installer = build_installer(lumipack, stub, screensaver, tmp_path, language="german")
    installed = Installation(wine)
    assert wine.run(installer, "/q", "/m", "/s") == 0
    folder = installed.programs / installed.company / "Starfield Bildschirmschoner"
    assert (folder / "Starfield Bildschirmschoner.lnk").is_file()
    assert (folder / "Starfield Bildschirmschoner deinstallieren.lnk").is_file()
    assert (installed.desktop / "Starfield Bildschirmschoner.lnk").is_file()
    assert wine.reg_values(installed.uninstall_key)["DisplayName"] == "Starfield Bildschirmschoner"
    assert wine.run(installer, "/u", timeout=60) == 0
    assert not folder.exists()
