// The main window as set_up_window leaves it: its menu, read back item by item, and the
// one-time fit of its height to the field.
#include "tests/game/game_fixture.h"

namespace {

struct MenuItem {
    std::string text; // "-" for a separator
    UINT id;          // 0 for separators and popups
    bool popup;
};

// The items of one menu, in order; submenus are added to popups.
std::vector<MenuItem> read_menu(HMENU menu, std::vector<HMENU>* popups) {
    std::vector<MenuItem> items;
    for (int32_t i = 0; i < ::GetMenuItemCount(menu); ++i) {
        const UINT state = ::GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
        if (state & MF_SEPARATOR) { // NOTE: Wine reads separators back as greyed (0x803)
            items.push_back({"-", 0, false});
            continue;
        }
        EXPECT_EQ(state & (MF_CHECKED | MF_DISABLED | MF_GRAYED), 0u) << "item " << i;
        char text[32] = {};
        ::GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        HMENU sub = ::GetSubMenu(menu, i);
        if (sub != nullptr) {
            popups->push_back(sub);
        }
        items.push_back({text, sub ? 0 : ::GetMenuItemID(menu, i), sub != nullptr});
    }
    return items;
}

void expect_items(const std::vector<MenuItem>& seen, const std::vector<MenuItem>& wanted,
                  const char* menu) {
    ASSERT_EQ(seen.size(), wanted.size()) << menu;
    for (size_t i = 0; i < wanted.size(); ++i) {
        EXPECT_EQ(seen[i].text, wanted[i].text) << menu << " item " << i;
        EXPECT_EQ(seen[i].id, wanted[i].id) << menu << " item " << i;
        EXPECT_EQ(seen[i].popup, wanted[i].popup) << menu << " item " << i;
    }
}

TEST_F(GameTest, MenuBarHoldsEveryCommand) {
    std::vector<HMENU> popups;
    HMENU bar = ::GetMenu(game.main_window.hwnd);
    ASSERT_NE(bar, nullptr);
    expect_items(read_menu(bar, &popups),
                 {{"Game", 0, true}, {"Options", 0, true}, {"Help", 0, true}}, "bar");
    ASSERT_EQ(popups.size(), 3u);
    const HMENU game_menu = popups[0], options = popups[1], help = popups[2];
    expect_items(read_menu(game_menu, &popups),
                 {{"New", MENU_NEW, false}, {"-", 0, false}, {"Quit", MENU_QUIT, false}}, "Game");
    expect_items(read_menu(options, &popups), {{"Pause", MENU_PAUSE, false}, {"Magnify", 0, true}},
                 "Options");
    ASSERT_EQ(popups.size(), 4u);
    expect_items(read_menu(popups[3], &popups),
                 {{"1x", MENU_ZOOM_1X, false}, {"2x", MENU_ZOOM_2X, false}}, "Magnify");
    expect_items(read_menu(help, &popups),
                 {{"Rules", MENU_RULES, false}, {"About", MENU_ABOUT, false}}, "Help");
}

// The client height of the main window at an outer height.
int32_t client_height_at(int32_t outer_height) {
    set_window_rect(&game.main_window, 0, 0, 320, outer_height, 0);
    int32_t left = 0, top = 0, width = 0, height = 0;
    get_client_size(&game.main_window, &left, &top, &width, &height);
    return height;
}

TEST_F(GameTest, HeightIsFittedOnceToTheField) {
    // As set up: the window has the stored 1x size, grown or not by the rule below.
    const int32_t set_up_1x = game.window_height_1x;
    const int32_t set_up_2x = game.window_height_2x;
    RECT outer = {};
    ::GetWindowRect(game.main_window.hwnd, &outer);
    EXPECT_EQ(outer.right - outer.left, 320);
    EXPECT_EQ(outer.bottom - outer.top, set_up_1x);
    EXPECT_EQ(game.window_width_1x, 320);
    EXPECT_EQ(game.window_width_2x, 640);

    // The rule: a client area lower than the field's bottom edge (156) grows the stored
    // heights by 8 and 16, once, whatever the result; 156 or more leaves them.
    const int32_t frame = 200 - client_height_at(200);
    for (int32_t client : {100, 155, 156, 157, 200}) {
        SCOPED_TRACE(client);
        ASSERT_EQ(client_height_at(client + frame), client);
        game.window_height_1x = 200;
        game.window_height_2x = 360;
        fit_client_area();
        const bool grows = client < 156;
        EXPECT_EQ(game.window_height_1x, grows ? 208 : 200);
        EXPECT_EQ(game.window_height_2x, grows ? 376 : 360);
        ::GetWindowRect(game.main_window.hwnd, &outer);
        EXPECT_EQ(outer.bottom - outer.top, grows ? 208 : client + frame);
    }
    // The set-up followed the same rule for the client area of a 200 high window.
    const bool set_up_grew = 200 - frame < 156;
    EXPECT_EQ(set_up_1x, set_up_grew ? 208 : 200);
    EXPECT_EQ(set_up_2x, set_up_grew ? 376 : 360);
}

} // namespace
