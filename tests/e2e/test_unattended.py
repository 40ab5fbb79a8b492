"""Unattended installations under Wine: nothing ever waits for a person who
is not there, a failure is never reported as success, and /log says why."""

import time

import pytest

import layout
from conftest import HeldFile
from installers import Installation, build_installer

DAMAGED_MESSAGE = "This installer is damaged or incomplete. Please download it again."


@pytest.fixture(scope="module")
def installer(tmp_path_factory, lumipack, stub, screensaver):
    return build_installer(lumipack, stub, screensaver, tmp_path_factory.mktemp("unattended"))


def screensaver_block(data):
    """(offset, length) of the screensaver block of an unsigned installer."""
    at = layout.length_field(data, 3)
    at += 4 + layout.u32(data, at)
    return at, len(data) - 4 - at


def test_a_damaged_screensaver_block_fails_at_once_under_q(wine, installer, tmp_path):
    data = bytearray(installer.read_bytes())
    start, length = screensaver_block(data)
    middle = start + length // 2
    data[middle:middle + 64] = bytes(b ^ 0xFF for b in data[middle:middle + 64])
    damaged = tmp_path / "DamagedBlock.exe"
    damaged.write_bytes(bytes(data))
    installed = Installation(wine)
    began = time.monotonic()
    assert wine.run(damaged, "/q", timeout=60) == 1
    assert time.monotonic() - began < 30
    assert not installed.scr.exists()
    assert wine.work_files() == []
    assert installed.record() is None


@pytest.mark.parametrize("switches", [("/q",), ("/q", "/?"), ("/q", "/u")])
def test_an_unreadable_package_returns_two_quietly(wine, installer, tmp_path, switches):
    cut = tmp_path / "Cut.exe"
    cut.write_bytes(installer.read_bytes()[:-4])
    assert wine.run(cut, *switches, timeout=60) == 2


@pytest.mark.parametrize("switches", [(), ("/?",)])
def test_an_unreadable_package_says_so_once_when_interactive(wine, ui, installer, tmp_path,
                                                            switches):
    cut = tmp_path / "Cut.exe"
    cut.write_bytes(installer.read_bytes()[:-4])  # the image stays whole: Windows starts it
    process = wine.start(cut, *switches)
    try:
        box = ui.wait("Installation", 30000)
        assert box is not None, "no message box"
        assert any(DAMAGED_MESSAGE in text for _, _, _, _, text in box.values())
        button = next(i for i, (cls, *_rest) in box.items() if cls.lower() == "button")
        ui.click("Installation", button)
        assert process.wait(timeout=30) == 2
    finally:
        if process.poll() is None:
            process.kill()


def test_with_n_a_held_destination_fails_after_retries_and_the_log_says_why(
        wine, installer, hold_file, tmp_path):
    installed = Installation(wine)
    log = wine.drive_c / "logs" / "setup log.txt"
    log.parent.mkdir()
    with HeldFile(wine, hold_file, installed.scr_windows_path, tmp_path):
        began = time.monotonic()
        # One argument with a blank: the command line quotes the whole switch.
        code = wine.run(installer, "/q", "/n", f"/log={wine.windows_path(log)}", timeout=90)
        took = time.monotonic() - began
    assert code == 1
    assert 4 < took < 60, "retried for a few seconds, then gave up"
    assert wine.work_files() == []
    text = log.read_text(encoding="utf-8-sig")
    assert "options: quiet on" in text and "no interaction on" in text
    # The failing step, the path and the system's error code with its text:
    # the new screensaver cannot take the place of the one held open.
    failed = [line for line in text.splitlines() if ": failed: replace " in line]
    assert failed, text
    assert installed.scr_windows_path in failed[0]
    assert "error 32" in failed[0] or "error 5 " in failed[0], failed[0]
    assert "giving up after 10 retries" in text
    assert text.rstrip().endswith("exit code 1")


def test_a_log_that_cannot_be_written_changes_nothing(wine, installer):
    installed = Installation(wine)
    assert wine.run(installer, "/q", "/log=C:\\no such folder\\setup.log") == 0
    assert installed.scr.exists()
