// Text documents on the screen: the rows that fit, drawn from the top line and left pixel
// column into the window's backing bitmap (resizing shows more or fewer rows), the match
// highlighted, the status line, the scroll bars, scrolling by bar, key and wheel, finding
// text, and the reading of large files a slice at a time between events.
// Relies on the runtime's drawing, text output, measuring and scroll bars; the lines are
// text.cpp's, the documents documents.cpp's.
#include "examples/viewer/viewer.h"

#include <cstring>

// ============================================================================
// Module state
// ============================================================================

namespace {

constexpr int32_t WHEEL_NOTCH = 120; // WM_MOUSEWHEEL's delta for one notch
constexpr int32_t COLUMN_STEP = 16;  // pixels one step of the horizontal bar scrolls
constexpr COLORREF STATUS_INK = RGB(0, 0, 0);
constexpr COLORREF STATUS_PAPER = RGB(255, 255, 255);

unsigned char fold_table[256]; // each ANSI character in lower case, once made
bool fold_ready = false;

// ============================================================================
// Internal helpers
// ============================================================================

int32_t row_height(WindowRecord* window) {
    if (viewer.row_height == 0) {
        measure_text(window, "", 0, nullptr, &viewer.row_height);
    }
    return viewer.row_height > 0 ? viewer.row_height : 16;
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

// Rows of text that fit in a window above its status line.
int32_t rows_in(WindowRecord* window) {
    const int32_t row = row_height(window);
    const int32_t rows = (client_height(window) - 3 * TEXT_MARGIN - row) / row;
    return rows > 0 ? rows : 0;
}

// Pixels the longest line takes, measured in the document's font.
int32_t longest_width(Document* document) {
    const char* line = text_line(document, document->lines.longest_line);
    int32_t width = 0;
    measure_text(&document->window, line, string_length(line), &width, nullptr);
    return width;
}

void update_scroll_bars(Document* document) {
    WindowRecord* window = &document->window;
    set_scroll_bar(window, SB_VERT, document->top, document->lines.count - 1, text_rows(document));
    set_scroll_bar(window, SB_HORZ, document->left, longest_width(document) + 2 * TEXT_MARGIN,
                   client_width(window));
}

// The status line at the bottom: the number of lines and the longest line's length, and
// how far the reading got while the file is read.
void draw_status(Document* document, WindowRecord* window) {
    const int32_t width = client_width(window);
    const int32_t y = client_height(window) - TEXT_MARGIN - row_height(window);
    draw_rect(window, 0, y, width, row_height(window) + TEXT_MARGIN, window->back_color,
              window->back_color);
    set_text_color(window, STATUS_INK, STATUS_PAPER);
    move_to(window, TEXT_MARGIN, y);
    const TextReader& reader = document->reader;
    if (reader.file != nullptr && reader.size > 0) {
        text_print(7, PRINT_WINDOW, window, PRINT_TEXT, "Lines: ", PRINT_INT, document->lines.count,
                   PRINT_TEXT, "Reading ", PRINT_INT,
                   static_cast<int32_t>(reader.done * 100 / reader.size), PRINT_TEXT, "%");
    } else {
        text_print(5, PRINT_WINDOW, window, PRINT_TEXT, "Lines: ", PRINT_INT, document->lines.count,
                   PRINT_TEXT, "Longest: ", PRINT_UINT,
                   static_cast<uint32_t>(document->lines.longest));
    }
}

// Print one line at a row in the colours of text documents (set already), the match in
// reverse.
void draw_row(Document* document, WindowRecord* window, int32_t row, int32_t line) {
    const int32_t x = TEXT_MARGIN - document->left;
    const int32_t y = TEXT_MARGIN + row * row_height(window);
    const char* text = text_line(document, line);
    move_to(window, x, y);
    text_print(2, PRINT_WINDOW, window, PRINT_TEXT, text);
    if (line != document->match_line) {
        return;
    }
    char match[sizeof(viewer.find.text)] = {};
    const int32_t length = document->match_length < static_cast<int32_t>(sizeof(match)) - 1
                               ? document->match_length
                               : static_cast<int32_t>(sizeof(match)) - 1;
    std::memcpy(match, text + document->match_start, static_cast<size_t>(length));
    int32_t before = 0;
    measure_text(window, text, document->match_start, &before, nullptr);
    set_text_color(window, viewer.back_color, viewer.text_color);
    move_to(window, x + before, y);
    text_print(2, PRINT_WINDOW, window, PRINT_TEXT, match);
    set_text_color(window, viewer.text_color, viewer.back_color);
}

void make_fold_table() {
    for (int32_t i = 0; i < 256; ++i) {
        char one[2] = {static_cast<char>(i), '\0'};
        // NOTE: the runtime upper-cases whole strings only; one character at a time is
        // folded by USER32 once, into a table.
        ::CharLowerBuffA(one, 1);
        fold_table[i] = static_cast<unsigned char>(one[0]);
    }
    fold_ready = true;
}

// Where find occurs in line at or after start, or -1.
int32_t find_in_line(const char* line, int32_t start, const char* find, int32_t length,
                     int32_t match_case) {
    const int32_t end = string_length(line) - length;
    for (int32_t at = start; at <= end; ++at) {
        int32_t i = 0;
        while (i < length) {
            const unsigned char a = static_cast<unsigned char>(line[at + i]);
            const unsigned char b = static_cast<unsigned char>(find[i]);
            if (match_case != 0 ? a != b : fold_table[a] != fold_table[b]) {
                break;
            }
            ++i;
        }
        if (i == length) {
            return at;
        }
    }
    return -1;
}

// Scroll so that a match shows: its line on the page and its start inside the width.
void show_match(Document* document) {
    const int32_t rows = text_rows(document);
    int32_t first = document->top;
    if (document->match_line < first || document->match_line >= first + rows) {
        first = document->match_line - rows / 2;
    }
    int32_t x = 0, width = 0;
    const char* line = text_line(document, document->match_line);
    measure_text(&document->window, line, document->match_start, &x, nullptr);
    measure_text(&document->window, line + document->match_start, document->match_length, &width,
                 nullptr);
    int32_t left = document->left;
    const int32_t view = client_width(&document->window) - 2 * TEXT_MARGIN;
    if (x < left || x + width > left + view) {
        left = x - view / 3;
    }
    text_scroll_to(document, first, left);
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Rows of text that fit in the document's window.
int32_t text_rows(Document* document) {
    return rows_in(&document->window);
}

// Draw the visible rows, the highlight and the status line into window.
void text_draw(Document* document, WindowRecord* window) {
    const int32_t width = client_width(window);
    const int32_t height = client_height(window);
    draw_rect(window, 0, 0, width, height, viewer.back_color, viewer.back_color);
    set_text_color(window, viewer.text_color, viewer.back_color);
    if (document->message != nullptr) {
        move_to(window, TEXT_MARGIN, TEXT_MARGIN);
        text_print(2, PRINT_WINDOW, window, PRINT_TEXT, document->message);
        return;
    }
    const int32_t rows = rows_in(window);
    for (int32_t row = 0; row < rows && document->top + row < document->lines.count; ++row) {
        draw_row(document, window, row, document->top + row);
    }
    draw_status(document, window);
}

// Scroll to a first line and left pixel column, kept inside the text; redraw on a change.
void text_scroll_to(Document* document, int32_t first, int32_t left) {
    const int32_t last_top = document->lines.count - text_rows(document);
    first = first > last_top ? last_top : first;
    first = first < 0 ? 0 : first;
    const int32_t last_left =
        longest_width(document) + 2 * TEXT_MARGIN - client_width(&document->window);
    left = left > last_left ? last_left : left;
    left = left < 0 ? 0 : left;
    if (first != document->top || left != document->left) {
        document->top = first;
        document->left = left;
        text_draw(document, &document->window);
    }
    update_scroll_bars(document);
}

// Handle a text document's scroll, key and wheel events; 1 when handled.
int32_t text_view_event(Document* document) {
    const EventState& e = event_state;
    const int32_t page = text_rows(document) > 1 ? text_rows(document) - 1 : 1;
    const int32_t view = client_width(&document->window) - 2 * TEXT_MARGIN;
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
        text_scroll_to(document, document->top - notches * WHEEL_LINES, document->left);
        return 1;
    }
    case WM_KEYDOWN: {
        const bool control = key_down(VK_CONTROL) != 0;
        int32_t first = document->top, left = document->left;
        switch (static_cast<int32_t>(e.event_wparam)) {
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
            control ? first = document->lines.count : left = longest_width(document);
            break;
        default:
            return 0;
        }
        text_scroll_to(document, first, left);
        return 1;
    }
    case EV_SIZE:
        // More or fewer rows fit: the same top line, kept inside the text.
        text_draw(document, &document->window);
        text_scroll_to(document, document->top, document->left);
        return 0;
    default:
        return 0;
    }
}

// Find text from after the current match, wrapping at the end; 1 when found.
int32_t text_find(Document* document, const char* text, int32_t match_case) {
    const int32_t length = string_length(text);
    const int32_t count = document->lines.count;
    if (length == 0 || count == 0 || document->kind != DOC_TEXT) {
        return 0;
    }
    if (!fold_ready) {
        make_fold_table();
    }
    int32_t line = document->match_line >= 0 ? document->match_line : document->top;
    int32_t start = document->match_line >= 0 ? document->match_start + 1 : 0;
    for (int32_t step = 0; step <= count; ++step) {
        const int32_t at = find_in_line(text_line(document, line), start, text, length, match_case);
        if (at >= 0) {
            document->match_line = line;
            document->match_start = at;
            document->match_length = length;
            text_draw(document, &document->window);
            show_match(document);
            return 1;
        }
        line = line + 1 < count ? line + 1 : 0;
        start = 0;
    }
    return 0;
}

// 1 while any document is being read.
int32_t viewer_reading() {
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
        if (shown < text_rows(&document) + 1 || document.message != nullptr) {
            text_draw(&document, &document.window);
        } else {
            draw_status(&document, &document.window);
        }
        update_scroll_bars(&document);
    }
}
