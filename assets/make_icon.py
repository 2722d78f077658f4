#!/usr/bin/env python3
"""Writes zunor.ico: one 48x48 image, 24 bits per pixel, a white "Z" on a blue tile.

Run it from anywhere; the .ico it writes beside itself is checked in.
"""
import os
import struct

SIZE = 48
BLUE = (0x1F, 0x4E, 0x9A)  # (r, g, b)
DARK = (0x12, 0x2E, 0x5C)
WHITE = (0xFF, 0xFF, 0xFF)


def pixel(x, y):
    """Colour of (x, y), y counted from the top."""
    if x in (0, SIZE - 1) or y in (0, SIZE - 1):
        return DARK
    top, bottom, left, right, stroke = 10, 37, 11, 36, 5
    if top <= y < top + stroke and left <= x <= right:
        return WHITE
    if bottom - stroke < y <= bottom and left <= x <= right:
        return WHITE
    if top + stroke <= y <= bottom - stroke:
        # The diagonal from top right to bottom left.
        t = (y - top) / (bottom - top)
        centre = right - t * (right - left)
        if abs(x - centre) <= stroke * 0.75:
            return WHITE
    return BLUE


def icon_bytes():
    xor_rows = []
    for y in reversed(range(SIZE)):  # bottom-up DIB
        row = bytearray()
        for x in range(SIZE):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        xor_rows.append(bytes(row))  # 144 bytes: already a multiple of 4
    and_row = bytes(8)  # 48 bits, padded to 32-bit rows; all opaque
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 24, 0, 0, 0, 0, 0, 0)
    image = header + b"".join(xor_rows) + and_row * SIZE
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 24, len(image), 6 + 16)
    return icondir + entry + image


def main():
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "zunor.ico")
    with open(path, "wb") as f:
        f.write(icon_bytes())


if __name__ == "__main__":
    main()
