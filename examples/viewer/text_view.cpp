// Text documents on the screen: the rows that fit, drawn from the first row and left pixel
// column into the window's backing bitmap in the document's font, the selection in
// reverse, the status line; going to a line or the end; word wrap turned on and off; and
// the events of a text document handed to the room that handles them.
// Relies on the runtime's drawing, UTF-8 text output and measuring, and fonts. Scrolling
// is text_scroll.cpp's, selecting text_select.cpp's, wrapping text_wrap.cpp's, the rows
// (layout, places, drawing) text_rows.cpp's, reading text_reading.cpp's, the lines
// text.cpp's, searching text_find.cpp's.
#include "examples/viewer/text_view.h"

#include <cstdio>

namespace {

// ============================================================================
// Module state
// ============================================================================

constexpr COLORREF STATUS_INK = RGB(0, 0, 0);
constexpr COLORREF STATUS_PAPER = RGB(255, 255, 255);

// ============================================================================
// Internal helpers
// ============================================================================

// Draw a row of the screen at a row of the page, the selected part in reverse; a selected
// line end shows as a selected blank after the line's last row.
void draw_row(Document* document, int32_t at, ViewTop row) {
    TextPoint from = document->anchor, to = document->caret;
    if (view_before(to, from)) {
        from = document->caret;
        to = document->anchor;
    }
    const int32_t line = row.line;
    int32_t a = 0, b = 0; // the line's selected units
    if (!view_same(from, to) && from.line <= line && line <= to.line) {
        a = from.line < line ? 0 : from.index;
        b = to.line > line ? INT32_MAX : to.index;
    }
    const bool last_row = row.row + 1 >= wrap_rows_of(document, line);
    wrap_layout_row(document, line, row.row);
    row_draw(document, TEXT_MARGIN - document->left, TEXT_MARGIN + at * view_row_height(document),
             a, b, last_row && !view_same(from, to) && from.line <= line && line < to.line);
}

// More or fewer rows fit, or rows hold more or fewer characters: the same line stays at
// the top, and as much of it as before.
void resized(Document* document) {
    wrap_forget(document); // the row that now holds the first character shown comes first
    document->top_row = wrap_row_of(document, TextPoint{document->top, document->top_unit});
    text_draw(document);
    view_scroll(document, ViewTop{document->top, document->top_row}, document->left);
}

} // namespace

// ============================================================================
// Routines of the view
// ============================================================================

// The status line at the bottom: the number of lines and the longest line's length, or
// how far the reading got while the file is read; the zoom when it is not 100%.
void view_draw_status(Document* document) {
    WindowRecord* window = &document->window;
    const int32_t height = view_row_height(document);
    const int32_t y = view_client_height(window) - TEXT_MARGIN - height;
    draw_rect(window, 0, y - TEXT_MARGIN, view_client_width(window), height + 2 * TEXT_MARGIN,
              window->back_color, window->back_color);
    char status[96];
    const TextReader& reader = document->reader;
    int32_t length = 0;
    if (view_reading(document) && reader.size > 0) {
        length =
            std::snprintf(status, sizeof(status), "Lines: %d Reading %d%%", document->lines.count,
                          static_cast<int32_t>(reader.done * 100 / reader.size));
    } else {
        length = std::snprintf(status, sizeof(status), "Lines: %d Longest: %d",
                               document->lines.count, document->lines.longest);
    }
    if (document->zoom != 100) {
        std::snprintf(status + length, sizeof(status) - length, " Zoom: %d%%", document->zoom);
    }
    set_text_color(window, STATUS_INK, STATUS_PAPER);
    move_to(window, TEXT_MARGIN, y);
    text_print_utf8(window, status, -1);
}

// ============================================================================
// Public routines
// ============================================================================

// Rows of text that fit in the document's window.
int32_t text_rows(Document* document) {
    return view_rows(document);
}

// Give a text document the viewer's font at its zoom.
void text_apply_font(Document* document) {
    FontChoice font = viewer.font;
    font.points = (font.points * document->zoom + 50) / 100;
    font.points = font.points < 1 ? 1 : font.points;
    if (set_window_font(&document->window, &font) == 0) {
        // A remembered font the runtime refuses: the default one from now on.
        viewer.font = viewer_default_font();
        font = viewer.font;
        font.points = (font.points * document->zoom + 50) / 100;
        set_window_font(&document->window, &font);
    }
    document->row_height = 0;
    document->top_row = 0;
    wrap_forget(document);
}

// Draw the visible rows, the selection and the status line.
void text_draw(Document* document) {
    WindowRecord* window = &document->window;
    draw_rect(window, 0, 0, view_client_width(window), view_client_height(window),
              viewer.back_color, viewer.back_color);
    set_text_color(window, viewer.text_color, viewer.back_color);
    if (document->message != nullptr) {
        move_to(window, TEXT_MARGIN, TEXT_MARGIN);
        text_print(2, PRINT_WINDOW, window, PRINT_TEXT, document->message);
        return;
    }
    const int32_t rows = view_rows(document);
    ViewTop row = {document->top, document->top_row};
    int32_t end = 0;
    if (row.line < document->lines.count) {
        wrap_row_units(document, row.line, row.row, &document->top_unit, &end);
    }
    for (int32_t at = 0; at < rows && row.line < document->lines.count; ++at) {
        draw_row(document, at, row);
        if (!wrap_move(document, &row, 1)) {
            break;
        }
    }
    view_draw_status(document);
}

// Scroll to a first line and left pixel column, kept inside the text; redraw on a change.
// The line shown first already keeps the row of it shown first.
void text_scroll_to(Document* document, int32_t first, int32_t left) {
    view_scroll(document, ViewTop{first, first == document->top ? document->top_row : 0}, left);
}

// Go to the last line; while the text is read, follow its end until reading ends.
void text_go_to_end(Document* document) {
    document->pending.kind = view_reading(document) ? PENDING_END : PENDING_NONE;
    view_scroll(document, ViewTop{document->lines.count, 0}, document->left);
}

// Go to a line (0 first): it becomes the top row; while the text is read and the line is
// not yet, once it is. 0 when the text has no such line.
int32_t text_go_to_line(Document* document, int32_t line) {
    const TextLines& lines = document->lines;
    if (line >= 0 &&
        (line < lines.count - lines.open_line || (!view_reading(document) && line < lines.count))) {
        document->pending.kind = PENDING_NONE;
        document->anchor = document->caret = TextPoint{line, 0};
        text_scroll_to(document, line, 0);
        text_draw(document);
        return 1;
    }
    if (line >= 0 && view_reading(document)) {
        document->pending.kind = PENDING_LINE;
        document->pending.line = line;
        return 1;
    }
    return 0;
}

// The last line the page shows.
int32_t text_last_line_shown(Document* document) {
    const int32_t rows = view_rows(document);
    if (viewer.word_wrap == 0) {
        return document->top + rows - 1;
    }
    ViewTop row = {document->top, document->top_row};
    wrap_move(document, &row, rows > 1 ? rows - 1 : 0);
    return row.line;
}

// Wrap long lines of every text at its window's width, or not, keeping the top line shown.
void text_set_word_wrap(int32_t on) {
    viewer.word_wrap = on != 0 ? 1 : 0;
    for (Document& document : viewer.documents) {
        if (document.kind == DOC_TEXT) {
            document.top_row = 0;
            document.left = 0;
            resized(&document);
        }
    }
}

// Handle a text document's scroll, key, mouse, wheel and size events; 1 when handled.
int32_t text_view_event(Document* document) {
    if (event_state.event_class == EV_SIZE) {
        resized(document);
        return 0;
    }
    if (view_select_event(document) != 0) {
        return 1;
    }
    return view_scroll_event(document);
}
