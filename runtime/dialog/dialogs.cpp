// Dialogs shown and ended: modal and modeless dialogs made from their definitions' templates,
// the modal dialogs' own message loop, the one dialog procedure that hands their messages to
// the record's handler through dispatch_event, and the values that controls give back to
// their definitions when the dialog's window goes.
// Relies on USER32's dialog manager (DefDlgProcA as the class procedure, IsDialogMessageW in
// the pump), on dispatch_event, route_message and center_window of runtime/window, and on
// the definitions and templates of this folder. Each control is subclassed by subclass.cpp.
#include "runtime/dialog/dialog_internal.h"

// ============================================================================
// Types and module state
// ============================================================================

namespace {

// A modal dialog's loop: how the dialog ended and whose input it holds meanwhile.
struct ModalLoop {
    bool ended;           // dialog_end was called
    int32_t value;        // the value given to dialog_end
    HWND owner;           // the owner's top-level window, or null
    bool owner_disabled;  // this loop disabled owner and enables it again
    HWND previous_active; // the active window before the dialog, activated again after it
    ModalLoop* outer;     // the next older loop still running, or null
};

// The dialog window's second slot after the dialog manager's bytes: its ModalLoop, null for
// a modeless dialog.
constexpr int32_t DIALOG_LOOP_OFFSET = DIALOG_RECORD_OFFSET + sizeof(WindowRecord*);

ModalLoop* creating_loop = nullptr;      // the loop of the dialog being made, read at WM_INITDIALOG
WindowRecord* creating_dialog = nullptr; // the record of the dialog being made
ModalLoop* running_loops = nullptr;      // the loops whose dialogs have not ended, newest first

// ============================================================================
// Internal helpers
// ============================================================================

// Prepare every class the definition's controls need; false when the dialog class is
// missing.
bool prepare_classes(const DialogDefinition* definition) {
    for (const ControlDefinition* c = definition->first_control; c != nullptr; c = c->next) {
        control_classes_prepare(c->kind);
    }
    return dialog_register_class() != 0;
}

// Pair each control definition with its window, subclass it and give it its text (when
// too long for the template), items, check state and settings. The dialog manager makes
// the controls in the template's order, and that is their order among the dialog's
// children, so that controls sharing an identifier each get their own values.
void apply_values(WindowRecord* record) {
    DialogDefinition* definition = dialog_definition(record);
    if (!text_fits_template(definition->caption)) {
        window_set_text(record->hwnd, definition->caption);
    }
    HWND child = ::GetWindow(record->hwnd, GW_CHILD);
    for (ControlDefinition* c = definition->first_control; c != nullptr; c = c->next) {
        c->window = child;
        if (child == nullptr || !control_subclass(child)) {
            continue;
        }
        if (c->kind == CONTROL_BITMAP_BUTTON) {
            mark_bitmap_button(child);
        }
        if (control_class(c->kind)->is_list) {
            // The selected item, wherever a sorted control puts it.
            const int32_t selected = list_fill_items(child, c, c->state);
            ::SendMessageA(child, is_combo_box(child) ? CB_SETCURSEL : LB_SETCURSEL,
                           static_cast<WPARAM>(selected), 0);
        } else if (!text_fits_template(definition_text(c))) {
            window_set_text(child, definition_text(c));
        }
        if (definition_check_max(c) > 0) {
            ::SendMessageA(child, BM_SETCHECK, static_cast<WPARAM>(c->state), 0);
        }
        control_settings_apply(child, c);
        child = ::GetWindow(child, GW_HWNDNEXT);
    }
}

// Write each control's text (a list's items), check state and selected item back into its
// definition, and forget its window.
void keep_values(WindowRecord* record) {
    DialogDefinition* definition = dialog_definition(record);
    for (ControlDefinition* c = definition != nullptr ? definition->first_control : nullptr;
         c != nullptr; c = c->next) {
        HWND control = c->window;
        c->window = nullptr;
        if (control == nullptr || !::IsWindow(control)) {
            continue;
        }
        if (control_class(c->kind)->is_list) {
            definition_read_items(c, control);
            c->state = static_cast<int32_t>(
                ::SendMessageA(control, is_combo_box(control) ? CB_GETCURSEL : LB_GETCURSEL, 0, 0));
            continue;
        }
        char* text = control_window_text(control);
        definition_set_text(c, text);
        heap_free(text);
        if (definition_check_max(c) > 0) {
            c->state = static_cast<int32_t>(::SendMessageA(control, BM_GETCHECK, 0, 0));
        }
    }
}

// Forget the window: the record is closed again and can be shown anew. A dialog's
// accelerator table goes with it (close_window, which destroys a window's, leaves
// dialogs alone).
void detach_window(WindowRecord* record, HWND hwnd) {
    HACCEL table = static_cast<HACCEL>(::GetPropA(hwnd, ACCEL_TABLE_PROPERTY));
    if (table != nullptr) {
        ::DestroyAcceleratorTable(table);
        ::RemovePropA(hwnd, ACCEL_TABLE_PROPERTY);
    }
    ::SetWindowLongPtrA(hwnd, DIALOG_RECORD_OFFSET, 0);
    ::SetWindowLongPtrA(hwnd, DIALOG_LOOP_OFFSET, 0);
    if (record->hwnd == hwnd) {
        record->hwnd = nullptr;
        record->is_dialog = 0;
    }
}

// The handler's answer as a dialog procedure gives it: TRUE with the result in
// DWLP_MSGRESULT when it handled the message, else FALSE for the default.
INT_PTR answer(HWND hwnd, intptr_t result) {
    if (result == 0) {
        return FALSE;
    }
    ::SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
    return TRUE;
}

// A template for the record's definition, with every class it needs; null when it
// cannot be shown (no definition, shown already, no memory, no class).
void* template_for(WindowRecord* record) {
    DialogDefinition* definition = dialog_definition(record);
    if (definition == nullptr || record->hwnd != nullptr || !prepare_classes(definition)) {
        return nullptr;
    }
    return dialog_template_build(definition);
}

// Make the dialog's window from a template (freed here); null when it was not made or its
// handler ended it while it was being made.
HWND make_dialog(WindowRecord* record, void* dialog_template, WindowRecord* owner,
                 ModalLoop* loop) {
    ModalLoop* outer = creating_loop;
    WindowRecord* outer_dialog = creating_dialog;
    creating_loop = loop;
    creating_dialog = record;
    // NOTE: made with the wide call, so that its controls are made wide too: Unicode windows
    // from their creation, which keep text typed in any script (see control_create).
    HWND hwnd = ::CreateDialogIndirectParamW(runtime_module(),
                                             static_cast<LPCDLGTEMPLATEW>(dialog_template),
                                             owner != nullptr ? owner->hwnd : nullptr,
                                             dialog_procedure, reinterpret_cast<LPARAM>(record));
    creating_loop = outer;
    creating_dialog = outer_dialog;
    global_free(dialog_template);
    return hwnd != nullptr && record->hwnd == hwnd ? hwnd : nullptr;
}

// Give back what a modal dialog held: the owner enabled again when its loop disabled it,
// and the activation to the window that had it, before the dialog goes, as the platform's
// own modal dialogs do; also to an outer dialog that is not on the screen yet (its loop
// shows it once its queue is empty).
void release_owner(ModalLoop* loop, HWND hwnd) {
    ModalLoop** link = &running_loops;
    while (*link != nullptr && *link != loop) {
        link = &(*link)->outer;
    }
    if (*link == loop) {
        *link = loop->outer;
    }
    if (loop->owner_disabled) {
        // An owner that another running modal dialog shares stays disabled: that dialog
        // enables it when it ends (its dialogs may end in any order).
        ModalLoop* sharing = running_loops;
        while (sharing != nullptr && sharing->owner != loop->owner) {
            sharing = sharing->outer;
        }
        if (sharing != nullptr) {
            sharing->owner_disabled = true;
        } else {
            ::EnableWindow(loop->owner, TRUE);
        }
        loop->owner_disabled = false;
    }
    HWND back = loop->previous_active;
    if (::GetActiveWindow() == hwnd && back != nullptr && back != hwnd && ::IsWindow(back) &&
        ::IsWindowEnabled(back)) {
        ::SetActiveWindow(back);
    }
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Show the dialog modal; the value given to dialog_end, or -1.
int32_t dialog_show_modal(WindowRecord* record, WindowRecord* owner) {
    void* dialog_template = template_for(record);
    if (dialog_template == nullptr) {
        return -1;
    }
    // Dialogs are owned by top-level windows. An owner disabled already (by an outer modal
    // dialog) is left to whoever disabled it.
    ModalLoop loop = {};
    loop.owner =
        owner != nullptr && owner->hwnd != nullptr ? ::GetAncestor(owner->hwnd, GA_ROOT) : nullptr;
    // Opened from the handler of a dialog being made, the activation goes back to that
    // dialog, which has it once it is made.
    loop.previous_active = creating_dialog != nullptr && creating_dialog->hwnd != nullptr
                               ? creating_dialog->hwnd
                               : ::GetActiveWindow();
    if (loop.owner != nullptr && ::IsWindowEnabled(loop.owner)) {
        ::EnableWindow(loop.owner, FALSE);
        loop.owner_disabled = true;
    }
    loop.outer = running_loops;
    running_loops = &loop;
    HWND hwnd = make_dialog(record, dialog_template, owner, &loop);
    // The dialog's own loop: the pump's routing, so that its accelerator table and
    // navigation work as a modeless dialog's do. As the platform's modal dialogs, it is
    // shown once the messages queued while it was made are handled.
    MSG msg = {};
    bool shown = false;
    while (hwnd != nullptr && !loop.ended && ::IsWindow(hwnd)) {
        if (!shown && !::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            ::ShowWindow(hwnd, SW_SHOW);
            shown = true;
            continue;
        }
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0); // wide, as the pump's
        if (got == 0) {
            // A quit ends the dialog and goes on to the program's own pump.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got == -1) {
            break;
        }
        route_message(&msg);
    }
    release_owner(&loop, hwnd);
    if (!loop.ended && hwnd != nullptr && ::IsWindow(hwnd)) {
        ::DestroyWindow(hwnd);
    }
    return loop.ended ? loop.value : -1;
}

// Show the dialog modeless; 1, or 0.
int32_t dialog_show(WindowRecord* record, WindowRecord* owner) {
    void* dialog_template = template_for(record);
    if (dialog_template == nullptr) {
        return 0;
    }
    HWND hwnd = make_dialog(record, dialog_template, owner, nullptr);
    if (hwnd == nullptr) {
        return 0;
    }
    ::ShowWindow(hwnd, SW_SHOW);
    return 1;
}

// End a shown dialog: its window goes at once; a modal one's loop returns value.
int32_t dialog_end(WindowRecord* record, int32_t value) {
    if (record == nullptr || record->kind != RECORD_DIALOG || record->hwnd == nullptr) {
        return 0;
    }
    HWND hwnd = record->hwnd;
    auto* loop = reinterpret_cast<ModalLoop*>(::GetWindowLongPtrA(hwnd, DIALOG_LOOP_OFFSET));
    if (loop != nullptr) {
        loop->ended = true;
        loop->value = value;
        release_owner(loop, hwnd);
    }
    ::DestroyWindow(hwnd);
    return 1;
}

// Hand a dialog's messages to its record's handler, routing colours and owner drawing to
// the controls.
INT_PTR CALLBACK dialog_procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    WindowRecord* record = window_record(hwnd);
    if (record == nullptr && message == WM_MEASUREITEM && creating_dialog != nullptr &&
        creating_dialog->hwnd == nullptr) {
        // Owner-drawn controls measure their items as they are made, before WM_INITDIALOG:
        // the handler of the dialog being made answers (its record's hwnd is still null).
        return answer(hwnd, dispatch_event(creating_dialog, message, wparam, lparam));
    }
    if (message == WM_INITDIALOG) {
        record = reinterpret_cast<WindowRecord*>(lparam);
        ::SetWindowLongPtrA(hwnd, DIALOG_RECORD_OFFSET, lparam);
        ::SetWindowLongPtrA(hwnd, DIALOG_LOOP_OFFSET, reinterpret_cast<LONG_PTR>(creating_loop));
        record->hwnd = hwnd;
        record->is_dialog = 1;
        apply_values(record);
        const DialogDefinition* definition = dialog_definition(record);
        if (definition->x < 0 || definition->y < 0) {
            center_window(record);
        }
        // The platform takes this answer itself: TRUE puts the focus on the first control.
        // A handler that set the focus itself says so by a non-zero result.
        return dispatch_event(record, WM_INITDIALOG, wparam, lparam) != 0 ? FALSE : TRUE;
    }
    if (record == nullptr) {
        return FALSE;
    }
    switch (message) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: {
        // The handler's brush, returned as it is (the dialog manager takes it from the dialog
        // procedure itself); without one, the colours the dialog manager gives a dialog
        // procedure that leaves the message (the default window procedure's), then the
        // control's own over them.
        const intptr_t brush = dispatch_event(record, message, wparam, lparam);
        if (brush != 0) {
            return brush;
        }
        if (lparam != 0) {
            return control_colors(reinterpret_cast<HWND>(lparam), reinterpret_cast<HDC>(wparam),
                                  ::DefWindowProcA(hwnd, message, wparam, lparam));
        }
        return FALSE;
    }
    case WM_CTLCOLORDLG:
    case WM_QUERYDRAGICON:
    case WM_COMPAREITEM:
        // NOTE: the dialog manager takes these answers from the dialog procedure itself and
        // ignores DWLP_MSGRESULT.
        return dispatch_event(record, message, wparam, lparam);
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM: {
        // Likewise; a dialog procedure's 0 would move the selection to item 0, so the
        // handler's 0 leaves the key to the list box (-1), as on a window.
        const intptr_t result = dispatch_event(record, message, wparam, lparam);
        return result != 0 ? result : -1;
    }
    case WM_DRAWITEM:
        // A control that draws itself (a bitmap button, a runtime window, one the program
        // subclassed) does; any other owner-drawn control, or one that answers FALSE, is the
        // handler's.
        if (HWND control = drawn_control(hwnd, lparam);
            control != nullptr && draws_own_items(control)) {
            if (const LRESULT drawn = ::SendMessageA(control, WM_DRAWITEM, wparam, lparam);
                drawn != 0) {
                return drawn;
            }
        }
        return answer(hwnd, dispatch_event(record, message, wparam, lparam));
    case WM_SIZE:
        lay_out_status_bars(hwnd);
        return answer(hwnd, dispatch_event(record, message, wparam, lparam));
    case WM_CLOSE:
        // As for windows, a close request never closes by itself: the handler ends it.
        dispatch_event(record, EV_CLOSE_REQUEST, wparam, lparam);
        return TRUE;
    case WM_COMMAND: {
        // Escape without a Cancel button is a close request; Enter without a default
        // button is a click of identifier 1 (IDOK), coming from the dialog itself. An
        // accelerator's command (high word 1) is a menu pick whatever its number.
        const bool from_dialog = lparam == 0 && HIWORD(wparam) == 0;
        if (from_dialog && LOWORD(wparam) == IDCANCEL) {
            dispatch_event(record, EV_CLOSE_REQUEST, 0, 0);
            return TRUE;
        }
        if (from_dialog && LOWORD(wparam) == IDOK) {
            dispatch_event(record, EV_CONTROL, MAKEWPARAM(IDOK, BN_CLICKED),
                           reinterpret_cast<LPARAM>(hwnd));
            return TRUE;
        }
        return answer(hwnd, dispatch_event(record, message, wparam, lparam));
    }
    case WM_DESTROY:
        keep_values(record);
        return answer(hwnd, dispatch_event(record, message, wparam, lparam));
    case WM_NCDESTROY: {
        const intptr_t result = dispatch_event(record, message, wparam, lparam);
        detach_window(record, hwnd);
        return answer(hwnd, result);
    }
    default:
        return answer(hwnd, dispatch_event(record, message, wparam, lparam));
    }
}
