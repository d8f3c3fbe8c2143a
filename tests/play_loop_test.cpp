#include <string>

#include "play/banner.h"
#include "tests/support/play_fixture.h"

namespace {

std::string shownText(int column, int row, int length) {
    return testconsole::screen().rowText(row).substr(column, length);
}

class PlayLoopTest : public PlayTest {};

TEST_F(PlayLoopTest, FirstTickCountsTheClockDrawsThePlayerAndTheStatusLines) {
    beginGame();
    ASSERT_EQ(tickHolding({}), TickOutcome::Continue);
    EXPECT_EQ(game.timeLeft, 2999);
    EXPECT_EQ(game.elapsedTicks, 1);
    EXPECT_EQ(shown(4, 2).glyph, 0xFE);
    EXPECT_EQ(shown(4, 2).attr, Colour::Aqua);
    for (const auto& [row, text] : {std::pair{2, "Glyph Labyrinth"},
                                    {8, "Player == \xFE"},
                                    {14, "Score: 0"},
                                    {20, "Time: 2999"},
                                    {26, "Steps: 0"}}) {
        EXPECT_EQ(shownText(69, row, std::string(text).size()), text);
        EXPECT_EQ(shown(69, row).attr, Colour::White);
    }
    EXPECT_EQ(testconsole::clockMs(), 100);
    EXPECT_EQ(testservices::calls(), std::vector<std::string>{"play res/Glyph.wav"});
}

TEST_F(PlayLoopTest, ClockStopsAtMinusOneTickCountAt5001AndShorterNumbersLeaveDigits) {
    game.timeLeft = 1001;
    game.elapsedTicks = 4999;
    for (int tick = 0; tick < 3; ++tick) tickHolding({});
    EXPECT_EQ(shownText(69, 20, 10), "Time: 9980");  // over the 1000 of the first tick
    EXPECT_EQ(game.elapsedTicks, 5001);

    game.timeLeft = 0;
    for (int tick = 0; tick < 3; ++tick) tickHolding({});
    EXPECT_EQ(game.timeLeft, -1);
    EXPECT_EQ(shownText(69, 20, 10), "Time: -180");
    EXPECT_EQ(testservices::calls().size(), 6u);  // the sound is asked for on every tick
    EXPECT_EQ(game.steps + game.score, 0);
}

TEST_F(PlayLoopTest, EndingTickStopsRightAfterTheMoves) {
    beginGame();
    tickHolding({});
    mazeGrid[2][4] = 'r';
    EXPECT_EQ(tickHolding({}), TickOutcome::Caught);
    EXPECT_EQ(shown(4, 2).glyph, ' ');
    EXPECT_EQ(shown(2, 6).glyph, 'o');  // left from the tick before, not redrawn
    EXPECT_EQ(shownText(69, 20, 10), "Time: 2999");
    EXPECT_EQ(testconsole::clockMs(), 100);  // no pause

    placePlayer(2, 21);
    EXPECT_EQ(tickHolding({Key::Left}), TickOutcome::Won);
    EXPECT_TRUE(game.won);
    EXPECT_EQ(shownText(69, 26, 8), "Steps: 0");
    EXPECT_EQ(testconsole::clockMs(), 100);
}

TEST_F(PlayLoopTest, WalkerEnteringThePlayersCellCatchesHimAtTheNextTick) {
    placePlayer(5, 5);  // the walker of row 5 starts at column 9 and crawls left
    for (int tick = 1; tick <= 4; ++tick) ASSERT_EQ(tickHolding({}), TickOutcome::Continue);
    EXPECT_EQ(shown(5, 5).glyph, 0xB2);  // drawn over the player's square
    EXPECT_EQ(playLoop(game), TickOutcome::Caught);
    EXPECT_EQ(game.elapsedTicks, 5);
}

TEST_F(PlayLoopTest, ActiveBannerIsTypedAtTheHeadOfEveryTick) {
    game.bannerActive = true;
    tickHolding({});
    tickHolding({});
    EXPECT_EQ(testconsole::clockMs(), 2 * (kBannerLines * (kBannerWidth + 1) * 10 + 100));
}

}  // namespace
