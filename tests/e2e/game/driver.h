// The end-to-end driver: plays the installed tarrowind.exe from a separate process.
// Owns what the driver knows of the game's looks (field views, cell references, the
// status line) and the sound checks; builds on the shared end-to-end helpers.
// Relies only on USER32, GDI32, KERNEL32, OLE32 and OLEAUT32; never on the game's code.
// Leaves the individual checks to checks.cpp, menu_check.cpp and robot.cpp.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/e2e/common/e2e.h"
#include "tests/support/listen_client.h"

// ============================================================================
// Types
// ============================================================================

// What one cell of the field shows on screen.
enum CellLook { LOOK_BLUE, LOOK_SLOT, LOOK_HOSTAGE, LOOK_TERRORIST, LOOK_OTHER };

// The 6 x 14 cells of the field as read from the screen.
struct FieldView {
    CellLook cells[6][14];
};

// The four numbers of the status line.
struct StatusLine {
    int level;
    int score;
    int lives;
    int ammo;
};

// The pictures the driver compares cells against, drawn by the driver itself.
struct CellReferences {
    Picture slot[3];      // index = zoom (1 or 2): grey ring, black inside
    Picture hostage[3];   // graphics\goodguy.bmp drawn into the cell
    Picture terrorist[3]; // graphics\badguy.bmp drawn into the cell
    bool have_pictures;   // both picture files loaded
};

// ============================================================================
// Constants
// ============================================================================

constexpr uint32_t BLUE = 0x0000FF; // the game's background, RGB 0,0,255
constexpr int FIELD_ROWS = 6;
constexpr int FIELD_COLUMNS = 14;
constexpr int CMD_NEW = 1, CMD_QUIT = 2, CMD_PAUSE = 3, CMD_ZOOM1 = 4, CMD_ZOOM2 = 5;
constexpr int CMD_RULES = 6, CMD_ABOUT = 7;

// ============================================================================
// The field and the status line (field.cpp)
// ============================================================================

// The status line text for the four numbers.
std::string status_text(const StatusLine& status);
// Draws the cell references (slot square, both figure pictures) at both zooms.
void make_cell_references(CellReferences& refs, const std::string& graphics_folder);
// Classifies every cell of the field in a client picture taken at the given zoom.
FieldView read_field(const Picture& client, int zoom, const CellReferences& refs);
// Classifies one cell picture; exact picks only exact matches, else the nearest.
CellLook classify_cell(const Picture& cell, int zoom, const CellReferences& refs, bool exact);
// Checks the columns rise from the bottom row and none is higher than max_height.
bool field_layout_ok(const FieldView& field, int max_height, std::string& why);
// Draws a field view as text, one row per line, for failure messages.
std::string field_text(const FieldView& field);
// Finds which status line near the guess shows at client (1,1); true when one matched.
bool read_status(const Picture& client, const StatusLine& guess, StatusLine& found);
// Waits until the status line equals the expected one; saves pictures on failure.
bool wait_status(HWND window, const StatusLine& expected, DWORD timeout_ms, std::string& seen,
                 const std::string& failure_name);
// The client area above and around the field (status line, pause notice, field).
Picture capture_field(HWND window);
// True when a client picture shows "Paused..." under the status line.
bool pause_notice_shown(const Picture& client);
// True when the place of "Paused..." under the status line is plain background.
bool pause_notice_gone(const Picture& client);
// Waits until a frame drew "Paused..." (a paused game's status line then holds still);
// true with that frame's picture.
bool wait_paused(HWND window, DWORD timeout_ms, Picture& client);
// Paints a red rectangle over the status line's first width x height pixels on the screen;
// the next frame's status line covers it again, which tells when that frame ran.
void paint_over_status(HWND window, int width, int height);

// ============================================================================
// Sound (sound_check.cpp)
// ============================================================================

// Starts recording what the game plays; false (with a note, once) where sound cannot be
// recorded, or with a failure when the recorder did not start.
bool sound_watch_start(const std::string& name);
// Milliseconds since the recording began: where an event of now falls in the recording.
double sound_watch_time();
// Stops recording; true with the sounds heard, in order.
bool sound_watch_stop(const std::string& name, std::vector<HeardSound>& heard);
// Checks that the sounds heard from `next` on begin with the expected ones, each played to
// its end and each starting only after the one before ended; moves `next` past them.
bool sound_sequence_ok(const std::vector<HeardSound>& heard, size_t& next,
                       const std::vector<std::string>& expected, std::string& why);

// ============================================================================
// Checks (checks.cpp, menu_check.cpp, folder_check.cpp, robot.cpp)
// ============================================================================

// Runs the checks on one game from start to "Quit".
void run_main_checks(const CellReferences& refs);
// Runs the close-request checks, the run without data folders and the run from a folder
// named in Cyrillic and Chinese.
void run_closing_checks(const CellReferences& refs);
// Runs the game and the viewer from a folder named in Cyrillic and Chinese.
void check_from_named_folder(const CellReferences& refs);
// Checks the menu through the game's real menu, compared with a reference menu.
void run_menu_checks(const RunningProgram& game);
// Starts the robot's game, parked in the top left corner; false when it did not start.
bool robot_prepare(const CellReferences& refs);
// Plays the robot's game (level 1, and to the end with TARROWIND_LONG=1) on a thread.
HANDLE robot_start();
// Holds the robot's game paused, without clicks, while a check steers the other game by
// keyboard, or lets it play on; returns once the robot did (at once without a robot).
void robot_hold(bool on);
// Ends the robot's game if it still runs.
void robot_abort();
