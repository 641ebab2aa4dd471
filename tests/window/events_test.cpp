// The window procedure, event dispatch and the event pump: close requests, handler
// results, mouse decoding, size events, nested events, routing of foreign children.
#include "tests/window/window_test_support.h"

namespace {

using Events = WindowTest;

// ---- reactions of the recording handler ----

intptr_t answer_user_message() {
    if (event_state.event_class == WM_USER + 5) {
        return 77;
    }
    if (event_state.event_class == WM_SETTEXT) {
        return 1; // handled: the default procedure must not change the caption
    }
    return 0;
}

EventState outer_after_nested = {};
intptr_t pick_menu_inside_handler() {
    if (event_state.event_class == WM_USER + 1) {
        ::SendMessageA(event_state.event_window->hwnd, WM_COMMAND, MAKEWPARAM(42, 0), 0);
        outer_after_nested = event_state;
    }
    return 0;
}

TEST_F(Events, CloseRequestIgnoredLeavesWindowOpen) {
    WindowRecord& r = open(0, 0, 200, 100, 0);
    ::PostMessageA(r.hwnd, WM_CLOSE, 0, 0);
    pump_for(50);
    ::SendMessageA(r.hwnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(seen_classes({WM_CLOSE, EV_CLOSE_REQUEST}),
              (std::vector<int32_t>{EV_CLOSE_REQUEST, EV_CLOSE_REQUEST}));
    EXPECT_TRUE(::IsWindow(r.hwnd));
    EXPECT_FALSE(saw_event(WM_DESTROY));
}

TEST_F(Events, NonZeroHandlerResultSkipsDefaultProcedure) {
    WindowRecord& r = open(0, 0, 200, 100, 0);
    react_to_event = answer_user_message;
    EXPECT_EQ(::SendMessageA(r.hwnd, WM_USER + 5, 0, 0), 77);
    ::SetWindowTextA(r.hwnd, "Changed");
    char text[32] = {};
    ::GetWindowTextA(r.hwnd, text, sizeof(text));
    EXPECT_STREQ(text, "Test");

    react_to_event = nullptr; // 0: the default procedure runs
    ::SetWindowTextA(r.hwnd, "Changed");
    ::GetWindowTextA(r.hwnd, text, sizeof(text));
    EXPECT_STREQ(text, "Changed");
}

TEST_F(Events, MouseEventsAreDecoded) {
    WindowRecord& other = open(300, 0, 100, 100, 0);
    WindowRecord& r = open(0, 0, 200, 100, 0);
    ::SetFocus(other.hwnd);
    struct Case {
        UINT message;
        WPARAM keys;
        uint16_t x, y;
    } cases[] = {
        {WM_MOUSEMOVE, 0, 1, 2},
        {WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, 300, 40000}, // y above 32767 stays positive
        {WM_LBUTTONUP, MK_CONTROL, 65535, 0},
        {WM_RBUTTONDBLCLK, MK_RBUTTON, 7, 8},
    };
    for (const Case& c : cases) {
        seen_events.clear();
        ::SendMessageA(r.hwnd, c.message, c.keys, MAKELPARAM(c.x, c.y));
        std::vector<SeenEvent> mouse;
        for (const SeenEvent& e : seen_events) {
            if (e.event_class == static_cast<int32_t>(c.message)) {
                mouse.push_back(e);
            }
        }
        ASSERT_EQ(mouse.size(), 1u);
        const SeenEvent& s = mouse[0];
        EXPECT_EQ(s.event_class, static_cast<int32_t>(c.message));
        EXPECT_EQ(s.mouse_x, c.x);
        EXPECT_EQ(s.mouse_y, c.y);
        EXPECT_EQ(s.lparam, static_cast<LPARAM>(c.keys));
        EXPECT_EQ(s.wparam, c.keys);
    }
    EXPECT_EQ(::GetFocus(), r.hwnd); // the left click took the focus
}

TEST_F(Events, SizeEventComesBeforeWmSize) {
    WindowRecord& r = open(0, 0, 200, 100, WS_THICKFRAME);
    seen_events.clear();
    ::SetWindowPos(r.hwnd, nullptr, 0, 0, 260, 150, SWP_NOMOVE | SWP_NOZORDER);
    std::vector<SeenEvent> sizes;
    for (const SeenEvent& s : seen_events) {
        if (s.event_class == EV_SIZE || s.event_class == WM_SIZE) {
            sizes.push_back(s);
        }
    }
    ASSERT_EQ(sizes.size(), 2u);
    EXPECT_EQ(sizes[0].event_class, EV_SIZE);
    EXPECT_EQ(sizes[0].lparam, reinterpret_cast<LPARAM>(r.hwnd));
    EXPECT_EQ(sizes[0].window, &r);
    EXPECT_EQ(sizes[1].event_class, WM_SIZE);
    RECT client;
    ::GetClientRect(r.hwnd, &client);
    EXPECT_EQ(sizes[1].lparam, MAKELPARAM(client.right, client.bottom));

    seen_events.clear();
    ::SendMessageA(r.hwnd, WM_EXITSIZEMOVE, 0, 0);
    EXPECT_EQ(seen_classes({EV_SIZE, WM_EXITSIZEMOVE}),
              (std::vector<int32_t>{EV_SIZE, WM_EXITSIZEMOVE}));
}

TEST_F(Events, NestedMenuPickRestoresOuterEventButMenuId) {
    WindowRecord& r = open(0, 0, 200, 100, 0);
    react_to_event = pick_menu_inside_handler;
    event_state.menu_id = 0;
    ::SendMessageA(r.hwnd, WM_USER + 1, 11, 22);
    EXPECT_EQ(outer_after_nested.event_class, WM_USER + 1);
    EXPECT_EQ(outer_after_nested.event_wparam, 11u);
    EXPECT_EQ(outer_after_nested.event_lparam, 22);
    EXPECT_EQ(outer_after_nested.event_window, &r);
    EXPECT_EQ(outer_after_nested.menu_id, 42);
    EXPECT_EQ(seen_classes({WM_USER + 1, EV_MENU_PICK}),
              (std::vector<int32_t>{WM_USER + 1, EV_MENU_PICK}));
    EXPECT_EQ(event_state.menu_id, 42); // kept after the outer handler too
}

TEST_F(Events, ControlCommandsAndNotifications) {
    WindowRecord& r = open(0, 0, 200, 100, 0);
    HWND button = ::CreateWindowExA(0, "BUTTON", "b", WS_CHILD | WS_VISIBLE, 0, 0, 20, 20, r.hwnd,
                                    reinterpret_cast<HMENU>(17), nullptr, nullptr);
    seen_events.clear();
    ::SendMessageA(r.hwnd, WM_COMMAND, MAKEWPARAM(17, BN_CLICKED),
                   reinterpret_cast<LPARAM>(button));
    ASSERT_FALSE(seen_events.empty());
    EXPECT_EQ(seen_events.back().event_class, EV_CONTROL);
    EXPECT_EQ(seen_events.back().control_id, 17);
    EXPECT_EQ(seen_events.back().notify_code, BN_CLICKED);

    NMHDR header = {button, 23, static_cast<UINT>(-16)};
    ::SendMessageA(r.hwnd, WM_NOTIFY, 23, reinterpret_cast<LPARAM>(&header));
    EXPECT_EQ(seen_events.back().event_class, EV_CONTROL);
    EXPECT_EQ(seen_events.back().control_id, 23);
    EXPECT_EQ(seen_events.back().notify_code, -16);
    EXPECT_EQ(event_state.control_id, 0); // restored after the handler
    ::DestroyWindow(button);
}

TEST_F(Events, ControlColoursAndOwnerDrawingWithoutAControlSkipTheHandler) {
    WindowRecord& r = open(0, 0, 200, 100, 0);
    HDC dc = ::GetDC(r.hwnd);
    const WPARAM context = reinterpret_cast<WPARAM>(dc);
    DRAWITEMSTRUCT menu_item = {};
    menu_item.CtlType = ODT_MENU; // owner-drawn menus come with control identifier 0
    const struct {
        UINT message;
        WPARAM wparam;
        LPARAM lparam;
        bool reaches_handler;
    } cases[] = {
        {WM_CTLCOLORMSGBOX, context, 0, false},
        {WM_CTLCOLOREDIT, context, 0, false},
        {WM_CTLCOLORLISTBOX, context, 0, false},
        {WM_CTLCOLORBTN, context, 0, false},
        {WM_CTLCOLORSCROLLBAR, context, 0, false},
        {WM_CTLCOLORSTATIC, context, 0, false},
        {WM_CTLCOLORDLG, context, 0, true}, // never reflected: an ordinary event
        {WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&menu_item), false},
    };
    for (const auto& c : cases) {
        seen_events.clear();
        ::SendMessageA(r.hwnd, c.message, c.wparam, c.lparam);
        EXPECT_EQ(saw_event(static_cast<int32_t>(c.message)), c.reaches_handler)
            << std::hex << c.message;
    }
    ::ReleaseDC(r.hwnd, dc);
}

// ---- controls that answer the window procedure's hooks themselves ----

const COLORREF OWN_TEXT = RGB(255, 0, 0), OWN_BACK = RGB(0, 0, 255);
HBRUSH own_brush = nullptr; // a control's answer to 0x19
bool control_drew = false;  // a control drew its own item

// A control's own answers: its colours under 0x19, its item under WM_DRAWITEM; else 0.
LRESULT own_answer(UINT message, WPARAM wparam) {
    if (message == REFLECTED_CTLCOLOR) {
        ::SetTextColor(reinterpret_cast<HDC>(wparam), OWN_TEXT);
        ::SetBkColor(reinterpret_cast<HDC>(wparam), OWN_BACK);
        return reinterpret_cast<LRESULT>(own_brush);
    }
    if (message == WM_DRAWITEM) {
        control_drew = true;
        return TRUE;
    }
    return 0;
}

// A program's subclass: answers both hooks when the control is marked "answers", and passes
// everything else on to the control's own procedure.
LRESULT CALLBACK program_procedure(HWND control, UINT message, WPARAM wparam, LPARAM lparam) {
    const LRESULT own = ::GetPropA(control, "answers") ? own_answer(message, wparam) : 0;
    return own != 0 ? own
                    : ::CallWindowProcA(reinterpret_cast<WNDPROC>(::GetPropA(control, "original")),
                                        control, message, wparam, lparam);
}

intptr_t control_window_handler() {
    return own_answer(static_cast<UINT>(event_state.event_class), event_state.event_wparam);
}

// A platform control on parent, subclassed by program_procedure when asked.
HWND child(const char* name, HWND parent, int32_t x, bool subclass, bool answers) {
    HWND control = ::CreateWindowExA(0, name, "", WS_CHILD | WS_VISIBLE, x, 10, 40, 30, parent,
                                     nullptr, nullptr, nullptr);
    if (subclass) {
        ::SetPropA(control, "answers", answers ? control : nullptr);
        ::SetPropA(control, "original",
                   reinterpret_cast<HANDLE>(::GetWindowLongPtrA(control, GWLP_WNDPROC)));
        ::SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(program_procedure));
    }
    return control;
}

// Untouched controls of the platform are told from subclassed ones, made by either call.
TEST_F(Events, UntouchedControlsAreThePlatformsWhicheverCallMadeThem) {
    WindowRecord& parent = open(0, 0, 300, 100, 0);
    for (const wchar_t* name : {L"BUTTON", L"EDIT", L"STATIC", L"LISTBOX", L"COMBOBOX"}) {
        HWND made[] = {::CreateWindowExW(0, name, L"", WS_CHILD, 0, 0, 9, 9, parent.hwnd, nullptr,
                                         nullptr, nullptr),
                       child(std::string(name, name + std::wcslen(name)).c_str(), parent.hwnd, 0,
                             false, false)};
        for (HWND control : made) {
            EXPECT_EQ(control_hooks(control), HOOKS_PLATFORM) << ::IsWindowUnicode(control);
            ::SetWindowLongPtrW(control, GWLP_WNDPROC,
                                reinterpret_cast<LONG_PTR>(::DefWindowProcW));
            EXPECT_EQ(control_hooks(control), HOOKS_PROGRAM) << ::IsWindowUnicode(control);
            ::DestroyWindow(control);
        }
    }
}

// Colours (0x19) and owner drawing reach the controls that answer them: a runtime window and
// a platform control the program subclassed. The platform's untouched control keeps the
// platform's colours and is drawn by the handler; so are the colours of a subclassed one that
// leaves 0x19 to the default procedure, which answers with the face colour (an edit's is
// white), and its drawing, which it passes on to the control's FALSE, reaches the handler.
TEST_F(Events, ControlColoursAndOwnerDrawingReachTheControlsThatAnswerThem) {
    own_brush = ::CreateSolidBrush(OWN_BACK);
    WindowRecord& parent = open(0, 0, 300, 100, 0);
    WindowRecord& window = open(0, 0, 40, 30, WF_NO_CAPTION, &parent, control_window_handler);
    const struct {
        HWND control;
        UINT message;    // its control-colour message
        bool answers;    // its colours and drawing its own
        bool by_handler; // drawn by the parent's handler
    } cases[] = {
        {child("STATIC", parent.hwnd, 60, false, false), WM_CTLCOLORSTATIC, false, true},
        {child("STATIC", parent.hwnd, 110, true, true), WM_CTLCOLORSTATIC, true, false},
        {child("EDIT", parent.hwnd, 160, true, false), WM_CTLCOLOREDIT, false, true},
        {window.hwnd, WM_CTLCOLORSTATIC, true, false},
    };
    HDC dc = ::CreateCompatibleDC(nullptr), platform_dc = ::CreateCompatibleDC(nullptr);
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        const LPARAM control = reinterpret_cast<LPARAM>(c.control);
        const LRESULT platform = ::DefWindowProcA(parent.hwnd, c.message,
                                                  reinterpret_cast<WPARAM>(platform_dc), control);
        EXPECT_EQ(::SendMessageA(parent.hwnd, c.message, reinterpret_cast<WPARAM>(dc), control),
                  c.answers ? reinterpret_cast<LRESULT>(own_brush) : platform);
        const COLORREF back = c.answers ? OWN_BACK : ::GetBkColor(platform_dc);
        EXPECT_EQ(color_text(::GetBkColor(dc)), color_text(back));
        EXPECT_EQ(color_text(::GetTextColor(dc)),
                  color_text(c.answers ? OWN_TEXT : ::GetTextColor(platform_dc)));
        if (c.control != window.hwnd) { // the platform asks its own controls
            Picture px = poll_screen(c.control, 20, 15, 1, 1,
                                     [&](const Picture& p) { return p.at(0, 0) == back; });
            EXPECT_EQ(color_text(px.at(0, 0)), color_text(back)) << "on the screen";
        }
        DRAWITEMSTRUCT item = {ODT_STATIC, 7, 0, ODA_DRAWENTIRE, 0, c.control, dc, {}, 0};
        seen_events.clear();
        control_drew = false;
        ::SendMessageA(parent.hwnd, WM_DRAWITEM, 7, reinterpret_cast<LPARAM>(&item));
        EXPECT_EQ(control_drew, c.answers);
        EXPECT_EQ(saw_event(WM_DRAWITEM), c.by_handler);
    }
    ::DeleteDC(platform_dc);
    ::DeleteDC(dc);
    close_window(&window);
    ::DeleteObject(own_brush);
}

TEST_F(Events, PaintNeverReachesHandlerOfBackingWindow) {
    WindowRecord& r = open(0, 0, 200, 100, 0);
    WindowRecord& plain = open(0, 120, 200, 100, WF_NO_BACKING);
    seen_events.clear();
    ::InvalidateRect(r.hwnd, nullptr, FALSE);
    ::UpdateWindow(r.hwnd);
    EXPECT_FALSE(saw_event(WM_PAINT));
    ::InvalidateRect(plain.hwnd, nullptr, FALSE);
    ::UpdateWindow(plain.hwnd);
    ASSERT_TRUE(saw_event(WM_PAINT));
    EXPECT_EQ(seen_events.back().window, &plain);
}

// ---- the pump ----

TEST_F(Events, PumpWithoutWaitReturnsAtOnceOnEmptyQueue) {
    open(0, 0, 200, 100, 0);
    pump_for(50);
    DWORD start = ::GetTickCount();
    EXPECT_EQ(process_events(1), 0);
    EXPECT_LT(::GetTickCount() - start, 100u);
}

TEST_F(Events, PumpWithWaitWakesForTimer) {
    WindowRecord& r = open(0, 0, 200, 100, 0);
    pump_for(50);
    seen_events.clear();
    start_timer(&r, 150, 1, nullptr);
    DWORD start = ::GetTickCount();
    while (!saw_event(WM_TIMER) && ::GetTickCount() - start < 3000) {
        process_events(0);
    }
    DWORD waited = ::GetTickCount() - start;
    ASSERT_TRUE(saw_event(WM_TIMER));
    EXPECT_GE(waited, 100u);
    EXPECT_LT(waited, 1500u);
    // Stopped, it sends no more; a timer that does not run, or a closed record, gives 0.
    EXPECT_EQ(stop_timer(&r, 1), 1);
    pump_for(50);
    seen_events.clear();
    pump_for(400);
    EXPECT_FALSE(saw_event(WM_TIMER));
    EXPECT_EQ(stop_timer(&r, 1), 0);
    WindowRecord closed = {};
    EXPECT_EQ(stop_timer(&closed, 1), 0);
}

TEST_F(Events, ForeignChildRoutesToParentRecord) {
    WindowRecord& r = open(0, 0, 200, 100, 0);
    HWND edit = ::CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE, 0, 0, 80, 20, r.hwnd,
                                  reinterpret_cast<HMENU>(5), nullptr, nullptr);
    ACCEL key = {FVIRTKEY, VK_F5, 555};
    ::SetPropA(r.hwnd, "_ACCEL_TABLE", ::CreateAcceleratorTableA(&key, 1));
    pump_for(30);
    seen_events.clear();
    event_state.menu_id = 0;
    ::PostMessageA(edit, WM_KEYDOWN, VK_F5, 1);
    ::PostThreadMessageA(::GetCurrentThreadId(), WM_USER + 9, 0, 0); // no window: dispatched
    process_events(1);
    ASSERT_TRUE(saw_event(EV_MENU_PICK));
    EXPECT_EQ(event_state.menu_id, 555);
    for (const SeenEvent& s : seen_events) {
        if (s.event_class == EV_MENU_PICK) {
            EXPECT_EQ(s.window, &r);
        }
    }
    ::DestroyWindow(edit);
}

TEST_F(Events, MenuPickGoesToTopChildRecord) {
    WindowRecord& frame = open(0, 0, 400, 300, WF_MDI_FRAME);
    WindowRecord& child = open(0, 0, 150, 100, 0, &frame);
    seen_events.clear();
    ::SendMessageA(frame.hwnd, WM_COMMAND, MAKEWPARAM(32773, 0), 0); // Cascade
    ASSERT_TRUE(saw_event(EV_MENU_PICK));
    for (const SeenEvent& s : seen_events) {
        if (s.event_class == EV_MENU_PICK) {
            EXPECT_EQ(s.window, &child);
        }
    }
}

TEST_F(Events, MenuPickOnFrameWithoutChildrenStaysOnFrame) {
    WindowRecord& frame = open(0, 0, 400, 300, WF_MDI_FRAME);
    seen_events.clear();
    ::SendMessageA(frame.hwnd, WM_COMMAND, MAKEWPARAM(900, 0), 0);
    ASSERT_TRUE(saw_event(EV_MENU_PICK));
    EXPECT_EQ(seen_events.back().window, &frame); // the MDI client has no record
}

// ---- re-entry: events delivered while a modal message box runs inside a handler ----

EventState outer_after_box = {};
bool saw_timer_inside_box = false;

BOOL CALLBACK close_message_box(HWND window, LPARAM) {
    char name[16] = {};
    ::GetClassNameA(window, name, sizeof(name));
    if (std::string(name) == "#32770") {
        ::PostMessageA(window, WM_COMMAND, IDOK, 0);
    }
    return TRUE;
}

intptr_t open_box_and_close_it_from_timer() {
    if (event_state.event_class == WM_USER + 2) {
        HWND hwnd = event_state.event_window->hwnd;
        ::SetTimer(hwnd, 7, 50, nullptr);
        ::MessageBoxA(hwnd, "Nested", "Alert", MB_OK);
        ::KillTimer(hwnd, 7);
        outer_after_box = event_state;
    } else if (event_state.event_class == WM_TIMER && event_state.event_wparam == 7) {
        saw_timer_inside_box = true;
        ::EnumThreadWindows(::GetCurrentThreadId(), close_message_box, 0);
    }
    return 0;
}

TEST_F(Events, HandlerReceivesEventsWhileMessageBoxIsOpen) {
    WindowRecord& r = open(0, 0, 200, 100, 0);
    react_to_event = open_box_and_close_it_from_timer;
    saw_timer_inside_box = false;
    ::SendMessageA(r.hwnd, WM_USER + 2, 3, 4);
    EXPECT_TRUE(saw_timer_inside_box);
    EXPECT_EQ(outer_after_box.event_class, WM_USER + 2);
    EXPECT_EQ(outer_after_box.event_wparam, 3u);
    EXPECT_EQ(outer_after_box.event_lparam, 4);
    EXPECT_EQ(outer_after_box.event_window, &r);
}

TEST_F(Events, ClientAreaShowsTheRecordsCursor) {
    WindowRecord& r = open(0, 0, 200, 100, 0);
    r.cursor = ::LoadCursorA(nullptr, IDC_CROSS);
    ::SendMessageA(r.hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(r.hwnd),
                   MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(::GetCursor(), r.cursor);
}

} // namespace
