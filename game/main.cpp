// Process entry of tarrowind.exe: runtime start-up, the game, then the runtime's end.
#include "game/game.h"
#include "runtime/core/core.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    runtime_startup();
    game_main();
    program_end();
}
