#!/usr/bin/env python3
"""Compares two 800 x 600 PNG frames: the mean absolute difference per channel
(levels, over every pixel and channel) and the largest mean absolute
difference of any 32 x 32 region (the grid of 32-pixel blocks, the last row
and column of blocks cut by the frame's edge).

usage: web_compare.py A.png B.png MAX_MEAN MAX_REGION
Prints "mean M region R at (x, y)"; exits 1 when M > MAX_MEAN or R > MAX_REGION.
"""
import struct, sys, zlib

REGION = 32  # pixels of a region's side


def read_png(path):
    """8-bit RGB or RGBA, not interlaced: rows of (r, g, b)."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(f"{path}: not a PNG")
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace:
        raise ValueError(f"{path}: only 8-bit RGB or RGBA without interlacing is read")
    channels = 3 if colour == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            corner = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[i] = (line[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 0xFF
        previous = line
        rows.append(bytes(line) if channels == 3 else bytes(b for i, b in enumerate(line) if i % 4 != 3))
    return width, height, rows


def compare(a, b):
    wa, ha, ra = a
    wb, hb, rb = b
    if (wa, ha) != (wb, hb):
        raise ValueError(f"sizes differ: {wa} x {ha} and {wb} x {hb}")
    columns = (wa + REGION - 1) // REGION
    blocks = [[0, 0] for _ in range(columns * ((ha + REGION - 1) // REGION))]  # sum, samples
    total = 0
    for y in range(ha):
        row_a, row_b = ra[y], rb[y]
        base = (y // REGION) * columns
        for bx in range(columns):
            start, end = bx * REGION * 3, min(wa, (bx + 1) * REGION) * 3
            s = sum(abs(p - q) for p, q in zip(row_a[start:end], row_b[start:end]))
            blocks[base + bx][0] += s
            blocks[base + bx][1] += end - start
            total += s
    mean = total / (wa * ha * 3)
    worst = max(range(len(blocks)), key=lambda i: blocks[i][0] / blocks[i][1])
    region = blocks[worst][0] / blocks[worst][1]
    return mean, region, ((worst % columns) * REGION, (worst // columns) * REGION)


if __name__ == "__main__":
    mean, region, at = compare(read_png(sys.argv[1]), read_png(sys.argv[2]))
    print(f"mean {mean:.2f} region {region:.2f} at {at}")
    sys.exit(0 if mean <= float(sys.argv[3]) and region <= float(sys.argv[4]) else 1)
