"""Start-up of real installers under Wine: the package is found and read, a
damaged one ends quietly under /q with exit code 2, and nothing is written
to read it."""

import zlib

import pytest

import layout
from installers import build_installer


@pytest.fixture(scope="module")
def good_installer(tmp_path_factory, lumipack, stub, screensaver):
    return build_installer(lumipack, stub, screensaver, tmp_path_factory.mktemp("good"))


def leftover_work_files(wine):
    return wine.work_files()


def damaged(data):
    """Every way of damaging the package that start-up must refuse, with what
    the log then says is wrong (None where a cut lands on arbitrary bytes)."""
    size = len(data)
    p = layout.package_offset(data)
    cases = {}

    def case(name, mutate, reason=None):
        copy = bytearray(data)
        result = mutate(copy)
        cases[name] = (bytes(result if result is not None else copy), reason)

    # Cuts keep the program image whole, so Windows still starts it.
    for cut in (p, p + 10, layout.length_field(data, 3) + 2, (p + size) // 2, size - 1, size - 5):
        case(f"cut to {cut} bytes", lambda d, cut=cut: d[:cut])
    outside = "the trailer points outside the package"
    case("trailer past the end", lambda d: layout.put_u32(d, size - 4, size + 100), outside)
    case("trailer into the stub", lambda d: layout.put_u32(d, size - 4, 0x200), outside)
    case("trailer zero", lambda d: layout.put_u32(d, size - 4, 0), outside)
    for index, name in enumerate(("setup record", "picture", "uninstaller", "companion program")):
        case(f"{name} length all ones",
             lambda d, i=index: layout.put_u32(d, layout.length_field(d, i), 0xFFFFFFFF),
             f"the {name} item is larger than any package holds")
    record = layout.decoded_record(data)
    case("record cut short",
         lambda d: layout.replace_item(d, 0, layout.record_item(record[:len(record) // 2])),
         "a field of the setup record runs past its end")
    too_large = "the setup record is larger than any package holds"
    case("record capacity all ones",
         lambda d: layout.replace_item(d, 0, layout.record_item(record, 0xFFFFFFFF)), too_large)
    bomb = bytes(64 << 20)
    case("record decompression bomb",
         lambda d: layout.replace_item(d, 0, layout.record_item(bomb)), too_large)
    case("record not zlib",
         lambda d: layout.replace_item(d, 0, b"\x10\x00\x00\x00" + b"\xAB" * 40),
         "the setup record does not decode")
    return cases


def test_a_good_installer_starts_and_leaves_no_work_file(wine, good_installer):
    assert wine.run(good_installer, "/q") == 0
    # Nothing is written to read a package: no work folder at all.
    assert not wine.work_folder().exists()
    assert leftover_work_files(wine) == []


def test_damaged_packages_end_quietly_with_exit_code_two(wine, good_installer, tmp_path):
    for number, (name, (data, reason)) in enumerate(damaged(good_installer.read_bytes()).items()):
        installer = tmp_path / "Damaged.exe"
        installer.write_bytes(data)
        log = wine.drive_c / f"damaged-{number}.log"
        assert wine.run(installer, "/q", f"/log={wine.windows_path(log)}", timeout=60) == 2, name
        assert leftover_work_files(wine) == [], name
        # The log says what is wrong, so whoever reads it knows whether the
        # download was cut short or the file was altered.
        said = log.read_text(encoding="utf-8-sig")
        assert "package: damaged or incomplete, cannot be read: " in said, name
        if reason:
            assert reason in said, f"{name}: {said}"


def test_files_in_the_users_folders_are_never_swept(wine, good_installer):
    # What a user keeps in the temporary folder or in an old work folder is
    # the user's, whatever its name: nothing elevated deletes there.
    temp = wine.user_folder() / "AppData" / "Local" / "Temp"
    folders = [wine.work_folder(), temp, wine.drive_c / "Temp"]
    names = ["vrtl0001.tmp", "vrtl-my-notes.txt", "vrtl2024 report.docx"]
    for folder in folders:
        folder.mkdir(parents=True, exist_ok=True)
        for name in names:
            (folder / name).write_bytes(b"the user's")
    assert wine.run(good_installer, "/q") == 0
    for folder in folders:
        assert sorted(p.name for p in folder.iterdir() if p.name in names) == sorted(names)


def test_mixed_case_block_magic_is_accepted(wine, good_installer, tmp_path):
    data = bytearray(good_installer.read_bytes())
    d = layout.length_field(data, 3)
    d += 4 + layout.u32(data, d)
    assert bytes(data[d:d + 4]).upper() == b"TVZB"
    data[d:d + 4] = b"tVzB"
    installer = tmp_path / "MixedCase.exe"
    installer.write_bytes(bytes(data))
    assert wine.run(installer, "/q") == 0
