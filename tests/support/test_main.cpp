// Entry of every test program: the runtime heap exists before the first test, as it
// does for the game after start-up.
#include <gtest/gtest.h>

#include "runtime/core/core_internal.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    runtime_startup();
    return RUN_ALL_TESTS();
}
