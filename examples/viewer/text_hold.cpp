// A seam for the end-to-end check, which gives commands to texts still being read however
// fast the machine reads them: while the event that TARROWIND_VIEWER_HOLD_READING names
// exists and is not set, reading waits after each file's first chunk. Once the event is
// set or gone, reading goes on for good (a message wakes the viewer for it). Without the
// variable, reading is never held.
// Relies on KERNEL32's environment and named events, which the runtime does not offer.
#include "examples/viewer/text_view.h"

namespace {

// ============================================================================
// Module state
// ============================================================================

constexpr char HOLD_VARIABLE[] = "TARROWIND_VIEWER_HOLD_READING";
char hold_name[MAX_PATH]; // the event's name
int32_t hold_state = -1;  // -1: not looked at yet, 0: reading goes on, 1: held

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// 1 while the check holds reading.
bool text_reading_held() {
    if (hold_state < 0) {
        const DWORD length = ::GetEnvironmentVariableA(HOLD_VARIABLE, hold_name, sizeof(hold_name));
        hold_state = length > 0 && length < sizeof(hold_name) ? 1 : 0;
    }
    if (hold_state == 1) {
        HANDLE event = ::OpenEventA(SYNCHRONIZE, FALSE, hold_name);
        hold_state = event != nullptr && ::WaitForSingleObject(event, 0) == WAIT_TIMEOUT ? 1 : 0;
        if (event != nullptr) {
            ::CloseHandle(event);
        }
    }
    return hold_state == 1;
}
