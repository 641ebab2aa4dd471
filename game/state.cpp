// Game state and program flow: the `game` record, the program body, the main window's
// set-up and the frame pacing.
// Relies on the runtime for the window, menu, timer, event pump, pictures and clock.
// Spawning, drawing, rules and commands live in level.cpp, frame.cpp, rules.cpp and
// commands.cpp.
#include "game/game.h"

// ============================================================================
// Module state
// ============================================================================

GameState game;

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

// A picture from a file beside the executable; 0 when it cannot be loaded.
ImageHandle load_picture(const char* relative_name) {
    char* path = data_file_path(relative_name);
    temp_push(path);
    ImageHandle picture = image_load(path, TAG_STRING, IMAGE_PICTURE);
    temp_pop(1);
    return picture;
}

// Build the menu bar with its three menus and attach it to the main window.
void build_menu() {
    HMENU bar = create_menu(0);
    HMENU game_menu = create_menu(0);
    append_menu_item(bar, "Game", MF_POPUP, reinterpret_cast<UINT_PTR>(game_menu));
    append_menu_item(game_menu, "New", MF_STRING, MENU_NEW);
    append_menu_item(game_menu, "", MF_SEPARATOR, 0);
    append_menu_item(game_menu, "Quit", MF_STRING, MENU_QUIT);

    HMENU options_menu = create_menu(0);
    append_menu_item(bar, "Options", MF_POPUP, reinterpret_cast<UINT_PTR>(options_menu));
    append_menu_item(options_menu, "Pause", MF_STRING, MENU_PAUSE);
    HMENU magnify_menu = create_menu(0);
    append_menu_item(options_menu, "Magnify", MF_POPUP, reinterpret_cast<UINT_PTR>(magnify_menu));
    append_menu_item(magnify_menu, "1x", MF_STRING, MENU_ZOOM_1X);
    append_menu_item(magnify_menu, "2x", MF_STRING, MENU_ZOOM_2X);

    HMENU help_menu = create_menu(0);
    append_menu_item(bar, "Help", MF_POPUP, reinterpret_cast<UINT_PTR>(help_menu));
    append_menu_item(help_menu, "Rules", MF_STRING, MENU_RULES);
    append_menu_item(help_menu, "About", MF_STRING, MENU_ABOUT);

    attach_menu(&game.main_window, bar);
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Clear the whole window to the game's blue background.
void clear_to_blue() {
    set_background_color(&game.main_window, rgb_color(0, 0, 255));
}

// The full path of a data file beside the executable, as a fresh heap string.
char* data_file_path(const char* relative_name) {
    char* folder = start_path();
    char* name = string_duplicate(relative_name);
    char* path = string_concat({folder, name});
    heap_free(folder);
    heap_free(name);
    return path;
}

// Open the window, load the pictures, set the start values and start the window timer.
void start_up_game() {
    set_up_window();
    game.hostage_picture = load_picture("graphics\\goodguy.bmp");
    game.terrorist_picture = load_picture("graphics\\badguy.bmp");
    game.main_loop_running = 1;
    game.game_over = 1;
    game.tick_interval_ms = 1000;
    game.zoom = 1;
    start_timer(&game.main_window, static_cast<uint32_t>(game.tick_interval_ms), 1, nullptr);
}

// Run the game: start it up, wait for "New", then run frames.
void game_main() {
    start_up_game();
    // A game whose window could not be made would wait for events that never come.
    if (game.main_window.hwnd == nullptr) {
        message_box(nullptr, "The game's window could not be opened.", "Error", 0);
        return;
    }

    do {
        process_events(0);
    } while (game.game_over != 0);

    do {
        game.wait_for_tick = 1;
        spawn_figure();
        draw_frame();
        apply_rules();
        pace_frame();
    } while (game.main_loop_running != 0);

    // Never reached (nothing clears main_loop_running): the handler ends the program.
    close_window(&game.main_window);
    program_end();
}

// Open the main window, centre and colour it, build its menu, fit its height.
void set_up_window() {
    game.window_width_1x = 320;
    game.window_height_1x = 200;
    game.window_width_2x = 640;
    game.window_height_2x = 360;
    // Without its window the game has nothing to centre, colour or give a menu.
    if (open_window(&game.main_window, 0, 0, game.window_width_1x, game.window_height_1x,
                    WS_MINIMIZEBOX, nullptr, "Tarrowind", on_window_event) == 0) {
        return;
    }
    center_window(&game.main_window);
    clear_to_blue();
    build_menu();
    fit_client_area();
}

// Grow the window once when its client area is too low for the field.
void fit_client_area() {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
    get_client_size(&game.main_window, &left, &top, &width, &height);
    // One step of 8 (16 at 2x) and no second test, whatever the height then is.
    if (height < FIELD_TOP + GRID_ROWS * CELL_SIZE) {
        game.window_height_1x += 8;
        game.window_height_2x += 16;
        set_window_rect(&game.main_window, 0, 0, game.window_width_1x, game.window_height_1x, 0);
        center_window(&game.main_window);
    }
}

// Handle events until the next frame is due.
void pace_frame() {
    // At least one event is waited for even when the frame is already due; the timer
    // bounds that wait to a second.
    for (;;) {
        process_events(0);
        // Every modal loop entered while events were handled has ended by the time the pump
        // returns, so none holds the frames now: one whose end never came is over.
        if (game.held != 0) {
            set_clock_stops(game.paused, 0);
        }
        if (game.wait_for_tick == 0) {
            break;
        }
        if (time_has_passed(tick_count(), game.last_frame_ms,
                            static_cast<uint32_t>(game.tick_interval_ms))) {
            break;
        }
    }
    game.last_frame_ms = tick_count();
    game.wait_for_tick = 0;
}
