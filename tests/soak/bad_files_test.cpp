// Bad data files: truncated pictures and sounds, text files named like them, empty files,
// a 50 MB file, a wave with a broken header, folders where files should be, no folders at
// all. In process, loading or playing each one fails cleanly and leaves the census where
// it was; the real program, copied beside each set, starts, plays and quits with code 0.
// Relies on census.cpp and on bin/ holding tarrowind.exe with its good data files.
#include <gtest/gtest.h>

#include <windows.h>
#include <ocidl.h>
#include <psapi.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/census.h"
#include "game/game.h"
#include "tests/support/test_support.h"
#include "tests/support/launch.h"

// ============================================================================
// Types
// ============================================================================

namespace {

// The ways a data file can be bad.
enum class Bad {
    TRUNCATED,   // the real file cut in half, inside its data
    CUT_HEADER,  // the real file cut inside its header
    TEXT,        // a text file with the file's name
    EMPTY,       // zero bytes
    HUGE_FILE,   // 50 MB of zeros
    BROKEN_WAVE, // the real file with its format chunk spoiled
    DIRECTORY,   // a folder with the file's name
    MISSING,     // no file (and, for a whole set, no folder)
};

// The real program running in its own folder.
struct Running {
    ChildProcess process;
    HWND window;
};

// ============================================================================
// Module state
// ============================================================================

constexpr DWORD HUGE_SIZE = 50u * 1024u * 1024u;
const char* const PICTURES[] = {"goodguy.bmp", "badguy.bmp"};
const char* const SOUNDS[] = {"shoot.wav", "ggdeath.wav", "bgdeath.wav"};
int32_t folder_serial = 0;

// ============================================================================
// Internal helpers
// ============================================================================

std::vector<char> read_whole(const std::string& path) {
    std::vector<char> bytes;
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return bytes;
    }
    bytes.resize(::GetFileSize(file, nullptr));
    DWORD read = 0;
    ::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    bytes.resize(read);
    ::CloseHandle(file);
    return bytes;
}

bool write_whole(const std::string& path, const void* bytes, DWORD size) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const bool ok = size == 0 || ::WriteFile(file, bytes, size, &written, nullptr);
    ::CloseHandle(file);
    return ok && written == size;
}

// A file of size bytes of zeros, made by moving its end.
bool write_zeros(const std::string& path, DWORD size) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool ok = ::SetFilePointer(file, static_cast<LONG>(size), nullptr, FILE_BEGIN) == size &&
                    ::SetEndOfFile(file);
    ::CloseHandle(file);
    return ok;
}

// Make path a bad copy of the good file good.
bool make_bad(const std::string& path, Bad kind, const std::string& good) {
    std::vector<char> bytes = read_whole(good);
    switch (kind) {
    case Bad::TRUNCATED:
        // Cut inside the data, after a header that still claims the whole image.
        bytes.resize(bytes.size() / 2);
        return write_whole(path, bytes.data(), static_cast<DWORD>(bytes.size()));
    case Bad::CUT_HEADER:
        bytes.resize(bytes.size() < 30 ? bytes.size() : 30);
        return write_whole(path, bytes.data(), static_cast<DWORD>(bytes.size()));
    case Bad::TEXT: {
        const char text[] = "This is not what the name says.\r\nJust text.\r\n";
        return write_whole(path, text, sizeof text - 1);
    }
    case Bad::EMPTY:
        return write_whole(path, "", 0);
    case Bad::HUGE_FILE:
        return write_zeros(path, HUGE_SIZE);
    case Bad::BROKEN_WAVE:
        // "RIFF" size "WAVE" "fmt " ...: spoil the chunk name, the format and the rates.
        if (bytes.size() < 44) {
            return false;
        }
        std::memcpy(&bytes[12], "fmX ", 4);
        std::memset(&bytes[20], 0xFF, 16);
        return write_whole(path, bytes.data(), static_cast<DWORD>(bytes.size()));
    case Bad::DIRECTORY:
        return ::CreateDirectoryA(path.c_str(), nullptr) != 0;
    case Bad::MISSING:
        return true;
    }
    return false;
}

// A fresh folder under the temporary folder.
std::string make_temp_folder(const char* name) {
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "tarrowind-" + name + "-" +
                               std::to_string(::GetCurrentProcessId()) + "-" +
                               std::to_string(++folder_serial) + "\\";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

// Remove a folder with everything in it.
void remove_tree(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((folder + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") {
                continue;
            }
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                remove_tree(folder + name + "\\");
            } else {
                ::DeleteFileA((folder + name).c_str());
            }
        } while (::FindNextFileA(search, &found));
        ::FindClose(search);
    }
    ::RemoveDirectoryA(folder.c_str());
}

int64_t private_bytes() {
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    ::K32GetProcessMemoryInfo(::GetCurrentProcess(),
                              reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                              sizeof counters);
    return static_cast<int64_t>(counters.PrivateUsage);
}

// Start the game in its folder and wait for its main window.
bool start_program(const std::string& folder, Running& run) {
    run = {};
    if (!launch_start(folder, GAME_PROGRAM, "", 0, &run.process)) {
        return false;
    }
    run.window = launch_wait_window(run.process, GAME_WINDOW_CLASS, 0, 300, 20);
    return run.window != nullptr;
}

// Wait for the program to end; its exit code, or -1 when it had to be stopped.
int64_t wait_for_exit(Running& run, DWORD timeout_ms) {
    return launch_end(run.process, timeout_ms);
}

// Pixels of the top-left corner of the window's client area on the screen (where the
// status line is printed) that are not the background blue.
int32_t status_pixels(HWND window) {
    constexpr int32_t WIDTH = 120;
    constexpr int32_t HEIGHT = 14;
    POINT origin = {0, 0};
    ::ClientToScreen(window, &origin);
    HDC screen = ::GetDC(nullptr);
    int32_t count = 0;
    for (int32_t y = 1; y < HEIGHT; y += 2) {
        for (int32_t x = 1; x < WIDTH; ++x) {
            const COLORREF pixel = ::GetPixel(screen, origin.x + x, origin.y + y);
            count += pixel != RGB(0, 0, 255) && pixel != CLR_INVALID ? 1 : 0;
        }
    }
    ::ReleaseDC(nullptr, screen);
    return count;
}

// Poll until the status line shows; false after timeout_ms.
bool wait_for_status_line(HWND window, DWORD timeout_ms) {
    for (DWORD waited = 0; waited < timeout_ms; waited += 50) {
        if (status_pixels(window) > 20) {
            return true;
        }
        ::Sleep(50);
    }
    return false;
}

// One set of data files for the real program: the bad kind of the pictures and sounds.
struct DataSet {
    const char* name;
    Bad pictures;
    Bad sounds;
    bool close_request; // end with a close request (WM_CLOSE) rather than "Quit"
};

// Copy the program into a fresh folder and put the set's bad files beside it.
std::string lay_out_set(const DataSet& set) {
    const std::string bin = launch_own_folder();
    const std::string folder = make_temp_folder(set.name);
    ::CopyFileA((bin + "tarrowind.exe").c_str(), (folder + "tarrowind.exe").c_str(), FALSE);
    if (set.pictures != Bad::MISSING) {
        ::CreateDirectoryA((folder + "graphics").c_str(), nullptr);
        for (const char* name : PICTURES) {
            make_bad(folder + "graphics\\" + name, set.pictures, bin + "graphics\\" + name);
        }
    }
    if (set.sounds != Bad::MISSING) {
        ::CreateDirectoryA((folder + "sound").c_str(), nullptr);
        for (const char* name : SOUNDS) {
            make_bad(folder + "sound\\" + name, set.sounds, bin + "sound\\" + name);
        }
    }
    return folder;
}

} // namespace

// ============================================================================
// Tests
// ============================================================================

TEST(BadFiles, PicturesThatCannotBeReadLoadAsNothingAndLeaveNothing) {
    const std::string folder = make_temp_folder("pictures");
    const std::string good = launch_own_folder() + "graphics\\goodguy.bmp";
    // A file cut inside its pixels still has a whole header: the platform's loaders make a
    // picture of what is there. Every other bad file must load as nothing.
    const struct {
        const char* name;
        Bad kind;
        bool may_load;
    } rows[] = {{"cut-header.bmp", Bad::CUT_HEADER, false},
                {"truncated.bmp", Bad::TRUNCATED, true},
                {"text.bmp", Bad::TEXT, false},
                {"empty.bmp", Bad::EMPTY, false},
                {"huge.bmp", Bad::HUGE_FILE, false},
                {"folder.bmp", Bad::DIRECTORY, false},
                {"missing.bmp", Bad::MISSING, false}};
    // The loader's first use sets up OLE for good: load the good picture once first.
    ImageHandle first = image_load(good.c_str(), TAG_STRING, IMAGE_PICTURE);
    ASSERT_NE(first, 0u);
    reinterpret_cast<IPicture*>(first)->Release();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = folder + row.name;
        ASSERT_TRUE(make_bad(path, row.kind, good));
        const Census before = census_take();
        const int64_t private_before = private_bytes();
        const ImageHandle picture = image_load(path.c_str(), TAG_STRING, IMAGE_PICTURE);
        const ImageHandle bitmap = image_load(path.c_str(), TAG_STRING, IMAGE_BITMAP_KIND);
        // NOTE: Wine's LoadImageA makes a bitmap even of a file cut inside its info header,
        // so only the picture kind, the one the game uses, is held to failing.
        if (!row.may_load) {
            EXPECT_EQ(picture, 0u);
        }
        if (picture != 0) {
            reinterpret_cast<IPicture*>(picture)->Release();
        }
        if (bitmap != 0) {
            ::DeleteObject(reinterpret_cast<HGDIOBJ>(bitmap));
        }
        const Census after = census_take();
        EXPECT_EQ(census_changes(before, after), "");
        EXPECT_LT(private_bytes() - private_before, 4 * 1024 * 1024);
    }
    remove_tree(folder);
}

TEST(BadFiles, SoundsThatCannotBePlayedFailQuietlyAndLeaveNothing) {
    const std::string folder = make_temp_folder("sounds");
    const std::string good = launch_own_folder() + "sound\\shoot.wav";
    const struct {
        const char* name;
        Bad kind;
    } rows[] = {{"broken.wav", Bad::BROKEN_WAVE},    {"truncated.wav", Bad::TRUNCATED},
                {"cut-header.wav", Bad::CUT_HEADER}, {"text.wav", Bad::TEXT},
                {"empty.wav", Bad::EMPTY},           {"folder.wav", Bad::DIRECTORY},
                {"missing.wav", Bad::MISSING}};
    const int32_t windows_idle = census_take().windows;
    play_wave(good.c_str(), TAG_STRING, 0); // the player's first use sets up for good
    play_wave("", TAG_STRING, 0);
    // The player's window goes with its thread a moment after stopping returned: the first
    // row's census must not count it.
    const DWORD stopped = ::GetTickCount();
    while (census_take().windows > windows_idle && ::GetTickCount() - stopped < 10000) {
        ::Sleep(50);
    }
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = folder + row.name;
        ASSERT_TRUE(make_bad(path, row.kind, good));
        const Census before = census_take();
        for (uint32_t mode : {0u, 1u}) {
            const DWORD start = ::GetTickCount();
            play_wave(path.c_str(), TAG_STRING, mode);
            EXPECT_LT(::GetTickCount() - start, 2000u) << "mode " << mode;
        }
        // Stopping returns once the player is told; its thread frees its blocks as it ends.
        play_wave("", TAG_STRING, 0);
        EXPECT_EQ(census_changes(before, census_settled(before, 10000)), "");
    }
    remove_tree(folder);
}

// The real program beside each bad set starts, shows its status line after "New",
// takes clicks and quits with exit code 0.
TEST(BadFiles, TheGameStartsPlaysAndQuitsBesideEachBadSet) {
    const DataSet sets[] = {
        {"truncated", Bad::TRUNCATED, Bad::TRUNCATED, false},
        {"cut-header", Bad::CUT_HEADER, Bad::CUT_HEADER, true},
        {"text", Bad::TEXT, Bad::TEXT, true},
        {"empty", Bad::EMPTY, Bad::EMPTY, false},
        {"huge", Bad::HUGE_FILE, Bad::BROKEN_WAVE, true},
        {"folders", Bad::DIRECTORY, Bad::DIRECTORY, false},
        {"missing", Bad::MISSING, Bad::MISSING, true},
    };
    for (const DataSet& set : sets) {
        SCOPED_TRACE(set.name);
        const std::string folder = lay_out_set(set);
        Running run;
        ASSERT_TRUE(start_program(folder, run));
        ::PostMessageA(run.window, WM_COMMAND, MENU_NEW, 0);
        EXPECT_TRUE(wait_for_status_line(run.window, 5000));
        for (int32_t shot = 0; shot < 8; ++shot) {
            const POINT corner = {FIELD_LEFT + CELL_SIZE * (shot + 3),
                                  FIELD_TOP + CELL_SIZE * (5 - shot % 3)};
            ::PostMessageA(run.window, WM_LBUTTONDOWN, MK_LBUTTON,
                           MAKELPARAM(corner.x + 10, corner.y + 10));
            ::Sleep(60);
        }
        DWORD_PTR answer = 0;
        EXPECT_NE(::SendMessageTimeoutA(run.window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer),
                  0)
            << "the game stopped answering";
        if (set.close_request) {
            ::PostMessageA(run.window, WM_CLOSE, 0, 0);
        } else {
            ::PostMessageA(run.window, WM_COMMAND, MENU_QUIT, 0);
        }
        EXPECT_EQ(wait_for_exit(run, 10000), 0);
        remove_tree(folder);
    }
}
