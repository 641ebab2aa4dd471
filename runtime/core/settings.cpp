// Settings files: a program's named values (text and numbers) in
// <application data>\<program>\settings.ini, read whole and written whole. A save writes a
// temporary file beside the old one, flushes it and renames it over the old one, so that
// the old file is replaced only by a complete new one; a file that is missing, damaged,
// cut short or too large is read as no values at all.
// Relies on KERNEL32 (files), SHELL32 (the application-data folder) and the runtime heap.
//
// The file, UTF-8 with CR LF line ends:
//     [settings]
//     name=value        one line per value; "\\", "\n" and "\r" stand for a backslash,
//     ...               a line feed and a carriage return in the value
//     [end]
// Its first and last lines mark it whole; blank lines and lines starting with ';' between
// them are passed over, and a name given twice keeps its last value.
#include "runtime/core/core_internal.h"

#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

// ============================================================================
// Types
// ============================================================================

namespace {

// A file's text being built in a heap block that grows.
struct TextBuffer {
    char* bytes;     // heap block, or null
    size_t length;   // bytes in use
    size_t capacity; // bytes the block holds
    bool failed;     // a grow was refused or the text passed SETTINGS_FILE_MAX
};

// The paths of a program's settings: its folder, the file and the temporary file.
struct SettingsPaths {
    wchar_t folder[MAX_PATH];
    wchar_t file[MAX_PATH];
    wchar_t temporary[MAX_PATH];
};

// ============================================================================
// Module state
// ============================================================================

SettingsFailStep fail_step = SETTINGS_FAIL_NONE; // test seam: the save's step that fails

const char HEADER_LINE[] = "[settings]";
const char END_LINE[] = "[end]";
const char LINE_END[] = "\r\n";
constexpr int32_t MIN_CAPACITY = 8;

// ============================================================================
// Internal helpers
// ============================================================================

bool is_name_char(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '-';
}

// A value's name: 1 to SETTINGS_NAME_MAX of letters, digits, '.', '_' and '-'.
bool valid_name(const char* name, size_t length) {
    if (name == nullptr || length == 0 || length > SETTINGS_NAME_MAX) {
        return false;
    }
    for (size_t i = 0; i < length; ++i) {
        if (!is_name_char(name[i])) {
            return false;
        }
    }
    return true;
}

// The platform's device names, which no folder may take (also with an extension).
bool is_device_name(const char* name) {
    static const char* const DEVICES[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    size_t stem = 0;
    while (name[stem] != '\0' && name[stem] != '.' && name[stem] != ' ') {
        ++stem;
    }
    for (const char* device : DEVICES) {
        if (std::strlen(device) == stem && ::_strnicmp(name, device, stem) == 0) {
            return true;
        }
    }
    // COM1 to COM9 and LPT1 to LPT9.
    return stem == 4 && (::_strnicmp(name, "COM", 3) == 0 || ::_strnicmp(name, "LPT", 3) == 0) &&
           name[3] >= '1' && name[3] <= '9';
}

// A program's name: a value's name that may hold blanks inside, does not start or end
// with '.', and is not a device name.
bool valid_program(const char* program) {
    if (program == nullptr) {
        return false;
    }
    const size_t length = std::strlen(program);
    if (length == 0 || length > SETTINGS_NAME_MAX) {
        return false;
    }
    for (size_t i = 0; i < length; ++i) {
        if (!is_name_char(program[i]) && program[i] != ' ') {
            return false;
        }
    }
    const char first = program[0], last = program[length - 1];
    return first != '.' && first != ' ' && last != '.' && last != ' ' && !is_device_name(program);
}

// Append a wide string to a path buffer of MAX_PATH units; false when it does not fit.
bool path_append(wchar_t* path, const wchar_t* tail) {
    const size_t used = std::wcslen(path), more = std::wcslen(tail);
    if (used + more >= MAX_PATH) {
        return false;
    }
    std::wmemcpy(path + used, tail, more + 1);
    return true;
}

// The paths of a program's settings (a valid name); false when the application-data
// folder is unknown or a path would be too long.
bool settings_paths(const char* program, SettingsPaths* paths) {
    // NOTE: the folder's path only; it is made when settings are saved.
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT,
                                  paths->folder))) {
        return false;
    }
    wchar_t name[SETTINGS_NAME_MAX + 2] = L"\\";
    for (size_t i = 0; program[i] != '\0'; ++i) {
        name[i + 1] = static_cast<wchar_t>(program[i]); // ASCII only
    }
    if (!path_append(paths->folder, name)) {
        return false;
    }
    std::wmemcpy(paths->file, paths->folder, std::wcslen(paths->folder) + 1);
    std::wmemcpy(paths->temporary, paths->folder, std::wcslen(paths->folder) + 1);
    // The temporary file is the process's own: two instances saving at once never write
    // into one file.
    wchar_t temporary[40];
    std::swprintf(temporary, 40, L"\\settings.ini.%lu.tmp", ::GetCurrentProcessId());
    return path_append(paths->file, L"\\settings.ini") && path_append(paths->temporary, temporary);
}

// The entry of a name, or null.
SettingsEntry* find_entry(const Settings* settings, const char* name, size_t length) {
    if (settings == nullptr) {
        return nullptr;
    }
    for (int32_t i = 0; i < settings->count; ++i) {
        SettingsEntry* entry = &settings->entries[i];
        if (std::strlen(entry->name) == length && std::memcmp(entry->name, name, length) == 0) {
            return entry;
        }
    }
    return nullptr;
}

// A fresh heap string of length bytes, or null without memory.
char* heap_copy(const char* text, size_t length) {
    char* copy = static_cast<char*>(heap_alloc(length + 1));
    if (copy != nullptr) {
        std::memcpy(copy, text, length);
        copy[length] = '\0';
    }
    return copy;
}

// Give a name (valid) a value taken over from the caller (a heap string); false without
// memory, and the value is then freed.
bool put_value(Settings* settings, const char* name, size_t length, char* value) {
    SettingsEntry* entry = find_entry(settings, name, length);
    if (entry != nullptr) {
        heap_free(entry->value);
        entry->value = value;
        return true;
    }
    char* name_copy = heap_copy(name, length);
    if (name_copy == nullptr) {
        heap_free(value);
        return false;
    }
    if (settings->count == settings->capacity) {
        if (settings->capacity > INT32_MAX / 2) {
            heap_free(name_copy);
            heap_free(value);
            return false;
        }
        const int32_t capacity =
            settings->capacity < MIN_CAPACITY ? MIN_CAPACITY : settings->capacity * 2;
        SettingsEntry* grown =
            static_cast<SettingsEntry*>(heap_alloc(sizeof(SettingsEntry) * capacity));
        if (grown == nullptr) {
            heap_free(name_copy);
            heap_free(value);
            return false;
        }
        if (settings->count > 0) {
            std::memcpy(grown, settings->entries, sizeof(SettingsEntry) * settings->count);
        }
        heap_free(settings->entries);
        settings->entries = grown;
        settings->capacity = capacity;
    }
    settings->entries[settings->count++] = SettingsEntry{name_copy, value};
    return true;
}

// Free every entry and the block; the program's name stays.
void drop_entries(Settings* settings) {
    for (int32_t i = 0; i < settings->count; ++i) {
        heap_free(settings->entries[i].name);
        heap_free(settings->entries[i].value);
    }
    heap_free(settings->entries);
    settings->entries = nullptr;
    settings->count = 0;
    settings->capacity = 0;
}

// Take one line of [*at, end) and move *at past its line end; false at the end or for a
// line without one. The line excludes its LF and a CR before it.
bool next_line(const char* end, const char** at, const char** line, size_t* length) {
    const char* start = *at;
    const char* feed = static_cast<const char*>(std::memchr(start, '\n', end - start));
    if (feed == nullptr) {
        return false;
    }
    *line = start;
    *length = static_cast<size_t>(feed - start);
    if (*length > 0 && start[*length - 1] == '\r') {
        *length -= 1;
    }
    *at = feed + 1;
    return true;
}

bool line_is(const char* line, size_t length, const char* text) {
    return std::strlen(text) == length && std::memcmp(line, text, length) == 0;
}

// Undo a value's escapes into a fresh heap string; *damaged when an escape is unknown or a
// carriage return stands in it.
char* unescape(const char* text, size_t length, bool* damaged) {
    char* value = static_cast<char*>(heap_alloc(length + 1));
    if (value == nullptr) {
        return nullptr;
    }
    size_t out = 0;
    for (size_t i = 0; i < length; ++i) {
        char c = text[i];
        if (c == '\r') {
            *damaged = true;
        } else if (c == '\\') {
            const char next = i + 1 < length ? text[++i] : '\0';
            c = next == 'n' ? '\n' : next == 'r' ? '\r' : next == '\\' ? '\\' : '\0';
            *damaged = *damaged || c == '\0';
        }
        value[out++] = c;
    }
    value[out] = '\0';
    if (*damaged) {
        heap_free(value);
        return nullptr;
    }
    return value;
}

// Read the values of a file's text into an empty record; false when the text is damaged
// (or memory ran out), with the record emptied again.
bool parse_settings(Settings* settings, const char* text, size_t size) {
    const char* end = text + size;
    const char* at = text;
    if (size >= 3 && std::memcmp(at, "\xEF\xBB\xBF", 3) == 0) {
        at += 3; // a byte-order mark some editors add
    }
    if (std::memchr(at, '\0', end - at) != nullptr) {
        return false; // binary
    }
    const char* line = nullptr;
    size_t length = 0;
    if (!next_line(end, &at, &line, &length) || !line_is(line, length, HEADER_LINE)) {
        return false;
    }
    bool damaged = false, ended = false;
    while (!damaged && !ended && next_line(end, &at, &line, &length)) {
        if (line_is(line, length, END_LINE)) {
            ended = true;
            continue;
        }
        if (length == 0 || line[0] == ';') {
            continue;
        }
        const char* equals = static_cast<const char*>(std::memchr(line, '=', length));
        const size_t name_length = equals != nullptr ? static_cast<size_t>(equals - line) : 0;
        if (!valid_name(line, name_length)) {
            damaged = true;
            continue;
        }
        char* value = unescape(equals + 1, length - name_length - 1, &damaged);
        damaged = damaged || value == nullptr || !put_value(settings, line, name_length, value);
    }
    // Whole only when the end line is the last thing in the file.
    if (damaged || !ended || at != end) {
        drop_entries(settings);
        return false;
    }
    return true;
}

// Append bytes to a buffer, growing it; sets failed when refused.
void buffer_append(TextBuffer* buffer, const char* text, size_t length) {
    if (buffer->failed) {
        return;
    }
    if (buffer->length + length > static_cast<size_t>(SETTINGS_FILE_MAX)) {
        buffer->failed = true;
        return;
    }
    if (buffer->length + length > buffer->capacity) {
        size_t capacity = buffer->capacity < 256 ? 256 : buffer->capacity;
        while (capacity < buffer->length + length) {
            capacity *= 2;
        }
        char* grown = static_cast<char*>(heap_alloc(capacity));
        if (grown == nullptr) {
            buffer->failed = true;
            return;
        }
        if (buffer->length > 0) {
            std::memcpy(grown, buffer->bytes, buffer->length);
        }
        heap_free(buffer->bytes);
        buffer->bytes = grown;
        buffer->capacity = capacity;
    }
    std::memcpy(buffer->bytes + buffer->length, text, length);
    buffer->length += length;
}

void buffer_line(TextBuffer* buffer, const char* text) {
    buffer_append(buffer, text, std::strlen(text));
    buffer_append(buffer, LINE_END, 2);
}

// The whole file's text for a record; failed set when it would pass SETTINGS_FILE_MAX or
// memory ran out.
TextBuffer settings_text(const Settings* settings) {
    TextBuffer buffer = {nullptr, 0, 0, false};
    buffer_line(&buffer, HEADER_LINE);
    for (int32_t i = 0; i < settings->count; ++i) {
        const SettingsEntry& entry = settings->entries[i];
        buffer_append(&buffer, entry.name, std::strlen(entry.name));
        buffer_append(&buffer, "=", 1);
        const char* from = entry.value;
        for (const char* c = entry.value; *c != '\0'; ++c) {
            const char* escape = *c == '\\'   ? "\\\\"
                                 : *c == '\n' ? "\\n"
                                 : *c == '\r' ? "\\r"
                                              : nullptr;
            if (escape != nullptr) {
                buffer_append(&buffer, from, static_cast<size_t>(c - from));
                buffer_append(&buffer, escape, 2);
                from = c + 1;
            }
        }
        buffer_append(&buffer, from, std::strlen(from));
        buffer_append(&buffer, LINE_END, 2);
    }
    buffer_line(&buffer, END_LINE);
    return buffer;
}

// Write a whole text to a new file at path and flush it; false on any failure (the file
// may then be left behind, for the caller to delete).
bool write_whole_file(const wchar_t* path, const char* bytes, size_t length) {
    if (fail_step == SETTINGS_FAIL_CREATE) {
        return false;
    }
    HANDLE file = ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool written = true;
    size_t done = 0;
    // The test seam's failed write stops half way, as a full disk or a crash would.
    const size_t limit = fail_step == SETTINGS_FAIL_WRITE ? length / 2 : length;
    while (written && done < limit) {
        DWORD wrote = 0;
        const DWORD chunk = static_cast<DWORD>(limit - done < (1u << 20) ? limit - done : 1u << 20);
        written = ::WriteFile(file, bytes + done, chunk, &wrote, nullptr) && wrote == chunk;
        done += wrote;
    }
    written = written && fail_step != SETTINGS_FAIL_WRITE;
    written = written && fail_step != SETTINGS_FAIL_FLUSH && ::FlushFileBuffers(file);
    return ::CloseHandle(file) && written;
}

// Read a whole file of at most SETTINGS_FILE_MAX bytes into a fresh heap block; null when
// it is missing, unreadable or too large.
char* read_whole_file(const wchar_t* path, size_t* size) {
    HANDLE file =
        ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    LARGE_INTEGER file_size = {};
    char* bytes = nullptr;
    if (::GetFileSizeEx(file, &file_size) && file_size.QuadPart <= SETTINGS_FILE_MAX) {
        const DWORD want = static_cast<DWORD>(file_size.QuadPart);
        bytes = static_cast<char*>(heap_alloc(want));
        DWORD got = 0;
        if (bytes != nullptr && (!::ReadFile(file, bytes, want, &got, nullptr) || got != want)) {
            heap_free(bytes);
            bytes = nullptr;
        }
        *size = want;
    }
    ::CloseHandle(file);
    return bytes;
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Read a program's settings file into the record (released first).
int32_t settings_load(Settings* settings, const char* program) {
    if (settings == nullptr) {
        return 0;
    }
    // The name is copied before the release: it may be the record's own.
    char* name = valid_program(program) ? heap_copy(program, std::strlen(program)) : nullptr;
    settings_release(settings);
    settings->program = name;
    SettingsPaths paths = {};
    if (name == nullptr || !settings_paths(name, &paths)) {
        return 0;
    }
    size_t size = 0;
    char* text = read_whole_file(paths.file, &size);
    if (text == nullptr) {
        return 0;
    }
    const bool read = parse_settings(settings, text, size);
    heap_free(text);
    return read ? 1 : 0;
}

// A value as a fresh heap string, or a copy of fallback (null for a null fallback).
char* settings_get_text(const Settings* settings, const char* name, const char* fallback) {
    const SettingsEntry* entry =
        name != nullptr ? find_entry(settings, name, std::strlen(name)) : nullptr;
    const char* text = entry != nullptr ? entry->value : fallback;
    return text != nullptr ? string_duplicate(text) : nullptr;
}

// A value as a whole number, or fallback.
int32_t settings_get_number(const Settings* settings, const char* name, int32_t fallback) {
    const SettingsEntry* entry =
        name != nullptr ? find_entry(settings, name, std::strlen(name)) : nullptr;
    if (entry == nullptr) {
        return fallback;
    }
    const char* c = entry->value;
    const bool negative = *c == '-';
    c += negative ? 1 : 0;
    if (*c == '\0') {
        return fallback;
    }
    int64_t value = 0;
    for (; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') {
            return fallback;
        }
        value = value * 10 + (*c - '0');
        if (value > static_cast<int64_t>(INT32_MAX) + 1) {
            return fallback;
        }
    }
    value = negative ? -value : value;
    return value > INT32_MAX ? fallback : static_cast<int32_t>(value);
}

// Set a value in the record (not yet written); a null value removes the name.
int32_t settings_set_text(Settings* settings, const char* name, const char* value) {
    const size_t length = name != nullptr ? std::strlen(name) : 0;
    if (settings == nullptr || !valid_name(name, length)) {
        return 0;
    }
    if (value == nullptr) {
        SettingsEntry* entry = find_entry(settings, name, length);
        if (entry != nullptr) {
            heap_free(entry->name);
            heap_free(entry->value);
            SettingsEntry* last = &settings->entries[settings->count - 1];
            std::memmove(entry, entry + 1, sizeof(SettingsEntry) * (last - entry));
            settings->count -= 1;
        }
        return 1;
    }
    char* copy = heap_copy(value, std::strlen(value));
    return copy != nullptr && put_value(settings, name, length, copy) ? 1 : 0;
}

// Set a value in the record as a decimal number.
int32_t settings_set_number(Settings* settings, const char* name, int32_t value) {
    char text[16];
    std::snprintf(text, sizeof(text), "%d", static_cast<int>(value));
    return settings_set_text(settings, name, text);
}

// Write every value to a temporary file beside the settings file, then rename it over the
// old one.
int32_t settings_save(const Settings* settings) {
    SettingsPaths paths = {};
    if (settings == nullptr || !valid_program(settings->program) ||
        !settings_paths(settings->program, &paths)) {
        return 0;
    }
    TextBuffer text = settings_text(settings);
    bool saved = !text.failed;
    if (saved) {
        // The application-data folder itself may be missing in a fresh profile.
        ::SHCreateDirectoryExW(nullptr, paths.folder, nullptr);
        saved = write_whole_file(paths.temporary, text.bytes, text.length) &&
                fail_step != SETTINGS_FAIL_RENAME &&
                ::MoveFileExW(paths.temporary, paths.file,
                              MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        if (!saved) {
            ::DeleteFileW(paths.temporary);
        }
    }
    heap_free(text.bytes);
    return saved ? 1 : 0;
}

// Free what the record holds and zero it.
int32_t settings_release(Settings* settings) {
    if (settings == nullptr) {
        return 0;
    }
    drop_entries(settings);
    heap_free(settings->program);
    *settings = Settings{};
    return 0;
}

// Make one step of settings_save fail from now on (SETTINGS_FAIL_NONE: none).
void settings_set_fail_step(SettingsFailStep step) {
    fail_step = step;
}
