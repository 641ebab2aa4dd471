// Start-up and the end of the process: the floating-point mode and module handle in this
// process, and program_end, shut-down order and the out-of-memory stop in core_child.exe.
#include <gtest/gtest.h>

#include "runtime/core/core_internal.h"
#include "tests/support/launch.h"

#include <cmath>
#include <string>

namespace {

struct ChildRun {
    std::string output; // everything the child wrote to stdout and stderr
    DWORD exit_code;
};

// Run core_child.exe (beside this program) with one argument and collect its output; a
// child silent for 30 s is stopped.
ChildRun run_child(const char* mode) {
    ChildRun run = {"", 0xFFFFFFFF};
    ChildProcess child;
    if (launch_start(launch_own_folder(), "core_child.exe", mode, LAUNCH_PIPE_OUTPUT, &child)) {
        launch_collect(child, 30000, run.output);
        run.exit_code = static_cast<DWORD>(launch_end(child, 0));
    }
    return run;
}

} // namespace

TEST(Startup, FloatingPointModeMasksExceptionsAndRoundsToNearest) {
    uint16_t x87 = 0;
    uint32_t sse = 0;
    asm volatile("fnstcw %0" : "=m"(x87));
    asm volatile("stmxcsr %0" : "=m"(sse));
    EXPECT_EQ(x87 & 0x1F3F, 0x033F);
    EXPECT_EQ(sse & ~0x3Fu, 0x1F80u);
    volatile double zero = 0.0;
    EXPECT_TRUE(std::isinf(1.0 / zero));
    EXPECT_TRUE(std::isnan(zero / zero));
}

TEST(Startup, ModuleIsTheProgram) {
    EXPECT_EQ(runtime_module(), ::GetModuleHandleA(nullptr));
}

TEST(Startup, ProgramEndFromAWindowProcedureRunsShutdownInOrder) {
    ChildRun run = run_child("end");
    EXPECT_EQ(run.exit_code, 0u);
    EXPECT_EQ(run.output, "hook 3 dialogs=released heap=alive\n"
                          "hook 2 dialogs=released heap=alive\n"
                          "hook 1 dialogs=released heap=alive\n"
                          "exit 0 heap=gone\n");
}

TEST(Startup, HeapExhaustionInAStringRoutineStopsWithAMessage) {
    ChildRun run = run_child("oom");
    EXPECT_EQ(run.exit_code, EXIT_OUT_OF_MEMORY);
    EXPECT_EQ(run.output, "box: Out of memory\n");
}

TEST(Startup, HeapRefusesBlocksUntilCreated) {
    ChildRun run = run_child("fresh");
    EXPECT_EQ(run.exit_code, 0u);
    EXPECT_EQ(run.output, "before=1 created=1 block=1\n");
}
