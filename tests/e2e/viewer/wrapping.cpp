// The checks of View > Word wrap, with real input: a table of texts (words, a word longer
// than the row, tabs, seven scripts) each read back row by row as the screen shows it (a
// click at a row's left edge, Shift+click at its right edge, Ctrl+C) and whole (Ctrl+A,
// Ctrl+C); a 50 MB text whose status line still counts the file's lines and whose Ctrl+End
// shows the end of its last line; the setting remembered.
#include "viewer_check.h"

namespace {

// One text of the table: a single long line, and whether its rows break only at blanks.
struct WrapCase {
    const char* file;
    std::wstring line;
    bool blanks; // every row but the last ends with a blank (or is part of one long word)
    bool rtl;    // shown right to left: each row after the first starts at a blank
};

constexpr int WRAP_CLIENT_WIDTH = 260; // pixels of the documents' client areas
constexpr int BIG_WRAP_LINES = 52000;  // lines of 1,000 bytes: about 50 MB

std::wstring repeated(const std::wstring& text, int times) {
    std::wstring all;
    for (int i = 0; i < times; i++)
        all += text;
    return all;
}

std::vector<WrapCase> wrap_cases() {
    return {
        {"wrap-words.txt", repeated(L"alpha beta gamma delta epsilon ", 6) + L"end", true, false},
        {"wrap-long-word.txt", L"short " + std::wstring(90, L'm') + L" after", true, false},
        {"wrap-tabs.txt", repeated(L"a\tbb\tccc\tdddd\t", 5) + L"z", true, false},
        {"wrap-greek.txt",
         repeated(L"\u03b7 \u03b3\u03ac\u03c4\u03b1 \u03ba\u03bf\u03b9\u03bc"
                  L"\u03ac\u03c4\u03b1\u03b9 ",
                  8),
         true, false},
        {"wrap-arabic.txt",
         repeated(L"\u0627\u0644\u0633\u0644\u0627\u0645 \u0639\u0644\u064a"
                  L"\u0643\u0645 ",
                  8),
         true, true},
        {"wrap-chinese.txt", repeated(L"\u4f60\u597d\u4e16\u754c\u6587\u5b57", 12), false, false},
        {"wrap-hindi.txt",
         repeated(L"\u0928\u092e\u0938\u094d\u0924\u0947 \u0915\u093f\u0924"
                  L"\u093e\u092c\u0947\u0902 ",
                  8),
         true, false},
        {"wrap-emoji.txt", repeated(L"\U0001F600\U0001F680\U0001F34E", 20), false, false},
        {"wrap-jamo.txt", repeated(L"\u1100\u1161\u11A8", 40), false, false},
    };
}

bool write_file(const std::string& path, const std::string& bytes) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    const bool ok = file != INVALID_HANDLE_VALUE &&
                    ::WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    if (file != INVALID_HANDLE_VALUE)
        ::CloseHandle(file);
    return ok;
}

std::string utf8_of(const std::wstring& text) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string bytes(size_t(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), bytes.data(), size, nullptr,
                          nullptr);
    return bytes;
}

// The big text: numbered lines of words, 1,000 bytes each with their line end.
std::string big_wrap_line(int i) {
    std::string line = format("%06d", i);
    while (line.size() < 998)
        line += " wrapped";
    line.resize(998);
    return line;
}

// Ctrl+C, then the clipboard's text once it holds one (empty when none comes).
std::wstring copy_text(DWORD patience = 3000) {
    clipboard_clear();
    press('C', {VK_CONTROL});
    std::wstring text;
    poll_until(patience, [&] { return clipboard_read(text) && !text.empty(); });
    return text;
}

// A point of a document's client area on the screen.
POINT on_screen(HWND doc, int x, int y) {
    POINT p{x, y};
    ::ClientToScreen(doc, &p);
    return p;
}

// The text from the left edge of a row of the page to that of the next: a click, Shift+click
// and Ctrl+C. A row shown left to right starts at its left edge, one shown right to left
// ends there (before the blanks it ends with).
std::wstring row_text(HWND doc, int row) {
    const int y = VIEWER_TEXT_MARGIN + row * row_height() + row_height() / 2;
    const POINT left = on_screen(doc, VIEWER_TEXT_MARGIN + 1, y);
    const POINT right = on_screen(doc, VIEWER_TEXT_MARGIN + 1, y + row_height());
    click_at(left.x, left.y);
    INPUT in[4] = {
        {}, mouse_at(right, MOUSEEVENTF_LEFTDOWN), mouse_at(right, MOUSEEVENTF_LEFTUP), {}};
    in[0].type = in[3].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[3].ki.wVk = VK_SHIFT;
    in[3].ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(4, in, sizeof(INPUT));
    return copy_text();
}

// A unit no row may start with: a pair's second half, a mark of the one before it or a
// Hangul letter that completes a syllable.
bool starts_inside_character(wchar_t c) {
    WORD type = 0;
    return (c >= 0xDC00 && c <= 0xDFFF) || (c >= 0x093A && c <= 0x094F) ||
           (c >= 0x1160 && c <= 0x11FF) ||
           (::GetStringTypeW(CT_CTYPE3, &c, 1, &type) && (type & C3_NONSPACING));
}

// Why the rows read back are not the line wrapped at blanks, or "" when they are.
std::string rows_fault(const std::vector<std::wstring>& rows, const WrapCase& c) {
    std::wstring joined;
    for (size_t r = 0; r < rows.size(); r++) {
        const std::wstring& row = rows[r];
        if (row.empty() || starts_inside_character(row[0]))
            return format("row %d starts inside a character", int(r));
        const bool one_word = row.find(L' ') == std::wstring::npos;
        if (c.blanks && !c.rtl && r + 1 < rows.size() && row.back() != L' ' &&
            row.back() != L'\t' && !one_word)
            return format("row %d ends inside a word", int(r));
        if (c.rtl && r > 0 && row[0] != L' ')
            return format("row %d of right-to-left text does not start at a blank", int(r));
        joined += row;
    }
    if (rows.size() < 2)
        return "the line did not wrap";
    const bool whole = c.rtl ? c.line.ends_with(joined) : joined == c.line;
    return whole ? ""
                 : format("the rows hold %d units of %d", int(joined.size()), int(c.line.size()));
}

// Reads every case's rows and whole text back.
void check_wrap_table(const RunningProgram& viewer, HWND client) {
    for (const WrapCase& c : wrap_cases()) {
        HWND doc = activate(viewer, client, c.file);
        if (!report(std::string("wrap: ") + c.file + " opens", doc != nullptr, "no document"))
            continue;
        // A reading that a busy machine spoilt (a click lost or taken with the one before as
        // a double-click) is read once more after the double-click time: a wrong wrap stays.
        std::string fault;
        for (int attempt = 0; attempt < 2 && (attempt == 0 || !fault.empty()); attempt++) {
            if (attempt > 0)
                ::Sleep(::GetDoubleClickTime() + 100);
            std::vector<std::wstring> rows;
            size_t units = 0;
            for (int r = 0; r < 16 && units < c.line.size(); r++) {
                std::wstring row = row_text(doc, r);
                if (row.empty())
                    break;
                units += row.size();
                rows.push_back(row);
            }
            fault = rows_fault(rows, c);
        }
        report(std::string("wrap: ") + c.file +
                   ": rows break between words and characters, "
                   "and together hold the line",
               fault.empty(), fault);
        RECT area{};
        ::GetClientRect(doc, &area);
        const Picture shown = capture_client(doc, 0, 0, area.right, area.bottom);
        report(std::string("wrap: ") + c.file + ": nothing is drawn past the right margin",
               (::GetWindowLongW(doc, GWL_STYLE) & WS_HSCROLL) == 0 &&
                   all_of_colour(shown, area.right - VIEWER_TEXT_MARGIN, 0, VIEWER_TEXT_MARGIN,
                                 16 * row_height(), WHITE),
               "a horizontal bar, or ink at the right edge");
        press('A', {VK_CONTROL});
        const std::wstring whole = copy_text();
        report(std::string("wrap: ") + c.file + ": Ctrl+A, Ctrl+C copy the file as it is",
               whole == c.line + L"\r\n", format("%d units copied", int(whole.size())));
    }
}

// The 50 MB text: its status line counts the file's lines, Ctrl+End shows its last line's end.
void check_big_wrap(const RunningProgram& viewer, HWND client) {
    HWND doc = activate(viewer, client, "wrap-big.txt");
    if (!report("wrap: the 50 MB text opens", doc != nullptr, "no document"))
        return;
    RECT area{};
    ::GetClientRect(doc, &area);
    const int band = row_height() + 2 * VIEWER_TEXT_MARGIN;
    Canvas canvas = canvas_open(area.right, area.bottom);
    draw_status(canvas.dc, area.right, area.bottom,
                L"Lines: " + std::to_wstring(BIG_WRAP_LINES) + L" Longest: 998",
                VIEWER_FONT_POINTS);
    const Picture want = crop(canvas_close(canvas), 0, area.bottom - band, area.right, band);
    const bool counted = poll_until(6 * PATIENCE_MS, [&] {
        return differences_up_to(crop(capture_client(doc, 0, 0, area.right, area.bottom), 0,
                                      area.bottom - band, area.right, band),
                                 want, 1) == 0;
    });
    report("wrap: the status line of the 50 MB text counts the file's lines", counted,
           "the status line shows something else");
    const uint32_t start = now_ms();
    press(VK_END, {VK_CONTROL});
    const int rows = (area.bottom - 3 * VIEWER_TEXT_MARGIN - row_height()) / row_height();
    // The last row of the page, from its left edge to the text's end.
    const POINT left = on_screen(doc, VIEWER_TEXT_MARGIN + 1,
                                 VIEWER_TEXT_MARGIN + (rows - 1) * row_height() + row_height() / 2);
    click_at(left.x, left.y);
    press(VK_END, {VK_CONTROL, VK_SHIFT});
    const std::wstring last = copy_text();
    std::string tail = big_wrap_line(BIG_WRAP_LINES);
    report(format("wrap: Ctrl+End on the 50 MB text shows the end of its last line (%u ms)",
                  now_ms() - start),
           !last.empty() && last.size() < tail.size() &&
               tail.compare(tail.size() - last.size(), last.size(),
                            std::string(last.begin(), last.end())) == 0,
           format("the last row holds %d units", int(last.size())));
}

// The text wrapped again around what is shown: scrolled into a long line, the page keeps
// the word that stood first as the window narrows and widens.
void check_wrap_resize(const RunningProgram& viewer, HWND client) {
    HWND doc = activate(viewer, client, "wrap-resize.txt");
    if (!report("wrap: the long line to resize opens", doc != nullptr, "no document"))
        return;
    for (int i = 0; i < 3; i++)
        press(VK_NEXT);
    const std::wstring top = row_text(doc, 0);
    const std::wstring word = top.substr(0, top.find(L' '));
    RECT outer = window_rect(doc), inner{};
    ::GetClientRect(doc, &inner);
    for (const int width : {150, 500}) {
        ::SetWindowPos(doc, nullptr, 0, 0, width + (outer.right - outer.left) - inner.right,
                       outer.bottom - outer.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        const std::wstring now = row_text(doc, 0);
        report(format("wrap: a resize to %d pixels keeps the first word shown", width),
               word.size() == 6 && now.find(word) != std::wstring::npos,
               "before: \"" + utf8_of(word) + "\", now: \"" + utf8_of(now.substr(0, 40)) + "\"");
    }
}

} // namespace

// Runs the checks of word wrap on a run of their own.
void run_wrapping_checks() {
    const std::string folder = viewer_files_folder();
    std::vector<std::string> names;
    bool written = true;
    for (const WrapCase& c : wrap_cases()) {
        names.push_back(c.file);
        written = written && write_file(folder + c.file, utf8_of(c.line + L"\r\n"));
    }
    std::string big;
    big.reserve(size_t(BIG_WRAP_LINES) * 1000);
    for (int i = 1; i <= BIG_WRAP_LINES; i++)
        big += big_wrap_line(i) + "\r\n";
    written = written && write_file(folder + "wrap-big.txt", big);
    names.push_back("wrap-big.txt");
    std::string words;
    for (int i = 0; i < 2000; i++)
        words += format("w%05d ", i);
    written = written && write_file(folder + "wrap-resize.txt", words + "\r\n");
    names.push_back("wrap-resize.txt");
    std::vector<const char*> files;
    for (const std::string& name : names)
        files.push_back(name.c_str());
    RunningProgram viewer;
    if (!report("wrap: the texts are written", written, "a file could not be written") ||
        !start_viewer(viewer, folder, files.data(), int(files.size()),
                      "wrap: the viewer starts with the texts to wrap"))
        return;
    HWND client = mdi_client_of(viewer.window);
    if (wait_document_count(client, files.size(), PATIENCE_MS)) {
        for (HWND doc : document_windows(client)) {
            RECT outer = window_rect(doc), inner{};
            ::GetClientRect(doc, &inner);
            ::SetWindowPos(doc, nullptr, 0, 0,
                           WRAP_CLIENT_WIDTH + (outer.right - outer.left) - inner.right,
                           16 * row_height() + 60, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        bring_to_front(viewer);
        menu_choose(viewer, 'V', 'W');
        check_wrap_table(viewer, client);
        check_big_wrap(viewer, client);
        check_wrap_resize(viewer, client);
        report("wrap: Word wrap is remembered in the settings",
               read_whole_file(settings_path()).find("view.word_wrap=1") != std::string::npos,
               "no view.word_wrap=1 in " + settings_path());
    }
    program_command(viewer, VIEWER_CMD_EXIT);
    DWORD code = 0;
    if (!program_wait_exit(viewer, PATIENCE_MS, code))
        program_kill(viewer);
}
