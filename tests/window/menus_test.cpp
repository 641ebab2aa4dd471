// Menus, shortcuts and window geometry: menu bars, inserted items, accelerators, captions,
// client size, moving, centring and scroll bars.
#include <tuple>

#include "tests/window/window_test_support.h"

namespace {

using Geometry = WindowTest;

RECT work_area() {
    RECT work = {};
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

RECT window_rect(HWND hwnd) {
    RECT r = {};
    ::GetWindowRect(hwnd, &r);
    return r;
}

TEST_F(Geometry, AttachMenuTwiceDestroysFirstBar) {
    WindowRecord& r = open(0, 0, 300, 200, 0);
    HMENU first = create_menu(0);
    HMENU sub = create_menu(0);
    append_menu_item(sub, "New", 0, 1);
    append_menu_item(sub, nullptr, MF_SEPARATOR, 0);
    append_menu_item(first, "Game", MF_POPUP, reinterpret_cast<UINT_PTR>(sub));
    attach_menu(&r, first);
    EXPECT_EQ(::GetMenu(r.hwnd), first);
    EXPECT_EQ(::GetMenuItemCount(sub), 2);

    HMENU second = create_menu(0);
    append_menu_item(second, "Help", 0, 2);
    attach_menu(&r, second);
    EXPECT_EQ(::GetMenu(r.hwnd), second);
    EXPECT_FALSE(::IsMenu(first));
    EXPECT_FALSE(::IsMenu(sub)); // submenus go with their bar

    attach_menu(&r, second); // the same bar again stays
    EXPECT_TRUE(::IsMenu(second));
    EXPECT_EQ(::GetMenu(r.hwnd), second);

    HMENU popup = create_menu(1);
    EXPECT_TRUE(::IsMenu(popup));
    ::DestroyMenu(popup);
    EXPECT_EQ(append_menu_item(nullptr, "x", 0, 1), 0); // no menu: nothing happens
}

TEST_F(Geometry, SetWindowRectRestoresAndMoves) {
    WindowRecord& r = open(0, 0, 200, 100, WS_MAXIMIZE | WS_MAXIMIZEBOX);
    ASSERT_TRUE(::IsZoomed(r.hwnd));
    set_window_rect(&r, 10, 20, 220, 120, 0);
    EXPECT_FALSE(::IsZoomed(r.hwnd));
    RECT w = window_rect(r.hwnd);
    EXPECT_EQ(w.left, 10);
    EXPECT_EQ(w.top, 20);
    EXPECT_EQ(w.right, 230);
    EXPECT_EQ(w.bottom, 140);

    HWND button = ::CreateWindowExA(0, "BUTTON", "b", WS_CHILD | WS_VISIBLE, 0, 0, 20, 20, r.hwnd,
                                    reinterpret_cast<HMENU>(31), nullptr, nullptr);
    set_window_rect(&r, 4, 5, 60, 30, 31);
    RECT b = window_rect(button);
    POINT origin = {0, 0};
    ::ClientToScreen(r.hwnd, &origin);
    EXPECT_EQ(b.left - origin.x, 4);
    EXPECT_EQ(b.top - origin.y, 5);
    EXPECT_EQ(b.right - b.left, 60);
    EXPECT_EQ(b.bottom - b.top, 30);
    set_window_rect(&r, 0, 0, 10, 10, 99); // no such control: nothing moves
    EXPECT_EQ(window_rect(r.hwnd).left, 10);
}

TEST_F(Geometry, CenterWindowOnWorkAreaAndClamped) {
    RECT work = work_area();
    struct Case {
        const char* what;
        int32_t w, h;
    } cases[] = {{"fits", 320, 200}, {"odd size", 301, 199}, {"too large", 1300, 1000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WindowRecord& r = open(0, 0, c.w, c.h, 0);
        RECT before = window_rect(r.hwnd);
        LONG w = before.right - before.left;
        LONG h = before.bottom - before.top;
        center_window(&r);
        RECT after = window_rect(r.hwnd);
        LONG x = (work.left + work.right) / 2 - w / 2;
        LONG y = (work.top + work.bottom) / 2 - h / 2;
        if (x < work.left) {
            x = work.left;
        }
        if (y < work.top) {
            y = work.top;
        }
        EXPECT_EQ(after.left, x);
        EXPECT_EQ(after.top, y);
        EXPECT_EQ(after.right - after.left, w); // size unchanged
        if (w > work.right - work.left) {
            EXPECT_EQ(after.left, work.left);
            EXPECT_EQ(after.top, work.top);
        }
        close_window(&r);
    }
}

TEST_F(Geometry, CenterChildOnParentClient) {
    WindowRecord& parent = open(50, 50, 400, 300, 0);
    WindowRecord& child = open(0, 0, 100, 60, WF_NO_CAPTION, &parent);
    center_window(&child);
    RECT client;
    ::GetClientRect(parent.hwnd, &client);
    RECT c = window_rect(child.hwnd);
    ::MapWindowPoints(nullptr, parent.hwnd, reinterpret_cast<POINT*>(&c), 2);
    EXPECT_EQ(c.left, client.right / 2 - 50);
    EXPECT_EQ(c.top, client.bottom / 2 - 30);
}

TEST_F(Geometry, CenterOverVisibleOwnerOnly) {
    WindowRecord& r = open(0, 0, 100, 80, 0);
    HWND owner = ::CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 600, 400, 200, 100,
                                   nullptr, nullptr, nullptr, nullptr);
    ::SetWindowLongPtrA(r.hwnd, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
    ASSERT_EQ(::GetWindow(r.hwnd, GW_OWNER), owner);
    center_window(&r);
    RECT c = window_rect(r.hwnd);
    EXPECT_EQ(c.left, 700 - 50);
    EXPECT_EQ(c.top, 450 - 40);

    ::ShowWindow(owner, SW_HIDE); // a hidden owner is ignored: centred on the work area
    center_window(&r);
    RECT work = work_area();
    c = window_rect(r.hwnd);
    EXPECT_EQ(c.left, (work.left + work.right) / 2 - 50);
    ::SetWindowLongPtrA(r.hwnd, GWLP_HWNDPARENT, 0);
    ::DestroyWindow(owner);
}

TEST_F(Geometry, InsertedItemsCaptionsAndScrollBars) {
    WindowRecord& r = open(0, 0, 300, 200, WS_VSCROLL);
    HMENU bar = create_menu(0);
    append_menu_item(bar, "&Window", 0, 3);
    insert_menu_item(bar, 0, "&File", 0, 1);
    insert_menu_item(bar, 1, "&Edit", 0, 2);
    insert_menu_item(bar, 99, "&Help", 0, 4); // past the end: appended
    attach_menu(&r, bar);
    EXPECT_EQ(window_menu(&r), bar);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(::GetMenuItemID(bar, i), static_cast<UINT>(i + 1)) << i;
    }

    set_window_caption(&r, "New caption");
    char caption[32] = {};
    ::GetWindowTextA(r.hwnd, caption, sizeof(caption));
    EXPECT_STREQ(caption, "New caption");

    set_scroll_bar(&r, SB_VERT, 40, 200, 50);
    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    ASSERT_TRUE(::GetScrollInfo(r.hwnd, SB_VERT, &info));
    EXPECT_EQ(std::make_tuple(info.nMin, info.nMax, info.nPage, info.nPos),
              std::make_tuple(0, 200, 50u, 40));
    EXPECT_EQ(get_scroll_position(&r, SB_VERT, 0), 40);
    set_scroll_bar(&r, SB_VERT, 500, 200, 50); // kept inside the range the page leaves
    EXPECT_EQ(get_scroll_position(&r, SB_VERT, 0), 151);
}

TEST_F(Geometry, AcceleratorsRaiseMenuPicksAndGoWithTheWindow) {
    WindowRecord& r = open(0, 0, 300, 200, 0);
    EXPECT_EQ(add_accelerator(&r, VK_F3, 0, 301), 1);
    EXPECT_EQ(add_accelerator(&r, 'O', ACCEL_CONTROL, 302), 1);
    HACCEL table = static_cast<HACCEL>(::GetPropA(r.hwnd, ACCEL_TABLE_PROPERTY));
    ASSERT_NE(table, nullptr);
    ACCEL entries[4] = {};
    ASSERT_EQ(::CopyAcceleratorTableA(table, entries, 4), 2);
    EXPECT_EQ(entries[1].key, 'O');
    EXPECT_EQ(entries[1].fVirt, FVIRTKEY | FCONTROL);
    ::SetFocus(r.hwnd);
    ::PostMessageA(r.hwnd, WM_KEYDOWN, VK_F3, 1);
    pump_for(50);
    bool picked = false;
    for (const SeenEvent& e : seen_events) {
        picked = picked || (e.event_class == EV_MENU_PICK && event_state.menu_id == 301);
    }
    EXPECT_TRUE(picked);
    close_window(&r);
    EXPECT_EQ(::CopyAcceleratorTableA(table, nullptr, 0), 0); // destroyed with the window
    EXPECT_EQ(add_accelerator(&r, VK_F3, 0, 301), 0);         // closed record
}

} // namespace
