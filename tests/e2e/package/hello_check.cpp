// Checks a Hello program built against the installed runtime: it starts, shows its window
// with "Hello from the runtime" at (10, 10) and the line in several scripts at (10, 40) as
// the platform's own wide drawing shows it, and ends with exit code 0 on a close request.
// Usage: hello_check FOLDER (the folder holding hello.exe). Prints PASS/FAIL lines and
// "N passed, M failed"; exit code 1 on any failure. Relies on the shared end-to-end helpers.
#include <fcntl.h>
#include <io.h>

#include <cwchar>

#include "tests/e2e/common/e2e.h"

namespace {

constexpr const char* HELLO_TEXT = "Hello from the runtime";
constexpr const wchar_t* SCRIPTS_TEXT = L"Γειά σου · Привет · 你好";
constexpr DWORD TEXT_TIMEOUT_MS = 10000;
constexpr DWORD EXIT_TIMEOUT_MS = 10000;

// The platform's own drawing of a wide text in a fresh context's font, black on white.
Picture render_wide(const wchar_t* text) {
    HDC measure = ::CreateCompatibleDC(nullptr);
    SIZE extent{};
    ::GetTextExtentPoint32W(measure, text, int(wcslen(text)), &extent);
    ::DeleteDC(measure);
    Canvas c = canvas_open(extent.cx > 0 ? extent.cx : 1, extent.cy > 0 ? extent.cy : 1);
    ::SetBkMode(c.dc, OPAQUE);
    ::SetBkColor(c.dc, RGB(255, 255, 255));
    ::SetTextColor(c.dc, RGB(0, 0, 0));
    ::TextOutW(c.dc, 0, 0, text, int(wcslen(text)));
    return canvas_close(c);
}

// Waits until the window shows the picture at (x, y); the pixels differing at the end.
int wait_for_text(HWND window, int x, int y, const Picture& expected) {
    int differences = -1;
    for (uint32_t start = now_ms(); now_ms() - start < TEXT_TIMEOUT_MS; ::Sleep(50)) {
        Picture seen = capture_client(window, x, y, expected.width, expected.height);
        differences = count_differences(seen, expected);
        if (differences == 0)
            break;
    }
    return differences;
}

} // namespace

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc != 2) {
        std::printf("usage: hello_check FOLDER\n");
        return 2;
    }
    process_guard_install();
    std::string folder = argv[1];
    if (folder.back() != '\\' && folder.back() != '/')
        folder += '\\';

    RunningProgram hello;
    std::string why;
    if (report("hello.exe starts and shows its window",
               program_start(hello, folder, "hello.exe", "", "KalvorineWndClass", why), why)) {
        report("its caption is \"Hello\"", window_text(hello.window) == "Hello",
               window_text(hello.window));
        int differences = wait_for_text(hello.window, 10, 10, render_text(HELLO_TEXT));
        report("it shows \"Hello from the runtime\" at (10, 10)", differences == 0,
               format("%d pixels differ", differences));
        differences = wait_for_text(hello.window, 10, 40, render_wide(SCRIPTS_TEXT));
        report("it shows the line in Greek, Cyrillic and Chinese at (10, 40)", differences == 0,
               format("%d pixels differ", differences));
        ::PostMessageA(hello.window, WM_CLOSE, 0, 0);
        DWORD code = 1;
        bool ended = program_wait_exit(hello, EXIT_TIMEOUT_MS, code);
        report("a close request ends it with exit code 0", ended && code == 0,
               ended ? format("exit code %lu", code) : "still running");
    }
    program_kill(hello);
    return report_summary() != 0 ? 1 : 0;
}
