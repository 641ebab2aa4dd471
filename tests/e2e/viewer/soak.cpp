// The viewer's soak: 200 documents of every kind opened and closed with the viewer's own
// routines and commands, with its three dialogs opened and closed between them, in this
// process, so that the resource census (which can count only its own process) counts
// exactly what the viewer holds.
// Relies on the viewer's library (the same routines tarrowind-viewer.exe is built from, with
// its resources linked in here) and on the soak tests' census.
#include "viewer_check.h"

#include <shlobj.h>

#include <cctype>
#include <cstring>

#include "tests/support/census.h"
#include "examples/viewer/viewer.h"

// ============================================================================
// Module state
// ============================================================================

namespace {

constexpr int SOAK_DOCUMENTS = 200;
constexpr int CYCLE_KINDS = VIEWER_TEST_FILE_COUNT + 1; // every file, then the samples

// ============================================================================
// Internal helpers
// ============================================================================

// Opens one file (or the two samples) and closes what opened through the viewer's own
// paths: "Close" from the menu for files, each window's close request for the samples.
// The number of documents opened, or -1 when something stayed open. keep stays open.
int open_and_close(int cycle, const std::string& folder, const Document* keep = nullptr) {
    int kind = cycle % CYCLE_KINDS;
    int opened = 0;
    if (kind < VIEWER_TEST_FILE_COUNT) {
        viewer_open_file((folder + VIEWER_TEST_FILES[kind]).c_str());
        opened = 1;
        process_events(1);
        ::PostMessageA(viewer.frame.hwnd, WM_COMMAND, VIEWER_CMD_CLOSE, 0);
    } else {
        viewer_open_samples();
        opened = 2;
        process_events(1);
        for (Document& document : viewer.documents)
            if (document.kind != DOC_FREE && &document != keep)
                ::PostMessageA(document.window.hwnd, WM_CLOSE, 0, 0);
    }
    process_events(1);
    return viewer_document_count() == (keep != nullptr ? 1 : 0) ? opened : -1;
}

// Ends the modal dialog that is up, from inside its loop.
void CALLBACK end_modal(HWND, UINT, UINT_PTR timer, DWORD) {
    ::KillTimer(nullptr, timer);
    dialog_end(&viewer.go_to_dialog, 0);
    dialog_end(&viewer.colors_dialog, 0);
}

// Opens and closes one of the viewer's dialogs: Find (modeless), Go to line or Colours
// (modal, ended from a timer inside their loops) on the document left open for them.
void open_and_close_dialog(int cycle, Document* document) {
    switch (cycle % 3) {
    case 0:
        viewer_show_find();
        process_events(1);
        dialog_end(&viewer.find_dialog, 0);
        break;
    case 1:
        ::SetTimer(nullptr, 0, 10, end_modal);
        viewer_go_to_line(document);
        break;
    default:
        ::SetTimer(nullptr, 0, 10, end_modal);
        viewer_choose_colors();
        break;
    }
    process_events(1);
}

// NOTE: Wine hands out window contexts from a cache that binds each one to the window it
// served until that window is destroyed, and makes a new one whenever none is free: the
// frame and the text open for the whole soak came to hold 0 to 3 more of them, by the
// timing of paints inside modal dialogs' loops. Up to CACHED_CONTEXTS more window contexts
// (each with its region) are taken for that cache; a context that is never given back
// shows once per cycle, far beyond.
constexpr int CACHED_CONTEXTS = 4;

// The census after, with the window contexts the cache may have added taken away.
Census without_cached_contexts(const Census& before, Census after) {
    const int added = after.gdi_by_kind[OBJ_DC] - before.gdi_by_kind[OBJ_DC];
    if (added > 0 && added <= CACHED_CONTEXTS &&
        after.gdi_by_kind[OBJ_REGION] - before.gdi_by_kind[OBJ_REGION] == added) {
        after.gdi_by_kind[OBJ_DC] -= added;
        after.gdi_by_kind[OBJ_REGION] -= added;
        after.gdi_objects -= 2 * added;
        report_note(format("soak: Wine's context cache grew by %d", added));
    }
    return after;
}

// Files dropped on the frame open, each in its document: the drop is made here, in the
// viewer's process, as the shell makes it (a DROPFILES block of NUL-separated names).
void check_drop(const std::string& folder) {
    const std::string names[] = {folder + "line-ends.txt", folder + "picture.bmp"};
    std::string list;
    for (const std::string& name : names)
        list += name + '\0';
    list += '\0';
    HGLOBAL drop = ::GlobalAlloc(GHND, sizeof(DROPFILES) + list.size());
    auto* files = static_cast<DROPFILES*>(::GlobalLock(drop));
    files->pFiles = sizeof(DROPFILES);
    std::memcpy(reinterpret_cast<char*>(files) + sizeof(DROPFILES), list.data(), list.size());
    ::GlobalUnlock(drop);
    ::SendMessageA(viewer.frame.hwnd, WM_DROPFILES, WPARAM(drop), 0); // the viewer frees it
    int opened = 0;
    for (Document& document : viewer.documents)
        if (document.kind != DOC_FREE)
            opened += std::string(document.name) == "line-ends.txt" ||
                      std::string(document.name) == "picture.bmp";
    report("files dropped on the frame open in documents", opened == 2,
           format("%d of 2 opened", opened));
    for (Document& document : viewer.documents)
        viewer_close_document(&document);
}

// A large text shows how far its reading got in its status line, slice by slice: read here
// with the viewer's own routines, so that the reading stands still between two looks.
void check_progress(const std::string& folder) {
    const std::string path = folder + "progress.txt";
    std::string text;
    for (int i = 1; text.size() < 4u << 20; i++)
        text += format("Line %07d of a text read a slice at a time\r\n", i);
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ::WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr);
    ::CloseHandle(file);
    Document* document = viewer_open_file(path.c_str());
    std::string seen;
    for (int slice = 0; slice < 2 && document != nullptr; slice++) {
        if (slice > 0)
            viewer_read_some(0); // one chunk more
        const int percent = int(document->reader.done * 100 / document->reader.size);
        wchar_t status[64];
        swprintf(status, 64, L"Lines: %d Reading %d%%", document->lines.count, percent);
        RECT r{};
        ::GetClientRect(document->window.hwnd, &r);
        const int band = row_height() + 2 * VIEWER_TEXT_MARGIN;
        Canvas c = canvas_open(r.right, r.bottom);
        draw_status(c.dc, r.right, r.bottom, status, VIEWER_FONT_POINTS);
        const Picture want = crop(canvas_close(c), 0, r.bottom - band, r.right, band);
        const bool shown = poll_until(PATIENCE_MS, [&] {
            process_events(1);
            return count_differences(want, capture_client(document->window.hwnd, 0, r.bottom - band,
                                                          r.right, band)) == 0;
        });
        seen += format("%s\"Reading %d%%\" %s; ", slice > 0 ? "then " : "", percent,
                       shown ? "shown" : "not shown");
    }
    report("reading: the status line says how much of a large text is read",
           document != nullptr && seen.find("not") == std::string::npos, seen);
    viewer_close_document(document);
    ::DeleteFileA(path.c_str());
}

// Commands that need a document are greyed without one, and offered with one: read from
// the frame's own menu (another process cannot read it under Wine), as a popup opens.
void check_greyed(const std::string& folder) {
    auto greyed = [] {
        ::SendMessageA(viewer.frame.hwnd, WM_INITMENUPOPUP, 0, 0);
        HMENU bar = ::GetMenu(viewer.frame.hwnd);
        return (::GetMenuState(bar, MENU_GO_TO, MF_BYCOMMAND) & MF_GRAYED) != 0 &&
               (::GetMenuState(bar, MENU_CLOSE, MF_BYCOMMAND) & MF_GRAYED) != 0;
    };
    const bool without = greyed();
    Document* text = viewer_open_file((folder + "line-ends.txt").c_str());
    const bool with = greyed();
    viewer_close_document(text);
    report("menus: Go to line and Close greyed without a document, offered with one",
           without && !with, format("greyed without: %d, with: %d", without, with));
}

// Every item of each of the frame's menus has an access key of its own in that menu: read
// from the frame's own menus, as check_greyed does.
void check_access_keys() {
    HMENU bar = ::GetMenu(viewer.frame.hwnd);
    for (int m = -1; m < ::GetMenuItemCount(bar); m++) {
        HMENU menu = m < 0 ? bar : ::GetSubMenu(bar, m);
        std::string keys, clashes;
        for (int i = 0; menu && i < ::GetMenuItemCount(menu); i++) {
            char text[MAX_PATH] = {};
            ::GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
            const char* amp = std::strchr(text, '&');
            while (amp && amp[1] == '&')
                amp = std::strchr(amp + 2, '&');
            if (!amp || !amp[1])
                continue;
            const char key = char(std::toupper((unsigned char)amp[1]));
            if (keys.find(key) != std::string::npos)
                clashes += format("\"%s\" ", text);
            keys += key;
        }
        char name[64] = "the menu bar";
        if (m >= 0)
            ::GetMenuStringA(bar, m, name, sizeof name, MF_BYPOSITION);
        report(format("menus: every item of %s has an access key of its own", name),
               clashes.empty(), "clashing: " + clashes);
    }
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Opens and closes documents with the viewer's routines; the census must not move.
void run_soak_check() {
    runtime_startup();
    if (!report("soak: the viewer's frame opens in the check's process", viewer_open_frame() != 0,
                "viewer_open_frame failed"))
        return;
    std::string folder = viewer_files_folder();
    bool all_closed = true;
    check_progress(folder);
    check_greyed(folder);
    check_access_keys();
    check_drop(folder);
    run_word_checks(folder);
    run_frame_tables(folder);
    // The dialogs work on a text of their own, open for the whole soak.
    Document* text = viewer_open_file((folder + "line-ends.txt").c_str());
    // Every kind of document beside every dialog first: the platform keeps some things once
    // made (classes, the picture decoder, cached fonts, the contexts it hands out again).
    int cycle = 0;
    int dialogs = 0;
    while (cycle < CYCLE_KINDS) {
        all_closed = open_and_close(cycle++, folder, text) > 0 && all_closed;
        open_and_close_dialog(dialogs++, text);
    }
    Census before = census_take();
    int documents = 0;
    dialogs = 0;
    while (documents < SOAK_DOCUMENTS) {
        int opened = open_and_close(cycle++, folder, text);
        all_closed = opened > 0 && all_closed;
        documents += opened > 0 ? opened : 1;
        open_and_close_dialog(dialogs++, text);
    }
    Census after = census_take();
    viewer_close_document(text);
    report_note("soak census before: " + census_text(before));
    report_note("soak census after:  " + census_text(after));
    report(format("soak: %d documents and %d dialogs opened and closed, each one closed", documents,
                  dialogs),
           all_closed, "a document stayed open after its close");
    std::string changes = census_changes(before, without_cached_contexts(before, after));
    report(format("soak: the census is the same after %d documents", documents), changes.empty(),
           changes);
    viewer_close_all();
    process_events(1);
}
