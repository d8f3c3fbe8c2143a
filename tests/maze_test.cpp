// The console primitives as the test console carries them out, and the renderer.
#include <gtest/gtest.h>

#include <string>

#include "console/console_primitives.h"
#include "console/headless/test_console.h"
#include "maze/maze_grid.h"
#include "maze/maze_renderer.h"

namespace {

// The colour set before a clear still holds after it; a typed word takes ten milliseconds a
// letter and leaves no block behind.
TEST(Console, TypedTextKeepsTheColourInForceAndLeavesNoBlock) {
    testconsole::reset();
    setColor(Colour::Yellow);
    clearScreen();
    gotoXY(5, 5);
    typeText("ok");
    typeText("");
    EXPECT_EQ(testconsole::screen().rowText(5).substr(5, 3), "ok ");
    EXPECT_EQ(testconsole::cell(6, 5).attr, Colour::Yellow);
    EXPECT_EQ(testconsole::clockMs(), 20);
}

// Every cell as the grid holds it now, by the glyph table, over whatever the screen showed.
TEST(Maze, RendererDrawsEveryCellAsTheGridHoldsItNow) {
    testconsole::reset();
    MazeGrid grid = kLevel;
    grid[1][14] = Cell::Floor;  // an eaten dot
    gotoXY(4, 2);               // on the start square, which the level leaves blank
    putText("stale");
    renderMaze(grid);
    for (int r = 0; r < kMazeRows; ++r)
        for (int c = 0; c < kMazeCellsPerRow; ++c) {
            const auto look = mazeGlyph(grid[r][c]).value_or(GlyphLook{' ', Colour::White});
            EXPECT_EQ(testconsole::cell(c, r), ScreenCell(look.glyph, look.attr)) << c << "," << r;
        }
    EXPECT_EQ(testconsole::screen().attr(), Colour::White);  // the last status box corner
}

}  // namespace
