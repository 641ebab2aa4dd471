// Tests of the game rules: expiry after 3500 ms (across the tick count's wrap), level
// targets with their notices and order, the win and the loss needing end_armed, and the
// ammunition refill.
// Relies on the fixture's real window, controlled clock and recorded message boxes.
#include "game_fixture.h"

// ============================================================================
// Expiry
// ============================================================================

TEST_F(GameTest, FiguresExpireOnlyAfterMoreThan3500Ms) {
    struct Case {
        const char* what;
        int32_t figure;
        uint32_t shown;
        uint32_t now;
        int32_t lives_before;
        bool expires;
        int32_t lives_after;
    };
    const Case cases[] = {
        {"terrorist at exactly 3500 ms", CELL_TERRORIST, 10000, 13500, 3, false, 3},
        {"terrorist after 3501 ms", CELL_TERRORIST, 10000, 13501, 3, true, 2},
        {"terrorist takes the last life", CELL_TERRORIST, 10000, 13501, 1, true, 0},
        {"terrorist with no lives left", CELL_TERRORIST, 10000, 20000, 0, true, 0},
        {"terrorist with lives below zero", CELL_TERRORIST, 10000, 20000, -1, true, -1},
        {"hostage", CELL_HOSTAGE, 10000, 13501, 3, true, 3},
        {"shown before the wrap, expired after it", CELL_TERRORIST, 0xFFFFFF00u, 0x00000D00u, 3,
         true, 2},
        {"shown before the wrap, still fresh after it", CELL_TERRORIST, 0xFFFFFF00u, 0x00000C00u, 3,
         false, 3},
        {"shown just before the wrap, clock not yet wrapped", CELL_TERRORIST, 0xFFFFFF00u,
         0xFFFFFF80u, 3, false, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        start_playing();
        game.target_grid[at(2, 3)] = c.figure;
        game.shown_at[at(2, 3)] = c.shown;
        game.lives = c.lives_before;
        fake_now = c.now;
        expire_figure(at(2, 3));
        EXPECT_EQ(game.target_grid[at(2, 3)], c.expires ? CELL_SLOT : c.figure);
        EXPECT_EQ(game.lives, c.lives_after);
    }
}

// ============================================================================
// Level targets, win and loss
// ============================================================================

TEST_F(GameTest, LevelTargetsWinAndLoss) {
    const char* level1 = "Leve 1 complete!";
    const char* level2 = "Leve 2 complete!";
    const char* level3 = "Leve 3 complete!";
    const char* rescued = "You have rescued all of the hostages!";
    const char* failed = "You have failed to complete your mission!";
    struct Case {
        const char* what;
        int32_t level;
        int32_t score;
        int32_t lives;
        int32_t end_armed;
        std::vector<const char*> notices;
        int32_t level_after;
        int32_t game_over_after;
    };
    const Case cases[] = {
        {"level 1 one short", 1, 59, 3, 1, {}, 1, 0},
        {"level 1 reached", 1, 60, 3, 0, {level1}, 2, 0},
        {"level 2 needs 160 in total", 2, 159, 3, 1, {}, 2, 0},
        {"level 2 reached", 2, 160, 3, 0, {level2}, 3, 0},
        {"one level step per frame", 1, 300, 3, 1, {level1}, 2, 0},
        {"level 3 one short", 3, 299, 3, 1, {}, 3, 0},
        {"level 3 reached but not armed", 3, 300, 3, 0, {}, 3, 0},
        {"level 3 won", 3, 300, 3, 1, {level3, rescued}, 3, 1},
        {"won and lost in one frame: only the win", 3, 300, 0, 1, {level3, rescued}, 3, 1},
        {"level-up before the loss", 1, 60, 0, 1, {level1, failed}, 2, 1},
        {"lost", 2, 100, 0, 1, {failed}, 2, 1},
        {"lives below zero", 1, 10, -1, 1, {failed}, 1, 1},
        {"no lives but not armed: play goes on", 1, 10, 0, 0, {}, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        start_playing();
        game.target_grid[at(5, 5)] = CELL_TERRORIST;
        game.level = c.level;
        game.score = c.score;
        game.lives = c.lives;
        game.end_armed = c.end_armed;
        game.wait_for_tick = 1;
        apply_rules();

        ASSERT_EQ(shown_boxes.size(), c.notices.size());
        for (size_t i = 0; i < c.notices.size(); ++i) {
            EXPECT_EQ(shown_boxes[i].text, c.notices[i]);
            EXPECT_EQ(shown_boxes[i].caption, "Alert");
            EXPECT_EQ(shown_boxes[i].style, 48u) << "style 0: OK button, exclamation icon";
        }
        EXPECT_EQ(game.level, c.level_after);
        EXPECT_EQ(game.game_over, c.game_over_after);
        EXPECT_EQ(game.end_armed, c.game_over_after ? 0 : c.end_armed);
        EXPECT_EQ(game.wait_for_tick, c.game_over_after ? 0 : 1);
        // A level change lays out a fresh field: the figure shown before is gone.
        EXPECT_EQ(game.target_grid[at(5, 5)] == CELL_TERRORIST, c.level_after == c.level);
        // Every end is recorded before its notices open; a level-up notice comes first.
        for (const ShownBox& box : shown_boxes) {
            const bool is_end = box.text == level3 || box.text == rescued || box.text == failed;
            EXPECT_EQ(box.game_over, is_end ? 1 : 0) << box.text;
            if (box.text == level1 || box.text == level2) {
                EXPECT_EQ(box.level, c.level) << "the level changes after its notice";
            }
        }
    }
}

TEST_F(GameTest, LevelChangeLaysOutTheNewLevel) {
    // The field a level's layout makes from one generator state.
    auto layout_of = [](int32_t level) {
        random_seed(77);
        game.level = level;
        lay_out_level();
        return std::vector<int32_t>(game.target_grid, game.target_grid + GRID_CELLS);
    };
    for (int32_t level : {1, 2}) {
        SCOPED_TRACE(level);
        const std::vector<int32_t> expected = layout_of(level + 1);
        ASSERT_NE(layout_of(level), expected) << "the seed tells the two layouts apart";
        start_playing();
        game.level = level;
        game.score = level == 1 ? 60 : 160;
        random_seed(77);
        apply_rules();
        EXPECT_EQ(game.level, level + 1);
        EXPECT_EQ(std::vector<int32_t>(game.target_grid, game.target_grid + GRID_CELLS), expected);
    }
}

// ============================================================================
// Ammunition refill
// ============================================================================

TEST_F(GameTest, AmmunitionRefillsOncePerSecondUpToTwenty) {
    start_playing();
    game.ammo = 18;
    game.last_refill_ms = 0;
    const uint32_t start = fake_now;
    struct Step {
        uint32_t now;
        int32_t ammo;
        uint32_t last_refill;
    };
    const Step steps[] = {
        {start, 19, start},
        {start + 999, 19, start},
        {start + 1000, 19, start},
        {start + 1001, 20, start + 1001},
        {start + 5000, 20, start + 1001},
    };
    for (const Step& s : steps) {
        fake_now = s.now;
        apply_rules();
        EXPECT_EQ(game.ammo, s.ammo) << "at +" << s.now - start;
        EXPECT_EQ(game.last_refill_ms, s.last_refill) << "at +" << s.now - start;
    }
}

TEST_F(GameTest, AmmunitionRefillAcrossTheWrapAndNotWhilePausedOrOver) {
    struct Case {
        const char* what;
        uint32_t last_refill;
        uint32_t now;
        int32_t paused;
        int32_t game_over;
        int32_t ammo_after;
    };
    const Case cases[] = {
        {"refill due after the wrap", 0xFFFFFE00u, 0x00000300u, 0, 0, 6},
        {"not yet due after the wrap", 0xFFFFFE00u, 0x00000100u, 0, 0, 5},
        {"not yet due before the wrap", 0xFFFFFE00u, 0xFFFFFF00u, 0, 0, 5},
        {"paused", 0, 50000, 1, 0, 5},
        {"game over", 0, 50000, 0, 1, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        start_playing();
        game.ammo = 5;
        game.last_refill_ms = c.last_refill;
        game.paused = c.paused;
        game.game_over = c.game_over;
        fake_now = c.now;
        apply_rules();
        EXPECT_EQ(game.ammo, c.ammo_after);
    }
}
