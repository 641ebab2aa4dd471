// Text documents' lines: a text file read a chunk at a time through the runtime's binary
// reads, its encoding told from its first bytes (a byte-order mark, UTF-8 that decodes
// cleanly, else the ANSI code page), decoded into the system's ANSI code page ("?" for
// characters it lacks), split at LF, CRLF and lone CR, and kept with tabs expanded to the
// next multiple of 8 columns. A file with NUL bytes is binary and refused.
// Relies on the runtime's files and heap; KERNEL32's code page conversions directly (the
// runtime keeps strings in the ANSI code page and converts none). Drawing is text_view.cpp's.
#include "examples/viewer/viewer.h"

#include <cstring>

// ============================================================================
// Module state
// ============================================================================

namespace {

constexpr uint32_t FIRST_CHUNK = 64 * 1024; // bytes read at once when a file opens
constexpr uint32_t CHUNK = 1024 * 1024;     // bytes read at a time afterwards
constexpr uint32_t FIRST_LINES = 256;       // line entries made at first

// ============================================================================
// Internal helpers
// ============================================================================

// A heap block of size bytes holding the first keep bytes of old, which is freed; null
// (and old kept) without memory.
void* grow(void* old, uint32_t keep, uint32_t size) {
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

// Make room for more bytes (and the NUL kept after them); false without memory.
bool reserve_bytes(TextLines* lines, uint32_t more) {
    const uint64_t needed = static_cast<uint64_t>(lines->used) + more + 1;
    if (needed <= lines->capacity) {
        return true;
    }
    uint64_t size = lines->capacity > 0 ? lines->capacity : FIRST_CHUNK;
    while (size < needed) {
        size *= 2;
    }
    if (size > 0xFFFFFFF0u) {
        return false;
    }
    void* block = grow(lines->bytes, lines->used, static_cast<uint32_t>(size));
    if (block == nullptr) {
        return false;
    }
    lines->bytes = static_cast<char*>(block);
    lines->capacity = static_cast<uint32_t>(size);
    return true;
}

// Start a new line at the end of the bytes; false without memory.
bool start_line(TextLines* lines) {
    if (lines->count == lines->capacity_lines) {
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
    return true;
}

// End the open line: its NUL, and the longest line so far.
void end_line(TextLines* lines) {
    const int32_t length = static_cast<int32_t>(lines->used - lines->starts[lines->count - 1]);
    lines->bytes[lines->used++] = '\0';
    lines->open_line = 0;
    if (length > lines->longest) {
        lines->longest = length;
        lines->longest_line = lines->count - 1;
    }
}

// Add decoded ANSI characters: line ends close lines, tabs become blanks up to the next
// multiple of TAB_COLUMNS. False for a NUL (not text) or without memory.
bool add_characters(Document* document, const char* text, uint32_t length) {
    TextLines* lines = &document->lines;
    if (!reserve_bytes(lines, length * TAB_COLUMNS)) {
        return false;
    }
    for (uint32_t i = 0; i < length; ++i) {
        const char c = text[i];
        if (c == '\n' && document->reader.after_cr != 0) {
            document->reader.after_cr = 0; // the LF of a CRLF
            continue;
        }
        document->reader.after_cr = c == '\r' ? 1 : 0;
        if (c == '\0') {
            return false;
        }
        if (lines->open_line == 0 && !start_line(lines)) {
            return false;
        }
        if (c == '\r' || c == '\n') {
            end_line(lines);
        } else if (c == '\t') {
            const uint32_t column = lines->used - lines->starts[lines->count - 1];
            const uint32_t blanks = TAB_COLUMNS - column % TAB_COLUMNS;
            std::memset(lines->bytes + lines->used, ' ', blanks);
            lines->used += blanks;
        } else {
            lines->bytes[lines->used++] = c;
        }
    }
    lines->bytes[lines->used] = '\0'; // the open line reads as a string too
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

// Convert wide characters to ANSI ("?" where the code page lacks one) and add them.
bool add_wide(Document* document, const wchar_t* wide, int32_t count) {
    if (count == 0) {
        return true;
    }
    // NOTE: WC_NO_BEST_FIT_CHARS makes a character the code page lacks a "?", instead of a
    // look-alike letter.
    const int32_t size =
        ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, count, nullptr, 0, "?", nullptr);
    char* ansi = static_cast<char*>(heap_alloc(static_cast<size_t>(size) + 1));
    if (ansi == nullptr) {
        return false;
    }
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, count, ansi, size, "?", nullptr);
    const bool added = add_characters(document, ansi, static_cast<uint32_t>(size));
    heap_free(ansi);
    return added;
}

// Decode a chunk (after the bytes carried from the last) in the document's encoding and
// add its characters; the bytes of a cut-off character are carried to the next chunk.
bool add_chunk(Document* document, const uint8_t* bytes, uint32_t length, bool last) {
    TextReader* reader = &document->reader;
    if (reader->encoding == ENCODING_ANSI) {
        return add_characters(document, reinterpret_cast<const char*>(bytes), length);
    }
    uint32_t cut = 0;
    if (!last && reader->encoding == ENCODING_UTF8) {
        cut = utf8_cut(bytes, length);
    } else if (reader->encoding != ENCODING_UTF8) {
        cut = length % 2;
        if (!last && length - cut >= 2) {
            // A high surrogate at the end waits for its partner.
            const uint32_t at = length - cut - 2;
            const uint16_t unit = reader->encoding == ENCODING_UTF16LE
                                      ? static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8)
                                      : static_cast<uint16_t>(bytes[at] << 8 | bytes[at + 1]);
            cut += unit >= 0xD800 && unit <= 0xDBFF ? 2 : 0;
        }
    }
    const uint32_t whole = length - cut;
    std::memcpy(reader->carry, bytes + whole, cut);
    reader->carried = static_cast<int32_t>(cut);
    int32_t count = 0;
    wchar_t* wide = nullptr;
    if (reader->encoding == ENCODING_UTF8) {
        const char* text = reinterpret_cast<const char*>(bytes);
        count = whole > 0
                    ? ::MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(whole), nullptr, 0)
                    : 0;
        wide = static_cast<wchar_t*>(heap_alloc((static_cast<size_t>(count) + 1) * 2));
        if (wide != nullptr && count > 0) {
            ::MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(whole), wide, count);
        }
    } else {
        count = static_cast<int32_t>(whole / 2);
        wide = static_cast<wchar_t*>(heap_alloc((static_cast<size_t>(count) + 1) * 2));
        for (int32_t i = 0; wide != nullptr && i < count; ++i) {
            const uint8_t a = bytes[2 * i], b = bytes[2 * i + 1];
            wide[i] = static_cast<wchar_t>(reader->encoding == ENCODING_UTF16LE ? a | b << 8
                                                                                : a << 8 | b);
        }
    }
    const bool added = wide != nullptr && add_wide(document, wide, count);
    if (wide != nullptr) {
        heap_free(wide);
    }
    return added;
}

// Tell the encoding from the first bytes; the bytes of its byte-order mark, or -1 for a
// binary file.
int32_t detect_encoding(TextReader* reader, const uint8_t* bytes, uint32_t length) {
    if (length >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        reader->encoding = ENCODING_UTF8;
        return 3;
    }
    if (length >= 2 &&
        ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF))) {
        reader->encoding = bytes[0] == 0xFF ? ENCODING_UTF16LE : ENCODING_UTF16BE;
        return 2;
    }
    bool high = false;
    for (uint32_t i = 0; i < length; ++i) {
        if (bytes[i] == 0) {
            return -1;
        }
        high = high || bytes[i] >= 0x80;
    }
    // Text with letters beyond ASCII that all decode as UTF-8 is UTF-8: the ANSI code pages'
    // accented letters almost never form valid UTF-8 sequences.
    const uint32_t whole = length - utf8_cut(bytes, length);
    reader->encoding = high && ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS,
                                                     reinterpret_cast<const char*>(bytes),
                                                     static_cast<int>(whole), nullptr, 0) > 0
                           ? ENCODING_UTF8
                           : ENCODING_ANSI;
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

// Add the lines of ANSI text held in memory.
void text_add_bytes(Document* document, const char* bytes, uint32_t length) {
    document->reader = TextReader{};
    if (!add_characters(document, bytes, length)) {
        refuse(document, "Cannot show ");
    } else if (document->lines.open_line != 0) {
        end_line(&document->lines);
    }
}

// Release a document's lines.
void text_release(Document* document) {
    if (document->lines.bytes != nullptr) {
        heap_free(document->lines.bytes);
    }
    if (document->lines.starts != nullptr) {
        heap_free(document->lines.starts);
    }
    document->lines = TextLines{};
}

// Line index of the text; "" past the end.
const char* text_line(const Document* document, int32_t index) {
    const TextLines& lines = document->lines;
    if (index < 0 || index >= lines.count) {
        return "";
    }
    return lines.bytes + lines.starts[index];
}
