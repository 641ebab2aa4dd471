// Tests of commands and shooting: hit boxes with both edges at 1x and 2x, every cell
// tested per click, the sounds of a shot, clicks that must do nothing, every menu
// command in every state, and the frame pacing after a click.
// Relies on the fixture; events go through the real window procedure (SendMessageA).
#include "game_fixture.h"

#include <mmsystem.h>

#include <csetjmp>

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

// Click the main window at client position (x, y) through the window procedure.
void click(int32_t x, int32_t y) {
    ::SendMessageA(game.main_window.hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
}

// Outer size of the main window.
SIZE window_size() {
    RECT r{};
    ::GetWindowRect(game.main_window.hwnd, &r);
    return {r.right - r.left, r.bottom - r.top};
}

// A clock that stands still, and jumps far ahead once three real seconds have passed, so
// that a pacing wait which ignores its events still ends (and the test fails instead of
// hanging).
DWORD still_clock_started = 0;
uint32_t still_clock_jump = 100000;
uint32_t read_still_clock() {
    return ::GetTickCount() - still_clock_started > 3000 ? fake_now + still_clock_jump : fake_now;
}

std::jmp_buf exit_jump;
UINT exit_code_seen = 0xFFFF;

[[noreturn]] void exit_to_test(UINT code) {
    exit_code_seen = code;
    std::longjmp(exit_jump, 1);
}

// One pixel of the main window's backing bitmap.
COLORREF field_pixel(int32_t x, int32_t y) {
    HDC memory = ::CreateCompatibleDC(nullptr);
    HGDIOBJ previous = ::SelectObject(memory, game.main_window.backing_bitmap);
    const COLORREF colour = ::GetPixel(memory, x, y);
    ::SelectObject(memory, previous);
    ::DeleteDC(memory);
    return colour;
}

// A clock that reads exactly one pacing interval after fake_now for its first three
// reads and one millisecond more from then on.
int32_t counted_reads = 0;
uint32_t read_counting_clock() {
    return fake_now + (++counted_reads > 3 ? 1001 : 1000);
}

} // namespace

// ============================================================================
// Shooting
// ============================================================================

TEST_F(GameTest, HitBoxesIncludeBothEdges) {
    struct Case {
        const char* what;
        int32_t zoom;
        int32_t x;
        int32_t y;
        std::vector<int32_t> hit;
    };
    const Case cases[] = {
        {"line between two cells", 1, 30, 36, {at(0, 0), at(0, 1)}},
        {"inside the first cell", 1, 29, 55, {at(0, 0)}},
        {"left of the field", 1, 9, 40, {}},
        {"shared corner of four cells", 1, 30, 56, {at(0, 0), at(0, 1), at(1, 0), at(1, 1)}},
        {"bottom right corner of the field", 1, 290, 156, {at(5, 13)}},
        {"below the field", 1, 100, 157, {}},
        {"2x: top left corner", 2, 20, 72, {at(0, 0)}},
        {"2x: inside", 2, 59, 111, {at(0, 0)}},
        {"2x: bottom right edge", 2, 60, 112, {at(0, 0), at(0, 1), at(1, 0), at(1, 1)}},
        {"2x: left of the field", 2, 19, 72, {}},
        {"2x: above the field", 2, 20, 71, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        start_playing();
        game.zoom = c.zoom;
        clear_field(CELL_TERRORIST);
        click(c.x, c.y);
        EXPECT_EQ(cells_changed_from(CELL_TERRORIST), c.hit);
        EXPECT_EQ(game.score, static_cast<int32_t>(c.hit.size()));
        EXPECT_EQ(game.ammo, 19);
        for (int32_t cell : c.hit) {
            EXPECT_EQ(game.target_grid[cell], CELL_SLOT);
        }
    }
}

TEST_F(GameTest, ShotPlaysItsSoundsAndScores) {
    start_playing();
    game.target_grid[at(0, 0)] = CELL_HOSTAGE;
    game.target_grid[at(0, 1)] = CELL_TERRORIST;
    game.target_grid[at(1, 0)] = CELL_SLOT;
    game.target_grid[at(1, 1)] = CELL_TERRORIST;
    game.lives = 0;
    game.wait_for_tick = 1;
    click(30, 56);

    const DWORD wait = SND_SYNC | SND_NODEFAULT | SND_FILENAME;
    const DWORD start = SND_ASYNC | SND_NODEFAULT | SND_FILENAME;
    ASSERT_EQ(played_sounds.size(), 4u);
    EXPECT_EQ(played_sounds[0].name, "shoot.wav");
    EXPECT_EQ(played_sounds[0].flags, wait);
    EXPECT_EQ(played_sounds[1].name, "ggdeath.wav");
    EXPECT_EQ(played_sounds[2].name, "bgdeath.wav");
    EXPECT_EQ(played_sounds[3].name, "bgdeath.wav");
    for (size_t i = 1; i < 4; ++i) {
        EXPECT_EQ(played_sounds[i].flags, start);
    }
    EXPECT_EQ(game.lives, -1) << "a hostage hit has no lower limit";
    EXPECT_EQ(game.score, 2);
    EXPECT_EQ(game.ammo, 19);
    EXPECT_EQ(game.end_armed, 1);
    EXPECT_EQ(game.wait_for_tick, 0);
    EXPECT_EQ(temp_count(), 0);

    // The sound paths name the folders beside the executable.
    char* folder = start_path();
    played_sounds.clear();
    play_wave_set_player([](const char* sound, HMODULE, DWORD flags) -> BOOL {
        played_sounds.push_back({sound, flags});
        return TRUE;
    });
    click(200, 10);
    ASSERT_EQ(played_sounds.size(), 1u);
    EXPECT_EQ(played_sounds[0].name, std::string(folder) + "sound\\shoot.wav");
    heap_free(folder);
}

TEST_F(GameTest, ClickWithoutAmmunitionOnlyArmsAndHurries) {
    start_playing();
    clear_field(CELL_TERRORIST);
    game.ammo = 0;
    game.wait_for_tick = 1;
    click(15, 40);
    EXPECT_TRUE(played_sounds.empty());
    EXPECT_EQ(game.target_grid[at(0, 0)], CELL_TERRORIST);
    EXPECT_EQ(game.score, 0);
    EXPECT_EQ(game.end_armed, 1);
    EXPECT_EQ(game.wait_for_tick, 0);
}

TEST_F(GameTest, ClicksDoNothingBeforeTheGameWhilePausedOrAfterTheEnd) {
    for (int32_t state = 0; state < 3; ++state) {
        SCOPED_TRACE(state);
        start_playing();
        if (state == 0) {
            game.game_over = 1; // waiting for the first game
        } else if (state == 1) {
            game.paused = 1;
        } else {
            game.game_over = 1;
            game.level = 3;
        }
        clear_field(CELL_TERRORIST);
        game.end_armed = 0;
        game.wait_for_tick = 1;
        played_sounds.clear();
        click(15, 40);
        EXPECT_TRUE(played_sounds.empty());
        EXPECT_EQ(game.end_armed, 0);
        EXPECT_EQ(game.wait_for_tick, 1);
        EXPECT_EQ(game.ammo, 20);
        EXPECT_EQ(game.target_grid[at(0, 0)], CELL_TERRORIST);
    }
}

// ============================================================================
// Menu commands
// ============================================================================

TEST_F(GameTest, MenuCommandsWorkInEveryState) {
    enum State { WAITING, PLAYING, PAUSED, OVER };
    const char* names[] = {"waiting", "playing", "paused", "over"};
    const std::string rules_text = "Dangerous terrorists have taken innocent\r\n"
                                   "people as hostages. Your mission is to rescue\r\n"
                                   "the hostages and kill the terrorists. To kill\r\n"
                                   "a terrorist, click one with your mouse. Take\r\n"
                                   "extra care to not kill hostages. When a\r\n"
                                   "terrorist appears, kill him quickly before\r\n"
                                   "he disappears or he will shoot you.";
    const int32_t height_1x = game.window_height_1x;
    const int32_t height_2x = game.window_height_2x;
    for (int32_t state = WAITING; state <= OVER; ++state) {
        SCOPED_TRACE(names[state]);
        auto enter = [&] {
            std::memset(game.target_grid, 0, sizeof game.target_grid);
            game.game_over = 1;
            game.paused = 0;
            game.zoom = 1;
            game.level = 0;
            if (state != WAITING) {
                start_playing();
            }
            if (state == PAUSED) {
                game.paused = 1;
            }
            if (state == OVER) {
                game.game_over = 1;
                game.score = 42;
            }
            game.wait_for_tick = 1;
            shown_boxes.clear();
        };

        enter();
        game.zoom = 2;
        game.end_armed = state == OVER ? 0 : 1;
        game.spawn_interval_ms = 700;
        game.last_spawn_ms = 12345;
        game.last_refill_ms = 23456;
        const int32_t armed_before = game.end_armed;
        pick(MENU_NEW);
        EXPECT_EQ(game.game_over, 0);
        EXPECT_EQ(game.level, 1);
        EXPECT_EQ(game.score, 0);
        EXPECT_EQ(game.lives, 3);
        EXPECT_EQ(game.ammo, 20);
        EXPECT_EQ(game.wait_for_tick, 0);
        EXPECT_EQ(game.paused, state == PAUSED ? 1 : 0) << "New keeps the pause";
        EXPECT_EQ(game.zoom, 2) << "New keeps the magnification";
        EXPECT_EQ(game.end_armed, armed_before) << "New keeps end_armed";
        EXPECT_EQ(game.spawn_interval_ms, 2000);
        EXPECT_EQ(game.last_spawn_ms, 0u);
        EXPECT_EQ(game.last_refill_ms, 0u);
        EXPECT_FALSE(cells_changed_from(CELL_EMPTY).empty()) << "level 1 laid out";

        enter();
        // A square on the field, which leaving the pause must clear to blue.
        draw_rect(&game.main_window, 10, 136, 20, 20, rgb_color(128, 128, 128), 0);
        ASSERT_EQ(field_pixel(20, 146), 0u);
        const int32_t paused_before = game.paused;
        pick(MENU_PAUSE);
        EXPECT_EQ(game.paused, 1 - paused_before);
        EXPECT_EQ(game.wait_for_tick, paused_before ? 0 : 1);
        pick(MENU_PAUSE);
        EXPECT_EQ(game.paused, paused_before);
        EXPECT_EQ(game.wait_for_tick, 0);
        EXPECT_EQ(field_pixel(20, 146), rgb_color(0, 0, 255));

        enter();
        pick(MENU_ZOOM_2X);
        EXPECT_EQ(game.zoom, 2);
        EXPECT_EQ(game.wait_for_tick, 0);
        EXPECT_EQ(window_size().cx, 640);
        EXPECT_EQ(window_size().cy, height_2x);
        pick(MENU_ZOOM_2X); // announced again even without a change
        pick(MENU_ZOOM_1X);
        EXPECT_EQ(game.zoom, 1);
        EXPECT_EQ(window_size().cx, 320);
        EXPECT_EQ(window_size().cy, height_1x);
        ASSERT_EQ(shown_boxes.size(), 3u);
        EXPECT_EQ(shown_boxes[0].text,
                  "Magnification set to 2x.\r\n(may be slow on some machines)");
        EXPECT_EQ(shown_boxes[1].text, shown_boxes[0].text);
        EXPECT_EQ(shown_boxes[2].text, "Magnification set to 1x.");
        for (const ShownBox& box : shown_boxes) {
            EXPECT_EQ(box.caption, "Alert");
        }

        enter();
        pick(MENU_RULES);
        pick(MENU_ABOUT);
        pick(99); // not a command of this window
        ASSERT_EQ(shown_boxes.size(), 2u);
        EXPECT_EQ(shown_boxes[0].text, rules_text);
        EXPECT_EQ(shown_boxes[0].caption, "Rules");
        EXPECT_EQ(shown_boxes[1].caption, "About");
        EXPECT_EQ(shown_boxes[1].text.rfind("Tarrowind\r\n\r\n", 0), 0u);
        EXPECT_EQ(game.wait_for_tick, 1) << "Rules and About do not hurry the next frame";
    }
}

TEST_F(GameTest, QuitAndCloseEndTheProgramInEveryState) {
    const struct {
        const char* what;
        UINT message;
        WPARAM wparam;
        int32_t game_over;
        int32_t paused;
    } cases[] = {
        {"Quit while waiting", WM_COMMAND, MENU_QUIT, 1, 0},
        {"Quit while playing", WM_COMMAND, MENU_QUIT, 0, 0},
        {"Quit while paused", WM_COMMAND, MENU_QUIT, 0, 1},
        {"close while playing", WM_CLOSE, 0, 0, 0},
        {"close after the end", WM_CLOSE, 0, 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (game.main_window.hwnd == nullptr) {
            set_up_window();
        }
        game.game_over = c.game_over;
        game.paused = c.paused;
        HWND hwnd = game.main_window.hwnd;
        exit_code_seen = 0xFFFF;
        runtime_set_exit_routine(exit_to_test);
        if (setjmp(exit_jump) == 0) {
            // The handler runs directly, as the window procedure would run it, so the
            // jump back crosses only this program's frames.
            event_state.event_class = c.message == WM_CLOSE ? EV_CLOSE_REQUEST : EV_MENU_PICK;
            event_state.menu_id = static_cast<int32_t>(c.wparam);
            on_window_event();
            ADD_FAILURE() << "the program did not end";
        }
        runtime_set_exit_routine(nullptr);
        // program_end shut the runtime down: start it again for the tests that follow.
        runtime_startup();
        tick_source_set(read_fake_clock);
        message_box_set_responder(record_box);
        play_wave_set_player(record_sound);
        EXPECT_EQ(exit_code_seen, 0u);
        EXPECT_EQ(game.main_window.hwnd, nullptr);
        EXPECT_FALSE(::IsWindow(hwnd));
    }
}

// ============================================================================
// Frame pacing
// ============================================================================

TEST_F(GameTest, FrameFollowsRightAfterTheBatchHoldingAClick) {
    start_playing();
    still_clock_started = ::GetTickCount();
    tick_source_set(read_still_clock);
    game.last_frame_ms = fake_now; // the clock stands still: only an event can end the wait
    game.wait_for_tick = 1;
    start_timer(&game.main_window, 1000, 1, nullptr);
    ::PostMessageA(game.main_window.hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    ::PostMessageA(game.main_window.hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    const DWORD started = ::GetTickCount();
    pace_frame();
    EXPECT_LT(::GetTickCount() - started, 900u) << "no wait for the 1000 ms timer";
    EXPECT_EQ(game.end_armed, 1);
    EXPECT_EQ(game.last_frame_ms, fake_now);
}

TEST_F(GameTest, FrameComesAboutOnceASecondWithoutInput) {
    tick_source_set(nullptr); // the real clock
    start_playing();
    start_timer(&game.main_window, 1000, 1, nullptr);
    process_events(1);
    game.last_frame_ms = tick_count();
    game.wait_for_tick = 1;
    const DWORD started = ::GetTickCount();
    pace_frame();
    const DWORD waited = ::GetTickCount() - started;
    EXPECT_GE(waited, 1000u);
    EXPECT_LT(waited, 2600u);
    EXPECT_EQ(game.wait_for_tick, 0);
    EXPECT_GE(game.last_frame_ms - static_cast<uint32_t>(started), 1000u);
}

TEST_F(GameTest, FrameIsNotDueAtExactlyOneInterval) {
    start_playing();
    game.last_frame_ms = fake_now;
    game.wait_for_tick = 1;
    counted_reads = 0;
    tick_source_set(read_counting_clock);
    start_timer(&game.main_window, 10, 1, nullptr); // wakes the wait every 10 ms
    pace_frame();
    tick_source_set(read_fake_clock);
    ::KillTimer(game.main_window.hwnd, 1);
    EXPECT_GE(counted_reads, 4) << "the wait went on while the clock read +1000";
    EXPECT_EQ(game.last_frame_ms, fake_now + 1001);
}

TEST_F(GameTest, FrameIsDueAcrossTheClockWrap) {
    start_playing();
    still_clock_started = ::GetTickCount();
    tick_source_set(read_still_clock);
    // 4352 ms after the last frame, counted across the wrap. A test of now against
    // stamp + interval would wait until the clock came round again; the still clock jumps
    // back before the wrap after three seconds so that such a wait ends and fails.
    fake_now = 0x00000100u;
    still_clock_jump = 0xFFFFFFF0u - fake_now;
    game.last_frame_ms = 0xFFFFF000u;
    game.wait_for_tick = 1;
    start_timer(&game.main_window, 100, 1, nullptr);
    ::PostMessageA(game.main_window.hwnd, WM_NULL, 0, 0);
    const DWORD started = ::GetTickCount();
    pace_frame();
    EXPECT_LT(::GetTickCount() - started, 900u);
    still_clock_jump = 100000;
    EXPECT_EQ(game.last_frame_ms, 0x00000100u);
}
