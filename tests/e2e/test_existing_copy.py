"""The page that reports an installed copy, shown when an installer starts
without switches and finds its screensaver in the system folder."""

import pytest

from installers import Installation, build_installer

EXISTING_COPY = "Screensaver Installation - Existing Screensaver Detected"
WELCOME = "Screensaver Installation - Welcome"
EXIT_SETUP = "Exit Setup"
NEXT, CANCEL, UNINSTALL = 1, 2, 1010
EXIT = 2
MESSAGE_CAPTION = "Installation"
OK = 1


@pytest.fixture(scope="module")
def installer(tmp_path_factory, lumipack, stub, screensaver, hold_file):
    # Any small Windows program serves as the package's uninstaller.
    return build_installer(lumipack, stub, screensaver, tmp_path_factory.mktemp("full"),
                           uninstaller=hold_file)


@pytest.mark.parametrize("choice", ["cancel", "uninstall", "next, then exit setup"])
def test_existing_copy_page(wine, ui, installer, choice):
    installed = Installation(wine)
    assert wine.run(installer, "/q") == 0
    before = installed.snapshot()
    process = wine.start(installer)
    try:
        page = ui.wait(EXISTING_COPY)
        assert page is not None
        assert {NEXT, CANCEL, UNINSTALL} <= page.keys()
        if choice == "cancel":
            ui.click(EXISTING_COPY, CANCEL)
        elif choice == "uninstall":
            ui.click(EXISTING_COPY, UNINSTALL)
            # Chosen on the page, the uninstallation reports its success.
            message = ui.wait(MESSAGE_CAPTION)
            assert "Screensaver successfully uninstalled." in [c[-1] for c in message.values()]
            ui.click(MESSAGE_CAPTION, OK)
        else:
            ui.click(EXISTING_COPY, NEXT)
            assert ui.wait(WELCOME) is not None
            ui.click(WELCOME, CANCEL)
            assert ui.wait(EXIT_SETUP) is not None
            ui.click(EXIT_SETUP, EXIT)
        code = process.wait(timeout=60)
    finally:
        if process.poll() is None:
            process.kill()
    # Leaving without installing is no success for a script to take.
    assert code == (0 if choice == "uninstall" else 1)
    if choice == "uninstall":
        assert not installed.scr.exists()
        assert installed.record() is None
        assert [p for p in installed.created_files() if p.exists()] == []
    else:
        assert installed.snapshot() == before
