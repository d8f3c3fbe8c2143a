// The movement phase: the arrow keys move the player through the grid, then the cell on which the
// player has come to rest decides whether the game goes on.
#pragma once

#include "play/game_state.h"
#include "play/play_loop.h"

enum class Direction { Up, Down, Left, Right };

// Whether the player may step onto a cell holding `code` while moving in `direction`, with the
// doors as the game's flags have them now.
bool admitsPlayer(const GameState& game, char code, Direction direction);

// Reads the four arrow keys, makes the moves they ask for, then tests the rest cell: an enemy
// there ends the game as caught, a finish cell as won; otherwise the dot there is eaten and the
// two hidden positions are noted.
TickOutcome movePlayer(GameState& game);
