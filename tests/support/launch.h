// Starting a program of the build and finding its window, for every program that drives
// the real game from outside: the tests, the benchmark and the end-to-end driver.
// Header-only; relies on KERNEL32 and USER32 alone (no runtime, no test framework).
// What to do with the window once found is left to each caller.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>

// ============================================================================
// Types
// ============================================================================

constexpr const char* GAME_PROGRAM = "tarrowind.exe";
constexpr const char* GAME_WINDOW_CLASS = "KalvorineWndClass"; // the runtime's window class

// What a top-level window must be to be found: bits of LaunchWindowQuery::require.
constexpr uint32_t LAUNCH_VISIBLE = 0x1;   // shown on the screen
constexpr uint32_t LAUNCH_CAPTIONED = 0x2; // has a caption (WS_CAPTION)

// A search among the top-level windows of one process.
struct LaunchWindowQuery {
    DWORD process;            // the process whose windows are wanted
    const char* window_class; // their class name; null: any class
    uint32_t require;         // LAUNCH_VISIBLE, LAUNCH_CAPTIONED
    HWND found;               // the first match, or null
};

// ============================================================================
// Public routines
// ============================================================================

// The folder of the running program, with its trailing backslash.
inline std::string launch_own_folder() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    char* slash = std::strrchr(path, '\\');
    if (slash != nullptr) {
        slash[1] = 0;
    }
    return path;
}

// Start folder + program (quoted, then arguments) with folder as its working folder;
// false when CreateProcess refused. creation_flags go to CreateProcess (CREATE_SUSPENDED).
inline bool launch_start(const std::string& folder, const std::string& program,
                         const std::string& arguments, DWORD creation_flags,
                         PROCESS_INFORMATION* process) {
    const std::string exe = folder + program;
    std::string command = "\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    *process = PROCESS_INFORMATION{};
    return ::CreateProcessA(exe.c_str(), command.data(), nullptr, nullptr, FALSE, creation_flags,
                            nullptr, folder.c_str(), &startup, process) != 0;
}

// EnumWindows step: stops at the first window that answers the query. A stdcall routine,
// not a lambda, so that it also builds for 32-bit Windows.
inline BOOL CALLBACK launch_window_step(HWND window, LPARAM query_address) {
    auto* query = reinterpret_cast<LaunchWindowQuery*>(query_address);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner != query->process) {
        return TRUE;
    }
    if ((query->require & LAUNCH_VISIBLE) && !::IsWindowVisible(window)) {
        return TRUE;
    }
    if ((query->require & LAUNCH_CAPTIONED) &&
        (::GetWindowLongA(window, GWL_STYLE) & WS_CAPTION) != WS_CAPTION) {
        return TRUE;
    }
    if (query->window_class != nullptr) {
        char name[64] = {};
        ::GetClassNameA(window, name, sizeof name);
        if (std::strcmp(name, query->window_class) != 0) {
            return TRUE;
        }
    }
    query->found = window;
    return FALSE;
}

// The first top-level window of a process of the class (null: any) that has what require
// asks for; null when there is none.
inline HWND launch_find_window(DWORD process, const char* window_class, uint32_t require) {
    LaunchWindowQuery query = {process, window_class, require, nullptr};
    ::EnumWindows(launch_window_step, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

// Look for the window every poll_ms, at most tries times (sleeping first); null when it
// did not appear or the process ended.
inline HWND launch_wait_window(const PROCESS_INFORMATION& process, const char* window_class,
                               uint32_t require, int32_t tries, DWORD poll_ms) {
    for (int32_t i = 0; i < tries; ++i) {
        ::Sleep(poll_ms);
        HWND window = launch_find_window(process.dwProcessId, window_class, require);
        if (window != nullptr) {
            return window;
        }
        if (::WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) {
            return nullptr;
        }
    }
    return nullptr;
}

// Wait up to timeout_ms for the process to end, stop it (exit code 99) if it does not, and
// close its handles; its exit code, or -1 when it had to be stopped.
inline int64_t launch_end(PROCESS_INFORMATION& process, DWORD timeout_ms) {
    const bool ended = ::WaitForSingleObject(process.hProcess, timeout_ms) == WAIT_OBJECT_0;
    if (!ended) {
        ::TerminateProcess(process.hProcess, 99);
        ::WaitForSingleObject(process.hProcess, 5000);
    }
    DWORD code = 0;
    ::GetExitCodeProcess(process.hProcess, &code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    process = PROCESS_INFORMATION{};
    return ended ? static_cast<int64_t>(code) : -1;
}
