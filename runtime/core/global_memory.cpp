// Global memory: zeroed fixed blocks for program variables and the runtime's own records,
// typed allocation by TypeCode with each code's element size, and freeing.
// Relies on KERNEL32's global memory only.
// Lists, exit hooks, files and resources take their blocks from here.
#include "runtime/core/core_internal.h"

// ============================================================================
// Public routines
// ============================================================================

// Store a new zeroed fixed block of count * size bytes in *variable; -1 if refused.
int32_t global_alloc_zeroed(void** variable, int32_t count, int32_t size) {
    void* block = nullptr;
    if (count >= 0 && size >= 0) {
        SIZE_T bytes = static_cast<SIZE_T>(count) * static_cast<SIZE_T>(size);
        block = ::GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, bytes);
    }
    if (variable != nullptr) {
        *variable = block;
    }
    return block != nullptr ? 0 : -1;
}

// Allocate a zeroed fixed block of count elements of the code's size, or null.
void* typed_alloc(int32_t code, int32_t count) {
    if (count <= 0) {
        return nullptr;
    }
    SIZE_T bytes = static_cast<SIZE_T>(count) * static_cast<SIZE_T>(type_size(code));
    return ::GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, bytes);
}

// Return the element size of a TypeCode; codes that hold an address or a handle get
// the native width.
int32_t type_size(int32_t code) {
    switch (code) {
    case TYPE_STRING:
        return 255;
    case TYPE_BYTE:
    case TYPE_RAW:
        return 1;
    case TYPE_WORD:
        return 2;
    case TYPE_DOUBLE:
    case TYPE_INT64:
    case TYPE_UINT64:
        return 8;
    case TYPE_BLOCK:
    case TEXT_FILE:
    case BINARY_FILE:
    case TYPE_POINTER:
        return static_cast<int32_t>(sizeof(void*));
    default:
        return 4;
    }
}

// Free a global block, unconditionally.
int32_t global_free(void* block) {
    ::GlobalFree(block);
    return 0;
}

// Free a global block unless it is null.
int32_t global_free_if_set(void* block) {
    if (block != nullptr) {
        ::GlobalFree(block);
    }
    return 0;
}
