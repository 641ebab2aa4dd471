// What the viewer's checks share: starting the viewer on files with its settings forgotten,
// finding its MDI client and document windows, sending it messages with a time limit, real
// keyboard and mouse input, the clipboard, and the check's own drawing of what a text
// document shows (in the viewer's font, drawn with the platform's wide text calls).
// Relies on the shared end-to-end helpers; the other files of the check use it.
#include "viewer_check.h"

#include <shlobj.h>

#include <algorithm>

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

// A line as a row shows it (tabs expanded to every 8th column), and where each of its
// units starts in the row.
std::wstring expand(const std::wstring& line, std::vector<int>& shown_at) {
    std::wstring row;
    shown_at.clear();
    for (wchar_t c : line) {
        shown_at.push_back(int(row.size()));
        row += c == L'\t' ? std::wstring(8 - row.size() % 8, L' ') : std::wstring(1, c);
    }
    shown_at.push_back(int(row.size()));
    return row;
}

// Prints a piece of a row at the current position in the colours, or in reverse.
void print(HDC dc, const std::wstring& text, size_t from, size_t to, const TextView& view,
           bool selected) {
    if (to <= from)
        return;
    ::SetTextColor(dc, selected ? view.paper : view.ink);
    ::SetBkColor(dc, selected ? view.ink : view.paper);
    ::TextOutW(dc, 0, 0, text.c_str() + from, int(to - from));
}

// True once the viewer has handled every message sent to it before this one and owes the
// document no paint: the page on the screen is then what the viewer drew.
bool viewer_idle(HWND doc) {
    DWORD_PTR result = 0;
    RECT owed{};
    return ::SendMessageTimeoutA(doc, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result) != 0 &&
           !::GetUpdateRect(doc, &owed, FALSE);
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Starts the viewer on count files of the folder and reports the start as check; on
// failure nothing is left running.
bool start_viewer(RunningProgram& viewer, const std::string& folder, const char* const names[],
                  int count, const char* check, bool keep_settings) {
    if (!keep_settings)
        ::DeleteFileA(settings_path().c_str());
    std::string arguments;
    for (int i = 0; i < count; i++)
        arguments += " \"" + folder + names[i] + "\"";
    std::string why;
    if (!report(check,
                program_start(viewer, launch_own_folder(), VIEWER_PROGRAM, arguments,
                              "KalvorineFrameClass", why),
                why)) {
        program_kill(viewer);
        return false;
    }
    return true;
}

// The viewer's settings file in this user's application data.
std::string settings_path() {
    char folder[MAX_PATH] = {};
    ::SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder);
    return std::string(folder) + "\\TarrowindViewer\\settings.ini";
}

// The class name of a window.
std::string class_of(HWND window) {
    char name[64] = {};
    ::GetClassNameA(window, name, sizeof name);
    return name;
}

// The frame's MDI client.
HWND mdi_client_of(HWND frame) {
    return ::FindWindowExA(frame, nullptr, "MDIClient", nullptr);
}

// The visible document windows of the MDI client, top first.
std::vector<HWND> document_windows(HWND client) {
    std::vector<HWND> list;
    for (HWND w = ::GetWindow(client, GW_CHILD); w; w = ::GetWindow(w, GW_HWNDNEXT))
        if (class_of(w) == "KalvorineWndClass" && ::IsWindowVisible(w))
            list.push_back(w);
    return list;
}

// Waits until the client holds count documents.
bool wait_document_count(HWND client, size_t count, DWORD timeout_ms) {
    return poll_until(
        timeout_ms, [&] { return document_windows(client).size() == count; }, 50);
}

// The document window with the caption, or null.
HWND document_named(HWND client, const std::string& caption) {
    for (HWND w : document_windows(client))
        if (window_text(w) == caption)
            return w;
    return nullptr;
}

// Sends a message with a time limit, so that a hung viewer cannot hang the check.
// A viewer that has not looked at its messages for 5 s (still opening its files on a loaded
// machine) counts as hung: the platform then refuses the message at once and never delivers
// it, so a refused message is sent again until it is taken or the patience runs out.
LRESULT send(HWND window, UINT message, WPARAM w, LPARAM l) {
    DWORD_PTR result = 0;
    const uint32_t start = now_ms();
    for (;;) {
        const uint32_t tried_at = now_ms();
        const DWORD left = PATIENCE_MS - std::min<DWORD>(tried_at - start, PATIENCE_MS);
        if (::SendMessageTimeoutA(window, message, w, l, SMTO_ABORTIFHUNG, left, &result) != 0)
            break;
        // Only a message refused at once is known to be undelivered; one that waited out its
        // time may still be handled later, and is not sent twice.
        if (now_ms() - tried_at >= std::min<DWORD>(left, 1000) || !::IsWindow(window))
            break;
        ::Sleep(100);
    }
    return LRESULT(result);
}

// The font of texts at a size, made as the runtime's set_window_font makes it.
HFONT viewer_font(int points) {
    HDC screen = ::GetDC(nullptr);
    LOGFONTW font{};
    font.lfHeight = -::MulDiv(points, ::GetDeviceCaps(screen, LOGPIXELSY), 72);
    ::ReleaseDC(nullptr, screen);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    ::lstrcpynW(font.lfFaceName, VIEWER_FONT_FACE, LF_FACESIZE);
    return ::CreateFontIndirectW(&font);
}

// Height of a row of text in the viewer's font.
int row_height(int points) {
    HDC dc = ::CreateCompatibleDC(nullptr);
    HFONT font = viewer_font(points);
    HGDIOBJ old = ::SelectObject(dc, font);
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    ::SelectObject(dc, old);
    ::DeleteObject(font);
    ::DeleteDC(dc);
    return metrics.tmHeight;
}

// Rows of text a document shows.
int rows_of(HWND doc, int points) {
    RECT r{};
    ::GetClientRect(doc, &r);
    return (r.bottom - 3 * VIEWER_TEXT_MARGIN - row_height(points)) / row_height(points);
}

// A text file's lines as the viewer reads them: UTF-16 after its mark, else UTF-8.
std::vector<std::wstring> read_lines(const std::string& path) {
    std::string bytes = read_whole_file(path);
    std::wstring text;
    if (bytes.compare(0, 2, "\xFF\xFE") == 0) {
        text.assign(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
    } else {
        size_t skip = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
        text.resize(bytes.size());
        text.resize(::MultiByteToWideChar(CP_UTF8, 0, bytes.data() + skip, int(bytes.size() - skip),
                                          text.data(), int(text.size())));
    }
    std::vector<std::wstring> lines;
    for (size_t i = 0; i < text.size();) {
        size_t end = std::min(text.find_first_of(L"\r\n", i), text.size());
        lines.push_back(text.substr(i, end - i));
        i = end + (text.compare(end, 2, L"\r\n") == 0 ? 2 : 1);
    }
    return lines;
}

// Draws a status line at the bottom of a canvas: black on the window colour.
void draw_status(HDC dc, int width, int height, const std::wstring& text, int points) {
    const int row = row_height(points);
    RECT band{0, height - row - 2 * VIEWER_TEXT_MARGIN, width, height};
    ::FillRect(dc, &band, ::GetSysColorBrush(COLOR_WINDOW));
    HFONT font = viewer_font(points);
    HGDIOBJ old = ::SelectObject(dc, font);
    ::SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    ::SetBkMode(dc, OPAQUE);
    ::SetTextColor(dc, BLACK);
    ::SetBkColor(dc, WHITE);
    ::TextOutW(dc, VIEWER_TEXT_MARGIN, height - VIEWER_TEXT_MARGIN - row, text.c_str(),
               int(text.size()));
    ::SelectObject(dc, old);
    ::DeleteObject(font);
}

// What a text document of the client size shows for a view: the rows from top, the
// selection in reverse (a selected line end as a reversed blank), the status line.
Picture expected_view(int width, int height, const TextView& view) {
    const int row = row_height(view.points);
    const int rows = (height - 3 * VIEWER_TEXT_MARGIN - row) / row;
    Canvas c = canvas_open(width, height);
    RECT all{0, 0, width, height};
    HBRUSH paper = ::CreateSolidBrush(view.paper);
    ::FillRect(c.dc, &all, paper);
    ::DeleteObject(paper);
    HFONT font = viewer_font(view.points);
    HGDIOBJ old = ::SelectObject(c.dc, font);
    ::SetBkMode(c.dc, OPAQUE);
    ::SetTextAlign(c.dc, TA_UPDATECP);
    int longest = 0;
    std::vector<int> at;
    for (int i = 0; i < int(view.lines.size()); i++) {
        const std::wstring shown = expand(view.lines[i], at);
        longest = std::max(longest, int(shown.size()));
        if (i < view.top || i >= view.top + rows)
            continue;
        ::MoveToEx(c.dc, VIEWER_TEXT_MARGIN, VIEWER_TEXT_MARGIN + (i - view.top) * row, nullptr);
        size_t a = shown.size(), b = shown.size();
        const bool selected = view.from.line >= 0 && view.from.line <= i && i <= view.to.line;
        if (selected) {
            a = i == view.from.line ? at[view.from.index] : 0;
            b = i == view.to.line ? at[view.to.index] : shown.size();
        }
        print(c.dc, shown, 0, a, view, false);
        print(c.dc, shown, a, b, view, true);
        print(c.dc, shown, b, shown.size(), view, false);
        if (selected && i < view.to.line)
            print(c.dc, L" ", 0, 1, view, true);
    }
    ::SelectObject(c.dc, old);
    ::DeleteObject(font);
    wchar_t status[96];
    swprintf(status, 96, L"Lines: %d Longest: %d%ls", int(view.lines.size()), longest,
             view.zoom.c_str());
    draw_status(c.dc, width, height, status, view.points);
    return canvas_close(c);
}

// Reports whether a document's client area (or only its rows) comes to show the view;
// saves both pictures when it does not. A page that differs is the answer once it stayed
// the same for SETTLED_MS with the viewer idle; one still changing, or a viewer still busy,
// is given three times the patience.
bool check_view(HWND doc, const TextView& view, const std::string& check, bool rows_only) {
    RECT r{}, drawn{};
    Picture want, seen;
    int differences = 0;
    Settling<std::vector<uint32_t>> page;
    bool known = false;
    poll_until(3 * PATIENCE_MS, [&] {
        ::GetClientRect(doc, &r); // the MDI client's bars may still come or go
        const int height =
            rows_only ? VIEWER_TEXT_MARGIN + rows_of(doc, view.points) * row_height(view.points)
                      : r.bottom;
        if (!::EqualRect(&r, &drawn)) {
            want = crop(expected_view(r.right, r.bottom, view), 0, 0, r.right, height);
            drawn = r;
        }
        seen = capture_client(doc, 0, 0, r.right, height);
        differences = count_differences(want, seen);
        if (differences == 0 || !::IsWindow(doc))
            return true;
        if (!viewer_idle(doc)) {
            page = {};
            return false;
        }
        known = settled(page, seen.pixels);
        return known;
    });
    if (!report(check, differences == 0,
                format("%d of %ldx%ld pixels differ (%s)", differences, r.right, r.bottom,
                       known ? "the page settled so"
                             : "the page still changed or the viewer was "
                               "busy after 60 s")))
        save_failure_pictures("viewer-" + check.substr(0, 20), want, seen);
    return differences == 0;
}

// Types ASCII text key by key.
void type(const std::string& text) {
    for (char c : text) {
        const SHORT scan = ::VkKeyScanA(c);
        if (scan & 0x100)
            press(LOBYTE(scan), {VK_SHIFT});
        else
            press(LOBYTE(scan));
    }
}

// A mouse event at a screen point: the point travels with the event. A button event
// without one lands wherever the pointer is when it is handled, and under Wine the pointer
// can be moved back there by the display's late report of an earlier warp (SetCursorPos)
// into the viewer's window.
INPUT mouse_at(POINT at, DWORD flags) {
    const int width = ::GetSystemMetrics(SM_CXSCREEN), height = ::GetSystemMetrics(SM_CYSCREEN);
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    // The smallest of the 65536 steps that falls on the pixel.
    in.mi.dx = LONG((int64_t(at.x) * 65536 + width - 1) / width);
    in.mi.dy = LONG((int64_t(at.y) * 65536 + height - 1) / height);
    return in;
}

// A left click (two: a double-click) at a screen point, through the real input queue.
void click_at(int x, int y, int clicks) {
    std::vector<INPUT> in;
    for (int i = 0; i < 2 * clicks; i++)
        in.push_back(mouse_at({x, y}, i % 2 ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_LEFTDOWN));
    ::SendInput(UINT(in.size()), in.data(), sizeof(INPUT));
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

// Brings the frame to the front and waits until it takes the keyboard: enabled (no modal
// dialog left), the foreground window, with a window of the viewer's holding the focus.
void bring_to_front(const RunningProgram& viewer) {
    ::SetForegroundWindow(viewer.window);
    poll_until(PATIENCE_MS, [&] {
        return ::IsWindowEnabled(viewer.window) && ::GetForegroundWindow() == viewer.window &&
               focus_of(viewer) != nullptr;
    });
}

// Opens a menu of the frame's bar with Alt and its letter, then chooses an item with a key
// (its letter or number), as a person does; waits until the menu has closed.
void menu_choose(const RunningProgram& viewer, char menu, char item) {
    bring_to_front(viewer);
    press(WORD(menu), {VK_MENU});
    poll_until(PATIENCE_MS, [] { // the menu's own loop takes the key
        HWND popup = ::FindWindowA("#32768", nullptr);
        return popup && ::IsWindowVisible(popup);
    });
    type(std::string(1, item));
    poll_until(PATIENCE_MS, [] { return !::IsWindowVisible(::FindWindowA("#32768", nullptr)); });
}

// Activates a document by its caption and gives it the keyboard; null when it is missing.
// Waits for the frame to be the foreground window too: keys sent before go elsewhere.
HWND activate(const RunningProgram& viewer, HWND client, const std::string& name) {
    HWND doc = document_named(client, name);
    if (doc) {
        ::SetForegroundWindow(viewer.window);
        send(client, WM_MDIACTIVATE, WPARAM(doc), 0);
        poll_until(PATIENCE_MS, [&] {
            return focus_of(viewer) == doc && ::GetForegroundWindow() == viewer.window &&
                   ::IsWindowEnabled(viewer.window);
        });
    }
    return doc;
}

// Reads the clipboard's text (empty when it holds none); false, leaving text as it was, when
// the clipboard could not be opened.
bool clipboard_read(std::wstring& text) {
    if (!::OpenClipboard(nullptr))
        return false;
    text.clear();
    HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
    const wchar_t* units = data ? static_cast<const wchar_t*>(::GlobalLock(data)) : nullptr;
    if (units) {
        text = units;
        ::GlobalUnlock(data);
    }
    ::CloseClipboard();
    return true;
}

// Empties the clipboard, and puts text on it when there is some.
void clipboard_clear(const std::wstring& text) {
    if (!::OpenClipboard(nullptr))
        return;
    ::EmptyClipboard();
    HGLOBAL block = text.empty() ? nullptr : ::GlobalAlloc(GMEM_MOVEABLE, 2 * (text.size() + 1));
    if (block) {
        ::lstrcpyW(static_cast<wchar_t*>(::GlobalLock(block)), text.c_str());
        ::GlobalUnlock(block);
        if (!::SetClipboardData(CF_UNICODETEXT, block))
            ::GlobalFree(block);
    }
    ::CloseClipboard();
}
