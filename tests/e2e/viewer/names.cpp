// File names and typed text in every script, checked from outside: a text named in Cyrillic
// given on the command line and one named in Latin with accents and Chinese chosen in the
// open dialog open under their own names, showing their contents; Greek typed into Find
// stays Greek and is found.
// Relies on views.cpp's input and drawing of documents; the files are copies, under those
// names, of texts the other checks know.
#include "viewer_check.h"

#include <vector>

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

const std::wstring COMMAND_LINE_NAME =
    L"\u041a\u0438\u0440\u0438\u043b\u043b\u0438\u0446\u0430.txt";
const std::wstring DIALOG_NAME = L"\u00fcn\u00efc\u00f6d\u00e9 \u540d\u524d.txt";

std::wstring wide(const std::string& text) {
    std::wstring out(text.size() + 1, L'\0');
    out.resize(size_t(
        ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, out.data(), int(out.size())) - 1));
    return out;
}

std::string utf8(const std::wstring& text) {
    std::string out(text.size() * 4 + 1, '\0');
    out.resize(size_t(::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(),
                                            int(out.size()), nullptr, nullptr) -
                      1));
    return out;
}

std::wstring caption_of(HWND window) {
    wchar_t text[256] = {};
    ::GetWindowTextW(window, text, 256);
    return text;
}

// The document whose caption is the name, once it shows; null when none does.
HWND wait_document(HWND client, const std::wstring& name) {
    HWND found = nullptr;
    poll_until(PATIENCE_MS, [&] {
        for (HWND w : document_windows(client))
            if (caption_of(w) == name)
                found = w;
        return found != nullptr;
    });
    return found;
}

// Types text key by key as a keyboard of its script would, through the real input queue.
void type_unicode(const std::wstring& text) {
    std::vector<INPUT> keys;
    for (wchar_t unit : text)
        for (DWORD up : {DWORD(0), DWORD(KEYEVENTF_KEYUP)}) {
            INPUT in{};
            in.type = INPUT_KEYBOARD;
            in.ki.wScan = unit;
            in.ki.dwFlags = KEYEVENTF_UNICODE | up;
            keys.push_back(in);
        }
    ::SendInput(UINT(keys.size()), keys.data(), sizeof(INPUT));
}

std::string captions(HWND client) {
    std::string all;
    for (HWND w : document_windows(client))
        all.append(1, '"').append(utf8(caption_of(w))).append("\" ");
    return all;
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Runs the checks of names in every script on a run of their own.
void run_name_checks() {
    const std::string folder = viewer_files_folder();
    const std::wstring wide_folder = wide(folder);
    for (const auto& [name, source] :
         {std::pair{COMMAND_LINE_NAME, "utf8.txt"}, std::pair{DIALOG_NAME, "utf16.txt"}})
        ::CopyFileW((wide_folder + wide(source)).c_str(), (wide_folder + name).c_str(), FALSE);
    ::DeleteFileA(settings_path().c_str());
    RunningProgram viewer;
    std::string why;
    const std::string argument = "\"" + folder + utf8(COMMAND_LINE_NAME) + "\"";
    if (!report("names: the viewer starts with a text named in Cyrillic",
                program_start(viewer, launch_own_folder(), VIEWER_PROGRAM, argument,
                              "KalvorineFrameClass", why, LAUNCH_UTF8),
                why)) {
        program_kill(viewer);
        return;
    }
    HWND client = mdi_client_of(viewer.window);
    HWND doc = wait_document(client, COMMAND_LINE_NAME);
    if (report("names: the text named in Cyrillic on the command line opens under its name",
               doc != nullptr, captions(client))) {
        TextView view;
        view.lines = read_lines(folder + "utf8.txt");
        check_view(doc, view, "names: the text named in Cyrillic shows its content");
    }
    bring_to_front(viewer);
    press('O', {VK_CONTROL});
    HWND dialog = wait_dialog(viewer, "#32770", "Open");
    if (report("names: Ctrl+O opens the open dialog", dialog != nullptr, "no dialog")) {
        // The file name box of the platform's dialog (its combo box 0x47C, or edit 0x480).
        HWND box = ::GetDlgItem(dialog, 0x47C);
        box = box ? box : ::GetDlgItem(dialog, 0x480);
        const std::wstring path = wide_folder + DIALOG_NAME;
        DWORD_PTR result = 0;
        ::SendMessageTimeoutW(box, WM_SETTEXT, 0, LPARAM(path.c_str()), SMTO_ABORTIFHUNG,
                              PATIENCE_MS, &result);
        ::PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        doc = wait_document(client, DIALOG_NAME);
        if (report("names: a text named with accents and Chinese chosen in the open dialog "
                   "opens under its name",
                   doc != nullptr, captions(client))) {
            TextView view;
            view.lines = read_lines(folder + "utf16.txt");
            send(client, WM_MDIACTIVATE, WPARAM(doc), 0);
            check_view(doc, view,
                       "names: the text named with accents and Chinese shows its "
                       "content");
        }
    }
    // Line 2 of the texts: "Greek: Καλημέρα κόσμε".
    constexpr int ID_FIND_TEXT = 201, ID_FIND_STATUS = 204;
    const std::wstring greek = L"\u03ba\u03cc\u03c3\u03bc\u03b5";
    bring_to_front(viewer);
    press('F', {VK_CONTROL});
    HWND find = wait_dialog(viewer, "KalvorineDlgClass", "Find");
    if (report("names: Ctrl+F opens Find", find != nullptr, "no dialog")) {
        HWND box = ::GetDlgItem(find, ID_FIND_TEXT);
        poll_until(PATIENCE_MS, [&] { return focus_of(viewer) == box; });
        type_unicode(greek);
        std::wstring typed;
        poll_until(PATIENCE_MS, [&] {
            wchar_t text[64] = {};
            DWORD_PTR copied = 0; // a control of another process: its text by message
            ::SendMessageTimeoutW(box, WM_GETTEXT, 64, LPARAM(text), SMTO_ABORTIFHUNG, PATIENCE_MS,
                                  &copied);
            typed = text;
            return typed.size() >= greek.size();
        });
        report("names: Greek typed into Find stays Greek", typed == greek, utf8(typed));
        press(VK_RETURN);
        std::string status;
        poll_until(PATIENCE_MS, [&] {
            status = window_text(::GetDlgItem(find, ID_FIND_STATUS));
            return status == "Found in line 2";
        });
        report("names: the Greek typed is found", status == "Found in line 2", status);
    }
    program_kill(viewer);
    for (const std::wstring& name : {COMMAND_LINE_NAME, DIALOG_NAME})
        ::DeleteFileW((wide_folder + name).c_str());
}
