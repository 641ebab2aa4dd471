// The viewer's documents: one MDI child per file or sample, showing text (text.cpp and
// text_view.cpp) on a backing bitmap, or a picture on a window without one that redraws
// it on each paint request, both scrolled by bar, key and wheel; magnified copies of a
// text's page on a scaled surface; and their release.
// Relies on the runtime's windows, images, scroll bars and resources. The frame, its menus
// and the program body live in frame.cpp.
#include "examples/viewer/viewer.h"

#include <cstring>

// ============================================================================
// Types
// ============================================================================

namespace {

// A picture file's extension and the image kind that loads it.
struct PictureExtension {
    const char* extension; // upper case, with the dot
    int32_t kind;
};

// ============================================================================
// Module state
// ============================================================================

constexpr PictureExtension PICTURE_EXTENSIONS[] = {
    {".BMP", IMAGE_BITMAP_KIND}, {".ICO", IMAGE_ICON_KIND}, {".EMF", IMAGE_METAFILE},
    {".GIF", IMAGE_PICTURE},     {".JPG", IMAGE_PICTURE},   {".JPEG", IMAGE_PICTURE},
    {".PNG", IMAGE_PICTURE},
};

constexpr uint32_t SCROLLED = WS_VSCROLL | WS_HSCROLL;
constexpr int32_t PIXEL_STEP = 16; // pixels a picture moves for one line of a scroll bar or key

// ============================================================================
// Internal helpers
// ============================================================================

// The part of a path after its last folder separator.
const char* base_name(const char* path) {
    const char* name = path;
    for (const char* p = path; *p != '\0'; ++p) {
        if (*p == '\\' || *p == '/' || *p == ':') {
            name = p + 1;
        }
    }
    return name;
}

// The image kind for a file's extension, or -1 for a file that is not a picture.
int32_t picture_kind(const char* name) {
    const char* dot = nullptr;
    for (const char* p = name; *p != '\0'; ++p) {
        if (*p == '.') {
            dot = p;
        }
    }
    if (dot == nullptr) {
        return -1;
    }
    char* extension = string_upper(dot);
    int32_t kind = -1;
    for (const PictureExtension& entry : PICTURE_EXTENSIONS) {
        if (std::strcmp(extension, entry.extension) == 0) {
            kind = entry.kind;
        }
    }
    heap_free(extension);
    return kind;
}

// A free document slot, cleared, named, or null when all are in use.
Document* free_document(const char* name) {
    for (Document& document : viewer.documents) {
        if (document.kind == DOC_FREE) {
            document = Document{};
            document.name = string_duplicate(name);
            document.match_line = -1;
            return &document;
        }
    }
    return nullptr;
}

// Give back what a document holds besides its window and free its slot.
void release_document(Document* document) {
    text_read_end(document);
    text_release(document);
    image_release(document->image, document->image_kind);
    document->image = 0;
    for (char** text : {&document->message, &document->name}) {
        if (*text != nullptr) {
            heap_free(*text);
            *text = nullptr;
        }
    }
    document->kind = DOC_FREE;
}

intptr_t document_event();

// Open the document's window: a new MDI child of the frame, placed a step further down
// and to the right than the one before. The slot is given back when that fails.
bool open_document_window(Document* document, int32_t kind, uint32_t flags) {
    constexpr uint32_t DOCUMENT_STYLE = WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    const int32_t step = 24 * (viewer.opened % 10);
    document->kind = kind;
    if (open_window(&document->window, step, step, DOCUMENT_WIDTH, DOCUMENT_HEIGHT,
                    DOCUMENT_STYLE | flags, &viewer.frame, document->name, document_event) == 0) {
        release_document(document);
        return false;
    }
    viewer.opened++;
    viewer_add_shortcuts(&document->window);
    return true;
}

// The picture's scroll bars: its size against the client area.
void update_picture_bars(Document* document) {
    int32_t left = 0, top = 0, width = 0, height = 0;
    get_client_size(&document->window, &left, &top, &width, &height);
    set_scroll_bar(&document->window, SB_HORZ, document->left, document->image_width, width);
    set_scroll_bar(&document->window, SB_VERT, document->top, document->image_height, height);
}

// Draw a picture document: the picture upright at its natural size, scrolled, or the line
// saying why there is none. Called for every paint request: the window keeps no picture.
void draw_picture_document(Document* document) {
    if (document->image != 0) {
        image_draw(&document->window, document->image, document->image_kind, -document->left,
                   -document->top, document->image_width, document->image_height, 0);
    } else if (document->message != nullptr) {
        move_to(&document->window, TEXT_MARGIN, TEXT_MARGIN);
        text_print(2, PRINT_WINDOW, &document->window, PRINT_TEXT, document->message);
    }
}

// Scroll a picture to a pixel position kept inside it, and show it there.
void scroll_picture(Document* document, int32_t left, int32_t top) {
    int32_t x = 0, y = 0, width = 0, height = 0;
    get_client_size(&document->window, &x, &y, &width, &height);
    const int32_t last_left = document->image_width - width;
    const int32_t last_top = document->image_height - height;
    left = left > last_left ? last_left : left;
    top = top > last_top ? last_top : top;
    left = left < 0 ? 0 : left;
    top = top < 0 ? 0 : top;
    if (left != document->left || top != document->top) {
        document->left = left;
        document->top = top;
        set_background_color(&document->window, document->window.back_color); // repaints
    }
    update_picture_bars(document);
}

// A scroll code's new position, for a picture's bar of a page.
int32_t scrolled_to(int32_t code, int32_t position, int32_t page, WindowRecord* window,
                    int32_t bar) {
    switch (code) {
    case SB_LINEUP:
        return position - PIXEL_STEP;
    case SB_LINEDOWN:
        return position + PIXEL_STEP;
    case SB_PAGEUP:
        return position - page;
    case SB_PAGEDOWN:
        return position + page;
    case SB_TOP:
        return 0;
    case SB_BOTTOM:
        return INT32_MAX / 2;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
        return get_scroll_position(window, bar, 1);
    default:
        return position;
    }
}

// Handle a picture's scroll, key and wheel events; 1 when handled.
int32_t picture_event(Document* document) {
    const EventState& e = event_state;
    int32_t x = 0, y = 0, width = 0, height = 0;
    get_client_size(&document->window, &x, &y, &width, &height);
    const int32_t code = static_cast<int32_t>(e.event_wparam);
    switch (e.event_class) {
    case WM_VSCROLL:
        scroll_picture(document, document->left,
                       scrolled_to(code, document->top, height, &document->window, SB_VERT));
        return 1;
    case WM_HSCROLL:
        scroll_picture(document,
                       scrolled_to(code, document->left, width, &document->window, SB_HORZ),
                       document->top);
        return 1;
    case WM_MOUSEWHEEL:
        scroll_picture(document, document->left,
                       document->top - static_cast<int16_t>(HIWORD(e.event_wparam)) / 120 *
                                           WHEEL_LINES * PIXEL_STEP);
        return 1;
    case WM_KEYDOWN: {
        const int32_t keys[][3] = {{VK_UP, 0, -PIXEL_STEP},
                                   {VK_DOWN, 0, PIXEL_STEP},
                                   {VK_LEFT, -PIXEL_STEP, 0},
                                   {VK_RIGHT, PIXEL_STEP, 0},
                                   {VK_PRIOR, 0, -height},
                                   {VK_NEXT, 0, height},
                                   {VK_HOME, -INT32_MAX / 2, -INT32_MAX / 2},
                                   {VK_END, INT32_MAX / 2, INT32_MAX / 2}};
        for (const auto& key : keys) {
            if (static_cast<int32_t>(e.event_wparam) == key[0]) {
                scroll_picture(document, document->left + key[1], document->top + key[2]);
                return 1;
            }
        }
        return 0;
    }
    case EV_SIZE:
        scroll_picture(document, document->left, document->top);
        return 0;
    default:
        return 0;
    }
}

// Open a picture document for an image loaded already (0 when it could not be).
Document* open_picture(ImageHandle image, int32_t kind, const char* caption) {
    Document* document = free_document(caption);
    if (document == nullptr) {
        image_release(image, kind);
        return nullptr;
    }
    document->image = image;
    document->image_kind = kind;
    if (image == 0) {
        document->message = string_concat({"Cannot load ", caption});
    }
    image_size(image, kind, &document->image_width, &document->image_height);
    if (!open_document_window(document, DOC_PICTURE, WF_NO_BACKING | SCROLLED)) {
        return nullptr;
    }
    update_picture_bars(document);
    draw_picture_document(document);
    return document;
}

// Handler of every document window.
intptr_t document_event() {
    Document* document = viewer_document_of(event_state.event_window);
    if (document == nullptr) {
        return 0;
    }
    switch (event_state.event_class) {
    case EV_CLOSE_REQUEST:
        viewer_close_document(document);
        return 1;
    case EV_MENU_PICK:
        // The shortcuts of a document window: the frame's commands, on this document.
        return viewer_command(event_state.menu_id, document);
    case WM_PAINT:
        // Only windows without a backing bitmap see paint requests: the pictures.
        draw_picture_document(document);
        return 1;
    default:
        if (document->kind == DOC_TEXT) {
            return text_view_event(document);
        }
        return document->kind == DOC_PICTURE ? picture_event(document) : 0;
    }
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Open a file in a new document window: a picture by its extension, else text.
Document* viewer_open_file(const char* path) {
    const char* name = base_name(path);
    const int32_t kind = picture_kind(name);
    if (kind >= 0) {
        return open_picture(image_load(path, TAG_STRING, kind), kind, name);
    }
    Document* document = free_document(name);
    if (document == nullptr || !open_document_window(document, DOC_TEXT, SCROLLED)) {
        return nullptr;
    }
    text_read_begin(document, path);
    text_draw(document, &document->window);
    text_scroll_to(document, 0, 0);
    return document;
}

// Open the two built-in samples: a picture and a text, both "RTIMAGE" resources.
void viewer_open_samples() {
    open_picture(image_load(SAMPLE_PICTURE, TAG_STRING, IMAGE_PICTURE), IMAGE_PICTURE,
                 "Sample picture");
    Document* document = free_document("Sample text");
    if (document == nullptr || !open_document_window(document, DOC_TEXT, SCROLLED)) {
        return;
    }
    void* block = nullptr;
    if (resource_load(SAMPLE_TEXT, TAG_STRING, "RTIMAGE", TAG_STRING, &block, TAG_BLOCK) == 0) {
        document->message = string_concat({"Cannot load ", SAMPLE_TEXT});
    } else {
        // The block is one byte longer than the resource and zeroed: the text ends there.
        const char* text = static_cast<const char*>(block);
        text_add_bytes(document, text, static_cast<uint32_t>(string_length(text)));
        global_free(block);
    }
    text_draw(document, &document->window);
    text_scroll_to(document, 0, 0);
}

// Open a magnified copy of a text document's page: drawn at its size into a scaled surface
// of half the document's client area, then shown twice as large.
Document* viewer_open_zoom(Document* source) {
    if (source == nullptr || source->kind != DOC_TEXT) {
        return nullptr;
    }
    const int32_t step = 24 * (viewer.opened % 10); // where the window is placed
    char* caption = string_concat({"Zoom: ", source->name});
    Document* zoom = free_document(caption);
    heap_free(caption);
    if (zoom == nullptr || !open_document_window(zoom, DOC_ZOOM, WF_BACKING_FIT_CLIENT)) {
        return nullptr;
    }
    // The scaled surface keeps the client size it was made with: the page drawn into it
    // at the text's own size doubles once the client area does.
    int32_t left = 0, top = 0, width = 0, height = 0;
    get_client_size(&zoom->window, &left, &top, &width, &height);
    text_draw(source, &zoom->window);
    set_window_rect(&zoom->window, step, step, DOCUMENT_WIDTH + width, DOCUMENT_HEIGHT + height, 0);
    return zoom;
}

// Close a document window and release what it holds.
void viewer_close_document(Document* document) {
    if (document == nullptr || document->kind == DOC_FREE) {
        return;
    }
    close_window(&document->window);
    release_document(document);
}

// The document whose window this is, or null.
Document* viewer_document_of(WindowRecord* record) {
    for (Document& document : viewer.documents) {
        if (&document.window == record && document.kind != DOC_FREE) {
            return &document;
        }
    }
    return nullptr;
}

// Number of open documents.
int32_t viewer_document_count() {
    int32_t count = 0;
    for (const Document& document : viewer.documents) {
        count += document.kind != DOC_FREE ? 1 : 0;
    }
    return count;
}

// Redraw every text document.
void viewer_redraw_texts() {
    for (Document& document : viewer.documents) {
        if (document.kind == DOC_TEXT) {
            text_draw(&document, &document.window);
        }
    }
}
