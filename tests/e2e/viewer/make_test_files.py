#!/usr/bin/env python3
"""Makes the files the viewer's end-to-end check opens.

Usage: make_test_files.py OUT_DIR
Writes into OUT_DIR (beside the samples that tools/make_viewer_samples.py writes there):
  picture.bmp, picture.ico,    one picture of each kind the viewer loads from files
  picture.gif
  big.bmp                      a picture larger than a document window, for scrolling
  tall.bmp                     a picture 1 pixel wide, fitted by its height
  broken.gif                   rubbish under a picture's name: no picture loads from it
  line-ends.txt                lines ended by LF, CRLF and a lone CR, two of them on the
                               128-byte boundaries where line reads fetch their next chunk
  long-line.txt                a line far wider than any window
  empty.txt                    no bytes at all
  data.bin                     every byte value, NULs included: not a text file
  utf8.txt, utf8-bom.txt,      the same lines in five scripts (Latin, Greek, Cyrillic,
  utf16.txt                    Chinese, Arabic) and one with a tab, as UTF-8 without and
                               with its byte-order mark, and as UTF-16 (little end first,
                               with its mark)
  utf8-late.txt                66,000 ASCII letters, then a line in three scripts
  tabs.txt                     tabs at every column of the first tab stop
  many-lines.txt               500 numbered lines, for scrolling, selecting and finding
  find.txt                     "cat" in and out of words and in every case, a Greek cat
                               in both cases, words with combining accents and an Arabic
                               line, for Find's options and double-clicks
The metafile (picture.emf) is recorded by the check itself, through GDI.
Standard library only; the output is the same on every run.
"""
import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..",
                                "tools"))
from make_pictures import bmp_bytes  # noqa: E402  the game's BMP writer: same format
from make_viewer_samples import gif_bytes, pixels  # noqa: E402  the samples' GIF writer

# ---------------------------------------------------------------------------
# Pictures: a function from (x, y) to an (r, g, b) colour, drawn at a size.
# ---------------------------------------------------------------------------


def harbour(x, y, w, h):
    """A lighthouse on a rock at sea under a sun, in flat colours."""
    horizon = h * 3 // 5
    if (x - w * 4 // 5) ** 2 + (y - h // 4) ** 2 <= (h // 7) ** 2:
        return (255, 214, 40)  # sun
    tower_left, tower_right = w // 4, w // 4 + max(4, w // 10)
    if tower_left <= x < tower_right and h // 6 <= y < horizon + 2:
        if y < h // 6 + 3:
            return (255, 250, 160)  # lamp
        return (220, 30, 30) if ((y - h // 6) // 3) % 2 else (250, 250, 250)
    if y >= horizon - 2 and abs(x - (tower_left + tower_right) // 2) < (y - horizon + 8):
        if y < horizon + 4:
            return (96, 80, 64)  # rock
    if y < horizon:
        return (120 + y * 2, 180 + y, 250)  # sky, lighter towards the horizon
    return (16, 64 + (y % 4) * 12, 140)  # sea, in bands


def gradient(x, y, w, h):
    """Colours that change along both axes, so that every place of it looks different."""
    return (x * 255 // (w - 1), y * 255 // (h - 1), (x * 7 + y * 3) % 256)


def checker(x, y, w, h):
    """A badge: a green disc with a white cross on a checked ground."""
    cx, cy = w // 2, h // 2
    if (x - cx) ** 2 + (y - cy) ** 2 <= (min(w, h) // 2 - 2) ** 2:
        if abs(x - cx) <= 1 or abs(y - cy) <= 1:
            return (255, 255, 255)
        return (30, 150, 60)
    return (200, 200, 200) if (x // 4 + y // 4) % 2 else (90, 90, 110)


# ---------------------------------------------------------------------------
# File formats
# ---------------------------------------------------------------------------


def ico_bytes(rows):
    """A one-image icon file: 32-bit colour, fully opaque, with an empty AND mask."""
    h, w = len(rows), len(rows[0])
    colour = bytearray()
    for row in reversed(rows):
        for r, g, b in row:
            colour += bytes((b, g, r, 255))
    mask = bytes(((w + 31) // 32) * 4 * h)
    image = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(colour) + len(mask),
                        0, 0, 0, 0) + colour + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


# ---------------------------------------------------------------------------
# Texts
# ---------------------------------------------------------------------------


def line_ends_text():
    """Every line-end form, with a CR as the 128th byte (its LF starts the next chunk)
    and a lone CR as the 256th byte."""
    text = b"A line ended by LF\nA line ended by CRLF\r\nA line ended by a lone CR\r"
    text += b"Three kinds, one file\n"
    filler = b"To the first boundary: "
    text += filler + b"x" * (127 - len(text) - len(filler)) + b"\r\n"
    assert text[127:129] == b"\r\n"
    filler = b"And this one up to the second: "
    text += filler + b"y" * (255 - len(text) - len(filler)) + b"\r"
    assert text[255:256] == b"\r"
    text += b"The last line has no end"
    return text


def long_line_text():
    words = b"".join(b"word%04d " % n for n in range(200))
    return b"Short first line\r\n" + words + b"\r\nShort last line\r\n"


UNICODE_LINES = ["Latin: Gr\u00fc\u00dfe aus K\u00f6ln, caf\u00e9 \u00e0 la cr\u00e8me",
                 "Greek: \u039a\u03b1\u03bb\u03b7\u03bc\u03ad\u03c1\u03b1 \u03ba\u03cc\u03c3\u03bc\u03b5",
                 "Cyrillic: \u0414\u043e\u0431\u0440\u043e\u0435 \u0443\u0442\u0440\u043e",
                 "Chinese: \u4f60\u597d\uff0c\u4e16\u754c",
                 "Arabic: \u0645\u0631\u062d\u0628\u0627 \u0628\u0627\u0644\u0639\u0627\u0644\u0645",
                 "A tab:\tand on"]


def tabs_text():
    lines = ["\t".join(["a" * n, "b"]) for n in range(0, 10)]
    return ("\r\n".join(lines + ["x\ty\tz", "\t\tTwo tabs"]) + "\r\n").encode("ascii")


def many_lines_text():
    return b"".join(b"Line %03d of the long text\r\n" % n for n in range(1, 501))


def write(folder, name, data):
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def main():
    if len(sys.argv) != 2:
        raise SystemExit(__doc__)
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    write(out, "picture.bmp", bmp_bytes(pixels(harbour, 64, 40)))
    write(out, "big.bmp", bmp_bytes(pixels(gradient, 600, 400)))
    write(out, "tall.bmp", bmp_bytes(pixels(lambda x, y, w, h: (0, y * 255 // (h - 1), 128),
                                            1, 300)))
    write(out, "picture.ico", ico_bytes(pixels(checker, 32, 32)))
    write(out, "picture.gif", gif_bytes(pixels(harbour, 56, 36)))
    # No GIF header: Wine's OleLoadPicture was seen to keep 25,000 bytes of the process
    # heap for every failed decode of a stream that starts like a GIF, which would hide
    # the viewer's own resources in the check's soak.
    write(out, "broken.gif", bytes(range(7, 250, 3)) * 4)
    write(out, "line-ends.txt", line_ends_text())
    write(out, "long-line.txt", long_line_text())
    write(out, "empty.txt", b"")
    write(out, "data.bin", bytes(range(256)) * 4)
    unicode_text = "\r\n".join(UNICODE_LINES) + "\r\n"
    write(out, "utf8.txt", unicode_text.encode("utf-8"))
    write(out, "utf8-bom.txt", b"\xef\xbb\xbf" + unicode_text.encode("utf-8"))
    write(out, "utf16.txt", b"\xff\xfe" + unicode_text.encode("utf-16-le"))
    # Its first letter beyond ASCII after the first 64 KB the viewer reads at once.
    write(out, "utf8-late.txt", b"a" * 66000 + "\r\n\u00e9 \u0416 \u6c34\r\n".encode("utf-8"))
    write(out, "tabs.txt", tabs_text())
    write(out, "many-lines.txt", many_lines_text())
    write(out, "find.txt", b"Cat and cat\r\nconcatenate\r\nthe CAT sat\r\ncat\r\n" +
          "\u03b7 \u03b3\u03ac\u03c4\u03b1 \u03ba\u03b1\u03b9 \u03b7 "
          "\u0393\u0386\u03a4\u0391\r\n"  # η γάτα και η ΓΆΤΑ
          "cafe\u0301 nai\u0308ve re\u0301sume\u0301\r\n"  # accents apart
          "\u0645\u0631\u062d\u0628\u0627 \u0628\u0627\u0644\u0639\u0627\u0644\u0645 "
          "\u0646\u0635\r\n".encode("utf-8"))  # Arabic, shown right to left


if __name__ == "__main__":
    main()
