// What the runtime's window files share among themselves, beside the public window.h: the
// class atoms and the record being created, the one window procedure and event dispatch,
// the lookup from a platform window to its record, and the MDI frame's helpers.
// Programs include window.h only; this header is not installed.
// Back-references: events.cpp hands paint requests to runtime/draw's paint_window, and
// open_window and close_window call runtime/draw's surface_open and surface_close.
#pragma once

#include "runtime/window/window.h"

// ============================================================================
// Window classes and records (window_record.cpp)
// ============================================================================

extern ATOM wnd_class_atom;           // "KalvorineWndClass"
extern ATOM frame_class_atom;         // "KalvorineFrameClass"
extern ATOM dialog_class_atom;        // "KalvorineDlgClass"
extern ATOM mdi_client_atom;          // class of MDI clients; 0xFFFF once a plain window exists
extern WindowRecord* creating_record; // the record whose CreateWindowExA is in progress

// Register the runtime's window classes that are not registered yet.
void register_window_classes();
// Where a dialog window keeps its record's address: after the extra bytes that belong to
// the dialog manager, which writes each message's result at offset 0.
constexpr int32_t DIALOG_RECORD_OFFSET = DLGWINDOWEXTRA;
// The record of a runtime window, or null.
WindowRecord* window_record(HWND hwnd);
// True for a window of one of the runtime's classes (the ones that carry a record).
bool is_runtime_class(HWND hwnd);
// True when the record holds an open window.
inline bool record_is_open(const WindowRecord* record) {
    return record != nullptr && record->hwnd != nullptr;
}

// ============================================================================
// The window procedure and event dispatch (events.cpp)
// ============================================================================

// The class procedure of every runtime window: paint, erase and control colours here,
// everything else through dispatch_event and then the default procedure.
LRESULT CALLBACK window_procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
// Fill event_state, call the record's handler, restore event_state; the handler's result.
intptr_t dispatch_event(WindowRecord* record, uint32_t event, WPARAM wparam, LPARAM lparam);
// Paint an erased area with the background colour, then let the handler draw on it; 1.
LRESULT erase_background(HWND hwnd, HDC dc, LPARAM lparam);

// Message under which a control of the dialog facility answers its own colours: the
// control-colour messages (WM_CTLCOLOREDIT ...) are sent on to it under this number with
// their wparam (the context) and lparam (the control). Its answer is its brush, or 0
// when it has no background of its own.
// NOTE: 0x19 is the old 16-bit WM_CTLCOLOR; a control's own procedure reads a colour type
// from the high word of lparam, which here is a window handle, so only the facility's
// controls are asked: those for which answers_own_colors, which the facility sets when it
// subclasses its first control, says so.
constexpr UINT REFLECTED_CTLCOLOR = 0x19;
extern bool (*answers_own_colors)(HWND control);
// Colours for a control-colour message: platform_brush is the platform's answer for the
// message (its colours already set in the context); a subclassed control then sets its own
// over them. The control's brush, or platform_brush when it has no background of its own.
LRESULT control_colors(HWND control, HDC dc, LRESULT platform_brush);
// The control a WM_DRAWITEM is for: the DRAWITEMSTRUCT's control when it is a child of
// window, else null (menu items, which stay with the window).
HWND drawn_control(HWND window, LPARAM draw_item);

// ============================================================================
// The event pump (pump.cpp)
// ============================================================================

// Handle one message as process_events does: a runtime window's accelerator table and
// dialog navigation, then translation and dispatch. A modal dialog's own loop uses it.
void route_message(MSG* msg);

// ============================================================================
// MDI frames (mdi.cpp)
// ============================================================================

// Give a frame window its "&Window" menu and its MDI client.
void make_mdi_client(WindowRecord* record);
// The record that a menu pick belongs to: the top child's (of the MDI client when it has
// one), else the window's own.
WindowRecord* menu_pick_window(WindowRecord* record);
// Forward a menu pick of the frame's "&Window" menu to its MDI client.
void arrange_mdi_children(HWND mdi_client, int32_t menu_id);
// Fit the MDI client into the room that toolbars and status bars leave; 1 when one was found.
int32_t layout_frame_bars(HWND frame, HWND mdi_client);
// Child enumeration step: free is a FrameBarSpace.
struct FrameBarSpace {
    RECT free;     // client space left for the MDI client
    int32_t found; // 1 once a toolbar or status bar was seen
};
// Take a toolbar's or status bar's room from the free rectangle; continue.
BOOL CALLBACK measure_frame_bar(HWND child, LPARAM free);
