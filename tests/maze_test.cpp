#include <gtest/gtest.h>

#include <string>

#include "maze/maze_grid.h"
#include "maze/maze_renderer.h"
#include "tests/support/test_console.h"

namespace {

class MazeTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetMazeGrid();
        testconsole::reset();
    }
};

int countCells(const std::string& codes) {
    int count = 0;
    for (const auto& row : mazeGrid)
        for (int c = 0; c < kMazeCellsPerRow; ++c) count += codes.find(row[c]) != std::string::npos;
    return count;
}

TEST_F(MazeTest, LevelHoldsItsDotsWalkersAndNoProjectiles) {
    EXPECT_EQ(countCells("."), 249);
    EXPECT_EQ(countCells("mabrc"), 16);
    EXPECT_EQ(countCells("OHh"), 0);
    EXPECT_EQ(countCells("0123456789S"), 482);
    EXPECT_EQ(countCells("MFGnNqpP"), 8 + 25 + 3);
    EXPECT_EQ(countCells("kiljKv"), 219);
}

TEST_F(MazeTest, EveryRowEndsWithItsZeroByteAfter99Cells) {
    for (const auto& row : mazeGrid) {
        EXPECT_EQ(row[kMazeColumns - 1], '\0');
        EXPECT_EQ(std::string(row).size(), 99u);
    }
}

TEST_F(MazeTest, SwitchesStartBannerSquareAndFinishAreWhereTheGameExpects) {
    const int blanks[][2] = {{25, 17}, {4, 17}, {2, 6}, {17, 21}, {31, 13}, {40, 13}, {36, 13},
                             {4, 2},   {79, 8}};
    for (const auto& [c, r] : blanks) EXPECT_EQ(mazeGrid[r][c], Cell::Floor) << c << "," << r;
    for (int r = 20; r <= 22; ++r) EXPECT_EQ(mazeGrid[r][1], Cell::Finish);
    EXPECT_EQ(mazeGrid[1][0], Cell::HiddenLeftWall);
    EXPECT_EQ(mazeGrid[1][63], Cell::HiddenPassage);
    EXPECT_EQ(mazeGrid[8][85], Cell::BoxOpening);
    EXPECT_EQ(mazeGrid[11][18], Cell::OneWayGate);
    EXPECT_EQ(mazeGrid[19][18], Cell::OneWayGate);
    EXPECT_EQ(mazeGrid[14][34], Cell::OneWayGate);
}

TEST_F(MazeTest, ResetPutsBackWhatPlayChanged) {
    mazeGrid[1][14] = Cell::Floor;
    mazeGrid[17][28] = Cell::Floor;
    resetMazeGrid();
    EXPECT_EQ(mazeGrid[1][14], Cell::Dot);
    EXPECT_EQ(mazeGrid[17][28], Cell::PurpleDoor);
}

TEST_F(MazeTest, RendererDrawsEveryCellByTheGlyphTable) {
    setColor(Colour::Red);
    putText("stale");
    renderMaze();
    for (int r = 0; r < kMazeRows; ++r) {
        for (int c = 0; c < kMazeCellsPerRow; ++c) {
            const ScreenCell& shown = testconsole::cell(c, r);
            if (const auto look = mazeGlyph(mazeGrid[r][c])) {
                EXPECT_EQ(shown.glyph, look->glyph) << c << "," << r;
                EXPECT_EQ(shown.attr, look->attr) << c << "," << r;
            } else {
                EXPECT_EQ(shown.glyph, ' ') << c << "," << r << " code " << mazeGrid[r][c];
            }
        }
    }
    // The last cell drawn is the corner of the fifth status box.
    EXPECT_EQ(testconsole::screen().attr(), Colour::White);
}

TEST_F(MazeTest, GlyphTableGivesTheLevelItsLook) {
    struct Expected {
        int c, r;
        unsigned char glyph;
        Colour attr;
    };
    const Expected cells[] = {
        {0, 0, 0xC9, Colour::Blue},       {63, 0, 0xBB, Colour::Blue},
        {14, 1, '.', Colour::White},      {14, 4, 0xCD, Colour::Green},
        {56, 11, 0xCD, Colour::Red},      {55, 11, 0xCD, Colour::Red},
        {1, 11, 0xCD, Colour::Yellow},    {28, 6, 0xBA, Colour::Yellow},
        {38, 12, 0xBA, Colour::Aqua},     {28, 16, 0xBA, Colour::Purple},
        {34, 16, 0xBA, Colour::Gray},     {13, 20, 0xBA, Colour::White},
        {1, 20, 0xDB, Colour::Purple},    {28, 4, 0xC9, Colour::Blue},
        {28, 8, 0xCC, Colour::Blue},      {34, 15, 0xCE, Colour::Blue},
        {1, 24, 0xDB, Colour::LightBlue}, {4, 24, 0xB2, Colour::LightBlue},
        {7, 24, 0xB1, Colour::LightBlue}, {10, 24, 0xB0, Colour::LightBlue},
        {21, 24, 0xDB, Colour::White},    {23, 24, 0xB2, Colour::Gray},
        {67, 0, 0xC9, Colour::White},     {85, 8, 0xBA, Colour::White},
        {85, 28, 0xBC, Colour::White},    {0, 1, 0xBA, Colour::Blue},
    };
    for (const Expected& e : cells) {
        const auto look = mazeGlyph(mazeGrid[e.r][e.c]);
        ASSERT_TRUE(look) << e.c << "," << e.r;
        EXPECT_EQ(look->glyph, e.glyph) << e.c << "," << e.r;
        EXPECT_EQ(look->attr, e.attr) << e.c << "," << e.r;
    }
    for (const char blank : std::string(" Imabrc\0OHh", 11)) EXPECT_FALSE(mazeGlyph(blank)) << blank;
}

TEST_F(MazeTest, RendererDrawsEatenDotsAsTheyAreNow) {
    mazeGrid[1][14] = Cell::Floor;
    renderMaze();
    EXPECT_EQ(testconsole::cell(14, 1).glyph, ' ');
    EXPECT_EQ(testconsole::cell(15, 1).glyph, '.');
}

TEST_F(MazeTest, DumpPrintsTheCodesRowByRowAndScrolls) {
    dumpMaze();
    // Thirty lines with a line break each scroll the first row off a 30-row console.
    EXPECT_EQ(testconsole::screen().rowText(0).substr(0, 99), std::string(mazeGrid[1]));
    EXPECT_EQ(testconsole::screen().rowText(28).substr(0, 99), std::string(mazeGrid[29]));
    EXPECT_EQ(testconsole::screen().cursorRow(), 29);
    EXPECT_EQ(testconsole::screen().cursorColumn(), 0);
}

}  // namespace
