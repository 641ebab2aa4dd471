// Tarrowind Viewer: a multi-document viewer written on the runtime alone, as an example of
// the runtime used as a library. Owns the viewer's state (the frame, its documents, the
// colours, the font, the search and what it remembers between runs) and the routines that
// open, read, draw, scroll, select, copy, find and close documents, and its dialogs.
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

// The halves of a UTF-16 surrogate pair, and the character a pair stands for.
constexpr bool is_high_surrogate(uint32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
constexpr bool is_low_surrogate(uint32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}
constexpr uint32_t surrogate_pair_value(uint32_t high, uint32_t low) {
    return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
}

// What a document window shows.
enum DocumentKind : int32_t {
    DOC_FREE = 0,    // the slot is unused
    DOC_TEXT = 1,    // lines of text, scrolled
    DOC_PICTURE = 2, // a picture on a window without a backing bitmap, scrolled
};

// How a text file's bytes become characters.
enum TextEncoding : int32_t {
    ENCODING_ANSI = 0,    // the system's ANSI code page (Windows-1252 where that is UTF-8)
    ENCODING_UTF8 = 1,    // UTF-8, with or without its byte-order mark
    ENCODING_UTF16LE = 2, // UTF-16 with the byte-order mark FF FE
    ENCODING_UTF16BE = 3, // UTF-16 with the byte-order mark FE FF
};

// The lines of a text document in UTF-16, each as the file holds it (tabs kept).
struct TextLines {
    wchar_t* units;         // heap block: every line, each ended by a NUL, one after another
    uint32_t used;          // units of it in use
    uint32_t capacity;      // units it holds
    uint32_t* starts;       // heap block: where each line starts, in units
    int32_t count;          // complete lines, and the one being read when open_line is set
    int32_t capacity_lines; // entries starts holds
    int32_t open_line;      // 1 while the last line waits for the rest of its units
    int32_t column;         // columns of the open line so far, tabs expanded
    int32_t longest;        // columns of the longest line, tabs expanded
    int32_t longest_line;   // its index
    int32_t ended;          // 1 when the last line was closed by a line end
};

// A text file read a chunk at a time, so that the first page shows at once.
struct TextReader {
    HANDLE file;      // the open file while reading, else null
    int64_t size;     // bytes in the file
    int64_t done;     // bytes read so far
    int32_t encoding; // TextEncoding
    int32_t ascii;    // 1 while every byte so far was ASCII: the encoding is told at the first
                      // chunk with a byte beyond it
    int32_t after_cr; // the last unit added was CR: an LF that follows is its end
    int32_t carried;  // bytes of a character cut off at the end of the last chunk
    uint8_t carry[4]; // those bytes
};

// A place in a text: a line and a UTF-16 unit of it (0: before its first character).
struct TextPoint {
    int32_t line;
    int32_t index;
};

// What a text still being read waits for.
enum PendingKind : int32_t {
    PENDING_NONE = 0,
    PENDING_END = 1,  // Ctrl+End: show the last line once reading ends
    PENDING_LINE = 2, // Go to line: go there once the line is read
    PENDING_FIND = 3, // Find: search the lines as they arrive
    PENDING_ALL = 4,  // Select all, Ctrl+Shift+End: the selection's end follows the text's
};

struct PendingAction {
    int32_t kind;   // PendingKind
    int32_t line;   // PENDING_LINE: the line to go to; PENDING_FIND: the next line to search
    int32_t up;     // PENDING_FIND: 1 when searching towards the top
    TextPoint from; // PENDING_FIND: where the search began
};

// One open document: its MDI child and what it shows.
struct Document {
    WindowRecord window;      // the MDI child; its address is kept by the platform window
    int32_t kind;             // DocumentKind
    char* name;               // heap string: the file's name, the window's caption
    ImageHandle image;        // the loaded picture, 0 when none (or a text)
    int32_t image_kind;       // ImageKind passed to image_load and image_draw
    const char* image_format; // what the picture is, for its status line ("GIF picture")
    int32_t image_width;      // natural size in pixels
    int32_t image_height;     //
    char* message;            // heap string: the line shown instead of the content, or null
    TextLines lines;          // a text's lines
    TextReader reader;        // a text still being read
    int32_t top;              // first line shown (text) or first pixel row (picture)
    int32_t top_row;          // texts with lines wrapped: the first row of line top shown
    int32_t top_unit;         // the first unit of line top shown when the page was drawn
    int32_t left;             // first pixel column shown
    TextPoint anchor;         // the selection runs from anchor to caret (none when equal)
    TextPoint caret;          //
    int32_t dragging;         // 1 while the left button held in the text extends the selection
    int32_t zoom;             // scale in percent: texts 50 to 400, pictures 10 to 400 or fitted
    int32_t fit;              // pictures: 1 while scaled to fit the window
    int32_t row_height;       // pixels of one row in the document's font, 0 until measured
    PendingAction pending;    // what waits for more of the text
    int32_t copy_waiting;     // 1: Copy waits for the text to be read whole
};

constexpr int32_t MAX_DOCUMENTS = 64;
constexpr int32_t FIND_LENGTH = 256; // UTF-16 units a search may hold, NUL included
constexpr int32_t RECENT_FILES = 8;

// The search of the Find dialog, kept for F3 and Shift+F3.
struct FindState {
    wchar_t text[FIND_LENGTH]; // what to find
    int32_t match_case;        // 1: letters must match in case
    int32_t whole_word;        // 1: the match must not be part of a longer word
    int32_t up;                // 1: Find next searches towards the top
};

// The frame's place on the screen between runs.
struct FramePlace {
    int32_t x, y, width, height; // outer rectangle when not maximised
    int32_t maximized;           // 1: the frame was maximised
    int32_t documents_maximized; // 1: its documents were maximised
};

// Everything the viewer holds for the life of the program.
struct ViewerState {
    WindowRecord frame;                // the MDI frame window
    Document documents[MAX_DOCUMENTS]; // fixed slots: a record must not move while open
    int32_t opened;                    // documents opened so far, for placing new ones
    COLORREF text_color;               // colours of text documents
    COLORREF back_color;               //
    FontChoice font;                   // the font of text documents at 100%
    FindState find;                    // the last search
    FramePlace place;                  // where the frame opens
    char* recent[RECENT_FILES];        // heap strings: the files opened last, newest first
    char* last_folder;                 // heap string: the folder of the last file opened
    WindowRecord find_dialog;          // the modeless Find dialog
    WindowRecord go_to_dialog;         // the modal Go to line dialog
    WindowRecord colors_dialog;        // the modal Colours dialog
    WindowRecord about_dialog;         // the modal About dialog
    int32_t word_wrap;                 // 1: texts wrap long lines at their window's width
};

// ============================================================================
// Constants
// ============================================================================

constexpr const char* VIEWER_NAME = "Tarrowind Viewer";
constexpr const char* VIEWER_VERSION = "1.0";
// The settings file's program name: %APPDATA%\TarrowindViewer\settings.ini.
constexpr const char* VIEWER_SETTINGS = "TarrowindViewer";

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
constexpr UINT_PTR MENU_ZOOM_IN = 40010;
constexpr UINT_PTR MENU_NEXT_DOCUMENT = 40011;
constexpr UINT_PTR MENU_FIND_PREVIOUS = 40012;
constexpr UINT_PTR MENU_COPY = 40013;
constexpr UINT_PTR MENU_SELECT_ALL = 40014;
constexpr UINT_PTR MENU_FONT = 40015;
constexpr UINT_PTR MENU_ZOOM_OUT = 40016;
constexpr UINT_PTR MENU_ACTUAL_SIZE = 40017;
constexpr UINT_PTR MENU_FIT = 40018;
constexpr UINT_PTR MENU_WORD_WRAP = 40030;
constexpr UINT_PTR MENU_RECENT = 40100;     // the recent files: MENU_RECENT to MENU_RECENT + 7
constexpr int32_t RECENT_MENU_POSITION = 4; // where the File menu shows them, after "&Close"

// Layout of a text document: rows start TEXT_MARGIN pixels from the left and top edges;
// the status line's top is one row height plus TEXT_MARGIN above the bottom edge. Pictures
// have the same status line.
constexpr int32_t TEXT_MARGIN = 2;
constexpr int32_t TAB_COLUMNS = 8;       // tabs stop at every 8th column
constexpr int32_t WHEEL_LINES = 3;       // lines one notch of the wheel scrolls
constexpr int32_t ZOOM_MIN = 50;         // percent, of texts
constexpr int32_t PICTURE_ZOOM_MIN = 10; // percent, of pictures (a fitted one may be less)
constexpr int32_t ZOOM_MAX = 400;        // percent, of both (a fitted picture may be more)
constexpr int32_t CASCADE_STEP = 24;     // pixels between the corners of documents opened in turn

// The font of texts when none is remembered, or the remembered one is refused or not
// installed: the first of these fixed-pitch faces that is installed ("DejaVu Sans Mono" under
// Wine, where the scripts install it; Windows has the others), at 10 points.
constexpr const char* DEFAULT_FONT_FACES[] = {"DejaVu Sans Mono", "Consolas", "Courier New"};
constexpr int32_t DEFAULT_FONT_POINTS = 10;
// Sizes of the font of texts at 100% that the viewer takes and remembers, in points.
constexpr int32_t SMALLEST_FONT_POINTS = 6;
constexpr int32_t LARGEST_FONT_POINTS = 72;

// The samples built into the program as "RTIMAGE" resources, and the Find button's pictures.
constexpr const char* SAMPLE_PICTURE = "SAMPLE_PICTURE";
constexpr const char* SAMPLE_TEXT = "SAMPLE_TEXT";
constexpr const char* FIND_NORMAL = "FIND_NORMAL";
constexpr const char* FIND_HOT = "FIND_HOT";
constexpr const char* FIND_PRESSED = "FIND_PRESSED";

// Controls of the dialogs.
constexpr int32_t ID_OK = 1, ID_CANCEL = 2;
constexpr int32_t ID_LINE = 101; // Go to line
constexpr int32_t ID_FIND_TEXT = 201, ID_MATCH_CASE = 202, ID_FIND_NEXT = 203, ID_FIND_STATUS = 204,
                  ID_WHOLE_WORD = 205, ID_UP = 206, ID_DOWN = 207; // Find
constexpr int32_t ID_TEXT_COLORS = 301, ID_BACK_COLORS = 302, ID_TEXT_SAMPLE = 303,
                  ID_BACK_SAMPLE = 304; // Colours

extern ViewerState viewer;

// ============================================================================
// The frame (frame.cpp)
// ============================================================================

// Program body: open the frame, open every named file, then handle events until the end.
void viewer_main(int32_t file_count, char** file_names);
// Open the frame window where it was last, with its menus, shortcuts and clock; 1 when it exists.
int32_t viewer_open_frame();
// Carry out a menu command or shortcut; 1 when it was the viewer's.
int32_t viewer_command(int32_t command, Document* active);
// Give a window the viewer's keyboard shortcuts.
void viewer_add_shortcuts(WindowRecord* window);
// Close every document, the dialogs and the frame (without ending the program), remembering
// the frame's place.
void viewer_close_all();

// ============================================================================
// What the viewer remembers (settings.cpp)
// ============================================================================

// Read the settings file into the viewer's state; what is missing or unusable gets its default.
void viewer_load_settings();
// Write the viewer's state to the settings file.
void viewer_save_settings();
// Put a file at the top of the recent files and its folder as the last one.
void viewer_remember_file(const char* path);
// The font of texts when none is remembered, or when the remembered one is not usable.
FontChoice viewer_default_font();
// Forget a recent file (one that could not be opened).
void viewer_forget_file(const char* path);
// Show the recent files, numbered, on this File menu from now on (null: on none).
void viewer_set_recent_menu(HMENU file_menu);

// ============================================================================
// Documents (documents.cpp)
// ============================================================================

// Open a file in a new document window: a picture by its extension, else text.
Document* viewer_open_file(const char* path);
// Open the two built-in samples.
void viewer_open_samples();
// Close a document window and release what it holds.
void viewer_close_document(Document* document);
// The document whose window this is, or null.
Document* viewer_document_of(WindowRecord* record);
// Number of open documents.
int32_t viewer_document_count();
// Redraw every text document (after its colours or font changed).
void viewer_redraw_texts();
// Scale a document by steps of the zoom table (0: back to 100%).
void viewer_zoom(Document* document, int32_t steps);
// Scale a picture to fit its window, aspect kept, or back to its natural size.
void viewer_fit(Document* document);

// ============================================================================
// Text (text.cpp), its view (text_view.cpp), its rows (text_rows.cpp) and searching it
// (text_find.cpp)
// ============================================================================

// Start reading a text file into a document: the first chunk at once; 1 when it is text.
int32_t text_read_begin(Document* document, const char* path);
// Read on for about budget_ms; 1 while the file is not read to its end.
int32_t text_read_more(Document* document, uint32_t budget_ms);
// Stop reading and close the file.
void text_read_end(Document* document);
// Add the lines of text held in memory (UTF-8 or the ANSI code page, any line ends).
void text_add_bytes(Document* document, const char* bytes, uint32_t length);
// Release a document's lines.
void text_release(Document* document);
// Line index of the text and its length in units; "" past the end.
const wchar_t* text_line(const Document* document, int32_t index, int32_t* length);
// 1 while any document is being read.
int32_t viewer_reading();
// Read every document being read on for about budget_ms, redrawing what changed and
// carrying out what waited for the text.
void viewer_read_some(uint32_t budget_ms);

// Give a text document the viewer's font at its zoom (after either changed).
void text_apply_font(Document* document);
// Draw a text document's visible rows, its selection and its status line.
void text_draw(Document* document);
// Scroll a text document so that line first is the top row and pixel column left the left
// edge (both kept inside the text); redraw when they changed.
void text_scroll_to(Document* document, int32_t first, int32_t left);
// Handle a document's scroll, key, mouse and wheel events; 1 when handled.
int32_t text_view_event(Document* document);
// Rows of text that fit in the document's window above its status line.
int32_t text_rows(Document* document);
// Select from anchor to caret (kept inside the text), scroll the caret into view, redraw.
void text_select(Document* document, TextPoint anchor, TextPoint caret);
// Select the whole text (and what is still to be read of it).
void text_select_all(Document* document);
// Go to the last line, or once the text is read when it is still being read.
void text_go_to_end(Document* document);
// Go to a line (0 first), or once it is read; 0 when the text has no such line.
int32_t text_go_to_line(Document* document, int32_t line);
// The last line the page shows (part of it, when lines wrap).
int32_t text_last_line_shown(Document* document);
// Wrap long lines of every text at its window's width (on 1) or not, each keeping the line
// at its top shown.
void text_set_word_wrap(int32_t on);

// Find the search from the selection towards the top (up 1) or the bottom, wrapping round;
// the match is selected and shown. Says what happened in the Find dialog's status.
void text_find(Document* document, int32_t up);
// Carry on a search that waits for the text being read; called after each slice.
void text_find_continue(Document* document);
// Put the selected text on the clipboard; 1 when placed, or (a text still being read) when
// it will be once the text is read whole, as the selection is then.
int32_t text_copy(Document* document);
// Select the word at a place (double-click).
void text_select_word(Document* document, TextPoint at);

// Lay out a line of a text as its row shows it (tabs expanded to every TAB_COLUMNS); the
// routines below work on the row laid out last.
void row_layout(const Document* document, int32_t line);
// Lay out the units [from, to) of a line as a row of their own, tabs counted from from.
void row_layout_part(const Document* document, int32_t line, int32_t from, int32_t to);
// Units the row laid out last holds, tabs expanded.
int32_t row_units();
// The unit of the line that laid-out unit k shows (k == row_units(): the one after the row).
int32_t row_source(int32_t k);
// Pixels the first k laid-out units take in the document's font.
int32_t row_prefix_width(Document* document, int32_t k);
// Pixels the row takes in the document's font.
int32_t row_width(Document* document);
// The unit of the row's line at the place nearest pixel x from the row's start, as the
// platform shows the row.
int32_t row_index_at(Document* document, int32_t x);
// Pixels from the row's start to where a caret before a unit of its line stands.
int32_t row_x_of(Document* document, int32_t index);
// Draw the row with its left edge at (x, y) in the document's colours, units [from, to) of
// its line selected in reverse, and a selected blank after it when end_selected.
void row_draw(Document* document, int32_t x, int32_t y, int32_t from, int32_t to,
              bool end_selected);

// ============================================================================
// Dialogs (dialogs.cpp)
// ============================================================================

// Ask for a line number and scroll the document there (modal).
void viewer_go_to_line(Document* document);
// Show the Find dialog (modeless), or bring it forward.
void viewer_show_find();
// Say in the Find dialog's status line what the last search did (when it is shown).
void viewer_find_status(const char* text);
// Find the last search again in the document (F3 with up 0, Shift+F3 with up 1 reverse the
// dialog's direction); opens Find without one.
void viewer_find_next(Document* document, int32_t reverse);
// Choose the text and background colours of text documents (modal).
void viewer_choose_colors();
// Choose the font of text documents with the platform's font dialog.
void viewer_choose_font();
// Say what the program is: its name, version and a line on what it does (modal).
void viewer_show_about();

// ============================================================================
// Context menus (context_menu.cpp) and why files do not open (reasons.cpp)
// ============================================================================

// The context menu of a document: the commands that apply there, greyed when they cannot
// act now, Fit to window ticked while on. The caller destroys it (destroy_menu).
HMENU viewer_context_items(Document* document);
// Show a document's context menu where the event being handled asks for it (the mouse, or
// from the keyboard the caret or the view's corner) and carry out the command picked; 1
// when shown, 0 for a right-click outside its client area (its caption, say).
int32_t viewer_context_menu(Document* document);
// Why a file cannot be opened as a text (picture 0) or a picture (1): a fresh heap string
// "Cannot open NAME: REASON" (no such file, a folder, access denied, in use by another
// program, too large), or null when it opens.
char* viewer_open_refusal(const char* path, const char* name, int32_t picture);
// The line of a picture file that opens but that the platform's loaders cannot show.
char* viewer_unshowable_picture(const char* name);
