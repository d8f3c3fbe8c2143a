#include <ostream>
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

struct SwitchCase {
    const char* name;
    int column, row;
    bool GameState::*flag;
    const char* doorCodes;
};

void PrintTo(const SwitchCase& c, std::ostream* os) {
    *os << c.name;
}

class PlayerSwitchTest : public SwitchesTest, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(PlayerSwitchTest, StandingOnTheSwitchOpensItsDoorOnScreenOnly) {
    const SwitchCase& c = GetParam();
    placePlayer(c.column, c.row);
    workSwitches(game);
    EXPECT_TRUE(game.*c.flag);
    expectBlankedButKept(c.doorCodes);

    // Only this door opens, and leaving the switch closes nothing.
    int open = 0;
    for (const Door& door : kDoors) open += game.*door.flag;
    EXPECT_EQ(open, 1);
    placePlayer(4, 2);
    workSwitches(game);
    EXPECT_TRUE(game.*c.flag);
}

INSTANTIATE_TEST_SUITE_P(
    Level, PlayerSwitchTest,
    ::testing::Values(SwitchCase{"Green", 2, 6, &GameState::greenDoorOpen, "A"},
                      // The red run blanks the red launchers between the door cells too.
                      SwitchCase{"Red", 31, 13, &GameState::redDoorOpen, "BpP"},
                      SwitchCase{"Yellow", 40, 13, &GameState::yellowDoorOpen, "CD"},
                      SwitchCase{"Aqua", 36, 13, &GameState::aquaDoorOpen, "E"},
                      SwitchCase{"Purple", 4, 17, &GameState::purpleDoorOpen, "U"},
                      SwitchCase{"White", 17, 21, &GameState::whiteDoorOpen, "W"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SwitchesTest, GraySwitchWatchesTheGridForAGrayWalkerNotThePlayer) {
    placePlayer(25, 17);
    workSwitches(game);
    EXPECT_FALSE(game.grayDoorOpen);
    EXPECT_EQ(shown(34, 17).glyph, 0xBA);

    mazeGrid[17][25] = Cell::GrayWalker;
    placePlayer(2, 6);
    workSwitches(game);
    EXPECT_TRUE(game.grayDoorOpen);
    EXPECT_TRUE(game.greenDoorOpen);
    expectBlankedButKept("T");
}

TEST_F(SwitchesTest, AquaSwitchShowsTheHiddenCellInYellow) {
    EXPECT_EQ(shown(0, 1).attr, Colour::Blue);
    placePlayer(36, 13);
    workSwitches(game);
    EXPECT_EQ(shown(0, 1).glyph, 0xBA);
    EXPECT_EQ(shown(0, 1).attr, Colour::Yellow);
}

TEST_F(SwitchesTest, OpenRedDoorLetsThePlayerThroughItsCellsButNotTheLaunchers) {
    game.redDoorOpen = true;
    for (int column = 55; column <= 62; ++column) {
        placePlayer(column, 10);
        testconsole::holdOnly({Key::Down});
        movePlayer(game);
        const bool doorCell = gridAt(column, 11) == Cell::RedDoor;
        EXPECT_EQ(game.playerRow, doorCell ? 11 : 10) << column;
    }
}

TEST_F(SwitchesTest, DoorOpenedInATickIsPassableFromTheNextTick) {
    placePlayer(3, 6);
    tickHolding({Key::Left});  // onto the green switch
    EXPECT_TRUE(game.greenDoorOpen);
    EXPECT_EQ(shown(2, 6).glyph, 'o');  // the circle covers the player standing on it
    EXPECT_EQ(shown(2, 6).attr, Colour::Green);
    placePlayer(14, 5);
    tickHolding({Key::Up});
    EXPECT_EQ(game.playerRow, 4);
}

}  // namespace
