// Starting, watching and ending the programs a check drives (the game, the viewer, Hello),
// and finding their windows. Owns the table of started processes, which an exit hook, the
// console handler and the crash filter all terminate, so no program outlives its check on
// any path.
// Relies on KERNEL32 (processes, a kill-on-close job) and USER32 (window queries, posted
// messages) and on tests/support/launch.h for starting a program and finding its windows;
// knows the programs only by their file names, window classes and message boxes.
#include "tests/e2e/common/e2e.h"

#include "tests/support/launch.h"

#include <cstdlib>

// ============================================================================
// Module state
// ============================================================================

namespace {

constexpr int MAX_PROGRAMS = 16;

struct ProcessGuard {
    CRITICAL_SECTION lock;          // guards the table
    HANDLE processes[MAX_PROGRAMS]; // every started program not yet ended, else null
    HANDLE job;                     // kill-on-close job holding every program (best effort)
    bool ready;                     // installed
};
ProcessGuard guard{};

// ============================================================================
// Internal helpers
// ============================================================================

void terminate_all() {
    if (!guard.ready)
        return;
    ::EnterCriticalSection(&guard.lock);
    for (HANDLE& p : guard.processes) {
        if (p) {
            ::TerminateProcess(p, 1);
            ::WaitForSingleObject(p, 2000);
            ::CloseHandle(p);
            p = nullptr;
        }
    }
    ::LeaveCriticalSection(&guard.lock);
}

void guard_add(HANDLE process) {
    HANDLE copy = nullptr;
    ::DuplicateHandle(::GetCurrentProcess(), process, ::GetCurrentProcess(), &copy, 0, FALSE,
                      DUPLICATE_SAME_ACCESS);
    ::EnterCriticalSection(&guard.lock);
    for (HANDLE& p : guard.processes) {
        if (!p) {
            p = copy;
            copy = nullptr;
            break;
        }
    }
    ::LeaveCriticalSection(&guard.lock);
    if (copy)
        ::CloseHandle(copy);
}

void guard_remove(DWORD pid) {
    ::EnterCriticalSection(&guard.lock);
    for (HANDLE& p : guard.processes) {
        if (p && ::GetProcessId(p) == pid) {
            ::CloseHandle(p);
            p = nullptr;
        }
    }
    ::LeaveCriticalSection(&guard.lock);
}

LONG WINAPI on_crash(EXCEPTION_POINTERS*) {
    terminate_all();
    printf("FAIL check: the checking program itself crashed\n");
    fflush(stdout);
    return EXCEPTION_EXECUTE_HANDLER;
}

BOOL WINAPI on_console_event(DWORD) {
    terminate_all();
    return FALSE;
}

// The first visible top-level window of the process with the class name, or null.
HWND find_window_of(DWORD pid, const char* klass) {
    return launch_find_window(pid, klass, LAUNCH_VISIBLE);
}

bool same_rect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Prepares the emergency clean-up that ends every started program on any exit path.
void process_guard_install() {
    ::InitializeCriticalSection(&guard.lock);
    guard.job = ::CreateJobObjectA(nullptr, nullptr);
    if (guard.job) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        ::SetInformationJobObject(guard.job, JobObjectExtendedLimitInformation, &limits,
                                  sizeof limits);
    }
    guard.ready = true;
    atexit(terminate_all);
    ::SetConsoleCtrlHandler(on_console_event, TRUE);
    ::SetUnhandledExceptionFilter(on_crash);
}

// Starts folder\tarrowind.exe and waits for its main window; false with the reason.
bool game_start(RunningProgram& game, const std::string& folder, std::string& why) {
    return program_start(game, folder, GAME_PROGRAM, "", GAME_WINDOW_CLASS, why);
}

// Starts folder\file with arguments and waits for its visible window of the class.
bool program_start(RunningProgram& program, const std::string& folder, const std::string& file,
                   const std::string& arguments, const char* window_class, std::string& why,
                   uint32_t launch_options) {
    program = RunningProgram{};
    program.folder = folder;
    ChildProcess child;
    if (!launch_start(folder, file, arguments, LAUNCH_SUSPENDED | launch_options, &child)) {
        const DWORD error = ::GetLastError();
        why = format("CreateProcess %s failed with error %lu", (folder + file).c_str(), error);
        return false;
    }
    program.info = child.info;
    if (guard.job)
        ::AssignProcessToJobObject(guard.job, program.info.hProcess);
    guard_add(program.info.hProcess);
    ::ResumeThread(program.info.hThread);

    // The window appears after Wine's start-up; then the program centres it, attaches the
    // menu and may grow it once. Wait until it is idle and its rectangle holds still.
    // Wine starts a program slowly on a loaded machine: wait for the window well beyond that.
    constexpr uint32_t WINDOW_WAIT_MS = 60000;
    uint32_t start = now_ms();
    while (!program.window && now_ms() - start < WINDOW_WAIT_MS) {
        if (!program_alive(program)) {
            DWORD code = 0;
            ::GetExitCodeProcess(program.info.hProcess, &code);
            why = format("the program ended before showing its window (exit code %lu)", code);
            return false;
        }
        program.window = find_window_of(program.info.dwProcessId, window_class);
        if (!program.window)
            ::Sleep(50);
    }
    if (!program.window) {
        why = format("no visible window of class %s within %u s", window_class,
                     WINDOW_WAIT_MS / 1000);
        return false;
    }
    ::WaitForInputIdle(program.info.hProcess, 5000);
    RECT last = window_rect(program.window);
    int stable = 0;
    while (stable < 3 && now_ms() - start < WINDOW_WAIT_MS + 5000) {
        ::Sleep(50);
        RECT r = window_rect(program.window);
        stable = same_rect(r, last) ? stable + 1 : 0;
        last = r;
    }
    return true;
}

// Ends the program if it still runs and closes its handles; safe to call twice.
void program_kill(RunningProgram& program) {
    if (program.info.hProcess) {
        if (program_alive(program)) {
            ::TerminateProcess(program.info.hProcess, 1);
            ::WaitForSingleObject(program.info.hProcess, 3000);
        }
        guard_remove(program.info.dwProcessId);
        ::CloseHandle(program.info.hProcess);
        ::CloseHandle(program.info.hThread);
    }
    program.info = PROCESS_INFORMATION{};
    program.window = nullptr;
}

// Waits for the program to end by itself; true with its exit code when it did.
bool program_wait_exit(RunningProgram& program, DWORD timeout_ms, DWORD& exit_code) {
    if (!program.info.hProcess)
        return false;
    if (::WaitForSingleObject(program.info.hProcess, timeout_ms) != WAIT_OBJECT_0)
        return false;
    exit_code = 0;
    ::GetExitCodeProcess(program.info.hProcess, &exit_code);
    return true;
}

// True while the program runs.
bool program_alive(const RunningProgram& program) {
    return program.info.hProcess && ::WaitForSingleObject(program.info.hProcess, 0) == WAIT_TIMEOUT;
}

// Says why the program may not have answered: ended (with its exit code), hung, or "".
std::string program_state_text(const RunningProgram& program) {
    if (!program.info.hProcess)
        return " (the program is not running)";
    if (!program_alive(program)) {
        DWORD code = 0;
        ::GetExitCodeProcess(program.info.hProcess, &code);
        return format(" (the program has ended, exit code %lu)", code);
    }
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutA(program.window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, 1000,
                               &result))
        return " (the program does not answer messages: hung or busy)";
    return "";
}

// Picks a menu command by posting WM_COMMAND to the program's window.
void program_command(const RunningProgram& program, int id) {
    ::PostMessageA(program.window, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

// Posts a left click at client coordinates (button down, then up).
void program_click(const RunningProgram& program, int x, int y) {
    LPARAM where = MAKELPARAM(x, y);
    ::PostMessageA(program.window, WM_LBUTTONDOWN, MK_LBUTTON, where);
    ::PostMessageA(program.window, WM_LBUTTONUP, 0, where);
}

// The visible message box the program shows now, or null.
HWND find_message_box(const RunningProgram& program) {
    return find_window_of(program.info.dwProcessId, "#32770");
}

// Waits up to timeout_ms for a message box of the program.
HWND wait_message_box(const RunningProgram& program, DWORD timeout_ms) {
    uint32_t start = now_ms();
    for (;;) {
        HWND box = find_message_box(program);
        if (box) {
            // Wine places the box after creating it: let its position settle.
            ::Sleep(150);
            return box;
        }
        if (now_ms() - start > timeout_ms || !program_alive(program))
            return nullptr;
        ::Sleep(30);
    }
}

// Closes a message box with its OK button; true when it went away in time.
bool close_message_box(HWND box, DWORD timeout_ms) {
    HWND ok = ::GetDlgItem(box, IDOK);
    ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
    uint32_t start = now_ms();
    while (::IsWindow(box) && ::IsWindowVisible(box)) {
        if (now_ms() - start > timeout_ms)
            return false;
        ::Sleep(20);
    }
    return true;
}

// The text of a window of any process.
std::string window_text(HWND window) {
    char text[4096] = {};
    int n = ::GetWindowTextA(window, text, sizeof text);
    return std::string(text, n > 0 ? n : 0);
}

// Window rectangle on the screen.
RECT window_rect(HWND window) {
    RECT r{};
    ::GetWindowRect(window, &r);
    return r;
}

// Client rectangle on the screen.
RECT client_rect_on_screen(HWND window) {
    RECT r{};
    ::GetClientRect(window, &r);
    POINT origin{0, 0};
    ::ClientToScreen(window, &origin);
    ::OffsetRect(&r, origin.x, origin.y);
    return r;
}

// The work area of the primary screen.
RECT work_area() {
    RECT r{};
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0);
    return r;
}
