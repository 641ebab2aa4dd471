// Placeholder until the runtime core lands.
#include "runtime/core/core.h"

void runtime_startup() {}
void program_end() { ::ExitProcess(0); }
