// Tests of message_box: real boxes placed by the centring hook (read back by a watcher
// thread that then presses a button), boxes opened while another is up, the responder,
// and the centring rule itself over many rectangles.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "runtime/core/core_internal.h"
#include "runtime/window/window_internal.h"

namespace {

// What the watcher thread saw of a box, and the button it pressed.
struct BoxWatch {
    const char* caption;     // the box to look for
    WPARAM button;           // the button to press
    volatile LONG* wait_for; // when set, press only once this is non-zero
    RECT box;                // the box's rectangle once it settled
    bool found;
    bool has_ok, has_yes, has_no, has_icon;
    DWORD owner_thread; // the thread showing the box
};

// Close every dialog box of a thread, so that a box the watcher failed to recognise
// cannot keep the test waiting in its modal loop.
BOOL CALLBACK close_dialog(HWND window, LPARAM) {
    char name[16] = {};
    ::GetClassNameA(window, name, sizeof name);
    if (std::string(name) == "#32770") {
        ::PostMessageA(window, WM_COMMAND, IDOK, 0);
        ::PostMessageA(window, WM_COMMAND, IDNO, 0);
    }
    return TRUE;
}

DWORD WINAPI watch_box(void* parameter) {
    auto* watch = static_cast<BoxWatch*>(parameter);
    HWND box = nullptr;
    for (int tries = 0; tries < 500 && !(box && ::IsWindowVisible(box)); tries++) {
        ::Sleep(10);
        box = ::FindWindowA("#32770", watch->caption);
    }
    if (box == nullptr) {
        ::EnumThreadWindows(watch->owner_thread, close_dialog, 0);
        return 0;
    }
    ::Sleep(300);
    watch->found = true;
    ::GetWindowRect(box, &watch->box);
    watch->has_ok = ::GetDlgItem(box, IDOK) != nullptr;
    watch->has_yes = ::GetDlgItem(box, IDYES) != nullptr;
    watch->has_no = ::GetDlgItem(box, IDNO) != nullptr;
    // Wine gives the icon static id 1088, Windows 20.
    HWND icon = ::GetDlgItem(box, 1088) ? ::GetDlgItem(box, 1088) : ::GetDlgItem(box, 20);
    watch->has_icon = icon && ::SendMessageA(icon, STM_GETICON, 0, 0) ==
                                  reinterpret_cast<LRESULT>(::LoadIconA(nullptr, IDI_EXCLAMATION));
    for (int tries = 0; watch->wait_for && *watch->wait_for == 0 && tries < 1000; tries++) {
        ::Sleep(10);
    }
    ::PostMessageA(box, WM_COMMAND, watch->button, 0);
    return 0;
}

// Show a real box over owner (a window handle or null) and watch it; the box's result.
int32_t show_watched_box(HWND owner, uint32_t style, BoxWatch* watch) {
    WindowRecord record = {};
    record.hwnd = owner;
    watch->owner_thread = ::GetCurrentThreadId();
    HANDLE watcher = ::CreateThread(nullptr, 0, watch_box, watch, 0, nullptr);
    int32_t pressed = message_box(owner ? &record : nullptr, "A box.", watch->caption, style);
    ::WaitForSingleObject(watcher, 10000);
    ::CloseHandle(watcher);
    return pressed;
}

HWND make_window(int32_t x, int32_t y, int32_t width, int32_t height) {
    return ::CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_CAPTION | WS_VISIBLE, x, y, width,
                             height, nullptr, nullptr, nullptr, nullptr);
}

// The box is where the rule puts a box of its size over the reference window.
void expect_placed(HWND reference, const BoxWatch& watch, const char* what) {
    ASSERT_TRUE(watch.found) << what;
    RECT r;
    RECT work;
    ::GetWindowRect(reference ? reference : ::GetDesktopWindow(), &r);
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const RECT& box = watch.box;
    POINT at = centring_position(r, box.right - box.left, box.bottom - box.top, work);
    EXPECT_EQ(box.left, at.x) << what;
    EXPECT_EQ(box.top, at.y) << what;
    EXPECT_TRUE(box.left >= 0 && box.top >= 0 && box.right <= work.right &&
                box.bottom <= work.bottom)
        << what;
}

BoxWatch inner_watch;
HWND inner_owner;
volatile LONG inner_done;

// A thread timer that fires inside the outer box's modal loop and opens a second box.
void CALLBACK open_inner_box(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    inner_owner = make_window(40, 60, 300, 200);
    inner_watch = {"Inner box", IDOK, nullptr, {}, false, false, false, false, false, 0};
    show_watched_box(inner_owner, 0, &inner_watch);
    inner_done = 1;
}

int32_t answer_no(HWND, const char*, const char*, uint32_t style) {
    return style == 0x30 ? IDNO : -1;
}

} // namespace

TEST(CentringRule, ManyRectangles) {
    const RECT work = {0, 0, 1024, 740};
    for (int left = -400; left <= 1200; left += 37) {
        for (int top = -300; top <= 900; top += 41) {
            for (int width : {0, 1, 99, 200, 1500}) {
                for (int cx : {1, 50, 101, 300}) {
                    const int height = width / 2 + 3;
                    const int cy = cx / 3 + 7;
                    POINT at =
                        centring_position({left, top, left + width, top + height}, cx, cy, work);
                    // On the work area; centred to the half pixel unless against an edge.
                    ASSERT_TRUE(at.x >= 0 && at.y >= 0 && at.x + cx <= work.right &&
                                at.y + cy <= work.bottom)
                        << left << "," << top << " " << width << " " << cx;
                    if (at.x != 0 && at.x + cx != work.right) {
                        ASSERT_LE(std::abs(at.x * 2 + cx - (left * 2 + width)), 1) << left;
                    }
                    if (at.y != 0 && at.y + cy != work.bottom) {
                        ASSERT_LE(std::abs(at.y * 2 + cy - (top * 2 + height)), 1) << top;
                    }
                }
            }
        }
    }
    // Halves truncate toward zero; the pushes use 0, not the work area's own origin.
    EXPECT_EQ(centring_position({10, 10, 13, 13}, 2, 2, work).x, 10);
    EXPECT_EQ(centring_position({100, 100, 100, 100}, 3, 3, work).y, 99);
    EXPECT_EQ(centring_position({101, 0, 100, 0}, 2, 2, RECT{50, 50, 1024, 740}).x, 100);
    EXPECT_EQ(centring_position({-90, -90, -10, -10}, 20, 20, RECT{50, 50, 1024, 740}).y, 0);
}

TEST(MessageBoxes, PlacedByTheRule) {
    RECT work;
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    struct Case {
        const char* what;
        bool owned;
        RECT owner; // x, y, width, height
    } cases[] = {
        {"over its owner", true, {200, 150, 500, 400}},
        {"on the desktop", false, {}},
        {"pushed back from right and bottom", true, {work.right - 60, work.bottom - 40, 120, 80}},
        {"starting at 0 at left and top", true, {-400, -300, 120, 80}},
    };
    for (const Case& c : cases) {
        HWND owner = c.owned ? make_window(c.owner.left, c.owner.top, c.owner.right, c.owner.bottom)
                             : nullptr;
        BoxWatch watch = {"Placed box", IDOK, nullptr, {}, false, false, false, false, false, 0};
        EXPECT_EQ(show_watched_box(owner, 0, &watch), IDOK) << c.what;
        expect_placed(owner, watch, c.what);
        EXPECT_TRUE(watch.has_ok && !watch.has_yes && watch.has_icon)
            << "style 0: one OK button and the exclamation icon";
        if (owner) {
            ::DestroyWindow(owner);
        }
    }
}

TEST(MessageBoxes, YesNoReturnsTheButtonPressed) {
    for (WPARAM button : {IDYES, IDNO}) {
        BoxWatch watch = {"Question box", button, nullptr, {},    false,
                          false,          false,  false,   false, 0};
        EXPECT_EQ(show_watched_box(nullptr, MB_YESNO, &watch), static_cast<int32_t>(button));
        EXPECT_TRUE(watch.has_yes && watch.has_no && !watch.has_ok);
    }
}

TEST(MessageBoxes, BoxOpenedWhileAnotherIsUp) {
    HWND owner = make_window(500, 300, 400, 300);
    inner_done = 0;
    BoxWatch outer = {"Outer box", IDOK, &inner_done, {}, false, false, false, false, false, 0};
    ASSERT_NE(::SetTimer(nullptr, 0, 50, open_inner_box), 0u);
    EXPECT_EQ(show_watched_box(owner, 0, &outer), IDOK);
    ASSERT_EQ(inner_done, 1);
    expect_placed(owner, outer, "outer");
    expect_placed(inner_owner, inner_watch, "inner");
    ::DestroyWindow(inner_owner);
    ::DestroyWindow(owner);

    // Both hooks are gone: a later pop-up stays where it was made.
    HWND later = make_window(7, 9, 100, 60);
    RECT r;
    ::GetWindowRect(later, &r);
    EXPECT_EQ(r.left, 7);
    EXPECT_EQ(r.top, 9);
    ::DestroyWindow(later);
}

TEST(MessageBoxes, ResponderAnswersInstead) {
    message_box_set_responder(answer_no);
    EXPECT_EQ(message_box(nullptr, "Leve 1 complete!", "Alert", 0), IDNO);
    message_box_set_responder(nullptr);
}
