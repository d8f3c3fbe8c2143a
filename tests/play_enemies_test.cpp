#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "play/enemies.h"
#include "tests/support/play_fixture.h"

namespace {

class EnemiesTest : public PlayTest {};

std::vector<int> every(int period) {
    std::vector<int> ticks;
    for (int tick = 1; tick <= 25; tick += period) ticks.push_back(tick);
    return ticks;
}

// Each group of launchers of the level, with every door closed, and the ticks from the first on
// at which its release cell receives a projectile.
TEST_F(EnemiesTest, LaunchersReleaseInTheRhythmsOfTheirLanes) {
    const std::vector<int> pairs = {1, 4, 11, 14, 21, 24};
    const struct {
        int column, row;
        std::vector<int> releases;
    } launchers[] = {{28, 4, every(3)},  {28, 8, every(3)},  {43, 8, every(4)},
                     {51, 17, every(3)}, {63, 21, every(4)}, {47, 11, every(5)},
                     {55, 11, every(5)}, {49, 11, pairs},    {57, 11, pairs},
                     {42, 23, every(3)}, {13, 28, every(4)}, {42, 15, every(3)}};
    for (const auto& l : launchers) {
        resetMazeGrid();
        const char launcher = gridAt(l.column, l.row);
        const bool left = std::string_view("MFG").find(launcher) != std::string_view::npos;
        const char shot = left ? Cell::ShotLeft : launcher == 'q' ? Cell::GrayShotUp : Cell::ShotUp;
        std::vector<int> releases;
        for (int tick = 1; tick <= 25; ++tick) {
            moveEnemies(game);
            if (gridAt(l.column - left, l.row - !left) == shot) releases.push_back(tick);
        }
        EXPECT_EQ(releases, l.releases) << launcher << " at " << l.column << "," << l.row;
    }
}

TEST_F(EnemiesTest, ProjectilesStopAtTheirStoppersAndReplaceAnythingElse) {
    const struct {
        char shot;
        const char* stoppers;
        const char* replaced;
    } kinds[] = {{'O', "245", "1.A"}, {'H', "18Nn", "2.q"}, {'h', "1n", "8N."}};
    for (const auto& kind : kinds) {
        const int nextColumn = kind.shot == 'O' ? 9 : 10;
        const int nextRow = kind.shot == 'O' ? 10 : 9;
        for (const std::string_view codes : {kind.stoppers, kind.replaced}) {
            for (const char next : codes) {
                blankGrid();
                mazeGrid[10][10] = kind.shot;
                mazeGrid[nextRow][nextColumn] = next;
                moveEnemies(game);
                EXPECT_EQ(gridAt(10, 10), Cell::Floor);
                EXPECT_EQ(gridAt(nextColumn, nextRow), codes == kind.stoppers ? next : kind.shot)
                    << kind.shot << " into " << next;
            }
        }
    }
    blankGrid();  // at the grid's edge a projectile is gone
    mazeGrid[5][0] = Cell::ShotLeft;
    mazeGrid[0][5] = Cell::ShotUp;
    moveEnemies(game);
    EXPECT_EQ(gridAt(0, 5), Cell::Floor);
    EXPECT_EQ(gridAt(5, 0), Cell::Floor);
}

TEST_F(EnemiesTest, WalkersStepLeftAndTurnAtTheLeftEndWithinOneTick) {
    mazeGrid[5][9] = Cell::Floor;
    mazeGrid[5][1] = 'a';
    moveEnemies(game);
    EXPECT_EQ(gridAt(18, 5), 'a');  // ran right to column 19 and stepped back
    EXPECT_EQ(shown(18, 5).glyph, 0xB2);
    EXPECT_EQ(shown(19, 5).glyph, ' ');
    EXPECT_EQ(gridAt(13, 6), 'a');
    EXPECT_EQ(gridAt(26, 9), 'm');
    EXPECT_EQ(shown(26, 9).attr, Colour::Red);
    EXPECT_EQ(gridAt(41, 1), 'r');
    EXPECT_TRUE(game.walkersMoveLeft);

    blankGrid();  // a run two cells wide: two turns, and back where it stood
    paint(10, 3, {"2a 2"});
    moveEnemies(game);
    EXPECT_EQ(gridAt(11, 3), 'a');
}

TEST_F(EnemiesTest, OneWalkersTurnSetsTheDirectionOfTheWalkersAfterIt) {
    blankGrid();
    paint(10, 3, {"2b2"});  // boxed in: it turns, finds no way and vanishes
    moveEnemies(game);
    EXPECT_EQ(gridAt(11, 3), Cell::Floor);
    EXPECT_FALSE(game.walkersMoveLeft);

    game.walkersMoveLeft = true;
    paint(10, 3, {"2b2"});
    paint(10, 5, {"2   r   2"});
    moveEnemies(game);
    EXPECT_EQ(gridAt(16, 5), 'r');  // sent right by the failed turn above it
    EXPECT_TRUE(game.walkersMoveLeft);
}

TEST_F(EnemiesTest, GrayWalkersCrossTheOpenPurpleDoorAndOpenTheGrayOne) {
    for (int tick = 0; tick < 40; ++tick) moveEnemies(game);
    EXPECT_EQ(gridAt(28, 17), Cell::PurpleDoor);
    EXPECT_FALSE(std::memchr(&mazeGrid[17][1], Cell::GrayWalker, 27));

    resetMazeGrid();
    game = GameState{};
    game.purpleDoorOpen = true;
    int opened = 0;
    for (int tick = 1; tick <= 12 && opened == 0; ++tick)
        if (tickHolding({}); game.grayDoorOpen) opened = tick;
    // Three cells to the door, three more to the switch, seen by the next tick's switch phase.
    EXPECT_EQ(opened, 7);
    EXPECT_EQ(gridAt(28, 17), Cell::Floor);
    EXPECT_EQ(gridAt(34, 17), Cell::GrayDoor);
}

TEST_F(EnemiesTest, BottomLaunchersLeaveTheirAttributeInForceAfterThePhase) {
    for (int tick = 1; tick <= 12; ++tick) {
        tickHolding({});
        EXPECT_EQ(testconsole::screen().attr(), tick % 4 == 1 ? Colour::Blue : Colour::Aqua)
            << tick;
    }
}

}  // namespace
