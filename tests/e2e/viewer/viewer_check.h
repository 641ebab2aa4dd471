// The viewer's end-to-end check: starts tarrowind-viewer.exe with a set of files and checks
// it from outside, the way the game's driver checks the game, then soaks the viewer's own
// routines in this process under the resource census.
// Relies on the shared end-to-end helpers (tests/e2e/common) for reports, processes and
// pixels, linked in rather than copied. Owns the files it records itself (the metafile)
// and the knowledge of what the viewer should show; outside.cpp holds the checks from
// outside, features.cpp those of the commands, selecting.cpp selection, copy and Find,
// remembering.cpp the settings file, names.cpp file names in every script, context_menu.cpp
// and frame_tables.cpp the context menus, About, reasons and zoom steps, soak.cpp the
// soak, views.cpp what they share.
#pragma once

#include <string>
#include <vector>

#include "tests/e2e/common/e2e.h"

// ============================================================================
// Constants
// ============================================================================

// What the check knows of the viewer's looks (examples/viewer/viewer.h says the same).
constexpr const char* VIEWER_PROGRAM = "tarrowind-viewer.exe";
constexpr const char* VIEWER_CAPTION = "Tarrowind Viewer";
constexpr const wchar_t* VIEWER_FONT_FACE = L"DejaVu Sans Mono";
constexpr int VIEWER_FONT_POINTS = 10;
constexpr int VIEWER_TEXT_MARGIN = 2;
constexpr int VIEWER_CASCADE_STEP = 24, VIEWER_CASCADE_PLACES = 6;
constexpr int VIEWER_FRAME_WIDTH = 900, VIEWER_FRAME_HEIGHT = 680;
constexpr int VIEWER_CMD_OPEN_SAMPLES = 40001;
constexpr int VIEWER_CMD_CLOSE = 40002;
constexpr int VIEWER_CMD_EXIT = 40003;
constexpr int VIEWER_CMD_ABOUT = 40004;
constexpr int VIEWER_CMD_COLORS = 40009;
constexpr int VIEWER_CMD_FONT = 40015;
constexpr int VIEWER_CMD_FIT = 40018;
constexpr int VIEWER_CMD_CASCADE = 32773;
constexpr int VIEWER_CMD_TILE = 32774;
constexpr COLORREF WHITE = RGB(255, 255, 255), BLACK = RGB(0, 0, 0), NAVY = RGB(0, 0, 128);

// The files the viewer is started with, in viewer-files/ (missing.txt does not exist).
extern const char* const VIEWER_TEST_FILES[];
constexpr int VIEWER_TEST_FILE_COUNT = 10;

// ============================================================================
// Types
// ============================================================================

// A place in a text: a line and a UTF-16 unit of it.
struct TextAt {
    int line = -1;
    int index = 0;
};

// What a text document shows: its lines (as the file holds them) from top, the selection
// from one place to another, its colours and its font's size.
struct TextView {
    std::vector<std::wstring> lines;
    int top = 0;
    TextAt from, to; // nothing selected while from.line is -1
    COLORREF ink = BLACK, paper = WHITE;
    int points = VIEWER_FONT_POINTS;
    std::wstring zoom; // " Zoom: 125%" at the end of the status line, or nothing
};

// ============================================================================
// Routines
// ============================================================================

// viewer-files\ beside the check, with a trailing backslash.
std::string viewer_files_folder();
// Records picture.emf in the folder through GDI; false when it could not be written.
bool write_test_metafile(const std::string& folder);
// The whole content of a file, empty when it cannot be read.
std::string read_whole_file(const std::string& path);
// Runs every check on the real program from outside.
void run_outside_checks();
// Runs the checks of the viewer's commands (keys, dialogs, encodings) on a run of its own.
void run_feature_checks();
// Runs the checks of selecting, copying and finding on a run of their own.
void run_selecting_checks();
// Runs the checks of the settings file: a restart, damaged files.
void run_remembering_checks();
// Runs the checks of file names in every script (command line, open dialog).
void run_name_checks();
// Runs the checks of word wrap (wrapping.cpp) on a run of its own.
void run_wrapping_checks();
// Runs the checks of a drag past the window's edge and of scroll bars (edges.cpp).
void run_edge_checks();
// Opens and closes documents with the viewer's own routines in this process and checks
// that the resource census ends where it began.
void run_soak_check();
// Runs Find's whole words and the selection's pairs with the viewer's own routines, in a
// frame already open in this process (words.cpp).
void run_word_checks(const std::string& folder);
// Runs the context menus and Help > About from outside, on a run of their own.
void run_frame_checks();
// Runs the tables of why files do not open, context menu items and zoom steps with the
// viewer's own routines, in a frame already open in this process (frame_tables.cpp).
void run_frame_tables(const std::string& folder);

// ============================================================================
// Shared by the checks (views.cpp)
// ============================================================================

// Starts the viewer on count files of the folder and reports the start as check; its
// settings are forgotten first unless kept.
bool start_viewer(RunningProgram& viewer, const std::string& folder, const char* const names[],
                  int count, const char* check, bool keep_settings = false);
// The viewer's settings file in this user's application data.
std::string settings_path();
// The class name of a window.
std::string class_of(HWND window);
// The frame's MDI client.
HWND mdi_client_of(HWND frame);
// The visible document windows of the MDI client, top first.
std::vector<HWND> document_windows(HWND client);
// Waits until the client holds count documents.
bool wait_document_count(HWND client, size_t count, DWORD timeout_ms);
// The document window with the caption, or null.
HWND document_named(HWND client, const std::string& caption);
// Sends a message with a time limit, so that a hung viewer cannot hang the check.
LRESULT send(HWND window, UINT message, WPARAM w, LPARAM l);
// The font of texts at a size, as the runtime makes it for the viewer; the caller deletes it.
HFONT viewer_font(int points = VIEWER_FONT_POINTS);
// Height of a row of text in the viewer's font.
int row_height(int points = VIEWER_FONT_POINTS);
// Rows of text a document shows.
int rows_of(HWND doc, int points = VIEWER_FONT_POINTS);
// A text file's lines as the viewer reads them (UTF-8, or UTF-16 after its mark).
std::vector<std::wstring> read_lines(const std::string& path);
// Draws a status line at the bottom of a canvas as documents show it.
void draw_status(HDC dc, int width, int height, const std::wstring& text, int points);
// What a text document of the client size shows for a view.
Picture expected_view(int width, int height, const TextView& view);
// Reports whether a document's client area (or only its rows) comes to show the view;
// saves both pictures when it does not.
bool check_view(HWND doc, const TextView& view, const std::string& check, bool rows_only = false);
// Types ASCII text key by key.
void type(const std::string& text);
// A mouse event (MOUSEEVENTF_ flags) at a screen point, for SendInput.
INPUT mouse_at(POINT at, DWORD flags);
// A left click (two: a double-click) at a screen point, through the real input queue.
void click_at(int x, int y, int clicks = 1);
// The window with the keyboard focus in the viewer's thread.
HWND focus_of(const RunningProgram& viewer);
// A dialog of the viewer with the caption, once it shows.
HWND wait_dialog(const RunningProgram& viewer, const char* klass, const char* caption);
// Brings the frame to the front and waits until it takes the keyboard.
void bring_to_front(const RunningProgram& viewer);
// Opens a menu of the frame with Alt and its letter, then chooses an item by its key.
void menu_choose(const RunningProgram& viewer, char menu, char item);
// Activates a document by its caption and gives it the keyboard; null when it is missing.
HWND activate(const RunningProgram& viewer, HWND client, const std::string& name);
// Reads the clipboard's text (false when it could not be opened); empties the clipboard (and
// puts text on it).
bool clipboard_read(std::wstring& text);
void clipboard_clear(const std::wstring& text = L"");
