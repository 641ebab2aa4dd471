// Commands and shooting: the main window's handler (seeding, closing, clicks, the seven
// menu commands) and one shot with its sounds, hit test and effect on score and lives.
// Relies on the runtime's event record, window geometry, message box, sound and strings.
// Level targets and the end of a game are judged by apply_rules in the next frame.
#include "game/game.h"

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

const char* const ZOOM_1X_TEXT = "Magnification set to 1x.";
const char* const ZOOM_2X_TEXT = "Magnification set to 2x.\r\n(may be slow on some machines)";

const char* const RULES_TEXT = "Dangerous terrorists have taken innocent\r\n"
                               "people as hostages. Your mission is to rescue\r\n"
                               "the hostages and kill the terrorists. To kill\r\n"
                               "a terrorist, click one with your mouse. Take\r\n"
                               "extra care to not kill hostages. When a\r\n"
                               "terrorist appears, kill him quickly before\r\n"
                               "he disappears or he will shoot you.";

const char* const ABOUT_TEXT = "Tarrowind\r\n"
                               "\r\n"
                               "Version 1.0\r\n"
                               "Rescue the hostages, stop the terrorists: a mouse shooting game.";

// Play a sound file from beside the executable; mode 0 waits for its end, 1 does not.
void play_sound(const char* relative_name, uint32_t mode) {
    char* path = data_file_path(relative_name);
    temp_push(path);
    play_wave(path, TAG_STRING, mode);
    temp_pop(1);
}

// Close the main window and end the program (exit code 0).
[[noreturn]] void quit_game() {
    close_window(&game.main_window);
    program_end();
}

// Resize the window for a magnification, clear it and say so, even when it is unchanged.
void set_zoom(int32_t zoom, int32_t width, int32_t height, const char* text) {
    game.zoom = zoom;
    game.wait_for_tick = 0;
    set_window_rect(&game.main_window, 0, 0, width, height, 0);
    center_window(&game.main_window);
    clear_to_blue();
    alert(text);
}

// Toggle the pause; leaving it gives the figures back their time and clears the window so
// the next frame redraws everything.
void toggle_pause() {
    if (game.paused == 0) {
        set_clock_stops(1, game.held);
        return;
    }
    set_clock_stops(0, game.held);
    game.wait_for_tick = 0;
    clear_to_blue();
}

// Carry out the menu command of the current event.
void run_menu_command() {
    switch (event_state.menu_id) {
    case MENU_NEW:
        new_game();
        break;
    case MENU_QUIT:
        quit_game();
    case MENU_PAUSE:
        toggle_pause();
        break;
    case MENU_ZOOM_1X:
        set_zoom(1, game.window_width_1x, game.window_height_1x, ZOOM_1X_TEXT);
        break;
    case MENU_ZOOM_2X:
        set_zoom(2, game.window_width_2x, game.window_height_2x, ZOOM_2X_TEXT);
        break;
    case MENU_RULES:
        show_box(RULES_TEXT, "Rules");
        break;
    case MENU_ABOUT:
        show_box(ABOUT_TEXT, "About");
        break;
    default:
        break;
    }
}

// True when a click at (x, y) lies in the cell's square or on its right or bottom edge.
// Both edges count on purpose: a click on the line between two cells hits both.
bool cell_is_hit(uint32_t x, uint32_t y, int32_t row, int32_t column) {
    const uint32_t zoom = static_cast<uint32_t>(game.zoom);
    const uint32_t left = static_cast<uint32_t>(column * CELL_SIZE + FIELD_LEFT) * zoom;
    const uint32_t top = static_cast<uint32_t>(row * CELL_SIZE + FIELD_TOP) * zoom;
    const uint32_t side = static_cast<uint32_t>(CELL_SIZE) * zoom;
    return x >= left && x <= left + side && y >= top && y <= top + side;
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// The main window's handler: seeds, shoots, runs menu commands, notes the modal loops
// that hold the frames, ends the program.
intptr_t on_window_event() {
    switch (event_state.event_class) {
    case WM_CREATE:
        random_seed(static_cast<uint32_t>(clock_seconds()));
        break;
    case EV_CLOSE_REQUEST:
        quit_game();
    case WM_LBUTTONDOWN:
        if (game.paused == 0 && game.game_over == 0) {
            fire_shot();
        }
        break;
    case EV_MENU_PICK:
        run_menu_command();
        break;
    // A menu or a move runs its own modal loop inside the platform's default processing
    // of an event: the frame loop stands still until it ends.
    case WM_ENTERMENULOOP:
    case WM_ENTERSIZEMOVE:
        begin_hold();
        break;
    case WM_EXITMENULOOP:
    case WM_EXITSIZEMOVE:
        end_hold();
        break;
    // A press on the title bar's buttons is tracked in a loop of the platform's own that
    // announces neither its start nor its end: the pump's return (pace_frame) ends it.
    case WM_NCLBUTTONDOWN:
        begin_hold();
        break;
    default:
        break;
    }
    return 0;
}

// Carry out one shot at the mouse position of the current event.
void fire_shot() {
    // Every attempt, even one without ammunition, hurries the frame and arms the end tests.
    game.wait_for_tick = 0;
    game.end_armed = 1;
    if (game.ammo < 1 || game.game_over != 0 || game.paused != 0) {
        return;
    }
    play_sound("sound\\shoot.wav", 0);
    game.ammo -= 1;

    const uint32_t x = event_state.mouse_x;
    const uint32_t y = event_state.mouse_y;
    // No stop at the first hit: every cell is tested, so one click may hit several.
    for (int32_t row = 0; row < GRID_ROWS; ++row) {
        for (int32_t column = 0; column < GRID_COLUMNS; ++column) {
            if (!cell_is_hit(x, y, row, column)) {
                continue;
            }
            int32_t& cell = game.target_grid[row * GRID_COLUMNS + column];
            if (cell == CELL_HOSTAGE) {
                play_sound("sound\\ggdeath.wav", 1);
                cell = CELL_SLOT;
                game.lives -= 1; // no lower limit: lives may go below 0
            } else if (cell == CELL_TERRORIST) {
                play_sound("sound\\bgdeath.wav", 1);
                cell = CELL_SLOT;
                game.score += 1;
            }
        }
    }
}
