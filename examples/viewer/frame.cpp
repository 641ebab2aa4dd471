// The viewer's frame and program body: the `viewer` record, the MDI frame with its "&File"
// (with the recent files), "&Edit", "&Search", "&View", "&Window" and "&Help" menus, their
// commands greyed while there is nothing for them, and keyboard shortcuts, the clock in its
// caption, opening files through the open dialog or by dropping them on the frame, its
// commands, the program's loop (which reads large texts between events), and the end,
// where the frame's place is remembered.
// Relies on the runtime's windows, menus, accelerators, timers, message boxes and event
// pump; on documents.cpp, text_view.cpp, text_find.cpp, dialogs.cpp and settings.cpp for
// what the commands do.
#include "examples/viewer/viewer.h"

#include <shellapi.h>

#include <cstdio>
#include <initializer_list>

// ============================================================================
// Module state
// ============================================================================

ViewerState viewer;

namespace {

constexpr UINT_PTR CLOCK_TIMER = 1;
constexpr uint32_t CLOCK_INTERVAL_MS = 1000;
constexpr int32_t FRAME_WIDTH = 900;
constexpr int32_t FRAME_HEIGHT = 680;
constexpr uint32_t READ_SLICE_MS = 40; // reading between two looks at the events

// A keyboard shortcut of the viewer.
struct Shortcut {
    int32_t key;
    int32_t modifiers;
    int32_t command;
    bool in_dialog; // the Find dialog has it too (its text box keeps Ctrl+A, Ctrl+C and the rest)
};

const Shortcut SHORTCUTS[] = {
    {'O', ACCEL_CONTROL, MENU_OPEN, true},
    {'F', ACCEL_CONTROL, MENU_FIND, true},
    {VK_F3, 0, MENU_FIND_NEXT, true},
    {VK_F3, ACCEL_SHIFT, MENU_FIND_PREVIOUS, true},
    {'G', ACCEL_CONTROL, MENU_GO_TO, true},
    {VK_F4, ACCEL_CONTROL, MENU_CLOSE, true},
    {VK_F6, ACCEL_CONTROL, MENU_NEXT_DOCUMENT, true},
    {VK_F4, ACCEL_ALT, MENU_EXIT, true},
    {'C', ACCEL_CONTROL, MENU_COPY, false},
    {VK_INSERT, ACCEL_CONTROL, MENU_COPY, false},
    {'A', ACCEL_CONTROL, MENU_SELECT_ALL, false},
    {VK_OEM_PLUS, ACCEL_CONTROL, MENU_ZOOM_IN, false},
    {VK_OEM_PLUS, ACCEL_CONTROL | ACCEL_SHIFT, MENU_ZOOM_IN, false}, // "+" typed with Shift
    {VK_ADD, ACCEL_CONTROL, MENU_ZOOM_IN, false},
    {VK_OEM_MINUS, ACCEL_CONTROL, MENU_ZOOM_OUT, false},
    {VK_SUBTRACT, ACCEL_CONTROL, MENU_ZOOM_OUT, false},
    {'0', ACCEL_CONTROL, MENU_ACTUAL_SIZE, false},
    {VK_NUMPAD0, ACCEL_CONTROL, MENU_ACTUAL_SIZE, false},
};

// Commands that need a document, and the kind it must be (DOC_FREE: any).
struct NeedsDocument {
    UINT_PTR command;
    int32_t kind;
};

const NeedsDocument NEEDS_DOCUMENT[] = {
    {MENU_CLOSE, DOC_FREE},       {MENU_COPY, DOC_TEXT},      {MENU_SELECT_ALL, DOC_TEXT},
    {MENU_FIND, DOC_TEXT},        {MENU_FIND_NEXT, DOC_TEXT}, {MENU_FIND_PREVIOUS, DOC_TEXT},
    {MENU_GO_TO, DOC_TEXT},       {MENU_ZOOM_IN, DOC_FREE},   {MENU_ZOOM_OUT, DOC_FREE},
    {MENU_ACTUAL_SIZE, DOC_FREE}, {MENU_FIT, DOC_PICTURE},    {MENU_NEXT_DOCUMENT, DOC_FREE},
};

// ============================================================================
// Internal helpers
// ============================================================================

// Show the program's name and the time of day in the frame's caption.
void show_clock() {
    // NOTE: the runtime's clock counts milliseconds since start-up; the time of day comes
    // from KERNEL32.
    SYSTEMTIME now = {};
    ::GetLocalTime(&now);
    char clock[16];
    std::snprintf(clock, sizeof(clock), "%02u:%02u:%02u", static_cast<unsigned>(now.wHour),
                  static_cast<unsigned>(now.wMinute), static_cast<unsigned>(now.wSecond));
    char* caption = string_concat({VIEWER_NAME, " - ", clock});
    set_window_caption(&viewer.frame, caption);
    heap_free(caption);
}

// Timer callback of the clock: the platform calls it from the event pump every second.
void CALLBACK clock_tick(HWND, UINT, UINT_PTR, DWORD) {
    show_clock();
}

// An item of a menu: a null text makes a separator.
struct MenuItem {
    const char* text;
    UINT_PTR command;
};

// A popup menu of items.
HMENU make_menu(std::initializer_list<MenuItem> items) {
    HMENU menu = create_menu(1);
    for (const MenuItem& item : items) {
        append_menu_item(menu, item.text != nullptr ? item.text : "",
                         item.text != nullptr ? MF_STRING : MF_SEPARATOR, item.command);
    }
    return menu;
}

// Put "&File", "&Edit", "&Search" and "&View" before the runtime's "&Window" menu and "&Help"
// after it, so that the runtime's menu stays the one the MDI client lists its windows in.
void build_menus() {
    HMENU file = make_menu({{"&Open...\tCtrl+O", MENU_OPEN},
                            {"Open &samples", MENU_OPEN_SAMPLES},
                            {"&Close\tCtrl+F4", MENU_CLOSE},
                            {nullptr, 0},
                            {"E&xit\tAlt+F4", MENU_EXIT}});
    HMENU edit =
        make_menu({{"&Copy\tCtrl+C", MENU_COPY}, {"Select &all\tCtrl+A", MENU_SELECT_ALL}});
    HMENU search = make_menu({{"&Find...\tCtrl+F", MENU_FIND},
                              {"Find &next\tF3", MENU_FIND_NEXT},
                              {"Find &previous\tShift+F3", MENU_FIND_PREVIOUS},
                              {"&Go to line...\tCtrl+G", MENU_GO_TO}});
    HMENU view = make_menu({{"Zoom &in\tCtrl++", MENU_ZOOM_IN},
                            {"Zoom &out\tCtrl+-", MENU_ZOOM_OUT},
                            {"&Actual size\tCtrl+0", MENU_ACTUAL_SIZE},
                            {"&Fit to window", MENU_FIT},
                            {"&Word wrap", MENU_WORD_WRAP},
                            {nullptr, 0},
                            {"Fo&nt...", MENU_FONT},
                            {"&Colours...", MENU_COLORS},
                            {nullptr, 0},
                            {"Next &document\tCtrl+F6", MENU_NEXT_DOCUMENT}});
    HMENU help = make_menu({{"&About", MENU_ABOUT}});
    HMENU bar = window_menu(&viewer.frame);
    insert_menu_item(bar, 0, "&File", MF_POPUP, reinterpret_cast<UINT_PTR>(file));
    insert_menu_item(bar, 1, "&Edit", MF_POPUP, reinterpret_cast<UINT_PTR>(edit));
    insert_menu_item(bar, 2, "&Search", MF_POPUP, reinterpret_cast<UINT_PTR>(search));
    insert_menu_item(bar, 3, "&View", MF_POPUP, reinterpret_cast<UINT_PTR>(view));
    append_menu_item(bar, "&Help", MF_POPUP, reinterpret_cast<UINT_PTR>(help));
    attach_menu(&viewer.frame, bar); // the same bar: drawn again
    viewer_set_recent_menu(file);
}

// Grey the commands that have nothing to work on, and tick Fit to window while it is on.
void update_menus() {
    Document* active = viewer_document_of(mdi_active(&viewer.frame));
    for (const NeedsDocument& entry : NEEDS_DOCUMENT) {
        bool usable = active != nullptr && (entry.kind == DOC_FREE || entry.kind == active->kind);
        if (entry.command == MENU_COPY && usable) {
            usable = active->anchor.line != active->caret.line ||
                     active->anchor.index != active->caret.index;
        }
        enable_menu_item(&viewer.frame, entry.command, usable ? 1 : 0);
    }
    const bool fitted = active != nullptr && active->kind == DOC_PICTURE && active->fit != 0;
    check_menu_item(&viewer.frame, MENU_FIT, fitted ? 1 : 0);
    check_menu_item(&viewer.frame, MENU_WORD_WRAP, viewer.word_wrap);
}

// Remember where the frame is, and whether it and its documents are maximised.
void remember_place() {
    WindowPlace now = {};
    if (!get_window_place(&viewer.frame, &now)) {
        return;
    }
    viewer.place.x = now.x;
    viewer.place.y = now.y;
    viewer.place.width = now.width;
    viewer.place.height = now.height;
    // A minimised frame comes back as it was before: maximised as last remembered.
    if (now.state != WINDOW_MINIMISED) {
        viewer.place.maximized = now.state == WINDOW_MAXIMISED ? 1 : 0;
    }
    WindowRecord* active = mdi_active(&viewer.frame);
    if (active != nullptr) {
        viewer.place.documents_maximized = get_window_state(active) == WINDOW_MAXIMISED ? 1 : 0;
    }
}

// Remember the frame's place and write the settings, so that a crash keeps it.
void save_place() {
    if (viewer.frame.hwnd != nullptr) {
        remember_place();
        viewer_save_settings();
    }
}

// Open a recent file by its place on the File menu.
void open_recent(int32_t index) {
    if (index >= 0 && index < RECENT_FILES && viewer.recent[index] != nullptr) {
        char* path = string_duplicate(viewer.recent[index]); // opening reorders the list
        viewer_open_file(path);
        heap_free(path);
    }
}

// Ask for files with the open dialog and open each.
void open_with_dialog() {
    char* names = nullptr;
    if (choose_file_to_open(&viewer.frame,
                            "All files|*.*|Texts|*.txt|Pictures|*.bmp;*.ico;*.emf;*.gif;*.jpg;"
                            "*.jpeg;*.png",
                            viewer.last_folder, 1, &names) != 1) {
        return;
    }
    // Full paths, one a line; opening one may change last_folder, not these names.
    for (char* path = names; path != nullptr && *path != '\0';) {
        char* end = path;
        while (*end != '\0' && *end != '\n') {
            end++;
        }
        const bool last = *end == '\0';
        *end = '\0';
        viewer_open_file(path);
        path = last ? nullptr : end + 1;
    }
    heap_free(names);
}

// Open the files dropped on the frame.
void open_dropped(HDROP drop) {
    // NOTE: dropped files are the shell's (SHELL32), which the runtime does not stand on.
    const UINT count = ::DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = ::DragQueryFileA(drop, i, nullptr, 0);
        char* path = static_cast<char*>(heap_alloc(length + 1));
        if (path != nullptr) {
            ::DragQueryFileA(drop, i, path, length + 1);
            viewer_open_file(path);
            heap_free(path);
        }
    }
    ::DragFinish(drop);
}

// End the program, whatever is open.
[[noreturn]] void viewer_end() {
    viewer_close_all();
    program_end();
}

// Handler of the frame window.
intptr_t frame_event() {
    switch (event_state.event_class) {
    case EV_CLOSE_REQUEST:
        viewer_end();
    case EV_MENU_PICK:
        // The runtime names the MDI client's top child, the active document, as the event's
        // window.
        return viewer_command(event_state.menu_id, viewer_document_of(event_state.event_window));
    case WM_DROPFILES:
        open_dropped(reinterpret_cast<HDROP>(event_state.event_wparam));
        return 1;
    case WM_EXITSIZEMOVE: // a move or a resize ended: remembered now, not only at the end
        save_place();
        return 0;
    case WM_SIZE:
        // Maximised or restored: remembered at once. A resize in progress changes nothing.
        if ((event_state.event_wparam == SIZE_MAXIMIZED) != (viewer.place.maximized != 0) &&
            (event_state.event_wparam == SIZE_MAXIMIZED ||
             event_state.event_wparam == SIZE_RESTORED)) {
            save_place();
        }
        return 0;
    case WM_INITMENU: // also sent when a shortcut of a menu item is pressed
    case WM_INITMENUPOPUP:
        update_menus();
        return 0;
    default:
        return 0;
    }
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Carry out a menu command or shortcut on the active document; 1 when it was the viewer's.
int32_t viewer_command(int32_t command, Document* active) {
    switch (command) {
    case MENU_OPEN:
        open_with_dialog();
        return 1;
    case MENU_OPEN_SAMPLES:
        viewer_open_samples();
        return 1;
    case MENU_CLOSE:
        viewer_close_document(active);
        return 1;
    case MENU_EXIT:
        viewer_end();
    case MENU_FIND:
        viewer_show_find();
        return 1;
    case MENU_FIND_NEXT:
    case MENU_FIND_PREVIOUS:
        viewer_find_next(active, command == MENU_FIND_PREVIOUS ? 1 : 0);
        return 1;
    case MENU_GO_TO:
        viewer_go_to_line(active);
        return 1;
    case MENU_COPY:
        text_copy(active);
        return 1;
    case MENU_SELECT_ALL:
        text_select_all(active);
        return 1;
    case MENU_COLORS:
        viewer_choose_colors();
        return 1;
    case MENU_FONT:
        viewer_choose_font();
        return 1;
    case MENU_ZOOM_IN:
    case MENU_ZOOM_OUT:
    case MENU_ACTUAL_SIZE:
        viewer_zoom(active, command == MENU_ZOOM_IN ? 1 : command == MENU_ZOOM_OUT ? -1 : 0);
        return 1;
    case MENU_WORD_WRAP:
        text_set_word_wrap(viewer.word_wrap != 0 ? 0 : 1);
        viewer_save_settings();
        return 1;
    case MENU_FIT:
        viewer_fit(active);
        return 1;
    case MENU_NEXT_DOCUMENT:
        mdi_next(&viewer.frame);
        return 1;
    case MENU_ABOUT:
        viewer_show_about();
        return 1;
    default:
        if (command >= static_cast<int32_t>(MENU_RECENT) &&
            command < static_cast<int32_t>(MENU_RECENT) + RECENT_FILES) {
            open_recent(command - static_cast<int32_t>(MENU_RECENT));
            return 1;
        }
        return 0; // the "&Window" items and the window list are the frame's own
    }
}

// Give a window the viewer's keyboard shortcuts (a dialog those that leave its text alone).
void viewer_add_shortcuts(WindowRecord* window) {
    for (const Shortcut& shortcut : SHORTCUTS) {
        if (shortcut.in_dialog || window->kind == 0) {
            add_accelerator(window, shortcut.key, shortcut.modifiers, shortcut.command);
        }
    }
}

// Open the frame window with its menus, shortcuts and clock; 1 when it exists.
int32_t viewer_open_frame() {
    constexpr uint32_t FRAME_FLAGS =
        WF_MDI_FRAME | WF_NO_BACKING | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    viewer_load_settings();
    const FramePlace& place = viewer.place;
    const bool placed = place.width > 0;
    if (open_window(&viewer.frame, placed ? place.x : 0, placed ? place.y : 0,
                    placed ? place.width : FRAME_WIDTH, placed ? place.height : FRAME_HEIGHT,
                    FRAME_FLAGS | (place.maximized != 0 ? WS_MAXIMIZE : 0), nullptr, VIEWER_NAME,
                    frame_event) == 0) {
        return 0;
    }
    if (!placed) {
        center_window(&viewer.frame);
    }
    build_menus();
    viewer_add_shortcuts(&viewer.frame);
    ::DragAcceptFiles(viewer.frame.hwnd, TRUE); // NOTE: SHELL32, as for the drop itself
    show_clock();
    start_timer(&viewer.frame, CLOCK_INTERVAL_MS, CLOCK_TIMER, clock_tick);
    return 1;
}

// Close every document, the dialogs and the frame (without ending the program).
void viewer_close_all() {
    if (viewer.frame.hwnd != nullptr) {
        remember_place();
        viewer_save_settings();
    }
    viewer_set_recent_menu(nullptr);
    for (Document& document : viewer.documents) {
        viewer_close_document(&document);
    }
    dialog_release(&viewer.find_dialog);
    close_window(&viewer.frame);
}

// Program body: open the frame and every named file, then handle events until the end,
// reading large texts on between them.
void viewer_main(int32_t file_count, char** file_names) {
    if (viewer_open_frame() == 0) {
        message_box(nullptr, "The viewer's window could not be opened.", "Error", MB_OK);
        return;
    }
    for (int32_t i = 0; i < file_count; ++i) {
        viewer_open_file(file_names[i]);
    }
    for (;;) {
        if (viewer_reading() != 0) {
            process_events(1);
            viewer_read_some(READ_SLICE_MS);
        } else {
            process_events(0);
        }
    }
}
