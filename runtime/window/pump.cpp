// Event pump, timers and closing windows: process_events drains the thread's queue through
// accelerator and dialog translation, start_timer and close_window.
// Relies on USER32/GDI32 and on window_record() from window_record.cpp.
// Handling of each message is left to window_procedure in events.cpp.
#include "runtime/window/window.h"

// ============================================================================
// Module state
// ============================================================================

namespace {

constexpr const char* ACCEL_PROPERTY = "_ACCEL_TABLE"; // accelerator table of a window

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

// Whether a message should go on to TranslateMessage and DispatchMessageA.
bool should_dispatch(MSG* msg) {
    WindowRecord* record = message_record(msg->hwnd);
    if (record != nullptr) {
        bool dispatch = false;
        HACCEL table = static_cast<HACCEL>(::GetPropA(record->hwnd, ACCEL_PROPERTY));
        if (table != nullptr && ::TranslateAcceleratorA(record->hwnd, table, msg) == 0) {
            dispatch = true;
        }
        if (record->is_dialog == 0) {
            dispatch = true;
        } else if (::IsDialogMessageA(record->hwnd, msg) == 0) {
            dispatch = true;
        }
        return dispatch;
    }
    HWND active = ::GetActiveWindow();
    if (active != nullptr && (::GetWindowLongA(active, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) &&
        ::IsDialogMessageA(active, msg) != 0) {
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
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (should_dispatch(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    return 0;
}

// Give an open window a periodic WM_TIMER (or callback) every interval_ms.
int32_t start_timer(WindowRecord* record, uint32_t interval_ms, UINT_PTR timer_id,
                    TIMERPROC callback) {
    if (record != nullptr && record->hwnd != nullptr) {
        ::SetTimer(record->hwnd, timer_id, interval_ms, callback);
    }
    return 0;
}

// Destroy the window and release what the record owns.
int32_t close_window(WindowRecord* record) {
    if (record == nullptr || record->hwnd == nullptr || record->kind != 0) {
        return 0;
    }
    HWND hwnd = record->hwnd;
    // The record counts as closed from here on: a handler that calls close_window again
    // from WM_DESTROY or WM_NCDESTROY finds it closed and does nothing, so the window is
    // destroyed once and the objects below are deleted once. The handles are taken now,
    // since such a handler may open the record again for a new window.
    record->hwnd = nullptr;
    const HGDIOBJ owned[] = {record->backing_bitmap, record->pen, record->font};
    // A handler may close its window between begin_draw and end_draw: give the open
    // context back first, or the bitmap, pen and font selected into it cannot be deleted.
    if (record->draw_dc != nullptr) {
        ::RestoreDC(record->draw_dc, -1);
        if (record->surface_flags & SURFACE_BACKING) {
            ::DeleteDC(record->draw_dc);
        } else {
            ::ReleaseDC(hwnd, record->draw_dc);
        }
        record->draw_dc = nullptr;
        record->draw_depth = 0;
    }
    HACCEL table = static_cast<HACCEL>(::GetPropA(hwnd, ACCEL_PROPERTY));
    if (table != nullptr) {
        ::DestroyAcceleratorTable(table);
        ::RemovePropA(hwnd, ACCEL_PROPERTY);
    }
    // Destruction messages still reach the handler: the record stays attached to the window.
    HWND parent = ::GetParent(hwnd);
    if (parent != nullptr && mdi_client_atom != 0 &&
        ::GetClassWord(parent, GCW_ATOM) == mdi_client_atom) {
        ::SendMessageA(parent, WM_MDIDESTROY, reinterpret_cast<WPARAM>(hwnd), 0);
    } else {
        ::DestroyWindow(hwnd);
    }
    // Bitmap, then pen, then font. The handles stay in the record as they were;
    // open_window overwrites them.
    for (HGDIOBJ object : owned) {
        if (object != nullptr) {
            ::DeleteObject(object);
        }
    }
    return 0;
}
