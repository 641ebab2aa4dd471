// Level layout and spawning: starting a game, building a level's columns of slots and
// making figures appear in free slots at a quickening pace.
// Relies on the runtime's random numbers, tick clock and background colour.
// Drawing the field is frame.cpp's; expiry and level changes are rules.cpp's.
#include "game/game.h"

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

// Turn the bottom `height` cells of a column into slots.
void raise_column(int32_t column, int32_t height) {
    for (int32_t row = GRID_ROWS - height; row < GRID_ROWS; ++row) {
        game.target_grid[row * GRID_COLUMNS + column] = CELL_SLOT;
    }
}

// The height of one column: a chain of tests, each with its own draw from 1 to
// level + 3; the first test whose value comes up decides. Low columns dominate.
int32_t choose_column_height() {
    const int32_t top = game.level + 3;
    if (random_range(1, top) == 1) {
        return random_range(1, 3) == 1 ? 0 : 1;
    }
    // Tests above level + 3 cannot succeed but still use up a draw; keep them.
    for (int32_t test = 2; test <= GRID_ROWS; ++test) {
        if (random_range(1, top) == test) {
            return test;
        }
    }
    return 1;
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Reset the game to level 1 and lay it out.
void new_game() {
    game.game_over = 0;
    game.wait_for_tick = 0;
    game.score = 0;
    game.level = 1;
    game.lives = START_LIVES;
    game.ammo = AMMO_LIMIT;
    game.last_refill_ms = 0;
    game.spawn_interval_ms = START_SPAWN_INTERVAL_MS;
    game.last_spawn_ms = 0;
    // paused, zoom, end_armed and shown_at are kept: a game started while paused begins paused.
    lay_out_level();
}

// Build the slots of the current level.
// The spawn interval is kept across levels on purpose: only new_game raises it again.
void lay_out_level() {
    clear_to_blue();
    for (int32_t cell = 0; cell < GRID_CELLS; ++cell) {
        game.target_grid[cell] = CELL_EMPTY;
    }
    for (int32_t column = 0; column < GRID_COLUMNS; ++column) {
        raise_column(column, choose_column_height());
    }
}

// Show a hostage or a terrorist in a free slot when the spawn interval has passed.
void spawn_figure() {
    if (!time_has_passed(tick_count(), game.last_spawn_ms,
                         static_cast<uint32_t>(game.spawn_interval_ms)) ||
        game.game_over != 0 || game.paused != 0) {
        return;
    }
    for (int32_t attempt = 0; attempt < SPAWN_TRIES; ++attempt) {
        const int32_t column = random_range(0, GRID_COLUMNS - 1);
        const int32_t row = random_range(0, GRID_ROWS - 1);
        const int32_t cell = row * GRID_COLUMNS + column;
        if (game.target_grid[cell] != CELL_SLOT) {
            continue;
        }
        game.last_spawn_ms = tick_count();
        game.target_grid[cell] = random_range(CELL_HOSTAGE, CELL_TERRORIST);
        game.shown_at[cell] = tick_count();
        // A second draw turns half of the figures into terrorists, so three in four are.
        if (random_range(1, 2) == 1) {
            game.target_grid[cell] = CELL_TERRORIST;
        }
        if (game.spawn_interval_ms > MIN_SPAWN_INTERVAL_MS) {
            game.spawn_interval_ms -= SPAWN_INTERVAL_STEP_MS;
        }
        return;
    }
}
