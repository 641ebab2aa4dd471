// Tests of the real program: tarrowind.exe started beside this test program, driven from
// outside through its window's messages, its field and status line read back as screen
// pixels, and its exit code checked after "Quit" or a close request.
// Relies on the built program and its data folders in the working folder (bin/).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>
#include "tests/support/test_support.h"
#include "tests/support/launch.h"

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

// The running game: its process and, once found, its main window.
struct RunningGame {
    ChildProcess process{};
    HWND window = nullptr;
};

// Start the game beside this test program (with its graphics and sound folders) and wait
// for its window; a game whose window never shows is ended.
bool start_game(RunningGame& run) {
    if (!launch_start(launch_own_folder(), GAME_PROGRAM, "", 0, &run.process)) {
        return false;
    }
    run.window = launch_wait_window(run.process, GAME_WINDOW_CLASS, 0, 200, 50);
    if (run.window == nullptr) { // never leave a game behind
        launch_end(run.process, 0);
        return false;
    }
    return true;
}

// Wait for the game to end; its exit code, or -1 when it did not end in time.
int64_t wait_for_exit(RunningGame& run) {
    return launch_end(run.process, 10000);
}

// The window's client area as it is on the screen, top row first, 0x00RRGGBB.
std::vector<uint32_t> read_client(HWND window, int32_t width, int32_t height) {
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    POINT origin{0, 0};
    ::ClientToScreen(window, &origin);
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY);
    ::SelectObject(memory, previous);
    BITMAPINFO info = top_down_info(width, height);
    ::GetDIBits(memory, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return pixels;
}

// What the field and status line of a fresh game look like on the screen.
struct FieldSeen {
    int32_t slots = 0;       // bottom-row cells with a grey outline and a black inside
    int32_t text_pixels = 0; // pixels other than blue in the status line's band
    bool blue = false;       // the background between status line and field is blue
};

FieldSeen look_at_field(HWND window) {
    constexpr uint32_t BLUE = 0x0000FF;
    constexpr uint32_t GREY = 0x808080;
    constexpr uint32_t BLACK = 0x000000;
    constexpr int32_t WIDTH = 300;
    constexpr int32_t HEIGHT = 160;
    const std::vector<uint32_t> p = read_client(window, WIDTH, HEIGHT);
    auto at = [&](int32_t x, int32_t y) {
        return p[static_cast<size_t>(y) * WIDTH + x] & 0xFFFFFF;
    };
    FieldSeen seen;
    for (int32_t column = 0; column < 14; ++column) {
        const int32_t x = column * 20 + 10;
        const int32_t y = 5 * 20 + 36;
        if (at(x, y) == GREY && at(x + 19, y + 19) == GREY && at(x + 10, y + 10) == BLACK) {
            ++seen.slots;
        }
    }
    for (int32_t y = 1; y < 14; ++y) {
        for (int32_t x = 1; x < 200; ++x) {
            seen.text_pixels += at(x, y) != BLUE;
        }
    }
    seen.blue = at(5, 32) == BLUE && at(295, 32) == BLUE;
    return seen;
}

} // namespace

// ============================================================================
// The real program
// ============================================================================

TEST(Program, NewShowsTheFieldAndQuitEndsWithCodeZero) {
    RunningGame run;
    ASSERT_TRUE(start_game(run)) << "tarrowind.exe did not open its window";

    // Before "New" no frame runs: the client area is plain blue.
    FieldSeen before;
    for (int32_t i = 0; i < 60 && !before.blue; ++i) { // the first paint comes a moment later
        ::Sleep(50);
        before = look_at_field(run.window);
    }
    EXPECT_TRUE(before.blue);
    EXPECT_EQ(before.slots, 0);
    EXPECT_EQ(before.text_pixels, 0);

    ::PostMessageA(run.window, WM_COMMAND, 1, 0);
    FieldSeen seen;
    for (int32_t i = 0; i < 60; ++i) {
        ::Sleep(100);
        seen = look_at_field(run.window);
        if (seen.slots >= 8 && seen.text_pixels > 300) {
            break;
        }
    }
    // Every column has a bottom slot unless the layout left it empty (1 in 12) or a
    // figure stands in it (one at most in the first frames).
    EXPECT_GE(seen.slots, 8);
    EXPECT_GT(seen.text_pixels, 300);
    EXPECT_TRUE(seen.blue);

    ::PostMessageA(run.window, WM_COMMAND, 2, 0);
    EXPECT_EQ(wait_for_exit(run), 0);
}

TEST(Program, CloseRequestWhileWaitingEndsWithCodeZero) {
    RunningGame run;
    ASSERT_TRUE(start_game(run)) << "tarrowind.exe did not open its window";
    ::PostMessageA(run.window, WM_CLOSE, 0, 0);
    EXPECT_EQ(wait_for_exit(run), 0);
    EXPECT_FALSE(::IsWindow(run.window));
}
