"""The copy-error prompt and stopping an installation, driven through the
real dialogs under Wine: a destination held open by another program, and
Stop with its "Exit Setup" confirmation during a long copy."""

import random

import pytest

from conftest import HeldFile
from installers import Installation, build_installer

COPY_ERROR = "File Copy Error"
PROGRESS = "Screensaver Installation - Installing"
EXIT_SETUP = "Exit Setup"
INTERRUPTED = "Screensaver Installation - Installation Interrupted by User"
COMPLETED = "Screensaver Installation - Installation Successfully Completed"
RETRY, ABORT_SETUP = 1, 2
ERROR_REASON = 1041
RESUME, EXIT = 1, 2
STOP = 2
FINISH = 1

# Large and incompressible, so that the worker is still copying when Stop
# is pressed (about 1.5 s of work under Wine).
BIG_PAYLOAD_BYTES = 128 << 20


@pytest.fixture(scope="module")
def installer(tmp_path_factory, lumipack, stub, screensaver, hold_file):
    # Any small Windows program serves as the package's uninstaller.
    return build_installer(lumipack, stub, screensaver, tmp_path_factory.mktemp("small"),
                           uninstaller=hold_file)


@pytest.fixture(scope="module")
def big_installer(tmp_path_factory, lumipack, stub, screensaver):
    folder = tmp_path_factory.mktemp("big")
    big_scr = folder / "starfield.scr"
    # Bytes after the PE image: the packer still takes it as a screensaver.
    big_scr.write_bytes(screensaver.read_bytes() + random.Random(7).randbytes(BIG_PAYLOAD_BYTES))
    return build_installer(lumipack, stub, big_scr, folder / "out")


def ended(process, timeout=60):
    try:
        return process.wait(timeout=timeout)
    finally:
        if process.poll() is None:
            process.kill()


@pytest.mark.parametrize("answer", ["retry", "abort"])
def test_copy_error_prompt_for_a_held_destination_in_quiet_mode(
        wine, ui, tmp_path, installer, hold_file, screensaver, answer):
    installed = Installation(wine)
    installed.scr.write_bytes(b"a running copy")
    # The 32-bit tool reaches the real system folder through its alias.
    with HeldFile(wine, hold_file, installed.scr_windows_path, tmp_path) as held:
        process = wine.start(installer, "/q")
        prompt = ui.wait(COPY_ERROR)
        assert prompt is not None, "the prompt is shown although the installation is quiet"
        assert prompt[RETRY][-1] == "&Retry" and prompt[ABORT_SETUP][-1] == "&Abort Setup"
        # It names the file and says why, under the specified texts.
        assert installed.scr_windows_path.lower() in prompt[ERROR_REASON][-1].lower()
        if answer == "retry":
            # While the file is still held, Retry meets the same failure.
            ui.click(COPY_ERROR, RETRY)
            assert ui.wait(COPY_ERROR) is not None
            assert process.poll() is None
            held.release()
            ui.click(COPY_ERROR, RETRY)
        else:
            held.release()
            ui.click(COPY_ERROR, ABORT_SETUP)
        code = ended(process)
    if answer == "retry":
        assert code == 0
        assert installed.scr.read_bytes() == screensaver.read_bytes()
        assert installed.record() is not None
    else:
        assert code == 1
        # The copy that was there stays whole, and no finishing step ran.
        assert installed.scr.read_bytes() == b"a running copy"
        assert installed.record() is None
        assert [p for p in installed.created_files() if p.exists()] == []
    assert wine.work_files() == []


@pytest.mark.parametrize("choice", ["exit setup", "resume"])
def test_stop_during_the_copy(wine, ui, big_installer, choice):
    installed = Installation(wine)
    stop = ui.click_when_shown(PROGRESS, STOP)
    process = wine.start(big_installer, "/q", "/f")
    try:
        assert ended(stop) == 0, "no progress page"
        confirmation = ui.wait(EXIT_SETUP)
        assert confirmation is not None
        assert confirmation[RESUME][-1] == "&Resume" and confirmation[EXIT][-1] == "E&xit Setup"
        ui.click(EXIT_SETUP, EXIT if choice == "exit setup" else RESUME)
        final = INTERRUPTED if choice == "exit setup" else COMPLETED
        assert ui.wait(final, 60000) is not None
        ui.click(final, FINISH)
        code = ended(process)
    finally:
        if process.poll() is None:
            process.kill()
    if choice == "exit setup":
        assert code == 1
        assert not installed.scr.exists()
        assert installed.record() is None
    else:
        assert code == 0
        assert installed.scr.stat().st_size > BIG_PAYLOAD_BYTES
        assert installed.record() is not None
    assert wine.work_files() == []
