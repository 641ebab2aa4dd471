// The viewer checked from outside: the frame's class, caption, clock and menu bar, one
// document window per file with its caption, every document's pixels against the check's
// own drawing of the same lines and pictures, the samples, the About box, Tile, Cascade,
// Close, a document's own close request, Exit and a close request to the frame.
// Relies on the shared end-to-end helpers for processes, pixels and reports; draws its
// references with GDI and OLE in this process, knowing the viewer only by its looks and
// commands.
#include "viewer_check.h"

#include <olectl.h>

#include <algorithm>

// ============================================================================
// Types
// ============================================================================

namespace {

// The reference window carrying the menu bar the frame must show.
struct MenuReference {
    HWND window;  // the check's window, on its own thread
    HANDLE ready; // set once the window exists
    RECT place;   // outer rectangle, copied from the frame
    LONG style;   // window style, copied from the frame
};

// ============================================================================
// Module state
// ============================================================================

MenuReference reference{};

// ============================================================================
// Internal helpers
// ============================================================================

// Waits until the client holds count documents and the window (if any) is destroyed.
bool wait_closed(HWND client, size_t count, HWND gone, DWORD timeout_ms) {
    uint32_t start = now_ms();
    while (document_windows(client).size() != count || (gone && ::IsWindow(gone))) {
        if (now_ms() - start > timeout_ms)
            return false;
        ::Sleep(50);
    }
    return true;
}

// A window's rectangle in the client coordinates of another window.
RECT rect_in(HWND window, HWND client) {
    RECT r = window_rect(window);
    ::MapWindowPoints(nullptr, client, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// Waits until the documents' rectangles hold still after an arrangement.
std::vector<RECT> settled_rects(HWND client, const std::vector<HWND>& docs) {
    std::vector<RECT> last, now;
    for (int stable = 0, tries = 0; stable < 3 && tries < 40; tries++) {
        ::Sleep(100);
        now.clear();
        for (HWND w : docs)
            now.push_back(rect_in(w, client));
        bool same = now.size() == last.size();
        for (size_t i = 0; same && i < now.size(); i++)
            same = ::EqualRect(&now[i], &last[i]) != 0;
        stable = same ? stable + 1 : 0;
        last = now;
    }
    return now;
}

// A canvas of the size cleared to the window background the viewer's documents use.
Canvas blank_canvas(int width, int height) {
    Canvas c = canvas_open(width, height);
    RECT all{0, 0, width, height};
    ::FillRect(c.dc, &all, ::GetSysColorBrush(COLOR_WINDOW));
    return c;
}

// What a document showing one line of explanation must show: the line in the viewer's font.
Picture expected_message(int width, int height, const std::string& message) {
    Canvas c = blank_canvas(width, height);
    HFONT font = viewer_font();
    HGDIOBJ old = ::SelectObject(c.dc, font);
    ::SetBkMode(c.dc, OPAQUE);
    ::SetBkColor(c.dc, WHITE);
    ::SetTextColor(c.dc, BLACK);
    ::TextOutA(c.dc, VIEWER_TEXT_MARGIN, VIEWER_TEXT_MARGIN, message.c_str(), int(message.size()));
    ::SelectObject(c.dc, old);
    ::DeleteObject(font);
    return canvas_close(c);
}

// What a picture document must show: the picture upright at its natural size at (0, 0),
// and a status line with its size and kind.
Picture expected_picture(int width, int height, const std::string& path, std::string& why) {
    Canvas c = blank_canvas(width, height);
    std::string extension = path.substr(path.size() - 4);
    bool drawn = false;
    int w = 0, h = 0;
    if (extension == ".bmp") {
        HBITMAP bitmap = HBITMAP(::LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0,
                                              LR_LOADFROMFILE | LR_CREATEDIBSECTION));
        BITMAP info{};
        if (bitmap && ::GetObjectA(bitmap, sizeof info, &info)) {
            w = info.bmWidth;
            h = info.bmHeight;
            HDC source = ::CreateCompatibleDC(c.dc);
            HGDIOBJ old = ::SelectObject(source, bitmap);
            drawn = ::BitBlt(c.dc, 0, 0, info.bmWidth, info.bmHeight, source, 0, 0, SRCCOPY);
            ::SelectObject(source, old);
            ::DeleteDC(source);
        }
        if (bitmap)
            ::DeleteObject(bitmap);
    } else if (extension == ".ico") {
        HICON icon = HICON(::LoadImageA(nullptr, path.c_str(), IMAGE_ICON, 0, 0, LR_LOADFROMFILE));
        if (icon) {
            w = h = 32;
            drawn = ::DrawIcon(c.dc, 0, 0, icon);
            ::DestroyIcon(icon);
        }
    } else if (extension == ".emf") {
        HENHMETAFILE metafile = ::GetEnhMetaFileA(path.c_str());
        ENHMETAHEADER header{};
        if (metafile && ::GetEnhMetaFileHeader(metafile, sizeof header, &header)) {
            w = header.rclBounds.right - header.rclBounds.left + 1;
            h = header.rclBounds.bottom - header.rclBounds.top + 1;
            RECT r{0, 0, w, h};
            drawn = ::PlayEnhMetaFile(c.dc, metafile, &r);
        }
        if (metafile)
            ::DeleteEnhMetaFile(metafile);
    } else {
        IPicture* picture = load_picture(path);
        if (picture) {
            OLE_XSIZE_HIMETRIC hw = 0;
            OLE_YSIZE_HIMETRIC hh = 0;
            picture->get_Width(&hw);
            picture->get_Height(&hh);
            w = ::MulDiv(hw, ::GetDeviceCaps(c.dc, LOGPIXELSX), 2540);
            h = ::MulDiv(hh, ::GetDeviceCaps(c.dc, LOGPIXELSY), 2540);
            drawn = SUCCEEDED(picture->Render(c.dc, 0, 0, w, h, 0, hh, hw, -hh, nullptr));
            picture->Release();
        }
    }
    if (!drawn)
        why = "the check could not draw " + path + " itself";
    const wchar_t* kind = extension == ".bmp"   ? L"BMP bitmap"
                          : extension == ".ico" ? L"icon"
                          : extension == ".emf" ? L"enhanced metafile"
                                                : L"GIF picture";
    wchar_t status[64];
    swprintf(status, 64, L"%d x %d %ls, 100%%", w, h, kind);
    draw_status(c.dc, width, height, status, VIEWER_FONT_POINTS);
    return canvas_close(c);
}

// Brings a document to the top and compares its whole client area with what it must
// show, polling while it paints; saves both pictures on a mismatch.
void check_document_pixels(HWND client, const std::string& name, const std::string& what,
                           Picture (*expected_for)(int, int, const std::string&, std::string&),
                           const std::string& argument) {
    std::string check = "document \"" + name + "\": " + what;
    HWND doc = document_named(client, name);
    if (!doc) {
        report(check, false, "no document window captioned \"" + name + "\"");
        return;
    }
    send(client, WM_MDIACTIVATE, WPARAM(doc), 0);
    RECT r{};
    ::GetClientRect(doc, &r);
    std::string why;
    Picture want = expected_for(r.right, r.bottom, argument, why);
    if (!why.empty()) {
        report(check, false, why);
        return;
    }
    Picture seen;
    int differences = 0;
    uint32_t start = now_ms();
    do {
        ::Sleep(60);
        seen = capture_client(doc, 0, 0, r.right, r.bottom);
        differences = count_differences(want, seen);
    } while (differences && now_ms() - start < PATIENCE_MS);
    if (!report(check, differences == 0,
                format("%d of %dx%d pixels differ", differences, r.right, r.bottom)))
        save_failure_pictures("viewer-" + name, want, seen);
}

Picture text_of_file(int w, int h, const std::string& path, std::string&) {
    TextView view;
    view.lines = read_lines(path);
    return expected_view(w, h, view);
}

Picture message_line(int w, int h, const std::string& message, std::string&) {
    return expected_message(w, h, message);
}

LRESULT CALLBACK reference_procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_DESTROY) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcA(window, message, w, l);
}

// The bar the frame must show: "&File", "&Edit", "&Search" and "&View" before the
// runtime's "&Window", then "&Help".
DWORD WINAPI reference_thread(void*) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = reference_procedure;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.hbrBackground = ::GetSysColorBrush(COLOR_APPWORKSPACE);
    wc.lpszClassName = "ViewerMenuReference";
    ::RegisterClassA(&wc);
    HMENU bar = ::CreateMenu();
    const char* titles[] = {"&File", "&Edit", "&Search", "&View", "&Window", "&Help"};
    for (const char* title : titles) {
        HMENU popup = ::CreatePopupMenu();
        ::AppendMenuA(popup, MF_STRING, 1, "item");
        ::AppendMenuA(bar, MF_POPUP, UINT_PTR(popup), title);
    }
    RECT p = reference.place;
    reference.window = ::CreateWindowExA(
        0, wc.lpszClassName, VIEWER_CAPTION, reference.style | WS_VISIBLE, p.left, p.top,
        p.right - p.left, p.bottom - p.top, nullptr, bar, wc.hInstance, nullptr);
    ::SetEvent(reference.ready);
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return 0;
}

// Compares the frame's menu bar with the reference bar, shown in turn at the same place
// (another process's menu cannot be read under Wine, its pixels can).
void check_menu_bar(HWND frame) {
    const char* check =
        "frame: menu bar shows \"File\", \"Edit\", \"Search\", \"View\" before \"Window\", "
        "then \"Help\"";
    reference.place = window_rect(frame);
    reference.style = ::GetWindowLongA(frame, GWL_STYLE) & ~(WS_VISIBLE | WS_CHILD);
    reference.ready = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = ::CreateThread(nullptr, 0, reference_thread, nullptr, 0, nullptr);
    ::WaitForSingleObject(reference.ready, PATIENCE_MS);
    ::CloseHandle(reference.ready);
    MENUBARINFO info{};
    info.cbSize = sizeof info;
    Picture want;
    RECT bar{};
    if (reference.window) {
        // Paint the frame and its bar now, then wait until the bar reads the same twice.
        ::RedrawWindow(reference.window, nullptr, nullptr,
                       RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        if (::GetMenuBarInfo(reference.window, OBJID_MENU, 0, &info)) {
            POINT client_top{0, 0};
            ::ClientToScreen(reference.window, &client_top);
            bar = info.rcBar;
            bar.bottom = std::min(bar.bottom, client_top.y);
            Picture last;
            poll_until(
                PATIENCE_MS / 4,
                [&] {
                    last = want;
                    want = capture_screen(bar.left, bar.top, bar.right - bar.left,
                                          bar.bottom - bar.top);
                    return last.width > 0 && count_differences(last, want) == 0;
                },
                200);
        }
        ::PostMessageA(reference.window, WM_CLOSE, 0, 0);
    }
    if (thread) {
        ::WaitForSingleObject(thread, 3000);
        ::CloseHandle(thread);
    }
    reference.window = nullptr;
    if (want.width == 0) {
        report(check, false, "the reference window and its menu bar could not be made");
        return;
    }
    Picture seen;
    int differences = 0;
    uint32_t start = now_ms();
    do {
        ::Sleep(100);
        seen = capture_screen(bar.left, bar.top, want.width, want.height);
        differences = count_differences(want, seen);
    } while (differences && now_ms() - start < PATIENCE_MS);
    if (!report(check, differences == 0,
                format("%d pixels of the %dx%d bar differ", differences, want.width, want.height)))
        save_failure_pictures("viewer-menu-bar", want, seen);
}

bool caption_has_clock(const std::string& caption, std::string& clock) {
    std::string head = std::string(VIEWER_CAPTION) + " - ";
    if (caption.compare(0, head.size(), head) != 0 || caption.size() != head.size() + 8)
        return false;
    clock = caption.substr(head.size());
    for (int i = 0; i < 8; i++)
        if (i % 3 == 2 ? clock[i] != ':' : !isdigit(static_cast<unsigned char>(clock[i])))
            return false;
    return true;
}

void check_frame(const RunningProgram& viewer) {
    std::string klass = class_of(viewer.window);
    report("frame: class KalvorineFrameClass", klass == "KalvorineFrameClass",
           "class \"" + klass + "\"");
    std::string first = window_text(viewer.window), clock;
    bool shaped = caption_has_clock(first, clock);
    report("frame: caption \"Tarrowind Viewer - hh:mm:ss\"", shaped, "\"" + first + "\"");
    std::string later = first;
    uint32_t start = now_ms();
    while (later == first && now_ms() - start < 3000) {
        ::Sleep(100);
        later = window_text(viewer.window);
    }
    std::string later_clock;
    report("frame: the clock in the caption advances within 3 s",
           later != first && caption_has_clock(later, later_clock),
           "\"" + first + "\" then \"" + later + "\"");
    check_menu_bar(viewer.window);
}

void check_documents(HWND client, const std::string& folder) {
    std::vector<std::string> captions;
    for (HWND w : document_windows(client))
        captions.push_back(window_text(w));
    std::vector<std::string> want(VIEWER_TEST_FILES, VIEWER_TEST_FILES + VIEWER_TEST_FILE_COUNT);
    std::sort(captions.begin(), captions.end());
    std::sort(want.begin(), want.end());
    std::string seen;
    for (const std::string& c : captions)
        seen += " \"" + c + "\"";
    report(format("documents: one window per file (%d), captioned with the file's name",
                  VIEWER_TEST_FILE_COUNT),
           captions == want, "captions:" + seen);

    // The first document opened stands in the client's corner, as large as the cascade of
    // the others leaves room for.
    HWND first = document_named(client, VIEWER_TEST_FILES[0]);
    RECT area{}, place = first ? rect_in(first, client) : RECT{};
    ::GetClientRect(::GetParent(client), &area);
    const int room = VIEWER_CASCADE_STEP * (VIEWER_CASCADE_PLACES - 1);
    report("documents: the first fills the frame's client area but for the cascade's room",
           first && place.left == 0 && place.top == 0 &&
               place.right == area.right - room - ::GetSystemMetrics(SM_CXVSCROLL) &&
               place.bottom == area.bottom - room - ::GetSystemMetrics(SM_CYHSCROLL),
           format("(%ld,%ld)-(%ld,%ld) in a %ldx%ld client area", place.left, place.top,
                  place.right, place.bottom, area.right, area.bottom));
    for (const char* name : {"line-ends.txt", "long-line.txt", "empty.txt"})
        check_document_pixels(client, name, "lines and status line equal the check's rendering",
                              text_of_file, folder + name);
    check_document_pixels(client, "missing.txt", "the line saying there is no such file",
                          message_line, "Cannot open missing.txt: there is no such file");
    check_document_pixels(client, "data.bin", "the line \"Cannot show a binary file: data.bin\"",
                          message_line, "Cannot show a binary file: data.bin");
    check_document_pixels(client, "broken.gif", "the line saying it is no picture it can show",
                          message_line,
                          "Cannot open broken.gif: it is not a picture the viewer can show");
    for (const char* name : {"picture.bmp", "picture.ico", "picture.emf", "picture.gif"})
        check_document_pixels(client, name, "the picture upright at its natural size",
                              expected_picture, folder + name);
}

void check_samples(const RunningProgram& viewer, HWND client, const std::string& folder) {
    size_t before = document_windows(client).size();
    program_command(viewer, VIEWER_CMD_OPEN_SAMPLES);
    bool opened = wait_document_count(client, before + 2, PATIENCE_MS);
    report("File > Open samples: two more documents", opened,
           format("%d documents", int(document_windows(client).size())));
    if (!opened)
        return;
    check_document_pixels(client, "Sample picture", "the RTIMAGE picture at its natural size",
                          expected_picture, folder + "sample.gif");
    check_document_pixels(client, "Sample text", "the RTIMAGE text's lines and status line",
                          text_of_file, folder + "sample.txt");
}

// After Tile the documents must cover the MDI client's area without overlapping; the
// platform divides the area into equal parts, so less than one pixel per column or row
// may stay free at the right and bottom edges.
std::string tile_problems(HWND client, const std::vector<RECT>& rects, std::string& name) {
    name = format("Window > Tile: %d documents cover the client area without overlapping",
                  int(rects.size()));
    RECT area{}, bounds{};
    ::GetClientRect(client, &area);
    long long covered = 0;
    std::string why;
    std::vector<LONG> lefts, tops;
    for (size_t i = 0; i < rects.size(); i++) {
        const RECT& r = rects[i];
        covered += (long long)(r.right - r.left) * (r.bottom - r.top);
        ::UnionRect(&bounds, &bounds, &r);
        if (std::find(lefts.begin(), lefts.end(), r.left) == lefts.end())
            lefts.push_back(r.left);
        if (std::find(tops.begin(), tops.end(), r.top) == tops.end())
            tops.push_back(r.top);
        for (size_t j = i + 1; j < rects.size(); j++) {
            RECT both{};
            if (::IntersectRect(&both, &rects[i], &rects[j]))
                why += format(" windows %d and %d overlap;", int(i), int(j));
        }
    }
    long long inside = (long long)(bounds.right - bounds.left) * (bounds.bottom - bounds.top);
    if (covered != inside)
        why += format(" gaps: %lld of %lld pixels covered;", covered, inside);
    if (bounds.left != 0 || bounds.top != 0 || bounds.right > area.right ||
        bounds.bottom > area.bottom || area.right - bounds.right >= LONG(lefts.size()) ||
        area.bottom - bounds.bottom >= LONG(tops.size()))
        why += format(" they span (%ld,%ld)-(%ld,%ld) of a %ldx%ld area in %d columns and "
                      "%d rows",
                      bounds.left, bounds.top, bounds.right, bounds.bottom, area.right, area.bottom,
                      int(lefts.size()), int(tops.size()));
    return rects.empty() ? "no documents" : why;
}

// Gives an arrangement command and checks the documents' settled rectangles (top first,
// or bottom first) until no problem is found (an empty text): the viewer arranges them
// when it gets to the command, which a busy machine delays. Reports under the check's name.
void check_arrangement(const RunningProgram& viewer, HWND client, int command, bool bottom_first,
                       std::string (*problems)(HWND, const std::vector<RECT>&, std::string&)) {
    program_command(viewer, command);
    std::vector<HWND> docs = document_windows(client);
    if (bottom_first)
        std::reverse(docs.begin(), docs.end());
    std::string why, name;
    poll_until(
        PATIENCE_MS,
        [&] {
            why = problems(client, settled_rects(client, docs), name);
            return why.empty();
        },
        0);
    report(name, why.empty(), why);
}

// After Cascade the documents, from the bottom of the stack to the top, must stand one
// equal diagonal step apart, all of one size; the platform starts again at the top-left
// corner when the client's height is used up.
std::string cascade_problems(HWND, const std::vector<RECT>& rects, std::string& name) {
    std::string why;
    int dx = rects.size() > 1 ? rects[1].left - rects[0].left : 0;
    int dy = rects.size() > 1 ? rects[1].top - rects[0].top : 0;
    name = format("Window > Cascade: %d documents stand at equal diagonal steps (%d,%d)",
                  int(rects.size()), dx, dy);
    if (dx <= 0 || dx != dy)
        why = format("first step (%d,%d)", dx, dy);
    size_t run = 0;
    for (size_t i = 1; i < rects.size(); i++) {
        int sx = rects[i].left - rects[i - 1].left, sy = rects[i].top - rects[i - 1].top;
        bool again = rects[i].left == rects[0].left && rects[i].top == rects[0].top;
        if (again && run == 0)
            run = i;
        bool in_step = again ? (i % run == 0) : (sx == dx && sy == dy);
        if (!in_step)
            why += format(" window %d steps (%d,%d);", int(i), sx, sy);
        if (rects[i].right - rects[i].left != rects[0].right - rects[0].left ||
            rects[i].bottom - rects[i].top != rects[0].bottom - rects[0].top)
            why += format(" window %d has another size;", int(i));
    }
    return rects.size() > 1 ? why : "fewer than two documents";
}

void check_closing(RunningProgram& viewer, HWND client) {
    HWND active = HWND(send(client, WM_MDIGETACTIVE, 0, 0));
    size_t before = document_windows(client).size();
    std::string name = active ? window_text(active) : "";
    program_command(viewer, VIEWER_CMD_CLOSE);
    bool closed = active && wait_closed(client, before - 1, active, PATIENCE_MS);
    report(
        "File > Close closes the active document (\"" + name + "\")", active && closed,
        format("%d documents before, %d after", int(before), int(document_windows(client).size())));

    std::vector<HWND> docs = document_windows(client);
    if (!docs.empty()) {
        HWND last = docs.back();
        ::PostMessageA(last, WM_CLOSE, 0, 0);
        bool gone = wait_closed(client, docs.size() - 1, last, PATIENCE_MS);
        report("a document's own close request closes it", gone,
               format("%d documents left", int(document_windows(client).size())));
    }

    program_command(viewer, VIEWER_CMD_EXIT);
    DWORD code = 1;
    bool ended = program_wait_exit(viewer, PATIENCE_MS, code);
    report("File > Exit ends the viewer with exit code 0, documents still open", ended && code == 0,
           ended ? format("exit code %lu", code) : "still running long after");
    program_kill(viewer);
}

// A short second run: a few documents, then a close request to the frame.
void check_frame_close(const std::string& folder) {
    const char* const names[] = {"line-ends.txt", "picture.gif", "sample.txt", "picture.emf"};
    RunningProgram viewer;
    if (!start_viewer(viewer, folder, names, 4, "the viewer starts again with four files")) {
        return;
    }
    wait_document_count(mdi_client_of(viewer.window), 4, PATIENCE_MS);
    ::PostMessageA(viewer.window, WM_CLOSE, 0, 0);
    DWORD code = 1;
    bool ended = program_wait_exit(viewer, PATIENCE_MS, code);
    report("a close request to the frame ends the viewer with exit code 0", ended && code == 0,
           ended ? format("exit code %lu", code) : "still running long after");
    program_kill(viewer);
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Runs every check on the real program from outside.
void run_outside_checks() {
    std::string folder = viewer_files_folder();
    RunningProgram viewer;
    // Keep the pointer off every window: nothing should react to it.
    ::SetCursorPos(::GetSystemMetrics(SM_CXSCREEN) - 1, ::GetSystemMetrics(SM_CYSCREEN) - 1);
    if (!start_viewer(viewer, folder, VIEWER_TEST_FILES, VIEWER_TEST_FILE_COUNT,
                      "the viewer starts with ten files")) {
        return;
    }
    HWND client = mdi_client_of(viewer.window);
    bool all = wait_document_count(client, VIEWER_TEST_FILE_COUNT, PATIENCE_MS);
    report("frame: an MDI client holds the documents", client != nullptr && all,
           format("%d document windows", client ? int(document_windows(client).size()) : 0) +
               program_state_text(viewer));
    check_frame(viewer);
    if (client) {
        check_documents(client, folder);
        check_samples(viewer, client, folder);
        check_arrangement(viewer, client, VIEWER_CMD_TILE, false, tile_problems);
        check_arrangement(viewer, client, VIEWER_CMD_CASCADE, true, cascade_problems);
        check_closing(viewer, client);
    }
    program_kill(viewer);
    check_frame_close(folder);
}
