// The soak: thousands of frames of play in the real window (busy fields, clicks on
// figures and beside them, level changes, wins and losses, magnification changes,
// pauses, message boxes) while a census of GDI objects, menus, windows, the runtime heap,
// the process heap and the TempStack shows that nothing grows.
// Relies on session.cpp for the game and census.cpp for the counts. 1,500 frames by
// default; 10,000 with TARROWIND_LONG=1 (./test --long).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "tests/support/census.h"
#include "session.h"

// ============================================================================
// Types
// ============================================================================

namespace {

// A small deterministic generator for the player's choices, apart from the game's own.
struct Script {
    uint32_t state;
};

// The player's plans that last over several frames.
struct Player {
    Script script;
    int32_t pause_frames_left; // frames until the pause is lifted again
    int32_t over_frames;       // frames since the game ended
};

// ============================================================================
// Module state
// ============================================================================

constexpr int32_t WARM_UP_FRAMES = 300;
constexpr int32_t CENSUS_EVERY = 250;

// ============================================================================
// Internal helpers
// ============================================================================

// The next choice of the script, from 0 to limit - 1.
uint32_t below(Script& script, uint32_t limit) {
    script.state = script.state * 1664525u + 1013904223u;
    return (script.state >> 8) % limit;
}

int32_t soak_frames() {
    const char* frames = std::getenv("TARROWIND_SOAK_FRAMES");
    if (frames != nullptr && std::atoi(frames) > 0) {
        return std::atoi(frames);
    }
    const char* long_run = std::getenv("TARROWIND_LONG");
    return long_run != nullptr && long_run[0] == '1' ? 10000 : 1500;
}

// Fill every free slot with a figure, mostly hostages (which cost nothing when they
// expire), shown at slightly staggered times.
void crowd_the_field(Script& script) {
    for (int32_t cell = 0; cell < GRID_CELLS; ++cell) {
        if (game.target_grid[cell] == CELL_SLOT) {
            game.target_grid[cell] = below(script, 8) < 5 ? CELL_HOSTAGE : CELL_TERRORIST;
            game.shown_at[cell] = session_now - below(script, 500);
        }
    }
}

// A streak of kills: the score jumps to one short of the level's target, so that level
// changes and wins (rare for this player against the game's pace) come often.
void close_in_on_the_target() {
    const int32_t targets[] = {0, 60, 160, 300};
    if (game.game_over != 0 || game.level < 1 || game.level > 3) {
        return;
    }
    if (game.score < targets[game.level] - 1) {
        game.score = targets[game.level] - 1;
    }
}

// What a click on the lower right corner of a cell would do: terrorists it kills less
// twice the hostages it hits (the four cells that meet there).
int32_t corner_value(int32_t row, int32_t column) {
    int32_t value = 0;
    for (int32_t r = row; r <= row + 1 && r < GRID_ROWS; ++r) {
        for (int32_t c = column; c <= column + 1 && c < GRID_COLUMNS; ++c) {
            const int32_t cell = game.target_grid[r * GRID_COLUMNS + c];
            value += cell == CELL_TERRORIST ? 1 : cell == CELL_HOSTAGE ? -2 : 0;
        }
    }
    return value;
}

// Post a click where it kills most: on the corner of a terrorist's cell shared with other
// terrorists, or on the middle of one; now and then on a hostage by mistake. False when
// there is nothing to aim at.
bool click_a_figure(Script& script) {
    const bool blunder = below(script, 12) == 0;
    int32_t best_cell = -1;
    int32_t best_value = 0;
    for (int32_t cell = 0; cell < GRID_CELLS; ++cell) {
        const int32_t state = game.target_grid[cell];
        if (state != (blunder ? CELL_HOSTAGE : CELL_TERRORIST)) {
            continue;
        }
        const int32_t value = blunder ? 1 : corner_value(cell / GRID_COLUMNS, cell % GRID_COLUMNS);
        if (best_cell < 0 || value > best_value || (value == best_value && below(script, 3) == 0)) {
            best_cell = cell;
            best_value = value;
        }
    }
    if (best_cell < 0) {
        return false;
    }
    const POINT corner = session_cell_corner(best_cell / GRID_COLUMNS, best_cell % GRID_COLUMNS);
    const int32_t offset = (best_value > 1 ? CELL_SIZE : CELL_SIZE / 2) * game.zoom;
    session_post_click(corner.x + offset, corner.y + offset);
    return true;
}

// Choose this frame's input, post it, and pace the frame with a clock step that makes
// it due: a short step after a shot, a full interval otherwise.
void play_frame(Player& player) {
    session_frame_steps();
    Script& script = player.script;
    bool command = false;
    bool shot = false;
    if (game.game_over != 0 && ++player.over_frames > 3) {
        session_post_command(MENU_NEW);
        player.over_frames = 0;
        command = true;
    } else if (game.paused != 0) {
        if (--player.pause_frames_left <= 0) {
            session_post_command(MENU_PAUSE);
            command = true;
        }
    } else {
        const uint32_t roll = below(script, 1000);
        if (roll < 5) {
            session_post_command(MENU_PAUSE);
            player.pause_frames_left = 3 + static_cast<int32_t>(below(script, 25));
            command = true;
        } else if (roll < 9) {
            session_post_command(game.zoom == 1 ? MENU_ZOOM_2X : MENU_ZOOM_1X);
            command = true;
        } else if (roll < 11) {
            session_post_command(below(script, 2) == 0 ? MENU_RULES : MENU_ABOUT);
            command = true;
        } else if (roll < 25) {
            crowd_the_field(script);
        } else if (roll < 55) {
            close_in_on_the_target();
        } else if (roll < 800 && game.game_over == 0) {
            shot = click_a_figure(script);
        } else if (roll < 880 && game.game_over == 0) {
            session_post_click(static_cast<int32_t>(below(script, 330)) * game.zoom,
                               static_cast<int32_t>(below(script, 170)) * game.zoom);
            shot = true;
        }
    }
    const bool hurried = shot && !command && game.paused == 0 && game.game_over == 0;
    session_pace(hurried ? 60 + below(script, 240) : 1001 + below(script, 400));
}

// The changes in the counts that must come back exactly, ignoring the census's own time.
bool same_counts(const Census& a, const Census& b) {
    return census_changes(a, b).empty();
}

} // namespace

// ============================================================================
// Tests
// ============================================================================

TEST(Soak, ThousandsOfFramesLeaveNothingBehind) {
    const int32_t frames = soak_frames();
    const Census before_window = census_take();
    session_open(100000);
    Player player = {{12345u}, 0, 0};
    session_post_command(MENU_NEW);
    session_pace(1);

    // Warm-up: every path (both magnifications, a pause, boxes, a crowded field) runs at
    // least once before the baseline, so caches Wine fills once do not count as growth.
    const int32_t scripted[] = {MENU_ZOOM_2X, MENU_ZOOM_1X, MENU_PAUSE,
                                MENU_PAUSE,   MENU_RULES,   MENU_ABOUT};
    for (int32_t command : scripted) {
        session_frame_steps();
        session_post_command(command);
        session_pace(1001);
    }
    for (int32_t i = 0; i < WARM_UP_FRAMES; ++i) {
        play_frame(player);
        if (i == WARM_UP_FRAMES / 2) {
            session_hush(); // the first stop of a sound sets up for good, too
        }
    }
    session_hush();
    // The first long line printed makes the C runtime keep an output buffer on the
    // process heap: print the census once before taking the baseline.
    std::printf("soak: %d frames after %d warm-up frames; %s\n", frames, session_tally.frames,
                census_text(census_take()).c_str());
    const Census baseline = census_take();

    Census largest = baseline;
    int32_t samples = 0;
    int32_t differing_samples = 0;
    for (int32_t i = 1; i <= frames; ++i) {
        play_frame(player);
        ASSERT_EQ(temp_count(), 0) << "TempStack entries left after frame " << i;
        if (i % CENSUS_EVERY == 0 || i == frames) {
            session_hush();
            const Census now = census_take();
            ++samples;
            if (!same_counts(baseline, now)) {
                ++differing_samples;
                std::printf("frame %d: %s\n", i, census_changes(baseline, now).c_str());
            }
            largest.gdi_objects = std::max(largest.gdi_objects, now.gdi_objects);
            largest.runtime_heap_blocks =
                std::max(largest.runtime_heap_blocks, now.runtime_heap_blocks);
            largest.process_heap_blocks =
                std::max(largest.process_heap_blocks, now.process_heap_blocks);
            largest.process_heap_bytes =
                std::max(largest.process_heap_bytes, now.process_heap_bytes);
        }
    }
    session_hush();
    const Census final_census = census_take();
    std::printf("baseline: %s\n", census_text(baseline).c_str());
    std::printf("after %d more frames: %s\n", frames, census_text(final_census).c_str());
    std::printf("largest sample: gdi %d, runtime heap %d blocks, process heap %d blocks / "
                "%lld bytes; %d of %d samples differed from the baseline\n",
                largest.gdi_objects, largest.runtime_heap_blocks, largest.process_heap_blocks,
                static_cast<long long>(largest.process_heap_bytes), differing_samples, samples);
    std::printf("play: %d frames, %d clicks, %d commands, %d boxes, %d level-ups, %d wins, "
                "%d losses, at most %d figures at once\n",
                session_tally.frames, session_tally.clicks, session_tally.commands,
                session_tally.boxes, session_tally.level_boxes, session_tally.wins,
                session_tally.losses, session_tally.most_figures);

    EXPECT_EQ(census_changes(baseline, final_census), "");
    EXPECT_EQ(differing_samples, 0);
    EXPECT_GT(session_tally.level_boxes, 0);
    EXPECT_GT(session_tally.wins, 0);
    EXPECT_GT(session_tally.losses, 0);
    EXPECT_GE(session_tally.most_figures, 25);

    session_close();
    const Census after_window = census_take();
    std::printf("after closing the window: %s\n", census_text(after_window).c_str());
    EXPECT_EQ(after_window.windows, before_window.windows);
    EXPECT_EQ(after_window.menus, before_window.menus);
}
