// Checks Tally, built against the installed runtime, from outside with real input: a
// counter added through its form (a wrong value refused first), clicks that change it,
// Copy, Save As with a typed name, the question on closing with unsaved changes, the
// window's place and the last file remembered across a restart, Open with a typed name, a
// file that is no tally refused, and the status bar's clock along the window's bottom.
// Usage: tally_check FOLDER (the folder holding tally.exe). Prints PASS/FAIL lines and
// "N passed, M failed"; exit code 1 on any failure. Relies on the shared end-to-end helpers.
#include <fcntl.h>
#include <io.h>
#include <shlobj.h>

#include <fstream>
#include <sstream>

#include "tests/e2e/common/e2e.h"

namespace {

// ============================================================================
// Input and reading back
// ============================================================================

// Types text character by character, as a keyboard of any layout would.
void type(const std::string& text) {
    std::vector<INPUT> keys;
    for (char c : text)
        for (DWORD up : {DWORD(0), DWORD(KEYEVENTF_KEYUP)}) {
            INPUT in{};
            in.type = INPUT_KEYBOARD;
            in.ki.wScan = WORD(uint8_t(c));
            in.ki.dwFlags = KEYEVENTF_UNICODE | up;
            keys.push_back(in);
        }
    ::SendInput(UINT(keys.size()), keys.data(), sizeof(INPUT));
}

// A click of the left or right button at a client point, the point travelling with it.
void click(HWND window, int x, int y, bool right = false) {
    POINT at{x, y};
    ::ClientToScreen(window, &at);
    const int width = ::GetSystemMetrics(SM_CXSCREEN), height = ::GetSystemMetrics(SM_CYSCREEN);
    INPUT in[2]{};
    for (int i = 0; i < 2; i++) {
        in[i].type = INPUT_MOUSE;
        in[i].mi.dx = LONG((int64_t(at.x) * 65536 + width - 1) / width);
        in[i].mi.dy = LONG((int64_t(at.y) * 65536 + height - 1) / height);
        in[i].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE |
                           (right ? (i ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_RIGHTDOWN)
                                  : (i ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_LEFTDOWN));
    }
    ::SendInput(2, in, sizeof(INPUT));
}

// Replaces the text of the edit with the focus by typing.
void retype(const std::string& text) {
    press(VK_HOME);
    press(VK_END, {VK_SHIFT});
    type(text);
}

// Makes a window of the program the foreground window, so that keys reach it.
bool to_front(HWND window) {
    return poll_until(PATIENCE_MS, [&] {
        if (::GetForegroundWindow() != window)
            ::SetForegroundWindow(window);
        return ::GetForegroundWindow() == window && ::IsWindowEnabled(window);
    });
}

// The program's visible top-level window of a class and caption, once it shows; or null.
HWND wait_window(const RunningProgram& program, const char* klass, const std::string& caption) {
    HWND found = nullptr;
    poll_until(PATIENCE_MS, [&] {
        for (HWND w = ::FindWindowExA(nullptr, nullptr, klass, nullptr); w;
             w = ::FindWindowExA(nullptr, w, klass, nullptr)) {
            DWORD process = 0;
            ::GetWindowThreadProcessId(w, &process);
            if (process == program.info.dwProcessId && ::IsWindowVisible(w) &&
                window_text(w) == caption)
                found = w;
        }
        return found != nullptr || !program_alive(program);
    });
    return found;
}

// True once the window has gone (or was never there).
bool gone(HWND window) {
    return poll_until(PATIENCE_MS,
                      [&] { return !::IsWindow(window) || !::IsWindowVisible(window); });
}

// A window's text asked of the window itself (a status bar keeps its own).
std::string asked_text(HWND window) {
    char text[512] = {};
    DWORD_PTR length = 0;
    ::SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, LPARAM(text), SMTO_ABORTIFHUNG,
                          PATIENCE_MS, &length);
    return text;
}

// The clipboard's text, or "" when it holds none.
std::string clipboard_text() {
    std::string text;
    if (!::OpenClipboard(nullptr))
        return text;
    if (HANDLE data = ::GetClipboardData(CF_TEXT)) {
        if (const char* bytes = static_cast<const char*>(::GlobalLock(data))) {
            text = bytes;
            ::GlobalUnlock(data);
        }
    }
    ::CloseClipboard();
    return text;
}

std::string file_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

void file_put(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Waits until get() gives want; reports the check with what was seen last.
template <class Get> bool expect(const std::string& check, const std::string& want, Get get) {
    std::string seen;
    poll_until(PATIENCE_MS, [&] { return (seen = get()) == want; });
    return report(check, seen == want, "\"" + seen + "\"");
}

// ============================================================================
// The steps
// ============================================================================

struct Tally {
    RunningProgram program;
    HWND status = nullptr; // its status bar
};

bool start(Tally& t, const std::string& folder) {
    std::string why;
    bool started = program_start(t.program, folder, "tally.exe", "", "KalvorineWndClass", why);
    // The window shows before the program has made its status bar: wait for that too.
    poll_until(PATIENCE_MS, [&] {
        t.status = ::FindWindowExA(t.program.window, nullptr, "msctls_statusbar32", nullptr);
        return !started || t.status != nullptr;
    });
    return report("tally.exe starts and shows its window and status bar",
                  started && t.status != nullptr, why);
}

std::string status(const Tally& t) {
    std::string text = asked_text(t.status);
    return text.substr(0, text.find("   Time:"));
}

// Adds a counter through the form, first with a start value that is no number.
void add_counter(Tally& t) {
    to_front(t.program.window);
    press(VK_INSERT);
    HWND form = wait_window(t.program, "KalvorineDlgClass", "Add counter");
    if (!report("Insert opens the \"Add counter\" form", form != nullptr, "no form") ||
        !to_front(form))
        return;
    type("apples");
    press(VK_TAB);
    type("x");
    press(VK_RETURN);
    HWND refusal = wait_window(t.program, "#32770", "Add counter");
    report("a start value that is no number is refused with a message",
           refusal &&
               window_text(::GetDlgItem(refusal, 0xFFFF)).find("whole number") != std::string::npos,
           refusal ? window_text(::GetDlgItem(refusal, 0xFFFF)) : "no message");
    if (refusal)
        close_message_box(refusal, PATIENCE_MS);
    report("the form stays open", ::IsWindowVisible(form) != 0, "it closed");
    to_front(form);
    retype("3");
    press(VK_RETURN);
    report("OK with right values closes the form", gone(form), "still open");
    expect("the status bar counts it", "Counters: 1   Total: 3", [&] { return status(t); });
    const Picture& want = render_text("apples: 3");
    int differences = -1;
    poll_until(PATIENCE_MS, [&] {
        differences = count_differences(
            capture_client(t.program.window, 10, 10, want.width, want.height), want);
        return differences == 0;
    });
    report("the window shows \"apples: 3\" at (10, 10)", differences == 0,
           format("%d pixels differ", differences));
}

// Clicks on the line, Copy, and Save As with a typed name.
void count_copy_save(Tally& t, const std::string& path) {
    HWND window = t.program.window;
    click(window, 15, 14);
    expect("a left click adds one", "Counters: 1   Total: 4", [&] { return status(t); });
    click(window, 40, 14); // apart from the first: not a double-click
    expect("another adds one more", "Counters: 1   Total: 5", [&] { return status(t); });
    click(window, 65, 14, true);
    expect("a right click takes one away", "Counters: 1   Total: 4", [&] { return status(t); });
    expect("the caption says unsaved", "Tally - untitled *", [&] { return window_text(window); });
    to_front(window);
    press('C', {VK_CONTROL});
    expect("Ctrl+C copies the lines", "apples: 4\r\n", clipboard_text);
    press('S', {VK_CONTROL});
    HWND dialog = wait_window(t.program, "#32770", "Save As");
    if (!report("Ctrl+S on an untitled tally asks where", dialog != nullptr, "no dialog") ||
        !to_front(dialog))
        return;
    retype(path);
    press(VK_RETURN);
    expect("the typed file holds the counter", "apples\t4\r\n", [&] { return file_text(path); });
    expect("the caption names it", "Tally - counts.tally", [&] { return window_text(window); });
}

// Closes with an unsaved change: Cancel stays, No ends without saving.
void close_unsaved(Tally& t, const std::string& path) {
    click(t.program.window, 15, 14);
    expect("a click changes it again", "Counters: 1   Total: 5", [&] { return status(t); });
    for (int answer : {IDCANCEL, IDNO}) {
        ::PostMessageA(t.program.window, WM_CLOSE, 0, 0);
        HWND box = wait_window(t.program, "#32770", "Tally");
        HWND button = box ? ::GetDlgItem(box, answer) : nullptr;
        bool asked = button && ::GetDlgItem(box, IDYES) && ::GetDlgItem(box, IDNO);
        if (!report(answer == IDCANCEL ? "closing asks Yes, No or Cancel" : "closing asks again",
                    asked, box ? window_text(::GetDlgItem(box, 0xFFFF)) : "no question"))
            return;
        RECT r{};
        ::GetClientRect(button, &r);
        click(button, r.right / 2, r.bottom / 2);
        gone(box);
        if (answer == IDCANCEL)
            report("Cancel keeps it running", program_alive(t.program), "it ended");
    }
    DWORD code = 1;
    bool ended = program_wait_exit(t.program, PATIENCE_MS, code);
    report("No ends it with exit code 0", ended && code == 0,
           ended ? format("exit code %lu", code) : "still running");
    report("the file keeps what was saved", file_text(path) == "apples\t4\r\n", file_text(path));
}

// Opens a file by a typed name; a file that is no tally is refused.
void open_files(Tally& t, const std::string& folder) {
    const std::string good = folder + "more.tally", bad = folder + "bad.tally";
    file_put(good, "\xEF\xBB\xBFpears\t7\r\nplums\t-2\n\nfigs\t10");
    file_put(bad, "pears 7\r\n");
    for (const std::string& path : {bad, good}) {
        to_front(t.program.window);
        press('O', {VK_CONTROL});
        HWND dialog = wait_window(t.program, "#32770", "Open");
        if (!report("Ctrl+O asks which file", dialog != nullptr, "no dialog") || !to_front(dialog))
            return;
        retype(path);
        press(VK_RETURN);
        if (path == bad) {
            HWND box = wait_window(t.program, "#32770", "Tally");
            std::string text = box ? window_text(::GetDlgItem(box, 0xFFFF)) : "no message";
            report("a line without a tab is refused by number",
                   text.find("bad.tally, line 1: not a counter") != std::string::npos, text);
            if (box)
                close_message_box(box, PATIENCE_MS);
            expect("the counters stay", "Counters: 1   Total: 4", [&] { return status(t); });
        }
    }
    expect("the file's lines are read, whatever their ends", "Counters: 3   Total: 15",
           [&] { return status(t); });
    press('C', {VK_CONTROL});
    expect("and copied in order", "pears: 7\r\nplums: -2\r\nfigs: 10\r\n", clipboard_text);
}

// The status bar keeps to the bottom when the window grows, and its clock runs.
void status_bar(Tally& t) {
    ::SetWindowPos(t.program.window, nullptr, 0, 0, 480, 400, SWP_NOMOVE | SWP_NOZORDER);
    RECT client{}, bar{};
    bool along = poll_until(PATIENCE_MS, [&] {
        client = client_rect_on_screen(t.program.window);
        bar = window_rect(t.status);
        return bar.bottom == client.bottom && bar.left == client.left && bar.right == client.right;
    });
    report("the status bar stays along the bottom of a larger window", along,
           format("bar %ld..%ld x %ld..%ld, client to %ld x %ld", bar.left, bar.right, bar.top,
                  bar.bottom, client.right, client.bottom));
    std::string first = asked_text(t.status);
    report("the clock moves on",
           poll_until(PATIENCE_MS, [&] { return asked_text(t.status) != first; }), first);
}

} // namespace

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc != 2) {
        std::printf("usage: tally_check FOLDER\n");
        return 2;
    }
    process_guard_install();
    std::string folder = argv[1];
    for (char& c : folder)
        if (c == '/')
            c = '\\';
    if (folder.back() != '\\')
        folder += '\\';
    char appdata[MAX_PATH] = {};
    ::SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appdata);
    ::DeleteFileA((std::string(appdata) + "\\Tally\\settings.ini").c_str());
    const std::string path = folder + "counts.tally";
    ::DeleteFileA(path.c_str());

    Tally first;
    if (start(first, folder)) {
        expect("a first start has no file", "Tally - untitled",
               [&] { return window_text(first.program.window); });
        add_counter(first);
        count_copy_save(first, path);
        ::SetWindowPos(first.program.window, nullptr, 50, 60, 400, 320, SWP_NOZORDER);
        close_unsaved(first, path);
    }
    program_kill(first.program);

    Tally second;
    if (start(second, folder)) {
        RECT r{};
        bool placed = poll_until(PATIENCE_MS, [&] {
            r = window_rect(second.program.window);
            return r.left == 50 && r.top == 60 && r.right == 450 && r.bottom == 380;
        });
        report("a restart puts the window back where it was", placed,
               format("(%ld, %ld) to (%ld, %ld)", r.left, r.top, r.right, r.bottom));
        expect("and reads the last file", "Tally - counts.tally",
               [&] { return window_text(second.program.window); });
        expect("as it was saved", "Counters: 1   Total: 4", [&] { return status(second); });
        open_files(second, folder);
        status_bar(second);
        ::PostMessageA(second.program.window, WM_CLOSE, 0, 0);
        DWORD code = 1;
        bool ended = program_wait_exit(second.program, PATIENCE_MS, code);
        report("closing with nothing unsaved ends it at once", ended && code == 0,
               ended ? format("exit code %lu", code) : "still running");
    }
    program_kill(second.program);
    return report_summary() != 0 ? 1 : 0;
}
