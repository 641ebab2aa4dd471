// Shared helpers of the end-to-end checks: reporting and PNG output, starting the programs
// they drive and finding their windows, reading the screen and drawing references.
// Relies only on USER32, GDI32, KERNEL32, OLE32 and OLEAUT32 and on tests/support (a child
// is started by launch.h, pixels are picture.h's Picture); never on the runtime's or the
// programs' code. The game's driver (tests/e2e/game), the viewer's check (tests/e2e/viewer)
// and Hello's check (tests/e2e/package) build their checks on it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/launch.h"
#include "tests/support/picture.h"

// ============================================================================
// Types
// ============================================================================

// One running copy of a program a check drives (the game, the viewer, Hello).
struct RunningProgram {
    PROCESS_INFORMATION info{}; // process and thread handles, ids
    HWND window = nullptr;      // its main window, once found
    std::string folder;         // folder holding the program that runs
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
// Formats like printf into a std::string.
std::string format(const char* fmt, ...);

// ============================================================================
// Programs and windows (process.cpp)
// ============================================================================

// Prepares the emergency clean-up that ends every started program on any exit path.
void process_guard_install();
// Starts folder\tarrowind.exe and waits for its main window; false with the reason.
bool game_start(RunningProgram& game, const std::string& folder, std::string& why);
// Starts folder\file with arguments (already quoted as needed) and waits for its visible
// window of window_class; false with the reason. game_start is this for the game. With
// LAUNCH_UTF8 among launch_options, folder, file and arguments are UTF-8.
bool program_start(RunningProgram& program, const std::string& folder, const std::string& file,
                   const std::string& arguments, const char* window_class, std::string& why,
                   uint32_t launch_options = 0);
// Ends the program if it still runs and closes its handles; safe to call twice.
void program_kill(RunningProgram& program);
// Waits for the program to end by itself; true with its exit code when it did.
bool program_wait_exit(RunningProgram& program, DWORD timeout_ms, DWORD& exit_code);
// True while the program runs.
bool program_alive(const RunningProgram& program);
// Says why the program may not have answered: ended (with its exit code), hung, or "".
std::string program_state_text(const RunningProgram& program);
// Picks a menu command by posting WM_COMMAND to the program's window.
void program_command(const RunningProgram& program, int id);
// Posts a left click at client coordinates (button down, then up).
void program_click(const RunningProgram& program, int x, int y);
// A key pressed and let go with modifiers held, through the real input queue (SendInput).
void press(WORD key, const std::vector<WORD>& modifiers = {});
// The visible message box the program shows now, or null.
HWND find_message_box(const RunningProgram& program);
// Waits up to timeout_ms for a message box of the program.
HWND wait_message_box(const RunningProgram& program, DWORD timeout_ms);
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
// How long a value other than the wanted one must stay the same before a check takes it as
// the answer: longer than any program checked here takes between two changes of what it
// shows, even on a loaded machine.
constexpr DWORD SETTLED_MS = 4000;
// A value read again and again, with the time it last changed.
template <class T> struct Settling {
    T last{};
    uint32_t since = 0;
    bool started = false;
};
// Notes a new reading; true once the value has stayed the same for SETTLED_MS.
template <class T> bool settled(Settling<T>& s, const T& value) {
    if (!s.started || !(value == s.last)) {
        s.last = value;
        s.since = now_ms();
        s.started = true;
        return false;
    }
    return now_ms() - s.since >= SETTLED_MS;
}
// Reads a text with read() until it equals want (true) or timeout_ms have passed. Stops
// early, false, once a wrong text that is not empty has settled: the answer is known then.
// seen is the last text read.
template <class Text, class Read>
bool wait_for_text(DWORD timeout_ms, const Text& want, Text& seen, Read read) {
    Settling<Text> wrong;
    bool found = false;
    poll_until(timeout_ms, [&] {
        seen = read();
        found = seen == want;
        return found || (!seen.empty() && settled(wrong, seen));
    });
    return found;
}

// ============================================================================
// Screen, canvases and comparisons (screen.cpp)
// ============================================================================

// A memory context with a screen-compatible bitmap selected, as a runtime window's backing
// bitmap.
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
