// The viewer's frame and program body: the `viewer` record, the MDI frame with its "&File",
// "&Window" and "&Help" menus, the clock in its caption, its commands, and the end.
// Relies on the runtime's windows, menus, timers, message boxes and event pump; on
// documents.cpp for what the documents show.
#include "examples/viewer/viewer.h"

#include <cstdio>

// ============================================================================
// Module state
// ============================================================================

ViewerState viewer;

namespace {

constexpr UINT_PTR CLOCK_TIMER = 1;
constexpr uint32_t CLOCK_INTERVAL_MS = 1000;
constexpr int32_t FRAME_WIDTH = 900;
constexpr int32_t FRAME_HEIGHT = 680;

// ============================================================================
// Internal helpers
// ============================================================================

// Show the program's name and the time of day in the frame's caption.
void show_clock() {
    // NOTE: the runtime's clock counts milliseconds since start-up; the time of day comes
    // from KERNEL32, and a caption is changed with USER32: the runtime sets captions only
    // when it makes a window.
    SYSTEMTIME now = {};
    ::GetLocalTime(&now);
    std::snprintf(viewer.clock_text, sizeof(viewer.clock_text), "%02u:%02u:%02u",
                  static_cast<unsigned>(now.wHour), static_cast<unsigned>(now.wMinute),
                  static_cast<unsigned>(now.wSecond));
    char* caption = string_concat({VIEWER_NAME, " - ", viewer.clock_text});
    ::SetWindowTextA(viewer.frame.hwnd, caption);
    heap_free(caption);
}

// Timer callback of the clock: the platform calls it from the event pump every second.
void CALLBACK clock_tick(HWND, UINT, UINT_PTR, DWORD) {
    show_clock();
}

// Put "&File" before the runtime's "&Window" menu and "&Help" after it.
void build_menus() {
    HMENU file_menu = create_menu(1);
    append_menu_item(file_menu, "&Open samples", MF_STRING, MENU_OPEN_SAMPLES);
    append_menu_item(file_menu, "&Close", MF_STRING, MENU_CLOSE);
    append_menu_item(file_menu, "", MF_SEPARATOR, 0);
    append_menu_item(file_menu, "E&xit", MF_STRING, MENU_EXIT);
    HMENU help_menu = create_menu(1);
    append_menu_item(help_menu, "&About", MF_STRING, MENU_ABOUT);

    // NOTE: the runtime builds the frame's bar with its "&Window" menu and can only append
    // to a menu or replace a bar; the bar is fetched and "&File" inserted before "&Window"
    // with USER32 directly, so that the runtime's menu stays the one the MDI client lists
    // its windows in.
    HMENU bar = ::GetMenu(viewer.frame.hwnd);
    ::InsertMenuA(bar, 0, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(file_menu), "&File");
    append_menu_item(bar, "&Help", MF_POPUP, reinterpret_cast<UINT_PTR>(help_menu));
    ::DrawMenuBar(viewer.frame.hwnd);
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
        switch (event_state.menu_id) {
        case MENU_OPEN_SAMPLES:
            viewer_open_samples();
            return 1;
        case MENU_CLOSE:
            // The runtime names the MDI client's top child, the active document, as the
            // event's window.
            viewer_close_document(viewer_document_of(event_state.event_window));
            return 1;
        case MENU_EXIT:
            viewer_end();
        case MENU_ABOUT:
            message_box(&viewer.frame,
                        "Tarrowind Viewer 1.0\n\nShows text files and pictures, each in its own "
                        "window.\nWritten on the Tarrowind runtime.",
                        "About", MB_OK);
            return 1;
        default:
            return 0; // the "&Window" items and the window list are the frame's own
        }
    default:
        return 0;
    }
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Open the frame window with its menus and clock; 1 when it exists.
int32_t viewer_open_frame() {
    constexpr uint32_t FRAME_FLAGS =
        WF_MDI_FRAME | WF_NO_BACKING | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    if (open_window(&viewer.frame, 0, 0, FRAME_WIDTH, FRAME_HEIGHT, FRAME_FLAGS, nullptr,
                    VIEWER_NAME, frame_event) == 0) {
        return 0;
    }
    center_window(&viewer.frame);
    build_menus();
    show_clock();
    start_timer(&viewer.frame, CLOCK_INTERVAL_MS, CLOCK_TIMER, clock_tick);
    return 1;
}

// Close every document and the frame (without ending the program).
void viewer_close_all() {
    for (Document& document : viewer.documents) {
        viewer_close_document(&document);
    }
    close_window(&viewer.frame);
}

// Program body: open the frame, open every named file, then handle events until the end.
void viewer_main(int32_t file_count, char** file_names) {
    if (viewer_open_frame() == 0) {
        message_box(nullptr, "The viewer's window could not be opened.", "Error", MB_OK);
        return;
    }
    for (int32_t i = 0; i < file_count; ++i) {
        viewer_open_file(file_names[i]);
    }
    for (;;) {
        process_events(0);
    }
}
