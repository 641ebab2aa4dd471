// Tests of message_box: real boxes placed by the centring hook (read back from a watcher
// thread that then presses a button), the button result, the responder, and the
// centring rule itself over many rectangles.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "runtime/core/core.h"
#include "runtime/window/window.h"

namespace {

// What the watcher thread saw of the box and which button it pressed.
struct BoxWatch {
    const char* caption; // the box to look for
    WPARAM button;       // the button to press
    RECT box;            // the box's rectangle once it settled
    bool found;
    bool has_ok;
    bool has_yes;
    bool has_no;
    bool has_icon;
    volatile LONG* wait_for; // when set, press the button only once this is non-zero
};

// Find the box, let it settle, read it, then press the button.
DWORD WINAPI watch_box(void* parameter) {
    auto* watch = static_cast<BoxWatch*>(parameter);
    HWND box = nullptr;
    for (int tries = 0; tries < 500 && box == nullptr; tries++) {
        box = ::FindWindowA("#32770", watch->caption);
        if (box == nullptr || !::IsWindowVisible(box)) {
            box = nullptr;
            ::Sleep(10);
        }
    }
    if (box == nullptr) {
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
    watch->has_icon =
        icon != nullptr && ::SendMessageA(icon, STM_GETICON, 0, 0) ==
                               reinterpret_cast<LRESULT>(::LoadIconA(nullptr, IDI_EXCLAMATION));
    for (int tries = 0; watch->wait_for != nullptr && *watch->wait_for == 0 && tries < 1000;
         tries++) {
        ::Sleep(10);
    }
    ::PostMessageA(box, WM_COMMAND, watch->button, 0);
    return 0;
}

// Show a real box and watch it from a second thread; the box's result.
int32_t show_watched_box(WindowRecord* owner, uint32_t style, BoxWatch* watch) {
    HANDLE watcher = ::CreateThread(nullptr, 0, watch_box, watch, 0, nullptr);
    int32_t pressed = message_box(owner, "A box for the tests.", watch->caption, style);
    ::WaitForSingleObject(watcher, 10000);
    ::CloseHandle(watcher);
    return pressed;
}

HWND make_owner(int32_t x, int32_t y, int32_t width, int32_t height) {
    return ::CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_CAPTION | WS_VISIBLE, x, y, width,
                             height, nullptr, nullptr, nullptr, nullptr);
}

RECT work_area() {
    RECT work;
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

POINT expected_position(HWND reference, const RECT& box) {
    RECT r;
    ::GetWindowRect(reference ? reference : ::GetDesktopWindow(), &r);
    return centring_position(r, box.right - box.left, box.bottom - box.top, work_area());
}

struct Answer {
    HWND owner;
    std::string text;
    std::string caption;
    uint32_t style;
    int calls;
};
Answer answer;

int32_t answer_no(HWND owner, const char* text, const char* caption, uint32_t style) {
    answer = {owner, text, caption, style, answer.calls + 1};
    return IDNO;
}

} // namespace

TEST(CentringRule, ManyRectangles) {
    const RECT work = {0, 0, 1024, 740};
    int centred = 0;
    int pushed = 0;
    for (int left = -400; left <= 1200; left += 37) {
        for (int top = -300; top <= 900; top += 41) {
            for (int width : {0, 1, 99, 200, 1500}) {
                for (int cx : {1, 50, 101, 300}) {
                    const int height = width / 2 + 3;
                    const int cy = cx / 3 + 7;
                    RECT r = {left, top, left + width, top + height};
                    POINT at = centring_position(r, cx, cy, work);
                    // Always on the work area.
                    ASSERT_GE(at.x, 0) << left << "," << top << " " << width << " " << cx;
                    ASSERT_GE(at.y, 0) << left << "," << top << " " << height << " " << cy;
                    ASSERT_LE(at.x + cx, work.right) << left << " " << width << " " << cx;
                    ASSERT_LE(at.y + cy, work.bottom) << top << " " << height << " " << cy;
                    // Centred to the half pixel when it fits there, else against an edge.
                    int off_x = (at.x * 2 + cx) - (left * 2 + width);
                    int off_y = (at.y * 2 + cy) - (top * 2 + height);
                    if (at.x != 0 && at.x + cx != work.right) {
                        ASSERT_LE(std::abs(off_x), 1) << left << " " << width << " " << cx;
                    }
                    if (at.y != 0 && at.y + cy != work.bottom) {
                        ASSERT_LE(std::abs(off_y), 1) << top << " " << height << " " << cy;
                    }
                    (std::abs(off_x) <= 1 && std::abs(off_y) <= 1 ? centred : pushed)++;
                }
            }
        }
    }
    EXPECT_GT(centred, 1000);
    EXPECT_GT(pushed, 1000);
    // Halves truncate toward zero; the pushes use 0, not the work area's own origin.
    EXPECT_EQ(centring_position({10, 10, 13, 13}, 2, 2, work).x, 10);
    EXPECT_EQ(centring_position({100, 100, 100, 100}, 3, 3, work).y, 99);
    EXPECT_EQ(centring_position({101, 0, 100, 0}, 2, 2, RECT{50, 50, 1024, 740}).x, 100);
    EXPECT_EQ(centring_position({-90, -90, -10, -10}, 20, 20, RECT{50, 50, 1024, 740}).y, 0);
}

TEST(MessageBoxes, PlacedOverItsOwner) {
    HWND owner = make_owner(200, 150, 500, 400);
    ASSERT_NE(owner, nullptr);
    WindowRecord record = {};
    record.hwnd = owner;
    BoxWatch watch = {"Centred box", IDOK, {}, false, false, false, false, false, nullptr};
    EXPECT_EQ(show_watched_box(&record, 0, &watch), IDOK);
    ASSERT_TRUE(watch.found);
    POINT at = expected_position(owner, watch.box);
    EXPECT_EQ(watch.box.left, at.x);
    EXPECT_EQ(watch.box.top, at.y);
    EXPECT_TRUE(watch.has_ok);
    EXPECT_FALSE(watch.has_yes);
    EXPECT_TRUE(watch.has_icon) << "style 0 shows the exclamation icon";
    ::DestroyWindow(owner);
}

TEST(MessageBoxes, WithoutOwnerCentredOnDesktop) {
    BoxWatch watch = {"Desktop box", IDOK, {}, false, false, false, false, false, nullptr};
    EXPECT_EQ(show_watched_box(nullptr, 0, &watch), IDOK);
    ASSERT_TRUE(watch.found);
    POINT at = expected_position(nullptr, watch.box);
    EXPECT_EQ(watch.box.left, at.x);
    EXPECT_EQ(watch.box.top, at.y);
}

TEST(MessageBoxes, KeptOnTheWorkArea) {
    RECT work = work_area();
    struct Case {
        const char* name;
        int x, y;
        bool pushed_left_up; // pushed back from the right and bottom, else starts at 0
    } cases[] = {
        {"right and bottom", static_cast<int>(work.right) - 60, static_cast<int>(work.bottom) - 40,
         true},
        {"left and top", -400, -300, false},
    };
    for (const Case& c : cases) {
        HWND owner = make_owner(c.x, c.y, 120, 80);
        WindowRecord record = {};
        record.hwnd = owner;
        BoxWatch watch = {"Edge box", IDOK, {}, false, false, false, false, false, nullptr};
        show_watched_box(&record, 0, &watch);
        ASSERT_TRUE(watch.found) << c.name;
        if (c.pushed_left_up) {
            EXPECT_EQ(watch.box.right, work.right) << c.name;
            EXPECT_EQ(watch.box.bottom, work.bottom) << c.name;
        } else {
            EXPECT_EQ(watch.box.left, 0) << c.name;
            EXPECT_EQ(watch.box.top, 0) << c.name;
        }
        ::DestroyWindow(owner);
    }
}

TEST(MessageBoxes, YesNoReturnsTheButtonPressed) {
    for (WPARAM button : {IDYES, IDNO}) {
        BoxWatch watch = {"Question box", button, {}, false, false, false, false, false, nullptr};
        EXPECT_EQ(show_watched_box(nullptr, MB_YESNO, &watch), static_cast<int32_t>(button));
        EXPECT_TRUE(watch.has_yes);
        EXPECT_TRUE(watch.has_no);
        EXPECT_FALSE(watch.has_ok);
    }
}

namespace {

BoxWatch inner_watch;
HWND inner_owner;
volatile LONG inner_done;

// A thread timer that fires inside the outer box's modal loop and opens a second box.
void CALLBACK open_inner_box(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    inner_owner = make_owner(40, 60, 300, 200);
    WindowRecord record = {};
    record.hwnd = inner_owner;
    inner_watch = {"Inner box", IDOK, {}, false, false, false, false, false, nullptr};
    show_watched_box(&record, 0, &inner_watch);
    inner_done = 1;
}

} // namespace

TEST(MessageBoxes, BoxOpenedWhileAnotherIsUp) {
    HWND owner = make_owner(500, 300, 400, 300);
    WindowRecord record = {};
    record.hwnd = owner;
    inner_done = 0;
    BoxWatch outer = {"Outer box", IDOK, {}, false, false, false, false, false, &inner_done};
    UINT_PTR timer = ::SetTimer(nullptr, 0, 50, open_inner_box);
    ASSERT_NE(timer, 0u);
    EXPECT_EQ(show_watched_box(&record, 0, &outer), IDOK);
    ASSERT_EQ(inner_done, 1);
    ASSERT_TRUE(outer.found);
    ASSERT_TRUE(inner_watch.found);
    POINT at = expected_position(owner, outer.box);
    EXPECT_EQ(outer.box.left, at.x);
    EXPECT_EQ(outer.box.top, at.y);
    at = expected_position(inner_owner, inner_watch.box);
    EXPECT_EQ(inner_watch.box.left, at.x);
    EXPECT_EQ(inner_watch.box.top, at.y);
    ::DestroyWindow(inner_owner);
    ::DestroyWindow(owner);
}

TEST(MessageBoxes, HookGoneAfterTheBox) {
    BoxWatch watch = {"Short box", IDOK, {}, false, false, false, false, false, nullptr};
    show_watched_box(nullptr, 0, &watch);
    HWND later = make_owner(7, 9, 100, 60);
    RECT r;
    ::GetWindowRect(later, &r);
    EXPECT_EQ(r.left, 7);
    EXPECT_EQ(r.top, 9);
    ::DestroyWindow(later);
}

TEST(MessageBoxes, ResponderAnswersInstead) {
    HWND owner = make_owner(0, 0, 50, 50);
    WindowRecord record = {};
    record.hwnd = owner;
    answer = {};
    message_box_set_responder(answer_no);
    EXPECT_EQ(message_box(&record, "Leve 1 complete!", "Alert", 0), IDNO);
    EXPECT_EQ(answer.owner, owner);
    EXPECT_EQ(answer.text, "Leve 1 complete!");
    EXPECT_EQ(answer.caption, "Alert");
    EXPECT_EQ(answer.style, 0x30u);
    EXPECT_EQ(message_box(nullptr, "q", "c", MB_YESNO), IDNO);
    message_box_set_responder(nullptr);
    EXPECT_EQ(answer.calls, 2);
    EXPECT_EQ(answer.owner, nullptr);
    EXPECT_EQ(answer.style, static_cast<uint32_t>(MB_YESNO));
    ::DestroyWindow(owner);
}
