#!/usr/bin/env python3
"""Draws the program's icon, data/quenlow.ico: a sample-and-hold staircase
over the smooth wave it holds, at 16x16 and 32x32, in 32-bit colour.
    tools/make_icon.py data/quenlow.ico
"""
import math
import struct
import sys

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
    return px


def bitmap(px):
    size = len(px)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = b"".join(bytes(c for r, g, b, a in row for c in (b, g, r, a)) for row in reversed(px))
    mask = b"\0" * (((size + 31) // 32) * 4 * size)
    return header + rows + mask


def main(path):
    images = [bitmap(draw(size)) for size in (16, 32)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip((16, 32), images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1])
