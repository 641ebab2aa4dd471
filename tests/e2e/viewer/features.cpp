// The viewer's commands checked from outside, with real keyboard and mouse input: texts in
// five scripts as UTF-8 and UTF-16, and with tabs, read back as pixels against the same
// lines drawn by the platform's wide text call in the same font; scrolling by key, wheel
// and scroll bar; a picture scrolled and fitted to its window; Go to line with its
// refusal; Find with its highlight, F3, its Tab order and a document that keeps working;
// Colours, refusing one colour for both; the open dialog; zoom; and the shortcuts that
// close, switch and end.
// Relies on the shared end-to-end helpers and on views.cpp's drawing of documents; knows
// the viewer only by its looks and commands.
#include "viewer_check.h"

#include <algorithm>
#include <cstdlib>

// ============================================================================
// Module state
// ============================================================================

namespace {

constexpr int ID_LINE = 101, ID_FIND_TEXT = 201, ID_MATCH_CASE = 202, ID_FIND_NEXT = 203,
              ID_FIND_STATUS = 204, ID_WHOLE_WORD = 205, ID_DOWN = 207, ID_BACK_COLORS = 302,
              ID_TEXT_SAMPLE = 303, ID_BACK_SAMPLE = 304;

const char* const FEATURE_FILES[] = {"utf8.txt", "utf8-bom.txt",   "utf16.txt", "tabs.txt",
                                     "big.bmp",  "many-lines.txt", "tall.bmp"};
constexpr int FEATURE_FILE_COUNT = 7;

// ============================================================================
// Internal helpers
// ============================================================================

void wheel(HWND over, int notches) {
    RECT r = window_rect(over);
    ::SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = MOUSEEVENTF_WHEEL;
    in.mi.mouseData = DWORD(-WHEEL_DELTA * notches);
    ::SendInput(1, &in, sizeof(INPUT));
}

// Every script shown as itself: the same five lines as UTF-8 with and without its mark and
// as UTF-16, and tabs expanded, against the lines drawn with TextOutW in the same font.
void check_decoding(HWND client, const std::string& folder) {
    for (const char* name : {"utf8.txt", "utf8-bom.txt", "utf16.txt", "tabs.txt"}) {
        TextView view;
        view.lines = read_lines(folder + name);
        HWND doc = document_named(client, name);
        send(client, WM_MDIACTIVATE, WPARAM(doc), 0);
        check_view(doc, view,
                   std::string(name) + (name[0] == 't'
                                            ? ": tabs expanded to every 8th column"
                                            : ": Latin, Greek, Cyrillic, Chinese and "
                                              "Arabic shown as the wide call draws them"));
    }
}

void check_scrolling(const RunningProgram& viewer, HWND client, TextView& view) {
    HWND doc = activate(viewer, client, "many-lines.txt");
    if (!report("many-lines.txt takes the keyboard", doc != nullptr, "no such document"))
        return;
    // In the client's corner, with room below to grow.
    ::SetWindowPos(doc, nullptr, 0, 0, 600, 400, SWP_NOZORDER | SWP_NOACTIVATE);
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

// What a picture's document shows: the picture (of its natural size) drawn from (-left,
// -top) at its size, or fitted to the area above the status line with its aspect kept, and
// the status line with the scale of the fitting.
Picture expected_picture(int width, int height, const std::string& path, SIZE natural, int left,
                         int top, bool fitted) {
    Canvas c = canvas_open(width, height);
    RECT all{0, 0, width, height};
    ::FillRect(c.dc, &all, ::GetSysColorBrush(COLOR_WINDOW));
    HBITMAP bitmap = HBITMAP(::LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0,
                                          LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    HDC source = ::CreateCompatibleDC(c.dc);
    HGDIOBJ old = ::SelectObject(source, bitmap);
    const int area = height - row_height() - 2 * VIEWER_TEXT_MARGIN;
    const bool by_width = width * natural.cy <= area * natural.cx;
    int w = natural.cx, h = natural.cy;
    if (fitted) {
        w = by_width ? width : std::max(1, ::MulDiv(natural.cx, area, natural.cy));
        h = by_width ? std::max(1, ::MulDiv(natural.cy, width, natural.cx)) : area;
        ::SetStretchBltMode(c.dc, HALFTONE);
        ::SetBrushOrgEx(c.dc, 0, 0, nullptr);
        ::StretchBlt(c.dc, 0, 0, w, h, source, 0, 0, natural.cx, natural.cy, SRCCOPY);
    } else {
        ::BitBlt(c.dc, -left, -top, natural.cx, natural.cy, source, 0, 0, SRCCOPY);
    }
    ::SelectObject(source, old);
    ::DeleteDC(source);
    ::DeleteObject(bitmap);
    wchar_t status[64];
    const int scale = by_width ? ::MulDiv(width, 100, natural.cx) : ::MulDiv(area, 100, natural.cy);
    if (fitted)
        swprintf(status, 64, L"%d x %d BMP bitmap, fitted at %d%%", natural.cx, natural.cy, scale);
    else
        swprintf(status, 64, L"%d x %d BMP bitmap, 100%%", natural.cx, natural.cy);
    draw_status(c.dc, width, height, status, VIEWER_FONT_POINTS);
    return canvas_close(c);
}

// A picture larger than its window scrolls by key to its far corner, and fits the window,
// its scale said as the fitting's own (a picture 1 pixel wide is not said to be at 200%
// when 1.5 times its height shows as 2 pixels wide).
void check_picture(const RunningProgram& viewer, HWND client, const std::string& folder) {
    const struct {
        const char* name;
        SIZE natural;
        bool scrolled; // also scrolled to its far corner before it fits
    } pictures[] = {{"big.bmp", {600, 400}, true}, {"tall.bmp", {1, 300}, false}};
    for (const auto& picture : pictures) {
        HWND doc = activate(viewer, client, picture.name);
        if (!report(std::string(picture.name) + " opens and takes the keyboard", doc != nullptr,
                    "no such document"))
            continue;
        ::SetWindowPos(doc, nullptr, 0, 0, 420, 320, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        for (bool fitted : {false, true}) {
            if (!fitted && !picture.scrolled)
                continue;
            fitted ? program_command(viewer, VIEWER_CMD_FIT) : press(VK_END);
            Picture want, seen;
            int differences = 0;
            poll_until(PATIENCE_MS, [&] {
                RECT r{}; // the scroll bars go once the picture fits
                ::GetClientRect(doc, &r);
                const int area = r.bottom - row_height() - 2 * VIEWER_TEXT_MARGIN;
                want = expected_picture(r.right, r.bottom, folder + picture.name, picture.natural,
                                        picture.natural.cx - r.right, picture.natural.cy - area,
                                        fitted);
                seen = capture_client(doc, 0, 0, r.right, r.bottom);
                return (differences = count_differences(want, seen)) == 0;
            });
            const std::string check =
                fitted ? std::string(picture.name) +
                             ": View > Fit to window: the picture fits, aspect kept, its scale said"
                       : "a picture larger than its window scrolls to its far corner with End; "
                         "the status line gives its size and kind";
            if (!report(check, differences == 0, format("%d pixels differ", differences)))
                save_failure_pictures(fitted ? "viewer-fitted" : "viewer-big-picture", want, seen);
        }
    }
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

// The picture at the top of the README: the documents tiled, the Find dialog over them, the
// next match found and highlighted (in view as the match is brought into view: centred
// when it was off the page); taken once the screen holds still.
void take_screenshot(const RunningProgram& viewer, HWND find, HWND doc, TextView& view) {
    program_command(viewer, VIEWER_CMD_TILE);
    RECT f = window_rect(viewer.window), d = window_rect(find);
    ::SetWindowPos(find, nullptr, f.right - (d.right - d.left) - 24,
                   f.bottom - (d.bottom - d.top) - 24, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    press(VK_F3);
    poll_until(PATIENCE_MS, [&] {
        return window_text(::GetDlgItem(find, ID_FIND_STATUS)) == "Found in line 302";
    });
    const int rows = rows_of(doc);
    view.top = view.top <= 301 && 301 < view.top + rows ? view.top : 301 - rows / 2;
    view.from = {301, 0};
    view.to = {301, 7};
    check_view(doc, view, "Find: F3 in the tiled document brings the next match into view");
    Picture last, now;
    poll_until(
        PATIENCE_MS,
        [&] {
            now = capture_screen(f.left, f.top, f.right - f.left, f.bottom - f.top);
            const bool still = count_differences(now, last) == 0;
            last = now;
            return still;
        },
        200);
    png_write(launch_own_folder() + "viewer-screenshot.png", now);
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
    view.from = {299, 0};
    view.to = {299, 7};
    view.top = 299 - rows / 2;
    check_view(doc, view, "Find: Enter finds \"line 30\" in line 300, highlighted and in view");
    std::string status;
    poll_until(PATIENCE_MS, [&] {
        return (status = window_text(::GetDlgItem(dialog, ID_FIND_STATUS))) == "Found in line 300";
    });
    report("Find: the status line says where", status == "Found in line 300", status);
    press(VK_F3);
    view.from = {300, 0};
    view.to = {300, 7};
    check_view(doc, view, "F3 finds the next match, in line 301");

    // Tab goes round the controls as the dialog manager orders them.
    const int order[] = {ID_MATCH_CASE, ID_WHOLE_WORD, ID_DOWN, ID_FIND_NEXT, 2, ID_FIND_TEXT};
    std::string tabs;
    for (int id : order) {
        press(VK_TAB);
        HWND want = ::GetDlgItem(dialog, id);
        if (!poll_until(PATIENCE_MS, [&] { return focus_of(viewer) == want; }))
            tabs += format(" control %d did not take the focus;", id);
    }
    report("Find: Tab moves through its text, options, Find next and Close", tabs.empty(), tabs);
    // The document keeps working while the dialog is up.
    ::PostMessageA(doc, WM_VSCROLL, SB_LINEDOWN, 0);
    view.top += 1;
    check_view(doc, view, "with Find open the document still scrolls");
    take_screenshot(viewer, dialog, doc, view);
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
    program_command(viewer, VIEWER_CMD_COLORS);
    HWND dialog = wait_dialog(viewer, "KalvorineDlgClass", "Colours");
    if (!report("View > Colours opens the modal \"Colours\" dialog", dialog != nullptr,
                "no dialog"))
        return;
    press(VK_DOWN); // text: Black -> White
    report("Colours: the text colour chosen shows in its sample",
           sample_shows(::GetDlgItem(dialog, ID_TEXT_SAMPLE), WHITE), "not white");
    press(VK_TAB);
    press(VK_RETURN); // white on white
    HWND box = wait_message_box(viewer, PATIENCE_MS);
    report("Colours: one colour for text and background is refused with a message",
           box != nullptr && ::IsWindow(dialog), box ? "" : "no message box");
    if (box)
        close_message_box(box, PATIENCE_MS);
    poll_until(PATIENCE_MS,
               [&] { return focus_of(viewer) == ::GetDlgItem(dialog, ID_BACK_COLORS); });
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
    bring_to_front(viewer);
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

void check_shortcuts(RunningProgram& viewer, HWND client, TextView view) {
    HWND doc = activate(viewer, client, "many-lines.txt");
    press(VK_OEM_PLUS, {VK_CONTROL});
    view.points = (VIEWER_FONT_POINTS * 125 + 50) / 100;
    view.zoom = L" Zoom: 125%";
    check_view(doc, view, "Ctrl++ draws the text 25% larger, and says so");
    // The document opened just before may take the front late on a busy machine: this
    // one is brought back first, so the keys reach it.
    doc = activate(viewer, client, "many-lines.txt");
    press(VK_OEM_PLUS, {VK_CONTROL, VK_SHIFT}); // "+" typed with Shift
    view.points = (VIEWER_FONT_POINTS * 150 + 50) / 100;
    view.zoom = L" Zoom: 150%";
    check_view(doc, view, "Ctrl and \"+\" typed with Shift zoom in as Ctrl+= does");
    for (int times = 0; times < 6; times++) // 125%, 100%, 75%, 67%, 50%, and no smaller
        press(VK_OEM_MINUS, {VK_CONTROL});
    view.points = (VIEWER_FONT_POINTS * 50 + 50) / 100;
    view.zoom = L" Zoom: 50%";
    check_view(doc, view, "Ctrl+- draws it smaller, down to 50% and no further");
    press('0', {VK_CONTROL});
    bring_to_front(viewer);
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
    if (report("the five texts and the two pictures open",
               wait_document_count(client, FEATURE_FILE_COUNT, PATIENCE_MS),
               program_state_text(viewer))) {
        TextView many;
        many.lines = read_lines(folder + "many-lines.txt");
        check_decoding(client, folder);
        check_picture(viewer, client, folder);
        check_scrolling(viewer, client, many);
        check_go_to(viewer, client, many);
        check_find(viewer, client, many);
        check_colors(viewer, client, many);
        check_open_dialog(viewer, client, folder);
        check_shortcuts(viewer, client, many);
    }
    program_kill(viewer);
}
