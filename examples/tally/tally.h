// Tally: counters drawn as lines of text, changed by clicks, kept in a file the user picks.
// A program of the runtime's package alone: it calls no platform routine of its own.
// Shared by its files: the program's state in one record, and the routines each file
// offers the others (counters.cpp, storage.cpp, form.cpp, main.cpp).
#pragma once

#include "runtime/core/core.h"
#include "runtime/dialog/dialog.h"
#include "runtime/draw/draw.h"
#include "runtime/window/window.h"

// ============================================================================
// Constants
// ============================================================================

constexpr int32_t COUNTERS_MAX = 200;    // counters a tally holds
constexpr int32_t NAME_MAX = 40;         // characters of a counter's name
constexpr int32_t STATUS_ID = 100;       // the status bar's control identifier
constexpr UINT_PTR CLOCK_TIMER = 1;      // the status bar's clock, every second
constexpr int32_t MARGIN = 10;           // left and top margin of the lines, pixels
constexpr const char* PROGRAM = "Tally"; // caption and settings name
constexpr const char* FILTERS = "Tally files|*.tally|Text files|*.txt|All files|*.*";

// Menu commands.
enum Command : int32_t {
    CMD_NEW = 1001,
    CMD_OPEN,
    CMD_SAVE,
    CMD_SAVE_AS,
    CMD_EXIT,
    CMD_COPY,
    CMD_ADD,
    CMD_RESET,
    CMD_STEP_TEN,
};

// ============================================================================
// Types
// ============================================================================

// One counter: a name and its count.
struct Counter {
    char* name;    // heap string, owned by the tally
    int32_t value; // the count
};

// Everything the program keeps for its life.
struct Tally {
    WindowRecord window;            // the main window
    WindowRecord form;              // the "Add counter" dialog
    Settings settings;              // the window's place and the last file
    Counter counters[COUNTERS_MAX]; // in the order added or read
    int32_t count;                  // counters in use
    int32_t step;                   // what a click adds or takes away: 1 or 10
    char* file;                     // heap string: the file the counters belong to, or null
    int32_t changed;                // 1 when the counters differ from the file
    uint32_t started_ms;            // tick count when the program started
    int32_t line_height;            // pixels from one line to the next
};

extern Tally tally;

// ============================================================================
// Counters (counters.cpp)
// ============================================================================

// Add a counter at the end; 1, or 0 when the tally is full or memory was refused.
int32_t counter_add(const char* name, int32_t value);
// The index of the counter of that name, or -1.
int32_t counter_find(const char* name);
// Remove every counter.
void counters_clear();
// Change the counter under a client point by delta; 1 when there was one.
int32_t counter_change_at(int32_t y, int32_t delta);
// Draw every line anew on a cleared window.
void counters_draw();
// The counters as lines of "name: value", each ended by CR LF, as a fresh heap string.
char* counters_text();
// Show the counters, the total and the time since start in the status bar.
void status_update();
// Write a whole number without the blank the runtime puts after it; the buffer.
char* whole_text(int64_t value, char (&buffer)[24]);
// Parse a whole 32-bit decimal number (an optional "-" and 1 to 10 digits); 1 when it is one.
int32_t parse_whole(const char* text, int32_t* value);

// ============================================================================
// Files and settings (storage.cpp)
// ============================================================================

// Write the counters to the tally's file, or to one the user picks when it has none (or
// always, with ask 1); 1 when written.
int32_t tally_save(int32_t ask);
// Let the user pick a file and read the counters from it; 1 when read.
int32_t tally_open();
// Read the counters from a file; 1 when read, 0 (counters unchanged) with a message when
// quiet is 0.
int32_t tally_read(const char* path, int32_t quiet);
// Ask before the counters' unsaved changes are lost: 1 to go on, 0 to stay.
int32_t tally_may_discard();
// Put the window's place and the last file into the settings file.
void tally_remember();
// Show the file's name and whether it changed in the caption.
void caption_update();

// ============================================================================
// The form (form.cpp)
// ============================================================================

// Ask for a new counter's name and start value with a modal form, and add it; 1 when added.
int32_t ask_new_counter();
