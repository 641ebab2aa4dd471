// Shared fixture of the game tests: a real main window made by set_up_window, a clock
// the test sets, message boxes answered and recorded without showing them, and sounds
// recorded instead of played.
// Relies on the runtime's test seams (tick_source_set, message_box_set_responder,
// play_wave_set_player); everything else runs through the real runtime and Win32.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "game/game.h"
#include "runtime/core/core_internal.h"
#include "runtime/draw/draw_internal.h"

// ============================================================================
// Types
// ============================================================================

// One message box the game asked for, with the game's state at that moment.
struct ShownBox {
    std::string text;
    std::string caption;
    uint32_t style;
    int32_t game_over; // game.game_over while the box was up
    int32_t level;     // game.level while the box was up
};

// One sound the game asked for: the file name after the last backslash and the flags.
struct PlayedSound {
    std::string name;
    DWORD flags;
};

// ============================================================================
// Module state
// ============================================================================

inline uint32_t fake_now = 100000;
inline std::vector<ShownBox> shown_boxes;
inline std::vector<PlayedSound> played_sounds;

// ============================================================================
// Internal helpers
// ============================================================================

inline uint32_t read_fake_clock() {
    return fake_now;
}

inline int32_t record_box(HWND, const char* text, const char* caption, uint32_t style) {
    shown_boxes.push_back({text, caption, style, game.game_over, game.level});
    return IDOK;
}

inline BOOL record_sound(const char* sound, HMODULE, DWORD flags) {
    const char* slash = std::strrchr(sound, '\\');
    played_sounds.push_back({slash ? slash + 1 : sound, flags});
    return TRUE;
}

// Index of cell (row, column).
constexpr int32_t at(int32_t row, int32_t column) {
    return row * GRID_COLUMNS + column;
}

// Pick a menu item of the main window through the window procedure.
inline void pick(int32_t id) {
    ::SendMessageA(game.main_window.hwnd, WM_COMMAND, id, 0);
}

// The cells that do not hold `state`, as indices.
inline std::vector<int32_t> cells_changed_from(int32_t state) {
    std::vector<int32_t> changed;
    for (int32_t cell = 0; cell < GRID_CELLS; ++cell) {
        if (game.target_grid[cell] != state) {
            changed.push_back(cell);
        }
    }
    return changed;
}

// ============================================================================
// The fixture
// ============================================================================

class GameTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::memset(&game, 0, sizeof game);
        fake_now = 100000;
        shown_boxes.clear();
        played_sounds.clear();
        tick_source_set(read_fake_clock);
        message_box_set_responder(record_box);
        play_wave_set_player(record_sound);
        set_up_window();
        game.main_loop_running = 1;
        game.game_over = 1;
        game.tick_interval_ms = 1000;
        game.zoom = 1;
        process_events(1);
    }

    void TearDown() override {
        close_window(&game.main_window);
        process_events(1);
        tick_source_set(nullptr);
        message_box_set_responder(nullptr);
        play_wave_set_player(nullptr);
    }

    // A game in progress at level 1 on an empty field, with a known generator.
    void start_playing() {
        random_seed(1);
        new_game();
        clear_field(CELL_EMPTY);
        shown_boxes.clear();
    }

    // Every cell of the field in one state, shown at the current time.
    static void clear_field(int32_t state) {
        for (int32_t cell = 0; cell < GRID_CELLS; ++cell) {
            game.target_grid[cell] = state;
            game.shown_at[cell] = fake_now;
        }
    }
};
