// Tally's program body: the main window with its menus, shortcuts and status bar, the
// handler that turns clicks and commands into changes, and the way out that asks before
// unsaved changes are lost.
// Relies on the runtime alone; the counters are counters.cpp's, files storage.cpp's and
// the form form.cpp's.
#include "tally.h"

Tally tally;

namespace {

// ============================================================================
// Internal helpers
// ============================================================================

// Make the menu bar, each item with the shortcut it shows, and the shortcuts themselves.
void build_menus() {
    HMENU file = create_menu(1);
    append_menu_item(file, "&New\tCtrl+N", MF_STRING, CMD_NEW);
    append_menu_item(file, "&Open...\tCtrl+O", MF_STRING, CMD_OPEN);
    append_menu_item(file, "&Save\tCtrl+S", MF_STRING, CMD_SAVE);
    append_menu_item(file, "Save &As...", MF_STRING, CMD_SAVE_AS);
    append_menu_item(file, nullptr, MF_SEPARATOR, 0);
    append_menu_item(file, "E&xit", MF_STRING, CMD_EXIT);
    HMENU edit = create_menu(1);
    append_menu_item(edit, "&Copy\tCtrl+C", MF_STRING, CMD_COPY);
    append_menu_item(edit, "&Add counter...\tIns", MF_STRING, CMD_ADD);
    append_menu_item(edit, "&Reset all", MF_STRING, CMD_RESET);
    append_menu_item(edit, nullptr, MF_SEPARATOR, 0);
    append_menu_item(edit, "Clicks count &ten", MF_STRING, CMD_STEP_TEN);
    HMENU bar = create_menu(0);
    append_menu_item(bar, "&File", MF_POPUP, reinterpret_cast<UINT_PTR>(file));
    append_menu_item(bar, "&Edit", MF_POPUP, reinterpret_cast<UINT_PTR>(edit));
    attach_menu(&tally.window, bar);

    add_accelerator(&tally.window, 'N', ACCEL_CONTROL, CMD_NEW);
    add_accelerator(&tally.window, 'O', ACCEL_CONTROL, CMD_OPEN);
    add_accelerator(&tally.window, 'S', ACCEL_CONTROL, CMD_SAVE);
    add_accelerator(&tally.window, 'C', ACCEL_CONTROL, CMD_COPY);
    add_accelerator(&tally.window, VK_INSERT, 0, CMD_ADD);
}

// Grey what has nothing to act on, and tick the click step.
void menus_update() {
    enable_menu_item(&tally.window, CMD_COPY, tally.count > 0);
    enable_menu_item(&tally.window, CMD_RESET, tally.count > 0);
    check_menu_item(&tally.window, CMD_STEP_TEN, tally.step == 10);
}

// Show a change of the counters everywhere it shows.
void counters_changed() {
    tally.changed = 1;
    counters_draw();
    status_update();
    caption_update();
    menus_update();
}

// Keep the status bar along the client area's bottom.
void lay_out_status_bar() {
    int32_t left = 0, top = 0, width = 0, height = 0;
    get_client_size(&tally.window, &left, &top, &width, &height);
    set_window_rect(&tally.window, 0, height - 20, width, 20, STATUS_ID);
}

// End the program, unless the user keeps unsaved changes by cancelling.
void quit() {
    if (!tally_may_discard())
        return;
    tally_remember();
    close_window(&tally.window);
    settings_release(&tally.settings);
    program_end();
}

// Start afresh with no counters and no file.
void start_new() {
    counters_clear();
    heap_free(tally.file);
    tally.file = nullptr;
    counters_changed();
    tally.changed = 0;
    caption_update();
}

// Carry out a menu command or shortcut.
void command(int32_t id) {
    if (id == CMD_NEW && tally_may_discard()) {
        start_new();
    } else if (id == CMD_OPEN && tally_may_discard()) {
        tally_open();
    } else if (id == CMD_SAVE || id == CMD_SAVE_AS) {
        tally_save(id == CMD_SAVE_AS);
    } else if (id == CMD_EXIT) {
        quit();
    } else if (id == CMD_COPY && tally.count > 0) {
        char* text = counters_text();
        if (text != nullptr)
            clipboard_set_text(&tally.window, text, -1);
        heap_free(text);
    } else if (id == CMD_ADD && ask_new_counter()) {
        counters_changed();
    } else if (id == CMD_RESET && tally.count > 0) {
        for (int32_t i = 0; i < tally.count; i++)
            tally.counters[i].value = 0;
        counters_changed();
    } else if (id == CMD_STEP_TEN) {
        tally.step = tally.step == 1 ? 10 : 1;
        menus_update();
    }
}

// The main window's handler: clicks change counters, commands act, the clock ticks.
intptr_t on_event() {
    const EventState& e = event_state;
    switch (e.event_class) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: // the second click of a quick pair counts too
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK: {
        const bool left = e.event_class == WM_LBUTTONDOWN || e.event_class == WM_LBUTTONDBLCLK;
        if (counter_change_at(int32_t(e.mouse_y), left ? tally.step : -tally.step))
            counters_changed();
        return 0;
    }
    case WM_TIMER:
        status_update();
        return 0;
    case EV_SIZE:
        lay_out_status_bar();
        return 0;
    case EV_MENU_PICK:
        command(e.menu_id);
        return 0;
    case EV_CLOSE_REQUEST:
        quit();
        return 0;
    default:
        return 0;
    }
}

} // namespace

// ============================================================================
// Program entry
// ============================================================================

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    runtime_startup();
    tally.step = 1;
    tally.started_ms = tick_count();
    settings_load(&tally.settings, PROGRAM);
    open_window(&tally.window, 0, 0, 360, 300, WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME,
                nullptr, PROGRAM, on_event);
    build_menus();
    control_create(&tally.window, CONTROL_STATUS_BAR, STATUS_ID, 0, 0, 0, 0, "", 0);
    if (!restore_window_place(&tally.window, &tally.settings, "window"))
        center_window(&tally.window);
    lay_out_status_bar();
    int32_t width = 0;
    measure_text(&tally.window, "Ag", 2, &width, &tally.line_height);
    tally.line_height += 4;

    char* last = settings_get_text(&tally.settings, "last_file", nullptr);
    if (last == nullptr || !tally_read(last, 1)) {
        counters_draw();
        status_update();
        caption_update();
    }
    heap_free(last);
    menus_update();
    start_timer(&tally.window, 1000, CLOCK_TIMER, nullptr);
    for (;;)
        process_events(0);
}
