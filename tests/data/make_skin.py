#!/usr/bin/env python3
"""Builds the test skin archive: draws the skin's PNG images from simple shapes and
zips them with the XML files of tests/data/skin.

usage: make_skin.py <skin source dir> <output zip>

Only the standard library is used. Entry times are fixed, so the archive is the
same on every build.
"""
import os
import struct
import sys
import zipfile
import zlib


def png(width, height, pixel):
    """PNG bytes of an RGBA image; pixel(x, y) returns (r, g, b, a)."""
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        for x in range(width):
            rows.extend(bytes(pixel(x, y)))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(rows), 9)) +
            chunk(b"IEND", b""))


def solid(width, height, rgba):
    return png(width, height, lambda x, y: rgba)


def framed(width, height, fill, frame):
    def pixel(x, y):
        edge = x == 0 or y == 0 or x == width - 1 or y == height - 1
        return frame if edge else fill
    return png(width, height, pixel)


def disc(size, fill, ring):
    """A filled circle inside a ring, on transparency (option and check marks)."""
    centre = (size - 1) / 2.0

    def pixel(x, y):
        d = ((x - centre) ** 2 + (y - centre) ** 2) ** 0.5
        if d <= size / 2.0 - 0.5 and d >= size / 2.0 - 2.0:
            return ring
        if fill is not None and d < size / 2.0 - 3.5:
            return fill
        return (0, 0, 0, 0)
    return png(size, size, pixel)


def gradient(width, height, top, bottom):
    def pixel(x, y):
        t = y / max(1, height - 1)
        return tuple(int(round(a + (b - a) * t)) for a, b in zip(top, bottom))
    return png(width, height, pixel)


# The shadow: 16 x 16 with the corner insets 5,4,5,6 (left, top, right, bottom). Its
# alpha falls off linearly with the distance from the inner rectangle; the inner
# rectangle itself is a transparent hole, since the window covers it.
SHADOW_SIZE = 16
SHADOW_INSETS = (5, 4, 5, 6)
SHADOW_PEAK = 0x80


def shadow_pixel(x, y):
    left, top, right, bottom = SHADOW_INSETS
    inner_right = SHADOW_SIZE - right
    inner_bottom = SHADOW_SIZE - bottom
    if left <= x < inner_right and top <= y < inner_bottom:
        return (0, 0, 0, 0)
    dx = left - x if x < left else (x - inner_right + 1 if x >= inner_right else 0)
    dy = top - y if y < top else (y - inner_bottom + 1 if y >= inner_bottom else 0)
    reach = max(left if x < left else right, top if y < top else bottom)
    distance = max(dx, dy)
    alpha = int(SHADOW_PEAK * (reach + 1 - distance) / (reach + 1))
    return (0, 0, 0, max(0, alpha))


IMAGES = {
    "bg.png": lambda: gradient(8, 64, (0xF4, 0xF6, 0xFA, 0xFF), (0xDD, 0xE3, 0xEE, 0xFF)),
    "title_bar.png": lambda: solid(8, 8, (0x2B, 0x4C, 0x7E, 0xFF)),
    "btn_normal.png": lambda: framed(24, 24, (0x3A, 0x7B, 0xD5, 0xFF), (0x1F, 0x4E, 0x96, 0xFF)),
    "btn_hot.png": lambda: framed(24, 24, (0x5A, 0x98, 0xEA, 0xFF), (0x1F, 0x4E, 0x96, 0xFF)),
    "btn_pushed.png": lambda: framed(24, 24, (0x24, 0x5C, 0xAB, 0xFF), (0x16, 0x3A, 0x70, 0xFF)),
    "btn_disabled.png": lambda: framed(24, 24, (0xB0, 0xB4, 0xBA, 0xFF), (0x90, 0x94, 0x9A, 0xFF)),
    "sys_min.png": lambda: png(16, 16, lambda x, y: (0xFF, 0xFF, 0xFF, 0xFF) if 11 <= y <= 12 and 3 <= x <= 12
                              else (0, 0, 0, 0)),
    "sys_close.png": lambda: png(16, 16, lambda x, y: (0xFF, 0xFF, 0xFF, 0xFF)
                                if 3 <= x <= 12 and (abs(x - y) <= 0 or abs(x + y - 15) <= 0) else (0, 0, 0, 0)),
    "option_normal.png": lambda: disc(16, None, (0x55, 0x5D, 0x6B, 0xFF)),
    "option_selected.png": lambda: disc(16, (0x3A, 0x7B, 0xD5, 0xFF), (0x3A, 0x7B, 0xD5, 0xFF)),
    "check_normal.png": lambda: framed(16, 16, (0xFF, 0xFF, 0xFF, 0xFF), (0x55, 0x5D, 0x6B, 0xFF)),
    "check_selected.png": lambda: framed(16, 16, (0x3A, 0x7B, 0xD5, 0xFF), (0x1F, 0x4E, 0x96, 0xFF)),
    "progress_back.png": lambda: solid(8, 6, (0xD0, 0xD6, 0xE0, 0xFF)),
    "progress_fore.png": lambda: solid(8, 6, (0x2E, 0xB8, 0x6B, 0xFF)),
    "slider_back.png": lambda: solid(8, 4, (0xB8, 0xC0, 0xCC, 0xFF)),
    "slider_thumb.png": lambda: disc(14, (0x3A, 0x7B, 0xD5, 0xFF), (0x1F, 0x4E, 0x96, 0xFF)),
    "edit_frame.png": lambda: framed(16, 16, (0xFF, 0xFF, 0xFF, 0xFF), (0x9A, 0xA4, 0xB4, 0xFF)),
    "scroll_thumb.png": lambda: framed(8, 16, (0x9A, 0xA4, 0xB4, 0xFF), (0x7A, 0x84, 0x94, 0xFF)),
    "scroll_rail.png": lambda: solid(8, 8, (0xE8, 0xEC, 0xF2, 0xFF)),
    "shadow.png": lambda: png(SHADOW_SIZE, SHADOW_SIZE, shadow_pixel),
}

FIXED_TIME = (2020, 1, 1, 0, 0, 0)


def add(archive, name, data):
    info = zipfile.ZipInfo(name, FIXED_TIME)
    info.compress_type = zipfile.ZIP_DEFLATED
    info.external_attr = 0o644 << 16
    archive.writestr(info, data)


def main(argv):
    if len(argv) != 3:
        sys.stderr.write(__doc__)
        return 2
    source, output = argv[1], argv[2]
    xml_files = sorted(f for f in os.listdir(source) if f.endswith(".xml"))
    if not xml_files:
        sys.stderr.write("no skin files in %s\n" % source)
        return 1
    temp = output + ".tmp"
    with zipfile.ZipFile(temp, "w") as archive:
        for name in xml_files:
            with open(os.path.join(source, name), "rb") as f:
                add(archive, name, f.read())
        for name in sorted(IMAGES):
            add(archive, name, IMAGES[name]())
    os.replace(temp, output)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
