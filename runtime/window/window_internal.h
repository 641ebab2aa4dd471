// What the runtime's window files share among themselves, beside the public window.h: the
// class atoms and the record being created, the one window procedure and event dispatch,
// the lookup from a platform window to its record, the MDI frame's helpers, and the
// surface each window owns (made by open_window, released by close_window, painted for
// events.cpp). Programs include window.h only; this header is not installed.
#pragma once

#include "runtime/window/window.h"

// ============================================================================
// Window classes and records (window_record.cpp)
// ============================================================================

extern ATOM wnd_class_atom;           // "KalvorineWndClass"
extern ATOM frame_class_atom;         // "KalvorineFrameClass"
extern ATOM dialog_class_atom;        // "KalvorineDlgClass"
extern ATOM mdi_client_atom;          // class of MDI clients; NO_MDI_CLIENT_ATOM once a plain
                                      // window exists
extern WindowRecord* creating_record; // the record whose CreateWindowExA is in progress

// What mdi_client_atom becomes when a window without an MDI client is made first: no class
// word of a parent equals it, so no window is taken for an MDI child (0 would match a
// missing parent's).
constexpr ATOM NO_MDI_CLIENT_ATOM = 0xFFFF;
// The icon resource of the program's module that every runtime window and dialog shows.
constexpr int ICON_RESOURCE = 101;

// Register the runtime's window classes that are not registered yet.
void register_window_classes();
// Release what a window destroyed without close_window owned (a child destroyed with its
// parent, say), as close_window does, once its last message was handled: the record is
// closed, its surface and accelerator table released.
void window_destroyed(WindowRecord* record, HWND hwnd);
// The property a runtime window carries from its WM_DESTROY to its WM_NCDESTROY: the
// platform is destroying it, so close_window releases the record without destroying the
// window a second time (which would send the destruction messages again).
constexpr const char* BEING_DESTROYED_PROPERTY = "_BEING_DESTROYED";
// Where a runtime window keeps its record's address: its extra word 0.
constexpr int32_t WINDOW_RECORD_OFFSET = 0;
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

// Message under which a control answers its own colours: the control-colour messages
// (WM_CTLCOLOREDIT ...) are sent on to it under this number with their wparam (the
// context) and lparam (the control). Its answer is its brush, or 0 when it has no
// background of its own.
// NOTE: 0x19 is the old 16-bit WM_CTLCOLOR; the platform's default procedure reads a colour
// type from the high word of lparam, which here is a window handle, so the platform's
// untouched controls are never asked (see control_hooks).
constexpr UINT REFLECTED_CTLCOLOR = 0x19;
// Set by the dialog facility when it subclasses its first control: true for the facility's
// controls, which answer REFLECTED_CTLCOLOR from their settings.
extern bool (*answers_own_colors)(HWND control);
// Likewise: true for the facility's bitmap buttons, which draw themselves under WM_DRAWITEM;
// the facility's other owner-drawn controls are drawn by their window's handler.
extern bool (*draws_itself)(HWND control);
// Set by the dialog facility when it puts a status bar on a window: moves the window's
// status bars to its bottom edge. Called for every WM_SIZE before the handler sees it.
extern void (*fit_status_bars)(HWND window);
// Who answers a control's colours (REFLECTED_CTLCOLOR) and owner drawing (WM_DRAWITEM).
enum ControlHooks : int32_t {
    HOOKS_PLATFORM = 0, // an untouched control of the platform: its window's default colours
                        // and its window's handler draws it
    HOOKS_FACILITY = 1, // the dialog facility's: answers_own_colors and draws_itself
    HOOKS_WINDOW = 2,   // a runtime window used as a control: its handler answers both
    HOOKS_PROGRAM = 3,  // a control whose procedure the program wrote (replaced by
                        // subclassing, or of a class the program registered)
};
ControlHooks control_hooks(HWND control);
// Colours for a control-colour message: platform_brush is the platform's answer for the
// message (its colours already set in the context); a control that answers its own then
// sets them over the platform's. The control's brush, or platform_brush when it has no
// background of its own or left the message to the platform's default procedure.
LRESULT control_colors(HWND control, HDC dc, LRESULT platform_brush);
// The control a WM_DRAWITEM is for: the DRAWITEMSTRUCT's control when it is a child of
// window, else null (menu items, which stay with the window).
HWND drawn_control(HWND window, LPARAM draw_item);
// True when WM_DRAWITEM is first sent on to the control, which answers TRUE when it drew
// (FALSE leaves the item to its window's handler); false when the handler draws them.
bool draws_own_items(HWND control);

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
    HWND frame;    // the frame: only bars directly on it take room
    RECT free;     // client space left for the MDI client
    int32_t found; // 1 once a toolbar or status bar was seen
};
// Take the room of a shown toolbar or status bar directly on the frame from the free
// rectangle, on the side it stands on; continue.
BOOL CALLBACK measure_frame_bar(HWND child, LPARAM free);
// Keep the MDI client of a frame fitted around a toolbar or status bar just made on it.
void frame_child_made(WindowRecord* frame, HWND child);

// ============================================================================
// The surface and repaint (surface.cpp)
// ============================================================================

// Give a new window its surface: the backing bitmap filled with the background colour (or
// the window itself filled, without one) and copies of a fresh context's pen, font and
// text state. False when the window's context could not be had (nothing is made then).
bool surface_open(WindowRecord* record, uint32_t flags, int32_t width, int32_t height);
// The objects a surface owns, handed from surface_close to surface_delete.
struct SurfaceObjects {
    HBITMAP bitmap; // the backing bitmap, or null
    HPEN pen;       // the record's pen
    HFONT font;     // the record's font
};
// Close a window's surface while its window still exists: give back a drawing context
// still open on it (also the one of a repaint in progress) and hand over the bitmap, pen
// and font, which stay selected nowhere. The handles stay in the record; open_window
// overwrites them.
SurfaceObjects surface_close(WindowRecord* record, HWND hwnd);
// Delete the bitmap, then the pen, then the font of a closed surface, once its window is
// gone (its destruction messages still find them alive).
void surface_delete(const SurfaceObjects& objects);
// Run the record's handler for EV_ERASE on an erase context (erase_dc set meanwhile).
// Drawing opened there gets the record's drawing state and gives it back at its close, as
// on the backing surface, but counts no bounds and repaints nothing; the context is
// restored afterwards, also when the handler left drawing open.
void erase_with_handler(WindowRecord* record, HDC dc, LPARAM lparam);
// Give the contexts open on a record (begin_draw's, on its surface or an erase context) a
// new pen or font of the record's, and with colors its text colours (the pen's colour,
// bk_color), so that they apply to what is drawn next. Call after replacing record->pen or
// record->font (object: the new one, or null) and before deleting the old one, which is
// then selected nowhere.
void drawing_state_changed(WindowRecord* record, HGDIOBJ object, bool colors);
// Answer a paint request of a runtime window from its backing bitmap; 1.
LRESULT paint_window(HWND hwnd, WPARAM wparam, LPARAM lparam);
// Map touched bounds of a bw x bh scaled surface (right and bottom inclusive) to the
// rectangle of its cw x ch client area that must be repainted.
RECT scaled_bounds_to_client(const RECT& bounds, int32_t cw, int32_t ch, int32_t bw, int32_t bh);
// Fill a rectangle of a context with one colour; the context's background colour stays set.
int32_t fill_rect_dc(HDC dc, int32_t x, int32_t y, int32_t width, int32_t height, COLORREF color);

// ============================================================================
// The clipboard (clipboard.cpp)
// ============================================================================

// The text of a clipboard block of bytes (UTF-16, from the platform or another program)
// as a fresh heap string in UTF-8: up to its first NUL, and never past bytes when it has
// none (a half unit at the end is left out); null without memory.
char* clipboard_block_text(const wchar_t* units, size_t bytes);
