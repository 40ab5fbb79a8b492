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
    """Every way of damaging the package that start-up must refuse."""
    size = len(data)
    p = layout.package_offset(data)
    cases = {}

    def case(name, mutate):
        copy = bytearray(data)
        result = mutate(copy)
        cases[name] = bytes(result if result is not None else copy)

    # Cuts keep the program image whole, so Windows still starts it.
    for cut in (p, p + 10, layout.length_field(data, 3) + 2, (p + size) // 2, size - 1, size - 5):
        case(f"cut to {cut} bytes", lambda d, cut=cut: d[:cut])
    case("trailer past the end", lambda d: layout.put_u32(d, size - 4, size + 100))
    case("trailer into the stub", lambda d: layout.put_u32(d, size - 4, 0x200))
    case("trailer zero", lambda d: layout.put_u32(d, size - 4, 0))
    for index, name in enumerate(("record", "picture", "uninstaller", "companion")):
        case(f"{name} length all ones",
             lambda d, i=index: layout.put_u32(d, layout.length_field(d, i), 0xFFFFFFFF))
    record = layout.decoded_record(data)
    case("record cut short",
         lambda d: layout.replace_item(d, 0, layout.record_item(record[:len(record) // 2])))
    case("record capacity all ones",
         lambda d: layout.replace_item(d, 0, layout.record_item(record, 0xFFFFFFFF)))
    bomb = bytes(64 << 20)
    case("record decompression bomb",
         lambda d: layout.replace_item(d, 0, layout.record_item(bomb)))
    case("record not zlib",
         lambda d: layout.replace_item(d, 0, b"\x10\x00\x00\x00" + b"\xAB" * 40))
    return cases


def test_a_good_installer_starts_and_leaves_no_work_file(wine, good_installer):
    assert wine.run(good_installer, "/q") == 0
    # Nothing is written to read a package: no work folder at all.
    assert not wine.work_folder().exists()
    assert leftover_work_files(wine) == []


def test_damaged_packages_end_quietly_with_exit_code_two(wine, good_installer, tmp_path):
    for name, data in damaged(good_installer.read_bytes()).items():
        installer = tmp_path / "Damaged.exe"
        installer.write_bytes(data)
        assert wine.run(installer, "/q", timeout=60) == 2, name
        assert leftover_work_files(wine) == [], name


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
