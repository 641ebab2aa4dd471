#!/usr/bin/env python3
"""Makes the pictures and samples built into Tarrowind Viewer.

Usage: make_viewer_samples.py OUT_DIR
Writes into OUT_DIR sample.gif (dunes under an evening sky) and sample.txt, the samples
"Open samples" shows, and find-normal.bmp, find-hot.bmp and find-pressed.bmp, the Find
dialog's "Find next" button in its three states (a magnifier and the words, 80 x 24).
Standard library only; the output is the same on every run.
"""
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_pictures import bmp_bytes  # noqa: E402  the game's BMP writer: same format

# ---------------------------------------------------------------------------
# Pictures: a function from (x, y) to an (r, g, b) colour, drawn at a size.
# ---------------------------------------------------------------------------


def dunes(x, y, w, h):
    """Dunes under a purple evening sky with one star."""
    if (x, y) in ((w // 3, h // 5), (w // 3 + 1, h // 5), (w // 3, h // 5 + 1)):
        return (255, 255, 255)
    top = h // 2 + (abs((x % 24) - 12) * h) // 48
    if y >= top:
        return (230 - (y - top) * 3, 170 - (y - top) * 2, 80)
    return (60 + y * 3, 30 + y, 110 + y * 2)


def pixels(draw, w, h):
    return [[draw(x, y, w, h) for x in range(w)] for y in range(h)]


# ---------------------------------------------------------------------------
# File format and text
# ---------------------------------------------------------------------------


def gif_bytes(rows):
    """A GIF89a with a global palette of the picture's colours and LZW codes that stay
    9 bits wide: a clear code every 250 literals keeps the code table from growing."""
    h, w = len(rows), len(rows[0])
    palette = []
    index = {}
    for row in rows:
        for c in row:
            if c not in index:
                index[c] = len(palette)
                palette.append(c)
    if len(palette) > 256:
        raise SystemExit("gif_bytes: more than 256 colours")
    palette += [(0, 0, 0)] * (256 - len(palette))
    codes = [256]
    run = 0
    for row in rows:
        for c in row:
            if run == 250:
                codes.append(256)
                run = 0
            codes.append(index[c])
            run += 1
    codes.append(257)
    packed = bytearray()
    bits = nbits = 0
    for code in codes:
        bits |= code << nbits
        nbits += 9
        while nbits >= 8:
            packed.append(bits & 0xFF)
            bits >>= 8
            nbits -= 8
    if nbits:
        packed.append(bits & 0xFF)
    blocks = bytearray()
    for i in range(0, len(packed), 255):
        chunk = packed[i:i + 255]
        blocks += bytes((len(chunk),)) + chunk
    out = bytearray(b"GIF89a")
    out += struct.pack("<HHBBB", w, h, 0xF7, 0, 0)  # global palette of 256 entries
    for r, g, b in palette:
        out += bytes((r, g, b))
    out += struct.pack("<BHHHHB", 0x2C, 0, 0, w, h, 0)
    out += bytes((8,)) + blocks + b"\x00" + b"\x3B"
    return bytes(out)


SAMPLE_TEXT = (b"Tarrowind Viewer\r\n"
               b"\r\n"
               b"This text and the picture beside it are built into the viewer\r\n"
               b"as RTIMAGE resources and read back through the runtime.\r\n"
               b"Open files by naming them on the command line.\r\n")


# ---------------------------------------------------------------------------
# The "Find next" button: a magnifier and the words in a 5 x 7 pixel font.
# ---------------------------------------------------------------------------

GLYPHS = {
    "F": ["#####", "#....", "#....", "####.", "#....", "#....", "#...."],
    "i": ["..#..", ".....", ".##..", "..#..", "..#..", "..#..", ".###."],
    "n": [".....", ".....", "####.", "#...#", "#...#", "#...#", "#...#"],
    "d": ["....#", "....#", ".####", "#...#", "#...#", "#...#", ".####"],
    "e": [".....", ".....", ".###.", "#...#", "#####", "#....", ".###."],
    "x": [".....", ".....", "#...#", ".#.#.", "..#..", ".#.#.", "#...#"],
    "t": [".#...", ".#...", "####.", ".#...", ".#...", ".#..#", "..##."],
    " ": [".....", ".....", ".....", ".....", ".....", ".....", "....."],
}
BUTTON_WIDTH, BUTTON_HEIGHT = 80, 24
BUTTON_STATES = {
    # state: (face, ink, lens, shift): pressed moves the drawing one pixel down and right
    "normal": ((216, 228, 240), (16, 32, 96), (160, 208, 248), 0),
    "hot": ((255, 244, 176), (96, 48, 0), (255, 224, 96), 0),
    "pressed": ((120, 144, 192), (255, 255, 255), (200, 224, 255), 1),
}


def find_button(state):
    face, ink, lens, shift = BUTTON_STATES[state]
    rows = [[face] * BUTTON_WIDTH for _ in range(BUTTON_HEIGHT)]
    # The magnifier: a ring with a glass inside and a handle to the lower right.
    cx, cy = 9 + shift, 10 + shift
    for y in range(BUTTON_HEIGHT):
        for x in range(BUTTON_WIDTH):
            d = (x - cx) ** 2 + (y - cy) ** 2
            if d <= 16:
                rows[y][x] = lens
            elif d <= 30:
                rows[y][x] = ink
            elif 0 <= x - y - (cx - cy) <= 1 and cx + 3 <= x <= cx + 8:
                rows[y][x] = ink
    x0, y0 = 20 + shift, 9 + shift
    for i, letter in enumerate("Find next"):
        for gy, line in enumerate(GLYPHS[letter]):
            for gx, pixel in enumerate(line):
                if pixel == "#":
                    rows[y0 + gy][x0 + i * 6 + gx] = ink
    return rows


def main():
    if len(sys.argv) != 2:
        raise SystemExit(__doc__)
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    with open(os.path.join(out, "sample.gif"), "wb") as f:
        f.write(gif_bytes(pixels(dunes, 72, 48)))
    with open(os.path.join(out, "sample.txt"), "wb") as f:
        f.write(SAMPLE_TEXT)
    for state in BUTTON_STATES:
        with open(os.path.join(out, "find-%s.bmp" % state), "wb") as f:
            f.write(bmp_bytes(find_button(state)))


if __name__ == "__main__":
    main()
