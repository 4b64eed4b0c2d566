#!/usr/bin/env python3
"""Draws the settings program's icon, a card with a key on it, at 16, 32 and
48 pixels, and writes it as a Windows .ico of 32-bit images.
Usage: make_icon.py OUT.ico [SIZE...]   (the committed icons came from it)"""
import struct
import sys


def inside_round_rect(x, y, x0, y0, x1, y1, r):
    if x < x0 or x > x1 or y < y0 or y > y1:
        return False
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def pixel(u, v):
    """Colour (r, g, b, a) at unit coordinates u, v in [0, 1), y downwards."""
    # The key: a gold ring on the left, its shaft and two teeth to the right.
    ring = (u - 0.36) ** 2 + (v - 0.56) ** 2
    if 0.018 <= ring <= 0.045:
        return (240, 190, 40, 255)
    if 0.50 <= u <= 0.90 and 0.515 <= v <= 0.605:
        return (240, 190, 40, 255)
    if (0.72 <= u <= 0.78 or 0.83 <= u <= 0.89) and 0.60 <= v <= 0.72:
        return (240, 190, 40, 255)
    # The card: a blue rounded rectangle with a light stripe.
    if inside_round_rect(u, v, 0.04, 0.16, 0.96, 0.84, 0.08):
        if inside_round_rect(u, v, 0.07, 0.19, 0.93, 0.81, 0.06):
            if 0.26 <= v <= 0.34:
                return (200, 225, 255, 255)
            return (30, 90, 180, 255)
        return (15, 45, 110, 255)
    return (0, 0, 0, 0)


def image(size):
    n = 4  # samples per axis, for smooth edges
    rows = []
    for y in range(size - 1, -1, -1):  # bottom-up
        row = bytearray()
        for x in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(n):
                for sx in range(n):
                    r, g, b, a = pixel((x + (sx + 0.5) / n) / size, (y + (sy + 0.5) / n) / size)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            alpha = acc[3] // (n * n)
            if acc[3]:
                row += bytes((acc[2] // acc[3], acc[1] // acc[3], acc[0] // acc[3], alpha))
            else:
                row += bytes(4)
        rows.append(bytes(row))
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + mask_row * size,
                         0, 0, 0, 0)
    return header + xor + bytes(mask_row * size)


def main(out, sizes):
    images = [image(s) for s in sizes]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, img in zip(sizes, images):
        data += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    open(out, "wb").write(data + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1], [int(s) for s in sys.argv[2:]] or [16, 32, 48])
