"""A code-signed installer still finds its package, and the help's rich edit
library never comes from the installer's own folder."""

import shutil
import subprocess
import time

import pytest

import layout
from installers import Installation, build_installer

HELP = "Screensaver Installation - Command-line Help"
CLOSE = 2


@pytest.fixture(scope="module")
def installer(tmp_path_factory, lumipack, stub, screensaver):
    return build_installer(lumipack, stub, screensaver, tmp_path_factory.mktemp("plain"))


def test_a_signed_installer_installs(wine, tmp_path, installer, screensaver):
    for tool in ("openssl", "osslsigncode"):
        if shutil.which(tool) is None:
            pytest.skip(f"{tool} is not installed")
    key, cert = tmp_path / "key.pem", tmp_path / "cert.pem"
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", "/CN=Lumiset Test Signer", "-keyout", str(key), "-out", str(cert)],
                   check=True, capture_output=True)
    signed = tmp_path / "Signed.exe"
    subprocess.run(["osslsigncode", "sign", "-certs", str(cert), "-key", str(key),
                    "-in", str(installer), "-out", str(signed)], check=True, capture_output=True)
    data = signed.read_bytes()
    # The signature follows the package: the last four bytes are no trailer now.
    assert layout.package_offset(data) != layout.package_offset(installer.read_bytes())

    assert wine.run(signed, "/q") == 0
    installed = Installation(wine)
    assert installed.scr.read_bytes() == screensaver.read_bytes()
    assert installed.record() is not None


def test_help_never_loads_a_rich_edit_library_planted_beside_the_installer(
        wine, ui, installer, planted_dll, load_library):
    folder = wine.drive_c / "Downloads"
    folder.mkdir()
    shutil.copy(installer, folder / "Setup.exe")
    shutil.copy(planted_dll, folder / "riched32.dll")
    shutil.copy(load_library, folder / "load_library.exe")
    marker = folder / "planted.marker"
    # Wine prefers its own riched32 even to a file beside the program; ask for
    # the native one first, as Windows takes a library of the program's folder.
    wine.env["WINEDLLOVERRIDES"] += ";riched32=n,b"

    # The control: a program that loads the library by its bare name takes
    # the planted one, so the marker proves a load.
    assert wine.run(folder / "load_library.exe", "riched32.dll") == 0
    assert marker.exists()
    marker.unlink()

    process = wine.start(folder / "Setup.exe", "/?")
    try:
        deadline = time.monotonic() + 30
        while process.poll() is None and time.monotonic() < deadline:
            if ui.wait(HELP, 1000) is not None:
                ui.click(HELP, CLOSE)
                break
        code = process.wait(timeout=30)
    finally:
        if process.poll() is None:
            process.kill()
    assert code == 0
    assert not marker.exists()
