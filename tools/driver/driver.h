// The end-to-end driver: plays the installed tarrowind.exe from a separate process.
// Owns the shared records (pictures, game processes, field views) and the routines the
// check files share: reporting, PNG output, screen capture, reference rendering.
// Relies only on USER32, GDI32, KERNEL32, OLE32 and OLEAUT32; never on the game's code.
// Leaves the individual checks to checks.cpp, menu_check.cpp and robot.cpp.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tools/listen_client.h"

// ============================================================================
// Types
// ============================================================================

// A block of pixels read from the screen or drawn by the driver, rows top-down.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels; // 0x00RRGGBB, width * height entries
};

// One running copy of the game.
struct GameProcess {
    PROCESS_INFORMATION info{}; // process and thread handles, ids
    HWND window = nullptr;      // the game's main window, once found
    std::string folder;         // folder holding the tarrowind.exe that runs
};

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
// Reporting and PNG files (report.cpp)
// ============================================================================

// Prints "PASS name" or "FAIL name: seen" and counts the result; returns ok.
bool report(const std::string& name, bool ok, const std::string& seen);
// Prints an informational line that is neither a pass nor a failure.
void report_note(const std::string& text);
// Prints the closing "N passed, M failed" line; returns the number of failures.
int report_summary();
// Writes a picture as an uncompressed PNG file; returns false when the file failed.
bool png_write(const std::string& path, const Picture& picture);
// Checks the PNG writer's sums and block framing against known values; false with why.
bool png_self_check(std::string& why);
// Empties e2e-failures/ so that only this run's pictures are found there.
void clear_failure_pictures();
// Saves expected and actual pictures of a failed comparison under e2e-failures/.
void save_failure_pictures(const std::string& name, const Picture& expected, const Picture& actual);
// The driver's own folder, with a trailing backslash (bin/ in the build).
std::string driver_folder();
// Formats like printf into a std::string.
std::string format(const char* fmt, ...);

// ============================================================================
// Game processes and windows (game_process.cpp)
// ============================================================================

// Prepares the emergency clean-up that ends every started game on any exit path.
void process_guard_install();
// Starts folder\tarrowind.exe and waits for its main window; false with the reason.
bool game_start(GameProcess& game, const std::string& folder, std::string& why);
// Starts folder\program with arguments (already quoted as needed) and waits for its
// visible window of window_class; false with the reason. game_start is this for the game.
bool program_start(GameProcess& game, const std::string& folder, const std::string& program,
                   const std::string& arguments, const char* window_class, std::string& why);
// Ends the game if it still runs and closes its handles; safe to call twice.
void game_kill(GameProcess& game);
// Waits for the game to end by itself; true with its exit code when it did.
bool game_wait_exit(GameProcess& game, DWORD timeout_ms, DWORD& exit_code);
// True while the game process runs.
bool game_alive(const GameProcess& game);
// Says why the game may not have answered: ended (with its exit code), hung, or "".
std::string game_state_text(const GameProcess& game);
// Picks a menu command by posting WM_COMMAND to the game's window.
void game_command(const GameProcess& game, int id);
// Posts a left click at client coordinates (button down, then up).
void game_click(const GameProcess& game, int x, int y);
// The visible message box the game shows now, or null.
HWND find_message_box(const GameProcess& game);
// Waits up to timeout_ms for a message box of the game.
HWND wait_message_box(const GameProcess& game, DWORD timeout_ms);
// Closes a message box with its OK button; true when it went away in time.
bool close_message_box(HWND box, DWORD timeout_ms);
// The text of a window of any process.
std::string window_text(HWND window);
// Window rectangle on the screen.
RECT window_rect(HWND window);
// Client rectangle on the screen.
RECT client_rect_on_screen(HWND window);
// The work area of the primary screen.
RECT work_area();
// Milliseconds of the tick clock.
inline uint32_t now_ms() {
    return ::GetTickCount();
}

// ============================================================================
// Screen, references and comparisons (screen.cpp)
// ============================================================================

// A memory context with a screen-compatible bitmap selected, as the game's backing bitmap.
struct Canvas {
    HDC screen;
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old_bitmap;
    int width, height;
};
// Opens a canvas of the size; canvas_close reads its pixels and frees it.
Canvas canvas_open(int width, int height);
Picture canvas_close(Canvas& c);
// Loads a picture file through OleLoadPicture; null when it cannot be read. The caller
// releases it.
struct IPicture;
IPicture* load_picture(const std::string& path);
// Reads a rectangle of the screen.
Picture capture_screen(int x, int y, int width, int height);
// Reads a rectangle of a window's client area as it shows on the screen.
Picture capture_client(HWND window, int x, int y, int width, int height);
// Copies part of a picture (parts outside read as 0xFF000000).
Picture crop(const Picture& picture, int x, int y, int width, int height);
// Number of pixels that differ; pictures of other sizes differ everywhere.
int count_differences(const Picture& a, const Picture& b);
// True when every pixel of the rectangle has the colour.
bool all_of_colour(const Picture& picture, int x, int y, int width, int height, uint32_t colour);
// Draws text with the default font: black on an opaque white background, cached.
const Picture& render_text(const std::string& text);
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
// Checks (checks.cpp, menu_check.cpp, robot.cpp)
// ============================================================================

// Runs the checks on one game from start to "Quit".
void run_main_checks(const CellReferences& refs);
// Runs the close-request checks and the run without data folders.
void run_closing_checks(const CellReferences& refs);
// Checks the menu through the game's real menu, compared with a reference menu.
void run_menu_checks(const GameProcess& game);
// Starts the robot's game, parked in the top left corner; false when it did not start.
bool robot_prepare(const CellReferences& refs);
// Plays the robot's game (level 1, and to the end with TARROWIND_LONG=1) on a thread.
HANDLE robot_start();
// Ends the robot's game if it still runs.
void robot_abort();
