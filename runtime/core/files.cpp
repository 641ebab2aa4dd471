// Files: file variables (a platform file handle, null when closed) opened by a mode
// string, read as lines (cut to a buffer, or whole as heap strings), numbers or raw
// bytes, written as bytes or lines, and closed.
// Relies on KERNEL32 files (wide calls: names are converted from the ANSI code page),
// text_to_number for numbers and message_box for reports of wrong file variables.
// Leaves seeking to callers' own platform calls.
#include "runtime/core/core_internal.h"

#include <cfloat>
#include <cmath>
#include <cstring>

// ============================================================================
// Types
// ============================================================================

namespace {

// One accepted mode string and how it opens the file.
struct OpenMode {
    const char* text;  // compared exactly
    bool binary_only;  // refused for TEXT_FILE variables
    DWORD access;      // CreateFileW access
    DWORD sharing;     // CreateFileW sharing
    DWORD disposition; // CreateFileW disposition
    bool to_end;       // position at the end after opening
};

// Where the bytes of a line go: a caller's buffer that stops the line when full, or a
// heap string that grows.
struct LineTarget {
    char* bytes;     // the buffer or heap string; null before a heap string's first byte
    size_t length;   // bytes of the line so far
    size_t capacity; // bytes that bytes holds, the NUL's place included
    bool grows;      // a heap string: made larger when full
    bool failed;     // a heap string that could not grow
};

} // namespace

// ============================================================================
// Module state
// ============================================================================

namespace {

constexpr DWORD READ_WRITE = GENERIC_READ | GENERIC_WRITE;
constexpr OpenMode OPEN_MODES[] = {
    {"R", false, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, false},
    {"r", false, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, false},
    {"R+", true, READ_WRITE, FILE_SHARE_READ, OPEN_EXISTING, false},
    {"r+", true, READ_WRITE, FILE_SHARE_READ, OPEN_EXISTING, false},
    {"W", false, READ_WRITE, FILE_SHARE_READ, CREATE_ALWAYS, false},
    {"w", false, READ_WRITE, FILE_SHARE_READ, CREATE_ALWAYS, false},
    {"A", false, READ_WRITE, FILE_SHARE_READ, OPEN_ALWAYS, true},
    {"a", false, READ_WRITE, FILE_SHARE_READ, OPEN_ALWAYS, true},
};

constexpr DWORD LINE_CHUNK = 128;                  // bytes read at a time by file_read's line reads
constexpr DWORD WHOLE_LINE_CHUNK = 4096;           // bytes read at a time by file_read_line
constexpr size_t FIRST_LINE_SIZE = 256;            // first heap string of file_read_line
constexpr char BYTE_ORDER_MARK[] = "\xEF\xBB\xBF"; // UTF-8's, 3 bytes
constexpr int32_t NUMBER_LIMIT = 40;               // characters of a number's text
constexpr uint32_t STRING_CAPACITY = 256;          // a string variable: 255 characters and the NUL
constexpr double TWO_TO_63 = 9223372036854775808.0;
constexpr double TWO_TO_64 = 18446744073709551616.0;

} // namespace

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

bool is_file_code(int32_t code) {
    return code == TEXT_FILE || code == BINARY_FILE;
}

const OpenMode* find_mode(const char* mode) {
    if (mode == nullptr) {
        return nullptr;
    }
    for (const OpenMode& entry : OPEN_MODES) {
        if (::lstrcmpA(mode, entry.text) == 0) {
            return &entry;
        }
    }
    return nullptr;
}

// Whether a mode may open the named file: one that writes never opens a read-only file.
// NOTE: Windows refuses write access to a read-only file itself; Wine relies on the Unix
// permissions, which a process of the superuser passes, and then even empties it ("W").
bool may_open(const wchar_t* name, const OpenMode* mode) {
    if ((mode->access & GENERIC_WRITE) == 0) {
        return true;
    }
    const DWORD attributes = ::GetFileAttributesW(name);
    return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0;
}

bool read_byte(HANDLE file, char* byte) {
    DWORD got = 0;
    return ::ReadFile(file, byte, 1, &got, nullptr) && got == 1;
}

// Skip a UTF-8 byte-order mark when the file is at its start; anything else is left.
void skip_byte_order_mark(HANDLE file) {
    LARGE_INTEGER zero = {};
    LARGE_INTEGER position = {};
    if (!::SetFilePointerEx(file, zero, &position, FILE_CURRENT) || position.QuadPart != 0) {
        return;
    }
    char start[3] = {};
    DWORD got = 0;
    if (::ReadFile(file, start, 3, &got, nullptr) && got == 3 &&
        ::memcmp(start, BYTE_ORDER_MARK, 3) == 0) {
        return;
    }
    ::SetFilePointerEx(file, zero, nullptr, FILE_BEGIN);
}

// Take up to count bytes into the line; how many were taken (fewer when a buffer is full or
// a heap string cannot grow).
size_t line_take(LineTarget* target, const char* from, size_t count) {
    if (target->grows && target->length + count >= target->capacity) {
        size_t size = target->capacity < FIRST_LINE_SIZE ? FIRST_LINE_SIZE : target->capacity;
        while (size <= target->length + count && size <= SIZE_MAX / 2) {
            size *= 2;
        }
        char* larger =
            size > target->length + count ? static_cast<char*>(heap_alloc(size)) : nullptr;
        if (larger == nullptr) {
            target->failed = true;
            return 0;
        }
        if (target->bytes != nullptr) {
            ::memcpy(larger, target->bytes, target->length);
            heap_free(target->bytes);
        }
        target->bytes = larger;
        target->capacity = size;
    }
    const size_t room = target->capacity - 1 - target->length;
    const size_t taken = count < room ? count : room;
    ::memcpy(target->bytes + target->length, from, taken);
    target->length += taken;
    return taken;
}

// Consume the line end at chunk[used] (CR, LF or CR LF); the bytes of the chunk used after.
DWORD consume_line_end(HANDLE file, const char* chunk, DWORD used, DWORD got) {
    if (chunk[used++] != '\r') {
        return used;
    }
    if (used < got) {
        return chunk[used] == '\n' ? used + 1 : used;
    }
    // The CR ended the chunk: look one byte further for its LF.
    char next = 0;
    if (read_byte(file, &next) && next != '\n') {
        ::SetFilePointer(file, -1, nullptr, FILE_CURRENT);
    }
    return used;
}

// Read one line into target in chunks of chunk_size bytes; the line end is consumed, and
// whatever the line does not take is given back to the file for the next read. 0 when any
// byte was consumed, -1 at the end.
int32_t read_line(HANDLE file, LineTarget* target, DWORD chunk_size) {
    bool consumed = false;
    bool done = false;
    char chunk[WHOLE_LINE_CHUNK];
    while (!done && !target->failed) {
        DWORD got = 0;
        if (!::ReadFile(file, chunk, chunk_size, &got, nullptr) || got == 0) {
            break;
        }
        DWORD run = 0;
        while (run < got && chunk[run] != '\n' && chunk[run] != '\r') {
            run++;
        }
        DWORD used = static_cast<DWORD>(line_take(target, chunk, run));
        if (used < run) {
            done = true; // full: the rest of the line stays for the next read
        } else if (used < got) {
            used = consume_line_end(file, chunk, used, got);
            done = true;
        }
        consumed = consumed || used > 0;
        if (used < got) {
            ::SetFilePointer(file, -static_cast<LONG>(got - used), nullptr, FILE_CURRENT);
        }
    }
    if (target->bytes != nullptr) {
        target->bytes[target->length] = '\0';
    }
    return consumed ? 0 : -1;
}

// Collect the text of the next number: skip to a "-" or a digit, then take digits, "-"
// and "." up to NUMBER_LIMIT characters. false when the file ends first.
bool read_number_text(HANDLE file, char* text) {
    char byte = 0;
    do {
        if (!read_byte(file, &byte)) {
            return false;
        }
    } while (byte != '-' && !(byte >= '0' && byte <= '9'));
    int32_t length = 0;
    text[length++] = byte;
    while (length < NUMBER_LIMIT && read_byte(file, &byte) &&
           (byte == '-' || byte == '.' || (byte >= '0' && byte <= '9'))) {
        text[length++] = byte;
    }
    text[length] = '\0';
    return true;
}

// Round to the nearest integer in the floating-point mode set at start-up (ties to even),
// clamped to the signed 64-bit range: -2^63 and 2^63 - 1 at the limits.
int64_t round_to_int64(double value) {
    if (!(value == value)) {
        return 0;
    }
    const double whole = std::nearbyint(value);
    if (whole >= TWO_TO_63) {
        return INT64_MAX;
    }
    if (whole <= -TWO_TO_63) {
        return INT64_MIN;
    }
    return static_cast<int64_t>(whole);
}

// The same for the unsigned 64-bit range: 0 and 2^64 - 1 at the limits.
uint64_t round_to_uint64(double value) {
    const double whole = std::nearbyint(value);
    if (!(whole > 0.0)) {
        return 0;
    }
    if (whole >= TWO_TO_64) {
        return UINT64_MAX;
    }
    return static_cast<uint64_t>(whole);
}

// Narrow to single precision; values beyond its range stop at its largest magnitude.
float to_single(double value) {
    if (value > FLT_MAX) {
        return FLT_MAX;
    }
    if (value < -FLT_MAX) {
        return -FLT_MAX;
    }
    return static_cast<float>(value);
}

void store_number(void* destination, int32_t code, double value) {
    switch (code) {
    case TYPE_BYTE:
    case 31:
        *static_cast<int8_t*>(destination) = static_cast<int8_t>(round_to_int64(value));
        break;
    case TYPE_WORD:
    case 30:
        *static_cast<int16_t*>(destination) = static_cast<int16_t>(round_to_int64(value));
        break;
    case TYPE_SINGLE:
        *static_cast<float*>(destination) = to_single(value);
        break;
    case TYPE_DOUBLE:
        *static_cast<double*>(destination) = value;
        break;
    case TYPE_INT64:
        *static_cast<int64_t*>(destination) = round_to_int64(value);
        break;
    case TYPE_UINT64:
        *static_cast<uint64_t*>(destination) = round_to_uint64(value);
        break;
    default:
        *static_cast<int32_t*>(destination) = static_cast<int32_t>(round_to_int64(value));
        break;
    }
}

int32_t read_binary(HANDLE file, void* destination, int32_t destination_code, uint32_t count) {
    void* target = destination;
    if (destination_code == TYPE_BLOCK) {
        target = *static_cast<void**>(destination);
        // A block never receives more than it holds.
        SIZE_T size = target ? ::GlobalSize(target) : 0;
        if (size != 0 && count > size) {
            count = static_cast<uint32_t>(size);
        }
    }
    if (target == nullptr || count == 0) {
        return -1;
    }
    DWORD got = 0;
    if (!::ReadFile(file, target, count, &got, nullptr) || got == 0) {
        return -1;
    }
    return 0;
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Open a file in one of the accepted modes; 0 when opened, 1 otherwise.
int32_t file_open(HANDLE* file, TypeTag tag, const char* name, const char* mode) {
    int32_t code = tag_code(tag);
    if (!is_file_code(code)) {
        message_box(nullptr, "Runtime error (OPENFILE): file variable expected", "Error", 0);
        return 1;
    }
    const OpenMode* open_mode = find_mode(mode);
    if (file == nullptr || name == nullptr || open_mode == nullptr ||
        (open_mode->binary_only && code != BINARY_FILE)) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return 1;
    }
    wchar_t* wide_name = ansi_name_to_heap_wide(name);
    if (wide_name == nullptr || !may_open(wide_name, open_mode)) {
        const DWORD error = wide_name == nullptr ? ERROR_INVALID_NAME : ERROR_ACCESS_DENIED;
        heap_free(wide_name);
        ::SetLastError(error);
        return 1;
    }
    HANDLE handle = ::CreateFileW(wide_name, open_mode->access, open_mode->sharing, nullptr,
                                  open_mode->disposition,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    const DWORD error = ::GetLastError(); // the platform's reason, kept past the name's release
    heap_free(wide_name);
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr) {
        ::SetLastError(error);
        return 1;
    }
    *file = handle;
    if (open_mode->to_end) {
        ::SetFilePointer(handle, 0, nullptr, FILE_END);
    }
    return 0;
}

// Close a file variable's file and set it to null.
int32_t file_close(HANDLE* file, TypeTag tag) {
    if (!is_file_code(tag_code(tag))) {
        message_box(nullptr, "Runtime Error: Invalid file variable", "Error", 0);
        return 0;
    }
    if (file != nullptr && *file != nullptr) {
        ::CloseHandle(*file);
        *file = nullptr;
    }
    return 0;
}

// The size in bytes of an open file, or -1.
int64_t file_size(HANDLE* file, TypeTag tag) {
    LARGE_INTEGER size = {};
    if (!is_file_code(tag_code(tag)) || file == nullptr || *file == nullptr ||
        !::GetFileSizeEx(*file, &size)) {
        return -1;
    }
    return size.QuadPart;
}

// Read bytes, a line or a number from an open file; 0 when something was read, else -1.
int32_t file_read(HANDLE* file, TypeTag tag, void* destination, TypeTag destination_tag,
                  uint32_t count) {
    if (file == nullptr || *file == nullptr || destination == nullptr) {
        return -1;
    }
    int32_t destination_code = tag_code(destination_tag);
    switch (tag_code(tag)) {
    case BINARY_FILE:
        return read_binary(*file, destination, destination_code, count);
    case TEXT_FILE:
        if (destination_code == TYPE_STRING) {
            // The count is for binary reads; a caller that gives none reads into a
            // string variable of the usual capacity.
            if (count == 0) {
                count = STRING_CAPACITY;
            }
            if (count < 2) {
                return -1;
            }
            LineTarget target = {static_cast<char*>(destination), 0, count, false, false};
            skip_byte_order_mark(*file);
            return read_line(*file, &target, LINE_CHUNK);
        } else {
            char text[NUMBER_LIMIT + 1];
            if (!read_number_text(*file, text)) {
                return -1;
            }
            store_number(destination, destination_code, text_to_number(text));
            return 0;
        }
    default:
        return -1;
    }
}

// Write bytes at the file's position; the count written, or -1.
int32_t file_write(HANDLE* file, TypeTag tag, const void* bytes, int32_t length) {
    if (!is_file_code(tag_code(tag)) || file == nullptr || *file == nullptr || length < 0 ||
        (bytes == nullptr && length > 0)) {
        return -1;
    }
    if (length == 0) {
        return 0;
    }
    LARGE_INTEGER start = {};
    LARGE_INTEGER size = {};
    const bool known = ::SetFilePointerEx(*file, LARGE_INTEGER{}, &start, FILE_CURRENT) &&
                       ::GetFileSizeEx(*file, &size);
    DWORD written = 0;
    if (::WriteFile(*file, bytes, static_cast<DWORD>(length), &written, nullptr) &&
        written == static_cast<DWORD>(length)) {
        return length;
    }
    // NOTE: a write that fills the disk may have written part of the bytes when it fails.
    // What it added past the file's old end is cut off again, so that no torn line or record
    // is left to be read as whole later.
    if (known && written > 0) {
        const LARGE_INTEGER end = start.QuadPart > size.QuadPart ? start : size;
        ::SetFilePointerEx(*file, end, nullptr, FILE_BEGIN);
        ::SetEndOfFile(*file);
        ::SetFilePointerEx(*file, start, nullptr, FILE_BEGIN);
    }
    return -1;
}

// Write text and a CR LF line end; the bytes written, or -1.
int32_t file_write_line(HANDLE* file, TypeTag tag, const char* text) {
    if (text == nullptr) {
        return -1;
    }
    const size_t length = ::strlen(text);
    if (length > static_cast<size_t>(INT32_MAX) - 2) {
        return -1;
    }
    char* line = static_cast<char*>(heap_alloc(length + 2));
    if (line == nullptr) {
        return -1;
    }
    ::memcpy(line, text, length);
    line[length] = '\r';
    line[length + 1] = '\n';
    const int32_t result = file_write(file, tag, line, static_cast<int32_t>(length + 2));
    heap_free(line);
    return result;
}

// The next line of any length as a fresh heap string, or null at the end.
char* file_read_line(HANDLE* file, TypeTag tag) {
    if (!is_file_code(tag_code(tag)) || file == nullptr || *file == nullptr) {
        return nullptr;
    }
    LineTarget target = {nullptr, 0, 0, true, false};
    skip_byte_order_mark(*file);
    if (read_line(*file, &target, WHOLE_LINE_CHUNK) != 0 || target.failed) {
        heap_free(target.bytes);
        return nullptr;
    }
    return target.bytes;
}
