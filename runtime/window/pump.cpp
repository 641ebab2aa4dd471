// Event pump, keys and timers: process_events drains the thread's queue through accelerator
// and dialog translation (route_message, which a modal dialog's loop shares); key_down;
// start_timer.
// Relies on USER32 and on window_record() from window_record.cpp.
// Handling of each message is left to window_procedure in events.cpp; closing a window is
// window_record.cpp's, beside its opening.
#include "runtime/window/window_internal.h"

// ============================================================================
// Module state
// ============================================================================

namespace {

constexpr SHORT KEY_HELD = static_cast<SHORT>(0x8000); // GetKeyState's bit of a key held down

// ============================================================================
// Internal helpers
// ============================================================================

// The record a queued message belongs to: its window's, or its nearest runtime ancestor's.
WindowRecord* message_record(HWND window) {
    for (HWND w = window; w != nullptr; w = ::GetParent(w)) {
        if (is_runtime_class(w)) {
            return window_record(w);
        }
    }
    return nullptr;
}

// Whether a message should go on to TranslateMessage and DispatchMessageW.
bool should_dispatch(MSG* msg) {
    WindowRecord* record = message_record(msg->hwnd);
    if (record != nullptr) {
        HACCEL table = static_cast<HACCEL>(::GetPropA(record->hwnd, ACCEL_TABLE_PROPERTY));
        const bool translated =
            table != nullptr && ::TranslateAcceleratorW(record->hwnd, table, msg) != 0;
        if (record->is_dialog == 0) {
            return true; // an ordinary window's messages all go on, translated or not
        }
        // NOTE: IsDialogMessageW dispatches what it handles itself; a dialog's message goes
        // on only when neither its accelerator table nor the dialog manager took it, or a
        // key would be handled twice (and typed twice).
        return !translated && ::IsDialogMessageW(record->hwnd, msg) == 0;
    }
    HWND active = ::GetActiveWindow();
    if (active != nullptr && (::GetWindowLongA(active, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) &&
        ::IsDialogMessageW(active, msg) != 0) {
        return false;
    }
    return true;
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Handle every queued message; with no_wait 0, first wait until one is queued.
int32_t process_events(int32_t no_wait) {
    if (no_wait == 0) {
        ::WaitMessage();
    }
    MSG msg = {};
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        route_message(&msg);
    }
    return 0;
}

// Handle one message: accelerators and dialog navigation, then translation and dispatch.
// NOTE: messages are taken and dispatched wide (PeekMessageW, DispatchMessageW), so that a
// character typed in any script reaches a Unicode window (an edit made or subclassed with
// the wide calls) as itself; taken as ANSI, it would pass through the ANSI code page and
// come out "?". An ANSI window still gets its characters in the ANSI code page: the
// platform converts them as it calls its procedure.
void route_message(MSG* msg) {
    if (should_dispatch(msg)) {
        ::TranslateMessage(msg);
        ::DispatchMessageW(msg);
    }
}

// 1 while a key is held down, as of the message being handled.
int32_t key_down(int32_t key) {
    return (::GetKeyState(key) & KEY_HELD) != 0 ? 1 : 0;
}

// Give an open window a periodic WM_TIMER (or callback) every interval_ms.
int32_t start_timer(WindowRecord* record, uint32_t interval_ms, UINT_PTR timer_id,
                    TIMERPROC callback) {
    if (record != nullptr && record->hwnd != nullptr) {
        ::SetTimer(record->hwnd, timer_id, interval_ms, callback);
    }
    return 0;
}

// Stop a window's timer; 1 when it ran.
int32_t stop_timer(WindowRecord* record, UINT_PTR timer_id) {
    if (record == nullptr || record->hwnd == nullptr) {
        return 0;
    }
    return ::KillTimer(record->hwnd, timer_id) ? 1 : 0;
}
