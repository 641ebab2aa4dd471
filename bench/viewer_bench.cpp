// The viewer's large-file benchmark: for texts of 1, 10 and 50 MB made at run time, the time
// to read them with file_read line by line (nothing else), and the time the viewer takes to
// show their first page and to reach their last line, reading between events as it does
// for a person. Relies on the viewer's library in process; prints a table and checks
// nothing. Times come from QueryPerformanceCounter; the texts are deleted afterwards.
// Usage: viewer_bench.exe [--quick]   (--quick: 1 MB only)
#include <windows.h>

#include <cstdio>
#include <cstring>
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
// the same on every run.
std::string make_text(int32_t megabytes) {
    char folder[MAX_PATH];
    ::GetTempPathA(MAX_PATH, folder);
    const std::string path =
        std::string(folder) + "viewer_bench_" + std::to_string(megabytes) + "mb.txt";
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
        const uint32_t words = 3 + (seed >> 16) % 18;
        for (uint32_t w = 0; w < words; ++w) {
            chunk += "word ";
        }
        chunk += "\r\n";
        if (chunk.size() > 1 << 20) {
            DWORD done = 0;
            ::WriteFile(file, chunk.data(), static_cast<DWORD>(chunk.size()), &done, nullptr);
            written += static_cast<int64_t>(chunk.size());
            chunk.clear();
        }
    }
    DWORD done = 0;
    ::WriteFile(file, chunk.data(), static_cast<DWORD>(chunk.size()), &done, nullptr);
    ::CloseHandle(file);
    return path;
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
    for (int32_t megabytes : {1, 10, 50}) {
        if (quick && megabytes > 1) {
            break;
        }
        const std::string path = make_text(megabytes);
        int32_t lines = 0;
        bare_read(path, &lines); // once to have the file in the cache, like the viewer's run
        const double bare = bare_read(path, &lines);

        const double start = now_seconds();
        Document* document = viewer_open_file(path.c_str());
        process_events(1);
        const double first_page = now_seconds() - start;
        while (viewer_reading() != 0) {
            process_events(1);
            viewer_read_some(40);
        }
        const double last_line = now_seconds() - start;
        const int32_t shown = document != nullptr ? document->lines.count : -1;
        std::printf("| %d MB | %d | %.2f s | %.3f s | %.2f s | %.2fx |\n", megabytes, shown, bare,
                    first_page, last_line, last_line / bare);
        if (shown != lines) {
            std::printf("(the viewer counted %d lines, file_read %d)\n", shown, lines);
        }
        std::fflush(stdout);
        viewer_close_document(document);
        ::DeleteFileA(path.c_str());
    }
    viewer_close_all();
    return 0;
}
