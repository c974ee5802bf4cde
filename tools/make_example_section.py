#!/usr/bin/env python3
"""Writes examples/u-channel.bmp, the bundled example section: a U-shaped channel in clRed on
white, 400 x 400 pixels, 24-bit BMP. Run from anywhere: python3 tools/make_example_section.py

The channel is 500 mm wide and 650 mm high with 50 mm walls, drawn at 2 mm per pixel in both
directions: a 250 x 325 pixel box with 25-pixel walls. It is centred left to right and sits
20 pixels below the top edge, so that the result overlay's labels (" UL-corner " 5 % of the
picture above the section, " z " 7.5 % below it) stay on the picture."""

import pathlib
import struct

WIDTH, HEIGHT = 400, 400
WHITE = (255, 255, 255)  # clWhite
RED = (255, 0, 0)  # clRed, as (R, G, B)

# The channel's bounding box in pixels (inclusive) and its wall thickness.
X0, Y0 = 75, 20
BOX_W, BOX_H = 250, 325
WALL = 25
X1, Y1 = X0 + BOX_W - 1, Y0 + BOX_H - 1


def colour_at(x: int, y: int):
    if not (X0 <= x <= X1 and Y0 <= y <= Y1):
        return WHITE
    left_leg = x < X0 + WALL
    right_leg = x > X1 - WALL
    bottom = y > Y1 - WALL
    return RED if (left_leg or right_leg or bottom) else WHITE


def bmp_bytes() -> bytes:
    row_size = (WIDTH * 3 + 3) // 4 * 4
    pixels = bytearray()
    for y in range(HEIGHT - 1, -1, -1):  # BMP rows run bottom-up
        row = bytearray()
        for x in range(WIDTH):
            r, g, b = colour_at(x, y)
            row += bytes((b, g, r))
        row += b"\0" * (row_size - len(row))
        pixels += row
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, len(pixels), 3780, 3780, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return header + info + bytes(pixels)


def main() -> None:
    target = pathlib.Path(__file__).resolve().parent.parent / "examples" / "u-channel.bmp"
    target.write_bytes(bmp_bytes())
    print(f"wrote {target}")


if __name__ == "__main__":
    main()
