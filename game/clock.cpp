// The game's clock for figures, spawning and refills, and what stops it: the pause, and the
// platform's modal loops (a menu, a message box, a move or resize) that hold the frame loop.
// Relies on the runtime's tick clock and message box.
// While the clock stands, no frame can charge the player for time; when it runs again
// every stamp moves forward by the time it stood, so nothing is lost or counted twice.
#include "game/game.h"

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

// Move every clock of the game forward by the time it stood, so that each shown figure,
// the next spawn and the next refill have exactly the time left they had when it stopped.
// Unsigned sums wrap with the tick count.
void skip_time(uint32_t length) {
    for (int32_t cell = 0; cell < GRID_CELLS; ++cell) {
        const int32_t state = game.target_grid[cell];
        if (state == CELL_HOSTAGE || state == CELL_TERRORIST) {
            game.shown_at[cell] += length;
        }
    }
    game.last_spawn_ms += length;
    game.last_refill_ms += length;
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Set what stops the game's clock: the pause flag and the number of modal loops holding
// the frames. The clock stops when the first of them begins and runs again when the last
// ends; only then is the time it stood given back.
void set_clock_stops(int32_t paused, int32_t held) {
    held = held < 0 ? 0 : held; // more ends than beginnings leave nothing open
    const bool was_running = game.paused == 0 && game.held == 0;
    const bool runs = paused == 0 && held == 0;
    if (was_running && !runs) {
        game.stopped_at = tick_count();
    } else if (!was_running && runs) {
        skip_time(tick_count() - game.stopped_at);
    }
    game.paused = paused;
    game.held = held;
}

// A modal loop has begun to hold the frame loop.
void begin_hold() {
    set_clock_stops(game.paused, game.held + 1);
}

// The innermost modal loop holding the frame loop has ended.
void end_hold() {
    // An end without its beginning is not counted: the clock must not run backwards.
    if (game.held > 0) {
        set_clock_stops(game.paused, game.held - 1);
    }
}

// Show one of the game's message boxes and wait for the player to close it; the frames
// stand still meanwhile, and so does the game's clock.
void show_box(const char* text, const char* caption) {
    begin_hold();
    message_box(&game.main_window, text, caption, 0);
    end_hold();
}
