"""Builds test installers with lumipack from a manifest written per test."""

import pathlib
import subprocess

from conftest import toml_string

DEFAULT_OPTIONS = {
    "setup_options": True,
    "open_display_properties": False,
    "start_menu_entry": True,
    "desktop_icon": True,
    "detect_existing": True,
    "info_page": False,
}


def build_installer(lumipack, stub, screensaver, folder, name="Setup.exe", title="Starfield",
                    company="Lumiset Samples", language="english", licence=None, info=None,
                    uninstaller=None, companion=None, version=None, url=None, compression=None,
                    **options):
    """Writes a manifest into `folder`, packs it and returns the installer's path.
    `uninstaller` is a program, False for none, or None for the default one
    that lumipack finds beside the stub. `options` override DEFAULT_OPTIONS
    (the [options] table of the manifest)."""
    folder = pathlib.Path(folder)
    folder.mkdir(parents=True, exist_ok=True)
    lines = [
        f"title = {toml_string(title)}",
        f"company = {toml_string(company)}",
        f"copyright = {toml_string('(c) 2026 ' + company)}",
        f"language = {toml_string(language)}",
        f"screensaver = {toml_string(str(screensaver))}",
    ]
    for key, text in (("licence", licence), ("info", info)):
        if text is not None:
            path = folder / f"{key}.txt"
            path.write_text(text, encoding="utf-8")
            lines.append(f"{key} = {toml_string(str(path))}")
    if uninstaller is False:
        lines.append("uninstaller = false")
    elif uninstaller is not None:
        lines.append(f"uninstaller = {toml_string(str(uninstaller))}")
    if companion is not None:
        lines.append(f"companion = {toml_string(str(companion))}")
    for key, text in (("version", version), ("url", url), ("compression", compression)):
        if text is not None:
            lines.append(f"{key} = {toml_string(text)}")
    lines.append("")
    lines.append("[options]")
    for key, value in {**DEFAULT_OPTIONS, **options}.items():
        lines.append(f"{key} = {'true' if value else 'false'}")
    manifest = folder / "lumipack.toml"
    manifest.write_text("\n".join(lines) + "\n", encoding="utf-8")
    out = folder / name
    subprocess.run([str(lumipack), "build", str(manifest), "--stub", str(stub), "-o", str(out)],
                   check=True, capture_output=True, text=True)
    return out


SCREENSAVER_SETTING_KEY = r"HKCU\Control Panel\Desktop"


class Installation:
    """Where an installation of one package lands in a Wine prefix (always a
    64-bit prefix), as host paths and registry keys. The x86 installer runs
    under WOW64: it names the system folder through the Sysnative alias and
    falls back to the 32-bit Program Files; the x64 one is native."""

    def __init__(self, wine, title="Starfield", company="Lumiset Samples", file_name="starfield"):
        self.wine = wine
        self.title = title
        self.company = company
        self.scr = wine.drive_c / "windows" / "system32" / f"{file_name}.scr"
        # The system folder as the installer names it (through the alias
        # under WOW64), and as it names it to other programs (never through
        # the alias); the x64 installer uses the name the system reports.
        if wine.arch == "x86":
            self.system_folder = "C:\\windows\\Sysnative"
            self.native_system_folder = "C:\\windows\\System32"
        else:
            self.system_folder = self.native_system_folder = "C:\\windows\\system32"
        self.scr_windows_path = f"{self.system_folder}\\{file_name}.scr"
        self.scr_setting = f"{self.native_system_folder}\\{file_name}.scr"
        self.program_files = wine.drive_c / ("Program Files (x86)" if wine.arch == "x86"
                                             else "Program Files")
        self.uninstall_folder = self.program_files / company / title
        self.uninstaller = self.uninstall_folder / "Uninstall.exe"
        self.uninstall_ini = self.uninstall_folder / "Uninstall.ini"
        user = wine.user_folder()
        self.programs = user.joinpath("AppData", "Roaming", "Microsoft", "Windows", "Start Menu",
                                      "Programs")
        self.start_menu_folder = self.programs / company / f"{title} Screensaver"
        self.start_menu_link = self.start_menu_folder / f"{title} Screensaver.lnk"
        self.uninstall_link = self.start_menu_folder / f"Uninstall {title} Screensaver.lnk"
        self.uninstall_link_description = f"Uninstall {title} Screensaver"
        self.desktop = user / "Desktop"
        self.desktop_link = self.desktop / f"{title} Screensaver.lnk"
        self.record_key = f"HKCU\\Software\\{company}\\{title}"
        self.uninstall_key = ("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                              f"{title} Screensaver")

    def record(self):
        return self.wine.reg_values(self.record_key)

    def expected_record(self, *files, activated=True):
        """The installed-files record of an English installation that lists
        `files` (host paths) in order. An activation in a fresh prefix keeps
        the setting it replaced: none, neither value there."""
        record = {"ScreensaverFile": self.scr_windows_path, "AppLanguage": "1"}
        for number, path in enumerate(files):
            record[f"File{number:04d}"] = self.wine.windows_path(path)
        if activated:
            record["PreviousScreensaverSet"] = "0"
            record["PreviousScreenSaveActiveSet"] = "0"
        return record

    def snapshot(self):
        """Files of drive C (outside the work folder) with their sizes and times,
        and the registry values that an installation or an uninstallation writes."""
        work = self.wine.work_folder()
        files = {str(p.relative_to(self.wine.drive_c)): (p.stat().st_size, p.stat().st_mtime_ns)
                 for p in self.wine.drive_c.rglob("*")
                 if p.is_file() and work not in p.parents}
        keys = (SCREENSAVER_SETTING_KEY, self.record_key, self.uninstall_key)
        return files, {key: self.wine.reg_values(key) for key in keys}

    def created_files(self):
        """Every file an installation may create besides the screensaver."""
        return [self.uninstaller, self.uninstall_ini, self.start_menu_link,
                self.uninstall_link, self.desktop_link]

    def uninstaller_copies(self):
        """The default uninstaller's copies in the system's temporary folder,
        which remove the uninstaller once it has ended."""
        return sorted((self.wine.drive_c / "windows" / "temp").glob("lumiset-*.exe"))

    def uninstall_string(self):
        """The entry's UninstallString: the path, quoted when it holds a blank."""
        path = self.wine.windows_path(self.uninstaller)
        return f'"{path}"' if " " in path else path
