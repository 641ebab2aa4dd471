// The viewer's documents: one MDI child per file or sample, showing lines of text on a
// scaled surface or a picture on a window without a backing bitmap, and their release.
// Relies on the runtime's files, text output, images and windows; Win32 directly only for
// the few jobs the runtime has no routine for (named where they happen).
// The frame, its menus and the program body live in frame.cpp.
#include "examples/viewer/viewer.h"

#include <unknwn.h>

// ============================================================================
// Types
// ============================================================================

namespace {

// Lines being shown in a text document and what is known of them so far.
struct TextLayout {
    WindowRecord* window; // the document's window
    int32_t rows_fit;     // rows that fit above the status line
    int32_t lines;        // lines seen
    int32_t longest;      // length of the longest line in bytes
};

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

constexpr DWORD BINARY_PROBE = 4096; // leading bytes searched for a NUL before showing text

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
        if (::lstrcmpA(extension, entry.extension) == 0) {
            kind = entry.kind;
        }
    }
    heap_free(extension);
    return kind;
}

// A free document slot, cleared, or null when all are in use.
Document* free_document() {
    for (Document& document : viewer.documents) {
        if (document.kind == DOC_FREE) {
            document = Document{};
            return &document;
        }
    }
    return nullptr;
}

intptr_t document_event();

// Open the document's window: a new MDI child of the frame, placed a step further down
// and to the right than the one before. The slot is given back when that fails.
bool open_document_window(Document* document, int32_t kind, const char* caption) {
    constexpr uint32_t DOCUMENT_STYLE = WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    uint32_t flags = DOCUMENT_STYLE | (kind == DOC_TEXT ? WF_BACKING_FIT_CLIENT : WF_NO_BACKING);
    int32_t step = 24 * (viewer.opened % 10);
    document->kind = kind;
    if (open_window(&document->window, step, step, DOCUMENT_WIDTH, DOCUMENT_HEIGHT, flags,
                    &viewer.frame, caption, document_event) == 0) {
        document->kind = DOC_FREE;
        return false;
    }
    viewer.opened++;
    return true;
}

// Height of one row of the window's font, measured once.
int32_t row_height(WindowRecord* window) {
    if (viewer.row_height == 0) {
        HDC dc = begin_draw(window);
        TEXTMETRICA metrics = {};
        // NOTE: the runtime measures no text; the font's height comes from GDI directly.
        if (dc != nullptr && ::GetTextMetricsA(dc, &metrics)) {
            viewer.row_height = metrics.tmHeight;
        }
        end_draw(window, dc, 0);
    }
    return viewer.row_height > 0 ? viewer.row_height : 16;
}

// Print one text at the start of a row.
void print_row(WindowRecord* window, int32_t row, const char* text) {
    move_to(window, TEXT_MARGIN, TEXT_MARGIN + row * row_height(window));
    text_print(2, PRINT_WINDOW, window, PRINT_TEXT, text);
}

TextLayout layout_begin(WindowRecord* window) {
    int32_t left = 0, top = 0, width = 0, height = 0;
    get_client_size(window, &left, &top, &width, &height);
    int32_t row = row_height(window);
    int32_t rows = (height - 3 * TEXT_MARGIN - row) / row;
    return TextLayout{window, rows > 0 ? rows : 0, 0, 0};
}

// Count a line and show it when a row is left for it.
void layout_add(TextLayout& layout, const char* text, int32_t length) {
    if (layout.lines < layout.rows_fit) {
        print_row(layout.window, layout.lines, text);
    }
    layout.lines++;
    if (length > layout.longest) {
        layout.longest = length;
    }
}

// The status line at the bottom: the number of lines and the longest line's length.
void layout_end(const TextLayout& layout) {
    int32_t left = 0, top = 0, width = 0, height = 0;
    get_client_size(layout.window, &left, &top, &width, &height);
    move_to(layout.window, TEXT_MARGIN, height - TEXT_MARGIN - row_height(layout.window));
    text_print(5, PRINT_WINDOW, layout.window, PRINT_TEXT, "Lines: ", PRINT_INT, layout.lines,
               PRINT_TEXT, "Longest: ", PRINT_UINT, static_cast<uint32_t>(layout.longest));
}

// Show the one line that says why a document shows nothing else.
void show_message(Document* document, const char* first, const char* second) {
    document->message = string_concat({first, second});
    if (document->kind == DOC_TEXT) {
        print_row(&document->window, 0, document->message);
    }
}

// True when the file's leading bytes hold a NUL: a binary file, not text.
bool looks_binary(const char* path) {
    HANDLE file = nullptr;
    if (file_open(&file, TAG_BINARY_FILE, path, "R") != 0) {
        return false;
    }
    // NOTE: the runtime's binary read does not say how many bytes arrived; the file's
    // size, from KERNEL32 directly, bounds the bytes searched.
    DWORD size = ::GetFileSize(file, nullptr);
    DWORD count = size == INVALID_FILE_SIZE ? 0 : (size < BINARY_PROBE ? size : BINARY_PROBE);
    bool binary = false;
    void* bytes = count > 0 ? heap_alloc(count) : nullptr;
    if (bytes != nullptr &&
        file_read(&file, TAG_BINARY_FILE, bytes, type_tag(TYPE_RAW), count) == 0) {
        const char* p = static_cast<const char*>(bytes);
        for (DWORD i = 0; i < count && !binary; ++i) {
            binary = p[i] == '\0';
        }
    }
    if (bytes != nullptr) {
        heap_free(bytes);
    }
    file_close(&file, TAG_BINARY_FILE);
    return binary;
}

// Read a text file line by line into the document.
void show_text_file(Document* document, const char* path, const char* name) {
    if (looks_binary(path)) {
        show_message(document, "Cannot show a binary file: ", name);
        return;
    }
    HANDLE file = nullptr;
    if (file_open(&file, TAG_TEXT_FILE, path, "R") != 0) {
        show_message(document, "Cannot open ", name);
        return;
    }
    char* line = static_cast<char*>(heap_alloc(LINE_CAPACITY));
    char* rest = static_cast<char*>(heap_alloc(LINE_CAPACITY));
    if (line == nullptr || rest == nullptr) {
        show_message(document, "Out of memory reading ", name);
    } else {
        TextLayout layout = layout_begin(&document->window);
        while (file_read(&file, TAG_TEXT_FILE, line, TAG_STRING, LINE_CAPACITY) == 0) {
            // A line longer than the buffer comes back in pieces; the first is shown (it
            // is far wider than any window) and the others only counted.
            int32_t length = string_length(line);
            int32_t piece = length;
            while (piece == LINE_CAPACITY - 1 &&
                   file_read(&file, TAG_TEXT_FILE, rest, TAG_STRING, LINE_CAPACITY) == 0) {
                piece = string_length(rest);
                length += piece;
            }
            layout_add(layout, line, length);
        }
        layout_end(layout);
    }
    if (line != nullptr) {
        heap_free(line);
    }
    if (rest != nullptr) {
        heap_free(rest);
    }
    file_close(&file, TAG_TEXT_FILE);
}

// Split text held in memory into lines ended by LF, CRLF or a lone CR, as files are read.
void show_text_bytes(Document* document, const char* text) {
    char* line = static_cast<char*>(heap_alloc(LINE_CAPACITY));
    if (line == nullptr) {
        return;
    }
    TextLayout layout = layout_begin(&document->window);
    const char* p = text;
    while (*p != '\0') {
        int32_t length = 0;
        while (*p != '\0' && *p != '\r' && *p != '\n') {
            if (length + 1 < LINE_CAPACITY) {
                line[length] = *p;
            }
            length++;
            p++;
        }
        line[length < LINE_CAPACITY ? length : LINE_CAPACITY - 1] = '\0';
        if (*p == '\r' && p[1] == '\n') {
            p++;
        }
        if (*p != '\0') {
            p++;
        }
        layout_add(layout, line, length);
    }
    layout_end(layout);
    heap_free(line);
}

// Natural size of bitmaps and metafiles; icons and pictures know their own.
void measure_image(Document* document) {
    if (document->image_kind == IMAGE_BITMAP_KIND) {
        bitmap_size(reinterpret_cast<HBITMAP>(document->image), &document->image_width,
                    &document->image_height);
    } else if (document->image_kind == IMAGE_METAFILE) {
        // NOTE: the runtime has no query for a metafile's size; its header gives the
        // bounds of what it draws, in pixels, right and bottom included.
        ENHMETAHEADER header = {};
        if (::GetEnhMetaFileHeader(reinterpret_cast<HENHMETAFILE>(document->image), sizeof(header),
                                   &header) != 0) {
            document->image_width = header.rclBounds.right - header.rclBounds.left + 1;
            document->image_height = header.rclBounds.bottom - header.rclBounds.top + 1;
        }
    }
}

// Draw a picture document: the picture upright at its natural size in the top-left
// corner, or the line saying why there is none. Called for every paint request, since
// the window keeps no picture of its own.
void draw_picture_document(Document* document) {
    if (document->image != 0) {
        image_draw(&document->window, document->image, document->image_kind, 0, 0,
                   document->image_width, document->image_height, 0);
    } else if (document->message != nullptr) {
        print_row(&document->window, 0, document->message);
    }
}

// Release an image of one of the kinds the viewer loads.
void release_image(ImageHandle image, int32_t kind) {
    // NOTE: the runtime never releases images (they last until the process ends); a
    // viewer that opens and closes many releases each one itself, by its kind.
    if (image == 0) {
        return;
    }
    switch (kind) {
    case IMAGE_BITMAP_KIND:
        ::DeleteObject(reinterpret_cast<HGDIOBJ>(image));
        break;
    case IMAGE_ICON_KIND:
        ::DestroyIcon(reinterpret_cast<HICON>(image));
        break;
    case IMAGE_METAFILE:
        ::DeleteEnhMetaFile(reinterpret_cast<HENHMETAFILE>(image));
        break;
    case IMAGE_PICTURE:
        reinterpret_cast<IUnknown*>(image)->Release();
        break;
    default:
        break;
    }
}

// Give back what a document holds besides its window and free its slot.
void release_document(Document* document) {
    release_image(document->image, document->image_kind);
    document->image = 0;
    if (document->message != nullptr) {
        heap_free(document->message);
        document->message = nullptr;
    }
    document->kind = DOC_FREE;
}

// Open a picture document for an image loaded already (0 when it could not be); the image
// is released again when no window can be opened for it.
Document* open_picture(ImageHandle image, int32_t kind, const char* caption, const char* name) {
    Document* document = free_document();
    if (document == nullptr) {
        release_image(image, kind);
        return nullptr;
    }
    document->image = image;
    document->image_kind = kind;
    if (image == 0) {
        document->message = string_concat({"Cannot load ", name});
    }
    measure_image(document);
    if (!open_document_window(document, DOC_PICTURE, caption)) {
        release_document(document);
        return nullptr;
    }
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
    case WM_PAINT:
        // Only windows without a backing bitmap see paint requests: the pictures.
        draw_picture_document(document);
        return 1;
    default:
        return 0;
    }
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Open a file in a new document window: a picture by its extension, else text.
Document* viewer_open_file(const char* path) {
    const char* name = base_name(path);
    int32_t kind = picture_kind(name);
    if (kind >= 0) {
        return open_picture(image_load(path, TAG_STRING, kind), kind, name, name);
    }
    Document* document = free_document();
    if (document == nullptr || !open_document_window(document, DOC_TEXT, name)) {
        return nullptr;
    }
    show_text_file(document, path, name);
    return document;
}

// Open the two built-in samples: a picture and a text, both "RTIMAGE" resources.
void viewer_open_samples() {
    open_picture(image_load(SAMPLE_PICTURE, TAG_STRING, IMAGE_PICTURE), IMAGE_PICTURE,
                 "Sample picture", SAMPLE_PICTURE);
    Document* document = free_document();
    if (document == nullptr || !open_document_window(document, DOC_TEXT, "Sample text")) {
        return;
    }
    void* block = nullptr;
    if (resource_load(SAMPLE_TEXT, TAG_STRING, "RTIMAGE", TAG_STRING, &block, TAG_BLOCK) == 0) {
        show_message(document, "Cannot load ", SAMPLE_TEXT);
        return;
    }
    // The block is one byte longer than the resource and zeroed: the text ends there.
    show_text_bytes(document, static_cast<const char*>(block));
    global_free(block);
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
