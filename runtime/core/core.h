// Runtime core, what a program calls: process start-up and end, the runtime heap and
// temporary strings, strings and numbers, random numbers and the clock, message boxes
// and sound, files.
// Relies on KERNEL32, USER32 (message boxes) and WINMM (sound) only.
// Windows, drawing and images live in runtime/window/window.h and runtime/draw/draw.h.
// WindowRecord is only named here (a message box's owner), so this header does not
// include window.h. What the runtime's own files share (shut-down steps, the heap's
// internals, dialog definitions, the tests' seams) is in core_internal.h.
//
// Text: every char* the runtime takes or gives, in every area, holds text in the process's
// ANSI code page, unless the routine's own comment says otherwise (the routines named
// _utf8 and the clipboard's take UTF-8 whatever the code page). A program built with the
// runtime's CMake package runs with UTF-8 as that code page (an application manifest the
// package links in; Windows 10 1903 and later, and Wine), so a char* holds any script;
// one that sets the target property TARROWIND_SYSTEM_CODE_PAGE keeps the system's code
// page, where characters outside it become "?". docs/text.md tells the whole of it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <initializer_list>

struct WindowRecord; // defined in runtime/window/window.h

// ============================================================================
// Kinds of values
// ============================================================================

// TypeCode: the runtime's numbering of value kinds. It gives the element size of
// typed_alloc and, inside a TypeTag, the kind of a typed argument.
enum TypeCode : int32_t {
    TYPE_STRING = 0,   // string, passed as its address; 255 bytes in typed_alloc
    TYPE_BYTE = 1,     // 8-bit integer
    TYPE_INT = 2,      // signed 32-bit integer (also a resource number)
    TYPE_SINGLE = 3,   // single-precision real
    TYPE_BLOCK = 5,    // memory-block variable: holds the address of a global-memory block
    TEXT_FILE = 6,     // file variable read as text
    BINARY_FILE = 11,  // file variable read as bytes
    TYPE_WORD = 13,    // 16-bit integer
    TYPE_DOUBLE = 14,  // double-precision real
    TYPE_RAW = 15,     // raw bytes: the runtime's own records
    TYPE_POINTER = 16, // receives the address of resource bytes
    TYPE_INT64 = 17,   // signed 64-bit integer
    TYPE_UINT64 = 18,  // unsigned 64-bit integer
    TYPE_UINT = 19,    // unsigned 32-bit integer (also a resource number)
};

// TypeTag: a TypeCode in the low 16 bits, 1 in the high 16 bits, passed beside a typed
// argument. Routines compare only the low 16 bits.
using TypeTag = uint32_t;
// The tag of a TypeCode.
constexpr TypeTag type_tag(int32_t code) {
    return 0x10000u | static_cast<uint16_t>(code);
}
// The TypeCode of a tag (its low 16 bits).
constexpr int32_t tag_code(TypeTag tag) {
    return static_cast<int32_t>(tag & 0xFFFFu);
}
constexpr TypeTag TAG_STRING = 0x10000;      // a string argument
constexpr TypeTag TAG_BLOCK = 0x10005;       // a memory-block variable
constexpr TypeTag TAG_TEXT_FILE = 0x10006;   // a text file variable
constexpr TypeTag TAG_BINARY_FILE = 0x1000B; // a binary file variable

// ============================================================================
// Start-up, end and shut-down
// ============================================================================

// Prepare the process: floating-point mode, the runtime heap, the module handle.
void runtime_startup();
// End the program from any depth: run runtime_shutdown and end the process (exit code 0).
[[noreturn]] void program_end();
// The program's own module, read at start-up.
HINSTANCE runtime_module();

// ============================================================================
// The runtime heap
// ============================================================================

// Create the runtime heap if there is none; 1 when it exists afterwards.
int32_t heap_create();
// A zeroed block of size + 3 bytes from the runtime heap, or null.
void* heap_alloc(size_t size);
// Return a block to the runtime heap; nonzero when freed.
int32_t heap_free(void* block);
// A fresh heap copy of any string.
char* string_duplicate(const char* text);

// ============================================================================
// The TempStack
// ============================================================================

constexpr int32_t TEMP_STACK_SIZE = 1000;
// Record a heap string as the top TempStack entry (owned by the stack from now on).
int32_t temp_push(char* text);
// Free and remove the top count entries.
int32_t temp_pop(int32_t count);
// Free every entry, oldest first.
int32_t temp_release_all();
// Number of TempStack entries in use.
int32_t temp_count();

// ============================================================================
// PtrList
// ============================================================================

struct PtrNode {
    PtrNode* next; // null at the end
    PtrNode* prev; // the head for the first real node
    void* payload; // null in the head
};
// Three 32-bit words in a 32-bit build, three 64-bit words in a 64-bit one.
static_assert(sizeof(PtrNode) == (sizeof(void*) == 8 ? 24 : 12));

// A new, empty list: its zeroed head node, or null.
PtrNode* list_create();
// Insert a node holding payload right after node; the payload, or null without memory.
void* list_insert_after(PtrNode* node, void* payload);
// Add a node holding payload after the last node reachable from node.
void* list_append(PtrNode* node, void* payload);
// Unlink and free node (and its payload when asked); the node that followed it.
PtrNode* list_remove(PtrNode* node, int32_t free_payload);
// Free every node from head onwards, and each payload when asked.
int32_t list_free(PtrNode* head, int32_t free_payloads);
// The first real node of a list, or null.
PtrNode* list_first(PtrNode* head);
// The node after node, or null.
PtrNode* list_next(PtrNode* node);
// A node's payload, or null.
void* list_payload(PtrNode* node);

// ============================================================================
// Exit hooks
// ============================================================================

using ExitHookRoutine = void (*)(intptr_t value);
struct ExitHook {
    ExitHookRoutine callback;
    intptr_t value; // passed to the callback
};
// Two 32-bit words in a 32-bit build, two 64-bit words in a 64-bit one.
static_assert(sizeof(ExitHook) == (sizeof(void*) == 8 ? 16 : 8));
// Register a routine to run at shut-down (hooks run newest first); -1 when out of memory.
int32_t exit_hook_add(ExitHookRoutine callback, intptr_t value);

// ============================================================================
// Global memory and typed allocation
// ============================================================================

// Store a new zeroed fixed global block of count * size bytes in *variable; -1 if refused.
int32_t global_alloc_zeroed(void** variable, int32_t count, int32_t size);
// A zeroed fixed global block of count elements of the code's size, or null.
void* typed_alloc(int32_t code, int32_t count);
// Element size of a TypeCode in typed_alloc.
int32_t type_size(int32_t code);
// Free a global block, unconditionally.
int32_t global_free(void* block);
// Free a global block unless it is null.
int32_t global_free_if_set(void* block);

// ============================================================================
// Debugger output and interface identifiers
// ============================================================================

// Send a text to the debugger output.
int32_t debug_message(const char* text);
// Write a 128-bit interface identifier.
int32_t guid_make(GUID* destination, uint32_t data1, uint16_t data2, uint16_t data3,
                  const uint8_t data4[8]);

// ============================================================================
// Strings and numbers
// ============================================================================

extern int32_t decimal_places; // digits after the point for non-integral numbers (2)

// The concatenation of the strings, as a fresh heap string.
char* string_concat(std::initializer_list<const char*> parts);
// The running executable's folder with its trailing backslash, as a fresh heap string.
char* start_path();
// " 5", " -5", " 2.50": the number's text with a leading blank, as a fresh heap string.
char* number_to_string(double value);
// An upper-case copy (ANSI, locale-aware), as a fresh heap string.
char* string_upper(const char* text);
// The number of bytes before the NUL (a character outside ASCII takes two to four).
int32_t string_length(const char* text);
// Copy source into destination, terminator included; the destination.
char* string_copy(char* destination, const char* source);
// Append source at destination's terminator; the destination.
char* string_append(char* destination, const char* source);
// The code (0 to 255) of the first byte; 0 for an empty string.
int32_t first_char_code(const char* text);
// 1 when the low 8 bits of character are a digit "0" to "9".
int32_t char_is_digit(int32_t character);
// The leading decimal number of a text (blanks, "-", digits, "." and digits); 0 when none.
double text_to_number(const char* text);
// x raised to y; 0 for a negative x with a fractional y, and for x = 0.
double real_power(double x, double y);
// The absolute value of x.
double real_abs(double x);
// Write a signed integer followed by a blank; the characters written before the NUL.
int32_t decimal_from_int64(char* buffer, int64_t value);
// Write an unsigned integer followed by a blank; the characters written before the NUL.
int32_t decimal_from_uint64(char* buffer, uint64_t value);
// Write value with decimals digits after the point behind a sign column; the length.
int32_t decimal_from_real(char* buffer, double value, int32_t decimals);
// decimal_from_real for a single-precision value.
int32_t decimal_from_real_single(char* buffer, float value, int32_t decimals);
// 1-based byte position of find in text at or after byte start; 0 when absent.
int32_t string_find(const char* text, const char* find, int32_t start);

// ============================================================================
// Random numbers and the clock
// ============================================================================

// Draw an integer in low..high, or in 0..low when high is 0; low when the span is 0.
int32_t random_range(int32_t low, int32_t high);
// Draw a real in [low, high) when high > low, otherwise between 0 and low.
float random_real(float low, float high);
// Set the generator's state without drawing.
int32_t random_seed(uint32_t seed);
// Whole seconds since the system started.
int32_t clock_seconds();
// Milliseconds of the system tick clock (GetTickCount unless a test replaced it).
uint32_t tick_count();

// ============================================================================
// Message boxes and sound
// ============================================================================

// A modal box centred over its owner (or the desktop); the button that closed it.
int32_t message_box(WindowRecord* owner, const char* text, const char* caption, uint32_t style);

// Play a wave file (TAG_STRING) or an in-memory wave image (TAG_BLOCK); mode 0 waits,
// mode 1 returns at once. No sound (empty name, other kind) stops the sound playing.
// 1 when the platform's player took the sound; 0 when it did not, or when the wave was
// refused as damaged (it would make the player crash or never end), which also sends one
// line naming the wave and the reason to the debugger output. A file whose name takes
// MAX_PATH bytes or more (the platform's player cannot open it by name) is played from a
// copy in memory, up to 64 MB, kept by the runtime until the next call.
int32_t play_wave(const void* sound, TypeTag tag, uint32_t mode);

// ============================================================================
// Files
// ============================================================================

// File names are text in the process's ANSI code page (UTF-8 for programs built from the
// package), so names in any script open; a name that is not valid text there is refused.
// Open by mode "R", "W", "A", "R+" (or lower case); 0 when opened, 1 otherwise. "R" reads
// only; "R+" (binary only) reads and writes an existing file; "W" makes the file new and
// empty; "A" opens or makes it and starts at its end. When it gives 1, GetLastError says
// why in the platform's codes: ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND (no such file
// or folder), ERROR_ACCESS_DENIED (no access, a folder, or a read-only file opened to
// write), ERROR_SHARING_VIOLATION (another program holds it without sharing),
// ERROR_INVALID_NAME (a name that is not text in the code page), ERROR_INVALID_PARAMETER
// (a wrong mode or no name).
int32_t file_open(HANDLE* file, TypeTag tag, const char* name, const char* mode);
// Close a file variable's file and set it to null.
int32_t file_close(HANDLE* file, TypeTag tag);
// The size in bytes of a file variable's open file, or -1 when it holds none.
int64_t file_size(HANDLE* file, TypeTag tag);
// Read bytes (binary), a line (text into a string) or a number (text into a numeric
// destination). count: bytes for binary reads; for line reads, the destination's
// capacity in bytes, terminator included (0: a string variable of 256). A line longer
// than the capacity is cut: the next read gives its rest as if it were a line of its own
// (file_read_line reads a line of any length whole). A UTF-8 byte-order mark at the start
// of the file is skipped by line reads. Integers round ties to even and stop at their
// type's limits. 0 when something was read, -1 otherwise.
int32_t file_read(HANDLE* file, TypeTag tag, void* destination, TypeTag destination_tag,
                  uint32_t count);
// Write length bytes at the file's position (after what was read or written last; "A"
// starts at the end); length when every byte was written, else -1 (no open file, a
// negative length, a file opened "R", a full disk, a failure of the platform): what a
// failed write added past the file's old end is cut off again. Text or binary alike.
int32_t file_write(HANDLE* file, TypeTag tag, const void* bytes, int32_t length);
// Write a line: text (bytes up to its NUL, as they are) and a CR LF line end, in one write;
// the bytes written, line end included, or -1 as file_write.
int32_t file_write_line(HANDLE* file, TypeTag tag, const char* text);
// The next line of any length as a fresh heap string without its line end (CR, LF or
// CR LF); the caller frees it with heap_free. A last line without a line end is a line;
// an empty line gives "". Null at the end of the file, on failure or without memory. A
// UTF-8 byte-order mark at the start of the file is skipped. Reads may be mixed with
// file_read, file_write and file_write_line on the same file.
char* file_read_line(HANDLE* file, TypeTag tag);

// ============================================================================
// Settings files
// ============================================================================

// One named value of a Settings record.
struct SettingsEntry {
    char* name;  // heap string: a valid name
    char* value; // heap string: any text; null once the name is removed
};

// Named values of one program, read from and written to
// <the user's application-data folder>\<program>\settings.ini as whole-file replacements.
// Zeroed storage, or a record given to settings_release, may be loaded. Finding a name
// takes the same short time however many values the record holds. Names are ASCII; values
// are kept byte for byte, so text of any script comes back as it was set (a program's
// char* text is in its ANSI code page; the file holds the same bytes).
struct Settings {
    char* program;          // heap copy of the program's name; null for none or a refused one
    SettingsEntry* entries; // heap block of capacity entries in the order first set, or null
    int32_t count;          // entries in use, those of removed names included
    int32_t capacity;       // entries the block holds
    int32_t removed;        // entries in use whose name was removed (value null), until the
                            // block is compacted
    int32_t* slots;         // heap index of slot_count slots: 1 + an entry's place, found from
                            // a hash of its name, or 0 for none; null with no entries
    int32_t slot_count;     // a power of two, more than twice count; 0 with no index
    int32_t file_state;     // what the last settings_load found (a SETTINGS_ file state);
                            // SETTINGS_READ once a save kept a damaged file beside
};
// A name: ASCII letters, digits, '.', '_' and '-', 1 to SETTINGS_NAME_MAX characters. A
// program's name may also hold blanks inside, and neither starts nor ends with '.'. What
// the platform takes for a device (CON, PRN, AUX, NUL, COM0 to COM9, LPT0 to LPT9, alone or
// before a '.', blanks before the '.' included: "nul.txt", "Aux .log") is refused; a longer
// name that starts with one ("Con Man", "COM1 Monitor") is a folder like any other.
constexpr int32_t SETTINGS_NAME_MAX = 64;
// The largest settings file written or read; a larger one is read as damaged, with no values.
constexpr int32_t SETTINGS_FILE_MAX = 16 * 1024 * 1024;
// How long a load or a save waits for a file that another program holds (it may be
// loading or saving the same settings at that moment), in milliseconds.
constexpr uint32_t SETTINGS_WAIT_MS = 2000;

// File states: what settings_load found, returned and kept in the record's file_state.
constexpr int32_t SETTINGS_NO_FILE = 0; // no file, or a refused program name: no values
constexpr int32_t SETTINGS_READ = 1;    // the file was read whole
// The file has bad lines, is cut short or is too large: every good line is read, and the
// first bad one is named on the debugger output. The next save keeps the old file beside
// the new one, as settings.ini.bad (settings.ini.2.bad to settings.ini.99.bad when that
// name is taken; the save is refused when all are).
constexpr int32_t SETTINGS_DAMAGED = 2;
// The file is there but could not be read (another program held it for SETTINGS_WAIT_MS,
// access refused, no memory): no values, the error named on the debugger output, and a save
// of this record is refused, so that the file stays as it is. Load again to save.
constexpr int32_t SETTINGS_UNREADABLE = -1;

// Read a program's settings: its file state (SETTINGS_READ, SETTINGS_NO_FILE,
// SETTINGS_DAMAGED, SETTINGS_UNREADABLE). A value missing from the record gives its
// fallback. A zeroed or released record may be loaded; a loaded one is released first.
// Blank lines, lines starting with ';', a byte-order mark, LF line ends, empty lines after
// the end line and a last line without its line end, as editors leave them, are read.
int32_t settings_load(Settings* settings, const char* program);
// A value as a fresh heap string, or a copy of fallback (null fallback: null) when there is
// none.
char* settings_get_text(const Settings* settings, const char* name, const char* fallback);
// A value as a number, or fallback when there is none or it is not a whole number. A whole
// number is an optional "-" and decimal digits, within the 32-bit range.
int32_t settings_get_number(const Settings* settings, const char* name, int32_t fallback);
// Set a value in the record (not yet written); 1, or 0 for a bad name or without memory. A
// null value removes the name.
int32_t settings_set_text(Settings* settings, const char* name, const char* value);
// Set a value in the record as a decimal number; 1, or 0 for a bad name or without memory.
int32_t settings_set_number(Settings* settings, const char* name, int32_t value);
// Write every value to the file, whole: to a temporary file in the same folder, then
// renamed over the old one (waiting up to SETTINGS_WAIT_MS while another program holds
// it); 1 when written. A damaged file read by the last load is kept beside first (see
// SETTINGS_DAMAGED), and the record's file_state becomes SETTINGS_READ. A crash while
// saving never loses the old settings, and the temporary file it leaves is deleted by the
// next save once its process has ended. 0 for a record with no program, one whose file was
// unreadable, a file that would pass SETTINGS_FILE_MAX, or a failure of the platform: the
// old file then stays as it was.
int32_t settings_save(Settings* settings);
// Free what the record holds and zero it; it may be loaded again.
int32_t settings_release(Settings* settings);
