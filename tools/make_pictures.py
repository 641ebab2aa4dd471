#!/usr/bin/env python3
"""Placeholder until the picture generator lands."""
import os, sys
os.makedirs(sys.argv[1], exist_ok=True); os.makedirs(sys.argv[2], exist_ok=True)
for n in ("goodguy.bmp", "badguy.bmp"):
    open(os.path.join(sys.argv[1], n), "wb").close()
import struct
# 16x16 32-bit icon, all blue
w = h = 16
bmp = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, 0, 0, 0, 0, 0) + b"\xff\x00\x00\xff" * (w * h) + b"\x00" * (4 * h)
ico = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", w, h, 0, 0, 1, 32, len(bmp), 22) + bmp
open(os.path.join(sys.argv[2], "tarrowind.ico"), "wb").write(ico)
