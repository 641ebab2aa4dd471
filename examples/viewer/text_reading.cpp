// Reading large text files between events: each document being read is read on a slice at
// a time, its page or status line redrawn, and what waited for more of the text carried out
// (Ctrl+End, Go to line, Find, Select all, Copy).
// Relies on the runtime's dialogs for the Go to line box; the reading itself is text.cpp's.
#include "examples/viewer/text_view.h"

#include <cstdio>

namespace {

// ============================================================================
// Internal helpers
// ============================================================================

// Go to line found the line it waited for, or the text ended without it.
void carry_out_line(Document* document) {
    PendingAction& pending = document->pending;
    const TextLines& lines = document->lines;
    if (pending.line < lines.count - lines.open_line || !view_reading(document)) {
        pending.kind = PENDING_NONE;
        if (text_go_to_line(document, pending.line) == 0) {
            char text[96];
            std::snprintf(text, sizeof(text), "This document has lines 1 to %d.", lines.count);
            message_box(&viewer.frame, text, "Go to line", MB_OK | MB_ICONEXCLAMATION);
        }
    }
}

// Carry out what waited for more of the text, after a slice of reading.
void carry_out_pending(Document* document) {
    PendingAction& pending = document->pending;
    switch (pending.kind) {
    case PENDING_END:
        view_scroll(document, ViewTop{document->lines.count, 0}, document->left);
        pending.kind = view_reading(document) ? PENDING_END : PENDING_NONE;
        break;
    case PENDING_LINE:
        carry_out_line(document);
        break;
    case PENDING_FIND:
        text_find_continue(document);
        break;
    case PENDING_ALL:
        document->caret = view_text_end(document);
        text_draw(document);
        pending.kind = view_reading(document) ? PENDING_ALL : PENDING_NONE;
        break;
    default:
        break;
    }
    if (document->copy_waiting != 0 && !view_reading(document)) {
        document->copy_waiting = 0;
        text_copy(document);
    }
}

// Read a document on for about budget_ms and show what changed.
void read_document(Document* document, uint32_t budget_ms) {
    // The page is drawn again only while it was not full, or when the text turned out to
    // be binary; otherwise the status line and the bars follow.
    const bool full = text_last_line_shown(document) < document->lines.count - 1;
    text_read_more(document, budget_ms);
    if (!full || document->message != nullptr) {
        text_draw(document);
    } else {
        view_draw_status(document);
    }
    view_update_scroll_bars(document);
    if (document->message == nullptr) {
        carry_out_pending(document);
        return;
    }
    // The text turned out to be binary: nothing waits for it any more.
    if (document->pending.kind == PENDING_FIND) {
        viewer_find_status("No text document");
    }
    document->pending.kind = PENDING_NONE;
    document->copy_waiting = 0;
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// 1 while any document is being read (and reading is not held).
int32_t viewer_reading() {
    if (text_reading_held()) {
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
        if (document.kind == DOC_TEXT && document.reader.file != nullptr) {
            read_document(&document, budget_ms);
        }
    }
}
