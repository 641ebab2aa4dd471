// The viewer's large-file benchmark: for texts of 1, 10 and 50 MB made at run time (and one
// of 50 MB in several scripts, as UTF-8), the time to read them with file_read line by line
// (nothing else), and the time the viewer takes to show their first page and to reach
// their last line, reading between events as it does for a person; then the time of the
// commands that work on a whole large text: copying a 10 MB selection and handing it over
// to a program that pastes it, and Find through 50 MB. Relies on the viewer's library in process;
// prints two tables and checks nothing. Times come from QueryPerformanceCounter; the texts are
// deleted afterwards. Usage: viewer_bench.exe [--quick]   (--quick: 1 MB only)
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <algorithm>
#include <string>

#include "examples/viewer/viewer.h"

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

LARGE_INTEGER counter_frequency;

double now_seconds() {
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(counter_frequency.QuadPart);
}

// A text of about megabytes MB: numbered lines of words with a tab, 20 to 120 characters,
// the same on every run; the words in Latin, Greek, Cyrillic and Chinese letters (UTF-8)
// when scripts is set, and the last line "word at the end of the text".
std::string make_text(int32_t megabytes, bool scripts) {
    char folder[MAX_PATH];
    ::GetTempPathA(MAX_PATH, folder);
    const std::string path = std::string(folder) + "viewer_bench_" + std::to_string(megabytes) +
                             (scripts ? "mb_scripts.txt" : "mb.txt");
    const char* const words[] = {"word ", "\xce\xbb\xce\xad\xce\xbe\xce\xb7 ",
                                 "\xd1\x81\xd0\xbb\xd0\xbe\xd0\xb2\xd0\xbe ", "\xe5\xad\x97 "};
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    const int64_t target = static_cast<int64_t>(megabytes) * 1024 * 1024;
    std::string chunk;
    uint32_t seed = 12345;
    int64_t written = 0;
    for (int64_t line = 1; written < target; ++line) {
        char head[32];
        std::snprintf(head, sizeof(head), "%lld\t", static_cast<long long>(line));
        chunk += head;
        seed = seed * 1103515245u + 12345u;
        const uint32_t count = 3 + (seed >> 16) % 18;
        for (uint32_t w = 0; w < count; ++w) {
            chunk += scripts ? words[w % 4] : words[0];
        }
        chunk += "\r\n";
        if (chunk.size() > 1 << 20) {
            DWORD done = 0;
            ::WriteFile(file, chunk.data(), static_cast<DWORD>(chunk.size()), &done, nullptr);
            written += static_cast<int64_t>(chunk.size());
            chunk.clear();
        }
    }
    chunk += "word at the end of the text\r\n";
    DWORD done = 0;
    ::WriteFile(file, chunk.data(), static_cast<DWORD>(chunk.size()), &done, nullptr);
    ::CloseHandle(file);
    return path;
}

// Opens a text in the viewer and reads it to its end; the seconds to its first page and
// to its last line.
Document* open_whole(const std::string& path, double* first_page, double* last_line) {
    const double start = now_seconds();
    Document* document = viewer_open_file(path.c_str());
    process_events(1);
    *first_page = now_seconds() - start;
    while (viewer_reading() != 0) {
        process_events(1);
        viewer_read_some(40);
    }
    *last_line = now_seconds() - start;
    return document;
}

// Seconds that Find takes to answer for a text in a whole document, searching down from
// its top.
double time_find(Document* document, const wchar_t* text) {
    std::wcsncpy(viewer.find.text, text, FIND_LENGTH - 1);
    document->anchor = document->caret = TextPoint{0, 0};
    document->top = 0;
    const double start = now_seconds();
    text_find(document, 0);
    return now_seconds() - start;
}

// Seconds to read the file line by line with file_read; the number of lines.
double bare_read(const std::string& path, int32_t* lines) {
    const double start = now_seconds();
    HANDLE file = nullptr;
    char line[4096];
    *lines = 0;
    if (file_open(&file, TAG_TEXT_FILE, path.c_str(), "R") == 0) {
        while (file_read(&file, TAG_TEXT_FILE, line, TAG_STRING, sizeof(line)) == 0) {
            ++*lines;
        }
        file_close(&file, TAG_TEXT_FILE);
    }
    return now_seconds() - start;
}

intptr_t no_handling() {
    return 0;
}

// Median milliseconds of 51 prints of a line of about 1 KB (ASCII words with text_print, or
// words in four scripts with text_print_utf8) into a window; with platform set, the same
// line drawn by TextOutW alone, as the UTF-8 routine drew it before the platform's layout.
double time_print(bool scripts, bool platform) {
    const char* const words[] = {"word ", "\xce\xbb\xce\xad\xce\xbe\xce\xb7 ",
                                 "\xd1\x81\xd0\xbb\xd0\xbe\xd0\xb2\xd0\xbe ", "\xe5\xad\x97 "};
    std::string line;
    for (int32_t w = 0; line.size() < 1024; ++w) {
        line += scripts ? words[w % 4] : words[0];
    }
    WindowRecord window = {};
    open_window(&window, 0, 0, 640, 80, 0, nullptr, "Print", no_handling);
    wchar_t wide[2048] = {};
    const int units = ::MultiByteToWideChar(CP_UTF8, 0, line.c_str(), -1, wide, 2048) - 1;
    double times[51];
    for (double& time : times) {
        move_to(&window, 0, 0);
        const double start = now_seconds();
        if (platform) {
            HDC dc = begin_draw(&window);
            ::TextOutW(dc, 0, 0, wide, units);
            end_draw(&window, dc, 1);
        } else if (scripts) {
            text_print_utf8(&window, line.c_str(), -1);
        } else {
            text_print(2, PRINT_WINDOW, &window, PRINT_TEXT, line.c_str());
        }
        time = (now_seconds() - start) * 1000.0;
    }
    close_window(&window);
    std::sort(times, times + 51);
    return times[25];
}

// Seconds Ctrl+End takes to show the last line of a document read whole.
double time_end(Document* document) {
    const double start = now_seconds();
    text_go_to_end(document);
    process_events(1);
    return now_seconds() - start;
}

// Word wrap on a text of megabytes MB: Ctrl+End without it, turning it on, the first page of
// the text opened with it on, and Ctrl+End with it on.
void time_wrap(const std::string& path, int32_t megabytes) {
    // A narrow frame, so that documents are narrower than most lines (20 to 120 characters).
    ::SetWindowPos(viewer.frame.hwnd, nullptr, 0, 0, 560, 700, SWP_NOMOVE | SWP_NOZORDER);
    process_events(1);
    double first_page = 0, last_line = 0;
    Document* document = open_whole(path, &first_page, &last_line);
    const double plain_end = time_end(document);
    text_go_to_line(document, 0);
    double start = now_seconds();
    text_set_word_wrap(1);
    process_events(1);
    const double turned = now_seconds() - start;
    viewer_close_document(document);
    document = open_whole(path, &first_page, &last_line);
    const int32_t first_lines = text_last_line_shown(document) - document->top + 1;
    const double wrapped_end = time_end(document);
    const int32_t lines = text_last_line_shown(document) - document->top + 1;
    std::printf("| Ctrl+End, word wrap off | %d MB | %.3f s |\n", megabytes, plain_end);
    std::printf("| Word wrap turned on at the top | %d MB | %.3f s |\n", megabytes, turned);
    std::printf("| First page, word wrap on (%d rows, %d lines) | %d MB | %.3f s |\n",
                text_rows(document), first_lines, megabytes, first_page);
    std::printf("| Ctrl+End, word wrap on (the last page: %d rows, %d lines) | %d MB | %.3f s |\n",
                text_rows(document), lines, megabytes, wrapped_end);
    text_set_word_wrap(0);
    viewer_close_document(document);
}

} // namespace

int main(int argc, char** argv) {
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    ::QueryPerformanceFrequency(&counter_frequency);
    runtime_startup();
    if (viewer_open_frame() == 0) {
        std::printf("the viewer's frame could not be opened\n");
        return 1;
    }
    std::printf(
        "| text | lines | file_read line by line | viewer: first page | viewer: last line | "
        "last line / bare read |\n|---|---|---|---|---|---|\n");
    struct Text {
        int32_t megabytes;
        bool scripts;
    };
    for (const Text text : {Text{1, false}, Text{10, false}, Text{50, false}, Text{50, true}}) {
        if (quick && text.megabytes > 1) {
            break;
        }
        const std::string path = make_text(text.megabytes, text.scripts);
        int32_t lines = 0;
        bare_read(path, &lines); // once to have the file in the cache, like the viewer's run
        const double bare = bare_read(path, &lines);
        double first_page = 0, last_line = 0;
        Document* document = open_whole(path, &first_page, &last_line);
        const int32_t shown = document != nullptr ? document->lines.count : -1;
        std::printf("| %d MB%s | %d | %.2f s | %.3f s | %.2f s | %.2fx |\n", text.megabytes,
                    text.scripts ? " UTF-8, four scripts" : "", shown, bare, first_page, last_line,
                    last_line / bare);
        if (shown != lines) {
            std::printf("(the viewer counted %d lines, file_read %d)\n", shown, lines);
        }
        std::fflush(stdout);
        viewer_close_document(document);
        ::DeleteFileA(path.c_str());
    }

    std::printf("\n| command | text | time |\n|---|---|---|\n");
    const std::string ten = make_text(quick ? 1 : 10, false);
    const std::string fifty = make_text(quick ? 1 : 50, false);
    double first_page = 0, last_line = 0;
    Document* document = open_whole(ten, &first_page, &last_line);
    text_select_all(document);
    double start = now_seconds();
    const int32_t copied = text_copy(document);
    std::printf("| Copy of the whole text selected%s | %d MB | %.3f s |\n",
                copied != 0 ? "" : " (refused)", quick ? 1 : 10, now_seconds() - start);
    // A program pasting it: the text is handed over then, by the window that placed it (here,
    // in this process, at once; for another program, while the viewer waits for events).
    start = now_seconds();
    bool pasted = false;
    if (::OpenClipboard(nullptr)) {
        pasted = ::GetClipboardData(CF_UNICODETEXT) != nullptr;
        ::CloseClipboard();
    }
    std::printf("| The copy handed over to a program that pastes it%s | %d MB | %.3f s |\n",
                pasted ? "" : " (nothing to paste)", quick ? 1 : 10, now_seconds() - start);
    viewer_close_document(document);
    document = open_whole(fifty, &first_page, &last_line);
    const double found = time_find(document, L"word at the end");
    std::printf("| Find, the match in the last line%s | %d MB | %.3f s |\n",
                document->anchor.line == document->lines.count - 1 ? "" : " (not found)",
                quick ? 1 : 50, found);
    const double missed = time_find(document, L"no such words");
    std::printf("| Find, \"Not found\" after the whole text | %d MB | %.3f s |\n", quick ? 1 : 50,
                missed);
    time_wrap(fifty, quick ? 1 : 50);
    viewer_close_document(document);
    const std::string scripts = make_text(quick ? 1 : 50, true);
    document = open_whole(scripts, &first_page, &last_line);
    std::printf(
        "| Find, \"Not found\" after the whole text | %d MB UTF-8, four scripts | %.3f s |\n",
        quick ? 1 : 50, time_find(document, L"no such words"));
    viewer_close_document(document);
    ::DeleteFileA(scripts.c_str());
    std::printf("| text_print, a 1 KB ASCII line (median of 51) | 1 KB | %.3f ms |\n",
                time_print(false, false));
    std::printf(
        "| text_print_utf8, a 1 KB line in four scripts (median of 51) | 1 KB | %.3f ms |\n",
        time_print(true, false));
    std::printf("| TextOutW alone, the same line (as the UTF-8 routine drew it before) | 1 KB | "
                "%.3f ms |\n",
                time_print(true, true));
    ::DeleteFileA(ten.c_str());
    ::DeleteFileA(fifty.c_str());
    viewer_close_all();
    return 0;
}
