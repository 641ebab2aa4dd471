// Text in every script and fonts: UTF-8 drawn by text_print_utf8 read back as pixels against
// the same text drawn by the platform's wide call in the same font, colours and place; the
// position and the measure; ill-formed bytes; the missing-glyph box; set_window_font and
// the real font dialog answered by pressing its controls.
#include "runtime/core/core_internal.h"
#include "tests/window/window_test_support.h"

#include <dlgs.h>

namespace {

using Utf8Text = WindowTest;

struct ScriptCase {
    const char* what;
    const char* utf8;
    const wchar_t* wide; // what the bytes mean, written by the compiler
};
const ScriptCase SCRIPTS[] = {
    {"Latin with accents", "Crème brûlée, façade, Ærø", L"Crème brûlée, façade, Ærø"},
    {"Cyrillic", "Съешь же ещё этих булок", L"Съешь же ещё этих булок"},
    {"Greek", "Ξεσκεπάζω την ψυχοφθόρα", L"Ξεσκεπάζω την ψυχοφθόρα"},
    {"CJK", "中文字体 漢字 かな 한국어", L"中文字体 漢字 かな 한국어"},
    {"Arabic", "مرحبا بالعالم", L"مرحبا بالعالم"},
    {"astral", "a😀b", L"a😀b"},
    // Each ill-formed piece is one U+FFFD: a cut sequence, a stray byte, an overlong form,
    // an encoded surrogate, a sequence the text ends in.
    {"ill-formed",
     "a\xC3(b\xE2\x82z\xF0\x9F\x98\xFF\xC0\x80|\xE0\x80\xAF|\xED\xA0\x80|\xF4\x90|\xE2",
     L"a\xFFFD(b\xFFFDz\xFFFD\xFFFD\xFFFD\xFFFD|\xFFFD\xFFFD\xFFFD|\xFFFD\xFFFD\xFFFD|\xFFFD\xFFFD|"
     L"\xFFFD"},
};

// Draw wide text as the platform draws it, on a surface like the record's: its font, pen
// colour, background mode and colour, from (x, y); how far the position moved.
int32_t draw_reference(WindowRecord& r, HDC dc, int32_t x, int32_t y, const wchar_t* text,
                       UINT flags = 0) {
    LOGPEN pen = {};
    ::GetObjectW(r.pen, sizeof(pen), &pen);
    HGDIOBJ font = ::SelectObject(dc, r.font);
    ::SetTextColor(dc, pen.lopnColor);
    ::SetBkMode(dc, r.bk_mode);
    ::SetBkColor(dc, r.bk_color);
    ::SetTextAlign(dc, TA_UPDATECP);
    ::MoveToEx(dc, x, y, nullptr);
    const UINT count = flags & ETO_GLYPH_INDEX ? 1 : static_cast<UINT>(std::wcslen(text));
    ::ExtTextOutW(dc, 0, 0, flags, nullptr, text, count, nullptr);
    POINT end = {};
    ::GetCurrentPositionEx(dc, &end);
    ::SelectObject(dc, font);
    return end.x - x;
}

// A reference surface the size of the record's bitmap, cleared to the window's background.
struct Reference {
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ previous;
};
Reference reference_for(WindowRecord& r) {
    int32_t w = 0, h = 0;
    bitmap_size(r.backing_bitmap, &w, &h);
    HDC screen = ::GetDC(nullptr);
    Reference ref = {::CreateCompatibleDC(screen), ::CreateCompatibleBitmap(screen, w, h), nullptr};
    ::ReleaseDC(nullptr, screen);
    ref.previous = ::SelectObject(ref.dc, ref.bitmap);
    fill_rect_dc(ref.dc, 0, 0, w, h, r.back_color);
    return ref;
}
Picture finish(Reference ref) {
    ::SelectObject(ref.dc, ref.previous);
    ::DeleteDC(ref.dc);
    Picture px = read_bitmap(ref.bitmap);
    ::DeleteObject(ref.bitmap);
    return px;
}

// True when a character draws as the font's missing-glyph box (glyph 0).
bool draws_as_box(HFONT font, const wchar_t* character, int32_t units) {
    HDC dc = ::CreateCompatibleDC(nullptr);
    BITMAPINFO info = top_down_info(48, 32);
    void* bits = nullptr;
    HBITMAP dib = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old_bitmap = ::SelectObject(dc, dib), old_font = ::SelectObject(dc, font);
    const WORD glyph_zero = 0;
    std::string drawn[2];
    for (int32_t pass = 0; pass < 2; ++pass) {
        std::memset(bits, 0xFF, 48 * 32 * 4);
        if (pass == 0) {
            ::ExtTextOutW(dc, 4, 4, 0, nullptr, character, units, nullptr);
        } else {
            ::ExtTextOutW(dc, 4, 4, ETO_GLYPH_INDEX, nullptr,
                          reinterpret_cast<const wchar_t*>(&glyph_zero), 1, nullptr);
        }
        ::GdiFlush();
        drawn[pass].assign(static_cast<const char*>(bits), 48 * 32 * 4);
    }
    ::SelectObject(dc, old_font);
    ::SelectObject(dc, old_bitmap);
    ::DeleteObject(dib);
    ::DeleteDC(dc);
    return drawn[0] == drawn[1];
}

TEST_F(Utf8Text, EveryScriptDrawsAsTheWideCallInTheWindowsFontAndColours) {
    // The window's own font, the fixed-pitch face, and a face that joins Arabic letters.
    const FontChoice fonts[] = {
        {}, {"DejaVu Sans Mono", 12, FW_NORMAL, 0}, {"DejaVu Sans", 12, FW_NORMAL, 0}};
    for (int32_t font = 0; font < 3; ++font) {
        WindowRecord& r = open(0, 0, 640, 400, 0);
        if (font > 0) {
            ASSERT_EQ(set_window_font(&r, &fonts[font]), 1);
        }
        set_text_color(&r, RGB(0, 0, 160), RGB(255, 255, 200));
        Reference ref = reference_for(r);
        int32_t y = 4;
        for (const ScriptCase& c : SCRIPTS) {
            // Arabic is shaped and ordered, and the emoji taken from a face that has it, as
            // GDI's own call does not under Wine: layout_test.cpp compares them with USP10's.
            if (std::strcmp(c.what, "Arabic") == 0 || std::strcmp(c.what, "astral") == 0) {
                continue;
            }
            move_to(&r, 8, y);
            EXPECT_EQ(text_print_utf8(&r, c.utf8, -1), static_cast<int32_t>(std::wcslen(c.wide)))
                << c.what;
            const int32_t advance = draw_reference(r, ref.dc, 8, y, c.wide);
            int32_t width = 0, height = 0;
            measure_text_utf8(&r, c.utf8, -1, &width, &height);
            EXPECT_EQ(r.current_pos.x, 8 + advance) << c.what << ", font " << font;
            EXPECT_EQ(r.current_pos.y, y) << c.what;
            EXPECT_EQ(width, advance) << c.what << ", font " << font;
            EXPECT_GT(width, 0) << c.what;
            y += height + 4;
        }
        // The installed fonts, linked, have a glyph for every letter of the five scripts.
        for (int32_t row = 0; row < 5; ++row) {
            for (const wchar_t* c = SCRIPTS[row].wide; *c != L'\0'; ++c) {
                EXPECT_TRUE(*c == L' ' || *c == L',' || !draws_as_box(r.font, c, 1))
                    << SCRIPTS[row].what << ", font " << font << ": U+" << std::hex
                    << static_cast<int>(*c);
            }
        }
        Picture drawn = read_bitmap(r.backing_bitmap), expected = finish(ref);
        EXPECT_TRUE(drawn.pixels == expected.pixels) << "font " << font;
        // What was drawn reached the window before each call returned.
        Picture shown = read_window(r.hwnd, 0, 0, 300, y);
        for (int32_t row = 0; row < y; row += 3) {
            EXPECT_EQ(
                std::memcmp(&shown.pixels[row * 300], &drawn.pixels[row * drawn.width], 300 * 4), 0)
                << "row " << row;
        }
    }
}

TEST_F(Utf8Text, LengthsAndMissingCharacters) {
    WindowRecord& r = open(0, 0, 320, 200, 0);
    move_to(&r, 0, 0);
    EXPECT_EQ(text_print_utf8(&r, "Привет", 4), 2); // bytes, not characters
    EXPECT_EQ(text_print_utf8(&r, "x", 0), 0);
    EXPECT_EQ(text_print_utf8(&r, "x", -2), 0);
    EXPECT_EQ(text_print_utf8(&r, nullptr, -1), 0);
    EXPECT_EQ(r.draw_dc, nullptr);
    int32_t before = 0, after = 0, height = 0;
    measure_text_utf8(&r, "Пр", -1, &before, &height);
    EXPECT_EQ(r.current_pos.x, before);
    measure_text_utf8(&r, "Пр\0ив", 6, &after, &height); // an inner NUL is a character
    EXPECT_GT(after, before);
    WindowRecord closed = {};
    EXPECT_EQ(text_print_utf8(&closed, "x", -1), 0);
    measure_text_utf8(&closed, "x", -1, &after, &height);
    EXPECT_EQ(std::make_pair(after, height), std::make_pair(0, 0));

    // A character no installed font has (U+2FE0, unassigned) draws the font's missing-glyph
    // box, glyph 0: never the "?" of a conversion to the ANSI code page.
    WindowRecord& b = open(0, 0, 320, 200, 0);
    Reference box = reference_for(b), question = reference_for(b);
    move_to(&b, 40, 40);
    text_print_utf8(&b, "\xE2\xBF\xA0", -1);
    const WORD glyph_zero = 0;
    draw_reference(b, box.dc, 40, 40, reinterpret_cast<const wchar_t*>(&glyph_zero),
                   ETO_GLYPH_INDEX);
    draw_reference(b, question.dc, 40, 40, L"?");
    const Picture drawn = read_bitmap(b.backing_bitmap);
    EXPECT_TRUE(drawn.pixels == finish(box).pixels);
    EXPECT_FALSE(drawn.pixels == finish(question).pixels);
}

// Texts longer than the 512 units converted on the stack go through a heap block: drawn
// and measured whole, as the wide call draws them, around that edge and far past it, in
// characters of one to four bytes; the heap is still sound after each.
TEST_F(Utf8Text, LongTextsDrawWholeAndLeaveTheHeapSound) {
    const struct {
        const char* utf8;
        const wchar_t* wide;
        int32_t repeat;
        bool as_gdi; // drawn by GDI's own wide call; emoji are laid out with a fallback face
    } cases[] = {
        {"x", L"x", 512, true},
        {"x", L"x", 513, true},
        {"ж", L"ж", 513, true},
        {"中", L"中", 700, true},
        // Two units each: 600 units from 1200 bytes.
        {"😀", L"😀", 300, false},
        {"aж中😀", L"aж中😀", 1000, false},
    };
    for (const auto& c : cases) {
        std::string utf8;
        std::wstring wide;
        for (int32_t i = 0; i < c.repeat; ++i) {
            utf8 += c.utf8;
            wide += c.wide;
        }
        WindowRecord& r = open(0, 0, 640, 60, 0);
        Reference ref = reference_for(r);
        move_to(&r, 4, 4);
        EXPECT_EQ(text_print_utf8(&r, utf8.c_str(), -1), static_cast<int32_t>(wide.size()))
            << wide.size() << " units";
        int32_t width = 0, height = 0;
        measure_text_utf8(&r, utf8.c_str(), static_cast<int32_t>(utf8.size()), &width, &height);
        EXPECT_EQ(r.current_pos.x, 4 + width) << wide.size() << " units";
        if (c.as_gdi) {
            const int32_t advance = draw_reference(r, ref.dc, 4, 4, wide.c_str());
            EXPECT_EQ(width, advance) << wide.size() << " units";
            EXPECT_TRUE(read_bitmap(r.backing_bitmap).pixels == finish(ref).pixels)
                << wide.size() << " units";
        } else {
            finish(ref);
        }
        EXPECT_TRUE(::HeapValidate(heap_handle(), 0, nullptr)) << wide.size() << " units";
    }
}

// Texts that the platform lays out through its bidirectional and shaping path as it draws:
// direction marks, embeddings, overrides and isolates around left-to-right letters,
// reordered and joined letters, right-to-left letters beyond the first plane; and Latin
// with typographic punctuation, measured the quick way.
TEST_F(Utf8Text, TheMeasureIsTheAdvanceInEveryDirection) {
    const char* const TEXTS[] = {
        "\u200Fabc",
        "abc\u200F",
        "a\u200Eb",
        "\u202Eabc def",
        "abc\u202Bdef\u202C",
        "\u202D\u05D0\u05D1",
        "a\u202Ab",
        "\u2067abc\u2069",
        "a\u2066b",
        "\u061C12",
        "\u05D0\u200Fb",
        "\u0627\u200F\u0628",
        "a\u0DDAb",
        "a\u0E3Fb",
        "\U00010900\U00010901",
        "\U0001E900\U0001E901",
        "\u182E\u1823\u1829",
        "\u201CQuoted\u201D \u2014 5 \u20AC\u2030",
    };
    const FontChoice fonts[] = {{}, {"DejaVu Sans", 12, FW_NORMAL, 0}};
    for (const FontChoice& font : fonts) {
        WindowRecord& r = open(0, 0, 640, 200, 0);
        if (font.face[0] != '\0') {
            ASSERT_EQ(set_window_font(&r, &font), 1);
        }
        for (size_t row = 0; row < std::size(TEXTS); ++row) {
            move_to(&r, 8, 8);
            text_print_utf8(&r, TEXTS[row], -1);
            int32_t width = 0, height = 0;
            measure_text_utf8(&r, TEXTS[row], -1, &width, &height);
            EXPECT_EQ(width, r.current_pos.x - 8)
                << "row " << row << ", font \"" << font.face << "\"";
        }
    }
}

// ---- fonts ----

TEST_F(Utf8Text, SetWindowFontReplacesTheFontOrRefusesAndKeepsIt) {
    WindowRecord& r = open(0, 0, 320, 200, 0);
    struct Case {
        FontChoice font;
        int32_t result;
    } cases[] = {
        {{"DejaVu Sans Mono", 12, FW_BOLD, 1}, 1},
        {{"文泉驛等寬微米黑", 1, 1, 0}, 1}, // a face named in its own script: kept as it is
        {{"Liberation Serif", FONT_POINTS_MAX, 1000, 0}, 1},
        {{"", 12, 400, 0}, 0},
        {{"A face of thirty-two characters.", 12, 400, 0}, 0},
        {{"\xC3(", 12, 400, 0}, 0},
        {{"Liberation Sans", 0, 400, 0}, 0},
        {{"Liberation Sans", FONT_POINTS_MAX + 1, 400, 0}, 0},
        {{"Liberation Sans", 12, 0, 0}, 0},
        {{"Liberation Sans", 12, 1001, 0}, 0},
        {{"Liberation Sans", 12, 400, 2}, 0},
    };
    for (const Case& c : cases) {
        HFONT old = r.font;
        ASSERT_EQ(set_window_font(&r, &c.font), c.result) << c.font.face;
        if (c.result == 0) {
            EXPECT_EQ(r.font, old) << c.font.face;
            continue;
        }
        EXPECT_EQ(::GetObjectType(old), 0u) << "the old font is deleted";
        LOGFONTW made = {};
        ::GetObjectW(r.font, sizeof(made), &made);
        wchar_t face[LF_FACESIZE] = {};
        ::MultiByteToWideChar(CP_UTF8, 0, c.font.face, -1, face, LF_FACESIZE);
        EXPECT_STREQ(made.lfFaceName, face);
        EXPECT_EQ(made.lfHeight, -::MulDiv(c.font.points, 96, 72));
        EXPECT_EQ(made.lfWeight, c.font.weight);
        EXPECT_EQ(made.lfItalic, c.font.italic);
    }
    FontChoice unterminated = {};
    std::memset(unterminated.face, 'A', sizeof(unterminated.face));
    unterminated.points = 12;
    unterminated.weight = 400;
    EXPECT_EQ(set_window_font(&r, &unterminated), 0);
    EXPECT_EQ(set_window_font(&r, nullptr), 0);
    WindowRecord closed = {};
    EXPECT_EQ(set_window_font(&closed, &cases[0].font), 0);

    // Set while drawing is open, the new font is drawn with and kept; the old one is gone.
    HDC dc = begin_draw(&r);
    HFONT old = r.font;
    ASSERT_EQ(set_window_font(&r, &cases[0].font), 1);
    EXPECT_EQ(::GetCurrentObject(dc, OBJ_FONT), r.font);
    HFONT made = r.font;
    end_draw(&r, dc, 1);
    EXPECT_EQ(r.font, made);
    EXPECT_EQ(::GetObjectType(old), 0u);
}

// The real font dialog, answered from a thread timer inside its modal loop: the face and
// size are picked in its combo boxes as a person would, then OK or Cancel is pressed.
const wchar_t* dialog_face = nullptr;
int32_t dialog_button = IDOK;
bool dialog_seen = false;
int32_t dialog_vertical_faces = 0; // faces of the dialog's list starting with '@'

BOOL CALLBACK answer_font_dialog(HWND window, LPARAM) {
    wchar_t name[16] = {};
    ::GetClassNameW(window, name, 16);
    if (std::wcscmp(name, L"#32770") != 0 || ::GetDlgItem(window, cmb1) == nullptr) {
        return TRUE;
    }
    dialog_seen = true;
    HWND faces = ::GetDlgItem(window, cmb1), sizes = ::GetDlgItem(window, cmb3);
    dialog_vertical_faces = 0;
    for (LRESULT i = 0, count = ::SendMessageW(faces, CB_GETCOUNT, 0, 0); i < count; ++i) {
        wchar_t face[LF_FACESIZE + 1] = {};
        if (::SendMessageW(faces, CB_GETLBTEXTLEN, i, 0) <= LF_FACESIZE) {
            ::SendMessageW(faces, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(face));
        }
        dialog_vertical_faces += face[0] == L'@';
    }
    if (dialog_face != nullptr) {
        ::SendMessageW(faces, CB_SELECTSTRING, -1, reinterpret_cast<LPARAM>(dialog_face));
        ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(cmb1, CBN_SELCHANGE),
                       reinterpret_cast<LPARAM>(faces));
        ::SendMessageW(sizes, CB_SELECTSTRING, -1, reinterpret_cast<LPARAM>(L"16"));
        ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(cmb3, CBN_SELCHANGE),
                       reinterpret_cast<LPARAM>(sizes));
    }
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(dialog_button, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(window, dialog_button)));
    return FALSE;
}

void CALLBACK look_for_font_dialog(HWND, UINT, UINT_PTR timer, DWORD) {
    ::EnumThreadWindows(::GetCurrentThreadId(), answer_font_dialog, 0);
    if (dialog_seen) {
        ::KillTimer(nullptr, timer);
    }
}

int32_t choose_with_dialog(WindowRecord* owner, FontChoice* choice, const wchar_t* face,
                           int32_t button) {
    dialog_face = face;
    dialog_button = button;
    dialog_seen = false;
    UINT_PTR timer = ::SetTimer(nullptr, 0, 50, look_for_font_dialog);
    const int32_t result = choose_font(owner, choice);
    ::KillTimer(nullptr, timer);
    EXPECT_TRUE(dialog_seen);
    return result;
}

TEST_F(Utf8Text, ChooseFontShowsThePlatformsDialog) {
    WindowRecord& r = open(0, 0, 320, 200, 0);
    FontChoice choice = {"Liberation Sans", 10, FW_BOLD, 1};
    EXPECT_EQ(choose_with_dialog(&r, &choice, L"DejaVu Sans Mono", IDOK), 1);
    EXPECT_STREQ(choice.face, "DejaVu Sans Mono");
    EXPECT_EQ(choice.points, 16);
    EXPECT_EQ(set_window_font(&r, &choice), 1);

    const FontChoice kept = choice;
    EXPECT_EQ(choose_with_dialog(&r, &choice, L"Liberation Serif", IDCANCEL), 0);
    EXPECT_EQ(std::memcmp(&choice, &kept, sizeof(choice)), 0);
    // Unusable starting values and no owner still show the dialog.
    FontChoice odd = {"", -3, 5000, 7};
    EXPECT_EQ(choose_with_dialog(nullptr, &odd, nullptr, IDOK), 1);
    EXPECT_NE(odd.face[0], '\0');
    EXPECT_EQ(set_window_font(&r, &odd), 1);
    EXPECT_EQ(choose_font(&r, nullptr), 0);
}

// Faces the dialog does not list (it would start at its first face, a vertical one, at its
// smallest size): OK pressed at once gives back the size, weight and italic started from,
// with a face of the dialog's list.
TEST_F(Utf8Text, ChooseFontKeepsTheStartOfAFaceTheDialogDoesNotList) {
    WindowRecord& r = open(0, 0, 320, 200, 0);
    const struct {
        const char* start;
        const char* face; // null: any face of the list
    } faces[] = {
        {"No Such Face", nullptr},
        {"Arial", nullptr},                              // a substitute's name under Wine
        {"", nullptr},                                   // none: the platform's default face
        {"\xC3(", nullptr},                              // ill-formed
        {"文泉驛微米黑", "WenQuanYi Micro Hei"},         // the face's name in its own script
        {"@WenQuanYi Micro Hei", "WenQuanYi Micro Hei"}, // the vertical face
    };
    for (const auto& f : faces) {
        FontChoice choice = {"", 20, FW_BOLD, 1};
        std::strcpy(choice.face, f.start);
        ASSERT_EQ(choose_with_dialog(&r, &choice, nullptr, IDOK), 1) << f.start;
        EXPECT_EQ(dialog_vertical_faces, 0);
        EXPECT_EQ(choice.points, 20) << f.start;
        EXPECT_EQ(choice.weight, FW_BOLD) << f.start;
        EXPECT_EQ(choice.italic, 1) << f.start;
        EXPECT_NE(choice.face[0], '@') << f.start;
        if (f.face != nullptr) {
            EXPECT_STREQ(choice.face, f.face);
        }
        EXPECT_EQ(set_window_font(&r, &choice), 1) << f.start;
    }
}

} // namespace
