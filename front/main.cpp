#include "console/console_primitives.h"
#include "maze/maze_renderer.h"

// Shows the level and waits until the program is interrupted.
int main() {
    clearScreen();
    dumpMaze();
    renderMaze();
    for (;;) pauseMs(1000);
}
