// Runtime dialogs and controls, what a program calls: dialogs described in memory as a list
// of control descriptions and shown modal or modeless, controls on ordinary windows, the
// values of controls, and the settings of subclassed controls (colours, Enter and Tab
// notifications, hot tracking, bitmap buttons).
// Relies on USER32, GDI32 and COMCTL32 and on the runtime's windows: a dialog is a
// WindowRecord of kind RECORD_DIALOG whose handler receives its events through event_state.
// What the dialog files share among themselves is in dialog_internal.h.
//
// Results: routines that act on a control return 1 when they acted (on the control, or on
// the definition of a dialog that is not shown), 0 when there is no such control, no such
// item or state, or no memory; they answer alike whether the dialog is shown or not.
// A dialog's handler sees every message of the dialog, and its result follows the
// runtime's rule, 0 letting the platform's default run; the dialog manager's own
// exceptions are kept: for WM_INITDIALOG non-zero means the handler set the focus itself,
// for WM_VKEYTOITEM and WM_CHARTOITEM 0 leaves the key to the list box (-1) and any other
// value is returned as it is (-2 handled, 0 or more an item), and WM_CTLCOLORDLG,
// WM_QUERYDRAGICON and WM_COMPAREITEM return the handler's value as it is. The other
// control-colour messages (WM_CTLCOLOREDIT, WM_CTLCOLORSTATIC and the rest) reach the
// handler first too: a brush it returns is the answer, as it is (it sets the context's
// colours itself); with 0, the control's colours of control_set_colors over the
// platform's. WM_DRAWITEM of an owner-drawn control made with the style argument (a
// BS_OWNERDRAW button, an LBS_OWNERDRAWFIXED list) goes to the handler; CONTROL_BITMAP_BUTTON
// draws itself. WM_MEASUREITEM of such a list comes while the dialog is being made, before
// WM_INITDIALOG, with the record's hwnd still null. (On an ordinary window the runtime
// answers control colours itself: only owner drawing reaches its handler.)
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
    CONTROL_CHECK_BOX = 3,      // "BUTTON": check box that checks itself (BS_CHECKBOX,
                                //   BS_3STATE or BS_AUTO3STATE in style: of that type)
    CONTROL_RADIO_BUTTON = 4,   // "BUTTON": radio button that checks itself (BS_RADIOBUTTON
                                //   in style: one that does not)
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

// What a dialog template holds; dialog_begin and dialog_add_control refuse (0) anything
// else rather than cut it. Places are -32,768 to DIALOG_UNITS_MAX dialog units (a dialog's
// own place is any negative value or 0 to DIALOG_UNITS_MAX), sizes 0 to DIALOG_UNITS_MAX.
// Identifiers are 0 to CONTROL_ID_MAX, or -1 for a control the program does not address
// (as the platform's IDC_STATIC, it is the identifier 65,535 and its events carry that).
// control_create takes the same identifiers. A dialog holds at most DIALOG_CONTROLS_MAX
// controls. Texts and list items may be of any length.
constexpr int32_t DIALOG_UNITS_MAX = 32767;
constexpr int32_t CONTROL_ID_MAX = 65535;
constexpr int32_t DIALOG_CONTROLS_MAX = 65535;

// ============================================================================
// Dialogs
// ============================================================================

// Begin a dialog's definition on a record (its old definition, if any, is released): place
// and size in dialog units, a caption and the handler that receives its events; 1, or 0
// when the record holds an open window or a shown dialog, a value is out of range, or
// memory was refused.
int32_t dialog_begin(WindowRecord* record, int32_t x, int32_t y, int32_t width, int32_t height,
                     const char* caption, WindowHandler handler);
// Add a control to a begun dialog (place and size in dialog units, text or "|"-separated
// list items, extra window styles); 1, or 0 when there is no definition, the dialog is
// shown, a value is out of range, or memory was refused. Controls may share an identifier:
// a form keeps each control's values by its place in the definition, and the control_*
// routines act on the first control of an identifier.
int32_t dialog_add_control(WindowRecord* record, int32_t kind, int32_t id, int32_t x, int32_t y,
                           int32_t width, int32_t height, const char* text, uint32_t style);
// Show the dialog modal over its owner (or the desktop): the owner's top-level window is
// disabled until the dialog ends (an owner already disabled, by an outer modal dialog,
// stays so), and the activation then goes back to the window that had it (a dialog
// opened from the handler of one not on the screen yet: to that one); the dialog's
// accelerator table works as a modeless one's. The value given to dialog_end (0 when
// dialog_release ended it), or -1 when the dialog could not be shown, its window was
// destroyed without dialog_end, or WM_QUIT arrived (the quit is posted again for the
// program's own pump).
int32_t dialog_show_modal(WindowRecord* record, WindowRecord* owner);
// Show the dialog modeless; 1, or 0 when it could not be shown, is shown already or its
// handler ended it while it was being made.
int32_t dialog_show(WindowRecord* record, WindowRecord* owner);
// End a shown dialog: its window is destroyed at once (its controls' values and settings
// stay in its definition), and a modal one's dialog_show_modal returns value. Once it
// returns, dialog_begin and dialog_add_control work on a fresh definition, also inside
// the dialog's handler. 1, or 0 when the record holds no shown dialog.
int32_t dialog_end(WindowRecord* record, int32_t value);
// Release a dialog's definition (ending the dialog first when it is shown, with value 0);
// 1, or 0 when the record had none.
int32_t dialog_release(WindowRecord* record);

// ============================================================================
// Controls and their values
// ============================================================================

// While a dialog is shown the routines below act on its controls; while it is not, on its
// definition, so that a form is filled and set up before it is shown and read after it
// ended. On an ordinary window they act on controls made by control_create.

// Put a control on an open runtime window, at a place and size in client pixels, and
// subclass it; 1, or 0 when it could not be made or the identifier is out of range. A
// status bar takes the window's bottom edge, whatever place it is given, and keeps it as the
// window is resized (before the handler sees EV_SIZE); one with CCS_NORESIZE in style stays
// at the place and size given. CCS_NOPARENTALIGN alone does not keep a bar in place: the
// platform's bar moves itself to the bottom when it is made or sized.
int32_t control_create(WindowRecord* record, int32_t kind, int32_t id, int32_t x, int32_t y,
                       int32_t width, int32_t height, const char* text, uint32_t style);
// The control's text as a fresh heap string, whole whatever its length (a list's selected
// item; empty when there is no such control).
char* control_get_text(WindowRecord* record, int32_t id);
// Set the control's text; a list's text is its "|"-separated items, all replaced.
int32_t control_set_text(WindowRecord* record, int32_t id, const char* text);
// The control's text as a whole signed 32-bit decimal number: an optional sign ("-" or
// "+") and digits, with spaces and tabs allowed before and after. *valid (when given) is 1
// when the text is one, else 0 and the result 0 (also without such a control).
int32_t control_get_number(WindowRecord* record, int32_t id, int32_t* valid);
// Set the control's text to a number.
int32_t control_set_number(WindowRecord* record, int32_t id, int32_t value);
// The check state of a check box or radio button: 0, 1 or 2 (indeterminate, only for a
// three-state box: BS_3STATE or BS_AUTO3STATE in style); 0 for a control without one.
int32_t control_get_check(WindowRecord* record, int32_t id);
// Set the check state of a check box or radio button: 0, 1 or 2 (indeterminate), which a
// control takes as its highest state when it has no such state (a two-state box 2 as 1, a
// push button anything as 0); 0 for any other state, which changes nothing.
int32_t control_set_check(WindowRecord* record, int32_t id, int32_t state);
// Give the keyboard focus to a control of a shown dialog or open window.
int32_t control_focus(WindowRecord* record, int32_t id);

// The list routines act on list boxes and combo boxes only; on a control of another kind
// they answer as without a control: -1, 0 or an empty string. Items are kept as they are
// given, an empty one or one with "|" included, and always as texts (an owner-drawn list
// included: its handler reads them with control_list_text). A sorted list (LBS_SORT,
// CBS_SORT) holds them in its control's order while not shown too, so that an index means
// the same item shown or not; items that compare equal keep the order the control gives
// them.
// Add an item to a list box or combo box; its index, or -1.
int32_t control_list_add(WindowRecord* record, int32_t id, const char* text);
// Remove every item of a list box or combo box.
int32_t control_list_clear(WindowRecord* record, int32_t id);
// Number of items of a list box or combo box.
int32_t control_list_count(WindowRecord* record, int32_t id);
// The selected item of a list box or combo box, or -1.
int32_t control_list_selection(WindowRecord* record, int32_t id);
// Select an item of a list box or combo box (-1: none); 0 for an index that is no item, or
// a list that selects several items, and the selection stays as it was.
int32_t control_list_select(WindowRecord* record, int32_t id, int32_t index);
// An item's text as a fresh heap string (empty when there is no such item).
char* control_list_text(WindowRecord* record, int32_t id, int32_t index);

// ============================================================================
// Settings of subclassed controls
// ============================================================================

// Settings given to a dialog that is not shown are kept in its definition and applied each
// time it is shown, as its values are; given while it is shown, they act on the control
// and are kept too. Each returns 1 when it acted, 0 without such a control.

// Colour a control: text and background colours (NO_COLOR from draw.h: the platform's own;
// a text colour alone keeps the platform's background, the face colour of a read-only or
// disabled edit included). Rich edits, list views and tree views take them through their
// own messages; a bitmap button takes the text colour for its frame. Push buttons
// (BS_PUSHLIKE ones too) and status bars keep the platform's faces: 0, nothing kept.
int32_t control_set_colors(WindowRecord* record, int32_t id, COLORREF text, COLORREF back);
// Turn Enter and Tab notifications on (1) or off (0): the key becomes EV_CONTROL with
// CN_ENTER or CN_TAB for the owner's handler instead of its default behaviour.
int32_t control_set_notify(WindowRecord* record, int32_t id, int32_t enter, int32_t tab);
// Turn hot tracking on with a background colour while the mouse is over the control, or
// off with NO_COLOR.
int32_t control_set_hot(WindowRecord* record, int32_t id, COLORREF hot_color);
// Give a bitmap button its normal, hot and pressed pictures (the control owns them from
// now on) and the width of its frame in pixels; 1. Pictures are given to a shown control
// only: without one (a dialog not shown included) they are deleted and the result is 0.
int32_t control_set_bitmaps(WindowRecord* record, int32_t id, HBITMAP normal, HBITMAP hot,
                            HBITMAP pressed, int32_t border_width);

// ============================================================================
// File dialogs
// ============================================================================

// The platform's Open and Save As dialogs, modal to owner (null, or a closed record: no
// owner). Names are text in the process's ANSI code page, as every char* here.
// filters: pairs of a description and its patterns, joined by '|', as
// "Text files|*.txt|All files|*.*" (patterns of one pair joined by ';'); null or empty
// for none; an unpaired last description is left out. folder: the folder shown first, or
// null for the platform's choice. Result 1 when chosen, and *chosen receives a fresh heap
// string (the caller frees it with heap_free); 0 when the user cancelled; -1 when the
// dialog failed or a chosen name cannot be written in the code page. *chosen is null
// unless the result is 1.
// Ask for one existing file (several 0) or several (several 1) to open: *chosen is the
// full path, or with several the full paths joined by '\n'.
int32_t choose_file_to_open(WindowRecord* owner, const char* filters, const char* folder,
                            int32_t several, char** chosen);
// Ask for a file name to save as, starting from name (null: empty); the user confirms
// replacing a file that exists. A name typed without an extension gets the first filter's
// extension when its first pattern is a plain "*.ext" ("*.txt;*.log" gives ".txt", "*.*"
// nothing). *chosen is the full path.
int32_t choose_file_to_save(WindowRecord* owner, const char* filters, const char* folder,
                            const char* name, char** chosen);
