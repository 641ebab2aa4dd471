// Subclassed controls read back from the screen: colours answered under message 0x19, a
// bitmap button in each of its states, hot tracking with the real mouse; and what a
// control owns going with it. Ends with 500 dialogs of every kind under the census.
#include "tests/dialog/dialog_test_support.h"
#include "tests/support/census.h"

#include <commctrl.h>

#include <algorithm>

#include <string>
#include <vector>

namespace {

constexpr COLORREF NAVY = RGB(0, 0, 128);
constexpr COLORREF YELLOW = RGB(255, 255, 0);
constexpr COLORREF HOT = RGB(0, 200, 0);
constexpr int32_t EDIT = 21, LABEL = 22, PICTURE = 23, AWAY = 24;

// A solid bitmap of one colour, the kind image_load gives for a bitmap file.
HBITMAP solid_bitmap(COLORREF color) {
    HDC screen = ::GetDC(nullptr);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, 8, 8);
    HDC memory = ::CreateCompatibleDC(screen);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    RECT all = {0, 0, 8, 8};
    HBRUSH brush = ::CreateSolidBrush(color);
    ::FillRect(memory, &all, brush);
    ::DeleteObject(brush);
    ::SelectObject(memory, old);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return bitmap;
}

// The colour in the middle of a control as the screen shows it, once it holds `want`.
COLORREF centre_when(HWND control, COLORREF want) {
    RECT r = {};
    ::GetClientRect(control, &r);
    Picture px = poll_screen(control, r.right / 2, r.bottom / 2, 1, 1,
                             [&](const Picture& p) { return p.at(0, 0) == want; });
    return px.at(0, 0);
}

// Move the real mouse over the middle of a window.
void mouse_over(HWND window) {
    RECT r = {};
    ::GetWindowRect(window, &r);
    ::SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

// A dialog with one control of every kind, its settings set; shown, then ended.
void one_dialog_of_every_kind(WindowRecord* dialog, bool modal) {
    dialog_begin(dialog, 0, 0, 300, 200, "Every kind", recording_handler);
    for (int32_t kind = 1; kind <= CONTROL_KIND_COUNT; ++kind) {
        dialog_add_control(dialog, kind, 100 + kind, (kind % 4) * 70, (kind / 4) * 30, 60, 24,
                           "a|b", 0);
    }
    if (modal) {
        // Ended from its first event: posted, as a person's answer would be.
        react_to_event = [] {
            if (event_state.event_class == WM_INITDIALOG) {
                ::PostMessageA(event_state.event_window->hwnd, WM_COMMAND, IDCANCEL, 0);
            } else if (event_state.event_class == EV_CLOSE_REQUEST) {
                dialog_end(event_state.event_window, 3);
            }
            return intptr_t{0};
        };
        EXPECT_EQ(dialog_show_modal(dialog, nullptr), 3);
        react_to_event = nullptr;
    } else {
        ASSERT_EQ(dialog_show(dialog, nullptr), 1);
        for (int32_t kind = 1; kind <= CONTROL_KIND_COUNT; ++kind) {
            control_set_colors(dialog, 100 + kind, YELLOW, NAVY);
            control_set_hot(dialog, 100 + kind, HOT);
            control_set_notify(dialog, 100 + kind, 1, 1);
        }
        control_set_bitmaps(dialog, 100 + CONTROL_BITMAP_BUTTON, solid_bitmap(NAVY),
                            solid_bitmap(HOT), solid_bitmap(YELLOW), 2);
        process_events(1);
        dialog_end(dialog, 0);
    }
    dialog_release(dialog);
}

INT_PTR CALLBACK platform_procedure(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

// The colour in the middle of each control of a shown dialog, in the order of its children,
// once the screen shows the same twice in a row.
std::vector<COLORREF> control_centres(HWND dialog) {
    std::vector<COLORREF> last;
    for (int32_t tries = 0; tries < 100; ++tries) {
        process_events(1);
        std::vector<COLORREF> now;
        for (HWND c = ::GetWindow(dialog, GW_CHILD); c != nullptr;
             c = ::GetWindow(c, GW_HWNDNEXT)) {
            RECT r = {};
            ::GetClientRect(c, &r);
            now.push_back(read_screen(c, r.right / 2, r.bottom / 2, 1, 1).at(0, 0));
        }
        if (now == last) {
            break;
        }
        last = now;
        ::Sleep(30);
    }
    return last;
}

} // namespace

// Controls without colours of their own look as in the platform's own dialog, at every
// showing; a text colour alone keeps the platform's background (the face colour of a
// read-only or disabled edit); colours given before the dialog is shown are applied, also
// to the kinds that take them through their own messages. Push buttons and status bars,
// whose faces are the platform's, refuse them.
TEST_F(DialogTest, ColoursAreThePlatformsUnlessGivenAtEveryShowing) {
    struct Row {
        int32_t kind;
        uint32_t style;
        COLORREF text, back; // given before showing; NO_COLOR: none
    };
    const Row rows[] = {
        {CONTROL_EDIT, 0, NO_COLOR, NO_COLOR},
        {CONTROL_EDIT, 0, YELLOW, NO_COLOR},
        {CONTROL_EDIT, ES_READONLY, NAVY, NO_COLOR},
        {CONTROL_EDIT, WS_DISABLED, NAVY, NO_COLOR},
        {CONTROL_LIST_BOX, 0, NO_COLOR, NO_COLOR},
        {CONTROL_COMBO_BOX, 0, NO_COLOR, NO_COLOR},
        {CONTROL_LABEL, 0, NO_COLOR, NO_COLOR},
        {CONTROL_CHECK_BOX, 0, NO_COLOR, NO_COLOR},
        {CONTROL_SCROLL_BAR, 0, NO_COLOR, NO_COLOR},
        {CONTROL_LABEL, 0, NO_COLOR, NAVY},
        {CONTROL_RICH_EDIT, 0, YELLOW, NAVY},
        {CONTROL_LIST_VIEW, LVS_NOCOLUMNHEADER, YELLOW, NAVY},
        {CONTROL_TREE_VIEW, 0, YELLOW, NAVY},
        {CONTROL_BUTTON, 0, YELLOW, NAVY},
        {CONTROL_CHECK_BOX, BS_PUSHLIKE, YELLOW, NAVY},
        {CONTROL_STATUS_BAR, 0, YELLOW, NAVY},
    };
    ASSERT_EQ(dialog_begin(&dialog, 0, 0, 200, 215, "Colours", recording_handler), 1);
    int32_t id = 30;
    for (const Row& row : rows) {
        const int32_t place = id - 30;
        const bool refused = row.kind == CONTROL_BUTTON || row.kind == CONTROL_STATUS_BAR ||
                             (row.style & BS_PUSHLIKE) != 0;
        dialog_add_control(&dialog, row.kind, id, 5 + place % 2 * 95, 5 + place / 2 * 24, 90, 20,
                           "", row.style);
        EXPECT_EQ(control_set_colors(&dialog, id++, row.text, row.back), refused ? 0 : 1);
    }
    // The same template under a dialog procedure of the platform's own.
    prepare_classes_of(dialog);
    void* same = dialog_template_build(static_cast<DialogDefinition*>(dialog.dialog_def));
    HWND platform = ::CreateDialogIndirectParamA(
        runtime_module(), static_cast<LPCDLGTEMPLATEA>(same), nullptr, platform_procedure, 0);
    global_free(same);
    ASSERT_NE(platform, nullptr);
    ::ShowWindow(platform, SW_SHOW);
    std::vector<COLORREF> expected = control_centres(platform);
    ::DestroyWindow(platform);
    for (size_t i = 9; i < 13; ++i) {
        expected[i] = NAVY; // the backgrounds given
    }
    std::vector<std::string> expected_text;
    for (COLORREF c : expected) {
        expected_text.push_back(color_text(c));
    }
    for (int32_t showing = 0; showing < 4; ++showing) {
        SCOPED_TRACE(showing);
        ASSERT_EQ(dialog_show(&dialog, nullptr), 1);
        std::vector<std::string> seen;
        for (COLORREF c : control_centres(dialog.hwnd)) {
            seen.push_back(color_text(c));
        }
        EXPECT_EQ(seen, expected_text);
        dialog_end(&dialog, 0);
    }
}

// Owner drawing reaches the control the platform names: a bitmap button of identifier 0,
// and each of two buttons that share an identifier, in a dialog and on a window.
TEST_F(DialogTest, EachBitmapButtonDrawsItselfWhateverItsIdentifier) {
    const COLORREF red = RGB(255, 0, 0), green = RGB(0, 255, 0);
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    WindowRecord& window = open(300, 0, 200, 100, WF_NO_BACKING);
    ASSERT_EQ(dialog_begin(&dialog, 0, 0, 160, 40, "Drawn", recording_handler), 1);
    for (int32_t i = 0; i < 3; ++i) {
        const int32_t id = i == 0 ? 0 : 7;
        dialog_add_control(&dialog, CONTROL_BITMAP_BUTTON, id, 5 + i * 50, 5, 40, 20, "", 0);
        control_create(&window, CONTROL_BITMAP_BUTTON, id, 5 + i * 60, 5, 50, 30, "", 0);
    }
    ASSERT_EQ(dialog_show(&dialog, nullptr), 1);
    for (WindowRecord* owner : {&dialog, &window}) {
        // The second button of identifier 7 has no pictures: it is drawn in the face colour.
        control_set_bitmaps(owner, 0, solid_bitmap(red), nullptr, nullptr, 0);
        control_set_bitmaps(owner, 7, solid_bitmap(green), nullptr, nullptr, 0);
        std::vector<COLORREF> wanted = {red, green, face};
        std::vector<std::string> seen, expected;
        HWND button = ::GetWindow(owner->hwnd, GW_CHILD);
        for (COLORREF want : wanted) {
            seen.push_back(color_text(centre_when(button, want)));
            expected.push_back(color_text(want));
            button = ::GetWindow(button, GW_HWNDNEXT);
        }
        EXPECT_EQ(seen, expected) << (owner == &dialog ? "dialog" : "window");
    }
}

// Characters typed through the real input queue, as a keyboard of any script sends them
// (a surrogate pair for the emoji), reach an edit of a dialog and one put on a window whole,
// while the runtime's own ANSI window gets them in the ANSI code page, "?" where it has none.
TEST_F(DialogTest, TypedCharactersOfEveryScriptReachEditsWholeAndAnsiWindowsInTheirCodePage) {
    const std::wstring typed = L"\u0395\u039b\u039b\u0397\u039d\u0399\u039a\u0386 "
                               L"\u0416\u0443\u043a \u540d\u524d \U0001F600 \u20ac";
    auto type_into = [&](HWND target) {
        ::SetForegroundWindow(::GetAncestor(target, GA_ROOT));
        ::SetFocus(target);
        std::vector<INPUT> keys;
        for (wchar_t unit : typed) {
            for (DWORD up : {DWORD(0), DWORD(KEYEVENTF_KEYUP)}) {
                INPUT in = {};
                in.type = INPUT_KEYBOARD;
                in.ki.wScan = unit;
                in.ki.dwFlags = KEYEVENTF_UNICODE | up;
                keys.push_back(in);
            }
        }
        ::SendInput(UINT(keys.size()), keys.data(), sizeof(INPUT));
    };
    auto text_of = [](HWND edit) {
        wchar_t text[64] = {};
        ::GetWindowTextW(edit, text, 64);
        return std::wstring(text);
    };
    WindowRecord& window = open(300, 0, 240, 100, WF_NO_BACKING);
    ASSERT_EQ(control_create(&window, CONTROL_EDIT, EDIT, 5, 5, 220, 24, "", 0), 1);
    ASSERT_EQ(dialog_begin(&dialog, 0, 0, 160, 40, "Typed", recording_handler), 1);
    dialog_add_control(&dialog, CONTROL_EDIT, EDIT, 5, 5, 150, 12, "", 0);
    ASSERT_EQ(dialog_show(&dialog, nullptr), 1);
    for (WindowRecord* owner : {&dialog, &window}) {
        HWND edit = ::GetDlgItem(owner->hwnd, control_id_key(EDIT));
        EXPECT_TRUE(::IsWindowUnicode(edit));
        type_into(edit);
        pump_until([&] { return text_of(edit).size() >= typed.size(); });
        EXPECT_EQ(text_of(edit), typed) << (owner == &dialog ? "dialog" : "window");
    }
    WindowRecord& ansi = open(300, 120, 200, 100, WF_NO_BACKING);
    seen_events.clear();
    type_into(ansi.hwnd);
    std::string seen;
    pump_until([&] {
        seen.clear();
        for (const SeenEvent& e : seen_events) {
            seen += e.event_class == WM_CHAR && e.window == &ansi ? char(e.wparam) : '\0';
        }
        seen.erase(std::remove(seen.begin(), seen.end(), '\0'), seen.end());
        return seen.size() >= typed.size();
    });
    // Greek and Cyrillic letters, CJK and the emoji's two halves are not in Windows-1252;
    // the euro sign is (0x80).
    EXPECT_EQ(seen, "???????? ??? ?? ?? \x80");
}

// Owner-drawn controls made with the style argument are measured and drawn by the handler,
// in a dialog (whose list measures its items before WM_INITDIALOG) and on a window.
TEST_F(DialogTest, OwnerDrawnControlsAreMeasuredAndDrawnByTheHandler) {
    static HBRUSH red;
    red = ::CreateSolidBrush(RGB(255, 0, 0));
    react_to_event = [] {
        const LPARAM item = event_state.event_lparam;
        if (event_state.event_class == WM_MEASUREITEM) {
            reinterpret_cast<MEASUREITEMSTRUCT*>(item)->itemHeight = 21;
        } else if (event_state.event_class == WM_DRAWITEM) {
            const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(item);
            ::FillRect(draw->hDC, &draw->rcItem, red);
        }
        return intptr_t{event_state.event_class == WM_MEASUREITEM ||
                        event_state.event_class == WM_DRAWITEM};
    };
    WindowRecord& window = open(300, 0, 200, 150, WF_NO_BACKING);
    ASSERT_EQ(dialog_begin(&dialog, 0, 0, 160, 80, "Drawn", recording_handler), 1);
    dialog_add_control(&dialog, CONTROL_BUTTON, EDIT, 5, 5, 40, 20, "", BS_OWNERDRAW);
    dialog_add_control(&dialog, CONTROL_LIST_BOX, LABEL, 50, 5, 60, 60, "a|b", LBS_OWNERDRAWFIXED);
    control_create(&window, CONTROL_BUTTON, EDIT, 5, 5, 60, 30, "", BS_OWNERDRAW);
    control_create(&window, CONTROL_LIST_BOX, LABEL, 70, 5, 100, 100, "a|b", LBS_OWNERDRAWFIXED);
    ASSERT_EQ(dialog_show(&dialog, nullptr), 1);
    const COLORREF want = RGB(255, 0, 0);
    for (WindowRecord* owner : {&dialog, &window}) {
        SCOPED_TRACE(owner == &dialog ? "dialog" : "window");
        HWND list = ::GetDlgItem(owner->hwnd, LABEL);
        EXPECT_EQ(::SendMessageA(list, LB_GETITEMHEIGHT, 0, 0), 21);
        EXPECT_EQ(color_text(centre_when(::GetDlgItem(owner->hwnd, EDIT), want)), color_text(want));
        const Picture item =
            poll_screen(list, 5, 10, 1, 1, [&](const Picture& p) { return p.at(0, 0) == want; });
        EXPECT_EQ(color_text(item.at(0, 0)), color_text(want));
    }
    dialog_end(&dialog, 0);
    ::DeleteObject(red);
}

TEST_F(DialogTest, ColouredControlsShowTheirColoursAndTheirOwnAgain) {
    ASSERT_EQ(dialog_begin(&dialog, 0, 0, 160, 130, "Colours", recording_handler), 1);
    const int32_t kinds[] = {CONTROL_EDIT, CONTROL_LABEL, CONTROL_RICH_EDIT, CONTROL_LIST_VIEW,
                             CONTROL_TREE_VIEW};
    int32_t y = 5;
    for (int32_t kind : kinds) {
        dialog_add_control(&dialog, kind, kind, 5, y, 100, 20, "",
                           kind == CONTROL_LIST_VIEW ? LVS_NOCOLUMNHEADER : 0);
        y += 24;
    }
    ASSERT_EQ(dialog_show(&dialog, nullptr), 1);
    for (int32_t id : kinds) {
        SCOPED_TRACE(id);
        HWND control = ::GetDlgItem(dialog.hwnd, id);
        pump_for(50);
        RECT r = {};
        ::GetClientRect(control, &r);
        const COLORREF before = read_screen(control, r.right / 2, r.bottom / 2, 1, 1).at(0, 0);
        EXPECT_NE(before, NAVY);
        control_set_colors(&dialog, id, YELLOW, NAVY);
        EXPECT_EQ(color_text(centre_when(control, NAVY)), color_text(NAVY));
        control_set_colors(&dialog, id, NO_COLOR, NO_COLOR); // back to its own
        EXPECT_EQ(color_text(centre_when(control, before)), color_text(before));
    }
}

TEST_F(DialogTest, BitmapButtonDrawsEachStateAndHotTrackingFollowsTheMouse) {
    ASSERT_EQ(dialog_begin(&dialog, 0, 0, 160, 80, "Bitmaps", recording_handler), 1);
    dialog_add_control(&dialog, CONTROL_BITMAP_BUTTON, PICTURE, 5, 5, 60, 30, "", 0);
    dialog_add_control(&dialog, CONTROL_LABEL, LABEL, 80, 5, 60, 30, "", 0);
    dialog_add_control(&dialog, CONTROL_LABEL, AWAY, 5, 50, 140, 20, "", 0);
    ASSERT_EQ(dialog_show(&dialog, nullptr), 1);
    mouse_over(::GetDlgItem(dialog.hwnd, AWAY));
    pump_for(50);
    const COLORREF red = RGB(255, 0, 0), green = RGB(0, 255, 0), blue = RGB(0, 0, 255);
    control_set_bitmaps(&dialog, PICTURE, solid_bitmap(red), solid_bitmap(green),
                        solid_bitmap(blue), 3);
    control_set_hot(&dialog, LABEL, HOT);
    control_set_colors(&dialog, LABEL, NO_COLOR, NAVY);

    HWND button = ::GetDlgItem(dialog.hwnd, PICTURE);
    HWND label = ::GetDlgItem(dialog.hwnd, LABEL);
    EXPECT_EQ(color_text(centre_when(button, red)), color_text(red));
    Picture frame = read_screen(button, 1, 1, 1, 1); // inside the 3-pixel frame
    EXPECT_EQ(color_text(frame.at(0, 0)), color_text(RGB(0, 0, 0)));
    EXPECT_EQ(color_text(centre_when(label, NAVY)), color_text(NAVY));

    struct Step {
        const char* name;
        HWND mouse_over;
        BOOL pressed;
        COLORREF button, label;
    };
    const Step steps[] = {
        {"mouse over the button", button, FALSE, green, NAVY},
        {"pressed", button, TRUE, blue, NAVY},
        {"released, mouse over the label", label, FALSE, red, HOT},
        {"mouse gone", ::GetDlgItem(dialog.hwnd, AWAY), FALSE, red, NAVY},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        mouse_over(step.mouse_over);
        ::SendMessageA(button, BM_SETSTATE, step.pressed, 0);
        EXPECT_EQ(color_text(centre_when(button, step.button)), color_text(step.button));
        EXPECT_EQ(color_text(centre_when(label, step.label)), color_text(step.label));
    }
}

TEST_F(DialogTest, AControlReleasesWhatItOwnsWhenDestroyed) {
    WindowRecord& window = open(0, 0, 200, 120, 0);
    ASSERT_EQ(control_create(&window, CONTROL_BITMAP_BUTTON, PICTURE, 5, 5, 40, 20, "", 0), 1);
    // A second, hidden control keeps the facility's table of subclassed controls, which
    // goes with the last one, out of the count.
    ASSERT_TRUE(control_subclass(::CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 1, 1,
                                                   window.hwnd, nullptr, nullptr, nullptr)));
    const Census before = census_take();
    HBITMAP shared = solid_bitmap(NAVY); // one picture for two states: deleted once
    control_set_bitmaps(&window, PICTURE, shared, shared, solid_bitmap(HOT), 1);
    control_set_colors(&window, PICTURE, YELLOW, NAVY);
    control_set_hot(&window, PICTURE, HOT);
    control_set_notify(&window, PICTURE, 1, 1);
    HWND button = ::GetDlgItem(window.hwnd, PICTURE);
    HGDIOBJ brush = ::GetPropA(button, "BBRUSH");
    ASSERT_EQ(::GetObjectType(brush), static_cast<DWORD>(OBJ_BRUSH));
    ::DestroyWindow(button);
    const Census after = census_take();
    EXPECT_EQ(::GetObjectType(shared), 0u);
    EXPECT_EQ(::GetObjectType(brush), 0u);
    // The window before held the button's "LPFN"; now neither the button nor that property.
    EXPECT_EQ(census_changes(before, after), "windows " + std::to_string(before.windows) + " -> " +
                                                 std::to_string(before.windows - 1) +
                                                 ", properties " +
                                                 std::to_string(before.properties) + " -> " +
                                                 std::to_string(before.properties - 1));
}

// Showing a list fills its control item by item; an item the control puts at or before
// the selected one's place moves it down, and the selection goes with it. A sorted control
// puts an item that compares equal (case aside) before the one it equals, so such items
// swap on each filling.
TEST_F(DialogTest, TheSelectedItemStaysSelectedWhereverFillingPutsIt) {
    constexpr int32_t LIST = 31;
    const struct {
        int32_t kind, style;
        const char* items;
    } lists[] = {
        {CONTROL_LIST_BOX, LBS_SORT, "b|B"},
        {CONTROL_COMBO_BOX, CBS_SORT, "b|B"},
        {CONTROL_LIST_BOX, LBS_SORT, "Pear|pear|apple|PEAR"},
        {CONTROL_COMBO_BOX, CBS_SORT, "Pear|pear|apple|PEAR"},
        {CONTROL_LIST_BOX, 0, "c|b|a"},
    };
    const auto text = [&](int32_t id) {
        char* made = control_get_text(&dialog, id);
        std::string copy = made;
        heap_free(made);
        return copy;
    };
    for (const auto& list : lists) {
        for (int32_t chosen = 0;; ++chosen) {
            ASSERT_EQ(dialog_begin(&dialog, 0, 0, 120, 80, "Lists", recording_handler), 1);
            dialog_add_control(&dialog, list.kind, LIST, 5, 5, 100, 60, list.items, list.style);
            if (chosen >= control_list_count(&dialog, LIST)) {
                dialog_release(&dialog);
                break;
            }
            ASSERT_EQ(control_list_select(&dialog, LIST, chosen), 1);
            const std::string selected = text(LIST);
            ASSERT_EQ(dialog_show(&dialog, nullptr), 1);
            EXPECT_EQ(text(LIST), selected) << list.items << ", item " << chosen << " shown";
            dialog_end(&dialog, 0);
            EXPECT_EQ(text(LIST), selected) << list.items << ", item " << chosen << " ended";
            dialog_release(&dialog);
        }
    }
}

TEST_F(DialogTest, FiveHundredDialogsOfEveryKindLeaveNothingBehind) {
    one_dialog_of_every_kind(&dialog, false); // classes registered, libraries loaded
    one_dialog_of_every_kind(&dialog, true);
    pump_for(50);
    const Census before = census_take();
    for (int32_t i = 0; i < 500; ++i) {
        one_dialog_of_every_kind(&dialog, i % 2 == 1);
    }
    pump_for(50);
    const Census after = census_take();
    EXPECT_EQ(census_changes(before, after), "") << census_text(after);
}
