// The runtime heap and the TempStack of temporary strings, PtrList, exit hooks, the
// global-memory wrappers with the TypeCode sizes, debugger output and GUIDs.
// Relies on KERNEL32 (private heap, global memory, debugger output) and USER32 for the
// one "Out of memory" box. Running the hooks and destroying the heap at shut-down is
// ordered by startup.cpp.
#include "runtime/core/core.h"

#include <cstring>

// ============================================================================
// Types
// ============================================================================

namespace {

struct HeapState {
    HANDLE heap;                         // the private heap of all runtime strings
    char* temp_entries[TEMP_STACK_SIZE]; // temporary heap strings, oldest at index 0
    int32_t temp_count;                  // entries in use, 0..TEMP_STACK_SIZE
    PtrNode* exit_hooks;                 // head of the ExitHook list, null until the first hook
    int32_t fail_after;                  // test seam: allocations left before failing, -1 off
    DebugListener debug_listener;        // test seam: also receives debug_message texts
};

} // namespace

// ============================================================================
// Module state
// ============================================================================

namespace {

HeapState heap_state = {nullptr, {}, 0, nullptr, -1, nullptr};

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

PtrNode* node_alloc() {
    return static_cast<PtrNode*>(typed_alloc(TYPE_RAW, sizeof(PtrNode)));
}

} // namespace

// ============================================================================
// The runtime heap
// ============================================================================

// Create the runtime heap if there is none; 1 when it exists afterwards.
int32_t heap_create() {
    if (heap_state.heap == nullptr) {
        heap_state.heap = ::HeapCreate(0, HEAP_INITIAL_SIZE, 0);
        if (heap_state.heap != nullptr) {
            heap_state.temp_count = 0;
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
    heap_state.temp_count = 0;
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

// ============================================================================
// The TempStack
// ============================================================================

// Record a heap string as the top entry; a full stack reports and keeps nothing.
int32_t temp_push(char* text) {
    if (heap_state.temp_count < TEMP_STACK_SIZE) {
        heap_state.temp_entries[heap_state.temp_count] = text;
        ++heap_state.temp_count;
    } else {
        debug_message("Heap Stack Overflow");
    }
    return 0;
}

// Free and remove the top count entries, reporting each one that is missing.
int32_t temp_pop(int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        if (heap_state.temp_count > 0) {
            --heap_state.temp_count;
            heap_free(heap_state.temp_entries[heap_state.temp_count]);
            heap_state.temp_entries[heap_state.temp_count] = nullptr;
        } else {
            debug_message("Heap Stack Underflow");
        }
    }
    return 0;
}

// Free every entry, oldest first, and empty the stack.
int32_t temp_release_all() {
    for (int32_t i = 0; i < heap_state.temp_count; ++i) {
        heap_free(heap_state.temp_entries[i]);
        heap_state.temp_entries[i] = nullptr;
    }
    heap_state.temp_count = 0;
    return 0;
}

// Return the number of entries in use.
int32_t temp_count() {
    return heap_state.temp_count;
}

// ============================================================================
// PtrList
// ============================================================================

// Make a new, empty list: its zeroed head node.
PtrNode* list_create() {
    return node_alloc();
}

// Insert a new node holding payload right after node; the payload, or null if no memory.
void* list_insert_after(PtrNode* node, void* payload) {
    if (node == nullptr) {
        return payload;
    }
    PtrNode* added = node_alloc();
    if (added == nullptr) {
        return nullptr;
    }
    PtrNode* follower = node->next;
    node->next = added;
    if (follower != nullptr) {
        added->next = follower;
        follower->prev = added;
    }
    added->prev = node;
    added->payload = payload;
    return payload;
}

// Add a node holding payload after the last node reachable from node.
void* list_append(PtrNode* node, void* payload) {
    if (node == nullptr) {
        return payload;
    }
    while (node->next != nullptr) {
        node = node->next;
    }
    return list_insert_after(node, payload);
}

// Unlink and free node (and its payload when asked); the node that followed it.
PtrNode* list_remove(PtrNode* node, int32_t free_payload) {
    if (node == nullptr) {
        return nullptr;
    }
    PtrNode* before = node->prev;
    PtrNode* follower = node->next;
    if (before != nullptr) {
        before->next = follower;
    }
    if (follower != nullptr) {
        follower->prev = before;
    }
    if (free_payload != 0) {
        global_free_if_set(node->payload);
    }
    global_free(node);
    return follower;
}

// Free every node from head onwards, and each payload when asked.
int32_t list_free(PtrNode* head, int32_t free_payloads) {
    PtrNode* node = head;
    while (node != nullptr) {
        PtrNode* next = node->next;
        if (free_payloads != 0) {
            global_free_if_set(node->payload);
        }
        global_free(node);
        node = next;
    }
    return 0;
}

// Return the first real node of a list, or null.
PtrNode* list_first(PtrNode* head) {
    return head != nullptr ? head->next : nullptr;
}

// Return the node after node, or null.
PtrNode* list_next(PtrNode* node) {
    return node != nullptr ? node->next : nullptr;
}

// Return a node's payload, or null.
void* list_payload(PtrNode* node) {
    return node != nullptr ? node->payload : nullptr;
}

// ============================================================================
// Exit hooks
// ============================================================================

// Register a routine to run at shut-down with value; -1 when no memory was left for it.
int32_t exit_hook_add(ExitHookRoutine callback, intptr_t value) {
    if (callback == nullptr) {
        return 0;
    }
    if (heap_state.exit_hooks == nullptr) {
        heap_state.exit_hooks = list_create();
    }
    ExitHook* hook = static_cast<ExitHook*>(typed_alloc(TYPE_RAW, sizeof(ExitHook)));
    if (heap_state.exit_hooks == nullptr || hook == nullptr) {
        global_free_if_set(hook);
        return -1;
    }
    hook->callback = callback;
    hook->value = value;
    if (list_insert_after(heap_state.exit_hooks, hook) == nullptr) {
        global_free(hook);
        return -1;
    }
    return 0;
}

// Call every hook, newest first, then free the list with its records.
void exit_hooks_run() {
    // Detached first: a hook that ends the program again must not rerun the list.
    PtrNode* head = heap_state.exit_hooks;
    heap_state.exit_hooks = nullptr;
    if (head == nullptr) {
        return;
    }
    for (PtrNode* node = list_first(head); node != nullptr; node = list_next(node)) {
        ExitHook* hook = static_cast<ExitHook*>(list_payload(node));
        hook->callback(hook->value);
    }
    list_free(head, 1);
}

// ============================================================================
// Global memory
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

// ============================================================================
// Debugger output and identifiers
// ============================================================================

// Send a text to the debugger output (and to the test listener, if any).
int32_t debug_message(const char* text) {
    ::OutputDebugStringA(text);
    if (heap_state.debug_listener != nullptr) {
        heap_state.debug_listener(text);
    }
    return 0;
}

// Install the test listener for debug_message (null removes it).
void debug_message_set_listener(DebugListener listener) {
    heap_state.debug_listener = listener;
}

// Write a 128-bit interface identifier in the standard layout.
int32_t guid_make(GUID* destination, uint32_t data1, uint16_t data2, uint16_t data3,
                  const uint8_t data4[8]) {
    destination->Data1 = data1;
    destination->Data2 = data2;
    destination->Data3 = data3;
    std::memcpy(destination->Data4, data4, 8);
    return 0;
}
