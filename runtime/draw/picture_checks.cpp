// Checks on the bytes of picture files, made before the platform's decoders see them. Each
// refuses only what was seen to crash, hang or leak in Wine's decoders, and answers with the
// reason in a few words for the debugger output; every other file is the platform's to decode
// or to refuse. Each check looks only at the bytes it is given and reads none past their end.
// Relies on nothing but the C library; which loader uses which check is image_load's.
#include "runtime/draw/draw_internal.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

constexpr SIZE_T FILE_HEADER = 14; // BITMAPFILEHEADER
constexpr uint64_t NONE = std::numeric_limits<uint64_t>::max();

// The little-endian integer of width bytes at offset; 0 when it does not lie within the bytes.
uint32_t read_le(const uint8_t* bytes, SIZE_T size, uint64_t offset, SIZE_T width) {
    if (offset > size || width > size - offset) {
        return 0;
    }
    uint32_t value = 0;
    for (SIZE_T i = 0; i < width; ++i) {
        value |= static_cast<uint32_t>(bytes[offset + i]) << (8 * i);
    }
    return value;
}

int32_t read_int(const uint8_t* bytes, SIZE_T size, uint64_t offset) {
    return static_cast<int32_t>(read_le(bytes, size, offset, 4));
}

// The signed 32-bit integer at offset, as a real number (for sizes worked out as reals).
double read_real(const uint8_t* bytes, SIZE_T size, uint64_t offset) {
    return static_cast<double>(read_int(bytes, size, offset));
}

float read_float(const uint8_t* bytes, SIZE_T size, uint64_t offset) {
    const uint32_t bits = read_le(bytes, size, offset, 4);
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// count * each, or NONE when the product does not fit.
uint64_t times(uint64_t count, uint64_t each) {
    return each != 0 && count > NONE / each ? NONE : count * each;
}

// True when length bytes from offset do not all lie within limit.
bool past(uint64_t offset, uint64_t length, uint64_t limit) {
    return offset > limit || length > limit - offset;
}

// The header of a DIB at info: its sizes, depth and where its colour table ends.
struct Dib {
    int64_t width;
    int64_t height;
    uint32_t depth;
    uint32_t compression;
    uint64_t table_end;
};
Dib dib_header(const uint8_t* bytes, SIZE_T size, uint64_t info) {
    const uint32_t header = read_le(bytes, size, info, 4);
    Dib dib = {};
    if (header < 40) { // BITMAPCOREHEADER: 16-bit sizes, 3-byte colours
        dib.width = read_le(bytes, size, info + 4, 2);
        dib.height = read_le(bytes, size, info + 6, 2);
        dib.depth = read_le(bytes, size, info + 10, 2);
        dib.compression = BI_RGB;
    } else {
        dib.width = read_int(bytes, size, info + 4);
        dib.height = read_int(bytes, size, info + 8);
        dib.depth = read_le(bytes, size, info + 14, 2);
        dib.compression = read_le(bytes, size, info + 16, 4);
    }
    const uint64_t used = header < 40 ? 0 : read_le(bytes, size, info + 32, 4);
    const uint64_t colours = used != 0 ? used : dib.depth <= 8 ? uint64_t{1} << dib.depth : 0;
    const uint64_t masks = dib.compression == BI_BITFIELDS && header == 40 ? 12 : 0;
    dib.table_end = info + header + masks + times(colours, header < 40 ? 3 : 4);
    return dib;
}

// The bytes of a DIB's pixel rows of a height of rows (its size field for compressed ones).
uint64_t dib_pixels(const uint8_t* bytes, SIZE_T size, uint64_t info, const Dib& dib,
                    uint64_t rows) {
    if (dib.width <= 0 || rows == 0) {
        return 0;
    }
    if (dib.compression != BI_RGB && dib.compression != BI_BITFIELDS) {
        return read_le(bytes, size, info + 20, 4);
    }
    const uint64_t row = (static_cast<uint64_t>(dib.width) * dib.depth + 31) / 32 * 4;
    return times(row, rows);
}

// ---- PNG (icon entries) ----

// A PNG's image data, the deflate stream in its IDAT chunks, read a bit at a time from the
// low bit of each byte; the first chunk that is no IDAT, or one that runs past the bytes,
// ends it.
struct ImageData {
    const uint8_t* bytes;
    SIZE_T size;
    uint64_t at;   // the next byte
    uint64_t left; // bytes left in this chunk
    uint64_t acc;
    uint32_t held;
    bool ended; // read past the end of the data
};

uint32_t big_endian(const uint8_t* bytes, SIZE_T size, uint64_t at) {
    const uint32_t value = read_le(bytes, size, at, 4);
    return value >> 24 | (value >> 8 & 0xFF00) | (value << 8 & 0xFF0000) | value << 24;
}

uint32_t data_byte(ImageData& data) {
    while (data.left == 0) { // the next chunk, after this one's CRC
        const uint64_t at = data.at + 4;
        data.left = big_endian(data.bytes, data.size, at);
        if (past(at, 8 + data.left, data.size) ||
            std::memcmp(data.bytes + at + 4, "IDAT", 4) != 0) {
            data.ended = true;
            return 0;
        }
        data.at = at + 8;
    }
    --data.left;
    return data.bytes[data.at++];
}

uint32_t bits(ImageData& data, uint32_t count) {
    while (data.held < count && !data.ended) {
        data.acc |= uint64_t{data_byte(data)} << data.held, data.held += 8;
    }
    const uint32_t value = static_cast<uint32_t>(data.acc) & ((1u << count) - 1);
    data.acc >>= count, data.held -= std::min(count, data.held);
    return value;
}

// A canonical Huffman code: how many codes of each length, and the symbols in code order.
struct Huffman {
    uint16_t counts[16];
    uint16_t symbols[288];
};

// False when the lengths of n symbols make no code (more codes of a length than fit).
bool make_code(Huffman& code, const uint8_t* lengths, uint32_t n) {
    uint16_t offsets[16] = {};
    std::memset(code.counts, 0, sizeof code.counts);
    for (uint32_t i = 0; i < n; ++i) {
        ++code.counts[lengths[i]];
    }
    int32_t left = 1;
    for (uint32_t length = 1; length < 16; ++length) {
        left = 2 * left - code.counts[length];
        offsets[length] =
            static_cast<uint16_t>(length == 1 ? 0 : offsets[length - 1] + code.counts[length - 1]);
        if (left < 0) {
            return false;
        }
    }
    for (uint32_t i = 0; i < n; ++i) {
        if (lengths[i] != 0) {
            code.symbols[offsets[lengths[i]]++] = static_cast<uint16_t>(i);
        }
    }
    return true;
}

// The next symbol of a code; -1 for a code it does not hold.
int32_t decode(ImageData& data, const Huffman& code) {
    int32_t value = 0, first = 0, index = 0;
    for (uint32_t length = 1; length < 16 && !data.ended; ++length) {
        value |= static_cast<int32_t>(bits(data, 1));
        if (value - first < code.counts[length]) {
            return code.symbols[index + value - first];
        }
        index += code.counts[length], first = (first + code.counts[length]) << 1, value <<= 1;
    }
    return -1;
}

// Where a PNG's rows begin in its decompressed image data: each row's filter byte, row by
// row, pass by pass (Adam7's seven when interlaced).
struct Rows {
    uint64_t width, height, bits; // bits a pixel
    uint32_t pass, passes;
    uint64_t row, row_bytes, next; // the next filter byte's place; NONE after the last
    uint64_t end;                  // after the last row
};

// Move to the next row, in this pass or the next that holds pixels; false after the last.
bool next_row(Rows& rows) {
    static const uint8_t start_x[] = {0, 4, 0, 2, 0, 1, 0}, start_y[] = {0, 0, 4, 0, 2, 0, 1};
    static const uint8_t step_x[] = {8, 8, 4, 4, 2, 2, 1}, step_y[] = {8, 8, 8, 4, 4, 2, 2};
    rows.next += rows.row_bytes;
    while (rows.row == 0 && rows.pass < rows.passes) { // the next pass: its height in rows
        const uint32_t p = rows.passes == 1 ? 6 : rows.pass;
        const uint64_t across =
            rows.width > start_x[p] ? (rows.width - start_x[p] + step_x[p] - 1) / step_x[p] : 0;
        const uint64_t down = rows.passes == 1 ? rows.height
                              : rows.height > start_y[p]
                                  ? (rows.height - start_y[p] + step_y[p] - 1) / step_y[p]
                                  : 0;
        rows.row = across == 0 ? 0 : down;
        rows.row_bytes = 1 + (times(across, rows.bits) + 7) / 8;
        ++rows.pass;
    }
    if (rows.row == 0) {
        rows.end = rows.next, rows.next = NONE;
        return false;
    }
    --rows.row;
    return true;
}

// Why a PNG must not be decoded as an icon's image; null when it may. Its image data must
// decompress in full (the stream ended, its checksum right) to at least the rows its header
// gives, each led by a filter byte of 0 to 4.
// NOTE: Wine, decoding an icon's PNG, keeps the whole decoded picture (16 MB for 2,000 x
// 2,000) whenever the decoding fails after it made it: for a stream cut short, one that ends
// before the last row, a wrong checksum or a filter byte above 4. It skips the chunks' CRCs,
// reads no chunk after the image data and takes more data than the rows need.
const char* png_fault(const uint8_t* bytes, SIZE_T size) {
    constexpr const char* FAULT = "PNG image data that does not decode to the whole image";
    constexpr uint32_t WINDOW = 1 << 15;
    static const uint16_t length_base[] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                           15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                           67, 83, 99, 115, 131, 163, 195, 227, 258};
    static const uint16_t distance_base[] = {
        1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
        193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
    static const uint8_t order[] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                    11, 4,  12, 3, 13, 2, 14, 1, 15};
    const uint32_t depth = read_le(bytes, size, 24, 1), colour = read_le(bytes, size, 25, 1);
    const uint32_t channels = colour == 0 || colour == 3 ? 1
                              : colour == 2              ? 3
                              : colour == 4              ? 2
                                                         : 4;
    if (size < 33 || std::memcmp(bytes + 12, "IHDR", 4) != 0 || colour > 6 || colour == 1 ||
        colour == 5 || depth == 0 || depth > 16 || (depth & (depth - 1)) != 0) {
        return nullptr; // Wine refuses the header before it makes the picture
    }
    Rows rows = {big_endian(bytes, size, 16),
                 big_endian(bytes, size, 20),
                 depth * channels,
                 0,
                 read_le(bytes, size, 28, 1) == 1 ? 7u : 1u,
                 0,
                 0,
                 0,
                 0};
    if (!next_row(rows)) {
        return nullptr;
    }
    // The image data from the first IDAT chunk, found past the chunks before it.
    ImageData data = {bytes, size, 8 - 4, 0, 0, 0, false};
    for (uint64_t at = 8; !past(at, 8, size); at += 12 + uint64_t{big_endian(bytes, size, at)}) {
        if (std::memcmp(bytes + at + 4, "IDAT", 4) == 0) {
            data.at = at - 4; // data_byte reads a chunk's header after the CRC before it
            break;
        }
    }
    uint8_t window[WINDOW];
    uint64_t made = 0;
    uint32_t a = 1, b = 0; // the Adler-32 checksum of what is made
    const auto make = [&](uint8_t value) {
        window[made % WINDOW] = value;
        if (made == rows.next) {
            if (value > 4) {
                return false;
            }
            next_row(rows);
        }
        ++made, a = (a + value) % 65521, b = (b + a) % 65521;
        return true;
    };
    const uint32_t header = bits(data, 16);
    if ((header & 0x0F) != 8 || (header & 0xF0) > 0x70 || (header & 0x2000) != 0 ||
        ((header & 0xFF) << 8 | header >> 8) % 31 != 0) {
        return FAULT;
    }
    for (uint32_t last = 0; last == 0;) {
        last = bits(data, 1);
        const uint32_t type = bits(data, 2);
        if (data.ended || type == 3) {
            return FAULT;
        }
        if (type == 0) { // stored: from the next byte, a length and its complement
            data.acc = 0, data.held = 0;
            const uint32_t length = data_byte(data) | data_byte(data) << 8;
            const uint32_t check = data_byte(data) | data_byte(data) << 8;
            if (data.ended || (length ^ 0xFFFF) != check) {
                return FAULT;
            }
            for (uint32_t i = 0; i < length; ++i) {
                const uint8_t value = static_cast<uint8_t>(data_byte(data));
                if (data.ended || !make(value)) {
                    return FAULT;
                }
            }
            continue;
        }
        Huffman lengths_code, distances_code;
        uint8_t lengths[320] = {};
        uint32_t literals = 288, distances = 30;
        if (type == 1) { // the fixed codes
            std::memset(lengths, 8, 144), std::memset(lengths + 144, 9, 112);
            std::memset(lengths + 256, 7, 24), std::memset(lengths + 280, 8, 8);
            std::memset(lengths + 288, 5, 30);
        } else { // codes of their own, their lengths coded by a code of code lengths
            literals = bits(data, 5) + 257, distances = bits(data, 5) + 1;
            const uint32_t count = bits(data, 4) + 4;
            uint8_t code_lengths[19] = {};
            for (uint32_t i = 0; i < count; ++i) {
                code_lengths[order[i]] = static_cast<uint8_t>(bits(data, 3));
            }
            Huffman code_code;
            if (literals > 286 || distances > 30 || !make_code(code_code, code_lengths, 19)) {
                return FAULT;
            }
            for (uint32_t i = 0; i < literals + distances;) {
                const int32_t symbol = decode(data, code_code);
                uint32_t repeat = 1, value = static_cast<uint32_t>(symbol);
                if (symbol < 0 || (symbol == 16 && i == 0)) {
                    return FAULT;
                }
                if (symbol >= 16) {
                    value = symbol == 16 ? lengths[i - 1] : 0;
                    repeat = symbol == 16   ? 3 + bits(data, 2)
                             : symbol == 17 ? 3 + bits(data, 3)
                                            : 11 + bits(data, 7);
                }
                if (i + repeat > literals + distances) {
                    return FAULT;
                }
                std::memset(lengths + i, static_cast<int>(value), repeat), i += repeat;
            }
            std::memmove(lengths + 288, lengths + literals, distances);
            std::memset(lengths + literals, 0, 288 - literals);
        }
        if (!make_code(lengths_code, lengths, 288) ||
            !make_code(distances_code, lengths + 288, 30)) {
            return FAULT;
        }
        for (int32_t symbol = 0; symbol != 256;) {
            symbol = decode(data, lengths_code);
            if (symbol < 0 || symbol > 285) {
                return FAULT;
            }
            if (symbol < 256) {
                if (!make(static_cast<uint8_t>(symbol))) {
                    return FAULT;
                }
            } else if (symbol > 256) { // a length, then a distance back into what is made
                const uint32_t l = static_cast<uint32_t>(symbol) - 257;
                const uint32_t length =
                    length_base[l] + bits(data, l < 8 || l == 28 ? 0 : (l - 4) / 4);
                const int32_t d = decode(data, distances_code);
                if (d < 0 || d > 29) {
                    return FAULT;
                }
                const uint32_t distance = distance_base[d] + bits(data, d < 4 ? 0 : (d - 2) / 2);
                if (distance > made) {
                    return FAULT;
                }
                for (uint32_t i = 0; i < length; ++i) {
                    if (!make(window[(made - distance) % WINDOW])) {
                        return FAULT;
                    }
                }
            }
            if (data.ended) {
                return FAULT;
            }
        }
    }
    data.acc = 0, data.held = 0; // the checksum, from the next byte, high byte first
    uint32_t checksum = 0;
    for (int i = 0; i < 4; ++i) {
        checksum = checksum << 8 | data_byte(data);
    }
    return data.ended || checksum != (b << 16 | a) || rows.next != NONE || made < rows.end
               ? FAULT
               : nullptr;
}

// Why an icon or cursor directory (any bytes that begin with a zero word, which Wine's picture
// decoder reads as one) must not be decoded; null when it may.
const char* icon_fault(const uint8_t* bytes, SIZE_T size) {
    // NOTE: Wine refuses a directory of no entries itself, and may read every entry.
    const uint32_t count = read_le(bytes, size, 4, 2);
    if (past(6, 16 * uint64_t{count}, size)) {
        return "icon directory past the end of the file";
    }
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t entry = 6 + 16 * uint64_t{i};
        const uint64_t length = read_le(bytes, size, entry + 8, 4);
        const uint64_t offset = read_le(bytes, size, entry + 12, 4);
        if (past(offset, length, size)) {
            return "icon image past the end of the file";
        }
        if (read_le(bytes, size, offset, 4) == 0x474E5089) { // "\x89PNG": decoded as a PNG
            if (const char* fault = png_fault(bytes + offset, static_cast<SIZE_T>(length))) {
                return fault;
            }
            continue;
        }
        // The image's header counts colour and mask rows; Wine reads the colour rows only
        // where an image has no mask.
        const Dib dib = dib_header(bytes, size, offset);
        const uint64_t rows = static_cast<uint64_t>(std::abs(dib.height)) / 2;
        if (dib.width <= 0 || rows == 0) {
            return "icon image without a width or a height";
        }
        if (past(dib.table_end, dib_pixels(bytes, size, offset, dib, rows), offset + length)) {
            return "icon image rows past the end of its entry";
        }
    }
    return nullptr;
}

// ---- Metafiles ----

// What a metafile's records have set that decides how large a curve is drawn: the page's
// window and viewport extents (per axis) and the world transform's linear part.
struct Mapping {
    double window[2];
    double viewport[2];
    double world[4]; // eM11, eM12, eM21, eM22
    uint32_t mode;
};

// Set a map mode in a metafile whose reference device has per_mm pixels a millimetre: a
// fixed mode sets the extents by its logical unit (in millimetres; MM_TEXT's is a pixel),
// the free modes keep them. Other values change nothing, as in GDI.
void set_map_mode(Mapping& map, uint32_t mode, const double per_mm[2]) {
    const double unit_mm[] = {0, 0, 0.1, 0.01, 0.254, 0.0254, 25.4 / 1440};
    if (mode < MM_TEXT || mode > MM_ANISOTROPIC) {
        return;
    }
    map.mode = mode;
    for (int axis = 0; axis < 2 && mode <= MM_TWIPS; ++axis) {
        map.window[axis] = 1;
        map.viewport[axis] = mode == MM_TEXT ? 1 : unit_mm[mode] * per_mm[axis];
    }
}

// The largest side, in device units, of a curve whose box is w x h logical units.
double curve_side(const Mapping& map, double w, double h, int axis) {
    double scale = std::abs(map.viewport[axis] / map.window[axis]);
    if (map.mode == MM_ISOTROPIC) { // both axes at the smaller scale
        scale = std::min(std::abs(map.viewport[0] / map.window[0]),
                         std::abs(map.viewport[1] / map.window[1]));
    }
    return (std::abs(map.world[axis] * w) + std::abs(map.world[axis + 2] * h)) * scale;
}

// Apply a metafile record that changes the mapping: map modes, extents, world transforms and
// saved states.
void apply_mapping(Mapping& map, Mapping* saved, uint32_t& depth, uint32_t type,
                   const uint8_t* bytes, SIZE_T size, uint64_t at, const double per_mm[2]) {
    constexpr uint32_t MOST_SAVED = 16;
    const bool free_extents = map.mode == MM_ISOTROPIC || map.mode == MM_ANISOTROPIC;
    const auto integer = [&](int field) { return read_real(bytes, size, at + 8 + 4 * field); };
    if (type == EMR_SETMAPMODE) {
        set_map_mode(map, read_le(bytes, size, at + 8, 4), per_mm);
    } else if ((type == EMR_SETWINDOWEXTEX || type == EMR_SETVIEWPORTEXTEX) && free_extents &&
               integer(0) != 0 && integer(1) != 0) {
        double* extent = type == EMR_SETWINDOWEXTEX ? map.window : map.viewport;
        extent[0] = integer(0), extent[1] = integer(1);
    } else if ((type == EMR_SCALEWINDOWEXTEX || type == EMR_SCALEVIEWPORTEXTEX) && free_extents &&
               integer(0) * integer(1) * integer(2) * integer(3) != 0) {
        double* extent = type == EMR_SCALEWINDOWEXTEX ? map.window : map.viewport;
        extent[0] *= integer(0) / integer(1), extent[1] *= integer(2) / integer(3);
    } else if (type == EMR_SETWORLDTRANSFORM || type == EMR_MODIFYWORLDTRANSFORM) {
        constexpr uint32_t SET = 4; // MWT_SET
        double given[4];
        for (int i = 0; i < 4; ++i) {
            given[i] = read_float(bytes, size, at + 8 + 4 * i);
        }
        const uint32_t how = type == EMR_SETWORLDTRANSFORM ? SET : read_le(bytes, size, at + 32, 4);
        if (how < MWT_IDENTITY || how > SET) {
            return;
        }
        const double* a = how == MWT_LEFTMULTIPLY ? given : map.world;
        const double* b = how == MWT_LEFTMULTIPLY ? map.world : given;
        const double product[4] = {a[0] * b[0] + a[1] * b[2], a[0] * b[1] + a[1] * b[3],
                                   a[2] * b[0] + a[3] * b[2], a[2] * b[1] + a[3] * b[3]};
        const double identity[4] = {1, 0, 0, 1};
        std::memcpy(map.world,
                    how == MWT_IDENTITY ? identity
                    : how == SET        ? given
                                        : product,
                    sizeof map.world);
    } else if (type == EMR_SAVEDC && depth < MOST_SAVED) {
        saved[depth++] = map;
    } else if (type == EMR_RESTOREDC) {
        const int32_t which = read_int(bytes, size, at + 8);
        const int64_t level = which < 0 ? int64_t{depth} + which : which - 1;
        if (level >= 0 && level < depth) {
            map = saved[level];
            depth = static_cast<uint32_t>(level);
        }
    }
}

// Where a record that lists points, or text, holds them: its count's offset, where the
// points begin, and the bytes of each (with the bytes of a point's type for PolyDraw).
struct Counted {
    uint32_t type;
    uint32_t count_at;
    uint32_t first_at;
    uint32_t each;
};
constexpr Counted COUNTED[] = {
    {EMR_POLYBEZIER, 24, 28, 8},   {EMR_POLYGON, 24, 28, 8},     {EMR_POLYLINE, 24, 28, 8},
    {EMR_POLYBEZIERTO, 24, 28, 8}, {EMR_POLYLINETO, 24, 28, 8},  {EMR_POLYBEZIER16, 24, 28, 4},
    {EMR_POLYGON16, 24, 28, 4},    {EMR_POLYLINE16, 24, 28, 4},  {EMR_POLYBEZIERTO16, 24, 28, 4},
    {EMR_POLYLINETO16, 24, 28, 4}, {EMR_POLYDRAW, 24, 28, 9},    {EMR_POLYDRAW16, 24, 28, 5},
    {EMR_POLYPOLYLINE, 28, 32, 8}, {EMR_POLYPOLYGON, 28, 32, 8}, {EMR_POLYPOLYLINE16, 28, 32, 4},
    {EMR_POLYPOLYGON16, 28, 32, 4}};

// True when a record's points or text lie outside its first length bytes.
bool contents_outside(const uint8_t* bytes, SIZE_T size, uint64_t at, uint32_t type,
                      uint64_t length) {
    if (type == EMR_EXTTEXTOUTA || type == EMR_EXTTEXTOUTW) { // EMREXTTEXTOUT's EMRTEXT
        const uint64_t characters = read_le(bytes, size, at + 44, 4);
        const uint64_t spacing = (read_le(bytes, size, at + 52, 4) & ETO_PDY) != 0 ? 8 : 4;
        const uint64_t dx = read_le(bytes, size, at + 72, 4);
        return length < 76 ||
               past(read_le(bytes, size, at + 48, 4),
                    times(characters, type == EMR_EXTTEXTOUTW ? 2 : 1), length) ||
               (dx != 0 && past(dx, times(characters, spacing), length));
    }
    for (const Counted& counted : COUNTED) {
        if (counted.type == type) {
            // Poly-polygons: a count a polygon before their points, and their points' total.
            const uint64_t polygons = counted.count_at == 28 ? read_le(bytes, size, at + 24, 4) : 0;
            const uint64_t first = counted.first_at + times(polygons, 4);
            uint64_t total = 0;
            for (uint64_t i = 0; i < polygons && !past(counted.first_at, 4 * (i + 1), length);
                 ++i) {
                total += read_le(bytes, size, at + counted.first_at + 4 * i, 4);
            }
            const uint64_t count =
                std::max<uint64_t>(read_le(bytes, size, at + counted.count_at, 4), total);
            return length < first || past(first, times(count, counted.each), length);
        }
    }
    return false;
}

// ---- GIF ----

// True when an image's LZW data, in the sub-blocks from at, decodes to at least pixels pixels
// as Wine's decoder reads it: codes from code_size + 1 bits up to 12, each new one made of the
// code before it and one pixel more, the code being made usable at once.
bool lzw_fills(const uint8_t* bytes, SIZE_T size, SIZE_T at, uint32_t code_size, uint64_t pixels) {
    constexpr uint32_t TABLE = 4096;
    const uint32_t clear = 1u << code_size;
    uint16_t lengths[TABLE]; // pixels of each code made since the last clear code
    uint32_t width = code_size + 1, running = clear + 2, last = clear, held = 0;
    uint64_t acc = 0, decoded = 0;
    for (SIZE_T left = 0; decoded < pixels;) {
        while (held < width) { // the next byte, from the next sub-block when this one ends
            if (left == 0 && (at >= size || (left = bytes[at++]) == 0)) {
                return false;
            }
            if (at >= size) {
                return false;
            }
            acc |= uint64_t{bytes[at++]} << held, held += 8, --left;
        }
        const uint32_t code = static_cast<uint32_t>(acc) & ((1u << width) - 1);
        acc >>= width, held -= width;
        if (running < TABLE + 1 && ++running > (1u << width) && width < 12) {
            ++width; // the reader widens its codes as soon as the table reaches the width's end
        }
        if (code == clear) {
            width = code_size + 1, running = clear + 2, last = clear;
            continue;
        }
        const uint32_t made = running - 2; // the code being made by this one
        const uint32_t last_length = last < clear ? 1 : lengths[last];
        const bool known =
            code < clear || (code > clear + 1 && code < made) || (code == made && last != clear);
        if (!known) {
            return false; // the end code before the last pixel, or a code not yet made
        }
        if (last != clear) {
            lengths[made] = static_cast<uint16_t>(std::min(last_length + 1, 65535u));
        }
        decoded += code < clear ? 1 : lengths[code];
        last = code;
    }
    return true;
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Why a bitmap file must not be decoded (its pixel rows lie past its end); null when it may.
// NOTE: Wine's LoadImageA reads a bitmap file's rows where and as many as its headers say,
// and faults past the end of a file that holds fewer; its picture decoder reads them from
// memory past the file's bytes.
const char* bitmap_file_fault(const uint8_t* bytes, SIZE_T size) {
    if (size < 2 || bytes[0] != 'B' || bytes[1] != 'M') {
        return nullptr; // no bitmap file: the platform's to judge
    }
    const Dib dib = dib_header(bytes, size, FILE_HEADER);
    const uint64_t rows = static_cast<uint64_t>(std::abs(dib.height));
    const uint64_t pixels = dib_pixels(bytes, size, FILE_HEADER, dib, rows);
    if (pixels != 0 && past(read_le(bytes, size, 10, 4), pixels, size)) {
        return "pixel rows past the end of the file";
    }
    return nullptr;
}

// Why an icon or cursor file must not reach LoadImageA (one of its PNG images would not
// decode whole, and Wine keeps the decoded picture); null when it may.
const char* icon_file_fault(const uint8_t* bytes, SIZE_T size) {
    const uint32_t count = read_le(bytes, size, 0, 2) == 0 ? read_le(bytes, size, 4, 2) : 0;
    for (uint64_t entry = 6; entry < 6 + 16 * uint64_t{count} && !past(entry, 16, size);
         entry += 16) {
        const uint64_t length = read_le(bytes, size, entry + 8, 4);
        const uint64_t offset = read_le(bytes, size, entry + 12, 4);
        const char* fault =
            past(offset, length, size) || read_le(bytes, size, offset, 4) != 0x474E5089
                ? nullptr
                : png_fault(bytes + offset, static_cast<SIZE_T>(length));
        if (fault != nullptr) {
            return fault;
        }
    }
    return nullptr;
}

// Why an enhanced metafile must not be played; null when it may.
// NOTE: Wine plays a record of size 0 again and again for ever; reads a text's characters
// and spacing, and a shape's points, where and as many as the record says; and works out
// every point of a curve, which for an ellipse or arc a million pixels across hangs or faults.
const char* metafile_fault(const uint8_t* bytes, SIZE_T size) {
    constexpr uint32_t SIGNATURE = 0x464D4520; // " EMF"
    constexpr double MOST_CURVE = 1 << 18;     // pixels a curve may take across
    constexpr double DRAWN = 256;              // pixels a picture is drawn across, at least
    if (read_le(bytes, size, 0, 4) != EMR_HEADER || read_le(bytes, size, 40, 4) != SIGNATURE) {
        return nullptr;
    }
    // The reference device's pixels a millimetre, and how many pixels one of its units
    // takes (at least 1) when the picture is drawn at its natural size (96 pixels an inch)
    // or 256 pixels across, whichever is larger.
    double per_mm[2], drawn[2];
    for (int axis = 0; axis < 2; ++axis) {
        const double frame = std::abs(read_real(bytes, size, 32 + 4 * axis) -
                                      read_int(bytes, size, 24 + 4 * axis)); // 0.01 mm
        per_mm[axis] = std::abs(read_real(bytes, size, 72 + 4 * axis)) /
                       std::abs(read_real(bytes, size, 80 + 4 * axis));
        const double frame_device = frame / 100 * per_mm[axis];
        drawn[axis] = std::max(1.0, std::max(DRAWN, frame * 96 / 2540) / frame_device);
    }
    Mapping map = {{1, 1}, {1, 1}, {1, 0, 0, 1}, MM_TEXT};
    Mapping saved[16];
    uint32_t depth = 0;
    const uint64_t end = std::min<uint64_t>(size, read_le(bytes, size, 48, 4));
    for (uint64_t at = 0; at + 8 <= end;) {
        const uint32_t type = read_le(bytes, size, at, 4);
        const uint64_t length = read_le(bytes, size, at + 4, 4);
        if (length == 0) {
            return "a record of size 0";
        }
        if (type == EMR_EOF) {
            return nullptr;
        }
        if (contents_outside(bytes, size, at, type, std::min(length, size - at))) {
            return "points or text outside their record";
        }
        apply_mapping(map, saved, depth, type, bytes, size, at, per_mm);
        double w = 0, h = 0; // a curve's box in logical units
        if (type == EMR_ANGLEARC) {
            w = h = 2.0 * read_le(bytes, size, at + 16, 4);
        } else if (type == EMR_ELLIPSE || type == EMR_ROUNDRECT || type == EMR_ARC ||
                   type == EMR_CHORD || type == EMR_PIE || type == EMR_ARCTO) {
            w = std::abs(read_real(bytes, size, at + 16) - read_int(bytes, size, at + 8));
            h = std::abs(read_real(bytes, size, at + 20) - read_int(bytes, size, at + 12));
        }
        for (int axis = 0; axis < 2 && (w != 0 || h != 0); ++axis) {
            const double side = curve_side(map, w, h, axis) * drawn[axis];
            if (!(side <= MOST_CURVE)) { // NaN included
                return "a curve too large to draw";
            }
        }
        if (length > end - at) {
            return nullptr; // the last record Wine plays
        }
        at += length;
    }
    return nullptr;
}

// Why a GIF must not be decoded; null when it may.
// NOTE: Wine's GIF decoder keeps about 25 KB of every GIF it fails to read: one whose blocks
// run past its end or are of no known kind, with an image of a width but no height (one of
// neither it reads), whose LZW codes start at 0 bits or above 8, or whose image data ends
// before its image does or holds a code not yet made.
const char* gif_fault(const uint8_t* bytes, SIZE_T size) {
    if (size < 6 ||
        (std::memcmp(bytes, "GIF87a", 6) != 0 && std::memcmp(bytes, "GIF89a", 6) != 0)) {
        return nullptr;
    }
    const auto table = [&](SIZE_T flags_at) {
        const uint32_t flags = read_le(bytes, size, flags_at, 1);
        return (flags & 0x80) != 0 ? SIZE_T{3} << ((flags & 7) + 1) : 0;
    };
    // NOTE: a GIF cut within its screen or colours is refused by Wine without keeping any.
    for (SIZE_T at = 13 + table(10); at < size;) {
        const uint8_t block = bytes[at];
        if (block == 0x3B) {
            return nullptr; // the trailer (Wine reads GIFs without one, too)
        }
        SIZE_T data = 0;
        uint32_t code_size = 0;
        uint64_t pixels = 0;
        if (block == 0x2C) { // an image: place, size, flags, colours and code size
            const uint32_t width = read_le(bytes, size, at + 5, 2);
            const uint32_t height = read_le(bytes, size, at + 7, 2);
            if (width != 0 && height == 0) {
                return "an image with a width but no height";
            }
            pixels = uint64_t{width} * height;
            at += 10 + table(at + 9);
            if (at >= size) {
                return "blocks past the end of the file";
            }
            code_size = bytes[at++];
            if (code_size == 0 || code_size > 8) {
                return "LZW code size 0 or above 8";
            }
            data = at;
        } else if (block == 0x21) { // an extension: its label
            at += 2;
        } else {
            return "a block of no known kind";
        }
        for (uint32_t length = 1; length != 0; at += length) { // the data's sub-blocks
            if (at >= size) {
                return "blocks past the end of the file";
            }
            length = bytes[at++];
        }
        if (data != 0 && !lzw_fills(bytes, size, data, code_size, pixels)) {
            return "image data ends before the image";
        }
    }
    return nullptr; // no trailer: Wine reads such GIFs too
}

// Why a JPEG must not be decoded (its frame would decode to more than MOST_PICTURE_BYTES);
// null when it may. Markers past the frame's scan are not looked at.
// NOTE: Wine's JPEG decoder makes and fills the whole picture its frame header gives, holding
// about 11 bytes a pixel while it does: 8,200 x 8,200 took 750 MB and 3 to 9 s, 16,384 x
// 16,384 2.9 GB and 43 s, and a frame of 26,366 x 28,445 in an 849-byte file faulted after 30 s.
// It finds each marker after a segment as the first 0xFF followed by a byte neither 0 nor
// 0xFF, passing over any other bytes and any number of 0xFF fill bytes; so does this walk.
const char* jpeg_fault(const uint8_t* bytes, SIZE_T size) {
    const auto word = [&](uint64_t at) { // big-endian
        return at + 2 <= size ? uint32_t{bytes[at]} << 8 | bytes[at + 1] : 0;
    };
    if (word(0) != 0xFFD8) {
        return nullptr;
    }
    // Segments: a marker, then (but for RSTn, TEM and a second SOI) a length that counts
    // itself; the frame header (SOF0 to SOF15 but DHT, JPG and DAC) holds precision, height
    // and width.
    for (uint64_t at = 2; at + 1 < size;) {
        if (bytes[at] != 0xFF || bytes[at + 1] == 0xFF || bytes[at + 1] == 0) {
            ++at;
            continue;
        }
        const uint32_t marker = bytes[++at];
        if (marker == 0xDA || marker == 0xD9) {
            return nullptr;
        }
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
            marker != 0xCC) {
            const uint64_t decoded = uint64_t{word(at + 4)} * word(at + 6) * 4;
            return decoded > MOST_PICTURE_BYTES ? "a frame that decodes to more than 512 MB"
                                                : nullptr;
        }
        const bool standalone = marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8);
        at += 1 + (standalone ? 0 : std::max<uint32_t>(word(at + 1), 2));
    }
    return nullptr;
}

// Why bytes must not reach the picture decoder; null when they may.
// NOTE: Wine's picture decoder takes bytes that begin with a zero word for an icon directory,
// whatever its type, and decodes bytes that begin with "lt\0\0" and a size as the picture
// in that many bytes after them.
const char* picture_fault(const uint8_t* bytes, SIZE_T size) {
    while (size >= 8 && std::memcmp(bytes, "lt\0\0", 4) == 0) {
        size = std::min<SIZE_T>(read_le(bytes, size, 4, 4), size - 8);
        bytes += 8;
    }
    if (size >= 2 && bytes[0] == 0 && bytes[1] == 0) {
        return icon_fault(bytes, size);
    }
    for (const auto check : {bitmap_file_fault, metafile_fault, gif_fault, jpeg_fault}) {
        if (const char* fault = check(bytes, size)) {
            return fault;
        }
    }
    return nullptr;
}
