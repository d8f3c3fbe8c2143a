#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "front/main_menu.h"
#include "tests/support/test_console.h"

namespace {

class MainMenuTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testconsole::reset();
        testservices::reset();
    }

    MenuOutcome passWith(std::initializer_list<Key> keys) {
        testconsole::holdOnly(keys);
        return menuPass(selection_);
    }

    static std::string text(int column, int row, int length) {
        return testconsole::screen().rowText(row).substr(column, length);
    }

    // One letter per box from the heading's down: 'w' a whole white frame, 'G' a whole green
    // one, '?' anything else.
    static std::string boxes() {
        std::string result;
        for (int top = 0; top < kConsoleRows; top += 6) {
            bool white = true, green = true;
            for (int row = top; row <= top + 4; ++row) {
                for (int column = 0; column <= 25; ++column) {
                    const bool edgeRow = row == top || row == top + 4;
                    const bool edgeColumn = column == 0 || column == 25;
                    if (!edgeRow && !edgeColumn) continue;
                    const unsigned char corners[2][2] = {{0xC9, 0xBB}, {0xC8, 0xBC}};
                    const unsigned char want = edgeRow && edgeColumn
                                                   ? corners[row != top][column != 0]
                                               : edgeRow ? 0xCD
                                                         : 0xBA;
                    const ScreenCell& cell = testconsole::cell(column, row);
                    white = white && cell.glyph == want && cell.attr == Colour::White;
                    green = green && cell.glyph == want && cell.attr == Colour::Green;
                }
            }
            result += white ? 'w' : green ? 'G' : '?';
        }
        return result;
    }

    int selection_ = 0;
};

TEST_F(MainMenuTest, PassDrawsTextsBoxesAndTheGreenFrameOnTheSelectedItem) {
    EXPECT_EQ(passWith({}), MenuOutcome::KeepShowing);
    EXPECT_EQ(boxes(), "wGwww");
    EXPECT_EQ(text(8, 2, 9), "Main Menu");
    // The frame blanks the selected label until the next pass writes it again.
    EXPECT_EQ(text(1, 8, 24), std::string(24, ' '));
    EXPECT_EQ(text(8, 14, 10) + text(8, 20, 11) + text(8, 26, 4), "AssistanceInformationExit");
    EXPECT_EQ(testconsole::cell(8, 26).attr, Colour::White);
    // The footer survives the picture drawn after it.
    EXPECT_NE(text(1, 29, 42).find_first_not_of(' '), std::string::npos);

    // The frame follows Down at once, the labels' colours only on the next pass.
    passWith({Key::Down});
    EXPECT_EQ(boxes(), "wwGww");
    EXPECT_EQ(text(8, 8, 10), "Start game");
    EXPECT_EQ(testconsole::cell(8, 8).attr, Colour::Green);
    passWith({});
    EXPECT_EQ(testconsole::cell(8, 8).attr, Colour::White);
}

// Rings three cells thick of light and medium shade around a dark inside, symmetric about the
// middle of columns 54 and 55, with two eyes and a mouth cut out.
TEST_F(MainMenuTest, FaceIsDrawnInShadesOfLightBlue) {
    passWith({});
    const int leftEdge[] = {44, 42, 41, 40, 40, 39, 39, 39, 39, 40, 40, 41, 42, 43};
    const auto isHole = [](int column, int row) {
        if (row == 20 || row == 21)
            return column == 51 || column == 52 || column == 57 || column == 58;
        return (row == 24 && column >= 52 && column <= 57) ||
               (row == 25 && column >= 53 && column <= 56);
    };
    for (int row = 16; row <= 29; ++row) {
        for (int column = 39; column < kConsoleColumns; ++column) {
            const ScreenCell& cell = testconsole::cell(column, row);
            const int depth =
                std::min(column - leftEdge[row - 16], 109 - leftEdge[row - 16] - column);
            const bool inside = depth >= 0 && !isHole(column, row);
            const unsigned char shade = !inside ? ' ' : depth < 3 ? 0xB0 : depth < 6 ? 0xB1 : 0xB2;
            EXPECT_EQ(cell.glyph, shade) << column << "," << row;
            EXPECT_TRUE(!inside || cell.attr == Colour::LightBlue) << column << "," << row;
        }
    }
}

// White full blocks, every run closed on its right by exactly one light shade; "Glyph" in rows 0
// to 6 within columns 38 to 71, "Labyrinth" in rows 8 to 14 within columns 27 to 93.
TEST_F(MainMenuTest, TitleStrokesEndInOneShadeAndStayInTheirAreas) {
    passWith({});
    for (int row = 0; row <= 15; ++row) {
        const std::string line = testconsole::screen().rowText(row) + ' ';
        const bool wordRow = row != 7 && row != 15;
        EXPECT_EQ(line.find('\xDB', 26) != std::string::npos, wordRow) << row;
        for (int column = 26; column < kConsoleColumns; ++column) {
            if (line[column] == ' ') continue;
            const bool inArea =
                row <= 6 ? column >= 38 && column <= 71 : column >= 27 && column <= 93;
            const bool closed = line[column] == '\xDB'
                                    ? line[column + 1] == '\xDB' || line[column + 1] == '\xB0'
                                    : line[column] == '\xB0' && line[column - 1] == '\xDB';
            EXPECT_TRUE(wordRow && inArea && closed) << column << "," << row;
            EXPECT_EQ(testconsole::cell(column, row).attr, Colour::White) << column << "," << row;
        }
    }
}

TEST_F(MainMenuTest, ArrowsMoveTheSelectionWithinItsLimitsUpFirst) {
    passWith({Key::Up});
    EXPECT_EQ(selection_, 0);
    EXPECT_EQ(boxes(), "wGwww");  // the heading box is never highlighted
    for (const int expected : {1, 2, 3, 3}) {
        passWith({Key::Down});
        EXPECT_EQ(selection_, expected);
    }
    EXPECT_EQ(boxes(), "wwwwG");
    for (const auto& [from, to] : {std::pair{3, 3}, {1, 1}, {0, 1}}) {
        selection_ = from;
        passWith({Key::Up, Key::Down});
        EXPECT_EQ(selection_, to) << "from " << from;
    }
}

TEST_F(MainMenuTest, DownAndEnterTogetherOpenAssistanceThenOnlyTheFrameShows) {
    passWith({});
    EXPECT_EQ(passWith({Key::Down, Key::Enter}), MenuOutcome::KeepShowing);
    EXPECT_EQ(testservices::calls(), std::vector<std::string>{"help Assistance.txt"});
    EXPECT_EQ(testconsole::clearCount(), 1);
    EXPECT_EQ(boxes(), "??G??");
    for (int row = 0; row < kConsoleRows; ++row) {
        const int from = row >= 12 && row <= 16 ? 26 : 0;
        EXPECT_EQ(text(from, row, kConsoleColumns - from),
                  std::string(kConsoleColumns - from, ' '));
    }
    passWith({});
    EXPECT_EQ(boxes(), "wwGww");
    EXPECT_EQ(text(8, 2, 9), "Main Menu");
}

TEST_F(MainMenuTest, EnterIsAskedOncePerItemAboutTheSelectionAsItStands) {
    selection_ = 2;
    testconsole::script(Key::Enter, {false, true, true, true});
    EXPECT_EQ(menuPass(selection_), MenuOutcome::KeepShowing);
    EXPECT_EQ(testconsole::queryCount(Key::Enter), 4);
    EXPECT_EQ(testservices::calls(), std::vector<std::string>{"help Information.txt"});

    // "Start game" leaves at once: no more queries, no frame.
    selection_ = 0;
    testconsole::script(Key::Enter, {true});
    EXPECT_EQ(menuPass(selection_), MenuOutcome::StartGame);
    EXPECT_EQ(testconsole::queryCount(Key::Enter), 5);
    EXPECT_EQ(boxes(), "wwwww");
}

TEST_F(MainMenuTest, EnterOnExitEndsTheProgramWithStatusZero) {
    selection_ = 3;
    EXPECT_EXIT(passWith({Key::Enter}), ::testing::ExitedWithCode(0), "");
}

}  // namespace
