// What the runtime's core files share among themselves and with the other areas, beside
// the public core.h: the steps of shut-down, the heap's internals, the dialog definition
// list released at shut-down, the loaders' refusal reports, the message box's centring,
// and the seams through which the tests replace platform calls. Programs include core.h
// only; this header is not installed. message_box.cpp and startup.cpp read window records
// (runtime/window).
#pragma once

#include "runtime/core/core.h"

// ============================================================================
// Start-up and shut-down (startup.cpp)
// ============================================================================

// Release dialog definitions, run exit hooks newest first, destroy the heap.
void runtime_shutdown();
// End the process with exit_code through the exit routine, without shut-down.
[[noreturn]] void runtime_exit(UINT exit_code);
constexpr UINT EXIT_OUT_OF_MEMORY = 1; // exit code after the "Out of memory" stop

// ============================================================================
// The heap, the TempStack and exit hooks (heap.cpp, temp_stack.cpp, exit_hooks.cpp)
// ============================================================================

// heap_alloc for routines that return strings: when the heap is exhausted, shows an
// "Out of memory" box and ends the process with EXIT_OUT_OF_MEMORY.
void* heap_alloc_or_stop(size_t size);
// The runtime heap, null before heap_create and after shut-down.
HANDLE heap_handle();
// Destroy the runtime heap with every block still in it (the last step of runtime_shutdown).
void heap_destroy();
// Empty the TempStack without freeing: the heap calls it when it is made or destroyed.
void temp_forget_all();
// Run the exit hooks newest first and release them (a step of runtime_shutdown).
void exit_hooks_run();

// ============================================================================
// Dialog definitions
// ============================================================================

// Dialog definitions, built by the dialog facility (runtime/dialog) and released here at
// shut-down. Every block is zeroed global memory (typed_alloc, code 15). The release walks
// only the first field of a DialogDefinition and the next and extra_block fields of a
// ControlDefinition; the fields between belong to the dialog facility.
struct ControlDefinition {
    ControlDefinition* next; // the next control of the dialog, null at the end
    int32_t kind;            // ControlKind
    int32_t id;              // control identifier
    int32_t x, y;            // place in dialog units
    int32_t width, height;   // size in dialog units
    uint32_t style;          // window styles added to the kind's own
    int32_t state;           // check state, or the selected item (-1 none)
    int32_t item_count;      // a list's items in extra_block
    uint32_t text_color;     // settings given before the dialog is shown, applied when it is:
    uint32_t back_color;     //   colours as the control's properties hold them (COLORREF
    uint32_t hot_color;      //   with bit 24 set, 0 for none),
    uint32_t notify;         //   Enter (bit 0) and Tab (bit 1) notifications
    HWND window;             // the control while its dialog is shown, else null
    void* extra_block;       // the control's text (a list's items, each NUL-terminated), or null
};
struct DialogDefinition {
    ControlDefinition* first_control; // head of the dialog's controls, in tab order
    ControlDefinition* last_control;  // where the next control is added
    int32_t control_count;            // controls in the list
    int32_t x, y;                     // place in dialog units; negative: centred on the owner
    int32_t width, height;            // size in dialog units
    char caption[1];                  // the caption, NUL-terminated; the block ends with it
};
struct DialogListNode {
    DialogListNode* next;
    WindowRecord* record; // its dialog_def points to a DialogDefinition block
};
extern DialogListNode* dialog_definition_list;
// Free one dialog's definition buffer and the control definitions it holds.
void dialog_definition_free(DialogDefinition* definition);
// Free every dialog definition on the list, then the list itself.
void dialog_definitions_release();

// ============================================================================
// Debugger output (debug_output.cpp)
// ============================================================================

// Say on the debugger output why a loader refused a file: "routine: name refused: reason".
void debug_refusal(const char* routine, const char* name, const char* reason);

// ============================================================================
// Message boxes (message_box.cpp)
// ============================================================================

// WH_CBT hook that places pop-up windows made while a box is up.
LRESULT CALLBACK centring_hook(int code, WPARAM first, LPARAM second);
// The centring rule: centre a cx by cy window on reference, kept inside work with 0 as
// the lower limit.
POINT centring_position(const RECT& reference, int32_t cx, int32_t cy, const RECT& work);

// ============================================================================
// UTF-8 and UTF-16 (utf8.cpp)
// ============================================================================
// Each ill-formed piece of UTF-8 (a byte that starts no sequence, or the longest start of
// a sequence that breaks off) and each lone surrogate of UTF-16 converts to one U+FFFD.

// The bytes of a UTF-8 argument: length itself, or the bytes before the NUL for -1; -1 for
// null text or another negative length.
int32_t utf8_argument_bytes(const char* text, int32_t length);
// Count the UTF-16 units of bytes of UTF-8 (never more than bytes); *clean, when given,
// says whether it was well formed.
size_t utf16_units(const char* text, size_t bytes, bool* clean);
// Convert bytes of UTF-8 into out, which holds utf16_units of them; the units written (no
// terminator).
size_t utf8_to_utf16(const char* text, size_t bytes, wchar_t* out);
// Count the UTF-8 bytes of units of UTF-16.
size_t utf8_bytes(const wchar_t* text, size_t units);
// Convert units of UTF-16 into out, which holds utf8_bytes of them; the bytes written (no
// terminator).
size_t utf16_to_utf8(const wchar_t* text, size_t units, char* out);
// A fresh heap string of units of UTF-16 in UTF-8, or null without memory.
char* utf16_to_heap_utf8(const wchar_t* text, size_t units);
// A fresh heap block of the UTF-16 of bytes of UTF-8, NUL-terminated, or null without
// memory; *units (when given) receives its length.
wchar_t* utf8_to_heap_utf16(const char* text, size_t bytes, size_t* units);
// Record where each UTF-16 unit of bytes of UTF-8 comes from: starts[u] is the byte offset
// of the piece unit u converts (both units of a pair name the same byte), and
// starts[units] is bytes; starts holds utf16_units of them plus one.
void utf8_unit_starts(const char* text, size_t bytes, int32_t* starts);

// ============================================================================
// Text in the ANSI code page and UTF-16 (ansi_text.cpp)
// ============================================================================
// For routines that take or give a char* of the program's (in the process's ANSI code
// page) and call the platform's wide side. With UTF-8 as the code page, ill-formed bytes
// convert as in utf8.cpp.

// Convert bytes of text in the ANSI code page into out, which holds bytes units; the units
// written (no terminator).
size_t ansi_to_wide(const char* text, size_t bytes, wchar_t* out);
// A fresh heap block of text (null counts as "") in UTF-16, NUL-terminated, or null without
// memory.
wchar_t* ansi_to_heap_wide(const char* text);
// A fresh heap string of units of UTF-16 in the ANSI code page, or null without memory;
// *lossless (when given) says whether the code page holds every character.
char* wide_to_heap_ansi(const wchar_t* text, size_t units, bool* lossless);
// Set a window's text from text in the ANSI code page; nonzero when set.
BOOL window_set_text(HWND window, const char* text);

// File names go to the platform exactly as the program wrote them, or not at all: a name
// converted with a substitute character would name another file.
// A fresh heap block of a name in the ANSI code page in UTF-16, NUL-terminated; null for a
// null name, one that is not valid text in the code page, or without memory.
wchar_t* ansi_name_to_heap_wide(const char* name);
// A fresh heap string of a name of units of UTF-16 (-1: up to its NUL) in the ANSI code
// page; null when a character has no form there (it would come back as another) or without
// memory.
char* wide_name_to_heap_ansi(const wchar_t* name, int32_t units);

// ============================================================================
// Test seams
// ============================================================================
// Replaceable platform calls and failure switches for the tests; programs leave them
// alone. Those that take a routine restore the platform's own when given null.

// Replace the routine that ends the process after shut-down (ExitProcess by default).
// Should the routine return, ExitProcess still ends the process.
using ProcessExitRoutine = void (*)(UINT exit_code);
void runtime_set_exit_routine(ProcessExitRoutine routine);
// Let heap_alloc succeed count more times, then fail until set again; negative: never fail.
void heap_set_fail_after(int32_t count);
// Also hand every debug_message text (TempStack reports) to listener.
using DebugListener = void (*)(const char* text);
void debug_message_set_listener(DebugListener listener);
// Return the random generator to its unseeded state, as at load.
void random_forget_seed();
// Replace the tick clock (GetTickCount).
using TickSource = uint32_t (*)();
void tick_source_set(TickSource source);
// Answer message boxes without showing them (MessageBoxA).
using MessageBoxResponder = int32_t (*)(HWND owner, const char* text, const char* caption,
                                        uint32_t style);
void message_box_set_responder(MessageBoxResponder responder);
// Replace PlaySoundA.
using WavePlayer = BOOL (*)(const char* sound, HMODULE module, DWORD flags);
void play_wave_set_player(WavePlayer player);
// Make one step of settings_save fail (a crash or a full disk part way): the temporary
// file's creation, its writing (after half of it), its flush, or the rename over the old file.
enum SettingsFailStep : int32_t {
    SETTINGS_FAIL_NONE = 0,
    SETTINGS_FAIL_CREATE = 1,
    SETTINGS_FAIL_WRITE = 2,
    SETTINGS_FAIL_FLUSH = 3,
    SETTINGS_FAIL_RENAME = 4,
};
void settings_set_fail_step(SettingsFailStep step);
