// The enemy phase: walkers patrol their rows, launchers release projectiles, projectiles fly.
#pragma once

#include "play/game_state.h"

// One scan of the whole grid, row by row and left to right, moving every enemy it meets and
// drawing each change at once. Reads and writes the grid and `walkersMoveLeft`, reads
// `purpleDoorOpen`, and never looks at the player.
void moveEnemies(GameState& game);
