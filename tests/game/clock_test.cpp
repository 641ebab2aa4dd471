// Tests of the game's clock: a pause, a menu, one of the game's message boxes or a move of
// the window costs the figures, the spawn and the refill no time, and time that is both
// paused and held is given back once.
// Relies on the fixture's real window, controlled clock and recorded message boxes; the
// modal loops are announced through the real window procedure (SendMessageA).
#include "game_fixture.h"

#include <algorithm>

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

struct Figure {
    int32_t cell;
    int32_t state;
    uint32_t age; // ms shown when the clock stops
};

// Figures of different ages when the clock stops: one in its last millisecond, one just
// before it, one in mid-life and one just shown.
const Figure FIGURES[] = {{at(5, 0), CELL_TERRORIST, 3500},
                          {at(5, 1), CELL_HOSTAGE, 3400},
                          {at(5, 2), CELL_TERRORIST, 1000},
                          {at(5, 3), CELL_TERRORIST, 0}};

// A game at `start` with FIGURES shown and free slots everywhere else (so that a due spawn
// always finds one), five shots, the next refill 601 ms and the next spawn 501 ms away.
void show_figures(uint32_t start) {
    for (int32_t cell = 0; cell < GRID_CELLS; ++cell) {
        game.target_grid[cell] = CELL_SLOT;
    }
    for (const Figure& f : FIGURES) {
        game.target_grid[f.cell] = f.state;
        game.shown_at[f.cell] = start - f.age;
    }
    game.ammo = 5;
    game.last_refill_ms = start - 400;
    game.last_spawn_ms = start - 1500;
}

// Runs whole frames at the moments that matter after the clock ran again at `resumed`: the
// game must go on exactly as it would have at the moment the clock stopped.
void expect_time_kept(uint32_t resumed) {
    std::vector<uint32_t> moments = {0, 500, 501, 600, 601};
    for (const Figure& f : FIGURES) {
        moments.push_back(FIGURE_LIFETIME_MS - f.age);     // its last shown millisecond
        moments.push_back(FIGURE_LIFETIME_MS - f.age + 1); // expired
    }
    std::sort(moments.begin(), moments.end());
    for (const uint32_t after : moments) {
        SCOPED_TRACE(after);
        fake_now = resumed + after;
        spawn_figure();
        draw_frame();
        apply_rules();
        int32_t lives = 3;
        size_t figures_left = after >= 501 ? 1 : 0; // the spawn that was 501 ms away
        for (const Figure& f : FIGURES) {
            const bool expired = after > FIGURE_LIFETIME_MS - f.age;
            EXPECT_EQ(game.target_grid[f.cell], expired ? CELL_SLOT : f.state);
            lives -= expired && f.state == CELL_TERRORIST ? 1 : 0;
            figures_left += expired ? 0 : 1;
        }
        EXPECT_EQ(game.lives, lives) << "a terrorist shoots only when its own time ran out";
        if (after < 1000) { // before the second spawn and refill
            EXPECT_EQ(cells_changed_from(CELL_SLOT).size(), figures_left);
            EXPECT_EQ(game.ammo, after >= 601 ? 6 : 5);
        }
    }
}

// How long the next message box stays open: its responder moves the clock on by that much.
uint32_t box_open_ms = 0;
int32_t answer_box_late(HWND owner, const char* text, const char* caption, uint32_t style) {
    fake_now += box_open_ms;
    return record_box(owner, text, caption, style);
}

// One step of a test: a message to the main window, then `ms` passing on the clock (inside
// the box when the step opened one).
struct Step {
    UINT message;
    WPARAM wparam;
    uint32_t ms;
};

// WM_NULL as a step's message: the pump returns to the frame loop, as after a loop of the
// platform's own that announces nothing.
void run_step(const Step& step) {
    if (step.message == WM_NULL) {
        ::PostMessageA(game.main_window.hwnd, WM_NULL, 0, 0);
        game.wait_for_tick = 0;
        pace_frame();
        fake_now += step.ms;
        return;
    }
    const size_t boxes = shown_boxes.size();
    box_open_ms = step.ms;
    ::SendMessageA(game.main_window.hwnd, step.message, step.wparam, 0);
    if (shown_boxes.size() == boxes) {
        fake_now += step.ms;
    }
}

} // namespace

// ============================================================================
// The pause and the modal loops
// ============================================================================

TEST_F(GameTest, PauseKeepsEveryFiguresRemainingTime) {
    // A 10 s pause; the second one crosses the tick count's wrap. Frames run while paused.
    for (const uint32_t start : {100000u, 0xFFFFF000u}) {
        SCOPED_TRACE(start);
        fake_now = start;
        start_playing();
        show_figures(start);
        pick(MENU_PAUSE);
        fake_now = start + 10000;
        draw_frame();
        apply_rules();
        pick(MENU_PAUSE);
        expect_time_kept(fake_now);
    }
}

TEST_F(GameTest, TimeHeldByAMenuABoxOrAMoveCostsNothing) {
    message_box_set_responder(answer_box_late);
    struct Hold {
        const char* what;
        std::vector<Step> steps; // L: the length under test
    };
    const UINT menu = WM_COMMAND;
    for (const uint32_t start : {100000u, 0xFFFFF000u}) {
        // A moment's hold, and one of 6 s across the tick count's wrap.
        const uint32_t L = start == 100000u ? 1 : 6000;
        const Hold holds[] = {
            {"a menu", {{WM_ENTERMENULOOP, FALSE, L}, {WM_EXITMENULOOP, FALSE, 0}}},
            {"a move", {{WM_ENTERSIZEMOVE, 0, L}, {WM_EXITSIZEMOVE, 0, 0}}},
            {"Rules", {{menu, MENU_RULES, L}}},
            {"About", {{menu, MENU_ABOUT, L}}},
            {"Magnify 2x", {{menu, MENU_ZOOM_2X, L}}},
            {"Magnify 1x", {{menu, MENU_ZOOM_1X, L}}},
            {"the pause left inside a menu",
             {{menu, MENU_PAUSE, L},
              {WM_ENTERMENULOOP, FALSE, L},
              {menu, MENU_PAUSE, L},
              {WM_EXITMENULOOP, FALSE, 0}}},
            {"a menu closed while paused",
             {{WM_ENTERMENULOOP, FALSE, L},
              {menu, MENU_PAUSE, L},
              {WM_EXITMENULOOP, FALSE, L},
              {menu, MENU_PAUSE, 0}}},
            {"a title-bar button held", {{WM_NCLBUTTONDOWN, HTNOWHERE, L}, {WM_NULL, 0, 0}}},
            {"a menu inside a move",
             {{WM_ENTERSIZEMOVE, 0, L},
              {WM_ENTERMENULOOP, FALSE, L},
              {WM_EXITMENULOOP, FALSE, L},
              {WM_EXITSIZEMOVE, 0, 0}}},
            {"a box while paused",
             {{menu, MENU_PAUSE, L}, {menu, MENU_RULES, L}, {menu, MENU_PAUSE, 0}}},
        };
        for (const Hold& hold : holds) {
            SCOPED_TRACE(std::string(hold.what) + ", " + std::to_string(L) + " ms");
            fake_now = start;
            start_playing();
            show_figures(start);
            for (const Step& step : hold.steps) {
                run_step(step);
            }
            EXPECT_EQ(game.paused, 0);
            EXPECT_EQ(game.held, 0);
            expect_time_kept(fake_now);
        }
    }
}
