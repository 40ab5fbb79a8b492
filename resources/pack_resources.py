#!/usr/bin/env python3
"""Merges compiled resource files (.res) into one, with the resources of each
bundled kind moved into a single compressed resource of that kind.

The page templates of eight languages are about 90 KB of UTF-16 text and
control records that differ little from one language to the next; deflated
together they take about 14 KB. The program inflates them once, at its first
page, and creates its dialogs from memory (src/ui/resource_bundle.h reads
what this writes). The help documents of eight languages, about 57 KB of
rich text, take about 10 KB the same way; the help window inflates them
when it opens.

    pack_resources.py OUT.res IN.res [IN.res ...]

Bundled kinds (KINDS below): every dialog template goes into the bundle
DIALOGS, every help document (type RTF) into HELPDOCS. Each bundle is
resource type RCDATA, language neutral:

    "LDB1"  u32 count  u32 body_size  zlib stream of the body
    body:   count entries {u16 id, u16 zero, u32 offset, u32 size}, ids
            ascending, then the resources' bytes, each at a multiple of 4
            bytes (offsets count from the start of the body)

Every other resource is written as it was read, except that string-table
blocks of one number and language from several scripts are merged (each
script compiles its own block of 16 strings; only one of them would be
found). A bundled resource named by a string, not a number, two of one kind
with one id, or two different strings with one id stop the build.
"""

import struct
import sys
import zlib

RT_DIALOG = 5
RT_STRING = 6
RT_RCDATA = 10
MAGIC = b"LDB1"
# Resource type -> (name of its bundle, what one is called in a message).
KINDS = {
    RT_DIALOG: ("DIALOGS", "dialog"),
    "RTF": ("HELPDOCS", "help document"),
}


def read_id(data, pos):
    """A type or name field: an ordinal (0xFFFF, id) or a NUL-ended UTF-16
    string. Returns (int or str, position after it)."""
    (first,) = struct.unpack_from("<H", data, pos)
    if first == 0xFFFF:
        return struct.unpack_from("<H", data, pos + 2)[0], pos + 4
    end = pos
    while struct.unpack_from("<H", data, end)[0] != 0:
        end += 2
    return data[pos:end].decode("utf-16-le"), end + 2


def write_id(value):
    if isinstance(value, int):
        return struct.pack("<HH", 0xFFFF, value)
    return value.encode("utf-16-le") + b"\0\0"


def align4(n):
    return (n + 3) & ~3


def read_res(path):
    """The entries of a .res file: (type, name, header fields after the
    name, data)."""
    data = open(path, "rb").read()
    pos, entries = 0, []
    while pos + 8 <= len(data):
        data_size, header_size = struct.unpack_from("<II", data, pos)
        rtype, p = read_id(data, pos + 8)
        name, p = read_id(data, p)
        p = align4(p)
        rest = data[p:pos + header_size]  # version, flags, language, ...
        body = data[pos + header_size:pos + header_size + data_size]
        if len(body) != data_size:
            sys.exit(f"{path}: a resource runs past the end of the file")
        entries.append((rtype, name, rest, body))
        pos = align4(pos + header_size + data_size)
    return entries


def res_entry(rtype, name, rest, body):
    header = write_id(rtype) + write_id(name)
    header += b"\0" * (align4(8 + len(header)) - 8 - len(header))
    header += rest
    out = struct.pack("<II", len(body), 8 + len(header)) + header + body
    return out + b"\0" * (align4(len(out)) - len(out))


def string_slots(body):
    """The 16 strings of a string-table block, each as its UTF-16 bytes."""
    slots, pos = [], 0
    for _ in range(16):
        (length,) = struct.unpack_from("<H", body, pos)
        slots.append(body[pos + 2:pos + 2 + 2 * length])
        pos += 2 + 2 * length
    return slots


def merge_string_blocks(path, block, old, new):
    merged = b""
    for a, b in zip(string_slots(old), string_slots(new)):
        if a and b and a != b:
            sys.exit(f"{path}: string table block {block} holds two different strings for one id")
        text = a or b
        merged += struct.pack("<H", len(text) // 2) + text
    return merged


def bundle(entries):
    ids = sorted(entries)
    offset = 12 * len(ids)
    index, blobs = b"", b""
    for entry_id in ids:
        data = entries[entry_id]
        index += struct.pack("<HHII", entry_id, 0, offset + len(blobs), len(data))
        blobs += data + b"\0" * (align4(len(data)) - len(data))
    body = index + blobs
    return MAGIC + struct.pack("<II", len(ids), len(body)) + zlib.compress(body, 9)


def main(argv):
    if len(argv) < 3:
        sys.exit(__doc__)
    out_path, inputs = argv[1], argv[2:]
    kept = []
    bundled = {rtype: {} for rtype in KINDS}
    string_blocks = {}  # (block, language) -> index in kept
    for path in inputs:
        for rtype, name, rest, body in read_res(path):
            if rtype == 0 and name == 0 and not body:
                continue  # the empty entry that opens every .res file
            if rtype == RT_STRING:
                key = (name, struct.unpack_from("<H", rest, 6)[0])
                if key in string_blocks:
                    at = string_blocks[key]
                    old = kept[at]
                    kept[at] = (old[0], old[1], old[2], merge_string_blocks(path, name, old[3], body))
                    continue
                string_blocks[key] = len(kept)
            if rtype not in KINDS:
                kept.append((rtype, name, rest, body))
                continue
            what = KINDS[rtype][1]
            if not isinstance(name, int):
                sys.exit(f"{path}: {what} {name!r} is named by a string; give it a number")
            if name in bundled[rtype]:
                sys.exit(f"{path}: two {what}s have the id {name}")
            bundled[rtype][name] = body
    # Version 0, memory flags 0x0030 (moveable, pure), language neutral,
    # version and characteristics 0.
    rest = struct.pack("<IHHII", 0, 0x0030, 0, 0, 0)
    out = res_entry(0, 0, struct.pack("<IHHII", 0, 0, 0, 0, 0), b"")
    for entry in kept:
        out += res_entry(*entry)
    for rtype, (bundle_name, _) in KINDS.items():
        if bundled[rtype]:
            out += res_entry(RT_RCDATA, bundle_name, rest, bundle(bundled[rtype]))
    with open(out_path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv)
