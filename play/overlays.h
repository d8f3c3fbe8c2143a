// The overlay phase: the small drawings that complete the maze picture on every tick.
#pragma once

#include "maze/maze_grid.h"
#include "play/game_state.h"

// The legend square in the second status box, right behind the text "Player == ". A player who
// finds the way to the cell under it sets off the hidden banner.
inline constexpr CellPos kLegendSquare = {79, 8};

// Masks the hidden cells as the walls they hide in, draws the finish glow, the shield emblem once
// the hidden cell has been found, the player square, the legend square and the switch circles,
// in that order, and leaves the attribute at White.
void drawOverlays(const GameState& game);
