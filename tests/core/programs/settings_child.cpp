// Child program for the settings tests: loads or saves a program's settings COUNT times
// while the test saves the same file; its exit code is the number of failures.
//   settings_child PROGRAM load|save COUNT
#include "runtime/core/core.h"

#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc < 4) {
        return 255;
    }
    runtime_startup();
    const bool load = std::strcmp(argv[2], "load") == 0;
    int32_t failures = 0;
    Settings settings = {};
    for (int32_t i = 0; i < std::atoi(argv[3]); ++i) {
        // Every load must read the file whole; every save must write it.
        const int32_t state = settings_load(&settings, argv[1]);
        settings_set_number(&settings, "child", i);
        failures += (load ? state == SETTINGS_READ : settings_save(&settings) == 1) ? 0 : 1;
    }
    settings_release(&settings);
    return failures;
}
