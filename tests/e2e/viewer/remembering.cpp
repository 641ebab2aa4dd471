// What the viewer remembers, checked from outside across restarts: the frame's place and
// size, maximised documents, the colours, the font and the recent files on the File menu
// survive a restart; a damaged settings file, or one with unusable values, gives the
// defaults and is written whole again at the end.
// Relies on views.cpp's starting of the viewer (settings kept or forgotten), input and
// drawing of documents.
#include "viewer_check.h"

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

void write_file(const std::string& path, const std::string& bytes) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    if (file != INVALID_HANDLE_VALUE) {
        ::WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
        ::CloseHandle(file);
    }
}

// Ends the viewer with Alt+F4 and waits for it, so that it writes its settings.
bool end_viewer(RunningProgram& viewer) {
    ::SetForegroundWindow(viewer.window);
    press(VK_F4, {VK_MENU});
    DWORD code = 1;
    const bool ended = program_wait_exit(viewer, PATIENCE_MS, code);
    program_kill(viewer);
    return ended && code == 0;
}

// 1 when the settings file is whole: its first and last lines.
bool settings_whole() {
    const std::string text = read_whole_file(settings_path());
    return text.rfind("[settings]\r\n", 0) == 0 && text.size() > 7 &&
           text.compare(text.size() - 7, 7, "[end]\r\n") == 0;
}

std::string rect_text(const RECT& r) {
    return format("(%ld,%ld)-(%ld,%ld)", r.left, r.top, r.right, r.bottom);
}

// A first run that moves the frame, maximises a document and chooses colours; a second
// that must find them all, the recent files on the File menu and a font set in the file.
void check_restart(const std::string& folder) {
    const char* const names[] = {"many-lines.txt", "picture.bmp"};
    RunningProgram viewer;
    if (!start_viewer(viewer, folder, names, 2, "settings: a first run") ||
        !wait_document_count(mdi_client_of(viewer.window), 2, PATIENCE_MS)) {
        program_kill(viewer);
        return;
    }
    const RECT place{40, 30, 760, 550};
    ::SetWindowPos(viewer.window, nullptr, place.left, place.top, place.right - place.left,
                   place.bottom - place.top, SWP_NOZORDER);
    HWND client = mdi_client_of(viewer.window);
    send(client, WM_MDIMAXIMIZE, WPARAM(activate(viewer, client, "many-lines.txt")), 0);
    program_command(viewer, VIEWER_CMD_COLORS);
    HWND colours = wait_dialog(viewer, "KalvorineDlgClass", "Colours");
    press(VK_DOWN); // text: White
    press(VK_TAB);
    press(VK_DOWN); // background: Navy
    press(VK_RETURN);
    poll_until(PATIENCE_MS, [&] { return !::IsWindow(colours); });
    report("settings: the first run ends and leaves a whole settings file",
           end_viewer(viewer) && settings_whole(), read_whole_file(settings_path()));

    // A font written into the file by hand is taken as the viewer's own.
    std::string text = read_whole_file(settings_path());
    const size_t at = text.find("font.points=10");
    if (at != std::string::npos)
        text.replace(at, 14, "font.points=12");
    write_file(settings_path(), text);

    if (!start_viewer(viewer, folder, nullptr, 0, "settings: a second run", true))
        return;
    RECT seen = window_rect(viewer.window);
    report("settings: the frame opens where and as large as it was", ::EqualRect(&seen, &place),
           rect_text(seen));
    client = mdi_client_of(viewer.window);
    // Alt+F opens the File menu, whose recent files are numbered, newest first.
    for (const char* key : {"1", "2"}) {
        ::SetForegroundWindow(viewer.window);
        press('F', {VK_MENU});
        poll_until(PATIENCE_MS, [] { // the menu's own loop takes the number
            HWND menu = ::FindWindowA("#32768", nullptr);
            return menu && ::IsWindowVisible(menu);
        });
        type(key);
        poll_until(PATIENCE_MS,
                   [] { return !::IsWindowVisible(::FindWindowA("#32768", nullptr)); });
    }
    report("settings: the recent files open from the File menu by their numbers",
           wait_document_count(client, 2, PATIENCE_MS) && document_named(client, "picture.bmp") &&
               document_named(client, "many-lines.txt"),
           format("%d documents", int(document_windows(client).size())));
    HWND doc = document_named(client, "many-lines.txt");
    report("settings: documents open maximised as they were", doc && ::IsZoomed(doc),
           "not maximised");
    TextView view;
    view.lines = read_lines(folder + "many-lines.txt");
    view.ink = WHITE;
    view.paper = NAVY;
    view.points = 12;
    check_view(doc, view, "settings: texts show in the remembered colours and font");
    program_kill(viewer);
}

// Settings files that give the defaults: the frame centred at its size, black on white.
void check_damaged(const std::string& folder) {
    struct Damage {
        const char* name;
        std::string bytes;
    };
    const Damage damages[] = {
        {"rubbish", std::string("\x00\xFF\xFE rubbish\r\n\x01\x02", 15)},
        {"a file cut short", "[settings]\r\nframe.x=40\r\nframe.y=30\r\nframe.width=720\r\n"},
        {"unusable values",
         "[settings]\r\nframe.x=-30000\r\nframe.y=0\r\nframe.width=5\r\nframe.height=99999\r\n"
         "colors.text=255\r\ncolors.background=255\r\nfont.points=999\r\nfont.face=\r\n"
         "recent.1=\\q\r\n[end]\r\n"},
    };
    const char* const names[] = {"line-ends.txt"};
    for (const Damage& damage : damages) {
        ::CreateDirectoryA(settings_path().substr(0, settings_path().rfind('\\')).c_str(), nullptr);
        write_file(settings_path(), damage.bytes);
        RunningProgram viewer;
        const std::string check = std::string("settings: ") + damage.name;
        if (!start_viewer(viewer, folder, names, 1, (check + ": the viewer starts").c_str(), true))
            continue;
        HWND client = mdi_client_of(viewer.window);
        wait_document_count(client, 1, PATIENCE_MS);
        const RECT r = window_rect(viewer.window);
        report(check + ": the frame opens at its usual size",
               r.right - r.left == VIEWER_FRAME_WIDTH && r.bottom - r.top == VIEWER_FRAME_HEIGHT,
               rect_text(r));
        TextView view;
        view.lines = read_lines(folder + names[0]);
        check_view(document_named(client, names[0]), view,
                   check + ": texts black on white in the usual font");
        report(check + ": the file is whole again after the run",
               end_viewer(viewer) && settings_whole(), read_whole_file(settings_path()));
    }
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Runs the checks of the settings file: a restart, damaged files.
void run_remembering_checks() {
    const std::string folder = viewer_files_folder();
    check_restart(folder);
    check_damaged(folder);
    ::DeleteFileA(settings_path().c_str());
}
