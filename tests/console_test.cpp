#include <gtest/gtest.h>

#include "console/console_primitives.h"
#include "tests/support/test_console.h"

namespace {

class ConsoleTest : public ::testing::Test {
protected:
    void SetUp() override { testconsole::reset(); }
    static std::string text(int column, int row, int length) {
        return testconsole::screen().rowText(row).substr(column, length);
    }
};

TEST_F(ConsoleTest, NumbersAreWrittenPlainAndLeaveStaleDigitsBehind) {
    gotoXY(10, 3);
    putNumber(-1);
    EXPECT_EQ(text(10, 3, 3), "-1 ");
    gotoXY(20, 3);
    putNumber(1000);
    gotoXY(20, 3);
    putNumber(999);
    EXPECT_EQ(text(20, 3, 4), "9990");
    gotoXY(30, 3);
    putNumber(-2147483647 - 1);
    EXPECT_EQ(text(30, 3, 11), "-2147483648");
}

TEST_F(ConsoleTest, TypewriterLeavesTheWordWithoutItsBlockAndTakesTenMsALetter) {
    setColor(Colour::Yellow);
    gotoXY(5, 5);
    typeText("ok");
    EXPECT_EQ(text(5, 5, 3), "ok ");
    EXPECT_EQ(testconsole::cell(6, 5).attr, Colour::Yellow);
    EXPECT_EQ(testconsole::screen().cursorColumn(), 7);
    EXPECT_EQ(testconsole::clockMs(), 20);

    typeText("");
    EXPECT_EQ(testconsole::clockMs(), 20);
    EXPECT_EQ(testconsole::screen().cursorColumn(), 7);
}

TEST_F(ConsoleTest, TypewriterWrapsAtTheRightEdgeAndLeavesNoBlockBehind) {
    gotoXY(98, 4);
    typeText("ab\nc");
    EXPECT_EQ(text(98, 4, 2), "ab");
    EXPECT_EQ(text(0, 5, 2), "  ");
    EXPECT_EQ(text(0, 6, 2), "c ");
    EXPECT_EQ(testconsole::screen().cursorRow(), 6);
    EXPECT_EQ(testconsole::screen().cursorColumn(), 1);

    // On the last row the wrap scrolls, and the text still comes out in one piece.
    gotoXY(98, 29);
    typeText("xyz");
    EXPECT_EQ(text(98, 28, 2), "xy");
    EXPECT_EQ(text(0, 29, 2), "z ");
}

TEST_F(ConsoleTest, ColourSurvivesClearingAndPositioning) {
    setColor(Colour::Purple);
    clearScreen();
    gotoXY(3, 3);
    putText("x");
    EXPECT_EQ(testconsole::cell(3, 3).attr, Colour::Purple);
    EXPECT_EQ(testconsole::screen().cursorColumn(), 4);
}

TEST_F(ConsoleTest, LineBreakMovesDownWithoutErasingAndScrollsOnTheLastRow) {
    gotoXY(0, 10);
    putText("keep this");
    gotoXY(2, 10);
    putText("\n");
    EXPECT_EQ(text(0, 10, 9), "keep this");
    EXPECT_EQ(testconsole::screen().cursorRow(), 11);
    EXPECT_EQ(testconsole::screen().cursorColumn(), 0);

    gotoXY(0, 29);
    putText("bottom\n");
    EXPECT_EQ(text(0, 28, 6), "bottom");
    EXPECT_EQ(text(0, 9, 9), "keep this");
}

TEST_F(ConsoleTest, TextWrapsAtColumnHundredAndScrollsPastTheLastCell) {
    gotoXY(98, 0);
    putText("wrap");
    EXPECT_EQ(text(98, 0, 2), "wr");
    EXPECT_EQ(text(0, 1, 2), "ap");
    gotoXY(99, 29);
    putText("z");
    EXPECT_EQ(testconsole::cell(99, 28).glyph, 'z');
    EXPECT_EQ(testconsole::screen().cursorRow(), 29);
    EXPECT_EQ(testconsole::screen().cursorColumn(), 0);
}

TEST_F(ConsoleTest, PositionsOutsideTheConsoleAreIgnored) {
    gotoXY(7, 7);
    gotoXY(100, 0);
    gotoXY(0, 30);
    gotoXY(-1, 5);
    putText("x");
    EXPECT_EQ(testconsole::cell(7, 7).glyph, 'x');
}

TEST_F(ConsoleTest, PausesPassVirtualTimeAndTappedKeysReadOnce) {
    pauseMs(100);
    EXPECT_EQ(testconsole::clockMs(), 100);
    testconsole::tap(Key::Down);
    EXPECT_TRUE(keyPressed(Key::Down));
    EXPECT_FALSE(keyPressed(Key::Down));
    testconsole::hold(Key::Enter);
    EXPECT_TRUE(keyPressed(Key::Enter));
    EXPECT_TRUE(keyPressed(Key::Enter));
}

}  // namespace
