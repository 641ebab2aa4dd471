// MDI frames: a frame window's "&Window" menu and MDI client, the frame's menu picks routed
// to its top child and its "&Window" commands to the client, and the layout of toolbars
// and status bars around the client, kept as bars are made, shown, hidden, moved or
// destroyed (a COMCTL32 window subclass on each bar made on a frame).
// Relies on USER32 and COMCTL32. Creating the frame itself
// is open_window's (window_record.cpp); the frame's default procedure is chosen in events.cpp.
#include "runtime/window/window_internal.h"

#include <commctrl.h>

#include <algorithm>

#include "runtime/core/core.h"

// ============================================================================
// Module state
// ============================================================================

namespace {

constexpr int CLASS_NAME_LIMIT = 20;     // characters of a class name compared
constexpr int MDI_CLIENT_ID = 3244;      // child identifier of a frame's MDI client
constexpr UINT MDI_FIRST_CHILD = 0x4050; // identifier of the first MDI child

enum FrameBar { FRAME_BAR_NONE, FRAME_BAR_TOOL, FRAME_BAR_STATUS };

// What kind of bar a window is, by its class.
FrameBar frame_bar_kind(HWND window) {
    char name[CLASS_NAME_LIMIT + 1] = {};
    ::GetClassNameA(window, name, sizeof(name));
    if (::lstrcmpiA(name, TOOLBARCLASSNAMEA) == 0) {
        return FRAME_BAR_TOOL;
    }
    return ::lstrcmpiA(name, STATUSCLASSNAMEA) == 0 ? FRAME_BAR_STATUS : FRAME_BAR_NONE;
}

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

// Fit the MDI client into the space that toolbars and status bars leave (all of the
// frame's client area when there is none); 1 when one was found.
int32_t layout_frame_bars(HWND frame, HWND mdi_client) {
    FrameBarSpace space = {};
    space.frame = frame;
    ::GetClientRect(frame, &space.free);
    ::EnumChildWindows(frame, measure_frame_bar, reinterpret_cast<LPARAM>(&space));
    if (mdi_client != nullptr) {
        ::MoveWindow(mdi_client, space.free.left, space.free.top,
                     std::max(space.free.right - space.free.left, LONG{0}),
                     std::max(space.free.bottom - space.free.top, LONG{0}), TRUE);
    }
    return space.found;
}

// Take the room of a shown toolbar or status bar directly on the frame from the free
// rectangle, on the side of the frame's client area the bar stands on (the half its middle
// is in); bars over one another take their room once. Continue. (The enumeration reaches
// the MDI children's own bars too.)
BOOL CALLBACK measure_frame_bar(HWND child, LPARAM free) {
    FrameBarSpace* space = reinterpret_cast<FrameBarSpace*>(free);
    const FrameBar kind = frame_bar_kind(child);
    if (::GetParent(child) != space->frame || kind == FRAME_BAR_NONE ||
        (::GetWindowLongA(child, GWL_STYLE) & WS_VISIBLE) == 0) {
        return TRUE;
    }
    RECT whole = {}, bar = {};
    ::GetClientRect(space->frame, &whole);
    ::GetWindowRect(child, &bar);
    ::MapWindowPoints(nullptr, space->frame, reinterpret_cast<POINT*>(&bar), 2);
    RECT& room = space->free;
    if (kind == FRAME_BAR_TOOL && (::GetWindowLongA(child, GWL_STYLE) & CCS_VERT) != 0) {
        if (bar.left + bar.right < whole.left + whole.right) {
            room.left = std::max(room.left, bar.right);
        } else {
            room.right = std::min(room.right, bar.left);
        }
    } else if (bar.top + bar.bottom < whole.top + whole.bottom) {
        room.top = std::max(room.top, bar.bottom);
    } else {
        room.bottom = std::min(room.bottom, bar.top);
    }
    space->found = 1;
    return TRUE;
}

// Fit the MDI client of the frame a bar stands on again after the bar was shown, hidden,
// moved or sized (a window subclass of the bar; destroying it hides it first).
LRESULT CALLBACK watch_frame_bar(HWND bar, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                 DWORD_PTR) {
    const LRESULT result = ::DefSubclassProc(bar, message, wparam, lparam);
    if (message == WM_WINDOWPOSCHANGED) {
        HWND frame = ::GetParent(bar);
        WindowRecord* record = window_record(frame);
        if (record != nullptr && record->mdi_client != nullptr) {
            layout_frame_bars(frame, record->mdi_client);
        }
    } else if (message == WM_NCDESTROY) {
        ::RemoveWindowSubclass(bar, watch_frame_bar, id);
    }
    return result;
}

// Keep the MDI client of a frame fitted around a toolbar or status bar just made on it.
void frame_child_made(WindowRecord* frame, HWND child) {
    if (frame->mdi_client == nullptr || ::GetParent(child) != frame->hwnd ||
        frame_bar_kind(child) == FRAME_BAR_NONE) {
        return;
    }
    ::SetWindowSubclass(child, watch_frame_bar, 0, 0);
    layout_frame_bars(frame->hwnd, frame->mdi_client);
}
