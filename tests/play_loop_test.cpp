#include <string>

#include "console/screen_model.h"
#include "play/banner.h"
#include "tests/support/play_fixture.h"

namespace {

constexpr unsigned char kSquare = 0xFE;

std::string shownText(int column, int row, int length) {
    return testconsole::screen().rowText(row).substr(column, length);
}

class PlayLoopTest : public PlayTest {};

TEST_F(PlayLoopTest, FirstTickCountsTheClockAndDrawsThePlayerAndTheStatusLines) {
    beginGame();
    ASSERT_EQ(tickHolding({}), TickOutcome::Continue);

    EXPECT_EQ(game.timeLeft, 2999);
    EXPECT_EQ(game.elapsedTicks, 1);
    EXPECT_EQ(shown(4, 2).glyph, kSquare);
    EXPECT_EQ(shown(4, 2).attr, Colour::Aqua);
    EXPECT_EQ(shownText(69, 2, 15), "Glyph Labyrinth");
    EXPECT_EQ(shownText(69, 8, 10), "Player == ");
    EXPECT_EQ(shown(79, 8).glyph, kSquare);
    EXPECT_EQ(shownText(69, 14, 8), "Score: 0");
    EXPECT_EQ(shownText(69, 20, 10), "Time: 2999");
    EXPECT_EQ(shownText(69, 26, 8), "Steps: 0");
    for (const int row : {2, 8, 14, 20, 26}) EXPECT_EQ(shown(69, row).attr, Colour::White) << row;
    EXPECT_EQ(testconsole::clockMs(), 100);
    EXPECT_EQ(testservices::calls(), std::vector<std::string>{"play res/Glyph.wav"});
}

TEST_F(PlayLoopTest, ClockStopsAtMinusOneTickCountAt5001AndShorterNumbersLeaveDigits) {
    game.timeLeft = 1001;
    game.elapsedTicks = 4999;
    tickHolding({});
    EXPECT_EQ(shownText(69, 20, 10), "Time: 1000");
    tickHolding({});
    EXPECT_EQ(shownText(69, 20, 10), "Time: 9990");
    EXPECT_EQ(game.elapsedTicks, 5001);
    tickHolding({});
    EXPECT_EQ(game.elapsedTicks, 5001);

    game.timeLeft = 0;
    for (int tick = 0; tick < 3; ++tick) tickHolding({});
    EXPECT_EQ(game.timeLeft, -1);
    EXPECT_EQ(shownText(69, 20, 10), "Time: -180");  // over the 998 of the tick before

    // Standing still keeps the sound asked for on every tick and costs no steps.
    EXPECT_EQ(testservices::calls().size(), 6u);
    EXPECT_EQ(game.steps, 0);
    EXPECT_EQ(game.score, 0);
}

TEST_F(PlayLoopTest, CaughtTickDrawsNothingAfterErasingThePlayer) {
    beginGame();
    tickHolding({});
    const ScreenModel before = testconsole::screen();
    const long long clockBefore = testconsole::clockMs();
    mazeGrid[2][4] = 'r';

    EXPECT_EQ(tickHolding({}), TickOutcome::Caught);
    EXPECT_FALSE(game.won);
    EXPECT_EQ(testconsole::clockMs(), clockBefore);  // no pause either
    for (int row = 0; row < ScreenModel::kRows; ++row) {
        for (int column = 0; column < ScreenModel::kColumns; ++column) {
            if (column == 4 && row == 2) {
                EXPECT_EQ(shown(4, 2).glyph, ' ');
            } else {
                EXPECT_EQ(shown(column, row), before.at(column, row)) << column << "," << row;
            }
        }
    }
}

TEST_F(PlayLoopTest, ReachingTheFinishEndsTheTickBeforeItsStatusLines) {
    placePlayer(2, 21);
    tickHolding({});
    EXPECT_EQ(tickHolding({Key::Left}), TickOutcome::Won);
    EXPECT_TRUE(game.won);
    EXPECT_EQ(game.steps, 1);
    EXPECT_EQ(shownText(69, 26, 8), "Steps: 0");
    EXPECT_EQ(shownText(69, 20, 10), "Time: 2999");
}

TEST_F(PlayLoopTest, WalkerEnteringThePlayersCellCatchesHimAtTheNextTick) {
    beginGame();
    placePlayer(5, 5);  // the walker of row 5 starts at column 9 and crawls left
    for (int tick = 1; tick <= 4; ++tick) ASSERT_EQ(tickHolding({}), TickOutcome::Continue);
    EXPECT_EQ(gridAt(5, 5), 'a');
    EXPECT_EQ(shown(5, 5).glyph, 0xB2);  // drawn over the player's square

    testconsole::releaseAll();
    EXPECT_EQ(playLoop(game), TickOutcome::Caught);
    EXPECT_EQ(game.elapsedTicks, 5);
}

TEST_F(PlayLoopTest, ActiveBannerIsTypedAtTheHeadOfEveryTick) {
    game.bannerActive = true;
    tickHolding({});
    tickHolding({});
    const long long typing = 2LL * kBannerLines * (kBannerWidth + 1) * 10;
    EXPECT_EQ(testconsole::clockMs(), typing + 2 * 100);
}

}  // namespace
