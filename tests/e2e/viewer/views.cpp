// What the viewer's checks share: starting the viewer on files, finding its MDI client and
// document windows, sending it messages with a time limit, and the height of a row of
// text. Relies on the shared end-to-end helpers; outside.cpp and features.cpp use it.
#include "viewer_check.h"

// ============================================================================
// Public routines
// ============================================================================

// Starts the viewer on count files of the folder and reports the start as check; on
// failure nothing is left running.
bool start_viewer(RunningProgram& viewer, const std::string& folder, const char* const names[],
                  int count, const char* check) {
    std::string arguments;
    for (int i = 0; i < count; i++)
        arguments += " \"" + folder + names[i] + "\"";
    std::string why;
    if (!report(check,
                program_start(viewer, launch_own_folder(), VIEWER_PROGRAM, arguments,
                              "KalvorineFrameClass", why),
                why)) {
        program_kill(viewer);
        return false;
    }
    return true;
}

// The class name of a window.
std::string class_of(HWND window) {
    char name[64] = {};
    ::GetClassNameA(window, name, sizeof name);
    return name;
}

// The frame's MDI client.
HWND mdi_client_of(HWND frame) {
    return ::FindWindowExA(frame, nullptr, "MDIClient", nullptr);
}

// The visible document windows of the MDI client, top first.
std::vector<HWND> document_windows(HWND client) {
    std::vector<HWND> list;
    for (HWND w = ::GetWindow(client, GW_CHILD); w; w = ::GetWindow(w, GW_HWNDNEXT))
        if (class_of(w) == "KalvorineWndClass" && ::IsWindowVisible(w))
            list.push_back(w);
    return list;
}

// Waits until the client holds count documents.
bool wait_document_count(HWND client, size_t count, DWORD timeout_ms) {
    uint32_t start = now_ms();
    while (document_windows(client).size() != count) {
        if (now_ms() - start > timeout_ms)
            return false;
        ::Sleep(50);
    }
    return true;
}

// The document window with the caption, or null.
HWND document_named(HWND client, const std::string& caption) {
    for (HWND w : document_windows(client))
        if (window_text(w) == caption)
            return w;
    return nullptr;
}

// Sends a message with a time limit, so that a hung viewer cannot hang the check.
LRESULT send(HWND window, UINT message, WPARAM w, LPARAM l) {
    DWORD_PTR result = 0;
    ::SendMessageTimeoutA(window, message, w, l, SMTO_ABORTIFHUNG, PATIENCE_MS, &result);
    return LRESULT(result);
}

// Height of a row of text in the default font.
int row_height() {
    return render_text("Ag").height;
}
