// The TempStack: up to TEMP_STACK_SIZE temporary heap strings, pushed by their maker and
// freed by the caller's pop, with the debugger reports of an overflow and an underflow.
// Relies on heap.cpp to free the strings and on debug_output.cpp for the reports.
// The heap forgets the entries when it is made or destroyed (their strings go with it).
#include "runtime/core/core_internal.h"

// ============================================================================
// Types
// ============================================================================

namespace {

struct TempStackState {
    char* entries[TEMP_STACK_SIZE]; // temporary heap strings, oldest at index 0
    int32_t count;                  // entries in use, 0..TEMP_STACK_SIZE
};

} // namespace

// ============================================================================
// Module state
// ============================================================================

namespace {

TempStackState temp_stack = {{}, 0};

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Record a heap string as the top entry; a full stack reports and keeps nothing.
int32_t temp_push(char* text) {
    if (temp_stack.count < TEMP_STACK_SIZE) {
        temp_stack.entries[temp_stack.count] = text;
        ++temp_stack.count;
    } else {
        debug_message("Heap Stack Overflow");
    }
    return 0;
}

// Free and remove the top count entries, reporting each one that is missing.
int32_t temp_pop(int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        if (temp_stack.count > 0) {
            --temp_stack.count;
            heap_free(temp_stack.entries[temp_stack.count]);
            temp_stack.entries[temp_stack.count] = nullptr;
        } else {
            debug_message("Heap Stack Underflow");
        }
    }
    return 0;
}

// Free every entry, oldest first, and empty the stack.
int32_t temp_release_all() {
    for (int32_t i = 0; i < temp_stack.count; ++i) {
        heap_free(temp_stack.entries[i]);
        temp_stack.entries[i] = nullptr;
    }
    temp_stack.count = 0;
    return 0;
}

// Return the number of entries in use.
int32_t temp_count() {
    return temp_stack.count;
}

// Empty the stack without freeing its entries.
void temp_forget_all() {
    temp_stack.count = 0;
}
