"""Reads and rewrites the appended package of an installer, for tests that
damage it on purpose. Follows the documented layout: a u32 trailer at the
end holds the package offset P; at P four length-prefixed items, then the
screensaver block."""

import struct
import zlib


def u32(data, offset):
    return struct.unpack_from("<I", data, offset)[0]


def put_u32(data, offset, value):
    struct.pack_into("<I", data, offset, value & 0xFFFFFFFF)


def package_offset(data):
    return u32(data, len(data) - 4)


def length_field(data, index):
    """File offset of the length field of item `index` (0 record .. 3 companion)."""
    at = package_offset(data)
    for _ in range(index):
        at += 4 + u32(data, at)
    return at


def item(data, index):
    at = length_field(data, index)
    return bytes(data[at + 4:at + 4 + u32(data, at)])


def replace_item(data, index, new_bytes):
    """A copy of the installer with one item replaced; the trailer stays valid."""
    at = length_field(data, index)
    old = u32(data, at)
    out = bytearray(data[:at]) + struct.pack("<I", len(new_bytes)) + new_bytes
    out += data[at + 4 + old:]
    return out


def record_item(decoded, capacity=None):
    capacity = len(decoded) if capacity is None else capacity
    return struct.pack("<I", capacity) + zlib.compress(decoded, 9)


def decoded_record(data):
    raw = item(data, 0)
    return zlib.decompress(raw[4:])


def _string_at(data, at):
    length = u32(data, at)
    return at + 4 + length, bytes(data[at + 4:at + 4 + length])


def _record_fields(record):
    """Offsets (start, end) of the title, company and screensaver file name
    strings (their length field included) in a decoded record."""
    fields = {}
    at = 4
    end, _ = _string_at(record, at)
    fields["title"] = (at, end)
    at = end
    low, high = u32(record, at), u32(record, at + 4)
    at += 8
    if low != 0xFFFFFFFF and high != 0xFFFFFFFF:
        at += 4
        for _ in range(4):
            at, _ = _string_at(record, at)
        at += 4
    at, _ = _string_at(record, at)  # copyright
    end, _ = _string_at(record, at)
    fields["company"] = (at, end)
    at, _ = _string_at(record, end)  # licence
    at += 2  # language
    end, _ = _string_at(record, at)
    fields["scr_file_name"] = (at, end)
    return fields


def with_record_text(data, field, text):
    """A copy of the installer whose record says `text` (ANSI bytes) for
    `field` (title, company or scr_file_name), as a patched package would:
    the packer never writes such names."""
    record = bytearray(decoded_record(data))
    start, end = _record_fields(record)[field]
    encoded = text.encode("cp1252")
    record[start:end] = struct.pack("<I", len(encoded)) + encoded
    put_u32(record, 0, len(record) - 4)
    return replace_item(data, 0, record_item(bytes(record)))
