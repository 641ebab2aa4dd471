// Colours and typed text output: the formatting of every item code (read back from
// standard output), the bounded print_buffer, and printing into a window at its
// current position.
#include "tests/window/window_test_support.h"

#include <climits>
#include <functional>

namespace {

// ---- standard output captured in a temporary file ----

struct CapturedOutput {
    HANDLE file;
    HANDLE previous;
};

CapturedOutput capture_output() {
    char dir[MAX_PATH], path[MAX_PATH];
    ::GetTempPathA(sizeof(dir), dir);
    ::GetTempFileNameA(dir, "out", 0, path);
    HANDLE file = ::CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    CapturedOutput out = {file, ::GetStdHandle(STD_OUTPUT_HANDLE)};
    ::SetStdHandle(STD_OUTPUT_HANDLE, file);
    return out;
}

std::string finish_capture(CapturedOutput out) {
    ::SetStdHandle(STD_OUTPUT_HANDLE, out.previous);
    std::string text(40000, '\0');
    DWORD got = 0;
    ::SetFilePointer(out.file, 0, nullptr, FILE_BEGIN);
    ::ReadFile(out.file, text.data(), static_cast<DWORD>(text.size()), &got, nullptr);
    ::CloseHandle(out.file);
    text.resize(got);
    return text;
}

// What one list prints to standard output.
std::string printed(const std::function<void()>& print) {
    print_target = nullptr;
    CapturedOutput out = capture_output();
    print();
    return finish_capture(out);
}

TEST(Colours, PackedWithoutClamping) {
    EXPECT_EQ(rgb_color(0, 0, 255), 16711680u);
    EXPECT_EQ(rgb_color(128, 128, 128), 8421504u);
    EXPECT_EQ(rgb_color(256, 0, 0), 256u); // spills into green
    EXPECT_EQ(rgb_color(1, 2, 3), RGB(1, 2, 3));
}

TEST(PrintList, EveryCodeFormats) {
    struct Case {
        const char* what;
        std::function<void()> print;
        const char* expect;
    } cases[] = {
        {"int", [] { text_print(1, 2, -5); }, "-5 "},
        {"unsigned", [] { text_print(1, 19, 7u); }, "7 "},
        {"single", [] { text_print(1, 3, 2.5f); }, " 2.50"},
        // A single item is narrowed first: 0.045 as a float is 0.04500000178...
        {"single from a double", [] { text_print(1, 3, 0.045); }, " 0.05"},
        {"double", [] { text_print(1, 14, 0.045); }, " 0.04"}, // 0.04499999999999999833
        {"negative double", [] { text_print(1, 14, -1.5); }, "-1.50"},
        {"word", [] { text_print(1, 13, 0x12345); }, "9029 "},
        {"char and text", [] { text_print(2, 1, 'A', 0, "bc"); }, "Abc"},
        {"int64 extremes",
         [] { text_print(2, 17, static_cast<int64_t>(INT64_MIN), 17, INT64_MAX); },
         "-9223372036854775808 9223372036854775807 "},
        {"uint64 extremes", [] { text_print(2, 18, UINT64_MAX, 18, static_cast<uint64_t>(0)); },
         "18446744073709551615 0 "},
        {"unknown code skips one value", [] { text_print(3, 99, 12345, 2, 1, 5, 0); }, "1 "},
        {"line ends reach standard output", [] { text_print(3, 0, "a", 1, 13, 1, 10); }, "a\r\n"},
        {"empty list", [] { text_print(0); }, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(printed(c.print), c.expect) << c.what;
        EXPECT_STREQ(print_buffer, c.expect) << c.what;
    }
}

TEST(PrintList, WindowItemCountsOnlyFirst) {
    WindowRecord record = {};
    std::string out = printed([&] { text_print(2, 0, "x", 9, &record); });
    EXPECT_EQ(out, "x");
    EXPECT_EQ(print_target, nullptr);
}

TEST(PrintList, LongTextIsCutAtBufferEnd) {
    std::string long_text(40000, 'x');
    std::string out = printed([&] { text_print(2, 0, long_text.c_str(), 2, 42); });
    const size_t limit = PRINT_BUFFER_SIZE - 1;
    EXPECT_EQ(out.size(), limit);
    EXPECT_EQ(print_buffer[limit], '\0');
    EXPECT_EQ(std::string(print_buffer).size(), limit);
    EXPECT_EQ(print_target, nullptr); // the variable after the buffer is intact

    // Items that meet a nearly full buffer are cut too; the next list starts afresh.
    std::string almost(limit - 2, 'y');
    out = printed([&] { text_print(2, 0, almost.c_str(), 17, INT64_MIN); });
    EXPECT_EQ(out.size(), limit);
    EXPECT_EQ(out.substr(limit - 2), "-9");
    EXPECT_EQ(printed([] { text_print(1, 2, 3); }), "3 ");
}

// ---- printing into a window ----

using WindowText = WindowTest;

int32_t text_width(WindowRecord& r, const char* text) {
    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    HGDIOBJ old = ::SelectObject(dc, r.font);
    SIZE size = {};
    ::GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)), &size);
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    ::ReleaseDC(nullptr, screen);
    return size.cx;
}

// Columns of the area x0..x1 (exclusive), rows y0..y1, that hold a non-background pixel.
int32_t inked_columns(const Picture& px, int32_t x0, int32_t x1, int32_t y0, int32_t y1,
                      COLORREF background) {
    int32_t n = 0;
    for (int32_t x = x0; x < x1; ++x) {
        for (int32_t y = y0; y < y1; ++y) {
            if (px.at(x, y) != background) {
                ++n;
                break;
            }
        }
    }
    return n;
}

TEST_F(WindowText, StatusLineDrawsAtPositionAndDropsLineEnd) {
    WindowRecord& r = open(0, 0, 320, 200, 0);
    r.bk_mode = TRANSPARENT; // only the glyphs change pixels
    const COLORREF bg = r.back_color & 0xFFFFFF;
    const int32_t width = text_width(r, "Score");
    ASSERT_GT(width, 0);

    move_to(&r, 10, 5);
    text_print(4, 9, &r, 0, "Score", 1, 13, 1, 10);
    EXPECT_EQ(print_target, &r);
    EXPECT_EQ(r.current_pos.x, 10 + width);
    EXPECT_EQ(r.current_pos.y, 5);
    Picture px = read_bitmap(r.backing_bitmap);
    EXPECT_GT(inked_columns(px, 10, 10 + width, 5, 25, bg), width / 2);
    EXPECT_EQ(inked_columns(px, 0, 10, 0, 40, bg), 0);
    EXPECT_EQ(inked_columns(px, 10 + width, 200, 0, 40, bg), 0); // CR LF not drawn
    EXPECT_EQ(inked_columns(px, 0, 200, 0, 5, bg), 0);

    // The next print continues from there, on the same line.
    text_print(2, 9, &r, 0, "Score");
    EXPECT_EQ(r.current_pos.x, 10 + 2 * width);
    EXPECT_EQ(r.current_pos.y, 5);
    px = read_bitmap(r.backing_bitmap);
    EXPECT_GT(inked_columns(px, 10 + width, 10 + 2 * width, 5, 25, bg), width / 2);

    // Both reached the window before text_print returned.
    EXPECT_GT(inked_columns(read_window(r.hwnd, 0, 0, 200, 30), 10, 10 + 2 * width, 5, 25, bg),
              width);
}

TEST_F(WindowText, OnlyCrLfDrawsNothing) {
    WindowRecord& r = open(0, 0, 320, 200, 0);
    move_to(&r, 10, 5);
    Picture before = read_bitmap(r.backing_bitmap);
    text_print(3, 9, &r, 1, 13, 1, 10);
    EXPECT_EQ(r.current_pos.x, 10);
    EXPECT_TRUE(read_bitmap(r.backing_bitmap).pixels == before.pixels);
    text_print(2, 9, &r, 1, 10); // a lone line feed
    EXPECT_EQ(r.current_pos.x, 10);
    EXPECT_EQ(r.draw_dc, nullptr);
}

TEST_F(WindowText, LoneCarriageReturnIsDrawn) {
    WindowRecord& r = open(0, 0, 320, 200, 0);
    move_to(&r, 0, 0);
    text_print(3, 9, &r, 0, "Ab", 1, 13);
    EXPECT_EQ(r.current_pos.x, text_width(r, "Ab\r"));
    // A list without a window item goes on to the window printed to last.
    text_print(1, 0, "Ab");
    EXPECT_EQ(r.current_pos.x, text_width(r, "Ab\r") + text_width(r, "Ab"));
    print_target = nullptr;
}

TEST_F(WindowText, TextColoursAndMeasuring) {
    WindowRecord& r = open(0, 0, 320, 200, 0);
    int32_t width = 0, height = 0;
    measure_text(&r, "Score!", 5, &width, &height);
    EXPECT_EQ(width, text_width(r, "Score"));
    EXPECT_GT(height, 8);

    const COLORREF ink = RGB(200, 0, 0), cells = RGB(0, 0, 160);
    set_text_color(&r, ink, cells);
    move_to(&r, 10, 10);
    text_print(2, 9, &r, 0, "Score");
    Picture px = read_bitmap(r.backing_bitmap);
    int32_t inked = 0, background = 0;
    for (int32_t x = 10; x < 10 + width; ++x) {
        for (int32_t y = 10; y < 10 + height; ++y) {
            inked += px.at(x, y) == ink ? 1 : 0;
            background += px.at(x, y) == cells ? 1 : 0;
        }
    }
    EXPECT_GT(inked, width);                   // the glyphs in the text colour
    EXPECT_GT(background, width * height / 2); // on cells of the background colour
    EXPECT_EQ(px.at(10 + width + 2, 12), r.back_color & 0xFFFFFF); // nothing beyond

    WindowRecord closed = {};
    measure_text(&closed, "x", 1, &width, &height);
    EXPECT_EQ(std::make_pair(width, height), std::make_pair(0, 0));
}

} // namespace
