#!/usr/bin/env python3
"""Writes a deterministic benchmark payload shaped like a large screensaver.

The file is a minimal 32-bit PE image (so lumipack accepts it as a .scr)
followed by SIZE bytes of content: segments of random, incompressible bytes
(70 %) alternating with text and source code (30 %), all derived from SEED.

usage: make_payload.py SIZE_MB OUT [--seed N]
       make_payload.py --stub OUT      (only the PE image, for a stub)
"""
import argparse
import random
import struct

SEGMENT = 256 << 10  # content alternates in segments of about this size
RANDOM_SHARE = 0.70

WORDS = (
    "the star field drifts slowly across the screen while the saver waits for a key "
    "press colour palette frame buffer window message loop timer tick sprite nebula "
    "galaxy comet licence installer company settings preview desktop monitor"
).split()

CODE = [
    "static int {a}_{b}(int {c}, int {d}) {{ return {c} * {n} + {d}; }}",
    "for (int i = 0; i < {n}; ++i) {{ {a}[i] = {b}[i] ^ 0x{h:02X}; }}",
    "#define {A}_{B} 0x{h:04X}",
    "if ({a} > {n}) {{ {b} = {c}; }} else {{ {b} += {d}; }}",
    "  // {a} {b} {c}: keep the {d} in step with the {a}",
    "struct {A}{B} {{ float x, y, z; unsigned {c}; }};",
    "SendMessage(hwnd, WM_{A}, (WPARAM){n}, (LPARAM)&{b});",
]


def pe_image():
    """The smallest PE32 image the package reader accepts."""
    image = bytearray(0x400)
    image[0:2] = b"MZ"
    struct.pack_into("<I", image, 0x3C, 0x80)
    image[0x80:0x84] = b"PE\0\0"
    struct.pack_into("<HHIIIHH", image, 0x84, 0x14C, 1, 0, 0, 0, 224, 0x102)
    opt = 0x98
    struct.pack_into("<H", image, opt, 0x10B)
    struct.pack_into("<I", image, opt + 60, 0x200)  # SizeOfHeaders
    struct.pack_into("<I", image, opt + 92, 16)     # NumberOfRvaAndSizes
    section = opt + 224
    image[section:section + 5] = b".text"
    struct.pack_into("<II", image, section + 16, 0x200, 0x200)
    return bytes(image)


def text_lines(rng):
    lines = []
    for _ in range(4000):
        if rng.random() < 0.5:
            words = rng.choices(WORDS, k=rng.randint(4, 14))
            lines.append(" ".join(words).capitalize() + ".")
        else:
            a, b, c, d = rng.choices(WORDS, k=4)
            lines.append(rng.choice(CODE).format(
                a=a, b=b, c=c, d=d, A=a.upper(), B=b.upper(),
                n=rng.randint(0, 9999), h=rng.randint(0, 0xFFFF)))
    return [(line + "\r\n").encode() for line in lines]


def write_payload(out, size, seed):
    rng = random.Random(seed)
    lines = text_lines(rng)
    written = 0
    while written < size:
        n = min(size - written, rng.randint(SEGMENT // 2, SEGMENT * 3 // 2))
        if rng.random() < RANDOM_SHARE:
            chunk = rng.randbytes(n)
        else:
            parts, length = [], 0
            while length < n:
                line = rng.choice(lines)
                parts.append(line)
                length += len(line)
            chunk = b"".join(parts)[:n]
        out.write(chunk)
        written += n


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("size_mb", nargs="?", type=int)
    parser.add_argument("out")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--stub", action="store_true")
    args = parser.parse_args()
    with open(args.out, "wb") as out:
        out.write(pe_image())
        if not args.stub:
            write_payload(out, args.size_mb << 20, args.seed)


if __name__ == "__main__":
    main()
