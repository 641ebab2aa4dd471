// The runtime heap: the private heap that holds every runtime string, its blocks with
// three spare bytes, heap copies of strings, and the stop when string memory runs out.
// Relies on KERNEL32 (private heap) and USER32 for the one "Out of memory" box.
// The TempStack of temporary strings is temp_stack.cpp's; destroying the heap at
// shut-down is ordered by startup.cpp.
#include "runtime/core/core_internal.h"

#include <cstring>

// ============================================================================
// Types
// ============================================================================

namespace {

struct HeapState {
    HANDLE heap;        // the private heap of all runtime strings
    int32_t fail_after; // test seam: allocations left before failing, -1 off
};

} // namespace

// ============================================================================
// Module state
// ============================================================================

namespace {

HeapState heap_state = {nullptr, -1};

constexpr SIZE_T HEAP_INITIAL_SIZE = 0x7FFFF;
constexpr size_t BLOCK_SPARE_BYTES = 3; // lets string routines read whole aligned words

// ============================================================================
// Internal helpers
// ============================================================================

// One zeroed allocation from the runtime heap, or null (also when the test seam says so).
void* try_heap_alloc(SIZE_T bytes) {
    if (heap_state.fail_after == 0) {
        return nullptr;
    }
    void* block = ::HeapAlloc(heap_state.heap, HEAP_ZERO_MEMORY, bytes);
    if (block != nullptr && heap_state.fail_after > 0) {
        --heap_state.fail_after;
    }
    return block;
}

// Tell the user and end the process: nothing can go on without string memory.
[[noreturn]] void stop_out_of_memory() {
    ::MessageBoxA(nullptr, "Out of memory", "Error", MB_OK | MB_ICONERROR);
    runtime_exit(EXIT_OUT_OF_MEMORY);
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Create the runtime heap if there is none; 1 when it exists afterwards.
int32_t heap_create() {
    if (heap_state.heap == nullptr) {
        heap_state.heap = ::HeapCreate(0, HEAP_INITIAL_SIZE, 0);
        if (heap_state.heap != nullptr) {
            temp_forget_all();
        }
    }
    return heap_state.heap != nullptr ? 1 : 0;
}

// Allocate a zeroed block of size + 3 bytes, compacting the heap once before giving up.
void* heap_alloc(size_t size) {
    if (heap_state.heap == nullptr || size > SIZE_MAX - BLOCK_SPARE_BYTES) {
        return nullptr;
    }
    SIZE_T bytes = size + BLOCK_SPARE_BYTES;
    void* block = try_heap_alloc(bytes);
    if (block == nullptr) {
        ::HeapCompact(heap_state.heap, 0);
        block = try_heap_alloc(bytes);
    }
    return block;
}

// Allocate like heap_alloc, stopping the program when the heap is exhausted.
void* heap_alloc_or_stop(size_t size) {
    void* block = heap_alloc(size);
    if (block == nullptr) {
        stop_out_of_memory();
    }
    return block;
}

// Return a block to the runtime heap; nonzero when freed.
int32_t heap_free(void* block) {
    if (heap_state.heap == nullptr || block == nullptr) {
        return 0;
    }
    return ::HeapFree(heap_state.heap, 0, block) ? 1 : 0;
}

// Return the runtime heap's handle.
HANDLE heap_handle() {
    return heap_state.heap;
}

// Destroy the runtime heap; every block in it, TempStack entries included, goes with it.
void heap_destroy() {
    if (heap_state.heap != nullptr) {
        ::HeapDestroy(heap_state.heap);
        heap_state.heap = nullptr;
    }
    temp_forget_all();
}

// Set how many more allocations succeed before heap_alloc fails (negative: never).
void heap_set_fail_after(int32_t count) {
    heap_state.fail_after = count < 0 ? -1 : count;
}

// Copy a string (a literal included) into a fresh heap string.
char* string_duplicate(const char* text) {
    size_t length = text != nullptr ? std::strlen(text) : 0;
    char* copy = static_cast<char*>(heap_alloc_or_stop(length + 1));
    if (length > 0) {
        std::memcpy(copy, text, length);
    }
    return copy;
}
