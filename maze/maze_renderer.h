// Drawing the maze grid on the console.
#pragma once

#include <optional>

#include "maze/glyph_table.h"

// The look of a cell code, or nothing for codes that the renderer leaves blank (floor, gates,
// walkers, projectiles, the zero byte).
std::optional<GlyphLook> mazeGlyph(char code);

// Clears the console and draws every cell of the grid as it stands now.
void renderMaze();

// Prints the grid's 30 rows as plain text, one line each, from the cursor on.
void dumpMaze();
