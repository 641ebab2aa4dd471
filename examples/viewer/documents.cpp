// The viewer's documents: one MDI child per file or sample, showing text (text.cpp and
// text_view.cpp) on a backing bitmap, or a picture on a window without one that redraws
// it on each paint request, both scrolled by bar, key and wheel and scaled up to 400%
// (texts from 50%, pictures from 10%, and fitted to their window); each with a status line, or the
// line saying why its file does not open (reasons.cpp); their place when they open, and their
// release. Relies on the runtime's windows, images, fonts, scroll bars and resources; GDI32 for
// bitmaps and icons drawn at another size than their own. The frame, its menus and the
// program body live in frame.cpp.
#include "examples/viewer/viewer.h"

#include <cstdio>
#include <cstring>

// ============================================================================
// Types
// ============================================================================

namespace {

// A picture file's extension, the image kind that loads it and what the status line calls it.
struct PictureExtension {
    const char* extension; // upper case, with the dot
    int32_t kind;
    const char* format;
};

// ============================================================================
// Module state
// ============================================================================

constexpr PictureExtension PICTURE_EXTENSIONS[] = {
    {".BMP", IMAGE_BITMAP_KIND, "BMP bitmap"},     {".ICO", IMAGE_ICON_KIND, "icon"},
    {".EMF", IMAGE_METAFILE, "enhanced metafile"}, {".GIF", IMAGE_PICTURE, "GIF picture"},
    {".JPG", IMAGE_PICTURE, "JPEG picture"},       {".JPEG", IMAGE_PICTURE, "JPEG picture"},
    {".PNG", IMAGE_PICTURE, "PNG picture"},
};

// The scales Zoom in and Zoom out step through, in percent (texts from ZOOM_MIN, pictures
// from PICTURE_ZOOM_MIN, both to ZOOM_MAX).
constexpr int32_t ZOOM_STEPS[] = {10, 15, 20, 25, 33, 50, 67, 75, 100, 125, 150, 200, 300, 400};

constexpr uint32_t SCROLLED = WS_VSCROLL | WS_HSCROLL;
constexpr int32_t PIXEL_STEP = 16;    // pixels a picture moves for one line of a scroll bar or key
constexpr int32_t CASCADE_PLACES = 6; // places new documents take in turn
constexpr int32_t SMALLEST_WIDTH = 320, SMALLEST_HEIGHT = 200; // of a new document
constexpr COLORREF STATUS_INK = RGB(0, 0, 0);
constexpr COLORREF STATUS_PAPER = RGB(255, 255, 255);

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

// The entry of a file's extension, or null for a file that is not a picture.
const PictureExtension* picture_extension(const char* name) {
    const char* dot = nullptr;
    for (const char* p = name; *p != '\0'; ++p) {
        if (*p == '.') {
            dot = p;
        }
    }
    if (dot == nullptr) {
        return nullptr;
    }
    char* extension = string_upper(dot);
    const PictureExtension* found = nullptr;
    for (const PictureExtension& entry : PICTURE_EXTENSIONS) {
        if (std::strcmp(extension, entry.extension) == 0) {
            found = &entry;
        }
    }
    heap_free(extension);
    return found;
}

// A free document slot, cleared, named, or null when all are in use.
Document* free_document(const char* name) {
    for (Document& document : viewer.documents) {
        if (document.kind == DOC_FREE) {
            document = Document{};
            document.name = string_duplicate(name);
            document.zoom = 100;
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

// Open the document's window: a new MDI child of the frame as large as the frame's client
// area leaves room for, a step further down and to the right than the one before, or
// maximised when the active document is (or, with none, when the documents were when the
// viewer last ended). The slot is given back when that fails.
bool open_document_window(Document* document, int32_t kind, uint32_t flags) {
    constexpr uint32_t DOCUMENT_STYLE = WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    // The room of the MDI client's scroll bars is left too: they may show (as they do at
    // first), and a document reaching under them would keep them there.
    int32_t x = 0, y = 0, width = 0, height = 0;
    get_client_size(&viewer.frame, &x, &y, &width, &height);
    // NOTE: the runtime does not give the sizes of the platform's parts; USER32 does.
    width -= CASCADE_STEP * (CASCADE_PLACES - 1) + ::GetSystemMetrics(SM_CXVSCROLL);
    height -= CASCADE_STEP * (CASCADE_PLACES - 1) + ::GetSystemMetrics(SM_CYHSCROLL);
    width = width < SMALLEST_WIDTH ? SMALLEST_WIDTH : width;
    height = height < SMALLEST_HEIGHT ? SMALLEST_HEIGHT : height;
    const int32_t step = CASCADE_STEP * (viewer.opened % CASCADE_PLACES);
    WindowRecord* active = mdi_active(&viewer.frame);
    // NOTE: the runtime does not say whether a window is maximised; USER32 does.
    if (active != nullptr ? ::IsZoomed(active->hwnd) != 0 : viewer.place.documents_maximized != 0) {
        flags |= WS_MAXIMIZE;
    }
    document->kind = kind;
    if (open_window(&document->window, step, step, width, height, DOCUMENT_STYLE | flags,
                    &viewer.frame, document->name, document_event) == 0) {
        release_document(document);
        return false;
    }
    if ((flags & WS_MAXIMIZE) != 0) {
        // NOTE: the MDI client set its scroll bars for the document's place before it was
        // maximised; a maximised document leaves it nothing to scroll. USER32 hides them.
        ::ShowScrollBar(::GetParent(document->window.hwnd), SB_BOTH, FALSE);
    }
    viewer.opened++;
    viewer_add_shortcuts(&document->window);
    return true;
}

// Height of the status line at the bottom of a document.
int32_t status_height(Document* document) {
    int32_t height = 0;
    measure_text_utf8(&document->window, "Ag", 2, nullptr, &height);
    return (height > 0 ? height : 16) + 2 * TEXT_MARGIN;
}

// The part of a picture document's client area above its status line.
void picture_area(Document* document, int32_t* width, int32_t* height) {
    int32_t x = 0, y = 0;
    get_client_size(&document->window, &x, &y, width, height);
    *height -= status_height(document);
    *height = *height > 1 ? *height : 1;
    *width = *width > 1 ? *width : 1;
}

// The picture's size on the screen: scaled by the zoom, or fitted to the area above the
// status line with its aspect kept (the zoom then says how much).
void shown_size(Document* document, int32_t* width, int32_t* height) {
    const int32_t natural_width = document->image_width > 0 ? document->image_width : 1;
    const int32_t natural_height = document->image_height > 0 ? document->image_height : 1;
    if (document->fit == 0) {
        *width = ::MulDiv(natural_width, document->zoom, 100);
        *height = ::MulDiv(natural_height, document->zoom, 100);
    } else {
        int32_t area_width = 0, area_height = 0;
        picture_area(document, &area_width, &area_height);
        if (static_cast<int64_t>(area_width) * natural_height <=
            static_cast<int64_t>(area_height) * natural_width) {
            *width = area_width;
            *height = ::MulDiv(natural_height, area_width, natural_width);
            document->zoom = ::MulDiv(area_width, 100, natural_width);
        } else {
            *height = area_height;
            *width = ::MulDiv(natural_width, area_height, natural_height);
            document->zoom = ::MulDiv(area_height, 100, natural_height);
        }
        // The zoom is the scale itself, not the rounded width over the natural one.
    }
    *width = *width > 1 ? *width : 1;
    *height = *height > 1 ? *height : 1;
}

// The picture's scroll bars: its shown size against the area above the status line.
void update_picture_bars(Document* document) {
    int32_t width = 0, height = 0, area_width = 0, area_height = 0;
    shown_size(document, &width, &height);
    picture_area(document, &area_width, &area_height);
    // A picture that fits (or is fitted) hides its bars: its last pixel is width - 1.
    set_scroll_bar(&document->window, SB_HORZ, document->left, width - 1, area_width);
    set_scroll_bar(&document->window, SB_VERT, document->top, height - 1, area_height);
}

// Draw a bitmap or an icon at another size than its own.
void draw_scaled(Document* document, int32_t x, int32_t y, int32_t width, int32_t height) {
    // NOTE: image_draw copies bitmaps and icons at their own size; scaled, they are drawn
    // with GDI32 and USER32 on the window's context.
    HDC dc = begin_draw(&document->window);
    if (dc == nullptr) {
        return;
    }
    if (document->image_kind == IMAGE_ICON_KIND) {
        ::DrawIconEx(dc, x, y, reinterpret_cast<HICON>(document->image), width, height, 0, nullptr,
                     DI_NORMAL);
    } else {
        HDC source = ::CreateCompatibleDC(dc);
        if (source != nullptr) {
            HGDIOBJ old = ::SelectObject(source, reinterpret_cast<HBITMAP>(document->image));
            ::SetStretchBltMode(dc, width < document->image_width ? HALFTONE : COLORONCOLOR);
            ::SetBrushOrgEx(dc, 0, 0, nullptr);
            ::StretchBlt(dc, x, y, width, height, source, 0, 0, document->image_width,
                         document->image_height, SRCCOPY);
            ::SelectObject(source, old);
            ::DeleteDC(source);
        }
    }
    end_draw(&document->window, dc, 1);
}

// The status line of a picture: its size, what it is, and its scale.
void draw_picture_status(Document* document) {
    int32_t x = 0, y = 0, width = 0, height = 0;
    get_client_size(&document->window, &x, &y, &width, &height);
    const int32_t status = status_height(document);
    draw_rect(&document->window, 0, height - status, width, status, document->window.back_color,
              document->window.back_color);
    char text[128];
    std::snprintf(text, sizeof(text), "%d x %d %s, %s%d%%", document->image_width,
                  document->image_height, document->image_format,
                  document->fit != 0 ? "fitted at " : "", document->zoom);
    set_text_color(&document->window, STATUS_INK, STATUS_PAPER);
    move_to(&document->window, TEXT_MARGIN, height - status + TEXT_MARGIN);
    text_print_utf8(&document->window, text, -1);
}

// Draw a picture document: the picture upright at its scale, scrolled, with its status line,
// or the line saying why there is none. Called for every paint request: the window keeps
// no picture.
void draw_picture_document(Document* document) {
    WindowRecord* window = &document->window;
    if (document->image == 0) {
        if (document->message != nullptr) {
            move_to(window, TEXT_MARGIN, TEXT_MARGIN);
            text_print(2, PRINT_WINDOW, window, PRINT_TEXT, document->message);
        }
        return;
    }
    int32_t width = 0, height = 0;
    shown_size(document, &width, &height);
    const bool natural = width == document->image_width && height == document->image_height;
    if (natural || document->image_kind == IMAGE_METAFILE ||
        document->image_kind == IMAGE_PICTURE) {
        image_draw(window, document->image, document->image_kind, -document->left, -document->top,
                   natural && document->image_kind == IMAGE_PICTURE ? 0 : width,
                   natural && document->image_kind == IMAGE_PICTURE ? 0 : height, 0);
    } else {
        draw_scaled(document, -document->left, -document->top, width, height);
    }
    draw_picture_status(document);
}

// Scroll a picture to a pixel position kept inside it, and show it there.
void scroll_picture(Document* document, int32_t left, int32_t top) {
    int32_t width = 0, height = 0, area_width = 0, area_height = 0;
    shown_size(document, &width, &height);
    picture_area(document, &area_width, &area_height);
    left = left > width - area_width ? width - area_width : left;
    top = top > height - area_height ? height - area_height : top;
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
    int32_t width = 0, height = 0;
    picture_area(document, &width, &height);
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
                       document->top - static_cast<int16_t>(HIWORD(e.event_wparam)) / WHEEL_DELTA *
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
        if (document->fit != 0) {
            set_background_color(&document->window, document->window.back_color); // repaints
        }
        scroll_picture(document, document->left, document->top);
        return 0;
    default:
        return 0;
    }
}

// Open a picture document for an image loaded already (0 when it could not be), or one
// showing the line why (a heap string it takes, or null for "Cannot load").
Document* open_picture(ImageHandle image, const PictureExtension& extension, const char* caption,
                       char* why = nullptr) {
    Document* document = free_document(caption);
    if (document == nullptr) {
        image_release(image, extension.kind);
        heap_free(why);
        return nullptr;
    }
    document->image = image;
    document->image_kind = extension.kind;
    document->image_format = extension.format;
    if (image == 0) {
        document->message = why != nullptr ? why : string_concat({"Cannot load ", caption});
    } else {
        heap_free(why);
    }
    image_size(image, extension.kind, &document->image_width, &document->image_height);
    if (!open_document_window(document, DOC_PICTURE, WF_NO_BACKING | SCROLLED)) {
        return nullptr;
    }
    set_window_font(&document->window, &viewer.font);
    update_picture_bars(document);
    set_background_color(&document->window, document->window.back_color); // repaints
    return document;
}

// Open a text document's window, ready for its lines.
Document* open_text(const char* caption) {
    Document* document = free_document(caption);
    if (document == nullptr || !open_document_window(document, DOC_TEXT, SCROLLED)) {
        return nullptr;
    }
    // The record's cursor shows over its client area: the I-beam says text can be selected.
    document->window.cursor = ::LoadCursorA(nullptr, IDC_IBEAM);
    text_apply_font(document);
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
    case WM_CONTEXTMENU: // a right-click, the context-menu key or Shift+F10
        return viewer_context_menu(document);
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

// Open a file in a new document window: a picture by its extension, else text. A file
// that opens goes to the top of the recent files; one that cannot be opened leaves them,
// and its window says why.
Document* viewer_open_file(const char* path) {
    const char* name = base_name(path);
    const PictureExtension* extension = picture_extension(name);
    Document* document = nullptr;
    char* why = viewer_open_refusal(path, name, extension != nullptr ? 1 : 0);
    if (extension != nullptr) {
        const ImageHandle image =
            why == nullptr ? image_load(path, TAG_STRING, extension->kind) : 0;
        why = image == 0 && why == nullptr ? viewer_unshowable_picture(name) : why;
        document = open_picture(image, *extension, name, why);
    } else {
        document = open_text(name);
        if (document == nullptr) {
            heap_free(why);
        } else {
            if (why != nullptr) {
                document->message = why; // shown instead of the text, as a text refused
            } else {
                text_read_begin(document, path);
            }
            text_draw(document);
            text_scroll_to(document, 0, 0);
        }
    }
    if (document != nullptr && document->message == nullptr) {
        viewer_remember_file(path);
    } else if (document != nullptr) {
        viewer_forget_file(path);
    }
    return document;
}

// Open the two built-in samples: a picture and a text, both "RTIMAGE" resources.
void viewer_open_samples() {
    const PictureExtension& gif = PICTURE_EXTENSIONS[3];
    open_picture(image_load(SAMPLE_PICTURE, TAG_STRING, IMAGE_PICTURE), gif, "Sample picture");
    Document* document = open_text("Sample text");
    if (document == nullptr) {
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
    text_draw(document);
    text_scroll_to(document, 0, 0);
}

// Close a document window and release what it holds.
void viewer_close_document(Document* document) {
    if (document == nullptr || document->kind == DOC_FREE) {
        return;
    }
    close_window(&document->window);
    release_document(document);
    for (const Document& other : viewer.documents) {
        if (other.kind == DOC_TEXT) {
            return;
        }
    }
    viewer_find_status("No text document"); // the last text closed: nothing left to search
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

// Redraw every document in the viewer's colours and font.
void viewer_redraw_texts() {
    for (Document& document : viewer.documents) {
        if (document.kind == DOC_TEXT) {
            text_apply_font(&document);
            text_draw(&document);
            text_scroll_to(&document, document.top, document.left);
        } else if (document.kind == DOC_PICTURE) {
            set_window_font(&document.window, &viewer.font);
            scroll_picture(&document, document.left, document.top);
            set_background_color(&document.window, document.window.back_color); // repaints
        }
    }
}

// Scale a document by a step of the zoom table (0: back to 100%): from the scale it has,
// a fitted one included, to the next step above (steps > 0) or below it. At the end of
// the table, or past it (a small picture fitted to a large window), it stays as it is.
void viewer_zoom(Document* document, int32_t steps) {
    if (document == nullptr || document->kind == DOC_FREE) {
        return;
    }
    const int32_t smallest = document->kind == DOC_PICTURE ? PICTURE_ZOOM_MIN : ZOOM_MIN;
    int32_t zoom = steps == 0 ? 100 : document->zoom;
    for (int32_t step : ZOOM_STEPS) {
        if (step < smallest || step > ZOOM_MAX) {
            continue;
        }
        if (steps > 0 && step > document->zoom) {
            zoom = step;
            break;
        }
        zoom = steps < 0 && step < document->zoom ? step : zoom;
    }
    if (steps != 0 && zoom == document->zoom) {
        return;
    }
    document->zoom = zoom;
    document->fit = 0;
    if (document->kind == DOC_TEXT) {
        text_apply_font(document);
        text_draw(document);
        text_scroll_to(document, document->top, document->left);
    } else {
        scroll_picture(document, document->left, document->top);
        set_background_color(&document->window, document->window.back_color); // repaints
    }
}

// Scale a picture to fit its window, aspect kept, or back to its natural size.
void viewer_fit(Document* document) {
    if (document == nullptr || document->kind != DOC_PICTURE) {
        return;
    }
    document->fit = document->fit == 0 ? 1 : 0;
    document->zoom = 100;
    scroll_picture(document, 0, 0);
    set_background_color(&document->window, document->window.back_color); // repaints
}
