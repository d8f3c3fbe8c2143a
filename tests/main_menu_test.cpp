#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "front/main_menu.h"
#include "tests/support/test_console.h"

namespace {

std::string text(int column, int row, int length) {
    return testconsole::screen().rowText(row).substr(column, length);
}

// One letter per box from the heading's down: 'w' a whole white double frame, 'G' a whole green
// one, '?' anything else.
std::string boxes() {
    const std::string frame = "\xC9" + std::string(24, '\xCD') +
                              "\xBB\xBA\xBA\xBA\xBA\xBA\xBA\xC8" + std::string(24, '\xCD') + "\xBC";
    std::string letters;
    for (int top = 0; top < kConsoleRows; top += 6) {
        const Colour attr = testconsole::cell(0, top).attr;
        bool whole = true;
        for (int row = top, i = 0; row <= top + 4; ++row)
            for (int column = 0; column <= 25; column += row % 6 == 0 || row % 6 == 4 ? 1 : 25)
                whole = whole && testconsole::cell(column, row) ==
                                     ScreenCell{static_cast<unsigned char>(frame[i++]), attr};
        letters += !whole ? '?' : attr == Colour::Green ? 'G' : attr == Colour::White ? 'w' : '?';
    }
    return letters;
}

struct MainMenuTest : ::testing::Test {
    MainMenuTest() { testconsole::reset(), testservices::reset(); }
    MenuOutcome passWith(std::initializer_list<Key> keys) {
        testconsole::holdOnly(keys);
        return menuPass(selection);
    }
    int selection = 0;
};

TEST_F(MainMenuTest, PassDrawsTheMenuAndTheArrowsMoveTheFrameWithinItsLimits) {
    EXPECT_EQ(passWith({Key::Up}), MenuOutcome::KeepShowing);
    EXPECT_EQ(boxes(), "wGwww");  // the heading box is never highlighted
    EXPECT_EQ(text(8, 2, 9) + text(8, 14, 10) + text(8, 20, 11) + text(8, 26, 4),
              "Main MenuAssistanceInformationExit");
    // The face: light, medium and dark shades in light blue, the eyes and the mouth left blank.
    const int face[][3] = {{44, 16, 0xB0}, {47, 16, 0xB1}, {50, 17, 0xB2}, {65, 16, 0xB0},
                           {53, 20, 0xB2}, {51, 20, ' '},  {58, 21, ' '},  {52, 24, ' '},
                           {56, 25, ' '},  {53, 26, 0xB2}};
    for (const auto& [column, row, glyph] : face)
        EXPECT_EQ(testconsole::cell(column, row),
                  (ScreenCell{static_cast<unsigned char>(glyph),
                              glyph == ' ' ? Colour::White : Colour::LightBlue}))
            << column << "," << row;
    // The title, right of the boxes: white full blocks, every run closed by exactly one light
    // shade; "Glyph" in rows 0 to 6 within columns 38 to 71, "Labyrinth" in rows 8 to 14 within
    // columns 27 to 93.
    for (int row = 0; row <= 15; ++row) {
        const std::string line = text(26, row, kConsoleColumns - 26);
        const auto first = line.find_first_not_of(' ') + 26, last = line.find_last_not_of(' ') + 26;
        const bool inArea = row <= 6 ? first >= 38 && last <= 71 : first >= 27 && last <= 93;
        EXPECT_TRUE(row % 8 == 7 ? line == std::string(74, ' ') : inArea) << row;
        EXPECT_TRUE(std::regex_match(line, std::regex("( |\xDB+\xB0)*"))) << row;
        for (int column = 26; column < kConsoleColumns; ++column)
            EXPECT_TRUE(line[column - 26] == ' ' ||
                        testconsole::cell(column, row).attr == Colour::White);
    }

    // The frame follows the arrows at once; Up is taken before Down.
    for (const int expected : {1, 2, 3, 3}) {
        passWith({Key::Down});
        EXPECT_EQ(selection, expected);
    }
    EXPECT_EQ(boxes(), "wwwwG");
    for (const auto& [from, to] : {std::pair{3, 3}, {1, 1}, {0, 1}}) {
        selection = from;
        passWith({Key::Up, Key::Down});
        EXPECT_EQ(selection, to) << "from " << from;
    }
    // The label was drawn green before the keys moved the frame off it.
    EXPECT_EQ(text(8, 8, 10), "Start game");
    EXPECT_EQ(testconsole::cell(8, 8).attr, Colour::Green);
}

TEST_F(MainMenuTest, EnterActsOnTheSelectionAfterTheArrows) {
    EXPECT_EQ(passWith({Key::Enter}), MenuOutcome::StartGame);
    // Down and Enter together open "Assistance.txt"; then only the frame shows until the next pass.
    EXPECT_EQ(passWith({Key::Down, Key::Enter}), MenuOutcome::KeepShowing);
    EXPECT_EQ(testservices::calls(), std::vector<std::string>{"help Assistance.txt"});
    EXPECT_EQ(testconsole::clearCount(), 1);
    EXPECT_EQ(boxes(), "??G??");
    EXPECT_EQ(text(8, 2, 9), std::string(9, ' '));
    passWith({Key::Down, Key::Enter});
    EXPECT_EQ(testservices::calls().back(), "help Information.txt");
    selection = 3;
    EXPECT_EXIT(passWith({Key::Enter}), ::testing::ExitedWithCode(0), "");
}

}  // namespace
