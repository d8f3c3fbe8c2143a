// Drawing the maze grid on the console.
#pragma once

#include <optional>

#include "maze/glyph_table.h"
#include "maze/maze_grid.h"

// The level's glyph table. Codes without an entry are left blank: floor, gates, walkers,
// projectiles, the zero byte.
// clang-format off
inline constexpr GlyphTable kMazeGlyphs = {
    {'.', {'.',  Colour::White}},
    // Blue walls.
    {'0', {0xB9, Colour::Blue}}, {'1', {0xCD, Colour::Blue}}, {'2', {0xBA, Colour::Blue}},
    {'3', {0xC9, Colour::Blue}}, {'4', {0xBB, Colour::Blue}}, {'5', {0xBC, Colour::Blue}},
    {'6', {0xC8, Colour::Blue}}, {'7', {0xCB, Colour::Blue}}, {'8', {0xCA, Colour::Blue}},
    {'9', {0xCC, Colour::Blue}}, {'S', {0xCE, Colour::Blue}},
    // Doors.
    {'A', {0xCD, Colour::Green}},  {'B', {0xCD, Colour::Red}},    {'C', {0xCD, Colour::Yellow}},
    {'D', {0xBA, Colour::Yellow}}, {'E', {0xBA, Colour::Aqua}},   {'T', {0xBA, Colour::Gray}},
    {'U', {0xBA, Colour::Purple}}, {'W', {0xBA, Colour::White}},
    // Launchers and hidden passages, disguised as walls and doors.
    {'F', {0xCC, Colour::Blue}}, {'G', {0xBA, Colour::Blue}}, {'M', {0xC9, Colour::Blue}},
    {'N', {0xCD, Colour::Blue}}, {'n', {0xCD, Colour::Blue}}, {'q', {0xCD, Colour::Blue}},
    {'P', {0xCD, Colour::Red}},  {'p', {0xCD, Colour::Red}},
    {'Q', {0xBA, Colour::Blue}}, {'w', {0xBA, Colour::Blue}}, {'y', {0xBA, Colour::White}},
    // The finish.
    {'f', {0xDB, Colour::Purple}},
    // Status box frames.
    {'k', {0xC9, Colour::White}}, {'i', {0xCD, Colour::White}}, {'l', {0xBB, Colour::White}},
    {'j', {0xBA, Colour::White}}, {'K', {0xC8, Colour::White}}, {'v', {0xBC, Colour::White}},
    // The bottom strip: gradient and block letters.
    {'g', {0xDB, Colour::LightBlue}}, {'s', {0xB2, Colour::LightBlue}},
    {'J', {0xB1, Colour::LightBlue}}, {'L', {0xB0, Colour::LightBlue}},
    {'z', {0xDB, Colour::White}},     {'x', {0xB2, Colour::Gray}},
};
// clang-format on

// The look of a cell code, or nothing for codes that the renderer leaves blank.
constexpr std::optional<GlyphLook> mazeGlyph(char code) {
    return kMazeGlyphs.find(code);
}

// Clears the console and draws every cell of the grid as it stands now.
void renderMaze(const MazeGrid& grid);

// Prints the grid's 30 rows as plain text, one line each, from the cursor on.
void dumpMaze(const MazeGrid& grid);
