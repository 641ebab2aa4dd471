// Dialogs shown and ended: modal and modeless dialogs made from their definitions' templates,
// the one dialog procedure that hands their messages to the record's handler through
// dispatch_event, and the values that controls give back to their definitions when the
// dialog's window goes.
// Relies on USER32's dialog manager (DefDlgProcA as the class procedure, IsDialogMessageA in
// the pump), on dispatch_event and center_window of runtime/window, and on the definitions
// and templates of this folder. Each control is subclassed by subclass.cpp.
#include "runtime/dialog/dialog_internal.h"

// ============================================================================
// Module state
// ============================================================================

namespace {

// The dialog window's second slot after the dialog manager's bytes: how it was shown.
constexpr int32_t DIALOG_MODE_OFFSET = DIALOG_RECORD_OFFSET + sizeof(WindowRecord*);
constexpr LONG_PTR MODE_MODELESS = 1;
constexpr LONG_PTR MODE_MODAL = 2;

LONG_PTR creating_mode = 0; // how the dialog being made is shown, read at WM_INITDIALOG

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

// Subclass the dialog's controls (every child, also the ones that share an identifier)
// and give them the values their definitions hold.
void apply_values(WindowRecord* record) {
    for (HWND child = ::GetWindow(record->hwnd, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        control_subclass(child);
    }
    DialogDefinition* definition = dialog_definition(record);
    for (const ControlDefinition* c = definition != nullptr ? definition->first_control : nullptr;
         c != nullptr; c = c->next) {
        HWND control = ::GetDlgItem(record->hwnd, c->id);
        if (control == nullptr) {
            continue;
        }
        if (control_class(c->kind)->is_list) {
            list_fill(control, definition_text(c));
            ::SendMessageA(control, is_combo_box(control) ? CB_SETCURSEL : LB_SETCURSEL,
                           static_cast<WPARAM>(c->state), 0);
        } else if (c->kind == CONTROL_CHECK_BOX || c->kind == CONTROL_RADIO_BUTTON) {
            ::SendMessageA(control, BM_SETCHECK, static_cast<WPARAM>(c->state), 0);
        }
    }
}

// Write each control's text, check state and selected item back into its definition.
void keep_values(WindowRecord* record) {
    DialogDefinition* definition = dialog_definition(record);
    for (ControlDefinition* c = definition != nullptr ? definition->first_control : nullptr;
         c != nullptr; c = c->next) {
        HWND control = ::GetDlgItem(record->hwnd, c->id);
        if (control == nullptr) {
            continue;
        }
        char* text = nullptr;
        if (control_class(c->kind)->is_list) {
            text = list_items_text(control);
            c->state = static_cast<int32_t>(
                ::SendMessageA(control, is_combo_box(control) ? CB_GETCURSEL : LB_GETCURSEL, 0, 0));
        } else {
            text = control_get_text(record, c->id);
            if (c->kind == CONTROL_CHECK_BOX || c->kind == CONTROL_RADIO_BUTTON) {
                c->state = static_cast<int32_t>(::SendMessageA(control, BM_GETCHECK, 0, 0));
            }
        }
        definition_set_text(c, text);
        heap_free(text);
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
    record->hwnd = nullptr;
    record->is_dialog = 0;
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
    record->is_dialog = 1;
    const LONG_PTR outer_mode = creating_mode;
    creating_mode = MODE_MODAL;
    // NOTE: the template is read only while the dialog is made, but DialogBoxIndirect
    // returns at its end; the block is freed then.
    INT_PTR result =
        ::DialogBoxIndirectParamA(runtime_module(), static_cast<LPCDLGTEMPLATEA>(dialog_template),
                                  owner != nullptr ? owner->hwnd : nullptr, dialog_procedure,
                                  reinterpret_cast<LPARAM>(record));
    creating_mode = outer_mode;
    global_free(dialog_template);
    record->is_dialog = 0;
    return static_cast<int32_t>(result);
}

// Show the dialog modeless; 1, or 0.
int32_t dialog_show(WindowRecord* record, WindowRecord* owner) {
    void* dialog_template = template_for(record);
    if (dialog_template == nullptr) {
        return 0;
    }
    const LONG_PTR outer_mode = creating_mode;
    creating_mode = MODE_MODELESS;
    HWND hwnd = ::CreateDialogIndirectParamA(runtime_module(),
                                             static_cast<LPCDLGTEMPLATEA>(dialog_template),
                                             owner != nullptr ? owner->hwnd : nullptr,
                                             dialog_procedure, reinterpret_cast<LPARAM>(record));
    creating_mode = outer_mode;
    global_free(dialog_template);
    if (hwnd == nullptr) {
        return 0;
    }
    record->is_dialog = 1;
    ::ShowWindow(hwnd, SW_SHOW);
    return 1;
}

// End a shown dialog: the modal call returns value, a modeless dialog is destroyed.
int32_t dialog_end(WindowRecord* record, int32_t value) {
    if (record == nullptr || record->kind != RECORD_DIALOG || record->hwnd == nullptr) {
        return 0;
    }
    HWND hwnd = record->hwnd;
    if (::GetWindowLongPtrA(hwnd, DIALOG_MODE_OFFSET) == MODE_MODAL) {
        ::EndDialog(hwnd, value);
    } else {
        ::DestroyWindow(hwnd);
    }
    return 0;
}

// Hand a dialog's messages to its record's handler, routing colours and owner drawing to
// the controls.
INT_PTR CALLBACK dialog_procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    WindowRecord* record = window_record(hwnd);
    if (message == WM_INITDIALOG) {
        record = reinterpret_cast<WindowRecord*>(lparam);
        ::SetWindowLongPtrA(hwnd, DIALOG_RECORD_OFFSET, lparam);
        ::SetWindowLongPtrA(hwnd, DIALOG_MODE_OFFSET, creating_mode);
        record->hwnd = hwnd;
        apply_values(record);
        const DialogDefinition* definition = dialog_definition(record);
        if (definition != nullptr && (definition->x < 0 || definition->y < 0)) {
            center_window(record);
        }
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
    case WM_CTLCOLORSTATIC:
        // The control answers its own colours; a null brush leaves them to the dialog manager.
        if (lparam != 0) {
            return ::SendMessageA(reinterpret_cast<HWND>(lparam), WM_CTLCOLOR_REFLECTED, wparam,
                                  lparam);
        }
        return FALSE;
    case WM_DRAWITEM:
        if (wparam != 0) {
            return ::SendMessageA(::GetDlgItem(hwnd, static_cast<int>(wparam)), WM_DRAWITEM, wparam,
                                  lparam);
        }
        return FALSE;
    case WM_CLOSE:
        // As for windows, a close request never closes by itself: the handler ends it.
        dispatch_event(record, EV_CLOSE_REQUEST, wparam, lparam);
        return TRUE;
    case WM_COMMAND:
        // Escape without a Cancel button is a close request; Enter without a default
        // button is a click of identifier 1 (IDOK), coming from the dialog itself.
        if (lparam == 0 && LOWORD(wparam) == IDCANCEL) {
            dispatch_event(record, EV_CLOSE_REQUEST, 0, 0);
            return TRUE;
        }
        if (lparam == 0 && LOWORD(wparam) == IDOK) {
            dispatch_event(record, EV_CONTROL, MAKEWPARAM(IDOK, BN_CLICKED),
                           reinterpret_cast<LPARAM>(hwnd));
            return TRUE;
        }
        return answer(hwnd, dispatch_event(record, message, wparam, lparam));
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
