// The rows of a text document as the screen shows them: a line with its tabs expanded to
// every 8th column, in UTF-8 for the runtime's text routines, drawn with its selection in
// reverse; and which place of the line is under a pixel and where a place stands, as the
// platform lays the row out (right-to-left runs in the order it shows them).
// Relies on the runtime's UTF-8 text output and its selection routines (text_char_at_utf8,
// text_caret_x_utf8, text_spans_utf8); GDI32 for clipping the reversed selection to its
// stretches. The lines are text.cpp's; scrolling and input are text_view.cpp's.
#include "examples/viewer/viewer.h"

// ============================================================================
// Types
// ============================================================================

namespace {

constexpr int32_t ROW_LIMIT = 16384; // columns of a line laid out and shown

// One row as the screen shows it: the line's units with tabs expanded into blanks, for
// each the unit of the line it shows, and the row in UTF-8 with where each unit's bytes
// start. One row at a time.
struct RowLayout {
    const wchar_t* text;           // the line
    int32_t length;                // its units
    wchar_t units[ROW_LIMIT];      // what the row shows
    int32_t source[ROW_LIMIT + 1]; // the line's unit each shows; source[count]: after the last
    int32_t count;                 // units laid out
    char utf8[ROW_LIMIT * 4 + 1];  // the row in UTF-8
    int32_t offset[ROW_LIMIT + 1]; // where each unit's bytes start; offset[count]: bytes
};

// ============================================================================
// Module state
// ============================================================================

RowLayout row;                    // the row laid out last
int32_t spans[2 * ROW_LIMIT + 2]; // the selected stretches of the row drawn last

// ============================================================================
// Internal helpers
// ============================================================================

// Put the row's units into utf8, recording where each starts (both units of a pair at the
// pair's first byte; a lone surrogate as U+FFFD).
void encode_row() {
    int32_t bytes = 0;
    char* out = row.utf8;
    for (int32_t k = 0; k < row.count; ++k) {
        uint32_t c = static_cast<uint16_t>(row.units[k]);
        row.offset[k] = bytes;
        if (is_high_surrogate(c) && k + 1 < row.count && is_low_surrogate(row.units[k + 1])) {
            c = surrogate_pair_value(c, row.units[++k]);
            row.offset[k] = bytes;
            out[bytes++] = static_cast<char>(0xF0 | (c >> 18));
            out[bytes++] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        } else if (is_high_surrogate(c) || is_low_surrogate(c)) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out[bytes++] = static_cast<char>(c);
        } else if (c < 0x800) {
            out[bytes++] = static_cast<char>(0xC0 | (c >> 6));
            out[bytes++] = static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out[bytes++] = static_cast<char>(0xE0 | (c >> 12));
            out[bytes++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out[bytes++] = static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out[bytes++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out[bytes++] = static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    row.offset[row.count] = bytes;
    out[bytes] = '\0';
}

// The first laid-out unit that shows the line's unit index or one after it.
int32_t shown_at(int32_t index) {
    int32_t low = 0, high = row.count;
    while (low < high) {
        const int32_t middle = (low + high) / 2;
        if (row.source[middle] < index) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low;
}

// The laid-out unit whose bytes start at offset (the first of a pair).
int32_t unit_at_byte(int32_t offset) {
    int32_t low = 0, high = row.count;
    while (low < high) {
        const int32_t middle = (low + high + 1) / 2;
        if (row.offset[middle] <= offset) {
            low = middle;
        } else {
            high = middle - 1;
        }
    }
    while (low > 0 && low < row.count && row.offset[low - 1] == row.offset[low]) {
        --low;
    }
    return low;
}

// Draw the row again in reverse, clipped to the stretches spans holds.
void draw_reversed(WindowRecord* window, int32_t x, int32_t y, int32_t height, int32_t found) {
    set_text_color(window, viewer.back_color, viewer.text_color);
    HDC dc = begin_draw(window);
    if (dc == nullptr) {
        return;
    }
    HRGN kept = ::CreateRectRgn(0, 0, 0, 0);
    HRGN cells = ::CreateRectRgn(0, 0, 0, 0);
    const int32_t had = kept != nullptr ? ::GetClipRgn(dc, kept) : -1;
    if (cells != nullptr && had >= 0) {
        for (int32_t s = 0; s < found; ++s) {
            HRGN stretch = ::CreateRectRgn(x + spans[2 * s], y, x + spans[2 * s + 1], y + height);
            if (stretch != nullptr) {
                ::CombineRgn(cells, cells, stretch, RGN_OR);
                ::DeleteObject(stretch);
            }
        }
        // Within the context's own clipping, if it has any (RGN_AND alone fails without one).
        if (::ExtSelectClipRgn(dc, cells, had == 1 ? RGN_AND : RGN_COPY) != ERROR) {
            move_to(window, x, y);
            text_print_utf8(window, row.utf8, row.offset[row.count]);
        }
        ::SelectClipRgn(dc, had == 1 ? kept : nullptr);
    }
    if (cells != nullptr) {
        ::DeleteObject(cells);
    }
    if (kept != nullptr) {
        ::DeleteObject(kept);
    }
    end_draw(window, dc, 1);
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Lay out a line of a text as its row shows it.
void row_layout(const Document* document, int32_t line) {
    row_layout_part(document, line, 0, INT32_MAX);
}

// Lay out the units [from, to) of a line, its tabs counted from from.
void row_layout_part(const Document* document, int32_t line, int32_t from, int32_t to) {
    row.text = text_line(document, line, &row.length);
    to = to < row.length ? to : row.length;
    int32_t count = 0, column = 0, i = from < to ? from : to;
    for (; i < to && count < ROW_LIMIT; ++i) {
        const wchar_t c = row.text[i];
        if (c == L'\t') {
            const int32_t blanks = TAB_COLUMNS - column % TAB_COLUMNS;
            for (int32_t b = 0; b < blanks && count < ROW_LIMIT; ++b) {
                row.units[count] = L' ';
                row.source[count++] = i;
            }
            column += blanks;
        } else {
            row.units[count] = c;
            row.source[count++] = i;
            column += is_low_surrogate(c) ? 0 : 1;
        }
    }
    row.source[count] = i;
    row.count = count;
    encode_row();
}

// Units the row laid out last holds, tabs expanded.
int32_t row_units() {
    return row.count;
}

// The unit of the line that laid-out unit k shows (k == row_units(): the one after the row).
int32_t row_source(int32_t k) {
    return row.source[k < 0 ? 0 : k > row.count ? row.count : k];
}

// Pixels the first k laid-out units take.
int32_t row_prefix_width(Document* document, int32_t k) {
    k = k < 0 ? 0 : k > row.count ? row.count : k;
    int32_t width = 0;
    measure_text_utf8(&document->window, row.utf8, row.offset[k], &width, nullptr);
    return width;
}

// Pixels the row laid out last takes in the document's font.
int32_t row_width(Document* document) {
    int32_t width = 0;
    measure_text_utf8(&document->window, row.utf8, row.offset[row.count], &width, nullptr);
    return width;
}

// The unit of the row's line at the place nearest pixel x of the row.
int32_t row_index_at(Document* document, int32_t x) {
    int32_t place = 0;
    text_char_at_utf8(&document->window, row.utf8, row.offset[row.count], x, &place);
    const int32_t k = unit_at_byte(place);
    if (k > 0 && k < row.count && row.source[k] == row.source[k - 1]) {
        // Inside the blanks of a tab: before or after the tab, whichever is nearer.
        int32_t first = k, end = k;
        while (first > 0 && row.source[first - 1] == row.source[k]) {
            --first;
        }
        while (end < row.count && row.source[end] == row.source[k]) {
            ++end;
        }
        return k - first <= end - k ? row.source[first] : row.source[end];
    }
    return row.source[k];
}

// Pixels from the row's start to where a caret before a unit of its line stands.
int32_t row_x_of(Document* document, int32_t index) {
    return text_caret_x_utf8(&document->window, row.utf8, row.offset[row.count],
                             row.offset[shown_at(index)]);
}

// Draw the row laid out last with its left edge at (x, y), the units [from, to) of its line
// selected in reverse, and a selected blank after it when the line end is selected.
void row_draw(Document* document, int32_t x, int32_t y, int32_t from, int32_t to,
              bool end_selected) {
    WindowRecord* window = &document->window;
    set_text_color(window, viewer.text_color, viewer.back_color);
    move_to(window, x, y);
    text_print_utf8(window, row.utf8, row.offset[row.count]);
    const int32_t end = window->current_pos.x;
    const int32_t a = row.offset[shown_at(from)], b = row.offset[shown_at(to)];
    if (a < b) {
        int32_t found =
            text_spans_utf8(window, row.utf8, row.offset[row.count], a, b, spans, ROW_LIMIT + 1);
        found = found > ROW_LIMIT + 1 ? ROW_LIMIT + 1 : found;
        int32_t height = 0;
        measure_text_utf8(window, "Ag", 2, nullptr, &height);
        draw_reversed(window, x, y, height, found);
    }
    if (end_selected) {
        set_text_color(window, viewer.back_color, viewer.text_color);
        move_to(window, end, y);
        text_print_utf8(window, " ", 1);
    }
}
