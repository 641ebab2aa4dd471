// Tarrowind: the game's state and routines.
#pragma once

// The program body: runs once after runtime start-up.
void game_main();
