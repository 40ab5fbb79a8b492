"""The interactive wizard driven page by page by control id: the order of the
pages, Back and Cancel, the option boxes, the error page's Back into a new
run, and the help window."""

import pytest

from conftest import HeldFile
from installers import Installation, build_installer

EXISTING_COPY = "Screensaver Installation - Existing Screensaver Detected"
WELCOME = "Screensaver Installation - Welcome"
INFORMATION = "Screensaver Installation - Information"
LICENCE = "Screensaver Installation - User License Agreement"
DONE = "Screensaver Installation - Installation Successfully Completed"
ERROR = "Screensaver Installation - Error during installation"
EXIT_SETUP = "Exit Setup"
COPY_ERROR = "File Copy Error"
HELP = "Screensaver Installation - Command-line Help"
NEXT, CANCEL, BACK = 1, 2, 3
RESUME, EXIT = 1, 2
SET_AS_DEFAULT, START_MENU, DESKTOP_ICON, DISPLAY_PROPERTIES = 1005, 1006, 1007, 1011
STYLE_PREFIXES = "@!$#*£"


@pytest.fixture(scope="module")
def installer(tmp_path_factory, lumipack, stub, screensaver):
    return build_installer(lumipack, stub, screensaver, tmp_path_factory.mktemp("wizard"),
                           licence="Licence of {ScrName}.", info="Goes to {DestFolder}.",
                           info_page=True, start_menu_entry=True, desktop_icon=False,
                           open_display_properties=False)


@pytest.fixture(scope="module")
def installer_without_information(tmp_path_factory, lumipack, stub, screensaver):
    return build_installer(lumipack, stub, screensaver, tmp_path_factory.mktemp("noinfo"),
                           licence="Licence of {ScrName}.", info="unused", info_page=False)


def texts(page):
    return [control[-1] for control in page.values()]


def finish(process, timeout=60):
    try:
        return process.wait(timeout=timeout)
    finally:
        if process.poll() is None:
            process.kill()


def settled(ui, caption, tries=20):
    """The page's controls once its texts are in: a page is found as soon as
    its window exists, which can be before initialisation has set them."""
    page = ui.wait(caption)
    assert page is not None, f"{caption!r} did not appear"
    for _ in range(tries):
        if sum(1 for t in texts(page) if t) >= len(page) // 2:
            return page
        page = ui.wait(caption, 2000) or page
    return page


def walk(ui, steps):
    """Waits for each caption in turn and presses the button given for it."""
    pages = []
    for caption, button in steps:
        pages.append(settled(ui, caption))
        ui.click(caption, button)
    return pages


def test_full_run_with_back_paths(wine, ui, installer, screensaver):
    installed = Installation(wine)
    process = wine.start(installer)
    welcome, information, licence, *_ = walk(ui, [
        (WELCOME, NEXT), (INFORMATION, NEXT), (LICENCE, BACK), (INFORMATION, BACK),
        (WELCOME, NEXT), (INFORMATION, NEXT), (LICENCE, NEXT), (DONE, NEXT)])
    assert finish(process) == 0
    assert installed.scr.read_bytes() == screensaver.read_bytes()
    # Placeholders are expanded and no style prefix shows.
    assert any("Starfield" in t for t in texts(welcome))
    assert not any(t[:1] in STYLE_PREFIXES for t in texts(welcome) + texts(licence) if t)
    assert any("Licence of Starfield." in t for t in texts(licence))
    assert any(f"Goes to {installed.system_folder}." in t for t in texts(information))


def test_licence_back_goes_to_welcome_without_the_information_page(
        wine, ui, installer_without_information):
    process = wine.start(installer_without_information)
    walk(ui, [(WELCOME, NEXT), (LICENCE, BACK), (WELCOME, NEXT), (LICENCE, CANCEL)])
    # A declined licence installs nothing: no success for a script to take.
    assert finish(process) == 1
    assert not Installation(wine).scr.exists(), "No on the licence page installs nothing"


@pytest.mark.parametrize("switches, checked", [
    ((), {SET_AS_DEFAULT: True, START_MENU: True, DESKTOP_ICON: False,
          DISPLAY_PROPERTIES: False}),
    (("/d-", "/s", "/m-", "/p"), {SET_AS_DEFAULT: False, START_MENU: False, DESKTOP_ICON: True,
                                  DISPLAY_PROPERTIES: True}),
])
def test_option_boxes_show_package_defaults_and_switches(wine, ui, installer, switches, checked):
    process = wine.start(installer, *switches)
    welcome = ui.wait(WELCOME)
    assert welcome is not None
    assert {id: welcome[id][2] for id in checked} == checked
    # Cancel asks first: Resume keeps the page, Exit Setup ends without installing.
    ui.click(WELCOME, CANCEL)
    assert ui.wait(EXIT_SETUP) is not None
    ui.click(EXIT_SETUP, RESUME)
    assert ui.wait(WELCOME) is not None and process.poll() is None
    ui.click(WELCOME, CANCEL)
    assert ui.wait(EXIT_SETUP) is not None
    ui.click(EXIT_SETUP, EXIT)
    # Cancelled before anything was installed: exit code 1.
    assert finish(process) == 1
    assert not Installation(wine).scr.exists()


def test_error_page_back_starts_a_new_run(wine, ui, installer, hold_file, screensaver, tmp_path):
    installed = Installation(wine)
    installed.scr.write_bytes(b"a running copy")
    with HeldFile(wine, hold_file, installed.scr_windows_path, tmp_path) as held:
        process = wine.start(installer, "/d-")
        walk(ui, [(EXISTING_COPY, NEXT), (WELCOME, NEXT), (INFORMATION, NEXT), (LICENCE, NEXT), (COPY_ERROR, CANCEL)])
        error = ui.wait(ERROR)
        assert error is not None and any("Starfield" in t for t in texts(error))
        held.release()
        ui.click(ERROR, BACK)
        walk(ui, [(WELCOME, NEXT), (INFORMATION, NEXT), (LICENCE, NEXT), (DONE, NEXT)])
        code = finish(process)
    assert code == 0, "the last run decides the exit code"
    assert installed.scr.read_bytes() == screensaver.read_bytes()


def test_help_window_wins_over_every_other_switch(wine, ui, installer):
    process = wine.start(installer, "/u", "/?")
    page = ui.wait(HELP)
    assert page is not None
    assert "Command-line Help" in texts(page)
    ui.click(HELP, CANCEL)
    assert finish(process) == 0
