// The frame's side in tables, with the viewer's own routines in the check's process, in a
// frame already open: the line each file that will not open shows, the items of the
// context menus as they apply, and the scale each zoom step goes to from a fitted picture.
// Relies on the viewer's library (as the soak does).
#include "viewer_check.h"

#include "examples/viewer/viewer.h"

namespace {

// A file of its size, its bytes never written (the file system keeps it sparse).
bool write_sized(const std::string& path, int64_t size) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER at{};
    at.QuadPart = size;
    const bool sized = file != INVALID_HANDLE_VALUE &&
                       ::SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
    if (file != INVALID_HANDLE_VALUE)
        ::CloseHandle(file);
    return sized;
}

void check_reasons(const std::string& folder) {
    const std::string dir = folder + "a folder.txt", held = folder + "held.txt",
                      huge = folder + "huge.txt", huge_picture = folder + "huge.png";
    ::CreateDirectoryA(dir.c_str(), nullptr);
    write_sized(held, 10);
    write_sized(huge, 3LL << 30);
    write_sized(huge_picture, 300LL << 20);
    // Held open without sharing, as another program may hold a file.
    HANDLE holder =
        ::CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    const long long largest_text = sizeof(void*) == 8 ? 1024 : 256;
    const struct {
        std::string path, line;
    } rows[] = {
        {folder + "missing.txt", "Cannot open missing.txt: there is no such file"},
        {folder + "nowhere\\missing.txt", "Cannot open missing.txt: there is no such folder"},
        {dir, "Cannot open a folder.txt: it is a folder"},
        {held, "Cannot open held.txt: another program is using it"},
        {huge, format("Cannot open huge.txt: it is too large (3072 MB; texts up to %lld MB show)",
                      largest_text)},
        {huge_picture,
         "Cannot open huge.png: it is too large (300 MB; pictures up to 256 MB show)"},
        {folder + "broken.gif", "Cannot open broken.gif: it is not a picture the viewer can show"},
        {folder + "data.bin", "Cannot show a binary file: data.bin"},
    };
    for (const auto& row : rows) {
        Document* document = viewer_open_file(row.path.c_str());
        const std::string seen = document && document->message ? document->message : "(none)";
        report("reasons: " + row.line, seen == row.line, "the document says \"" + seen + "\"");
        viewer_close_document(document);
    }
    ::CloseHandle(holder);
    for (const std::string& path : {held, huge, huge_picture})
        ::DeleteFileA(path.c_str());
    ::RemoveDirectoryA(dir.c_str());
}

// The context menu's items as "command:state" with state g (greyed), c (ticked) or -.
std::string context_items(Document* document) {
    HMENU menu = viewer_context_items(document);
    std::string items;
    for (int i = 0; i < ::GetMenuItemCount(menu); i++) {
        const UINT state = ::GetMenuState(menu, i, MF_BYPOSITION);
        if (state & MF_SEPARATOR)
            continue;
        items += format("%u:%s ", ::GetMenuItemID(menu, i),
                        state & MF_GRAYED    ? "g"
                        : state & MF_CHECKED ? "c"
                                             : "-");
    }
    destroy_menu(menu);
    return items;
}

void check_context_items(const std::string& folder) {
    const struct {
        const char* what;
        const char* file;
        void (*before)(Document*);
        const char* items;
    } rows[] = {
        {"a text without a selection: Copy greyed", "line-ends.txt", nullptr,
         "40013:g 40014:- 40006:- "},
        {"a text with a selection: Copy offered", "line-ends.txt", text_select_all,
         "40013:- 40014:- 40006:- "},
        {"a file that did not open: nothing offered", "missing.txt", nullptr,
         "40013:g 40014:g 40006:g "},
        {"a picture: Fit to window and the zoom", "picture.bmp", nullptr,
         "40018:- 40010:- 40016:- 40017:- "},
        {"a fitted picture: Fit to window ticked", "picture.bmp", viewer_fit,
         "40018:c 40010:- 40016:- 40017:- "},
    };
    for (const auto& row : rows) {
        Document* document = viewer_open_file((folder + row.file).c_str());
        if (document && row.before)
            row.before(document);
        const std::string seen = document ? context_items(document) : "(no document)";
        report(std::string("context menu items: ") + row.what, seen == row.items, seen);
        viewer_close_document(document);
    }
}

void check_zoom_steps(const std::string& folder) {
    // big.bmp (600 x 400) fitted to about 190 pixels across is drawn at about 31%;
    // picture.ico (32 x 32) fitted to about 500 at about 1500%.
    const struct {
        const char* what;
        const char* file;
        int width, steps, fitted_from, fitted_to, want; // want 0: fitted as before
    } rows[] = {
        {"Zoom out from a fitted 31% goes to 25%", "big.bmp", 200, -1, 26, 32, 25},
        {"Zoom in from a fitted 31% goes to 33%", "big.bmp", 200, 1, 26, 32, 33},
        {"Zoom out from a fitted 1500% goes to 400%", "picture.ico", 520, -1, 401, 9999, 400},
        {"Zoom in from a fitted 1500% leaves it fitted", "picture.ico", 520, 1, 401, 9999, 0},
    };
    for (const auto& row : rows) {
        Document* document = viewer_open_file((folder + row.file).c_str());
        if (!document)
            continue;
        set_window_rect(&document->window, 0, 0, row.width, 560, 0);
        viewer_fit(document);
        const int fitted = document->zoom;
        viewer_zoom(document, row.steps);
        const int want = row.want ? row.want : fitted;
        report(std::string("zoom: ") + row.what,
               fitted >= row.fitted_from && fitted <= row.fitted_to && document->zoom == want &&
                   document->fit == (row.want ? 0 : 1),
               format("fitted at %d%%, then %d%%, fit %d", fitted, document->zoom, document->fit));
        viewer_close_document(document);
    }
}

} // namespace

// Runs the tables of reasons, context menu items and zoom steps in the check's process.
void run_frame_tables(const std::string& folder) {
    check_reasons(folder);
    check_context_items(folder);
    check_zoom_steps(folder);
}
