// Prints what the renderer draws for the initial level, as the test console records it, so the
// terminal tests can compare a real terminal's picture with it cell by cell.
//
// One line per row, one word per cell: the grid code, the glyph byte and the attribute, as
// three hexadecimal numbers joined by ':'.

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
            std::printf("%s%02x:%02x:%x", column == 0 ? "" : " ",
                        static_cast<unsigned char>(mazeGrid[row][column]), cell.glyph,
                        static_cast<unsigned>(cell.attr));
        }
        std::printf("\n");
    }
}
