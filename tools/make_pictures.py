#!/usr/bin/env python3
"""Draws Tarrowind's pictures and its icon.

Usage: make_pictures.py GRAPHICS_DIR GENERATED_DIR
Writes goodguy.bmp (a hostage) and badguy.bmp (a terrorist) into GRAPHICS_DIR as
20 x 20 24-bit BMPs, and tarrowind.ico (16 x 16 and 32 x 32, 32-bit) into GENERATED_DIR.
Standard library only; the output is the same on every run.
"""
import os
import struct
import sys

# ---------------------------------------------------------------------------
# The figures: one character per pixel, top row first, 20 x 20.
# ---------------------------------------------------------------------------

# A hostage in white, arms raised in surrender, on dark green.
HOSTAGE_PALETTE = {
    ".": (24, 104, 56),    # background
    "S": (250, 204, 152),  # skin
    "H": (120, 66, 20),    # hair
    "W": (248, 248, 248),  # shirt
    "B": (48, 88, 216),    # trousers
    "K": (0, 0, 0),        # eyes, shoes
    "M": (208, 56, 56),    # mouth
}
HOSTAGE = [
    "....................",
    ".SS..............SS.",
    ".SS.....HHHH.....SS.",
    ".WW....HHHHHH....WW.",
    ".WW....HSSSSH....WW.",
    "..WW...SKSSKS...WW..",
    "..WW...SSSSSS...WW..",
    "...WW..SSMMSS..WW...",
    "....WW..SSSS..WW....",
    ".....WWWWWWWWWW.....",
    "......WWWWWWWW......",
    "......WWWWWWWW......",
    "......WWWWWWWW......",
    "......BBBBBBBB......",
    "......BBB..BBB......",
    "......BBB..BBB......",
    "......BBB..BBB......",
    "......BBB..BBB......",
    ".....KKKK..KKKK.....",
    "....................",
]

# A masked terrorist in khaki with a rifle pointing right, on dark red.
TERRORIST_PALETTE = {
    ".": (128, 16, 16),    # background
    "K": (16, 16, 16),     # mask, boots
    "E": (232, 184, 132),  # skin at the eye slit and hands
    "J": (168, 152, 64),   # jacket
    "P": (56, 56, 48),     # trousers
    "G": (176, 176, 184),  # rifle
    "Y": (255, 224, 0),    # eyes
}
TERRORIST = [
    "....................",
    "........KKKK........",
    ".......KKKKKK.......",
    ".......KKKKKK.......",
    ".......EYEEYE.......",
    ".......KKKKKK.......",
    "........KKKK........",
    ".....JJJJJJJJJJ.....",
    "....JJJJJJJJJJJJ....",
    "....JJ.JJJJJJJJEGGGG",
    "....JJ.JJJJJJ.GGGGGG",
    "....EE.JJJJJJ..GG...",
    ".......JJJJJJ..G....",
    ".......PPPPPP.......",
    ".......PPP.PPP......",
    ".......PPP.PPP......",
    ".......PPP.PPP......",
    ".......PPP.PPP......",
    "......KKKK.KKKK.....",
    "....................",
]


def pixels_of(rows, palette):
    """The picture as rows of (r, g, b), top row first."""
    assert len(rows) == 20 and all(len(r) == 20 for r in rows), "figures are 20 x 20"
    return [[palette[c] for c in row] for row in rows]


def bmp_bytes(pixels):
    """A bottom-up 24-bit BMP file of the pixel rows."""
    height = len(pixels)
    width = len(pixels[0])
    stride = (width * 3 + 3) & ~3
    body = bytearray()
    for row in reversed(pixels):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += b"\x00" * (stride - len(line))
        body += line
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(body), 2835, 2835, 0, 0)
    file_header = struct.pack("<2sIHHI", b"BM", 14 + len(header) + len(body), 0, 0, 14 + len(header))
    return file_header + header + bytes(body)


# ---------------------------------------------------------------------------
# The icon: a red gun sight on a pale yellow disc, drawn at each size with 4 x 4
# supersampling for its edges.
# ---------------------------------------------------------------------------

RING = (208, 24, 24)
CROSS = (24, 24, 24)
DISC = (255, 232, 128)


def sight_colour(n, x, y):
    """Colour (r, g, b, a) of the point (x, y) of an n-pixel gun sight, or None."""
    c = n / 2.0
    dx, dy = x - c, y - c
    d = (dx * dx + dy * dy) ** 0.5
    outer = n * 0.47
    if d > outer:
        return None
    if d < n * 0.07:
        return RING
    arm = n * 0.05
    if (abs(dx) < arm or abs(dy) < arm) and d > n * 0.16:
        return CROSS
    if d > outer - n * 0.11:
        return RING
    return DISC


def icon_image(n):
    """One icon image: BITMAPINFOHEADER, BGRA rows bottom-up, then the AND mask."""
    rows = []
    for y in range(n):
        row = []
        for x in range(n):
            samples = [sight_colour(n, x + (i + 0.5) / 4, y + (j + 0.5) / 4)
                       for j in range(4) for i in range(4)]
            hits = [s for s in samples if s is not None]
            if not hits:
                row.append((0, 0, 0, 0))
                continue
            r = sum(s[0] for s in hits) // len(hits)
            g = sum(s[1] for s in hits) // len(hits)
            b = sum(s[2] for s in hits) // len(hits)
            a = (255 * len(hits) + 8) // 16
            row.append((r, g, b, a))
        rows.append(row)
    colour = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            colour += bytes((b, g, r, a))
    mask_stride = ((n + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, n, n * 2, 1, 32, 0, len(colour) + len(mask), 0, 0, 0, 0)
    return header + bytes(colour) + bytes(mask)


def ico_bytes(sizes):
    images = [icon_image(n) for n in sizes]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for n, image in zip(sizes, images):
        out += struct.pack("<BBBBHHII", n, n, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    for image in images:
        out += image
    return bytes(out)


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: make_pictures.py GRAPHICS_DIR GENERATED_DIR")
    graphics, generated = sys.argv[1], sys.argv[2]
    os.makedirs(graphics, exist_ok=True)
    os.makedirs(generated, exist_ok=True)
    write(os.path.join(graphics, "goodguy.bmp"), bmp_bytes(pixels_of(HOSTAGE, HOSTAGE_PALETTE)))
    write(os.path.join(graphics, "badguy.bmp"), bmp_bytes(pixels_of(TERRORIST, TERRORIST_PALETTE)))
    write(os.path.join(generated, "tarrowind.ico"), ico_bytes([16, 32]))


if __name__ == "__main__":
    main()
