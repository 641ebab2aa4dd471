// Selecting in a text document: places in the file's own lines (a line and a UTF-16 unit
// of it), the place under the pointer and the rows it stands on, the selection made with
// the mouse (click, Shift+click, a drag that keeps scrolling while the pointer rests beyond
// the rows) and with Shift and the arrow, page, Home and End keys, kept in view.
// Relies on the runtime's timers and input state; USER32's mouse capture, which the
// runtime does not offer. Rows are text_wrap.cpp's, scrolling text_scroll.cpp's.
#include "examples/viewer/text_view.h"

namespace {

// ============================================================================
// Module state
// ============================================================================

constexpr UINT_PTR DRAG_TIMER = 0x7D01; // the timer of a drag beyond the rows
constexpr uint32_t DRAG_STEP_MS = 60;   // a row scrolled this often while it rests there

// The drag in progress (there is one mouse): where the pointer was last.
struct DragState {
    Document* document; // the document dragged in, while its timer runs
    int32_t x, y;       // the pointer's last place in its client area
};

DragState drag;

// ============================================================================
// Internal helpers
// ============================================================================

// The row of the screen a place stands on.
ViewTop row_of(Document* document, TextPoint at) {
    return ViewTop{at.line, wrap_row_of(document, at)};
}

// Pixels from the start of its row to a place.
int32_t x_of(Document* document, TextPoint at) {
    wrap_layout_row(document, at.line, wrap_row_of(document, at));
    return row_x_of(document, at.index);
}

// The place of a row of the screen nearest pixel x.
TextPoint place_in_row(Document* document, ViewTop row, int32_t x) {
    wrap_layout_row(document, row.line, row.row);
    return view_inside(document, TextPoint{row.line, row_index_at(document, x)});
}

// The row stands on the page.
bool row_shown(Document* document, ViewTop row) {
    const ViewTop top = {document->top, document->top_row};
    if (row.line < top.line || (row.line == top.line && row.row < top.row)) {
        return false;
    }
    const int32_t rows = view_rows(document);
    return view_distance(document, top, row, rows) < rows;
}

// The place one character before or after another, across line ends.
TextPoint step(const Document* document, TextPoint at, int32_t direction) {
    int32_t length = 0;
    const wchar_t* text = text_line(document, at.line, &length);
    if (direction < 0) {
        if (at.index == 0) {
            return at.line > 0 ? view_inside(document, TextPoint{at.line - 1, INT32_MAX}) : at;
        }
        return view_inside(document, TextPoint{at.line, at.index - 1});
    }
    if (at.index >= length) {
        return at.line + 1 < document->lines.count ? TextPoint{at.line + 1, 0} : at;
    }
    return view_inside(document,
                       TextPoint{at.line, at.index + (is_high_surrogate(text[at.index]) ? 2 : 1)});
}

// The caret moved by rows of the screen, at the same pixel of its row; the page with it
// when it moves by pages.
TextPoint caret_by_rows(Document* document, TextPoint caret, int32_t rows, bool page) {
    ViewTop row = row_of(document, caret);
    const int32_t x = x_of(document, caret);
    if (page) {
        ViewTop top = {document->top, document->top_row};
        int32_t left = document->left;
        wrap_move(document, &top, rows);
        view_clamp(document, &top, &left);
        document->top = top.line;
        document->top_row = top.row;
    }
    if (!wrap_move(document, &row, rows)) {
        return rows < 0 ? TextPoint{0, 0} : view_text_end(document);
    }
    return place_in_row(document, row, x);
}

// Shift with a movement key: the caret moves and the anchor stays. A caret off the page
// without a selection starts again at the top row.
int32_t extend_selection(Document* document, int32_t key, bool control) {
    const int32_t rows = view_rows(document);
    const int32_t page = rows > 1 ? rows - 1 : 1;
    TextPoint anchor = document->anchor, caret = document->caret;
    if (view_same(anchor, caret) && !row_shown(document, row_of(document, caret))) {
        int32_t from = 0, to = 0;
        wrap_row_units(document, document->top, document->top_row, &from, &to);
        anchor = caret = TextPoint{document->top, from};
    }
    switch (key) {
    case VK_LEFT:
    case VK_RIGHT:
        caret = step(document, caret, key == VK_LEFT ? -1 : 1);
        break;
    case VK_UP:
    case VK_DOWN:
        caret = caret_by_rows(document, caret, key == VK_UP ? -1 : 1, false);
        break;
    case VK_PRIOR:
    case VK_NEXT:
        caret = caret_by_rows(document, caret, key == VK_PRIOR ? -page : page, true);
        break;
    case VK_HOME:
        caret = control ? TextPoint{0, 0} : TextPoint{caret.line, 0};
        break;
    case VK_END:
        caret = control ? view_text_end(document)
                        : view_inside(document, TextPoint{caret.line, INT32_MAX});
        break;
    default:
        return 0;
    }
    text_select(document, anchor, caret);
    if (key == VK_END && control && view_reading(document)) {
        document->pending.kind = PENDING_ALL; // to the end once it is read, not the part read
    }
    return 1;
}

// Pixels below the last row that fits.
int32_t rows_bottom(Document* document) {
    return TEXT_MARGIN + view_rows(document) * view_row_height(document);
}

// A click, Shift+click or drag in the text: the caret goes under the pointer, scrolling a
// row when a drag's pointer is above or below the rows.
void mouse_select(Document* document, int32_t x, int32_t y, bool extend) {
    const int32_t bottom = rows_bottom(document);
    if (document->dragging != 0 && (y < TEXT_MARGIN || y >= bottom)) {
        ViewTop top = {document->top, document->top_row};
        int32_t left = document->left;
        wrap_move(document, &top, y < TEXT_MARGIN ? -1 : 1);
        view_clamp(document, &top, &left);
        document->top = top.line;
        document->top_row = top.row;
        y = y < TEXT_MARGIN ? TEXT_MARGIN : bottom - 1;
    }
    const TextPoint at = view_point_at(document, x, y);
    text_select(document, extend ? document->anchor : at, at);
}

// Stop scrolling a drag by the clock.
void stop_drag_timer() {
    if (drag.document != nullptr) {
        stop_timer(&drag.document->window, DRAG_TIMER);
        drag.document = nullptr;
    }
}

// The pointer of a drag moved: beyond the rows, the text scrolls on by the clock until it
// comes back or the button is let go.
void drag_moved(Document* document, int32_t x, int32_t y) {
    drag.x = x;
    drag.y = y;
    const bool beyond = y < TEXT_MARGIN || y >= rows_bottom(document);
    if (beyond && drag.document == nullptr) {
        start_timer(&document->window, DRAG_STEP_MS, DRAG_TIMER, nullptr);
        drag.document = document;
    } else if (!beyond) {
        stop_drag_timer();
    }
    mouse_select(document, x, y, true);
}

// The end of a drag: where the button is let go, or the capture lost.
void drag_ended(Document* document) {
    stop_drag_timer();
    if (document->dragging != 0) {
        document->dragging = 0;
        ::ReleaseCapture();
    }
}

} // namespace

// ============================================================================
// Routines of the view
// ============================================================================

// 1 while the document's file is still being read.
bool view_reading(const Document* document) {
    return document->reader.file != nullptr;
}

// The place after the last character of the text.
TextPoint view_text_end(const Document* document) {
    const int32_t last = document->lines.count > 0 ? document->lines.count - 1 : 0;
    int32_t length = 0;
    text_line(document, last, &length);
    return TextPoint{last, length};
}

// A place kept inside the text and off the second half of a surrogate pair.
TextPoint view_inside(const Document* document, TextPoint at) {
    if (at.line < 0 || document->lines.count == 0) {
        return TextPoint{0, 0};
    }
    if (at.line >= document->lines.count) {
        return view_text_end(document);
    }
    int32_t length = 0;
    const wchar_t* text = text_line(document, at.line, &length);
    at.index = at.index < 0 ? 0 : at.index > length ? length : at.index;
    if (at.index > 0 && at.index < length && is_low_surrogate(text[at.index])) {
        at.index -= 1;
    }
    return at;
}

// a comes before b.
bool view_before(TextPoint a, TextPoint b) {
    return a.line < b.line || (a.line == b.line && a.index < b.index);
}

// a and b are the same place.
bool view_same(TextPoint a, TextPoint b) {
    return a.line == b.line && a.index == b.index;
}

// The place under a point of the client area (kept inside the text).
TextPoint view_point_at(Document* document, int32_t x, int32_t y) {
    const int32_t height = view_row_height(document);
    const int32_t offset = y - TEXT_MARGIN;
    const int32_t rows = offset >= 0 ? offset / height : (offset - height + 1) / height;
    ViewTop row = {document->top, document->top_row};
    if (document->lines.count == 0) {
        return TextPoint{0, 0};
    }
    if (!wrap_move(document, &row, rows)) {
        return rows < 0 ? TextPoint{0, 0} : view_text_end(document);
    }
    return place_in_row(document, row, x - TEXT_MARGIN + document->left);
}

// Handle the mouse and the keys that select with Shift; 1 when handled.
int32_t view_select_event(Document* document) {
    const EventState& e = event_state;
    const int32_t x = static_cast<int16_t>(e.mouse_x), y = static_cast<int16_t>(e.mouse_y);
    const bool on_rows = document->message == nullptr && y < rows_bottom(document);
    switch (e.event_class) {
    case WM_KEYDOWN:
        return key_down(VK_SHIFT) != 0
                   ? extend_selection(document, static_cast<int32_t>(e.event_wparam),
                                      key_down(VK_CONTROL) != 0)
                   : 0;
    case WM_LBUTTONDOWN:
        if (on_rows) {
            // NOTE: the runtime has no mouse capture; USER32's keeps the drag's moves coming
            // while the pointer is outside the window.
            ::SetCapture(document->window.hwnd);
            document->dragging = 1;
            mouse_select(document, x, y, (e.event_lparam & MK_SHIFT) != 0);
        }
        return 1;
    case WM_MOUSEMOVE:
        if (document->dragging != 0) {
            drag_moved(document, x, y);
        }
        return 1;
    case WM_TIMER:
        if (e.event_wparam != DRAG_TIMER) {
            return 0;
        }
        if (document->dragging != 0 && drag.document == document) {
            mouse_select(document, drag.x, drag.y, true);
        }
        return 1;
    case WM_LBUTTONUP:
        if (document->dragging != 0) {
            mouse_select(document, x, y, true); // where the button is let go, moves or not
            drag_ended(document);
        }
        return 1;
    case WM_CAPTURECHANGED:
        drag_ended(document);
        return 0;
    case WM_LBUTTONDBLCLK:
        if (on_rows) {
            text_select_word(document, view_point_at(document, x, y));
        }
        return 1;
    default:
        return 0;
    }
}

// Select from anchor to caret, scroll the caret into view and redraw.
void text_select(Document* document, TextPoint anchor, TextPoint caret) {
    if (document->pending.kind == PENDING_ALL) {
        document->pending.kind = PENDING_NONE; // a new selection: its end no longer follows
    }
    document->anchor = view_inside(document, anchor);
    document->caret = view_inside(document, caret);
    const int32_t rows = view_rows(document);
    ViewTop top = {document->top, document->top_row};
    const ViewTop at = row_of(document, document->caret);
    int32_t left = document->left;
    if (at.line < top.line || (at.line == top.line && at.row < top.row)) {
        top = at;
    } else if (rows > 0 && view_distance(document, top, at, rows) >= rows) {
        top = at;
        wrap_move(document, &top, -(rows - 1));
    }
    const int32_t x = x_of(document, document->caret);
    const int32_t view = view_text_width(document);
    if (x < left || x > left + view) {
        left = x - view * 2 / 3;
    }
    view_clamp(document, &top, &left);
    document->top = top.line;
    document->top_row = top.row;
    document->left = left;
    text_draw(document);
    view_update_scroll_bars(document);
}

// Select the whole text; while it is read, the selection grows with it.
void text_select_all(Document* document) {
    if (document == nullptr || document->kind != DOC_TEXT) {
        return;
    }
    document->anchor = TextPoint{0, 0};
    document->caret = view_text_end(document);
    document->pending.kind = view_reading(document) ? PENDING_ALL : PENDING_NONE;
    text_draw(document);
}
