// Checks on the bytes of picture files, made before the platform's decoders see them: a
// file whose headers send a decoder past its end, into a loop without end or into work
// without bound is refused. Each check looks only at the bytes it is given and reads none
// past their end. Relies on nothing but the C library; which loader uses which check is
// image_load's.
#include "runtime/draw/draw_internal.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

constexpr SIZE_T FILE_HEADER = 14;     // BITMAPFILEHEADER
constexpr SIZE_T SMALLEST_INFO = 12;   // BITMAPCOREHEADER
constexpr int64_t MOST_SIDE = 1 << 20; // pixels a side: keeps the sizes' products in range

// The little-endian 16- or 32-bit integer at offset of size bytes; 0 past their end.
uint32_t read_le(const uint8_t* bytes, SIZE_T size, SIZE_T offset, SIZE_T width) {
    uint32_t value = 0;
    for (SIZE_T i = 0; i < width && offset + i < size; ++i) {
        value |= static_cast<uint32_t>(bytes[offset + i]) << (8 * i);
    }
    return offset + width <= size ? value : 0;
}

// The parts of a DIB whose header is at info: where its colour table ends, and the bytes
// of its pixel rows (an icon's image holds colour rows and mask rows in twice its height);
// rows 0 when it has no width or no height, or more than MOST_SIDE of either.
struct DibParts {
    uint64_t table_end;
    uint64_t rows;
};
DibParts dib_parts(const uint8_t* bytes, SIZE_T size, SIZE_T info, bool icon) {
    const uint32_t header = read_le(bytes, size, info, 4);
    const bool core = header < 40; // BITMAPCOREHEADER: 16-bit sizes, 3-byte colours
    const int64_t width = core ? read_le(bytes, size, info + 4, 2)
                               : static_cast<int32_t>(read_le(bytes, size, info + 4, 4));
    const int64_t height = core ? read_le(bytes, size, info + 6, 2)
                                : static_cast<int32_t>(read_le(bytes, size, info + 8, 4));
    const uint64_t depth = std::min(read_le(bytes, size, info + (core ? 10 : 14), 2), 64u);
    const uint32_t compression = core ? BI_RGB : read_le(bytes, size, info + 16, 4);
    const uint64_t used = core ? 0 : read_le(bytes, size, info + 32, 4);
    const uint64_t colours = used != 0 ? used : depth <= 8 ? uint64_t{1} << depth : 0;
    const uint64_t masks = compression == BI_BITFIELDS && header == 40 ? 12 : 0;
    const uint64_t rows =
        (height < 0 ? static_cast<uint64_t>(-height) : static_cast<uint64_t>(height)) /
        (icon ? 2 : 1);
    const auto row_bytes = [&](uint64_t bits) {
        return (static_cast<uint64_t>(width) * bits + 31) / 32 * 4;
    };
    const uint64_t pixels = compression == BI_RGB || compression == BI_BITFIELDS
                                ? row_bytes(depth) * rows
                                : read_le(bytes, size, info + 20, 4);
    return {info + header + masks + colours * (core ? 3 : 4),
            width <= 0 || width > MOST_SIDE || rows == 0 || rows > uint64_t{MOST_SIDE}
                ? 0
                : pixels + (icon ? row_bytes(1) * rows : 0)};
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// True for bytes that start as a bitmap file but end before its two headers do.
// NOTE: Wine's picture decoder reads such a file's headers past the end of the bytes it
// was given, so whether it makes a picture depends on whatever memory follows.
bool is_cut_bitmap(const uint8_t* bytes, SIZE_T size) {
    if (size < 2 || bytes[0] != 'B' || bytes[1] != 'M') {
        return false;
    }
    const uint32_t info_size = read_le(bytes, size, FILE_HEADER, 4);
    return size < FILE_HEADER + 4 || info_size < SMALLEST_INFO || size - FILE_HEADER < info_size;
}

// True for a bitmap file whose colour table or pixel rows lie past the end of its bytes.
// NOTE: Wine's LoadImageA reads a bitmap file's colours and rows where its headers say
// they are, and faults past the end of a file that holds less.
bool is_overrun_bitmap(const uint8_t* bytes, SIZE_T size) {
    if (size < 2 || bytes[0] != 'B' || bytes[1] != 'M') {
        return false; // no bitmap file: the platform's to judge
    }
    const DibParts parts = dib_parts(bytes, size, FILE_HEADER, false);
    return is_cut_bitmap(bytes, size) || parts.rows == 0 || parts.table_end > size ||
           read_le(bytes, size, 10, 4) + parts.rows > size;
}

// True for an icon or cursor directory with an image that lies past the end of its bytes,
// or whose own header asks for more rows than it holds.
// NOTE: Wine's picture decoder reads an icon's image at the offset its directory gives, and
// the image's rows as its header counts them.
bool is_overrun_icon(const uint8_t* bytes, SIZE_T size) {
    const uint32_t type = read_le(bytes, size, 2, 2);
    const uint32_t count = read_le(bytes, size, 4, 2);
    if (size < 6 || read_le(bytes, size, 0, 2) != 0 || (type != 1 && type != 2) || count == 0) {
        return false;
    }
    for (uint32_t i = 0; i < count; ++i) {
        const SIZE_T entry = 6 + 16 * static_cast<SIZE_T>(i);
        const uint64_t length = read_le(bytes, size, entry + 8, 4);
        const uint64_t offset = read_le(bytes, size, entry + 12, 4);
        if (entry + 16 > size || offset + length > size) {
            return true;
        }
        const DibParts parts = dib_parts(bytes, size, offset, true);
        const bool png = read_le(bytes, size, offset, 4) == 0x474E5089; // "\x89PNG"
        if (!png && (parts.rows == 0 || parts.table_end + parts.rows > offset + length)) {
            return true;
        }
    }
    return false;
}

// True for an enhanced metafile whose header gives inverted or outsize bounds or frame,
// or no or outsize device and millimetre sizes, or whose records do not lead, each within
// the bytes, to its end record, or whose text records hold their characters or spacing
// elsewhere than in themselves, or whose shapes lie outside any picture.
// NOTE: Wine plays a record of size 0 again and again for ever, reads a text record's
// characters and spacing where its offsets say, and draws at the scale the sizes give,
// working out a shape's every point, however far away.
bool is_broken_metafile(const uint8_t* bytes, SIZE_T size) {
    constexpr uint32_t SIGNATURE = 0x464D4520; // " EMF"
    constexpr int64_t MOST = 1 << 24;          // coordinates and sizes a picture can have
    const auto value = [&](SIZE_T at) { return static_cast<int32_t>(read_le(bytes, size, at, 4)); };
    if (value(0) != EMR_HEADER || static_cast<uint32_t>(value(40)) != SIGNATURE) {
        return false;
    }
    for (SIZE_T rect : {8, 24}) { // rclBounds, rclFrame: inclusive, within MOST
        if (value(rect + 8) < value(rect) || value(rect + 12) < value(rect + 4) ||
            std::abs(int64_t{value(rect)}) > MOST || std::abs(int64_t{value(rect + 4)}) > MOST ||
            int64_t{value(rect + 8)} - value(rect) > MOST ||
            int64_t{value(rect + 12)} - value(rect + 4) > MOST) {
            return true;
        }
    }
    for (SIZE_T extent : {72, 76, 80, 84}) { // szlDevice, szlMillimeters
        if (value(extent) <= 0 || value(extent) > MOST) {
            return true;
        }
    }
    const uint64_t described =
        uint64_t{read_le(bytes, size, 64, 4)} + 2ull * read_le(bytes, size, 60, 4);
    if (read_le(bytes, size, 48, 4) > size ||
        (read_le(bytes, size, 60, 4) != 0 && described > read_le(bytes, size, 4, 4))) {
        return true;
    }
    for (SIZE_T at = 0; at + 8 <= size;) {
        const uint32_t type = read_le(bytes, size, at, 4);
        const uint64_t length = read_le(bytes, size, at + 4, 4);
        if (length < 8 || length % 4 != 0 || length > size - at) {
            return true;
        }
        if (type == EMR_EOF) {
            return false;
        }
        // Records with a box or a point at offset 8: its coordinates, and how many.
        const uint32_t shapes[][2] = {{EMR_ELLIPSE, 4}, {EMR_RECTANGLE, 4}, {EMR_ROUNDRECT, 4},
                                      {EMR_ARC, 8},     {EMR_CHORD, 8},     {EMR_PIE, 8},
                                      {EMR_ARCTO, 8},   {EMR_MOVETOEX, 2},  {EMR_LINETO, 2}};
        for (const auto& shape : shapes) {
            for (uint32_t i = 0; type == shape[0] && i < shape[1]; ++i) {
                if (length < 8 + 4 * shape[1] || std::abs(int64_t{value(at + 8 + 4 * i)}) > MOST) {
                    return true;
                }
            }
        }
        if (type == EMR_EXTTEXTOUTA || type == EMR_EXTTEXTOUTW) { // EMREXTTEXTOUT's EMRTEXT
            const uint64_t characters = read_le(bytes, size, at + 44, 4);
            const uint64_t spacing = (read_le(bytes, size, at + 52, 4) & ETO_PDY) != 0 ? 8 : 4;
            const uint64_t dx = read_le(bytes, size, at + 72, 4);
            if (length < 76 ||
                read_le(bytes, size, at + 48, 4) + characters * (type == EMR_EXTTEXTOUTW ? 2 : 1) >
                    length ||
                (dx != 0 && dx + characters * spacing > length)) {
                return true;
            }
        }
        at += length;
    }
    return true;
}

// True for a GIF whose blocks do not lead, each within the bytes, from its screen to its
// trailer through at least one image, each image with a size and on the screen.
// NOTE: Wine's GIF decoder keeps about 25 KB of every GIF it fails to read.
bool is_broken_gif(const uint8_t* bytes, SIZE_T size) {
    if (size < 6 ||
        (std::memcmp(bytes, "GIF87a", 6) != 0 && std::memcmp(bytes, "GIF89a", 6) != 0)) {
        return false;
    }
    const auto table = [&](SIZE_T flags_at) {
        const uint32_t flags = read_le(bytes, size, flags_at, 1);
        return (flags & 0x80) != 0 ? SIZE_T{3} << ((flags & 7) + 1) : 0;
    };
    int32_t images = 0;
    for (SIZE_T at = 13 + table(10); at < size && size >= 13;) {
        const uint8_t block = bytes[at];
        if (block == 0x3B) {
            return images == 0; // the trailer
        }
        if (block == 0x2C) { // an image: its place and size, colours and code size
            const auto word = [&](SIZE_T offset) { return read_le(bytes, size, offset, 2); };
            const bool on_screen = word(at + 5) != 0 && word(at + 7) != 0 &&
                                   word(at + 1) + word(at + 5) <= word(6) &&
                                   word(at + 3) + word(at + 7) <= word(8);
            at += 10 + table(at + 9);
            const uint32_t code_size = read_le(bytes, size, at++, 1);
            if (!on_screen || code_size < 2 || code_size > 8) {
                return true;
            }
            ++images;
        } else if (block == 0x21) { // an extension: its label
            at += 2;
        } else {
            return true;
        }
        for (uint32_t length = 1; length != 0; at += length) { // the data's sub-blocks
            if (at >= size) {
                return true;
            }
            length = bytes[at++];
        }
    }
    return true;
}

// True for a JPEG whose frame holds more than MOST_PIXELS pixels, whatever its size in bytes.
// NOTE: Wine's JPEG decoder makes and fills the whole picture its frame header gives: a frame
// of 26,366 x 28,445 in an 849-byte file held it for more than 20 s.
bool is_outsize_jpeg(const uint8_t* bytes, SIZE_T size) {
    constexpr uint64_t MOST_PIXELS = 1 << 26; // 8,192 x 8,192
    const auto word = [&](SIZE_T at) {        // big-endian
        return at + 2 <= size ? uint32_t{bytes[at]} << 8 | bytes[at + 1] : 0;
    };
    if (word(0) != 0xFFD8) {
        return false;
    }
    // Segments: a marker, then a length that counts itself; the frame header (SOF0 to SOF15
    // but DHT, JPG and DAC) holds precision, height and width. Markers past the frame's
    // scan are not looked at.
    for (SIZE_T at = 2; at + 4 <= size && bytes[at] == 0xFF;) {
        const uint32_t marker = bytes[at + 1];
        if (marker == 0xDA || marker == 0xD9) {
            return false;
        }
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
            marker != 0xCC) {
            return uint64_t{word(at + 5)} * word(at + 7) > MOST_PIXELS;
        }
        at += 2 + word(at + 2);
    }
    return false;
}

// True for bytes that begin as none of the pictures the platform's picture decoder reads:
// bitmap, JPEG, GIF, PNG, icon, cursor, enhanced or placeable metafile.
// NOTE: Wine's picture decoder guesses at other bytes and faults on some of them.
bool is_unknown_picture(const uint8_t* bytes, SIZE_T size) {
    const uint32_t first = read_le(bytes, size, 0, 4);
    const uint32_t word = first & 0xFFFF;
    return !(word == 0x4D42 || word == 0xD8FF || first == 0x38464947 || first == 0x474E5089 ||
             first == 0x00010000 || first == 0x00020000 || first == 0x9AC6CDD7 ||
             (first == EMR_HEADER && read_le(bytes, size, 40, 4) == 0x464D4520));
}
