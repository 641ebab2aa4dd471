// Runtime dialogs and controls, what a program calls: dialogs described in memory as a list
// of control descriptions and shown modal or modeless, controls on ordinary windows, the
// values of controls, and the settings of subclassed controls (colours, Enter and Tab
// notifications, hot tracking, bitmap buttons).
// Relies on USER32, GDI32 and COMCTL32 and on the runtime's windows: a dialog is a
// WindowRecord of kind RECORD_DIALOG whose handler receives its events through event_state.
// What the dialog files share among themselves is in dialog_internal.h.
#pragma once

#include <windows.h>

#include <cstdint>

#include "runtime/draw/draw.h"
#include "runtime/window/window.h"

// ============================================================================
// Kinds of controls and notifications
// ============================================================================

// The kind argument of dialog_add_control and control_create.
enum ControlKind : int32_t {
    CONTROL_BUTTON = 1,         // "BUTTON": push button
    CONTROL_DEFAULT_BUTTON = 2, // "BUTTON": the push button Enter presses
    CONTROL_CHECK_BOX = 3,      // "BUTTON": check box that checks itself
    CONTROL_RADIO_BUTTON = 4,   // "BUTTON": radio button that checks itself
    CONTROL_GROUP_BOX = 5,      // "BUTTON": frame with a caption around other controls
    CONTROL_BITMAP_BUTTON = 6,  // "BUTTON": draws the pictures of control_set_bitmaps
    CONTROL_EDIT = 7,           // "EDIT": one line
    CONTROL_EDIT_MULTILINE = 8, // "EDIT": several lines, with a vertical scroll bar
    CONTROL_LIST_BOX = 9,       // "LISTBOX"
    CONTROL_COMBO_BOX = 10,     // "COMBOBOX": a drop-down list
    CONTROL_LABEL = 11,         // "STATIC": text
    CONTROL_SCROLL_BAR = 12,    // "SCROLLBAR": horizontal (SBS_VERT in style: vertical)
    CONTROL_RICH_EDIT = 13,     // rich edit ("RichEdit20A")
    CONTROL_LIST_VIEW = 14,     // list view ("SysListView32"), report view
    CONTROL_STATUS_BAR = 15,    // status bar ("msctls_statusbar32")
    CONTROL_TREE_VIEW = 16,     // tree view ("SysTreeView32")
};
constexpr int32_t CONTROL_KIND_COUNT = 16;

// notify_code of the EV_CONTROL that Enter or Tab raise in a control with "NOTIFY_ENTER"
// or "NOTIFY_TAB" set (no standard control uses these codes).
constexpr int32_t CN_ENTER = 0x7E01;
constexpr int32_t CN_TAB = 0x7E02;

// A negative place in dialog_begin: the dialog is centred over its owner.
constexpr int32_t DIALOG_CENTRED = -1;

// ============================================================================
// Dialogs
// ============================================================================

// Begin a dialog's definition on a record: place and size in dialog units, a caption and
// the handler that receives its events; 1, or 0 when memory was refused or it is shown.
int32_t dialog_begin(WindowRecord* record, int32_t x, int32_t y, int32_t width, int32_t height,
                     const char* caption, WindowHandler handler);
// Add a control to a begun dialog (place and size in dialog units, text or "|"-separated
// list items, extra window styles); 1, or 0 when there is no definition or no memory.
int32_t dialog_add_control(WindowRecord* record, int32_t kind, int32_t id, int32_t x, int32_t y,
                           int32_t width, int32_t height, const char* text, uint32_t style);
// Show the dialog modal over its owner (or the desktop); the value given to dialog_end, or
// -1 when it could not be shown.
int32_t dialog_show_modal(WindowRecord* record, WindowRecord* owner);
// Show the dialog modeless; 1, or 0 when it could not be shown or is shown already.
int32_t dialog_show(WindowRecord* record, WindowRecord* owner);
// End a shown dialog: a modal one returns value from dialog_show_modal, a modeless one is
// destroyed. Its controls' values stay in its definition.
int32_t dialog_end(WindowRecord* record, int32_t value);
// Release a dialog's definition (ending the dialog first when it is shown).
int32_t dialog_release(WindowRecord* record);

// ============================================================================
// Controls and their values
// ============================================================================

// Put a control on an open runtime window, at a place and size in client pixels, and
// subclass it; 1, or 0 when it could not be made.
int32_t control_create(WindowRecord* record, int32_t kind, int32_t id, int32_t x, int32_t y,
                       int32_t width, int32_t height, const char* text, uint32_t style);
// The control's text as a fresh heap string (empty when there is no such control).
char* control_get_text(WindowRecord* record, int32_t id);
// Set the control's text.
int32_t control_set_text(WindowRecord* record, int32_t id, const char* text);
// The control's text as a whole signed 32-bit decimal number; *valid (when given) is 1
// when the text is one, else 0 and the result 0.
int32_t control_get_number(WindowRecord* record, int32_t id, int32_t* valid);
// Set the control's text to a number.
int32_t control_set_number(WindowRecord* record, int32_t id, int32_t value);
// The check state of a check box or radio button: 0, 1 or 2 (indeterminate).
int32_t control_get_check(WindowRecord* record, int32_t id);
// Set the check state of a check box or radio button.
int32_t control_set_check(WindowRecord* record, int32_t id, int32_t state);
// Give the keyboard focus to a control of a shown dialog or open window.
int32_t control_focus(WindowRecord* record, int32_t id);

// Add an item to a list box or combo box; its index, or -1.
int32_t control_list_add(WindowRecord* record, int32_t id, const char* text);
// Remove every item of a list box or combo box.
int32_t control_list_clear(WindowRecord* record, int32_t id);
// Number of items of a list box or combo box.
int32_t control_list_count(WindowRecord* record, int32_t id);
// The selected item of a list box or combo box, or -1.
int32_t control_list_selection(WindowRecord* record, int32_t id);
// Select an item of a list box or combo box (-1: none).
int32_t control_list_select(WindowRecord* record, int32_t id, int32_t index);
// An item's text as a fresh heap string (empty when there is no such item).
char* control_list_text(WindowRecord* record, int32_t id, int32_t index);

// ============================================================================
// Settings of subclassed controls
// ============================================================================

// Colour a control: text and background colours (NO_COLOR from draw.h: the control's own).
int32_t control_set_colors(WindowRecord* record, int32_t id, COLORREF text, COLORREF back);
// Turn Enter and Tab notifications on (1) or off (0): the key becomes EV_CONTROL with
// CN_ENTER or CN_TAB for the owner's handler instead of its default behaviour.
int32_t control_set_notify(WindowRecord* record, int32_t id, int32_t enter, int32_t tab);
// Turn hot tracking on with a background colour while the mouse is over the control, or
// off with NO_COLOR.
int32_t control_set_hot(WindowRecord* record, int32_t id, COLORREF hot_color);
// Give a bitmap button its normal, hot and pressed pictures (the control owns them from
// now on) and the width of its frame in pixels. Without such a control they are deleted.
int32_t control_set_bitmaps(WindowRecord* record, int32_t id, HBITMAP normal, HBITMAP hot,
                            HBITMAP pressed, int32_t border_width);
