// The clock: the millisecond tick clock every time in the runtime and the game is read
// from, and whole seconds since system start.
// Relies on KERNEL32's GetTickCount, replaceable by a test clock (tick_source_set).
#include "runtime/core/core_internal.h"

// ============================================================================
// Module state
// ============================================================================

namespace {

TickSource tick_source = nullptr; // test clock; null means GetTickCount

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Return whole seconds since the system started.
int32_t clock_seconds() {
    return static_cast<int32_t>(tick_count()) / 1000;
}

// Return the tick clock in milliseconds.
uint32_t tick_count() {
    return tick_source != nullptr ? tick_source() : ::GetTickCount();
}

// Replace the tick clock (null restores GetTickCount).
void tick_source_set(TickSource source) {
    tick_source = source;
}
