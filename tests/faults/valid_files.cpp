// Valid files of every variant the runtime's formats allow, made in memory: bitmaps of every
// header and depth (top-down, run-length compressed, bit fields), icons and cursors of several
// images (PNG entries, 256-pixel entries, without AND masks), GIFs (87a and 89a, interlaced,
// transparent, animated, images off their screen, no trailer), JPEGs (baseline, progressive,
// greyscale, subsampled), PNGs of every colour type and depth (interlaced), metafiles recorded
// through GDI and waves of every sample format with extra chunks and pad bytes.
// Relies on GDI32 for the metafiles only; what a test does with the files is its own.
#include "tests/faults/faults.h"

#include <algorithm>
#include <cstring>
#include <functional>

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

// Append value as count bytes, little-endian (or big-endian).
void le(std::string& out, uint64_t value, int count) {
    for (int i = 0; i < count; ++i) {
        out += static_cast<char>(value >> (8 * i));
    }
}
void be(std::string& out, uint64_t value, int count) {
    for (int i = count - 1; i >= 0; --i) {
        out += static_cast<char>(value >> (8 * i));
    }
}

// A pattern value in 0..levels-1 for pixel (x, y) of channel c, so that pictures are not flat.
uint32_t pattern(int32_t x, int32_t y, int32_t c, uint32_t levels) {
    return static_cast<uint32_t>(x * 7 + y * 13 + c * 5) % levels;
}

// ---- Bitmaps ----

// A bitmap file: header of info_size bytes (12, 40, 52, 56, 108, 124), bits per pixel, a
// negative height for top-down rows, compression BI_RGB, BI_RLE8, BI_RLE4 or BI_BITFIELDS.
std::string bitmap(int32_t width, int32_t height, uint32_t info_size, uint32_t bits,
                   uint32_t compression = BI_RGB, uint32_t colours_used = 0) {
    const int32_t rows = height < 0 ? -height : height;
    const bool core = info_size == 12;
    const uint32_t colours = bits <= 8 ? (colours_used ? colours_used : 1u << bits) : 0;
    std::string pixels;
    for (int32_t y = 0; y < rows; ++y) {
        std::string row;
        if (compression == BI_RLE8 ||
            compression == BI_RLE4) { // runs of two values, then end of line
            for (int32_t x = 0; x < width; x += 4) {
                const uint32_t run = std::min(4, width - x), a = pattern(x, y, 0, colours);
                row += static_cast<char>(run);
                row += static_cast<char>(compression == BI_RLE8 ? a : a << 4 | (a + 1) % colours);
            }
            pixels += row + std::string(y + 1 == rows ? "\0\1" : "\0\0", 2);
            continue;
        }
        uint64_t acc = 0;
        int32_t held = 0;
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t value =
                bits <= 8 ? pattern(x, y, 0, colours) : pattern(x, y, 0, 0xFFFFFF);
            acc = acc << bits | (value & ((uint64_t{1} << bits) - 1));
            for (held += bits; held >= 8; held -= 8) {
                row += static_cast<char>(acc >> (held - 8));
            }
        }
        if (held > 0) {
            row += static_cast<char>(acc << (8 - held));
        }
        row.resize((row.size() + 3) / 4 * 4, '\0');
        pixels += row;
    }
    std::string info;
    le(info, info_size, 4);
    if (core) {
        le(info, width, 2), le(info, height, 2), le(info, 1, 2), le(info, bits, 2);
    } else {
        le(info, static_cast<uint32_t>(width), 4), le(info, static_cast<uint32_t>(height), 4);
        le(info, 1, 2), le(info, bits, 2), le(info, compression, 4), le(info, pixels.size(), 4);
        le(info, 2835, 4), le(info, 2835, 4), le(info, colours_used, 4), le(info, 0, 4);
        // Bit fields: in the header from 52 bytes on, after a 40-byte header otherwise.
        const uint32_t masks[] = {bits == 16 ? 0xF800u : 0xFF0000u, bits == 16 ? 0x07E0u : 0xFF00u,
                                  bits == 16 ? 0x001Fu : 0xFFu, 0u};
        const bool fields = compression == BI_BITFIELDS;
        for (uint32_t mask : masks) {
            if (info.size() < info_size) {
                le(info, fields ? mask : 0, 4);
            }
        }
        if (info_size > 56) {
            le(info, 0x73524742, 4); // LCS_sRGB, then endpoints, gamma and (V5) intent
        }
        info.resize(info_size, '\0');
        for (int i = 0; fields && info_size == 40 && i < 3; ++i) {
            le(info, masks[i], 4);
        }
    }
    for (uint32_t i = 0; i < colours; ++i) {
        le(info, i * 0x10305 + 0x402010, core ? 3 : 4);
    }
    std::string file = "BM";
    le(file, 14 + info.size() + pixels.size(), 4), le(file, 0, 4), le(file, 14 + info.size(), 4);
    return file + info + pixels;
}

// ---- PNG ----

uint32_t crc32(const std::string& bytes) {
    uint32_t crc = 0xFFFFFFFF;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int k = 0; k < 8; ++k) {
            crc = crc >> 1 ^ (0xEDB88320 & (0u - (crc & 1)));
        }
    }
    return ~crc;
}

void chunk(std::string& png, const char* type, const std::string& data) {
    be(png, data.size(), 4);
    const std::string body = type + data;
    png += body;
    be(png, crc32(body), 4);
}

// A zlib stream of stored (uncompressed) blocks.
std::string zlib_stored(const std::string& data) {
    std::string out("\x78\x01", 2);
    uint32_t a = 1, b = 0;
    for (size_t at = 0; at == 0 || at < data.size(); at += 65535) {
        const size_t length = std::min<size_t>(65535, data.size() - at);
        out += static_cast<char>(at + length >= data.size());
        le(out, length, 2), le(out, ~length & 0xFFFF, 2);
        out += data.substr(at, length);
    }
    for (unsigned char byte : data) {
        a = (a + byte) % 65521, b = (b + a) % 65521;
    }
    be(out, b << 16 | a, 4);
    return out;
}

// A PNG of colour type 0, 2, 3, 4 or 6 and a depth it allows, interlaced (Adam7) or not,
// with a transparent colour (tRNS) where the type allows one.
std::string png(int32_t width, int32_t height, int colour_type, int depth, bool interlaced,
                bool transparent = false) {
    const int channels[] = {1, 0, 3, 1, 2, 0, 4};
    const int n = channels[colour_type];
    const uint32_t levels = colour_type == 3 ? std::min(1 << depth, 16) : 1u << depth;
    std::string raw;
    // Pass 0: the whole picture; passes 1 to 7: Adam7's, each a start and a step.
    const int passes[8][4] = {{0, 0, 1, 1}, {0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8},
                              {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    for (int p = interlaced ? 1 : 0; p < (interlaced ? 8 : 1); ++p) {
        const auto [x0, y0, dx, dy] = passes[p];
        for (int32_t y = y0; y < height && x0 < width; y += dy) {
            raw += '\0'; // filter: none
            uint64_t acc = 0;
            int held = 0;
            for (int32_t x = x0; x < width; x += dx) {
                for (int c = 0; c < n; ++c) {
                    acc = acc << depth | pattern(x, y, c, levels);
                    for (held += depth; held >= 8; held -= 8) {
                        raw += static_cast<char>(acc >> (held - 8));
                    }
                }
            }
            if (held > 0) {
                raw += static_cast<char>(acc << (8 - held));
            }
        }
    }
    std::string out("\x89PNG\r\n\x1a\n", 8), header, palette, alpha;
    be(header, width, 4), be(header, height, 4);
    header += {static_cast<char>(depth), static_cast<char>(colour_type), 0, 0,
               static_cast<char>(interlaced)};
    chunk(out, "IHDR", header);
    chunk(out, "tEXt", std::string("Comment\0made for the valid set", 30));
    if (colour_type == 3) {
        for (uint32_t i = 0; i < levels; ++i) {
            be(palette, 0x102030 * i + 0x204060, 3), alpha += static_cast<char>(255 - i * 8);
        }
        chunk(out, "PLTE", palette);
    }
    if (transparent && colour_type != 4 && colour_type != 6) {
        std::string trns = colour_type == 3 ? alpha : std::string(colour_type == 2 ? 6 : 2, '\0');
        chunk(out, "tRNS", trns);
    }
    chunk(out, "IDAT", zlib_stored(raw));
    chunk(out, "IEND", "");
    return out;
}

// ---- Icons and cursors ----

// The image of an icon entry: a DIB of width x height at bits per pixel, with its AND mask
// or without one (32 bits only).
std::string icon_dib(int32_t side, uint32_t bits, bool mask = true) {
    std::string dib = bitmap(side, side, 40, bits).substr(14), height;
    le(height, side * 2, 4); // the header counts colour and mask rows
    dib.replace(8, 4, height);
    return mask ? dib + std::string(static_cast<size_t>((side + 31) / 32 * 4 * side), '\0') : dib;
}

// An icon (type 1) or cursor (type 2) file of images given as {side, bytes}.
std::string icon_file(uint16_t type, const std::vector<std::pair<int32_t, std::string>>& images) {
    std::string out, body;
    le(out, 0, 2), le(out, type, 2), le(out, images.size(), 2);
    for (const auto& [side, image] : images) {
        out += {static_cast<char>(side & 0xFF), static_cast<char>(side & 0xFF), 0, 0};
        le(out, type == 1 ? 1 : side / 2, 2), le(out, type == 1 ? 32 : side / 3, 2);
        le(out, image.size(), 4), le(out, 6 + 16 * images.size() + body.size(), 4);
        body += image;
    }
    return out + body;
}

// ---- GIF ----

// LZW data that a decoder reads as the given indices: codes one bit wider than the
// indices, with a clear code before the table would widen them.
std::string lzw(const std::vector<uint32_t>& indices, int code_size) {
    const uint32_t clear = 1u << code_size, width = code_size + 1;
    std::string data, blocks;
    uint64_t acc = 0;
    uint32_t held = 0;
    const auto put = [&](uint32_t code) {
        acc |= uint64_t{code} << held;
        for (held += width; held >= 8; held -= 8, acc >>= 8) {
            data += static_cast<char>(acc);
        }
    };
    for (size_t i = 0; i < indices.size(); ++i) {
        if (i % (clear - 2) == 0) {
            put(clear);
        }
        put(indices[i]);
    }
    put(clear + 1);
    if (held > 0) {
        data += static_cast<char>(acc);
    }
    for (size_t at = 0; at < data.size(); at += 255) {
        blocks += static_cast<char>(std::min<size_t>(255, data.size() - at));
        blocks += data.substr(at, 255);
    }
    return blocks + '\0';
}

struct GifImage {
    int32_t left, top, width, height;
    bool interlaced, local_table, transparent;
};

// A GIF of a screen and images, 87a or 89a, with colours of 2^bits entries.
std::string gif(const char* version, int32_t screen_w, int32_t screen_h, int bits,
                const std::vector<GifImage>& images, bool trailer = true, bool loop = false) {
    std::string out = version;
    le(out, screen_w, 2), le(out, screen_h, 2);
    out += {static_cast<char>(0xF0 | (bits - 1)), 0, 0};
    for (uint32_t i = 0; i < (1u << bits); ++i) {
        be(out, 0x3F1F0F * i + 0x102030, 3);
    }
    if (loop) { // the looping extension of animated GIFs, and a comment
        out += std::string("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
        out += std::string("\x21\xFE\x05valid\x00", 9);
    }
    for (const GifImage& image : images) {
        if (image.transparent) { // graphic control: transparent index 1, 10 ms
            out += std::string("\x21\xF9\x04\x09\x01\x00\x01\x00", 8);
        }
        out += ',';
        le(out, image.left, 2), le(out, image.top, 2), le(out, image.width, 2);
        le(out, image.height, 2);
        out += static_cast<char>((image.interlaced ? 0x40 : 0) |
                                 (image.local_table ? 0x80 | (bits - 1) : 0));
        for (uint32_t i = 0; image.local_table && i < (1u << bits); ++i) {
            be(out, 0x0F1F3F * i, 3);
        }
        std::vector<uint32_t> indices;
        for (int32_t i = 0; i < image.width * image.height; ++i) {
            indices.push_back(pattern(i % image.width, i / image.width, 0, 1u << bits));
        }
        out += static_cast<char>(std::max(bits, 2));
        out += lzw(indices, std::max(bits, 2));
    }
    return trailer ? out + ';' : out;
}

// ---- JPEG ----

// Bits of entropy-coded data, with 0xFF bytes stuffed.
struct JpegBits {
    std::string out;
    uint32_t acc = 0;
    int held = 0;
    void put(uint32_t code, int length) {
        for (int i = length - 1; i >= 0; --i) {
            acc = acc << 1 | ((code >> i) & 1);
            if (++held == 8) {
                out += static_cast<char>(acc);
                out += acc == 0xFF ? std::string(1, '\0') : "";
                acc = held = 0;
            }
        }
    }
    // A DC difference: its size category (a 4-bit code), then its bits.
    void dc(int32_t difference) {
        int size = 0;
        while ((std::abs(difference) >> size) != 0) {
            ++size;
        }
        put(size, 4);
        put(difference >= 0 ? difference : difference + (1 << size) - 1, size);
    }
    std::string flush() {
        while (held != 0) {
            put(1, 1);
        }
        return out;
    }
};

void segment(std::string& out, uint32_t marker, const std::string& data) {
    be(out, marker, 2), be(out, data.size() + 2, 2);
    out += data;
}

// A JPEG of 8 x 8 blocks of one level each (only DC coefficients): greyscale or YCbCr
// with luma sampled h x h, baseline or progressive (DC scan, then one AC scan a component).
std::string jpeg(int32_t width, int32_t height, bool grey, int h, bool progressive,
                 bool flat = false) {
    const int comps = grey ? 1 : 3;
    std::string out("\xFF\xD8", 2), table, frame, huffman;
    segment(out, 0xFFE0, std::string("JFIF\0\1\1\0\0\1\0\1\0\0", 14));
    segment(out, 0xFFFE, "made for the valid set");
    segment(out, 0xFFDB, std::string(1, '\0') + std::string(64, '\1'));
    frame += '\x08', be(frame, height, 2), be(frame, width, 2), frame += static_cast<char>(comps);
    for (int c = 0; c < comps; ++c) {
        frame += {static_cast<char>(c + 1), static_cast<char>(c == 0 ? h * 17 : 0x11), 0};
    }
    segment(out, progressive ? 0xFFC2 : 0xFFC0, frame);
    huffman = std::string("\x00\0\0\0\x0C", 5) + std::string(12, '\0'); // DC: 12 codes of 4 bits
    for (char v = 0; v < 12; ++v) {
        huffman += v;
    }
    huffman += std::string("\x10\x01", 2) + std::string(15, '\0') + '\0'; // AC: end of block, 1 bit
    segment(out, 0xFFC4, huffman);
    const int32_t mcus_x = (width + 8 * h - 1) / (8 * h), mcus_y = (height + 8 * h - 1) / (8 * h);
    const auto level = [&](int c, int32_t bx, int32_t by) {
        return flat ? 0 : (static_cast<int32_t>(pattern(bx, by, c, 256)) - 128) * 8;
    };
    // The first scan: every component's DC (with AC end-of-blocks when baseline).
    std::string scan(1, static_cast<char>(comps));
    for (int c = 0; c < comps; ++c) {
        scan += {static_cast<char>(c + 1), 0};
    }
    scan += progressive ? std::string("\0\0\0", 3) : std::string("\0\x3F\0", 3);
    segment(out, 0xFFDA, scan);
    JpegBits bits;
    int32_t previous[3] = {};
    for (int32_t my = 0; my < (grey ? (height + 7) / 8 : mcus_y); ++my) {
        for (int32_t mx = 0; mx < (grey ? (width + 7) / 8 : mcus_x); ++mx) {
            for (int c = 0; c < comps; ++c) {
                const int n = c == 0 && !grey ? h : 1;
                for (int32_t b = 0; b < n * n; ++b) {
                    const int32_t value = level(c, mx * n + b % n, my * n + b / n);
                    bits.dc(value - previous[c]);
                    previous[c] = value;
                    if (!progressive) {
                        bits.put(0, 1);
                    }
                }
            }
        }
    }
    out += bits.flush();
    for (int c = 0; progressive && c < comps; ++c) { // AC scans: every block ends at once
        segment(out, 0xFFDA, {1, static_cast<char>(c + 1), 0, 1, 63, 0});
        const int n = c == 0 && !grey ? h : 1;
        const int32_t blocks_x = ((width * n + h - 1) / (grey ? 1 : h) + 7) / 8;
        const int32_t blocks_y = ((height * n + h - 1) / (grey ? 1 : h) + 7) / 8;
        JpegBits ac;
        for (int64_t b = 0; b < int64_t{blocks_x} * blocks_y; ++b) {
            ac.put(0, 1);
        }
        out += ac.flush();
    }
    return out + "\xFF\xD9";
}

// ---- Metafiles ----

// An enhanced metafile recorded through GDI by draw, framed frame_mm hundredths of a mm.
std::string metafile(int32_t frame_mm, const std::function<void(HDC)>& draw) {
    RECT frame = {0, 0, frame_mm, frame_mm};
    HDC dc = ::CreateEnhMetaFileA(nullptr, nullptr, &frame, "valid\0set\0");
    draw(dc);
    HENHMETAFILE recorded = ::CloseEnhMetaFile(dc);
    std::string bytes(::GetEnhMetaFileBits(recorded, 0, nullptr), '\0');
    ::GetEnhMetaFileBits(recorded, static_cast<UINT>(bytes.size()),
                         reinterpret_cast<BYTE*>(bytes.data()));
    ::DeleteEnhMetaFile(recorded);
    return bytes;
}

// ---- Waves ----

// A wave of 20 ms: format tag (1 PCM, 3 float, 0xFFFE extensible), channels, rate, bits,
// with chunks before the format and between format and data (odd sizes padded).
std::string wave(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits,
                 const std::string& before = "", const std::string& between = "") {
    const uint32_t block = channels * bits / 8, frames = rate / 50 + (bits == 8 ? 1 : 0);
    std::string format, data, body = "WAVE" + before;
    le(format, tag, 2), le(format, channels, 2), le(format, rate, 4), le(format, rate * block, 4);
    le(format, block, 2), le(format, bits, 2);
    if (tag == 0xFFFE) { // extension: valid bits, channel mask, sub-format (PCM or float)
        le(format, 22, 2), le(format, bits, 2), le(format, channels == 1 ? 4 : 3, 4);
        le(format, bits == 32 ? 3 : 1, 4);
        format += std::string("\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 12);
    }
    for (uint32_t i = 0; i < frames * block; ++i) {
        data += static_cast<char>(i * 29 % 251);
    }
    body += "fmt ", le(body, format.size(), 4), body += format + between;
    body += "data", le(body, data.size(), 4), body += data + (data.size() % 2 ? "\0" : "");
    std::string file = "RIFF";
    le(file, body.size(), 4);
    return file + body;
}

std::string chunk_of(const char* id, const std::string& data) {
    std::string out = id;
    le(out, data.size(), 4);
    return out + data + (data.size() % 2 != 0 ? std::string(1, '\0') : "");
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// The valid set: names say what each file is.
std::vector<ValidFile> valid_files() {
    std::vector<ValidFile> files;
    const auto add = [&](std::string name, std::string bytes) {
        files.push_back({std::move(name), std::move(bytes)});
    };
    // Bitmaps: every header size and depth, top-down, compressed, bit fields, short tables.
    for (uint32_t header : {40u, 52u, 56u, 108u, 124u}) {
        for (uint32_t bits : {1u, 4u, 8u, 16u, 24u, 32u}) {
            for (int32_t sign : {1, -1}) {
                add("bitmap-" + std::to_string(header) + "-" + std::to_string(bits) +
                        (sign < 0 ? "-top-down.bmp" : ".bmp"),
                    bitmap(13, 9 * sign, header, bits));
            }
        }
    }
    for (uint32_t bits : {1u, 4u, 8u, 24u}) {
        add("bitmap-core-" + std::to_string(bits) + ".bmp", bitmap(13, 9, 12, bits));
    }
    add("bitmap-rle8.bmp", bitmap(13, 9, 40, 8, BI_RLE8));
    add("bitmap-rle4.bmp", bitmap(13, 9, 40, 4, BI_RLE4));
    add("bitmap-bitfields-16.bmp", bitmap(13, 9, 40, 16, BI_BITFIELDS));
    add("bitmap-bitfields-32-top-down.bmp", bitmap(13, -9, 40, 32, BI_BITFIELDS));
    add("bitmap-v5-bitfields-16.bmp", bitmap(13, 9, 124, 16, BI_BITFIELDS));
    add("bitmap-8-of-20-colours.bmp", bitmap(13, 9, 40, 8, BI_RGB, 20));
    add("bitmap-wide.bmp", bitmap(1200, 2, 40, 24));
    // Icons and cursors.
    add("icon-three-depths.ico",
        icon_file(1, {{16, icon_dib(16, 4)}, {32, icon_dib(32, 8)}, {48, icon_dib(48, 32)}}));
    for (uint32_t bits : {1u, 24u, 32u}) {
        add("icon-" + std::to_string(bits) + ".ico", icon_file(1, {{32, icon_dib(32, bits)}}));
    }
    add("icon-32-without-mask.ico", icon_file(1, {{32, icon_dib(32, 32, false)}}));
    add("icon-png.ico", icon_file(1, {{64, png(64, 64, 6, 8, false)}}));
    add("icon-256.ico", icon_file(1, {{256, icon_dib(256, 32)}}));
    add("icon-256-png.ico", icon_file(1, {{256, png(256, 256, 6, 8, false)}}));
    add("icon-16-and-256-png.ico",
        icon_file(1, {{16, icon_dib(16, 8)}, {256, png(256, 256, 6, 8, false)}}));
    add("cursor-two.cur", icon_file(2, {{32, icon_dib(32, 1)}, {48, icon_dib(48, 32)}}));
    add("cursor-png.cur", icon_file(2, {{32, png(32, 32, 6, 8, false)}}));
    // GIFs.
    const GifImage plain = {0, 0, 21, 13, false, false, false};
    add("gif-87a.gif", gif("GIF87a", 21, 13, 4, {plain}));
    add("gif-89a-2-colours.gif", gif("GIF89a", 21, 13, 1, {plain}));
    add("gif-89a-256-colours.gif", gif("GIF89a", 21, 13, 8, {plain}));
    add("gif-interlaced.gif", gif("GIF89a", 21, 13, 4, {{0, 0, 21, 13, true, false, false}}));
    add("gif-transparent.gif", gif("GIF89a", 21, 13, 4, {{0, 0, 21, 13, false, false, true}}));
    add("gif-local-colours.gif", gif("GIF89a", 21, 13, 3, {{0, 0, 21, 13, false, true, false}}));
    add("gif-animated.gif", gif("GIF89a", 21, 13, 4,
                                {{0, 0, 21, 13, false, false, true},
                                 {4, 3, 9, 7, true, true, true},
                                 {0, 0, 21, 13, false, false, true}},
                                true, true));
    add("gif-image-larger-than-screen.gif", gif("GIF89a", 10, 6, 4, {plain}));
    add("gif-screen-0x0.gif", gif("GIF89a", 0, 0, 4, {plain}));
    add("gif-without-trailer.gif", gif("GIF89a", 21, 13, 4, {plain}, false));
    // JPEGs.
    for (bool progressive : {false, true}) {
        const std::string kind = progressive ? "progressive" : "baseline";
        add("jpeg-" + kind + "-grey.jpg", jpeg(37, 23, true, 1, progressive));
        add("jpeg-" + kind + "-444.jpg", jpeg(37, 23, false, 1, progressive));
        add("jpeg-" + kind + "-420.jpg", jpeg(37, 23, false, 2, progressive));
    }
    add("jpeg-8200x8200.jpg", jpeg(8200, 8200, true, 1, false, true));
    // PNGs: every colour type and depth, plain and interlaced.
    const std::pair<int, std::vector<int>> types[] = {
        {0, {1, 2, 4, 8, 16}}, {2, {8, 16}}, {3, {1, 2, 4, 8}}, {4, {8, 16}}, {6, {8, 16}}};
    for (const auto& [type, depths] : types) {
        for (int depth : depths) {
            for (bool interlaced : {false, true}) {
                add("png-type" + std::to_string(type) + "-" + std::to_string(depth) +
                        (interlaced ? "-interlaced.png" : ".png"),
                    png(19, 11, type, depth, interlaced, depth == 8));
            }
        }
    }
    // Metafiles.
    add("metafile-text.emf", metafile(2000, [](HDC dc) {
            const INT advances[] = {9, 9, 9, 9, 9};
            ::TextOutA(dc, 2, 2, "Valid", 5);
            ::ExtTextOutW(dc, 2, 30, ETO_OPAQUE, nullptr, L"files", 5, advances);
        }));
    add("metafile-bitmap.emf", metafile(2000, [](HDC dc) {
            const std::string dib = bitmap(16, 16, 40, 24).substr(14);
            const auto* info = reinterpret_cast<const BITMAPINFO*>(dib.data());
            ::StretchDIBits(dc, 0, 0, 64, 64, 0, 0, 16, 16, dib.data() + 40, info, DIB_RGB_COLORS,
                            SRCCOPY);
        }));
    add("metafile-long-polyline.emf", metafile(2000, [](HDC dc) {
            std::vector<POINT> points;
            for (int32_t i = 0; i < 20000; ++i) {
                points.push_back({i % 70, (i * 7) % 60});
            }
            ::Polyline(dc, points.data(), static_cast<int>(points.size()));
            ::Ellipse(dc, 5, 5, 60, 40), ::Pie(dc, 10, 10, 50, 50, 0, 0, 50, 0);
        }));
    add("metafile-far-coordinates.emf", metafile(2000, [](HDC dc) {
            ::SetMapMode(dc, MM_ANISOTROPIC);
            ::SetWindowExtEx(dc, 100000000, 100000000, nullptr);
            ::SetViewportExtEx(dc, 70, 70, nullptr);
            ::Ellipse(dc, 0, 0, 90000000, 60000000);
            ::Arc(dc, 0, 0, 90000000, 90000000, 0, 0, 90000000, 0);
            ::TextOutA(dc, 50000000, 50000000, "far", 3);
        }));
    add("metafile-himetric.emf", metafile(3000, [](HDC dc) {
            ::SetMapMode(dc, MM_HIMETRIC);
            ::Ellipse(dc, 0, 0, 2500, -2000);
        }));
    // Waves: every sample format, extensible, extra chunks and pad bytes.
    add("wave-8-mono.wav", wave(1, 1, 11025, 8));
    add("wave-16-stereo.wav", wave(1, 2, 44100, 16));
    add("wave-24-mono.wav", wave(1, 1, 48000, 24));
    add("wave-32-stereo.wav", wave(1, 2, 22050, 32));
    add("wave-float-mono.wav", wave(3, 1, 22050, 32));
    add("wave-extensible-16.wav", wave(0xFFFE, 1, 22050, 16));
    add("wave-extensible-float.wav", wave(0xFFFE, 2, 8000, 32));
    add("wave-96000.wav", wave(1, 1, 96000, 16));
    add("wave-list-before-format.wav",
        wave(1, 1, 22050, 16, chunk_of("LIST", std::string("INFOISFT\x05\0\0\0made\0\0", 18))));
    add("wave-odd-chunk-between.wav", wave(1, 1, 22050, 16, "", chunk_of("junk", "odd")));
    add("wave-fact-chunk.wav", wave(3, 1, 22050, 32, "", chunk_of("fact", "\x10\x01\0\0")));
    return files;
}
