// Selecting, copying and finding checked from outside with real input: a drag, Shift+click,
// a double-click, Shift with the arrow and page keys and Ctrl+A, each read back from the
// clipboard after Ctrl+C; a text in five scripts copied in its own characters; Find's
// options and directions as a table of steps, each read back as the dialog's status and
// the highlight's pixels; and Find, Go to line and Ctrl+End given while large texts are
// still being read.
// Relies on views.cpp's input, clipboard and drawing of documents.
#include "viewer_check.h"

#include <algorithm>
#include <cstring>

// ============================================================================
// Module state
// ============================================================================

namespace {

constexpr int ID_FIND_TEXT = 201, ID_MATCH_CASE = 202, ID_FIND_STATUS = 204, ID_WHOLE_WORD = 205,
              ID_UP = 206;
constexpr int BIG_LINES = 500000; // lines of each large text, before its last one

// ============================================================================
// Internal helpers
// ============================================================================

// The screen point of a place in a document that shows line top first.
POINT point_of(HWND doc, int top, int line, int column) {
    HDC dc = ::CreateCompatibleDC(nullptr);
    HFONT font = viewer_font();
    HGDIOBJ old = ::SelectObject(dc, font);
    SIZE size{};
    ::GetTextExtentPoint32W(dc, L"0", 1, &size);
    ::SelectObject(dc, old);
    ::DeleteObject(font);
    ::DeleteDC(dc);
    POINT p{VIEWER_TEXT_MARGIN + column * size.cx + 1,
            VIEWER_TEXT_MARGIN + (line - top) * row_height() + row_height() / 2};
    ::ClientToScreen(doc, &p);
    return p;
}

// Presses the left button at one point, moves to another and lets go there.
void drag(POINT from, POINT to) {
    INPUT in[3] = {mouse_at(from, MOUSEEVENTF_LEFTDOWN), mouse_at(to, 0),
                   mouse_at(to, MOUSEEVENTF_LEFTUP)};
    ::SendInput(3, in, sizeof(INPUT));
}

// Waits until a box of the viewer's holds what was typed into it.
void typed(HWND box, const std::string& text) {
    poll_until(PATIENCE_MS, [&] {
        char seen[64] = {};
        send(box, WM_GETTEXT, sizeof seen, LPARAM(seen));
        return text == seen;
    });
}

// A left click with Shift held.
void shift_click(POINT at) {
    INPUT in[4] = {{}, mouse_at(at, MOUSEEVENTF_LEFTDOWN), mouse_at(at, MOUSEEVENTF_LEFTUP), {}};
    in[0].type = in[3].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[3].ki.wVk = VK_SHIFT;
    in[3].ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(4, in, sizeof(INPUT));
}

// The text of lines from one place to another, lines joined by CR LF.
std::wstring slice(const std::vector<std::wstring>& lines, TextAt from, TextAt to) {
    std::wstring text;
    for (int line = from.line; line <= to.line; line++) {
        const size_t start = line == from.line ? from.index : 0;
        const size_t end = line == to.line ? to.index : lines[line].size();
        text += lines[line].substr(start, end - start) + (line < to.line ? L"\r\n" : L"");
    }
    return text;
}

// Ctrl+C (unless the copy was made otherwise), then reports whether the clipboard comes to
// hold the text.
void check_copied(const std::wstring& want, const std::string& check, bool press_copy = true,
                  DWORD patience = PATIENCE_MS) {
    if (press_copy)
        press('C', {VK_CONTROL});
    // A text read is read again only once the clipboard changed (an empty one at once):
    // reading a long text holds the clipboard open for a while, and the viewer must find it
    // free to copy. A wrong text that stays is the answer: no waiting out the patience.
    std::wstring text, seen;
    DWORD number = 0;
    bool read = false;
    const bool copied = wait_for_text(patience, want, seen, [&] {
        const DWORD now = ::GetClipboardSequenceNumber();
        if (!read || text.empty() || now == 0 || now != number) {
            number = now;
            read = clipboard_read(text);
        }
        return text;
    });
    size_t differs = 0;
    while (differs < seen.size() && differs < want.size() && seen[differs] == want[differs])
        differs++;
    report(check, copied,
           format("the clipboard holds %d characters, %d wanted, the first difference at %d",
                  int(seen.size()), int(want.size()), int(differs)));
}

void check_selection(const RunningProgram& viewer, HWND client, const std::string& folder) {
    HWND doc = activate(viewer, client, "many-lines.txt");
    if (!report("many-lines.txt takes the keyboard", doc != nullptr, "no such document"))
        return;
    TextView view;
    view.lines = read_lines(folder + "many-lines.txt");
    const int page = rows_of(doc) - 1;
    enum Action { BY_DRAG, BY_SHIFT_CLICK, BY_DOUBLE_CLICK, BY_KEY };
    struct Step {
        const char* name;
        Action action;
        WORD key, modifier; // BY_KEY: pressed twice when the name says so
        TextAt from, to;    // the selection it makes, from the anchor to the caret
    };
    const Step steps[] = {
        {"a drag from line 2 to line 4 selects across the line ends",
         BY_DRAG,
         0,
         0,
         {1, 5},
         {3, 9}},
        {"Shift+click moves the selection's end to the click",
         BY_SHIFT_CLICK,
         0,
         0,
         {1, 5},
         {5, 0}},
        {"a double-click selects the word \"the\"", BY_DOUBLE_CLICK, 0, 0, {2, 12}, {2, 15}},
        {"Shift+Right twice extends it by two characters",
         BY_KEY,
         VK_RIGHT,
         VK_SHIFT,
         {2, 12},
         {2, 17}},
        {"Shift+Down extends it to the next line", BY_KEY, VK_DOWN, VK_SHIFT, {2, 12}, {3, 17}},
        {"Shift+Page Down extends it by a page",
         BY_KEY,
         VK_NEXT,
         VK_SHIFT,
         {2, 12},
         {3 + page, 17}},
        {"Shift+Page Up takes it back by a page", BY_KEY, VK_PRIOR, VK_SHIFT, {2, 12}, {3, 17}},
        {"Shift+Home takes its end to the start of its line",
         BY_KEY,
         VK_HOME,
         VK_SHIFT,
         {2, 12},
         {3, 0}},
        {"Ctrl+A selects the whole text", BY_KEY, 'A', VK_CONTROL, {0, 0}, {499, 25}},
    };
    for (const Step& step : steps) {
        clipboard_clear();
        const POINT at = point_of(doc, 0, step.from.line, step.action == BY_DRAG ? 5 : 13);
        switch (step.action) {
        case BY_DRAG:
            drag(at, point_of(doc, 0, step.to.line, step.to.index));
            break;
        case BY_SHIFT_CLICK:
            shift_click(point_of(doc, 0, step.to.line, step.to.index));
            break;
        case BY_DOUBLE_CLICK:
            click_at(at.x, at.y, 2);
            break;
        case BY_KEY:
            for (int times = std::strstr(step.name, "twice") ? 2 : 1; times > 0; times--)
                press(step.key, {step.modifier});
            break;
        }
        // The whole text is copied as the file holds it, with its final line end.
        const bool whole = step.action == BY_KEY && step.key == 'A';
        check_copied(slice(view.lines, step.from, step.to) + (whole ? L"\r\n" : L""),
                     "selection: " + std::string(step.name));
        if (&step == steps) {
            view.from = step.from;
            view.to = step.to;
            check_view(doc, view, "selection: the selected text and line ends shown in reverse");
        }
    }
    // This time from the Edit menu: Select all, then Copy.
    doc = activate(viewer, client, "utf8.txt");
    std::vector<std::wstring> lines = read_lines(folder + "utf8.txt");
    menu_choose(viewer, 'E', 'A');
    clipboard_clear();
    menu_choose(viewer, 'E', 'C');
    check_copied(slice(lines, {0, 0}, {int(lines.size()) - 1, int(lines.back().size())}) + L"\r\n",
                 "Edit > Select all, Edit > Copy: five scripts and a tab reach the clipboard as "
                 "they are in the file, its final line end too",
                 false);
    // UTF-8 told by its first letter beyond ASCII, however far into the file it comes.
    const std::string late = read_whole_file(folder + "utf8-late.txt");
    std::wstring wide(late.size(), L'\0');
    wide.resize(size_t(::MultiByteToWideChar(CP_UTF8, 0, late.data(), int(late.size()), wide.data(),
                                             int(wide.size()))));
    activate(viewer, client, "utf8-late.txt");
    press('A', {VK_CONTROL});
    check_copied(wide, "Ctrl+A, Ctrl+C: a UTF-8 text whose first letter beyond ASCII comes "
                       "after 64 KB copied as UTF-8");
}

// Sets a check box or radio button of the Find dialog with its access key when it is not
// as wanted, and waits until it is.
void set_option(HWND dialog, int id, WORD key, int want) {
    if (int(send(::GetDlgItem(dialog, id), BM_GETCHECK, 0, 0)) != want) {
        press(key, {VK_MENU});
        poll_until(PATIENCE_MS,
                   [&] { return int(send(::GetDlgItem(dialog, id), BM_GETCHECK, 0, 0)) == want; });
    }
}

void check_find_options(const RunningProgram& viewer, HWND client, const std::string& folder) {
    HWND doc = activate(viewer, client, "find.txt");
    if (!doc)
        return;
    ::SetWindowPos(doc, nullptr, 0, 0, 500, 300, SWP_NOZORDER | SWP_NOACTIVATE);
    click_at(point_of(doc, 0, 0, 0).x, point_of(doc, 0, 0, 0).y); // the search starts at the top
    press('F', {VK_CONTROL});
    HWND dialog = wait_dialog(viewer, "KalvorineDlgClass", "Find");
    if (!report("find.txt: Ctrl+F opens Find", dialog != nullptr, "no dialog"))
        return;
    RECT d = window_rect(dialog); // off the document, to the screen's bottom right corner
    ::SetWindowPos(dialog, nullptr, ::GetSystemMetrics(SM_CXSCREEN) - (d.right - d.left),
                   ::GetSystemMetrics(SM_CYSCREEN) - (d.bottom - d.top), 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    TextView view;
    view.lines = read_lines(folder + "find.txt");
    // In find.txt: "Cat and cat", "concatenate", "the CAT sat", "cat", and in Greek "η γάτα
    // και η ΓΆΤΑ". Each step goes on from the one before.
    struct Step {
        const char* text; // typed (ASCII) or pasted into the box, then Enter; null: the key
        int match_case, whole_word, up;
        WORD key;
        const char* status;
        TextAt from, to; // the match selected; none when from.line is -1
    };
    const Step steps[] = {
        {"cat", 0, 0, 0, 0, "Found in line 1", {0, 0}, {0, 3}},
        {nullptr, 0, 0, 0, VK_F3, "Found in line 1", {0, 8}, {0, 11}},
        {nullptr, 0, 0, 0, VK_F3, "Found in line 2", {1, 3}, {1, 6}},
        {nullptr, 1, 0, 0, VK_F3, "Found in line 4", {3, 0}, {3, 3}},
        {nullptr, 1, 0, 0, VK_F3, "Found in line 1 (wrapped to the top)", {0, 8}, {0, 11}},
        {nullptr, 0, 1, 0, VK_SHIFT, "Found in line 1", {0, 0}, {0, 3}},
        {nullptr, 0, 1, 0, VK_SHIFT, "Found in line 4 (wrapped to the end)", {3, 0}, {3, 3}},
        {"cat", 0, 1, 1, 0, "Found in line 3", {2, 4}, {2, 7}},
        {"cat", 0, 0, 0, 0, "Found in line 4", {3, 0}, {3, 3}},
        {"dog", 0, 0, 0, 0, "Not found", {-1, 0}, {-1, 0}},
        {"nai", 0, 1, 0, 0, "Not found", {-1, 0}, {-1, 0}}, // "nai\u0308ve": one word
        {"γάτα", 0, 0, 0, 0, "Found in line 5", {4, 2}, {4, 6}},
        {nullptr, 0, 0, 0, VK_F3, "Found in line 5", {4, 13}, {4, 17}},
        {nullptr, 1, 0, 0, VK_F3, "Found in line 5 (wrapped to the top)", {4, 2}, {4, 6}},
        {"", 0, 0, 0, 0, "Type the text to find", {4, 2}, {4, 6}},
    };
    HWND status_line = ::GetDlgItem(dialog, ID_FIND_STATUS);
    const char* searched = "";
    for (const Step& step : steps) {
        set_option(dialog, ID_MATCH_CASE, 'C', step.match_case);
        set_option(dialog, ID_WHOLE_WORD, 'W', step.whole_word);
        set_option(dialog, ID_UP, step.up ? 'U' : 'D', step.up);
        send(status_line, WM_SETTEXT, 0, LPARAM("")); // so that each step must say its own
        const bool ascii = step.text && std::all_of(step.text, step.text + std::strlen(step.text),
                                                    [](char c) { return c > 0; });
        if (step.text) {
            // Clicks in turn at two places far enough apart not to make a double-click.
            const RECT box = window_rect(::GetDlgItem(dialog, ID_FIND_TEXT));
            click_at(box.left + 8 + int(&step - steps) % 2 * 40, (box.top + box.bottom) / 2);
            poll_until(PATIENCE_MS,
                       [&] { return focus_of(viewer) == ::GetDlgItem(dialog, ID_FIND_TEXT); });
            press(VK_HOME);
            press(VK_END, {VK_SHIFT});
            if (ascii) {
                step.text[0] != '\0' ? type(step.text) : press(VK_DELETE);
                typed(::GetDlgItem(dialog, ID_FIND_TEXT), step.text);
            } else { // letters no key of the check's keyboard gives: pasted with Ctrl+V
                wchar_t wide[64] = {};
                ::MultiByteToWideChar(CP_UTF8, 0, step.text, -1, wide, 64);
                clipboard_clear(wide);
                press('V', {VK_CONTROL});
            }
            press(VK_RETURN);
        } else {
            step.key == VK_SHIFT ? press(VK_F3, {VK_SHIFT}) : press(step.key);
        }
        const std::string name =
            format("Find: \"%s\"%s%s%s by %s", searched = step.text ? step.text : searched,
                   step.match_case ? ", match case" : "", step.whole_word ? ", whole word" : "",
                   step.up ? ", up" : "",
                   step.text           ? "Enter"
                   : step.key == VK_F3 ? "F3"
                                       : "Shift+F3");
        std::string status;
        report(name + ": the status says \"" + step.status + "\"",
               wait_for_text(PATIENCE_MS, std::string(step.status), status,
                             [&] { return window_text(status_line); }),
               status);
        view.from = step.from;
        view.to = step.to;
        check_view(doc, view, name + ": the match highlighted, or none");
    }
    // A double-click takes a word with its combining accents ("cafe\u0301 nai\u0308ve
    // re\u0301sume\u0301" in line 6), clicked at a column the word shows at.
    const struct {
        int column;
        const wchar_t* word;
    } words[] = {{1, L"cafe\u0301"}, {6, L"nai\u0308ve"}, {13, L"re\u0301sume\u0301"}};
    // A double-click at a column of a line, and the word it must copy.
    auto double_click = [&](int line, int column, const wchar_t* word, const char* takes) {
        clipboard_clear();
        const POINT at = point_of(doc, 0, line, column);
        click_at(at.x, at.y, 2);
        check_copied(word, format("a double-click at column %d of %s", column, takes));
    };
    for (const auto& word : words) {
        double_click(5, word.column, word.word,
                     "a line of words with combining accents takes the word, accents and all");
    }
    // Line 7, "\u0645\u0631\u062d\u0628\u0627 \u0628\u0627\u0644\u0639\u0627\u0644\u0645
    // \u0646\u0635", is all Arabic: the platform shows it right to left, its first word at
    // the right end. A double-click takes the word shown under the pointer, and selecting
    // it redraws that word's cells only: the rest of the row keeps its pixels.
    const struct {
        int column, from, to; // clicked; the columns the word shows at, to exclusive
        const wchar_t* word;
    } shown[] = {{13, 11, 16, L"\u0645\u0631\u062d\u0628\u0627"},
                 {6, 3, 10, L"\u0628\u0627\u0644\u0639\u0627\u0644\u0645"},
                 {1, 0, 2, L"\u0646\u0635"}};
    const int cell = point_of(doc, 0, 6, 1).x - point_of(doc, 0, 6, 0).x;
    RECT area{};
    ::GetClientRect(doc, &area);
    auto arabic_row = [&] {
        return capture_client(doc, 0, VIEWER_TEXT_MARGIN + 6 * row_height(), area.right,
                              row_height());
    };
    const Picture unselected = arabic_row();
    for (const auto& word : shown) {
        double_click(6, word.column, word.word,
                     "a line shown right to left takes the word shown there");
        int inside = 0, outside = 0;
        poll_until(PATIENCE_MS, [&] {
            const Picture now = arabic_row();
            inside = outside = 0;
            for (int y = 0; y < now.height; y++)
                for (int x = 0; x < now.width; x++) {
                    const bool changed = now.at(x, y) != unselected.at(x, y);
                    const int column = (x - VIEWER_TEXT_MARGIN) / cell;
                    (x >= VIEWER_TEXT_MARGIN && column >= word.from && column < word.to
                         ? inside
                         : outside) += changed;
                }
            return inside > 0 && outside == 0;
        });
        if (!report(format("selecting the word at columns %d-%d of a line shown right to left "
                           "highlights it and leaves the rest of the line as drawn",
                           word.from, word.to - 1),
                    inside > 0 && outside == 0,
                    format("%d pixels of the word and %d outside it changed", inside, outside)))
            save_failure_pictures(format("viewer-right-to-left-%d", word.column), unselected,
                                  arabic_row());
    }
    // A drag in that line from the left edge of column 13 to that of column 7: reading
    // enters each letter at its right edge, so it takes the letters from after the third
    // (shown at column 13) to after the ninth (column 7), the blank between them included.
    clipboard_clear();
    drag(point_of(doc, 0, 6, 13), point_of(doc, 0, 6, 7));
    check_copied(L"\u0628\u0627 \u0628\u0627\u0644",
                 "a drag in a line shown right to left copies the letters under the mouse");
    press(VK_ESCAPE);
}

// Writes a large text: numbered lines, then "The very last line".
bool write_big_text(const std::string& path, int lines = BIG_LINES) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    std::string text;
    for (int i = 1; i <= lines; i++)
        text += format("Line %07d of a large text, read while the viewer goes on\r\n", i);
    text += "The very last line\r\n";
    DWORD written = 0;
    const bool ok = file != INVALID_HANDLE_VALUE &&
                    ::WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr) &&
                    written == text.size();
    if (file != INVALID_HANDLE_VALUE)
        ::CloseHandle(file);
    return ok;
}

// The rows of a large text from a line on.
std::vector<std::wstring> big_rows(int first, int rows) {
    std::vector<std::wstring> lines;
    for (int i = first; i < first + rows && i <= BIG_LINES; i++) {
        const std::string line =
            i < BIG_LINES
                ? format("Line %07d of a large text, read while the viewer goes on", i + 1)
                : "The very last line";
        lines.push_back(std::wstring(line.begin(), line.end()));
    }
    return lines;
}

// Find, Go to line, Ctrl+End, Ctrl+Shift+End and Copy given on large texts still being
// read: each must end where it would on a text read whole. The viewer holds its reading
// (after each file's first chunk) until the check lets it go on, so that every command
// lands while the texts are read, however fast the machine reads.
void check_reading(const std::string& folder) {
    const char* const names[] = {"big-find.txt", "big-go-to.txt", "big-end.txt", "big-all.txt",
                                 "big-to-end.txt"};
    for (const char* name : names) // the last two copied whole: a third as long
        write_big_text(folder + name,
                       name == names[3] || name == names[4] ? BIG_LINES / 3 : BIG_LINES);
    const std::string hold_name = format("TarrowindViewerCheckHold%lu", ::GetCurrentProcessId());
    HANDLE hold = ::CreateEventA(nullptr, TRUE, FALSE, hold_name.c_str());
    ::SetEnvironmentVariableA("TARROWIND_VIEWER_HOLD_READING", hold_name.c_str());
    RunningProgram viewer;
    const bool started =
        start_viewer(viewer, folder, names, 5, "the viewer starts with five large texts");
    ::SetEnvironmentVariableA("TARROWIND_VIEWER_HOLD_READING", nullptr);
    if (report("reading: the viewer's reading can be held", hold != nullptr, "no event") &&
        started && wait_document_count(mdi_client_of(viewer.window), 5, PATIENCE_MS)) {
        HWND client = mdi_client_of(viewer.window);
        // From the second line to the end with Ctrl+Shift+End, and Ctrl+A then Ctrl+C:
        // copied once read, to the text's real end (read back after the others below).
        // Input is handled after the messages the check sends (activate's): Find opened and
        // closed again by keys shows when the keys before them were handled.
        auto settle = [&] {
            press('F', {VK_CONTROL});
            HWND find = wait_dialog(viewer, "KalvorineDlgClass", "Find");
            press(VK_ESCAPE);
            poll_until(PATIENCE_MS, [&] { return !::IsWindow(find); });
        };
        HWND to_end = activate(viewer, client, names[4]);
        const POINT second = point_of(to_end, 0, 1, 0);
        click_at(second.x, second.y);
        press(VK_END, {VK_CONTROL, VK_SHIFT});
        settle();
        activate(viewer, client, names[3]);
        clipboard_clear();
        press('A', {VK_CONTROL});
        press('C', {VK_CONTROL});
        settle();
        HWND end = activate(viewer, client, names[2]);
        press(VK_END, {VK_CONTROL});
        settle();
        activate(viewer, client, names[1]);
        auto go_to = [&](int line) {
            press('G', {VK_CONTROL});
            HWND box = wait_dialog(viewer, "KalvorineDlgClass", "Go to line");
            poll_until(PATIENCE_MS, [&] { return focus_of(viewer) == ::GetDlgItem(box, 101); });
            press(VK_HOME);
            press(VK_END, {VK_SHIFT});
            type(format("%d", line));
            press(VK_RETURN);
            poll_until(PATIENCE_MS, [&] { return !::IsWindow(box); });
        };
        go_to(BIG_LINES - 100);
        activate(viewer, client, names[0]);
        press('F', {VK_CONTROL});
        HWND dialog = wait_dialog(viewer, "KalvorineDlgClass", "Find");
        poll_until(PATIENCE_MS,
                   [&] { return focus_of(viewer) == ::GetDlgItem(dialog, ID_FIND_TEXT); });
        type("very last");
        typed(::GetDlgItem(dialog, ID_FIND_TEXT), "very last");
        press(VK_RETURN);
        // The last command's answer, "Searching: reading N%", shows that every command
        // before it was handled while the texts were still being read.
        std::string status;
        poll_until(PATIENCE_MS, [&] {
            return !(status = window_text(::GetDlgItem(dialog, ID_FIND_STATUS))).empty();
        });
        report("reading: Find, given while the text is read, answers that it searches",
               status.rfind("Searching: reading ", 0) == 0, status);
        ::SetEvent(hold); // reading goes on, the viewer woken for it
        ::PostMessageA(viewer.window, WM_NULL, 0, 0);
        const int rows = rows_of(end);
        report("reading: Find reaches the last line once it is read",
               poll_until(3 * PATIENCE_MS,
                          [&] {
                              return (status = window_text(::GetDlgItem(dialog, ID_FIND_STATUS))) ==
                                     format("Found in line %d", BIG_LINES + 1);
                          }),
               status);
        TextView view;
        view.lines = big_rows(BIG_LINES + 1 - rows, rows);
        check_view(activate(viewer, client, names[2]), view,
                   "reading: Ctrl+End shows the last page once the text is read", true);
        view.from = {rows - 1, 4};
        view.to = {rows - 1, 13};
        check_view(activate(viewer, client, names[0]), view,
                   "reading: Find's match in the last line selected and shown", true);
        std::string whole = read_whole_file(folder + names[3]);
        check_copied(std::wstring(whole.begin(), whole.end()),
                     "reading: Ctrl+A, Ctrl+C copy the whole file, byte for byte, once it is read",
                     false, 3 * PATIENCE_MS);
        activate(viewer, client, names[4]);
        whole.resize(whole.size() - 2); // a part of the text: the last line without its end
        whole.erase(0, whole.find('\n') + 1);
        check_copied(std::wstring(whole.begin(), whole.end()),
                     "reading: Ctrl+Shift+End selects to the end of the text once it is read", true,
                     3 * PATIENCE_MS);
        view.lines = big_rows(BIG_LINES - 101, rows);
        view.from.line = -1;
        check_view(activate(viewer, client, names[1]), view,
                   "reading: Go to a line not read yet shows it once it is", true);
        // The last 10 MB selected (Go to line, then Ctrl+Shift+End) and copied: the window
        // answers again within a second (the longest wait for an answer to messages sent one
        // after another from Ctrl+C until the viewer holds the clipboard, best of three
        // copies), and a program pasting it gets it whole (handed over as it asks, while the
        // viewer waits for events).
        const size_t line_bytes = format("Line %07d of a large text, read while the viewer goes "
                                         "on\r\n",
                                         1)
                                      .size();
        const int from = BIG_LINES + 1 - int((10u << 20) / line_bytes); // every line that long
        go_to(from + 1);
        press(VK_END, {VK_CONTROL, VK_SHIFT});
        uint32_t best = UINT32_MAX;
        for (int time = 0; time < 3; time++) {
            clipboard_clear();
            press('C', {VK_CONTROL});
            uint32_t longest = 0;
            bool placed = false;
            for (const uint32_t start = now_ms(); !placed && now_ms() - start < PATIENCE_MS;) {
                placed = ::GetClipboardOwner() != nullptr; // then one more answer, after it
                const uint32_t sent = now_ms();
                DWORD_PTR answer = 0;
                ::SendMessageTimeoutA(viewer.window, WM_NULL, 0, 0, SMTO_NORMAL, PATIENCE_MS,
                                      &answer);
                longest = std::max(longest, now_ms() - sent);
            }
            best = placed ? std::min(best, longest) : best;
        }
        report(format("copy: 10 MB selected and copied, the window answering again within a "
                      "second (%u ms, best of three)",
                      best),
               best <= 1000, "it stayed busy longer, or never placed the text");
        std::string tail = read_whole_file(folder + names[1]).substr(size_t(from) * line_bytes);
        tail.resize(tail.size() - 2); // the selection ends after the last line's characters
        check_copied(std::wstring(tail.begin(), tail.end()),
                     "copy: the 10 MB pasted whole by another program", false);
    }
    program_kill(viewer);
    if (hold != nullptr)
        ::CloseHandle(hold);
    for (const char* name : names)
        ::DeleteFileA((folder + name).c_str());
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Runs the checks of selecting, copying and finding on a run of their own.
void run_selecting_checks() {
    const std::string folder = viewer_files_folder();
    const char* const names[] = {"many-lines.txt", "utf8.txt", "find.txt", "utf8-late.txt"};
    RunningProgram viewer;
    if (!start_viewer(viewer, folder, names, 4, "the viewer starts for selecting and finding")) {
        return;
    }
    HWND client = mdi_client_of(viewer.window);
    if (report("the four texts open", wait_document_count(client, 4, PATIENCE_MS),
               program_state_text(viewer))) {
        check_selection(viewer, client, folder);
        check_find_options(viewer, client, folder);
    }
    program_kill(viewer);
    check_reading(folder);
}
