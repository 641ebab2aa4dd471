// Game rules: figures expiring, level targets, the ammunition refill, the win and the loss.
// Relies on the runtime's message box and tick clock, and on lay_out_level.
// expire_figure is called by the drawing pass; apply_rules once per frame after it.
#include "game/game.h"

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

// Finish a level below the last: announce it, move up and lay out the next field.
// Unlike the win and the loss it leaves wait_for_tick alone, on purpose.
void finish_level(const char* text) {
    alert(text);
    game.level += 1;
    lay_out_level();
}

// Mark the game as ended before any notice opens.
void end_game() {
    game.wait_for_tick = 0;
    game.end_armed = 0;
    game.game_over = 1;
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Show one of the game's notices (caption "Alert") and wait for the player to close it.
void alert(const char* text) {
    show_box(text, "Alert");
}

// Expire the figure in one cell when its time has run out.
void expire_figure(int32_t cell) {
    // The pause and the modal loops move shown_at forward when they end (clock.cpp), so
    // the time they held the game is not counted.
    if (!time_has_passed(tick_count(), game.shown_at[cell], FIGURE_LIFETIME_MS)) {
        return;
    }
    // An expiry stops at 0 lives; a hostage hit (fire_shot) has no floor. Both deliberate.
    if (game.target_grid[cell] == CELL_TERRORIST && game.lives >= 1) {
        game.lives -= 1; // the terrorist shoots the player
    }
    game.target_grid[cell] = CELL_SLOT;
}

// Apply the level targets, the ammunition refill and the loss.
void apply_rules() {
    // "Leve" (not "Level") is how the game's notices are spelt: keep it in all three.
    // The targets 60, 160, 300 are totals: the score is not reset between levels.
    if (game.level == 1 && game.score >= 60) {
        finish_level("Leve 1 complete!");
    } else if (game.level == 2 && game.score >= 160) {
        finish_level("Leve 2 complete!");
    } else if (game.level == 3 && game.score >= 300 && game.end_armed == 1) { // needs a shot, too
        end_game();
        alert("Leve 3 complete!");
        alert("You have rescued all of the hostages!");
    }

    const uint32_t now = tick_count();
    if (time_has_passed(now, game.last_refill_ms, REFILL_PERIOD_MS) && game.ammo < AMMO_LIMIT &&
        game.game_over == 0 && game.paused == 0) {
        game.last_refill_ms = now;
        game.ammo += 1;
    }

    // Deliberate: a loss by expiries alone waits for the next shot attempt (end_armed), and
    // a win in this frame has already cleared end_armed, so only the win is announced.
    if (game.lives <= 0 && game.end_armed == 1) {
        end_game();
        alert("You have failed to complete your mission!");
    }
}
