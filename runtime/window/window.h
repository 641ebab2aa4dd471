// Runtime windows, what a program calls: the window record, opening and closing windows,
// the drawing surface a window owns, the events a handler reads, the event pump, timers,
// menus and window geometry.
// Relies on USER32 and GDI32 and on the runtime core. runtime/draw builds on this header
// (every drawing routine takes a WindowRecord and draws between begin_draw and end_draw).
// What the runtime's own files share (the window procedure, dispatch, class atoms, the
// surface's make and release, MDI helpers) is in window_internal.h.
// One thread: EventState is a plain global; records are program-owned.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

// ============================================================================
// The window record
// ============================================================================

// A window's handler: reads event_state, returns 0 to let the default procedure run.
using WindowHandler = intptr_t (*)();

// Everything the runtime knows of one window. Program-owned storage, zeroed before
// open_window; passed by address to every window, event and drawing routine.
struct WindowRecord {
    HWND hwnd;              // the platform window; null before open_window and once it is gone
    HBITMAP backing_bitmap; // off-screen picture of the window (SURFACE_BACKING only)
    HFONT font;             // owned: font for text output
    HPEN pen;               // owned: pen for lines and outlines; its colour is the text colour
    HWND mdi_client;        // MDI client child of a frame window, else null
    POINT current_pos;      // saved drawing position, client pixels
    int32_t bk_mode;        // text background mode: OPAQUE 2, TRANSPARENT 1
    int32_t rop2;           // mix mode for pens (R2_COPYPEN 13)
    int32_t pen_style;      // style of pens that drawing routines make (PS_SOLID 0)
    int32_t pen_width;      // width in pixels of those pens
    COLORREF bk_color;      // text background colour
    COLORREF back_color;    // window background colour, used to erase and clear
    uint32_t surface_flags; // SURFACE_BACKING, SURFACE_FIT_CLIENT
    int32_t is_dialog;      // non-zero: the pump passes messages through IsDialogMessageW
    HCURSOR cursor;         // cursor over the client area
    HDC erase_dc;           // erase context while the handler runs for EV_ERASE, else null
    HDC draw_dc;            // context handed out by begin_draw while drawing is open
    int32_t draw_depth;     // open begin_draw calls on draw_dc
    int32_t kind;           // RECORD_WINDOW or RECORD_DIALOG (close_window acts on windows only)
    void* dialog_def;       // a dialog record's definition buffer; untouched for windows
    int32_t reserved_a;     // reserved, 0
    void* reserved_b;       // reserved, null
    WindowHandler handler;  // the program's handler routine
    void* reserved_c;       // reserved, null
    HDC reserved_d;         // reserved, null
};

// The record's layout, checked in both widths: 26 consecutive 32-bit words in a 32-bit
// build; in a 64-bit build handles, addresses and the handler widen to 8 bytes (with 4
// bytes of padding after reserved_a). Any change to the record shows here in both.
constexpr bool WIDE_WORDS = sizeof(void*) == 8;
static_assert(sizeof(WindowRecord) == (WIDE_WORDS ? 160 : 104));
static_assert(offsetof(WindowRecord, hwnd) == 0);
static_assert(offsetof(WindowRecord, backing_bitmap) == (WIDE_WORDS ? 8 : 4));
static_assert(offsetof(WindowRecord, font) == (WIDE_WORDS ? 16 : 8));
static_assert(offsetof(WindowRecord, pen) == (WIDE_WORDS ? 24 : 12));
static_assert(offsetof(WindowRecord, mdi_client) == (WIDE_WORDS ? 32 : 16));
static_assert(offsetof(WindowRecord, current_pos) == (WIDE_WORDS ? 40 : 20));
static_assert(offsetof(WindowRecord, bk_mode) == (WIDE_WORDS ? 48 : 28));
static_assert(offsetof(WindowRecord, rop2) == (WIDE_WORDS ? 52 : 32));
static_assert(offsetof(WindowRecord, pen_style) == (WIDE_WORDS ? 56 : 36));
static_assert(offsetof(WindowRecord, pen_width) == (WIDE_WORDS ? 60 : 40));
static_assert(offsetof(WindowRecord, bk_color) == (WIDE_WORDS ? 64 : 44));
static_assert(offsetof(WindowRecord, back_color) == (WIDE_WORDS ? 68 : 48));
static_assert(offsetof(WindowRecord, surface_flags) == (WIDE_WORDS ? 72 : 52));
static_assert(offsetof(WindowRecord, is_dialog) == (WIDE_WORDS ? 76 : 56));
static_assert(offsetof(WindowRecord, cursor) == (WIDE_WORDS ? 80 : 60));
static_assert(offsetof(WindowRecord, erase_dc) == (WIDE_WORDS ? 88 : 64));
static_assert(offsetof(WindowRecord, draw_dc) == (WIDE_WORDS ? 96 : 68));
static_assert(offsetof(WindowRecord, draw_depth) == (WIDE_WORDS ? 104 : 72));
static_assert(offsetof(WindowRecord, kind) == (WIDE_WORDS ? 108 : 76));
static_assert(offsetof(WindowRecord, dialog_def) == (WIDE_WORDS ? 112 : 80));
static_assert(offsetof(WindowRecord, reserved_a) == (WIDE_WORDS ? 120 : 84));
static_assert(offsetof(WindowRecord, reserved_b) == (WIDE_WORDS ? 128 : 88));
static_assert(offsetof(WindowRecord, handler) == (WIDE_WORDS ? 136 : 92));
static_assert(offsetof(WindowRecord, reserved_c) == (WIDE_WORDS ? 144 : 96));
static_assert(offsetof(WindowRecord, reserved_d) == (WIDE_WORDS ? 152 : 100));
// What a record describes: its kind.
constexpr int32_t RECORD_WINDOW = 0; // a window of open_window
constexpr int32_t RECORD_DIALOG = 1; // a dialog of the dialog facility (runtime/dialog)
// Extra bytes of both window classes: word 0 holds the record's address.
constexpr int32_t WINDOW_EXTRA_BYTES = sizeof(WindowRecord*);
static_assert(WINDOW_EXTRA_BYTES == (WIDE_WORDS ? 8 : 4));

constexpr uint32_t SURFACE_BACKING = 0x1;     // the window draws into backing_bitmap
constexpr uint32_t SURFACE_FIT_CLIENT = 0x10; // the bitmap has the client size and is stretched

// Runtime bits of open_window's flags; every other bit is a window style.
constexpr uint32_t WF_NO_BACKING = 0x10;
constexpr uint32_t WF_MDI_FRAME = 0x20;
constexpr uint32_t WF_NO_CAPTION = 0x40;
constexpr uint32_t WF_BACKING_WINDOW_SIZE = 0x80;
constexpr uint32_t WF_BACKING_FIT_CLIENT = 0x100;
constexpr uint32_t WF_TOOL_WINDOW = 0x200;
constexpr uint32_t WF_TOPMOST = 0x400;
constexpr uint32_t WF_RUNTIME_BITS = 0x7F0;

// Window property that holds a window's accelerator table: the pump translates with it and
// close_window destroys it.
constexpr const char* ACCEL_TABLE_PROPERTY = "_ACCEL_TABLE";

// Items of a frame window's "&Window" menu.
constexpr UINT_PTR MENU_MDI_CASCADE = 32773;
constexpr UINT_PTR MENU_MDI_TILE = 32774;
constexpr UINT_PTR MENU_MDI_ARRANGE = 32775;

// Open the platform window for a closed record; 1 when the window exists, 0 when it could
// not be made or the record still holds an open window. x, y, width and height are the
// outer rectangle (borders, caption and menu bar included), as get_window_rect reads it;
// get_client_size gives the smaller client area inside.
int32_t open_window(WindowRecord* record, int32_t x, int32_t y, int32_t width, int32_t height,
                    uint32_t flags, WindowRecord* parent, const char* caption,
                    WindowHandler handler);
// Destroy the window and release what the record owns. A window the platform destroys
// (a child, with its parent) releases the same by itself, and its record is closed.
int32_t close_window(WindowRecord* record);
// Set the window's caption.
int32_t set_window_caption(WindowRecord* record, const char* caption);

// ============================================================================
// The drawing surface
// ============================================================================

// Open drawing on a window: the context to draw on, or null for a closed record. Pairs
// nest; the outermost gives the context the record's drawing state (font, pen and its
// colour as the text colour, bk_mode, bk_color, rop2, the position, TA_UPDATECP), also the
// erase context handed out inside the handler for EV_ERASE. set_text_color and
// set_window_font reach an open context at once.
HDC begin_draw(WindowRecord* record);
// Close drawing: keep the state, invalidate what was touched and, with refresh, repaint.
// Only the outermost close reads the state back into the record; on an erase context
// nothing is invalidated or repainted.
int32_t end_draw(WindowRecord* record, HDC dc, int32_t refresh);
// Width and height of a bitmap; both 0 for a null handle or no bitmap.
int32_t bitmap_size(HBITMAP bitmap, int32_t* width, int32_t* height);

// ============================================================================
// Events
// ============================================================================

// The current event, read by handlers. Saved and restored around every handler call
// (menu_id excepted), so handlers may nest.
struct EventState {
    int32_t event_class;        // Windows message number or a runtime event number
    WPARAM event_wparam;        // first parameter, or what the event puts there
    LPARAM event_lparam;        // second parameter, or what the event puts there
    uint32_t mouse_x;           // mouse events: client x, zero-extended
    uint32_t mouse_y;           // mouse events: client y, zero-extended
    WindowRecord* event_window; // the record the event belongs to
    int32_t control_id;         // control that sent the event
    int32_t menu_id;            // last picked menu item
    int32_t notify_code;        // notification code of a control event
};
// Nine 32-bit words in a 32-bit build; the parameters and the record address widen on 64-bit.
static_assert(sizeof(EventState) == (WIDE_WORDS ? 56 : 36));
static_assert(offsetof(EventState, event_class) == (WIDE_WORDS ? 0 : 0));
static_assert(offsetof(EventState, event_wparam) == (WIDE_WORDS ? 8 : 4));
static_assert(offsetof(EventState, event_lparam) == (WIDE_WORDS ? 16 : 8));
static_assert(offsetof(EventState, mouse_x) == (WIDE_WORDS ? 24 : 12));
static_assert(offsetof(EventState, mouse_y) == (WIDE_WORDS ? 28 : 16));
static_assert(offsetof(EventState, event_window) == (WIDE_WORDS ? 32 : 20));
static_assert(offsetof(EventState, control_id) == (WIDE_WORDS ? 40 : 24));
static_assert(offsetof(EventState, menu_id) == (WIDE_WORDS ? 44 : 28));
static_assert(offsetof(EventState, notify_code) == (WIDE_WORDS ? 48 : 32));
extern EventState event_state;

constexpr int32_t EV_CLOSE_REQUEST = 32770; // WM_CLOSE
constexpr int32_t EV_MENU_PICK = 32771;     // WM_COMMAND from a menu or accelerator
constexpr int32_t EV_CONTROL = 32772;       // WM_COMMAND from a control, WM_NOTIFY
constexpr int32_t EV_SIZE = 32777;          // before WM_SIZE, and WM_EXITSIZEMOVE
constexpr int32_t EV_ERASE = 32783;         // background erase, erase_dc available

// Controls on a runtime window: the control-colour messages (WM_CTLCOLOREDIT and the
// others but WM_CTLCOLORDLG) of a control the program made itself (a runtime window used as
// a control, a control whose procedure the program replaced, one of a class it registered)
// are sent on to that control as message 0x19 (wparam the context, lparam the control; its
// brush answers, 0 or an answer left to the default procedure keeps the platform's
// colours), and its WM_DRAWITEM is sent on to it, reaching this window's handler only when
// the control answers FALSE (a procedure that passes everything on). A runtime
// window gets both as events. The platform's untouched controls keep the platform's
// colours and their WM_DRAWITEM reaches this window's handler; dialog.h tells the
// facility's own.

// ============================================================================
// The event pump and timers
// ============================================================================

// Handle every queued message; with no_wait 0, first wait until one is queued.
int32_t process_events(int32_t no_wait);
// 1 while a key (a virtual-key code) is held down, as of the event being handled.
int32_t key_down(int32_t key);
// Give an open window a periodic WM_TIMER (or callback) every interval_ms.
int32_t start_timer(WindowRecord* record, uint32_t interval_ms, UINT_PTR timer_id,
                    TIMERPROC callback);
// Stop a window's timer started with start_timer: no WM_TIMER of it comes after; 1 when it
// ran, 0 when it did not (or the record is closed).
int32_t stop_timer(WindowRecord* record, UINT_PTR timer_id);

// ============================================================================
// Menus and window geometry
// ============================================================================

// Make a menu bar (popup 0) or a popup menu; its handle.
HMENU create_menu(int32_t popup);
// Append an item, a submenu (MF_POPUP, id = the submenu) or a separator to a menu. A
// submenu that cannot be added (no menu, or the platform refused) is destroyed.
int32_t append_menu_item(HMENU menu, const char* text, uint32_t flags, UINT_PTR id);
// Insert an item, submenu or separator before the item at position (0 the first); a
// position past the end appends. A submenu that cannot be added is destroyed.
int32_t insert_menu_item(HMENU menu, int32_t position, const char* text, uint32_t flags,
                         UINT_PTR id);
// The menu bar of a window, or null.
HMENU window_menu(WindowRecord* record);
// Add a keyboard shortcut to the window's accelerator table (made when it has none): the
// virtual key with ACCEL_* modifiers raises EV_MENU_PICK with command. 1, or 0 when refused.
int32_t add_accelerator(WindowRecord* record, int32_t key, int32_t modifiers, int32_t command);
constexpr int32_t ACCEL_SHIFT = FSHIFT;     // 0x04
constexpr int32_t ACCEL_CONTROL = FCONTROL; // 0x08
constexpr int32_t ACCEL_ALT = FALT;         // 0x10
// Attach a menu bar to the window, destroying the bar it had.
int32_t attach_menu(WindowRecord* record, HMENU menu);
// Destroy a menu of create_menu that no window holds, with its submenus; 1, or 0 for no menu.
int32_t destroy_menu(HMENU menu);
// Show a popup menu with its top-left corner at a point of the window's client area (pixels;
// the platform moves it to keep it on the screen) and wait until an item is picked or the
// menu is left by a click elsewhere or Escape: the picked item's identifier, or 0 (also
// for a closed record or no menu). No EV_MENU_PICK is raised: the caller carries the
// command out. The menu stays the caller's (destroy_menu); greyed items cannot be picked.
int32_t popup_menu(WindowRecord* record, HMENU menu, int32_t x, int32_t y);
// Where the context menu of the event being handled (WM_CONTEXTMENU) belongs, in the
// client pixels of record: 1 when a right-click asked for it, at the mouse (a point off the
// client area, on a caption or border, is still given); 0 when the keyboard asked (the
// context-menu key or Shift+F10), with x and y -1: the program picks the place, its caret
// or a corner of its view. The platform raises WM_CONTEXTMENU on a window whose handler
// left the button's release or the key to the default procedure, and hands it on to the
// parent when the handler leaves it too.
int32_t context_menu_point(WindowRecord* record, int32_t* x, int32_t* y);
// Read the client area as left 0, top 0, width and height; all 0 for a closed record.
int32_t get_client_size(WindowRecord* record, int32_t* left, int32_t* top, int32_t* width,
                        int32_t* height);
// Move and size the window (restored to normal first) or one of its controls.
int32_t set_window_rect(WindowRecord* record, int32_t x, int32_t y, int32_t width, int32_t height,
                        int32_t control_id);
// Centre the window over its parent, its visible owner or the work area, kept inside.
int32_t center_window(WindowRecord* record);
// Set a scroll bar of the window (SB_HORZ or SB_VERT): range 0..maximum, a page of page
// units, at position; a page that holds the whole range hides the bar.
int32_t set_scroll_bar(WindowRecord* record, int32_t bar, int32_t position, int32_t maximum,
                       int32_t page);
// A scroll bar's position, or with tracking 1 where its thumb is being dragged (the whole
// 32-bit range, which WM_VSCROLL's 16 bits cannot carry).
int32_t get_scroll_position(WindowRecord* record, int32_t bar, int32_t tracking);

// ============================================================================
// MDI frames
// ============================================================================
// A frame (WF_MDI_FRAME) fits its MDI client into the room its shown toolbars and status
// bars leave, each bar's room taken on the side of the client area it stands on (bars over
// one another count once), at every size and whenever a bar directly on the frame is made,
// shown, hidden, moved or destroyed. Bars are told apart by their platform class names.

// The record of an MDI frame's active child, or null.
WindowRecord* mdi_active(WindowRecord* frame);
// Activate the MDI frame's next child, as Ctrl+F6 does.
int32_t mdi_next(WindowRecord* frame);

// ============================================================================
// The clipboard
// ============================================================================

// Put UTF-8 text on the clipboard as Unicode text (CF_UNICODETEXT); 1 when placed. 0
// otherwise, and the clipboard then keeps what it had (unless the platform refused the text
// after emptying it). length: bytes, or -1 for all up to the NUL (another negative length
// places nothing). The owner must be an open window; each maximal ill-formed part of the
// bytes is placed as one U+FFFD, as text_print_utf8 draws it. Another program may hold the
// clipboard open for up to 0.5 s; after that, 0. Text of more than 64 KB is converted and
// handed to the platform only when a program asks for it (in a paste, or
// clipboard_get_text), by a thread of the runtime's own: another program can paste it
// whichever thread placed it and whatever the program's threads do meanwhile. Threads of
// the program may place text at the same time: one waits for the other. It is handed over
// when the program ends in any orderly way (program_end, a return from its main routine,
// exit or ExitProcess with any exit code, its windows closed or not), waiting up to 5 s
// while another program holds the clipboard open; after that it is lost. A process ended by
// another thread than the one that placed the text (ExitProcess there) hands it over too,
// unless another program took the clipboard meanwhile. A process killed (TerminateProcess)
// loses it.
int32_t clipboard_set_text(WindowRecord* owner, const char* text, int32_t length);
// The clipboard's text as a fresh heap string in UTF-8, or null when it holds no text. Also
// null without memory, when the program that owns the clipboard does not answer within 2 s
// (it stopped handling events), or when reading another program's text takes more than 5 s
// in all (its owner slow, or stopped while it renders text it announced), or when another
// program holds the clipboard open for more than 0.5 s: the call returns after at most
// about 7 s whatever the owner does. A read that ran out of time goes on in a thread of its
// own, which holds the clipboard open until the owner answers or ends, then closes it and
// frees what it made; meanwhile clipboard_set_text gives 0. Messages sent to the calling
// thread are answered while it waits. Text the program placed itself is read at once, from
// any of its threads. Any owner, null or closed included, may read it. The text ends at its
// first NUL and never runs past the platform's block.
char* clipboard_get_text(WindowRecord* owner);

// ============================================================================
// Window place and state, menu items
// ============================================================================

struct Settings; // defined in runtime/core/core.h

// A window's states.
constexpr int32_t WINDOW_NORMAL = 0;
constexpr int32_t WINDOW_MINIMISED = 1;
constexpr int32_t WINDOW_MAXIMISED = 2;

// Where a window goes back to and how it is shown: the outer rectangle it has when normal
// (its restore rectangle, also while minimised or maximised) and its state. Coordinates
// are the screen's for a top-level window and the parent's client area's for a child, as
// open_window and set_window_rect take them.
struct WindowPlace {
    int32_t x, y;          // outer left and top
    int32_t width, height; // outer size, borders, caption and menu bar included
    int32_t state;         // WINDOW_NORMAL, WINDOW_MINIMISED or WINDOW_MAXIMISED
};

// Read the window's outer rectangle as it is now (maximised or not), in the coordinates
// of WindowPlace; 1, or 0 and all four 0 for a closed record.
int32_t get_window_rect(WindowRecord* record, int32_t* x, int32_t* y, int32_t* width,
                        int32_t* height);
// Read the window's restore rectangle and state; 1, or 0 and a zeroed place for a closed
// record.
int32_t get_window_place(WindowRecord* record, WindowPlace* place);
// Give the window a restore rectangle and show it in a state; 1, or 0 for a closed record,
// a width or height under 1 or an unknown state (the window then stays as it was). A
// top-level rectangle that lies off every screen is moved onto the nearest screen's work
// area (and shrunk to fit it), so that the window can always be reached.
int32_t set_window_place(WindowRecord* record, const WindowPlace* place);
// The window's state (WINDOW_NORMAL, WINDOW_MINIMISED or WINDOW_MAXIMISED), or -1 for a
// closed record.
int32_t get_window_state(WindowRecord* record);
// Show the window normal (restored), minimised or maximised; 1, or 0 for a closed record
// or an unknown state.
int32_t set_window_state(WindowRecord* record, int32_t state);
// Put the window's place into a Settings record (written by settings_save, not here) as the
// numbers <prefix>.x, .y, .width, .height and .state; a minimised window is kept as the
// state it will come back in (normal or maximised). prefix: a settings name ("window" when
// null or empty). 1, or 0 for a closed record or when a value could not be set.
int32_t save_window_place(WindowRecord* record, Settings* settings, const char* prefix);
// Put back a place kept by save_window_place, as set_window_place does (never off every
// screen); 1, or 0 when the record is closed or a value is missing or wrong, and the
// window then stays as it was.
int32_t restore_window_place(WindowRecord* record, const Settings* settings, const char* prefix);

// Grey (enabled 0) or enable an item of the window's menu bar or its submenus, found by
// its identifier; 1, or 0 for a closed record, no menu bar or no such item.
int32_t enable_menu_item(WindowRecord* record, int32_t id, int32_t enabled);
// Tick (checked 1) or untick an item of the window's menu bar or its submenus, found by
// its identifier; 1, or 0 as enable_menu_item.
int32_t check_menu_item(WindowRecord* record, int32_t id, int32_t checked);
