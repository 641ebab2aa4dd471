// Shared helpers of the end-to-end checks: reporting and PNG output, starting programs of
// the build and finding their windows, reading the screen and drawing references.
// Relies only on USER32, GDI32, KERNEL32, OLE32 and OLEAUT32; never on the runtime's or the
// programs' code. The game's driver (tests/e2e/game) and the viewer's check
// (tests/e2e/viewer) build their checks on it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

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
// Programs and windows (process.cpp)
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
// How long a check waits for a state that an idle machine reaches at once: far beyond the
// usual time, so that a loaded machine only makes the check slower, never makes it fail.
constexpr DWORD PATIENCE_MS = 20000;
// Asks done() every step_ms until it answers true or timeout_ms have passed; true when it
// did. done() is asked once more at the end, so a slow step cannot lose the last chance.
template <class Done> bool poll_until(DWORD timeout_ms, Done done, DWORD step_ms = 40) {
    uint32_t start = now_ms();
    for (;;) {
        bool expired = now_ms() - start > timeout_ms;
        if (done())
            return true;
        if (expired)
            return false;
        ::Sleep(step_ms);
    }
}

// ============================================================================
// Screen, canvases and comparisons (screen.cpp)
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
// Number of pixels that differ, counting no further than limit + 1.
int differences_up_to(const Picture& a, const Picture& b, int limit);
