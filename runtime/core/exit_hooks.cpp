// Exit hooks: routines registered to run at shut-down, newest first, each with its value,
// kept as a PtrList of ExitHook records in global memory.
// Relies on ptr_list.cpp and global_memory.cpp.
// Running them is one step of runtime_shutdown, ordered by startup.cpp.
#include "runtime/core/core_internal.h"

// ============================================================================
// Module state
// ============================================================================

namespace {

PtrNode* exit_hooks = nullptr; // head of the ExitHook list, null until the first hook

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Register a routine to run at shut-down with value; -1 when no memory was left for it.
int32_t exit_hook_add(ExitHookRoutine callback, intptr_t value) {
    if (callback == nullptr) {
        return 0;
    }
    if (exit_hooks == nullptr) {
        exit_hooks = list_create();
    }
    ExitHook* hook = static_cast<ExitHook*>(typed_alloc(TYPE_RAW, sizeof(ExitHook)));
    if (exit_hooks == nullptr || hook == nullptr) {
        global_free_if_set(hook);
        return -1;
    }
    hook->callback = callback;
    hook->value = value;
    if (list_insert_after(exit_hooks, hook) == nullptr) {
        global_free(hook);
        return -1;
    }
    return 0;
}

// Call every hook, newest first, then free the list with its records.
void exit_hooks_run() {
    // Detached first: a hook that ends the program again must not rerun the list.
    PtrNode* head = exit_hooks;
    exit_hooks = nullptr;
    if (head == nullptr) {
        return;
    }
    for (PtrNode* node = list_first(head); node != nullptr; node = list_next(node)) {
        ExitHook* hook = static_cast<ExitHook*>(list_payload(node));
        hook->callback(hook->value);
    }
    list_free(head, 1);
}
