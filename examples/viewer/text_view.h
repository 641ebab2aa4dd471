// What the files of a text document's view share among themselves: its geometry and
// scrolling (text_scroll.cpp), places and selecting (text_select.cpp), its drawing and
// events (text_view.cpp), the wrapping of long lines (text_wrap.cpp) and the reading of
// large files between events (text_reading.cpp). Not for the rest of the viewer, which
// uses viewer.h.
#pragma once

#include "examples/viewer/viewer.h"

// A row of the screen: a line and a row of it (always 0 unless lines wrap).
struct ViewTop {
    int32_t line;
    int32_t row;
};

// ============================================================================
// Geometry and scrolling (text_scroll.cpp)
// ============================================================================

// Pixels of one row in the document's font (measured once per font).
int32_t view_row_height(Document* document);
// Pixels of the client area's width and height.
int32_t view_client_width(WindowRecord* window);
int32_t view_client_height(WindowRecord* window);
// Pixels a row may take: the client's width less the margins.
int32_t view_text_width(Document* document);
// Rows of text that fit in the document's window above its status line.
int32_t view_rows(Document* document);
// Keep a first row and left pixel column inside the text.
void view_clamp(Document* document, ViewTop* top, int32_t* left);
// Show the text from a first row and left pixel column (kept inside it); redraw on a change.
void view_scroll(Document* document, ViewTop top, int32_t left);
// Rows of the screen from one row to another (limit when there are more; 0 when to is
// before from).
int32_t view_distance(Document* document, ViewTop from, ViewTop to, int32_t limit);
// Show a scroll bar where the text needs one, hide it where it does not.
void view_update_scroll_bars(Document* document);
// Handle the bars, the wheel and the keys that scroll without Shift; 1 when handled.
int32_t view_scroll_event(Document* document);
// The person scrolled elsewhere: Ctrl+End and Go to line no longer wait to move the page.
void view_moved_on(Document* document);

// ============================================================================
// Places and selecting (text_select.cpp)
// ============================================================================

// 1 while the document's file is still being read.
bool view_reading(const Document* document);
// The place after the last character of the text.
TextPoint view_text_end(const Document* document);
// A place kept inside the text and off the second half of a surrogate pair.
TextPoint view_inside(const Document* document, TextPoint at);
// a comes before b, and a and b are the same place.
bool view_before(TextPoint a, TextPoint b);
bool view_same(TextPoint a, TextPoint b);
// The place under a point of the client area (kept inside the text).
TextPoint view_point_at(Document* document, int32_t x, int32_t y);
// Handle the mouse and the keys that select with Shift; 1 when handled.
int32_t view_select_event(Document* document);

// ============================================================================
// Drawing (text_view.cpp)
// ============================================================================

// Draw the status line at the bottom of the window.
void view_draw_status(Document* document);

// ============================================================================
// Rows of the screen and wrapping (text_wrap.cpp)
// ============================================================================

// The row of the screen a place of a line stands on, counted within its line (0 unless
// lines wrap).
int32_t wrap_row_of(Document* document, TextPoint at);
// Rows a line takes on the screen (1 unless lines wrap).
int32_t wrap_rows_of(Document* document, int32_t line);
// The units [*from, *to) of a line that a row of it shows.
void wrap_row_units(Document* document, int32_t line, int32_t row, int32_t* from, int32_t* to);
// Move a row of the screen by rows (negative: up); false when it ran past the text's
// first or last row, where it then stands.
bool wrap_move(Document* document, ViewTop* at, int32_t rows);
// The first row that shows the text's last row at the bottom of the page.
ViewTop wrap_last_top(Document* document);
// Lay out the row of the screen and return its first unit; text_rows.cpp's routines then
// work on it.
int32_t wrap_layout_row(Document* document, int32_t line, int32_t row);
// Forget the rows remembered (the font, width or text changed).
void wrap_forget(Document* document);

// ============================================================================
// Reading held for a check (text_hold.cpp)
// ============================================================================

// 1 while an end-to-end check holds the reading of large texts (see text_hold.cpp).
bool text_reading_held();
