#!/usr/bin/env python3
"""Writes examples/smoothed-tube.png: a steel tube drawn as a paint program draws with
smoothing (anti-aliasing) switched on, for trying the coverage reading of edges. Run from
anywhere: python3 tools/make_smoothed_example.py

The tube is a circular hollow section 273 mm across with a 10 mm wall, drawn at 1 mm per pixel
in clRed on clWhite, 400 x 400 pixels, 24-bit RGB PNG. Its centre lies on the corner of four
pixels at (200.5, 200.5) pixels from the picture's upper left corner, so its outer edge just
meets the pixel edges 64 and 337: the pixels it touches span 273 x 273, and the typed width and
height are the tube's diameter. Each edge pixel takes the mean colour of 16 x 16 points spread
evenly over it, rounded to 8 bits per channel."""

import math
import pathlib
import struct
import zlib

SIZE = 400
CENTRE = 200.5
OUTER = 273 / 2
INNER = OUTER - 10
SAMPLES = 16
WHITE = (255, 255, 255)  # clWhite
RED = (255, 0, 0)  # clRed


def inside(u: float, v: float) -> bool:
    r = math.hypot(u - CENTRE, v - CENTRE)
    return INNER <= r <= OUTER


def colour_at(x: int, y: int):
    # A pixel wholly in the wall or wholly off it needs no samples: the nearest and farthest
    # points of its square from the centre decide.
    nx = min(max(CENTRE, x), x + 1) - CENTRE
    ny = min(max(CENTRE, y), y + 1) - CENTRE
    nearest = math.hypot(nx, ny)
    farthest = max(math.hypot(x + dx - CENTRE, y + dy - CENTRE) for dx in (0, 1) for dy in (0, 1))
    if farthest < INNER or nearest > OUTER:
        return WHITE
    if nearest >= INNER and farthest <= OUTER:
        return RED
    hits = 0
    for j in range(SAMPLES):
        for i in range(SAMPLES):
            hits += inside(x + (i + 0.5) / SAMPLES, y + (j + 0.5) / SAMPLES)
    share = hits / (SAMPLES * SAMPLES)
    return tuple(round(r * share + w * (1 - share)) for r, w in zip(RED, WHITE))


def chunk(kind: bytes, data: bytes) -> bytes:
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def png_bytes() -> bytes:
    rows = bytearray()
    for y in range(SIZE):
        rows.append(0)  # no filter
        for x in range(SIZE):
            rows += bytes(colour_at(x, y))
    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + chunk(b"IEND", b""))


def main() -> None:
    target = pathlib.Path(__file__).resolve().parent.parent / "examples" / "smoothed-tube.png"
    target.write_bytes(png_bytes())
    print(f"wrote {target}")


if __name__ == "__main__":
    main()
