// Tarrowind: the game's shared state and routines.
// Owns GameState (one program-wide record, `game`) and the names of the game's routines.
// Relies on the runtime headers for windows, drawing, images, strings, sound and time.
// The process entry (game/main.cpp) runs the runtime start-up, game_main and the end.
#pragma once

#include <cstdint>

#include "runtime/core/core.h"
#include "runtime/draw/draw.h"
#include "runtime/window/window.h"

// ============================================================================
// Types
// ============================================================================

constexpr int32_t GRID_ROWS = 6;
constexpr int32_t GRID_COLUMNS = 14;
constexpr int32_t GRID_CELLS = GRID_ROWS * GRID_COLUMNS; // 84, stored row by row

// Cell states of the field.
constexpr int32_t CELL_EMPTY = 0;     // no slot: blue background
constexpr int32_t CELL_SLOT = 1;      // a free slot: black square, grey outline
constexpr int32_t CELL_HOSTAGE = 2;   // a hostage is shown in the slot
constexpr int32_t CELL_TERRORIST = 3; // a terrorist is shown in the slot

// The field: cell (row, column) at index row * GRID_COLUMNS + column, row 0 at the top.
using TargetGrid = int32_t[GRID_CELLS];

// Menu identifiers of the main window.
constexpr int32_t MENU_NEW = 1;
constexpr int32_t MENU_QUIT = 2;
constexpr int32_t MENU_PAUSE = 3;
constexpr int32_t MENU_ZOOM_1X = 4;
constexpr int32_t MENU_ZOOM_2X = 5;
constexpr int32_t MENU_RULES = 6;
constexpr int32_t MENU_ABOUT = 7;

// Field geometry in client pixels at magnification 1.
constexpr int32_t CELL_SIZE = 20;
constexpr int32_t FIELD_LEFT = 10;
constexpr int32_t FIELD_TOP = 36;

// Times in milliseconds, and the game's limits.
constexpr uint32_t FIGURE_LIFETIME_MS = 3500;
constexpr uint32_t REFILL_PERIOD_MS = 1000;
constexpr int32_t AMMO_LIMIT = 20;
constexpr int32_t START_LIVES = 3;
constexpr int32_t START_SPAWN_INTERVAL_MS = 2000;
constexpr int32_t MIN_SPAWN_INTERVAL_MS = 500;
constexpr int32_t SPAWN_INTERVAL_STEP_MS = 10;
constexpr int32_t SPAWN_TRIES = 20;

// All game variables with program lifetime. Every field starts at 0 at load.
struct GameState {
    WindowRecord main_window;      // the one window, opened by set_up_window
    int32_t window_width_1x;       // outer width at magnification 1 (320)
    int32_t window_height_1x;      // outer height at magnification 1 (200, 208 after the fit-up)
    int32_t window_width_2x;       // outer width at magnification 2 (640)
    int32_t window_height_2x;      // outer height at magnification 2 (360, 376 after the fit-up)
    ImageHandle hostage_picture;   // "graphics\goodguy.bmp", 0 if it failed to load
    ImageHandle terrorist_picture; // "graphics\badguy.bmp", 0 if it failed to load
    int32_t tick_interval_ms;      // window timer period and frame pacing interval (1000)
    uint32_t last_frame_ms;        // tick time at which the last pacing wait ended
    int32_t wait_for_tick;         // 1: pace_frame waits out the interval; 0: next batch of events
    int32_t main_loop_running;     // frame loop condition; never cleared
    int32_t game_over;             // 1 before the first game and after a win or loss
    int32_t end_armed;             // set by every shot attempt, cleared by a win or loss
    int32_t paused;                // toggled by "Pause"
    int32_t held;                  // modal loops (menu, box, move) holding the frames now
    uint32_t stopped_at;           // tick time at which the game's clock stopped (see clock.cpp)
    int32_t zoom;                  // magnification, 1 or 2
    int32_t level;                 // 1 to 3
    int32_t score;                 // terrorists killed since "New"
    int32_t lives;                 // may fall below 0 through hostage hits
    int32_t ammo;                  // shots left, at most AMMO_LIMIT
    uint32_t last_refill_ms;       // tick time of the last ammunition refill
    int32_t spawn_interval_ms;     // minimum time between two figures appearing
    uint32_t last_spawn_ms;        // tick time of the last figure appearing
    TargetGrid target_grid;        // cell states of the field
    uint32_t shown_at[GRID_CELLS]; // per cell: tick time at which its figure appeared
};

// ============================================================================
// Module state
// ============================================================================

extern GameState game;

// ============================================================================
// Public routines
// ============================================================================

// True when more than interval milliseconds have passed from stamp to now. The
// difference is taken in unsigned 32-bit arithmetic so the test survives the tick
// count wrapping round after about 49.7 days.
inline bool time_has_passed(uint32_t now, uint32_t stamp, uint32_t interval) {
    return now - stamp > interval;
}

// The full path of a data file beside the executable ("sound\\shoot.wav"), as a fresh
// heap string owned by the caller.
char* data_file_path(const char* relative_name);
// Open the window, load the pictures, set the start values and start the window timer:
// everything game_main does before it waits for "New".
void start_up_game();
// Clear the whole window to the game's blue background.
void clear_to_blue();
// Show one of the game's notices (caption "Alert") and wait for the player to close it.
void alert(const char* text);
// Run the game: open the window, load the pictures, wait for "New", then run frames.
// Without its window it says so and returns.
void game_main();
// Open the main window, centre and colour it, build its menu, fit its height.
void set_up_window();
// Grow the window once when its client area is too low for the field.
void fit_client_area();
// Handle events until the next frame is due.
void pace_frame();

// Reset the game to level 1 and lay it out.
void new_game();
// Build the slots of the current level.
void lay_out_level();
// Show a hostage or a terrorist in a free slot when the spawn interval has passed.
void spawn_figure();

// Draw the field (expiring old figures) and the status line.
void draw_frame();

// Expire the figure in one cell when its time has run out.
void expire_figure(int32_t cell);
// Apply the level targets, the ammunition refill and the loss.
void apply_rules();

// Set what stops the game's clock (the pause flag, the number of modal loops holding the
// frames); when nothing stops it any more, every shown figure, the next spawn and the next
// refill get back the time it stood.
void set_clock_stops(int32_t paused, int32_t held);
// A modal loop (a menu, a message box, a move or resize) has begun to hold the frame loop.
void begin_hold();
// The innermost modal loop holding the frame loop has ended.
void end_hold();
// Show one of the game's message boxes (style 0, OK) and wait for the player to close it;
// the game's clock stands meanwhile.
void show_box(const char* text, const char* caption);

// The main window's handler: seeds, shoots, runs menu commands, notes the modal loops
// that hold the frames, ends the program.
intptr_t on_window_event();
// Carry out one shot at the mouse position of the current event.
void fire_shot();
