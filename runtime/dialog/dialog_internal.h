// What the dialog files share among themselves, beside the public dialog.h: the property
// names, the control classes, the definition lists' helpers, templates, the dialog
// procedure and the subclass procedure of controls. Programs include dialog.h only; this
// header is not installed.
// The definition records (DialogDefinition, ControlDefinition, DialogListNode) are the
// core's (core_internal.h), which releases them at shut-down.
#pragma once

#include "runtime/core/core_internal.h"
#include "runtime/dialog/dialog.h"
#include "runtime/window/window_internal.h"

// ============================================================================
// Properties of subclassed controls (subclass.cpp)
// ============================================================================

constexpr const char* PROP_ORIGINAL = "LPFN";             // the control's own window procedure
constexpr const char* PROP_TEXT_COLOR = "FGRND";          // COLORREF | COLOR_SET
constexpr const char* PROP_BACK_COLOR = "BGRND";          // COLORREF | COLOR_SET
constexpr const char* PROP_BACK_BRUSH = "BBRUSH";         // brush of BGRND, owned
constexpr const char* PROP_NOTIFY_ENTER = "NOTIFY_ENTER"; // 1: Enter notifies the owner
constexpr const char* PROP_NOTIFY_TAB = "NOTIFY_TAB";     // 1: Tab notifies the owner
constexpr const char* PROP_HOT = "DOHOT";                 // HOT_ON, or HOT_OVER with the mouse over
constexpr const char* PROP_HOT_COLOR = "HTCLR";           // COLORREF | COLOR_SET
constexpr const char* PROP_HOT_BRUSH = "HBRUSH";          // brush of HTCLR, owned
constexpr const char* PROP_BORDER = "BORDERWIDTH";        // a bitmap button's frame in pixels
constexpr const char* PROP_NORMAL_BITMAP = "NORBMP";      // owned
constexpr const char* PROP_HOT_BITMAP = "HOTBMP";         // owned
constexpr const char* PROP_PRESSED_BITMAP = "SELBMP";     // owned

// Marks a colour property as set, so that black (0) is not taken for "none".
constexpr uintptr_t COLOR_SET = 0x01000000;
constexpr uintptr_t HOT_ON = 1;   // hot tracking on, the mouse elsewhere
constexpr uintptr_t HOT_OVER = 2; // hot tracking on, the mouse over the control

// Subclass a control: keep its procedure in "LPFN" and route its messages through
// control_procedure. True when it is subclassed afterwards.
bool control_subclass(HWND control);
// True for a control subclassed by control_subclass (window_procedure's answers_own_colors).
bool is_subclassed(HWND control);
// Make a subclassed owner-drawn button one of the facility's bitmap buttons, which draw
// themselves: one made as CONTROL_BITMAP_BUTTON, or given pictures by control_set_bitmaps.
void mark_bitmap_button(HWND control);
// True for one of the facility's bitmap buttons (window_procedure's draws_itself): its
// WM_DRAWITEM goes to it; any other control's goes to its owner's handler.
bool is_bitmap_button(HWND control);
// The subclass procedure of every control the facility makes: it answers its colours under
// REFLECTED_CTLCOLOR (window_internal.h).
LRESULT CALLBACK control_procedure(HWND control, UINT message, WPARAM wparam, LPARAM lparam);
// A colour as the colour properties and the kept settings hold it: 0 for NO_COLOR.
uint32_t color_setting(COLORREF color);
constexpr uint32_t NOTIFY_ENTER_BIT = 1; // bits of a ControlDefinition's notify
constexpr uint32_t NOTIFY_TAB_BIT = 2;
// Give a subclassed control the settings its definition keeps.
void control_settings_apply(HWND control, const ControlDefinition* definition);

// ============================================================================
// Control classes and templates (templates.cpp)
// ============================================================================

// What the platform needs to make a control of a kind.
struct ControlClass {
    const char* name; // window class name
    WORD atom;        // predefined class atom for templates (0x0080 ...), 0 for a name
    DWORD style;      // the kind's own styles, WS_CHILD | WS_VISIBLE added
    DWORD ex_style;   // extended styles
    bool is_list;     // items ("|"-separated in a given text), filled after creation
};
// The class of a kind, or null for an unknown kind.
const ControlClass* control_class(int32_t kind);
// Make the common controls' classes (once) and load the rich edit library (once, when
// kind is a rich edit) before a control of the kind is made.
void control_classes_prepare(int32_t kind);
// Register "KalvorineDlgClass" when it is not registered yet; its atom, or 0.
ATOM dialog_register_class();
// The window style of a control of a kind with the extra styles given: WS_CHILD,
// WS_VISIBLE, the kind's own styles and the given ones. A check box given another check box
// type (BS_CHECKBOX, BS_3STATE, BS_AUTO3STATE) is of that type, and a radio button given
// BS_RADIOBUTTON likewise, rather than of the two types' bits mixed.
DWORD control_style(int32_t kind, uint32_t style);
// The highest check state of a control of a window class and style: 2 for a three-state
// check box, 1 for another check box or a radio button, 0 for any other control.
int32_t check_state_max(const char* class_name, DWORD style);
// True when control_set_colors changes how a control of a window class and style looks:
// every control but a push button (BS_PUSHBUTTON, BS_DEFPUSHBUTTON, split and command-link
// buttons, and BS_PUSHLIKE ones) and a status bar, whose faces are the platform's.
bool takes_colors(const char* class_name, DWORD style);
// Build the in-memory dialog template of a definition in a new fixed global block (the
// caller frees it with global_free); null without memory.
void* dialog_template_build(const DialogDefinition* definition);
// True when a text goes into the template; a longer one is given to the window once it
// exists (the platform refuses or cuts a template's texts of 32,767 characters or more).
bool text_fits_template(const char* text);
// The identifier a control has on the screen: -1 is 65,535.
inline int32_t control_id_key(int32_t id) {
    return id == -1 ? CONTROL_ID_MAX : id;
}
// True for an identifier a control can have.
inline bool control_id_valid(int32_t id) {
    return id >= -1 && id <= CONTROL_ID_MAX;
}

// ============================================================================
// Definitions (definitions.cpp)
// ============================================================================

// The definition of a dialog record, or null.
DialogDefinition* dialog_definition(const WindowRecord* record);
// The definition of a dialog's first control of an identifier, or null.
ControlDefinition* control_definition(const WindowRecord* record, int32_t id);
// The window style its control gets, and the highest check state it takes.
DWORD definition_style(const ControlDefinition* control);
int32_t definition_check_max(const ControlDefinition* control);
// The text a control definition holds ("" without one).
const char* definition_text(const ControlDefinition* control);
// Replace a control definition's text; false when memory was refused (the old text stays).
bool definition_set_text(ControlDefinition* control, const char* text);

// A list definition keeps its items in its extra block, each NUL-terminated, and their
// number in item_count. A sorted list (a list box with LBS_SORT, a combo box with CBS_SORT)
// keeps them in the order its control gives them: each item goes where the control's own
// search among the items before it puts it. Each routine leaves the old items when memory
// was refused.
// Replace the items by those of a "|"-separated text ("" has none); false without memory.
bool definition_set_items(ControlDefinition* control, const char* items);
// Add one item as it is; its index, or -1 without memory.
int32_t definition_add_item(ControlDefinition* control, const char* item);
// Item index, or null when there is none.
const char* definition_item(const ControlDefinition* control, int32_t index);
// Replace the items by those of a list box or combo box; false without memory.
bool definition_read_items(ControlDefinition* control, HWND list);
// Fill a list box or combo box with a definition's items; where item `follow` of the
// definition is in the control afterwards (a sorted control puts items in its own order),
// or -1 when follow is no item.
int32_t list_fill_items(HWND list, const ControlDefinition* control, int32_t follow);
// Fill a list box or combo box with the items of a "|"-separated text.
void list_fill(HWND list, const char* items);
// Add an item (text in the ANSI code page) to a list box or combo box; its index, or a
// negative error.
LRESULT list_add_item(HWND list, const char* item);
// A list box's or combo box's item as a fresh heap string in the ANSI code page; null when
// there is no such item or without memory.
char* list_item_text(HWND list, int32_t index);
// True for a combo box, false for a list box (and any other class).
bool is_combo_box(HWND control);
// A fresh heap copy of a window's text, in the ANSI code page.
char* control_window_text(HWND window);
// Move every status bar directly on a window to the window's bottom edge, full width (one
// made with CCS_NOPARENTALIGN or CCS_NORESIZE stays where it is).
void lay_out_status_bars(HWND window);

// ============================================================================
// Dialogs (dialogs.cpp)
// ============================================================================

// The dialog procedure of every dialog: hands its messages to the record's handler.
INT_PTR CALLBACK dialog_procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
