// Prints what the renderer draws for the initial level on the test console, for the tmux tests
// to compare with a real terminal: one line per row, one word "glyph:attribute" per cell, both
// hexadecimal.

#include <cstdio>

#include "maze/maze_grid.h"
#include "maze/maze_renderer.h"
#include "tests/support/test_console.h"

int main() {
    testconsole::reset();
    renderMaze();
    for (int row = 0; row < kMazeRows; ++row) {
        for (int column = 0; column < kMazeColumns; ++column) {
            const ScreenCell& cell = testconsole::cell(column, row);
            std::printf("%02x:%x ", cell.glyph, static_cast<unsigned>(cell.attr));
        }
        std::printf("\n");
    }
}
