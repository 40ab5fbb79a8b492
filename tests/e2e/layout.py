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
