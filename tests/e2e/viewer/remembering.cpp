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
    bring_to_front(viewer);
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

// A name with letters outside ASCII, in the ANSI code page the viewer's paths are in.
std::string ansi(const wchar_t* name) {
    char text[MAX_PATH] = {};
    ::WideCharToMultiByte(CP_ACP, 0, name, -1, text, sizeof text, nullptr, nullptr);
    return text;
}

// Chooses a font size with View > Font..., the platform's font dialog, from the keyboard.
void choose_font_size(const RunningProgram& viewer, const char* points) {
    program_command(viewer, VIEWER_CMD_FONT);
    HWND dialog = wait_dialog(viewer, "#32770", "Font");
    if (!report("View > Font... opens the platform's font dialog", dialog != nullptr, "no dialog"))
        return;
    press('S', {VK_MENU}); // "&Size:"
    press(VK_HOME);
    press(VK_END, {VK_SHIFT});
    type(points);
    press(VK_RETURN);
    report("the font dialog ends with Enter",
           poll_until(PATIENCE_MS, [&] { return !::IsWindow(dialog); }), "it stayed open");
}

// A first run that opens three files (the last one in a folder of its own, both named with
// an accented letter), moves the frame, maximises a document and chooses a font and colours;
// a second that must find them all: the frame's place, the last folder in the open dialog,
// the recent files on the File menu, the documents maximised, the colours and the font.
void check_restart(const std::string& folder) {
    const std::string accented = ansi(L"notes \u00e9.txt"), elsewhere = ansi(L"dossier \u00e9\\");
    ::CreateDirectoryA((folder + elsewhere).c_str(), nullptr);
    ::CopyFileA((folder + "line-ends.txt").c_str(), (folder + elsewhere + accented).c_str(), FALSE);
    const std::string last = elsewhere + accented;
    const char* const names[] = {"many-lines.txt", "picture.bmp", last.c_str()};
    RunningProgram viewer;
    if (!start_viewer(viewer, folder, names, 3, "settings: a first run") ||
        !wait_document_count(mdi_client_of(viewer.window), 3, PATIENCE_MS)) {
        program_kill(viewer);
        return;
    }
    HWND client = mdi_client_of(viewer.window);
    report("a file named with an accented letter opens under its name",
           document_named(client, accented) != nullptr, "no document \"" + accented + "\"");
    const RECT place{40, 30, 760, 550};
    ::SetWindowPos(viewer.window, nullptr, place.left, place.top, place.right - place.left,
                   place.bottom - place.top, SWP_NOZORDER);
    HWND doc = activate(viewer, client, "many-lines.txt");
    send(client, WM_MDIMAXIMIZE, WPARAM(doc), 0);
    TextView view;
    view.lines = read_lines(folder + "many-lines.txt");
    view.points = 12;
    choose_font_size(viewer, "12");
    check_view(doc, view, "View > Font: the texts redrawn in the font chosen");
    program_command(viewer, VIEWER_CMD_COLORS);
    HWND colours = wait_dialog(viewer, "KalvorineDlgClass", "Colours");
    press(VK_DOWN); // text: White
    press(VK_TAB);
    press(VK_DOWN); // background: Navy
    press(VK_RETURN);
    poll_until(PATIENCE_MS, [&] { return !::IsWindow(colours); });
    report("settings: the first run ends and leaves a whole settings file",
           end_viewer(viewer) && settings_whole(), read_whole_file(settings_path()));

    if (!start_viewer(viewer, folder, nullptr, 0, "settings: a second run", true))
        return;
    RECT seen = window_rect(viewer.window);
    report("settings: the frame opens where and as large as it was", ::EqualRect(&seen, &place),
           rect_text(seen));
    client = mdi_client_of(viewer.window);
    // Alt+F opens the File menu, whose recent files are numbered, newest first, and each
    // one opened goes to the top: the third and oldest, three times over, opens all three.
    for (int time = 0; time < 3; time++)
        menu_choose(viewer, 'F', '3');
    report("settings: the recent files open from the File menu by their numbers",
           wait_document_count(client, 3, PATIENCE_MS) && document_named(client, "picture.bmp") &&
               document_named(client, "many-lines.txt") && document_named(client, accented),
           format("%d documents", int(document_windows(client).size())));
    doc = document_named(client, accented); // opened last
    report("settings: documents open maximised as they were", doc && ::IsZoomed(doc),
           "not maximised");
    doc = activate(viewer, client, "many-lines.txt");
    view.ink = WHITE;
    view.paper = NAVY;
    check_view(doc, view, "settings: texts show in the remembered colours and font");
    // The open dialog starts in the folder of the last file opened, whatever folder it
    // remembers itself: a bare name is found there.
    bring_to_front(viewer);
    press('O', {VK_CONTROL});
    HWND dialog = wait_dialog(viewer, "#32770", "Open");
    HWND name = ::GetDlgItem(dialog, 0x47C); // the file name box: a combo box, or an edit
    send(name ? name : ::GetDlgItem(dialog, 0x480), WM_SETTEXT, 0, LPARAM(accented.c_str()));
    ::PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    report("settings: the open dialog starts in the folder of the last file opened",
           wait_document_count(client, 4, PATIENCE_MS),
           format("%d documents", int(document_windows(client).size())));
    program_kill(viewer);
    ::DeleteFileA((folder + last).c_str());
    ::RemoveDirectoryA((folder + elsewhere).c_str());
}

// Settings files that give the defaults: the frame centred at its size, black on white.
void check_damaged(const std::string& folder) {
    struct Damage {
        const char* name;
        std::string bytes;
        const char* recent = ""; // the recent files written at the end, after the one opened
    };
    const Damage damages[] = {
        {"rubbish", std::string("\x00\xFF\xFE rubbish\r\n\x01\x02", 15)},
        {"a file cut short", "[settings]\r\nframe.x=40\r\nframe.y=30\r\nframe.width=720\r\n"},
        {"unusable values",
         "[settings]\r\nframe.x=-30000\r\nframe.y=0\r\nframe.width=5\r\nframe.height=99999\r\n"
         "colors.text=255\r\ncolors.background=255\r\nfont.points=999\r\nfont.face=\r\n"
         "recent.1=\\q\r\n[end]\r\n"},
        {"a face not installed",
         "[settings]\r\nfont.face=No such face\r\nfont.points=12\r\n[end]\r\n"},
        {"a recent file named twice",
         "[settings]\r\nrecent.1=C:/a.txt\r\nrecent.2=C:/b.txt\r\nrecent.3=C:/c.txt\r\n"
         "recent.4=C:/d.txt\r\nrecent.5=C:/B.TXT\r\nrecent.6=C:/e.txt\r\n"
         "recent.7=C:/f.txt\r\nrecent.8=C:/g.txt\r\n[end]\r\n",
         "recent.2=C:/a.txt\r\nrecent.3=C:/b.txt\r\nrecent.4=C:/c.txt\r\n"
         "recent.5=C:/d.txt\r\nrecent.6=C:/e.txt\r\nrecent.7=C:/f.txt\r\n"},
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
        if (*damage.recent) {
            const std::string text = read_whole_file(settings_path());
            report(check + ": each file listed once, the others kept in order",
                   text.find(damage.recent) != std::string::npos, text);
        }
    }
}

// The frame's place written when a move or resize ends and when it is maximised, so that
// a viewer ended without a word (killed) still has it.
void check_crash(const std::string& folder) {
    const char* const names[] = {"line-ends.txt"};
    RunningProgram viewer;
    if (!start_viewer(viewer, folder, names, 1, "settings: a run that will be killed"))
        return;
    const struct {
        const char* name;
        const char* written; // a line the settings file comes to hold
    } steps[] = {
        {"a move and resize ended", "frame.x=50\r\nframe.y=40\r\nframe.width=700\r\n"
                                    "frame.height=500\r\n"},
        {"maximised", "frame.maximized=1\r\n"},
        {"restored", "frame.maximized=0\r\n"},
    };
    for (const auto& step : steps) {
        if (&step == steps) {
            // As the platform's own move and size loop ends: the new place, then its end.
            ::SetWindowPos(viewer.window, nullptr, 50, 40, 700, 500, SWP_NOZORDER);
            send(viewer.window, WM_EXITSIZEMOVE, 0, 0);
        } else {
            send(viewer.window, WM_SYSCOMMAND, &step == steps + 1 ? SC_MAXIMIZE : SC_RESTORE, 0);
        }
        std::string text;
        report("settings: the frame's place is written when " + std::string(step.name),
               poll_until(PATIENCE_MS,
                          [&] {
                              text = read_whole_file(settings_path());
                              return text.find(step.written) != std::string::npos;
                          }),
               text);
    }
    program_kill(viewer);
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Runs the checks of the settings file: a restart, damaged files.
void run_remembering_checks() {
    const std::string folder = viewer_files_folder();
    check_restart(folder);
    check_crash(folder);
    check_damaged(folder);
    ::DeleteFileA(settings_path().c_str());
}
