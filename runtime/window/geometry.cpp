// Window geometry: the client size, moving and sizing a window or one of its controls,
// centring a window over its parent, its owner or the work area, and its scroll bars.
// Relies on USER32 alone. The background colour, which draws, is runtime/draw's
// (primitives.cpp). Every routine does nothing on a closed record (null hwnd).
#include "runtime/window/window_internal.h"

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

// Keep a span of the given length starting at *start inside [low, high): low edge first.
void clamp_span(LONG* start, LONG length, LONG low, LONG high) {
    if (*start < low) {
        *start = low;
    } else if (*start + length > high) {
        *start = high - length;
    }
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Read the client area as left 0, top 0, width and height; all 0 for a closed record.
int32_t get_client_size(WindowRecord* record, int32_t* left, int32_t* top, int32_t* width,
                        int32_t* height) {
    RECT client = {};
    if (record_is_open(record)) {
        ::GetClientRect(record->hwnd, &client);
    }
    if (left != nullptr) {
        *left = 0;
    }
    if (top != nullptr) {
        *top = 0;
    }
    if (width != nullptr) {
        *width = client.right - client.left;
    }
    if (height != nullptr) {
        *height = client.bottom - client.top;
    }
    return 0;
}

// Move and size the window (restored to normal first) or one of its controls.
int32_t set_window_rect(WindowRecord* record, int32_t x, int32_t y, int32_t width, int32_t height,
                        int32_t control_id) {
    if (!record_is_open(record)) {
        return 0;
    }
    HWND target;
    if (control_id != 0) {
        target = ::GetDlgItem(record->hwnd, control_id);
    } else {
        ::ShowWindow(record->hwnd, SW_SHOWNORMAL);
        target = record->hwnd;
    }
    if (target != nullptr) {
        ::MoveWindow(target, x, y, width, height, TRUE);
    }
    return 0;
}

// Centre the window over its parent, its visible owner or the work area, kept inside.
int32_t center_window(WindowRecord* record) {
    if (!record_is_open(record)) {
        return 0;
    }
    HWND hwnd = record->hwnd;
    LONG style = ::GetWindowLongA(hwnd, GWL_STYLE);
    RECT window = {};
    ::GetWindowRect(hwnd, &window);
    LONG w = window.right - window.left;
    LONG h = window.bottom - window.top;

    RECT bounds = {};
    RECT reference = {};
    if (style & WS_CHILD) {
        ::GetClientRect(::GetParent(hwnd), &bounds);
        reference = bounds;
    } else {
        HWND owner = ::GetWindow(hwnd, GW_OWNER);
        if (owner != nullptr) {
            LONG owner_style = ::GetWindowLongA(owner, GWL_STYLE);
            if ((owner_style & WS_MINIMIZE) || !(owner_style & WS_VISIBLE)) {
                owner = nullptr;
            }
        }
        ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &bounds, 0);
        if (owner != nullptr) {
            ::GetWindowRect(owner, &reference);
        } else {
            reference = bounds;
        }
    }

    LONG x = (reference.left + reference.right) / 2 - w / 2;
    LONG y = (reference.top + reference.bottom) / 2 - h / 2;
    clamp_span(&x, w, bounds.left, bounds.right);
    clamp_span(&y, h, bounds.top, bounds.bottom);
    ::SetWindowPos(hwnd, nullptr, x, y, -1, -1, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return 0;
}

// Set a scroll bar's range, page and position.
int32_t set_scroll_bar(WindowRecord* record, int32_t bar, int32_t position, int32_t maximum,
                       int32_t page) {
    if (!record_is_open(record)) {
        return 0;
    }
    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMin = 0;
    info.nMax = maximum > 0 ? maximum : 0;
    info.nPage = page > 0 ? static_cast<UINT>(page) : 0;
    info.nPos = position;
    ::SetScrollInfo(record->hwnd, bar, &info, TRUE);
    return 0;
}

// A scroll bar's position, or where its thumb is being dragged.
int32_t get_scroll_position(WindowRecord* record, int32_t bar, int32_t tracking) {
    if (!record_is_open(record)) {
        return 0;
    }
    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = tracking != 0 ? SIF_TRACKPOS : SIF_POS;
    if (!::GetScrollInfo(record->hwnd, bar, &info)) {
        return 0;
    }
    return tracking != 0 ? info.nTrackPos : info.nPos;
}
