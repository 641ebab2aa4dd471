#!/usr/bin/env python3
"""Writes quadrants.bmp, the picture resource of the drawing tests: 8 x 8 pixels,
24-bit, red top-left, green top-right, blue bottom-left, yellow bottom-right."""
import os
import struct

W = H = 8
COLOURS = {(0, 0): (255, 0, 0), (1, 0): (0, 255, 0), (0, 1): (0, 0, 255), (1, 1): (255, 255, 0)}

rows = []
for y in reversed(range(H)):  # BMP rows run bottom-up
    row = b""
    for x in range(W):
        r, g, b = COLOURS[(x * 2 // W, y * 2 // H)]
        row += bytes((b, g, r))
    rows.append(row + b"\0" * ((4 - len(row) % 4) % 4))
pixels = b"".join(rows)
info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 24, 0, len(pixels), 3780, 3780, 0, 0)
header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "quadrants.bmp"), "wb") as f:
    f.write(header + info + pixels)
