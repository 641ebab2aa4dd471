// The in-process game session of the soak tests: window, pictures, clock, boxes, frames.
// Relies on the game library (set_up_window, the frame steps, pace_frame) and on the
// runtime's test seams. Sounds are silenced (the player answers "no device"): their real
// playback is tested in core and end to end, and while a sound plays Wine's sound thread
// keeps a window and heap blocks of its own, which the census would count as ours.
// Deciding what to click and what to check belongs to the tests.
#include "session.h"

#include <ocidl.h>

#include <cstring>

// ============================================================================
// Module state
// ============================================================================

uint32_t session_now = 0;
SessionTally session_tally = {};

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

uint32_t read_session_clock() {
    return session_now;
}

int32_t answer_box(HWND, const char* text, const char*, uint32_t) {
    ++session_tally.boxes;
    if (std::strncmp(text, "Leve ", 5) == 0 && std::strcmp(text, "Leve 3 complete!") != 0) {
        ++session_tally.level_boxes;
    } else if (std::strcmp(text, "You have rescued all of the hostages!") == 0) {
        ++session_tally.wins;
    } else if (std::strcmp(text, "You have failed to complete your mission!") == 0) {
        ++session_tally.losses;
    }
    return IDOK;
}

void release_picture(ImageHandle picture) {
    if (picture != 0) {
        reinterpret_cast<IPicture*>(picture)->Release();
    }
}

// A player that plays nothing, as PlaySoundA without a sound device.
BOOL silent_player(const char*, HMODULE, DWORD) {
    return FALSE;
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Open the game's window and load its pictures, as game_main does before "New".
void session_open(uint32_t start_ms) {
    std::memset(&game, 0, sizeof game);
    session_tally = {};
    session_now = start_ms;
    tick_source_set(read_session_clock);
    message_box_set_responder(answer_box);
    play_wave_set_player(silent_player);
    start_up_game();
    process_events(1);
}

// Close the window, release the pictures and restore the seams.
void session_close() {
    close_window(&game.main_window);
    process_events(1);
    release_picture(game.hostage_picture);
    release_picture(game.terrorist_picture);
    game.hostage_picture = 0;
    game.terrorist_picture = 0;
    tick_source_set(nullptr);
    message_box_set_responder(nullptr);
    play_wave_set_player(nullptr);
}

// Run the frame steps that come before pacing.
void session_frame_steps() {
    game.wait_for_tick = 1;
    spawn_figure();
    draw_frame();
    apply_rules();
}

// Move the clock on and pace the frame.
void session_pace(uint32_t step_ms) {
    session_now += step_ms;
    ::PostMessageA(game.main_window.hwnd, WM_NULL, 0, 0);
    pace_frame();
    ++session_tally.frames;
    const int32_t figures = session_figures();
    if (figures > session_tally.most_figures) {
        session_tally.most_figures = figures;
    }
}

// Post a left click at client (x, y).
void session_post_click(int32_t x, int32_t y) {
    ::PostMessageA(game.main_window.hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    ++session_tally.clicks;
}

// Post a menu command.
void session_post_command(int32_t menu_id) {
    ::PostMessageA(game.main_window.hwnd, WM_COMMAND, MAKEWPARAM(menu_id, 0), 0);
    ++session_tally.commands;
}

// Stop a sound still playing.
void session_hush() {
    play_wave("", TAG_STRING, 0);
}

// Count the figures shown on the field.
int32_t session_figures() {
    int32_t figures = 0;
    for (int32_t cell : game.target_grid) {
        figures += cell == CELL_HOSTAGE || cell == CELL_TERRORIST ? 1 : 0;
    }
    return figures;
}

// Client position of a cell's top-left corner at the current magnification.
POINT session_cell_corner(int32_t row, int32_t column) {
    return POINT{(column * CELL_SIZE + FIELD_LEFT) * game.zoom,
                 (row * CELL_SIZE + FIELD_TOP) * game.zoom};
}
