// The viewer's frame and program body: the `viewer` record, the MDI frame with its "&File",
// "&Search", "&View", "&Window" and "&Help" menus and keyboard shortcuts, the clock in its
// caption, opening files through the platform's open dialog or by dropping them on the
// frame, its commands, the program's loop (which reads large texts between events), and
// the end.
// Relies on the runtime's windows, menus, accelerators, timers, message boxes and event
// pump; on documents.cpp, text_view.cpp and dialogs.cpp for what the commands do.
#include "examples/viewer/viewer.h"

#include <commdlg.h>
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
constexpr uint32_t READ_SLICE_MS = 40;   // reading between two looks at the events
constexpr DWORD OPEN_BUFFER = 32 * 1024; // characters the open dialog may return

// A keyboard shortcut of the viewer.
struct Shortcut {
    int32_t key;
    int32_t modifiers;
    int32_t command;
};

const Shortcut SHORTCUTS[] = {
    {'O', ACCEL_CONTROL, MENU_OPEN},    {'F', ACCEL_CONTROL, MENU_FIND},
    {VK_F3, 0, MENU_FIND_NEXT},         {'G', ACCEL_CONTROL, MENU_GO_TO},
    {VK_F4, ACCEL_CONTROL, MENU_CLOSE}, {VK_F6, ACCEL_CONTROL, MENU_NEXT_DOCUMENT},
    {VK_F4, ACCEL_ALT, MENU_EXIT},
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

// Put "&File", "&Search" and "&View" before the runtime's "&Window" menu and "&Help" after it,
// so that the runtime's menu stays the one the MDI client lists its windows in.
void build_menus() {
    HMENU file = make_menu({{"&Open...\tCtrl+O", MENU_OPEN},
                            {"Open &samples", MENU_OPEN_SAMPLES},
                            {"&Close\tCtrl+F4", MENU_CLOSE},
                            {nullptr, 0},
                            {"E&xit\tAlt+F4", MENU_EXIT}});
    HMENU search = make_menu({{"&Find...\tCtrl+F", MENU_FIND},
                              {"Find &next\tF3", MENU_FIND_NEXT},
                              {"&Go to line...\tCtrl+G", MENU_GO_TO}});
    HMENU view = make_menu({{"&Colours...", MENU_COLORS},
                            {"&Zoom", MENU_ZOOM},
                            {"Next &document\tCtrl+F6", MENU_NEXT_DOCUMENT}});
    HMENU help = make_menu({{"&About", MENU_ABOUT}});
    HMENU bar = window_menu(&viewer.frame);
    insert_menu_item(bar, 0, "&File", MF_POPUP, reinterpret_cast<UINT_PTR>(file));
    insert_menu_item(bar, 1, "&Search", MF_POPUP, reinterpret_cast<UINT_PTR>(search));
    insert_menu_item(bar, 2, "&View", MF_POPUP, reinterpret_cast<UINT_PTR>(view));
    append_menu_item(bar, "&Help", MF_POPUP, reinterpret_cast<UINT_PTR>(help));
    attach_menu(&viewer.frame, bar); // the same bar: drawn again
}

// Ask for files with the platform's open dialog and open each.
void open_with_dialog() {
    char* names = static_cast<char*>(heap_alloc(OPEN_BUFFER));
    if (names == nullptr) {
        return;
    }
    // NOTE: the open dialog is COMDLG32's, which the runtime does not stand on: the viewer
    // calls it directly. Several files come back as the folder, then each name, then "".
    OPENFILENAMEA request = {};
    request.lStructSize = sizeof(request);
    request.hwndOwner = viewer.frame.hwnd;
    request.lpstrFilter = "All files\0*.*\0Texts\0*.txt\0Pictures\0*.bmp;*.ico;*.emf;*.gif;"
                          "*.jpg;*.jpeg;*.png\0";
    request.lpstrFile = names;
    request.nMaxFile = OPEN_BUFFER;
    request.lpstrTitle = "Open";
    request.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    if (::GetOpenFileNameA(&request)) {
        const char* folder = names;
        const char* file = folder + string_length(folder) + 1;
        if (*file == '\0') {
            viewer_open_file(folder); // one file: its whole path
        }
        for (; *file != '\0'; file += string_length(file) + 1) {
            char* path = string_concat({folder, "\\", file});
            viewer_open_file(path);
            heap_free(path);
        }
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
        viewer_find_next(active);
        return 1;
    case MENU_GO_TO:
        viewer_go_to_line(active);
        return 1;
    case MENU_COLORS:
        viewer_choose_colors();
        return 1;
    case MENU_ZOOM:
        viewer_open_zoom(active);
        return 1;
    case MENU_NEXT_DOCUMENT:
        mdi_next(&viewer.frame);
        return 1;
    case MENU_ABOUT:
        message_box(&viewer.frame,
                    "Tarrowind Viewer 1.0\n\nShows text files and pictures, each in its own "
                    "window.\nWritten on the Tarrowind runtime.",
                    "About", MB_OK);
        return 1;
    default:
        return 0; // the "&Window" items and the window list are the frame's own
    }
}

// Give a window the viewer's keyboard shortcuts.
void viewer_add_shortcuts(WindowRecord* window) {
    for (const Shortcut& shortcut : SHORTCUTS) {
        add_accelerator(window, shortcut.key, shortcut.modifiers, shortcut.command);
    }
}

// Open the frame window with its menus, shortcuts and clock; 1 when it exists.
int32_t viewer_open_frame() {
    constexpr uint32_t FRAME_FLAGS =
        WF_MDI_FRAME | WF_NO_BACKING | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    if (open_window(&viewer.frame, 0, 0, FRAME_WIDTH, FRAME_HEIGHT, FRAME_FLAGS, nullptr,
                    VIEWER_NAME, frame_event) == 0) {
        return 0;
    }
    viewer.text_color = RGB(0, 0, 0);
    viewer.back_color = RGB(255, 255, 255);
    center_window(&viewer.frame);
    build_menus();
    viewer_add_shortcuts(&viewer.frame);
    ::DragAcceptFiles(viewer.frame.hwnd, TRUE); // NOTE: SHELL32, as for the drop itself
    show_clock();
    start_timer(&viewer.frame, CLOCK_INTERVAL_MS, CLOCK_TIMER, clock_tick);
    return 1;
}

// Close every document, the dialogs and the frame (without ending the program).
void viewer_close_all() {
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
