// The game across the 32-bit wrap of the tick clock: a game started 5 seconds before the
// clock runs over keeps spawning, expiring, refilling and pacing after it, and each of
// those time tests turns exactly one millisecond past its interval on either side of 0.
// Relies on session.cpp (the real window, a controlled clock, posted input).
#include <gtest/gtest.h>

#include <vector>

#include "session.h"

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

constexpr uint32_t WRAP_START = 0xFFFFFFFFu - 5000u;

// A clock that moves on by a fixed step at every reading, so that a loop which waits for
// time to pass finishes after a known number of readings.
uint32_t stepping_now = 0;
constexpr uint32_t STEP_PER_READING = 50;
uint32_t read_stepping_clock() {
    stepping_now += STEP_PER_READING;
    return stepping_now;
}

// A fresh game at level 1 with enough lives that expiries do not end it while the clock
// wraps, on a field with the slots of the layout and no figures.
void start_long_game() {
    session_post_command(MENU_NEW);
    session_pace(1001);
    game.lives = 1000;
}

class TickWrap : public ::testing::Test {
  protected:
    void SetUp() override { session_open(WRAP_START); }
    void TearDown() override { session_close(); }
};

} // namespace

// ============================================================================
// Tests
// ============================================================================

TEST_F(TickWrap, PlayGoesOnAcrossTheWrap) {
    start_long_game();
    // Twenty shots beside the field empty the magazine before the wrap.
    for (int32_t i = 0; i < AMMO_LIMIT; ++i) {
        session_post_click(1, 1);
    }
    session_frame_steps();
    session_pace(100);
    ASSERT_EQ(game.ammo, 0);

    int32_t spawns_after_wrap = 0;
    int32_t expiries_after_wrap = 0;
    int32_t refills_after_wrap = 0;
    bool wrapped = false;
    for (int32_t frame = 0; frame < 40; ++frame) {
        std::vector<int32_t> grid(game.target_grid, game.target_grid + GRID_CELLS);
        std::vector<uint32_t> shown(game.shown_at, game.shown_at + GRID_CELLS);
        const int32_t ammo = game.ammo;
        session_frame_steps();
        wrapped = wrapped || session_now < WRAP_START;
        for (int32_t cell = 0; cell < GRID_CELLS; ++cell) {
            const int32_t state = game.target_grid[cell];
            const bool figure = state == CELL_HOSTAGE || state == CELL_TERRORIST;
            const bool was_figure = grid[cell] == CELL_HOSTAGE || grid[cell] == CELL_TERRORIST;
            if (figure) {
                EXPECT_LE(session_now - game.shown_at[cell], FIGURE_LIFETIME_MS)
                    << "frame " << frame << " cell " << cell << " outlived its time";
            }
            if (was_figure && state == CELL_SLOT) {
                EXPECT_GT(session_now - shown[cell], FIGURE_LIFETIME_MS)
                    << "frame " << frame << " cell " << cell << " expired early";
                expiries_after_wrap += wrapped ? 1 : 0;
            }
            if (!was_figure && figure) {
                spawns_after_wrap += wrapped ? 1 : 0;
            }
        }
        // Every frame comes 1001 ms after the last: one shot back until the limit.
        EXPECT_EQ(game.ammo, ammo < AMMO_LIMIT ? ammo + 1 : AMMO_LIMIT) << "frame " << frame;
        refills_after_wrap += wrapped && game.ammo > ammo ? 1 : 0;
        const uint32_t before = session_now;
        session_pace(1001);
        EXPECT_EQ(game.last_frame_ms, before + 1001);
    }
    EXPECT_TRUE(wrapped);
    EXPECT_EQ(game.game_over, 0);
    EXPECT_GE(spawns_after_wrap, 10);
    EXPECT_GE(expiries_after_wrap, 5);
    EXPECT_GE(refills_after_wrap, 10);
}

// Each time test, with its stamp before the wrap: not passed at exactly its interval,
// passed one millisecond later (the clock read after the wrap), and not passed 10 ms after
// a stamp taken just before the wrap (where stamp + interval has already run over).
TEST_F(TickWrap, IntervalsEndOneMillisecondPastTheirLengthAcrossZero) {
    start_long_game();
    const int32_t cell = 5 * GRID_COLUMNS;
    struct Row {
        const char* what;
        uint32_t interval;
    };
    const Row rows[] = {
        {"expiry", FIGURE_LIFETIME_MS}, {"refill", REFILL_PERIOD_MS}, {"spawn", 2000u}};
    struct Case {
        uint32_t stamp;
        uint32_t elapsed; // now - stamp; beyond the interval means passed
        bool passed;
    };
    for (const Row& row : rows) {
        const Case cases[] = {{0xFFFFFFFFu - 999u, row.interval, false},
                              {0xFFFFFFFFu - 999u, row.interval + 1, true},
                              {0xFFFFFFFFu - 20u, 10u, false}};
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message()
                         << row.what << ", " << c.elapsed << " ms after " << c.stamp);
            session_now = c.stamp + c.elapsed;
            const bool expiry = row.interval == FIGURE_LIFETIME_MS;
            game.ammo = 5;
            game.last_refill_ms = row.interval == REFILL_PERIOD_MS ? c.stamp : session_now;
            game.spawn_interval_ms = static_cast<int32_t>(row.interval);
            game.last_spawn_ms = row.interval == 2000u ? c.stamp : session_now;
            // A field of free slots, where any try of the spawner succeeds, or one hostage.
            for (int32_t i = 0; i < GRID_CELLS; ++i) {
                game.target_grid[i] = expiry ? CELL_EMPTY : CELL_SLOT;
            }
            game.target_grid[cell] = expiry ? CELL_HOSTAGE : CELL_SLOT;
            game.shown_at[cell] = c.stamp;
            spawn_figure();
            draw_frame();
            apply_rules();
            if (expiry) {
                EXPECT_EQ(game.target_grid[cell], c.passed ? CELL_SLOT : CELL_HOSTAGE);
            } else if (row.interval == REFILL_PERIOD_MS) {
                EXPECT_EQ(game.ammo, c.passed ? 6 : 5);
            } else {
                EXPECT_EQ(session_figures(), c.passed ? 1 : 0);
            }
        }
    }
}

// The pacer waits out the whole interval when it began just before the wrap: it neither
// returns at once (a sum that ran over) nor waits for ever.
TEST_F(TickWrap, PacingWaitsOutTheIntervalAcrossZero) {
    start_long_game();
    const uint32_t start = 0xFFFFFFFFu - 300u;
    game.last_frame_ms = start;
    game.wait_for_tick = 1;
    stepping_now = start;
    tick_source_set(read_stepping_clock);
    // A quick timer of the test's own keeps the event wait waking up.
    ::SetTimer(game.main_window.hwnd, 77, 1, nullptr);
    pace_frame();
    ::KillTimer(game.main_window.hwnd, 77);
    tick_source_set([]() { return session_now; });
    const uint32_t waited = game.last_frame_ms - start;
    EXPECT_GT(waited, static_cast<uint32_t>(game.tick_interval_ms));
    EXPECT_LE(waited, static_cast<uint32_t>(game.tick_interval_ms) + 2 * STEP_PER_READING);
    EXPECT_LT(game.last_frame_ms, start); // the clock did run over
}
