// Entry of the end-to-end driver: runs every check against the installed game and prints
// one PASS or FAIL line per check, then "N passed, M failed"; exit code 1 on any failure.
// Relies on the check files for the work; owns only the order of the checks, the robot's
// thread and the overall time limit.
#include "driver.h"

#include <fcntl.h>
#include <io.h>
#include <objbase.h>

// ============================================================================
// Public routines
// ============================================================================

// Runs all checks; the robot plays its own game beside the main checks. With the argument
// --no-robot the robot's game is left out (a quick run while working on the checks).
int main(int argc, char** argv) {
    bool with_robot = !(argc > 1 && strcmp(argv[1], "--no-robot") == 0);
    _setmode(_fileno(stdout), _O_BINARY);
    process_guard_install();
    clear_failure_pictures();
    ::OleInitialize(nullptr);
    uint32_t start = now_ms();

    std::string why;
    report("PNG writer: CRC-32, Adler-32 and stored blocks", png_self_check(why), why);
    CellReferences refs{};
    make_cell_references(refs, launch_own_folder() + "graphics\\");
    report("reference pictures load from graphics\\", refs.have_pictures,
           "goodguy.bmp or badguy.bmp could not be loaded with OleLoadPicture");

    HANDLE robot = with_robot && robot_prepare(refs) ? robot_start() : nullptr;
    run_main_checks(refs);
    report_note(format("main checks done after %u ms", now_ms() - start));
    run_closing_checks(refs);
    report_note(format("closing checks done after %u ms", now_ms() - start));
    if (robot) {
        char value[8] = {};
        bool long_run = ::GetEnvironmentVariableA("TARROWIND_LONG", value, sizeof value) > 0 &&
                        strcmp(value, "1") == 0;
        DWORD limit = long_run ? 780000 : 450000;
        DWORD spent = now_ms() - start;
        if (::WaitForSingleObject(robot, spent < limit ? limit - spent : 1000) != WAIT_OBJECT_0) {
            report("robot: finishes in time", false, "the robot's thread did not end in time");
            robot_abort();
            ::WaitForSingleObject(robot, 5000);
        }
        ::CloseHandle(robot);
    }
    report_note(format("the end-to-end run took %u ms", now_ms() - start));
    int failed = report_summary();
    ::OleUninitialize();
    return failed ? 1 : 0;
}
