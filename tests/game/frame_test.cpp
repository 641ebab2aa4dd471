// Tests of frame drawing: squares with grey outlines and black fill, the figure pictures
// scaled into their cells at 1x and 2x, the status line text and the pause notice, read
// back as pixels from the window's backing bitmap.
// Relies on the fixture's real window and the pictures beside the test program.
#include "game_fixture.h"
#include "tests/support/test_support.h"

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

const COLORREF BLUE = RGB(0, 0, 255);
const COLORREF GREY = RGB(128, 128, 128);
const COLORREF BLACK = RGB(0, 0, 0);

// The whole backing bitmap of the main window, top row first.
struct Surface {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;

    Surface() {
        bitmap_size(game.main_window.backing_bitmap, &width, &height);
        pixels.resize(static_cast<size_t>(width) * height);
        BITMAPINFO info = top_down_info(width, height);
        HDC screen = ::GetDC(nullptr);
        ::GetDIBits(screen, game.main_window.backing_bitmap, 0, height, pixels.data(), &info,
                    DIB_RGB_COLORS);
        ::ReleaseDC(nullptr, screen);
    }

    COLORREF at(int32_t x, int32_t y) const {
        const uint32_t p = pixels[static_cast<size_t>(y) * width + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }

    int32_t count_other_than(COLORREF colour, int32_t left, int32_t top, int32_t right,
                             int32_t bottom) const {
        int32_t count = 0;
        for (int32_t y = top; y < bottom; ++y) {
            for (int32_t x = left; x < right; ++x) {
                count += at(x, y) != colour;
            }
        }
        return count;
    }
};

// The text of the last print list without its line end.
std::string last_printed() {
    std::string text = print_buffer;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

ImageHandle load_beside_program(const char* relative_name) {
    char* folder = start_path();
    std::string path = std::string(folder) + relative_name;
    heap_free(folder);
    return image_load(path.c_str(), TAG_STRING, IMAGE_PICTURE);
}

} // namespace

// ============================================================================
// Drawing
// ============================================================================

TEST_F(GameTest, FrameDrawsSquaresPicturesAndStatusLine) {
    start_playing();
    game.hostage_picture = load_beside_program("graphics\\goodguy.bmp");
    game.terrorist_picture = load_beside_program("graphics\\badguy.bmp");
    ASSERT_NE(game.hostage_picture, 0u);
    ASSERT_NE(game.terrorist_picture, 0u);
    game.target_grid[at(5, 0)] = CELL_SLOT;
    game.target_grid[at(5, 1)] = CELL_TERRORIST;
    game.target_grid[at(5, 2)] = CELL_HOSTAGE;
    game.target_grid[at(4, 2)] = CELL_SLOT;
    const int32_t temps = temp_count();
    draw_frame();
    EXPECT_EQ(temp_count(), temps);
    EXPECT_EQ(last_printed(), "Level: 1 Score: 0 Lives: 3 Ammo: 20  ");

    const Surface s;
    // The free slot (5, 0): x 10 to 29, y 136 to 155.
    EXPECT_EQ(s.at(10, 136), GREY);
    EXPECT_EQ(s.at(29, 155), GREY);
    EXPECT_EQ(s.at(20, 146), BLACK);
    EXPECT_EQ(s.at(9, 146), BLUE);
    EXPECT_EQ(s.at(20, 156), BLUE);
    // The figures cover their whole squares with their own backgrounds.
    EXPECT_EQ(s.at(30, 136), RGB(128, 16, 16)) << "terrorist";
    EXPECT_EQ(s.at(49, 155), RGB(128, 16, 16)) << "terrorist";
    EXPECT_EQ(s.at(50, 136), RGB(24, 104, 56)) << "hostage";
    EXPECT_EQ(s.at(69, 155), RGB(24, 104, 56)) << "hostage";
    // The slot above the hostage, and an empty cell beside it.
    EXPECT_EQ(s.at(60, 126), BLACK);
    EXPECT_EQ(s.at(40, 126), BLUE);
    // The status line's text at the top left, in the default black on white.
    EXPECT_GT(s.count_other_than(BLUE, 1, 1, 200, 14), 500);
    EXPECT_EQ(s.count_other_than(BLUE, 0, 30, 300, 35), 0) << "nothing between text and field";
    EXPECT_EQ(s.count_other_than(BLUE, 1, 18, 200, 30), 0) << "no pause notice";
}

TEST_F(GameTest, DrawingExpiresFiguresAndShowsThemThatFrame) {
    const COLORREF TERRORIST = RGB(128, 16, 16);
    struct Case {
        const char* what;
        uint32_t age; // ms since the figure was shown
        int32_t paused;
        int32_t game_over;
        int32_t lives_before;
        int32_t state_after;
        int32_t lives_after;
        COLORREF cell; // the cell's colour after the frame
    } cases[] = {
        {"at 3500 ms", 3500, 0, 0, 1, CELL_TERRORIST, 1, TERRORIST},
        {"at 3501 ms, the last life", 3501, 0, 0, 1, CELL_SLOT, 0, TERRORIST},
        {"after the game ended", 3501, 0, 1, 1, CELL_SLOT, 0, TERRORIST},
        {"while paused", 9000, 1, 0, 3, CELL_TERRORIST, 3, BLUE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        start_playing();
        game.terrorist_picture = load_beside_program("graphics\\badguy.bmp");
        ASSERT_NE(game.terrorist_picture, 0u);
        const uint32_t shown = fake_now;
        game.target_grid[at(5, 1)] = CELL_TERRORIST;
        game.shown_at[at(5, 1)] = shown;
        game.lives = c.lives_before;
        game.paused = c.paused;
        game.game_over = c.game_over;
        fake_now = shown + c.age;
        draw_frame();
        EXPECT_EQ(game.target_grid[at(5, 1)], c.state_after);
        EXPECT_EQ(game.lives, c.lives_after);
        // Cell (5, 1): x 30 to 49, y 136 to 155.
        const Surface s;
        EXPECT_EQ(s.at(30, 136), c.cell);
        EXPECT_EQ(s.at(49, 155), c.cell);
    }
}

TEST_F(GameTest, FrameAtDoubleMagnification) {
    start_playing();
    game.zoom = 2;
    game.target_grid[at(0, 0)] = CELL_SLOT;
    draw_frame();
    const Surface s;
    // Cell (0, 0) covers x 20 to 59 and y 72 to 111.
    EXPECT_EQ(s.at(20, 72), GREY);
    EXPECT_EQ(s.at(59, 111), GREY);
    EXPECT_EQ(s.at(40, 90), BLACK);
    EXPECT_EQ(s.at(19, 90), BLUE);
    EXPECT_EQ(s.at(60, 90), BLUE);
    EXPECT_EQ(s.at(40, 112), BLUE);
    EXPECT_GT(s.count_other_than(BLUE, 1, 1, 200, 14), 500) << "status line stays at (1, 1)";
}

TEST_F(GameTest, PausedFrameDrawsOnlyTheStatusLineAndNotice) {
    start_playing();
    game.target_grid[at(5, 0)] = CELL_SLOT;
    game.lives = -1;
    game.score = 123;
    game.paused = 1;
    draw_frame();
    EXPECT_EQ(last_printed(), "Paused...");
    const Surface s;
    EXPECT_EQ(s.at(20, 146), BLUE) << "the field is not drawn while paused";
    EXPECT_GT(s.count_other_than(BLUE, 1, 18, 100, 30), 100) << "Paused... under the line";

    game.paused = 0;
    draw_frame();
    EXPECT_EQ(last_printed(), "Level: 1 Score: 123 Lives: -1 Ammo: 20  ");
}
