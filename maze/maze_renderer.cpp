#include "maze/maze_renderer.h"

void renderMaze(const MazeGrid& grid) {
    clearScreen();
    drawPicture(grid[0], kMazeRows, kMazeColumns, kMazeColumns, kMazeGlyphs);
}

void dumpMaze(const MazeGrid& grid) {
    for (int row = 0; row < kMazeRows; ++row) {
        putText(grid[row]);
        putText("\n");
    }
}
