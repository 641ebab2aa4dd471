// Window place and state, read and set, kept in a Settings record and put back, never off
// every screen; menu items greyed and ticked by identifier, read back from the platform.
#include "runtime/core/core.h"
#include "tests/window/window_test_support.h"

namespace {

using Place = WindowTest;
using MenuItems = WindowTest;

constexpr uint32_t SIZABLE = WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;

RECT work_area_of(HWND hwnd) {
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    ::GetMonitorInfoW(::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &info);
    return info.rcWork;
}

// Pump until the window's state is the wanted one or about 5 seconds went by.
bool reaches_state(WindowRecord* record, int32_t state) {
    const DWORD start = ::GetTickCount();
    while (get_window_state(record) != state) {
        if (::GetTickCount() - start > 5000) {
            return false;
        }
        process_events(1);
        ::Sleep(10);
    }
    return true;
}

void expect_place(const WindowPlace& got, const WindowPlace& want, const char* name) {
    EXPECT_EQ(got.x, want.x) << name;
    EXPECT_EQ(got.y, want.y) << name;
    EXPECT_EQ(got.width, want.width) << name;
    EXPECT_EQ(got.height, want.height) << name;
    EXPECT_EQ(got.state, want.state) << name;
}

} // namespace

TEST_F(Place, EveryStateRoundTripsWithItsRestoreRectangle) {
    WindowRecord& r = open(10, 10, 200, 150, SIZABLE);
    const RECT work = work_area_of(r.hwnd);
    const WindowPlace cases[] = {
        {50, 60, 300, 200, WINDOW_NORMAL},
        {40, 30, 250, 180, WINDOW_MAXIMISED},
        {70, 80, 260, 170, WINDOW_MINIMISED},
        {-100, -50, 300, 200, WINDOW_NORMAL}, // partly on a screen: kept as it is
        {90, 100, 240, 160, WINDOW_NORMAL},   // back from minimised
    };
    for (const WindowPlace& want : cases) {
        const char* name = want.state == WINDOW_MAXIMISED   ? "maximised"
                           : want.state == WINDOW_MINIMISED ? "minimised"
                                                            : "normal";
        ASSERT_EQ(set_window_place(&r, &want), 1) << name;
        ASSERT_TRUE(reaches_state(&r, want.state)) << name;
        WindowPlace got = {};
        EXPECT_EQ(get_window_place(&r, &got), 1);
        expect_place(got, want, name);
        int32_t x = 0, y = 0, w = 0, h = 0;
        EXPECT_EQ(get_window_rect(&r, &x, &y, &w, &h), 1);
        if (want.state == WINDOW_NORMAL) {
            EXPECT_EQ(x, want.x);
            EXPECT_EQ(y, want.y);
            EXPECT_EQ(w, want.width);
            EXPECT_EQ(h, want.height);
        } else if (want.state == WINDOW_MAXIMISED) {
            // A maximised window covers the work area, whatever its restore rectangle.
            EXPECT_GE(w, work.right - work.left);
            EXPECT_GE(h, work.bottom - work.top);
        }
    }
    // set_window_state changes the state and keeps the restore rectangle.
    for (int32_t state : {WINDOW_MAXIMISED, WINDOW_MINIMISED, WINDOW_NORMAL}) {
        EXPECT_EQ(set_window_state(&r, state), 1);
        ASSERT_TRUE(reaches_state(&r, state)) << state;
        WindowPlace got = {};
        get_window_place(&r, &got);
        expect_place(got, {90, 100, 240, 160, state}, "set_window_state");
    }
}

TEST_F(Place, OffEveryScreenComesBackOntoTheWorkAreaAndBadPlacesAreRefused) {
    WindowRecord& r = open(10, 10, 200, 150, SIZABLE);
    const RECT work = work_area_of(r.hwnd);
    const LONG work_w = work.right - work.left;
    const LONG work_h = work.bottom - work.top;
    struct Case {
        const char* name;
        WindowPlace place;
        LONG width, height; // the size it gets
    } cases[] = {
        {"far left and up", {-5000, -5000, 300, 200, WINDOW_NORMAL}, 300, 200},
        {"far right and down", {5000, 4000, 300, 200, WINDOW_MAXIMISED}, 300, 200},
        {"far off and larger than the screen",
         {9000, 0, 5000, 4000, WINDOW_NORMAL},
         work_w,
         work_h},
        {"at the far end of the numbers",
         {INT32_MAX - 10, INT32_MAX - 10, 300, 200, WINDOW_NORMAL},
         300,
         200},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(set_window_place(&r, &c.place), 1) << c.name;
        ASSERT_TRUE(reaches_state(&r, c.place.state)) << c.name;
        WindowPlace got = {};
        get_window_place(&r, &got);
        EXPECT_EQ(got.width, c.width) << c.name;
        EXPECT_EQ(got.height, c.height) << c.name;
        EXPECT_GE(got.x, work.left) << c.name;
        EXPECT_GE(got.y, work.top) << c.name;
        EXPECT_LE(got.x + got.width, work.right) << c.name;
        EXPECT_LE(got.y + got.height, work.bottom) << c.name;
    }
    // Refused: the window stays where the last case put it.
    WindowPlace before = {};
    get_window_place(&r, &before);
    const WindowPlace refused[] = {
        {10, 10, 0, 100, WINDOW_NORMAL},
        {10, 10, 100, -1, WINDOW_NORMAL},
        {10, 10, 100, 100, 3},
    };
    for (const WindowPlace& place : refused) {
        EXPECT_EQ(set_window_place(&r, &place), 0);
    }
    EXPECT_EQ(set_window_state(&r, -1), 0);
    WindowPlace after = {};
    get_window_place(&r, &after);
    expect_place(after, before, "refused");

    WindowRecord closed = {};
    WindowPlace place = {1, 1, 1, 1, 1};
    EXPECT_EQ(get_window_place(&closed, &place), 0);
    expect_place(place, {}, "closed");
    EXPECT_EQ(get_window_state(&closed), -1);
}

TEST_F(Place, AChildsRectangleIsInItsParentsClientArea) {
    WindowRecord& parent = open(100, 100, 400, 300, 0);
    WindowRecord& child = open(10, 20, 120, 60, 0, &parent);
    int32_t x = 0, y = 0, w = 0, h = 0;
    EXPECT_EQ(get_window_rect(&child, &x, &y, &w, &h), 1);
    EXPECT_EQ(std::vector<int32_t>({x, y, w, h}), std::vector<int32_t>({10, 20, 120, 60}));
    const WindowPlace moved = {30, 40, 100, 50, WINDOW_NORMAL};
    EXPECT_EQ(set_window_place(&child, &moved), 1);
    WindowPlace got = {};
    get_window_place(&child, &got);
    expect_place(got, moved, "child");
}

TEST_F(Place, SavedPlaceComesBackThroughSettings) {
    WindowRecord& r = open(10, 10, 200, 150, SIZABLE);
    Settings settings = {};
    const WindowPlace maximised = {60, 70, 280, 190, WINDOW_MAXIMISED};
    ASSERT_EQ(set_window_place(&r, &maximised), 1);
    ASSERT_TRUE(reaches_state(&r, WINDOW_MAXIMISED));
    // Minimised from maximised, it is kept as the state it comes back in.
    set_window_state(&r, WINDOW_MINIMISED);
    ASSERT_TRUE(reaches_state(&r, WINDOW_MINIMISED));
    EXPECT_EQ(save_window_place(&r, &settings, "main"), 1);
    const char* names[] = {"main.x", "main.y", "main.width", "main.height", "main.state"};
    const int32_t values[] = {60, 70, 280, 190, WINDOW_MAXIMISED};
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(settings_get_number(&settings, names[i], -1), values[i]) << names[i];
    }

    const WindowPlace elsewhere = {5, 5, 150, 100, WINDOW_NORMAL};
    set_window_place(&r, &elsewhere);
    ASSERT_TRUE(reaches_state(&r, WINDOW_NORMAL));
    EXPECT_EQ(restore_window_place(&r, &settings, "main"), 1);
    ASSERT_TRUE(reaches_state(&r, WINDOW_MAXIMISED));
    WindowPlace got = {};
    get_window_place(&r, &got);
    expect_place(got, maximised, "restored");

    // Nothing kept under a prefix, or a value missing: refused, the window stays.
    EXPECT_EQ(restore_window_place(&r, &settings, "other"), 0);
    settings_set_text(&settings, "main.height", nullptr);
    EXPECT_EQ(restore_window_place(&r, &settings, "main"), 0);
    EXPECT_EQ(get_window_state(&r), WINDOW_MAXIMISED);
    // The default prefix, and one too long to make a name.
    EXPECT_EQ(save_window_place(&r, &settings, nullptr), 1);
    EXPECT_EQ(settings_get_number(&settings, "window.state", -1), WINDOW_MAXIMISED);
    EXPECT_EQ(save_window_place(&r, &settings, std::string(80, 'p').c_str()), 0);
    settings_release(&settings);
}

TEST_F(MenuItems, GreyAndTickByIdentifierReadBackFromThePlatform) {
    WindowRecord& r = open(10, 10, 300, 200, 0);
    EXPECT_EQ(enable_menu_item(&r, 11, 0), 0); // no menu bar yet
    HMENU bar = create_menu(0);
    HMENU file = create_menu(1);
    append_menu_item(file, "Save", 0, 11);
    append_menu_item(file, "Wrap", 0, 12);
    append_menu_item(bar, "File", MF_POPUP, reinterpret_cast<UINT_PTR>(file));
    append_menu_item(bar, "Run", 0, 20); // an item of the bar itself
    attach_menu(&r, bar);
    struct Step {
        int32_t id;
        bool check; // check_menu_item, else enable_menu_item
        int32_t value;
        UINT state; // GetMenuState's grey and tick bits afterwards
    } steps[] = {
        {11, false, 0, MF_GRAYED},  {11, true, 1, MF_GRAYED | MF_CHECKED},
        {11, false, 1, MF_CHECKED}, {11, true, 0, 0},
        {12, true, 1, MF_CHECKED},  {20, false, 0, MF_GRAYED},
        {20, false, 1, 0},
    };
    for (const Step& s : steps) {
        const int32_t result =
            s.check ? check_menu_item(&r, s.id, s.value) : enable_menu_item(&r, s.id, s.value);
        EXPECT_EQ(result, 1) << s.id;
        EXPECT_EQ(::GetMenuState(bar, s.id, MF_BYCOMMAND) & (MF_GRAYED | MF_CHECKED), s.state)
            << "item " << s.id << (s.check ? " ticked " : " enabled ") << s.value;
    }
    EXPECT_EQ(enable_menu_item(&r, 99, 0), 0);
    EXPECT_EQ(check_menu_item(&r, 99, 1), 0);
    WindowRecord closed = {};
    EXPECT_EQ(check_menu_item(&closed, 11, 1), 0);
}
