#include <ostream>
#include <string_view>

#include "play/movement.h"
#include "tests/support/play_fixture.h"

namespace {

class MovementTest : public PlayTest {
  protected:
    TickOutcome moveHolding(std::initializer_list<Key> keys) {
        testconsole::holdOnly(keys);
        return movePlayer(game);
    }

    void expectAt(int column, int row, int steps) {
        EXPECT_EQ(game.playerCol, column);
        EXPECT_EQ(game.playerRow, row);
        EXPECT_EQ(game.steps, steps);
    }
};

TEST_F(MovementTest, KeysAreReadInOrderEachMoveStartingWhereTheLastEnded) {
    ASSERT_EQ(moveHolding({Key::Up, Key::Right}), TickOutcome::Continue);
    expectAt(5, 1, 2);
    moveHolding({Key::Up});  // against the top wall
    expectAt(5, 1, 2);
    moveHolding({Key::Left, Key::Right});  // out and back
    expectAt(5, 1, 4);
    moveHolding({Key::Down, Key::Up});  // up is read first and blocked
    expectAt(5, 2, 5);
    moveHolding({Key::Down, Key::Up});
    expectAt(5, 2, 7);
    EXPECT_EQ(testconsole::queryCount(Key::Up), 5);
    EXPECT_EQ(testconsole::queryCount(Key::Right), 5);
    EXPECT_EQ(game.score, 0);
}

TEST_F(MovementTest, DotCrossedMidTickScoresButOnlyTheRestCellsDotIsEaten) {
    placePlayer(15, 2);
    moveHolding({Key::Up, Key::Right});  // over the dot at (15,1) onto the dot at (16,1)
    EXPECT_EQ(game.score, 200);
    EXPECT_EQ(gridAt(15, 1), Cell::Dot);
    EXPECT_EQ(gridAt(16, 1), Cell::Floor);
    moveHolding({Key::Left});
    EXPECT_EQ(game.score, 300);
    EXPECT_EQ(gridAt(15, 1), Cell::Floor);
    moveHolding({Key::Right});  // onto the eaten dot
    EXPECT_EQ(game.score, 300);
}

TEST_F(MovementTest, EnemiesCatchOnlyAPlayerAtRestAndProjectilesBlock) {
    for (const char enemy : std::string_view("OMmHahbrc")) {
        resetMazeGrid();
        placePlayer(4, 2);
        mazeGrid[2][4] = enemy;
        EXPECT_EQ(moveHolding({}), TickOutcome::Caught) << enemy;
    }

    resetMazeGrid();
    placePlayer(4, 2);
    mazeGrid[2][4] = 'a';  // came in during the last enemy phase; the player steps off in time
    mazeGrid[1][4] = 'b';  // crossed in the middle of a diagonal step
    EXPECT_EQ(moveHolding({Key::Up, Key::Right}), TickOutcome::Continue);
    expectAt(5, 1, 2);

    for (const char shot : std::string_view("OHh")) {
        mazeGrid[2][5] = shot;
        EXPECT_EQ(moveHolding({Key::Down}), TickOutcome::Continue);
        expectAt(5, 1, 2);
    }
    mazeGrid[1][6] = 'm';
    EXPECT_EQ(moveHolding({Key::Right}), TickOutcome::Caught);
}

TEST_F(MovementTest, FinishIsEnteredFromItsRightOnly) {
    placePlayer(2, 21);
    EXPECT_EQ(moveHolding({Key::Left, Key::Right}), TickOutcome::Continue);  // off it again
    EXPECT_FALSE(game.won);
    EXPECT_EQ(moveHolding({Key::Left}), TickOutcome::Won);
    EXPECT_TRUE(game.won);

    game = GameState{};
    paint(5, 1, {" ", "f", " "});
    mazeGrid[2][4] = Cell::Floor;
    for (const auto& [column, row, key] :
         {std::tuple{5, 1, Key::Down}, std::tuple{5, 3, Key::Up}, std::tuple{4, 2, Key::Right}}) {
        placePlayer(column, row);
        EXPECT_EQ(moveHolding({key}), TickOutcome::Continue);
        EXPECT_EQ(game.playerCol, column);
        EXPECT_EQ(game.playerRow, row);
    }
}

// A cell that a flag opens: closed before the flag is set, open after, and, for the one-way
// cells, still closed when entered the wrong way.
struct PassageCase {
    const char* name;
    int column, row;
    Key key;
    bool GameState::*flag;
    int toColumn, toRow;
    int wrongColumn = -1, wrongRow = -1;
    Key wrongKey = Key::Enter;
};

void PrintTo(const PassageCase& c, std::ostream* os) {
    *os << c.name;
}

class PassageTest : public MovementTest, public ::testing::WithParamInterface<PassageCase> {};

TEST_P(PassageTest, OpensWithItsFlagInItsDirectionsOnly) {
    const PassageCase& c = GetParam();
    placePlayer(c.column, c.row);
    moveHolding({c.key});
    expectAt(c.column, c.row, 0);

    game.*c.flag = true;
    moveHolding({c.key});
    expectAt(c.toColumn, c.toRow, 1);
    if (c.wrongColumn < 0) return;
    placePlayer(c.wrongColumn, c.wrongRow);
    moveHolding({c.wrongKey});
    expectAt(c.wrongColumn, c.wrongRow, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Level, PassageTest,
    ::testing::Values(
        PassageCase{"UpperGate", 18, 12, Key::Up, &GameState::purpleDoorOpen, 18, 11, 18, 10,
                    Key::Down},
        PassageCase{"LowerGate", 18, 20, Key::Up, &GameState::purpleDoorOpen, 18, 19, 18, 18,
                    Key::Down},
        PassageCase{"SideGate", 33, 14, Key::Right, &GameState::whiteDoorOpen, 34, 14, 35, 14,
                    Key::Left},
        PassageCase{"HiddenCell", 1, 1, Key::Left, &GameState::aquaDoorOpen, 0, 1, 0, 2, Key::Up},
        PassageCase{"HiddenPassage", 62, 1, Key::Right, &GameState::secretPassageOpen, 63, 1, 63, 2,
                    Key::Up},
        PassageCase{"GreenDoor", 14, 5, Key::Up, &GameState::greenDoorOpen, 14, 4},
        PassageCase{"RedDoor", 56, 10, Key::Down, &GameState::redDoorOpen, 56, 11},
        PassageCase{"YellowDoor", 1, 10, Key::Down, &GameState::yellowDoorOpen, 1, 11},
        PassageCase{"PurpleDoor", 27, 17, Key::Right, &GameState::purpleDoorOpen, 28, 17},
        PassageCase{"YellowDoorSide", 27, 6, Key::Right, &GameState::yellowDoorOpen, 28, 6},
        PassageCase{"AquaDoor", 37, 13, Key::Right, &GameState::aquaDoorOpen, 38, 13},
        PassageCase{"GrayDoor", 33, 17, Key::Right, &GameState::grayDoorOpen, 34, 17},
        PassageCase{"WhiteDoor", 14, 21, Key::Left, &GameState::whiteDoorOpen, 13, 21}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MovementTest, HiddenPositionsCountOnlyWhereTheMovesEnd) {
    placePlayer(79, 9);
    moveHolding({Key::Up, Key::Down});
    EXPECT_FALSE(game.bannerActive);
    moveHolding({Key::Up});
    EXPECT_TRUE(game.bannerActive);

    game.aquaDoorOpen = true;
    placePlayer(1, 1);
    moveHolding({Key::Left});
    EXPECT_TRUE(game.secretPassageOpen);

    // The box side beside the legend square is open from either side.
    placePlayer(86, 8);
    moveHolding({Key::Left});
    moveHolding({Key::Left});
    expectAt(84, 8, 6);
}

TEST_F(MovementTest, MovesOutOfTheGridAreBlocked) {
    placePlayer(98, 29);
    moveHolding({Key::Down, Key::Right});
    expectAt(98, 29, 0);
    game.aquaDoorOpen = true;
    placePlayer(0, 1);
    moveHolding({Key::Left});
    expectAt(0, 1, 0);
}

}  // namespace
