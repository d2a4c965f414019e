#!/usr/bin/env python3
"""Draws the program's icon, data/quenlow.ico: a sample-and-hold staircase
over the smooth wave it holds, at the sizes Windows shows (16, 24, 32 and 48
pixels in lists and the taskbar, 256 in Explorer's large views), in 32-bit
colour; the 256-pixel image is stored as PNG, as Windows expects.
    tools/make_icon.py data/quenlow.ico
"""
import math
import struct
import sys
import zlib

SIZES = (16, 24, 32, 48, 256)

PAPER = (255, 255, 255, 255)
FRAME = (96, 96, 96, 255)
WAVE = (150, 170, 220, 255)
STAIRS = (20, 20, 20, 255)


def draw(size):
    px = [[PAPER] * size for _ in range(size)]
    for i in range(size):
        for edge in (0, size - 1):
            px[edge][i] = FRAME
            px[i][edge] = FRAME
    mid, amp = (size - 1) / 2, size * 0.34

    def level(x):
        return mid - amp * math.sin(2 * math.pi * (x - 1) / (size - 2))

    for x in range(1, size - 1):
        px[round(level(x))][x] = WAVE
    step = max(2, size // 8)
    previous = None
    for x in range(1, size - 1):
        held = round(level(1 + (x - 1) // step * step))
        if previous is not None and previous != held:
            for y in range(min(previous, held), max(previous, held) + 1):
                px[y][x] = STAIRS
        px[held][x] = STAIRS
        previous = held
    return thicken(px, size // 48)


def thicken(px, radius):
    """Lines one pixel wide vanish in the larger images: each drawn pixel
    is widened to a square of 2 * radius + 1, stairs over wave over frame."""
    if radius == 0:
        return px
    size = len(px)
    out = [row[:] for row in px]
    for colour in (FRAME, WAVE, STAIRS):
        for y in range(size):
            for x in range(size):
                if px[y][x] != colour:
                    continue
                for v in range(max(0, y - radius), min(size, y + radius + 1)):
                    for u in range(max(0, x - radius), min(size, x + radius + 1)):
                        out[v][u] = colour
    return out


def bitmap(px):
    size = len(px)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = b"".join(bytes(c for r, g, b, a in row for c in (b, g, r, a)) for row in reversed(px))
    mask = b"\0" * (((size + 31) // 32) * 4 * size)
    return header + rows + mask


def png(px):
    size = len(px)
    raw = b"".join(b"\0" + bytes(c for pixel in row for c in pixel) for row in px)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def main(path):
    images = [png(draw(size)) if size >= 256 else bitmap(draw(size)) for size in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(SIZES, images):
        # A width or height of 256 is written as 0.
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1])
