// Debugger output: texts for the debugger (the TempStack's overflow and underflow
// reports, and why a loader refused a file), with a listener that tests install to see them.
// Relies on KERNEL32's OutputDebugStringA only.
// Nothing is written to a file or a console.
#include "runtime/core/core_internal.h"

#include <cstdio>

// ============================================================================
// Module state
// ============================================================================

namespace {

DebugListener debug_listener = nullptr; // test seam: also receives debug_message texts

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Send a text to the debugger output (and to the test listener, if any).
int32_t debug_message(const char* text) {
    ::OutputDebugStringA(text);
    if (debug_listener != nullptr) {
        debug_listener(text);
    }
    return 0;
}

// Say on the debugger output why a routine refused a file: "routine: name refused: reason".
void debug_refusal(const char* routine, const char* name, const char* reason) {
    char text[640];
    std::snprintf(text, sizeof text, "%s: %s refused: %s", routine, name, reason);
    debug_message(text);
}

// Install the test listener for debug_message (null removes it).
void debug_message_set_listener(DebugListener listener) {
    debug_listener = listener;
}
