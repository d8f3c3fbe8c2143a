// The overlay phase: the small drawings that complete the maze picture on every tick.
#pragma once

#include "play/game_state.h"

// Masks the hidden passages as walls, draws the finish glow, the shield emblem once the hidden
// cell has been found, the player square, the legend square and the switch circles, in that
// order, and leaves the attribute at White.
void drawOverlays(const GameState& game);
