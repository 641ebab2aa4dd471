// Text laid out by the platform: texts in five scripts and ill-formed bytes printed through
// the UTF-8 routine and through typed output, read back as pixels against the platform's own
// wide drawing in the same font (ExtTextOutW, or USP10's ScriptStringOut where GDI's call
// does not shape or order); ASCII typed output against TextOutA; characters the font lacks
// taken from a face that has them; and the selection routines as tables in a fixed-pitch
// font, where each character is one cell.
#include "tests/window/window_test_support.h"

#include <usp10.h>

#include <cstring>
#include <vector>

namespace {

using TextLayoutTest = WindowTest;

// Set a surface like the record's on dc: its font, pen colour and background.
void like_record(WindowRecord& r, HDC dc) {
    LOGPEN pen = {};
    ::GetObjectW(r.pen, sizeof(pen), &pen);
    ::SelectObject(dc, r.font);
    ::SetTextColor(dc, pen.lopnColor);
    ::SetBkMode(dc, r.bk_mode);
    ::SetBkColor(dc, r.bk_color);
}

enum Reference { BY_EXTTEXTOUT, BY_SCRIPT_STRING, BY_TEXTOUT_A };

// Draw text at (x, y) as the platform draws it on a surface like the record's; its advance.
int32_t draw_reference(WindowRecord& r, HDC dc, int32_t x, int32_t y, const char* utf8,
                       Reference how) {
    like_record(r, dc);
    wchar_t wide[256] = {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 256) - 1;
    ::SetTextAlign(dc, TA_UPDATECP);
    ::MoveToEx(dc, x, y, nullptr);
    if (how == BY_TEXTOUT_A) {
        ::TextOutA(dc, 0, 0, utf8, static_cast<int>(std::strlen(utf8)));
    } else if (how == BY_EXTTEXTOUT) {
        ::ExtTextOutW(dc, 0, 0, 0, nullptr, wide, n, nullptr);
    } else {
        ::SetTextAlign(dc, TA_TOP | TA_LEFT);
        SCRIPT_STRING_ANALYSIS ssa = nullptr;
        EXPECT_EQ(::ScriptStringAnalyse(dc, wide, n, n * 3 / 2 + 16, -1,
                                        SSA_GLYPHS | SSA_FALLBACK | SSA_LINK, 0, nullptr, nullptr,
                                        nullptr, nullptr, nullptr, &ssa),
                  S_OK);
        ::ScriptStringOut(ssa, x, y, 0, nullptr, 0, 0, FALSE);
        const int32_t width = ::ScriptString_pSize(ssa)->cx;
        ::ScriptStringFree(&ssa);
        return width;
    }
    POINT end = {};
    ::GetCurrentPositionEx(dc, &end);
    return end.x - x;
}

TEST_F(TextLayoutTest, ScriptsDrawAsThePlatformsOwnWideDrawing) {
    const struct Case {
        const char* what;
        const char* text;
        const char* face;
        Reference how;
    } cases[] = {
        {"Greek", "Ξεσκεπάζω την ψυχοφθόρα", "DejaVu Sans Mono", BY_EXTTEXTOUT},
        {"Cyrillic", "Съешь же ещё этих булок", "Liberation Serif", BY_EXTTEXTOUT},
        {"Chinese, from the face the font links to", "中文字体 漢字", "DejaVu Sans Mono",
         BY_EXTTEXTOUT},
        {"Arabic with digits, shaped and ordered", "مرحبا بالعالم 123 abc", "DejaVu Sans",
         BY_SCRIPT_STRING},
        {"emoji, one glyph each", "a😀b😀", "DejaVu Sans", BY_SCRIPT_STRING},
        {"ill-formed bytes", "a\xFF(b\x80z\xC3", "DejaVu Sans", BY_EXTTEXTOUT},
        {"ASCII through typed output", "Score: 120  Lives: 3", "", BY_TEXTOUT_A},
    };
    for (const Case& c : cases) {
        for (int32_t typed = 0; typed < 2; ++typed) {
            WindowRecord& r = open(0, 0, 480, 120, 0);
            const FontChoice font = {"", 14, FW_NORMAL, 0};
            FontChoice chosen = font;
            std::strcpy(chosen.face, c.face);
            if (c.face[0] != '\0') {
                ASSERT_EQ(set_window_font(&r, &chosen), 1);
            }
            set_text_color(&r, RGB(0, 0, 160), RGB(255, 255, 200));
            move_to(&r, 10, 20);
            // Typed output takes the process's ANSI code page: UTF-8 where the program's
            // manifest asks for it, else the text only when that code page has it.
            char ansi[256] = {};
            wchar_t wide[128] = {};
            ::MultiByteToWideChar(CP_UTF8, 0, c.text, -1, wide, 128);
            BOOL lossy = FALSE;
            ::WideCharToMultiByte(CP_ACP, 0, wide, -1, ansi, sizeof(ansi), nullptr, &lossy);
            if (typed == 1 && (lossy || ::GetACP() != CP_UTF8) && c.how != BY_TEXTOUT_A) {
                continue;
            }
            if (typed == 1 || c.how == BY_TEXTOUT_A) {
                text_print(2, PRINT_WINDOW, &r, PRINT_TEXT, ansi);
            } else {
                text_print_utf8(&r, c.text, -1);
            }
            int32_t w = 0, h = 0;
            bitmap_size(r.backing_bitmap, &w, &h);
            HDC screen = ::GetDC(nullptr);
            HDC dc = ::CreateCompatibleDC(screen);
            HBITMAP bitmap = ::CreateCompatibleBitmap(screen, w, h);
            ::ReleaseDC(nullptr, screen);
            HGDIOBJ previous = ::SelectObject(dc, bitmap);
            fill_rect_dc(dc, 0, 0, w, h, r.back_color);
            const int32_t advance = draw_reference(r, dc, 10, 20, c.text, c.how);
            ::SelectObject(dc, previous);
            ::DeleteDC(dc);
            EXPECT_EQ(r.current_pos.x, 10 + advance) << c.what << ", typed " << typed;
            int32_t width = 0;
            measure_text_utf8(&r, c.text, -1, &width, nullptr);
            EXPECT_EQ(width, advance) << c.what;
            const Picture drawn = read_bitmap(r.backing_bitmap), expected = read_bitmap(bitmap);
            ::DeleteObject(bitmap);
            EXPECT_TRUE(drawn.pixels == expected.pixels) << c.what << ", typed " << typed;
        }
    }
}

// Hebrew and emoji, which the fixed-pitch face and the faces it links to lack, come from
// an installed face that has them: never the missing-glyph boxes GDI's own call draws.
TEST_F(TextLayoutTest, CharactersTheFontLacksComeFromAFaceThatHasThem) {
    const char* const texts[] = {"שלום עולם", "😀😀"};
    for (const char* text : texts) {
        WindowRecord& r = open(0, 0, 320, 80, 0);
        const FontChoice mono = {"DejaVu Sans Mono", 14, FW_NORMAL, 0};
        ASSERT_EQ(set_window_font(&r, &mono), 1);
        move_to(&r, 4, 4);
        text_print_utf8(&r, text, -1);
        const Picture ours = read_bitmap(r.backing_bitmap);
        draw_rect(&r, 0, 0, 320, 80, r.back_color, r.back_color);
        HDC dc = begin_draw(&r);
        draw_reference(r, dc, 4, 4, text, BY_EXTTEXTOUT);
        end_draw(&r, dc, 1);
        EXPECT_FALSE(ours.pixels == read_bitmap(r.backing_bitmap).pixels) << text;
    }
}

// The selection routines in a fixed-pitch face: "ab " then Arabic "ابت" (bytes 3, 5, 7),
// which shows right to left: cells 0 to 2 hold a, b and the blank, cell 5 alef, cell 3 teh.
TEST_F(TextLayoutTest, SelectionRoutinesFollowTheOrderTheLineShowsIn) {
    WindowRecord& r = open(0, 0, 320, 80, 0);
    const FontChoice mono = {"DejaVu Sans Mono", 14, FW_NORMAL, 0};
    ASSERT_EQ(set_window_font(&r, &mono), 1);
    int32_t cell = 0;
    measure_text_utf8(&r, "0", 1, &cell, nullptr);
    ASSERT_GT(cell, 4);
    const char* line = "ab ابت";
    const struct {
        double x; // in cells
        int32_t character, place;
    } hits[] = {
        {0.2, 0, 0},   {0.8, 0, 1},  {2.9, 2, 3}, // left to right
        {5.8, 3, 3},   {5.2, 3, 5},  {3.3, 7, 9}, // right to left: reading enters at the right
        {-0.5, -1, 0}, {6.5, -1, 3},              // beyond the ends: the place at that end
    };
    for (const auto& h : hits) {
        int32_t place = -9;
        EXPECT_EQ(text_char_at_utf8(&r, line, -1, static_cast<int32_t>(h.x * cell), &place),
                  h.character)
            << "x " << h.x;
        EXPECT_EQ(place, h.place) << "x " << h.x;
    }
    const struct {
        int32_t from, to;
        std::vector<int32_t> cells; // left, right pairs
    } ranges[] = {
        {0, 2, {0, 2}}, {1, 5, {1, 3, 5, 6}}, // "b ا": two stretches
        {2, 9, {2, 6}},                       // the blank and the Arabic word touch
        {4, 7, {4, 6}},                       // offsets inside characters count as their starts
        {3, 3, {}},
    };
    for (const auto& range : ranges) {
        int32_t spans[8] = {};
        const int32_t found = text_spans_utf8(&r, line, -1, range.from, range.to, spans, 4);
        std::vector<int32_t> seen(spans, spans + 2 * (found < 4 ? found : 4));
        for (int32_t& x : seen) {
            x /= cell;
        }
        EXPECT_EQ(seen, range.cells) << range.from << " to " << range.to;
    }
    const int32_t carets[][2] = {{0, 0}, {3, 6}, {7, 4}, {9, 3}};
    for (const auto& c : carets) {
        EXPECT_EQ(text_caret_x_utf8(&r, line, -1, c[0]), c[1] * cell) << "place " << c[0];
    }
    WindowRecord closed = {};
    int32_t place = -9, spans[2] = {};
    EXPECT_EQ(text_char_at_utf8(&closed, line, -1, 4, &place), -1);
    EXPECT_EQ(place, 0);
    EXPECT_EQ(text_char_at_utf8(&r, nullptr, -1, 4, nullptr), -1);
    EXPECT_EQ(text_spans_utf8(&r, line, 0, 0, 9, spans, 1), 0);
}

} // namespace
