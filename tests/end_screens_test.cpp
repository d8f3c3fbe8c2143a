#include <gtest/gtest.h>

#include <string>

#include "play/end_screens.h"
#include "tests/support/test_console.h"

namespace {

class EndScreenTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testconsole::reset();
        testservices::reset();
    }

    // The end screen as the player sees it after its first pass.
    static void showEndScreen(const GameState& game) {
        clearScreen();
        drawEndScreenPass(game, computeTotalScore(game));
    }

    static std::string text(int column, int row, int length) {
        return testconsole::screen().rowText(row).substr(column, length);
    }

    static bool anyDigitOnScreen() {
        for (int row = 0; row < kConsoleRows; ++row)
            if (testconsole::screen().rowText(row).find_first_of("0123456789") != std::string::npos)
                return true;
        return false;
    }
};

TEST_F(EndScreenTest, WinShowsTheStatisticsInsideTheBoxes) {
    GameState game;
    game.won = true;
    game.score = 100;
    game.steps = 30;
    game.timeLeft = 50;
    game.elapsedTicks = 2950;
    showEndScreen(game);

    EXPECT_EQ(text(72, 2, 15), "Game statistics");
    EXPECT_EQ(text(69, 8, 20), "Collected score: 100");
    EXPECT_EQ(text(69, 14, 17), "Time wasted: 2950");
    EXPECT_EQ(text(69, 20, 15), "Steps taken: 30");
    EXPECT_EQ(text(69, 26, 15), "Total score 570");
    EXPECT_EQ(testconsole::cell(69, 26).attr, Colour::White);
    // The boxes around them and the letters beside them come from the picture.
    EXPECT_EQ(testconsole::cell(67, 24).glyph, 0xC9);
    EXPECT_EQ(testconsole::cell(67, 24).attr, Colour::White);
    EXPECT_EQ(testconsole::cell(92, 28).glyph, 0xBC);
    EXPECT_EQ(testconsole::cell(6, 0).glyph, 0xB1);
    EXPECT_EQ(testconsole::cell(7, 0).glyph, 0xB0);
    EXPECT_EQ(testconsole::cell(7, 0).attr, Colour::LightBlue);
}

TEST_F(EndScreenTest, TotalScoreKeepsItsSignAndTheClockStopsAtItsLimits) {
    GameState game;
    game.won = true;
    game.timeLeft = -1;
    game.steps = 400;
    game.score = 200;
    game.elapsedTicks = 5001;
    EXPECT_EQ(computeTotalScore(game), -210);
    showEndScreen(game);
    EXPECT_EQ(text(69, 26, 16), "Total score -210");
    EXPECT_EQ(text(69, 14, 17), "Time wasted: 5001");
}

TEST_F(EndScreenTest, LossShowsThePictureAndNoNumbers) {
    GameState game;
    game.score = 4200;
    game.steps = 77;
    game.elapsedTicks = 300;
    showEndScreen(game);
    EXPECT_FALSE(anyDigitOnScreen());
    EXPECT_EQ(testconsole::cell(3, 1).glyph, 0xB1);
    EXPECT_EQ(testconsole::cell(6, 1).glyph, 0xB0);
    EXPECT_EQ(testconsole::cell(29, 12).attr, Colour::LightBlue);
    // Nothing of the loss picture reaches the right-hand side of the screen.
    for (int row = 0; row < kConsoleRows; ++row) EXPECT_EQ(text(64, row, 36), std::string(36, ' '));
}

TEST_F(EndScreenTest, EveryPassStopsTheSoundAndRedrawsTheSamePicture) {
    GameState game;
    game.won = true;
    showEndScreen(game);
    const ScreenModel first = testconsole::screen();
    drawEndScreenPass(game, computeTotalScore(game));
    for (int row = 0; row < kConsoleRows; ++row)
        EXPECT_EQ(testconsole::screen().rowText(row), first.rowText(row)) << row;
    EXPECT_EQ(testservices::calls(), (std::vector<std::string>{"stop", "stop"}));
    // No key is read on the end screen.
    EXPECT_EQ(testconsole::queryCount(Key::Enter), 0);
}

}  // namespace
