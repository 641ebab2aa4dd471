// Text documents' lines: a text file read a chunk at a time through the runtime's binary
// reads, its encoding told from its first bytes (a byte-order mark, UTF-8 that decodes
// cleanly, else the ANSI code page, or Windows-1252 where that is UTF-8), decoded into
// UTF-16, split at LF, CRLF and lone CR, and kept as the file holds them (tabs too: they
// are expanded only on the screen). A file with NUL characters is binary and refused.
// Relies on the runtime's files and heap; KERNEL32's code page conversions directly (the
// runtime converts only whole strings between UTF-8 and the screen). Drawing is
// text_view.cpp's.
#include "examples/viewer/text_view.h"

#include <cstring>

// ============================================================================
// Module state
// ============================================================================

namespace {

constexpr uint32_t FIRST_CHUNK = 64 * 1024; // bytes read at once when a file opens
constexpr uint32_t CHUNK = 1024 * 1024;     // bytes read at a time afterwards
constexpr uint32_t FIRST_UNITS = 16 * 1024; // units made room for at first in memory
constexpr int32_t FIRST_LINES = 256;        // line entries made at first

// ============================================================================
// Internal helpers
// ============================================================================

// A heap block of size bytes holding the first keep bytes of old, which is freed; null
// (and old kept) without memory.
void* grow(void* old, size_t keep, size_t size) {
    void* block = heap_alloc(size);
    if (block == nullptr) {
        return nullptr;
    }
    if (old != nullptr) {
        std::memcpy(block, old, keep);
        heap_free(old);
    }
    return block;
}

// Make room for more units (and the NUL kept after them); false without memory.
bool reserve_units(TextLines* lines, uint64_t more) {
    const uint64_t needed = static_cast<uint64_t>(lines->used) + more + 1;
    if (needed <= lines->capacity) {
        return true;
    }
    // The first room is what was asked for (a whole file's text at once); more doubles.
    uint64_t size = lines->capacity > 0 ? lines->capacity : FIRST_UNITS;
    while (lines->capacity > 0 && size < needed) {
        size *= 2;
    }
    size = size < needed ? needed : size;
    if (size > 0x7FFFFFF0u || size > SIZE_MAX / sizeof(wchar_t) / 2) {
        return false;
    }
    void* block = grow(lines->units, lines->used * sizeof(wchar_t), size * sizeof(wchar_t));
    if (block == nullptr) {
        return false;
    }
    lines->units = static_cast<wchar_t*>(block);
    lines->capacity = static_cast<uint32_t>(size);
    return true;
}

// Start a new line at the end of the units; false without memory.
bool start_line(TextLines* lines) {
    if (lines->count == lines->capacity_lines) {
        if (lines->capacity_lines > INT32_MAX / 2) {
            return false;
        }
        const int32_t more = lines->capacity_lines > 0 ? lines->capacity_lines * 2 : FIRST_LINES;
        void* block = grow(lines->starts, lines->count * sizeof(uint32_t), more * sizeof(uint32_t));
        if (block == nullptr) {
            return false;
        }
        lines->starts = static_cast<uint32_t*>(block);
        lines->capacity_lines = more;
    }
    lines->starts[lines->count++] = lines->used;
    lines->open_line = 1;
    lines->column = 0;
    return true;
}

// End the open line: its NUL, and the longest line so far.
void end_line(TextLines* lines) {
    lines->units[lines->used++] = L'\0';
    lines->open_line = 0;
    if (lines->column > lines->longest) {
        lines->longest = lines->column;
        lines->longest_line = lines->count - 1;
    }
}

// Add decoded characters: line ends close lines, the rest is kept as it is. False for a
// NUL (not text) or without memory.
bool add_units(Document* document, const wchar_t* text, uint32_t length) {
    TextLines* lines = &document->lines;
    if (!reserve_units(lines, length)) {
        return false;
    }
    TextReader* reader = &document->reader;
    for (uint32_t i = 0; i < length; ++i) {
        const wchar_t c = text[i];
        if (c == L'\n' && reader->after_cr != 0) {
            reader->after_cr = 0; // the LF of a CRLF
            continue;
        }
        reader->after_cr = c == L'\r' ? 1 : 0;
        if (c == L'\0') {
            return false;
        }
        if (lines->open_line == 0 && !start_line(lines)) {
            return false;
        }
        if (c == L'\r' || c == L'\n') {
            end_line(lines);
            lines->ended = 1;
            continue;
        }
        lines->units[lines->used++] = c;
        lines->ended = 0;
        if (c == L'\t') {
            lines->column += TAB_COLUMNS - lines->column % TAB_COLUMNS;
        } else if (!is_low_surrogate(c)) { // a pair's second half takes no column
            lines->column += 1;
        }
    }
    lines->units[lines->used] = L'\0'; // the open line reads as a string too
    return true;
}

// Bytes at the end of a UTF-8 run that start a character not complete yet.
uint32_t utf8_cut(const uint8_t* bytes, uint32_t length) {
    for (uint32_t back = 1; back <= 3 && back <= length; ++back) {
        const uint8_t b = bytes[length - back];
        if ((b & 0xC0) != 0x80) { // the lead byte of the last character
            const uint32_t size = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
            return size > back ? back : 0;
        }
    }
    return 0;
}

// The code page of a text that is not UTF-8: the system's ANSI code page, or Windows-1252
// (Western European) where that is UTF-8 itself, as under a desktop locale in UTF-8.
UINT ansi_code_page() {
    return ::GetACP() == CP_UTF8 ? 1252 : CP_ACP;
}

// Bytes at the end of a run in the ANSI code page that start a character not complete yet:
// the lead byte of a two-byte (East Asian) character.
uint32_t ansi_cut(const uint8_t* bytes, uint32_t length) {
    CPINFO info = {};
    if (!::GetCPInfo(ansi_code_page(), &info) || info.MaxCharSize < 2) {
        return 0;
    }
    uint32_t i = 0;
    while (i < length) {
        i += ::IsDBCSLeadByteEx(ansi_code_page(), bytes[i]) ? 2 : 1;
    }
    return i > length ? 1 : 0;
}

// Decode bytes of a code page into UTF-16 and add them.
bool add_code_page(Document* document, UINT code_page, const uint8_t* bytes, uint32_t length) {
    if (length == 0) {
        return true;
    }
    const char* text = reinterpret_cast<const char*>(bytes);
    const int32_t count =
        ::MultiByteToWideChar(code_page, 0, text, static_cast<int>(length), nullptr, 0);
    auto* wide = static_cast<wchar_t*>(heap_alloc((static_cast<size_t>(count) + 1) * 2));
    if (wide == nullptr) {
        return false;
    }
    ::MultiByteToWideChar(code_page, 0, text, static_cast<int>(length), wide, count);
    const bool added = add_units(document, wide, static_cast<uint32_t>(count));
    heap_free(wide);
    return added;
}

// Tell UTF-8 from the ANSI code page at the first bytes beyond ASCII: text whose letters
// beyond ASCII all decode as UTF-8 is UTF-8, as the ANSI code pages' accented letters
// almost never form valid UTF-8 sequences. Until then both read ASCII alike.
void tell_byte_encoding(TextReader* reader, const uint8_t* bytes, uint32_t length) {
    uint32_t i = 0;
    while (i < length && bytes[i] < 0x80) {
        ++i;
    }
    if (reader->ascii == 0 || i == length) {
        return;
    }
    const uint32_t whole = length - utf8_cut(bytes, length);
    reader->encoding =
        ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(bytes),
                              static_cast<int>(whole), nullptr, 0) > 0
            ? ENCODING_UTF8
            : ENCODING_ANSI;
    reader->ascii = 0;
}

// Decode a chunk (after the bytes carried from the last) in the document's encoding and
// add its characters; the bytes of a cut-off character are carried to the next chunk.
bool add_chunk(Document* document, const uint8_t* bytes, uint32_t length, bool last) {
    TextReader* reader = &document->reader;
    tell_byte_encoding(reader, bytes, length);
    uint32_t cut = 0;
    if (reader->encoding == ENCODING_UTF8) {
        cut = last ? 0 : utf8_cut(bytes, length);
    } else if (reader->encoding == ENCODING_ANSI) {
        cut = last ? 0 : ansi_cut(bytes, length);
    } else {
        cut = length % 2;
        if (!last && length - cut >= 2) {
            // A high surrogate at the end waits for its partner.
            const uint32_t at = length - cut - 2;
            const uint16_t unit = reader->encoding == ENCODING_UTF16LE
                                      ? static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8)
                                      : static_cast<uint16_t>(bytes[at] << 8 | bytes[at + 1]);
            cut += is_high_surrogate(unit) ? 2 : 0;
        }
    }
    const uint32_t whole = length - cut;
    std::memcpy(reader->carry, bytes + whole, cut);
    reader->carried = static_cast<int32_t>(cut);
    if (reader->encoding == ENCODING_UTF8 || reader->encoding == ENCODING_ANSI) {
        return add_code_page(
            document, reader->encoding == ENCODING_UTF8 ? CP_UTF8 : ansi_code_page(), bytes, whole);
    }
    const uint32_t count = whole / 2;
    auto* wide = static_cast<wchar_t*>(heap_alloc((static_cast<size_t>(count) + 1) * 2));
    if (wide == nullptr) {
        return false;
    }
    const bool little = reader->encoding == ENCODING_UTF16LE;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t a = bytes[2 * i], b = bytes[2 * i + 1];
        wide[i] = static_cast<wchar_t>(little ? a | b << 8 : a << 8 | b);
    }
    const bool added = add_units(document, wide, count);
    heap_free(wide);
    return added;
}

// Tell the encoding from the first bytes; the bytes of its byte-order mark, or -1 for a
// binary file.
int32_t detect_encoding(TextReader* reader, const uint8_t* bytes, uint32_t length) {
    if (length >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        reader->encoding = ENCODING_UTF8;
        reader->ascii = 0;
        return 3;
    }
    if (length >= 2 &&
        ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF))) {
        reader->encoding = bytes[0] == 0xFF ? ENCODING_UTF16LE : ENCODING_UTF16BE;
        reader->ascii = 0;
        return 2;
    }
    for (uint32_t i = 0; i < length; ++i) {
        if (bytes[i] == 0) {
            return -1;
        }
    }
    reader->encoding = ENCODING_ANSI;
    reader->ascii = 1;
    tell_byte_encoding(reader, bytes, length);
    return 0;
}

// Read the next chunk of up to limit bytes and add it; false on a fault (binary, memory).
bool read_chunk(Document* document, uint32_t limit, bool first) {
    TextReader* reader = &document->reader;
    const int64_t left = reader->size - reader->done;
    const uint32_t size = left < limit ? static_cast<uint32_t>(left) : limit;
    auto* bytes = static_cast<uint8_t*>(heap_alloc(size + sizeof(reader->carry)));
    if (bytes == nullptr) {
        return false;
    }
    const uint32_t carried = static_cast<uint32_t>(reader->carried);
    std::memcpy(bytes, reader->carry, carried);
    bool ok = size == 0 || file_read(&reader->file, TAG_BINARY_FILE, bytes + carried,
                                     type_tag(TYPE_RAW), size) == 0;
    reader->done += size;
    uint32_t skip = 0;
    if (ok && first) {
        const int32_t mark = detect_encoding(reader, bytes, size);
        ok = mark >= 0;
        skip = mark > 0 ? static_cast<uint32_t>(mark) : 0;
        // Room for the whole text at once: a byte never gives more than one unit, and
        // UTF-16 gives one unit for two bytes. Without that much memory, room grows.
        const int64_t units =
            reader->encoding >= ENCODING_UTF16LE ? reader->size / 2 + 1 : reader->size + 1;
        if (ok && units < 0x7FFFFFF0) {
            reserve_units(&document->lines, static_cast<uint64_t>(units));
        }
    }
    const bool last = reader->done >= reader->size;
    ok = ok && add_chunk(document, bytes + skip, carried + size - skip, last);
    heap_free(bytes);
    if (ok && last && document->lines.open_line != 0) {
        end_line(&document->lines); // the last line has no line end
    }
    return ok;
}

// Give up on a file's text: the document shows why instead.
void refuse(Document* document, const char* why) {
    text_read_end(document);
    text_release(document);
    document->message = string_concat({why, document->name});
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Start reading a text file: the first chunk at once; 1 when it is text.
int32_t text_read_begin(Document* document, const char* path) {
    TextReader* reader = &document->reader;
    *reader = TextReader{};
    if (file_open(&reader->file, TAG_BINARY_FILE, path, "R") != 0) {
        reader->file = nullptr;
        document->message = string_concat({"Cannot open ", document->name});
        return 0;
    }
    reader->size = file_size(&reader->file, TAG_BINARY_FILE);
    if (reader->size < 0 || !read_chunk(document, FIRST_CHUNK, true)) {
        refuse(document, reader->size < 0 ? "Cannot read " : "Cannot show a binary file: ");
        return 0;
    }
    if (reader->done >= reader->size) {
        text_read_end(document);
    }
    return 1;
}

// Read on for about budget_ms; 1 while the file is not read to its end.
int32_t text_read_more(Document* document, uint32_t budget_ms) {
    TextReader* reader = &document->reader;
    const uint32_t start = tick_count();
    while (reader->file != nullptr && reader->done < reader->size) {
        if (!read_chunk(document, CHUNK, false)) {
            refuse(document, "Cannot show a binary file: ");
            return 0;
        }
        if (tick_count() - start >= budget_ms) {
            break;
        }
    }
    if (reader->file != nullptr && reader->done >= reader->size) {
        text_read_end(document);
    }
    return reader->file != nullptr ? 1 : 0;
}

// Stop reading and close the file.
void text_read_end(Document* document) {
    if (document->reader.file != nullptr) {
        file_close(&document->reader.file, TAG_BINARY_FILE);
    }
}

// Add the lines of text held in memory: UTF-8 when it decodes cleanly, else ANSI.
void text_add_bytes(Document* document, const char* bytes, uint32_t length) {
    document->reader = TextReader{};
    const auto* data = reinterpret_cast<const uint8_t*>(bytes);
    const int32_t mark = detect_encoding(&document->reader, data, length);
    if (mark < 0 || !add_chunk(document, data + mark, length - static_cast<uint32_t>(mark), true)) {
        refuse(document, "Cannot show ");
    } else if (document->lines.open_line != 0) {
        end_line(&document->lines);
    }
}

// Release a document's lines.
void text_release(Document* document) {
    if (document->lines.units != nullptr) {
        heap_free(document->lines.units);
    }
    if (document->lines.starts != nullptr) {
        heap_free(document->lines.starts);
    }
    document->lines = TextLines{};
    wrap_forget(document); // the rows kept for its lines are of another text now
}

// Line index of the text and its length in units; "" past the end.
const wchar_t* text_line(const Document* document, int32_t index, int32_t* length) {
    const TextLines& lines = document->lines;
    if (index < 0 || index >= lines.count) {
        if (length != nullptr) {
            *length = 0;
        }
        return L"";
    }
    const uint32_t start = lines.starts[index];
    const uint32_t end = index + 1 < lines.count ? lines.starts[index + 1] - 1 : lines.used;
    if (length != nullptr) {
        // The open line has no NUL in used yet; a closed last line has one.
        *length = static_cast<int32_t>(end - start) -
                  (index + 1 == lines.count && lines.open_line == 0 ? 1 : 0);
    }
    return lines.units + start;
}
