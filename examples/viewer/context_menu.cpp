// The documents' context menus: on a text Copy, Select all and Find..., on a picture Fit to
// window and the zoom, opened by a right-click at the mouse or from the keyboard (the
// context-menu key, Shift+F10) at the caret or the view's corner, with the commands that
// cannot act now greyed. A picked command is carried out as the menus' own.
// Relies on the runtime's popup menus and the place of WM_CONTEXTMENU; the caret's place
// comes from the view's rows of the screen (text_view.h), wrapped or not.
#include "examples/viewer/text_view.h"

#include <iterator>

namespace {

// ============================================================================
// Types
// ============================================================================

// An item of a context menu: a null text makes a separator.
struct ContextItem {
    const char* text;
    UINT_PTR command;
};

// ============================================================================
// Module state
// ============================================================================

const ContextItem TEXT_ITEMS[] = {{"&Copy\tCtrl+C", MENU_COPY},
                                  {"Select &all\tCtrl+A", MENU_SELECT_ALL},
                                  {nullptr, 0},
                                  {"&Find...\tCtrl+F", MENU_FIND}};
const ContextItem PICTURE_ITEMS[] = {{"&Fit to window", MENU_FIT},
                                     {nullptr, 0},
                                     {"Zoom &in\tCtrl++", MENU_ZOOM_IN},
                                     {"Zoom &out\tCtrl+-", MENU_ZOOM_OUT},
                                     {"&Actual size\tCtrl+0", MENU_ACTUAL_SIZE}};

// ============================================================================
// Internal helpers
// ============================================================================

// Whether a command of the context menu can act on the document now.
bool applies(const Document* document, UINT_PTR command) {
    const bool shown = document->message == nullptr; // not a line saying why there is nothing
    if (command == MENU_COPY) {
        return shown && (document->anchor.line != document->caret.line ||
                         document->anchor.index != document->caret.index);
    }
    return shown;
}

// Where a context menu opened from the keyboard goes, in the document's client pixels:
// below the caret when its row shows, else at the view's top-left corner.
void keyboard_point(Document* document, int32_t* x, int32_t* y) {
    *x = TEXT_MARGIN;
    *y = TEXT_MARGIN;
    if (document->kind != DOC_TEXT || document->message != nullptr || document->row_height <= 0) {
        return;
    }
    const TextPoint caret = document->caret;
    const ViewTop top = {document->top, document->top_row};
    const ViewTop at = {caret.line, wrap_row_of(document, caret)};
    const int32_t rows = view_rows(document);
    if (at.line < top.line || (at.line == top.line && at.row < top.row)) {
        return;
    }
    const int32_t row = view_distance(document, top, at, rows);
    if (row >= rows) {
        return;
    }
    const int32_t width = view_client_width(&document->window);
    wrap_layout_row(document, at.line, at.row);
    const int32_t place = TEXT_MARGIN + row_x_of(document, caret.index) - document->left;
    *x = place >= 0 && place < width ? place : TEXT_MARGIN;
    *y = TEXT_MARGIN + (row + 1) * document->row_height;
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// The context menu of a document, greyed and ticked as its commands apply now.
HMENU viewer_context_items(Document* document) {
    HMENU menu = create_menu(1);
    const bool text = document->kind == DOC_TEXT;
    const ContextItem* items = text ? TEXT_ITEMS : PICTURE_ITEMS;
    const size_t count = text ? std::size(TEXT_ITEMS) : std::size(PICTURE_ITEMS);
    for (size_t i = 0; i < count; ++i) {
        const ContextItem& item = items[i];
        uint32_t flags = MF_SEPARATOR;
        if (item.text != nullptr) {
            flags = MF_STRING | (applies(document, item.command) ? 0 : MF_GRAYED) |
                    (item.command == MENU_FIT && document->fit != 0 ? MF_CHECKED : 0);
        }
        append_menu_item(menu, item.text != nullptr ? item.text : "", flags, item.command);
    }
    return menu;
}

// Show a document's context menu where the event asks and carry out the command picked.
int32_t viewer_context_menu(Document* document) {
    if (document == nullptr || document->kind == DOC_FREE) {
        return 0;
    }
    int32_t x = 0, y = 0;
    if (context_menu_point(&document->window, &x, &y) == 1) {
        int32_t left = 0, top = 0, width = 0, height = 0;
        get_client_size(&document->window, &left, &top, &width, &height);
        if (x < 0 || y < 0 || x >= width || y >= height) {
            return 0; // its caption or border: left to the platform
        }
    } else {
        keyboard_point(document, &x, &y);
    }
    HMENU menu = viewer_context_items(document);
    const int32_t command = popup_menu(&document->window, menu, x, y);
    destroy_menu(menu);
    if (command != 0 && viewer_document_of(&document->window) == document) {
        viewer_command(command, document);
    }
    return 1;
}
