// The drawing surface: exact pixels of rectangles in the backing bitmap and on screen,
// partial repaint, nesting (also during the closing repaint), scaled surfaces, erase-time
// drawing, background colour, child windows left out of a paint, and no GDI object leaked.
#include "tests/window/window_test_support.h"

namespace {

using Surface = WindowTest;

const COLORREF GREY = RGB(128, 128, 128);
const COLORREF BLACK = RGB(0, 0, 0);
const COLORREF RED = RGB(255, 0, 0);
const COLORREF BLUE = RGB(0, 0, 255);
const COLORREF GREEN = RGB(0, 255, 0);

struct PixelCase {
    int32_t x, y;
    COLORREF expect; // NO_COLOR: the window's background
};

// Compare pixels with a table; origin shifts the table.
void expect_pixels(const Picture& px, const PixelCase* cases, size_t n, COLORREF background,
                   int32_t ox = 0, int32_t oy = 0) {
    for (size_t i = 0; i < n; ++i) {
        const PixelCase& c = cases[i];
        COLORREF want = c.expect == NO_COLOR ? background : c.expect;
        EXPECT_EQ(color_text(px.at(c.x - ox, c.y - oy)), color_text(want))
            << "row " << i << " at (" << c.x << "," << c.y << ")";
    }
}

// A 20 x 20 rectangle at (30, 30): ring 30..49, inside 31..48, right and bottom exclusive.
const PixelCase filled_ring[] = {
    {30, 30, GREY},     {49, 30, GREY},     {30, 49, GREY},     {49, 49, GREY},
    {40, 30, GREY},     {30, 40, GREY},     {31, 31, BLACK},    {48, 48, BLACK},
    {40, 40, BLACK},    {29, 30, NO_COLOR}, {30, 29, NO_COLOR}, {50, 40, NO_COLOR},
    {40, 50, NO_COLOR}, {50, 50, NO_COLOR}, {29, 29, NO_COLOR},
};

// Carry out the window's pending first paint, so that later paints repaint only what
// the test invalidates; true when it shows the background.
bool screen_ready(HWND hwnd, COLORREF background) {
    ::UpdateWindow(hwnd);
    pump_for(20);
    return !::GetUpdateRect(hwnd, nullptr, FALSE) &&
           read_window(hwnd, 0, 0, 4, 4).at(1, 1) == background;
}

TEST_F(Surface, FilledRectangleCoversExactlyItsPixels) {
    WindowRecord& r = open(0, 0, 320, 200, WS_MINIMIZEBOX);
    const COLORREF bg = r.back_color & 0xFFFFFF;
    ASSERT_TRUE(screen_ready(r.hwnd, bg));
    draw_rect(&r, 30, 30, 20, 20, GREY, BLACK);

    // On the window as soon as draw_rect returns, with nothing pumped in between.
    expect_pixels(read_window(r.hwnd, 25, 25, 30, 30), filled_ring, std::size(filled_ring), bg, 25,
                  25);
    expect_pixels(read_bitmap(r.backing_bitmap), filled_ring, std::size(filled_ring), bg);
}

TEST_F(Surface, OutlineChoices) {
    WindowRecord& r = open(0, 0, 320, 200, 0);
    const COLORREF bg = r.back_color & 0xFFFFFF;
    draw_rect(&r, 10, 10, 10, 10, NO_COLOR, BLACK); // the window's pen, fill ignored
    draw_rect(&r, 30, 10, 10, 10, RED, NO_COLOR);   // hollow red
    const PixelCase cases[] = {
        {10, 10, BLACK}, {19, 19, BLACK}, {15, 15, NO_COLOR}, {20, 15, NO_COLOR},
        {30, 10, RED},   {39, 19, RED},   {35, 15, NO_COLOR}, {40, 15, NO_COLOR},
    };
    expect_pixels(read_bitmap(r.backing_bitmap), cases, std::size(cases), bg);
}

TEST_F(Surface, DrawingRepaintsOnlyItsRectangle) {
    WindowRecord& r = open(0, 0, 320, 200, 0);
    ASSERT_TRUE(screen_ready(r.hwnd, r.back_color & 0xFFFFFF));
    // Paint the screen behind the runtime's back; only the drawn rectangle may be
    // copied over it from the backing bitmap.
    paint_behind(r.hwnd, {0, 0, 300, 150}, RED);
    draw_rect(&r, 40, 40, 10, 10, BLUE, BLUE);
    Picture px = read_window(r.hwnd, 0, 0, 100, 100);
    const PixelCase cases[] = {
        {40, 40, BLUE}, {49, 49, BLUE}, {45, 45, BLUE}, {5, 5, RED},
        {38, 45, RED},  {52, 45, RED},  {45, 52, RED},  {90, 90, RED},
    };
    expect_pixels(px, cases, std::size(cases), RED);
}

TEST_F(Surface, MoveToStoresPositionWithoutDrawing) {
    WindowRecord& r = open(0, 0, 320, 200, 0);
    const COLORREF bg = r.back_color & 0xFFFFFF;
    ASSERT_TRUE(screen_ready(r.hwnd, bg));
    Picture before = read_bitmap(r.backing_bitmap);
    HPEN pen = r.pen;
    // A pending repaint is carried out before move_to returns.
    paint_behind(r.hwnd, {0, 0, 50, 50}, RED);
    RECT pending = {10, 10, 20, 20};
    ::InvalidateRect(r.hwnd, &pending, FALSE);
    move_to(&r, 17, 23);
    Picture px = read_window(r.hwnd, 0, 0, 50, 50);
    EXPECT_EQ(color_text(px.at(15, 15)), color_text(bg));
    EXPECT_EQ(color_text(px.at(25, 25)), color_text(RED)) << "nothing else was repainted";
    EXPECT_EQ(r.current_pos.x, 17);
    EXPECT_EQ(r.current_pos.y, 23);
    EXPECT_TRUE(read_bitmap(r.backing_bitmap).pixels == before.pixels);
    EXPECT_EQ(r.pen, pen); // an unchanged pen is kept, not re-made
    EXPECT_EQ(r.draw_dc, nullptr);
}

TEST_F(Surface, NestedPairsShareOneContext) {
    WindowRecord& r = open(0, 0, 320, 200, 0);
    ASSERT_TRUE(screen_ready(r.hwnd, r.back_color & 0xFFFFFF));
    HDC outer = begin_draw(&r);
    ASSERT_NE(outer, nullptr);
    EXPECT_EQ(r.draw_depth, 1);
    // An inner pair (draw_rect's own) draws on the same context; its close repaints what
    // was drawn through the open context.
    draw_rect(&r, 10, 10, 20, 20, RED, RED);
    EXPECT_EQ(r.draw_dc, outer);
    EXPECT_EQ(r.draw_depth, 1);
    EXPECT_EQ(color_text(read_window(r.hwnd, 0, 0, 40, 40).at(20, 20)), color_text(RED));

    EXPECT_EQ(begin_draw(&r), outer);
    EXPECT_EQ(r.draw_depth, 2);
    end_draw(&r, outer, 0);
    EXPECT_EQ(r.draw_depth, 1);
    end_draw(&r, outer, 1);
    EXPECT_EQ(r.draw_depth, 0);
    EXPECT_EQ(r.draw_dc, nullptr);
    EXPECT_EQ(::GetObjectType(outer), 0u); // the memory context is gone
    EXPECT_EQ(color_text(read_bitmap(r.backing_bitmap).at(20, 20)), color_text(RED));
}

TEST_F(Surface, PenLeftSelectedBecomesTheWindowsPen) {
    WindowRecord& r = open(0, 0, 320, 200, 0);
    HPEN red = ::CreatePen(PS_SOLID, 3, RED);
    HDC dc = begin_draw(&r);
    ::SelectObject(dc, red);
    end_draw(&r, dc, 1);
    ::DeleteObject(red);
    LOGPEN kept = {};
    ASSERT_NE(::GetObjectA(r.pen, sizeof(kept), &kept), 0);
    EXPECT_EQ(kept.lopnColor, RED);
    EXPECT_EQ(kept.lopnWidth.x, 3);

    // Its colour is now the text colour, and outline NO_COLOR draws with it.
    draw_rect(&r, 10, 10, 10, 10, NO_COLOR, NO_COLOR);
    EXPECT_EQ(color_text(read_bitmap(r.backing_bitmap).at(10, 10)), color_text(RED));
}

TEST_F(Surface, ScaledBoundsMapping) {
    struct Case {
        RECT bounds;
        int32_t cw, ch, bw, bh;
        RECT expect;
    } cases[] = {
        {{10, 10, 19, 19}, 200, 200, 100, 100, {19, 19, 40, 40}},
        {{0, 0, 9, 9}, 150, 150, 100, 100, {-1, -1, 15, 15}},
        {{1, 3, 1, 3}, 150, 150, 100, 100, {1, 3, 4, 6}}, // 1.5 -> 2, 4.5 -> 4: ties to even
        {{10, 20, 29, 39}, 100, 100, 200, 200, {4, 9, 15, 20}},
    };
    for (const Case& c : cases) {
        RECT got = scaled_bounds_to_client(c.bounds, c.cw, c.ch, c.bw, c.bh);
        EXPECT_EQ(got.left, c.expect.left);
        EXPECT_EQ(got.top, c.expect.top);
        EXPECT_EQ(got.right, c.expect.right);
        EXPECT_EQ(got.bottom, c.expect.bottom);
    }
}

TEST_F(Surface, ScaledSurfaceIsStretchedToTheClient) {
    WindowRecord& r = open(0, 0, 200, 150, WF_BACKING_FIT_CLIENT | WS_THICKFRAME);
    int32_t bw = 0, bh = 0;
    bitmap_size(r.backing_bitmap, &bw, &bh);
    RECT outer = {};
    ::GetWindowRect(r.hwnd, &outer);
    ::SetWindowPos(r.hwnd, nullptr, 0, 0, outer.right - outer.left + bw,
                   outer.bottom - outer.top + bh, SWP_NOMOVE | SWP_NOZORDER);
    RECT client = {};
    ::GetClientRect(r.hwnd, &client);
    ASSERT_EQ(client.right, 2 * bw);
    ASSERT_EQ(client.bottom, 2 * bh);
    pump_for(50);

    draw_rect(&r, 10, 10, 20, 20, BLUE, BLUE);
    Picture px = read_window(r.hwnd, 0, 0, 100, 100);
    EXPECT_EQ(color_text(px.at(25, 25)), color_text(BLUE)); // bitmap 12,12
    EXPECT_EQ(color_text(px.at(55, 55)), color_text(BLUE)); // bitmap 27,27
    EXPECT_EQ(color_text(px.at(10, 10)), color_text(r.back_color & 0xFFFFFF));
    EXPECT_EQ(color_text(px.at(70, 70)), color_text(r.back_color & 0xFFFFFF));
}

bool erase_context_used = false;
intptr_t draw_while_erasing() {
    if (event_state.event_class == EV_ERASE) {
        WindowRecord* w = event_state.event_window;
        HDC dc = begin_draw(w);
        erase_context_used = dc != nullptr && dc == w->erase_dc &&
                             dc == reinterpret_cast<HDC>(event_state.event_wparam);
        end_draw(w, dc, 1);
        draw_rect(w, 5, 5, 10, 10, GREEN, GREEN);
        erase_context_used = erase_context_used && w->draw_depth == 0 && w->draw_dc == nullptr;
    }
    return 0;
}

TEST_F(Surface, DrawingInsideEraseGoesOntoTheEraseContext) {
    WindowRecord& r = open(0, 0, 200, 100, WF_NO_BACKING);
    react_to_event = draw_while_erasing;
    erase_context_used = false;
    ::InvalidateRect(r.hwnd, nullptr, TRUE);
    ::UpdateWindow(r.hwnd);
    react_to_event = nullptr;
    EXPECT_TRUE(erase_context_used);
    EXPECT_EQ(r.erase_dc, nullptr);
    Picture px = read_window(r.hwnd, 0, 0, 30, 30);
    EXPECT_EQ(color_text(px.at(10, 10)), color_text(GREEN));
    EXPECT_EQ(color_text(px.at(20, 20)), color_text(r.back_color & 0xFFFFFF));
}

// ---- drawing state of open contexts ----

const FontChoice SMALL = {"DejaVu Sans", 9, FW_NORMAL, 0};
struct Pieces {
    int32_t width, height; // "WW" measured in the window's state with drawing open
    int32_t second;        // its width once the small font was set
    POINT after;           // the position once both were printed
    int32_t erases;        // EV_ERASE events seen
} pieces = {};

// With drawing open, print "WW" in the window's state, then set blue on green and the small
// font and print "WW" again.
void two_pieces(WindowRecord* w) {
    HDC dc = begin_draw(w);
    measure_text(w, "WW", 2, &pieces.width, &pieces.height);
    text_print(2, PRINT_WINDOW, w, PRINT_TEXT, "WW");
    set_text_color(w, BLUE, GREEN);
    set_window_font(w, &SMALL);
    measure_text_utf8(w, "WW", 2, &pieces.second, nullptr);
    text_print_utf8(w, "WW", 2);
    end_draw(w, dc, 1);
    pieces.after = w->current_pos;
}

intptr_t two_pieces_while_erasing() {
    if (event_state.event_class == EV_ERASE && pieces.erases++ == 0) {
        two_pieces(event_state.event_window);
    }
    return 0;
}

// How many pixels of a rectangle of px hold each of red, yellow, blue and green.
std::vector<int32_t> inks_in(const Picture& px, int32_t left, int32_t right, int32_t bottom) {
    std::vector<int32_t> counts(4, 0);
    const COLORREF inks[] = {RED, RGB(255, 255, 0), BLUE, GREEN};
    for (int32_t y = 20; y < bottom; ++y) {
        for (int32_t x = left; x < right; ++x) {
            for (size_t i = 0; i < 4; ++i) {
                counts[i] += px.at(x, y) == inks[i];
            }
        }
    }
    return counts;
}

// Drawing open on the surface, and on an erase context inside the handler for EV_ERASE,
// starts from the window's font, colours, alignment and position; colours and a font set
// while it is open apply to what is drawn next; its close keeps them and the position.
TEST_F(Surface, OpenDrawingFollowsTheWindowsStateOnTheSurfaceAndWhileErasing) {
    const FontChoice big = {"DejaVu Sans", 20, FW_BOLD, 0};
    for (bool erasing : {false, true}) {
        SCOPED_TRACE(erasing ? "erase context" : "surface");
        WindowRecord& w = open(0, 0, 320, 200, erasing ? WF_NO_BACKING : 0);
        for (DWORD t = ::GetTickCount(); !screen_ready(w.hwnd, w.back_color & 0xFFFFFF);) {
            ASSERT_LT(::GetTickCount() - t, 5000u) << "the first paint never came";
        }
        ASSERT_EQ(set_window_font(&w, &big), 1);
        int32_t width = 0, height = 0;
        measure_text(&w, "WW", 2, &width, &height);
        set_text_color(&w, RED, RGB(255, 255, 0));
        move_to(&w, 10, 20);
        pieces = {};
        react_to_event = two_pieces_while_erasing;
        if (erasing) {
            ::InvalidateRect(w.hwnd, nullptr, TRUE);
            ::UpdateWindow(w.hwnd);
        } else {
            two_pieces(&w);
        }
        react_to_event = nullptr;
        EXPECT_EQ(pieces.erases, erasing ? 1 : 0);
        EXPECT_EQ(pieces.width, width);
        EXPECT_EQ(pieces.height, height);
        EXPECT_GT(pieces.width, pieces.second);
        const int32_t split = 10 + pieces.width, end = split + pieces.second;
        EXPECT_EQ(pieces.after.x, end);
        EXPECT_EQ(pieces.after.y, 20);
        EXPECT_EQ(color_text(w.bk_color), color_text(GREEN));

        const Picture px = read_window(w.hwnd, 0, 0, 320, 80);
        const std::vector<int32_t> first = inks_in(px, 10, split, 20 + height);
        const std::vector<int32_t> second = inks_in(px, split, end, 20 + height);
        EXPECT_TRUE(first[0] > 0 && first[1] > 0 && first[2] + first[3] == 0) << "red on yellow";
        EXPECT_TRUE(second[2] > 0 && second[3] > 0 && second[0] + second[1] == 0)
            << "blue on green";
        EXPECT_EQ(inks_in(px, 0, 10, 80), std::vector<int32_t>(4, 0)) << "left of the start";
        close_window(&w);
    }
}

TEST_F(Surface, WindowWithoutBackingDrawsStraightOnScreen) {
    WindowRecord& r = open(0, 0, 200, 100, WF_NO_BACKING);
    ASSERT_TRUE(screen_ready(r.hwnd, r.back_color & 0xFFFFFF));
    draw_rect(&r, 20, 20, 10, 10, RED, RED);
    EXPECT_EQ(color_text(read_window(r.hwnd, 0, 0, 40, 40).at(25, 25)), color_text(RED));
    EXPECT_EQ(r.draw_dc, nullptr);
}

TEST_F(Surface, BackgroundColourClearsWholeSurface) {
    WindowRecord& r = open(0, 0, 320, 200, 0);
    draw_rect(&r, 30, 30, 20, 20, GREY, BLACK);
    const COLORREF blue = rgb_color(0, 0, 255);
    set_background_color(&r, blue);
    EXPECT_EQ(r.back_color, blue);
    EXPECT_EQ(color_text(read_window(r.hwnd, 0, 0, 60, 60).at(40, 40)), color_text(BLUE));
    Picture px = read_bitmap(r.backing_bitmap);
    size_t wrong = 0;
    for (int32_t y = 0; y < px.height; ++y) {
        for (int32_t x = 0; x < px.width; ++x) {
            wrong += px.at(x, y) != BLUE;
        }
    }
    EXPECT_EQ(wrong, 0u);

    WindowRecord& plain = open(0, 250, 200, 100, WF_NO_BACKING);
    set_background_color(&plain, RED);
    ::UpdateWindow(plain.hwnd);
    Picture erased = read_window(plain.hwnd, 0, 0, 20, 20);
    EXPECT_EQ(color_text(erased.at(10, 10)), color_text(RED));
}

TEST_F(Surface, EndDrawWithoutRefreshLeavesTheScreen) {
    WindowRecord& r = open(0, 0, 320, 200, 0);
    const COLORREF bg = r.back_color & 0xFFFFFF;
    ASSERT_TRUE(screen_ready(r.hwnd, bg));
    HDC dc = begin_draw(&r);
    fill_rect_dc(dc, 10, 10, 10, 10, RED);
    end_draw(&r, dc, 0);
    EXPECT_EQ(color_text(read_bitmap(r.backing_bitmap).at(15, 15)), color_text(RED));
    EXPECT_FALSE(::GetUpdateRect(r.hwnd, nullptr, FALSE)) << "nothing invalidated";
    pump_for(50);
    EXPECT_EQ(color_text(read_window(r.hwnd, 0, 0, 30, 30).at(15, 15)), color_text(bg));
}

TEST_F(Surface, PaintWhileDrawingIsOpenCopiesWhatWasDrawnSince) {
    WindowRecord& r = open(0, 0, 320, 200, 0);
    ASSERT_TRUE(screen_ready(r.hwnd, r.back_color & 0xFFFFFF));
    const RECT all = {0, 0, 100, 40};
    auto repaint = [&] {
        ::InvalidateRect(r.hwnd, nullptr, FALSE);
        ::UpdateWindow(r.hwnd);
        return read_window(r.hwnd, 0, 0, 100, 40);
    };
    HDC dc = begin_draw(&r);
    fill_rect_dc(dc, 10, 10, 10, 10, RED);
    paint_behind(r.hwnd, all, GREEN);
    Picture px = repaint();
    EXPECT_EQ(color_text(px.at(15, 15)), color_text(RED)) << "drawn since drawing opened";
    EXPECT_EQ(color_text(px.at(50, 15)), color_text(GREEN)) << "not drawn: not copied";

    paint_behind(r.hwnd, all, GREEN);
    px = repaint();
    EXPECT_EQ(color_text(px.at(15, 15)), color_text(GREEN)) << "the bounds were cleared";

    fill_rect_dc(dc, 40, 10, 10, 10, BLUE);
    px = repaint();
    EXPECT_EQ(color_text(px.at(45, 15)), color_text(BLUE));
    EXPECT_EQ(color_text(px.at(15, 15)), color_text(GREEN));
    end_draw(&r, dc, 0);
}

TEST_F(Surface, TextStateIsAppliedAtOpenAndReadBackAtClose) {
    WindowRecord& r = open(0, 0, 320, 200, 0);
    struct TextState {
        int32_t bk_mode;
        COLORREF bk_color;
        int32_t rop2;
    } states[] = {{TRANSPARENT, RGB(1, 2, 3), R2_XORPEN}, {OPAQUE, RGB(200, 100, 50), R2_NOT}};
    for (int i = 0; i < 2; ++i) {
        const TextState& from = states[i];
        const TextState& to = states[1 - i];
        r.bk_mode = from.bk_mode;
        r.bk_color = from.bk_color;
        r.rop2 = from.rop2;
        HDC dc = begin_draw(&r);
        EXPECT_EQ(::GetBkMode(dc), from.bk_mode) << i;
        EXPECT_EQ(::GetBkColor(dc), from.bk_color) << i;
        EXPECT_EQ(::GetROP2(dc), from.rop2) << i;
        ::SetBkMode(dc, to.bk_mode);
        ::SetBkColor(dc, to.bk_color);
        ::SetROP2(dc, to.rop2);
        end_draw(&r, dc, 1);
        EXPECT_EQ(r.bk_mode, to.bk_mode) << i;
        EXPECT_EQ(r.bk_color, to.bk_color) << i;
        EXPECT_EQ(r.rop2, to.rop2) << i;
    }
}

// Live GDI objects of the process, found by probing every handle table index.
// NOTE: GetGuiResources answers 0 under Wine; Wine takes a handle whose high word is 0
// for any generation of that index.
size_t gdi_objects() {
    size_t count = 0;
    for (uintptr_t value = 1; value <= 0xFFFF; ++value) {
        count += ::GetObjectType(reinterpret_cast<HGDIOBJ>(value)) != 0;
    }
    return count;
}

// Armed just before end_draw: the frame paint that its repaint brings draws once more.
bool draw_during_repaint = false;
intptr_t draw_on_frame_paint() {
    if (draw_during_repaint && event_state.event_class == WM_NCPAINT) {
        draw_during_repaint = false;
        draw_rect(event_state.event_window, 40, 10, 10, 10, BLUE, BLUE);
    }
    return 0;
}

TEST_F(Surface, DrawingReopenedDuringTheClosingRepaintShowsBoth) {
    WindowRecord& r = open(0, 0, 320, 200, 0);
    const COLORREF bg = r.back_color & 0xFFFFFF;
    ASSERT_TRUE(screen_ready(r.hwnd, bg));
    react_to_event = draw_on_frame_paint;
    const size_t before = gdi_objects();

    HDC dc = begin_draw(&r);
    fill_rect_dc(dc, 10, 10, 10, 10, RED);
    // The frame needs painting too: end_draw's UpdateWindow sends WM_NCPAINT, whose
    // handler opens drawing on this window while the closing context holds the bitmap.
    ::RedrawWindow(r.hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
    draw_during_repaint = true;
    end_draw(&r, dc, 1);
    ASSERT_FALSE(draw_during_repaint) << "no drawing happened during the repaint";
    // Counted before the pixels are read: the first read makes objects of its own.
    EXPECT_EQ(gdi_objects(), before);

    const PixelCase cases[] = {
        {10, 10, RED},      {19, 19, RED},      {40, 10, BLUE},     {49, 19, BLUE},
        {30, 15, NO_COLOR}, {50, 15, NO_COLOR}, {45, 20, NO_COLOR}, {20, 20, NO_COLOR},
    };
    expect_pixels(read_window(r.hwnd, 0, 0, 60, 30), cases, std::size(cases), bg);
    expect_pixels(read_bitmap(r.backing_bitmap), cases, std::size(cases), bg);
    EXPECT_EQ(r.draw_dc, nullptr);
    EXPECT_EQ(r.draw_depth, 0);
    EXPECT_EQ(::GetObjectType(dc), 0u);
}

// Armed just before end_draw: the frame paint that its repaint brings closes the window,
// and notes whether its bitmap, pen and font were gone once close_window returned.
bool close_during_repaint = false;
int32_t owned_alive_after_close = -1;
intptr_t close_on_frame_paint() {
    if (close_during_repaint && event_state.event_class == WM_NCPAINT) {
        close_during_repaint = false;
        WindowRecord* record = event_state.event_window;
        const HGDIOBJ owned[] = {record->backing_bitmap, record->pen, record->font};
        close_window(record);
        owned_alive_after_close = 0;
        for (HGDIOBJ object : owned) {
            owned_alive_after_close += ::GetObjectType(object) != 0;
        }
    }
    return 0;
}

// NOTE: Wine only defers deleting an object still selected in a context (Windows refuses
// and the object leaks), so the objects are checked right after close_window returns.
TEST_F(Surface, ClosingDuringTheClosingRepaintFreesWhatTheWindowOwned) {
    WindowRecord& r = open(0, 0, 320, 200, 0);
    ASSERT_TRUE(screen_ready(r.hwnd, r.back_color & 0xFFFFFF));
    react_to_event = close_on_frame_paint;

    HDC dc = begin_draw(&r);
    fill_rect_dc(dc, 10, 10, 10, 10, RED);
    ::RedrawWindow(r.hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
    close_during_repaint = true;
    owned_alive_after_close = -1;
    end_draw(&r, dc, 1);
    ASSERT_FALSE(close_during_repaint) << "the window was not closed during the repaint";

    EXPECT_EQ(owned_alive_after_close, 0);
    EXPECT_EQ(r.hwnd, nullptr);
    EXPECT_EQ(::GetObjectType(dc), 0u);
}

// The record's pen and font as they were before the drawing that replaces them; checked
// from the erase that the closing repaint brings, while the closing context still exists.
HGDIOBJ replaced[2] = {};
int32_t replaced_still_alive = 0;
intptr_t check_replaced_on_erase() {
    if (event_state.event_class == EV_ERASE) {
        for (HGDIOBJ object : replaced) {
            replaced_still_alive += object != nullptr && ::GetObjectType(object) != 0;
        }
    }
    return 0;
}

TEST_F(Surface, ReplacedPenAndFontAreDeletedNotLeaked) {
    WindowRecord& backed = open(0, 0, 320, 200, 0);
    WindowRecord& plain = open(0, 250, 200, 100, WF_NO_BACKING);
    ASSERT_TRUE(screen_ready(backed.hwnd, backed.back_color & 0xFFFFFF));
    react_to_event = check_replaced_on_erase;
    replaced_still_alive = 0;
    struct Case {
        WindowRecord* window;
        int32_t refresh;
        bool erase; // the repaint erases first: the old objects are checked then
    } cases[] = {{&backed, 1, true}, {&backed, 0, false}, {&plain, 1, false}};
    const size_t before = gdi_objects();
    for (const Case& c : cases) {
        for (int i = 1; i <= 20; ++i) {
            HDC dc = begin_draw(c.window);
            HPEN pen = ::CreatePen(PS_SOLID, 1, RGB(i, 0, 0));
            HFONT font = ::CreateFontA(10 + i, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0,
                                       0, 0, "Arial");
            ::SelectObject(dc, pen);
            ::SelectObject(dc, font);
            replaced[0] = c.erase ? c.window->pen : nullptr;
            replaced[1] = c.erase ? c.window->font : nullptr;
            if (c.erase) {
                ::InvalidateRect(c.window->hwnd, nullptr, TRUE);
            }
            end_draw(c.window, dc, c.refresh);
            ::DeleteObject(pen);
            ::DeleteObject(font);
        }
        LOGPEN pen = {};
        LOGFONTA font = {};
        ASSERT_NE(::GetObjectA(c.window->pen, sizeof(pen), &pen), 0);
        ASSERT_NE(::GetObjectA(c.window->font, sizeof(font), &font), 0);
        EXPECT_EQ(pen.lopnColor, RGB(20, 0, 0));
        EXPECT_EQ(font.lfHeight, 30);
    }
    EXPECT_EQ(gdi_objects(), before);
    // A pen or font still selected in a context is not deleted by DeleteObject (Windows
    // refuses, Wine waits for the context): it must have been taken out first.
    EXPECT_EQ(replaced_still_alive, 0);
    EXPECT_TRUE(saw_event(EV_ERASE));
}

// A child window that never paints itself: whatever shows in it was put there by others.
LRESULT CALLBACK still_child_procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_ERASEBKGND) {
        return 1;
    }
    if (message == WM_PAINT) {
        PAINTSTRUCT ps;
        ::BeginPaint(hwnd, &ps);
        ::EndPaint(hwnd, &ps);
        return 0;
    }
    return ::DefWindowProcA(hwnd, message, wparam, lparam);
}

HWND open_still_child(HWND parent, int32_t x, int32_t y, int32_t w, int32_t h) {
    static ATOM atom = 0;
    if (atom == 0) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = still_child_procedure;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "SurfaceTestStillChild";
        atom = ::RegisterClassA(&wc);
    }
    return ::CreateWindowExA(0, "SurfaceTestStillChild", "", WS_CHILD | WS_VISIBLE, x, y, w, h,
                             parent, nullptr, ::GetModuleHandleA(nullptr), nullptr);
}

// A child window over part of its parent: its pixels are marked behind the runtime's back
// and must survive the parent drawing over its whole client area, with or without the
// parent's WS_CLIPCHILDREN.
TEST_F(Surface, ParentPaintLeavesItsChildWindowAlone) {
    const struct {
        const char* what;
        bool clip_children;
    } cases[] = {{"clip children", true}, {"no clip children", false}};
    int32_t top = 0;
    for (const auto& c : cases) {
        WindowRecord& parent = open(0, top, 200, 120, WF_NO_CAPTION);
        top += 150;
        const LONG style = ::GetWindowLongA(parent.hwnd, GWL_STYLE);
        ::SetWindowLongA(parent.hwnd, GWL_STYLE,
                         c.clip_children ? style | WS_CLIPCHILDREN : style & ~WS_CLIPCHILDREN);
        HWND child = open_still_child(parent.hwnd, 40, 30, 50, 40);
        ASSERT_NE(child, nullptr);
        ASSERT_TRUE(screen_ready(parent.hwnd, parent.back_color & 0xFFFFFF)) << c.what;
        paint_behind(child, {0, 0, 50, 40}, BLUE);

        draw_rect(&parent, 0, 0, 200, 120, RED, RED);
        // The child covers client 40..89 x 30..69 of the parent.
        const PixelCase around[] = {
            {40, 30, BLUE}, {89, 30, BLUE}, {40, 69, BLUE}, {89, 69, BLUE}, {65, 50, BLUE},
            {39, 50, RED},  {90, 50, RED},  {65, 29, RED},  {65, 70, RED},  {0, 0, RED},
        };
        // The screen shows the window's pixels once Wine has flushed them.
        Picture px = poll_screen(parent.hwnd, 0, 0, 100, 80,
                                 [](const Picture& p) { return p.at(0, 0) == RED; });
        for (const PixelCase& p : around) {
            EXPECT_EQ(color_text(px.at(p.x, p.y)), color_text(p.expect))
                << c.what << " at (" << p.x << "," << p.y << ")";
        }
        ::DestroyWindow(child);
    }
}

} // namespace
