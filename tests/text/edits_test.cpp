// Characters of every script typed into an edit of a dialog made with the dialog facility:
// the text comes back whole, and each character shows as itself, not as the missing-glyph
// box of the edit's font. An edit lays its text out with the platform's script service,
// which takes a character its font lacks from a fallback face of that character's script.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/dialog/dialog_test_support.h"
#include "tests/support/picture.h"

#include "tests/text/text_test_support.h"

namespace {

struct Typed {
    const char* name;
    const char* text;
    const wchar_t* wide;
};

const Typed TYPED[] = {
    {"Greek", "Καλημέρα", L"Καλημέρα"},
    {"Chinese", "水你好", L"水你好"},
    {"Arabic", "مرحبا", L"مرحبا"},
    {"Hebrew", "שלום", L"שלום"},
};

// A character no installed font has: the edit shows it as its font's missing-glyph box.
constexpr wchar_t NO_FONT_HAS = L'\x0E01';
constexpr int32_t EDIT = 1;

// Types text into a window through its message queue, as a keyboard of its script would:
// one WM_CHAR per UTF-16 unit.
void type_into(HWND target, const std::wstring& text) {
    for (wchar_t unit : text) {
        ::PostMessageW(target, WM_CHAR, unit, 1);
    }
}

std::wstring text_of(HWND window) {
    wchar_t text[64] = {};
    ::GetWindowTextW(window, text, 64);
    return text;
}

class EditsTest : public DialogTest {
  protected:
    HWND edit = nullptr;

    void show_dialog() {
        ASSERT_EQ(dialog_begin(&dialog, 0, 0, 160, 40, "Typed", recording_handler), 1);
        dialog_add_control(&dialog, CONTROL_EDIT, EDIT, 5, 5, 150, 12, "", 0);
        ASSERT_EQ(dialog_show(&dialog, nullptr), 1);
        edit = ::GetDlgItem(dialog.hwnd, control_id_key(EDIT));
    }

    // Empties the edit, types text into it and waits until all of it arrived (at most 30 s:
    // the first program of a fresh Wine session can be slow to take its first messages).
    bool type_anew(const std::wstring& text) {
        control_set_text(&dialog, EDIT, "");
        type_into(edit, text);
        const DWORD start = ::GetTickCount();
        while (text_of(edit) != text && ::GetTickCount() - start < 30000) {
            process_events(1);
            ::Sleep(5);
        }
        return text_of(edit) == text;
    }

    // The edit's pixels once drawn without focus (no caret, no selection).
    Picture shown() {
        ::SetFocus(nullptr);
        ::InvalidateRect(edit, nullptr, TRUE);
        ::UpdateWindow(edit);
        RECT inside = {};
        ::GetClientRect(edit, &inside);
        HDC dc = ::GetDC(edit);
        Picture picture = picture_of_dc(dc, 0, 0, inside.right, inside.bottom);
        ::ReleaseDC(edit, dc);
        return picture;
    }
};

// Each text typed whole comes back whole. Then each character typed alone must draw
// differently from every other and from the box: a character drawn as the box would match
// the box, and two boxed characters each other.
TEST_F(EditsTest, TypedTextComesBackWholeAndEachCharacterShowsAsItself) {
    show_dialog();
    std::map<std::vector<uint32_t>, std::wstring> drawn; // pixels: the character drawn so
    drawn.emplace(shown().pixels, L"nothing");
    std::wstring tried;
    auto draw = [&](wchar_t c) {
        if (tried.find(c) != std::wstring::npos) {
            return;
        }
        tried += c;
        ASSERT_TRUE(type_anew(std::wstring(1, c)));
        const auto [seen, added] = drawn.emplace(shown().pixels, std::wstring(1, c));
        EXPECT_TRUE(added) << utf8_of(std::wstring(1, c)) << " draws as " << utf8_of(seen->second)
                           << (seen->second == std::wstring(1, NO_FONT_HAS) ? " (the box)" : "");
    };
    draw(NO_FONT_HAS);
    for (const Typed& t : TYPED) {
        SCOPED_TRACE(t.name);
        ASSERT_TRUE(type_anew(t.wide)) << utf8_of(text_of(edit));
        char* back = control_get_text(&dialog, EDIT);
        EXPECT_STREQ(back, t.text);
        heap_free(back);
        for (const wchar_t* c = t.wide; *c != L'\0'; ++c) {
            draw(*c);
        }
    }
}

} // namespace
