// The checks of a text's edges, with real input: a drag held still below the window keeps
// scrolling and stops when the button is let go; a short text in a maximised window shows
// no scroll bar.
#include "viewer_check.h"

namespace {

// The pixels of a document's first row.
Picture first_row(HWND doc) {
    RECT area{};
    ::GetClientRect(doc, &area);
    return capture_client(doc, 0, VIEWER_TEXT_MARGIN, area.right, row_height());
}

// The first row comes to differ from a picture of it.
bool first_row_changes(HWND doc, const Picture& from, DWORD patience) {
    return poll_until(patience, [&] { return differences_up_to(first_row(doc), from, 1) > 0; });
}

void check_drag_beyond_edge(const RunningProgram& viewer, HWND client) {
    HWND doc = activate(viewer, client, "many-lines.txt");
    if (!report("edges: many-lines.txt takes the keyboard", doc != nullptr, "no document"))
        return;
    RECT area{};
    ::GetClientRect(doc, &area);
    POINT down{VIEWER_TEXT_MARGIN + 5, VIEWER_TEXT_MARGIN + row_height() / 2};
    POINT below{area.right / 2, area.bottom + 2 * row_height()};
    ::ClientToScreen(doc, &down);
    ::ClientToScreen(doc, &below);
    INPUT press_and_leave[2] = {mouse_at(down, MOUSEEVENTF_LEFTDOWN), mouse_at(below, 0)};
    ::SendInput(2, press_and_leave, sizeof(INPUT));
    // The move below scrolls once; the rows go on scrolling with the mouse standing still.
    Picture seen = first_row(doc);
    first_row_changes(doc, seen, PATIENCE_MS);
    int changes = 0;
    for (; changes < 3; changes++) {
        seen = first_row(doc);
        if (!first_row_changes(doc, seen, 3000))
            break;
    }
    report("edges: a drag held still below the window keeps scrolling", changes == 3,
           format("the rows moved %d times after the pointer stopped", changes));
    INPUT release = mouse_at(below, MOUSEEVENTF_LEFTUP);
    ::SendInput(1, &release, sizeof(INPUT));
    // The viewer has handled the release once it lets the mouse go (a busy one may handle
    // it well after the button is up); the release itself may still scroll a row.
    const DWORD thread = ::GetWindowThreadProcessId(doc, nullptr);
    report("edges: the viewer lets the mouse go when the button is let go",
           poll_until(PATIENCE_MS,
                      [&] {
                          GUITHREADINFO info{};
                          info.cbSize = sizeof info;
                          return ::GetGUIThreadInfo(thread, &info) && info.hwndCapture == nullptr;
                      }),
           "the document still holds the mouse");
    seen = first_row(doc);
    first_row_changes(doc, seen, 500);
    seen = first_row(doc);
    report("edges: the scrolling stops when the button is let go",
           !first_row_changes(doc, seen, 1000), "the rows went on moving");
}

// A short text opened maximised in a maximised frame, as the settings remember them, and
// maximised again after a restore: no bar either time.
void check_short_text_maximised(const std::string& folder) {
    ::CreateDirectoryA(settings_path().substr(0, settings_path().rfind('\\')).c_str(), nullptr);
    const std::string maximised = "[settings]\r\nframe.maximized=1\r\ndocuments.maximized=1\r\n";
    HANDLE file = ::CreateFileA(settings_path().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                0, nullptr);
    DWORD written = 0;
    ::WriteFile(file, maximised.data(), DWORD(maximised.size()), &written, nullptr);
    ::CloseHandle(file);
    const char* const names[] = {"utf8.txt"};
    RunningProgram viewer;
    if (!start_viewer(viewer, folder, names, 1, "edges: the viewer starts maximised", true))
        return;
    HWND client = mdi_client_of(viewer.window);
    HWND doc =
        wait_document_count(client, 1, PATIENCE_MS) ? document_named(client, "utf8.txt") : nullptr;
    for (const char* when : {"opened", "maximised again"}) {
        LONG style = 0;
        const bool bare =
            doc && poll_until(PATIENCE_MS, [&] {
                style = ::GetWindowLongW(doc, GWL_STYLE) | ::GetWindowLongW(client, GWL_STYLE);
                return ::IsZoomed(doc) && (style & (WS_VSCROLL | WS_HSCROLL)) == 0;
            });
        report(std::string("edges: a short text ") + when +
                   " in a maximised window shows no scroll bar",
               bare,
               format("maximised %d, a vertical bar %d, a horizontal bar %d (the document's or the "
                      "frame's)",
                      doc && ::IsZoomed(doc) ? 1 : 0, (style & WS_VSCROLL) ? 1 : 0,
                      (style & WS_HSCROLL) ? 1 : 0));
        if (doc) {
            send(client, WM_MDIRESTORE, WPARAM(doc), 0);
            send(client, WM_MDIMAXIMIZE, WPARAM(doc), 0);
        }
    }
    program_command(viewer, VIEWER_CMD_EXIT);
    DWORD code = 0;
    if (!program_wait_exit(viewer, PATIENCE_MS, code))
        program_kill(viewer);
}

} // namespace

// Runs the checks of a drag past the window's edge and of scroll bars on a run of their own.
void run_edge_checks() {
    const std::string folder = viewer_files_folder();
    const char* const names[] = {"many-lines.txt"};
    RunningProgram viewer;
    if (start_viewer(viewer, folder, names, 1, "edges: the viewer starts with a text")) {
        HWND client = mdi_client_of(viewer.window);
        if (wait_document_count(client, 1, PATIENCE_MS)) {
            bring_to_front(viewer);
            check_drag_beyond_edge(viewer, client);
        }
        program_command(viewer, VIEWER_CMD_EXIT);
        DWORD code = 0;
        if (!program_wait_exit(viewer, PATIENCE_MS, code))
            program_kill(viewer);
    }
    check_short_text_maximised(folder);
}
