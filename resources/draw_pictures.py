#!/usr/bin/env python3
"""Draws the installer's pictures and writes them beside this script.

  lumiset.ico   icon 128: a monitor showing three balls (blue, green, red)
                with a round blue badge holding a downward arrow at its lower
                right; 16, 32 and 48 pixels at 8 and 32 bits per pixel (the
                32-bit ones as PNG images) and a 256-pixel PNG image
  error.bmp     bitmap 141: a white cross on a red rounded square
  question.bmp  bitmap 142: a white question mark on a blue rounded square

The two bitmaps are 32 x 32 at 32 bits per pixel, bottom row first, the fourth
byte of each pixel its opacity (not premultiplied). Shapes are described by
signed distance functions in a unit square (y pointing down) and
anti-aliased by their distance to the pixel centre, so every size is drawn
from the same description. Python 3 standard library only; the output
depends on nothing but this file.

  python3 resources/draw_pictures.py [OUTPUT_FOLDER]
"""

import math
import pathlib
import struct
import sys
import zlib

# Colour behind fully transparent pixels, for viewers that ignore opacity.
TRANSPARENT_RGB = (240, 240, 240)
# Opacity from which a pixel of an 8-bit icon is drawn rather than masked.
MASK_THRESHOLD = 128


# Signed distances: negative inside, positive outside, in unit lengths.

def rounded_box(px, py, cx, cy, hw, hh, radius):
    qx = abs(px - cx) - hw + radius
    qy = abs(py - cy) - hh + radius
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - radius


def circle(px, py, cx, cy, radius):
    return math.hypot(px - cx, py - cy) - radius


def capsule(px, py, ax, ay, bx, by, radius):
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = min(max(t, 0.0), 1.0)
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy)) - radius


def arc(px, py, cx, cy, radius, start_deg, end_deg, half_width):
    """A stroked arc from start_deg to end_deg (increasing, y down)."""
    angle = math.degrees(math.atan2(py - cy, px - cx))
    while angle < start_deg:
        angle += 360.0
    if angle <= end_deg:
        return abs(math.hypot(px - cx, py - cy) - radius) - half_width
    ends = []
    for deg in (start_deg, end_deg):
        ex = cx + radius * math.cos(math.radians(deg))
        ey = cy + radius * math.sin(math.radians(deg))
        ends.append(math.hypot(px - ex, py - ey) - half_width)
    return min(ends)


def mix(a, b, t):
    t = min(max(t, 0.0), 1.0)
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def hex_colour(text):
    return tuple(int(text[i:i + 2], 16) for i in (1, 3, 5))


def vertical(top, bottom, y0, y1):
    top, bottom = hex_colour(top), hex_colour(bottom)
    return lambda px, py: mix(top, bottom, (py - y0) / (y1 - y0))


def solid(colour):
    rgb = hex_colour(colour)
    return lambda px, py: rgb


def ball_shading(cx, cy, radius, base):
    rgb = hex_colour(base)
    white = (255, 255, 255)
    dark = tuple(c * 0.55 for c in rgb)

    def colour(px, py):
        edge = min(math.hypot(px - cx, py - cy) / radius, 1.0)
        shaded = mix(rgb, dark, edge ** 2.2)
        hx, hy = cx - 0.38 * radius, cy - 0.40 * radius
        glow = max(0.0, 1.0 - math.hypot(px - hx, py - hy) / (0.75 * radius))
        return mix(shaded, white, 0.85 * glow ** 1.6)

    return colour


class Canvas:
    """Straight-alpha RGBA pixels, painted layer over layer."""

    def __init__(self, size):
        self.size = size
        self.pixels = [(0.0, 0.0, 0.0, 0.0)] * (size * size)

    def paint(self, distance, colour, opacity=1.0):
        n = self.size
        for row in range(n):
            py = (row + 0.5) / n
            for column in range(n):
                px = (column + 0.5) / n
                coverage = min(max(0.5 - distance(px, py) * n, 0.0), 1.0) * opacity
                if coverage <= 0.0:
                    continue
                r, g, b = colour(px, py)
                dr, dg, db, da = self.pixels[row * n + column]
                out_a = coverage + da * (1.0 - coverage)
                keep = da * (1.0 - coverage)
                self.pixels[row * n + column] = (
                    (r * coverage + dr * keep) / out_a,
                    (g * coverage + dg * keep) / out_a,
                    (b * coverage + db * keep) / out_a,
                    out_a,
                )

    def rgba(self):
        """Rows top first, each pixel (red, green, blue, opacity) in bytes."""
        out = []
        for r, g, b, a in self.pixels:
            alpha = int(round(a * 255))
            if alpha == 0:
                out.append(TRANSPARENT_RGB + (0,))
            else:
                out.append((int(round(r)), int(round(g)), int(round(b)), alpha))
        return out


def draw_icon(size):
    c = Canvas(size)
    # Monitor: casing, screen, neck and foot.
    c.paint(lambda x, y: rounded_box(x, y, 0.46, 0.79, 0.065, 0.07, 0.01),
            vertical("#5B6472", "#3A414C", 0.72, 0.86))
    c.paint(lambda x, y: rounded_box(x, y, 0.46, 0.865, 0.21, 0.035, 0.035),
            vertical("#6B7482", "#3A414C", 0.83, 0.90))
    c.paint(lambda x, y: rounded_box(x, y, 0.46, 0.40, 0.43, 0.32, 0.07),
            vertical("#5B6472", "#2B3038", 0.08, 0.72))
    c.paint(lambda x, y: rounded_box(x, y, 0.46, 0.385, 0.365, 0.25, 0.03),
            vertical("#0E1A33", "#26406E", 0.13, 0.64))
    # Three balls on the screen.
    for cx, cy, base in ((0.265, 0.45, "#2F7DF6"), (0.46, 0.30, "#2DBE4E"),
                         (0.64, 0.42, "#E8413C")):
        c.paint(lambda x, y, cx=cx, cy=cy: circle(x, y, cx, cy, 0.11),
                ball_shading(cx, cy, 0.11, base))
    # Badge: white rim, blue disc, white downward arrow.
    bx, by = 0.765, 0.765
    c.paint(lambda x, y: circle(x, y, bx, by, 0.232), solid("#FFFFFF"))
    c.paint(lambda x, y: circle(x, y, bx, by, 0.195), vertical("#4A9BFF", "#1250C0", 0.57, 0.96))
    stroke = 0.034
    c.paint(lambda x, y: min(capsule(x, y, bx, by - 0.105, bx, by + 0.085, stroke),
                             capsule(x, y, bx - 0.085, by + 0.005, bx, by + 0.09, stroke),
                             capsule(x, y, bx + 0.085, by + 0.005, bx, by + 0.09, stroke)),
            solid("#FFFFFF"))
    return c


def draw_sign(size, top, bottom, mark):
    c = Canvas(size)
    c.paint(lambda x, y: rounded_box(x, y, 0.5, 0.5, 0.47, 0.47, 0.19),
            vertical(top, bottom, 0.03, 0.97))
    # A light inner rim gives the square some depth.
    c.paint(lambda x, y: abs(rounded_box(x, y, 0.5, 0.5, 0.44, 0.44, 0.16)) - 0.012,
            solid("#FFFFFF"), opacity=0.22)
    c.paint(mark, solid("#FFFFFF"))
    return c


def cross(x, y):
    return min(capsule(x, y, 0.31, 0.31, 0.69, 0.69, 0.075),
               capsule(x, y, 0.69, 0.31, 0.31, 0.69, 0.075))


def question_mark(x, y):
    hook = arc(x, y, 0.5, 0.355, 0.155, 160.0, 410.0, 0.062)
    end_x = 0.5 + 0.155 * math.cos(math.radians(50.0))
    end_y = 0.355 + 0.155 * math.sin(math.radians(50.0))
    neck = capsule(x, y, end_x, end_y, 0.5, 0.56, 0.062)
    stem = capsule(x, y, 0.5, 0.56, 0.5, 0.61, 0.062)
    dot = circle(x, y, 0.5, 0.76, 0.072)
    return min(hook, neck, stem, dot)


# File formats.

def bmp_rows_bgra(rgba, size):
    rows = []
    for row in range(size - 1, -1, -1):
        for r, g, b, a in rgba[row * size:(row + 1) * size]:
            rows.append(struct.pack("<4B", b, g, r, a))
    return b"".join(rows)


def info_header(width, height, bits, image_size, colours=0):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, image_size, 0, 0,
                       colours, 0)


def bmp_file(canvas):
    size = canvas.size
    pixels = bmp_rows_bgra(canvas.rgba(), size)
    offset = 14 + 40
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return header + info_header(size, size, 32, len(pixels)) + pixels


def and_mask(rgba, size):
    stride = (size + 31) // 32 * 4
    rows = []
    for row in range(size - 1, -1, -1):
        bits = bytearray(stride)
        for column in range(size):
            if rgba[row * size + column][3] < MASK_THRESHOLD:
                bits[column // 8] |= 0x80 >> (column % 8)
        rows.append(bytes(bits))
    return b"".join(rows)


def median_cut(colours, count):
    boxes = [sorted(set(colours))]
    while len(boxes) < count:
        boxes.sort(key=lambda box: max(max(c[i] for c in box) - min(c[i] for c in box)
                                       for i in range(3)) if len(box) > 1 else -1)
        box = boxes.pop()
        if len(box) < 2:
            boxes.append(box)
            break
        channel = max(range(3), key=lambda i: max(c[i] for c in box) - min(c[i] for c in box))
        box.sort(key=lambda c: c[channel])
        half = len(box) // 2
        boxes += [box[:half], box[half:]]
    palette = []
    for box in boxes:
        palette.append(tuple(sum(c[i] for c in box) // len(box) for i in range(3)))
    return palette


def flatten(pixel):
    """An 8-bit icon's colour for a pixel: edges blended towards a light grey."""
    r, g, b, a = pixel
    return tuple(int(round(v)) for v in mix(TRANSPARENT_RGB, (r, g, b), a / 255))


def icon_image_8(canvas, palette, lookup):
    size = canvas.size
    rgba = canvas.rgba()
    stride = (size + 3) // 4 * 4
    rows = []
    for row in range(size - 1, -1, -1):
        line = bytearray(stride)
        for column in range(size):
            pixel = rgba[row * size + column]
            line[column] = lookup(flatten(pixel)) if pixel[3] >= MASK_THRESHOLD else 0
        rows.append(bytes(line))
    xor = b"".join(rows)
    mask = and_mask(rgba, size)
    table = b"".join(struct.pack("<4B", b, g, r, 0) for r, g, b in palette)
    return info_header(size, 2 * size, 8, len(xor) + len(mask), 256) + table + xor + mask


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def filtered_rows(rows):
    """Each row behind its PNG filter byte: of the five filters, the one whose
    output has the smallest sum of magnitudes (the usual heuristic; smooth
    shading then leaves mostly small differences, which deflate well)."""
    bpp = 4
    previous = bytes(len(rows[0]))
    out = bytearray()
    for row in rows:
        candidates = []
        for kind in range(5):
            line = bytearray(len(row))
            for i, x in enumerate(row):
                a = row[i - bpp] if i >= bpp else 0
                b = previous[i]
                c = previous[i - bpp] if i >= bpp else 0
                predictor = (0, a, b, (a + b) // 2, paeth(a, b, c))[kind]
                line[i] = (x - predictor) & 0xFF
            cost = sum(v if v < 128 else 256 - v for v in line)
            candidates.append((cost, kind, line))
        _, kind, line = min(candidates)
        out.append(kind)
        out += line
        previous = row
    return bytes(out)


def png_file(canvas):
    size = canvas.size
    rgba = canvas.rgba()
    rows = [b"".join(bytes(pixel) for pixel in rgba[row * size:(row + 1) * size])
            for row in range(size)]

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(filtered_rows(rows), 9)) + chunk(b"IEND", b""))


def ico_file(images):
    """images: (size, bits, bytes) in directory order."""
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, data = [], []
    for size, bits, blob in images:
        side = 0 if size >= 256 else size
        entries.append(struct.pack("<BBBBHHII", side, side, 0, 0, 1, bits, len(blob), offset))
        data.append(blob)
        offset += len(blob)
    return directory + b"".join(entries) + b"".join(data)


def build_icon():
    small = {size: draw_icon(size) for size in (16, 32, 48)}
    colours = [flatten(p) for canvas in small.values() for p in canvas.rgba()
               if p[3] >= MASK_THRESHOLD]
    palette = median_cut(colours, 256)
    palette += [(0, 0, 0)] * (256 - len(palette))
    cache = {}

    def lookup(rgb):
        if rgb not in cache:
            cache[rgb] = min(range(256), key=lambda i: sum((a - b) ** 2
                                                           for a, b in zip(rgb, palette[i])))
        return cache[rgb]

    # The 32-bit images as PNG (read by Vista and later): a third of the
    # bitmaps' size. The 8-bit ones stay bitmaps for 256-colour displays.
    images = [(256, 32, png_file(draw_icon(256)))]
    images += [(size, 32, png_file(small[size])) for size in (48, 32, 16)]
    images += [(size, 8, icon_image_8(small[size], palette, lookup)) for size in (48, 32, 16)]
    return ico_file(images)


def main():
    folder = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else pathlib.Path(__file__).parent
    folder.mkdir(parents=True, exist_ok=True)
    (folder / "error.bmp").write_bytes(
        bmp_file(draw_sign(32, "#F0564F", "#B8221F", cross)))
    (folder / "question.bmp").write_bytes(
        bmp_file(draw_sign(32, "#4C93F5", "#1B4FC4", question_mark)))
    (folder / "lumiset.ico").write_bytes(build_icon())


if __name__ == "__main__":
    main()
