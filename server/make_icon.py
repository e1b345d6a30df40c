#!/usr/bin/env python3
"""Writes Cobbleway's application icon: cobblestones with a stream running between them, drawn from
simple shapes at 16x16 and 32x32 pixels in 32-bit colour with alpha. Usage: make_icon.py OUTPUT.ico"""
import math
import struct
import sys

SAMPLES = 4  # per pixel and axis, for smooth edges

# Cobblestones: centre, radii (in units of the icon's width) and grey level.
STONES = [
    (0.22, 0.20, 0.17, 0.13, 150), (0.58, 0.17, 0.19, 0.12, 175), (0.88, 0.22, 0.12, 0.13, 140),
    (0.15, 0.82, 0.14, 0.13, 170), (0.47, 0.84, 0.19, 0.12, 145), (0.82, 0.80, 0.16, 0.14, 165),
]
STONE_EDGE = (70, 70, 80)
WATER = (40, 110, 210)
FOAM = (170, 215, 255)


def stream_distance(x, y):
    """How far (x, y) lies from the middle of the stream, a wave across the icon."""
    return abs(y - (0.5 + 0.09 * math.sin(x * 2 * math.pi)))


def colour_at(x, y):
    """The colour (r, g, b, a) of the point (x, y) of the unit square, y downwards."""
    distance = stream_distance(x, y)
    if distance < 0.13:
        wave = 0.5 + 0.5 * math.sin((x * 3 + y) * 2 * math.pi)
        if distance < 0.025 and wave > 0.6:
            return FOAM + (255,)
        return WATER + (255,)
    for cx, cy, rx, ry, grey in STONES:
        d = ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2
        if d <= 1:
            if d > 0.75:
                return STONE_EDGE + (255,)
            light = int(grey + 40 * (cy - y) / ry)
            return (light, light, min(255, light + 8), 255)
    return (0, 0, 0, 0)


def image(size):
    """A BITMAPINFOHEADER, the colour rows bottom-up in BGRA, and an all-clear AND mask."""
    rows = []
    for row in range(size - 1, -1, -1):
        pixels = bytearray()
        for column in range(size):
            total = [0, 0, 0, 0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (column + (sx + 0.5) / SAMPLES) / size
                    y = (row + (sy + 0.5) / SAMPLES) / size
                    r, g, b, a = colour_at(x, y)
                    total = [total[0] + r * a, total[1] + g * a, total[2] + b * a, total[3] + a]
            alpha = total[3] / SAMPLES ** 2
            if total[3]:
                pixels += bytes(round(total[i] / total[3]) for i in (2, 1, 0))
            else:
                pixels += bytes(3)
            pixels.append(round(alpha))
        rows.append(bytes(pixels))
    mask_row = ((size + 31) // 32) * 4
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    return header + b''.join(rows) + bytes(mask_row * size)


def main():
    images = [(size, image(size)) for size in (16, 32)]
    offset = 6 + 16 * len(images)
    data = struct.pack('<HHH', 0, 1, len(images))
    for size, bits in images:
        data += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(bits), offset)
        offset += len(bits)
    data += b''.join(bits for _, bits in images)
    with open(sys.argv[1], 'wb') as output:
        output.write(data)


if __name__ == '__main__':
    main()
