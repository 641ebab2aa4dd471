// Census of what the process holds: GDI objects, menus, windows and their properties, the
// runtime heap's live blocks, the process heap's live blocks (which back GlobalAlloc under
// Wine) and the TempStack. Relies on probing handle values, because GetGuiResources is a
// stub under Wine. Deciding what growth is a leak is left to the tests that compare two
// censuses.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// ============================================================================
// Types
// ============================================================================

constexpr int32_t GDI_KINDS = 16; // GetObjectType results: OBJ_PEN 1 .. OBJ_COLORSPACE 14

// One reading of the process's resources.
struct Census {
    int32_t gdi_objects;            // live GDI objects of this process
    int32_t gdi_by_kind[GDI_KINDS]; // the same, by GetObjectType result
    int32_t menus;                  // menus of this process
    int32_t windows;                // windows of this process
    int32_t properties;             // window properties on them
    int32_t runtime_heap_blocks;    // busy blocks of the runtime heap
    int64_t runtime_heap_bytes;     // their payload bytes
    int32_t process_heap_blocks;    // busy blocks of the process heap (global memory)
    int64_t process_heap_bytes;     // their payload bytes
    int32_t temp_strings;           // TempStack entries in use
    double probe_ms;                // how long this census took
};

// ============================================================================
// Public routines
// ============================================================================

// Count live blocks of a heap; bytes receives their payload size. -1 for a null heap.
int32_t heap_busy_blocks(HANDLE heap, int64_t* bytes);
// Take a census of the process now.
Census census_take();
// The counts that differ between two censuses, as "gdi_objects 24 -> 25, pens 1 -> 2";
// empty when nothing differs.
std::string census_changes(const Census& before, const Census& after);
// A census that agrees with before, taken again and again for up to patience_ms while it
// does not: what a thread of the platform frees as it ends, a moment after the call that
// stopped it returned. The last census taken when it never agrees.
Census census_settled(const Census& before, DWORD patience_ms);
// The census as one line of text.
std::string census_text(const Census& census);
