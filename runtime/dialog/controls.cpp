// Controls and their values: control_create puts a subclassed control on an ordinary
// runtime window; the value routines read and set a control's text, number, check state
// and list items, on the control itself while it exists, else on its dialog's definition
// (so that a form is filled before it is shown and read after it ended).
// Relies on USER32's control messages and on the definitions of definitions.cpp; the
// settings of subclassed controls are subclass.cpp's.
#include "runtime/dialog/dialog_internal.h"

#include <commctrl.h>

#include <cstdio>

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

// The control's window while its dialog is shown or its window open, else null.
HWND control_window(const WindowRecord* record, int32_t id) {
    if (!record_is_open(record) || !control_id_valid(id)) {
        return nullptr;
    }
    return ::GetDlgItem(record->hwnd, control_id_key(id));
}

bool is_list_kind(const ControlDefinition* control) {
    return control != nullptr && control_class(control->kind)->is_list;
}

// True for a list box or combo box window.
bool is_list_window(HWND control) {
    char name[16] = {};
    ::GetClassNameA(control, name, sizeof(name));
    return ::lstrcmpiA(name, "ListBox") == 0 || ::lstrcmpiA(name, "ComboBox") == 0;
}

// Where a list routine acts: the list control on the screen, else a list's definition
// while its dialog is not shown; neither for a control of another kind.
struct ListTarget {
    HWND window;
    ControlDefinition* definition;
};

ListTarget list_target(const WindowRecord* record, int32_t id) {
    HWND control = control_window(record, id);
    if (control != nullptr) {
        return {is_list_window(control) ? control : nullptr, nullptr};
    }
    ControlDefinition* definition = control_definition(record, id);
    return {nullptr, is_list_kind(definition) ? definition : nullptr};
}

// The list message for a list box, or its counterpart for a combo box.
UINT list_message(HWND control, UINT list_box_message) {
    if (!is_combo_box(control)) {
        return list_box_message;
    }
    switch (list_box_message) {
    case LB_ADDSTRING:
        return CB_ADDSTRING;
    case LB_RESETCONTENT:
        return CB_RESETCONTENT;
    case LB_GETCOUNT:
        return CB_GETCOUNT;
    case LB_GETCURSEL:
        return CB_GETCURSEL;
    case LB_SETCURSEL:
        return CB_SETCURSEL;
    case LB_GETTEXTLEN:
        return CB_GETLBTEXTLEN;
    case LB_GETTEXT:
        return CB_GETLBTEXT;
    default:
        return list_box_message;
    }
}

LRESULT list_send(HWND control, UINT list_box_message, WPARAM wparam, LPARAM lparam) {
    return ::SendMessageA(control, list_message(control, list_box_message), wparam, lparam);
}

// A whole signed 32-bit decimal number with blanks around it; false for anything else.
bool parse_number(const char* text, int32_t* value) {
    const char* p = text;
    while (*p == ' ' || *p == '\t') {
        ++p;
    }
    bool negative = *p == '-';
    if (*p == '-' || *p == '+') {
        ++p;
    }
    int64_t magnitude = 0;
    int32_t digits = 0;
    for (; *p >= '0' && *p <= '9'; ++p, ++digits) {
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude > 2147483648LL) {
            return false;
        }
    }
    while (*p == ' ' || *p == '\t') {
        ++p;
    }
    const int64_t signed_value = negative ? -magnitude : magnitude;
    if (digits == 0 || *p != '\0' || signed_value > INT32_MAX) {
        return false;
    }
    *value = static_cast<int32_t>(signed_value);
    return true;
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Put a subclassed control on an open runtime window; 1, or 0.
int32_t control_create(WindowRecord* record, int32_t kind, int32_t id, int32_t x, int32_t y,
                       int32_t width, int32_t height, const char* text, uint32_t style) {
    const ControlClass* type = control_class(kind);
    if (!record_is_open(record) || type == nullptr || !control_id_valid(id)) {
        return 0;
    }
    control_classes_prepare(kind);
    // NOTE: made with the wide call, as a dialog's controls are, so that the control is a
    // Unicode window from its creation: on Windows an edit made by the ANSI call keeps its
    // text in the ANSI code page, where a character typed in another script is lost.
    const char* shown = type->is_list ? "" : text;
    wchar_t* wide_name = ansi_to_heap_wide(type->name);
    wchar_t* wide_text = ansi_to_heap_wide(shown);
    HWND control =
        wide_name == nullptr || wide_text == nullptr
            ? nullptr
            : ::CreateWindowExW(type->ex_style, wide_name, wide_text, control_style(kind, style), x,
                                y, width, height, record->hwnd,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(control_id_key(id))),
                                runtime_module(), nullptr);
    heap_free(wide_name);
    heap_free(wide_text);
    if (control == nullptr) {
        return 0;
    }
    if (control_subclass(control) && kind == CONTROL_BITMAP_BUTTON) {
        mark_bitmap_button(control);
    }
    if (kind == CONTROL_STATUS_BAR) {
        // At the bottom from the start, and kept there as the window is resized.
        fit_status_bars = lay_out_status_bars;
        lay_out_status_bars(record->hwnd);
        if (record->mdi_client != nullptr) { // an MDI frame's client leaves it its room
            layout_frame_bars(record->hwnd, record->mdi_client);
        }
    }
    if (type->is_list) {
        list_fill(control, text);
    }
    return 1;
}

// Move every status bar directly on a window to the window's bottom edge.
void lay_out_status_bars(HWND window) {
    for (HWND child = ::GetWindow(window, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        char name[32] = {};
        ::GetClassNameA(child, name, sizeof(name));
        // A status bar places itself when told its parent's size changed.
        if (::lstrcmpiA(name, STATUSCLASSNAMEA) == 0) {
            ::SendMessageA(child, WM_SIZE, 0, 0);
        }
    }
}

// A fresh heap copy of a window's text, in the ANSI code page.
char* control_window_text(HWND window) {
    // NOTE: a status bar answers WM_GETTEXTLENGTH in 16 bits though it holds more (4,464
    // for 70,000 characters): the text is read into a buffer with room for one character
    // more than it was said to have, and again into one twice as large until it fits.
    // Wine's rich edit copies nothing at all when the text's bytes in the code page would
    // not fit the buffer's units ("Νερό": 4 units, 8 bytes): an empty answer for a text
    // said to be longer is tried again, up to room for four bytes a unit.
    const int64_t length = ::GetWindowTextLengthW(window);
    int room = static_cast<int>(length + 2);
    for (;;) {
        auto* wide =
            static_cast<wchar_t*>(heap_alloc_or_stop(static_cast<size_t>(room) * sizeof(wchar_t)));
        const int copied = ::GetWindowTextW(window, wide, room);
        const bool cut = copied >= room - 1 || (copied <= 0 && room < length * 4 + 2);
        if (!cut || room > INT32_MAX / 4) {
            const size_t units = static_cast<size_t>(copied > 0 ? copied : 0);
            char* text = wide_to_heap_ansi(wide, units, nullptr);
            heap_free(wide);
            return text != nullptr ? text : static_cast<char*>(heap_alloc_or_stop(units * 4 + 1));
        }
        heap_free(wide);
        room *= 2;
    }
}

// The control's text as a fresh heap string; a list's selected item.
char* control_get_text(WindowRecord* record, int32_t id) {
    HWND control = control_window(record, id);
    if (control != nullptr && is_list_window(control)) {
        return control_list_text(record, id, control_list_selection(record, id));
    }
    if (control != nullptr) {
        return control_window_text(control);
    }
    ControlDefinition* definition = control_definition(record, id);
    if (is_list_kind(definition)) {
        return control_list_text(record, id, definition->state);
    }
    return string_duplicate(definition_text(definition));
}

// Set the control's text; a list's text is its "|"-separated items.
int32_t control_set_text(WindowRecord* record, int32_t id, const char* text) {
    HWND control = control_window(record, id);
    ControlDefinition* definition = control_definition(record, id);
    if (control != nullptr && is_list_window(control)) {
        list_send(control, LB_RESETCONTENT, 0, 0);
        list_fill(control, text);
        return 1;
    }
    if (control != nullptr) {
        return window_set_text(control, text) ? 1 : 0;
    }
    if (is_list_kind(definition)) {
        const bool kept = definition_set_items(definition, text);
        definition->state = kept ? -1 : definition->state;
        return kept ? 1 : 0;
    }
    return definition != nullptr && definition_set_text(definition, text) ? 1 : 0;
}

// The control's text as a whole number.
int32_t control_get_number(WindowRecord* record, int32_t id, int32_t* valid) {
    int32_t value = 0;
    bool ok = false;
    if (control_window(record, id) != nullptr || control_definition(record, id) != nullptr) {
        char* text = control_get_text(record, id);
        ok = parse_number(text, &value);
        heap_free(text);
    }
    if (valid != nullptr) {
        *valid = ok ? 1 : 0;
    }
    return ok ? value : 0;
}

// Set the control's text to a number.
int32_t control_set_number(WindowRecord* record, int32_t id, int32_t value) {
    char text[16];
    std::snprintf(text, sizeof(text), "%d", static_cast<int>(value));
    return control_set_text(record, id, text);
}

// The check state of a check box or radio button.
int32_t control_get_check(WindowRecord* record, int32_t id) {
    HWND control = control_window(record, id);
    if (control != nullptr) {
        return static_cast<int32_t>(::SendMessageA(control, BM_GETCHECK, 0, 0));
    }
    ControlDefinition* definition = control_definition(record, id);
    return definition != nullptr && !is_list_kind(definition) ? definition->state : 0;
}

// Set the check state of a check box or radio button: 0, 1 or 2.
int32_t control_set_check(WindowRecord* record, int32_t id, int32_t state) {
    if (state < BST_UNCHECKED || state > BST_INDETERMINATE) {
        return 0;
    }
    HWND control = control_window(record, id);
    ControlDefinition* definition = control_definition(record, id);
    if (control != nullptr) {
        // The control takes no more than its highest state: a two-state box takes 2 as 1.
        ::SendMessageA(control, BM_SETCHECK, static_cast<WPARAM>(state), 0);
        return 1;
    }
    if (definition != nullptr && !is_list_kind(definition)) {
        const int32_t highest = definition_check_max(definition);
        definition->state = state < highest ? state : highest;
        return 1;
    }
    return 0;
}

// Give the keyboard focus to a control.
int32_t control_focus(WindowRecord* record, int32_t id) {
    HWND control = control_window(record, id);
    if (control == nullptr) {
        return 0;
    }
    if (record->kind == RECORD_DIALOG) {
        // Through the dialog manager, which also moves the default button's frame.
        ::SendMessageA(record->hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
    } else {
        ::SetFocus(control);
    }
    return 1;
}

// Add an item to a list box or combo box; its index, or -1.
int32_t control_list_add(WindowRecord* record, int32_t id, const char* text) {
    const ListTarget list = list_target(record, id);
    if (list.window != nullptr) {
        const LRESULT index = list_add_item(list.window, text);
        return index >= 0 ? static_cast<int32_t>(index) : -1;
    }
    return list.definition != nullptr ? definition_add_item(list.definition, text) : -1;
}

// Remove every item of a list box or combo box.
int32_t control_list_clear(WindowRecord* record, int32_t id) {
    const ListTarget list = list_target(record, id);
    if (list.window != nullptr) {
        list_send(list.window, LB_RESETCONTENT, 0, 0);
        return 1;
    }
    if (list.definition != nullptr && definition_set_items(list.definition, "")) {
        list.definition->state = -1;
        return 1;
    }
    return 0;
}

// Number of items of a list box or combo box.
int32_t control_list_count(WindowRecord* record, int32_t id) {
    const ListTarget list = list_target(record, id);
    if (list.window != nullptr) {
        LRESULT count = list_send(list.window, LB_GETCOUNT, 0, 0);
        return count > 0 ? static_cast<int32_t>(count) : 0;
    }
    return list.definition != nullptr ? list.definition->item_count : 0;
}

// The selected item of a list box or combo box, or -1.
int32_t control_list_selection(WindowRecord* record, int32_t id) {
    const ListTarget list = list_target(record, id);
    if (list.window != nullptr) {
        LRESULT index = list_send(list.window, LB_GETCURSEL, 0, 0);
        return index >= 0 ? static_cast<int32_t>(index) : -1;
    }
    return list.definition != nullptr ? list.definition->state : -1;
}

// Select an item of a list box or combo box (-1: none); 0 for no such item.
int32_t control_list_select(WindowRecord* record, int32_t id, int32_t index) {
    const ListTarget list = list_target(record, id);
    if (list.window == nullptr && list.definition == nullptr) {
        return 0;
    }
    if (index < -1 || index >= control_list_count(record, id)) {
        return 0; // the selection stays as it was
    }
    if (list.window != nullptr) {
        // -1 answers LB_ERR though it cleared the selection; a list that selects several
        // items answers LB_ERR to any index.
        const LRESULT selected =
            list_send(list.window, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
        return index == -1 || selected != LB_ERR ? 1 : 0;
    }
    list.definition->state = index;
    return 1;
}

// An item's text as a fresh heap string.
char* control_list_text(WindowRecord* record, int32_t id, int32_t index) {
    const ListTarget list = list_target(record, id);
    if (list.window != nullptr) {
        char* text = list_item_text(list.window, index);
        return text != nullptr ? text : string_duplicate("");
    }
    const char* item = definition_item(list.definition, index);
    return string_duplicate(item != nullptr ? item : "");
}
