// The playing robot: a second copy of the game, parked in the screen's top left corner,
// played on its own thread by shooting every terrorist and sparing every hostage. Its
// copy runs in a folder of its own with the pictures but without the sounds, so that it
// plays silently beside the checks that listen to the other game.
// Relies on the shared helpers (tests/e2e/common: process.cpp, screen.cpp) and on
// field.cpp like the other checks; reports through report.cpp, which serialises its lines
// with the main thread's. Level 1 and the level-2
// layout always; on to the end of the game only with TARROWIND_LONG=1.
#include "driver.h"

#include <cstdlib>

// ============================================================================
// Types
// ============================================================================

namespace {

struct RobotState {
    RunningProgram game;        // the robot's own copy of the game
    std::string folder;         // the copy's folder: the program and graphics\ only
    const CellReferences* refs; // cell pictures to tell figures apart
    volatile LONG abort;        // set by the main thread to stop playing
    volatile LONG playing;      // set from the thread's start to its end
    volatile LONG hold;         // set by the main thread: keep the game paused, no clicks
    volatile LONG held;         // set by the robot once its game is paused for a hold
    bool long_run;              // TARROWIND_LONG=1: play to the end of the game
    uint32_t started;           // tick time of the robot's "New"
};

// ============================================================================
// Module state
// ============================================================================

RobotState robot{};

// ============================================================================
// Internal helpers
// ============================================================================

bool long_run_wanted() {
    char value[8] = {};
    return ::GetEnvironmentVariableA("TARROWIND_LONG", value, sizeof value) > 0 &&
           strcmp(value, "1") == 0;
}

// Copies the program and its pictures, not its sounds, into a folder of the robot's own.
bool make_silent_copy(std::string& why) {
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    robot.folder = format("%starrowind-robot-%lu\\", temp, ::GetCurrentProcessId());
    ::CreateDirectoryA(robot.folder.c_str(), nullptr);
    ::CreateDirectoryA((robot.folder + "graphics").c_str(), nullptr);
    for (const char* name : {"tarrowind.exe", "graphics\\goodguy.bmp", "graphics\\badguy.bmp"}) {
        if (!::CopyFileA((launch_own_folder() + name).c_str(), (robot.folder + name).c_str(),
                         FALSE)) {
            why = format("could not copy %s to %s", name, robot.folder.c_str());
            return false;
        }
    }
    return true;
}

// Removes the robot's copy once its game has ended.
void remove_silent_copy() {
    for (const char* name : {"tarrowind.exe", "graphics\\goodguy.bmp", "graphics\\badguy.bmp"})
        ::DeleteFileA((robot.folder + name).c_str());
    ::RemoveDirectoryA((robot.folder + "graphics").c_str());
    ::RemoveDirectoryA(robot.folder.c_str());
}

// Checks the layout that the frame after a level change draws.
void check_layout(int level, uint32_t timeout_ms) {
    std::string name = format("robot: level %d layout (columns from the bottom, at most %d high)",
                              level, level + 3);
    uint32_t start = now_ms();
    while (now_ms() - start < timeout_ms) {
        Picture client = capture_client(robot.game.window, 0, 0, 300, 160);
        StatusLine guess{level, 0, 3, 20};
        StatusLine seen{};
        // The score may have passed the target by a shot or two in the last batch.
        bool have = false;
        for (int score = level == 2 ? 60 : 160; score < (level == 2 ? 64 : 164) && !have; score++)
            for (int lives = 3; lives >= 1 && !have; lives--) {
                guess = StatusLine{level, score, lives, 20};
                have = read_status(client, guess, seen);
            }
        if (have && seen.level == level) {
            report_note(format("the robot began level %d with %d lives (3 means no hostage shot "
                               "and no terrorist missed)",
                               level, seen.lives));
            report(format("robot: level %d begins with the score that finished level %d", level,
                          level - 1),
                   true, "");
            FieldView field = read_field(client, 1, *robot.refs);
            std::string why;
            bool ok = field_layout_ok(field, level + 3, why);
            if (!report(name, ok, why + field_text(field)))
                save_failure_pictures(format("level-%d-layout", level), client, client);
            return;
        }
        ::Sleep(50);
    }
    report(name, false, "no status line of that level, with at least the target score, in time");
}

// Clicks every target cell (row * 14 + column) in one batch of events.
void shoot(const int* targets, int count, uint32_t (*clicked_at)[FIELD_COLUMNS], uint32_t now) {
    for (int i = 0; i < count; i++) {
        int r = targets[i] / FIELD_COLUMNS, c = targets[i] % FIELD_COLUMNS;
        program_click(robot.game, c * 20 + 20, r * 20 + 46);
        clicked_at[r][c] = now;
    }
}

// Handles a message box of the game; returns false when the robot should stop.
bool handle_box(HWND box, int& level, bool& won) {
    std::string caption = window_text(box);
    std::string text = window_text(::GetDlgItem(box, 0xFFFF));
    std::string expected = format("Leve %d complete!", level);
    if (caption != "Alert" ||
        (text != expected && text != "You have rescued all of the hostages!")) {
        report(format("robot: level %d", level), false,
               format("box \"%s\" with text \"%s\"", caption.c_str(), text.c_str()));
        close_message_box(box, PATIENCE_MS);
        return false;
    }
    if (text == "You have rescued all of the hostages!") {
        won = true;
        report("long run: \"You have rescued all of the hostages!\" with caption \"Alert\"", true,
               "");
        close_message_box(box, PATIENCE_MS);
        return false;
    }
    std::string name =
        level == 1 ? "robot: \"Leve 1 complete!\" with caption \"Alert\""
                   : format("long run: \"Leve %d complete!\" with caption \"Alert\"", level);
    report(name, true, "");
    report_note(format("the robot finished level %d after %u ms", level, now_ms() - robot.started));
    if (!close_message_box(box, PATIENCE_MS)) {
        report(name + ": OK", false, "the box did not close");
        return false;
    }
    if (level == 3)
        return true; // the win message follows
    level++;
    check_layout(level, PATIENCE_MS);
    return robot.long_run;
}

// Plays until the level-2 layout (or the end of the game in a long run).
void play() {
    program_command(robot.game, CMD_NEW);
    std::string seen;
    if (!report(
            "robot: New",
            wait_status(robot.game.window, StatusLine{1, 0, 3, 20}, PATIENCE_MS, seen, "robot-new"),
            seen))
        return;
    uint32_t start = now_ms();
    robot.started = start;
    // Level 1 takes about two minutes, set by the spawn interval; the limit leaves room for
    // a new game after lives ran low.
    uint32_t limit = robot.long_run ? 720000 : 420000;
    int level = 1;
    bool won = false;
    StatusLine status{1, 0, 3, 20};
    uint32_t clicked_at[FIELD_ROWS][FIELD_COLUMNS] = {};
    // Last look of each cell other than plain background (a pause clears the screen).
    CellLook last_look[FIELD_ROWS][FIELD_COLUMNS] = {};
    uint32_t last_spawn = now_ms(), last_hurry = 0, last_status = 0, last_frame = now_ms();
    bool marked = false;
    int spawns = 1, shots_since_status = 0;
    while (!robot.abort) {
        if (robot.held) {
            if (!robot.hold) {
                program_command(robot.game, CMD_PAUSE);
                last_spawn = now_ms();
                ::InterlockedExchange(&robot.held, 0);
            }
            ::Sleep(30);
            continue;
        }
        if (now_ms() - start > limit) {
            report(robot.long_run ? "long run: to the end of the game" : "robot: level 1", false,
                   format("time limit of %u s reached at \"%s\"", limit / 1000,
                          status_text(status).c_str()));
            return;
        }
        if (!program_alive(robot.game)) {
            report("robot: the game keeps running", false,
                   "the game ended at \"" + status_text(status) + "\"");
            return;
        }
        HWND box = find_message_box(robot.game);
        // A busy machine held the robot back until terrorists ran out of time and the game
        // was lost: a new one starts, as when the lives run low.
        bool lost = box && window_text(::GetDlgItem(box, 0xFFFF)) ==
                               "You have failed to complete your mission!";
        if (lost)
            close_message_box(box, PATIENCE_MS);
        if (box && !lost) {
            ::Sleep(150);
            if (!handle_box(box, level, won))
                break;
            status.level = level;
            last_spawn = now_ms();
            continue;
        }
        Picture client = capture_client(robot.game.window, 0, 0, 300, 160);
        uint32_t now = now_ms();
        int interval = 2000 - 10 * spawns;
        if (interval < 500)
            interval = 500;
        // Once figures may come faster than once a second, frames are held to about one a
        // second (each frame refills one shot), timed by a mark on the status line.
        bool metronome = robot.long_run && interval <= 1100;
        if (marked && client.pixels[size_t(1) * client.width + 1] != 0xFF0000) {
            marked = false;
            last_frame = now;
        }
        if (lost || (!marked && now - last_status > 300)) {
            StatusLine found{};
            if (read_status(client, status, found)) {
                status = found;
                shots_since_status = 0;
            }
            last_status = now;
            if (status.lives <= 1 || lost) {
                // A busy machine can hold the robot back until terrorists run out of time:
                // before the game is lost, a new one starts, and the robot plays on there.
                report_note(
                    format("the robot starts a new game at \"%s\"", status_text(status).c_str()));
                program_command(robot.game, CMD_NEW);
                // The game may still be lost meanwhile (New is then handled inside its box,
                // and the new game's frames wait for the box).
                const bool started = poll_until(PATIENCE_MS, [&] {
                    if (HWND late = find_message_box(robot.game))
                        close_message_box(late, PATIENCE_MS);
                    return wait_status(robot.game.window, StatusLine{1, 0, 3, 20}, 0, seen, "");
                });
                if (!report("robot: New when lives run low", started, seen))
                    return;
                robot.started = now_ms();
                level = 1;
                status = StatusLine{1, 0, 3, 20};
                for (int r = 0; r < FIELD_ROWS; r++)
                    for (int c = 0; c < FIELD_COLUMNS; c++) {
                        clicked_at[r][c] = 0;
                        last_look[r][c] = LOOK_BLUE;
                    }
                last_spawn = last_frame = now_ms();
                marked = false;
                spawns = 1;
                shots_since_status = 0;
                continue;
            }
        }
        int terrorists = 0;
        int targets[FIELD_ROWS * FIELD_COLUMNS];
        for (int r = 0; r < FIELD_ROWS; r++)
            for (int c = 0; c < FIELD_COLUMNS; c++) {
                Picture cell = crop(client, c * 20 + 10, r * 20 + 36, 20, 20);
                CellLook look = classify_cell(cell, 1, *robot.refs, false);
                bool figure = look == LOOK_HOSTAGE || look == LOOK_TERRORIST;
                if (figure && last_look[r][c] == LOOK_SLOT) {
                    spawns++;
                    last_spawn = now;
                }
                if (look != LOOK_BLUE && look != LOOK_OTHER)
                    last_look[r][c] = look;
                if (look == LOOK_TERRORIST && now - clicked_at[r][c] > 700)
                    targets[terrorists++] = r * FIELD_COLUMNS + c;
            }
        if (robot.hold) {
            // The terrorists on show are shot in the batch that pauses: none of them can
            // cost a life when the pause ends. The game is held once the pause shows.
            shoot(targets, terrorists, clicked_at, now);
            program_command(robot.game, CMD_PAUSE);
            Picture paused;
            wait_paused(robot.game.window, PATIENCE_MS, paused);
            marked = false;
            ::InterlockedExchange(&robot.held, 1);
            continue;
        }
        if (metronome) {
            if (!marked) {
                paint_over_status(robot.game.window, 2, 2);
                marked = true;
            }
            if (now - last_frame >= 1010 && now - last_hurry > 400) {
                shoot(targets, terrorists, clicked_at, now);
                shots_since_status += terrorists;
                if (terrorists == 0) {
                    program_command(robot.game, CMD_PAUSE);
                    program_command(robot.game, CMD_PAUSE);
                }
                last_hurry = now;
            }
            ::Sleep(20);
            continue;
        }
        shoot(targets, terrorists, clicked_at, now);
        shots_since_status += terrorists;
        // Frames come once a second on their own; a click beside the field, or leaving a
        // pause, brings the next one at once, so a figure appears as soon as the spawn
        // interval allows. The pause costs no ammunition, which the kills need.
        if (terrorists == 0 && now - last_spawn > uint32_t(interval) + 30 &&
            now - last_hurry > 200) {
            if (status.ammo - shots_since_status > 6) {
                program_click(robot.game, 3, 30);
                shots_since_status++;
            } else {
                program_command(robot.game, CMD_PAUSE);
                program_command(robot.game, CMD_PAUSE);
            }
            last_hurry = now;
        }
        ::Sleep(30);
    }
    if (robot.long_run)
        report("long run: the game is won", won, "the game was not won");
}

DWORD WINAPI robot_thread(void*) {
    play();
    ::InterlockedExchange(&robot.playing, 0);
    if (program_alive(robot.game)) {
        program_command(robot.game, CMD_QUIT);
        DWORD code = 0;
        bool ended = program_wait_exit(robot.game, PATIENCE_MS, code);
        report("robot: Quit ends its game with exit code 0", ended && code == 0,
               ended ? format("exit code %lu", code) : "still running long after");
    }
    program_kill(robot.game);
    remove_silent_copy();
    return 0;
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Starts the robot's game, parked in the top left corner; false when it did not start.
bool robot_prepare(const CellReferences& refs) {
    robot.refs = &refs;
    robot.long_run = long_run_wanted();
    std::string why;
    if (!report("robot: its game starts without sounds",
                make_silent_copy(why) && game_start(robot.game, robot.folder, why), why)) {
        program_kill(robot.game);
        remove_silent_copy();
        return false;
    }
    // Out of the way of the centred windows of the other checks, so screen reads of
    // the two games never overlap.
    ::SetWindowPos(robot.game.window, nullptr, 0, 0, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
    uint32_t start = now_ms();
    while (window_rect(robot.game.window).left != 0 && now_ms() - start < PATIENCE_MS)
        ::Sleep(30);
    RECT r = window_rect(robot.game.window);
    if (!report("robot: its window moves to the corner", r.left == 0 && r.top == 0,
                format("window at (%ld,%ld)", r.left, r.top))) {
        program_kill(robot.game);
        remove_silent_copy();
        return false;
    }
    return true;
}

// Plays the robot's game (level 1, and to the end with TARROWIND_LONG=1) on a thread.
HANDLE robot_start() {
    ::InterlockedExchange(&robot.playing, 1);
    HANDLE thread = ::CreateThread(nullptr, 0, robot_thread, nullptr, 0, nullptr);
    if (!thread)
        ::InterlockedExchange(&robot.playing, 0);
    return thread;
}

// Holds the robot's game paused, without clicks, while a check steers the other game by
// keyboard (a click activates the robot's window, and with it takes the foreground), or
// lets it play on. Returns once the robot has done so, or has stopped playing.
void robot_hold(bool on) {
    ::InterlockedExchange(&robot.hold, on ? 1 : 0);
    poll_until(PATIENCE_MS,
               [] { return !robot.playing || (robot.held != 0) == (robot.hold != 0); });
}

// Ends the robot's game if it still runs.
void robot_abort() {
    ::InterlockedExchange(&robot.abort, 1);
    // The robot's thread may still use the handles: end the process, leave them open.
    if (robot.game.info.hProcess)
        ::TerminateProcess(robot.game.info.hProcess, 1);
}
