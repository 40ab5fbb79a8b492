#!/usr/bin/env python3
"""The installer's own icon and version information, read back from real
installers by independent readers: wrestool (icoutils) for the resources,
and a parser of the version resource written here from the format's
definition. Also: ${NAME} from -D reaches the version, an icon that is not
one is refused with the reason, and extract -> build gives the same bytes.

Usage: identity_test.py LUMIPACK STUB64 STUB SCREENSAVER
Exits 77 (skipped) without wrestool or the Windows build.
"""
import os
import pathlib
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib

LUMIPACK = STUB = STUB64 = SCREENSAVER = ""


def png(size, rgb):
    """A plain RGBA PNG of one colour."""
    raw = b"".join(b"\0" + bytes(list(rgb) + [255]) * size for _ in range(size))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw)) +
            chunk(b"IEND", b""))


def bmp_image(size, rgb):
    """A 32-bit icon image: BITMAPINFOHEADER (double height), pixels, mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytes([rgb[2], rgb[1], rgb[0], 255]) * (size * size)
    mask = b"\0" * (((size + 31) // 32) * 4 * size)
    return header + pixels + mask


def ico(images):
    """An .ico of (size, bytes) images."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    body = b""
    for size, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data),
                           offset + len(body))
        body += data
    return out + body


def version_strings(data):
    """The texts of a VS_VERSIONINFO: {key: value}, and the fixed file version."""
    def node(at):
        length, value_length, kind = struct.unpack_from("<HHH", data, at)
        end = data.index(b"\0\0", at + 6)
        while (end - at - 6) % 2:
            end = data.index(b"\0\0", end + 1)
        key = data[at + 6:end].decode("utf-16-le")
        value_at = (end + 2 + 3) & ~3
        value_bytes = value_length * 2 if kind == 1 else value_length
        children_at = (value_at + value_bytes + 3) & ~3
        return key, value_at, value_bytes, children_at, at + length

    key, value_at, _, children, end = node(0)
    assert key == "VS_VERSION_INFO", key
    ms, ls = struct.unpack_from("<II", data, value_at + 8)
    fixed = (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    texts = {}
    at = children
    while at < end:
        key, _, _, table_children, table_end = node(at)
        if key == "StringFileInfo":
            _, _, _, strings_at, strings_end = node(table_children)
            s = strings_at
            while s < strings_end:
                name, v_at, v_bytes, _, s_end = node(s)
                texts[name] = data[v_at:v_at + v_bytes].decode("utf-16-le").rstrip("\0")
                s = (s_end + 3) & ~3
        at = (table_end + 3) & ~3
    return texts, fixed


def run(*args, **kw):
    return subprocess.run([LUMIPACK, *args], capture_output=True, text=True, **kw)


class Identity(unittest.TestCase):
    def setUp(self):
        self.dir = pathlib.Path(tempfile.mkdtemp())
        self.addCleanup(shutil.rmtree, self.dir)
        self.icon = ico([(16, bmp_image(16, (200, 30, 30))), (256, png(256, (30, 30, 200)))])
        (self.dir / "author.ico").write_bytes(self.icon)
        (self.dir / "lumipack.toml").write_text(
            'title = "Nebula"\ncompany = "Night Works"\ncopyright = "(c) Night Works"\n'
            'version = "${VERSION}"\nlanguage = "german"\nicon = "author.ico"\n'
            '[version_info]\ndescription = "Nebula Setup ${VERSION}"\n', encoding="utf-8")

    def build(self, stub, out, *more):
        result = run("build", str(self.dir / "lumipack.toml"), "--screensaver", SCREENSAVER,
                     "--stub", stub, "-D", "VERSION=2.5.1", "-o", str(out), *more)
        self.assertEqual(result.returncode, 0, result.stderr)
        return out

    def resource(self, exe, kind, name):
        return subprocess.run(["wrestool", "-x", "--raw", f"--type={kind}", f"--name={name}",
                               str(exe)], capture_output=True, check=True).stdout

    def test_icon_and_version_read_back(self):
        for stub in filter(None, [STUB, STUB64]):
            with self.subTest(stub=stub):
                out = self.build(stub, self.dir / "NebulaSetup.exe")
                listing = subprocess.run(["wrestool", "-l", str(out)], capture_output=True,
                                         text=True, check=True).stdout
                self.assertIn("--type=14 --name=128", listing)
                # The group, as wrestool rebuilds an .ico from it, holds our images.
                extracted = subprocess.run(
                    ["wrestool", "-x", "--type=14", "--name=128", str(out)],
                    capture_output=True, check=True).stdout
                self.assertTrue(extracted.startswith(self.icon), "the icon group differs")
                texts, fixed = version_strings(self.resource(out, 16, 1))
                self.assertEqual(fixed, (2, 5, 1, 0))
                self.assertEqual(texts["ProductName"], "Nebula")
                self.assertEqual(texts["ProductVersion"], "2.5.1")
                self.assertEqual(texts["FileVersion"], "2.5.1")
                self.assertEqual(texts["CompanyName"], "Night Works")
                self.assertEqual(texts["LegalCopyright"], "(c) Night Works")
                self.assertEqual(texts["FileDescription"], "Nebula Setup 2.5.1")
                # German: the string table's language.
                self.assertIn("--type=16 --name=1 --language=1031", listing)
                # The stub on disk is untouched.
                self.assertNotEqual(pathlib.Path(stub).read_bytes()[:4096], out.read_bytes()[:4096])

    def test_extract_and_rebuild_give_the_same_bytes(self):
        out = self.build(STUB or STUB64, self.dir / "first.exe")
        folder = self.dir / "x"
        result = run("extract", str(out), str(folder))
        self.assertEqual(result.returncode, 0, result.stderr)
        again = self.dir / "again.exe"
        result = run("build", str(folder / "lumipack.toml"), "-o", str(again))
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(out.read_bytes(), again.read_bytes())

    def test_an_icon_that_is_not_one_is_refused(self):
        (self.dir / "author.ico").write_bytes(b"\x89PNG\r\n\x1a\n not an icon")
        result = run("build", str(self.dir / "lumipack.toml"), "--screensaver", SCREENSAVER,
                     "--stub", STUB or STUB64, "-D", "VERSION=1", "-o", str(self.dir / "o.exe"))
        self.assertEqual(result.returncode, 1)
        self.assertIn("author.ico", result.stderr)
        self.assertFalse((self.dir / "o.exe").exists())


if __name__ == "__main__":
    LUMIPACK, STUB64, STUB, SCREENSAVER = sys.argv[1:5]
    STUB = STUB if os.path.isfile(STUB) else ""
    STUB64 = STUB64 if os.path.isfile(STUB64) else ""
    if not shutil.which("wrestool") or not (STUB or STUB64) or not os.path.isfile(SCREENSAVER):
        print("skipped: needs wrestool and the Windows build")
        sys.exit(77)
    unittest.main(argv=sys.argv[:1] + sys.argv[5:])
