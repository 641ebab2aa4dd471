// The benchmark program: frame drawing at both magnifications against its floor (the same
// repaints done by a minimal program), the time from a posted click to the end of the frame
// it hurries, the CPU the real game uses while it waits, and start-up time against a
// minimal Win32 program. Relies on the game library in process, and on tarrowind.exe,
// floor_window.exe and minimal_window.exe beside it (bin/). Prints a table; it checks
// nothing. Times come from QueryPerformanceCounter.
// Usage: bench.exe [--quick] [--floor]   (--floor: only the frame against its floor)
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "game/game.h"
#include "runtime/core/core_internal.h"
#include "runtime/draw/draw_internal.h"
#include "tests/support/launch.h"

// ============================================================================
// Types
// ============================================================================

namespace {

// A set of timings in milliseconds.
struct Timings {
    std::vector<double> samples;
};

// A program started by the bench, with its window once it is up.
struct Child {
    ChildProcess process;
    HWND window;
};

// ============================================================================
// Module state
// ============================================================================

LARGE_INTEGER counter_frequency;
uint32_t fixed_now = 100000;
bool quick = false;

// ============================================================================
// Internal helpers
// ============================================================================

// The sample at fraction p of the sorted timings (0.5: the median).
double timings_at(Timings& timings, double p) {
    if (timings.samples.empty()) {
        return 0.0;
    }
    std::sort(timings.samples.begin(), timings.samples.end());
    return timings
        .samples[static_cast<size_t>(p * static_cast<double>(timings.samples.size() - 1) + 0.5)];
}

double timings_median(Timings& timings) {
    return timings_at(timings, 0.5);
}

double now_ms() {
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) /
           static_cast<double>(counter_frequency.QuadPart);
}

uint32_t read_fixed_clock() {
    return fixed_now;
}

int32_t answer_box(HWND, const char*, const char*, uint32_t) {
    return IDOK;
}

void row(const char* measure, const char* value, const char* note) {
    std::printf("| %-52s | %16s | %s |\n", measure, value, note);
}

std::string ms_text(double ms) {
    char text[32];
    std::snprintf(text, sizeof text, ms < 10.0 ? "%.3f ms" : "%.1f ms", ms);
    return text;
}

// The game's window and pictures in this process, before "New".
void open_game() {
    std::memset(&game, 0, sizeof game);
    message_box_set_responder(answer_box);
    start_up_game();
    process_events(1);
}

// Every cell a slot, every other one showing a figure (terrorists and hostages in turn).
void fill_half_the_field() {
    for (int32_t cell = 0; cell < GRID_CELLS; ++cell) {
        game.target_grid[cell] = cell % 2 == 0   ? CELL_SLOT
                                 : cell % 4 == 1 ? CELL_TERRORIST
                                                 : CELL_HOSTAGE;
        game.shown_at[cell] = fixed_now;
    }
}

void set_zoom(int32_t zoom) {
    game.zoom = zoom;
    set_window_rect(&game.main_window, 0, 0,
                    zoom == 1 ? game.window_width_1x : game.window_width_2x,
                    zoom == 1 ? game.window_height_1x : game.window_height_2x, 0);
    center_window(&game.main_window);
    set_background_color(&game.main_window, rgb_color(0, 0, 255));
    process_events(1);
}

// The rectangle of every repaint that draw runs, in order: the game's window procedure is
// wrapped for the time of one call, and each paint request's update rectangle noted.
WNDPROC recorded_procedure = nullptr;
std::vector<RECT>* recorded_rects = nullptr;

LRESULT CALLBACK recording_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    RECT update;
    if (message == WM_PAINT && ::GetUpdateRect(window, &update, FALSE)) {
        recorded_rects->push_back(update);
    }
    return ::CallWindowProcA(recorded_procedure, window, message, wparam, lparam);
}

std::vector<RECT> record_repaints(void (*draw)()) {
    HWND window = game.main_window.hwnd;
    std::vector<RECT> rects;
    process_events(1);
    recorded_rects = &rects;
    recorded_procedure = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(recording_procedure)));
    draw();
    ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(recorded_procedure));
    recorded_rects = nullptr;
    return rects;
}

// One square of the field, as draw_frame draws it: cell (0, 0).
void draw_one_cell() {
    const int32_t side = CELL_SIZE * game.zoom;
    draw_rect(&game.main_window, FIELD_LEFT * game.zoom, FIELD_TOP * game.zoom, side, side,
              rgb_color(128, 128, 128), rgb_color(0, 0, 0));
}

// floor_window.exe running over a sequence of rectangles, one pass per request: it reads
// requests from its standard input and answers on its standard output.
struct Floor {
    ChildProcess process;
};

// Start floor_window.exe over the rectangles in a window of the game's client size.
bool start_floor(const std::vector<RECT>& rects, Floor& floor) {
    floor = {};
    RECT client = {};
    ::GetClientRect(game.main_window.hwnd, &client);
    char number[64];
    std::snprintf(number, sizeof number, "%ld %ld", client.right, client.bottom);
    std::string arguments = number;
    for (const RECT& r : rects) {
        std::snprintf(number, sizeof number, " %ld,%ld,%ld,%ld", r.left, r.top, r.right, r.bottom);
        arguments.append(number);
    }
    if (!launch_start(launch_own_folder(), "floor_window.exe", arguments,
                      LAUNCH_PIPE_INPUT | LAUNCH_PIPE_OUTPUT, &floor.process)) {
        std::fprintf(stderr, "could not start floor_window.exe\n");
        return false;
    }
    return true;
}

// One pass of the floor over its rectangles; its time in milliseconds, or -1.
double floor_pass(Floor& floor) {
    DWORD count = 0;
    if (floor.process.input == nullptr ||
        !::WriteFile(floor.process.input, "1\n", 2, &count, nullptr)) {
        return -1.0;
    }
    char line[64] = {};
    size_t used = 0;
    while (used + 1 < sizeof line &&
           ::ReadFile(floor.process.output, line + used, 1, &count, nullptr) && count == 1 &&
           line[used] != '\n') {
        ++used;
    }
    return used > 0 ? std::strtod(line, nullptr) : -1.0;
}

// End the floor program: it ends at the end of its input.
void end_floor(Floor& floor) {
    if (floor.process.input == nullptr) {
        return;
    }
    ::CloseHandle(floor.process.input);
    floor.process.input = nullptr;
    launch_end(floor.process, 10000);
    floor = {};
}

// Time draw (after 10 unmeasured calls) and the floor's pass alternately, so that both
// sides of the ratio see the same moments of the machine's load.
void time_against_floor(void (*draw)(), Floor& floor, int32_t count, Timings& drawn,
                        Timings& floored) {
    for (int32_t i = 0; i < count + 10; ++i) {
        fill_half_the_field();
        const double start = now_ms();
        draw();
        const double stop = now_ms();
        process_events(1);
        if (i >= 10) {
            drawn.samples.push_back(stop - start);
            const double pass = floor_pass(floor);
            if (pass >= 0.0) {
                floored.samples.push_back(pass);
            }
        }
    }
}

// From posting a click on a figure to the end of the frame it hurries: the event wait,
// the shot (with its sound played to the end), spawn, drawing and rules.
Timings time_click_to_frame(int32_t clicks) {
    tick_source_set(nullptr);
    set_zoom(1);
    new_game();
    Timings timings;
    for (int32_t i = 0; i < clicks + 5; ++i) {
        game.ammo = AMMO_LIMIT;
        game.lives = START_LIVES;
        game.score = 0;
        const int32_t cell = 5 * GRID_COLUMNS + i % GRID_COLUMNS;
        game.target_grid[cell] = CELL_TERRORIST;
        game.shown_at[cell] = tick_count();
        const int32_t x = (FIELD_LEFT + (i % GRID_COLUMNS) * CELL_SIZE + 10) * game.zoom;
        const int32_t y = (FIELD_TOP + 5 * CELL_SIZE + 10) * game.zoom;
        process_events(1);
        ::PostMessageA(game.main_window.hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        const double start = now_ms();
        pace_frame();
        game.wait_for_tick = 1;
        spawn_figure();
        draw_frame();
        apply_rules();
        const double stop = now_ms();
        if (i >= 5) {
            timings.samples.push_back(stop - start);
        }
    }
    return timings;
}

// Playing the shot sound to its end, as every shot does before it hits anything.
Timings time_shot_sound(int32_t plays) {
    const std::string path = launch_own_folder() + "sound\\shoot.wav";
    Timings timings;
    for (int32_t i = 0; i < plays; ++i) {
        const double start = now_ms();
        play_wave(path.c_str(), TAG_STRING, 0);
        timings.samples.push_back(now_ms() - start);
    }
    return timings;
}

// The playing time of a PCM wave file from its header (data bytes over bytes per second),
// or 0 when it cannot be read.
double wave_length_ms(const std::string& path) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return 0.0;
    }
    unsigned char header[44] = {};
    DWORD read = 0;
    ::ReadFile(file, header, sizeof header, &read, nullptr);
    ::CloseHandle(file);
    const auto word = [&](int at) {
        return static_cast<uint32_t>(header[at] | header[at + 1] << 8 | header[at + 2] << 16 |
                                     header[at + 3] << 24);
    };
    if (read < sizeof header || word(28) == 0) {
        return 0.0;
    }
    return 1000.0 * word(40) / word(28);
}

// Where sound goes: the sound server named in the environment, or none.
std::string sound_server_text() {
    char server[256] = {};
    if (::GetEnvironmentVariableA("PULSE_SERVER", server, sizeof server) == 0) {
        return "no sound server given (PULSE_SERVER unset)";
    }
    return "sound server running";
}

// The visible, captioned top-level window of a process, or null.
HWND window_of(DWORD process) {
    return launch_find_window(process, nullptr, LAUNCH_VISIBLE | LAUNCH_CAPTIONED);
}

// Start a program of this folder; false when it could not be started.
bool start_child(const char* name, Child& child) {
    child = {};
    return launch_start(launch_own_folder(), name, "", 0, &child.process);
}

// Close the child's window and wait for it to end; its exit code, or -1.
int64_t end_child(Child& child, bool use_quit) {
    if (child.window != nullptr) {
        if (use_quit) {
            ::PostMessageA(child.window, WM_COMMAND, MENU_QUIT, 0);
        } else {
            ::PostMessageA(child.window, WM_CLOSE, 0, 0);
        }
    }
    return launch_end(child.process, 10000);
}

// True when the screen shows pure blue in the middle of the window's client area.
bool client_is_blue(HWND window) {
    RECT client;
    ::GetClientRect(window, &client);
    POINT middle = {client.right / 2, client.bottom / 2};
    ::ClientToScreen(window, &middle);
    HDC screen = ::GetDC(nullptr);
    const COLORREF pixel = ::GetPixel(screen, middle.x, middle.y);
    ::ReleaseDC(nullptr, screen);
    return pixel == RGB(0, 0, 255);
}

// From CreateProcess to the window's first paint seen on the screen (its blue client
// area), and to the window's existence; the medians over runs.
void time_start_up(const char* name, bool use_quit, int32_t runs, double* to_window,
                   double* to_paint) {
    Timings window_times;
    Timings paint_times;
    for (int32_t run = 0; run < runs; ++run) {
        Child child;
        const double start = now_ms();
        if (!start_child(name, child)) {
            break;
        }
        double window_at = -1.0;
        double paint_at = -1.0;
        while (now_ms() - start < 15000.0 && paint_at < 0.0) {
            if (child.window == nullptr) {
                child.window = window_of(child.process.info.dwProcessId);
                if (child.window != nullptr) {
                    window_at = now_ms() - start;
                }
            }
            if (child.window != nullptr && client_is_blue(child.window)) {
                paint_at = now_ms() - start;
            }
            ::Sleep(1);
        }
        end_child(child, use_quit);
        if (window_at >= 0.0) {
            window_times.samples.push_back(window_at);
        }
        if (paint_at >= 0.0) {
            paint_times.samples.push_back(paint_at);
        }
        ::Sleep(300);
    }
    *to_window = timings_median(window_times);
    *to_paint = timings_median(paint_times);
}

// The Linux process id of a Wine process started from program (its command line starts
// with the program's Windows path), or 0.
int64_t unix_process_of(const std::string& program) {
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA("Z:\\proc\\*", &found);
    if (search == INVALID_HANDLE_VALUE) {
        return 0;
    }
    int64_t best = 0;
    do {
        const char* name = found.cFileName;
        if (name[0] < '1' || name[0] > '9') {
            continue;
        }
        const std::string path = std::string("Z:\\proc\\") + name + "\\cmdline";
        HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            continue;
        }
        char line[MAX_PATH * 2] = {};
        DWORD read = 0;
        ::ReadFile(file, line, sizeof line - 1, &read, nullptr);
        ::CloseHandle(file);
        if (_strnicmp(line, program.c_str(), program.size()) == 0) {
            best = std::max<int64_t>(best, std::atoll(name));
        }
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    return best;
}

// User and system time of a Linux process from /proc, in milliseconds (clock ticks of
// 10 ms).
double unix_cpu_ms(int64_t unix_process) {
    const std::string path = "Z:\\proc\\" + std::to_string(unix_process) + "\\stat";
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return 0.0;
    }
    char line[1024] = {};
    DWORD read = 0;
    ::ReadFile(file, line, sizeof line - 1, &read, nullptr);
    ::CloseHandle(file);
    // Fields after the command name in parentheses: state is field 3, utime 14, stime 15.
    const char* field = std::strrchr(line, ')');
    if (field == nullptr) {
        return 0.0;
    }
    unsigned long long user = 0;
    unsigned long long system = 0;
    std::sscanf(field + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &user, &system);
    return static_cast<double>(user + system) * 10.0;
}

bool under_wine() {
    return ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

double cpu_ms(HANDLE process) {
    FILETIME created;
    FILETIME ended;
    FILETIME kernel;
    FILETIME user;
    ::GetProcessTimes(process, &created, &ended, &kernel, &user);
    const auto ticks = [](const FILETIME& time) {
        return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 10000.0;
}

// CPU time the real game uses over a number of seconds, in milliseconds.
// NOTE: under Wine 8 GetProcessTimes on another process answers with the caller's own
// times, so there the game's time is read from /proc through the Z: drive.
double cpu_over(HANDLE process, int64_t unix_process, DWORD seconds) {
    const auto read = [&]() {
        return unix_process != 0 ? unix_cpu_ms(unix_process) : cpu_ms(process);
    };
    const double before = read();
    ::Sleep(seconds * 1000);
    return read() - before;
}

std::string machine_text() {
    SYSTEM_INFO system;
    ::GetSystemInfo(&system);
    char cpu[128] = "unknown";
    DWORD size = sizeof cpu;
    ::RegGetValueA(HKEY_LOCAL_MACHINE, "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0",
                   "ProcessorNameString", RRF_RT_REG_SZ, nullptr, cpu, &size);
    using VersionRoutine = const char* (*)();
    auto wine_version = reinterpret_cast<VersionRoutine>(
        ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version"));
    char text[256];
    std::snprintf(text, sizeof text, "%lu processors, %s, %s%s",
                  static_cast<unsigned long>(system.dwNumberOfProcessors), cpu,
                  wine_version ? "Wine " : "Windows", wine_version ? wine_version() : "");
    return text;
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Run every measurement and print the table.
int main(int argc, char** argv) {
    bool floor_only = false;
    for (int i = 1; i < argc; ++i) {
        quick = quick || std::strcmp(argv[i], "--quick") == 0;
        floor_only = floor_only || std::strcmp(argv[i], "--floor") == 0;
    }
    ::QueryPerformanceFrequency(&counter_frequency);
    runtime_startup();
    const int32_t frames = quick ? 30 : 300;
    const DWORD idle_seconds = quick ? 2 : 10;
    const int32_t starts = quick ? 2 : 7;

    std::printf("Tarrowind benchmark on %s\n\n", machine_text().c_str());
    std::printf("| %-52s | %16s | %s |\n", "measure", "value", "note");
    std::printf("|%s|%s|%s|\n", std::string(54, '-').c_str(), std::string(18, '-').c_str(),
                "------");

    // Frame drawing against the floor, in this process's own game window.
    tick_source_set(read_fixed_clock);
    open_game();
    game.game_over = 0;
    game.level = 1;
    game.lives = START_LIVES;
    game.ammo = AMMO_LIMIT;
    char note[160];
    char measure[64];
    char ratio[32];
    for (int32_t zoom : {1, 2}) {
        set_zoom(zoom);
        fill_half_the_field();
        const std::vector<RECT> frame_rects = record_repaints(draw_frame);
        const std::vector<RECT> cell_rects = record_repaints(draw_one_cell);
        Timings draw;
        Timings floor;
        Timings rect;
        Timings step;
        Floor floor_frame;
        if (start_floor(frame_rects, floor_frame)) {
            time_against_floor(draw_frame, floor_frame, frames, draw, floor);
            end_floor(floor_frame);
        }
        Floor floor_step;
        if (start_floor(cell_rects, floor_step)) {
            time_against_floor(draw_one_cell, floor_step, frames, rect, step);
            end_floor(floor_step);
        }
        const double draw_median = timings_median(draw);
        const double floor_median = timings_median(floor);
        const double rect_median = timings_median(rect);
        const double step_median = timings_median(step);

        std::snprintf(measure, sizeof measure, "draw_frame, 84 slots, 42 figures, %dx", zoom);
        std::snprintf(note, sizeof note, "median of %zu frames; 90th percentile %s",
                      draw.samples.size(), ms_text(timings_at(draw, 0.9)).c_str());
        row(measure, ms_text(draw_median).c_str(), note);
        std::snprintf(measure, sizeof measure, "floor: the frame's %zu repaints, %dx",
                      frame_rects.size(), zoom);
        std::snprintf(note, sizeof note,
                      "floor_window.exe, the same rectangles; median of %zu; 90th percentile %s",
                      floor.samples.size(), ms_text(timings_at(floor, 0.9)).c_str());
        row(measure, ms_text(floor_median).c_str(), note);
        std::snprintf(measure, sizeof measure, "ratio draw_frame / floor, %dx", zoom);
        std::snprintf(ratio, sizeof ratio, "%.2f x",
                      floor_median > 0 ? draw_median / floor_median : 0.0);
        row(measure, ratio, "");
        const RECT& cell = cell_rects.empty() ? RECT{} : cell_rects.front();
        std::snprintf(measure, sizeof measure, "draw_rect, one %dx%d cell, %dx", CELL_SIZE * zoom,
                      CELL_SIZE * zoom, zoom);
        std::snprintf(note, sizeof note, "median of %zu calls; repaints (%ld,%ld)-(%ld,%ld)",
                      rect.samples.size(), cell.left, cell.top, cell.right, cell.bottom);
        row(measure, ms_text(rect_median).c_str(), note);
        std::snprintf(measure, sizeof measure, "floor step: that rectangle, %dx", zoom);
        std::snprintf(note, sizeof note, "floor_window.exe; median of %zu", step.samples.size());
        row(measure, ms_text(step_median).c_str(), note);
        std::snprintf(measure, sizeof measure, "ratio draw_rect / floor step, %dx", zoom);
        std::snprintf(ratio, sizeof ratio, "%.2f x",
                      step_median > 0 ? rect_median / step_median : 0.0);
        row(measure, ratio, "");
    }
    if (floor_only) {
        close_window(&game.main_window);
        process_events(1);
        return 0;
    }

    // A posted click to the end of the frame it hurries.
    Timings click = time_click_to_frame(quick ? 20 : 100);
    std::snprintf(note, sizeof note, "median of %d clicks at 1x; 90th percentile %s",
                  quick ? 20 : 100, ms_text(timings_at(click, 0.9)).c_str());
    row("posted click to the end of its frame", ms_text(timings_median(click)).c_str(), note);
    Timings sound = time_shot_sound(quick ? 5 : 20);
    const double shot_length = wave_length_ms(launch_own_folder() + "sound\\shoot.wav");
    std::snprintf(note, sizeof note, "play_wave mode 0, median of %d; %s", quick ? 5 : 20,
                  sound_server_text().c_str());
    row("  of which: shot sound played to its end", ms_text(timings_median(sound)).c_str(), note);
    std::snprintf(note, sizeof note, "from the file's header; played / own length %.2f",
                  shot_length > 0 ? timings_median(sound) / shot_length : 0.0);
    row("  the shot sound's own length", ms_text(shot_length).c_str(), note);
    close_window(&game.main_window);
    process_events(1);
    message_box_set_responder(nullptr);
    tick_source_set(nullptr);

    // CPU time of the real program while it waits.
    Child game_process;
    if (start_child(GAME_PROGRAM, game_process)) {
        game_process.window = launch_wait_window(game_process.process, nullptr,
                                                 LAUNCH_VISIBLE | LAUNCH_CAPTIONED, 500, 20);
        ::Sleep(1000);
        const HANDLE process = game_process.process.info.hProcess;
        const int64_t unix_process =
            under_wine() ? unix_process_of(launch_own_folder() + GAME_PROGRAM) : 0;
        const double waiting = cpu_over(process, unix_process, idle_seconds);
        ::PostMessageA(game_process.window, WM_COMMAND, MENU_NEW, 0);
        ::Sleep(500);
        ::PostMessageA(game_process.window, WM_COMMAND, MENU_PAUSE, 0);
        ::Sleep(1000);
        const double paused = cpu_over(process, unix_process, idle_seconds);
        ::PostMessageA(game_process.window, WM_COMMAND, MENU_PAUSE, 0);
        ::Sleep(1000);
        const double playing = cpu_over(process, unix_process, idle_seconds);
        const int64_t code = end_child(game_process, true);
        const double span = idle_seconds * 1000.0;
        std::snprintf(note, sizeof note, "%.2f %% of one CPU over %lu s (%s); %s",
                      100.0 * waiting / span, static_cast<unsigned long>(idle_seconds),
                      unix_process != 0 ? "/proc, 10 ms ticks" : "GetProcessTimes",
                      sound_server_text().c_str());
        row("game CPU time waiting for \"New\"", ms_text(waiting).c_str(), note);
        std::snprintf(note, sizeof note, "%.2f %% of one CPU over %lu s", 100.0 * paused / span,
                      static_cast<unsigned long>(idle_seconds));
        row("game CPU time paused", ms_text(paused).c_str(), note);
        std::snprintf(note, sizeof note,
                      "%.2f %% of one CPU over %lu s, one frame a second; exit code %lld",
                      100.0 * playing / span, static_cast<unsigned long>(idle_seconds),
                      static_cast<long long>(code));
        row("game CPU time playing, no input", ms_text(playing).c_str(), note);
    }

    // Start-up to the first paint, against the minimal program.
    double game_window = 0.0;
    double game_paint = 0.0;
    double minimal_window = 0.0;
    double minimal_paint = 0.0;
    time_start_up(GAME_PROGRAM, true, starts, &game_window, &game_paint);
    time_start_up("minimal_window.exe", false, starts, &minimal_window, &minimal_paint);
    std::snprintf(note, sizeof note, "median of %d starts; window exists after %s", starts,
                  ms_text(game_window).c_str());
    row("tarrowind.exe: process start to first paint", ms_text(game_paint).c_str(), note);
    std::snprintf(note, sizeof note, "median of %d starts; window exists after %s", starts,
                  ms_text(minimal_window).c_str());
    row("minimal_window.exe: process start to first paint", ms_text(minimal_paint).c_str(), note);
    std::snprintf(ratio, sizeof ratio, "%+.1f ms", game_paint - minimal_paint);
    row("start-up: game minus minimal program", ratio, "");
    return 0;
}
