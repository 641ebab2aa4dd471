#include "game/game.h"

void game_main() {}
