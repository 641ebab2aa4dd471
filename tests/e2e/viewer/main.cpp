// Entry of the viewer's check: prepares the test files, runs the checks from outside and
// the in-process soak, and prints one PASS or FAIL line per check, then "N passed, M
// failed"; exit code 1 on any failure. Also owns the small file helpers the checks share.
#include "viewer_check.h"

#include <fcntl.h>
#include <io.h>
#include <objbase.h>

#include <cstring>

// ============================================================================
// Module state
// ============================================================================

const char* const VIEWER_TEST_FILES[VIEWER_TEST_FILE_COUNT] = {
    "line-ends.txt", "long-line.txt", "empty.txt",   "data.bin",    "missing.txt",
    "picture.bmp",   "picture.ico",   "picture.emf", "picture.gif", "broken.gif",
};

// ============================================================================
// Public routines
// ============================================================================

// viewer-files\ beside the check, with a trailing backslash.
std::string viewer_files_folder() {
    return launch_own_folder() + "viewer-files\\";
}

// Records picture.emf: a few flat shapes, no text (fonts would make it depend on more).
bool write_test_metafile(const std::string& folder) {
    std::string path = folder + "picture.emf";
    HDC reference = ::GetDC(nullptr);
    HDC dc = ::CreateEnhMetaFileA(reference, path.c_str(), nullptr, "Tarrowind\0shapes\0");
    ::ReleaseDC(nullptr, reference);
    if (!dc)
        return false;
    HBRUSH sky = ::CreateSolidBrush(RGB(40, 120, 220));
    HBRUSH sun = ::CreateSolidBrush(RGB(250, 200, 30));
    HBRUSH grass = ::CreateSolidBrush(RGB(30, 150, 50));
    HPEN outline = ::CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
    RECT whole{0, 0, 60, 40}, ground{0, 28, 60, 40};
    ::FillRect(dc, &whole, sky);
    ::FillRect(dc, &ground, grass);
    HGDIOBJ old_pen = ::SelectObject(dc, outline);
    HGDIOBJ old_brush = ::SelectObject(dc, sun);
    ::Ellipse(dc, 38, 4, 54, 20);
    ::MoveToEx(dc, 0, 27, nullptr);
    ::LineTo(dc, 60, 27);
    ::SelectObject(dc, old_pen);
    ::SelectObject(dc, old_brush);
    ::DeleteObject(outline);
    ::DeleteObject(grass);
    ::DeleteObject(sun);
    ::DeleteObject(sky);
    HENHMETAFILE metafile = ::CloseEnhMetaFile(dc);
    if (!metafile)
        return false;
    ::DeleteEnhMetaFile(metafile);
    return true;
}

// The whole content of a file, empty when it cannot be read.
std::string read_whole_file(const std::string& path) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "";
    std::string bytes;
    char chunk[4096];
    DWORD got = 0;
    while (::ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0)
        bytes.append(chunk, got);
    ::CloseHandle(file);
    return bytes;
}

// Usage: viewer_check.exe [PART...]: with no part, all of them; the parts are outside,
// features, selecting, remembering, names, frame and soak (a developer's shortcut to one of them).
int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    process_guard_install();
    ::OleInitialize(nullptr);
    uint32_t start = now_ms();
    auto wanted = [&](const char* part) {
        bool named = argc < 2;
        for (int i = 1; i < argc; i++)
            named = named || std::strcmp(argv[i], part) == 0;
        return named;
    };
    report("viewer files: picture.emf recorded through GDI",
           write_test_metafile(viewer_files_folder()),
           "CreateEnhMetaFileA or CloseEnhMetaFile failed in " + viewer_files_folder());
    const struct {
        const char* name;
        void (*run)();
    } parts[] = {{"outside", run_outside_checks},     {"features", run_feature_checks},
                 {"selecting", run_selecting_checks}, {"remembering", run_remembering_checks},
                 {"names", run_name_checks},          {"frame", run_frame_checks},
                 {"wrapping", run_wrapping_checks},   {"edges", run_edge_checks}};
    for (const auto& part : parts)
        if (wanted(part.name))
            part.run();
    report_note(format("checks from outside done after %u ms", now_ms() - start));
    if (wanted("soak"))
        run_soak_check();
    report_note(format("the viewer's check took %u ms", now_ms() - start));
    int failed = report_summary();
    ::OleUninitialize();
    return failed ? 1 : 0;
}
