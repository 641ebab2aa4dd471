// Starting, watching and ending copies of the game, and finding their windows.
// Owns the table of started processes, which an exit hook, the console handler and the
// crash filter all terminate, so no game outlives the driver on any path.
// Relies on KERNEL32 (processes, a kill-on-close job) and USER32 (window queries, posted
// messages) and on tests/support/launch.h for starting a program and finding its windows;
// knows the game only by its file name, window class and message boxes.
#include "tests/e2e/common/e2e.h"

#include "tests/support/launch.h"

#include <cstdlib>

// ============================================================================
// Module state
// ============================================================================

namespace {

constexpr int MAX_GAMES = 16;

struct ProcessGuard {
    CRITICAL_SECTION lock;       // guards the table
    HANDLE processes[MAX_GAMES]; // every started game not yet ended, else null
    HANDLE job;                  // kill-on-close job holding every game (best effort)
    bool ready;                  // installed
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
    printf("FAIL driver: the driver itself crashed\n");
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

// Prepares the emergency clean-up that ends every started game on any exit path.
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
bool game_start(GameProcess& game, const std::string& folder, std::string& why) {
    return program_start(game, folder, GAME_PROGRAM, "", GAME_WINDOW_CLASS, why);
}

// Starts folder\program with arguments and waits for its visible window of the class.
bool program_start(GameProcess& game, const std::string& folder, const std::string& program,
                   const std::string& arguments, const char* window_class, std::string& why) {
    game = GameProcess{};
    game.folder = folder;
    if (!launch_start(folder, program, arguments, CREATE_SUSPENDED, &game.info)) {
        const DWORD error = ::GetLastError();
        why = format("CreateProcess %s failed with error %lu", (folder + program).c_str(), error);
        game.info = PROCESS_INFORMATION{};
        return false;
    }
    if (guard.job)
        ::AssignProcessToJobObject(guard.job, game.info.hProcess);
    guard_add(game.info.hProcess);
    ::ResumeThread(game.info.hThread);

    // The window appears after Wine's start-up; then the game centres it, attaches the
    // menu and may grow it once. Wait until it is idle and its rectangle holds still.
    // Wine starts a program slowly on a loaded machine: wait for the window well beyond that.
    constexpr uint32_t WINDOW_WAIT_MS = 60000;
    uint32_t start = now_ms();
    while (!game.window && now_ms() - start < WINDOW_WAIT_MS) {
        if (!game_alive(game)) {
            DWORD code = 0;
            ::GetExitCodeProcess(game.info.hProcess, &code);
            why = format("the game ended before showing its window (exit code %lu)", code);
            return false;
        }
        game.window = find_window_of(game.info.dwProcessId, window_class);
        if (!game.window)
            ::Sleep(50);
    }
    if (!game.window) {
        why = format("no visible window of class %s within %u s", window_class,
                     WINDOW_WAIT_MS / 1000);
        return false;
    }
    ::WaitForInputIdle(game.info.hProcess, 5000);
    RECT last = window_rect(game.window);
    int stable = 0;
    while (stable < 3 && now_ms() - start < WINDOW_WAIT_MS + 5000) {
        ::Sleep(50);
        RECT r = window_rect(game.window);
        stable = same_rect(r, last) ? stable + 1 : 0;
        last = r;
    }
    return true;
}

// Ends the game if it still runs and closes its handles; safe to call twice.
void game_kill(GameProcess& game) {
    if (game.info.hProcess) {
        if (game_alive(game)) {
            ::TerminateProcess(game.info.hProcess, 1);
            ::WaitForSingleObject(game.info.hProcess, 3000);
        }
        guard_remove(game.info.dwProcessId);
        ::CloseHandle(game.info.hProcess);
        ::CloseHandle(game.info.hThread);
    }
    game.info = PROCESS_INFORMATION{};
    game.window = nullptr;
}

// Waits for the game to end by itself; true with its exit code when it did.
bool game_wait_exit(GameProcess& game, DWORD timeout_ms, DWORD& exit_code) {
    if (!game.info.hProcess)
        return false;
    if (::WaitForSingleObject(game.info.hProcess, timeout_ms) != WAIT_OBJECT_0)
        return false;
    exit_code = 0;
    ::GetExitCodeProcess(game.info.hProcess, &exit_code);
    return true;
}

// True while the game process runs.
bool game_alive(const GameProcess& game) {
    return game.info.hProcess && ::WaitForSingleObject(game.info.hProcess, 0) == WAIT_TIMEOUT;
}

// Says why the game may not have answered: ended (with its exit code), hung, or "".
std::string game_state_text(const GameProcess& game) {
    if (!game.info.hProcess)
        return " (the game is not running)";
    if (!game_alive(game)) {
        DWORD code = 0;
        ::GetExitCodeProcess(game.info.hProcess, &code);
        return format(" (the game has ended, exit code %lu)", code);
    }
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutA(game.window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, 1000,
                               &result))
        return " (the game does not answer messages: hung or busy)";
    return "";
}

// Picks a menu command by posting WM_COMMAND to the game's window.
void game_command(const GameProcess& game, int id) {
    ::PostMessageA(game.window, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

// Posts a left click at client coordinates (button down, then up).
void game_click(const GameProcess& game, int x, int y) {
    LPARAM where = MAKELPARAM(x, y);
    ::PostMessageA(game.window, WM_LBUTTONDOWN, MK_LBUTTON, where);
    ::PostMessageA(game.window, WM_LBUTTONUP, 0, where);
}

// The visible message box the game shows now, or null.
HWND find_message_box(const GameProcess& game) {
    return find_window_of(game.info.dwProcessId, "#32770");
}

// Waits up to timeout_ms for a message box of the game.
HWND wait_message_box(const GameProcess& game, DWORD timeout_ms) {
    uint32_t start = now_ms();
    for (;;) {
        HWND box = find_message_box(game);
        if (box) {
            // Wine places the box after creating it: let its position settle.
            ::Sleep(150);
            return box;
        }
        if (now_ms() - start > timeout_ms || !game_alive(game))
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
