// Starting child processes, for every program of the tests that starts another: the test
// programs (children that end the process, the real game), the end-to-end checks, the
// benchmark and the sound recorder's client. The one way a test starts a child: a program
// of a folder with arguments, optionally suspended, optionally with pipes to its standard
// input and from its output; then finding its window, collecting its output and ending it.
// Header-only; relies on KERNEL32 and USER32 alone (no runtime, no test framework).
// What to do with the window or the output is left to each caller.
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

// How launch_start starts a child: bits of its options.
constexpr uint32_t LAUNCH_SUSPENDED = 0x1;   // its first thread waits for ResumeThread
constexpr uint32_t LAUNCH_PIPE_INPUT = 0x2;  // its standard input reads what goes to input
constexpr uint32_t LAUNCH_PIPE_OUTPUT = 0x4; // its standard output and error come from output
constexpr uint32_t LAUNCH_UTF8 = 0x8;        // folder, program and arguments are UTF-8

// The exit code of a child that had to be stopped.
constexpr DWORD LAUNCH_STOPPED = 99;

// A started child: its process and this side's ends of the pipes asked for. All null when
// it did not start; a Unix program started through Wine has no process handles.
struct ChildProcess {
    PROCESS_INFORMATION info; // handles and ids
    HANDLE input;             // LAUNCH_PIPE_INPUT: writes reach the child's standard input
    HANDLE output;            // LAUNCH_PIPE_OUTPUT: reads what the child writes
};

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
// Internal helpers
// ============================================================================

namespace launch_detail {

// Close a handle that may be null, and null it.
inline void close(HANDLE& handle) {
    if (handle != nullptr) {
        ::CloseHandle(handle);
        handle = nullptr;
    }
}

// A pipe whose end for the child (read end for its input, write end for its output) is
// inheritable and whose end for this process is not; false when it could not be made.
inline bool make_pipe(bool to_child, HANDLE* ours, HANDLE* theirs) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    if (!::CreatePipe(&read, &write, &inherit, 0)) {
        return false;
    }
    *ours = to_child ? write : read;
    *theirs = to_child ? read : write;
    ::SetHandleInformation(*ours, HANDLE_FLAG_INHERIT, 0);
    return true;
}

} // namespace launch_detail

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

// The file name of the running program, without its folder.
inline std::string launch_own_name() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    const char* slash = std::strrchr(path, '\\');
    return slash != nullptr ? slash + 1 : path;
}

// Start folder + program (quoted, then arguments) with folder as its working folder and
// the pipes options ask for; false when it could not be started (GetLastError says why).
inline bool launch_start(const std::string& folder, const std::string& program,
                         const std::string& arguments, uint32_t options, ChildProcess* child) {
    using launch_detail::close;
    *child = ChildProcess{};
    std::string command =
        "\"" + folder + program + "\"" + (arguments.empty() ? "" : " " + arguments);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    HANDLE child_input = nullptr; // the child's ends, closed here once it has them
    HANDLE child_output = nullptr;
    bool ready = true;
    if (options & LAUNCH_PIPE_INPUT) {
        ready = launch_detail::make_pipe(true, &child->input, &child_input);
    }
    if (ready && (options & LAUNCH_PIPE_OUTPUT)) {
        ready = launch_detail::make_pipe(false, &child->output, &child_output);
    }
    const bool piped = (options & (LAUNCH_PIPE_INPUT | LAUNCH_PIPE_OUTPUT)) != 0;
    if (piped) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = child_input != nullptr ? child_input : ::GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput =
            child_output != nullptr ? child_output : ::GetStdHandle(STD_OUTPUT_HANDLE);
        startup.hStdError =
            child_output != nullptr ? child_output : ::GetStdHandle(STD_ERROR_HANDLE);
    }
    const DWORD flags = (options & LAUNCH_SUSPENDED) ? CREATE_SUSPENDED : 0;
    bool started = false;
    if (ready && (options & LAUNCH_UTF8)) {
        // Names in any script: the command and folder in UTF-16, for the wide call.
        auto wide = [](const std::string& text) {
            std::wstring out(text.size() + 1, L'\0');
            out.resize(size_t(
                ::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, out.data(), int(out.size()))));
            return out;
        };
        std::wstring wide_command = wide(command), wide_folder = wide(folder);
        STARTUPINFOW startup_wide = {};
        startup_wide.cb = sizeof startup_wide;
        startup_wide.dwFlags = startup.dwFlags;
        startup_wide.hStdInput = startup.hStdInput;
        startup_wide.hStdOutput = startup.hStdOutput;
        startup_wide.hStdError = startup.hStdError;
        started =
            ::CreateProcessW(nullptr, wide_command.data(), nullptr, nullptr, piped ? TRUE : FALSE,
                             flags, nullptr, wide_folder.c_str(), &startup_wide, &child->info) != 0;
    } else if (ready) {
        started = ::CreateProcessA(nullptr, command.data(), nullptr, nullptr, piped ? TRUE : FALSE,
                                   flags, nullptr, folder.c_str(), &startup, &child->info) != 0;
    }
    const DWORD error = ::GetLastError();
    close(child_input);
    close(child_output);
    if (!started) {
        close(child->input);
        close(child->output);
        *child = ChildProcess{};
    }
    ::SetLastError(error);
    return started;
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
inline HWND launch_wait_window(const ChildProcess& child, const char* window_class,
                               uint32_t require, int32_t tries, DWORD poll_ms) {
    for (int32_t i = 0; i < tries; ++i) {
        ::Sleep(poll_ms);
        HWND window = launch_find_window(child.info.dwProcessId, window_class, require);
        if (window != nullptr) {
            return window;
        }
        if (::WaitForSingleObject(child.info.hProcess, 0) == WAIT_OBJECT_0) {
            return nullptr;
        }
    }
    return nullptr;
}

// Collect what the child writes (LAUNCH_PIPE_OUTPUT) until it ends; a child silent for
// silence_ms is stopped with the exit code LAUNCH_STOPPED. True when it ended by itself.
// NOTE: the end waited for is the process's, not the pipe's: a process the child started
// may hold the pipe's other end long after the child ended.
inline bool launch_collect(ChildProcess& child, DWORD silence_ms, std::string& output) {
    if (child.info.hProcess == nullptr) {
        return false;
    }
    DWORD heard = ::GetTickCount(); // when the child last wrote
    for (;;) {
        const bool ended = ::WaitForSingleObject(child.info.hProcess, 10) == WAIT_OBJECT_0;
        char chunk[4096];
        DWORD waiting = 0;
        DWORD got = 0;
        while (child.output != nullptr &&
               ::PeekNamedPipe(child.output, nullptr, 0, nullptr, &waiting, nullptr) &&
               waiting > 0 && ::ReadFile(child.output, chunk, sizeof chunk, &got, nullptr) &&
               got > 0) {
            output.append(chunk, got);
            heard = ::GetTickCount();
        }
        if (ended) {
            return true;
        }
        if (::GetTickCount() - heard > silence_ms) {
            ::TerminateProcess(child.info.hProcess, LAUNCH_STOPPED);
            ::WaitForSingleObject(child.info.hProcess, 5000);
            return false;
        }
    }
}

// Wait up to timeout_ms for the child to end, stop it (LAUNCH_STOPPED) if it does not, and
// close its handles and pipes; its exit code, or -1 when it had to be stopped here.
inline int64_t launch_end(ChildProcess& child, DWORD timeout_ms) {
    using launch_detail::close;
    const bool ended = ::WaitForSingleObject(child.info.hProcess, timeout_ms) == WAIT_OBJECT_0;
    if (!ended) {
        ::TerminateProcess(child.info.hProcess, LAUNCH_STOPPED);
        ::WaitForSingleObject(child.info.hProcess, 5000);
    }
    DWORD code = 0;
    ::GetExitCodeProcess(child.info.hProcess, &code);
    close(child.info.hThread);
    close(child.info.hProcess);
    close(child.input);
    close(child.output);
    child = ChildProcess{};
    return ended ? static_cast<int64_t>(code) : -1;
}
