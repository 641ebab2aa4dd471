// MDI frames: a frame window's "&Window" menu and MDI client, the frame's menu picks routed
// to its top child and its "&Window" commands to the client, and the layout of toolbars
// and status bars around the client.
// Relies on USER32 and on string_upper/heap_free from the core. Creating the frame itself
// is open_window's (window_record.cpp); the frame's default procedure is chosen in events.cpp.
#include "runtime/window/window_internal.h"

#include <commctrl.h>

#include <cstring>

#include "runtime/core/core.h"

// ============================================================================
// Module state
// ============================================================================

namespace {

constexpr int CLASS_NAME_LIMIT = 20;     // characters of a class name compared
constexpr int MDI_CLIENT_ID = 3244;      // child identifier of a frame's MDI client
constexpr UINT MDI_FIRST_CHILD = 0x4050; // identifier of the first MDI child

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Give a frame window its "&Window" menu and its MDI client.
void make_mdi_client(WindowRecord* record) {
    HMENU bar = ::CreateMenu();
    HMENU window_menu = ::CreateMenu();
    ::AppendMenuA(window_menu, MF_STRING, MENU_MDI_CASCADE, "&Cascade");
    ::AppendMenuA(window_menu, MF_STRING, MENU_MDI_TILE, "&Tile");
    ::AppendMenuA(window_menu, MF_STRING, MENU_MDI_ARRANGE, "&Arrange Icons");
    if (window_menu != nullptr &&
        (bar == nullptr ||
         !::AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(window_menu), "&Window"))) {
        // A menu no bar took would be left behind: the client lists its windows nowhere.
        ::DestroyMenu(window_menu);
        window_menu = nullptr;
    }
    ::SetMenu(record->hwnd, bar);

    RECT client = {};
    ::GetClientRect(record->hwnd, &client);
    CLIENTCREATESTRUCT ccs = {};
    ccs.hWindowMenu = window_menu;
    ccs.idFirstChild = MDI_FIRST_CHILD;
    record->mdi_client = ::CreateWindowExA(
        0, "MDICLIENT", "", WS_CHILD | WS_CLIPCHILDREN | WS_VSCROLL | WS_HSCROLL, 0, 0,
        client.right - client.left, client.bottom - client.top, record->hwnd,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(MDI_CLIENT_ID)), runtime_module(), &ccs);
    if (record->mdi_client != nullptr) {
        mdi_client_atom = static_cast<ATOM>(::GetClassWord(record->mdi_client, GCW_ATOM));
        ::ShowWindow(record->mdi_client, SW_SHOW);
    }
}

// The record that a menu pick belongs to: the top child's (of the MDI client when it has
// one), else the window's own.
WindowRecord* menu_pick_window(WindowRecord* record) {
    HWND child = nullptr;
    if (record->mdi_client != nullptr) {
        child = ::GetTopWindow(record->mdi_client);
    }
    if (child == nullptr && record->hwnd != nullptr) {
        child = ::GetTopWindow(record->hwnd);
    }
    WindowRecord* child_record = window_record(child);
    return child_record != nullptr ? child_record : record;
}

// Forward a menu pick of the frame's "&Window" menu to its MDI client.
void arrange_mdi_children(HWND mdi_client, int32_t menu_id) {
    if (mdi_client == nullptr) {
        return;
    }
    if (menu_id == MENU_MDI_TILE) {
        ::SendMessageA(mdi_client, WM_MDITILE, MDITILE_HORIZONTAL, 0);
    } else if (menu_id == MENU_MDI_CASCADE) {
        ::SendMessageA(mdi_client, WM_MDICASCADE, 0, 0);
    } else if (menu_id == MENU_MDI_ARRANGE) {
        ::SendMessageA(mdi_client, WM_MDIICONARRANGE, 0, 0);
    }
}

// The record of an MDI frame's active child, or null.
WindowRecord* mdi_active(WindowRecord* frame) {
    if (!record_is_open(frame) || frame->mdi_client == nullptr) {
        return nullptr;
    }
    return window_record(
        reinterpret_cast<HWND>(::SendMessageA(frame->mdi_client, WM_MDIGETACTIVE, 0, 0)));
}

// Activate the MDI frame's next child.
int32_t mdi_next(WindowRecord* frame) {
    if (record_is_open(frame) && frame->mdi_client != nullptr) {
        ::SendMessageA(frame->mdi_client, WM_MDINEXT, 0, FALSE);
    }
    return 0;
}

// Fit the MDI client into the space that toolbars and status bars leave; 1 when one was found.
int32_t layout_frame_bars(HWND frame, HWND mdi_client) {
    FrameBarSpace space = {};
    space.frame = frame;
    ::GetClientRect(frame, &space.free);
    ::EnumChildWindows(frame, measure_frame_bar, reinterpret_cast<LPARAM>(&space));
    if (space.found == 1) {
        ::MoveWindow(mdi_client, space.free.left, space.free.top,
                     space.free.right - space.free.left, space.free.bottom - space.free.top, TRUE);
    }
    return space.found;
}

// Take the room of a shown toolbar or status bar directly on the frame from the free
// rectangle; continue. (The enumeration reaches the MDI children's own bars too.)
BOOL CALLBACK measure_frame_bar(HWND child, LPARAM free) {
    FrameBarSpace* space = reinterpret_cast<FrameBarSpace*>(free);
    if (::GetParent(child) != space->frame ||
        (::GetWindowLongA(child, GWL_STYLE) & WS_VISIBLE) == 0) {
        return TRUE;
    }
    char name[CLASS_NAME_LIMIT + 1] = {};
    ::GetClassNameA(child, name, sizeof(name));
    char* upper = string_upper(name);
    if (upper == nullptr) {
        return TRUE;
    }
    RECT r = {};
    ::GetWindowRect(child, &r);
    LONG width = r.right - r.left;
    LONG height = r.bottom - r.top;
    if (std::strcmp(upper, "TOOLBARWINDOW32") == 0) {
        LONG style = ::GetWindowLongA(child, GWL_STYLE);
        bool vertical = (style & CCS_VERT) != 0;
        if ((style & 3) == CCS_TOP) {
            if (vertical) {
                space->free.left += width;
            } else {
                space->free.top += height;
            }
        } else if ((style & 3) == CCS_BOTTOM) {
            if (vertical) {
                space->free.right -= width;
            } else {
                space->free.bottom -= height;
            }
        }
        space->found = 1;
    } else if (std::strcmp(upper, "MSCTLS_STATUSBAR32") == 0) {
        space->free.bottom -= height;
        space->found = 1;
    }
    heap_free(upper);
    return TRUE;
}
