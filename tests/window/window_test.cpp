// Window creation: classes, styles and extended styles per flag, backing bitmaps and their
// fill, the MDI frame, creation messages, maximizing, and closing.
#include "tests/window/window_test_support.h"

#include "tests/support/census.h"

namespace {

std::string class_of(HWND hwnd) {
    char name[64] = {};
    ::GetClassNameA(hwnd, name, sizeof(name));
    return name;
}

struct StyleCase {
    const char* what;
    uint32_t flags;
    const char* class_name;
    DWORD style_on;  // bits that must be set
    DWORD style_off; // bits that must be clear
    DWORD ex_on;
    DWORD ex_off;
    uint32_t surface_flags;
};

const StyleCase style_cases[] = {
    {"game window", WS_MINIMIZEBOX, "KalvorineWndClass",
     WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
     WS_CHILD | WS_THICKFRAME | 0x7F0, 0, WS_EX_TOOLWINDOW | WS_EX_TOPMOST, SURFACE_BACKING},
    {"no caption", WF_NO_CAPTION, "KalvorineWndClass", WS_POPUP | WS_VISIBLE,
     WS_CAPTION | WS_SYSMENU, 0, 0, SURFACE_BACKING},
    {"tool window", WF_TOOL_WINDOW, "KalvorineWndClass", WS_CAPTION, 0, WS_EX_TOOLWINDOW,
     WS_EX_TOPMOST, SURFACE_BACKING},
    {"topmost", WF_TOPMOST, "KalvorineWndClass", WS_CAPTION, 0, WS_EX_TOPMOST, WS_EX_TOOLWINDOW,
     SURFACE_BACKING},
    {"no backing", WF_NO_BACKING, "KalvorineWndClass", WS_CAPTION, 0, 0, 0, 0},
    {"fit client without backing", WF_NO_BACKING | WF_BACKING_FIT_CLIENT, "KalvorineWndClass",
     WS_CAPTION, 0, 0, 0, SURFACE_FIT_CLIENT},
    {"thick frame passes", WS_THICKFRAME | WF_BACKING_FIT_CLIENT, "KalvorineWndClass",
     WS_THICKFRAME, 0, 0, 0, SURFACE_BACKING | SURFACE_FIT_CLIENT},
    {"MDI frame", WF_MDI_FRAME, "KalvorineFrameClass", WS_POPUP | WS_CAPTION, 0, 0, 0,
     SURFACE_BACKING},
};

using WindowCreation = WindowTest;

TEST_F(WindowCreation, ClassesAndStylesFollowTheFlags) {
    for (const StyleCase& c : style_cases) {
        SCOPED_TRACE(c.what);
        WindowRecord& r = open(10, 10, 200, 150, c.flags);
        ASSERT_NE(r.hwnd, nullptr);
        EXPECT_EQ(class_of(r.hwnd), c.class_name);
        DWORD style = ::GetWindowLongA(r.hwnd, GWL_STYLE);
        DWORD ex = ::GetWindowLongA(r.hwnd, GWL_EXSTYLE);
        EXPECT_EQ(style & c.style_on, c.style_on) << std::hex << style;
        EXPECT_EQ(style & c.style_off, 0u) << std::hex << style;
        EXPECT_EQ(ex & c.ex_on, c.ex_on) << std::hex << ex;
        EXPECT_EQ(ex & c.ex_off, 0u) << std::hex << ex;
        EXPECT_EQ(r.surface_flags, c.surface_flags);
        EXPECT_EQ(reinterpret_cast<WindowRecord*>(::GetWindowLongPtrA(r.hwnd, 0)), &r);
        EXPECT_EQ(window_record(r.hwnd), &r);
        close_window(&r);
    }
}

TEST_F(WindowCreation, BackingBitmapSizeAndFill) {
    const COLORREF window_color = ::GetSysColor(COLOR_WINDOW) & 0xFFFFFF;
    struct Case {
        const char* what;
        uint32_t flags;
        bool client_size; // else expect_w x expect_h
        int32_t expect_w, expect_h;
        int32_t filled_w, filled_h; // -1: the whole bitmap
    } cases[] = {
        {"screen size", 0, false, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN),
         -1, -1},
        {"requested + 1", WF_BACKING_WINDOW_SIZE, false, 101, 51, 100, 50},
        {"client size", WF_BACKING_FIT_CLIENT, true, 0, 0, -1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WindowRecord& r = open(0, 0, 100, 50, c.flags);
        int32_t w = 0, h = 0;
        bitmap_size(r.backing_bitmap, &w, &h);
        if (c.client_size) {
            RECT client;
            ::GetClientRect(r.hwnd, &client);
            EXPECT_EQ(w, client.right);
            EXPECT_EQ(h, client.bottom);
        } else {
            EXPECT_EQ(w, c.expect_w);
            EXPECT_EQ(h, c.expect_h);
        }
        ASSERT_GT(w, 0);
        ASSERT_GT(h, 0);
        Picture px = read_bitmap(r.backing_bitmap);
        int32_t fw = c.filled_w < 0 ? w : c.filled_w;
        int32_t fh = c.filled_h < 0 ? h : c.filled_h;
        EXPECT_EQ(px.at(0, 0), window_color);
        EXPECT_EQ(px.at(fw - 1, fh - 1), window_color);
        if (fw < w) {
            // A fresh compatible bitmap is black: the fill stops at the requested size.
            EXPECT_EQ(px.at(fw, 0), RGB(0, 0, 0));
            EXPECT_EQ(px.at(0, fh), RGB(0, 0, 0));
        }
        close_window(&r);
    }
}

TEST_F(WindowCreation, NoBackingHasNoBitmap) {
    WindowRecord& r = open(0, 0, 100, 50, WF_NO_BACKING);
    EXPECT_EQ(r.backing_bitmap, nullptr);
    EXPECT_NE(r.pen, nullptr);
}

TEST_F(WindowCreation, CreationMessagesReachTheHandler) {
    WindowRecord& r = open(0, 0, 100, 50, 0);
    ASSERT_TRUE(saw_event(WM_CREATE));
    for (const SeenEvent& s : seen_events) {
        if (s.event_class == WM_NCCREATE || s.event_class == WM_CREATE) {
            EXPECT_EQ(s.window, &r);
            EXPECT_EQ(s.hwnd, r.hwnd); // the record knows its window already
        }
    }
    std::vector<int32_t> order = seen_classes({WM_NCCREATE, WM_CREATE});
    EXPECT_EQ(order, (std::vector<int32_t>{WM_NCCREATE, WM_CREATE}));
    EXPECT_EQ(creating_record, nullptr);
}

TEST_F(WindowCreation, ChildrenOfOpenAndClosedParents) {
    WindowRecord& parent = open(0, 0, 300, 200, 0);
    WindowRecord& child = open(5, 5, 50, 50, WF_NO_CAPTION, &parent);
    DWORD style = ::GetWindowLongA(child.hwnd, GWL_STYLE);
    EXPECT_EQ(style & (WS_CHILD | WS_CLIPSIBLINGS), static_cast<DWORD>(WS_CHILD | WS_CLIPSIBLINGS));
    EXPECT_EQ(::GetParent(child.hwnd), parent.hwnd);

    WindowRecord closed_parent = {};
    WindowRecord& orphan = open(5, 5, 50, 50, 0, &closed_parent);
    style = ::GetWindowLongA(orphan.hwnd, GWL_STYLE);
    EXPECT_EQ(style & WS_CHILD, 0u);
    EXPECT_EQ(style & WS_POPUP, static_cast<DWORD>(WS_POPUP));
}

TEST_F(WindowCreation, MdiFrameHasWindowMenuClientAndChildren) {
    WindowRecord& frame = open(0, 0, 400, 300, WF_MDI_FRAME | WS_THICKFRAME);
    ASSERT_NE(frame.mdi_client, nullptr);
    EXPECT_EQ(::GetParent(frame.mdi_client), frame.hwnd);
    EXPECT_EQ(::GetDlgCtrlID(frame.mdi_client), 3244);
    EXPECT_EQ(::GetClassWord(frame.mdi_client, GCW_ATOM), mdi_client_atom);
    EXPECT_NE(mdi_client_atom, NO_MDI_CLIENT_ATOM);

    HMENU bar = ::GetMenu(frame.hwnd);
    ASSERT_EQ(::GetMenuItemCount(bar), 1);
    char text[32] = {};
    ::GetMenuStringA(bar, 0, text, sizeof(text), MF_BYPOSITION);
    EXPECT_STREQ(text, "&Window");
    HMENU popup = ::GetSubMenu(bar, 0);
    ASSERT_EQ(::GetMenuItemCount(popup), 3);
    const UINT ids[] = {32773, 32774, 32775};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(::GetMenuItemID(popup, i), ids[i]);
    }

    WindowRecord& child = open(0, 0, 150, 100, 0, &frame);
    EXPECT_EQ(::GetParent(child.hwnd), frame.mdi_client);
    EXPECT_TRUE(::GetWindowLongA(child.hwnd, GWL_EXSTYLE) & WS_EX_MDICHILD);

    close_window(&child);
    EXPECT_EQ(child.hwnd, nullptr);
    EXPECT_EQ(::GetTopWindow(frame.mdi_client), nullptr);
}

TEST_F(WindowCreation, MaximizeFlagShowsMaximized) {
    WindowRecord& r = open(0, 0, 200, 100, WS_MAXIMIZE | WS_MAXIMIZEBOX);
    EXPECT_TRUE(::IsZoomed(r.hwnd));
}

TEST_F(WindowCreation, CloseReleasesAndSecondCloseDoesNothing) {
    WindowRecord& r = open(0, 0, 200, 100, 0);
    HWND hwnd = r.hwnd;
    HBITMAP bitmap = r.backing_bitmap;
    HPEN pen = r.pen;
    HFONT font = r.font;
    ACCEL key = {FVIRTKEY, 'A', 500};
    HACCEL table = ::CreateAcceleratorTableA(&key, 1);
    ::SetPropA(hwnd, "_ACCEL_TABLE", table);

    EXPECT_EQ(close_window(&r), 0);
    EXPECT_EQ(r.hwnd, nullptr);
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_EQ(seen_classes({WM_DESTROY, WM_NCDESTROY}),
              (std::vector<int32_t>{WM_DESTROY, WM_NCDESTROY}));
    EXPECT_EQ(::GetObjectType(bitmap), 0u);
    EXPECT_EQ(::GetObjectType(pen), 0u);
    EXPECT_EQ(::GetObjectType(font), 0u);
    EXPECT_EQ(::CopyAcceleratorTableA(table, nullptr, 0), 0);

    size_t seen = seen_events.size();
    EXPECT_EQ(close_window(&r), 0);
    EXPECT_EQ(seen_events.size(), seen);

    // A closed record takes no timers, menus or drawing.
    start_timer(&r, 10, 1, nullptr);
    HMENU menu = create_menu(0);
    attach_menu(&r, menu);
    EXPECT_TRUE(::IsMenu(menu));
    ::DestroyMenu(menu);
    EXPECT_EQ(begin_draw(&r), nullptr);
    draw_rect(&r, 0, 0, 10, 10, 0, 0);
    int32_t v[4] = {1, 1, 1, 1};
    get_client_size(&r, &v[0], &v[1], &v[2], &v[3]);
    EXPECT_EQ(v[2] | v[3], 0);
}

TEST_F(WindowCreation, CloseWhileDrawingReleasesTheOpenContext) {
    WindowRecord& r = open(0, 0, 200, 100, 0);
    HBITMAP bitmap = r.backing_bitmap;
    HPEN pen = r.pen;
    HDC dc = begin_draw(&r); // a handler closing its window halfway through drawing
    ASSERT_NE(dc, nullptr);

    close_window(&r);
    EXPECT_EQ(r.draw_dc, nullptr);
    EXPECT_EQ(r.draw_depth, 0);
    EXPECT_EQ(::GetObjectType(dc), 0u);     // the memory context is gone
    EXPECT_EQ(::GetObjectType(bitmap), 0u); // and could be deleted with what it held
    EXPECT_EQ(::GetObjectType(pen), 0u);
}

// ---- a handler that closes its own window while it is being destroyed ----

int32_t closing_message = 0;      // the destruction message whose handler closes again
bool objects_alive_after = false; // the record's objects right after that inner close_window

intptr_t close_while_destroying() {
    if (event_state.event_class == closing_message) {
        WindowRecord* w = event_state.event_window;
        close_window(w);
        objects_alive_after = ::GetObjectType(w->backing_bitmap) == OBJ_BITMAP &&
                              ::GetObjectType(w->pen) == OBJ_PEN &&
                              ::GetObjectType(w->font) == OBJ_FONT;
    }
    return 0;
}

TEST_F(WindowCreation, CloseFromDestructionMessagesRunsOnce) {
    for (int32_t message : {WM_DESTROY, WM_NCDESTROY}) {
        SCOPED_TRACE(message);
        WindowRecord& r = open(0, 0, 200, 100, 0);
        const HWND hwnd = r.hwnd;
        const HGDIOBJ objects[] = {r.backing_bitmap, r.pen, r.font};
        closing_message = message;
        objects_alive_after = false;
        react_to_event = close_while_destroying;
        seen_events.clear();
        close_window(&r);
        react_to_event = nullptr;
        // The inner call finds the record closing and does nothing: the window is destroyed
        // once and its objects are deleted once, by the outer call.
        EXPECT_TRUE(objects_alive_after);
        EXPECT_EQ(seen_classes({WM_DESTROY, WM_NCDESTROY}),
                  (std::vector<int32_t>{WM_DESTROY, WM_NCDESTROY}));
        EXPECT_EQ(r.hwnd, nullptr);
        EXPECT_FALSE(::IsWindow(hwnd));
        for (HGDIOBJ object : objects) {
            EXPECT_EQ(::GetObjectType(object), 0u);
        }
    }
}

// ---- windows the platform destroys without close_window ----

TEST_F(WindowCreation, ChildDestroyedWithItsParentLeavesNothingBehind) {
    const struct {
        const char* what;
        uint32_t parent_flags;
        uint32_t child_flags;
    } cases[] = {{"child with a backing bitmap", 0, WF_NO_CAPTION},
                 {"child without one", 0, WF_NO_BACKING},
                 {"MDI child", WF_MDI_FRAME, 0}};
    constexpr size_t CASES = std::size(cases);
    // Each case once before counting: classes registered, the MDI client's atom known.
    for (int round = 0; round < 2; ++round) {
        const Census before = census_take();
        WindowRecord parents[CASES] = {};
        WindowRecord children[CASES] = {};
        for (size_t i = 0; i < CASES; ++i) {
            SCOPED_TRACE(cases[i].what);
            WindowRecord& child = children[i];
            ASSERT_EQ(open_window(&parents[i], 0, 0, 300, 200, cases[i].parent_flags, nullptr, "",
                                  nullptr),
                      1);
            ASSERT_EQ(
                open_window(&child, 5, 5, 100, 80, cases[i].child_flags, &parents[i], "", nullptr),
                1);
            ASSERT_EQ(add_accelerator(&child, 'A', ACCEL_CONTROL, 500), 1);
            const HACCEL table = static_cast<HACCEL>(::GetPropA(child.hwnd, ACCEL_TABLE_PROPERTY));
            close_window(&parents[i]);
            EXPECT_EQ(child.hwnd, nullptr) << "the child's record is closed with its window";
            EXPECT_EQ(::CopyAcceleratorTableA(table, nullptr, 0), 0);
        }
        // Counted before the children's records are closed, which has nothing left to do.
        const Census after = census_take();
        for (WindowRecord& child : children) {
            close_window(&child);
        }
        if (round == 1) {
            EXPECT_EQ(census_changes(before, after), "");
        }
    }
}

// ---- a handler that draws while its window is being created ----

HGDIOBJ made_at_creation[2] = {}; // the record's pen and font after drawing in WM_CREATE

intptr_t draw_at_creation() {
    if (event_state.event_class == WM_CREATE) {
        WindowRecord* w = event_state.event_window;
        draw_rect(w, 0, 0, 5, 5, RGB(255, 0, 0), RGB(255, 0, 0));
        made_at_creation[0] = w->pen;
        made_at_creation[1] = w->font;
    }
    return 0;
}

TEST_F(WindowCreation, DrawingAtCreationLeavesNoPenOrFontBehind) {
    react_to_event = draw_at_creation;
    WindowRecord& r = open(0, 0, 200, 100, 0);
    react_to_event = nullptr;
    const HGDIOBJ kept[2] = {r.pen, r.font};
    for (int i = 0; i < 2; ++i) {
        ASSERT_NE(made_at_creation[i], nullptr) << i;
        // Either the record still owns it, or it was deleted when replaced.
        EXPECT_TRUE(made_at_creation[i] == kept[i] || ::GetObjectType(made_at_creation[i]) == 0)
            << i;
        EXPECT_NE(::GetObjectType(kept[i]), 0u) << i;
    }
}

TEST_F(WindowCreation, OpeningAnOpenRecordIsRefused) {
    WindowRecord& r = open(0, 0, 200, 100, 0);
    const WindowRecord before = r;
    EXPECT_EQ(open_window(&r, 50, 50, 100, 80, 0, nullptr, "Second", recording_handler), 0);
    EXPECT_EQ(r.hwnd, before.hwnd);
    EXPECT_EQ(r.backing_bitmap, before.backing_bitmap);
    EXPECT_EQ(r.pen, before.pen);
    EXPECT_EQ(r.font, before.font);
    EXPECT_EQ(r.handler, before.handler);
    EXPECT_EQ(window_record(r.hwnd), &r);
    char caption[16] = {};
    ::GetWindowTextA(r.hwnd, caption, sizeof caption);
    EXPECT_STREQ(caption, "Test");
    EXPECT_EQ(::GetObjectType(r.pen), static_cast<DWORD>(OBJ_PEN));
}

TEST_F(WindowCreation, ReopenedRecordDoesNotDeleteOthersObjects) {
    WindowRecord& r = open(0, 0, 200, 100, 0);
    close_window(&r);
    // The old handle values may now name objects of someone else.
    HBRUSH stranger = ::CreateSolidBrush(RGB(1, 2, 3));
    r.backing_bitmap = reinterpret_cast<HBITMAP>(stranger);
    ASSERT_EQ(open_window(&r, 0, 0, 200, 100, WF_NO_BACKING, nullptr, "again", recording_handler),
              1);
    EXPECT_EQ(r.backing_bitmap, nullptr);
    close_window(&r);
    EXPECT_EQ(::GetObjectType(stranger), static_cast<DWORD>(OBJ_BRUSH));
    ::DeleteObject(stranger);
}

} // namespace
