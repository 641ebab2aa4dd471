// Menus and shortcuts: building menus, attaching a menu bar to a window, popup (context)
// menus shown at a point and where a context menu belongs, and the keyboard
// shortcuts of a window's accelerator table (translated by the pump, destroyed with the
// window). Relies on USER32 and on the core's heap for a table's entries. The routines on
// a window do nothing on a closed record (null hwnd); the frame window's "&Window" menu is
// made with its MDI client (mdi.cpp).
#include "runtime/window/window_internal.h"

#include "runtime/core/core_internal.h"

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

// A submenu that its menu could not take has no owner left: destroy it.
void destroy_orphan(uint32_t flags, UINT_PTR id) {
    if ((flags & MF_POPUP) != 0 && id != 0) {
        ::DestroyMenu(reinterpret_cast<HMENU>(id));
    }
}

// An item's text in UTF-16 as a fresh heap block, converted from the ANSI code page; null
// for an item that holds no text (a separator, a bitmap or owner-drawn item, whose "text"
// is its handle or data), and without memory: the platform's ANSI call then takes it.
wchar_t* menu_item_text(uint32_t flags, const char* text) {
    if ((flags & (MF_BITMAP | MF_OWNERDRAW | MF_SEPARATOR)) != 0 || text == nullptr) {
        return nullptr;
    }
    return ansi_to_heap_wide(text);
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
    wchar_t* wide = menu != nullptr ? menu_item_text(flags, text) : nullptr;
    const BOOL added = menu != nullptr && (wide != nullptr ? ::AppendMenuW(menu, flags, id, wide)
                                                           : ::AppendMenuA(menu, flags, id, text));
    heap_free(wide);
    if (!added) {
        destroy_orphan(flags, id);
    }
    return 0;
}

// Insert an item, submenu or separator before the item at position.
int32_t insert_menu_item(HMENU menu, int32_t position, const char* text, uint32_t flags,
                         UINT_PTR id) {
    wchar_t* wide = menu != nullptr ? menu_item_text(flags, text) : nullptr;
    const UINT at = static_cast<UINT>(position);
    // NOTE: InsertMenuW and InsertMenuA append for a position past the last item.
    const BOOL added = menu != nullptr &&
                       (wide != nullptr ? ::InsertMenuW(menu, at, flags | MF_BYPOSITION, id, wide)
                                        : ::InsertMenuA(menu, at, flags | MF_BYPOSITION, id, text));
    heap_free(wide);
    if (!added) {
        destroy_orphan(flags, id);
    }
    return 0;
}

// The menu bar of a window, or null.
HMENU window_menu(WindowRecord* record) {
    return record_is_open(record) ? ::GetMenu(record->hwnd) : nullptr;
}

// Add a keyboard shortcut to the window's accelerator table; 1, or 0.
int32_t add_accelerator(WindowRecord* record, int32_t key, int32_t modifiers, int32_t command) {
    if (!record_is_open(record)) {
        return 0;
    }
    // A table cannot grow: the entries are copied into a new one with the added shortcut,
    // which replaces the old table.
    HACCEL old = static_cast<HACCEL>(::GetPropA(record->hwnd, ACCEL_TABLE_PROPERTY));
    const int count = old != nullptr ? ::CopyAcceleratorTableA(old, nullptr, 0) : 0;
    auto* entries = static_cast<ACCEL*>(heap_alloc(sizeof(ACCEL) * (count + 1)));
    if (entries == nullptr) {
        return 0;
    }
    if (count > 0) {
        ::CopyAcceleratorTableA(old, entries, count);
    }
    entries[count].fVirt = static_cast<BYTE>(FVIRTKEY | (modifiers & (FSHIFT | FCONTROL | FALT)));
    entries[count].key = static_cast<WORD>(key);
    entries[count].cmd = static_cast<WORD>(command);
    HACCEL table = ::CreateAcceleratorTableA(entries, count + 1);
    heap_free(entries);
    if (table == nullptr || !::SetPropA(record->hwnd, ACCEL_TABLE_PROPERTY, table)) {
        if (table != nullptr) {
            ::DestroyAcceleratorTable(table);
        }
        return 0;
    }
    if (old != nullptr) {
        ::DestroyAcceleratorTable(old);
    }
    return 1;
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

// Destroy a menu that no window holds, with its submenus; 1, or 0 for no menu.
int32_t destroy_menu(HMENU menu) {
    return menu != nullptr && ::DestroyMenu(menu) ? 1 : 0;
}

// Show a popup menu at a client point and wait for a pick: its identifier, or 0.
int32_t popup_menu(WindowRecord* record, HMENU menu, int32_t x, int32_t y) {
    if (!record_is_open(record) || menu == nullptr) {
        return 0;
    }
    POINT at = {x, y};
    ::ClientToScreen(record->hwnd, &at);
    const BOOL picked = ::TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN,
                                           at.x, at.y, record->hwnd, nullptr);
    return static_cast<int32_t>(picked);
}

// Where the context menu of the event being handled belongs: 1 at the mouse, 0 keyboard.
int32_t context_menu_point(WindowRecord* record, int32_t* x, int32_t* y) {
    *x = -1;
    *y = -1;
    // NOTE: the platform gives -1 for both halves of the point when a key asked for the menu.
    const LPARAM point = event_state.event_lparam;
    if (event_state.event_class != WM_CONTEXTMENU || point == static_cast<LPARAM>(-1) ||
        (LOWORD(point) == 0xFFFF && HIWORD(point) == 0xFFFF) || !record_is_open(record)) {
        return 0;
    }
    POINT at = {static_cast<int16_t>(LOWORD(point)), static_cast<int16_t>(HIWORD(point))};
    ::ScreenToClient(record->hwnd, &at);
    *x = at.x;
    *y = at.y;
    return 1;
}

// Grey or enable an item of the window's menu bar, found by its identifier; 1, or 0.
int32_t enable_menu_item(WindowRecord* record, int32_t id, int32_t enabled) {
    HMENU bar = window_menu(record);
    // NOTE: EnableMenuItem gives the item's previous state, or -1 when there is no such item.
    const UINT state = enabled != 0 ? MF_ENABLED : MF_GRAYED;
    if (bar == nullptr || ::EnableMenuItem(bar, static_cast<UINT>(id), MF_BYCOMMAND | state) ==
                              static_cast<BOOL>(-1)) {
        return 0;
    }
    // An item of the bar itself shows its new state only once the bar is drawn again; items
    // of submenus are drawn as they open.
    const int count = ::GetMenuItemCount(bar);
    for (int i = 0; i < count; i++) {
        if (::GetMenuItemID(bar, i) == static_cast<UINT>(id)) {
            ::DrawMenuBar(record->hwnd);
            break;
        }
    }
    return 1;
}

// Tick or untick an item of the window's menu bar, found by its identifier; 1, or 0.
int32_t check_menu_item(WindowRecord* record, int32_t id, int32_t checked) {
    HMENU bar = window_menu(record);
    const UINT state = checked != 0 ? MF_CHECKED : MF_UNCHECKED;
    if (bar == nullptr || ::CheckMenuItem(bar, static_cast<UINT>(id), MF_BYCOMMAND | state) ==
                              static_cast<DWORD>(-1)) {
        return 0;
    }
    return 1;
}
