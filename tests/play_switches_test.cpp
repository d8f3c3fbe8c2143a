#include <string>
#include <string_view>

#include "maze/maze_renderer.h"
#include "play/movement.h"
#include "play/switches.h"
#include "tests/support/play_fixture.h"

namespace {

class SwitchesTest : public PlayTest {
  protected:
    void SetUp() override {
        PlayTest::SetUp();
        renderMaze();
    }

    // Every cell holding one of the codes shows blank and still holds its code.
    static void expectBlankedButKept(std::string_view codes) {
        int cells = 0;
        for (int row = 0; row < kMazeRows; ++row) {
            for (int column = 0; column < kMazeCellsPerRow; ++column) {
                if (codes.find(gridAt(column, row)) == std::string_view::npos) continue;
                ++cells;
                EXPECT_EQ(shown(column, row).glyph, ' ') << column << "," << row;
            }
        }
        EXPECT_GT(cells, 0) << codes;
    }
};

TEST_F(SwitchesTest, StandingOnASwitchOpensItsDoorOnScreenOnly) {
    const struct {
        int column, row;
        bool GameState::*flag;
        const char* doorCodes;
    } switches[] = {{2, 6, &GameState::greenDoorOpen, "A"},
                    {31, 13, &GameState::redDoorOpen, "BpP"},  // red launchers blanked too
                    {40, 13, &GameState::yellowDoorOpen, "CD"},
                    {36, 13, &GameState::aquaDoorOpen, "E"},
                    {4, 17, &GameState::purpleDoorOpen, "U"},
                    {17, 21, &GameState::whiteDoorOpen, "W"}};
    for (const auto& s : switches) {
        game = GameState{};
        renderMaze();
        placePlayer(s.column, s.row);
        workSwitches(game);
        expectBlankedButKept(s.doorCodes);
        placePlayer(4, 2);  // leaving the switch closes nothing
        workSwitches(game);
        int open = 0;
        for (const Door& door : kDoors) open += game.*door.flag;
        EXPECT_TRUE(game.*s.flag);
        EXPECT_EQ(open, 1) << s.doorCodes;
    }
}

TEST_F(SwitchesTest, GraySwitchWatchesTheGridForAGrayWalkerNotThePlayer) {
    placePlayer(25, 17);
    workSwitches(game);
    EXPECT_FALSE(game.grayDoorOpen);
    mazeGrid[17][25] = Cell::GrayWalker;
    placePlayer(36, 13);
    workSwitches(game);
    EXPECT_TRUE(game.grayDoorOpen);
    EXPECT_TRUE(game.aquaDoorOpen);
    expectBlankedButKept("T");
    EXPECT_EQ(shown(0, 1).glyph, 0xBA);  // the aqua switch shows the hidden cell in Yellow
    EXPECT_EQ(shown(0, 1).attr, Colour::Yellow);
}

TEST_F(SwitchesTest, OpenRedDoorLetsThePlayerThroughItsCellsButNotTheLaunchers) {
    game.redDoorOpen = true;
    for (int column = 55; column <= 62; ++column) {
        placePlayer(column, 10);
        testconsole::holdOnly({Key::Down});
        movePlayer(game);
        EXPECT_EQ(game.playerRow, gridAt(column, 11) == Cell::RedDoor ? 11 : 10) << column;
    }
}

}  // namespace
