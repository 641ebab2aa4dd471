#!/usr/bin/env python3
"""Writes the valid set: files of every variant the runtime's picture and sound formats allow.

Usage: make_valid_files.py FOLDER
Bitmaps of every header size and depth (top-down, run-length compressed, bit fields, short
colour tables), icons and cursors (several images, PNG entries of several kinds, 256-pixel
entries, no AND mask),
GIFs (87a and 89a, interlaced, transparent, animated, larger than their screen, no trailer),
JPEGs (baseline and progressive, greyscale, subsampled, and 8,200 x 8,200), PNGs of every
colour type and depth (interlaced, with transparency, rows under each of the five filters) and waves of every sample format
(extensible, with extra chunks and pad bytes). valid_test.cpp records the metafiles through
GDI itself. Standard library only; the same bytes on every run.
"""
import os
import struct
import sys
import zlib


def pattern(x, y, c, levels):
    """A value in 0..levels-1 for pixel (x, y), channel c, so that no picture is flat."""
    return (x * 7 + y * 13 + c * 5) % levels


def pack(values, bits):
    """Values of bits each, packed from the high bit down, the last byte filled with 0."""
    acc = held = 0
    out = bytearray()
    for value in values:
        acc, held = acc << bits | value, held + bits
        while held >= 8:
            held -= 8
            out.append(acc >> held & 255)
    return bytes(out + (bytes([acc << (8 - held) & 255]) if held else b""))


# ---- Bitmaps, icons and cursors ----

def bitmap(w, h, header, bits, compression=0, used=0):
    """A bitmap file; a negative h is top-down; compression 1 RLE8, 2 RLE4, 3 bit fields."""
    colours = (used or 1 << bits) if bits <= 8 else 0
    rows = []
    for y in range(abs(h)):
        if compression in (1, 2):  # runs of 4 pixels, then the end of a line or the bitmap
            index = 17 if compression == 2 else 1  # RLE4 holds the index twice in a byte
            row = b"".join(bytes([min(4, w - x), pattern(x, y, 0, colours) * index])
                           for x in range(0, w, 4))
            rows.append(row + (b"\0\1" if y == abs(h) - 1 else b"\0\0"))
        else:
            row = pack([pattern(x, y, 0, colours or 1 << min(bits, 24)) for x in range(w)], bits)
            rows.append(row.ljust(-(-len(row) // 4) * 4, b"\0"))
    pixels = b"".join(rows)
    if header == 12:
        info = struct.pack("<IHHHH", 12, w, h, 1, bits)
    else:
        info = struct.pack("<IiiHHIIiiII", header, w, h, 1, bits, compression, len(pixels),
                           2835, 2835, used, 0)
        fields = [0xF800, 0x7E0, 0x1F, 0] if bits == 16 else [0xFF0000, 0xFF00, 0xFF, 0]
        masks = struct.pack("<4I", *fields) if compression == 3 else bytes(16)
        if header > 40:  # the masks in the header from 52 bytes on, then (V4, V5) the colours'
            info += (masks + struct.pack("<I", 0x73524742)).ljust(header - 40, b"\0")[:header - 40]
        elif compression == 3:
            info += masks[:12]
    table = b"".join(struct.pack("<I", 0x10305 * i + 0x402010)[:3 if header == 12 else 4]
                     for i in range(colours))
    head = info + table
    return b"BM" + struct.pack("<IHHI", 14 + len(head) + len(pixels), 0, 0, 14 + len(head)) + \
        head + pixels


def icon_image(side, bits, mask=True):
    """An icon's image: a DIB whose height counts colour and mask rows, then its AND mask."""
    dib = bytearray(bitmap(side, side, 40, bits)[14:])
    struct.pack_into("<i", dib, 8, 2 * side)
    return bytes(dib) + (bytes((side + 31) // 32 * 4 * side) if mask else b"")


def icon(kind, images):
    """An icon (kind 1) or cursor (kind 2) file of (side, image) pairs; side 256 is written 0."""
    out, at = struct.pack("<HHH", 0, kind, len(images)), 6 + 16 * len(images)
    for side, data in images:
        out += struct.pack("<BBBBHHII", side & 255, side & 255, 0, 0, 1 if kind == 1 else side // 2,
                           32 if kind == 1 else side // 3, len(data), at)
        at += len(data)
    return out + b"".join(data for _, data in images)


# ---- PNG ----

def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def paeth(a, b, c):
    """The Paeth predictor: of left, above and upper left, the nearest to left + above - upper left."""
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    return a if pa <= pb and pa <= pc else b if pb <= pc else c


def filtered(row, prior, kind, bpp):
    """A row of bytes under one of the five filters (none, sub, up, average, Paeth), led by
    its filter byte; prior is the row above in the same pass (zeros for a pass's first)."""
    out = bytearray([kind])
    for i, x in enumerate(row):
        a, b = row[i - bpp] if i >= bpp else 0, prior[i]
        c = prior[i - bpp] if i >= bpp else 0
        out.append((x - (0, a, b, (a + b) // 2, paeth(a, b, c))[kind]) & 255)
    return bytes(out)


def png(w, h, colour_type, depth, interlaced=False, transparent=False, level=6, split=1,
        filters=False):
    """A PNG; its compressed data at a zlib level (0: stored blocks) in split IDAT chunks;
    with filters, its rows use the five filters in turn, else none."""
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour_type]
    levels = min(1 << depth, 16) if colour_type == 3 else 1 << depth
    passes = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2),
              (0, 1, 1, 2)] if interlaced else [(0, 0, 1, 1)]  # Adam7's, or the whole picture
    bpp = max(1, channels * depth // 8)  # the bytes a filter looks back over
    raw, rows = b"", 0
    for x0, y0, dx, dy in passes:
        prior = None
        for y in range(y0, h, dy) if x0 < w else ():
            row = pack([pattern(x, y, c, levels) for x in range(x0, w, dx)
                        for c in range(channels)], depth)
            raw += filtered(row, prior or bytes(len(row)), rows % 5 if filters else 0, bpp)
            prior, rows = row, rows + 1
    out = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, depth, colour_type,
                                                             0, 0, interlaced))
    out += chunk(b"tEXt", b"Comment\0the valid set")
    if colour_type == 3:
        out += chunk(b"PLTE", b"".join(struct.pack(">I", 0x102030 * i + 0x204060)[1:]
                                       for i in range(levels)))
    if transparent and colour_type in (0, 2, 3):
        out += chunk(b"tRNS", bytes(range(255, 255 - levels, -1)) if colour_type == 3
                     else bytes(2 * channels))
    data = zlib.compress(raw, level)
    step = -(-len(data) // split)
    return out + b"".join(chunk(b"IDAT", data[i:i + step]) for i in range(0, len(data), step)) + \
        chunk(b"IEND", b"")


# ---- GIF ----

def colours(bits):
    return b"".join(struct.pack(">I", 0x3F1F0F * i + 0x102030)[1:] for i in range(1 << bits))


def lzw(indices, size):
    """Sub-blocks of LZW data that reads as indices: codes of size + 1 bits, with a clear
    code before each run that would make the reader widen them."""
    clear, codes = 1 << size, []
    for i, index in enumerate(indices):
        codes += [clear, index] if i % (clear - 2) == 0 else [index]
    acc = held = 0
    data = bytearray()
    for code in codes + [clear + 1]:
        acc, held = acc | code << held, held + size + 1
        while held >= 8:
            data.append(acc & 255)
            acc, held = acc >> 8, held - 8
    data += bytes([acc]) if held else b""
    return b"".join(bytes([len(data[i:i + 255])]) + data[i:i + 255]
                    for i in range(0, len(data), 255)) + b"\0"


def gif(version, screen, bits, images, trailer=True, loop=False):
    """A GIF of a screen (w, h) and images (left, top, w, h, interlaced, local colours,
    transparent), with a looping extension and a comment when loop."""
    out = version + struct.pack("<HHBBB", *screen, 0xF0 | bits - 1, 0, 0) + colours(bits)
    if loop:
        out += b"\x21\xff\x0bNETSCAPE2.0\x03\x01\0\0\0" + b"\x21\xfe\x05valid\0"
    for left, top, w, h, interlaced, local, transparent in images:
        out += b"\x21\xf9\x04\x09\x01\0\x01\0" if transparent else b""  # index 1, 10 ms
        out += b"," + struct.pack("<HHHHB", left, top, w, h,
                                  0x40 * interlaced | (0x80 | bits - 1) * local)
        size = max(bits, 2)
        out += (colours(bits) if local else b"") + bytes([size])
        out += lzw([pattern(i % w, i // w, 0, 1 << bits) for i in range(w * h)], size)
    return out + (b";" if trailer else b"")


# ---- JPEG ----

def segment(marker, data):
    return struct.pack(">HH", marker, len(data) + 2) + data


def zero_bits(count):
    """count zero bits of entropy-coded data, the last byte filled with ones."""
    data = bytearray(-(-count // 8))
    data[-1] |= (1 << (-count % 8)) - 1
    return bytes(data)


def jpeg(w, h, grey, sampling, progressive):
    """A mid-grey JPEG (every DC difference 0, every block ended at once): greyscale or YCbCr
    with luma sampled sampling x sampling, baseline, or progressive (a DC scan, then an AC
    scan a component)."""
    n, unit = (1, 8) if grey else (3, 8 * sampling)
    side = [sampling if c == 0 and not grey else 1 for c in range(n)]
    out = b"\xff\xd8" + segment(0xFFE0, b"JFIF\0\1\1\0\0\1\0\1\0\0") + segment(0xFFFE, b"valid")
    out += segment(0xFFDB, bytes(1) + bytes([1]) * 64)
    out += segment(0xFFC2 if progressive else 0xFFC0, struct.pack(">BHHB", 8, h, w, n) +
                   b"".join(bytes([c + 1, 0x11 * side[c], 0]) for c in range(n)))
    out += segment(0xFFC4, bytes(4) + b"\x0c" + bytes(12) + bytes(range(12))  # DC: 12 of 4 bits
                   + b"\x10\x01" + bytes(16))  # AC: the end of a block, 1 bit
    blocks = -(-w // unit) * -(-h // unit) * sum(s * s for s in side)
    out += segment(0xFFDA, bytes([n]) + b"".join(bytes([c + 1, 0]) for c in range(n)) +
                   (b"\0\0\0" if progressive else b"\0\x3f\0"))
    out += zero_bits((4 if progressive else 5) * blocks)  # a 4-bit DC code, a 1-bit end
    for c in range(n if progressive else 0):  # an end-of-block code for each of its blocks
        across, down = (-(-size * side[c] // (unit // 8)) for size in (w, h))
        out += segment(0xFFDA, bytes([1, c + 1, 0, 1, 63, 0]))
        out += zero_bits(-(-across // 8) * -(-down // 8))
    return out + b"\xff\xd9"


# ---- Waves ----

def riff_chunk(kind, data):
    return kind + struct.pack("<I", len(data)) + data + b"\0" * (len(data) % 2)


def wave(tag, channels, rate, bits, before=b"", between=b""):
    """20 ms of sound: format tag 1 (PCM), 3 (float) or 0xFFFE (extensible); 8-bit waves
    have an odd number of bytes, with a pad byte after them."""
    block = channels * bits // 8
    fmt = struct.pack("<HHIIHH", tag, channels, rate, rate * block, block, bits)
    if tag == 0xFFFE:  # valid bits, channel mask, sub-format (PCM or float)
        fmt += struct.pack("<HHII", 22, bits, 4 if channels == 1 else 3, 3 if bits == 32 else 1)
        fmt += b"\0\0\x10\0\x80\0\0\xaa\0\x38\x9b\x71"
    data = bytes(i * 29 % 251 for i in range((rate // 50 + (bits == 8)) * block))
    body = b"WAVE" + before + riff_chunk(b"fmt ", fmt) + between + riff_chunk(b"data", data)
    return b"RIFF" + struct.pack("<I", len(body)) + body


# ---------------------------------------------------------------------------

def files():
    for header in (40, 52, 56, 108, 124):
        for bits in (1, 4, 8, 16, 24, 32):
            yield "bitmap-%d-%d.bmp" % (header, bits), bitmap(13, 9, header, bits)
            yield "bitmap-%d-%d-top-down.bmp" % (header, bits), bitmap(13, -9, header, bits)
    for bits in (1, 4, 8, 24):
        yield "bitmap-core-%d.bmp" % bits, bitmap(13, 9, 12, bits)
    yield "bitmap-rle8.bmp", bitmap(13, 9, 40, 8, 1)
    yield "bitmap-rle4.bmp", bitmap(13, 9, 40, 4, 2)
    yield "bitmap-bitfields-16.bmp", bitmap(13, 9, 40, 16, 3)
    yield "bitmap-bitfields-32-top-down.bmp", bitmap(13, -9, 40, 32, 3)
    yield "bitmap-v5-bitfields-16.bmp", bitmap(13, 9, 124, 16, 3)
    yield "bitmap-8-of-20-colours.bmp", bitmap(13, 9, 40, 8, 0, 20)
    yield "bitmap-wide.bmp", bitmap(1200, 2, 40, 24)

    yield "icon-three-depths.ico", icon(1, [(16, icon_image(16, 4)), (32, icon_image(32, 8)),
                                            (48, icon_image(48, 32))])
    for bits in (1, 24, 32):
        yield "icon-%d.ico" % bits, icon(1, [(32, icon_image(32, bits))])
    yield "icon-32-without-mask.ico", icon(1, [(32, icon_image(32, 32, False))])
    yield "icon-png.ico", icon(1, [(64, png(64, 64, 6, 8))])
    yield "icon-256.ico", icon(1, [(256, icon_image(256, 32))])
    yield "icon-256-png.ico", icon(1, [(256, png(256, 256, 6, 8))])
    yield "icon-png-kinds.ico", icon(1, [(16, png(16, 16, 3, 4, True, True)),
                                         (24, png(24, 24, 0, 8, True, level=0)),
                                         (32, png(32, 32, 2, 8, level=1, split=3)),
                                         (48, png(48, 48, 4, 8, split=5))])
    yield "icon-16-and-256-png.ico", icon(1, [(16, icon_image(16, 8)), (256, png(256, 256, 6, 8))])
    yield "cursor-two.cur", icon(2, [(32, icon_image(32, 1)), (48, icon_image(48, 32))])
    yield "cursor-png.cur", icon(2, [(32, png(32, 32, 6, 8))])
    yield "icon-png-filters.ico", icon(1, [(16, png(16, 16, 2, 8, filters=True)),
                                           (32, png(32, 32, 6, 16, True, filters=True)),
                                           (48, png(48, 48, 0, 2, filters=True))])

    plain = (0, 0, 21, 13, False, False, False)
    yield "gif-87a.gif", gif(b"GIF87a", (21, 13), 4, [plain])
    yield "gif-89a-2-colours.gif", gif(b"GIF89a", (21, 13), 1, [plain])
    yield "gif-89a-256-colours.gif", gif(b"GIF89a", (21, 13), 8, [plain])
    yield "gif-interlaced.gif", gif(b"GIF89a", (21, 13), 4, [(0, 0, 21, 13, True, False, False)])
    yield "gif-transparent.gif", gif(b"GIF89a", (21, 13), 4, [(0, 0, 21, 13, False, False, True)])
    yield "gif-local-colours.gif", gif(b"GIF89a", (21, 13), 3, [(0, 0, 21, 13, False, True, False)])
    yield "gif-animated.gif", gif(b"GIF89a", (21, 13), 4, [
        (0, 0, 21, 13, False, False, True), (4, 3, 9, 7, True, True, True),
        (0, 0, 21, 13, False, False, True)], loop=True)
    yield "gif-image-larger-than-screen.gif", gif(b"GIF89a", (10, 6), 4, [plain])
    yield "gif-screen-0x0.gif", gif(b"GIF89a", (0, 0), 4, [plain])
    yield "gif-without-trailer.gif", gif(b"GIF89a", (21, 13), 4, [plain], trailer=False)

    for progressive, name in ((False, "baseline"), (True, "progressive")):
        yield "jpeg-%s-grey.jpg" % name, jpeg(37, 23, True, 1, progressive)
        yield "jpeg-%s-444.jpg" % name, jpeg(37, 23, False, 1, progressive)
        yield "jpeg-%s-420.jpg" % name, jpeg(37, 23, False, 2, progressive)
    yield "jpeg-8200x8200.jpg", jpeg(8200, 8200, True, 1, False)

    for colour_type, depths in ((0, (1, 2, 4, 8, 16)), (2, (8, 16)), (3, (1, 2, 4, 8)),
                                (4, (8, 16)), (6, (8, 16))):
        for depth in depths:
            for interlaced in (False, True):
                yield ("png-type%d-%d%s.png" % (colour_type, depth, "-interlaced" * interlaced),
                       png(19, 11, colour_type, depth, interlaced, depth == 8))
            yield ("png-type%d-%d-filters.png" % (colour_type, depth),
                   png(19, 11, colour_type, depth, filters=True))
    yield "png-type6-8-filters-interlaced.png", png(19, 11, 6, 8, True, filters=True)

    yield "wave-8-mono.wav", wave(1, 1, 11025, 8)
    yield "wave-16-stereo.wav", wave(1, 2, 44100, 16)
    yield "wave-24-mono.wav", wave(1, 1, 48000, 24)
    yield "wave-32-stereo.wav", wave(1, 2, 22050, 32)
    yield "wave-float-mono.wav", wave(3, 1, 22050, 32)
    yield "wave-extensible-16.wav", wave(0xFFFE, 1, 22050, 16)
    yield "wave-extensible-float.wav", wave(0xFFFE, 2, 8000, 32)
    yield "wave-96000.wav", wave(1, 1, 96000, 16)
    yield "wave-list-before-format.wav", wave(1, 1, 22050, 16, riff_chunk(
        b"LIST", b"INFO" + riff_chunk(b"ISFT", b"made\0")))
    yield "wave-odd-chunk-between.wav", wave(1, 1, 22050, 16, between=riff_chunk(b"junk", b"odd"))
    yield "wave-fact-chunk.wav", wave(3, 1, 22050, 32, between=riff_chunk(b"fact", b"\x10\x01\0\0"))


if __name__ == "__main__":
    os.makedirs(sys.argv[1], exist_ok=True)
    for name, data in files():
        with open(os.path.join(sys.argv[1], name), "wb") as out:
            out.write(data)
