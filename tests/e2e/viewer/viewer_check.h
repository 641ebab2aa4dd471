// The viewer's end-to-end check: starts tarrowind-viewer.exe with a set of files and checks
// it from outside, the way the game's driver checks the game, then soaks the viewer's own
// routines in this process under the resource census.
// Relies on the shared end-to-end helpers (tests/e2e/common) for reports, processes and
// pixels, linked in rather than copied. Owns the files it records itself (the metafile)
// and the knowledge of what the viewer should show; outside.cpp holds the checks from outside,
// soak.cpp the soak.
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
constexpr int VIEWER_TEXT_MARGIN = 2;
constexpr int VIEWER_CMD_OPEN_SAMPLES = 40001;
constexpr int VIEWER_CMD_CLOSE = 40002;
constexpr int VIEWER_CMD_EXIT = 40003;
constexpr int VIEWER_CMD_ABOUT = 40004;
constexpr int VIEWER_CMD_CASCADE = 32773;
constexpr int VIEWER_CMD_TILE = 32774;

// The files the viewer is started with, in viewer-files/ (missing.txt does not exist).
extern const char* const VIEWER_TEST_FILES[];
constexpr int VIEWER_TEST_FILE_COUNT = 10;

// ============================================================================
// Routines
// ============================================================================

// viewer-files\ beside the check, with a trailing backslash.
std::string viewer_files_folder();
// Records picture.emf in the folder through GDI; false when it could not be written.
bool write_test_metafile(const std::string& folder);
// The whole content of a file, empty when it cannot be read.
std::string read_whole_file(const std::string& path);
// Lines of a text as the viewer should show them: ended by LF, CRLF or a lone CR.
std::vector<std::string> split_lines(const std::string& text);
// Runs every check on the real program from outside.
void run_outside_checks();
// Runs the checks of the viewer's commands (keys, dialogs, encodings) on a run of its own.
void run_feature_checks();

// ============================================================================
// Shared by the checks (views.cpp)
// ============================================================================

// Starts the viewer on count files of the folder and reports the start as check.
bool start_viewer(RunningProgram& viewer, const std::string& folder, const char* const names[],
                  int count, const char* check);
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
// Height of a row of text in the default font.
int row_height();
// Opens and closes documents with the viewer's own routines in this process and checks
// that the resource census ends where it began.
void run_soak_check();
