"""The winget manifest of the sample installer against what the installer
then does under Wine: the manifest's own switches install it quietly (with
and without progress, and with a log), over an installed copy too, and the
installed-programs entry it writes is the one the manifest names."""

import hashlib
import shutil
import subprocess

import pytest
import yaml

from conftest import ARCH, SOURCE, fresh_wine

SAMPLE = SOURCE / "samples" / "starfield" / "lumipack.toml"
UNINSTALL_KEY = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"


@pytest.fixture(scope="module")
def published(tmp_path_factory, lumipack, stub, screensaver):
    """The sample installer, built as its author would (the sample must lint
    clean), and the manifest lumipack winget writes for it, parsed."""
    folder = tmp_path_factory.mktemp("winget")
    installer = folder / "StarfieldSetup.exe"
    subprocess.run([str(lumipack), "build", str(SAMPLE), "--screensaver", str(screensaver),
                    "--stub", str(stub), "-o", str(installer), "--werror"],
                   check=True, capture_output=True, text=True)
    made = subprocess.run([str(lumipack), "winget", str(installer), "--manifest", str(SAMPLE),
                           "-o", str(folder / "manifest")], capture_output=True, text=True)
    assert made.returncode == 0, made.stderr
    assert made.stderr == ""
    documents = {}
    for path in sorted((folder / "manifest").iterdir()):
        document = yaml.safe_load(path.read_text(encoding="utf-8"))
        documents[document["ManifestType"]] = document
    return installer, documents


def start_as_winget(wine, installer, switches):
    """Starts the installer the way winget does: one command line of the
    installer's path and the manifest's switches as written (quotes and
    all), here through a batch file so that Wine passes it unchanged."""
    # Where winget puts what it downloads: a folder with a blank in its name.
    downloaded = wine.drive_c / "winget downloads" / installer.name
    downloaded.parent.mkdir(exist_ok=True)
    shutil.copyfile(installer, downloaded)
    batch = wine.drive_c / "winget-run.bat"
    batch.write_text(f'@"{wine.windows_path(downloaded)}" {switches}\r\n'
                     "@exit /b %errorlevel%\r\n", encoding="ascii")
    return wine.start("cmd", "/c", wine.windows_path(batch))


def assert_entry_as_listed(wine, setup):
    """The installed-programs entry under the manifest's ProductCode holds
    what its AppsAndFeaturesEntries say."""
    (entry,) = setup["Installers"]
    (expected,) = entry["AppsAndFeaturesEntries"]
    assert expected["ProductCode"] == entry["ProductCode"]
    written = wine.reg_values(UNINSTALL_KEY + entry["ProductCode"])
    assert written is not None, "no installed-programs entry under the ProductCode"
    names = ("DisplayName", "Publisher", "DisplayVersion")
    assert {k: written.get(k) for k in names} == {k: expected[k] for k in names}
    # The default uninstaller: winget can remove it without asking.
    assert "QuietUninstallString" in written


def test_the_manifest_describes_the_installer_file(published):
    installer, documents = published
    assert set(documents) == {"version", "installer", "defaultLocale"}
    version, setup, listing = (documents[k] for k in ("version", "installer", "defaultLocale"))
    identity = {"PackageIdentifier": "Lumiset.Starfield", "PackageVersion": "1.0"}
    for document in documents.values():
        assert {k: document[k] for k in identity} == identity
        assert document["ManifestVersion"] == "1.10.0"
    assert version["DefaultLocale"] == listing["PackageLocale"] == "en-US"
    assert listing["Publisher"] == "Lumiset Samples"
    assert listing["PackageName"] == "Starfield"
    (entry,) = setup["Installers"]
    assert entry["Architecture"] == ARCH
    assert entry["InstallerSha256"] == hashlib.sha256(installer.read_bytes()).hexdigest().upper()
    assert entry["InstallerUrl"].endswith("/1.0/StarfieldSetup.exe")
    # The stub's own manifest asks for administrator rights.
    assert entry["ElevationRequirement"] == "elevatesSelf"
    assert setup["InstallerType"] == "exe"
    assert setup["Scope"] == "machine"
    assert setup["UpgradeBehavior"] == "install"
    assert setup["UnsupportedArguments"] == ["location"]
    assert setup["ExpectedReturnCodes"][0]["InstallerReturnCode"] == 2
    assert setup["InstallerSwitches"] == {
        "Silent": "/q /n", "SilentWithProgress": "/q /f /n", "Log": '/log="<LOGPATH>"'}


def test_silent_install_with_a_log_and_again_over_it_writes_the_listed_entry(published):
    installer, documents = published
    switches = documents["installer"]["InstallerSwitches"]
    with fresh_wine() as wine:
        log = wine.drive_c / "winget logs" / "install.log"
        log.parent.mkdir()
        silent_with_log = switches["Silent"] + " " + switches["Log"].replace(
            "<LOGPATH>", wine.windows_path(log))
        assert start_as_winget(wine, installer, silent_with_log).wait(timeout=120) == 0
        assert "exit code 0" in log.read_text(encoding="utf-8", errors="replace")
        # Over the installed copy, as an upgrade: the installer installs again.
        assert start_as_winget(wine, installer, switches["Silent"]).wait(timeout=120) == 0
        assert wine.work_files() == []
        assert_entry_as_listed(wine, documents["installer"])


def test_silent_install_with_progress_ends_by_itself(published):
    installer, documents = published
    switches = documents["installer"]["InstallerSwitches"]
    with fresh_wine() as wine:
        run = start_as_winget(wine, installer, switches["SilentWithProgress"])
        try:
            code = run.wait(timeout=60)
        except subprocess.TimeoutExpired:
            run.kill()
            pytest.fail("the installer waits for someone under /q /f /n")
        assert code == 0
        assert_entry_as_listed(wine, documents["installer"])
