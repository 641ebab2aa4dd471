// Process entry of tarrowind-viewer.exe: runtime start-up, the viewer with the files named
// on the command line, then the runtime's end.
#include <cstdlib>

#include "examples/viewer/viewer.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    runtime_startup();
    viewer_main(__argc - 1, __argv + 1);
    program_end();
}
