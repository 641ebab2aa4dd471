// The frame's side checked from outside with real input: the documents' context menus
// opened by a right-click, the context-menu key and Shift+F10, each where it belongs, and
// a command picked on one; Help > About opened from the menu bar, its texts read back
// through the platform, none cut, closed by Enter, Escape and OK.
// Relies on views.cpp's input helpers; another process's menu cannot be read under Wine,
// so the items themselves are checked in the check's process (frame_tables.cpp).
#include "viewer_check.h"

namespace {

// ============================================================================
// Internal helpers
// ============================================================================

// The viewer's popup menu once it shows, or null.
HWND wait_popup(const RunningProgram& viewer) {
    HWND popup = nullptr;
    poll_until(PATIENCE_MS, [&] {
        popup = ::FindWindowA("#32768", nullptr);
        DWORD owner = 0;
        ::GetWindowThreadProcessId(popup, &owner);
        return popup && owner == viewer.info.dwProcessId && ::IsWindowVisible(popup);
    });
    return popup && ::IsWindowVisible(popup) ? popup : nullptr;
}

bool wait_popup_gone() {
    return poll_until(PATIENCE_MS,
                      [] { return !::IsWindowVisible(::FindWindowA("#32768", nullptr)); });
}

// A right-click at a screen point, through the real input queue.
void right_click(POINT at) {
    INPUT in[2] = {mouse_at(at, MOUSEEVENTF_RIGHTDOWN), mouse_at(at, MOUSEEVENTF_RIGHTUP)};
    ::SendInput(2, in, sizeof(INPUT));
}

// A client point of a document on the screen.
POINT on_screen(HWND doc, int x, int y) {
    POINT p{x, y};
    ::ClientToScreen(doc, &p);
    return p;
}

// How a context menu is asked for, and where it must show (client pixels of the document).
struct MenuWay {
    const char* name;
    const char* document;
    int x, y;        // a right-click there; -1: the key below
    WORD key, shift; // the key, with VK_SHIFT or 0
    int rows_down;   // from the keyboard: the line clicked first, where the caret stands
};

const MenuWay WAYS[] = {
    {"a right-click on a text opens it at the mouse", "line-ends.txt", 40, 30, 0, 0, 0},
    {"Shift+F10 opens it below the caret", "line-ends.txt", -1, -1, VK_F10, VK_SHIFT, 2},
    {"the context-menu key opens it below the caret", "line-ends.txt", -1, -1, VK_APPS, 0, 1},
    {"a right-click on a picture opens it at the mouse", "picture.bmp", 20, 15, 0, 0, 0},
    {"the context-menu key on a picture opens it at the view's corner", "picture.bmp", -1, -1,
     VK_APPS, 0, 0},
};

// Opens a document's context menu one way; checks where it shows, and leaves it open.
HWND open_context_menu(const RunningProgram& viewer, HWND client, const MenuWay& way) {
    const std::string check = std::string("context menu: ") + way.name;
    HWND doc = activate(viewer, client, way.document);
    if (!doc) {
        report(check, false, std::string("no document ") + way.document);
        return nullptr;
    }
    POINT want = on_screen(doc, way.x, way.y);
    if (way.x < 0) {
        // A click before a line's first character puts the caret there, nothing selected
        // (each way on a line of its own: two clicks at one place make a double-click).
        const POINT start = on_screen(doc, VIEWER_TEXT_MARGIN,
                                      VIEWER_TEXT_MARGIN + way.rows_down * row_height() + 2);
        click_at(start.x, start.y);
        const bool text = std::string(way.document).find(".txt") != std::string::npos;
        want = on_screen(doc, VIEWER_TEXT_MARGIN,
                         VIEWER_TEXT_MARGIN + (text ? (way.rows_down + 1) * row_height() : 0));
        way.shift ? press(way.key, {way.shift}) : press(way.key);
    } else {
        right_click(want);
    }
    HWND popup = wait_popup(viewer);
    const RECT r = popup ? window_rect(popup) : RECT{};
    report(check, popup && r.left == want.x && r.top == want.y,
           popup ? format("menu at (%ld,%ld), wanted (%ld,%ld)", r.left, r.top, want.x, want.y)
                 : std::string("no menu showed"));
    return popup;
}

void check_context_menus(const RunningProgram& viewer, HWND client,
                         const std::vector<std::wstring>& lines) {
    for (const MenuWay& way : WAYS) {
        if (open_context_menu(viewer, client, way)) {
            press(VK_ESCAPE);
            report(std::string("context menu: Escape closes it after ") + way.name,
                   wait_popup_gone(), "it stayed open");
        }
    }
    // Select all, then Copy, both picked on the menu by their access keys.
    clipboard_clear(L"before");
    for (char item : {'a', 'c'}) {
        if (!open_context_menu(viewer, client, WAYS[0]))
            return;
        type(std::string(1, item));
        wait_popup_gone();
    }
    std::wstring copied;
    poll_until(PATIENCE_MS, [&] { return clipboard_read(copied) && copied != L"before"; });
    const bool whole = !lines.empty() && copied.rfind(lines.front(), 0) == 0 &&
                       copied.find(lines.back()) != std::wstring::npos;
    report("context menu: Select all then Copy, picked on it, copy the whole text", whole,
           format("%d units copied", int(copied.size())));
}

// ============================================================================
// About
// ============================================================================

// A label's text does not fit its control, in the dialog's font: why, or "".
std::string clipped(HWND label, HFONT font) {
    wchar_t text[256] = {};
    ::GetWindowTextW(label, text, 256);
    RECT room{};
    ::GetClientRect(label, &room);
    RECT need = room;
    HDC dc = ::GetDC(label);
    HGDIOBJ old = ::SelectObject(dc, font);
    ::DrawTextW(dc, text, -1, &need, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
    ::SelectObject(dc, old);
    ::ReleaseDC(label, dc);
    if (need.right <= room.right && need.bottom <= room.bottom)
        return "";
    return format("\"%ls\" needs %ldx%ld in %ldx%ld; ", text, need.right, need.bottom, room.right,
                  room.bottom);
}

// Reads the About dialog's labels: their texts, what is cut, whether an icon shows.
std::string about_problems(HWND dialog, std::wstring& texts) {
    // The facility's dialogs are in "MS Sans Serif" at 8 points, which the platform maps.
    HDC screen = ::GetDC(nullptr);
    HFONT font = ::CreateFontW(-::MulDiv(8, ::GetDeviceCaps(screen, LOGPIXELSY), 72), 0, 0, 0,
                               FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"MS Sans Serif");
    ::ReleaseDC(nullptr, screen);
    std::string problems;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (class_of(child) != "Static")
            continue;
        const LONG style = ::GetWindowLongA(child, GWL_STYLE);
        if ((style & SS_TYPEMASK) == SS_ICON)
            problems += "an icon shows; ";
        wchar_t text[256] = {};
        ::GetWindowTextW(child, text, 256);
        texts += text + std::wstring(L"|");
        problems += clipped(child, font);
    }
    ::DeleteObject(font);
    return problems;
}

void check_about(const RunningProgram& viewer) {
    struct Closing {
        const char* how;
        WORD key; // 0: a click on OK
    };
    for (const Closing& closing :
         {Closing{"Enter", VK_RETURN}, Closing{"Escape", VK_ESCAPE}, Closing{"a click on OK", 0}}) {
        menu_choose(viewer, 'H', 'A');
        HWND dialog = wait_dialog(viewer, "KalvorineDlgClass", "About Tarrowind Viewer");
        if (!report(std::string("About: Help > About opens its dialog, to close with ") +
                        closing.how,
                    dialog != nullptr, "no dialog \"About Tarrowind Viewer\""))
            return;
        if (closing.key == VK_RETURN) {
            std::wstring texts;
            const std::string problems = about_problems(dialog, texts);
            report("About: name, version and what it is, no label cut, no icon",
                   problems.empty() && texts.find(L"Tarrowind Viewer, version 1.0") == 0 &&
                       texts.find(L"text files and pictures") != std::wstring::npos,
                   format("texts \"%ls\"; %s", texts.c_str(), problems.c_str()));
        }
        if (closing.key) {
            press(closing.key);
        } else {
            const RECT ok = window_rect(::GetDlgItem(dialog, 1));
            click_at((ok.left + ok.right) / 2, (ok.top + ok.bottom) / 2);
        }
        report(std::string("About: closes with ") + closing.how,
               poll_until(PATIENCE_MS, [&] { return !::IsWindow(dialog); }), "it stayed open");
    }
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Runs the context menus and About from outside, on a run of their own.
void run_frame_checks() {
    const std::string folder = viewer_files_folder();
    const char* const files[] = {"line-ends.txt", "picture.bmp"};
    RunningProgram viewer;
    if (!start_viewer(viewer, folder, files, 2, "frame: the viewer starts on a text and a picture"))
        return;
    HWND client = mdi_client_of(viewer.window);
    wait_document_count(client, 2, PATIENCE_MS);
    check_context_menus(viewer, client, read_lines(folder + "line-ends.txt"));
    check_about(viewer);
    program_kill(viewer);
}
