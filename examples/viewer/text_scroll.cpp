// Scrolling a text document: how many rows fit, which first row and left pixel column keep
// the page inside the text, the scroll bars (each shown only while the text needs it), and
// scrolling by bar, wheel and key. With lines wrapped, the first row is a row of a line and
// the text never scrolls sideways.
// Relies on the runtime's scroll bars and measuring; USER32's style bits and metrics for
// which bars show. Rows of wrapped lines are text_wrap.cpp's.
#include "examples/viewer/text_view.h"

namespace {

// ============================================================================
// Module state
// ============================================================================

constexpr int32_t COLUMN_STEP = 16; // pixels one step of the horizontal bar scrolls

// ============================================================================
// Internal helpers
// ============================================================================

// Rows of text that fit in a client area of a height above the status line.
int32_t rows_for(Document* document, int32_t height) {
    const int32_t row = view_row_height(document);
    const int32_t rows = (height - 3 * TEXT_MARGIN - row) / row;
    return rows > 0 ? rows : 0;
}

// Pixels the longest line takes in the document's font.
int32_t longest_width(Document* document) {
    row_layout(document, document->lines.longest_line);
    return row_width(document);
}

// With lines wrapped, a text of few lines has its vertical bar counted in rows; a longer
// one in lines, so that it never wraps lines far from the page.
bool bar_in_rows(Document* document) {
    return viewer.word_wrap != 0 && document->lines.count <= 4 * view_rows(document) + 4;
}

// The text needs more rows than fit (only the rows of a few lines are ever counted).
bool needs_vertical(Document* document, int32_t rows) {
    if (document->lines.count > rows) {
        return true;
    }
    return viewer.word_wrap != 0 &&
           view_distance(document, ViewTop{0, 0}, ViewTop{document->lines.count, 0}, rows + 1) >
               rows;
}

// The first row a vertical bar's position stands for.
ViewTop top_at_position(Document* document, int32_t position) {
    ViewTop top = {position, 0};
    if (bar_in_rows(document)) {
        top = ViewTop{0, 0};
        wrap_move(document, &top, position);
    }
    return top;
}

// The first row a vertical scroll code asks for.
ViewTop scrolled_top(Document* document, int32_t code) {
    const int32_t rows = view_rows(document);
    const int32_t page = rows > 1 ? rows - 1 : 1;
    ViewTop top = {document->top, document->top_row};
    switch (code) {
    case SB_LINEUP:
    case SB_LINEDOWN:
        wrap_move(document, &top, code == SB_LINEUP ? -1 : 1);
        break;
    case SB_PAGEUP:
    case SB_PAGEDOWN:
        wrap_move(document, &top, code == SB_PAGEUP ? -page : page);
        break;
    case SB_TOP:
        top = ViewTop{0, 0};
        break;
    case SB_BOTTOM:
        top = ViewTop{document->lines.count, 0};
        break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
        top = top_at_position(document, get_scroll_position(&document->window, SB_VERT, 1));
        break;
    default:
        break;
    }
    return top;
}

// The left pixel column a horizontal scroll code asks for.
int32_t scrolled_left(Document* document, int32_t code) {
    switch (code) {
    case SB_LINELEFT:
        return document->left - COLUMN_STEP;
    case SB_LINERIGHT:
        return document->left + COLUMN_STEP;
    case SB_PAGELEFT:
        return document->left - view_text_width(document);
    case SB_PAGERIGHT:
        return document->left + view_text_width(document);
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
        return get_scroll_position(&document->window, SB_HORZ, 1);
    default:
        return document->left;
    }
}

// A key without Shift: the page scrolls (Ctrl+End goes to the end, reading or not).
int32_t scroll_key(Document* document, int32_t key) {
    const bool control = key_down(VK_CONTROL) != 0;
    const int32_t rows = view_rows(document);
    const int32_t page = rows > 1 ? rows - 1 : 1;
    ViewTop top = {document->top, document->top_row};
    int32_t left = document->left;
    const int32_t moves[][2] = {{VK_UP, -1}, {VK_DOWN, 1}, {VK_PRIOR, -page}, {VK_NEXT, page}};
    bool known = false;
    for (const auto& move : moves) {
        if (move[0] == key) {
            wrap_move(document, &top, move[1]);
            known = true;
        }
    }
    if (key == VK_LEFT || key == VK_RIGHT) {
        left += key == VK_LEFT ? -COLUMN_STEP : COLUMN_STEP;
    } else if (key == VK_HOME && control) {
        top = ViewTop{0, 0};
    } else if (key == VK_HOME) {
        left = 0;
    } else if (key == VK_END && control) {
        text_go_to_end(document);
        return 1;
    } else if (key == VK_END) {
        left = longest_width(document);
    } else if (!known) {
        return 0;
    }
    view_moved_on(document);
    view_scroll(document, top, left);
    return 1;
}

} // namespace

// ============================================================================
// Routines of the view
// ============================================================================

// Pixels of one row in the document's font (measured once per font).
int32_t view_row_height(Document* document) {
    if (document->row_height <= 0) {
        measure_text_utf8(&document->window, "Ag", 2, nullptr, &document->row_height);
    }
    return document->row_height > 0 ? document->row_height : 16;
}

// Pixels of the client area's width.
int32_t view_client_width(WindowRecord* window) {
    int32_t left = 0, top = 0, width = 0, height = 0;
    get_client_size(window, &left, &top, &width, &height);
    return width;
}

// Pixels of the client area's height.
int32_t view_client_height(WindowRecord* window) {
    int32_t left = 0, top = 0, width = 0, height = 0;
    get_client_size(window, &left, &top, &width, &height);
    return height;
}

// Pixels a row may take: the client's width less the margins.
int32_t view_text_width(Document* document) {
    return view_client_width(&document->window) - 2 * TEXT_MARGIN;
}

// Rows of text that fit in the document's window above its status line.
int32_t view_rows(Document* document) {
    return rows_for(document, view_client_height(&document->window));
}

// Keep a first row and left pixel column inside the text.
void view_clamp(Document* document, ViewTop* top, int32_t* left) {
    // A page of lines below the first row: it is not past the last page (each line takes a
    // row at least), and the rows at the text's end need not be worked out.
    if (top->line + view_rows(document) >= document->lines.count) {
        const ViewTop last = wrap_last_top(document);
        if (top->line > last.line || (top->line == last.line && top->row > last.row)) {
            *top = last;
        }
    }
    if (top->line < 0) {
        *top = ViewTop{0, 0};
    }
    const int32_t last_left = viewer.word_wrap != 0 ? 0
                                                    : longest_width(document) + 2 * TEXT_MARGIN -
                                                          view_client_width(&document->window);
    *left = *left > last_left ? last_left : *left;
    *left = *left < 0 ? 0 : *left;
}

// Show the text from a first row and left pixel column; redraw on a change.
void view_scroll(Document* document, ViewTop top, int32_t left) {
    view_clamp(document, &top, &left);
    if (top.line != document->top || top.row != document->top_row || left != document->left) {
        document->top = top.line;
        document->top_row = top.row;
        document->left = left;
        text_draw(document);
    }
    view_update_scroll_bars(document);
}

// Rows of the screen from one row to another, up to limit.
int32_t view_distance(Document* document, ViewTop from, ViewTop to, int32_t limit) {
    if (to.line < from.line || (to.line == from.line && to.row <= from.row)) {
        return 0;
    }
    if (viewer.word_wrap == 0 || to.line - from.line >= limit) {
        const int32_t lines = to.line - from.line;
        return lines < limit ? lines : limit;
    }
    int32_t rows = 0;
    ViewTop at = from;
    while (rows < limit && (at.line < to.line || (at.line == to.line && at.row < to.row))) {
        if (!wrap_move(document, &at, 1)) {
            return rows + 1; // to is past the last row: the row after it
        }
        ++rows;
    }
    return rows;
}

// Show a scroll bar where the text needs one, hide it where it does not. Each bar takes
// room from the other's direction, so both are weighed on the area without either.
void view_update_scroll_bars(Document* document) {
    WindowRecord* window = &document->window;
    // NOTE: the runtime does not say which bars show; USER32's style bits do, and its
    // metrics give their sizes.
    const LONG_PTR style = ::GetWindowLongPtrW(window->hwnd, GWL_STYLE);
    const int32_t bar_width = ::GetSystemMetrics(SM_CXVSCROLL);
    const int32_t bar_height = ::GetSystemMetrics(SM_CYHSCROLL);
    const int32_t width = view_client_width(window) + ((style & WS_VSCROLL) != 0 ? bar_width : 0);
    const int32_t height =
        view_client_height(window) + ((style & WS_HSCROLL) != 0 ? bar_height : 0);
    const int32_t longest = viewer.word_wrap != 0 ? 0 : longest_width(document) + 2 * TEXT_MARGIN;
    bool wide = longest > width;
    bool tall = needs_vertical(document, rows_for(document, height - (wide ? bar_height : 0)));
    if (tall && !wide && longest > width - bar_width) {
        wide = true;
    }
    if (tall) {
        const int32_t rows = view_rows(document);
        if (bar_in_rows(document)) {
            const int32_t total = view_distance(document, ViewTop{0, 0},
                                                ViewTop{document->lines.count, 0}, INT32_MAX);
            const int32_t at = view_distance(document, ViewTop{0, 0},
                                             ViewTop{document->top, document->top_row}, total);
            set_scroll_bar(window, SB_VERT, at, total - 1, rows);
        } else {
            set_scroll_bar(window, SB_VERT, document->top, document->lines.count - 1, rows);
        }
    } else {
        set_scroll_bar(window, SB_VERT, 0, 0, 1);
    }
    if (wide) {
        set_scroll_bar(window, SB_HORZ, document->left, longest, view_client_width(window));
    } else {
        set_scroll_bar(window, SB_HORZ, 0, 0, 1);
    }
}

// Handle the bars, the wheel and the keys that scroll without Shift; 1 when handled.
int32_t view_scroll_event(Document* document) {
    const EventState& e = event_state;
    const int32_t code = static_cast<int32_t>(LOWORD(e.event_wparam));
    switch (e.event_class) {
    case WM_VSCROLL:
        if (code != SB_ENDSCROLL) {
            view_moved_on(document);
            view_scroll(document, scrolled_top(document, code), document->left);
        }
        return 1;
    case WM_HSCROLL:
        view_scroll(document, ViewTop{document->top, document->top_row},
                    scrolled_left(document, code));
        return 1;
    case WM_MOUSEWHEEL: {
        const int32_t notches = static_cast<int16_t>(HIWORD(e.event_wparam)) / WHEEL_DELTA;
        ViewTop top = {document->top, document->top_row};
        wrap_move(document, &top, -notches * WHEEL_LINES);
        view_moved_on(document);
        view_scroll(document, top, document->left);
        return 1;
    }
    case WM_KEYDOWN:
        return scroll_key(document, static_cast<int32_t>(e.event_wparam));
    default:
        return 0;
    }
}

// The person scrolled elsewhere: Ctrl+End and Go to line no longer wait to move the page.
void view_moved_on(Document* document) {
    if (document->pending.kind == PENDING_END || document->pending.kind == PENDING_LINE) {
        document->pending.kind = PENDING_NONE;
    }
}
