#!/usr/bin/env python3
"""Writes row_icons.bmp beside this script: the filter list's two 16 x 16 row
icons side by side in one 32 x 16, 16-colour bitmap. Magenta is the
transparent background; image 0 is a cyan disc with a grey rim (a filter out
of the light path), image 1 a yellow disc with a black rim (the current one).
"""

import pathlib
import struct

# The usual 16-colour palette, so every colour the icons need has its index.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, GREY, YELLOW, MAGENTA, CYAN = (PALETTE.index(c) for c in [
    (0, 0, 0), (128, 128, 128), (255, 255, 0), (255, 0, 255), (0, 255, 255)])

ICON = 16
WIDTH, HEIGHT = 2 * ICON, ICON
# A disc 15 pixels across, centred on pixel (7, 7) so that it is symmetric;
# the last row and column of each icon stay background.
CENTRE = 7
RADIUS = 7.5


def in_disc(x, y):
    return (x - CENTRE) ** 2 + (y - CENTRE) ** 2 <= RADIUS ** 2


def icon(fill, rim):
    """Rows top to bottom of one icon; the rim is every disc pixel that has
    a pixel outside the disc above, below, left or right of it."""
    rows = []
    for y in range(ICON):
        row = []
        for x in range(ICON):
            if not in_disc(x, y):
                row.append(MAGENTA)
            elif all(in_disc(x + dx, y + dy) for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1))):
                row.append(fill)
            else:
                row.append(rim)
        rows.append(row)
    return rows


def bmp(rows):
    """A BI_RGB, 4 bits per pixel, bottom-up bitmap file of the given rows."""
    stride = (WIDTH * 4 + 31) // 32 * 4
    pixels = bytearray()
    for row in reversed(rows):
        packed = bytes((row[x] << 4) | row[x + 1] for x in range(0, WIDTH, 2))
        pixels += packed + bytes(stride - len(packed))
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    offset = 14 + 40 + len(palette)
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info_header = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 4, 0, len(pixels),
                              2835, 2835, len(PALETTE), 0)
    return file_header + info_header + palette + bytes(pixels)


def main():
    left, right = icon(CYAN, GREY), icon(YELLOW, BLACK)
    rows = [a + b for a, b in zip(left, right)]
    pathlib.Path(__file__).with_name("row_icons.bmp").write_bytes(bmp(rows))


if __name__ == "__main__":
    main()
