#include <string>
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

TEST_F(MovementTest, KeysAreReadUpDownLeftRightEachMoveStartingWhereTheLastEnded) {
    moveHolding({Key::Up, Key::Right});
    expectAt(5, 1, 2);
    moveHolding({Key::Up});  // against the top wall
    expectAt(5, 1, 2);
    moveHolding({Key::Left, Key::Right});  // out and back
    expectAt(5, 1, 4);
    moveHolding({Key::Down, Key::Up});  // up is read first and blocked
    expectAt(5, 2, 5);
    placePlayer(98, 29);  // nothing beyond the grid's last row and column
    moveHolding({Key::Down, Key::Right});
    expectAt(98, 29, 5);
}

TEST_F(MovementTest, DotCrossedMidTickScoresButOnlyTheRestCellsDotIsEaten) {
    placePlayer(15, 2);
    moveHolding({Key::Up, Key::Right});  // over the dot at (15,1) onto the dot at (16,1)
    EXPECT_EQ(game.score, 200);
    EXPECT_EQ(gridAt(15, 1), Cell::Dot);
    EXPECT_EQ(gridAt(16, 1), Cell::Floor);
    moveHolding({Key::Left});
    moveHolding({Key::Right});  // back onto the dot eaten before
    EXPECT_EQ(game.score, 300);
    EXPECT_EQ(gridAt(15, 1), Cell::Floor);
}

TEST_F(MovementTest, EnemiesCatchOnlyAPlayerAtRestAndProjectilesBlock) {
    for (const char enemy : std::string_view("OMmHahbrc")) {
        mazeGrid[2][4] = enemy;
        EXPECT_EQ(moveHolding({}), TickOutcome::Caught) << enemy;
    }
    mazeGrid[1][4] = 'b';  // crossed in the middle of a diagonal step, off the 'c' in time
    EXPECT_EQ(moveHolding({Key::Up, Key::Right}), TickOutcome::Continue);
    for (const char shot : std::string_view("OHh")) {
        mazeGrid[2][5] = shot;
        moveHolding({Key::Down});
        expectAt(5, 1, 2);
    }
    mazeGrid[1][6] = 'm';
    EXPECT_EQ(moveHolding({Key::Right}), TickOutcome::Caught);
}

TEST_F(MovementTest, FinishIsEnteredFromItsRightOnly) {
    placePlayer(2, 21);
    EXPECT_EQ(moveHolding({Key::Left, Key::Right}), TickOutcome::Continue);  // off it again
    EXPECT_EQ(moveHolding({Key::Left}), TickOutcome::Won);
    EXPECT_TRUE(game.won);

    paint(5, 1, {" ", "f", " "});
    for (const auto& [column, row, key] :
         {std::tuple{5, 1, Key::Down}, {5, 3, Key::Up}, {4, 2, Key::Right}}) {
        placePlayer(column, row);
        EXPECT_EQ(moveHolding({key}), TickOutcome::Continue);
        EXPECT_EQ(game.playerCol * 100 + game.playerRow, column * 100 + row);
    }
}

// Cells that a flag opens: closed before, open after, and the one-way cells still closed when
// entered the wrong way (doors have no wrong way: column -1).
TEST_F(MovementTest, PassagesOpenWithTheirFlagsInTheirDirectionsOnly) {
    const struct {
        int column, row;
        Key key;
        bool GameState::*flag;
        int toColumn, toRow, wrongColumn, wrongRow;
        Key wrongKey;
    } passages[] = {
        {18, 20, Key::Up, &GameState::purpleDoorOpen, 18, 19, 18, 18, Key::Down},    // gate
        {33, 14, Key::Right, &GameState::whiteDoorOpen, 34, 14, 35, 14, Key::Left},  // side gate
        {1, 1, Key::Left, &GameState::aquaDoorOpen, 0, 1, 0, 2, Key::Up},            // hidden cell
        {62, 1, Key::Right, &GameState::secretPassageOpen, 63, 1, 63, 2, Key::Up},
        {27, 6, Key::Right, &GameState::yellowDoorOpen, 28, 6, -1, 0, Key::Up},
        {14, 21, Key::Left, &GameState::whiteDoorOpen, 13, 21, -1, 0, Key::Up}};
    for (const auto& p : passages) {
        game = GameState{};
        placePlayer(p.column, p.row);
        moveHolding({p.key});
        expectAt(p.column, p.row, 0);
        game.*p.flag = true;
        moveHolding({p.key});
        expectAt(p.toColumn, p.toRow, 1);
        if (p.wrongColumn < 0) continue;
        placePlayer(p.wrongColumn, p.wrongRow);
        moveHolding({p.wrongKey});
        expectAt(p.wrongColumn, p.wrongRow, 1);
    }
}

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
    moveHolding({Key::Left});  // the hidden cell lies at the grid's left edge
    expectAt(0, 1, 4);
}

}  // namespace
