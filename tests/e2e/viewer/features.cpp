// The viewer's commands checked from outside, with real keyboard and mouse input: texts in
// UTF-8, UTF-16 and with tabs read back as pixels; scrolling by key, wheel and scroll bar;
// Go to line with its refusal; Find with its highlight, F3, its Tab order and a document
// that keeps working; Colours; the open dialog; Zoom; and the shortcuts that close, switch
// and end.
// Relies on the shared end-to-end helpers and on outside.cpp's document helpers; draws its
// references with GDI, knowing the viewer only by its looks and commands.
#include "viewer_check.h"

#include <algorithm>
#include <cstdlib>

// ============================================================================
// Module state
// ============================================================================

namespace {

constexpr int ID_LINE = 101, ID_FIND_TEXT = 201, ID_MATCH_CASE = 202, ID_FIND_NEXT = 203,
              ID_FIND_STATUS = 204, ID_TEXT_SAMPLE = 303, ID_BACK_SAMPLE = 304;
constexpr int CMD_COLORS = 40009, CMD_ZOOM = 40010;
constexpr COLORREF WHITE = RGB(255, 255, 255), BLACK = RGB(0, 0, 0), NAVY = RGB(0, 0, 128);

const char* const FEATURE_FILES[] = {"utf8.txt", "utf8-bom.txt", "utf16.txt",
                                     "tabs.txt", "big.bmp",      "many-lines.txt"};
constexpr int FEATURE_FILE_COUNT = 6;
const wchar_t* const UNICODE_LINES[] = {L"Gr\u00fc\u00dfe aus K\u00f6ln",
                                        L"Caf\u00e9 \u00e0 la cr\u00e8me", L"Price: 5 \u20ac",
                                        L"Not in the code page: \u4e2d"};

// What a text document shows: its lines from top, a highlight, its colours.
struct TextView {
    std::vector<std::string> lines;
    int top = 0;
    int match_line = -1, match_start = 0, match_length = 0;
    COLORREF ink = BLACK, paper = WHITE;
};

// ============================================================================
// Internal helpers
// ============================================================================

// A key pressed and let go with modifiers held, through the real input queue.
void press(WORD key, const std::vector<WORD>& modifiers = {}) {
    std::vector<INPUT> keys;
    auto add = [&](WORD vk, DWORD flags) {
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = vk;
        in.ki.dwFlags = flags;
        keys.push_back(in);
    };
    for (WORD m : modifiers)
        add(m, 0);
    add(key, 0);
    add(key, KEYEVENTF_KEYUP);
    for (WORD m : modifiers)
        add(m, KEYEVENTF_KEYUP);
    ::SendInput(UINT(keys.size()), keys.data(), sizeof(INPUT));
    ::Sleep(30);
}

void type(const std::string& text) {
    for (char c : text) {
        const SHORT scan = ::VkKeyScanA(c);
        if (scan & 0x100)
            press(LOBYTE(scan), {VK_SHIFT});
        else
            press(LOBYTE(scan));
    }
}

// A left click at a screen point, through the real input queue.
void click_at(int x, int y) {
    ::SetCursorPos(x, y);
    INPUT in[2]{};
    in[0].type = in[1].type = INPUT_MOUSE;
    in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ::SendInput(2, in, sizeof(INPUT));
    ::Sleep(30);
}

void wheel(HWND over, int notches) {
    RECT r = window_rect(over);
    ::SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = MOUSEEVENTF_WHEEL;
    in.mi.mouseData = DWORD(-WHEEL_DELTA * notches);
    ::SendInput(1, &in, sizeof(INPUT));
}

// The window with the keyboard focus in the viewer's thread.
HWND focus_of(const RunningProgram& viewer) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    ::GetGUIThreadInfo(viewer.info.dwThreadId, &info);
    return info.hwndFocus;
}

// A dialog of the viewer with the caption, once it shows.
HWND wait_dialog(const RunningProgram& viewer, const char* klass, const char* caption) {
    HWND found = nullptr;
    poll_until(PATIENCE_MS, [&] {
        found = ::FindWindowA(klass, caption);
        DWORD owner = 0;
        ::GetWindowThreadProcessId(found, &owner);
        return found && owner == viewer.info.dwProcessId && ::IsWindowVisible(found);
    });
    return found;
}

// The lines as the viewer shows them: tabs expanded to every 8th column.
std::vector<std::string> expanded(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (const std::string& line : lines) {
        std::string row;
        for (char c : line)
            row += c == '\t' ? std::string(8 - row.size() % 8, ' ') : std::string(1, c);
        out.push_back(row);
    }
    return out;
}

// The ANSI text of a wide line, "?" for what the code page lacks.
std::string ansi(const wchar_t* wide) {
    char text[128] = {};
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, text, sizeof text, "?", nullptr);
    return text;
}

// What a text document of the client size shows for a view.
Picture expected_view(int width, int height, const TextView& view) {
    const int row = row_height();
    const int rows = (height - 3 * VIEWER_TEXT_MARGIN - row) / row;
    size_t longest = 0;
    for (const std::string& line : view.lines)
        longest = std::max(longest, line.size());
    Canvas c = canvas_open(width, height);
    RECT all{0, 0, width, height};
    HBRUSH paper = ::CreateSolidBrush(view.paper);
    ::FillRect(c.dc, &all, paper);
    ::DeleteObject(paper);
    ::SetBkMode(c.dc, OPAQUE);
    for (int i = 0; i < rows && view.top + i < int(view.lines.size()); i++) {
        const std::string& line = view.lines[view.top + i];
        const int y = VIEWER_TEXT_MARGIN + i * row;
        ::SetTextColor(c.dc, view.ink);
        ::SetBkColor(c.dc, view.paper);
        ::TextOutA(c.dc, VIEWER_TEXT_MARGIN, y, line.c_str(), int(line.size()));
        if (view.top + i == view.match_line) {
            SIZE before{};
            ::GetTextExtentPoint32A(c.dc, line.c_str(), view.match_start, &before);
            ::SetTextColor(c.dc, view.paper);
            ::SetBkColor(c.dc, view.ink);
            ::TextOutA(c.dc, VIEWER_TEXT_MARGIN + before.cx, y, line.c_str() + view.match_start,
                       view.match_length);
        }
    }
    RECT status{0, height - VIEWER_TEXT_MARGIN - row, width, height};
    ::FillRect(c.dc, &status, ::GetSysColorBrush(COLOR_WINDOW));
    std::string text = format("Lines: %d Longest: %u ", int(view.lines.size()), unsigned(longest));
    ::SetTextColor(c.dc, BLACK);
    ::SetBkColor(c.dc, WHITE);
    ::TextOutA(c.dc, VIEWER_TEXT_MARGIN, height - VIEWER_TEXT_MARGIN - row, text.c_str(),
               int(text.size()));
    return canvas_close(c);
}

// Reports whether a document's client area comes to show the view; saves both pictures
// when it does not.
bool check_view(HWND doc, const TextView& view, const std::string& check) {
    RECT r{};
    ::GetClientRect(doc, &r);
    Picture want = expected_view(r.right, r.bottom, view), seen;
    int differences = 0;
    poll_until(PATIENCE_MS, [&] {
        seen = capture_client(doc, 0, 0, r.right, r.bottom);
        differences = count_differences(want, seen);
        return differences == 0;
    });
    if (!report(check, differences == 0,
                format("%d of %dx%d pixels differ", differences, r.right, r.bottom)))
        save_failure_pictures("viewer-" + check.substr(0, 20), want, seen);
    return differences == 0;
}

// Activates a document by its caption and gives it the keyboard; null when it is missing.
HWND activate(const RunningProgram& viewer, HWND client, const std::string& name) {
    HWND doc = document_named(client, name);
    if (doc) {
        ::SetForegroundWindow(viewer.window);
        send(client, WM_MDIACTIVATE, WPARAM(doc), 0);
        poll_until(PATIENCE_MS, [&] { return focus_of(viewer) == doc; });
    }
    return doc;
}

void check_decoding(HWND client, const std::string& folder) {
    TextView unicode;
    for (const wchar_t* line : UNICODE_LINES)
        unicode.lines.push_back(ansi(line));
    for (const char* name : {"utf8.txt", "utf8-bom.txt", "utf16.txt"}) {
        HWND doc = document_named(client, name);
        send(client, WM_MDIACTIVATE, WPARAM(doc), 0);
        check_view(doc, unicode,
                   std::string(name) +
                       ": decoded into the ANSI code page, \"?\" where it lacks one");
    }
    TextView tabs;
    tabs.lines = expanded(split_lines(read_whole_file(folder + "tabs.txt")));
    HWND doc = document_named(client, "tabs.txt");
    send(client, WM_MDIACTIVATE, WPARAM(doc), 0);
    check_view(doc, tabs, "tabs.txt: tabs expanded to the next multiple of 8 columns");
}

// Rows of text a document shows.
int rows_of(HWND doc) {
    RECT r{};
    ::GetClientRect(doc, &r);
    return (r.bottom - 3 * VIEWER_TEXT_MARGIN - row_height()) / row_height();
}

void check_scrolling(const RunningProgram& viewer, HWND client, TextView& view) {
    HWND doc = activate(viewer, client, "many-lines.txt");
    if (!report("many-lines.txt takes the keyboard", doc != nullptr, "no such document"))
        return;
    const int rows = rows_of(doc), last = int(view.lines.size()) - rows;
    struct Step {
        const char* name;
        WORD key;
        std::vector<WORD> modifiers;
        int top;
    };
    const Step steps[] = {
        {"Page Down", VK_NEXT, {}, rows - 1},     {"Down", VK_DOWN, {}, rows},
        {"Ctrl+End", VK_END, {VK_CONTROL}, last}, {"Up", VK_UP, {}, last - 1},
        {"Page Up", VK_PRIOR, {}, last - rows},   {"Ctrl+Home", VK_HOME, {VK_CONTROL}, 0},
    };
    for (const Step& step : steps) {
        press(step.key, step.modifiers);
        view.top = step.top;
        check_view(doc, view,
                   format("scrolling: %s shows line %d at the top", step.name, step.top + 1));
    }
    // A taller window shows more lines, at the same size.
    RECT before = window_rect(doc);
    ::SetWindowPos(doc, nullptr, 0, 0, before.right - before.left,
                   before.bottom - before.top + 5 * row_height(),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    check_view(doc, view, "resizing: a taller window shows more lines, unstretched");
    wheel(doc, 2);
    view.top = 6;
    check_view(doc, view, "scrolling: two notches of the wheel move 6 lines down");
    // A click in the vertical bar under its thumb pages down.
    RECT client_area{};
    ::GetClientRect(doc, &client_area);
    POINT corner{client_area.right, client_area.bottom};
    ::ClientToScreen(doc, &corner);
    click_at(corner.x + ::GetSystemMetrics(SM_CXVSCROLL) / 2, corner.y - 30);
    view.top = 6 + rows_of(doc) - 1; // the rows of the taller window
    check_view(doc, view, "scrolling: a click in the scroll bar under its thumb pages down");
}

// What a picture document shows: the picture drawn from (-left, -top).
Picture expected_picture_at(int width, int height, const std::string& path, int left, int top) {
    Canvas c = canvas_open(width, height);
    RECT all{0, 0, width, height};
    ::FillRect(c.dc, &all, ::GetSysColorBrush(COLOR_WINDOW));
    HBITMAP bitmap = HBITMAP(::LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0,
                                          LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    HDC source = ::CreateCompatibleDC(c.dc);
    HGDIOBJ old = ::SelectObject(source, bitmap);
    ::BitBlt(c.dc, -left, -top, 600, 400, source, 0, 0, SRCCOPY);
    ::SelectObject(source, old);
    ::DeleteDC(source);
    ::DeleteObject(bitmap);
    return canvas_close(c);
}

// A picture larger than its window scrolls by key to its far corner.
void check_picture_scrolling(const RunningProgram& viewer, HWND client, const std::string& folder) {
    HWND doc = activate(viewer, client, "big.bmp");
    if (!report("big.bmp opens and takes the keyboard", doc != nullptr, "no such document"))
        return;
    press(VK_END);
    RECT r{};
    ::GetClientRect(doc, &r);
    Picture want = expected_picture_at(r.right, r.bottom, folder + "big.bmp", 600 - r.right,
                                       400 - r.bottom),
            seen;
    int differences = 0;
    poll_until(PATIENCE_MS, [&] {
        seen = capture_client(doc, 0, 0, r.right, r.bottom);
        return (differences = count_differences(want, seen)) == 0;
    });
    if (!report("a picture larger than its window scrolls to its far corner with End",
                differences == 0, format("%d pixels differ", differences)))
        save_failure_pictures("viewer-big-picture", want, seen);
}

void check_go_to(const RunningProgram& viewer, HWND client, TextView& view) {
    HWND doc = activate(viewer, client, "many-lines.txt");
    press('G', {VK_CONTROL});
    HWND dialog = wait_dialog(viewer, "KalvorineDlgClass", "Go to line");
    if (!report("Ctrl+G opens the modal \"Go to line\" dialog", dialog != nullptr, "no dialog"))
        return;
    report(
        "Go to line: the number's edit has the focus",
        poll_until(PATIENCE_MS, [&] { return focus_of(viewer) == ::GetDlgItem(dialog, ID_LINE); }),
        "the focus is elsewhere");
    press('A', {VK_CONTROL});
    type("9999");
    press(VK_RETURN);
    HWND box = wait_message_box(viewer, PATIENCE_MS);
    report("Go to line: a number past the end is refused with a message",
           box != nullptr && ::IsWindow(dialog), box ? "" : "no message box");
    RECT b{}, d = window_rect(dialog);
    report("Go to line: the message box is centred over the dialog",
           poll_until(PATIENCE_MS,
                      [&] {
                          b = window_rect(box);
                          return std::abs((b.left + b.right) - (d.left + d.right)) <= 1 &&
                                 std::abs((b.top + b.bottom) - (d.top + d.bottom)) <= 1;
                      }),
           format("box (%ld,%ld)-(%ld,%ld), dialog (%ld,%ld)-(%ld,%ld)", b.left, b.top, b.right,
                  b.bottom, d.left, d.top, d.right, d.bottom));
    if (box)
        close_message_box(box, PATIENCE_MS);
    press('A', {VK_CONTROL});
    type("250");
    press(VK_RETURN);
    report("Go to line: Enter in the number submits it",
           poll_until(PATIENCE_MS, [&] { return !::IsWindow(dialog); }), "the dialog stayed open");
    view.top = 249;
    check_view(doc, view, "Go to line 250 shows line 250 at the top");
}

// The picture at the top of the README: the documents tiled, the Find dialog over them.
void take_screenshot(const RunningProgram& viewer, HWND find) {
    program_command(viewer, VIEWER_CMD_TILE);
    ::Sleep(500); // a picture, not a check: the tiling has long settled by then
    RECT f = window_rect(viewer.window), d = window_rect(find);
    ::SetWindowPos(find, nullptr, f.right - (d.right - d.left) - 24,
                   f.bottom - (d.bottom - d.top) - 24, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::Sleep(300);
    png_write(launch_own_folder() + "viewer-screenshot.png",
              capture_screen(f.left, f.top, f.right - f.left, f.bottom - f.top));
}

void check_find(const RunningProgram& viewer, HWND client, TextView& view) {
    HWND doc = activate(viewer, client, "many-lines.txt");
    press('F', {VK_CONTROL});
    HWND dialog = wait_dialog(viewer, "KalvorineDlgClass", "Find");
    if (!report("Ctrl+F opens the modeless \"Find\" dialog", dialog != nullptr, "no dialog"))
        return;
    poll_until(PATIENCE_MS, [&] { return focus_of(viewer) == ::GetDlgItem(dialog, ID_FIND_TEXT); });
    // Out of the document's way, to the screen's bottom right corner.
    RECT d = window_rect(dialog);
    ::SetWindowPos(dialog, nullptr, ::GetSystemMetrics(SM_CXSCREEN) - (d.right - d.left),
                   ::GetSystemMetrics(SM_CYSCREEN) - (d.bottom - d.top), 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    type("line 30");
    press(VK_RETURN);
    const int rows = rows_of(doc);
    view.match_line = 299;
    view.match_start = 0;
    view.match_length = 7;
    view.top = 299 - rows / 2;
    check_view(doc, view, "Find: Enter finds \"line 30\" in line 300, highlighted and in view");
    std::string status;
    poll_until(PATIENCE_MS, [&] {
        return (status = window_text(::GetDlgItem(dialog, ID_FIND_STATUS))) == "Found in line 300";
    });
    report("Find: the status line says where", status == "Found in line 300", status);
    press(VK_F3);
    view.match_line = 300;
    check_view(doc, view, "F3 finds the next match, in line 301");

    // Tab goes round the controls as the dialog manager orders them.
    const int order[] = {ID_MATCH_CASE, ID_FIND_NEXT, 2, ID_FIND_TEXT};
    std::string tabs;
    for (int id : order) {
        press(VK_TAB);
        HWND want = ::GetDlgItem(dialog, id);
        if (!poll_until(PATIENCE_MS, [&] { return focus_of(viewer) == want; }))
            tabs += format(" control %d did not take the focus;", id);
    }
    report("Find: Tab moves through its text, Match case, Find next and Close", tabs.empty(), tabs);
    // The document keeps working while the dialog is up.
    ::PostMessageA(doc, WM_VSCROLL, SB_LINEDOWN, 0);
    view.top += 1;
    check_view(doc, view, "with Find open the document still scrolls");
    take_screenshot(viewer, dialog);
    press(VK_ESCAPE);
    report("Find: Escape closes it", poll_until(PATIENCE_MS, [&] { return !::IsWindow(dialog); }),
           "it stayed open");
}

// The colour in the middle of a dialog's control, once it is want.
bool sample_shows(HWND control, COLORREF want) {
    return poll_until(PATIENCE_MS, [&] {
        RECT r{};
        ::GetClientRect(control, &r);
        Picture p = capture_client(control, r.right / 2, r.bottom / 2, 1, 1);
        return p.width == 1 &&
               p.pixels[0] == ((want & 0xFF) << 16 | (want & 0xFF00) | (want >> 16 & 0xFF));
    });
}

void check_colors(const RunningProgram& viewer, HWND client, TextView& view) {
    HWND doc = activate(viewer, client, "many-lines.txt");
    program_command(viewer, CMD_COLORS);
    HWND dialog = wait_dialog(viewer, "KalvorineDlgClass", "Colours");
    if (!report("View > Colours opens the modal \"Colours\" dialog", dialog != nullptr,
                "no dialog"))
        return;
    press(VK_DOWN); // text: Black -> White
    report("Colours: the text colour chosen shows in its sample",
           sample_shows(::GetDlgItem(dialog, ID_TEXT_SAMPLE), WHITE), "not white");
    press(VK_TAB);
    press(VK_DOWN); // background: White -> Navy
    report("Colours: the background chosen shows in its sample",
           sample_shows(::GetDlgItem(dialog, ID_BACK_SAMPLE), NAVY), "not navy");
    press(VK_RETURN);
    poll_until(PATIENCE_MS, [&] { return !::IsWindow(dialog); });
    view.ink = WHITE;
    view.paper = NAVY;
    check_view(doc, view, "Colours: OK redraws the texts white on navy");
}

void check_open_dialog(const RunningProgram& viewer, HWND client, const std::string& folder) {
    ::SetForegroundWindow(viewer.window);
    const size_t before = document_windows(client).size();
    press('O', {VK_CONTROL});
    HWND dialog = wait_dialog(viewer, "#32770", "Open");
    if (!report("Ctrl+O opens the platform's open dialog", dialog != nullptr, "no dialog"))
        return;
    // The file name box of the platform's dialog (its combo box 0x47C, or edit 0x480).
    HWND name = ::GetDlgItem(dialog, 0x47C);
    name = name ? name : ::GetDlgItem(dialog, 0x480);
    send(name, WM_SETTEXT, 0, LPARAM((folder + "picture.bmp").c_str()));
    ::PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    report("Open: the file chosen opens in a document",
           poll_until(PATIENCE_MS,
                      [&] {
                          return document_windows(client).size() == before + 1 &&
                                 document_named(client, "picture.bmp") != nullptr;
                      }),
           format("%d documents", int(document_windows(client).size())));
}

void check_shortcuts(RunningProgram& viewer, HWND client) {
    activate(viewer, client, "many-lines.txt");
    program_command(viewer, CMD_ZOOM);
    report("View > Zoom opens \"Zoom: many-lines.txt\"",
           poll_until(PATIENCE_MS,
                      [&] { return document_named(client, "Zoom: many-lines.txt") != nullptr; }),
           "no zoom window");
    ::SetForegroundWindow(viewer.window);
    HWND first = HWND(send(client, WM_MDIGETACTIVE, 0, 0));
    press(VK_F6, {VK_CONTROL});
    report(
        "Ctrl+F6 activates the next document",
        poll_until(PATIENCE_MS, [&] { return HWND(send(client, WM_MDIGETACTIVE, 0, 0)) != first; }),
        "the same document is active");
    HWND active = HWND(send(client, WM_MDIGETACTIVE, 0, 0));
    press(VK_F4, {VK_CONTROL});
    report("Ctrl+F4 closes the active document",
           poll_until(PATIENCE_MS, [&] { return !::IsWindow(active); }), "it stayed open");
    press(VK_F4, {VK_MENU});
    DWORD code = 1;
    const bool ended = program_wait_exit(viewer, PATIENCE_MS, code);
    report("Alt+F4 ends the viewer with exit code 0", ended && code == 0,
           ended ? format("exit code %lu", code) : "still running");
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Runs the checks of the viewer's commands on a run of its own.
void run_feature_checks() {
    const std::string folder = viewer_files_folder();
    RunningProgram viewer;
    if (!start_viewer(viewer, folder, FEATURE_FILES, FEATURE_FILE_COUNT,
                      "the viewer starts with texts in every encoding")) {
        return;
    }
    HWND client = mdi_client_of(viewer.window);
    if (report("the five texts and the picture open",
               wait_document_count(client, FEATURE_FILE_COUNT, PATIENCE_MS),
               program_state_text(viewer))) {
        TextView many;
        many.lines = split_lines(read_whole_file(folder + "many-lines.txt"));
        check_decoding(client, folder);
        check_picture_scrolling(viewer, client, folder);
        check_scrolling(viewer, client, many);
        check_go_to(viewer, client, many);
        check_find(viewer, client, many);
        check_colors(viewer, client, many);
        check_open_dialog(viewer, client, folder);
        check_shortcuts(viewer, client);
    }
    program_kill(viewer);
}
