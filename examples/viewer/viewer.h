// Tarrowind Viewer: a multi-document viewer written on the runtime alone, as an example of
// the runtime used as a library. Owns the viewer's state (the frame, its documents, the
// colours and the search) and the routines that open, read, draw, scroll and close
// documents, and its dialogs.
// Relies on the runtime's headers only; Win32 is called directly only where the runtime
// offers nothing for the job, and each such place says why.
#pragma once

#include <cstdint>

#include "runtime/core/core.h"
#include "runtime/dialog/dialog.h"
#include "runtime/draw/draw.h"
#include "runtime/window/window.h"

// ============================================================================
// Types
// ============================================================================

// What a document window shows.
enum DocumentKind : int32_t {
    DOC_FREE = 0,    // the slot is unused
    DOC_TEXT = 1,    // lines of text, scrolled
    DOC_PICTURE = 2, // a picture on a window without a backing bitmap, scrolled
    DOC_ZOOM = 3,    // a magnified copy of a text page on a scaled surface
};

// How a text file's bytes become characters.
enum TextEncoding : int32_t {
    ENCODING_ANSI = 0,    // the system's ANSI code page, as they are
    ENCODING_UTF8 = 1,    // UTF-8, with or without its byte-order mark
    ENCODING_UTF16LE = 2, // UTF-16 with the byte-order mark FF FE
    ENCODING_UTF16BE = 3, // UTF-16 with the byte-order mark FE FF
};

// The lines of a text document in the system's ANSI code page, tabs expanded.
struct TextLines {
    char* bytes;            // heap block: every line, each NUL-terminated, one after another
    uint32_t used;          // bytes of it in use
    uint32_t capacity;      // bytes it holds
    uint32_t* starts;       // heap block: where each line starts in bytes
    int32_t count;          // complete lines, and the one being read when open_line is set
    int32_t capacity_lines; // entries starts holds
    int32_t open_line;      // 1 while the last line waits for the rest of its bytes
    int32_t longest;        // characters of the longest line
    int32_t longest_line;   // its index
};

// A text file read a chunk at a time, so that the first page shows at once.
struct TextReader {
    HANDLE file;      // the open file while reading, else null
    int64_t size;     // bytes in the file
    int64_t done;     // bytes read so far
    int32_t encoding; // TextEncoding
    int32_t after_cr; // the last chunk ended with CR: an LF that starts the next is its end
    int32_t carried;  // bytes of a character cut off at the end of the last chunk
    uint8_t carry[4]; // those bytes
};

// One open document: its MDI child and what it shows.
struct Document {
    WindowRecord window;  // the MDI child; its address is kept by the platform window
    int32_t kind;         // DocumentKind
    char* name;           // heap string: the file's name, the window's caption
    ImageHandle image;    // the loaded picture, 0 when none (or a text)
    int32_t image_kind;   // ImageKind passed to image_load and image_draw
    int32_t image_width;  // natural size in pixels
    int32_t image_height; //
    char* message;        // heap string: the line shown instead of the content, or null
    TextLines lines;      // a text's lines
    TextReader reader;    // a text still being read
    int32_t top;          // first line shown (text) or first pixel row (picture)
    int32_t left;         // first pixel column shown
    int32_t match_line;   // the highlighted match: its line, -1 for none
    int32_t match_start;  // its first character
    int32_t match_length; // its length in characters
};

constexpr int32_t MAX_DOCUMENTS = 64;

// The search of the Find dialog, kept for F3.
struct FindState {
    char text[256];     // what to find
    int32_t match_case; // 1: letters must match in case
};

// Everything the viewer holds for the life of the program.
struct ViewerState {
    WindowRecord frame;                // the MDI frame window
    Document documents[MAX_DOCUMENTS]; // fixed slots: a record must not move while open
    int32_t opened;                    // documents opened so far, for placing new ones
    int32_t row_height;                // height of one text row in pixels
    COLORREF text_color;               // colours of text documents
    COLORREF back_color;               //
    FindState find;                    // the last search
    WindowRecord find_dialog;          // the modeless Find dialog
    WindowRecord go_to_dialog;         // the modal Go to line dialog
    WindowRecord colors_dialog;        // the modal Colours dialog
};

// ============================================================================
// Constants
// ============================================================================

constexpr const char* VIEWER_NAME = "Tarrowind Viewer";

// Menu commands of the frame (the "&Window" items are the runtime's own).
constexpr UINT_PTR MENU_OPEN_SAMPLES = 40001;
constexpr UINT_PTR MENU_CLOSE = 40002;
constexpr UINT_PTR MENU_EXIT = 40003;
constexpr UINT_PTR MENU_ABOUT = 40004;
constexpr UINT_PTR MENU_OPEN = 40005;
constexpr UINT_PTR MENU_FIND = 40006;
constexpr UINT_PTR MENU_FIND_NEXT = 40007;
constexpr UINT_PTR MENU_GO_TO = 40008;
constexpr UINT_PTR MENU_COLORS = 40009;
constexpr UINT_PTR MENU_ZOOM = 40010;
constexpr UINT_PTR MENU_NEXT_DOCUMENT = 40011;

// Layout of a text document: rows start TEXT_MARGIN pixels from the left and top edges;
// the status line's top is one row height plus TEXT_MARGIN above the bottom edge.
constexpr int32_t TEXT_MARGIN = 2;
constexpr int32_t TAB_COLUMNS = 8;       // tabs stop at every 8th column
constexpr int32_t DOCUMENT_WIDTH = 360;  // outer size of a new document window
constexpr int32_t DOCUMENT_HEIGHT = 240; //
constexpr int32_t WHEEL_LINES = 3;       // lines one notch of the wheel scrolls

// The samples built into the program as "RTIMAGE" resources, and the Find button's pictures.
constexpr const char* SAMPLE_PICTURE = "SAMPLE_PICTURE";
constexpr const char* SAMPLE_TEXT = "SAMPLE_TEXT";
constexpr const char* FIND_NORMAL = "FIND_NORMAL";
constexpr const char* FIND_HOT = "FIND_HOT";
constexpr const char* FIND_PRESSED = "FIND_PRESSED";

// Controls of the dialogs.
constexpr int32_t ID_OK = 1, ID_CANCEL = 2;
constexpr int32_t ID_LINE = 101; // Go to line
constexpr int32_t ID_FIND_TEXT = 201, ID_MATCH_CASE = 202, ID_FIND_NEXT = 203,
                  ID_FIND_STATUS = 204; // Find
constexpr int32_t ID_TEXT_COLORS = 301, ID_BACK_COLORS = 302, ID_TEXT_SAMPLE = 303,
                  ID_BACK_SAMPLE = 304; // Colours

extern ViewerState viewer;

// ============================================================================
// The frame (frame.cpp)
// ============================================================================

// Program body: open the frame, open every named file, then handle events until the end.
void viewer_main(int32_t file_count, char** file_names);
// Open the frame window with its menus, shortcuts and clock; 1 when it exists.
int32_t viewer_open_frame();
// Carry out a menu command or shortcut; 1 when it was the viewer's.
int32_t viewer_command(int32_t command, Document* active);
// Give a window the viewer's keyboard shortcuts.
void viewer_add_shortcuts(WindowRecord* window);
// Close every document, the dialogs and the frame (without ending the program).
void viewer_close_all();

// ============================================================================
// Documents (documents.cpp)
// ============================================================================

// Open a file in a new document window: a picture by its extension, else text.
Document* viewer_open_file(const char* path);
// Open the two built-in samples.
void viewer_open_samples();
// Open a magnified copy of a text document's page.
Document* viewer_open_zoom(Document* source);
// Close a document window and release what it holds.
void viewer_close_document(Document* document);
// The document whose window this is, or null.
Document* viewer_document_of(WindowRecord* record);
// Number of open documents.
int32_t viewer_document_count();
// Redraw every text document (after its colours changed).
void viewer_redraw_texts();

// ============================================================================
// Text (text.cpp) and its view (text_view.cpp)
// ============================================================================

// Start reading a text file into a document: the first chunk at once; 1 when it is text.
int32_t text_read_begin(Document* document, const char* path);
// Read on for about budget_ms; 1 while the file is not read to its end.
int32_t text_read_more(Document* document, uint32_t budget_ms);
// Stop reading and close the file.
void text_read_end(Document* document);
// Add the lines of text held in memory (ANSI, any line ends).
void text_add_bytes(Document* document, const char* bytes, uint32_t length);
// Release a document's lines.
void text_release(Document* document);
// Line index of the text; "" past the end.
const char* text_line(const Document* document, int32_t index);
// 1 while any document is being read.
int32_t viewer_reading();
// Read every document being read on for about budget_ms, redrawing what changed.
void viewer_read_some(uint32_t budget_ms);

// Draw a text document's visible rows, its highlight and its status line into window
// (the document's own, or a zoom window showing its page).
void text_draw(Document* document, WindowRecord* window);
// Scroll a text document so that line first is the top row and pixel column left the left
// edge (both kept inside the text); redraw when they changed.
void text_scroll_to(Document* document, int32_t first, int32_t left);
// Handle a document's scroll, key and wheel events; 1 when handled.
int32_t text_view_event(Document* document);
// Rows of text that fit in the document's window above its status line.
int32_t text_rows(Document* document);
// Find text from after the current match (or the top row), wrapping at the end; the match
// is highlighted and scrolled into view. 1 when found.
int32_t text_find(Document* document, const char* text, int32_t match_case);

// ============================================================================
// Dialogs (dialogs.cpp)
// ============================================================================

// Ask for a line number and scroll the document there (modal).
void viewer_go_to_line(Document* document);
// Show the Find dialog (modeless), or bring it forward.
void viewer_show_find();
// Find the next match of the last search in the document (F3); opens Find without one.
void viewer_find_next(Document* document);
// Choose the text and background colours of text documents (modal).
void viewer_choose_colors();
