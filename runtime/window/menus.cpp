// Menus and window geometry: building and attaching menus, the client size, moving and
// centring windows.
// Relies on USER32 alone. The background colour, which draws, is runtime/draw's
// (primitives.cpp). Every routine does nothing on a closed record (null hwnd).
#include "runtime/window/window.h"

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

bool is_open(const WindowRecord* record) {
    return record != nullptr && record->hwnd != nullptr;
}

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

// Make a menu bar (popup 0) or a popup menu; its handle.
HMENU create_menu(int32_t popup) {
    return popup != 0 ? ::CreatePopupMenu() : ::CreateMenu();
}

// Append an item, a submenu (MF_POPUP, id = the submenu) or a separator to a menu.
int32_t append_menu_item(HMENU menu, const char* text, uint32_t flags, UINT_PTR id) {
    if (menu != nullptr) {
        ::AppendMenuA(menu, flags, id, text);
    }
    return 0;
}

// Attach a menu bar to the window, destroying the bar it had.
int32_t attach_menu(WindowRecord* record, HMENU menu) {
    if (!is_open(record)) {
        return 0;
    }
    HMENU old = ::GetMenu(record->hwnd);
    ::SetMenu(record->hwnd, menu);
    if (old != nullptr && old != menu) { // attaching the same bar again keeps it
        ::DestroyMenu(old);
    }
    ::DrawMenuBar(record->hwnd);
    return 0;
}

// Read the client area as left 0, top 0, width and height; all 0 for a closed record.
int32_t get_client_size(WindowRecord* record, int32_t* left, int32_t* top, int32_t* width,
                        int32_t* height) {
    RECT client = {};
    if (is_open(record)) {
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
    if (!is_open(record)) {
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
    if (!is_open(record)) {
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
