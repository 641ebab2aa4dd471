// Tarrowind Viewer: a multi-document viewer written on the runtime alone, as an example of
// the runtime used as a library. Owns the viewer's state (the frame and its documents)
// and the routines that open, draw and close documents.
// Relies on the runtime's headers only; Win32 is called directly only where the runtime
// offers nothing for the job, and each such place says why.
#pragma once

#include <cstdint>

#include "runtime/core/core.h"
#include "runtime/draw/draw.h"
#include "runtime/window/window.h"

// ============================================================================
// Types
// ============================================================================

// What a document window shows.
enum DocumentKind : int32_t {
    DOC_FREE = 0,    // the slot is unused
    DOC_TEXT = 1,    // lines of text on a scaled surface
    DOC_PICTURE = 2, // a picture on a window without a backing bitmap
};

// One open document: its MDI child and what it shows.
struct Document {
    WindowRecord window;  // the MDI child; its address is kept by the platform window
    int32_t kind;         // DocumentKind
    ImageHandle image;    // the loaded picture, 0 when none (or a text)
    int32_t image_kind;   // ImageKind passed to image_load and image_draw
    int32_t image_width;  // natural size in pixels for bitmaps and metafiles, else 0
    int32_t image_height; //
    char* message;        // heap string: the line shown instead of a picture, or null
};

constexpr int32_t MAX_DOCUMENTS = 64;

// Everything the viewer holds for the life of the program.
struct ViewerState {
    WindowRecord frame;                // the MDI frame window
    Document documents[MAX_DOCUMENTS]; // fixed slots: a record must not move while open
    int32_t opened;                    // documents opened so far, for placing new ones
    int32_t row_height;                // height of one text row in pixels
    char clock_text[16];               // "hh:mm:ss" shown in the frame's caption
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

// Layout of a text document: rows start TEXT_MARGIN pixels from the left and top edges;
// the status line's top is one row height plus TEXT_MARGIN above the bottom edge.
constexpr int32_t TEXT_MARGIN = 2;
constexpr int32_t DOCUMENT_WIDTH = 360;  // outer size of a new document window
constexpr int32_t DOCUMENT_HEIGHT = 240; //
constexpr int32_t LINE_CAPACITY = 4096;  // bytes of one line read, terminator included

// The samples built into the program as "RTIMAGE" resources.
constexpr const char* SAMPLE_PICTURE = "SAMPLE_PICTURE";
constexpr const char* SAMPLE_TEXT = "SAMPLE_TEXT";

extern ViewerState viewer;

// ============================================================================
// Routines
// ============================================================================

// Program body: open the frame, open every named file, then handle events until the end.
void viewer_main(int32_t file_count, char** file_names);
// Open the frame window with its menus and clock; 1 when it exists.
int32_t viewer_open_frame();
// Open a file in a new document window: a picture by its extension, else text.
Document* viewer_open_file(const char* path);
// Open the two built-in samples.
void viewer_open_samples();
// Close a document window and release what it holds.
void viewer_close_document(Document* document);
// Close every document and the frame (without ending the program).
void viewer_close_all();
// The document whose window this is, or null.
Document* viewer_document_of(WindowRecord* record);
// Number of open documents.
int32_t viewer_document_count();
