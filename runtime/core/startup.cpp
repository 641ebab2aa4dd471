// Runtime start-up and end: the floating-point mode, the runtime heap and the module
// handle before the program body runs; shut-down (dialog definitions, exit hooks, heap)
// and the end of the process from any depth.
// Relies on heap.cpp and exit_hooks.cpp for the heap and the exit hooks, on KERNEL32.
// Closing windows is left to the program; the system reclaims what is left.
#include "runtime/core/core_internal.h"
#include "runtime/window/window.h"

// ============================================================================
// Types
// ============================================================================

namespace {

struct StartupState {
    HINSTANCE module;                // the program's own module, read at start-up
    ProcessExitRoutine exit_routine; // ends the process; null means ExitProcess
};

} // namespace

// ============================================================================
// Module state
// ============================================================================

DialogListNode* dialog_definition_list = nullptr;

namespace {

StartupState startup_state = {};

// ============================================================================
// Internal helpers
// ============================================================================

// x87: all exceptions masked, extended precision, round to nearest.
constexpr uint16_t X87_CONTROL_WORD = 0x033F;
// SSE: all exceptions masked, round to nearest, no flush-to-zero.
constexpr uint32_t SSE_CONTROL_STATUS = 0x1F80;

void set_floating_point_mode() {
    uint16_t control = X87_CONTROL_WORD;
    uint32_t status = SSE_CONTROL_STATUS;
    asm volatile("fninit\n\tfldcw %0" : : "m"(control));
    asm volatile("ldmxcsr %0" : : "m"(status));
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Prepare the process: floating-point mode, the runtime heap, the module handle.
void runtime_startup() {
    set_floating_point_mode();
    heap_create();
    startup_state.module = ::GetModuleHandleA(nullptr);
}

// End the program from any depth: shut the runtime down and end the process with code 0.
void program_end() {
    runtime_shutdown();
    runtime_exit(0);
}

// Release dialog definitions, run exit hooks newest first, destroy the heap.
void runtime_shutdown() {
    dialog_definitions_release();
    exit_hooks_run();
    heap_destroy();
}

// Return the program's own module.
HINSTANCE runtime_module() {
    return startup_state.module;
}

// Install the routine that ends the process (null restores ExitProcess).
void runtime_set_exit_routine(ProcessExitRoutine routine) {
    startup_state.exit_routine = routine;
}

// End the process with exit_code through the exit routine.
void runtime_exit(UINT exit_code) {
    if (startup_state.exit_routine != nullptr) {
        startup_state.exit_routine(exit_code);
    }
    ::ExitProcess(exit_code);
}

// Free one dialog's definition buffer and the control definitions it holds.
void dialog_definition_free(DialogDefinition* definition) {
    ControlDefinition* control = definition->first_control;
    while (control != nullptr) {
        ControlDefinition* next = control->next;
        global_free_if_set(control->extra_block);
        global_free(control);
        control = next;
    }
    global_free(definition);
}

// Free every dialog definition on the list, then the list itself.
void dialog_definitions_release() {
    DialogListNode* node = dialog_definition_list;
    while (node != nullptr) {
        DialogListNode* next = node->next;
        WindowRecord* record = node->record;
        if (record != nullptr && record->dialog_def != nullptr) {
            dialog_definition_free(static_cast<DialogDefinition*>(record->dialog_def));
            record->dialog_def = nullptr;
        }
        global_free(node);
        node = next;
    }
    dialog_definition_list = nullptr;
}
