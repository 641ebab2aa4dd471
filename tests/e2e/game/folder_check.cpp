// The game and the viewer copied with their data into a folder named in Cyrillic and
// Chinese and started from there: the game shows its pictures and plays its sounds (found
// from its own folder while its working folder is another), and the viewer opens a text
// named in both scripts that lies beside it.
#include "driver.h"

#include <algorithm>

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

constexpr const char* FOLDER = "Игра 游戏\\";         // UTF-8, as the checks name files
constexpr const char* TEXT_NAME = "Заметки 笔记.txt"; // the text beside the viewer
constexpr const char* TEXT = "Привет из папки, 你好\r\n";

std::wstring wide(const std::string& text) {
    std::wstring out(text.size() + 1, L'\0');
    out.resize(size_t(
        ::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, out.data(), int(out.size())) - 1));
    return out;
}

// Copies the files of one folder of bin\ ("" for programs) into the same place under to.
bool copy_files(const std::wstring& from, const std::wstring& to, const wchar_t* pattern) {
    ::CreateDirectoryW(to.c_str(), nullptr);
    WIN32_FIND_DATAW found = {};
    HANDLE search = ::FindFirstFileW((from + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    bool ok = true;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            ok = ok && ::CopyFileW((from + found.cFileName).c_str(), (to + found.cFileName).c_str(),
                                   FALSE) != 0;
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return ok;
}

// Deletes a folder with everything in it.
void remove_tree(const std::wstring& folder) {
    WIN32_FIND_DATAW found = {};
    HANDLE search = ::FindFirstFileW((folder + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName, path = folder + name;
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                ::DeleteFileW(path.c_str());
            else if (name != L"." && name != L"..")
                remove_tree(path + L"\\");
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
    }
    ::RemoveDirectoryW(folder.c_str());
}

// Makes base\FOLDER with both programs, graphics\, sound\ and the text; false with why.
bool make_named_folder(const std::string& base, std::string& why) {
    const std::wstring bin = wide(launch_own_folder()), to = wide(base + FOLDER);
    bool ok = copy_files(bin, to, L"tarrowind*.exe");
    for (const wchar_t* sub : {L"graphics\\", L"sound\\"})
        ok = ok && copy_files(bin + sub, to + sub, L"*");
    HANDLE file = ::CreateFileW((to + wide(TEXT_NAME)).c_str(), GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    ok = ok && file != INVALID_HANDLE_VALUE &&
         ::WriteFile(file, TEXT, DWORD(strlen(TEXT)), &written, nullptr);
    if (file != INVALID_HANDLE_VALUE)
        ::CloseHandle(file);
    why =
        ok ? ""
           : format("copying into %s%s failed (error %lu)", base.c_str(), FOLDER, ::GetLastError());
    return ok;
}

// The game started from the folder with the parent as its working folder: a figure shows
// (a picture of graphics\) and a shot beside the field plays sound\'s shot whole.
void check_game(const std::string& base, const CellReferences& refs) {
    RunningProgram game;
    std::string why;
    if (report("named folder: the game starts",
               program_start(game, base, std::string(FOLDER) + GAME_PROGRAM, "", GAME_WINDOW_CLASS,
                             why, LAUNCH_UTF8),
               why)) {
        program_command(game, CMD_NEW);
        FieldView field{};
        auto figure_shown = [&] {
            field = read_field(capture_field(game.window), 1, refs);
            for (auto& row : field.cells)
                for (CellLook look : row)
                    if (look == LOOK_HOSTAGE || look == LOOK_TERRORIST)
                        return true;
            return false;
        };
        report("named folder: the field shows a figure's picture",
               poll_until(PATIENCE_MS, figure_shown), field_text(field));
        if (sound_watch_start("named-folder")) {
            program_click(game, 3, 30);
            program_command(game, CMD_PAUSE);
            Picture paused;
            wait_paused(game.window, PATIENCE_MS, paused);
            ::Sleep(500); // the recorder's own latency: the shot is whole before it stops
            std::vector<HeardSound> heard;
            if (sound_watch_stop("named-folder", heard))
                report("named folder: a shot plays the shot's sound whole",
                       std::any_of(heard.begin(), heard.end(),
                                   [](const HeardSound& h) {
                                       return h.name == "shoot" && played_whole(h);
                                   }),
                       "heard: " + heard_text(heard));
        }
        program_command(game, CMD_QUIT);
    }
    program_kill(game);
}

// The viewer started from the folder opens the text beside it, given by its name alone.
void check_viewer(const std::string& base) {
    RunningProgram viewer;
    std::string why;
    if (report("named folder: the viewer starts with the text beside it",
               program_start(viewer, base + FOLDER, "tarrowind-viewer.exe",
                             std::string("\"") + TEXT_NAME + "\"", "KalvorineFrameClass", why,
                             LAUNCH_UTF8),
               why)) {
        HWND client = ::FindWindowExW(viewer.window, nullptr, L"MDIClient", nullptr);
        const std::wstring want = wide(TEXT_NAME);
        std::wstring seen;
        bool opened = poll_until(PATIENCE_MS, [&] {
            HWND doc = ::GetWindow(client, GW_CHILD);
            wchar_t caption[256] = {};
            ::SendMessageTimeoutW(doc, WM_GETTEXT, 256, LPARAM(caption), SMTO_ABORTIFHUNG, 2000,
                                  nullptr);
            seen = caption;
            return doc != nullptr && seen.find(want) != std::wstring::npos;
        });
        report("named folder: the viewer opens the text under its name",
               opened && find_message_box(viewer) == nullptr,
               find_message_box(viewer) ? "a message box: " + window_text(find_message_box(viewer))
                                        : "no such document");
    }
    program_kill(viewer);
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Runs the game and the viewer from a folder named in Cyrillic and Chinese.
void check_from_named_folder(const CellReferences& refs) {
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    const std::string base = format("%starrowind-e2e-named-%lu\\", temp, ::GetCurrentProcessId());
    ::CreateDirectoryA(base.c_str(), nullptr);
    std::string why;
    if (report("named folder: the programs and their files are copied",
               make_named_folder(base, why), why)) {
        check_game(base, refs);
        check_viewer(base);
    }
    remove_tree(wide(base));
}
