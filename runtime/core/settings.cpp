// Settings files: a program's named values (text and numbers) in
// <application data>\<program>\settings.ini, read whole and written whole. A save writes a
// temporary file beside the old one, flushes it and renames it over the old one, so that
// the old file is replaced only by a complete new one. A damaged file gives its good
// lines and is kept beside the new one when the record is saved; a file that could not be
// read is never replaced from that record.
// Relies on KERNEL32 (files), SHELL32 (the application-data folder) and the runtime heap.
//
// The file, UTF-8 with CR LF line ends:
//     [settings]
//     name=value        one line per value; "\\", "\n" and "\r" stand for a backslash,
//     ...               a line feed and a carriage return in the value
//     [end]
// Its header and end lines mark it whole; blank lines and lines starting with ';' are
// passed over wherever they stand before the end line, and a name given twice keeps its
// last value. Empty lines after the last line, LF line ends and a last line without a
// line end are read too, as editors leave them. Any other line is bad; a file with one is
// damaged, and its first bad line is named on the debugger output. A record finds a name
// through an index of hashes, so that loading, getting and setting take time in
// proportion to the values, not to their square.
#include "runtime/core/core_internal.h"

#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <iterator>

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

// How reading a file's text ended.
enum ReadOutcome : int32_t {
    READ_DONE,      // the whole text was read
    READ_NO_FILE,   // there is no file (nor folder)
    READ_FAILED,    // there is one, but it could not be read
    READ_TOO_LARGE, // it is larger than SETTINGS_FILE_MAX
};

// How reading a text's values ended.
enum ParseOutcome : int32_t {
    PARSE_WHOLE,     // every line was good
    PARSE_DAMAGED,   // the good lines were read; fault names the first bad one
    PARSE_NO_MEMORY, // memory ran out: the record is emptied
};

// The first bad line of a text: its number (1 for the first line) and why it is bad.
struct LineFault {
    int32_t line;       // 0 for a fault of the whole file
    const char* reason; // null while no line is bad
};

// ============================================================================
// Module state
// ============================================================================

SettingsFailStep fail_step = SETTINGS_FAIL_NONE; // test seam: the save's step that fails

const char HEADER_LINE[] = "[settings]";
const char END_LINE[] = "[end]";
const char LINE_END[] = "\r\n";
constexpr int32_t MIN_CAPACITY = 8; // entries of the first block
constexpr int32_t MIN_SLOTS = 16;   // slots of the first index
constexpr DWORD RETRY_MS = 5;       // pause between tries while another program holds the file
constexpr int32_t KEPT_NAMES = 99;  // settings.ini.bad, then settings.ini.2.bad to .99.bad

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

// The platform's device names, which no folder may take: the part before the first '.',
// without the blanks that end it, is one ("NUL", "nul.txt", "Aux .log"; not "Con Man").
bool is_device_name(const char* name) {
    static const char* const DEVICES[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    size_t stem = 0;
    while (name[stem] != '\0' && name[stem] != '.') {
        ++stem;
    }
    while (stem > 0 && name[stem - 1] == ' ') {
        --stem;
    }
    for (const char* device : DEVICES) {
        if (std::strlen(device) == stem && ::_strnicmp(name, device, stem) == 0) {
            return true;
        }
    }
    // COM0 to COM9 and LPT0 to LPT9.
    return stem == 4 && (::_strnicmp(name, "COM", 3) == 0 || ::_strnicmp(name, "LPT", 3) == 0) &&
           name[3] >= '0' && name[3] <= '9';
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

// FNV-1a over a name's bytes: where its entry's search in the index starts.
uint32_t name_hash(const char* name, size_t length) {
    uint32_t hash = 2166136261u;
    for (size_t i = 0; i < length; ++i) {
        hash = (hash ^ static_cast<uint8_t>(name[i])) * 16777619u;
    }
    return hash;
}

// The index slot of a name (the record has an index): the one that holds its entry, or
// the empty one where its entry would go.
int32_t* find_slot(const Settings* settings, const char* name, size_t length) {
    const uint32_t mask = static_cast<uint32_t>(settings->slot_count) - 1;
    // The index is at most half full, so the search meets an empty slot.
    for (uint32_t i = name_hash(name, length) & mask;; i = (i + 1) & mask) {
        int32_t* slot = &settings->slots[i];
        if (*slot == 0) {
            return slot;
        }
        const char* held = settings->entries[*slot - 1].name;
        if (std::strncmp(held, name, length) == 0 && held[length] == '\0') {
            return slot;
        }
    }
}

// The entry of a name, removed or not, or null.
SettingsEntry* find_entry(const Settings* settings, const char* name, size_t length) {
    if (settings == nullptr || settings->slots == nullptr) {
        return nullptr;
    }
    const int32_t place = *find_slot(settings, name, length);
    return place != 0 ? &settings->entries[place - 1] : nullptr;
}

// The value of a name, or null when it has none.
const char* find_value(const Settings* settings, const char* name) {
    const SettingsEntry* entry =
        name != nullptr ? find_entry(settings, name, std::strlen(name)) : nullptr;
    return entry != nullptr ? entry->value : nullptr;
}

// Put every entry in use into the index's slots, emptied first.
void fill_index(Settings* settings) {
    std::memset(settings->slots, 0, sizeof(int32_t) * settings->slot_count);
    for (int32_t i = 0; i < settings->count; ++i) {
        const char* name = settings->entries[i].name;
        *find_slot(settings, name, std::strlen(name)) = i + 1;
    }
}

// Make room in the index for one more entry, keeping it at most half full; false without
// memory (the record unchanged).
bool grow_index(Settings* settings) {
    if (settings->count < settings->slot_count / 2) {
        return true;
    }
    int64_t slot_count = MIN_SLOTS;
    while (slot_count / 2 <= settings->count) {
        slot_count *= 2;
    }
    if (slot_count > INT32_MAX / 2) {
        return false;
    }
    int32_t* slots = static_cast<int32_t*>(heap_alloc(sizeof(int32_t) * slot_count));
    if (slots == nullptr) {
        return false;
    }
    heap_free(settings->slots);
    settings->slots = slots;
    settings->slot_count = static_cast<int32_t>(slot_count);
    fill_index(settings);
    return true;
}

// Drop the entries of removed names once they are half of those in use, so that the
// block keeps the order values were first set in and each removal costs little.
void drop_removed(Settings* settings) {
    if (settings->removed <= settings->count / 2) {
        return;
    }
    int32_t kept = 0;
    for (int32_t i = 0; i < settings->count; ++i) {
        if (settings->entries[i].value == nullptr) {
            heap_free(settings->entries[i].name);
        } else {
            settings->entries[kept++] = settings->entries[i];
        }
    }
    settings->count = kept;
    settings->removed = 0;
    fill_index(settings);
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
        settings->removed -= entry->value == nullptr ? 1 : 0;
        heap_free(entry->value);
        entry->value = value;
        return true;
    }
    char* name_copy = heap_copy(name, length);
    if (name_copy == nullptr || !grow_index(settings)) {
        heap_free(name_copy);
        heap_free(value);
        return false;
    }
    if (settings->count == settings->capacity) {
        const int32_t capacity =
            settings->capacity < MIN_CAPACITY ? MIN_CAPACITY : settings->capacity * 2;
        SettingsEntry* grown =
            settings->capacity > INT32_MAX / 2
                ? nullptr
                : static_cast<SettingsEntry*>(heap_alloc(sizeof(SettingsEntry) * capacity));
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
    *find_slot(settings, name, length) = settings->count + 1;
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
    heap_free(settings->slots);
    settings->entries = nullptr;
    settings->count = 0;
    settings->capacity = 0;
    settings->removed = 0;
    settings->slots = nullptr;
    settings->slot_count = 0;
}

// Take one line of [*at, end) and move *at past it; false at the end. The line excludes
// its LF and a CR before it; *complete says whether it had its LF (the last may not).
bool next_line(const char* end, const char** at, const char** line, size_t* length,
               bool* complete) {
    const char* start = *at;
    if (start == end) {
        return false;
    }
    const char* feed = static_cast<const char*>(std::memchr(start, '\n', end - start));
    const char* stop = feed != nullptr ? feed : end;
    *line = start;
    *length = static_cast<size_t>(stop - start);
    if (*length > 0 && start[*length - 1] == '\r') {
        *length -= 1;
    }
    *at = feed != nullptr ? feed + 1 : end;
    *complete = feed != nullptr;
    return true;
}

bool line_is(const char* line, size_t length, const char* text) {
    return std::strlen(text) == length && std::memcmp(line, text, length) == 0;
}

// Undo a value's escapes into a fresh heap string; null without memory, or with *fault
// set when an escape is unknown or a carriage return stands in it.
char* unescape(const char* text, size_t length, const char** fault) {
    char* value = static_cast<char*>(heap_alloc(length + 1));
    if (value == nullptr) {
        return nullptr;
    }
    size_t out = 0;
    for (size_t i = 0; i < length && *fault == nullptr; ++i) {
        char c = text[i];
        if (c == '\r') {
            *fault = "a carriage return in the value";
        } else if (c == '\\') {
            const char next = i + 1 < length ? text[++i] : '\0';
            c = next == 'n' ? '\n' : next == 'r' ? '\r' : next == '\\' ? '\\' : '\0';
            *fault = c == '\0' ? "an unknown escape" : nullptr;
        }
        value[out++] = c;
    }
    value[out] = '\0';
    if (*fault != nullptr) {
        heap_free(value);
        return nullptr;
    }
    return value;
}

// Read a "name=value" line into the record: why it is bad, or null when its value was
// taken (or memory ran out: *no_memory).
const char* read_value_line(Settings* settings, const char* line, size_t length, bool* no_memory) {
    if (std::memchr(line, '\0', length) != nullptr) {
        return "a NUL byte";
    }
    const char* equals = static_cast<const char*>(std::memchr(line, '=', length));
    const size_t name_length = equals != nullptr ? static_cast<size_t>(equals - line) : 0;
    if (!valid_name(line, name_length)) {
        return "not a name=value line";
    }
    const char* fault = nullptr;
    char* value = unescape(equals + 1, length - name_length - 1, &fault);
    if (fault == nullptr && (value == nullptr || !put_value(settings, line, name_length, value))) {
        *no_memory = true;
    }
    return fault;
}

void note_fault(LineFault* fault, int32_t line, const char* reason) {
    if (fault->reason == nullptr) {
        *fault = LineFault{line, reason};
    }
}

// Read the values of a file's text into an empty record: every good line, whatever else
// the text holds; *fault names the first bad line.
ParseOutcome parse_settings(Settings* settings, const char* text, size_t size, LineFault* fault) {
    const char* end = text + size;
    const char* at = text;
    if (size >= 3 && std::memcmp(at, "\xEF\xBB\xBF", 3) == 0) {
        at += 3; // a byte-order mark some editors add
    }
    const char* line = nullptr;
    size_t length = 0;
    int32_t number = 0;
    bool complete = false, headed = false, ended = false, no_memory = false;
    while (!no_memory && next_line(end, &at, &line, &length, &complete)) {
        ++number;
        // Blank lines and comments an editor put above the header line are read as such.
        if (!headed && (length == 0 || line[0] == ';')) {
            continue;
        }
        if (!headed) {
            headed = true;
            if (line_is(line, length, HEADER_LINE)) {
                continue;
            }
            note_fault(fault, number, "the first line is not [settings]");
        }
        if (!ended && line_is(line, length, END_LINE)) {
            ended = true;
        } else if (length > 0 && ended) {
            note_fault(fault, number, "text after the [end] line");
        }
        if (length == 0 || line[0] == ';' || line_is(line, length, END_LINE)) {
            continue;
        }
        if (!complete && !ended) {
            note_fault(fault, number, "the file ends inside this line");
            continue; // its value may be cut
        }
        const char* reason = read_value_line(settings, line, length, &no_memory);
        if (reason != nullptr) {
            note_fault(fault, number, reason);
        }
    }
    if (no_memory) {
        drop_entries(settings);
        return PARSE_NO_MEMORY;
    }
    if (!ended) {
        note_fault(fault, number + 1, "no [end] line: the file is cut short");
    }
    return fault->reason == nullptr ? PARSE_WHOLE : PARSE_DAMAGED;
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
        if (entry.value == nullptr) {
            continue; // a removed name
        }
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

// The process whose save a file name of the folder is the temporary file of
// ("settings.ini.<process id>.tmp"), or 0 for another name.
DWORD temporary_owner(const wchar_t* name) {
    const wchar_t PREFIX[] = L"settings.ini.", SUFFIX[] = L".tmp";
    const size_t prefix = std::size(PREFIX) - 1, suffix = std::size(SUFFIX) - 1;
    const size_t length = std::wcslen(name);
    if (length <= prefix + suffix || length > prefix + suffix + 10 ||
        ::_wcsnicmp(name, PREFIX, prefix) != 0 || ::_wcsicmp(name + length - suffix, SUFFIX) != 0) {
        return 0;
    }
    uint64_t process = 0;
    for (size_t i = prefix; i < length - suffix; ++i) {
        if (name[i] < L'0' || name[i] > L'9') {
            return 0;
        }
        process = process * 10 + static_cast<uint64_t>(name[i] - L'0');
    }
    return process <= UINT32_MAX ? static_cast<DWORD>(process) : 0;
}

// True when a process has ended (or never was); a process that cannot be asked is taken
// to be running.
bool has_ended(DWORD process_id) {
    HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, process_id);
    if (process == nullptr) {
        return ::GetLastError() == ERROR_INVALID_PARAMETER; // no such process
    }
    const bool ended = ::WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    ::CloseHandle(process);
    return ended;
}

// Delete the temporary files that saves by processes now ended left in the folder (a crash
// or a power cut while saving). Those of running processes are theirs to finish.
void remove_stale_temporaries(const SettingsPaths* paths) {
    wchar_t pattern[MAX_PATH];
    std::wmemcpy(pattern, paths->folder, std::wcslen(paths->folder) + 1);
    if (!path_append(pattern, L"\\settings.ini.*.tmp")) {
        return;
    }
    WIN32_FIND_DATAW found = {};
    HANDLE search = ::FindFirstFileW(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        const DWORD owner = temporary_owner(found.cFileName);
        wchar_t path[MAX_PATH];
        std::wmemcpy(path, paths->folder, std::wcslen(paths->folder) + 1);
        if (owner != 0 && owner != ::GetCurrentProcessId() &&
            (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && has_ended(owner) &&
            path_append(path, L"\\") && path_append(path, found.cFileName)) {
            ::DeleteFileW(path);
        }
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
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

// Whether a failure may pass once another program lets go of the file (it is loading or
// saving the same settings, or holds the file open without sharing).
bool is_contention(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
           error == ERROR_LOCK_VIOLATION;
}

// Pause before another try; false once SETTINGS_WAIT_MS have passed since started.
bool wait_to_retry(DWORD started) {
    if (::GetTickCount() - started >= SETTINGS_WAIT_MS) {
        return false;
    }
    ::Sleep(RETRY_MS);
    return true;
}

// Read a whole file of at most SETTINGS_FILE_MAX bytes into a fresh heap block (*bytes,
// *size), waiting while another program holds it; *error says why it could not be read.
ReadOutcome read_whole_file(const wchar_t* path, char** bytes, size_t* size, DWORD* error) {
    const DWORD started = ::GetTickCount();
    HANDLE file = INVALID_HANDLE_VALUE;
    do {
        file = ::CreateFileW(path, GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        *error = file == INVALID_HANDLE_VALUE ? ::GetLastError() : 0;
    } while (file == INVALID_HANDLE_VALUE && is_contention(*error) && wait_to_retry(started));
    if (file == INVALID_HANDLE_VALUE) {
        return *error == ERROR_FILE_NOT_FOUND || *error == ERROR_PATH_NOT_FOUND ? READ_NO_FILE
                                                                                : READ_FAILED;
    }
    LARGE_INTEGER file_size = {};
    ReadOutcome outcome = READ_FAILED;
    if (!::GetFileSizeEx(file, &file_size)) {
        *error = ::GetLastError();
    } else if (file_size.QuadPart > SETTINGS_FILE_MAX) {
        outcome = READ_TOO_LARGE;
    } else {
        const DWORD want = static_cast<DWORD>(file_size.QuadPart);
        DWORD got = 0;
        *bytes = static_cast<char*>(heap_alloc(want));
        if (*bytes == nullptr) {
            *error = ERROR_NOT_ENOUGH_MEMORY;
        } else if (!::ReadFile(file, *bytes, want, &got, nullptr) || got != want) {
            *error = got != want ? ERROR_HANDLE_EOF : ::GetLastError();
            heap_free(*bytes);
            *bytes = nullptr;
        } else {
            *size = want;
            outcome = READ_DONE;
        }
    }
    ::CloseHandle(file);
    return outcome;
}

// Copy the damaged settings file to the first free name of settings.ini.bad and
// settings.ini.2.bad to settings.ini.99.bad; true when copied, or when it is gone.
bool keep_damaged(const SettingsPaths* paths) {
    for (int32_t n = 1; n <= KEPT_NAMES; ++n) {
        wchar_t path[MAX_PATH], leaf[32];
        std::wmemcpy(path, paths->folder, std::wcslen(paths->folder) + 1);
        if (n == 1) {
            std::swprintf(leaf, 32, L"\\settings.ini.bad");
        } else {
            std::swprintf(leaf, 32, L"\\settings.ini.%d.bad", static_cast<int>(n));
        }
        if (!path_append(path, leaf)) {
            return false;
        }
        if (::CopyFileW(paths->file, path, TRUE)) {
            return true;
        }
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) {
            return true; // replaced or removed since the load: nothing of it to keep
        }
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            return false;
        }
    }
    return false;
}

// Rename the temporary file over the settings file, trying again while another program
// holds it; true when renamed.
bool replace_settings_file(const SettingsPaths* paths) {
    if (fail_step == SETTINGS_FAIL_RENAME) {
        return false;
    }
    const DWORD started = ::GetTickCount();
    while (!::MoveFileExW(paths->temporary, paths->file,
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        if (!is_contention(::GetLastError()) || !wait_to_retry(started)) {
            return false;
        }
    }
    return true;
}

// Say on the debugger output why a program's file was damaged or unreadable.
void report_load(const char* program, int32_t state, const LineFault& fault, DWORD error) {
    char text[256];
    if (state == SETTINGS_DAMAGED && fault.line > 0) {
        std::snprintf(text, sizeof text, "settings_load: settings of \"%s\" damaged at line %d: %s",
                      program, static_cast<int>(fault.line), fault.reason);
    } else if (state == SETTINGS_DAMAGED) {
        std::snprintf(text, sizeof text, "settings_load: settings of \"%s\" damaged: %s", program,
                      fault.reason);
    } else if (state == SETTINGS_UNREADABLE) {
        std::snprintf(text, sizeof text,
                      "settings_load: settings of \"%s\" could not be read (error %lu)", program,
                      static_cast<unsigned long>(error));
    } else {
        return;
    }
    debug_message(text);
}

// The file state of a program's settings file, its good values read into the record.
int32_t read_settings(Settings* settings, const SettingsPaths* paths) {
    char* text = nullptr;
    size_t size = 0;
    DWORD error = 0;
    const ReadOutcome outcome = read_whole_file(paths->file, &text, &size, &error);
    LineFault fault = {0, nullptr};
    int32_t state = outcome == READ_NO_FILE ? SETTINGS_NO_FILE : SETTINGS_UNREADABLE;
    if (outcome == READ_TOO_LARGE) {
        state = SETTINGS_DAMAGED;
        fault.reason = "larger than the largest settings file";
    } else if (outcome == READ_DONE) {
        const ParseOutcome parsed = parse_settings(settings, text, size, &fault);
        state = parsed == PARSE_WHOLE     ? SETTINGS_READ
                : parsed == PARSE_DAMAGED ? SETTINGS_DAMAGED
                                          : SETTINGS_UNREADABLE;
        error = parsed == PARSE_NO_MEMORY ? ERROR_NOT_ENOUGH_MEMORY : 0;
    }
    heap_free(text);
    report_load(settings->program, state, fault, error);
    return state;
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Read a program's settings file into the record (released first); its file state.
int32_t settings_load(Settings* settings, const char* program) {
    if (settings == nullptr) {
        return SETTINGS_NO_FILE;
    }
    // The name is copied before the release: it may be the record's own.
    char* name = valid_program(program) ? heap_copy(program, std::strlen(program)) : nullptr;
    settings_release(settings);
    settings->program = name;
    SettingsPaths paths = {};
    if (name == nullptr || !settings_paths(name, &paths)) {
        return SETTINGS_NO_FILE;
    }
    settings->file_state = read_settings(settings, &paths);
    return settings->file_state;
}

// A value as a fresh heap string, or a copy of fallback (null for a null fallback).
char* settings_get_text(const Settings* settings, const char* name, const char* fallback) {
    const char* value = find_value(settings, name);
    const char* text = value != nullptr ? value : fallback;
    return text != nullptr ? string_duplicate(text) : nullptr;
}

// A value as a whole number, or fallback.
int32_t settings_get_number(const Settings* settings, const char* name, int32_t fallback) {
    const char* c = find_value(settings, name);
    if (c == nullptr) {
        return fallback;
    }
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
        // The entry stays, without a value, until drop_removed: its name keeps its place.
        SettingsEntry* entry = find_entry(settings, name, length);
        if (entry != nullptr && entry->value != nullptr) {
            heap_free(entry->value);
            entry->value = nullptr;
            settings->removed += 1;
            drop_removed(settings);
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
// old one, keeping a damaged old one beside first.
int32_t settings_save(Settings* settings) {
    SettingsPaths paths = {};
    if (settings == nullptr || settings->file_state == SETTINGS_UNREADABLE ||
        !valid_program(settings->program) || !settings_paths(settings->program, &paths)) {
        return 0;
    }
    TextBuffer text = settings_text(settings);
    bool saved = !text.failed;
    if (saved) {
        // The application-data folder itself may be missing in a fresh profile.
        ::SHCreateDirectoryExW(nullptr, paths.folder, nullptr);
        remove_stale_temporaries(&paths);
        saved = write_whole_file(paths.temporary, text.bytes, text.length);
        if (saved && settings->file_state == SETTINGS_DAMAGED) {
            saved = keep_damaged(&paths);
            settings->file_state = saved ? SETTINGS_READ : SETTINGS_DAMAGED;
        }
        saved = saved && replace_settings_file(&paths);
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
