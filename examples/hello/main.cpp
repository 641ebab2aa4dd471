// Hello: the smallest program on the runtime, the one the README shows. A window with two
// lines of text that stay until the window is closed, the second in several scripts. Its
// strings are UTF-8, the program's code page (the runtime's package makes it so).
#include "runtime/core/core.h"
#include "runtime/draw/draw.h"
#include "runtime/window/window.h"

WindowRecord main_window;

intptr_t on_event() {
    if (event_state.event_class == EV_CLOSE_REQUEST) {
        close_window(&main_window);
        program_end();
    }
    return 0;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    runtime_startup();
    open_window(&main_window, 0, 0, 320, 200, 0, nullptr, "Hello", on_event);
    center_window(&main_window);
    move_to(&main_window, 10, 10);
    text_print(2, PRINT_WINDOW, &main_window, PRINT_TEXT, "Hello from the runtime");
    move_to(&main_window, 10, 40);
    text_print(2, PRINT_WINDOW, &main_window, PRINT_TEXT, "Γειά σου · Привет · 你好");
    for (;;)
        process_events(0);
}
