// Searching and taking text out of a text document: Find towards the bottom or the top from
// the selection, with or without case, whole words only or anywhere, wrapping round at the
// ends and saying so; a search that reaches the part of a large text not read yet carries
// on as reading goes on, so it never answers "Not found" for text still to come. Also the
// word under a double-click and the copy of the selection onto the clipboard.
// Relies on the runtime's clipboard and heap; USER32 for what a letter is and for folding
// case (the runtime has neither); the view (text_view.cpp) for selecting and showing.
#include "examples/viewer/viewer.h"

#include <cstdio>
#include <cwchar>

// ============================================================================
// Module state
// ============================================================================

namespace {

constexpr int32_t NOT_FOUND = -1;

wchar_t fold_table[65536]; // each UTF-16 unit in lower case, once made
bool fold_ready = false;

// ============================================================================
// Internal helpers
// ============================================================================

void make_fold_table() {
    for (int32_t i = 0; i < 65536; ++i) {
        fold_table[i] = static_cast<wchar_t>(i);
    }
    // NOTE: the runtime folds no case; USER32 folds every UTF-16 unit once, into a table.
    ::CharLowerBuffW(fold_table, 65536);
    fold_ready = true;
}

// 1 for a unit that belongs to a word: a letter, a digit, "_" or a mark set on the letter
// before it (a combining accent). Whole word and the double-click both ask this.
bool is_word(wchar_t c) {
    // NOTE: the runtime cannot tell letters; USER32 can, in every script, and KERNEL32 tells
    // the marks that take no room of their own.
    if (c == L'_' || ::IsCharAlphaNumericW(c) != 0) {
        return true;
    }
    WORD type = 0;
    return c >= 0x0300 && ::GetStringTypeW(CT_CTYPE3, &c, 1, &type) && (type & C3_NONSPACING) != 0;
}

bool is_blank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

// 1 when the search matches the line at a place.
bool matches_at(const wchar_t* line, int32_t length, int32_t at, int32_t size) {
    const FindState& find = viewer.find;
    for (int32_t k = 0; k < size; ++k) {
        const wchar_t a = line[at + k], b = find.text[k];
        if (find.match_case != 0 ? a != b : fold_table[a] != fold_table[b]) {
            return false;
        }
    }
    if (find.whole_word != 0 &&
        ((at > 0 && is_word(line[at - 1])) || (at + size < length && is_word(line[at + size])))) {
        return false;
    }
    return true;
}

// The first (or with last, the last) match in a line that starts from from to to, or -1.
int32_t match_in_line(const wchar_t* line, int32_t length, int32_t from, int32_t to, int32_t size,
                      bool last) {
    to = to > length - size ? length - size : to;
    from = from < 0 ? 0 : from;
    const wchar_t head =
        viewer.find.match_case != 0 ? viewer.find.text[0] : fold_table[viewer.find.text[0]];
    const int32_t step = last ? -1 : 1;
    for (int32_t at = last ? to : from; last ? at >= from : at <= to; at += step) {
        const wchar_t c = viewer.find.match_case != 0 ? line[at] : fold_table[line[at]];
        if (c == head && matches_at(line, length, at, size)) {
            return at;
        }
    }
    return NOT_FOUND;
}

// The first match at or after a place, in the lines before end; line -1 when none.
TextPoint search_down(const Document* document, TextPoint from, int32_t end, int32_t size) {
    for (int32_t line = from.line < 0 ? 0 : from.line; line < end; ++line) {
        int32_t length = 0;
        const wchar_t* text = text_line(document, line, &length);
        const int32_t at =
            match_in_line(text, length, line == from.line ? from.index : 0, INT32_MAX, size, false);
        if (at != NOT_FOUND) {
            return TextPoint{line, at};
        }
    }
    return TextPoint{NOT_FOUND, 0};
}

// The last match that starts before a place; line -1 when none.
TextPoint search_up(const Document* document, TextPoint before, int32_t size) {
    for (int32_t line = before.line; line >= 0; --line) {
        int32_t length = 0;
        const wchar_t* text = text_line(document, line, &length);
        const int32_t at = match_in_line(
            text, length, 0, line == before.line ? before.index - 1 : INT32_MAX, size, true);
        if (at != NOT_FOUND) {
            return TextPoint{line, at};
        }
    }
    return TextPoint{NOT_FOUND, 0};
}

// Lines of a text read to their ends.
int32_t complete_lines(const Document* document) {
    return document->lines.count - document->lines.open_line;
}

// The end of the text read so far.
TextPoint end_of(const Document* document) {
    const int32_t last = document->lines.count > 0 ? document->lines.count - 1 : 0;
    int32_t length = 0;
    text_line(document, last, &length);
    return TextPoint{last, length};
}

// Select a match, the page centred on it when it was off the page, and say where.
void show_found(Document* document, TextPoint at, int32_t size, const char* wrapped) {
    if (at.line < document->top || at.line > text_last_line_shown(document)) {
        document->top = at.line - text_rows(document) / 2;
        document->top_row = 0;
    }
    text_select(document, at, TextPoint{at.line, at.index + size});
    char status[96];
    std::snprintf(status, sizeof(status), "Found in line %d%s", at.line + 1, wrapped);
    viewer_find_status(status);
}

// Nothing found: the old highlight goes.
void show_not_found(Document* document, TextPoint from) {
    document->anchor = document->caret = from;
    text_draw(document);
    viewer_find_status("Not found");
}

void show_searching(const Document* document) {
    char status[64];
    const TextReader& reader = document->reader;
    std::snprintf(status, sizeof(status), "Searching: reading %d%%",
                  reader.size > 0 ? static_cast<int32_t>(reader.done * 100 / reader.size) : 100);
    viewer_find_status(status);
}

// The second part of a search, over the whole text once it is read: from the top down to
// where it began, or from the end up.
void search_round(Document* document, TextPoint from, int32_t up, int32_t size) {
    const TextPoint at =
        up != 0 ? search_up(document, TextPoint{document->lines.count - 1, INT32_MAX}, size)
                : search_down(document, TextPoint{0, 0}, from.line + 1, size);
    if (at.line != NOT_FOUND) {
        show_found(document, at, size, up != 0 ? " (wrapped to the end)" : " (wrapped to the top)");
    } else {
        show_not_found(document, from);
    }
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Find the search from the selection towards the top or the bottom, wrapping round.
void text_find(Document* document, int32_t up) {
    const int32_t size = static_cast<int32_t>(std::wcslen(viewer.find.text));
    if (document == nullptr || document->kind != DOC_TEXT || document->message != nullptr) {
        viewer_find_status("No text document");
        return;
    }
    if (size == 0) {
        viewer_find_status("Type the text to find");
        return;
    }
    if (!fold_ready) {
        make_fold_table();
    }
    TextPoint from = document->anchor, to = document->caret;
    if (to.line < from.line || (to.line == from.line && to.index < from.index)) {
        from = document->caret;
        to = document->anchor;
    }
    const bool selected = from.line != to.line || from.index != to.index;
    const int32_t last = text_last_line_shown(document);
    if (!selected && (from.line < document->top || from.line > last)) {
        // A caret off the page: the search starts from the page.
        from = to = TextPoint{document->top, 0};
        if (up != 0) {
            int32_t length = 0;
            text_line(document, last, &length);
            from = to = last < document->lines.count ? TextPoint{last, length} : end_of(document);
        }
    }
    const TextPoint start = up != 0 ? from : to;
    for (Document& other : viewer.documents) { // a search still waiting gives way
        if (other.kind == DOC_TEXT && other.pending.kind == PENDING_FIND) {
            other.pending.kind = PENDING_NONE;
        }
    }
    document->pending.kind = PENDING_NONE;
    const TextPoint at = up != 0 ? search_up(document, start, size)
                                 : search_down(document, start, complete_lines(document), size);
    if (at.line != NOT_FOUND) {
        show_found(document, at, size, "");
    } else if (document->reader.file != nullptr) {
        document->pending = PendingAction{PENDING_FIND, complete_lines(document), up, start};
        show_searching(document);
    } else {
        search_round(document, start, up, size);
    }
}

// Carry on a search that waits for the text being read.
void text_find_continue(Document* document) {
    PendingAction& pending = document->pending;
    const int32_t size = static_cast<int32_t>(std::wcslen(viewer.find.text));
    const bool read = document->reader.file == nullptr;
    if (size == 0) {
        pending.kind = PENDING_NONE;
        return;
    }
    if (pending.up == 0) {
        const TextPoint from =
            pending.line <= pending.from.line ? pending.from : TextPoint{pending.line, 0};
        const TextPoint at = search_down(document, from, complete_lines(document), size);
        pending.line = complete_lines(document);
        if (at.line != NOT_FOUND) {
            pending.kind = PENDING_NONE;
            show_found(document, at, size, "");
            return;
        }
    }
    if (read) {
        pending.kind = PENDING_NONE;
        search_round(document, pending.from, pending.up, size);
    } else {
        show_searching(document);
    }
}

// Put the selected text on the clipboard, lines ended by CR LF; 1 when placed.
int32_t text_copy(Document* document) {
    if (document == nullptr || document->kind != DOC_TEXT) {
        return 0;
    }
    TextPoint from = document->anchor, to = document->caret;
    if (to.line < from.line || (to.line == from.line && to.index < from.index)) {
        from = document->caret;
        to = document->anchor;
    }
    if (from.line == to.line && from.index == to.index) {
        return 0;
    }
    if (document->reader.file != nullptr) {
        // A text still being read: the copy is made once it is read whole (the status line
        // shows how far), so that it holds what the selection is then, never part of a line.
        document->copy_waiting = 1;
        return 1;
    }
    size_t units = 0;
    for (int32_t line = from.line; line <= to.line; ++line) {
        int32_t length = 0;
        text_line(document, line, &length);
        const int32_t end = line == to.line ? to.index : length;
        units += static_cast<size_t>(end - (line == from.line ? from.index : 0)) +
                 (line < to.line ? 2 : 0);
    }
    // The whole text is the whole file: its final line end too, when it has one.
    const TextPoint last = end_of(document);
    const bool final_end = document->lines.ended != 0 && from.line == 0 && from.index == 0 &&
                           to.line == last.line && to.index == last.index;
    units += final_end ? 2 : 0;
    // UTF-8 takes at most three bytes for a unit, and a count must fit 32 bits. Each line
    // goes straight into the block as UTF-8 (a line never splits a surrogate pair), so a
    // long selection is copied once before the clipboard takes it.
    const size_t room = units * 3;
    auto* utf8 = units <= INT32_MAX / 3 ? static_cast<char*>(heap_alloc(room + 1)) : nullptr;
    if (utf8 == nullptr) {
        return 0;
    }
    size_t used = 0;
    for (int32_t line = from.line; line <= to.line; ++line) {
        int32_t length = 0;
        const wchar_t* text = text_line(document, line, &length);
        const int32_t start = line == from.line ? from.index : 0;
        const int32_t end = line == to.line ? to.index : length;
        if (end > start) {
            used += static_cast<size_t>(
                ::WideCharToMultiByte(CP_UTF8, 0, text + start, end - start, utf8 + used,
                                      static_cast<int32_t>(room - used), nullptr, nullptr));
        }
        if (line < to.line || final_end) {
            utf8[used++] = '\r';
            utf8[used++] = '\n';
        }
    }
    const int32_t placed = clipboard_set_text(&document->window, utf8, static_cast<int32_t>(used));
    heap_free(utf8);
    return placed;
}

// Select the word at a place: its letters and digits, a run of blanks, or one character.
void text_select_word(Document* document, TextPoint at) {
    int32_t length = 0;
    const wchar_t* text = text_line(document, at.line, &length);
    if (length == 0) {
        text_select(document, at, at);
        return;
    }
    const int32_t i = at.index < length ? at.index : length - 1;
    int32_t start = i, end = i + 1;
    if (is_word(text[i]) || is_blank(text[i])) {
        const bool word = is_word(text[i]);
        while (start > 0 && (word ? is_word(text[start - 1]) : is_blank(text[start - 1]))) {
            --start;
        }
        while (end < length && (word ? is_word(text[end]) : is_blank(text[end]))) {
            ++end;
        }
    } else if (is_high_surrogate(text[i]) && end < length) {
        ++end; // both halves of a pair
    }
    text_select(document, TextPoint{at.line, start}, TextPoint{at.line, end});
}
