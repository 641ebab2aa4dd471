// Dialogs on real windows: every kind of control made from the template in dialog units,
// a modal dialog answered by posted input, a modeless one navigated through
// process_events, the events its handler sees, and the values it keeps when it ends.
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "tests/dialog/dialog_test_support.h"
#include "tests/support/launch.h"

#include <commctrl.h>

namespace {

constexpr int32_t FIRST = 11, SECOND = 12, SCROLL = 13, STATUS = 14, OK = 1;

// A form with two edits, a scroll bar and a default button.
void define_form(WindowRecord* dialog, int32_t x = 10) {
    ASSERT_EQ(dialog_begin(dialog, x, 10, 160, 80, "Form", recording_handler), 1);
    dialog_add_control(dialog, CONTROL_EDIT, FIRST, 5, 5, 100, 12, "first", 0);
    dialog_add_control(dialog, CONTROL_EDIT, SECOND, 5, 20, 100, 12, "second", 0);
    dialog_add_control(dialog, CONTROL_SCROLL_BAR, SCROLL, 5, 35, 100, 10, "", 0);
    dialog_add_control(dialog, CONTROL_DEFAULT_BUTTON, OK, 110, 60, 45, 14, "OK", 0);
}

HWND item(const WindowRecord& dialog, int32_t id) {
    return ::GetDlgItem(dialog.hwnd, id);
}

WindowRecord* answered = nullptr; // the modal dialog that answer_with_enter serves

// At WM_INITDIALOG: turn Enter into a notification in the first edit and post Enter to it;
// on that notification: end the dialog with 42, checking the owner is disabled meanwhile.
intptr_t answer_with_enter() {
    const EventState& e = event_state;
    if (e.event_class == WM_INITDIALOG) {
        control_set_notify(answered, FIRST, 1, 0);
        control_focus(answered, FIRST);
        post_key(item(*answered, FIRST), VK_RETURN);
        return 1; // the focus is set
    }
    if (e.event_class == EV_CONTROL && e.control_id == FIRST && e.notify_code == CN_ENTER) {
        HWND owner = ::GetWindow(answered->hwnd, GW_OWNER);
        dialog_end(answered, owner != nullptr && !::IsWindowEnabled(owner) ? 42 : 7);
    }
    return 0;
}

std::string window_string(HWND window) {
    std::string text(static_cast<size_t>(::GetWindowTextLengthA(window)) + 1, '\0');
    text.resize(
        static_cast<size_t>(::GetWindowTextA(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::string text_of(WindowRecord* dialog, int32_t id) {
    char* text = control_get_text(dialog, id);
    std::string copy = text;
    heap_free(text);
    return copy;
}

std::vector<std::string> list_items(WindowRecord* dialog, int32_t id) {
    std::vector<std::string> items;
    for (int32_t i = 0; i < control_list_count(dialog, id); ++i) {
        char* text = control_list_text(dialog, id, i);
        items.emplace_back(text);
        heap_free(text);
    }
    return items;
}

// The modal dialogs of ModalDialogsNestEndAndQuitSoundly and what their handlers saw.
WindowRecord inner = {};
WindowRecord* owner_record = nullptr;
WindowRecord* outer_record = nullptr;
struct Seen {
    bool end_outer_first; // the inner dialog's handler ends the outer one before itself
    int32_t open_at;      // the outer dialog's event that opens the inner one
    int32_t inner_result, begun, added;
    BOOL owner_enabled;
    HWND outer, active; // the outer dialog, and the active window once the inner one ended
} seen = {};

// Ends itself with 5 once it is up (the outer dialog first, with 8, when asked).
intptr_t inner_handler() {
    if (event_state.event_class == WM_INITDIALOG) {
        ::PostMessageA(inner.hwnd, WM_APP, 0, 0);
    } else if (event_state.event_class == WM_APP) {
        if (seen.end_outer_first) {
            dialog_end(outer_record, 8);
            seen.owner_enabled = ::IsWindowEnabled(owner_record->hwnd);
        }
        dialog_end(&inner, 5);
    }
    return 0;
}

// Before it is on the screen (at seen.open_at: WM_INITDIALOG, a message posted there or a
// close request), shows the inner dialog modal over the same owner, then ends with 9.
intptr_t outer_handler() {
    outer_record = event_state.event_window;
    const int32_t event = event_state.event_class;
    if (event == WM_INITDIALOG && seen.open_at != WM_INITDIALOG) {
        ::PostMessageA(outer_record->hwnd, seen.open_at == WM_APP ? WM_APP : WM_CLOSE, 0, 0);
    }
    if (event == seen.open_at) {
        dialog_begin(&inner, 0, 0, 80, 30, "Inner", inner_handler);
        seen.outer = outer_record->hwnd;
        seen.inner_result = dialog_show_modal(&inner, owner_record);
        if (!seen.end_outer_first) {
            seen.owner_enabled = ::IsWindowEnabled(owner_record->hwnd);
            seen.active = ::GetActiveWindow();
            dialog_end(outer_record, 9);
        }
    }
    return 0;
}

// Once up, ends with 4 and begins a fresh definition at once.
intptr_t begin_again_handler() {
    WindowRecord* dialog = event_state.event_window;
    if (event_state.event_class == WM_INITDIALOG) {
        ::PostMessageA(dialog->hwnd, WM_APP, 0, 0);
    } else if (event_state.event_class == WM_APP) {
        dialog_end(dialog, 4);
        seen.begun = dialog_begin(dialog, 0, 0, 50, 20, "Fresh", recording_handler);
        seen.added = dialog_add_control(dialog, CONTROL_BUTTON, OK, 5, 5, 40, 10, "OK", 0);
    }
    return 0;
}

// Ends with the menu command its shortcut F3 raises, or with -5 after 3 seconds without.
intptr_t shortcut_handler() {
    WindowRecord* dialog = event_state.event_window;
    if (event_state.event_class == WM_INITDIALOG) {
        add_accelerator(dialog, VK_F3, 0, 301);
        start_timer(dialog, 3000, 1, nullptr);
        post_key(dialog->hwnd, VK_F3);
    } else if (event_state.event_class == EV_MENU_PICK) {
        dialog_end(dialog, event_state.menu_id);
    } else if (event_state.event_class == WM_TIMER) {
        dialog_end(dialog, -5);
    }
    return 0;
}

intptr_t quit_handler() {
    if (event_state.event_class == WM_INITDIALOG) {
        ::PostQuitMessage(7);
    }
    return 0;
}

intptr_t end_at_once_handler() {
    if (event_state.event_class == WM_INITDIALOG) {
        dialog_end(event_state.event_window, 3);
    }
    return 0;
}

} // namespace

TEST_F(DialogTest, ModalDialogsNestEndAndQuitSoundly) {
    WindowRecord& owner = open(50, 50, 300, 200, 0);
    owner_record = &owner;
    seen = {};
    auto show = [&](WindowHandler handler, bool modal) {
        EXPECT_EQ(dialog_begin(&dialog, DIALOG_CENTRED, 0, 120, 40, "Modal", handler), 1);
        dialog_add_control(&dialog, CONTROL_EDIT, FIRST, 5, 5, 100, 12, "", 0);
        return modal ? dialog_show_modal(&dialog, &owner) : dialog_show(&dialog, &owner);
    };
    // A nested modal dialog with the same owner, opened before the outer one is on the
    // screen: the owner stays disabled until the outer one ends; the activation goes back
    // to the outer dialog, then to the owner.
    for (const int32_t open_at : {WM_INITDIALOG, WM_APP, EV_CLOSE_REQUEST}) {
        SCOPED_TRACE(open_at);
        ::SetActiveWindow(owner.hwnd);
        seen = {};
        seen.open_at = open_at;
        EXPECT_EQ(show(outer_handler, true), 9);
        EXPECT_EQ(seen.inner_result, 5);
        EXPECT_FALSE(seen.owner_enabled);
        EXPECT_EQ(seen.active, seen.outer);
        EXPECT_TRUE(::IsWindowEnabled(owner.hwnd));
        EXPECT_EQ(::GetActiveWindow(), owner.hwnd);
    }
    // The outer one ended first: the owner stays disabled while the inner one is up.
    seen = {};
    seen.open_at = WM_APP;
    seen.end_outer_first = true;
    EXPECT_EQ(show(outer_handler, true), 8);
    EXPECT_EQ(seen.inner_result, 5);
    EXPECT_FALSE(seen.owner_enabled);
    EXPECT_TRUE(::IsWindowEnabled(owner.hwnd));
    dialog_release(&inner);
    // A quit ends the dialog with -1, gives the owner back and is posted again.
    EXPECT_EQ(show(quit_handler, true), -1);
    EXPECT_TRUE(::IsWindowEnabled(owner.hwnd));
    MSG quit = {};
    EXPECT_TRUE(::PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.wParam, 7u);
    // A modal dialog's shortcut works.
    EXPECT_EQ(show(shortcut_handler, true), 301);
    // Ended while being made: a modal one returns its value, a modeless one was not shown.
    EXPECT_EQ(show(end_at_once_handler, true), 3);
    EXPECT_EQ(show(end_at_once_handler, false), 0);
    EXPECT_EQ(dialog.hwnd, nullptr);
    EXPECT_EQ(dialog.is_dialog, 0);
    EXPECT_TRUE(::IsWindowEnabled(owner.hwnd));
    // Its handler begins a fresh definition right after ending it.
    EXPECT_EQ(show(begin_again_handler, true), 4);
    EXPECT_EQ(seen.begun, 1);
    EXPECT_EQ(seen.added, 1);
    EXPECT_EQ(static_cast<DialogDefinition*>(dialog.dialog_def)->control_count, 1);
}

// The answers the platform takes from a dialog procedure itself reach it: a handler's
// dialog and edit backgrounds, and its answer to a key in a list box that asks for keys.
TEST_F(DialogTest, HandlerAnswersThePlatformTakesDirectlyArePassedOn) {
    static HBRUSH red, green;
    static intptr_t key_answer;
    red = ::CreateSolidBrush(RGB(255, 0, 0));
    green = ::CreateSolidBrush(RGB(0, 255, 0));
    react_to_event = [] {
        const int32_t event = event_state.event_class;
        return event == WM_CTLCOLORDLG    ? reinterpret_cast<intptr_t>(red)
               : event == WM_CTLCOLOREDIT ? reinterpret_cast<intptr_t>(green)
               : event == WM_VKEYTOITEM   ? key_answer
                                          : 0;
    };
    ASSERT_EQ(dialog_begin(&dialog, 0, 0, 120, 70, "Answers", recording_handler), 1);
    dialog_add_control(&dialog, CONTROL_LIST_BOX, FIRST, 5, 5, 60, 50, "a|b|c|d",
                       LBS_WANTKEYBOARDINPUT);
    dialog_add_control(&dialog, CONTROL_EDIT, SECOND, 70, 5, 45, 14, "", 0);
    ASSERT_EQ(dialog_show(&dialog, nullptr), 1);
    RECT client = {};
    ::GetClientRect(dialog.hwnd, &client);
    const std::pair<HWND, POINT> places[] = {{dialog.hwnd, {client.right - 4, client.bottom - 4}},
                                             {item(dialog, SECOND), {4, 4}}};
    for (const auto& [window, at] : places) {
        const COLORREF want = window == dialog.hwnd ? RGB(255, 0, 0) : RGB(0, 255, 0);
        const Picture shown = poll_screen(window, at.x, at.y, 1, 1,
                                          [&](const Picture& p) { return p.at(0, 0) == want; });
        EXPECT_EQ(color_text(shown.at(0, 0)), color_text(want));
    }
    // -2: handled, the selection stays; 0: the list box's own Down.
    const std::pair<intptr_t, int32_t> rows[] = {{-2, 1}, {0, 2}};
    control_focus(&dialog, FIRST);
    for (const auto& [answer, selection] : rows) {
        key_answer = answer;
        control_list_select(&dialog, FIRST, 1);
        ::SendMessageA(item(dialog, FIRST), WM_KEYDOWN, VK_DOWN, 0);
        EXPECT_EQ(control_list_selection(&dialog, FIRST), selection) << "answer " << answer;
    }
    dialog_end(&dialog, 0);
    ::DeleteObject(red);
    ::DeleteObject(green);
}

// A form gives back what it was given, showing after showing: controls that share an
// identifier, a text of 70,000 characters (in a status bar too, which gives its length in 16
// bits), and list items that are empty or hold "|".
TEST_F(DialogTest, AFormRoundTripsItsValuesWhole) {
    std::string note;
    for (int32_t i = 0; note.size() < 70000; ++i) {
        note += std::to_string(i) + " ";
    }
    note.resize(70000);
    ASSERT_EQ(dialog_begin(&dialog, 0, 0, 200, 100, "Round", recording_handler), 1);
    dialog_add_control(&dialog, CONTROL_LABEL, 0, 5, 5, 60, 10, "Alpha", 0);
    dialog_add_control(&dialog, CONTROL_LABEL, 0, 5, 20, 60, 10, "Beta", 0);
    dialog_add_control(&dialog, CONTROL_LABEL, FIRST, 5, 35, 100, 12, note.c_str(), 0);
    dialog_add_control(&dialog, CONTROL_LIST_BOX, SECOND, 110, 5, 80, 40, "", 0);
    dialog_add_control(&dialog, CONTROL_COMBO_BOX, SCROLL, 110, 50, 80, 40, "", 0);
    dialog_add_control(&dialog, CONTROL_STATUS_BAR, STATUS, 0, 0, 0, 0, note.c_str(), 0);
    EXPECT_EQ(control_list_add(&dialog, SECOND, ""), 0);
    EXPECT_EQ(control_list_add(&dialog, SECOND, "x|y"), 1);
    EXPECT_EQ(control_list_add(&dialog, SCROLL, ""), 0);
    const std::vector<std::string> second = {"", "x|y"}, only_empty = {""};
    for (int32_t showing = 0; showing < 2; ++showing) {
        SCOPED_TRACE(showing);
        ASSERT_EQ(dialog_show(&dialog, nullptr), 1);
        HWND alpha = ::GetWindow(dialog.hwnd, GW_CHILD);
        EXPECT_EQ(window_string(alpha), "Alpha");
        EXPECT_EQ(window_string(::GetWindow(alpha, GW_HWNDNEXT)), "Beta");
        EXPECT_EQ(window_string(item(dialog, FIRST)), note);
        EXPECT_EQ(text_of(&dialog, STATUS), note);
        EXPECT_EQ(list_items(&dialog, SECOND), second);
        EXPECT_EQ(list_items(&dialog, SCROLL), only_empty);
        dialog_end(&dialog, 0);
        EXPECT_EQ(text_of(&dialog, FIRST), note);
        EXPECT_EQ(text_of(&dialog, STATUS), note);
        EXPECT_EQ(list_items(&dialog, SECOND), second);
        EXPECT_EQ(list_items(&dialog, SCROLL), only_empty);
    }
}

// A status bar put on a window takes its bottom edge, and keeps it as the window is resized
// larger and smaller; one with CCS_NORESIZE stays at the place and size it was given. The
// platform's bar puts itself at the bottom with CCS_NOPARENTALIGN alone when made or sized.
TEST_F(DialogTest, AStatusBarOnAWindowFollowsItsBottomEdge) {
    const RECT put = {5, 5, 55, 55};
    const auto text = [](const RECT& r) {
        return std::to_string(r.left) + "," + std::to_string(r.top) + " " +
               std::to_string(r.right) + "," + std::to_string(r.bottom);
    };
    const struct {
        uint32_t style;
        bool stays; // at the place it was given, else at the bottom
    } cases[] = {{0, false}, {CCS_NOPARENTALIGN, false}, {CCS_NORESIZE, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.style);
        WindowRecord& window = open(0, 0, 300, 200, WS_THICKFRAME | WF_NO_BACKING);
        ASSERT_EQ(control_create(&window, CONTROL_STATUS_BAR, STATUS, put.left, put.top,
                                 put.right - put.left, put.bottom - put.top, "Ready", c.style),
                  1);
        for (SIZE size : {SIZE{300, 200}, SIZE{420, 320}, SIZE{250, 150}}) {
            if (size.cx != 300) { // the first looks at the bar as it was made
                ::SetWindowPos(window.hwnd, nullptr, 0, 0, size.cx, size.cy,
                               SWP_NOMOVE | SWP_NOZORDER);
            }
            RECT client = {}, bar = {};
            ::GetClientRect(window.hwnd, &client);
            ::GetWindowRect(item(window, STATUS), &bar);
            ::MapWindowPoints(nullptr, window.hwnd, reinterpret_cast<POINT*>(&bar), 2);
            const RECT want = c.stays ? put : RECT{0, bar.top, client.right, client.bottom};
            EXPECT_EQ(text(bar), text(want)) << size.cx;
            EXPECT_GT(bar.bottom - bar.top, 10) << size.cx;
        }
    }
}

// A bar on an MDI frame of a kind, made as a program makes one itself, placing itself or
// (CCS_NORESIZE) placed across the frame's top; null for none.
HWND frame_bar(WindowRecord& frame, const wchar_t* kind, DWORD style) {
    RECT top = {};
    if (style & CCS_NORESIZE) {
        ::GetClientRect(frame.hwnd, &top);
    }
    HWND bar = ::CreateWindowExW(0, kind, L"", WS_CHILD | WS_VISIBLE | style, 0, 0, top.right,
                                 top.right != 0 ? 24 : 0, frame.hwnd, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
    ::SendMessageW(bar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    ::SendMessageW(bar, std::wcscmp(kind, TOOLBARCLASSNAMEW) == 0 ? TB_AUTOSIZE : WM_SIZE, 0, 0);
    return bar;
}

// An MDI frame's client takes the room its status bar leaves, as made and at every size, and
// as bars are hidden, shown, made and destroyed without a new size: the client is under no
// shown bar and leaves no strip between itself and a bar or the frame's edge; bars over one
// another take their room once, a bar at the top takes its room there; the bar shows on the
// screen. A status bar of an MDI child takes none of it.
TEST_F(DialogTest, AnMdiFramesClientLeavesItsStatusBarShowing) {
    WindowRecord& frame = open(0, 0, 400, 300, WF_MDI_FRAME | WS_THICKFRAME);
    ASSERT_NE(frame.mdi_client, nullptr);
    ASSERT_EQ(control_create(&frame, CONTROL_STATUS_BAR, STATUS, 0, 0, 0, 0, "Ready", 0), 1);
    const HWND bar = item(frame, STATUS);
    // A child's own bar takes none of the frame's room.
    WindowRecord& child = open(0, 0, 150, 100, 0, &frame);
    ASSERT_EQ(control_create(&child, CONTROL_STATUS_BAR, STATUS, 0, 0, 0, 0, "Child", 0), 1);
    const COLORREF face = ::GetSysColor(COLOR_3DFACE);
    ASSERT_NE(face, ::GetSysColor(COLOR_APPWORKSPACE));
    HWND made = nullptr; // the last bar a change made
    const struct {
        const char* change;
        int show;                   // a ShowWindow command for the frame, or 0 for a new size
        SIZE size;                  // with 0: the size given, or none for the frame as made
        std::function<void()> bars; // or a change of the bars
    } changes[] = {
        {"as made", 0, {}, nullptr},
        {"larger", 0, {520, 380}, nullptr},
        {"maximized", SW_MAXIMIZE, {}, nullptr},
        {"restored", SW_RESTORE, {}, nullptr},
        {"bar hidden", 0, {}, [&] { ::ShowWindow(bar, SW_HIDE); }},
        {"bar shown", 0, {}, [&] { ::ShowWindow(bar, SW_SHOW); }},
        {"toolbar made", 0, {}, [&] { made = frame_bar(frame, TOOLBARCLASSNAMEW, CCS_TOP); }},
        {"toolbar destroyed", 0, {}, [&] { ::DestroyWindow(made); }},
        {"second bar on it", 0, {}, [&] { made = frame_bar(frame, STATUSCLASSNAMEW, 0); }},
        {"bar at the top", 0, {}, [&] { made = frame_bar(frame, STATUSCLASSNAMEW, CCS_NORESIZE); }},
    };
    for (const auto& c : changes) {
        SCOPED_TRACE(c.change);
        if (c.bars) {
            c.bars();
        } else if (c.show != 0) {
            ::ShowWindow(frame.hwnd, c.show);
        } else if (c.size.cx != 0) {
            ::SetWindowPos(frame.hwnd, nullptr, 0, 0, c.size.cx, c.size.cy,
                           SWP_NOMOVE | SWP_NOZORDER);
        }
        RECT client = {}, frame_client = {}, overlap = {};
        ::GetWindowRect(frame.mdi_client, &client);
        ::MapWindowPoints(nullptr, frame.hwnd, reinterpret_cast<POINT*>(&client), 2);
        ::GetClientRect(frame.hwnd, &frame_client);
        bool top_met = client.top == 0, bottom_met = client.bottom == frame_client.bottom;
        for (HWND b = ::GetWindow(frame.hwnd, GW_CHILD); b != nullptr;
             b = ::GetWindow(b, GW_HWNDNEXT)) {
            RECT place = {};
            if (b == frame.mdi_client || !::IsWindowVisible(b) || !::GetWindowRect(b, &place)) {
                continue;
            }
            ::MapWindowPoints(nullptr, frame.hwnd, reinterpret_cast<POINT*>(&place), 2);
            EXPECT_FALSE(::IntersectRect(&overlap, &client, &place));
            EXPECT_GT(place.bottom - place.top, 10);
            top_met = top_met || client.top == place.bottom;
            bottom_met = bottom_met || client.bottom == place.top;
        }
        EXPECT_TRUE(top_met && bottom_met) << client.top << ".." << client.bottom;
        EXPECT_EQ(client.right - client.left, frame_client.right);
        if (::IsWindowVisible(bar)) { // its empty middle shows its face, not the workspace
            RECT place = {};
            ::GetClientRect(bar, &place);
            const Picture middle =
                poll_screen(bar, place.right / 2, place.bottom / 2, 1, 1,
                            [&](const Picture& p) { return p.at(0, 0) == face; });
            EXPECT_EQ(color_text(middle.at(0, 0)), color_text(face));
        }
    }
}

// A sorted list box or combo box holds its items in its control's order while it is not
// shown too: the index control_list_add gives is the item's place on the screen, and the
// item the program selects is the one shown selected and kept.
TEST_F(DialogTest, SortedListsKeepTheirItemsInTheControlsOrder) {
    ASSERT_EQ(dialog_begin(&dialog, 0, 0, 200, 80, "Sorted", recording_handler), 1);
    dialog_add_control(&dialog, CONTROL_LIST_BOX, FIRST, 5, 5, 80, 60, "pear|apple|Fig", LBS_SORT);
    dialog_add_control(&dialog, CONTROL_COMBO_BOX, SECOND, 100, 5, 80, 60, "pear|apple|Fig",
                       CBS_SORT);
    for (int32_t id : {FIRST, SECOND}) {
        EXPECT_EQ(control_list_select(&dialog, id, control_list_add(&dialog, id, "banana")), 1);
    }
    const std::vector<std::string> sorted = {"apple", "banana", "Fig", "pear"};
    for (const std::string when : {"not shown yet", "shown", "ended"}) {
        if (when == "shown") {
            ASSERT_EQ(dialog_show(&dialog, nullptr), 1);
        }
        for (int32_t id : {FIRST, SECOND}) {
            SCOPED_TRACE(when + ", list " + std::to_string(id));
            EXPECT_EQ(list_items(&dialog, id), sorted);
            EXPECT_EQ(text_of(&dialog, id), "banana");
        }
        if (when == "shown") {
            dialog_end(&dialog, 0);
        }
    }
}

// The rich edit's library comes from the system folder, not from a file of its name beside
// the program: a copy of this program beside such a file still shows every kind.
TEST(DialogLibraries, TheRichEditLibraryComesFromTheSystemFolder) {
    const std::string folder = temp_file("beside\\");
    ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
    char self[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    ASSERT_TRUE(::CopyFileA(self, (folder + "test_dialog.exe").c_str(), FALSE));
    write_file(folder + "riched20.dll", "not a library");
    ChildProcess child = {};
    ASSERT_TRUE(launch_start(folder, "test_dialog.exe",
                             "--gtest_filter=DialogTest.EveryKindIsMadeWithItsClassInDialogUnits",
                             0, &child));
    EXPECT_EQ(launch_end(child, 120000), 0);
    ::DeleteFileA((folder + "test_dialog.exe").c_str());
    ::DeleteFileA((folder + "riched20.dll").c_str());
    ::RemoveDirectoryA(folder.c_str());
}

TEST_F(DialogTest, EveryKindIsMadeWithItsClassInDialogUnits) {
    ASSERT_EQ(dialog_begin(&dialog, 0, 0, 300, 200, "All", recording_handler), 1);
    for (int32_t kind = 1; kind <= CONTROL_KIND_COUNT; ++kind) {
        dialog_add_control(&dialog, kind, 100 + kind, 4 + (kind % 4) * 70, 4 + (kind / 4) * 30, 60,
                           24, "x", 0);
    }
    ASSERT_EQ(dialog_show(&dialog, nullptr), 1);
    for (int32_t kind = 1; kind <= CONTROL_KIND_COUNT; ++kind) {
        SCOPED_TRACE(kind);
        HWND control = item(dialog, 100 + kind);
        ASSERT_NE(control, nullptr);
        char name[64] = {};
        ::GetClassNameA(control, name, sizeof(name));
        EXPECT_EQ(::lstrcmpiA(name, control_class(kind)->name), 0) << name;
        EXPECT_NE(::GetPropA(control, "LPFN"), nullptr); // subclassed
        if (kind == CONTROL_STATUS_BAR || kind == CONTROL_COMBO_BOX) {
            continue; // the status bar places itself; a combo box's height is its list's
        }
        RECT expected = {4 + (kind % 4) * 70, 4 + (kind / 4) * 30, 0, 0};
        expected.right = expected.left + 60;
        expected.bottom = expected.top + 24;
        ::MapDialogRect(dialog.hwnd, &expected);
        RECT actual = {};
        ::GetWindowRect(control, &actual);
        ::MapWindowPoints(nullptr, dialog.hwnd, reinterpret_cast<POINT*>(&actual), 2);
        EXPECT_EQ(std::make_pair(actual.left, actual.top),
                  std::make_pair(expected.left, expected.top));
        EXPECT_EQ(std::make_pair(actual.right, actual.bottom),
                  std::make_pair(expected.right, expected.bottom));
    }
    char caption[16] = {};
    ::GetWindowTextA(dialog.hwnd, caption, sizeof(caption));
    EXPECT_STREQ(caption, "All");
}

TEST_F(DialogTest, ModalDialogAnsweredByPostedInputReturnsItsValue) {
    WindowRecord& owner = open(50, 50, 300, 200, 0);
    define_form(&dialog);
    answered = &dialog;
    dialog.handler = answer_with_enter;
    // The outer event's fields come back once the dialog's events are over.
    event_state.event_class = 777;
    event_state.control_id = 5;
    event_state.event_window = &owner;
    EXPECT_EQ(dialog_show_modal(&dialog, &owner), 42);
    EXPECT_EQ(event_state.event_class, 777);
    EXPECT_EQ(event_state.control_id, 5);
    EXPECT_EQ(event_state.event_window, &owner);
    EXPECT_EQ(dialog.hwnd, nullptr);
    EXPECT_TRUE(::IsWindowEnabled(owner.hwnd));
    event_state = EventState{};
}

TEST_F(DialogTest, ModelessTabCyclesTheTabStopsAsThePlatformOrdersThem) {
    define_form(&dialog);
    ASSERT_EQ(dialog_show(&dialog, nullptr), 1);
    EXPECT_EQ(dialog.is_dialog, 1);
    control_focus(&dialog, FIRST);
    // First edit, second edit, the button, and round again (the scroll bar takes no tab).
    const int32_t order[] = {SECOND, OK, FIRST};
    for (int32_t next : order) {
        HWND from = ::GetFocus();
        EXPECT_EQ(::GetNextDlgTabItem(dialog.hwnd, from, FALSE), item(dialog, next));
        post_key(from, VK_TAB);
        EXPECT_TRUE(pump_until([&] { return ::GetFocus() == item(dialog, next); }))
            << "expected the focus on " << next;
    }
}

// A key is handled once; shortcuts whose commands are 1 and 2 (IDOK, IDCANCEL) are menu
// picks too, not Enter and Escape.
TEST_F(DialogTest, AKeyInADialogWithShortcutsIsHandledOnce) {
    define_form(&dialog);
    ASSERT_EQ(dialog_show(&dialog, nullptr), 1);
    const std::pair<WPARAM, int32_t> shortcuts[] = {{VK_F3, 301}, {VK_F2, 2}, {VK_F4, 1}};
    for (const auto& [key, command] : shortcuts) {
        ASSERT_EQ(add_accelerator(&dialog, static_cast<int32_t>(key), 0, command), 1);
    }
    control_set_text(&dialog, FIRST, "");
    control_focus(&dialog, FIRST);
    ::PostMessageA(item(dialog, FIRST), WM_KEYDOWN, 'A', 1);
    ::PostMessageA(item(dialog, FIRST), WM_KEYUP, 'A', 0xC0000001);
    for (const auto& shortcut : shortcuts) {
        post_key(item(dialog, FIRST), shortcut.first);
    }
    // What each shortcut became.
    const auto became = [] {
        std::vector<std::string> out;
        for (const SeenEvent& s : seen_events) {
            if (s.event_class == EV_MENU_PICK) {
                out.push_back("pick " + std::to_string(LOWORD(s.wparam)));
            } else if (s.event_class == EV_CLOSE_REQUEST) {
                out.emplace_back("close request");
            } else if (s.event_class == EV_CONTROL && s.control_id == OK) {
                out.emplace_back("OK clicked");
            }
        }
        return out;
    };
    EXPECT_TRUE(pump_until([&] { return became().size() >= 3; }));
    pump_for(50);
    EXPECT_EQ(became(), (std::vector<std::string>{"pick 301", "pick 2", "pick 1"}));
    char* text = control_get_text(&dialog, FIRST);
    EXPECT_STREQ(text, "a"); // typed once, not once per route
    heap_free(text);
    HWND hwnd = dialog.hwnd;
    dialog_end(&dialog, 0);
    EXPECT_FALSE(::IsWindow(hwnd)); // its table went with it (no census here: see the soak)
}

TEST_F(DialogTest, EnterAndTabWithAndWithoutNotifications) {
    struct Row {
        const char* name;
        bool on_window; // the edit is put on an ordinary window, not in a dialog
        int32_t enter, tab;
        WPARAM key;
        std::vector<std::pair<int32_t, int32_t>> events;
        int32_t focus_after; // the identifier that holds the focus afterwards
    };
    const Row rows[] = {
        {"Enter notifies", false, 1, 0, VK_RETURN, {{FIRST, CN_ENTER}}, FIRST},
        {"Enter presses the default button", false, 0, 0, VK_RETURN, {{OK, BN_CLICKED}}, FIRST},
        {"Tab notifies", false, 0, 1, VK_TAB, {{FIRST, CN_TAB}}, FIRST},
        {"Tab moves on", false, 0, 0, VK_TAB, {}, SECOND},
        {"Enter notifies on a window", true, 1, 0, VK_RETURN, {{FIRST, CN_ENTER}}, FIRST},
        {"Tab notifies on a window", true, 0, 1, VK_TAB, {{FIRST, CN_TAB}}, FIRST},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        WindowRecord* owner = &dialog;
        if (row.on_window) {
            owner = &open(0, 0, 200, 100, 0);
            ASSERT_EQ(control_create(owner, CONTROL_EDIT, FIRST, 5, 5, 100, 20, "", 0), 1);
        } else {
            define_form(&dialog);
            ASSERT_EQ(dialog_show(&dialog, nullptr), 1);
        }
        control_set_notify(owner, FIRST, row.enter, row.tab);
        control_focus(owner, FIRST);
        seen_events.clear();
        post_key(item(*owner, FIRST), row.key);
        HWND focus_after = item(*owner, row.focus_after);
        pump_until([&] {
            return seen_controls().size() >= row.events.size() && ::GetFocus() == focus_after;
        });
        pump_for(50); // nothing more arrives
        EXPECT_EQ(seen_controls(), row.events);
        EXPECT_EQ(::GetFocus(), item(*owner, row.focus_after));
        char text[8] = {};
        ::GetWindowTextA(item(*owner, FIRST), text, sizeof(text));
        EXPECT_EQ(std::string(text).find_first_of("\r\t"), std::string::npos); // nothing typed
        dialog_release(&dialog);
    }
}

TEST_F(DialogTest, HandlerSeesControlsScrollsAndCloseRequestsAndEndsTheDialog) {
    define_form(&dialog);
    ASSERT_EQ(dialog_show(&dialog, nullptr), 1);
    ASSERT_TRUE(saw_event(WM_INITDIALOG));
    seen_events.clear();
    ::SendMessageA(item(dialog, OK), BM_CLICK, 0, 0);
    ::SendMessageA(dialog.hwnd, WM_HSCROLL, MAKEWPARAM(SB_LINERIGHT, 0),
                   reinterpret_cast<LPARAM>(item(dialog, SCROLL)));
    ::SendMessageA(dialog.hwnd, WM_CLOSE, 0, 0);
    post_key(item(dialog, FIRST), VK_ESCAPE);
    pump_for(100);
    EXPECT_EQ(seen_controls(), (std::vector<std::pair<int32_t, int32_t>>{{OK, BN_CLICKED}}));
    const std::vector<int32_t> expected = {WM_HSCROLL, EV_CLOSE_REQUEST, EV_CLOSE_REQUEST};
    EXPECT_EQ(seen_classes({WM_HSCROLL, EV_CLOSE_REQUEST}), expected);
    for (const SeenEvent& s : seen_events) {
        if (s.event_class == WM_HSCROLL) {
            EXPECT_EQ(s.control_id, SCROLL);
            EXPECT_EQ(s.wparam, static_cast<WPARAM>(SB_LINERIGHT));
        }
        EXPECT_EQ(s.window, &dialog);
    }
    // A close request leaves it open; close_window leaves dialog records alone.
    EXPECT_TRUE(::IsWindow(dialog.hwnd));
    close_window(&dialog);
    EXPECT_TRUE(::IsWindow(dialog.hwnd));
    HWND hwnd = dialog.hwnd;
    dialog_end(&dialog, 0);
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_EQ(dialog.hwnd, nullptr);
    EXPECT_EQ(dialog.is_dialog, 0);
}

TEST_F(DialogTest, AFormKeepsItsValuesWhenItEnds) {
    ASSERT_EQ(
        dialog_begin(&dialog, DIALOG_CENTRED, DIALOG_CENTRED, 160, 90, "Keep", recording_handler),
        1);
    dialog_add_control(&dialog, CONTROL_EDIT, FIRST, 5, 5, 100, 12, "", 0);
    dialog_add_control(&dialog, CONTROL_CHECK_BOX, SECOND, 5, 20, 100, 10, "Check", 0);
    dialog_add_control(&dialog, CONTROL_COMBO_BOX, SCROLL, 5, 35, 100, 60, "One|Two", 0);
    control_list_select(&dialog, SCROLL, 1); // filled in before it is shown
    WindowRecord& owner = open(100, 100, 400, 300, 0);
    ASSERT_EQ(dialog_show(&dialog, &owner), 1);
    EXPECT_EQ(control_list_selection(&dialog, SCROLL), 1);
    // Centred over the owner.
    RECT o = {}, d = {};
    ::GetWindowRect(owner.hwnd, &o);
    ::GetWindowRect(dialog.hwnd, &d);
    EXPECT_LE(std::abs((o.left + o.right) / 2 - (d.left + d.right) / 2), 1);
    control_set_text(&dialog, FIRST, "typed");
    control_set_check(&dialog, SECOND, 1);
    control_list_add(&dialog, SCROLL, "Three");
    control_list_select(&dialog, SCROLL, 2);
    dialog_end(&dialog, 0);
    char* text = control_get_text(&dialog, FIRST);
    EXPECT_STREQ(text, "typed");
    heap_free(text);
    EXPECT_EQ(control_get_check(&dialog, SECOND), 1);
    EXPECT_EQ(control_list_count(&dialog, SCROLL), 3);
    text = control_get_text(&dialog, SCROLL);
    EXPECT_STREQ(text, "Three");
    heap_free(text);
}
