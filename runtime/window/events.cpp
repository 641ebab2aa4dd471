// Window procedure and event dispatch: the one class procedure of the runtime's windows,
// the global EventState and the handler call, and background erase.
// Relies on USER32/GDI32, on paint_window from surface.cpp and on mdi.cpp for a frame's
// menu picks and bar layout. Creation is in window_record.cpp, the pump in pump.cpp.
#include "runtime/window/window_internal.h"

// ============================================================================
// Module state
// ============================================================================

EventState event_state = {};                        // the current event, read by handlers
bool (*answers_own_colors)(HWND control) = nullptr; // set by the dialog facility
bool (*draws_itself)(HWND control) = nullptr;       // likewise
void (*fit_status_bars)(HWND window) = nullptr;     // likewise, with its first status bar

namespace {

// ============================================================================
// Internal helpers
// ============================================================================

bool is_mouse_message(uint32_t event) {
    return event >= WM_MOUSEMOVE && event <= WM_RBUTTONDBLCLK;
}

// The platform's default answer for a runtime window.
LRESULT default_procedure(HWND hwnd, WindowRecord* record, UINT message, WPARAM wparam,
                          LPARAM lparam) {
    ATOM atom = hwnd != nullptr ? static_cast<ATOM>(::GetClassWord(hwnd, GCW_ATOM)) : 0;
    if (record != nullptr && atom != 0 && atom == frame_class_atom) {
        // The platform's frame procedure gives the MDI client the whole client area, over
        // the frame's bars: with bars the client takes the room they leave instead.
        if (message == WM_SIZE && wparam != SIZE_MINIMIZED &&
            layout_frame_bars(hwnd, record->mdi_client) != 0) {
            return 0;
        }
        return ::DefFrameProcA(hwnd, record->mdi_client, message, wparam, lparam);
    }
    // NOTE: GetClassWord gives 0 for a missing parent, and mdi_client_atom is still 0
    // while the very first window is being created: compare real atoms only.
    HWND parent = ::GetParent(hwnd);
    if (parent != nullptr && mdi_client_atom != 0 &&
        ::GetClassWord(parent, GCW_ATOM) == mdi_client_atom) {
        return ::DefMDIChildProcA(hwnd, message, wparam, lparam);
    }
    return ::DefWindowProcA(hwnd, message, wparam, lparam);
}

// The handler's answer to a message: the record's handler, or while a window is being
// created the creating record's; 0 when there is neither.
LRESULT handler_answer(HWND hwnd, WindowRecord* record, UINT message, WPARAM wparam,
                       LPARAM lparam) {
    if (record != nullptr) {
        return dispatch_event(record, message, wparam, lparam);
    }
    if (creating_record != nullptr &&
        (creating_record->hwnd == nullptr || creating_record->hwnd == hwnd)) {
        // Only the window being created belongs to creating_record; an inner window
        // opened from its creation handler must not take over the outer record.
        creating_record->hwnd = hwnd;
        return dispatch_event(creating_record, message, wparam, lparam);
    }
    return 0;
}

// True when a WM_DRAWITEM names the window itself: its parent sent it on to this window,
// a runtime window used as an owner-drawn control.
bool names_itself(HWND hwnd, LPARAM draw_item) {
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(draw_item);
    return item != nullptr && item->CtlType != ODT_MENU && item->hwndItem == hwnd;
}

// True when a control's window procedure is no longer its class's: the program replaced it.
bool procedure_replaced(HWND control) {
    // NOTE: compared in the control's own character set, in which an untouched control's
    // procedure reads back as its class's.
    if (::IsWindowUnicode(control)) {
        return static_cast<ULONG_PTR>(::GetWindowLongPtrW(control, GWLP_WNDPROC)) !=
               ::GetClassLongPtrW(control, GCLP_WNDPROC);
    }
    return static_cast<ULONG_PTR>(::GetWindowLongPtrA(control, GWLP_WNDPROC)) !=
           ::GetClassLongPtrA(control, GCLP_WNDPROC);
}

// True for a control of a class the program registered (its module's, not the platform's).
bool program_class(HWND control) {
    return ::GetClassLongPtrA(control, GCLP_HMODULE) ==
           reinterpret_cast<ULONG_PTR>(::GetModuleHandleA(nullptr));
}

// True when the answer to REFLECTED_CTLCOLOR and the colours in dc are what the default
// procedure gives under that number: a procedure that left the message to it. Read on a
// scratch context.
bool default_color_answer(HWND control, HDC dc, LRESULT answer) {
    HDC scratch = ::CreateCompatibleDC(nullptr);
    if (scratch == nullptr) {
        return false;
    }
    const LRESULT brush =
        ::DefWindowProcW(control, REFLECTED_CTLCOLOR, reinterpret_cast<WPARAM>(scratch),
                         reinterpret_cast<LPARAM>(control));
    const bool same = brush == answer && ::GetTextColor(scratch) == ::GetTextColor(dc) &&
                      ::GetBkColor(scratch) == ::GetBkColor(dc);
    ::DeleteDC(scratch);
    return same;
}

// An answer when there is one, else the default procedure's.
LRESULT answer_or_default(LRESULT answer, HWND hwnd, WindowRecord* record, UINT message,
                          WPARAM wparam, LPARAM lparam) {
    if (answer != 0) {
        return answer;
    }
    return default_procedure(hwnd, record, message, wparam, lparam);
}

// The handler's answer, else the default procedure's: the way of every other message.
LRESULT handled_or_default(HWND hwnd, WindowRecord* record, UINT message, WPARAM wparam,
                           LPARAM lparam) {
    return answer_or_default(handler_answer(hwnd, record, message, wparam, lparam), hwnd, record,
                             message, wparam, lparam);
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Answer every message of a runtime window: paint, erase and control colours here, the
// rest through dispatch_event and, unless the handler answered, the default procedure.
LRESULT CALLBACK window_procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    WindowRecord* record =
        hwnd != nullptr
            ? reinterpret_cast<WindowRecord*>(::GetWindowLongPtrA(hwnd, WINDOW_RECORD_OFFSET))
            : nullptr;

    switch (message) {
    case WM_PAINT:
        return answer_or_default(paint_window(hwnd, wparam, lparam), hwnd, record, message, wparam,
                                 lparam);
    case WM_ERASEBKGND:
        return answer_or_default(erase_background(hwnd, reinterpret_cast<HDC>(wparam), lparam),
                                 hwnd, record, message, wparam, lparam);
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        // The default procedure's colours for the message, then the control's own over
        // them. WM_CTLCOLORDLG is not reflected: it goes to the handler like any other.
        if (lparam != 0) {
            return control_colors(reinterpret_cast<HWND>(lparam), reinterpret_cast<HDC>(wparam),
                                  default_procedure(hwnd, record, message, wparam, lparam));
        }
        return default_procedure(hwnd, record, message, wparam, lparam);
    case REFLECTED_CTLCOLOR:
        // This window's parent asks it, as a control, for its colours: the handler's answer
        // alone. Never the default procedure, which takes 0x19 for the 16-bit WM_CTLCOLOR.
        return handler_answer(hwnd, record, message, wparam, lparam);
    case WM_DRAWITEM:
        // Owner drawing goes to the control named in the message when it draws itself; any
        // other control is drawn by the handler, as any message, and so is one that answers
        // FALSE (a program's procedure that passes everything on), and this window when its
        // parent sends the message on to it. A menu item is left to the default procedure.
        if (HWND control = drawn_control(hwnd, lparam); control != nullptr) {
            if (draws_own_items(control)) {
                if (const LRESULT drawn = ::SendMessageA(control, WM_DRAWITEM, wparam, lparam);
                    drawn != 0) {
                    return drawn;
                }
            }
            return handled_or_default(hwnd, record, message, wparam, lparam);
        }
        if (names_itself(hwnd, lparam)) {
            return handled_or_default(hwnd, record, message, wparam, lparam);
        }
        return default_procedure(hwnd, record, message, wparam, lparam);
    case WM_SIZE:
        if (fit_status_bars != nullptr) {
            fit_status_bars(hwnd);
        }
        if (record != nullptr) {
            if (record->surface_flags & SURFACE_FIT_CLIENT) {
                ::InvalidateRect(hwnd, nullptr, FALSE);
            }
            dispatch_event(record, EV_SIZE, wparam, lparam);
        }
        return handled_or_default(hwnd, record, message, wparam, lparam);
    case WM_PARENTNOTIFY:
        if (record != nullptr && LOWORD(wparam) == WM_CREATE) {
            frame_child_made(record, reinterpret_cast<HWND>(lparam));
        }
        return handled_or_default(hwnd, record, message, wparam, lparam);
    case WM_EXITSIZEMOVE:
        if (record != nullptr) {
            dispatch_event(record, EV_SIZE, wparam, lparam);
        }
        return handled_or_default(hwnd, record, message, wparam, lparam);
    case WM_CLOSE:
        // The default procedure never sees WM_CLOSE of a window with a record: only
        // close_window closes.
        return handled_or_default(hwnd, record, record != nullptr ? EV_CLOSE_REQUEST : message,
                                  wparam, lparam);
    case WM_LBUTTONDOWN:
        if (record != nullptr) {
            ::SetFocus(hwnd);
            ::SetActiveWindow(hwnd);
        }
        return handled_or_default(hwnd, record, message, wparam, lparam);
    case WM_SETCURSOR: {
        LRESULT answer = handler_answer(hwnd, record, message, wparam, lparam);
        if (answer != 0) {
            return answer;
        }
        // The classes have no cursor of their own: over the client area the record's is
        // shown.
        LRESULT result = default_procedure(hwnd, record, message, wparam, lparam);
        if (result == 0 && record != nullptr && LOWORD(lparam) == HTCLIENT &&
            reinterpret_cast<HWND>(wparam) == hwnd) {
            ::SetCursor(record->cursor);
        }
        return result;
    }
    case WM_DESTROY:
        // A window destroyed again while its destruction runs (its handler closing the
        // parent, say) gets WM_DESTROY a second time: the handler has seen it already.
        if (::GetPropA(hwnd, BEING_DESTROYED_PROPERTY) != nullptr) {
            return default_procedure(hwnd, record, message, wparam, lparam);
        }
        ::SetPropA(hwnd, BEING_DESTROYED_PROPERTY, hwnd);
        return handled_or_default(hwnd, record, message, wparam, lparam);
    case WM_NCDESTROY: {
        const LRESULT result = handled_or_default(hwnd, record, message, wparam, lparam);
        ::RemovePropA(hwnd, BEING_DESTROYED_PROPERTY);
        // The window's last message. Destroyed by close_window, its record is closed
        // already; destroyed by the platform (a child with its parent), the record still
        // holds it and what it owns, which nothing would release until the process ends.
        if (record != nullptr && record->hwnd == hwnd) {
            window_destroyed(record, hwnd);
        }
        return result;
    }
    default:
        return handled_or_default(hwnd, record, message, wparam, lparam);
    }
}

// Who answers a control's colours and owner drawing.
ControlHooks control_hooks(HWND control) {
    if (answers_own_colors != nullptr && answers_own_colors(control)) {
        return HOOKS_FACILITY;
    }
    const ATOM atom = static_cast<ATOM>(::GetClassWord(control, GCW_ATOM));
    if (atom != 0 && (atom == wnd_class_atom || atom == frame_class_atom)) {
        return HOOKS_WINDOW;
    }
    return procedure_replaced(control) || program_class(control) ? HOOKS_PROGRAM : HOOKS_PLATFORM;
}

// Colours for a control-colour message: the platform's, then the control's own over them.
LRESULT control_colors(HWND control, HDC dc, LRESULT platform_brush) {
    const ControlHooks hooks = control_hooks(control);
    if (hooks == HOOKS_PLATFORM) {
        return platform_brush;
    }
    const COLORREF text = ::GetTextColor(dc);
    const COLORREF back = ::GetBkColor(dc);
    LRESULT own = ::SendMessageA(control, REFLECTED_CTLCOLOR, reinterpret_cast<WPARAM>(dc),
                                 reinterpret_cast<LPARAM>(control));
    // A program's procedure that passes the message on reaches the default procedure,
    // which colours by the bits of the control's handle: the platform's colours stand.
    if (own != 0 && hooks == HOOKS_PROGRAM && default_color_answer(control, dc, own)) {
        ::SetTextColor(dc, text);
        ::SetBkColor(dc, back);
        own = 0;
    }
    return own != 0 ? own : platform_brush;
}

// True when a control draws its own items under WM_DRAWITEM sent on to it.
bool draws_own_items(HWND control) {
    switch (control_hooks(control)) {
    case HOOKS_FACILITY:
        return draws_itself != nullptr && draws_itself(control);
    case HOOKS_WINDOW:
    case HOOKS_PROGRAM:
        return true;
    default:
        return false;
    }
}

// The child control a WM_DRAWITEM names, or null.
HWND drawn_control(HWND window, LPARAM draw_item) {
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(draw_item);
    if (item == nullptr || item->CtlType == ODT_MENU || item->hwndItem == nullptr ||
        ::GetAncestor(item->hwndItem, GA_PARENT) != window) {
        return nullptr;
    }
    return item->hwndItem;
}

// Fill event_state, call the record's handler, restore event_state; the handler's result.
intptr_t dispatch_event(WindowRecord* record, uint32_t event, WPARAM wparam, LPARAM lparam) {
    if (record == nullptr) {
        return 0;
    }
    EventState saved = event_state;

    event_state.event_wparam = wparam;
    event_state.event_lparam = lparam;
    event_state.event_window = record;
    if (event == WM_CLOSE) {
        event = EV_CLOSE_REQUEST;
    } else if (is_mouse_message(event)) {
        event_state.event_lparam = static_cast<LPARAM>(wparam);
        event_state.mouse_x = static_cast<uint32_t>(lparam) & 0xFFFFu;
        event_state.mouse_y = (static_cast<uint32_t>(lparam) >> 16) & 0xFFFFu;
    } else if (event == WM_HSCROLL || event == WM_VSCROLL) {
        event_state.control_id = lparam != 0 ? ::GetDlgCtrlID(reinterpret_cast<HWND>(lparam)) : 0;
        event_state.event_wparam = LOWORD(wparam);
        event_state.event_lparam = HIWORD(wparam);
    } else if ((event == WM_COMMAND || event == static_cast<uint32_t>(EV_CONTROL)) && lparam != 0) {
        event = EV_CONTROL;
        event_state.notify_code = HIWORD(wparam);
        event_state.control_id = LOWORD(wparam);
    } else if (event == WM_COMMAND || event == static_cast<uint32_t>(EV_CONTROL)) {
        event = EV_MENU_PICK;
        event_state.menu_id = LOWORD(wparam);
        event_state.event_window = menu_pick_window(record);
        arrange_mdi_children(record->mdi_client, event_state.menu_id);
    } else if (event == WM_NOTIFY) {
        event = EV_CONTROL;
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lparam);
        if (header != nullptr) {
            event_state.notify_code = static_cast<int32_t>(header->code);
            event_state.control_id = static_cast<int32_t>(header->idFrom);
        }
    } else if (event == static_cast<uint32_t>(EV_SIZE)) {
        event_state.event_window = record;
        event_state.event_lparam = reinterpret_cast<LPARAM>(record->hwnd);
    }
    event_state.event_class = static_cast<int32_t>(event);

    intptr_t result = record->handler != nullptr ? record->handler() : 0;

    int32_t menu_id = event_state.menu_id;
    event_state = saved;
    event_state.menu_id = menu_id;
    return result;
}

// Paint the erased area with the window's background colour, then let the handler draw
// on the erase context; 1.
LRESULT erase_background(HWND hwnd, HDC dc, LPARAM lparam) {
    if (hwnd == nullptr) {
        return 1;
    }
    WindowRecord* record =
        reinterpret_cast<WindowRecord*>(::GetWindowLongPtrA(hwnd, WINDOW_RECORD_OFFSET));
    COLORREF color = record != nullptr ? record->back_color : ::GetSysColor(COLOR_WINDOW);

    HBRUSH brush = ::CreateSolidBrush(color);
    HGDIOBJ old_brush = ::SelectObject(dc, brush);
    RECT box = {};
    ::GetClipBox(dc, &box);
    ::PatBlt(dc, box.left, box.top, box.right - box.left, box.bottom - box.top, PATCOPY);
    ::SelectObject(dc, old_brush);
    ::DeleteObject(brush);

    if (record != nullptr) {
        erase_with_handler(record, dc, lparam);
    }
    return 1;
}
