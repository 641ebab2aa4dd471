// Text documents on the screen: the rows that fit, drawn from the top line and left pixel
// column into the window's backing bitmap in the document's font, the selection in
// reverse, the status line, the scroll bars; scrolling by bar, key and wheel; selecting
// with the mouse (drag, Shift+click, double-click) and with Shift and the arrow and page
// keys; the reading of large files a slice at a time between events, and what waits for
// it (Ctrl+End, Go to line, Find, Select all).
// Relies on the runtime's drawing, UTF-8 text output and measuring, fonts and scroll bars.
// The rows (layout, places, drawing) are text_rows.cpp's, the lines text.cpp's, searching
// text_find.cpp's, the documents documents.cpp's.
#include "examples/viewer/viewer.h"

#include <cstdio>

namespace {

// ============================================================================
// Module state
// ============================================================================

constexpr int32_t WHEEL_NOTCH = 120; // WM_MOUSEWHEEL's delta for one notch
constexpr int32_t COLUMN_STEP = 16;  // pixels one step of the horizontal bar scrolls
constexpr COLORREF STATUS_INK = RGB(0, 0, 0);
constexpr COLORREF STATUS_PAPER = RGB(255, 255, 255);

// The environment variable naming an event that holds reading until it is set.
constexpr char HOLD_VARIABLE[] = "TARROWIND_VIEWER_HOLD_READING";
char hold_name[MAX_PATH]; // the event's name
int32_t hold_state = -1;  // -1: not looked at yet, 0: reading goes on, 1: held

// ============================================================================
// Internal helpers
// ============================================================================

int32_t row_height(Document* document) {
    if (document->row_height <= 0) {
        measure_text_utf8(&document->window, "Ag", 2, nullptr, &document->row_height);
    }
    return document->row_height > 0 ? document->row_height : 16;
}

int32_t client_width(WindowRecord* window) {
    int32_t left = 0, top = 0, width = 0, height = 0;
    get_client_size(window, &left, &top, &width, &height);
    return width;
}

int32_t client_height(WindowRecord* window) {
    int32_t left = 0, top = 0, width = 0, height = 0;
    get_client_size(window, &left, &top, &width, &height);
    return height;
}

bool before(TextPoint a, TextPoint b) {
    return a.line < b.line || (a.line == b.line && a.index < b.index);
}

bool same(TextPoint a, TextPoint b) {
    return a.line == b.line && a.index == b.index;
}

bool reading(const Document* document) {
    return document->reader.file != nullptr;
}

// The place after the last character of the text.
TextPoint text_end(const Document* document) {
    const int32_t last = document->lines.count > 0 ? document->lines.count - 1 : 0;
    int32_t length = 0;
    text_line(document, last, &length);
    return TextPoint{last, length};
}

// A place kept inside the text and off the second half of a surrogate pair.
TextPoint inside(const Document* document, TextPoint at) {
    if (at.line < 0 || document->lines.count == 0) {
        return TextPoint{0, 0};
    }
    if (at.line >= document->lines.count) {
        return text_end(document);
    }
    int32_t length = 0;
    const wchar_t* text = text_line(document, at.line, &length);
    at.index = at.index < 0 ? 0 : at.index > length ? length : at.index;
    if (at.index > 0 && at.index < length && text[at.index] >= 0xDC00 && text[at.index] <= 0xDFFF) {
        at.index -= 1;
    }
    return at;
}

// Pixels the longest line takes in the document's font.
int32_t longest_width(Document* document) {
    row_layout(document, document->lines.longest_line);
    return row_width(document);
}

// Rows of text that fit in the document's window above its status line.
int32_t rows_in(Document* document) {
    const int32_t height = row_height(document);
    const int32_t rows = (client_height(&document->window) - 3 * TEXT_MARGIN - height) / height;
    return rows > 0 ? rows : 0;
}

void update_scroll_bars(Document* document) {
    WindowRecord* window = &document->window;
    set_scroll_bar(window, SB_VERT, document->top, document->lines.count - 1, rows_in(document));
    set_scroll_bar(window, SB_HORZ, document->left, longest_width(document) + 2 * TEXT_MARGIN,
                   client_width(window));
}

// Draw one line at a row, the selected part in reverse; a selected line end shows as a
// selected blank after the text.
void draw_row(Document* document, int32_t at, int32_t line) {
    TextPoint from = document->anchor, to = document->caret;
    if (before(to, from)) {
        from = document->caret;
        to = document->anchor;
    }
    int32_t a = 0, b = 0; // the line's selected units
    if (!same(from, to) && from.line <= line && line <= to.line) {
        a = from.line < line ? 0 : from.index;
        b = to.line > line ? INT32_MAX : to.index;
    }
    row_layout(document, line);
    row_draw(document, TEXT_MARGIN - document->left, TEXT_MARGIN + at * row_height(document), a, b,
             !same(from, to) && from.line <= line && line < to.line);
}

// The status line at the bottom: the number of lines and the longest line's length, or
// how far the reading got while the file is read; the zoom when it is not 100%.
void draw_status(Document* document) {
    WindowRecord* window = &document->window;
    const int32_t height = row_height(document);
    const int32_t y = client_height(window) - TEXT_MARGIN - height;
    draw_rect(window, 0, y - TEXT_MARGIN, client_width(window), height + 2 * TEXT_MARGIN,
              window->back_color, window->back_color);
    char status[96];
    const TextReader& reader = document->reader;
    int32_t length = 0;
    if (reading(document) && reader.size > 0) {
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

// The place under a point of the client area (kept inside the text).
TextPoint point_at(Document* document, int32_t x, int32_t y) {
    const int32_t height = row_height(document);
    const int32_t offset = y - TEXT_MARGIN;
    const int32_t line =
        document->top + (offset >= 0 ? offset / height : (offset - height + 1) / height);
    if (line < 0) {
        return TextPoint{0, 0};
    }
    if (line >= document->lines.count) {
        return text_end(document);
    }
    row_layout(document, line);
    return inside(document,
                  TextPoint{line, row_index_at(document, x - TEXT_MARGIN + document->left)});
}

// Pixels from a line's start to a place in it.
int32_t x_of(Document* document, TextPoint at) {
    row_layout(document, at.line);
    return row_x_of(document, at.index);
}

// The place of a line nearest to pixel x.
TextPoint place_at_x(Document* document, int32_t line, int32_t x) {
    if (line < 0 || line >= document->lines.count) {
        return line < 0 ? TextPoint{0, 0} : text_end(document);
    }
    row_layout(document, line);
    return inside(document, TextPoint{line, row_index_at(document, x)});
}

// The first line and left column kept inside the text.
void clamp_view(Document* document, int32_t* first, int32_t* left) {
    const int32_t last_top = document->lines.count - rows_in(document);
    *first = *first > last_top ? last_top : *first;
    *first = *first < 0 ? 0 : *first;
    const int32_t last_left =
        longest_width(document) + 2 * TEXT_MARGIN - client_width(&document->window);
    *left = *left > last_left ? last_left : *left;
    *left = *left < 0 ? 0 : *left;
}

// The place one character before or after another, across line ends.
TextPoint step(const Document* document, TextPoint at, int32_t direction) {
    int32_t length = 0;
    const wchar_t* text = text_line(document, at.line, &length);
    if (direction < 0) {
        if (at.index == 0) {
            return at.line > 0 ? inside(document, TextPoint{at.line - 1, INT32_MAX}) : at;
        }
        return inside(document, TextPoint{at.line, at.index - 1});
    }
    if (at.index >= length) {
        return at.line + 1 < document->lines.count ? TextPoint{at.line + 1, 0} : at;
    }
    const bool pair = text[at.index] >= 0xD800 && text[at.index] <= 0xDBFF;
    return inside(document, TextPoint{at.line, at.index + (pair ? 2 : 1)});
}

// Shift with a movement key: the caret moves and the anchor stays. A caret off the page
// without a selection starts again at the top row.
int32_t extend_selection(Document* document, int32_t key, bool control) {
    const int32_t rows = rows_in(document);
    const int32_t page = rows > 1 ? rows - 1 : 1;
    TextPoint anchor = document->anchor, caret = document->caret;
    if (same(anchor, caret) && (caret.line < document->top || caret.line >= document->top + rows)) {
        anchor = caret = TextPoint{document->top, 0};
    }
    switch (key) {
    case VK_LEFT:
    case VK_RIGHT:
        caret = step(document, caret, key == VK_LEFT ? -1 : 1);
        break;
    case VK_UP:
    case VK_DOWN:
        caret = place_at_x(document, caret.line + (key == VK_UP ? -1 : 1), x_of(document, caret));
        break;
    case VK_PRIOR:
    case VK_NEXT: {
        const int32_t move = key == VK_PRIOR ? -page : page;
        caret = place_at_x(document, caret.line + move, x_of(document, caret));
        int32_t first = document->top + move, left = document->left;
        clamp_view(document, &first, &left);
        document->top = first;
        break;
    }
    case VK_HOME:
        caret = control ? TextPoint{0, 0} : TextPoint{caret.line, 0};
        break;
    case VK_END:
        caret = control ? text_end(document) : inside(document, TextPoint{caret.line, INT32_MAX});
        break;
    default:
        return 0;
    }
    text_select(document, anchor, caret);
    if (key == VK_END && control && reading(document)) {
        document->pending.kind = PENDING_ALL; // to the end once it is read, not the part read
    }
    return 1;
}

// A click, Shift+click or drag in the text: the caret goes under the pointer, scrolling a
// line when the pointer is above or below the rows.
void mouse_select(Document* document, int32_t x, int32_t y, bool extend) {
    const int32_t height = row_height(document);
    const int32_t bottom = TEXT_MARGIN + rows_in(document) * height;
    if (document->dragging != 0 && (y < TEXT_MARGIN || y >= bottom)) {
        int32_t first = document->top + (y < TEXT_MARGIN ? -1 : 1), left = document->left;
        clamp_view(document, &first, &left);
        document->top = first;
        y = y < TEXT_MARGIN ? TEXT_MARGIN : bottom - 1;
    }
    const TextPoint at = point_at(document, x, y);
    text_select(document, extend ? document->anchor : at, at);
}

// The person scrolled elsewhere: Ctrl+End and Go to line no longer wait to move the page.
void moved_on(Document* document) {
    if (document->pending.kind == PENDING_END || document->pending.kind == PENDING_LINE) {
        document->pending.kind = PENDING_NONE;
    }
}

// Carry out what waited for more of the text, after a slice of reading.
void carry_out_pending(Document* document) {
    PendingAction& pending = document->pending;
    const TextLines& lines = document->lines;
    switch (pending.kind) {
    case PENDING_END:
        text_scroll_to(document, lines.count, document->left);
        pending.kind = reading(document) ? PENDING_END : PENDING_NONE;
        break;
    case PENDING_LINE:
        if (pending.line < lines.count - lines.open_line || !reading(document)) {
            pending.kind = PENDING_NONE;
            if (text_go_to_line(document, pending.line) == 0) {
                char text[96];
                std::snprintf(text, sizeof(text), "This document has lines 1 to %d.", lines.count);
                message_box(&viewer.frame, text, "Go to line", MB_OK | MB_ICONEXCLAMATION);
            }
        }
        break;
    case PENDING_FIND:
        text_find_continue(document);
        break;
    case PENDING_ALL:
        document->caret = text_end(document);
        text_draw(document);
        pending.kind = reading(document) ? PENDING_ALL : PENDING_NONE;
        break;
    default:
        break;
    }
    if (document->copy_waiting != 0 && !reading(document)) {
        document->copy_waiting = 0;
        text_copy(document);
    }
}

// NOTE: a seam for the end-to-end check, which gives commands to texts still being read
// however fast the machine reads them: while the event that TARROWIND_VIEWER_HOLD_READING
// names exists and is not set, reading waits after each file's first chunk. Once the event
// is set or gone, reading goes on for good (a message wakes the viewer for it).
bool reading_held() {
    if (hold_state < 0) {
        const DWORD length = ::GetEnvironmentVariableA(HOLD_VARIABLE, hold_name, sizeof(hold_name));
        hold_state = length > 0 && length < sizeof(hold_name) ? 1 : 0;
    }
    if (hold_state == 1) {
        HANDLE event = ::OpenEventA(SYNCHRONIZE, FALSE, hold_name);
        hold_state = event != nullptr && ::WaitForSingleObject(event, 0) == WAIT_TIMEOUT ? 1 : 0;
        if (event != nullptr) {
            ::CloseHandle(event);
        }
    }
    return hold_state == 1;
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Rows of text that fit in the document's window.
int32_t text_rows(Document* document) {
    return rows_in(document);
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
}

// Draw the visible rows, the selection and the status line.
void text_draw(Document* document) {
    WindowRecord* window = &document->window;
    draw_rect(window, 0, 0, client_width(window), client_height(window), viewer.back_color,
              viewer.back_color);
    set_text_color(window, viewer.text_color, viewer.back_color);
    if (document->message != nullptr) {
        move_to(window, TEXT_MARGIN, TEXT_MARGIN);
        text_print(2, PRINT_WINDOW, window, PRINT_TEXT, document->message);
        return;
    }
    const int32_t rows = rows_in(document);
    for (int32_t at = 0; at < rows && document->top + at < document->lines.count; ++at) {
        draw_row(document, at, document->top + at);
    }
    draw_status(document);
}

// Scroll to a first line and left pixel column, kept inside the text; redraw on a change.
void text_scroll_to(Document* document, int32_t first, int32_t left) {
    clamp_view(document, &first, &left);
    if (first != document->top || left != document->left) {
        document->top = first;
        document->left = left;
        text_draw(document);
    }
    update_scroll_bars(document);
}

// Select from anchor to caret, scroll the caret into view and redraw.
void text_select(Document* document, TextPoint anchor, TextPoint caret) {
    if (document->pending.kind == PENDING_ALL) {
        document->pending.kind = PENDING_NONE; // a new selection: its end no longer follows
    }
    document->anchor = inside(document, anchor);
    document->caret = inside(document, caret);
    const int32_t rows = rows_in(document);
    int32_t first = document->top, left = document->left;
    if (document->caret.line < first) {
        first = document->caret.line;
    } else if (rows > 0 && document->caret.line >= first + rows) {
        first = document->caret.line - rows + 1;
    }
    const int32_t x = x_of(document, document->caret);
    const int32_t view = client_width(&document->window) - 2 * TEXT_MARGIN;
    if (x < left || x > left + view) {
        left = x - view * 2 / 3;
    }
    clamp_view(document, &first, &left);
    document->top = first;
    document->left = left;
    text_draw(document);
    update_scroll_bars(document);
}

// Select the whole text; while it is read, the selection grows with it.
void text_select_all(Document* document) {
    if (document == nullptr || document->kind != DOC_TEXT) {
        return;
    }
    document->anchor = TextPoint{0, 0};
    document->caret = text_end(document);
    document->pending.kind = reading(document) ? PENDING_ALL : PENDING_NONE;
    text_draw(document);
}

// Go to the last line; while the text is read, follow its end until reading ends.
void text_go_to_end(Document* document) {
    document->pending.kind = reading(document) ? PENDING_END : PENDING_NONE;
    text_scroll_to(document, document->lines.count, document->left);
}

// Go to a line (0 first): it becomes the top row; while the text is read and the line is
// not yet, once it is. 0 when the text has no such line.
int32_t text_go_to_line(Document* document, int32_t line) {
    const TextLines& lines = document->lines;
    if (line >= 0 &&
        (line < lines.count - lines.open_line || (!reading(document) && line < lines.count))) {
        document->pending.kind = PENDING_NONE;
        document->anchor = document->caret = TextPoint{line, 0};
        text_scroll_to(document, line, 0);
        text_draw(document);
        return 1;
    }
    if (line >= 0 && reading(document)) {
        document->pending.kind = PENDING_LINE;
        document->pending.line = line;
        return 1;
    }
    return 0;
}

// Handle a text document's scroll, key, mouse and wheel events; 1 when handled.
int32_t text_view_event(Document* document) {
    const EventState& e = event_state;
    const int32_t rows = rows_in(document);
    const int32_t page = rows > 1 ? rows - 1 : 1;
    const int32_t view = client_width(&document->window) - 2 * TEXT_MARGIN;
    const int32_t x = static_cast<int16_t>(e.mouse_x), y = static_cast<int16_t>(e.mouse_y);
    switch (e.event_class) {
    case WM_VSCROLL: {
        int32_t first = document->top;
        switch (static_cast<int32_t>(e.event_wparam)) {
        case SB_LINEUP:
            first -= 1;
            break;
        case SB_LINEDOWN:
            first += 1;
            break;
        case SB_PAGEUP:
            first -= page;
            break;
        case SB_PAGEDOWN:
            first += page;
            break;
        case SB_TOP:
            first = 0;
            break;
        case SB_BOTTOM:
            first = document->lines.count;
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            first = get_scroll_position(&document->window, SB_VERT, 1);
            break;
        default:
            return 1;
        }
        moved_on(document);
        text_scroll_to(document, first, document->left);
        return 1;
    }
    case WM_HSCROLL: {
        int32_t left = document->left;
        switch (static_cast<int32_t>(e.event_wparam)) {
        case SB_LINELEFT:
            left -= COLUMN_STEP;
            break;
        case SB_LINERIGHT:
            left += COLUMN_STEP;
            break;
        case SB_PAGELEFT:
            left -= view;
            break;
        case SB_PAGERIGHT:
            left += view;
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            left = get_scroll_position(&document->window, SB_HORZ, 1);
            break;
        default:
            return 1;
        }
        text_scroll_to(document, document->top, left);
        return 1;
    }
    case WM_MOUSEWHEEL: {
        const int32_t notches = static_cast<int16_t>(HIWORD(e.event_wparam)) / WHEEL_NOTCH;
        moved_on(document);
        text_scroll_to(document, document->top - notches * WHEEL_LINES, document->left);
        return 1;
    }
    case WM_KEYDOWN: {
        const bool control = key_down(VK_CONTROL) != 0;
        const int32_t key = static_cast<int32_t>(e.event_wparam);
        if (key_down(VK_SHIFT) != 0) {
            return extend_selection(document, key, control);
        }
        int32_t first = document->top, left = document->left;
        switch (key) {
        case VK_UP:
            first -= 1;
            break;
        case VK_DOWN:
            first += 1;
            break;
        case VK_PRIOR:
            first -= page;
            break;
        case VK_NEXT:
            first += page;
            break;
        case VK_LEFT:
            left -= COLUMN_STEP;
            break;
        case VK_RIGHT:
            left += COLUMN_STEP;
            break;
        case VK_HOME:
            control ? first = 0 : left = 0;
            break;
        case VK_END:
            if (control) {
                text_go_to_end(document);
                return 1;
            }
            left = longest_width(document);
            break;
        default:
            return 0;
        }
        moved_on(document);
        text_scroll_to(document, first, left);
        return 1;
    }
    case WM_LBUTTONDOWN:
        if (document->message == nullptr && y < TEXT_MARGIN + rows * row_height(document)) {
            // NOTE: the runtime has no mouse capture; USER32's keeps the drag's moves coming
            // while the pointer is outside the window.
            ::SetCapture(document->window.hwnd);
            document->dragging = 1;
            mouse_select(document, x, y, (e.event_lparam & MK_SHIFT) != 0);
        }
        return 1;
    case WM_MOUSEMOVE:
        if (document->dragging != 0) {
            mouse_select(document, x, y, true);
        }
        return 1;
    case WM_LBUTTONUP:
        if (document->dragging != 0) {
            mouse_select(document, x, y, true); // where the button is let go, moves or not
            document->dragging = 0;
            ::ReleaseCapture();
        }
        return 1;
    case WM_CAPTURECHANGED:
        document->dragging = 0;
        return 0;
    case WM_LBUTTONDBLCLK:
        if (document->message == nullptr && y < TEXT_MARGIN + rows * row_height(document)) {
            text_select_word(document, point_at(document, x, y));
        }
        return 1;
    case EV_SIZE:
        // More or fewer rows fit: the same top line, kept inside the text.
        text_draw(document);
        text_scroll_to(document, document->top, document->left);
        return 0;
    default:
        return 0;
    }
}

// 1 while any document is being read (and reading is not held).
int32_t viewer_reading() {
    if (reading_held()) {
        return 0;
    }
    for (const Document& document : viewer.documents) {
        if (document.kind == DOC_TEXT && document.reader.file != nullptr) {
            return 1;
        }
    }
    return 0;
}

// Read every document being read on for about budget_ms, redrawing what changed.
void viewer_read_some(uint32_t budget_ms) {
    for (Document& document : viewer.documents) {
        if (document.kind != DOC_TEXT || document.reader.file == nullptr) {
            continue;
        }
        const int32_t shown = document.lines.count - document.top;
        text_read_more(&document, budget_ms);
        // The page is drawn again only while it was not full, or when the text turned
        // out to be binary; otherwise the status line and the bars follow.
        if (shown < rows_in(&document) + 1 || document.message != nullptr) {
            text_draw(&document);
        } else {
            draw_status(&document);
        }
        update_scroll_bars(&document);
        if (document.message == nullptr) {
            carry_out_pending(&document);
        } else if (document.pending.kind != PENDING_NONE) {
            // The text turned out to be binary: nothing waits for it any more.
            if (document.pending.kind == PENDING_FIND) {
                viewer_find_status("No text document");
            }
            document.pending.kind = PENDING_NONE;
        }
        if (document.message != nullptr) {
            document.copy_waiting = 0;
        }
    }
}
