// Rows of the screen of a text document: one per line, or with word wrap on, as many as a
// line needs at the window's width, broken after blanks and hyphens, between ideographs,
// and where a word longer than the row must break, never inside a surrogate pair or a
// character with its marks. Only the lines asked for are wrapped (those on the page and
// the rows scrolled through), never the whole text, so a large text wraps as fast as it
// shows; the rows of the lines wrapped lately are kept.
// Relies on the runtime's measuring through text_rows.cpp's layout; KERNEL32's character
// types to tell combining marks.
#include "examples/viewer/text_view.h"

#include <algorithm>

namespace {

// ============================================================================
// Types and module state
// ============================================================================

constexpr int32_t WRAP_UNITS = 16384; // units of a line wrapped, as many as a row shows
constexpr int32_t MIN_FIT = 64;       // units laid out at least to find where a row ends

// What a line's rows were wrapped for: the same key gives the same rows.
struct WrapKey {
    const Document* document;
    int32_t line, length, width, row_height, generation;
    bool operator==(const WrapKey&) const = default;
};

// The rows of a line: the first unit of each row, starts[count] its end.
struct LineRows {
    WrapKey key;
    int32_t count;
    int32_t starts[WRAP_UNITS + 2];
};

// The rows of lines wrapped lately that take few rows, by line number.
constexpr int32_t KEPT_LINES = 512, KEPT_ROWS = 15;
struct KeptRows {
    WrapKey key;
    int32_t count;
    int32_t starts[KEPT_ROWS + 1];
};

// The rows of a line as the routines below read them, wherever they are kept.
struct Rows {
    int32_t count;
    const int32_t* starts;
};

// Lines of many rows are kept apart from the short ones, a few at a time, so that a page
// mixing long lines with short ones never wraps a long one again for each short one.
constexpr int32_t LONG_LINES = 4;

LineRows fresh;                 // a line being wrapped
LineRows long_rows[LONG_LINES]; // lines of many rows wrapped lately
int32_t long_next = 0;          // the slot the next long line takes
KeptRows kept[KEPT_LINES];
int32_t generation = 1; // counts wrap_forget calls

// ============================================================================
// Internal helpers
// ============================================================================

bool is_blank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == 0x3000;
}

// Ideographs, kana and Hangul syllables: a line may break on either side of each.
bool is_ideographic(wchar_t c) {
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7A3) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF01 && c <= 0xFF60);
}

// A mark of the Indic scripts (their blocks share one plan): vowel signs, the virama and
// the signs around them.
bool is_indic_mark(wchar_t c) {
    if (c < 0x0900 || c > 0x0DFF) {
        return false;
    }
    const int32_t at = c & 0x7F;
    return at <= 0x03 || (at >= 0x3A && at <= 0x4F) || (at >= 0x51 && at <= 0x57) || at == 0x62 ||
           at == 0x63;
}

// c belongs to the character before it: a pair's second half, a mark, a joiner, a
// variation selector, a consonant after a virama, or a Hangul vowel or final letter after
// the letter it completes into a syllable.
bool continues(wchar_t before, wchar_t c) {
    const bool jamo_after = (c >= 0x1160 && c <= 0x11FF) || (c >= 0xD7B0 && c <= 0xD7FF);
    if (is_low_surrogate(c) || c == 0x200D || before == 0x200D || (c >= 0xFE00 && c <= 0xFE0F) ||
        (jamo_after && before >= 0x1100 && before <= 0x11FF) || is_indic_mark(c) ||
        (is_indic_mark(before) && (before & 0x7F) == 0x4D)) {
        return true;
    }
    // NOTE: the runtime has no character classes; KERNEL32 tells the combining marks.
    WORD type = 0;
    return ::GetStringTypeW(CT_CTYPE3, &c, 1, &type) != 0 && (type & C3_NONSPACING) != 0;
}

// Where a row from unit from ends when units up to stop fit: after the last word that
// fits, else between characters; a row that holds not even one character takes it alone.
int32_t break_before(const wchar_t* text, int32_t from, int32_t stop, int32_t end) {
    if (stop <= from) {
        stop = from + 1;
        while (stop < end && continues(text[stop - 1], text[stop])) {
            ++stop;
        }
        return stop;
    }
    if (is_blank(text[stop])) { // blanks at a row's end hang past it
        while (stop < end && is_blank(text[stop])) {
            ++stop;
        }
        return stop;
    }
    for (int32_t p = stop; p > from; --p) {
        const wchar_t a = text[p - 1], b = text[p];
        if ((is_blank(a) && !is_blank(b)) ||
            (a == L'-' && p - 1 > from && !is_blank(text[p - 2])) ||
            ((is_ideographic(a) || is_ideographic(b)) && !continues(a, b))) {
            return p;
        }
    }
    while (stop > from + 1 && continues(text[stop - 1], text[stop])) {
        --stop; // a word longer than the row breaks between characters
    }
    return stop;
}

// Where a row that starts at unit from of a line must end to fit width pixels.
int32_t next_break(Document* document, int32_t line, int32_t from, int32_t end, int32_t width) {
    int32_t length = 0;
    const wchar_t* text = text_line(document, line, &length);
    // Lay out about twice the units a row of average letters holds, more while they fit.
    int32_t span = 4 * width / view_row_height(document) + MIN_FIT, all = 0;
    for (;;) {
        row_layout_part(document, line, from, end - from > span ? from + span : end);
        all = row_prefix_width(document, row_units());
        if (all > width) {
            break;
        }
        if (row_source(row_units()) >= end) {
            return end; // the rest of the line fits
        }
        if (span > WRAP_UNITS) { // marks without width: a row of as many as are laid out
            return row_source(row_units()) > from ? row_source(row_units()) : end;
        }
        span *= 2;
    }
    // The longest start that fits, looked for first where the units' average width puts it
    // (exactly there for a fixed-pitch font), then between what that told.
    const int32_t n = row_units();
    int32_t low = 0, high = n - 1;
    const int32_t guess = all > 0 ? static_cast<int32_t>(static_cast<int64_t>(n) * width / all) : 0;
    if (guess > 0 && guess < n) {
        if (row_prefix_width(document, guess) <= width) {
            low = guess;
            high = row_prefix_width(document, guess + 1) > width ? guess : high;
        } else {
            high = guess - 1;
        }
    }
    while (low < high) {
        const int32_t middle = (low + high + 1) / 2;
        if (row_prefix_width(document, middle) <= width) {
            low = middle;
        } else {
            high = middle - 1;
        }
    }
    return break_before(text, from, row_source(low), end);
}

// Wrap a line into fresh.
void wrap_line(Document* document, const WrapKey& key) {
    int32_t length = 0;
    const wchar_t* text = text_line(document, key.line, &length);
    fresh.key = key;
    fresh.count = 0;
    int32_t end = length < WRAP_UNITS ? length : WRAP_UNITS;
    end -= end < length && is_low_surrogate(text[end]) ? 1 : 0;
    int32_t from = 0;
    do {
        fresh.starts[fresh.count++] = from;
        from = from < end ? next_break(document, key.line, from, end, key.width) : end;
    } while (from < end && fresh.count <= WRAP_UNITS);
    fresh.starts[fresh.count] = end;
}

// The rows of a line at the window's width and font, wrapped unless kept from before.
Rows rows_of(Document* document, int32_t line) {
    int32_t length = 0;
    text_line(document, line, &length);
    const int32_t width = view_text_width(document) > 1 ? view_text_width(document) : 1;
    const WrapKey key = {document, line, length, width, view_row_height(document), generation};
    KeptRows& k = kept[line % KEPT_LINES];
    if (k.key == key) {
        return Rows{k.count, k.starts};
    }
    for (const LineRows& r : long_rows) {
        if (r.key == key) {
            return Rows{r.count, r.starts};
        }
    }
    wrap_line(document, key);
    if (fresh.count <= KEPT_ROWS) {
        k.key = key;
        k.count = fresh.count;
        std::copy(fresh.starts, fresh.starts + fresh.count + 1, k.starts);
        return Rows{k.count, k.starts};
    }
    LineRows& r = long_rows[long_next];
    long_next = (long_next + 1) % LONG_LINES;
    r.key = key;
    r.count = fresh.count;
    std::copy(fresh.starts, fresh.starts + fresh.count + 1, r.starts);
    return Rows{r.count, r.starts};
}

} // namespace

// ============================================================================
// Routines of the view
// ============================================================================

// The row of the screen a place of a line stands on, within its line.
int32_t wrap_row_of(Document* document, TextPoint at) {
    if (viewer.word_wrap == 0 || at.line < 0 || at.line >= document->lines.count) {
        return 0;
    }
    const Rows r = rows_of(document, at.line);
    int32_t row = 0;
    while (row + 1 < r.count && r.starts[row + 1] <= at.index) {
        ++row;
    }
    return row;
}

// Rows a line takes on the screen.
int32_t wrap_rows_of(Document* document, int32_t line) {
    if (viewer.word_wrap == 0 || line < 0 || line >= document->lines.count) {
        return 1;
    }
    return rows_of(document, line).count;
}

// The units [*from, *to) of a line that a row of it shows.
void wrap_row_units(Document* document, int32_t line, int32_t row, int32_t* from, int32_t* to) {
    if (viewer.word_wrap == 0) {
        *from = 0;
        text_line(document, line, to);
        return;
    }
    const Rows r = rows_of(document, line);
    row = row < 0 ? 0 : row >= r.count ? r.count - 1 : row;
    *from = r.starts[row];
    *to = r.starts[row + 1];
}

// Lay out a row of the screen; its first unit.
int32_t wrap_layout_row(Document* document, int32_t line, int32_t row) {
    if (viewer.word_wrap == 0) {
        row_layout(document, line);
        return 0;
    }
    int32_t from = 0, to = 0;
    wrap_row_units(document, line, row, &from, &to);
    row_layout_part(document, line, from, to);
    return from;
}

// Move a row of the screen by rows; false when it ran past the first or last row.
bool wrap_move(Document* document, ViewTop* at, int32_t rows) {
    const int32_t count = document->lines.count;
    if (viewer.word_wrap == 0) {
        const int32_t line = at->line + rows;
        at->line = line < 0 ? 0 : line > count - 1 ? (count > 0 ? count - 1 : 0) : line;
        at->row = 0;
        return at->line == line;
    }
    if (at->line >= count) {
        *at = ViewTop{count - 1, wrap_rows_of(document, count - 1) - 1};
        rows += rows > 0 ? 0 : 1;
    }
    if (at->line < 0 || count == 0) {
        *at = ViewTop{0, 0};
        return rows == 0;
    }
    const int32_t last = wrap_rows_of(document, at->line) - 1;
    at->row = at->row > last ? last : at->row < 0 ? 0 : at->row;
    for (; rows > 0; --rows) {
        if (at->row + 1 < wrap_rows_of(document, at->line)) {
            at->row += 1;
        } else if (at->line + 1 < count) {
            *at = ViewTop{at->line + 1, 0};
        } else {
            return false;
        }
    }
    for (; rows < 0; ++rows) {
        if (at->row > 0) {
            at->row -= 1;
        } else if (at->line > 0) {
            *at = ViewTop{at->line - 1, wrap_rows_of(document, at->line - 1) - 1};
        } else {
            return false;
        }
    }
    return true;
}

// The first row that shows the text's last row at the bottom of the page.
ViewTop wrap_last_top(Document* document) {
    const int32_t count = document->lines.count, rows = view_rows(document);
    if (viewer.word_wrap == 0) {
        return ViewTop{count - rows > 0 ? count - rows : 0, 0};
    }
    if (count == 0) {
        return ViewTop{0, 0};
    }
    ViewTop top = {count - 1, wrap_rows_of(document, count - 1) - 1};
    wrap_move(document, &top, rows > 1 ? -(rows - 1) : 0);
    return top;
}

// Forget the rows remembered.
void wrap_forget(Document*) {
    generation += 1;
}
