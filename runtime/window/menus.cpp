// Menus: building menus and attaching a menu bar to a window.
// Relies on USER32 alone. attach_menu does nothing on a closed record (null hwnd); the
// frame window's "&Window" menu is made with its MDI client (mdi.cpp).
#include "runtime/window/window_internal.h"

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
    if (!record_is_open(record)) {
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
