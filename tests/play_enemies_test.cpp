#include <cstring>
#include <ostream>
#include <string_view>
#include <vector>

#include "play/enemies.h"
#include "tests/support/play_fixture.h"

namespace {

class EnemiesTest : public PlayTest {};

// A launcher of the level and the ticks, from the first on, at which its release cell receives a
// projectile; the lanes are those of the level with every door closed.
struct LauncherCase {
    const char* name;
    int column, row;
    std::vector<int> releases;
};

void PrintTo(const LauncherCase& c, std::ostream* os) {
    *os << c.name;
}

std::vector<int> every(int period) {
    std::vector<int> ticks;
    for (int tick = 1; tick <= 25; tick += period) ticks.push_back(tick);
    return ticks;
}

class LauncherTest : public EnemiesTest, public ::testing::WithParamInterface<LauncherCase> {};

TEST_P(LauncherTest, ReleasesInItsRhythm) {
    const LauncherCase& c = GetParam();
    const char launcher = gridAt(c.column, c.row);
    const bool leftward = std::string_view("MFG").find(launcher) != std::string_view::npos;
    const int releaseColumn = leftward ? c.column - 1 : c.column;
    const int releaseRow = leftward ? c.row : c.row - 1;
    const char shot = leftward ? Cell::ShotLeft : launcher == 'q' ? Cell::GrayShotUp : Cell::ShotUp;

    std::vector<int> releases;
    for (int tick = 1; tick <= 25; ++tick) {
        moveEnemies(game);
        if (gridAt(releaseColumn, releaseRow) == shot) releases.push_back(tick);
    }
    EXPECT_EQ(releases, c.releases);
}

INSTANTIATE_TEST_SUITE_P(
    Level, LauncherTest,
    ::testing::Values(
        LauncherCase{"LeftM", 28, 4, every(3)}, LauncherCase{"LeftF", 28, 8, every(3)},
        LauncherCase{"LeftG", 43, 8, every(4)}, LauncherCase{"ShortLaneM", 51, 17, every(3)},
        LauncherCase{"ShortLaneG", 63, 21, every(4)}, LauncherCase{"UpN", 47, 11, every(5)},
        LauncherCase{"RedUpP", 55, 11, every(5)},
        LauncherCase{"PairingN", 49, 11, {1, 4, 11, 14, 21, 24}},
        LauncherCase{"PairingRedP", 57, 11, {1, 4, 11, 14, 21, 24}},
        LauncherCase{"ShortLaneN", 42, 23, every(3)}, LauncherCase{"BottomN", 13, 28, every(4)},
        LauncherCase{"GrayQ", 42, 15, every(3)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EnemiesTest, ProjectilesStopAtTheirStoppersAndReplaceAnythingElse) {
    const struct {
        char shot;
        char next;
        bool stops;
    } cases[] = {{'O', '2', true},  {'O', '4', true},  {'O', '5', true},  {'O', '1', false},
                 {'O', '.', false}, {'O', 'A', false}, {'H', '1', true},  {'H', '8', true},
                 {'H', 'N', true},  {'H', 'n', true},  {'H', '2', false}, {'H', '.', false},
                 {'h', '1', true},  {'h', 'n', true},  {'h', '8', false}, {'h', 'N', false}};
    for (const auto& c : cases) {
        blankGrid();
        const int nextColumn = c.shot == 'O' ? 9 : 10;
        const int nextRow = c.shot == 'O' ? 10 : 9;
        mazeGrid[10][10] = c.shot;
        mazeGrid[nextRow][nextColumn] = c.next;
        moveEnemies(game);
        EXPECT_EQ(gridAt(10, 10), Cell::Floor) << c.shot << " into " << c.next;
        EXPECT_EQ(gridAt(nextColumn, nextRow), c.stops ? c.next : c.shot)
            << c.shot << " into " << c.next;
    }

    // At the grid's edge a projectile is gone.
    blankGrid();
    mazeGrid[5][0] = Cell::ShotLeft;
    mazeGrid[0][5] = Cell::ShotUp;
    moveEnemies(game);
    EXPECT_EQ(gridAt(0, 5), Cell::Floor);
    EXPECT_EQ(gridAt(5, 0), Cell::Floor);
}

TEST_F(EnemiesTest, LanesOfTheLevelDestroyNothing) {
    char initial[kMazeRows][kMazeColumns];
    std::memcpy(initial, mazeGrid, sizeof initial);
    for (int tick = 0; tick < 200; ++tick) moveEnemies(game);
    for (int row = 0; row < kMazeRows; ++row) {
        for (int column = 0; column < kMazeColumns; ++column) {
            const char code = initial[row][column];
            if (std::string_view(" mabrc").find(code) != std::string_view::npos) continue;
            EXPECT_EQ(gridAt(column, row), code) << column << "," << row;
        }
    }
}

TEST_F(EnemiesTest, FirstPhaseStepsEveryWalkerOneCellLeftIntoView) {
    const struct {
        char code;
        unsigned char glyph;
        Colour colour;
    } looks[] = {{'m', 0xDE, Colour::Red},
                 {'a', 0xB2, Colour::Green},
                 {'b', 0xFE, Colour::Purple},
                 {'r', 0xDD, Colour::Yellow},
                 {'c', 0xFE, Colour::Gray}};
    char initial[kMazeRows][kMazeColumns];
    std::memcpy(initial, mazeGrid, sizeof initial);
    moveEnemies(game);

    int walkers = 0;
    for (const auto& look : looks) {
        for (int row = 0; row < kMazeRows; ++row) {
            for (int column = 1; column < kMazeCellsPerRow; ++column) {
                if (initial[row][column] != look.code) continue;
                ++walkers;
                EXPECT_EQ(gridAt(column - 1, row), look.code) << column << "," << row;
                EXPECT_EQ(gridAt(column, row), Cell::Floor);
                EXPECT_EQ(shown(column - 1, row).glyph, look.glyph) << look.code;
                EXPECT_EQ(shown(column - 1, row).attr, look.colour) << look.code;
            }
        }
    }
    EXPECT_EQ(walkers, 16);
    EXPECT_TRUE(game.walkersMoveLeft);
}

TEST_F(EnemiesTest, WalkerAtTheLeftEndRunsRightWithinTheTickAndStepsBack) {
    mazeGrid[5][9] = Cell::Floor;
    mazeGrid[5][1] = 'a';
    moveEnemies(game);
    EXPECT_EQ(gridAt(18, 5), 'a');
    EXPECT_EQ(shown(18, 5).glyph, 0xB2);
    EXPECT_EQ(shown(19, 5).glyph, ' ');
    EXPECT_TRUE(game.walkersMoveLeft);

    // A run two cells wide: the walker turns twice and is back where it stood.
    blankGrid();
    paint(10, 3, {"2a 2"});
    moveEnemies(game);
    EXPECT_EQ(gridAt(11, 3), 'a');
    EXPECT_EQ(gridAt(12, 3), Cell::Floor);
}

TEST_F(EnemiesTest, OneWalkersTurnSetsTheDirectionOfTheWalkersAfterIt) {
    blankGrid();
    paint(10, 3, {"2b2"});  // boxed in: it turns, finds no way and vanishes
    moveEnemies(game);
    EXPECT_EQ(gridAt(11, 3), Cell::Floor);
    EXPECT_FALSE(game.walkersMoveLeft);

    blankGrid();
    game.walkersMoveLeft = true;
    paint(10, 3, {"2b2"});
    paint(10, 5, {"2   r   2"});
    moveEnemies(game);
    EXPECT_EQ(gridAt(16, 5), 'r');  // sent right by the failed turn above it
    EXPECT_TRUE(game.walkersMoveLeft);
}

TEST_F(EnemiesTest, GrayWalkersCrossTheOpenPurpleDoorAndOpenTheGrayOne) {
    for (int tick = 0; tick < 40; ++tick) moveEnemies(game);
    for (int row = 16; row <= 18; ++row) EXPECT_EQ(gridAt(28, row), Cell::PurpleDoor);
    EXPECT_FALSE(std::memchr(&mazeGrid[17][1], Cell::GrayWalker, 27));

    resetMazeGrid();
    game = GameState{};
    game.purpleDoorOpen = true;
    int opened = 0;
    for (int tick = 1; tick <= 12 && opened == 0; ++tick) {
        tickHolding({});
        if (game.grayDoorOpen) opened = tick;
    }
    // Three cells to the door, three more to the switch, seen by the next tick's switch phase.
    EXPECT_EQ(opened, 7);
    EXPECT_EQ(gridAt(28, 17), Cell::Floor);
    for (int row = 16; row <= 18; ++row) EXPECT_EQ(gridAt(34, row), Cell::GrayDoor);
}

TEST_F(EnemiesTest, BottomLaunchersLeaveTheirAttributeInForceAfterThePhase) {
    for (int tick = 1; tick <= 12; ++tick) {
        tickHolding({});
        const Colour expected = tick % 4 == 1 ? Colour::Blue : Colour::Aqua;
        EXPECT_EQ(testconsole::screen().attr(), expected) << tick;
    }
}

}  // namespace
