// Child program for the settings tests: loads or saves a program's settings many times
// while the test saves the same file; its exit code is the number of failures.
//   settings_child PROGRAM load COUNT   every load must read the file whole, "name" in it
//   settings_child PROGRAM save COUNT   every save must write it
#include "runtime/core/core.h"

#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc < 4) {
        return 255;
    }
    runtime_startup();
    const bool load = std::strcmp(argv[2], "load") == 0;
    const int32_t count = std::atoi(argv[3]);
    int32_t failures = 0;
    Settings settings = {};
    for (int32_t i = 0; i < count; ++i) {
        if (load) {
            const bool read = settings_load(&settings, argv[1]) == SETTINGS_READ;
            char* name = settings_get_text(&settings, "name", nullptr);
            failures += read && name != nullptr ? 0 : 1;
            heap_free(name);
        } else {
            settings_load(&settings, argv[1]);
            settings_set_number(&settings, "child", i);
            failures += settings_save(&settings) == 1 ? 0 : 1;
        }
    }
    settings_release(&settings);
    return failures;
}
