// A game session inside the test process: the real main window made by set_up_window,
// the pictures loaded as game_main loads them, a clock the test moves, message boxes
// answered and counted, and frames run as the frame loop runs them.
// Relies on the game library and the runtime's seams (tick_source_set,
// message_box_set_responder); input arrives as real posted window messages.
#pragma once

#include <windows.h>

#include <cstdint>

#include "game/game.h"
#include "runtime/core/core_internal.h"
#include "runtime/draw/draw_internal.h"

// ============================================================================
// Types
// ============================================================================

// What a session has seen so far.
struct SessionTally {
    int32_t frames;       // frames run
    int32_t boxes;        // message boxes the game asked for
    int32_t level_boxes;  // "Leve 1 complete!" and "Leve 2 complete!"
    int32_t wins;         // "You have rescued all of the hostages!"
    int32_t losses;       // "You have failed to complete your mission!"
    int32_t clicks;       // clicks posted
    int32_t commands;     // menu commands posted
    int32_t most_figures; // the most figures shown at the end of one frame
};

// ============================================================================
// Module state
// ============================================================================

extern uint32_t session_now; // the clock the game reads
extern SessionTally session_tally;

// ============================================================================
// Public routines
// ============================================================================

// Open the game's window and load its pictures, with the clock at start_ms; the state
// game_main sets before it waits for "New".
void session_open(uint32_t start_ms);
// Close the window, release the pictures and restore the seams.
void session_close();
// The frame steps before pacing: spawn, draw, rules.
void session_frame_steps();
// Move the clock on by step_ms and let pace_frame handle what is queued; a WM_NULL is
// posted so that the wait always ends. The clock must make the frame due.
void session_pace(uint32_t step_ms);
// Post a left click at client (x, y), or a menu command, to the game's window.
void session_post_click(int32_t x, int32_t y);
void session_post_command(int32_t menu_id);
// Stop a sound still playing, so that its playback thread holds no memory at a census.
void session_hush();
// Figures shown on the field now.
int32_t session_figures();
// Client position of cell (row, column)'s top-left corner at the current magnification.
POINT session_cell_corner(int32_t row, int32_t column);
