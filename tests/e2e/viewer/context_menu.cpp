// The frame's side from outside with real input: the documents' context menus by a
// right-click, the context-menu key and Shift+F10, each where it belongs, and commands
// picked on one; Help > About, its labels read back through the platform, none cut, closed
// by Enter, Escape and OK. Another process's menu cannot be read under Wine: the items
// are checked in the check's process (frame_tables.cpp).
#include "viewer_check.h"

namespace {

// The viewer's popup menu when it shows, or null; with wait, once it shows.
HWND popup_of(const RunningProgram& viewer, bool wait) {
    HWND popup = nullptr;
    auto shows = [&] {
        popup = ::FindWindowA("#32768", nullptr);
        DWORD owner = 0;
        ::GetWindowThreadProcessId(popup, &owner);
        return popup && owner == viewer.info.dwProcessId && ::IsWindowVisible(popup);
    };
    return (wait ? poll_until(PATIENCE_MS, shows) : shows()) ? popup : nullptr;
}

// How a context menu is asked for: a right-click at (x, y) of the document's client area,
// or a key (with Shift or not) after a click before the first character of line `line`.
// It must show at (x, y), or below the caret (a text) or at the view's corner (a picture).
struct MenuWay {
    const char* name;
    const char* document;
    int x, y;
    WORD key, shift;
    int line;
};

const MenuWay WAYS[] = {
    {"a right-click on a text, at the mouse", "line-ends.txt", 40, 30, 0, 0, 0},
    // Each key on a line of its own: two clicks at one place would make a double-click.
    {"Shift+F10, below the caret", "line-ends.txt", -1, -1, VK_F10, VK_SHIFT, 2},
    {"the context-menu key, below the caret", "line-ends.txt", -1, -1, VK_APPS, 0, 1},
    {"a right-click on a picture, at the mouse", "picture.bmp", 20, 15, 0, 0, 0},
    {"the context-menu key on a picture, at its corner", "picture.bmp", -1, -1, VK_APPS, 0, 0},
};

// Opens a document's context menu one way and reports where it shows; true when it shows.
bool open_context_menu(const RunningProgram& viewer, HWND client, const MenuWay& way) {
    HWND doc = activate(viewer, client, way.document);
    const bool text = std::string(way.document).find(".txt") != std::string::npos;
    POINT want{way.x, way.y},
        start{VIEWER_TEXT_MARGIN, VIEWER_TEXT_MARGIN + way.line * row_height() + 2};
    if (way.x < 0)
        want = {VIEWER_TEXT_MARGIN,
                VIEWER_TEXT_MARGIN + (text ? (way.line + 1) * row_height() : 0)};
    ::ClientToScreen(doc, &want);
    ::ClientToScreen(doc, &start);
    std::vector<INPUT> in{mouse_at(want, MOUSEEVENTF_RIGHTDOWN),
                          mouse_at(want, MOUSEEVENTF_RIGHTUP)};
    if (way.x >= 0) {
        ::SendInput(2, in.data(), sizeof(INPUT));
    } else {
        click_at(start.x, start.y);
        way.shift ? press(way.key, {way.shift}) : press(way.key);
    }
    HWND popup = doc ? popup_of(viewer, true) : nullptr;
    const RECT r = popup ? window_rect(popup) : RECT{};
    return report(std::string("context menu: ") + way.name,
                  popup && r.left == want.x && r.top == want.y,
                  format("menu at (%ld,%ld), wanted (%ld,%ld)", r.left, r.top, want.x, want.y));
}

void check_context_menus(const RunningProgram& viewer, HWND client,
                         const std::vector<std::wstring>& lines) {
    std::string stayed;
    for (const MenuWay& way : WAYS) {
        if (open_context_menu(viewer, client, way)) {
            press(VK_ESCAPE);
            if (!poll_until(PATIENCE_MS, [&] { return !popup_of(viewer, false); }))
                stayed += std::string(way.name) + "; ";
        }
    }
    report("context menu: Escape closes it, however it was opened", stayed.empty(), stayed);
    // Select all, then Copy, each picked on the menu by its access key.
    clipboard_clear(L"before");
    for (char item : {'a', 'c'}) {
        if (open_context_menu(viewer, client, WAYS[0]))
            type(std::string(1, item));
        poll_until(PATIENCE_MS, [&] { return !popup_of(viewer, false); });
    }
    std::wstring copied;
    poll_until(PATIENCE_MS, [&] { return clipboard_read(copied) && copied != L"before"; });
    report("context menu: Select all then Copy, picked on it, copy the whole text",
           !lines.empty() && copied.rfind(lines.front(), 0) == 0 &&
               copied.find(lines.back()) != std::wstring::npos,
           format("%d units copied", int(copied.size())));
}

// The About dialog's labels: their texts joined by "|", and any cut or an icon in `cut`.
std::wstring about_labels(HWND dialog, std::string& cut) {
    // The facility's dialogs are in "MS Sans Serif" at 8 points, which the platform maps.
    HDC dc = ::GetDC(dialog);
    HFONT font = ::CreateFontW(-::MulDiv(8, ::GetDeviceCaps(dc, LOGPIXELSY), 72), 0, 0, 0,
                               FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"MS Sans Serif");
    HGDIOBJ old = ::SelectObject(dc, font);
    std::wstring texts;
    for (HWND label = ::GetWindow(dialog, GW_CHILD); label;
         label = ::GetWindow(label, GW_HWNDNEXT)) {
        if (class_of(label) != "Static")
            continue;
        wchar_t text[256] = {};
        ::GetWindowTextW(label, text, 256);
        texts += text + std::wstring(L"|");
        RECT room{}, need{};
        ::GetClientRect(label, &room);
        need = room;
        ::DrawTextW(dc, text, -1, &need, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
        if (need.right > room.right || need.bottom > room.bottom)
            cut += format("\"%ls\" needs %ldx%ld in %ldx%ld; ", text, need.right, need.bottom,
                          room.right, room.bottom);
        if ((::GetWindowLongA(label, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            cut += "an icon shows; ";
    }
    ::SelectObject(dc, old);
    ::DeleteObject(font);
    ::ReleaseDC(dialog, dc);
    return texts;
}

void check_about(const RunningProgram& viewer) {
    for (const char* how : {"Enter", "Escape", "a click on OK"}) {
        menu_choose(viewer, 'H', 'A');
        HWND dialog = wait_dialog(viewer, "KalvorineDlgClass", "About Tarrowind Viewer");
        if (!report(std::string("About: Help > About opens its dialog, to close with ") + how,
                    dialog != nullptr, "no dialog \"About Tarrowind Viewer\""))
            return;
        if (how[0] == 'E' && how[1] == 'n') {
            std::string cut;
            const std::wstring texts = about_labels(dialog, cut);
            report("About: name, version and what it is, no label cut, no icon",
                   cut.empty() && texts.find(L"Tarrowind Viewer, version 1.0|") == 0 &&
                       texts.find(L"text files and pictures") != std::wstring::npos,
                   format("labels \"%ls\"; %s", texts.c_str(), cut.c_str()));
            press(VK_RETURN);
        } else if (how[0] == 'E') {
            press(VK_ESCAPE);
        } else {
            const RECT ok = window_rect(::GetDlgItem(dialog, 1));
            click_at((ok.left + ok.right) / 2, (ok.top + ok.bottom) / 2);
        }
        report(std::string("About: closes with ") + how,
               poll_until(PATIENCE_MS, [&] { return !::IsWindow(dialog); }), "it stayed open");
    }
}

} // namespace

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
